#include "Classes/Frames/OVShadeDescription.h"

#include "Classes/Filters/OVAdjustableBlendFilter.h"

OVShadeDescription::OVShadeDescription() : m_blendMode(QStringLiteral("sourceOver")), m_intensity(1.0) {}

OVShadeDescription::OVShadeDescription(const QString& shadePath, const QString& blendMode, double intensity)
    : OVFrameImageDescription(shadePath), m_blendMode(OVAdjustableBlendFilter::verifiedBlendMode(blendMode)),
      m_intensity(intensity)
{}
