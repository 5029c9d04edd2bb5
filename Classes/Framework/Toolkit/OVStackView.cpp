#include "Classes/Framework/Toolkit/OVStackView.h"

#include "Classes/Framework/Toolkit/OV3DLayer.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVStackViewDelegate.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Cursors.h"
#include "Platform/UI/LayerForView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Transform3D.h"
#include "Platform/UI/Window.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>
#include <limits>
#include <unordered_set>

OVStackView::OVStackView(const pf::Rect& frame, QWidget* parent) : pf::LayerHostView(frame, parent)
{
    setupView();
}

OVStackView::~OVStackView()
{
    // The items go with their layers, among the members: they report to the pile no more.
    for (OVGridItem* item : m_items)
        disconnect(item, nullptr, this, nullptr);
    if (m_layoutTimer)
        m_layoutTimer->invalidate();
    if (m_cursorPushed && window())
        OVCursorStack::popCursorForKey(pf::CursorStack::key(this), window());
    // Items that left the pile in this turn may still be handling their own events; one that a grid or
    // another stack takes meanwhile is theirs.
    if (!m_retiring.empty())
        pf::Timer::afterThisEvent([retiring = std::make_shared<decltype(m_retiring)>(std::move(m_retiring))] {
            for (const auto& [view, itemLayer] : *retiring)
                if (const auto* item = qobject_cast<const OVGridItem*>(itemLayer->view());
                    item && item->owner())
                    itemLayer->releaseView();
        });
}

void OVStackView::setupView()
{
    const double w = bounds().width();
    setAspectRatio(16.0 / 9.0);
    const pf::Transaction::Scope scope(true);
    m_layer3D = OV3DLayer::create();
    m_layer3D->setDepthFactor(1.4);
    m_layer3D->setFrame(pf::Rect(0, 0, w, 800));
    m_layer3D->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::MaxYMargin);
    m_layer3D->setMasksToBounds(false);
    layer()->addSublayer(m_layer3D);

    m_shadowLayer = pf::Layer::create();
    const QImage shadow = pf::NamedImage::image(QStringLiteral("StackShadow"));
    m_shadowLayer->setContents(shadow);
    m_shadowLayer->setContentsScale(shadow.isNull() ? 1.0 : shadow.devicePixelRatio());
    m_shadowLayer->setContentsGravity(pf::ContentsGravity::Resize);
    m_shadowLayer->setOpacity(0);
    m_shadowLayer->setFrame(pf::Rect(1, 0, w - 20, 18));
    m_shadowLayer->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::MaxYMargin);
    layer()->addSublayer(m_shadowLayer);

    setSeed(quint32(QDateTime::currentSecsSinceEpoch()));
}

void OVStackView::setDelegate(OVStackViewDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->stackViewDelegateLifetime() : std::weak_ptr<const void>();
}

void OVStackView::setSeed(quint32 seed)
{
    m_seed = seed;
    m_jitter.clear();
    m_jitterSource.seed(seed);
}

double OVStackView::jitter(std::size_t place)
{
    // Every pass draws the same numbers in the same order, counted from the bottom of the pile: drawn
    // once, they are kept.
    while (m_jitter.size() <= place) {
        const float u = float((m_jitterSource() >> 1) % 10000000u) / 10000000.0f;
        m_jitter.push_back(6.0 * u - 3.0);
    }
    return m_jitter[place];
}

void OVStackView::setAspectRatio(double ratio)
{
    // Beyond these a thumbnail is a line, and its backing store may be larger than memory.
    if (!(ratio >= 0.01 && ratio <= 100)) {
        pf::warning(
            QStringLiteral("The stack view refuses the aspect ratio %1: it must lie between 0.01 and 100")
                .arg(ratio));
        return;
    }
    m_aspectRatio = ratio;
    updateBaseRect();
}

void OVStackView::updateBaseRect()
{
    const double w = bounds().width();
    m_baseRect = pf::Rect(10, 0, w - 20, w / m_aspectRatio);
}

void OVStackView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    pf::LayerHostView::resizeSubviewsWithOldSize(oldSize);
    updateBaseRect();
}

void OVStackView::setShadowOpacity(double opacity)
{
    const pf::Transaction::Scope scope;
    m_shadowLayer->setOpacity(opacity);
}

void OVStackView::setShadowVisible(bool visible)
{
    m_shadowVisible = visible;
    setShadowOpacity(visible && !m_items.empty() ? 1 : 0);
}

