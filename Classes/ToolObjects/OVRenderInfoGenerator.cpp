#include "Classes/ToolObjects/OVRenderInfoGenerator.h"

#include "Classes/Filters/BitmapHysteresis.h"
#include "Classes/Framework/ImageFunctions.h"
#include "Classes/Framework/OVGeometry.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Filter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace pf;

OVRenderInfoGenerator::OVRenderInfoGenerator() : OVRenderInfoGenerator(OVFaceSource::system()) {}

OVRenderInfoGenerator::OVRenderInfoGenerator(std::shared_ptr<OVFaceSource> faceSource)
    : m_faceSource(std::move(faceSource))
{
    m_state.features = std::make_shared<const std::vector<pf::FaceFeature>>();
}

void OVRenderInfoGenerator::setOriginalImage(const Image& image)
{
    setOriginalImage(image, image);
}

void OVRenderInfoGenerator::setOriginalImage(const Image& image, const Image& forFaces)
{
    auto features = std::make_shared<const std::vector<pf::FaceFeature>>(
        m_faceSource && !forFaces.isNull() ? m_faceSource->faces(forFaces) : std::vector<pf::FaceFeature>());
    std::lock_guard lock(m_mutex);
    m_state = {image, std::move(features)};
}

OVRenderInfoGenerator::State OVRenderInfoGenerator::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

Image OVRenderInfoGenerator::originalImage() const
{
    return state().image;
}

OVRenderInfo::Features OVRenderInfoGenerator::features() const
{
    return state().features;
}

Size OVRenderInfoGenerator::originalSizeOf(const Image& image) const
{
    if (image.isNull())
        return Size();
    const Rect extent = image.extent();
    if (extent.isNull() || extent.isInfinite())
        return Size();
    return extent.size;
}

OVRenderInfo OVRenderInfoGenerator::renderInfoForRect(const Rect& rect, const Size& size) const
{
    const State current = state();
    OVRenderInfo info;
    info.setRect(rect);
    info.setRectSize(size);
    info.setOriginalSize(originalSizeOf(current.image));
    info.setFeatures(current.features);
    if (!current.image.isNull()) {
        const Image part = cropAndScaleImage(current.image, rect, size.width, size.height);
        info.setImage(part);
        info.setBackgroundImage(part);
    }
    return info;
}

Point OVRenderInfoGenerator::pointAt(const Point& point, const Rect& rect, const Size&) const
{
    const Size photo = originalSizeOf(originalImage());
    return Point((point.x * rect.size.width + rect.origin.x) * photo.width,
                 (point.y * rect.size.height + rect.origin.y) * photo.height);
}

double OVRenderInfoGenerator::normedFaceWidthAt(const Point& point) const
{
    const State current = state();
    const double photoWidth = originalSizeOf(current.image).width;
    if (!(photoWidth > 0))
        return 0;
    double best = std::numeric_limits<double>::infinity();
    double result = 0;
    for (const pf::FaceFeature& face : *current.features) {
        const double distance = OVRectDistanceToPoint(face.bounds, point);
        if (distance < best) {
            best = distance;
            result = face.bounds.width() / photoWidth;
        }
    }
    return result;
}

double OVRenderInfoGenerator::normedTypicalFaceWidth() const
{
    const State current = state();
    const double photoWidth = originalSizeOf(current.image).width;
    if (!(photoWidth > 0) || current.features->empty())
        return 0;
    std::vector<double> widths;
    for (const pf::FaceFeature& face : *current.features)
        widths.push_back(face.bounds.width());
    std::nth_element(widths.begin(), widths.begin() + std::ptrdiff_t(widths.size() / 2), widths.end());
    return widths[widths.size() / 2] / photoWidth;
}

