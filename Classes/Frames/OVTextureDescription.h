#pragma once

#include "Classes/Framework/ColorORVExtension.h"
#include "Platform/Image/Image.h"

#include <QString>

// One texture of the catalog: its JPEG file and the drawing options parsed from the file name once.
// Immutable; the image is read from disk at every request, nothing is cached.
class OVTextureDescription
{
public:
    OVTextureDescription(const QString& filePath, quint64 sections, const ORVExtension::HSV& baseColor,
                         bool shouldScale, double baseScale, bool repeating);

    const QString& filePath() const { return m_filePath; }
    // Loads the file anew; a null image when it cannot be read.
    pf::Image image() const;
    quint64 sections() const { return m_sections; }
    // Hue as a fraction of the circle, saturation and value as fractions.
    const ORVExtension::HSV& baseColor() const { return m_baseColor; }
    bool shouldScale() const { return m_shouldScale; }
    double baseScale() const { return m_baseScale; }
    bool repeating() const { return m_repeating; }

private:
    QString m_filePath;
    quint64 m_sections;
    ORVExtension::HSV m_baseColor;
    bool m_shouldScale;
    double m_baseScale;
    bool m_repeating;
};
