#include "Classes/Help/OVInformationCatalog.h"

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Classes/Framework/Toolkit/OVShadowedScrollView.h"
#include "Classes/Framework/Toolkit/ScrollViewORVExtension.h"
#include "Classes/Help/OVInformationCatalogDelegate.h"
#include "Classes/Help/OVInformationListEntry.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/UI/ClipView.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/SplitView.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace {

// The list is wide enough for each topic's second line (its subtitle) whole.
constexpr double kWindowWidth = 1010, kWindowHeight = 600;
constexpr double kListWidth = 400;
constexpr double kHeadHeight = 70, kFootHeight = 56, kInset = 20;

struct SharedState
{
    std::shared_ptr<QStringList> names;
    std::unique_ptr<OVInformationCatalog> catalog;
};

SharedState& shared()
{
    static SharedState s;
    return s;
}

std::shared_ptr<QStringList> sharedNames()
{
    auto& names = shared().names;
    if (names)
        return names;
    names = std::make_shared<QStringList>();
    const QString path = OVInformationPanel::informationBundle().pathForResource(
        QStringLiteral("HelpInformations"), QStringLiteral("plist"));
    if (path.isEmpty())
        return names;
    QString error;
    const auto value = pf::PropertyList::fromFile(path, &error);
    if (!value || value->metaType().id() != QMetaType::QVariantList) {
        pf::warning(QStringLiteral("The help topics \"%1\" cannot be read: %2")
                        .arg(path, value ? QStringLiteral("not a list") : error));
        return names;
    }
    for (const QVariant& name : value->toList())
        if (name.metaType().id() == QMetaType::QString && !name.toString().isEmpty())
            names->append(name.toString());
    return names;
}

// The right-hand scroll view, which tells the catalog when its size changed (shown or not).
class ContentScrollView : public OVShadowedScrollView
{
public:
    using OVShadowedScrollView::OVShadowedScrollView;
    std::function<void()> didResize;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override
    {
        OVShadowedScrollView::resizeSubviewsWithOldSize(oldSize);
        if (didResize && bounds().size != oldSize)
            didResize();
    }
};

// Both of the catalog's scroll views have a light scroller laid over their content.
void addLightScroller(OVShadowedScrollView* view)
{
    auto* scroller = new OVScroller(Qt::Vertical);
    scroller->setKnobStyle(OVScroller::KnobStyle::Light);
    view->setVerticalScroller(scroller);
    view->setScrollerIsOverlay(true);
}

pf::Interface buildCatalogInterface(QObject*, const pf::Bundle&)
{
    const double w = kWindowWidth, h = kWindowHeight;
    auto* window = new pf::Window(pf::Rect(120, 120, w, h),
                                  pf::Window::Titled | pf::Window::Closable | pf::Window::Resizable);
    window->setTitle(QStringLiteral("Tips & Tricks"));
    pf::View* content = window->contentView();

    auto* split = new pf::SplitView(pf::Rect(0, 0, w, h));
    split->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    content->addSubview(split);

    auto* left = new pf::View(pf::Rect(0, 0, kListWidth, h));
    split->addPane(left);
    auto* listScroll = new OVShadowedScrollView(pf::Rect(0, 0, kListWidth, h));
    listScroll->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    left->addSubview(listScroll);
    addLightScroller(listScroll);
    auto* list = new OVListView(pf::Rect(0, 0, kListWidth, h));
    list->setAutoresizingMask(pf::View::WidthSizable);
    listScroll->setDocumentView(list);

    const double rw = w - kListWidth - split->dividerThickness();
    auto* right = new pf::View(pf::Rect(0, 0, rw, h));
    split->addPane(right);
    auto* title = new pf::TextField(pf::Rect(kInset, h - 42, rw - 2 * kInset, 26));
    title->setFont(pf::boldSystemFont(17));
    auto* subtitle = new pf::TextField(pf::Rect(kInset, h - 62, rw - 2 * kInset, 18));
    subtitle->setFont(pf::systemFont(12));
    subtitle->setTextColor(QColor(90, 90, 90));
    for (pf::TextField* field : {title, subtitle}) {
        field->setEditable(false);
        field->setDrawsBackground(false);
        field->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
        right->addSubview(field);
    }
    auto* infoScroll = new ContentScrollView(pf::Rect(0, kFootHeight, rw, h - kFootHeight - kHeadHeight));
    infoScroll->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    right->addSubview(infoScroll);
    addLightScroller(infoScroll);
    infoScroll->setDocumentView(new pf::View(pf::Rect(0, 0, rw, h - kFootHeight - kHeadHeight)));
    auto* getStarted = new OVButton(pf::Rect(rw - kInset - 150, 13, 150, 30));
    getStarted->setName(QStringLiteral("DefaultStyle"));
    getStarted->setTitle(QStringLiteral("Get Started"));
    getStarted->setAutoresizingMask(pf::View::MinXMargin | pf::View::MaxYMargin);
    right->addSubview(getStarted);

    pf::Interface interface;
    const std::pair<const char*, QObject*> outlets[] = {
        {"window", window},
        {"splitView", split},
        {"leftSplit", left},
        {"rightSplit", right},
        {"infoList", list},
        {"infoListScrollView", listScroll},
        {"infoScrollView", infoScroll},
        {"infoTitle", title},
        {"infoSubtitle", subtitle},
        {"getStartedButton", getStarted},
    };
    for (const auto& [name, object] : outlets)
        interface.outlets.insert(QString::fromLatin1(name), object);
    interface.topLevelObjects = {window};
    return interface;
}

