#pragma once

#include "Classes/Framework/OVFilter.h"
#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Point.h"

// Moves, scales and rotates an image and cuts the result to a rectangle, moved to the origin unless
// "inputKeepExtent" is set.
class OVAffineTransformFilter : public OVFilter
{
public:
    explicit OVAffineTransformFilter(const QString& className = QStringLiteral("OVAffineTransformFilter"));
    static void registerClass();

    // The centre of the input image's extent; (0, 0) without an image or for an infinite extent.
    pf::Point inputImageCenter() const;
    // The stored transform, or the one built from centre, angle, scale and translation.
    pf::AffineTransform inputTransform() const;
    pf::Vector inputScale() const;

    QVariant value(const QString& key) const override;
    pf::Image outputImage() const override;

    static pf::AffineTransform cgaffineTransformFromStruct(const std::array<double, 6>& numbers);
    static QVariantList arrayFromCGAffineTransform(const pf::AffineTransform& transform);
};
