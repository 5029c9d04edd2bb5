#pragma once

#include "Platform/Foundation/Point.h"

#include <memory>

namespace pf {
class Layer;
class View;
} // namespace pf

// Where a view is seen, also when a 3D view shows it in a layer: such a hosted view has no superview of
// its own (it is a window never shown), yet to the user it lies in the 3D view, its frame in that view's
// coordinates.
namespace HostedViewGeometry {

// The superview, or the 3D view that hosts the view; null for neither.
pf::View* enclosingView(const pf::View* view);
// The layer the view is seen through: its layer in the 3D view that hosts it, a layer host's root;
// null for a plain view.
std::shared_ptr<pf::Layer> layerOfView(const pf::View* view);
// A point of the view's own coordinates in its enclosing view's, and back, by view geometry (layer
// transforms left out).
pf::Point toEnclosing(const pf::View* view, pf::Point point);
pf::Point fromEnclosing(const pf::View* view, pf::Point point);

} // namespace HostedViewGeometry
