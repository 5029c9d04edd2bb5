#include "Classes/Framework/Toolkit/OVGridViewController.h"

#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewDelegate.h"
#include "Classes/Framework/Toolkit/OVTitledView.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/ClipView.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/ViewAnimator.h"

#include <QSet>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

const QString kIconWidth = QStringLiteral("IconWidth");

double titleHeight(pf::View* background)
{
    if (auto* titled = dynamic_cast<OVTitledView*>(background))
        return titled->titleSize().height;
    return 0;
}

} // namespace

OVGridViewController::OVGridViewController(const pf::Bundle* bundle, double delay)
    : OVViewController(QString(), bundle), m_delayedLayout(
                                               delay, [this] { refreshLayout(Animated); }, this)
{
    OVToolkitInterfaces::registerInterfaces();
    setup();
}

OVGridViewController::~OVGridViewController()
{
    m_delayedLayout.cancel();
    for (const Section& section : m_sections)
        for (const auto& item : section.items)
            if (item) {
                disconnect(item, &QObject::destroyed, this, &OVGridViewController::itemDestroyed);
                item->setDelegate(nullptr);
            }
    // Items removed in the turn that ends the grid may still be handling their own events: they leave the
    // window in one go and are deleted later.
    if (m_parking) {
        m_parking->removeFromSuperview();
        m_parking->deleteLater();
    }
}

void OVGridViewController::setup()
{
    if (m_setUp)
        return;
    m_setUp = true;
    m_aspectRatio = 1.0;
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    defaults.registerDefaults({{kIconWidth, 200.0}});
    // Every grid starts with 200-point cells whatever was stored; later changes are remembered.
    defaults.setDouble(kIconWidth, 200.0);
    m_iconSize =
        pf::Size(defaults.doubleForKey(kIconWidth), defaults.doubleForKey(kIconWidth) / m_aspectRatio);
    pf::UserDefaults::standard().setDouble(kIconWidth, m_iconSize.width);
    m_margin = pf::Size(5, 35);
    m_gridSpacing = pf::Size(15, 15);
}

void OVGridViewController::loadView()
{
    OVViewController::loadView();
    if (!isViewLoaded())
        return;
    setScrollView(outlet<pf::ScrollView>(QStringLiteral("scrollView")));
    m_container = outlet<pf::View>(QStringLiteral("container"));
    if (m_container) {
        // Items of a bulk removal wait here, hidden, until they go at a later turn or come back: a widget
        // that leaves its window walks every widget of the window, which made removing thousands of
        // items one by one take quadratic time.
        auto* parking = new pf::View(pf::Rect());
        parking->hide();
        m_container->addSubview(parking);
        m_parking = parking;
    }
    m_topShadow = outlet<pf::View>(QStringLiteral("topShadow"));
    m_bottomShadow = outlet<pf::View>(QStringLiteral("bottomShadow"));
    m_showShadows = m_topShadow && m_bottomShadow;
    refreshLayout(Animated);
}

// A cell must have a finite, positive size, and a margin a finite one: anything else makes the layout
// endless. Beyond the layout's largest measure a few rows would overflow the height of the grid.
bool OVGridViewController::acceptsMeasure(double value, const char* what, bool zeroAllowed)
{
    if (std::isfinite(value) && (value > 0 || (zeroAllowed && value == 0)) &&
        value <= OVGridLayout::largestMeasure)
        return true;
    pf::warning(QStringLiteral("The grid refuses the %1 %2: it must lie %3 0 and %4")
                    .arg(QLatin1String(what))
                    .arg(value)
                    .arg(zeroAllowed ? QStringLiteral("between") : QStringLiteral("above"))
                    .arg(OVGridLayout::largestMeasure));
    return false;
}

