#include "Classes/Frames/OVShadeDescription.h"

#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Classes/Framework/StringORVExtension.h"

OVShadeDescription::OVShadeDescription() : m_blendMode(QStringLiteral("sourceOver")), m_intensity(1.0) {}

OVShadeDescription::OVShadeDescription(const QString& shadePath, const QString& blendMode, double intensity)
    : OVFrameImageDescription(shadePath), m_blendMode(OVAdjustableBlendFilter::verifiedBlendMode(blendMode)),
      m_intensity(intensity)
{}

bool OVShadeDescription::followsOuterEdge() const
{
    const OVResourceInfo info = ORVExtension::resourceInfo(imageURL());
    const QStringList fields = info.options().value_or(QString()).split(QLatin1Char('-'));
    for (qsizetype i = 4; i < fields.size(); ++i)
        if (fields[i].startsWith(QLatin1String("E#")))
            return true;
    return false;
}
