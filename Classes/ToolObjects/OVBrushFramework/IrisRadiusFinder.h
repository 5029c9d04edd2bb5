#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"

#include <array>
#include <vector>

// Measures, on the CPU, the pupil at a clicked point and the iris colour around it, for the iris click
// brush. The image is rendered only around the point asked about, once for as far as a question reaches
// (a click on a large photo renders the eye, not the photo); the questions then read those pixels.
//
// Pixels: the point (x, y), y up with the origin at the image's bottom left, lies in the pixel of column
// trunc(x) and of row trunc(y) counted from the bottom. A click at a pixel's centre (x + 0.5, y + 0.5) is
// the centre of the pupil search, and a ring at distance d reads the four pixels d columns or rows away.
// A pixel outside the image never matches a test.
class IrisRadiusFinder
{
public:
    // Reported when the search reaches the outer radius or the image's border before the pupil ends.
    static constexpr int NoPupilFound = 400;
    // How far a colour may stray from the iris colour and still count as iris: the iris mask's
    // tolerance, which the fit of a small iris judges its pixels by too.
    static constexpr double IrisTolerance = 0.19;

    void setInputCIImage(const pf::Image& image);
    pf::Image inputCIImage() const { return m_image; }
    void setInputPoint(pf::Point point) { m_point = point; }
    pf::Point inputPoint() const { return m_point; }
    void setOuterRadius(int radius) { m_outerRadius = radius; }
    int outerRadius() const { return m_outerRadius; }

    // Runs the pupil search and returns its result: the first ring distance at which fewer than three of
    // the four axis pixels still look like the pupil (dark, or red where the centre is red), or
    // NoPupilFound.
    int pupilRadius();
    // The mean of the iris-coloured pixels among four on the axes around the point, halfway between the
    // pupil and nine tenths of the outer radius; black, with a logged warning, when none is. Uses the
    // last pupilRadius().
    pf::Color irisColorLight() const;

    // The iris around the point, found from the pixels: what a click on an eye means is the annulus
    // from the pupil's edge to the limbus (where the iris meets the white of the eye), whatever the
    // brush's size. Round edges darker inside than out vote for their centres; around the strongest
    // centres near the click the luminance and the chroma are read along rays, and circles darker
    // inside than just outside along many rays are rings: pupils, irises, and round things that are
    // neither. The iris is told from the others by what an iris is: a ring with the white of the eye
    // outside it, lighter and less coloured than the iris, along part of it at least (a pupil has the
    // iris around it, the outline of a small face's eye the skin); of those, the one standing out most,
    // a pupil inside it counting too. The bound on its size is only a ceiling. The circle is then
    // fitted to the edge, so a click anywhere on the iris finds the same iris; the pupil is the dark
    // disc inside it, the lids the chords across the arcs along which no limbus shows, or lower, where
    // a coloured iris gives way to the greyer lashes hanging over its top. The colour is
    // the mean of the annulus's middle, without the catch light, the pupil or the lids (pixels far
    // lighter or darker than most of it).
    struct Iris
    {
        bool found = false;
        pf::Point centre;        // y up, like the input point
        double pupilRadius = 0;  // 0: no pupil shows
        pf::Point pupilCentre;   // y up; an eye's pupil may lie a little off its iris's middle
        double limbusRadius = 0; // where the iris ends
        pf::Color colour;        // straight, opaque
        double whiteLuma = 0;    // the white of the eye beside the limbus; 0 where none shows
        double pupilLuma = 0;    // half-way between the pupil's dark and the iris; 0 without a pupil
        // Where lids hide part of the circle: lines (a, b, c) with a x + b y + c the distance from the
        // line in pixels, positive on the iris's side; (0, 0, 1) for none.
        std::array<std::array<double, 3>, 2> lids{{{0, 0, 1}, {0, 0, 1}}};
    };
    // Looks for an iris no larger than `maxRadius` pixels that holds the input point; nothing is found
    // where no round edge stands out (a click beside the eye). Nothing larger is ever taken: on a small
    // face the lids, the eye's corners and the face's own outline make rings too. An iris of a few
    // pixels is fitted again as the disc that holds the most of its colour and its pupil's dark.
    Iris locateIris(double maxRadius) const;

    // A pupil the flash turned red, under the input point: the red disc around it (with the catch light
    // it holds) and the fringe where the red spills over the pupil's edge. Found only where the clicked
    // pixel, or one within a pixel and a half of it, is plainly red (red at least twice the other
    // channels) and the red region around it closes within `maxRadius`: lips, a red garment or a
    // brown iris, redder than the rest of a face but not red like that or not round and small, are no
    // red pupil.
    struct RedPupil
    {
        bool found = false;
        pf::Point centre;  // y up
        double radius = 0; // the red's extent, fringe included
        pf::Color colour;  // the mean red, straight and opaque
    };
    RedPupil locateRedPupil(double maxRadius) const;

    // Colours are straight RGB in 0..1; hue, saturation and brightness as ORVExtension::hsv gives them.
    static bool isBlackish(const pf::Color& color);
    static bool isRed(const pf::Color& color);
    // 1, less one for each of: too bright, red, nearly grey. Above 0 is an iris colour.
    static int isIrisColor(const pf::Color& color);
    // The mean red, green and blue, opaque; black with a logged warning for no colours.
    static pf::Color mixNSColorsInArray(const std::vector<pf::Color>& colors);

private:
    // Renders the pixels within `reach` of a point (y up) unless they are at hand already.
    void cover(pf::Point centre, double reach) const;
    // The pixel at a column and a row of the image counted from the top, or nothing outside the pixels
    // rendered.
    bool colorAt(long long column, long long row, pf::Color& color) const;
    // The straight colour at a point (y up), interpolated between pixel centres; nothing where the
    // interpolation would reach outside the bitmap.
    bool colorAtPoint(double x, double y, float rgb[3]) const;
    void workOnBitmap();
    // locateIris's search, its circles tried about `origin` (the click, or the middle of an iris found
    // from it); the iris must still hold the input point.
    Iris irisFrom(pf::Point origin, double maxRadius) const;
    // locateIris's circle and lids, before the lid's margin is found over the iris's top.
    Iris fittedIris(double maxRadius) const;
    // locateIris's search, before a small iris is fitted again.
    Iris searchedIris(double maxRadius) const;

    pf::Image m_image;
    long long m_columns = 0, m_rows = 0; // the image's size in whole pixels
    // The pixels rendered, and where their top left lies in the image.
    mutable pf::Bitmap m_bitmap;
    mutable long long m_column0 = 0, m_row0 = 0;
    pf::Point m_point;
    int m_pupilRadius = 0;
    int m_outerRadius = 10;
};