bool OVGridViewController::fitsContainer(pf::Size cell, pf::Size margin, const char* what, double value) const
{
    OVGridLayout::Parameters parameters = layoutParameters();
    parameters.cell = cell;
    parameters.margin = margin;
    std::vector<OVGridLayout::Section> sections;
    sections.reserve(m_sections.size());
    qsizetype items = 0;
    for (const Section& s : m_sections) {
        sections.push_back({int(s.items.size()), titleHeight(s.background)});
        items += s.items.size();
    }
    if (OVGridLayout::containerHeight(parameters, sections) <= OVGridLayout::largestContainerHeight)
        return true;
    pf::warning(QStringLiteral("The grid refuses the %1 %2: with its %3 items it would be taller than a view "
                               "can be")
                    .arg(QLatin1String(what))
                    .arg(value)
                    .arg(items));
    return false;
}

void OVGridViewController::setIconWidth(double width)
{
    if (!acceptsMeasure(width, "icon width") || !acceptsMeasure(width / m_aspectRatio, "icon height") ||
        !fitsContainer(pf::Size(width, width / m_aspectRatio), m_margin, "icon width", width))
        return;
    m_iconSize = pf::Size(width, width / m_aspectRatio);
    pf::UserDefaults::standard().setDouble(kIconWidth, width);
    refreshLayout(Animated);
}

void OVGridViewController::setAspectRatio(double ratio)
{
    if (!(std::isfinite(ratio) && ratio > 0)) {
        pf::warning(
            QStringLiteral("The grid refuses the aspect ratio %1: it must be finite and above 0").arg(ratio));
        return;
    }
    if (!acceptsMeasure(m_iconSize.width / ratio, "icon height") ||
        !fitsContainer(pf::Size(m_iconSize.width, m_iconSize.width / ratio), m_margin, "aspect ratio", ratio))
        return;
    m_aspectRatio = ratio;
    m_iconSize.height = m_iconSize.width / ratio;
    refreshLayout(Animated);
}

void OVGridViewController::setMarginWidth(double width)
{
    if (!acceptsMeasure(width, "margin width", true) ||
        !fitsContainer(m_iconSize, pf::Size(width, m_margin.height), "margin width", width))
        return;
    m_margin.width = width;
    setNeedsLayout(true);
}

void OVGridViewController::setMarginHeight(double height)
{
    if (!acceptsMeasure(height, "margin height", true) ||
        !fitsContainer(m_iconSize, pf::Size(m_margin.width, height), "margin height", height))
        return;
    m_margin.height = height;
    setNeedsLayout(true);
}

void OVGridViewController::setScrollView(pf::ScrollView* scrollView)
{
    m_scrollObserver.reset();
    m_scrollView = scrollView;
    if (!scrollView)
        return;
    m_scrollObserver = pf::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(pf::ClipView::boundsDidChangeNotification), scrollView->contentView(),
        [this](const pf::Notification&) { viewDidScroll(); });
}

void OVGridViewController::setGridParentView(pf::View* parent)
{
    if (parent == m_gridParentView)
        return;
    m_gridParentView = parent;
    if (!parent)
        return;
    if (pf::View* root = view()) {
        root->setFrame(parent->bounds());
        parent->addSubview(root);
    }
}

void OVGridViewController::setShowShadows(bool show)
{
    m_showShadows = show;
    viewDidScroll();
}

double OVGridViewController::scrollPosition() const
{
    if (!m_scrollView || !m_scrollView->documentView())
        return 0;
    const pf::Rect clip = m_scrollView->contentView()->bounds();
    const double d = m_scrollView->documentView()->frame().height();
    if (clip.height() >= d)
        return 0;
    return 1 - clip.minY() / (d - clip.height());
}

void OVGridViewController::setScrollPosition(double position)
{
    if (!m_scrollView || !m_scrollView->documentView() || !std::isfinite(position))
        return;
    pf::ClipView* clip = m_scrollView->contentView();
    const pf::Rect b = clip->bounds();
    const double d = m_scrollView->documentView()->frame().height();
    if (b.height() >= d)
        return;
    clip->setBoundsOrigin(pf::Point(b.minX(), (d - b.height()) * (1 - position)));
}

bool OVGridViewController::checkSection(unsigned section, const char* operation) const
{
    if (section < m_sections.size())
        return true;
    pf::warning(QStringLiteral("%1: the grid has no section %2").arg(QLatin1String(operation)).arg(section));
    return false;
}

