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
#include <algorithm>

OVStackView::OVStackView(const pf::Rect& frame, QWidget* parent) : pf::LayerHostView(frame, parent)
{
    setupView();
}

OVStackView::~OVStackView()
{
    if (m_cursorPushed && window())
        OVCursorStack::popCursorForKey(pf::CursorStack::key(this), window());
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

    m_seed = quint32(QDateTime::currentSecsSinceEpoch());
}

void OVStackView::setAspectRatio(double ratio)
{
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

std::shared_ptr<pf::LayerForView> OVStackView::layerForItem(const OVGridItem* item) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == item)
            return m_itemLayers[i];
    return nullptr;
}

void OVStackView::addGridItem(OVGridItem* item, bool append)
{
    if (!item)
        return;
    if (m_layer3D->superlayer() != layer().get()) {
        pf::warning(QStringLiteral("Wrong superlayer for Layer 3D"));
        layer()->addSublayer(m_layer3D);
        layer()->addSublayer(m_shadowLayer);
    }
    std::shared_ptr<pf::LayerForView> itemLayer;
    if (const auto it = std::find(m_items.begin(), m_items.end(), item); it != m_items.end()) {
        // The same item again only moves in the pile: its layer owns it and must not go.
        const auto index = it - m_items.begin();
        itemLayer = m_itemLayers[std::size_t(index)];
        m_items.erase(it);
        m_itemLayers.erase(m_itemLayers.begin() + index);
    } else {
        removeItemWithContext(item->context());
        item->setDelegate(nullptr);
        item->setFrame(m_baseRect);
        itemLayer = pf::LayerForView::create(item);
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
    updateLayers();
    if (m_shadowVisible)
        setShadowOpacity(1);
}

void OVStackView::removeItemWithContext(const QVariant& context)
{
    // Items without a context are all different: none stands for another.
    if (!context.isValid())
        return;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->context() != context)
            continue;
        // The layer owns the item and deletes it when it goes: it is kept to a later turn, so that an
        // item removed from inside its own event handling is not deleted under it.
        auto itemLayer = m_itemLayers[i];
        m_items.erase(m_items.begin() + std::ptrdiff_t(i));
        m_itemLayers.erase(m_itemLayers.begin() + std::ptrdiff_t(i));
        itemLayer->removeFromSuperlayer();
        pf::Timer::afterThisEvent([itemLayer] {});
        updateLayers();
        // An empty pile has nothing to cast the shadow strip.
        if (m_items.empty())
            setShadowOpacity(0);
        return;
    }
}

void OVStackView::removeAllItems()
{
    for (const auto& itemLayer : m_itemLayers) {
        itemLayer->removeFromSuperlayer();
        pf::Timer::afterThisEvent([itemLayer] {});
    }
    m_items.clear();
    m_itemLayers.clear();
    setShadowOpacity(0);
    updateTrackingAreas();
}

void OVStackView::instantReplaceGridItems(const std::vector<OVGridItem*>& items)
{
    const pf::Transaction::Scope scope(true);
    removeAllItems();
    for (OVGridItem* item : items)
        addGridItem(item, true);
}

void OVStackView::updateLayers()
{
    // Every pass draws the same numbers in the same order, counted from the bottom of the pile.
    std::mt19937 jitter(m_seed);
    const int n = int(m_items.size());
    const int k = std::max(n - spreadCount, 0);
    const pf::Transaction::Scope scope(true);
    for (int i = 0; i < n; ++i) {
        const auto& itemLayer = m_itemLayers[std::size_t(n - 1 - i)];
        const float u = float((jitter() >> 1) % 10000000u) / 10000000.0f;
        const pf::Transform3D transform = pf::Transform3D::rotation(tilt, 1, 0, 0)
                                              .concatenated(pf::Transform3D::translation(
                                                  6.0 * u - 3.0, 18.0 + 3.0 * std::max(0, i - k), 0));
        itemLayer->setTransform(transform);
        itemLayer->setBorderColor(Qt::white);
        itemLayer->setBorderWidth(1.0);
        itemLayer->setShadowColor(Qt::black);
        itemLayer->setShadowOpacity(i < k ? 0.0 : 0.5);
        itemLayer->setShadowRadius(1.0);
        itemLayer->setShadowOffset(pf::Size(0, -4));
        m_layer3D->addSublayer(itemLayer);
    }
    updateTrackingAreas();
}

double OVStackView::neededHeight() const
{
    if (m_itemLayers.empty())
        return 0;
    const auto& top = m_itemLayers.front();
    return top->convertPointToLayer(pf::Point(0, top->bounds().height()), layer().get()).y;
}

double OVStackView::trackingTop() const
{
    if (!m_layer3D->sublayers().empty()) {
        const auto& top = m_layer3D->sublayers().back();
        return top->convertPointToLayer(pf::Point(0, m_baseRect.height()), layer().get()).y;
    }
    return m_shadowLayer->frame().maxY();
}

void OVStackView::updateTrackingAreas()
{
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
    if (event.clickCount() >= 1 && !m_items.empty() && p.y < trackingTop() && m_delegate) {
        m_delegate->didSelectStackView(this);
        return;
    }
    pf::LayerHostView::mouseUp(event);
}

void OVStackView::mouseEntered(const pf::Event&)
{
    if (pf::Window* w = window()) {
        OVCursorStack::pushCursor(pf::Cursors::pointingHand(), pf::CursorStack::key(this), w);
        m_cursorPushed = true;
    }
}

void OVStackView::mouseExited(const pf::Event&)
{
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