namespace {

Image filtered(const QString& name, const std::vector<std::pair<QString, QVariant>>& values,
               bool defaults = false)
{
    FilterPtr filter = Filter::create(name);
    if (!filter)
        return Image();
    if (defaults)
        filter->setDefaults();
    for (const auto& [key, value] : values)
        filter->setValue(value, key);
    return filter->value(OutputImageKey).value<Image>();
}

QVariant imageArgument(const Image& image)
{
    return QVariant::fromValue(image);
}

} // namespace

Image OVRenderInfoGenerator::gaussBlurImage(const Image& image, double radius) const
{
    if (image.isNull())
        return Image();
    const Image blurred =
        filtered(QStringLiteral("CIGaussianBlur"), {{QStringLiteral("inputImage"), imageArgument(image)},
                                                    {QStringLiteral("inputRadius"), radius}});
    return blurred.isNull() ? Image() : blurred.imageByCroppingToRect(image.extent());
}

Image OVRenderInfoGenerator::renderEdges(const Image& image) const
{
    const Image blurred = gaussBlurImage(image, 2.5);
    if (blurred.isNull())
        return Image();
    FilterPtr canny = Filter::create(QStringLiteral("GMCannyEdgeDetectFilter"));
    if (!canny)
        return Image();
    canny->setValue(imageArgument(blurred), QStringLiteral("inputImage"));
    canny->setDefaults();
    canny->setValue(2.0, QStringLiteral("inputGaussRadius"));
    canny->setValue(0.09, QStringLiteral("inputEdgeThreshold"));
    canny->setValue(0.35, QStringLiteral("inputHighThresholdH"));
    canny->setValue(0.14, QStringLiteral("inputLowThresholdH"));
    canny->setValue(1.0, QStringLiteral("inputHysteresisIterations"));
    BitmapHysteresis hysteresis;
    hysteresis.setValue(canny->value(OutputImageKey), QStringLiteral("inputImage"));
    hysteresis.setValue(0.07, QStringLiteral("inputLowValue"));
    hysteresis.setValue(0.25, QStringLiteral("inputHighValue"));
    return hysteresis.outputImage();
}

Image OVRenderInfoGenerator::renderEdgeAwareBlur(const Image& image) const
{
    if (image.isNull())
        return Image();
    return filtered(QStringLiteral("GMEdgeAwareBlurFilter"),
                    {{QStringLiteral("inputImage"), imageArgument(image)},
                     {QStringLiteral("inputEdgeImage"), imageArgument(renderEdges(image))}},
                    true);
}

Image OVRenderInfoGenerator::blendImage(const Image& image, const Image& background, const Image& mask) const
{
    return filtered(QStringLiteral("CIBlendWithMask"),
                    {{QStringLiteral("inputImage"), imageArgument(image)},
                     {QStringLiteral("inputBackgroundImage"), imageArgument(background)},
                     {QStringLiteral("inputMaskImage"), imageArgument(mask)}});
}

Image OVRenderInfoGenerator::detectedFacesInImage(const Image& image) const
{
    Image marked = image;
    const Image darkGreen = Image::constantColor(Color(0, 0.5, 0, 1));
    auto mark = [&](const Color& color, const Rect& where) {
        const Image over =
            blendImage(Image::constantColor(color), marked, darkGreen.imageByCroppingToRect(where));
        if (!over.isNull())
            marked = over;
    };
    for (const FaceFeature& face : *features()) {
        mark(Color(0, 1, 0, 1), face.bounds);
        const double eyeSide = 0.2 * face.bounds.width(), mouthSide = 0.4 * face.bounds.width();
        for (const std::optional<Point>& eye : {face.leftEye, face.rightEye}) {
            if (eye)
                mark(Color(1, 0, 0, 1), Rect(eye->x - eyeSide / 2, eye->y - eyeSide / 2, eyeSide, eyeSide));
        }
        if (face.mouth)
            mark(Color(0, 0, 1, 1),
                 Rect(face.mouth->x - mouthSide / 2, face.mouth->y - mouthSide / 2, mouthSide, mouthSide));
    }
    return marked;
}