unsigned OVGridViewController::addSectionWithSettings(quint64 settings, pf::View* background)
{
    if (m_sections.size() >= maxSections) {
        pf::error(QStringLiteral("more then %1 sections").arg(maxSections));
        return maxSections - 1;
    }
    Section section;
    section.settings = settings;
    if (background) {
        background->setAutoresizingMask(0);
        section.background = background;
        if (m_container)
            m_container->addSubview(background, pf::View::Ordering::Below, nullptr);
    }
    m_sections.push_back(std::move(section));
    return unsigned(m_sections.size() - 1);
}

void OVGridViewController::removeSection(unsigned section)
{
    if (!checkSection(section, "removeSection"))
        return;
    removeItemsInSection(section, true);
    if (pf::View* background = m_sections[section].background) {
        background->removeFromSuperview();
        background->deleteLater();
    }
    m_sections.erase(m_sections.begin() + section);
    setNeedsLayout(true);
}

void OVGridViewController::removeAllSections()
{
    for (unsigned s = sectionCount(); s-- > 0;)
        removeSection(s);
}

QList<OVGridItem*> OVGridViewController::gridItemsInSection(unsigned section) const
{
    QList<OVGridItem*> items;
    if (section < m_sections.size())
        for (const auto& item : m_sections[section].items)
            if (item)
                items.append(item);
    return items;
}

quint64 OVGridViewController::settingsOfSection(unsigned section) const
{
    return section < m_sections.size() ? m_sections[section].settings : 0;
}

pf::View* OVGridViewController::backgroundOfSection(unsigned section) const
{
    return section < m_sections.size() ? m_sections[section].background.data() : nullptr;
}

OVGridItem* OVGridViewController::addImage(const QImage& image, const QString& title, const QVariant& context,
                                           const QVariant& sortTag, unsigned section)
{
    if (!checkSection(section, "addImage"))
        return nullptr;
    OVGridItem* item =
        OVGridItem::gridItemWithImage(image, title, context, unsigned(m_sections[section].settings));
    item->setSortTag(sortTag);
    addGridItem(item, section);
    return item;
}

void OVGridViewController::setDelegate(OVGridViewDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->gridViewDelegateLifetime() : std::weak_ptr<const void>();
}

bool OVGridViewController::addGridItem(OVGridItem* item, unsigned section, bool instant)
{
    if (!item || !checkSection(section, "addGridItem"))
        return false;
    const QPointer<OVGridViewController> self(this);
    const bool placed = placeItem(item, section, instant);
    if (!self)
        return false;
    if (placed && !instant)
        sortSection(section);
    return placed;
}

bool OVGridViewController::placeItem(OVGridItem* item, unsigned section, bool instant, bool unlisted)
{
    // Every step below may reach the item's or this grid's owners (the grid or stack that held the item
    // lets go of it, the item reports its hover when it gets its delegate or moves into the container):
    // after each, what went is left alone.
    const QPointer<OVGridViewController> self(this);
    const QPointer<OVGridItem> guard(item);
    const auto lost = [&] { return !self || !guard || section >= m_sections.size(); };
    // Only an item this grid owns can be listed here (or fade out of its container).
    const bool own = item->owner() == this;
    if (!own && (!item->setOwner(this) || lost()))
        return false;
    const auto [listedSection, listedIndex] =
        own && !unlisted ? indexOfItem(item) : std::pair(notFound, notFound);
    // An item in the container that no section lists is fading out after its removal.
    const bool fading = own && listedSection == notFound && m_container && item->superview() == m_container &&
                        item->alphaValue() != 1;
    if (listedSection != notFound) {
        // The same item again only changes its section: it keeps its place, delegate and selection.
        m_sections[listedSection].items.removeAt(int(listedIndex));
    } else if (!instant) {
        const auto [s, i] = indexForObjectWithContext(item->context());
        if (s != notFound) {
            // The new item grows from where its predecessor stood.
            const pf::Rect before = m_sections[s].items[int(i)]->frame();
            removeItemAtIndex(s, i, false);
            if (lost())
                return false;
            item->setFrame(before);
        } else {
            centerGridItem(item);
        }
    } else {
        centerGridItem(item);
    }
    // Deleted by someone else while listed, it leaves the grid (its guard clears only after the widget
    // told of it, so the lists are swept once the event loop turns; until then readers skip it).
    connect(item, &QObject::destroyed, this, &OVGridViewController::itemDestroyed, Qt::UniqueConnection);
    m_sections[section].items.append(item);
    item->setDelegate(this);
    if (lost())
        return !self ? false : bool(guard);
    item->setAutoresizingMask(0);
    if (m_container && item->superview() != m_container) {
        m_container->addSubview(item);
        if (lost())
            return !self ? false : bool(guard);
    }
    // Added back while it fades out: the fade gives way to the full look, and its end, finding the item
    // listed, leaves it.
    if (fading)
        pf::ViewAnimator::runGroup(0, [item] { pf::ViewAnimator::animateAlpha(item, 1); });
    return true;
}

