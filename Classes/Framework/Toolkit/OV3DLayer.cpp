#include "Classes/Framework/Toolkit/OV3DLayer.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kDegree = std::numbers::pi / 180;

} // namespace

OV3DLayer::OV3DLayer()
{
    update3DParameter();
}

void OV3DLayer::setDepthFactor(double depthFactor)
{
    m_depthFactor = depthFactor;
    update3DParameter();
}

void OV3DLayer::setFixedWidth(double width)
{
    m_fixedWidth = width;
    update3DParameter();
}

double OV3DLayer::fov() const
{
    const double d = m_depthFactor;
    // The root is taken in single precision; values read back carry that rounding.
    const double root = static_cast<double>(std::sqrt(static_cast<float>(d * d + 1)));
    return 2 * (90 - std::asin(d / root) / kDegree);
}

void OV3DLayer::setFov(double degrees)
{
    const double half = degrees / 2;
    setDepthFactor(std::sin((90 - half) * kDegree) / std::sin(half * kDegree));
}

double OV3DLayer::focalLength() const
{
    return kFilmDiagonal / (2 * std::tan(fov() / 2 * kDegree));
}

void OV3DLayer::setFocalLength(double millimetres)
{
    setFov(2 * std::atan(kFilmDiagonal / (2 * millimetres)) / kDegree);
}

void OV3DLayer::setBounds(const pf::Rect& bounds)
{
    setSublayerTransform(pf::Transform3D::identity());
    Layer::setBounds(bounds);
    update3DParameter();
}

void OV3DLayer::resizeSublayersWithOldSize(pf::Size oldSize)
{
    if (!m_preventRelayout)
        Layer::resizeSublayersWithOldSize(oldSize);
}

void OV3DLayer::update3DParameter()
{
    const double width = m_fixedWidth > 0 ? m_fixedWidth : bounds().width();
    const double eye = width / 2 * m_depthFactor;
    pf::Transform3D transform;
    // Without a width or a depth there is no eye to look from: the sublayers stay flat rather than be
    // divided by zero (or seen from behind).
    if (eye > 0 && std::isfinite(eye))
        transform.m34 = -1 / eye;
    setSublayerTransform(transform);
}