const std::shared_ptr<OV3DLayer>& OVStackView::containerLayer() const
{
    layOutIfNeeded();
    return m_layer3D;
}

pf::Rect OVStackView::trackingRect() const
{
    layOutIfNeeded();
    return m_trackingRect;
}

std::shared_ptr<pf::LayerForView> OVStackView::layerForItem(const OVGridItem* item) const
{
    layOutIfNeeded();
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == item)
            return m_itemLayers[i];
    return nullptr;
}

void OVStackView::repairSuperlayer()
{
    if (m_layer3D->superlayer() == layer().get())
        return;
    pf::warning(QStringLiteral("Wrong superlayer for Layer 3D"));
    layer()->addSublayer(m_layer3D);
    layer()->addSublayer(m_shadowLayer);
}

std::shared_ptr<pf::LayerForView> OVStackView::layerTakingItem(OVGridItem* item)
{
    // The grid or stack that held the item lets go of it first (it would delete it at its next turn).
    item->setOwner(this);
    if (const auto it = m_retiring.find(item); it != m_retiring.end()) {
        std::shared_ptr<pf::LayerForView> itemLayer = std::move(it->second);
        m_retiring.erase(it);
        if (itemLayer->view() == item)
            return itemLayer;
    }
    item->setDelegate(nullptr);
    item->setFrame(m_baseRect);
    return pf::LayerForView::create(item);
}

void OVStackView::gridItemWasTaken(OVGridItem* item)
{
    forgetItem(item, item);
}

void OVStackView::forgetItem(OVGridItem* item, const void* address)
{
    const bool deleted = !item;
    const auto it = std::find_if(m_items.begin(), m_items.end(), [address](const OVGridItem* listed) {
        return static_cast<const void*>(listed) == address;
    });
    if (it != m_items.end()) {
        const auto index = std::size_t(it - m_items.begin());
        const std::shared_ptr<pf::LayerForView> itemLayer = m_itemLayers[index];
        if (!deleted)
            disconnect(*it, nullptr, this, nullptr);
        m_items.erase(it);
        m_itemLayers.erase(m_itemLayers.begin() + std::ptrdiff_t(index));
        // The index may name the item under its old context: it is rebuilt at the next lookup.
        m_contextIndexStale = true;
        const pf::Transaction::Scope scope(true);
        itemLayer->removeFromSuperlayer();
        if (!deleted)
            itemLayer->releaseView();
        setNeedsLayers();
        if (m_items.empty())
            setShadowOpacity(0);
    }
    // A retiring item is no longer indexed: only one taken by another owner is found here.
    if (deleted)
        return;
    if (const auto retiring = m_retiring.find(item); retiring != m_retiring.end()) {
        retiring->second->releaseView();
        m_retiring.erase(retiring);
    }
}

void OVStackView::retire(const std::shared_ptr<pf::LayerForView>& itemLayer)
{
    itemLayer->removeFromSuperlayer();
    m_retiring[itemLayer->view()] = itemLayer;
    if (m_retiring.size() == 1)
        pf::Timer::afterThisEvent(
            [this] {
                // Deleting the items must not meet a list that is being changed.
                const auto retiring = std::move(m_retiring);
                m_retiring.clear();
            },
            this);
}

void OVStackView::addGridItem(OVGridItem* item, bool append)
{
    if (!item)
        return;
    repairSuperlayer();
    std::shared_ptr<pf::LayerForView> itemLayer;
    const auto it = std::find(m_items.begin(), m_items.end(), item);
    const bool moved = it != m_items.end();
    if (moved) {
        // The same item again only moves in the pile: its layer owns it and must not go.
        const auto index = it - m_items.begin();
        itemLayer = m_itemLayers[std::size_t(index)];
        m_items.erase(it);
        m_itemLayers.erase(m_itemLayers.begin() + index);
    } else {
        takeItemWithContext(item->context());
        itemLayer = layerTakingItem(item);
    }
    {
        const pf::Transaction::Scope scope(true);
        itemLayer->setFrame(m_baseRect);
    }
    if (append) {
        m_items.push_back(item);
        m_itemLayers.push_back(itemLayer);
    } else {
        m_items.insert(m_items.begin(), item);
        m_itemLayers.insert(m_itemLayers.begin(), itemLayer);
    }
    if (!moved)
        indexItem(item);
    setNeedsLayers();
    if (m_shadowVisible)
        setShadowOpacity(1);
}