void OVGridViewController::itemDestroyed()
{
    QTimer::singleShot(0, this, [this] { forgetDeletedItems(); });
}

void OVGridViewController::forgetDeletedItems()
{
    // Items deleted by whoever while the grid listed them.
    bool forgot = false;
    for (Section& section : m_sections)
        forgot = section.items.removeIf([](const QPointer<OVGridItem>& item) { return item.isNull(); }) > 0 ||
                 forgot;
    if (forgot)
        setNeedsLayout(true);
}

void OVGridViewController::gridItemWasTaken(OVGridItem* item)
{
    // Another grid or a stack took the item: it is listed here no more, and this grid neither fades nor
    // deletes it (its pending removal finds it owned by another).
    disconnect(item, &QObject::destroyed, this, &OVGridViewController::itemDestroyed);
    if (const auto [s, i] = indexOfItem(item); s != notFound)
        m_sections[s].items.removeAt(int(i));
    if (item == m_selectedItem)
        m_selectedItem = nullptr;
    if (item->delegate() == this)
        item->setDelegate(nullptr);
    // A fade of its removal stops at the full look.
    if (item->alphaValue() != 1)
        pf::ViewAnimator::runGroup(0, [item] { pf::ViewAnimator::animateAlpha(item, 1); });
    setNeedsLayout(true);
}

void OVGridViewController::instantReplaceGridItems(const QList<OVGridItem*>& items, unsigned section)
{
    if (!checkSection(section, "instantReplaceGridItems"))
        return;
    // The delegate hears that nothing is selected, and may change the grid, even delete it, then.
    const QPointer<OVGridViewController> self(this);
    viewWasClicked(nullptr);
    if (!self || !checkSection(section, "instantReplaceGridItems"))
        return;
    // The items given, followed: any of the steps below may reach an owner that deletes one.
    QList<QPointer<OVGridItem>> given;
    given.reserve(items.size());
    for (OVGridItem* item : items)
        if (item)
            given.append(item);
    const pf::Transaction::Scope scope(true);
    for (int i = int(m_sections[section].items.size()); i-- > 0;) {
        takeItemAtIndex(section, unsigned(i), false, true);
        if (!self || section >= m_sections.size())
            return;
    }
    // Items this grid lists in other sections move here: each other section is filtered once, not
    // searched once per item.
    QSet<const OVGridItem*> moving;
    for (const QPointer<OVGridItem>& item : std::as_const(given))
        if (item && item->owner() == this)
            moving.insert(item.data());
    if (!moving.isEmpty()) {
        for (Section& other : m_sections)
            other.items.removeIf(
                [&](const QPointer<OVGridItem>& item) { return moving.contains(item.data()); });
        if (m_selectedItem && moving.contains(m_selectedItem.data()) && !m_selectedItem->isSelected())
            m_selectedItem = nullptr;
    }
    QSet<const OVGridItem*> placed;
    for (const QPointer<OVGridItem>& item : std::as_const(given)) {
        if (!item)
            continue;
        // Given twice, an item ends at its last place, as if added one by one.
        if (placed.contains(item.data()))
            m_sections[section].items.removeOne(item);
        placed.insert(item.data());
        placeItem(item, section, true, true);
        if (!self || section >= m_sections.size())
            return;
    }
    sortSection(section);
    refreshLayout(Instant);
}