// The panel an entry of the catalog's list stands for; none for entries of another kind.
OVInformationListEntry* informationEntry(OVListEntryView* entry)
{
    return qobject_cast<OVInformationListEntry*>(entry);
}

} // namespace

OVInformationCatalog::OVInformationCatalog(std::shared_ptr<QStringList> names)
    : m_names(names ? std::move(names) : std::make_shared<QStringList>())
{
    const QString name = QStringLiteral("OVInformationCatalog");
    if (!pf::InterfaceRegistry::hasInterface(name))
        pf::InterfaceRegistry::registerInterface(name, buildCatalogInterface);
}

OVInformationCatalog::~OVInformationCatalog()
{
    if (auto* scroll = dynamic_cast<ContentScrollView*>(infoScrollView()))
        scroll->didResize = nullptr;
    if (m_infoList)
        m_infoList->setDelegate(nullptr);
    if (pf::SplitView* split = splitView())
        split->setDelegate(nullptr);
}

void OVInformationCatalog::addInformation(const QString& name)
{
    sharedNames()->append(name);
}

OVInformationCatalog* OVInformationCatalog::sharedInformationCatalog()
{
    auto& catalog = shared().catalog;
    if (!catalog)
        catalog = std::make_unique<OVInformationCatalog>(sharedNames());
    return catalog.get();
}

void OVInformationCatalog::showSharedInformationCatalog()
{
    sharedInformationCatalog()->showWindow();
}

void OVInformationCatalog::resetSharedCatalogForTesting()
{
    shared().catalog.reset();
    shared().names.reset();
}

void OVInformationCatalog::setWindowTitle(const QString& title)
{
    m_windowTitle = title;
    if (pf::Window* window = loadedWindow(); window && !title.isEmpty())
        window->setTitle(title);
}

OVButton* OVInformationCatalog::getStartedButton() const
{
    return isWindowLoaded() ? outlet<OVButton>(QStringLiteral("getStartedButton")) : nullptr;
}
OVShadowedScrollView* OVInformationCatalog::infoListScrollView() const
{
    return outlet<OVShadowedScrollView>(QStringLiteral("infoListScrollView"));
}
OVShadowedScrollView* OVInformationCatalog::infoScrollView() const
{
    return outlet<OVShadowedScrollView>(QStringLiteral("infoScrollView"));
}
pf::TextField* OVInformationCatalog::infoTitle() const
{
    return outlet<pf::TextField>(QStringLiteral("infoTitle"));
}
pf::TextField* OVInformationCatalog::infoSubtitle() const
{
    return outlet<pf::TextField>(QStringLiteral("infoSubtitle"));
}
pf::SplitView* OVInformationCatalog::splitView() const
{
    return outlet<pf::SplitView>(QStringLiteral("splitView"));
}
pf::View* OVInformationCatalog::documentView() const
{
    OVShadowedScrollView* scroll = infoScrollView();
    return scroll ? scroll->documentView() : nullptr;
}

