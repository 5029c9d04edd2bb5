#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Vector.h"

#include <cmath>

using namespace pf;

namespace {

// How far a colour may stray from the sampled iris colour and still count as iris.
constexpr double IrisTolerance = 0.19;

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
    m_brushFilter->setValue(m_irisFinder->pupilRadius(), QStringLiteral("inputPupilRadius"));
    m_brushFilter->setValue(QVariant::fromValue(m_irisFinder->irisColorLight()),
                            QStringLiteral("inputRefColorLight"));
    m_brushFilter->setValue(QVariant::fromValue(Vector(p.x, p.y)), QStringLiteral("inputCenter"));
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

    m_dirtyRect = squareAround(m_lastPoint, m_brushSize).united(squareAround(p, m_brushSize));
    m_lastPoint = p;
}