void OVGridViewController::removeItemWithContext(const QVariant& context)
{
    const auto [s, i] = indexForObjectWithContext(context);
    if (s != notFound)
        removeItemAtIndex(s, i, true);
}

void OVGridViewController::removeItemsInSection(unsigned section, bool animated)
{
    if (!checkSection(section, "removeItemsInSection"))
        return;
    for (int i = int(m_sections[section].items.size()); i-- > 0;)
        takeItemAtIndex(section, unsigned(i), animated, true);
}

void OVGridViewController::retire(OVGridItem* item, bool park)
{
    item->setDelegate(nullptr);
    if (park && m_parking)
        m_parking->addSubview(item);
    else
        item->removeFromSuperview();
    // Never inside the item's own handler: at a later turn, and only when nobody put it back (into a
    // view, or into a grid or stack that took it over).
    pf::Timer::afterThisEvent([guard = QPointer<OVGridItem>(item), parking = QPointer<pf::View>(m_parking),
                               self = QPointer<OVGridViewController>(this)] {
        if (guard && guard->owner() == self.data() &&
            (!guard->parentWidget() || guard->superview() == parking))
            delete guard.data();
    });
}

OVGridItem* OVGridViewController::removeItemAtIndex(unsigned section, unsigned index, bool animated)
{
    return takeItemAtIndex(section, index, animated, false);
}

OVGridItem* OVGridViewController::takeItemAtIndex(unsigned section, unsigned index, bool animated, bool bulk)
{
    if (section == notFound)
        return nullptr;
    if (section >= m_sections.size() || index >= unsigned(m_sections[section].items.size())) {
        pf::warning(QStringLiteral("removeItemAtIndex: the grid has no item %1 in section %2")
                        .arg(index)
                        .arg(section));
        return nullptr;
    }
    OVGridItem* item = m_sections[section].items.takeAt(int(index));
    if (!item)
        return nullptr;
    disconnect(item, &QObject::destroyed, this, &OVGridViewController::itemDestroyed);
    if (item == m_selectedItem)
        m_selectedItem = nullptr;
    // Only an item in sight fades: one out of sight goes at once, so that removing a section of thousands
    // does not animate thousands of fades nobody sees.
    const bool inSight =
        !m_scrollView || !m_container || item->frame().intersects(m_scrollView->documentVisibleRect());
    const double fade = animated && inSight ? removalFadeDuration() : 0;
    if (fade > 0) {
        item->setDelegate(nullptr);
        const QPointer<OVGridItem> guard(item);
        pf::ViewAnimator::runGroup(
            fade, [item] { pf::ViewAnimator::animateAlpha(item, 0); },
            [this, guard, self = QPointer<OVGridViewController>(this),
             container = QPointer<pf::View>(m_container)] {
                // Added back during the fade, here or to another view or owner: it is no longer this
                // removal's.
                if (!guard || guard->superview() != container || guard->owner() != self.data() ||
                    (self && indexOfItem(guard).first != notFound))
                    return;
                if (self) {
                    retire(guard, false);
                } else {
                    guard->removeFromSuperview();
                    guard->deleteLater();
                }
            });
    } else {
        retire(item, bulk);
    }
    setNeedsLayout(true);
    return item;
}

std::pair<unsigned, unsigned> OVGridViewController::indexForObjectWithContext(const QVariant& context) const
{
    // Items without a context are all different: none stands for another.
    if (!context.isValid())
        return {notFound, notFound};
    for (unsigned s = 0; s < m_sections.size(); ++s) {
        const auto& items = m_sections[s].items;
        for (int i = 0; i < items.size(); ++i)
            if (items[i] && items[i]->context() == context)
                return {s, unsigned(i)};
    }
    return {notFound, notFound};
}

