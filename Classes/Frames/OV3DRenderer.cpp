#include "Classes/Frames/OV3DRenderer.h"

#include "Classes/Filters/OVSRGBConversionFilter.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Transform3D.h"

#include <cmath>
#include <limits>

using namespace pf;

namespace {

constexpr double Pi = 3.141592653589793;

double number(const QVariantMap& sprite, const char* key)
{
    return sprite.value(QLatin1String(key)).toDouble();
}

// The image of a sprite, when it has pixels to show.
Image spriteImage(const QVariantMap& sprite)
{
    const Image image = sprite.value(QStringLiteral("image")).value<Image>();
    if (image.isNull())
        return {};
    const Rect extent = image.extent();
    if (extent.isNull() || extent.isInfinite() || !std::isfinite(extent.width()) ||
        !std::isfinite(extent.height()) || !std::isfinite(extent.minX()) || !std::isfinite(extent.minY()))
        return {};
    return image;
}

void logFailure(const SceneRasterizer::Result& result)
{
    using Failure = SceneRasterizer::Failure;
    switch (result.failure) {
    case Failure::None:
        break;
    case Failure::Context:
        pf::error(QStringLiteral("Could not Create OpenGL Context"));
        break;
    case Failure::ColorFramebuffer:
        pf::warning(QStringLiteral("Problem with OpenGL framebuffer after specifying color render buffer."));
        break;
    case Failure::DepthFramebuffer:
        pf::warning(QStringLiteral("Problem with OpenGL framebuffer after specifying depth render buffer."));
        break;
    case Failure::Step:
        pf::error(result.step);
        break;
    case Failure::ReadBuffer:
        pf::warning(QStringLiteral("Unable to allocate buffer for image extraction."));
        break;
    case Failure::FlippedBuffer:
        pf::warning(QStringLiteral("Unable to allocate flipped buffer for corrected image."));
        break;
    }
}

std::array<double, 3> point(const OVVector3& v)
{
    return {v.x, v.y, v.z};
}

} // namespace

OV3DRenderer::OV3DRenderer() : m_sRGBFilter(std::make_shared<OVSRGBConversionFilter>()) {}

OV3DRenderer::~OV3DRenderer() = default;

void OV3DRenderer::addSprite(const QVariantMap& sprite)
{
    m_spriteDescriptions.append(sprite);
}

Image OV3DRenderer::imageWithSize(const Size& size, const Image& background, bool isPreview)
{
    if (!(std::isfinite(m_depthFactor) && m_depthFactor > 0)) {
        pf::warning(QStringLiteral("depthFactor must be positive"));
        return {};
    }
    const double largest = std::numeric_limits<int>::max();
    const double width = std::trunc(size.width);
    const double height = std::trunc(size.height);
    if (!(width >= 1 && height >= 1 && width <= largest && height <= largest)) {
        pf::warning(QStringLiteral("Unable to allocate buffer for image extraction."));
        return {};
    }

    SceneRasterizer::Scene scene;
    scene.width = int(width);
    scene.height = int(height);
    // At the distance W/2 x depthFactor from the eye, one unit is one output pixel.
    const double halfWidth = width / 2 * 0.125;
    const double halfHeight = height / 2 * 0.125;
    scene.projection = SceneRasterizer::frustum(-halfWidth, halfWidth, -halfHeight, halfHeight,
                                                width / 2 * m_depthFactor * 0.125, 100 * width);
    m_scene = &scene;
    m_conversionFailed = false;
    const std::unique_ptr<OV3DRenderer, void (*)(OV3DRenderer*)> finished(this, [](OV3DRenderer* renderer) {
        renderer->m_scene = nullptr;
        renderer->m_backgroundTexture = 0;
    });

    const Image ground = spriteImage({{QStringLiteral("image"), QVariant::fromValue(background)}});
    m_backgroundTexture = bindTexture(ground);
    QList<unsigned> textures;
    for (const QVariantMap& sprite : m_spriteDescriptions)
        textures.append(bindTexture(spriteImage(sprite)));
    // A picture with a part missing is not shown: the conversion has said what went wrong.
    if (m_conversionFailed)
        return {};

    const double sizeFactor = width / 2;
    placeBackground(ground, sizeFactor);
    for (qsizetype i = 0; i < m_spriteDescriptions.size(); ++i)
        if (textures[i])
            placeSprite(m_spriteDescriptions[i], textures[i], sizeFactor);

    const SceneRasterizer::Result result = SceneRasterizer::render(
        scene, isPreview ? SceneRasterizer::Device::Default : SceneRasterizer::Device::Software);
    if (!result.pixels) {
        logFailure(result);
        return {};
    }
    // The scene was blended in linear light; the working values are sRGB-encoded.
    m_sRGBFilter->setValue(QVariant::fromValue(Image::fromBitmap(*result.pixels)),
                           QStringLiteral("inputImage"));
    m_sRGBFilter->setValue(false, QStringLiteral("toRGB"));
    return m_sRGBFilter->outputImage();
}

