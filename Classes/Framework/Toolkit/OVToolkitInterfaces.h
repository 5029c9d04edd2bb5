#pragma once

// The toolkit's interfaces, laid out in code and registered by name with pf::InterfaceRegistry:
// "OVActivityPanel" (outlets view, panel, progressIndicator, messageTF), "OVToolTipController" (window,
// toolTipLabel), "OVHoverWindowController" (window, imageView, trackView, titleTF, descriptionTF) and
// "OVGridViewController" (view, scrollView, container, topShadow, bottomShadow).
// The controllers register them when first made; registering again changes nothing.
#include "Platform/UI/InterfaceRegistry.h"

class QObject;

namespace OVToolkitInterfaces {

void registerInterfaces();

// The grid's views without the edge shadows: an image view as the root whose clicks go to `owner`,
// a scroll view with a light scroller over the container of the items (outlets view, scrollView,
// container).
pf::Interface gridWithoutShadows(QObject* owner);

} // namespace OVToolkitInterfaces
