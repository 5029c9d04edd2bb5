#pragma once

#include "Classes/Framework/OVFilter.h"
#include "Platform/Foundation/Size.h"

#include <optional>

// Places a photograph in the middle of a larger canvas and fills the canvas around it with a soft
// backdrop: the blurred canvas (optionally turned and motion-blurred), colour-burned with a stretched,
// turned and strongly blurred copy of the photograph, a soft dark shadow under the photograph, a thin
// blurred frame, and the photograph on top. Every radius grows with the canvas.
class OVArtisticExtend : public OVFilter
{
public:
    explicit OVArtisticExtend(const QString& className = QStringLiteral("OVArtisticExtend"));
    static void registerClass();

    // Where everything goes for a canvas and a photograph, both at the origin.
    struct Layout
    {
        double scale = 0;      // max(0.5, sqrt(canvas area) / 1000)
        double dx = 0, dy = 0; // the photograph's origin on the canvas
        double margin = 0;     // of the frame around the photograph, whole pixels
        pf::Rect frame;        // the photograph grown by the margin
        double canvasBlur = 0; // radii of the blurs, in pixels
        double frameBlur = 0;
        double photoBlur = 0;
        double shadowBlur = 0;
        double motionBlur = 0;
        bool operator==(const Layout&) const = default;
    };
    // Nothing when either has no area, or an unbounded one.
    static std::optional<Layout> layout(const pf::Size& canvas, const pf::Size& photo);

    // The canvas's extent. An image input whose origin is a pixel or more away from (0, 0) is moved there
    // and stays moved in the input. No image without both images, or when either has no area.
    pf::Image outputImage() const override;
};
