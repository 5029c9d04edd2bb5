// Shows the toolkit's grid, stack, tool bar and lists in a real window and drives them with synthesised
// input, saving a screenshot after each step (some in the middle of a fade or a move) so that a person
// can look at them; a step whose effect is not what it should be fails the run. Run under Xvfb by
// `make test`:
//   grid-list-gallery <output folder>
#include "Classes/Framework/Toolkit/OVBasicListEntryView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVListViewDelegate.h"
#include "Classes/Framework/Toolkit/OVOpenableListEntryView.h"
#include "Classes/Framework/Toolkit/OVRowView.h"
#include "Classes/Framework/Toolkit/OVShadowedScrollView.h"
#include "Classes/Framework/Toolkit/OVStackView.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "Classes/Framework/Toolkit/OVTitledView.h"
#include "Classes/Framework/Toolkit/OVToolBarButton.h"
#include "Classes/Framework/Toolkit/OVToolBarView.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/ClipView.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QTest>
#include <cstdio>

using pf::Point, pf::Rect, pf::Size;

namespace {

using namespace GalleryShots;

const QColor canvas(46, 48, 52);
const QColor ink(214, 217, 222);

class Ground : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override { painter.fillRect(bounds().toQRectF(), canvas); }
};

// A section's background: a faint panel with the section's name in its title area.
class SectionBackground : public pf::View, public OVTitledView
{
public:
    explicit SectionBackground(QString title) : m_title(std::move(title)) {}
    Size titleSize() const override { return Size(200, 26); }
    void drawRect(QPainter& painter, const Rect&) override
    {
        const Rect b = bounds();
        QPainterPath panel;
        panel.addRoundedRect(b.insetBy(1, 1).toQRectF(), 8, 8);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(panel, QColor(255, 255, 255, 14));
        painter.setPen(QColor(255, 255, 255, 28));
        painter.drawPath(panel);
        pf::AttributedString(m_title, {pf::boldSystemFont(12), ink})
            .drawAtPoint(painter, Point(14, b.height() - 20));
    }

private:
    QString m_title;
};

// The badge of one item: a round count.
class Badge : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override
    {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(206, 64, 52));
        painter.setPen(QPen(Qt::white, 1.5));
        painter.drawEllipse(bounds().insetBy(2, 2).toQRectF());
        pf::AttributedString(QStringLiteral("3"), {pf::boldSystemFont(10), Qt::white})
            .drawAtPoint(painter, Point(8.5, 5));
    }
};

// A stand-in for an entry's settings: two labelled bars.
class Settings : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override
    {
        painter.setRenderHint(QPainter::Antialiasing);
        const double w = bounds().width();
        for (int i = 0; i < 2; ++i) {
            const double y = bounds().height() - 22 - 26 * i;
            pf::AttributedString(i == 0 ? QStringLiteral("Strength") : QStringLiteral("Softness"),
                                 {pf::systemFont(11), QColor(70, 78, 88)})
                .drawAtPoint(painter, Point(14, y + 1));
            painter.fillRect(Rect(96, y + 7, w - 120, 3).toQRectF(), QColor(160, 168, 178));
            painter.fillRect(Rect(96, y + 7, (w - 120) * (0.35 + 0.3 * i), 3).toQRectF(),
                             QColor(40, 110, 170));
        }
    }
};

// Keeps the list at least as tall as its scroll view, so that entries hang from the top.
struct ListOwner : OVListViewDelegate
{
    OVShadowedScrollView* scroll = nullptr;
    std::optional<double> listViewWillResize(OVListView*, double needed) override
    {
        scroll->setContentHeight(needed);
        return std::max(needed, scroll->contentView()->bounds().height());
    }
};

