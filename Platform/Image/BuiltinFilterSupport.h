#pragma once

// Helpers shared by the built-in filters: attribute dictionaries in the form filter descriptions use,
// kernels compiled once from the engine's own texts, and rectangle arithmetic that keeps infinite and
// null rectangles what they are. Internal to the image engine.

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/Vector.h"

#include <QString>
#include <QVariantMap>
#include <optional>

namespace pf::builtin {

inline const QString InputImageKey = QStringLiteral("inputImage");
inline const QString InputBackgroundImageKey = QStringLiteral("inputBackgroundImage");
inline const QString InputRadiusKey = QStringLiteral("inputRadius");
inline const QString InputTransformKey = QStringLiteral("inputTransform");
inline const QString InputScaleKey = QStringLiteral("inputScale");
inline const QString InputAngleKey = QStringLiteral("inputAngle");
inline const QString InputColorKey = QStringLiteral("inputColor");
inline const QString InputCenterKey = QStringLiteral("inputCenter");

QVariantMap imageAttributes();
QVariantMap numberAttributes(double defaultValue, double minimum, double sliderMaximum, const QString& type,
                             std::optional<double> maximum = std::nullopt);
QVariantMap vectorAttributes(const Vector& defaultValue, const QString& type);
QVariantMap colorAttributes(const Color& defaultValue);
QVariantMap transformAttributes();

// The kernel of that name in a text of the engine's own; compiled on first use, then shared.
Kernel kernelNamed(const QString& text, const QString& name);

// An image whose pixels a kernel may read texel by texel (a nearest sampler at pixel centres gives the
// same values as a linear one): the image itself when its recipe keeps pixel centres on pixel centres,
// otherwise a copy resampled once onto the pixel grid.
Image onPixelGrid(const Image& image);

// Grows a rectangle by dx and dy on each side; infinite and null rectangles stay as they are.
Rect grown(const Rect& rect, double dx, double dy);
bool isIntegral(const Rect& rect);

} // namespace pf::builtin
