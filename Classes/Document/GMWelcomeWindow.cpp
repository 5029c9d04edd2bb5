#include "Classes/Document/GMWelcomeWindow.h"

#include "Platform/UI/EventMonitor.h"
#include "Platform/UI/Timer.h"

#include "Classes/Document/GMGridItem.h"
#include "Classes/Document/GMGridViewController.h"
#include "Classes/Document/GMLinks.h"
#include "Classes/Framework/Toolkit/OVBoxView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/Window.h"
#include "Platform/UI/WindowDelegate.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfView>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr double handleSeconds = 0.3;

const char* const styleSheet = R"(
QWidget#welcome { background: #1d1e21; }
QLabel { color: #d9dadd; }
QLabel#title { color: #f0f0f2; font-size: 22px; font-weight: 300; }
QLabel#caption { color: #8d9096; font-size: 11px; }
QPushButton { background: #31343a; color: #e4e5e8; border: 1px solid #3c4047; border-radius: 6px;
              padding: 6px 16px; }
QPushButton:hover { background: #3a3e45; }
QPushButton:pressed { background: #2a2d32; }
QPushButton#tab { background: transparent; border: none; color: #8d9096; font-size: 13px; padding: 4px 10px; }
QPushButton#tab:checked { color: #f0f0f2; }
QPushButton#link { background: transparent; border: none; color: #7fa7d4; padding: 2px 8px; }
QPushButton#link:hover { color: #a9c7ea; }
QWidget#handle { background: #6f9ccc; border-radius: 1px; }
QWidget#warning { background: rgba(217, 217, 217, 191); }
QLabel#warningText { color: #202124; font-size: 14px; }
)";

// Keeps an overlay covering its parent and the tab marker under its tab.
class Watcher : public QObject
{
public:
    Watcher(QObject* parent, std::function<bool(QObject*, QEvent*)> handler)
        : QObject(parent), m_handler(std::move(handler))
    {}
    bool eventFilter(QObject* object, QEvent* event) override { return m_handler(object, event); }

private:
    std::function<bool(QObject*, QEvent*)> m_handler;
};

} // namespace

// Tells the delegate when the user closes the window.
class GMWelcomeWindow::Closer : public pf::WindowDelegate
{
public:
    explicit Closer(GMWelcomeWindowDelegate* delegate) : m_delegate(delegate) {}
    void windowWillClose(pf::Window*) override { m_delegate->welcomeWindowDidClose(); }

private:
    GMWelcomeWindowDelegate* m_delegate;
};

GMWelcomeWindow::GMWelcomeWindow(GMWelcomeWindowDelegate* delegate, DragAndDropDelegate* dropDelegate)
    : m_delegate(delegate)
{
    // Wide enough for three columns of tiles beside the drop target.
    m_window = new pf::Window(pf::Rect(200, 200, 1010, 600),
                              pf::Window::Titled | pf::Window::Closable | pf::Window::Resizable);
    m_window->setTitle(pf::localized(QStringLiteral("Welcome to Glimora")));
    m_window->setMinimumSize(640, 420);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - QPoint(505, 300));
    m_window->setBackgroundColor(QColor(0x1d, 0x1e, 0x21));
    // Closed, it is only hidden: it comes back for New and when the last document closes.
    m_window->setReleasedWhenClosed(false);
    m_closer = std::make_unique<Closer>(delegate);
    m_window->setDelegate(m_closer.get());
    QWidget* content = m_window->contentView();
    content->setObjectName(QStringLiteral("welcome"));
    content->setAttribute(Qt::WA_StyledBackground, true);
    content->setStyleSheet(QString::fromLatin1(styleSheet));

    auto* root = new QVBoxLayout(content);
    root->setContentsMargins(28, 20, 28, 16);
    root->setSpacing(14);

    // Title and tabs.
    auto* header = new QWidget;
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(0, 0, 0, 6);
    auto* title = new QLabel(QStringLiteral("Glimora"));
    title->setObjectName(QStringLiteral("title"));
    headerRow->addWidget(title);
    headerRow->addStretch();
    m_historyTab = new QPushButton(pf::localized(QStringLiteral("Pictures")));
    m_mediaTab = new QPushButton(pf::localized(QStringLiteral("Tutorial")));
    for (QPushButton* tab : {m_historyTab, m_mediaTab}) {
        tab->setObjectName(QStringLiteral("tab"));
        tab->setCheckable(true);
        tab->setCursor(Qt::PointingHandCursor);
        headerRow->addWidget(tab);
    }
    m_historyTab->setChecked(true);
    m_handle = new QWidget(header);
    m_handle->setObjectName(QStringLiteral("handle"));
    m_handle->setAttribute(Qt::WA_StyledBackground, true);
    root->addWidget(header);

    // Page 0: the pictures and the drop target.
    m_pages = new QStackedWidget;
    auto* history = new QWidget;
    auto* historyRow = new QHBoxLayout(history);
    historyRow->setContentsMargins(0, 0, 0, 0);
    historyRow->setSpacing(22);
    // The grid fills the area it is given and follows its size.
    auto* gridArea = new pf::View(pf::Rect(0, 0, 680, 480));
    m_grid = std::make_unique<GMGridViewController>();
    pf::View* gridView = m_grid->view();
    gridView->setFrame(gridArea->bounds());
    gridView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    gridArea->addSubview(gridView);
    historyRow->addWidget(gridArea, 1);
    auto* samplesBox = new OVBoxView(pf::localized(QStringLiteral("SAMPLE IMAGES")));
    samplesBox->setBoxType(1);
    samplesBox->setAutoresizingMask(pf::View::MaxXMargin | pf::View::MinYMargin);
    m_recentBox = new OVBoxView;
    m_recentBox->setBoxType(1);
    m_recentBox->setHidden(true);
    m_sectionPinned = m_grid->addSectionWithSettings(documentSettings);
    m_sectionRecent = m_grid->addSectionWithSettings(documentSettings, m_recentBox);
    m_sectionSamples = m_grid->addSectionWithSettings(sampleSettings, samplesBox);
    auto* side = new QVBoxLayout;
    side->setSpacing(10);
    side->addStretch();
    m_dropTarget = new DragAndDropView(pf::Rect(0, 0, 220, 200));
    m_dropTarget->setMinimumSize(220, 200);
    m_dropTarget->setImageName(QStringLiteral("DropTarget"));
    m_dropTarget->setDelegate(dropDelegate);
    side->addWidget(m_dropTarget, 0, Qt::AlignHCenter);
    auto* dropCaption = new QLabel(pf::localized(QStringLiteral("Drop a photo here to open it")));
    dropCaption->setObjectName(QStringLiteral("caption"));
    dropCaption->setAlignment(Qt::AlignHCenter);
    side->addWidget(dropCaption);
    m_openButton = new QPushButton(pf::localized(QStringLiteral("Open…")));
    side->addWidget(m_openButton, 0, Qt::AlignHCenter);
    side->addStretch();
    auto* sideColumn = new QWidget;
    sideColumn->setFixedWidth(240);
    sideColumn->setLayout(side);
    historyRow->addWidget(sideColumn);
    m_pages->addWidget(history);

    // Page 1: the tutorial.
    auto* tutorial = new QWidget;
    auto* tutorialColumn = new QVBoxLayout(tutorial);
    tutorialColumn->addStretch();
    auto* tutorialText = new QLabel(pf::localized(QStringLiteral(
        "New to Glimora? The Quick Tutorial shows in a few pages how to open a portrait, choose an effect, "
        "paint where it applies and save your work.")));
    tutorialText->setWordWrap(true);
    tutorialText->setAlignment(Qt::AlignHCenter);
    tutorialColumn->addWidget(tutorialText);
    auto* tutorialButton = new QPushButton(pf::localized(QStringLiteral("Show the Quick Tutorial")));
    tutorialColumn->addWidget(tutorialButton, 0, Qt::AlignHCenter);
    tutorialColumn->addStretch();
    m_pages->addWidget(tutorial);
    root->addWidget(m_pages, 1);

    // Links.
    m_links = new QWidget;
    auto* linkRow = new QHBoxLayout(m_links);
    linkRow->setContentsMargins(0, 0, 0, 0);
    linkRow->addStretch();
    const QList<QPair<QString, QString>> links{
        {QStringLiteral("HomePage"), QStringLiteral("Home Page")},
        {QStringLiteral("NewsPage"), QStringLiteral("News")},
        {QStringLiteral("CommunityPage"), QStringLiteral("Community")},
        {QStringLiteral("ProductPage"), QStringLiteral("Rate Glimora")}};
    for (const auto& [key, text] : links) {
        auto* button = new QPushButton(pf::localized(text));
        button->setObjectName(QStringLiteral("link"));
        button->setProperty("linkKey", key);
        button->setCursor(Qt::PointingHandCursor);
        QObject::connect(button, &QPushButton::clicked, button,
                         [this, key] { m_delegate->welcomeWindowOpenLink(key); });
        linkRow->addWidget(button);
    }
    root->addWidget(m_links);
    updateLinks();

    QObject::connect(m_historyTab, &QPushButton::clicked, m_window, [this] { showHistory(); });
    QObject::connect(m_mediaTab, &QPushButton::clicked, m_window, [this] { showMediaBrowser(); });
    QObject::connect(m_openButton, &QPushButton::clicked, m_window,
                     [this] { m_delegate->welcomeWindowOpen(); });
    QObject::connect(tutorialButton, &QPushButton::clicked, m_window,
                     [this] { m_delegate->welcomeWindowShowTutorial(); });
    // The marker follows its tab wherever the layout puts it.
    auto* follower = new Watcher(header, [this](QObject*, QEvent* event) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move || event->type() == QEvent::Show)
            QTimer::singleShot(0, m_window, [this] {
                QPushButton* tab = selectedTab() == 0 ? m_historyTab : m_mediaTab;
                m_handle->setGeometry(tab->x(), tab->y() + tab->height() + 1, tab->width(), 2);
            });
        return false;
    });
    header->installEventFilter(follower);
    m_historyTab->installEventFilter(follower);
    m_mediaTab->installEventFilter(follower);
    content->installEventFilter(new Watcher(content, [this](QObject*, QEvent* event) {
        if (event->type() == QEvent::Resize)
            layOutOverlay();
        return false;
    }));
}