bool OVStackView::takeItemWithContext(const QVariant& context)
{
    // Items without a context are all different: none stands for another.
    if (!context.isValid())
        return false;
    rebuildContextIndexIfStale();
    std::size_t i = 0;
    if (!m_contextIndexStale && m_otherContexts == 0 && context.typeId() == QMetaType::QString) {
        const auto found = m_stringContexts.constFind(context.toString());
        if (found == m_stringContexts.constEnd())
            return false;
        i = std::size_t(std::find(m_items.begin(), m_items.end(), found.value()) - m_items.begin());
    } else {
        while (i < m_items.size() && m_items[i]->context() != context)
            ++i;
    }
    if (i == m_items.size())
        return false;
    const auto itemLayer = m_itemLayers[i];
    unindexItem(m_items[i]);
    m_items.erase(m_items.begin() + std::ptrdiff_t(i));
    m_itemLayers.erase(m_itemLayers.begin() + std::ptrdiff_t(i));
    retire(itemLayer);
    return true;
}

void OVStackView::indexItem(OVGridItem* item)
{
    connect(item, &OVGridItem::contextChanged, this, [this] { m_contextIndexStale = true; });
    // Deleted by someone else while in the pile, it leaves the pile.
    connect(item, &QObject::destroyed, this,
            [this, address = static_cast<const void*>(item)] { forgetItem(nullptr, address); });
    indexContext(item);
}

void OVStackView::unindexItem(OVGridItem* item)
{
    disconnect(item, nullptr, this, nullptr);
    const QVariant context = item->context();
    if (m_contextIndexStale || !context.isValid())
        return;
    if (context.typeId() != QMetaType::QString) {
        --m_otherContexts;
        return;
    }
    if (const auto it = m_stringContexts.find(context.toString());
        it != m_stringContexts.end() && it.value() == item)
        m_stringContexts.erase(it);
}

void OVStackView::indexContext(OVGridItem* item)
{
    const QVariant context = item->context();
    if (m_contextIndexStale || !context.isValid())
        return;
    if (context.typeId() != QMetaType::QString) {
        ++m_otherContexts;
        return;
    }
    // Two equal contexts (one changed in the pile) cannot be told apart by the string: walk.
    const QString text = context.toString();
    if (m_stringContexts.contains(text))
        m_contextIndexStale = true;
    else
        m_stringContexts.insert(text, item);
}

void OVStackView::rebuildContextIndexIfStale()
{
    if (!m_contextIndexStale)
        return;
    m_contextIndexStale = false;
    m_stringContexts.clear();
    m_otherContexts = 0;
    for (OVGridItem* item : m_items)
        indexContext(item);
}

void OVStackView::removeItemWithContext(const QVariant& context)
{
    if (!takeItemWithContext(context))
        return;
    setNeedsLayers();
    // An empty pile has nothing to cast the shadow strip.
    if (m_items.empty())
        setShadowOpacity(0);
}

void OVStackView::removeAllItems()
{
    for (const auto& itemLayer : m_itemLayers)
        retire(itemLayer);
    for (OVGridItem* item : m_items)
        disconnect(item, nullptr, this, nullptr);
    m_items.clear();
    m_itemLayers.clear();
    m_stringContexts.clear();
    m_otherContexts = 0;
    m_contextIndexStale = false;
    setShadowOpacity(0);
    updateTrackingAreas();
}

namespace {

// Whether a context equal to one seen before came, for lists too long to compare every pair. Contexts
// that are all strings, or all integers of one kind, equal each other exactly when their texts do;
// any other mix (which may compare across kinds) is compared pair by pair.
class ContextSet
{
public:
    explicit ContextSet(const std::vector<OVGridItem*>& items)
    {
        int kind = QMetaType::UnknownType;
        for (const OVGridItem* item : items) {
            if (!item || !item->context().isValid())
                continue;
            const int id = item->context().typeId();
            if (kind == QMetaType::UnknownType)
                kind = id;
            if (id != kind)
                m_byText = false;
        }
        m_byText =
            m_byText && (kind == QMetaType::QString || kind == QMetaType::Int || kind == QMetaType::UInt ||
                         kind == QMetaType::LongLong || kind == QMetaType::ULongLong);
    }
    // False when an equal context was inserted before; contexts that are not valid are all new.
    bool insert(const QVariant& context)
    {
        if (!context.isValid())
            return true;
        if (m_byText) {
            const QString text = context.toString();
            if (m_texts.contains(text))
                return false;
            m_texts.insert(text);
            return true;
        }
        if (std::find(m_contexts.begin(), m_contexts.end(), context) != m_contexts.end())
            return false;
        m_contexts.push_back(context);
        return true;
    }

private:
    bool m_byText = true;
    QSet<QString> m_texts;
    std::vector<QVariant> m_contexts;
};

} // namespace

