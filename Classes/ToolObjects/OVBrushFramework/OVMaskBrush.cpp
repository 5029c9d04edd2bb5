#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageAccumulator.h"
#include "Platform/Image/Vector.h"

#include <algorithm>
#include <cmath>
#include <mutex>

using namespace pf;

namespace {

struct ClickBrushRegistry
{
    std::mutex mutex;
    OVMaskBrushFactory factory;
};

ClickBrushRegistry& clickBrushRegistry()
{
    static ClickBrushRegistry registry;
    return registry;
}

QVariant vector(const Point& point)
{
    return QVariant::fromValue(Vector(point.x, point.y));
}

// The pixels a step can change: those within the brush's radius of the segment (and a pixel more, for
// the rounding to whole pixels). The brush kernels give every other pixel of the step's rectangle back
// as it is, so rendering them again would only cost time.
Rect reachedRect(const Point& from, const Point& to, double brushSize)
{
    const double reach = std::max(brushSize, 0.0) / 2 + 1;
    return Rect(std::min(from.x, to.x) - reach, std::min(from.y, to.y) - reach,
                std::abs(to.x - from.x) + 2 * reach, std::abs(to.y - from.y) + 2 * reach);
}

} // namespace

OVMaskBrush::OVMaskBrush() = default;
OVMaskBrush::~OVMaskBrush() = default;

void OVMaskBrush::setClickBrushFactory(OVMaskBrushFactory factory)
{
    ClickBrushRegistry& registry = clickBrushRegistry();
    std::lock_guard lock(registry.mutex);
    registry.factory = std::move(factory);
}

OVMaskBrushFactory OVMaskBrush::clickBrushFactory()
{
    ClickBrushRegistry& registry = clickBrushRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.factory;
}

Rect OVMaskBrush::stepRect(const Point& from, const Point& to, double brushSize)
{
    const double side = std::max(brushSize, 0.0) + 100.0;
    const Rect first(to.x - side / 2, to.y - side / 2, side, side);
    return first.united(Rect(from.x - side / 2, from.y - side / 2, side, side));
}

Point OVMaskBrush::placedPoint(const Point& normalised)
{
    const auto held = [](double v) { return std::isfinite(v) ? std::clamp(v, -1.0, 2.0) : v; };
    return Point(held(normalised.x), held(normalised.y));
}

void OVMaskBrush::setEmptyStartImageWithSize(const Size& size)
{
    m_startImage =
        Image::constantColor(Color(0, 0, 0, 0))
            .imageByCroppingToRect(Rect(0, 0, std::max(size.width, 0.0), std::max(size.height, 0.0)));
}

Size OVMaskBrush::canvasSize() const
{
    const Rect extent = m_startImage.isNull() ? Rect::null() : m_startImage.extent();
    if (extent.isNull() || extent.isInfinite())
        return Size(0, 0);
    return Size(extent.width(), extent.height());
}

