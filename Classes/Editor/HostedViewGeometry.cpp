#include "Classes/Editor/HostedViewGeometry.h"

#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Platform/UI/LayerHostView.h"

namespace HostedViewGeometry {

namespace {

OV3DView* hostOf(const pf::View* view)
{
    auto* host = dynamic_cast<OV3DView*>(view->nextResponder());
    return host && host->layerForSubview(view) ? host : nullptr;
}

} // namespace

pf::View* enclosingView(const pf::View* view)
{
    if (!view)
        return nullptr;
    if (pf::View* superview = view->superview())
        return superview;
    return hostOf(view);
}

std::shared_ptr<pf::Layer> layerOfView(const pf::View* view)
{
    if (!view)
        return nullptr;
    if (OV3DView* host = hostOf(view))
        return host->layerForSubview(view);
    if (auto* layerHost = qobject_cast<const pf::LayerHostView*>(view))
        return layerHost->layer();
    return nullptr;
}

pf::Point toEnclosing(const pf::View* view, pf::Point point)
{
    if (pf::View* superview = view->superview())
        return view->convertPointToView(point, superview);
    const pf::Rect f = view->frame(), b = view->bounds();
    return pf::Point(point.x - b.minX() + f.minX(), point.y - b.minY() + f.minY());
}

pf::Point fromEnclosing(const pf::View* view, pf::Point point)
{
    if (pf::View* superview = view->superview())
        return view->convertPointFromView(point, superview);
    const pf::Rect f = view->frame(), b = view->bounds();
    return pf::Point(point.x - f.minX() + b.minX(), point.y - f.minY() + b.minY());
}

} // namespace HostedViewGeometry
