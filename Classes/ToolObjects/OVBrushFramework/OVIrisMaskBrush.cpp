#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Vector.h"

#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

// The largest iris radius a face holds, as a share of the width the face detector gives it: the
// detector's box takes in the hair and ears beside the cheeks, and an iris's radius is about a fortieth
// of it (a portrait's is 3.5 pixels in a box of 149); twice that leaves room for a close-up's
// perspective and a child's larger eyes.
constexpr double LargestIrisShareOfFace = 0.05;
// Without a face (a close-up of one eye, a profile, a crop) the brush bounds the iris, loosely: a limbus
// radius up to the brush's diameter, so that a brush half as wide as the iris still finds it. The bound
// is only a ceiling: what is taken is the ring an iris is, whatever the brush.
constexpr double LargestIrisShareOfBrush = 1.0;
// Nothing smaller is looked for: an iris of a pixel or two shows no ring.
constexpr double SmallestBound = 2.0;

Rect squareAround(const Point& centre, double side)
{
    return Rect(centre.x - side / 2, centre.y - side / 2, side, side);
}

// The start mask made opaque grey, its value in every channel: what a click paints over.
Image integrated(const Image& start)
{
    FilterPtr integrate = Filter::create(QStringLiteral("GMBrushMaskTools"));
    if (!integrate)
        return start;
    integrate->setValue(QVariant::fromValue(start), QStringLiteral("inputImage"));
    integrate->setValue(1, QStringLiteral("inputNumber"));
    return integrate->value(OutputImageKey).value<Image>();
}

} // namespace

void OVIrisMaskBrush::registerClass()
{
    OVMaskBrush::setClickBrushFactory([] { return std::make_shared<OVIrisMaskBrush>(); });
}

Size OVIrisMaskBrush::startSize() const
{
    if (m_startImage.isNull())
        return Size(0, 0);
    const Rect extent = m_startImage.extent();
    return extent.isInfinite() ? Size(0, 0) : Size(extent.width(), extent.height());
}

void OVIrisMaskBrush::brushDownAtPoint(const OVBrush& brush, const Point& point)
{
    const Size size = startSize();
    m_withPupil = brush.brushSubType == OVBrush::IrisReplacement;
    m_irisFinder = std::make_unique<IrisRadiusFinder>();
    m_irisFinder->setInputCIImage(m_backgroundImage);
    m_irisFinder->setOuterRadius(Filter::saturatingInt(brush.size * 0.5));

    m_brushFilter = selectionFilter(m_backgroundImage);
    if (m_brushFilter)
        m_brushFilter->setValue(brush.size * 0.5, QStringLiteral("inputOuterRadius"));
    m_lastPoint = Point(point.x * size.width, point.y * size.height);
}

FilterPtr OVIrisMaskBrush::selectionFilter(const Image& photo)
{
    FilterPtr filter = Filter::create(QStringLiteral("GMIrisMaskFinderFilter"));
    if (filter) {
        filter->setDefaults();
        filter->setValue(QVariant::fromValue(photo), QStringLiteral("inputImage"));
        filter->setValue(IrisRadiusFinder::IrisTolerance, QStringLiteral("inputTolerance"));
    }
    return filter;
}

double OVIrisMaskBrush::largestIrisRadius() const
{
    return largestIrisRadius(m_faceWidth, m_brushSize);
}

double OVIrisMaskBrush::largestIrisRadius(double faceWidth, double brushSize)
{
    const double bound = faceWidth > 0 && std::isfinite(faceWidth) ? LargestIrisShareOfFace * faceWidth
                                                                   : LargestIrisShareOfBrush * brushSize;
    return std::isfinite(bound) ? std::max(bound, SmallestBound) : SmallestBound;
}

void OVIrisMaskBrush::processPoint(const Point& point)
{
    processPoints({point});
}

OVIrisMaskBrush::Selection OVIrisMaskBrush::selectionAt(IrisRadiusFinder& finder, Filter& filter, Point point,
                                                        double largest, bool withPupil)
{
    finder.setInputPoint(point);
    // A click on a flash-red pupil means the pupil; on an eye otherwise its iris, from the pupil's edge
    // to the limbus. The circles and the colour are found in the photo; the face (or the brush) only
    // bounds how large an iris may be.
    const IrisRadiusFinder::RedPupil red = finder.locateRedPupil(largest);
    if (red.found)
        return selectionOf(red, filter);
    // No iris stands out (a click beside the eye, or on a lid far from the iris): nothing. The brush's
    // circle by the colour around the click would take in skin or lashes as often as iris, and on a
    // small face a circle larger than the eye.
    return selectionOf(finder.locateIris(largest), filter, withPupil);
}

