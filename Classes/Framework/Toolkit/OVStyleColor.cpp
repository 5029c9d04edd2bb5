#include "Classes/Framework/Toolkit/OVStyleColor.h"

pf::PaintColor OVStyleColor::fromText(const QString&)
{
    // Pending the colour-text reader: opaque black.
    return pf::PaintColor::calibratedRGB(0, 0, 0, 1);
}
