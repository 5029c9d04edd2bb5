#include "Classes/Editor/OV3DLayerView.h"

#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

using pf::Point;
using pf::Rect;

namespace {

// Where the anchor puts the anchored point along one axis of that length: at the low or the high side's
// padding, or midway between the paddings.
double anchoredAt(int anchor, int low, int high, double length, double lowPadding, double highPadding)
{
    if (anchor == low)
        return lowPadding;
    if (anchor == high)
        return length - highPadding;
    return (length - lowPadding - highPadding) / 2 + lowPadding;
}

} // namespace

OV3DLayerView::OV3DLayerView(const Rect& frame, QWidget* parent)
    : LayerHostView(frame, parent), m_layer3D(OV3DLayer::create())
{
    const pf::Transaction::Scope atOnce(true);
    m_layer3D->setName(QStringLiteral("3D"));
    layer()->addSublayer(m_layer3D);
    fillView();
}

OV3DLayerView::~OV3DLayerView()
{
    // The layer may lie in the window's host, which outlives this view.
    const pf::Transaction::Scope atOnce(true);
    m_layer3D->removeFromSuperlayer();
}

void OV3DLayerView::fillView()
{
    const pf::Transaction::Scope atOnce(true);
    m_layer3D->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
    m_layer3D->setAnchorPoint(Point(0.5, 0.5));
    m_layer3D->setFrame(layer()->bounds());
}

pf::LayerHostView* OV3DLayerView::planeView() const
{
    if (m_isBackgroundLayer && window())
        if (pf::LayerHostView* host = LayerHostView::windowHost(window()))
            return host;
    return const_cast<OV3DLayerView*>(this);
}

void OV3DLayerView::placeLayer()
{
    pf::LayerHostView* plane = planeView();
    if (m_layer3D->superlayer() == plane->layer().get())
        return;
    const pf::Transaction::Scope atOnce(true);
    plane->layer()->addSublayer(m_layer3D);
}

void OV3DLayerView::setIsBackgroundLayer(bool flag)
{
    m_isBackgroundLayer = flag;
    placeLayer();
    if (flag) {
        m_layer3D->setAutoresizingMask(pf::Layer::NotSizable);
        fillWindowWithLayer();
    } else {
        fillView();
    }
}

void OV3DLayerView::setAnchor(int flags)
{
    m_anchor = flags;
    if (m_isBackgroundLayer)
        fillWindowWithLayer();
}

void OV3DLayerView::fillWindowWithLayer()
{
    pf::Window* w = window();
    if (!w || !w->contentView())
        return;
    const Rect b = layer()->bounds();
    const double width = b.width(), height = b.height();
    double ax = anchoredAt(m_anchor & 3, AnchorLeft, AnchorRight, width, m_padding.left, m_padding.right);
    double ay = anchoredAt(m_anchor & 12, AnchorBottom, AnchorTop, height, m_padding.bottom, m_padding.top);
    pf::View* content = w->contentView();
    const Rect r = convertRectFromView(content->bounds(), content);
    if (r.width() <= 0 || r.height() <= 0)
        return;
    ax -= r.minX();
    ay -= r.minY();
    placeLayer();
    const pf::LayerHostView* plane = planeView();
    const Rect frame = plane == this ? r : convertRectToView(r, plane);
    const pf::Transaction::Scope atOnce(true);
    m_layer3D->setAnchorPoint(Point(ax / r.width(), ay / r.height()));
    m_layer3D->setFixedWidth(width);
    m_layer3D->setFrame(frame);
}

void OV3DLayerView::bringLayerToFront()
{
    const pf::Transaction::Scope atOnce(true);
    if (pf::Layer* superlayer = m_layer3D->superlayer())
        superlayer->addSublayer(m_layer3D);
}

void OV3DLayerView::addSubview(pf::View* view)
{
    View::addSubview(view);
    if (m_stayFront)
        bringLayerToFront();
}

void OV3DLayerView::addSubview(pf::View* view, Ordering place, pf::View* relativeTo)
{
    View::addSubview(view, place, relativeTo);
    if (m_stayFront)
        bringLayerToFront();
}

void OV3DLayerView::viewDidMoveToSuperview()
{
    LayerHostView::viewDidMoveToSuperview();
    if (m_isBackgroundLayer)
        fillWindowWithLayer();
}

void OV3DLayerView::viewDidMoveToWindow()
{
    LayerHostView::viewDidMoveToWindow();
    if (!m_isBackgroundLayer)
        return;
    // Into the new window's host, or back into this view when it leaves every window.
    placeLayer();
    fillWindowWithLayer();
}

void OV3DLayerView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    LayerHostView::resizeSubviewsWithOldSize(oldSize);
    if (m_isBackgroundLayer)
        fillWindowWithLayer();
}

Point OV3DLayerView::convertPointToLayer3D(Point point, const pf::View* view) const
{
    const pf::LayerHostView* plane = planeView();
    const Point inPlane = plane->convertPointFromView(point, view);
    return m_layer3D->convertPointFromLayer(inPlane, nullptr);
}

Point OV3DLayerView::convertPointFromLayer3D(Point point, const pf::View* view) const
{
    const pf::LayerHostView* plane = planeView();
    const Point inPlane = m_layer3D->convertPointToLayer(point, nullptr);
    return plane->convertPointToView(inPlane, view);
}

Rect OV3DLayerView::convertRectToLayer3D(const Rect& rect, const pf::View* view) const
{
    const pf::LayerHostView* plane = planeView();
    const Rect inPlane = plane->convertRectFromView(rect, view);
    return m_layer3D->convertRectFromLayer(inPlane, nullptr);
}
