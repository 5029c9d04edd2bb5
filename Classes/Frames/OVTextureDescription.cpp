#include "Classes/Frames/OVTextureDescription.h"

OVTextureDescription::OVTextureDescription(const QString& filePath, quint64 sections,
                                           const ORVExtension::HSV& baseColor, bool shouldScale,
                                           double baseScale, bool repeating)
    : m_filePath(filePath), m_sections(sections), m_baseColor(baseColor), m_shouldScale(shouldScale),
      m_baseScale(baseScale), m_repeating(repeating)
{}

pf::Image OVTextureDescription::image() const
{
    return pf::Image::fromFile(m_filePath);
}
