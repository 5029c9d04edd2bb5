#include "Classes/Editor/PatternPicker.h"

#include "Classes/Editor/ColorPicker.h"
#include "Platform/UI/Drawing.h"

void PatternPicker::setPattern(const QImage& pattern)
{
    m_pattern = pattern;
    setNeedsDisplay();
}

void PatternPicker::setPatternFromPhotoTool(const PhotoTool*)
{
    setNeedsDisplay();
}

void PatternPicker::drawRect(QPainter& painter, const pf::Rect&)
{
    ColorPicker::drawFrame(painter, bounds());
    pf::drawImage(painter, m_pattern, ColorPicker::contentRect(bounds()));
}
