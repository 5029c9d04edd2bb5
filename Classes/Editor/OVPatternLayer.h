#pragma once

#include "Platform/UI/Layer.h"

#include <QImage>

// A layer filled with a repeating picture. It renders a whole number of tiles at least 50 points
// larger than itself, centred and cut at its bounds, so it renders again only when it grows beyond
// that image.
class OVPatternLayer : public pf::Layer
{
public:
    OVPatternLayer();

    // (Named as the design names it.)
    void setPatterImage(const QImage& image);
    QImage patternImage() const { return m_pattern; }
    pf::Size patternSize() const { return m_patternSize; }
    // The size of the image rendered last.
    pf::Size lastImageSize() const { return m_lastImageSize; }

    void setBounds(const pf::Rect& bounds) override;
    void updatePattern();

private:
    QImage m_pattern;
    pf::Size m_patternSize;
    pf::Size m_lastImageSize;
};