OVInformationPanel* OVInformationCatalog::selectedPanel() const
{
    OVInformationListEntry* entry = m_infoList ? informationEntry(m_infoList->selectedEntry()) : nullptr;
    return entry ? entry->infoPanel() : nullptr;
}

void OVInformationCatalog::getStarted()
{
    if (m_delegate && m_delegate->infoCatalogGetStarted(this))
        return;
    close();
}

void OVInformationCatalog::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    pf::Window* window = loadedWindow();
    if (!window)
        return;
    if (!m_windowTitle.isEmpty())
        window->setTitle(m_windowTitle);
    if (OVButton* button = getStartedButton())
        button->setAction([this](OVButton*) { getStarted(); });
    if (pf::SplitView* split = splitView())
        split->setDelegate(this);

    m_infoList = outlet<OVListView>(QStringLiteral("infoList"));
    if (!m_infoList)
        return;
    m_infoList->setDelegate(this);
    m_infoList->setDefaultBehavior(OVListView::LayOutNow);
    // The list stacks from the bottom: the first topic, added last, reads at the top.
    for (auto it = m_names->crbegin(); it != m_names->crend(); ++it)
        m_infoList->addListEntry(new OVInformationListEntry(*it));
    OVListView* list = m_infoList;
    pf::ViewAnimator::runGroup(0, [list] { list->updateListLayout(OVListView::LayOutNow); });
    if (m_infoList->count() > 0)
        m_infoList->setSelectedIndex(m_infoList->count() - 1);

    if (auto* scroll = dynamic_cast<ContentScrollView*>(infoScrollView()))
        scroll->didResize = [this] { scrollViewDidResize(); };
}

void OVInformationCatalog::windowDidClose()
{
    OVWindowController::windowDidClose();
    if (m_delegate)
        m_delegate->infoCatalogDidClose(this);
    if (auto* scroll = dynamic_cast<ContentScrollView*>(infoScrollView()))
        scroll->didResize = nullptr;
    // The next showing builds the window and the list again, from the names as they are then.
    setWindow(nullptr);
}

void OVInformationCatalog::scrollViewDidResize()
{
    updateLayout();
}

void OVInformationCatalog::updateLayout()
{
    OVInformationPanel* panel = selectedPanel();
    OVShadowedScrollView* scroll = infoScrollView();
    pf::View* document = documentView();
    pf::View* box = panel ? panel->container() : nullptr;
    if (!scroll || !document || !box)
        return;
    const double width = scroll->contentView()->bounds().width();
    panel->setMaxSize(pf::Size(std::max(1.0, width - 2 * m_margin.width), 10000));
    panel->updateLayoutInstantly(true);
    const pf::Size content = box->frame().size;
    const double height =
        std::max(scroll->contentView()->bounds().height(), content.height + m_margin.height);
    document->setFrame(pf::Rect(0, 0, width, height));
    box->setFrameOrigin(pf::Point(m_margin.width, height - content.height));
    scroll->setContentHeight(content.height);
    scroll->reflectScrolledClipView();
}

void OVInformationCatalog::listViewWillDealloc(OVListView* list)
{
    if (list == m_infoList)
        m_infoList = nullptr;
}

std::optional<double> OVInformationCatalog::listViewWillResize(OVListView* list, double neededHeight)
{
    OVShadowedScrollView* scroll = infoListScrollView();
    if (!scroll)
        return neededHeight;
    pf::ClipView* clip = scroll->contentView();
    const double height = std::max(neededHeight, scroll->bounds().height());
    const double growth = height - list->frame().height();
    const pf::Rect visible = clip->bounds();
    if (growth > 0 && height > visible.height()) {
        // The list grows upwards: keep the rows that were in view in view while one opens.
        const double y = std::clamp(visible.minY() + growth, 0.0, std::max(0.0, height - visible.height()));
        const pf::Rect own = list->frame();
        pf::ViewAnimator::animateFrame(list, pf::Rect(own.minX(), own.minY(), own.width(), height));
        pf::ViewAnimator::animateBoundsOrigin(clip, pf::Point(visible.minX(), y));
    }
    scroll->setContentHeight(neededHeight);
    return height;
}

