#pragma once

#include <QImage>
#include <QString>

namespace pf {

class Bundle;

// Images of the application's resources by name ("KnobBig", "KnobBig.png", "Masks/Oval"), loaded on
// first use and kept for the life of the process. PNG, TIFF and JPEG are found, in that order of
// preference. On a screen of scale 1.5 and above a "@2x" file is preferred; a "@2x" image has a device
// pixel ratio of 2, so it draws at the size of its plain sibling. A name found nowhere gives a null
// image (and is looked up again next time). Main thread only.
namespace NamedImage {

QImage image(const QString& name);
// With an explicit screen scale and bundle (tests, and drawing for another screen).
QImage image(const QString& name, double screenScale, const Bundle& bundle);
// The path that image() would load; empty when there is none.
QString path(const QString& name, double screenScale, const Bundle& bundle);
// The scale of the screen the interface is on (the largest of the screens).
double screenScale();
void clearCache();

} // namespace NamedImage

} // namespace pf
