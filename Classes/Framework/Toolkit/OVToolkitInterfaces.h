#pragma once

// The toolkit's interfaces, laid out in code and registered by name with pf::InterfaceRegistry:
// "OVActivityPanel" (outlets view, panel, progressIndicator, messageTF), "OVToolTipController" (window,
// toolTipLabel), "OVHoverWindowController" (window, imageView, trackView, titleTF, descriptionTF) and
// "OVGridViewController" (view, scrollView, container, topShadow, bottomShadow).
// The controllers register them when first made; registering again changes nothing.
#include "Platform/UI/InterfaceRegistry.h"

#include <initializer_list>
#include <utility>

class QObject;

namespace OVToolkitInterfaces {

void registerInterfaces();

// Registers `builder` under `name` unless some builder already has that name (a test's stand-in, or
// the same one registered by an earlier instance).
void registerIfMissing(const QString& name, pf::InterfaceRegistry::Builder builder);

// What an interface builder returns when its views hang from one object, `top` (the root view or the
// window): that object as the only top-level object, and the outlets by name.
pf::Interface interfaceWithOutlets(QObject* top,
                                   std::initializer_list<std::pair<const char*, QObject*>> outlets);

// The grid's views without the edge shadows: an image view as the root whose clicks go to `owner`,
// a scroll view with a light scroller over the container of the items (outlets view, scrollView,
// container).
pf::Interface gridWithoutShadows(QObject* owner);

} // namespace OVToolkitInterfaces
