#pragma once

#include "Classes/Framework/OVFilter.h"

// Whole-mask operations on masks being painted, chosen by "inputNumber": 1 "integrateStroke" (the
// stroke merged into the mask), 3 "extractStroke" (the stroke alone), 2 "hardMaskWithStroke" (the
// background image cut to the stroke), and the spare tools 0, 4 to 7 and "hardMaskWithAlpha" for any
// other number (docs/masks.md). "inputImage" is mask A, "inputBackgroundImage" image B; the output takes
// the domain and extent of the image its kernel reads first. Without that image there is no output.
class GMBrushMaskTools : public OVFilter
{
public:
    enum Operation
    {
        FilterDifference = 0,
        IntegrateStroke = 1,
        HardMaskWithStroke = 2,
        ExtractStroke = 3,
        FilterOld = 4,
        AlphaAnalysis = 5,
        GreenToWhiteMask = 6,
        ShowDifference = 7
    };

    GMBrushMaskTools();
    static void registerClass();

    // The kernel an operation number runs.
    static QString kernelNameForNumber(int number);

    pf::Image outputImage() const override;
};