QImage crop(const QImage& portrait, QRect area, int longSide)
{
    return portrait.copy(area).scaled(longSide, longSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void run(const QImage& portrait)
{
    const double width = 1320, height = 780;
    auto* window = new pf::Window(Rect(40, 120, width, height));
    window->setTitle(QStringLiteral("Grids and lists"));
    auto* ground = new Ground(Rect(0, 0, width, height));
    ground->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    window->contentView()->addSubview(ground);

    // The grid: three sections of crops of the portrait.
    auto* gridHost = new pf::View(Rect(0, 0, 660, height));
    gridHost->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    ground->addSubview(gridHost);
    OVGridViewController grid;
    grid.setGridParentView(gridHost);
    grid.view()->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    grid.setIconWidth(170);
    const unsigned recent = grid.addSectionWithSettings(1 | 2 | 4 | 8 | 16, new SectionBackground("Recent"));
    const unsigned pinned = grid.addSectionWithSettings(4 | 16 | 64, new SectionBackground("Pinned"));
    const unsigned samples = grid.addSectionWithSettings(4 | 8, new SectionBackground("Samples"));
    const QRect crops[] = {QRect(96, 40, 320, 420),   QRect(0, 0, 512, 512),    QRect(120, 120, 280, 200),
                           QRect(60, 200, 400, 260),  QRect(150, 60, 220, 300), QRect(0, 100, 512, 300),
                           QRect(180, 150, 160, 160), QRect(40, 40, 300, 440),  QRect(200, 260, 300, 220),
                           QRect(100, 0, 360, 260),   QRect(0, 250, 260, 260),  QRect(250, 0, 262, 380)};
    const struct
    {
        unsigned section;
        const char* title;
    } items[] = {{recent, "Soft light"}, {recent, "Portrait, full"}, {recent, "Eyes"},
                 {recent, "Smile"},      {pinned, "Profile"},        {pinned, "Wide crop"},
                 {pinned, "Detail"},     {samples, "Tall"},          {samples, "Chin"},
                 {samples, "Brow"},      {samples, "Shoulder"},      {samples, "Hair"}};
    QList<OVGridItem*> made;
    for (int i = 0; i < int(std::size(items)); ++i)
        made << grid.addImage(crop(portrait, crops[i], 340), QString::fromUtf8(items[i].title),
                              QStringLiteral("item-%1").arg(i), i, items[i].section);
    auto* badge = new Badge(Rect(-6, -6, 24, 24));
    made[4]->setBadge(badge);

    // The stack: 25 thumbnails.
    auto* stack = new OVStackView(Rect(680, 300, 270, 380));
    stack->setAutoresizingMask(pf::View::MinXMargin | pf::View::MinYMargin);
    ground->addSubview(stack);
    for (int i = 0; i < 25; ++i) {
        auto* item = new OVGridItem(0);
        item->setImage(crop(portrait, crops[i % 12], 300));
        item->setContext(QStringLiteral("stacked-%1").arg(i));
        stack->addGridItem(item, true);
    }

    // The tool bar with two buttons that cut notches into it.
    auto* bar = new OVToolBarView(Rect(680, height - 52, 620, 40));
    bar->setAutoresizingMask(pf::View::MinXMargin | pf::View::MinYMargin);
    ground->addSubview(bar);
    const struct
    {
        double x;
        const char* title;
    } tools[] = {{150, "Retouch"}, {380, "Export"}};
    for (const auto& t : tools) {
        auto* button = new OVToolBarButton(Rect(t.x, 4, 96, 32));
        button->setBarName(QStringLiteral("Default"));
        button->setName(QStringLiteral("Tool"));
        button->setTitle(QString::fromUtf8(t.title));
        button->setCutsBar(true);
        bar->addSubview(button);
    }

    // The list in a shadowed scroll view: openable and basic entries.
    auto* scroll = new OVShadowedScrollView(Rect(960, 20, 350, 640));
    scroll->setAutoresizingMask(pf::View::MinXMargin | pf::View::HeightSizable);
    ground->addSubview(scroll);
    auto* list = new OVListView(Rect(0, 0, 350, 640));
    list->setAutoresizingMask(pf::View::WidthSizable);
    scroll->setDocumentView(list);
    pf::UndoManager undo;
    ListOwner owner;
    owner.scroll = scroll;
    list->setDelegate(&owner);
    list->setUndoManager(&undo);
    const struct
    {
        const char* title;
        const char* subtitle;
        quint64 features;
    } topics[] = {{"Skin", "Smooth and even out", 1 | 2 | 4 | 16},
                  {"Eyes", "Brighten and sharpen", 1 | 2 | 16},
                  {"Teeth", "Whiten gently", 2 | 1024}};
    QList<OVOpenableListEntryView*> openables;
    for (int i = 0; i < int(std::size(topics)); ++i) {
        auto* entry = new OVOpenableListEntryView(topics[i].features);
        entry->setTitle(QString::fromUtf8(topics[i].title));
        entry->setSubtitle(QString::fromUtf8(topics[i].subtitle));
        entry->setIcon(crop(portrait, crops[i + 2], 32));
        entry->setContentView(new Settings(Rect(0, 0, 350, 70)));
        entry->rowView()->setHoverable(true);
        list->addListEntry(entry);
        openables << entry;
    }
    QList<OVBasicListEntryView*> basics;
    const struct
    {
        const char* title;
        quint64 features;
    } cards[] = {{"Vignette", 1 | 2 | 8}, {"Warmth", 32 | 8}};
    for (const auto& c : cards) {
        auto* entry = new OVBasicListEntryView(c.features);
        entry->setTitle(QString::fromUtf8(c.title));
        entry->setContentView(new Settings(Rect(0, 0, 300, 60)));
        if (c.features & 32)
            entry->setIsEnabled(true);
        list->addListEntry(entry);
        basics << entry;
    }

    window->makeKeyAndOrderFront();
    settle(900);
    QWindow* handle = window->windowHandle();
    auto widgetPoint = [&](pf::View* view, Point p) {
        return view->mapTo(window, view->pointToWidget(p)).toPoint();
    };
    auto moveTo = [&](pf::View* view, Point p, int wait = 150) {
        const QPoint at = widgetPoint(view, p);
        QCursor::setPos(window->mapToGlobal(at));
        QTest::mouseMove(handle, at);
        settle(wait);
    };
    auto press = [&](pf::View* view, Point p, int wait = 150) {
        QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(view, p));
        settle(wait);
    };
    auto release = [&](pf::View* view, Point p, int wait = 150) {
        QTest::mouseRelease(handle, Qt::LeftButton, {}, widgetPoint(view, p));
        settle(wait);
    };
    auto shot = [&](const QString& name) { save(screenshot(window), name); };

    shot(QStringLiteral("01-start"));
    save(bar->snapshot(1), QStringLiteral("02-tool-bar-1x"));
    save(bar->snapshot(2), QStringLiteral("03-tool-bar-2x"));

    // Hovering an item brings up its title, remove and pin buttons.
    OVGridItem* hovered = grid.gridItemsInSection(recent).at(1);
    const Rect hb = hovered->bounds();
    moveTo(hovered, Point(hb.midX(), hb.midY()), 60);
    shot(QStringLiteral("04-item-hover-mid-fade"));
    settle(400);
    shot(QStringLiteral("05-item-hovered"));

    // Its pin, pressed and released.
    const Point pin(hb.width() - 20, hb.height() - 15);
    moveTo(hovered, pin);
    press(hovered, pin);
    shot(QStringLiteral("06-pin-pressed"));
    release(hovered, pin);
    check(hovered->isPinned(), "the pin button pins the item");
    moveTo(hovered, Point(hb.midX(), hb.midY()));
    shot(QStringLiteral("07-pinned"));

    // Selecting another item.
    OVGridItem* chosen = grid.gridItemsInSection(pinned).at(0);
    const Rect cb = chosen->bounds();
    moveTo(chosen, Point(cb.midX(), cb.midY()));
    press(chosen, Point(cb.midX(), cb.midY()), 30);
    release(chosen, Point(cb.midX(), cb.midY()), 300);
    check(chosen->isSelected() && grid.selectedItem() == chosen, "a click selects the item");
    shot(QStringLiteral("08-selected"));

    // Removing one by its remove button: it fades, then the others close the gap.
    OVGridItem* doomed = grid.gridItemsInSection(recent).at(2);
    const Rect db = doomed->bounds();
    moveTo(doomed, Point(db.midX(), db.midY()), 400);
    const Point remove(15, db.height() - 15);
    moveTo(doomed, remove);
    press(doomed, remove, 30);
    release(doomed, remove, 90);
    check(grid.gridItemsInSection(recent).size() == 3, "the remove button removes the item");
    shot(QStringLiteral("09-removing-mid-fade"));
    settle(1200);
    shot(QStringLiteral("10-removed"));

    // Widening the window past a column count: the cells move to four columns.
    const int columnsBefore = grid.layout().lastColumnCount();
    window->setFrame(Rect(40, 120, width + 220, height));
    settle(120);
    shot(QStringLiteral("11-widened-mid-move"));
    settle(1500);
    check(grid.layout().lastColumnCount() == columnsBefore + 1, "one more column after widening");
    shot(QStringLiteral("12-widened"));

    // Opening an entry by a click on its row.
    OVOpenableListEntryView* skin = openables[0];
    const Rect row = skin->rowView()->bounds();
    moveTo(skin->rowView(), Point(row.width() - 60, 12));
    press(skin->rowView(), Point(row.width() - 60, 12), 20);
    release(skin->rowView(), Point(row.width() - 60, 12), 90);
    shot(QStringLiteral("13-entry-opening"));
    settle(900);
    check(list->selectedEntry() == skin && skin->state() == OVListEntryView::Open, "the clicked entry opens");
    shot(QStringLiteral("14-entry-open"));

    // Hovering a card shows its buttons.
    OVBasicListEntryView* card = basics[0];
    moveTo(card, Point(card->bounds().midX(), card->bounds().height() - 12), 700);
    check(card->mouseInside(), "the card knows the pointer is over it");
    shot(QStringLiteral("15-card-hovered"));

    // Dragging the card by its handle above the entry over it.
    OVDragButton* grip = card->dragButton();
    const unsigned indexBefore = list->indexOfEntry(card);
    moveTo(grip, Point(8, 4));
    const QPoint from = widgetPoint(grip, Point(8, 4));
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 12; ++i) {
        QTest::mouseMove(handle, from - QPoint(0, 10 * i));
        settle(20);
    }
    shot(QStringLiteral("16-card-dragged"));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, from - QPoint(0, 120));
    settle(900);
    check(list->indexOfEntry(card) == indexBefore + 1, "the drag moved the card up one place");
    shot(QStringLiteral("17-card-dropped"));

    // Renaming an entry in place: a double click on its title, a new name, Return.
    OVOpenableListEntryView* eyes = openables[1];
    OVRowView* eyesRow = eyes->rowView();
    const Point title(eyesRow->titleRect().minX() + 12, eyesRow->titleRect().midY());
    moveTo(eyesRow, title);
    // Two clicks in quick succession at one place: the event router counts them as a double click.
    QTest::mouseClick(handle, Qt::LeftButton, {}, widgetPoint(eyesRow, title));
    QTest::mouseClick(handle, Qt::LeftButton, {}, widgetPoint(eyesRow, title));
    settle(300);
    check(eyesRow->isEditing(), "a double click on the title edits it");
    if (QLineEdit* editor = eyesRow->editField()->editor()) {
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Eyes and brows"));
        settle(150);
        shot(QStringLiteral("18-renaming"));
        QTest::keyClick(editor, Qt::Key_Return);
    }
    settle(300);
    check(eyesRow->title() == QStringLiteral("Eyes and brows"), "Return keeps the new name");
    shot(QStringLiteral("19-renamed"));

    window->close();
    settle(100);
    delete window;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    useOutputFolder(argc, argv);
    const QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    if (portrait.isNull()) {
        std::fprintf(stderr, "Error: cannot read the test portrait\n");
        return 1;
    }
    run(portrait);
    return exitCode();
}
