#pragma once

#include "Classes/Framework/OVGeometry.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/SceneRasterizer.h"

#include <QList>
#include <QVariantMap>
#include <array>
#include <memory>

class OVSRGBConversionFilter;

// Places sprites as textured rectangles in space over a background and renders them off screen in
// perspective. The eye looks down -z; the image plane, where one unit is one output pixel, lies
// `depthFactor` half output widths in front of it. Opaque parts hide what is behind them; translucent
// parts blend, in linear light, over whatever lies behind them except where another sprite's opaque
// part is nearer.
//
// A sprite is a dictionary: "image" (a pf::Image), "location.x", "location.y", "location.z",
// "size.width", "size.height" (half output widths), "rotation.x", "rotation.y", "rotation.z" (degrees)
// and "anchorPoint.x", "anchorPoint.y" (-1 to 1 across the rectangle); missing numbers are 0. The
// image is stretched over the whole rectangle. A sprite without an image, or whose image has no
// finite extent, is left out.
//
// One renderer serves one render at a time; renderers on different threads render side by side.
class OV3DRenderer
{
public:
    OV3DRenderer();
    ~OV3DRenderer();
    OV3DRenderer(const OV3DRenderer&) = delete;
    OV3DRenderer& operator=(const OV3DRenderer&) = delete;

    void addSprite(const QVariantMap& sprite);
    const QList<QVariantMap>& spriteDescriptions() const { return m_spriteDescriptions; }

    // 0 until set; a render needs a finite positive value.
    double depthFactor() const { return m_depthFactor; }
    void setDepthFactor(double depthFactor) { m_depthFactor = depthFactor; }

    // The scene at the size (cut to whole pixels) as an opaque image at (0, 0, W, H), white where
    // nothing is drawn; none, with the failure logged, when it cannot be rendered. A preview renders
    // on the default graphics device, a final render on the software renderer. The caller waits.
    pf::Image imageWithSize(const pf::Size& size, const pf::Image& background, bool isPreview);

    // The steps of a render, which build the scene it hands to the rasteriser; outside a render they
    // do nothing. bindTexture converts the image to linear light and gives the scene's name for it (0
    // when the image has no pixels to give).
    unsigned bindTexture(const pf::Image& image);
    void placeBackground(const pf::Image& background, double sizeFactor);
    void placeSprite(const QVariantMap& sprite, unsigned texture, double sizeFactor);

    // The sprite's rotation: its rectangle is turned about Z (in its own plane) first, then about Y,
    // then about X, as a row-vector transform built by concatenating each rotation onto the one before.
    static OVTransform3D spriteRotation(double degreesX, double degreesY, double degreesZ);
    // The rectangle's corners in eye space (lower left, upper left, upper right, lower right).
    static std::array<OVVector3, 4> spriteCorners(const QVariantMap& sprite, double sizeFactor,
                                                  double depthFactor);

private:
    QList<QVariantMap> m_spriteDescriptions;
    double m_depthFactor = 0;
    unsigned m_backgroundTexture = 0;
    std::shared_ptr<OVSRGBConversionFilter> m_sRGBFilter;
    pf::SceneRasterizer::Scene* m_scene = nullptr; // while a render builds it
    bool m_conversionFailed = false;
};
