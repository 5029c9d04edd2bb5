#include "Classes/Framework/Toolkit/OV3DLayer.h"

#include "Platform/UI/Transaction.h"

#include <functional>
#include <gtest/gtest.h>

using pf::Rect;

namespace {

// The three ways of giving the camera agree with each other.
TEST(OV3DLayer, DepthFactorFieldOfViewAndFocalLengthAgree)
{
    struct Case
    {
        const char* given;
        std::function<void(OV3DLayer&)> set;
        double depth, fov, focal;
    };
    const Case cases[] = {
        {"default", [](OV3DLayer&) {}, 2.0, 53.130, 43.267},
        {"focal length 85", [](OV3DLayer& l) { l.setFocalLength(85); }, 3.929, 28.558, 85},
        {"fov 90", [](OV3DLayer& l) { l.setFov(90); }, 1.0, 90, 21.633},
        {"depth factor 2.7", [](OV3DLayer& l) { l.setDepthFactor(2.7); }, 2.7, 40.646, 58.410},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        OV3DLayer layer;
        c.set(layer);
        EXPECT_NEAR(layer.depthFactor(), c.depth, 5e-4);
        EXPECT_NEAR(layer.fov(), c.fov, 5e-4);
        EXPECT_NEAR(layer.focalLength(), c.focal, 5e-3);
    }
    // Read back, a focal length carries no more than the single-precision rounding of the root.
    for (double focal : {18.0, 35.0, 85.0, 200.0}) {
        OV3DLayer layer;
        layer.setFocalLength(focal);
        EXPECT_NEAR(layer.focalLength(), focal, focal * 1e-6) << focal;
    }
}

TEST(OV3DLayer, PerspectiveFollowsTheWidthUnlessFixedAndNeedsAWidthAndADepth)
{
    const pf::Transaction::Scope atOnce(true);
    OV3DLayer layer;
    EXPECT_TRUE(layer.sublayerTransform().isIdentity()); // no bounds yet
    layer.setBounds(Rect(0, 0, 400, 300));
    pf::Transform3D expected;
    expected.m34 = -0.0025; // the eye one width (two half-widths) in front
    EXPECT_EQ(layer.sublayerTransform(), expected);

    layer.setFixedWidth(400);
    layer.setBounds(Rect(0, 0, 1000, 300));
    EXPECT_DOUBLE_EQ(layer.sublayerTransform().m34, -0.0025);
    layer.setFixedWidth(0);
    EXPECT_DOUBLE_EQ(layer.sublayerTransform().m34, -0.001);

    // Without a width or a depth the sublayers stay flat instead of being divided by zero.
    layer.setDepthFactor(0);
    EXPECT_TRUE(layer.sublayerTransform().isIdentity());
    layer.setDepthFactor(2);
    layer.setBounds(Rect(0, 0, 0, 300));
    EXPECT_TRUE(layer.sublayerTransform().isIdentity());
}

TEST(OV3DLayer, PreventingRelayoutKeepsTheSublayersButNotThePerspective)
{
    const pf::Transaction::Scope atOnce(true);
    for (bool prevent : {false, true}) {
        SCOPED_TRACE(prevent);
        auto layer = OV3DLayer::create();
        layer->setFrame(Rect(0, 0, 400, 300));
        auto card = pf::Layer::create();
        card->setFrame(Rect(0, 0, 400, 300));
        card->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
        layer->addSublayer(card);
        layer->setPreventRelayout(prevent);
        layer->setBounds(Rect(0, 0, 800, 300));
        EXPECT_EQ(card->frame(), prevent ? Rect(0, 0, 400, 300) : Rect(0, 0, 800, 300));
        EXPECT_DOUBLE_EQ(layer->sublayerTransform().m34, -1 / 800.0);
    }
}

} // namespace
