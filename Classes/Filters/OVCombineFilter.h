#pragma once

#include "Classes/Framework/OVFilter.h"

#include <QStringList>

// Joins two shades that use the same blend mode into one, each weighted by its own intensity, so that
// laying the joined shade with that mode at full intensity gives what laying the lower and then the
// upper shade gives. Frame descriptions keep one and ask `isCombinableBlendMode` first.
class OVCombineFilter : public OVFilter
{
public:
    explicit OVCombineFilter(const QString& className = QStringLiteral("OVCombineFilter"));

    // "sourceOver", "multiply" and "negativeMultiply", in this order.
    static const QStringList& combinableBlendModes();
    static bool isCombinableBlendMode(const QString& name);

    QString blendMode() const { return stringValue(QStringLiteral("blendMode")); }
    void setBlendMode(const QString& mode) { setValue(mode, QStringLiteral("blendMode")); }

    // Over the background's extent. No image without both images or for a mode that cannot be combined
    // (the base class warns of the missing kernel).
    pf::Image outputImage() const override;
};