void OVStackView::instantReplaceGridItems(const std::vector<OVGridItem*>& items)
{
    const pf::Transaction::Scope scope(true);
    removeAllItems();
    // Appending one by one, an item leaves for a later one of equal context and an item given twice
    // ends at its last place: so the last of each stays.
    ContextSet contexts(items);
    std::unordered_set<const OVGridItem*> seen;
    std::vector<OVGridItem*> kept;
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        if (*it && seen.insert(*it).second && contexts.insert((*it)->context()))
            kept.push_back(*it);
    std::reverse(kept.begin(), kept.end());
    if (kept.empty())
        return;
    repairSuperlayer();
    // The others given are taken and let go, as they would be one by one.
    const std::unordered_set<const OVGridItem*> staying(kept.begin(), kept.end());
    for (OVGridItem* item : items)
        if (item && !staying.contains(item) && !m_retiring.contains(item))
            retire(layerTakingItem(item));
    for (OVGridItem* item : kept) {
        const auto itemLayer = layerTakingItem(item);
        itemLayer->setFrame(m_baseRect);
        m_items.push_back(item);
        m_itemLayers.push_back(itemLayer);
        indexItem(item);
    }
    setNeedsLayers();
    if (m_shadowVisible)
        setShadowOpacity(1);
}

void OVStackView::setNeedsLayers()
{
    m_needsLayers = true;
    if (m_layoutTimer && m_layoutTimer->isValid())
        return;
    m_layoutTimer = pf::Timer::afterThisEvent([this] { layOutIfNeeded(); }, this);
}

void OVStackView::layOutIfNeeded() const
{
    // Laying out changes no part of the pile a caller sees, only how it is shown.
    if (m_needsLayers)
        const_cast<OVStackView*>(this)->updateLayers();
}

void OVStackView::layoutLayersIfNeeded()
{
    layOutIfNeeded();
}

namespace {

// Whether an item's thumbnail covers its whole rectangle opaquely: a picture without transparency
// stretched over it (nine slices included), drawn at full strength.
bool coversItsRectangle(const OVGridItem& item)
{
    const QImage picture = item.image();
    return item.ciImage().isNull() && !picture.isNull() && !picture.hasAlphaChannel() &&
           item.gravity() == OVImageView::Fill && item.opacity() >= 1 && item.alphaValue() >= 1;
}

} // namespace

void OVStackView::updateLayers()
{
    m_needsLayers = false;
    const int n = int(m_items.size());
    const int k = std::max(n - spreadCount, 0);
    const pf::Transform3D tilted = pf::Transform3D::rotation(tilt, 1, 0, 0);
    const pf::Transaction::Scope scope(true);
    // The thumbnails under the spread ones lie in one place, a few points apart sideways. One that opaque
    // thumbnails drawn after it reach past on both sides shows nothing and is not drawn: the first
    // drawing of a pile of thousands would otherwise draw every one of them.
    double coveredFrom = std::numeric_limits<double>::infinity();
    double coveredTo = -std::numeric_limits<double>::infinity();
    for (int i = k - 1; i >= 0; --i) {
        const auto& itemLayer = m_itemLayers[std::size_t(n - 1 - i)];
        const double shift = jitter(std::size_t(i));
        itemLayer->setHidden(shift > coveredFrom && shift < coveredTo);
        if (const OVGridItem* item = m_items[std::size_t(n - 1 - i)]; item && coversItsRectangle(*item)) {
            coveredFrom = std::min(coveredFrom, shift);
            coveredTo = std::max(coveredTo, shift);
        }
    }
    for (int i = k; i < n; ++i)
        m_itemLayers[std::size_t(n - 1 - i)]->setHidden(false);
    for (int i = 0; i < n; ++i) {
        const auto& itemLayer = m_itemLayers[std::size_t(n - 1 - i)];
        itemLayer->setTransform(tilted.concatenated(
            pf::Transform3D::translation(jitter(std::size_t(i)), 18.0 + 3.0 * std::max(0, i - k), 0)));
        itemLayer->setBorderColor(Qt::white);
        itemLayer->setBorderWidth(1.0);
        itemLayer->setShadowColor(Qt::black);
        itemLayer->setShadowOpacity(i < k ? 0.0 : 0.5);
        itemLayer->setShadowRadius(1.0);
        itemLayer->setShadowOffset(pf::Size(0, -4));
    }
    // Drawn bottom first, so the first item is on top; only thumbnails out of place move, which keeps a
    // pass over a long pile from moving every layer.
    for (int i = 0; i < n; ++i) {
        const auto& itemLayer = m_itemLayers[std::size_t(n - 1 - i)];
        const auto& drawn = m_layer3D->sublayers();
        if (std::size_t(i) >= drawn.size() || drawn[std::size_t(i)] != itemLayer)
            m_layer3D->insertSublayer(itemLayer, std::size_t(i));
    }
    updateTrackingAreas();
}

