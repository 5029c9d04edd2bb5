#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The iris under a click as a mask stroke: pixels within "inputOuterRadius" of "inputCenter" whose colour
// is close to "inputRefColorLight" (within "inputTolerance"), outside the pupil of "inputPupilRadius"
// (about "inputPupilCenter", the centre when unset) unless "inputBoolPupil" is 1, and on the iris's side
// of the lids "inputUpperLid" and "inputLowerLid" (lines a, b, c: a x + b y + c, the distance from the
// line, is positive on the iris's side; (0, 0, 1) by default, no lid). A pupil radius at or beyond the outer
// radius (the finder's 400) means no pupil was found. The output is a stroke in the canvas encoding of
// docs/masks.md, over the input's domain, so it can be laid over a mask and taken out again as the click's
// stroke. "inputRefColorDark" is kept but not used. Four kernel slots; only the first (the iris) is applied.
class GMIrisMaskFinderFilter : public GMKernelFilter
{
public:
    explicit GMIrisMaskFinderFilter(const QString& className = QStringLiteral("GMIrisMaskFinderFilter"));
    pf::Image outputImage() const override;
};
