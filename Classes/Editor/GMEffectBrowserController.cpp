#include "Classes/Editor/GMEffectBrowserController.h"

#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserDelegate.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/OVTransformedScrollView.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Timer.h"

#include "Platform/UI/Transaction.h"
#include <QEvent>

#include <QPainter>
#include <numbers>

using pf::Point;
using pf::Rect;

namespace {

const QString kInterfaceName = QStringLiteral("GMEffectBrowserController");
constexpr double kScrollDuration = 0.25;

// Marks a span in which the program, not the user, changes the selection.
class UpdatingSelection
{
public:
    explicit UpdatingSelection(bool& flag) : m_flag(flag), m_was(flag) { flag = true; }
    ~UpdatingSelection() { m_flag = m_was; }
    UpdatingSelection(const UpdatingSelection&) = delete;
    UpdatingSelection& operator=(const UpdatingSelection&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

// A line of a dark colour whose opacity runs from left to right through `stops` (place 0..1, alpha).
QImage darkFade(const QColor& dark, std::initializer_list<std::pair<double, int>> stops)
{
    QImage image(64, 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 64, 0);
    for (const auto& [at, alpha] : stops)
        gradient.setColorAt(at, QColor(dark.red(), dark.green(), dark.blue(), alpha));
    painter.fillRect(image.rect(), gradient);
    return image;
}

// The shadow at the strip's cut edge: the window's dark falling off to clear.
QImage cutShadowImage()
{
    return darkFade(QColor(18, 19, 22), {{0, 230}, {0.3, 150}, {1, 0}});
}

// The strip's far end fading into the window's dark, so that the tile passing it is not cut off sharp.
QImage endFadeImage()
{
    return darkFade(QColor(29, 30, 34), {{0, 0}, {0.75, 235}, {1, 255}});
}

// The browser's view: a 3D view hosting the scroll view with the tiles, the cut shadow over its left
// end, where the turned strip, coming nearer, is cut by the view's edge, and a fade over its far end,
// turned with the strip (the scroller below it stays clear).
pf::Interface buildEffectBrowserInterface(QObject*, const pf::Bundle&)
{
    const Rect frame(0, 0, 800, 200);
    auto* view = new OV3DView(frame);
    view->setDepthFactor(GMEffectBrowserController::kDepthFactor);

    const Rect strip(0, 12, frame.width() - 40, 176);
    auto* scrollView = new OVTransformedScrollView(strip);
    scrollView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    auto* collection = new GMNotResponderCollectionView(Rect(0, 0, strip.width(), strip.height()));
    collection->setItemSize(pf::Size(128, 160));
    scrollView->setDocumentView(collection);
    view->addSubview(scrollView);
    constexpr double fadeWidth = 56, scrollerRoom = 12;
    auto* fade = new OVImageView(
        Rect(strip.width() - fadeWidth, scrollerRoom, fadeWidth, strip.height() - scrollerRoom));
    fade->setImage(endFadeImage());
    fade->setNoHitTesting(true);
    fade->setAutoresizingMask(pf::View::MinXMargin | pf::View::HeightSizable);
    scrollView->addSubview(fade);

    auto* shadow = new OVImageView(Rect(strip.minX(), strip.minY(), 48, strip.height()));
    shadow->setImage(cutShadowImage());
    shadow->setNoHitTesting(true);
    shadow->setAutoresizingMask(pf::View::MaxXMargin | pf::View::HeightSizable);
    view->addSubview(shadow);

    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("view"), view);
    interface.outlets.insert(QStringLiteral("effectScrollView"), scrollView);
    interface.outlets.insert(QStringLiteral("effectCollectionView"), collection);
    interface.outlets.insert(QStringLiteral("cutShadow"), shadow);
    interface.outlets.insert(QStringLiteral("endFade"), fade);
    interface.topLevelObjects.push_back(view);
    return interface;
}

} // namespace

GMEffectBrowserController::GMEffectBrowserController()
{
    if (!pf::InterfaceRegistry::hasInterface(kInterfaceName))
        registerInterface();
}

GMEffectBrowserController::~GMEffectBrowserController()
{
    if (m_unhoverTimer)
        m_unhoverTimer->invalidate();
    if (m_effectCollectionView)
        m_effectCollectionView->setSelectionObserver(nullptr);
}

void GMEffectBrowserController::registerInterface()
{
    pf::InterfaceRegistry::registerInterface(kInterfaceName, buildEffectBrowserInterface);
}

OV3DView* GMEffectBrowserController::browserView()
{
    return qobject_cast<OV3DView*>(view());
}

void GMEffectBrowserController::loadView()
{
    const UpdatingSelection updating(m_updatingSelection);
    OVViewController::loadView();
    if (!isViewLoaded())
        return;
    m_effectCollectionView = outlet<GMNotResponderCollectionView>(QStringLiteral("effectCollectionView"));
    m_effectScrollView = outlet<OVTransformedScrollView>(QStringLiteral("effectScrollView"));
    m_cutShadow = outlet<pf::View>(QStringLiteral("cutShadow"));
    m_endFade = outlet<pf::View>(QStringLiteral("endFade"));

    auto& center = pf::NotificationCenter::defaultCenter();
    m_activeToken = center.addObserver(OV3DView::kActiveNotification, view(),
                                       [this](const pf::Notification&) { activate3D(); });
    if (m_effectCollectionView) {
        // The user's picks come in as a new selection.
        m_effectCollectionView->setSelectionObserver(
            [this](const QList<int>& indexes) { setSelectionIndexes(indexes); });
        m_hoverToken = center.addObserver(GMEffectIconView::kHoverNotification, m_effectCollectionView.data(),
                                          [this](const pf::Notification& n) { filterHovered(n); });
        m_unhoverToken =
            center.addObserver(GMEffectIconView::kUnHoverNotification, m_effectCollectionView.data(),
                               [this](const pf::Notification& n) { filterUnHovered(n); });
    }
    m_lastSelection = -1;
    if (m_effectScrollView && m_effectScrollView->documentView()) {
        pf::View* document = m_effectScrollView->documentView();
        if (document->isFlipped()) {
            m_effectScrollView->scrollToPoint(Point(0, 0));
        } else {
            const Rect f = document->frame();
            m_effectScrollView->scrollToPoint(
                Point(f.minX() + f.width() - m_effectScrollView->contentView()->bounds().width(), 0));
        }
    }
}

void GMEffectBrowserController::addEffects(const QVariantList& items)
{
    const qsizetype selectedBefore =
        m_effectCollectionView ? m_effectCollectionView->selectionIndexes().size() : 0;
    const UpdatingSelection updating(m_updatingSelection);
    view();
    if (m_effectCollectionView)
        m_effectCollectionView->addObjects(items);
    if (selectedBefore == 0)
        setSelectedFilter(QString());
}

GMEffectBrowserController::Predicate GMEffectBrowserController::bestPredicate()
{
    return [](const QVariantMap& item) { return item.value(QStringLiteral("best")).toBool(); };
}

void GMEffectBrowserController::setFilterPredicate(Predicate predicate)
{
    view();
    if (!m_effectCollectionView)
        return;
    m_effectCollectionView->setFilterPredicate(std::move(predicate));
    // The old index means another effect in the new list: the selection goes by the effect's name.
    const QString selected = m_selectedFilterName;
    const UpdatingSelection updating(m_updatingSelection);
    if (selected.isNull() || !showFilter(selected)) {
        setSelectionIndex(-1);
        // The old offset may lie beyond the shorter list: the strip starts again at its first tile.
        if (m_effectScrollView && m_effectCollectionView->numberOfItems() > 0) {
            const double x = m_effectScrollView->constrainScrollPoint(Point(0, 0)).x;
            m_effectScrollView->scrollToPoint(Point(x, m_effectScrollView->contentView()->bounds().minY()));
        }
    }
    m_selectedFilterName = selected;
}

QString GMEffectBrowserController::nameAtIndex(qint64 index) const
{
    if (!m_effectCollectionView || index < 0 || index >= m_effectCollectionView->numberOfItems())
        return QString();
    return m_effectCollectionView->arrangedObjects()
        .at(int(index))
        .toMap()
        .value(QStringLiteral("name"))
        .toString();
}

bool GMEffectBrowserController::showFilter(const QString& name)
{
    const QVariantList& items = m_effectCollectionView->arrangedObjects();
    int found = -1;
    for (int i = 0; i < items.size() && found < 0; ++i)
        if (items.at(i).toMap().value(QStringLiteral("name")).toString() == name)
            found = i;
    if (found < 0)
        return false;
    setSelectionIndex(found);
    if (m_effectScrollView) {
        // The tile comes to stand where the first one does, clear of the cut end.
        const Rect f = m_effectCollectionView->frameForItemAtIndex(found);
        const double x =
            m_effectScrollView
                ->constrainScrollPoint(Point(f.minX() - m_effectCollectionView->leadingInset(), 0))
                .x;
        m_effectScrollView->animateScrollToPoint(Point(x, m_effectScrollView->contentView()->bounds().minY()),
                                                 kScrollDuration);
    }
    return true;
}

void GMEffectBrowserController::setSelectedFilter(const QString& name)
{
    view();
    if (!m_effectCollectionView)
        return;
    const UpdatingSelection updating(m_updatingSelection);
    if (name.isNull()) {
        setSelectionIndex(-1);
        pf::NotificationCenter::defaultCenter().post(GMCollectionViewEffectItem::kSelectionNotification,
                                                     m_effectCollectionView.data());
    } else {
        // An effect that is unknown or filtered out leaves the selection as it is.
        showFilter(name);
    }
    m_selectedFilterName = name;
}

void GMEffectBrowserController::setSelectionIndex(qint64 index)
{
    const int count = m_effectCollectionView ? m_effectCollectionView->numberOfItems() : 0;
    if (index >= 0 && index < count) {
        const QString name = nameAtIndex(index);
        if (index != m_lastSelection && !m_updatingSelection && m_delegate)
            m_delegate->effectBrowserControllerAddPhotoTool(this, name);
        m_selectionIndexes = {int(index)};
        m_selectedFilterName = name;
    } else {
        m_selectionIndexes.clear();
        m_selectedFilterName.clear();
    }
    m_lastSelection = index;
    // The other side of the tie: the tiles show the selection.
    if (m_effectCollectionView)
        m_effectCollectionView->setSelectionIndexes(m_selectionIndexes);
}

void GMEffectBrowserController::setSelectionIndexes(const QList<int>& indexes)
{
    m_selectionIndexes = indexes;
    setSelectionIndex(indexes.isEmpty() ? -1 : indexes.first());
}

// Hover ----------------------------------------------------------------------------------------------

void GMEffectBrowserController::filterHovered(const pf::Notification& notification)
{
    if (m_unhoverTimer) {
        m_unhoverTimer->invalidate();
        m_unhoverTimer.reset();
    }
    m_hoveredFilterName = notification.userInfo.value(GMEffectIconView::kNameKey).toString();
    if (m_delegate)
        m_delegate->effectBrowserControllerHoveredFilterDidChange(this, m_hoveredFilterName);
}

void GMEffectBrowserController::filterUnHovered(const pf::Notification& notification)
{
    if (m_hoveredFilterName.isNull() ||
        notification.userInfo.value(GMEffectIconView::kNameKey).toString() != m_hoveredFilterName)
        return;
    if (m_unhoverTimer)
        m_unhoverTimer->invalidate();
    m_unhoverTimer = pf::Timer::scheduled(
        kUnhoverDelay, false, [this](pf::Timer&) { unHoverFilter(); }, this);
}

void GMEffectBrowserController::unHoverFilter()
{
    if (m_unhoverTimer) {
        m_unhoverTimer->invalidate();
        m_unhoverTimer.reset();
    }
    m_hoveredFilterName = QString();
    if (m_delegate)
        m_delegate->effectBrowserControllerHoveredFilterDidChange(this, QString());
}

// 3D -------------------------------------------------------------------------------------------------

void GMEffectBrowserController::setIncreased3DEffect(bool increased)
{
    OV3DView* view3D = browserView();
    if (!view3D)
        return;
    view3D->setDepthFactor(increased ? kIncreasedDepthFactor : kDepthFactor);
    if (const auto shadow = view3D->layerForSubview(m_cutShadow))
        shadow->setTransform(increased ? pf::Transform3D::translation(kCutShadowShift, 0, 0)
                                       : pf::Transform3D::identity());
}

void GMEffectBrowserController::updateLeadingInset()
{
    OV3DView* view3D = browserView();
    if (!view3D || !m_effectScrollView || !m_effectCollectionView || !view3D->window())
        return;
    const auto layer = view3D->layerForSubview(m_effectScrollView);
    if (!layer)
        return;
    // Where a point of the strip's left end is seen in the view: the first tile starts where that is
    // inside the view, by a small gap.
    const double y = m_effectScrollView->bounds().midY();
    const auto seenX = [&](double x) {
        return layer->convertPointToLayer(Point(x, y), view3D->layer().get()).x;
    };
    constexpr double gap = 6;
    double inset = 0;
    if (seenX(0) < gap) {
        double inside = m_effectScrollView->bounds().width() / 2, outside = 0;
        if (seenX(inside) < gap)
            return;
        for (int step = 0; step < 30; ++step) {
            const double x = (inside + outside) / 2;
            (seenX(x) < gap ? outside : inside) = x;
        }
        inset = std::ceil(inside);
    }
    m_effectCollectionView->setLeadingInset(inset);
}

bool GMEffectBrowserController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == browserView())
        updateLeadingInset();
    return OVViewController::eventFilter(watched, event);
}

void GMEffectBrowserController::activate3D()
{
    OV3DView* view3D = browserView();
    if (!view3D)
        return;
    const pf::Transaction::Scope atOnce(true);
    view3D->setDepthFactor(kDepthFactor);
    // Through the stored transform, so that the tilt survives the scroll view's resizing.
    if (m_effectScrollView)
        m_effectScrollView->setStoredTransform(pf::Transform3D::rotation(std::numbers::pi / 12, 0, 1, 0));
    updateLeadingInset();
    view3D->removeEventFilter(this);
    view3D->installEventFilter(this);
}