double OVStackView::neededHeight() const
{
    layOutIfNeeded();
    if (m_itemLayers.empty())
        return 0;
    const auto& top = m_itemLayers.front();
    return top->convertPointToLayer(pf::Point(0, top->bounds().height()), layer().get()).y;
}

double OVStackView::trackingTop() const
{
    layOutIfNeeded();
    if (!m_layer3D->sublayers().empty()) {
        const auto& top = m_layer3D->sublayers().back();
        return top->convertPointToLayer(pf::Point(0, m_baseRect.height()), layer().get()).y;
    }
    return m_shadowLayer->frame().maxY();
}

void OVStackView::updateTrackingAreas()
{
    // A pass ends by tracking the pile it laid out.
    if (m_needsLayers) {
        updateLayers();
        return;
    }
    ViewORVExtension::dropTrackingArea(*this, m_trackingArea);
    if (superview() && !m_items.empty()) {
        m_trackingRect = bounds();
        m_trackingRect.size.height = trackingTop();
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            m_trackingRect, pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveInKeyWindow,
            this));
        if (window()) {
            const pf::Point p = convertPointFromScreen(pf::Event::mouseLocation());
            if (m_trackingRect.contains(p))
                mouseEntered(pf::Event());
            else
                mouseExited(pf::Event());
        }
    } else {
        m_trackingRect = pf::Rect();
        if (m_cursorPushed)
            mouseExited(pf::Event());
    }
}

pf::View* OVStackView::hitTest(pf::Point pointInSuperview)
{
    if (isHidden())
        return nullptr;
    return frame().contains(pointInSuperview) ? this : nullptr;
}

void OVStackView::mouseDown(const pf::Event&)
{
    // The pile is one button: the press waits for its release.
}

void OVStackView::mouseUp(const pf::Event& event)
{
    const pf::Point p = convertPointFromView(event.locationInWindow(), nullptr);
    if (OVStackViewDelegate* owner = delegate();
        event.clickCount() >= 1 && !m_items.empty() && p.y < trackingTop() && owner) {
        owner->didSelectStackView(this); // the last step: the delegate may delete the pile
        return;
    }
    pf::LayerHostView::mouseUp(event);
}

// The tracking area that reports the pointer may be one of the pile before its latest change: the pass
// then tests the pointer against the new pile itself.
void OVStackView::mouseEntered(const pf::Event&)
{
    if (m_needsLayers) {
        updateLayers();
        return;
    }
    if (pf::Window* w = window()) {
        OVCursorStack::pushCursor(pf::Cursors::pointingHand(), pf::CursorStack::key(this), w);
        m_cursorPushed = true;
    }
}

void OVStackView::mouseExited(const pf::Event&)
{
    if (m_needsLayers) {
        updateLayers();
        return;
    }
    if (pf::Window* w = window(); w && m_cursorPushed)
        OVCursorStack::popCursorForKey(pf::CursorStack::key(this), w);
    m_cursorPushed = false;
}

void OVStackView::viewWillMoveToWindow(pf::Window* newWindow)
{
    pf::LayerHostView::viewWillMoveToWindow(newWindow);
    if (pf::Window* w = window(); w && m_cursorPushed)
        OVCursorStack::popCursorForKey(pf::CursorStack::key(this), w);
    m_cursorPushed = false;
}