std::pair<unsigned, unsigned> OVGridViewController::indexOfItem(const OVGridItem* item) const
{
    for (unsigned s = 0; s < m_sections.size(); ++s) {
        const auto& items = m_sections[s].items;
        for (int i = 0; i < items.size(); ++i)
            if (items[i] == item)
                return {s, unsigned(i)};
    }
    return {notFound, notFound};
}

OVGridItem* OVGridViewController::gridItemForContext(const QVariant& context) const
{
    const auto [s, i] = indexForObjectWithContext(context);
    return s == notFound ? nullptr : m_sections[s].items[int(i)].data();
}

void OVGridViewController::centerGridItem(OVGridItem* item)
{
    if (!m_scrollView || !m_container) {
        item->setupInRect(OVGridLayout::centredCell(pf::Rect(0, 0, 0, 0), m_iconSize), false);
        return;
    }
    pf::Rect visible = m_scrollView->documentVisibleRect();
    if (visible.height() > m_container->frame().height()) {
        m_container->setFrame(pf::Rect(pf::Point(0, 0), m_scrollView->frame().size));
        visible = m_scrollView->documentVisibleRect();
    }
    item->setupInRect(OVGridLayout::centredCell(visible, m_iconSize), false);
}

void OVGridViewController::sortSection(unsigned section)
{
    auto& items = m_sections[section].items;
    std::stable_sort(
        items.begin(), items.end(), [](const QPointer<OVGridItem>& a, const QPointer<OVGridItem>& b) {
            return OVGridItem::compareTags(a ? a->sortTag() : QVariant(), b ? b->sortTag() : QVariant()) < 0;
        });
    setNeedsLayout(true);
}

void OVGridViewController::deselectAllItems()
{
    for (const Section& section : m_sections)
        for (const auto& item : section.items)
            if (item && item->isSelected())
                item->setSelected(false);
}

OVGridLayout::Parameters OVGridViewController::layoutParameters() const
{
    OVGridLayout::Parameters p;
    if (m_scrollView) {
        p.width = m_scrollView->frame().width();
        p.visibleHeight = m_scrollView->frame().height();
        p.scrollerWidth = m_scrollView->verticalScrollerWidth();
    }
    p.margin = m_margin;
    p.spacing = m_gridSpacing;
    p.cell = m_iconSize;
    return p;
}

void OVGridViewController::refreshLayout(int mode)
{
    forgetDeletedItems();
    if (!m_scrollView || !m_container)
        return;
    std::vector<OVGridLayout::Section> sections;
    sections.reserve(m_sections.size());
    for (const Section& s : m_sections)
        sections.push_back({int(s.items.size()), titleHeight(s.background)});
    const OVGridLayout::Result r = OVGridLayout::compute(layoutParameters(), sections);

    // The container follows at once, keeping the part of the grid shown measured from its top.
    pf::ClipView* clip = m_scrollView->contentView();
    const double fromTop = m_container->frame().maxY() - clip->bounds().maxY();
    m_container->setFrame(pf::Rect(0, 0, m_scrollView->frame().width(), r.containerHeight));
    clip->scrollToPoint(
        pf::Point(clip->bounds().minX(), r.containerHeight - fromTop - clip->bounds().height()));
    m_scrollView->reflectScrolledClipView();

    if (m_layout.keepsCells(r.columns, mode == OnColumnChange))
        return;
    const bool animated = mode != Instant;
    pf::ViewAnimator::beginGrouping();
    pf::ViewAnimator::setDuration(mode == Instant ? 0 : layoutAnimationDuration());
    for (std::size_t k = 0; k < m_sections.size(); ++k) {
        const Section& s = m_sections[k];
        if (s.background)
            ViewORVExtension::viewAnimator(s.background, animated).setFrame(r.backgrounds[k]);
        for (int i = 0; i < s.items.size(); ++i)
            if (s.items[i])
                s.items[i]->setupInRect(r.cells[k][std::size_t(i)], animated);
    }
    pf::ViewAnimator::endGrouping();
    viewDidScroll();
}

