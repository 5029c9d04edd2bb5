#pragma once

#include "Platform/UI/Layer.h"

#include <memory>

// A layer that gives its sublayers one shared perspective: its sublayer transform is the identity with a
// perspective term for an eye `depthFactor` half-widths in front of the layer plane. The sublayers carry
// their own rotations and depth; this layer supplies only the camera. The depth factor may be given as a
// horizontal field of view or as the focal length of a lens on 36 x 24 mm film.
class OV3DLayer : public pf::Layer
{
public:
    // The diagonal of a 36 x 24 mm film frame, in millimetres.
    static constexpr double kFilmDiagonal = 43.266615305567875;
    static constexpr double kDefaultDepthFactor = 2.0;

    OV3DLayer();
    static std::shared_ptr<OV3DLayer> create() { return std::make_shared<OV3DLayer>(); }
    std::shared_ptr<pf::Layer> newOfSameClass() const override { return create(); }

    double depthFactor() const { return m_depthFactor; }
    void setDepthFactor(double depthFactor);
    // The width the perspective is computed for, instead of the bounds width, when above 0.
    double fixedWidth() const { return m_fixedWidth; }
    void setFixedWidth(double width);
    // While set, a change of the bounds leaves the sublayers where they are (the perspective still
    // follows the new width).
    bool preventRelayout() const { return m_preventRelayout; }
    void setPreventRelayout(bool prevent) { m_preventRelayout = prevent; }

    // The horizontal field of view in degrees.
    double fov() const;
    void setFov(double degrees);
    // The focal length in millimetres.
    double focalLength() const;
    void setFocalLength(double millimetres);

    void setBounds(const pf::Rect& bounds) override;
    void resizeSublayersWithOldSize(pf::Size oldSize) override;

    // Sets the sublayer transform from the depth factor and the width.
    void update3DParameter();

private:
    double m_depthFactor = kDefaultDepthFactor;
    double m_fixedWidth = 0;
    bool m_preventRelayout = false;
};
