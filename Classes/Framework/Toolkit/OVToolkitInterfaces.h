#pragma once

// The toolkit's interfaces, laid out in code and registered by name with pf::InterfaceRegistry:
// "OVActivityPanel" (outlets view, panel, progressIndicator, messageTF), "OVToolTipController" (window,
// toolTipLabel), "OVHoverWindowController" (window, imageView, trackView, titleTF, descriptionTF) and
// "OVGridViewController" (view, scrollView, container, topShadow, bottomShadow).
// The controllers register them when first made; registering again changes nothing.
namespace OVToolkitInterfaces {

void registerInterfaces();

} // namespace OVToolkitInterfaces
