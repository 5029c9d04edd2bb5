#pragma once

#include "Classes/Framework/OVFilter.h"

// Multiplies an image with one colour, weighted by the colour's alpha (alpha 0 leaves the image). Stored
// effects that name it are moved to the gradient multiply filter when they are loaded.
class OVColorMultiplyFilter : public OVFilter
{
public:
    explicit OVColorMultiplyFilter(const QString& className = QStringLiteral("OVColorMultiplyFilter"));

    pf::Image outputImage() const override;
};