GMWelcomeWindow::~GMWelcomeWindow()
{
    if (m_window)
        m_window->setDelegate(nullptr);
    if (m_tutorialWindow)
        delete m_tutorialWindow.data();
    // The window takes the grid's views with it; the controller goes after them.
    if (m_window)
        delete m_window.data();
    m_grid.reset();
}

void GMWelcomeWindow::updateLinks()
{
    bool any = false;
    for (QPushButton* button : m_links->findChildren<QPushButton*>()) {
        const bool has = GMLinks::hasAddress(button->property("linkKey").toString());
        button->setVisible(has);
        any = any || has;
    }
    m_links->setVisible(any);
}

void GMWelcomeWindow::setRecentItems(const QList<Item>& items)
{
    // Without recent pictures the heading goes with its tab (no title, no room taken).
    if (m_recentBox) {
        m_recentBox->setTitle(items.isEmpty() ? QString() : pf::localized(QStringLiteral("RECENT PICTURES")));
        m_recentBox->setHidden(items.isEmpty());
        m_recentBox->update();
    }
    setItems(m_sectionRecent, items);
}

void GMWelcomeWindow::setSampleItems(const QList<Item>& items)
{
    setItems(m_sectionSamples, items);
}

void GMWelcomeWindow::setItems(unsigned section, const QList<Item>& items)
{
    QStringList wanted;
    for (const Item& item : items)
        wanted.append(item.context);
    for (OVGridItem* tile : m_grid->gridItemsInSection(section))
        if (!wanted.contains(tile->context().toString()))
            m_grid->removeItemWithContext(tile->context());
    for (const Item& item : items)
        m_grid->addImageAtPath(item.picturePath, item.title, item.context, item.sortTag, section);
}

