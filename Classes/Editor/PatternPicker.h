#pragma once

#include "Platform/UI/View.h"

#include <QImage>

class PhotoTool;

// A framed swatch showing a pattern picture, in the frame of the colour picker.
class PatternPicker : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    QImage pattern() const { return m_pattern; }
    void setPattern(const QImage& pattern);
    // Redraws; the tool's pattern does not reach the picker from here.
    void setPatternFromPhotoTool(const PhotoTool* tool);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QImage m_pattern;
};
