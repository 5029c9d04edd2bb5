#pragma once

#include "Classes/Filters/GMKernelFilter.h"

#include <QStringList>

// What the colour selections share: "inputImage" compared, pixel by pixel, with "inputColorImage" (a
// picked colour spread over the image, as a rule), by the member's kernel and number inputs (each in
// 0..1 with the default 0.02). The mask lies where the image is, its size at the origin.
class GMColorSelectionFilter : public GMKernelFilter
{
public:
    pf::Image outputImage() const override;

protected:
    // `nearest`: the colour image is read without interpolation.
    GMColorSelectionFilter(const QString& className, bool nearest, const QStringList& numberKeys);

private:
    bool m_nearest;
    QStringList m_numberKeys;
};