unsigned OV3DRenderer::bindTexture(const Image& image)
{
    if (!m_scene || image.isNull())
        return 0;
    const Rect extent = image.extent();
    const double width = std::trunc(extent.width());
    const double height = std::trunc(extent.height());
    if (!(width >= 1 && height >= 1 && width <= std::numeric_limits<int>::max() &&
          height <= std::numeric_limits<int>::max()) ||
        !std::isfinite(extent.minX()) || !std::isfinite(extent.minY()))
        return 0;
    // Blending must happen in linear light, so the texture holds linear values (premultiplied).
    m_sRGBFilter->setValue(QVariant::fromValue(image.imageByApplyingTransform(
                               AffineTransform::translation(-extent.minX(), -extent.minY()))),
                           QStringLiteral("inputImage"));
    m_sRGBFilter->setValue(true, QStringLiteral("toRGB"));
    std::optional<Bitmap> pixels =
        RenderContext::shared()->render(m_sRGBFilter->outputImage(), Rect(0, 0, width, height),
                                        Bitmap::Format::RGBA8, RenderContext::Reuse::Discard);
    if (!pixels) {
        m_conversionFailed = true;
        return 0;
    }
    m_scene->textures.push_back(std::move(*pixels));
    return unsigned(m_scene->textures.size());
}

void OV3DRenderer::placeBackground(const Image& background, double)
{
    if (!m_scene || !m_backgroundTexture || background.isNull())
        return;
    // Centred on the view axis, as far away as makes its width fill the view.
    const Rect extent = background.extent();
    const double bw = extent.width();
    const double bh = extent.height();
    const double z = -(bw / 2) * m_depthFactor;
    SceneRasterizer::Quad quad;
    quad.texture = int(m_backgroundTexture) - 1;
    quad.corners = {{{-bw / 2, -bh / 2, z}, {-bw / 2, bh / 2, z}, {bw / 2, bh / 2, z}, {bw / 2, -bh / 2, z}}};
    m_scene->background = quad;
}

void OV3DRenderer::placeSprite(const QVariantMap& sprite, unsigned texture, double sizeFactor)
{
    if (!m_scene || !texture || texture > m_scene->textures.size())
        return;
    const std::array<OVVector3, 4> corners = spriteCorners(sprite, sizeFactor, m_depthFactor);
    SceneRasterizer::Quad quad;
    quad.texture = int(texture) - 1;
    for (size_t i = 0; i < 4; ++i)
        quad.corners[i] = point(corners[i]);
    m_scene->sprites.push_back(quad);
}

OVTransform3D OV3DRenderer::spriteRotation(double degreesX, double degreesY, double degreesZ)
{
    const Transform3D m = Transform3D::rotation(degreesX * Pi / 180, 1, 0, 0)
                              .rotated(degreesY * Pi / 180, 0, 1, 0)
                              .rotated(degreesZ * Pi / 180, 0, 0, 1);
    OVTransform3D t;
    t.m11 = m.m11, t.m12 = m.m12, t.m13 = m.m13, t.m14 = m.m14;
    t.m21 = m.m21, t.m22 = m.m22, t.m23 = m.m23, t.m24 = m.m24;
    t.m31 = m.m31, t.m32 = m.m32, t.m33 = m.m33, t.m34 = m.m34;
    t.m41 = m.m41, t.m42 = m.m42, t.m43 = m.m43, t.m44 = m.m44;
    return t;
}

std::array<OVVector3, 4> OV3DRenderer::spriteCorners(const QVariantMap& sprite, double f, double depthFactor)
{
    const double sw = number(sprite, "size.width") * f;
    const double sh = number(sprite, "size.height") * f;
    const double ax = number(sprite, "anchorPoint.x");
    const double ay = number(sprite, "anchorPoint.y");
    const OVTransform3D m = spriteRotation(number(sprite, "rotation.x"), number(sprite, "rotation.y"),
                                           number(sprite, "rotation.z"));
    // Where the anchor sits; the rectangle turns about it.
    const OVVector3 anchor{number(sprite, "location.x") * f + ax * sw / 2,
                           number(sprite, "location.y") * f + ay * sh / 2,
                           number(sprite, "location.z") * f - depthFactor * f};
    const double corners[4][2] = {{(-1 - ax) * sw / 2, (-1 - ay) * sh / 2},
                                  {(-1 - ax) * sw / 2, (1 - ay) * sh / 2},
                                  {(1 - ax) * sw / 2, (1 - ay) * sh / 2},
                                  {(1 - ax) * sw / 2, (-1 - ay) * sh / 2}};
    std::array<OVVector3, 4> result;
    for (size_t i = 0; i < 4; ++i) {
        const OVVector3 turned = OVTransform3DApplyToVector(m, corners[i][0], corners[i][1]);
        result[i] = {turned.x + anchor.x, turned.y + anchor.y, turned.z + anchor.z};
    }
    return result;
}