double OVGridViewController::layoutAnimationDuration() const
{
    return pf::ViewAnimator::durationFor(pf::ViewAnimator::defaultDuration, 2.5);
}

double OVGridViewController::removalFadeDuration() const
{
    return pf::ViewAnimator::durationFor(pf::ViewAnimator::defaultDuration, 2.0);
}

void OVGridViewController::setNeedsLayout(bool flag)
{
    if (flag)
        m_delayedLayout.request();
}

void OVGridViewController::viewDidScroll()
{
    if (!m_topShadow || !m_bottomShadow)
        return;
    if (!m_showShadows || !m_scrollView || !m_container) {
        m_topShadow->setAlphaValue(0);
        m_bottomShadow->setAlphaValue(0);
        return;
    }
    const pf::Rect visible = m_scrollView->documentVisibleRect();
    const double mh = std::max(1.0, m_margin.height);
    const double hidden = m_container->frame().height() - visible.maxY();
    m_topShadow->setAlphaValue(std::clamp(hidden / mh * 0.5, 0.0, 1.0));
    m_bottomShadow->setAlphaValue(std::clamp(visible.minY() / mh * 0.5, 0.0, 1.0));
}

void OVGridViewController::viewWasClicked(pf::View*)
{
    if (m_selectedItem && !m_allowMultiSelection) {
        // The item reports its deselection (the delegate hears that nothing is selected), which may
        // delete the grid; then the delegate hears it from the grid itself, as the last thing.
        const QPointer<OVGridViewController> self(this);
        OVGridItem* item = m_selectedItem;
        item->setSelected(false);
        if (!self)
            return;
        m_selectedItem = nullptr;
        if (OVGridViewDelegate* owner = delegate())
            owner->gridViewSelectedItemWithContext(this, QVariant());
    }
}

void OVGridViewController::viewDidAutoresize(pf::View*)
{
    refreshLayout(OnColumnChange);
    setNeedsLayout(true);
}

void OVGridViewController::gridItemWasExecuted(OVGridItem* item)
{
    if (OVGridViewDelegate* owner = delegate())
        owner->gridViewExecuteItemWithContext(this, item->context());
}

void OVGridViewController::gridItemWasSelected(OVGridItem* item)
{
    if (item->isSelected()) {
        if (m_selectedItem && m_selectedItem != item && !m_allowMultiSelection) {
            // The selection moves on: the delegate hears that nothing is selected and may change the
            // grid, the item, or delete them, then.
            const QPointer<OVGridViewController> self(this);
            const QPointer<OVGridItem> guard(item);
            m_selectedItem->setSelected(false);
            if (!self || !guard || !item->isSelected() || indexOfItem(item).first == notFound)
                return;
        }
        m_selectedItem = item;
    } else {
        m_selectedItem = nullptr;
    }
    if (OVGridViewDelegate* owner = delegate())
        owner->gridViewSelectedItemWithContext(this, m_selectedItem ? m_selectedItem->context() : QVariant());
}

void OVGridViewController::gridItemShouldRemove(OVGridItem* item)
{
    if (OVGridViewDelegate* owner = delegate()) {
        // The delegate may delete the item, or the grid with it.
        const QPointer<OVGridViewController> self(this);
        const QPointer<OVGridItem> guard(item);
        owner->gridViewRemoveItemWithContext(this, item->context());
        if (!self || !guard)
            return;
    }
    if (const auto [s, i] = indexOfItem(item); s != notFound)
        removeItemAtIndex(s, i, true);
}

void OVGridViewController::gridItemChangedPinState(OVGridItem* item, bool pinned)
{
    if (OVGridViewDelegate* owner = delegate())
        owner->gridViewChangedPinForItemWithContext(this, pinned, item->context());
}

void OVGridViewController::gridItemChangedHoverState(OVGridItem* item, bool hovered)
{
    if (OVGridViewDelegate* owner = delegate())
        owner->gridViewHoveringForItemWithContext(this, hovered, item->context());
}