void OVInformationCatalog::listViewShouldShowFrame(OVListView*, const pf::Rect& frame, const pf::Rect&,
                                                   bool openAction)
{
    OVShadowedScrollView* scroll = infoListScrollView();
    if (!openAction || !scroll)
        return;
    ScrollViewORVExtension::scrollShowingFrame(*scroll->contentView(), frame, true, true,
                                               [scroll] { scroll->reflectScrolledClipView(); });
}

void OVInformationCatalog::listViewWillOpenEntry(OVListView*, OVListEntryView* entry)
{
    OVInformationListEntry* row = informationEntry(entry);
    if (!row)
        return;
    // After the list's own opening steps; a panel gone by then (its window closed) is left alone.
    OVInformationPanel* panel = row->infoPanel();
    pf::Timer::afterThisEvent([panel] { panel->makeFirstResponder(); }, panel);
}

void OVInformationCatalog::listViewDidOpenEntry(OVListView*, OVListEntryView* entry)
{
    if (OVInformationListEntry* row = informationEntry(entry))
        row->infoPanel()->setIsVisible(true);
}

void OVInformationCatalog::listViewWillCloseEntry(OVListView*, OVListEntryView* entry)
{
    if (OVInformationListEntry* row = informationEntry(entry))
        row->infoPanel()->setIsVisible(false);
}

void OVInformationCatalog::listViewDidSelectEntry(OVListView* list, OVListEntryView* entry)
{
    if (!entry) {
        // The catalog always shows a topic.
        if (list->count() > 0)
            list->setSelectedIndex(list->count() - 1);
        return;
    }
    OVInformationListEntry* row = informationEntry(entry);
    pf::View* document = documentView();
    if (!row || !document)
        return;
    OVInformationPanel* panel = row->infoPanel();
    pf::View* box = panel->container();
    if (!box || box->superview() == document)
        return;
    // The topic shown before goes back to its own panel's window, which keeps it.
    for (pf::View* shown : document->subviews()) {
        shown->removeFromSuperview();
        OVInformationPanel* owner = nullptr;
        for (OVListEntryView* other : list->entries())
            if (OVInformationListEntry* info = informationEntry(other);
                info && info->existingInfoPanel() && info->existingInfoPanel()->container() == shown)
                owner = info->existingInfoPanel();
        if (owner && owner->loadedWindow())
            owner->loadedWindow()->contentView()->addSubview(shown);
        else
            shown->deleteLater();
    }
    document->addSubview(box);
    box->show();
    if (pf::TextField* title = infoTitle())
        title->setStringValue(OVInformationPanel::localizedString(row->infoName()));
    if (pf::TextField* subtitle = infoSubtitle())
        subtitle->setStringValue(
            OVInformationPanel::localizedString(row->infoName() + QStringLiteral("Sub")));
    updateLayout();
    if (OVShadowedScrollView* scroll = infoScrollView()) {
        pf::ClipView* clip = scroll->contentView();
        const pf::Rect b = clip->bounds();
        clip->setBoundsOrigin(pf::Point(b.minX(), document->frame().height() - b.height()));
        scroll->reflectScrolledClipView();
        scroll->pushShadowsToFront();
    }
}

double OVInformationCatalog::splitViewConstrainMinCoordinate(pf::SplitView*, double proposedMinimum,
                                                             int divider)
{
    return divider == 0 ? minimumListWidth : proposedMinimum;
}

double OVInformationCatalog::splitViewConstrainMaxCoordinate(pf::SplitView* split, double proposedMaximum,
                                                             int divider)
{
    if (divider != 0)
        return proposedMaximum;
    return split->bounds().width() - split->dividerThickness() - minimumContentWidth;
}

bool OVInformationCatalog::splitViewResizeSubviewsWithOldSize(pf::SplitView* split, pf::Size)
{
    const QList<pf::View*> panes = split->panes();
    if (panes.size() != 2)
        return false;
    const double width = split->bounds().width(), height = split->bounds().height();
    const double thickness = split->dividerThickness();
    // The list keeps its width unless the content would drop under its minimum; in a window too narrow
    // for both minimums the list's wins, and the content pane shrinks to nothing rather than below.
    double left = std::min(panes[0]->frame().width(), width - thickness - minimumContentWidth);
    left = std::max(left, minimumListWidth);
    panes[0]->setFrameSize(pf::Size(left, height));
    panes[1]->setFrame(pf::Rect(left + thickness, 0, std::max(0.0, width - left - thickness), height));
    return true;
}