QStringList GMWelcomeWindow::itemContexts() const
{
    QStringList contexts;
    for (unsigned section = 0; section < m_grid->sectionCount(); ++section)
        for (OVGridItem* tile : m_grid->gridItemsInSection(section))
            contexts.append(tile->context().toString());
    return contexts;
}

void GMWelcomeWindow::removeItemWithContext(const QString& context)
{
    m_grid->removeItemWithContext(context);
}

int GMWelcomeWindow::selectedTab() const
{
    return m_pages->currentIndex();
}

void GMWelcomeWindow::moveHandleTo(QPushButton* tab)
{
    const QRect target(tab->x(), tab->y() + tab->height() + 1, tab->width(), 2);
    if (!m_handle->isVisible() || m_handle->width() == 0) {
        m_handle->setGeometry(target);
        m_handle->show();
        return;
    }
    auto* animation = new QPropertyAnimation(m_handle, "geometry", m_handle);
    animation->setDuration(int(handleSeconds * 1000));
    animation->setEndValue(target);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void GMWelcomeWindow::showHistory()
{
    m_historyTab->setChecked(true);
    m_mediaTab->setChecked(false);
    if (m_pages->currentIndex() != 0) {
        m_pages->setCurrentIndex(0);
        moveHandleTo(m_historyTab);
    }
}

void GMWelcomeWindow::showMediaBrowser()
{
    m_historyTab->setChecked(false);
    m_mediaTab->setChecked(true);
    if (m_pages->currentIndex() != 1) {
        m_pages->setCurrentIndex(1);
        moveHandleTo(m_mediaTab);
    }
}

void GMWelcomeWindow::showWarning(const QString& text)
{
    if (!m_warning) {
        m_warning = new QWidget(m_window->contentView());
        m_warning->setObjectName(QStringLiteral("warning"));
        m_warning->setAttribute(Qt::WA_StyledBackground, true);
        auto* column = new QVBoxLayout(m_warning);
        column->addStretch();
        m_warningLabel = new QLabel;
        m_warningLabel->setObjectName(QStringLiteral("warningText"));
        m_warningLabel->setWordWrap(true);
        m_warningLabel->setAlignment(Qt::AlignHCenter);
        // A fixed width, so the height the layout asks for is that of the lines as they are drawn.
        m_warningLabel->setFixedWidth(460);
        column->addWidget(m_warningLabel, 0, Qt::AlignHCenter);
        auto* dismiss = new QPushButton(pf::localized(QStringLiteral("Continue")));
        column->addWidget(dismiss, 0, Qt::AlignHCenter);
        column->addStretch();
        QObject::connect(dismiss, &QPushButton::clicked, m_warning, [this] { hideWarning(); });
    }
    m_warningLabel->setText(text);
    m_warningLabel->ensurePolished();
    m_warningLabel->setMinimumHeight(m_warningLabel->heightForWidth(m_warningLabel->width()) + 4);
    layOutOverlay();
    // The warning tells, it does not stand in the way: the window's tiles and buttons take the first
    // click through it (which dismisses it), and Escape dismisses it as Continue does.
    m_warning->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    m_warningMonitor = pf::EventMonitor::addLocalMonitor(
        pf::eventMask(pf::EventType::LeftMouseDown) | pf::eventMask(pf::EventType::RightMouseDown) |
            pf::eventMask(pf::EventType::KeyDown),
        [this](const pf::Event& event) {
            if (!m_warning || !m_window || event.window() != m_window)
                return true;
            const bool escape =
                event.type() == pf::EventType::KeyDown && event.keyCode() == pf::KeyCode::Escape;
            if (event.type() == pf::EventType::KeyDown && !escape)
                return true;
            // After this event: the monitor running now is the one the fade-out removes.
            pf::Timer::afterThisEvent([this] { hideWarning(); }, m_window);
            return !escape;
        });
    m_warning->show();
    m_warning->raise();
}

void GMWelcomeWindow::layOutOverlay()
{
    if (m_warning && m_window)
        m_warning->setGeometry(m_window->contentView()->rect());
}

void GMWelcomeWindow::hideWarning()
{
    if (!m_warning)
        return;
    QWidget* overlay = m_warning;
    m_warning = nullptr;
    m_warningLabel = nullptr;
    m_warningMonitor.reset();
    auto* effect = new QGraphicsOpacityEffect(overlay);
    overlay->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", overlay);
    fade->setDuration(300);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    QObject::connect(fade, &QPropertyAnimation::finished, overlay, [overlay] { overlay->deleteLater(); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

bool GMWelcomeWindow::isWarningShown() const
{
    return m_warning && !m_warning->isHidden();
}

QString GMWelcomeWindow::warningText() const
{
    return m_warningLabel ? m_warningLabel->text() : QString();
}

bool GMWelcomeWindow::showTutorial(const QWidget* over)
{
    if (!m_tutorialWindow) {
        const QString path =
            pf::Bundle::main().pathForResource(QStringLiteral("Quick Tutorial"), QStringLiteral("pdf"));
        auto* document = new QPdfDocument;
        if (path.isEmpty() || document->load(path) != QPdfDocument::Error::None) {
            delete document;
            return false;
        }
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setWindowTitle(pf::localized(QStringLiteral("Quick Tutorial")));
        window->resize(640, 820);
        document->setParent(window);
        auto* view = new QPdfView(window);
        view->setDocument(document);
        view->setPageMode(QPdfView::PageMode::MultiPage);
        view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        m_tutorial = document;
        m_tutorialWindow = window;
    }
    if (!m_tutorialWindow->isVisible()) {
        // It opens over the window it was asked from (else the welcome window), within the screen.
        const QWidget* anchor = over && over->isVisible() ? over : m_window.data();
        QScreen* screen = anchor && anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect();
        QSize size = m_tutorialWindow->size();
        if (available.isValid())
            size = size.boundedTo(available.size() - QSize(40, 60));
        m_tutorialWindow->resize(size);
        const QPoint middle =
            anchor && anchor->isVisible() ? anchor->frameGeometry().center() : available.center();
        QRect frame(middle - QPoint(size.width() / 2, size.height() / 2), size);
        if (available.isValid()) {
            frame.moveRight(std::min(frame.right(), available.right()));
            frame.moveBottom(std::min(frame.bottom(), available.bottom()));
            frame.moveLeft(std::max(frame.left(), available.left()));
            frame.moveTop(std::max(frame.top(), available.top()));
        }
        m_tutorialWindow->move(frame.topLeft());
    }
    m_tutorialWindow->show();
    m_tutorialWindow->raise();
    m_tutorialWindow->activateWindow();
    QTimer::singleShot(0, m_tutorialWindow, [window = m_tutorialWindow] {
        if (window)
            window->update();
    });
    return true;
}

int GMWelcomeWindow::tutorialPageCount() const
{
    return m_tutorial ? m_tutorial->pageCount() : 0;
}
