#pragma once

#include "Platform/Image/Color.h"

#include <QImage>
#include <QMetaType>
#include <QString>

// A colour as the toolkit's text attributes describe it: red, green, blue and alpha, or a pattern that
// tiles an image of the application. A plain value.
//
// Colour text is one to four numbers separated by "/" (or, when there is no "/", by single blanks):
// one number is a grey, two a grey and its alpha, three red, green and blue, four with alpha; from five
// numbers on, the first three are taken, opaque. Splitting is literal, so two blanks in a row hold an
// empty number (0) between them. Each number is read as far as it goes ("0.5px" is 0.5), anything else
// is 0. Components are not clamped. When red comes out exactly 0 (which every text not starting with a
// number does), the whole text is first tried as the name of an image of the application: if there is
// one, the colour is a pattern of it.
class OVColor
{
public:
    // Opaque black.
    OVColor() = default;
    explicit OVColor(const pf::Color& rgb) : m_rgb(rgb) {}
    // A pattern colour tiling `image`; `rgb` is what the text's numbers said.
    static OVColor patternColor(const QImage& image, const pf::Color& rgb = pf::Color(0, 0, 0, 1));

    // Never fails: a text that is neither numbers nor an image name gives opaque black.
    static OVColor colorFromDescription(const QString& text);

    bool isPattern() const { return !m_pattern.isNull(); }
    // The components; for a pattern colour, those its text held.
    const pf::Color& rgb() const { return m_rgb; }
    const QImage& patternImage() const { return m_pattern; }

    bool operator==(const OVColor& other) const
    {
        return m_rgb == other.m_rgb && m_pattern == other.m_pattern;
    }

private:
    pf::Color m_rgb{0, 0, 0, 1};
    QImage m_pattern;
};

Q_DECLARE_METATYPE(OVColor)