void OVMaskBrush::brushDownAtPoint(const OVBrush& brush, const Point& point)
{
    // A second brush-down on the same object starts again from the start image.
    m_irisDabPending = false;
    m_irisRadius = 0;
    m_canvas.reset();
    m_brushFilter.reset();
    m_customType.reset();
    m_dirtyRect = Rect::null();

    const Size size = canvasSize();
    if (m_startImage.isNull() || size.width <= 0 || size.height <= 0) {
        pf::error(QStringLiteral("No start image set"));
        return;
    }
    if (!std::isfinite(brush.size)) {
        // No brush of that size can be swept, and its step rectangles would have no place.
        pf::warning(QStringLiteral("A brush of size %1 paints nothing").arg(brush.size));
        return;
    }
    m_brushSize = brush.size;
    const Point placed = placedPoint(point);
    m_lastPoint = Point(placed.x * size.width, placed.y * size.height);

    FilterPtr filter;
    switch (brush.type) {
    case OVBrush::Draw:
    case OVBrush::Eraser:
        filter = Filter::create(QStringLiteral("GMBasicBrush"));
        if (filter)
            filter->setValue(brush.type == OVBrush::Draw ? 0.0 : 1.0, QStringLiteral("inputMode"));
        break;
    case OVBrush::SmartBrush:
        if (m_backgroundImage.isNull()) {
            pf::error(QStringLiteral("No background image set"));
            return;
        }
        filter = Filter::create(QStringLiteral("GMAutoBrush"));
        if (filter) {
            filter->setValue(brush.kernelName, QStringLiteral("kernelName"));
            filter->setValue(QVariant::fromValue(m_backgroundImage), QStringLiteral("inputImage"));
            filter->setValue(m_faceWidth, QStringLiteral("inputFaceWidth"));
        }
        // The iris brush's first dab on an eye takes the iris there, as a click does.
        m_irisDabPending = brush.kernelName == QLatin1String("irisBrush");
        break;
    case OVBrush::Click: {
        if (m_backgroundImage.isNull()) {
            pf::error(QStringLiteral("No background image set"));
            return;
        }
        const OVMaskBrushFactory factory = clickBrushFactory();
        m_customType = factory ? factory() : nullptr;
        if (!m_customType) {
            pf::warning(QStringLiteral("No click brush is available; the click paints nothing"));
            return;
        }
        m_customType->setBackgroundImage(m_backgroundImage);
        m_customType->setBrushSize(brush.size);
        m_customType->setFaceWidth(m_faceWidth);
        m_customType->setStartImage(m_startImage);
        m_customType->brushDownAtPoint(brush, placed);
        return;
    }
    default:
        return; // an unknown kind of stroke paints nothing
    }
    if (!filter)
        return; // the registry said why
    filter->setValue(QVariant::fromValue(m_startImage), QStringLiteral("inputCanvasStart"));
    filter->setValue(brush.size, QStringLiteral("inputBrushSize"));
    filter->setValue(brush.smoothness, QStringLiteral("inputBrushSmoothness"));
    filter->setValue(brush.pressure, QStringLiteral("inputBrushPressure"));

    // A filter that cannot make an image (a smart-brush kernel that does not exist) says so once, here,
    // and the stroke then paints nothing instead of clearing the canvas at every step.
    filter->setValue(vector(m_lastPoint), QStringLiteral("inputPoint1"));
    filter->setValue(vector(m_lastPoint), QStringLiteral("inputPoint2"));
    if (filter->outputImage().isNull())
        return;
    m_brushFilter = filter;
    m_canvas = std::make_unique<ImageAccumulator>(Rect(0, 0, size.width, size.height));
}

bool OVMaskBrush::paintIrisDab(const Point& at)
{
    const FilterPtr filter = OVIrisMaskBrush::selectionFilter(m_backgroundImage);
    if (!filter)
        return false;
    IrisRadiusFinder finder;
    finder.setInputCIImage(m_backgroundImage);
    // Bounded as a click is: a dab with a brush smaller than the iris means the iris too.
    const double largest = OVIrisMaskBrush::largestIrisRadius(m_faceWidth, m_brushSize);
    const OVIrisMaskBrush::Selection selection = OVIrisMaskBrush::selectionAt(finder, *filter, at, largest);
    if (selection.stroke.isNull())
        return false;
    // The stroke encoding over the start mask made opaque grey: where the iris is not, the canvas holds
    // the start value with no stroke in it, as the kernels read it.
    FilterPtr integrate = Filter::create(QStringLiteral("GMBrushMaskTools"));
    if (!integrate)
        return false;
    integrate->setValue(QVariant::fromValue(m_startImage), QStringLiteral("inputImage"));
    integrate->setValue(1, QStringLiteral("inputNumber"));
    const Image start = integrate->value(OutputImageKey).value<Image>();
    const Rect area = selection.bounds.integral().intersected(Rect(Point(0, 0), canvasSize()));
    if (area.isNull() || area.isEmpty() ||
        !m_canvas->setImage(selection.stroke.imageByCompositingOverImage(start), area))
        return false;
    m_dirtyRect = m_dirtyRect.united(area);
    m_irisCentre = selection.centre;
    m_irisRadius = selection.radius;
    return true;
}

Image OVMaskBrush::outsideTheIris(const Image& painted, const Rect& rect, const Point& from,
                                  const Point& to) const
{
    const Rect area = rect.integral().intersected(Rect(Point(0, 0), canvasSize()));
    const int w = int(area.width()), h = int(area.height());
    if (area.isNull() || w <= 0 || h <= 0)
        return painted;
    const double dx = to.x - from.x, dy = to.y - from.y, length2 = dx * dx + dy * dy;
    Bitmap keep(w, h, Bitmap::Format::RGBA8);
    for (int row = 0; row < h; ++row) {
        uint8_t* line = keep.mutableRow(row);
        for (int column = 0; column < w; ++column) {
            const double x = area.minX() + column + 0.5, y = area.maxY() - row - 0.5;
            const double t =
                length2 > 0 ? std::clamp(((x - from.x) * dx + (y - from.y) * dy) / length2, 0.0, 1.0) : 0.0;
            const double nearest =
                std::hypot(from.x + t * dx - m_irisCentre.x, from.y + t * dy - m_irisCentre.y);
            const double outside =
                std::clamp(std::hypot(x - m_irisCentre.x, y - m_irisCentre.y) - m_irisRadius, 0.0, 1.0);
            const uint8_t v = uint8_t(std::lround(255 * (nearest > m_irisRadius ? outside : 0.0)));
            line[4 * column] = line[4 * column + 1] = line[4 * column + 2] = v;
            line[4 * column + 3] = 255;
        }
    }
    FilterPtr blend = Filter::create(QStringLiteral("CIBlendWithMask"));
    if (!blend)
        return painted;
    blend->setValue(QVariant::fromValue(painted), QStringLiteral("inputImage"));
    blend->setValue(QVariant::fromValue(m_canvas->image()), QStringLiteral("inputBackgroundImage"));
    blend->setValue(QVariant::fromValue(Image::fromBitmap(keep).imageByApplyingTransform(
                        AffineTransform::translation(area.minX(), area.minY()))),
                    QStringLiteral("inputMaskImage"));
    const Image kept = blend->outputImage();
    return kept.isNull() ? painted : kept;
}

