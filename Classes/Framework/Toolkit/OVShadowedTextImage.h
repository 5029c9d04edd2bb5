#pragma once

#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"

#include <QImage>
#include <QString>
#include <optional>

class QPainter;

// Text drawn with a blurred shadow. The shadow is costly to draw, so the text is drawn once into an
// image that is kept until anything it depends on (string, font, colours, shadow, alignment, size,
// device scale) changes. Without a shadow the text is drawn directly.
class OVShadowedTextImage
{
public:
    void draw(QPainter& painter, const pf::AttributedString& text, const pf::Rect& rect,
              const std::optional<pf::Shadow>& shadow);

private:
    QString m_key;
    QImage m_image;
    pf::Rect m_rect; // where the image goes, relative to the text's rectangle
};