OVIrisMaskBrush::Selection OVIrisMaskBrush::selectionOf(const IrisRadiusFinder::RedPupil& red, Filter& filter)
{
    Selection selection;
    if (!red.found)
        return selection;
    // The red disc whatever its shades (the pupil flag), a pixel of its fringe beyond by its red
    // colour, and not a catch light on it.
    filter.setValue(0.0, QStringLiteral("inputWhiteLuma"));
    filter.setValue(0.0, QStringLiteral("inputPupilLuma"));
    filter.setValue(1.0, QStringLiteral("inputBoolPupil"));
    filter.setValue(red.radius + 1, QStringLiteral("inputPupilRadius"));
    filter.setValue(red.radius + 1.01, QStringLiteral("inputOuterRadius"));
    filter.setValue(QVariant::fromValue(red.colour), QStringLiteral("inputRefColorLight"));
    filter.setValue(QVariant::fromValue(Vector(red.centre.x, red.centre.y)), QStringLiteral("inputCenter"));
    filter.setValue(QVariant::fromValue(Vector(red.centre.x, red.centre.y)),
                    QStringLiteral("inputPupilCenter"));
    for (const QString& key : {QStringLiteral("inputUpperLid"), QStringLiteral("inputLowerLid")})
        filter.setValue(QVariant::fromValue(Vector(0, 0, 1)), key);
    selection.bounds = squareAround(red.centre, 2 * red.radius + 6);
    selection.centre = red.centre;
    selection.radius = red.radius + 1;
    selection.stroke = filter.value(OutputImageKey).value<Image>();
    return selection;
}

OVIrisMaskBrush::Selection OVIrisMaskBrush::selectionOf(const IrisRadiusFinder::Iris& found, Filter& filter,
                                                        bool withPupil)
{
    Selection selection;
    if (!found.found)
        return selection;
    filter.setValue(found.whiteLuma, QStringLiteral("inputWhiteLuma"));
    filter.setValue(found.pupilRadius > 0 ? found.pupilLuma : 0.0, QStringLiteral("inputPupilLuma"));
    // The pupil is left out from its edge (the kernel's pupil ends one pixel inside the radius it is
    // given, so half a pixel past the edge makes the boundary fall on it).
    filter.setValue(found.pupilRadius > 0 ? found.pupilRadius + 0.5 : 0.0,
                    QStringLiteral("inputPupilRadius"));
    filter.setValue(withPupil ? 1.0 : 0.0, QStringLiteral("inputBoolPupil"));
    // Beyond the edge by half a pixel, so that the pixels the limbus passes through are taken whole.
    const double outer = found.limbusRadius + 0.5;
    filter.setValue(outer, QStringLiteral("inputOuterRadius"));
    filter.setValue(QVariant::fromValue(found.colour), QStringLiteral("inputRefColorLight"));
    filter.setValue(QVariant::fromValue(Vector(found.centre.x, found.centre.y)),
                    QStringLiteral("inputCenter"));
    filter.setValue(QVariant::fromValue(Vector(found.pupilCentre.x, found.pupilCentre.y)),
                    QStringLiteral("inputPupilCenter"));
    // The lids the iris lies under: no lash or lid between them is taken for iris, however like it in
    // colour (a dark-brown iris and the lashes are alike).
    for (const auto& [key, lid] : {std::pair{QStringLiteral("inputUpperLid"), found.lids[0]},
                                   {QStringLiteral("inputLowerLid"), found.lids[1]}})
        filter.setValue(QVariant::fromValue(Vector(lid[0], lid[1], lid[2])), key);
    selection.bounds = squareAround(found.centre, 2 * outer + 4);
    selection.centre = found.centre;
    selection.radius = outer;
    selection.stroke = filter.value(OutputImageKey).value<Image>();
    return selection;
}

void OVIrisMaskBrush::processPoints(const std::vector<Point>& points)
{
    m_dirtyRect = Rect::null();
    m_foundNothing = false;
    if (points.empty() || !m_irisFinder || !m_brushFilter)
        return;
    const Size size = startSize();
    const Point p(points.back().x * size.width, points.back().y * size.height);
    const Selection selection =
        selectionAt(*m_irisFinder, *m_brushFilter, p, largestIrisRadius(), m_withPupil);
    // The stroke encoding asks for the iris painted over the start mask made opaque grey (a plain or a
    // new, transparent mask alike), so that extracting the stroke finds exactly the click.
    m_foundNothing = selection.stroke.isNull();
    const Image start = m_startImage.isNull() ? Image() : integrated(m_startImage);
    m_irisImage = selection.stroke.isNull() ? start : selection.stroke.imageByCompositingOverImage(start);
    // The iris found may reach beyond the brush's square.
    m_dirtyRect = squareAround(m_lastPoint, m_brushSize)
                      .united(squareAround(p, m_brushSize))
                      .united(selection.bounds.isNull() ? Rect::null() : selection.bounds);
    m_lastPoint = p;
}
