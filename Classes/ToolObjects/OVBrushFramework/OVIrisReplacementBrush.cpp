#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"

using namespace pf;

namespace {

Rect squareAround(const Point& centre, double side)
{
    return Rect(centre.x - side / 2, centre.y - side / 2, side, side);
}

Image transparentOfSize(const Rect& extent)
{
    return Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(extent);
}

} // namespace

OVIrisReplacementBrush::OVIrisReplacementBrush()
    : m_irisImage(stockPicture(QStringLiteral("iris picture"), QStringLiteral("Iris"), QStringLiteral("png"),
                               QStringLiteral("iris replacement places nothing")))
{}

void OVIrisReplacementBrush::registerClass()
{
    GMBrushHandler::setAdditionalBrushFactory(OVBrush::IrisReplacement,
                                              [] { return std::make_shared<OVIrisReplacementBrush>(); });
}

Size OVIrisReplacementBrush::startSize() const
{
    if (m_startImage.isNull())
        return Size(0, 0);
    const Rect extent = m_startImage.extent();
    return extent.isInfinite() ? Size(0, 0) : Size(extent.width(), extent.height());
}

Rect OVIrisReplacementBrush::placementAt(const Point& p) const
{
    IrisRadiusFinder finder;
    finder.setInputCIImage(m_backgroundImage);
    finder.setInputPoint(p);
    const IrisRadiusFinder::Iris iris =
        m_backgroundImage.isNull()
            ? IrisRadiusFinder::Iris()
            : finder.locateIris(OVIrisMaskBrush::largestIrisRadius(m_faceWidth, m_brushSize));
    if (!iris.found)
        return squareAround(p, m_brushSize);
    // The stock iris fills its square but for its fading rim: the limbus found lies at nine tenths of
    // the picture's radius, so the mask's edge falls on the fading part, never on the hard edge.
    return squareAround(iris.centre, 2 * iris.limbusRadius / 0.9);
}

void OVIrisReplacementBrush::brushDownAtPoint(const OVBrush& brush, const Point& point)
{
    const Size size = startSize();
    m_brushSize = brush.size;
    m_lastPoint = Point(point.x * size.width, point.y * size.height);
}

void OVIrisReplacementBrush::processPoint(const Point& point)
{
    processPoints({point});
}

void OVIrisReplacementBrush::processPoints(const std::vector<Point>& points)
{
    m_dirtyRect = Rect::null();
    if (points.empty())
        return;
    const Size size = startSize();
    const Point normalised = points.back();
    const Point p(normalised.x * size.width, normalised.y * size.height);
    // The square is normalised by the start image's size: without one (or without the iris) there is
    // nothing to place, and the start image stays as it is.
    if (size.width <= 0 || size.height <= 0 || m_irisImage.isNull()) {
        pf::warning(QStringLiteral("No iris placed: %1")
                        .arg(m_irisImage.isNull() ? QStringLiteral("the iris picture is missing")
                                                  : QStringLiteral("the layer has no additional image")));
        m_resultImage = m_startImage;
        m_lastPoint = p;
        return;
    }
    m_placed = placementAt(p);
    const Rect square(m_placed.minX() / size.width, m_placed.minY() / size.height,
                      m_placed.width() / size.width, m_placed.height() / size.height);
    const Image placed = placeImageOnTransparent(m_irisImage, square, size.width, size.height);
    m_resultImage = placed.imageByCompositingOverImage(m_startImage);
    m_dirtyRect =
        squareAround(m_lastPoint, m_brushSize).united(squareAround(p, m_brushSize)).united(m_placed);
    m_lastPoint = p;
}

Image OVIrisReplacementBrush::image() const
{
    return m_resultImage.isNull() ? m_startImage : m_resultImage;
}

Image OVIrisReplacementBrush::imageForMask(const Image& mask)
{
    m_dirtyRect = Rect::null();
    const Rect target = mask.isNull() ? Rect::null() : mask.extent();
    if (target.isNull() || target.isInfinite())
        return Image();
    const Size size = startSize();
    if (size.width <= 0 || size.height <= 0 || m_irisImage.isNull()) {
        pf::warning(QStringLiteral("No iris placed for the stroke: %1")
                        .arg(m_irisImage.isNull() ? QStringLiteral("the iris picture is missing")
                                                  : QStringLiteral("the layer has no additional image")));
        return transparentOfSize(target);
    }
    // Where the last point placed it, or (for a stroke with no point) the brush's square there.
    const Rect placed = m_placed.isNull() ? squareAround(m_lastPoint, m_brushSize) : m_placed;
    const Rect square(placed.minX() / size.width, placed.minY() / size.height, placed.width() / size.width,
                      placed.height() / size.height);
    return placeImageOnTransparent(m_irisImage, square, target.width(), target.height());
}