void OVMaskBrush::processPoint(const Point& point)
{
    processPoints({point});
}

void OVMaskBrush::processPoints(const std::vector<Point>& points)
{
    m_dirtyRect = Rect::null();
    if (m_customType) {
        std::vector<Point> placed;
        for (const Point& point : points)
            if (std::isfinite(point.x) && std::isfinite(point.y))
                placed.push_back(placedPoint(point));
        if (!placed.empty())
            m_customType->processPoints(placed);
        return;
    }
    if (!m_canvas || !m_brushFilter)
        return;
    const Size size = canvasSize();
    for (const Point& point : points) {
        const Point placed = placedPoint(point);
        const Point q(placed.x * size.width, placed.y * size.height);
        // A point with no place (a NaN or an infinity from a damaged record or a device) is skipped:
        // the next good point continues the segment from the last good one.
        if (!std::isfinite(q.x) || !std::isfinite(q.y))
            continue;
        // A stroke that began at no place begins at its first good point.
        if (!std::isfinite(m_lastPoint.x) || !std::isfinite(m_lastPoint.y))
            m_lastPoint = q;
        if (m_irisDabPending) {
            m_irisDabPending = false;
            if (paintIrisDab(q)) {
                m_lastPoint = q;
                continue;
            }
        }
        // A step about the iris the first dab took paints nothing more: that iris is whole, and what
        // lies around it (the lids, the white, the catch light on it) is none of it. Only a stroke that
        // goes on well beyond it (to the other eye) paints again.
        if (m_irisRadius > 0 && std::hypot(q.x - m_irisCentre.x, q.y - m_irisCentre.y) <= 3 * m_irisRadius &&
            std::hypot(m_lastPoint.x - m_irisCentre.x, m_lastPoint.y - m_irisCentre.y) <= 3 * m_irisRadius) {
            m_lastPoint = q;
            continue;
        }
        m_brushFilter->setValue(QVariant::fromValue(m_canvas->image()), QStringLiteral("inputCanvasCurrent"));
        m_brushFilter->setValue(vector(m_lastPoint), QStringLiteral("inputPoint1"));
        m_brushFilter->setValue(vector(q), QStringLiteral("inputPoint2"));
        const Rect step = stepRect(m_lastPoint, q, m_brushSize);
        const Rect reached = reachedRect(m_lastPoint, q, m_brushSize);
        Image painted = m_brushFilter->outputImage();
        if (!painted.isNull() && m_irisRadius > 0)
            painted = outsideTheIris(painted, reached, m_lastPoint, q);
        if (painted.isNull() || !m_canvas->setImage(painted, reached)) {
            // The canvas is unchanged; the next step paints from the same point and closes the gap.
            pf::error(QStringLiteral("A brush step could not be painted"));
            continue;
        }
        m_dirtyRect = m_dirtyRect.united(step);
        m_lastPoint = q;
    }
}

void OVMaskBrush::brushUp()
{
    if (m_customType) {
        m_customType->brushUp();
        m_customType.reset();
    }
    m_canvas.reset();
    m_brushFilter.reset();
}

Image OVMaskBrush::image() const
{
    if (m_customType)
        return m_customType->image();
    if (m_canvas)
        return m_canvas->image().imageByCompositingOverImage(m_startImage);
    return m_startImage;
}

Rect OVMaskBrush::dirtyRect() const
{
    if (m_customType) {
        // A click brush that cannot say what it changed may have changed anything.
        const Size size = canvasSize();
        return m_customType->hasDirtyRect() ? m_customType->dirtyRect() : Rect(0, 0, size.width, size.height);
    }
    return m_dirtyRect;
}
