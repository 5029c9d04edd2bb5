#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Vector.h"

#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

// How far a colour may stray from the sampled iris colour and still count as iris.
constexpr double IrisTolerance = 0.19;
// How far around a click an iris is looked for, at least: the largest irises of a close-up portrait at
// the size it is painted at, whatever the brush.
constexpr double MinimumSearchRadius = 96;

Rect squareAround(const Point& centre, double side)
{
    return Rect(centre.x - side / 2, centre.y - side / 2, side, side);
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
    m_irisFinder = std::make_unique<IrisRadiusFinder>();
    m_irisFinder->setInputCIImage(m_backgroundImage);
    m_irisFinder->setOuterRadius(Filter::saturatingInt(brush.size * 0.5));

    m_brushFilter = Filter::create(QStringLiteral("GMIrisMaskFinderFilter"));
    if (m_brushFilter) {
        m_brushFilter->setDefaults();
        m_brushFilter->setValue(QVariant::fromValue(m_backgroundImage), QStringLiteral("inputImage"));
        m_brushFilter->setValue(brush.size * 0.5, QStringLiteral("inputOuterRadius"));
        m_brushFilter->setValue(IrisTolerance, QStringLiteral("inputTolerance"));
    }
    m_lastPoint = Point(point.x * size.width, point.y * size.height);
}

void OVIrisMaskBrush::processPoint(const Point& point)
{
    processPoints({point});
}

void OVIrisMaskBrush::processPoints(const std::vector<Point>& points)
{
    m_dirtyRect = Rect::null();
    if (points.empty() || !m_irisFinder || !m_brushFilter)
        return;
    const Size size = startSize();
    const Point p(points.back().x * size.width, points.back().y * size.height);

    m_irisFinder->setInputPoint(p);
    // A click on an eye means its iris, from the pupil's edge to the limbus, whatever the brush's size:
    // the circle, the pupil and the colour are found in the photo, and the brush only bounds where to
    // look. The pupil is then left out from its edge (the kernel's pupil ends one pixel inside the
    // radius it is given, so half a pixel past the edge makes the boundary fall on it).
    const double searchRadius = std::max(MinimumSearchRadius, 0.75 * m_brushSize);
    const IrisRadiusFinder::Iris found = m_irisFinder->locateIris(searchRadius);
    Rect painted = Rect::null();
    if (found.found) {
        m_brushFilter->setValue(found.pupilRadius > 0 ? found.pupilRadius + 0.5 : 0.0,
                                QStringLiteral("inputPupilRadius"));
        // Half a pixel beyond the edge, so that the pixels the limbus passes through are taken whole.
        m_brushFilter->setValue(found.limbusRadius + 0.5, QStringLiteral("inputOuterRadius"));
        m_brushFilter->setValue(QVariant::fromValue(found.colour), QStringLiteral("inputRefColorLight"));
        m_brushFilter->setValue(QVariant::fromValue(Vector(found.centre.x, found.centre.y)),
                                QStringLiteral("inputCenter"));
        painted = squareAround(found.centre, 2 * found.limbusRadius + 4);
    } else {
        // No iris stands out: the brush's circle around the point, by the colour found on its axes.
        m_brushFilter->setValue(m_brushSize * 0.5, QStringLiteral("inputOuterRadius"));
        m_brushFilter->setValue(m_irisFinder->pupilRadius(), QStringLiteral("inputPupilRadius"));
        m_brushFilter->setValue(QVariant::fromValue(m_irisFinder->irisColorLight()),
                                QStringLiteral("inputRefColorLight"));
        m_brushFilter->setValue(QVariant::fromValue(Vector(p.x, p.y)), QStringLiteral("inputCenter"));
    }
    const Image iris = m_brushFilter->value(OutputImageKey).value<Image>();

    // The stroke encoding asks for the iris painted over the start mask made opaque grey (a plain or a
    // new, transparent mask alike), so that extracting the stroke finds exactly the click.
    Image start = m_startImage;
    if (FilterPtr integrate = Filter::create(QStringLiteral("GMBrushMaskTools"))) {
        integrate->setValue(QVariant::fromValue(m_startImage), QStringLiteral("inputImage"));
        integrate->setValue(1, QStringLiteral("inputNumber"));
        start = integrate->value(OutputImageKey).value<Image>();
    }
    m_irisImage = iris.imageByCompositingOverImage(start);

    // The iris found may reach beyond the brush's square.
    m_dirtyRect = squareAround(m_lastPoint, m_brushSize).united(squareAround(p, m_brushSize)).united(painted);
    m_lastPoint = p;
}
