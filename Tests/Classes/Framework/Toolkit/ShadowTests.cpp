#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVShadowCatalog.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Transaction.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(OVShadowCatalog, DescriptionsBecomeShadows)
{
    const std::optional<pf::Shadow> shadow = OVShadowCatalog::shadowWithDescription(
        QVariantMap{{QStringLiteral("color"), QStringLiteral("0 0 0 0.5")},
                    {QStringLiteral("offset.y"), -1},
                    {QStringLiteral("radius"), QStringLiteral("2")}});
    ASSERT_TRUE(shadow);
    EXPECT_EQ(shadow->color, QColor::fromRgbF(0, 0, 0, 0.5f));
    EXPECT_EQ(shadow->offset, pf::Size(0, -1)); // one point below, y-up
    EXPECT_EQ(shadow->blurRadius, 2);
    EXPECT_FALSE(OVShadowCatalog::shadowWithDescription(std::nullopt));
    // An empty description: opaque black, no offset, no blur.
    EXPECT_EQ(OVShadowCatalog::shadowWithDescription(QVariantMap())->color, QColor(Qt::black));

    // The application's catalog: every name has a shadow and a text colour; unknown names have neither.
    OVShadowCatalog& catalog = OVShadowCatalog::sharedShadowCatalog();
    for (const char* name : {"TextWhite0px", "TextBlack1px", "GlowButtonOff", "GlowButtonOffHover",
                             "GlowButtonOffDown", "GlowButtonOn"}) {
        EXPECT_TRUE(catalog.shadowWithName(QString::fromLatin1(name))) << name;
        EXPECT_TRUE(catalog.textColorForShadowWithName(QString::fromLatin1(name))) << name;
    }
    EXPECT_FALSE(catalog.shadowWithName(QStringLiteral("Unknown")));
    EXPECT_FALSE(catalog.textColorForShadowWithName(QStringLiteral("Unknown")));
    EXPECT_EQ(OVShadowCatalog(QStringLiteral("/nonexistent/Shadows.plist")).names(), QStringList());
}

// A named shadow gives every view its shadow, and a view that draws text its text colour too; a
// button's per-state names take the catalog's variants.
TEST(OVShadowCatalog, NamedShadowsOnViews)
{
    OVImageView image;
    OVButton button;
    ViewORVExtension::setShadowName(&image, QStringLiteral("TextBlack1px"));
    ViewORVExtension::setShadowName(&button, QStringLiteral("TextBlack1px"));
    EXPECT_TRUE(image.viewShadow());
    EXPECT_TRUE(button.viewShadow());
    EXPECT_NEAR(button.textColor().red(), 0.93, 1e-6);
    ViewORVExtension::setShadowName(&image, QStringLiteral("Unknown"));
    EXPECT_FALSE(image.viewShadow());

    button.setTextShadowName(QStringLiteral("GlowButtonOff"));
    EXPECT_EQ(
        button.shadowNames(),
        (std::array<QString, 4>{QStringLiteral("GlowButtonOff"), QStringLiteral("GlowButtonOff"),
                                QStringLiteral("GlowButtonOffHover"), QStringLiteral("GlowButtonOffDown")}));
    button.setButtonState(2);
    EXPECT_NEAR(button.textShadow()->blurRadius, 5, 1e-9);
    button.setTextShadowName(QStringLiteral("GlowButtonOn"));
    EXPECT_EQ(button.shadowNames()[2], QStringLiteral("GlowButtonOn")); // no variants: the name itself
}

// The rotation a layer has on its tree's root, whatever its scale and wherever its parents turn it.
TEST(ViewORVExtension, GlobalLayerRotation)
{
    const pf::Transaction::Scope atOnce(true);
    const struct
    {
        double degrees, parentDegrees, scale, expected;
    } cases[] = {{90, 0, 1, 90}, {-90, 0, 1, -90},   {180, 0, 1, 180},
                 {30, 0, 3, 30}, {60, 45, 0.5, 105}, {0, 0, 1, 0}};
    for (const auto& c : cases) {
        auto root = pf::Layer::create();
        auto parent = pf::Layer::create();
        auto layer = pf::Layer::create();
        root->setBounds(pf::Rect(0, 0, 400, 400));
        parent->setBounds(pf::Rect(0, 0, 200, 200));
        layer->setBounds(pf::Rect(0, 0, 100, 50));
        root->addSublayer(parent);
        parent->addSublayer(layer);
        parent->setTransform(pf::Transform3D::rotation(c.parentDegrees * M_PI / 180, 0, 0, 1));
        layer->setTransform(pf::Transform3D::rotation(c.degrees * M_PI / 180, 0, 0, 1)
                                .concatenated(pf::Transform3D::scale(c.scale, c.scale, 1)));
        EXPECT_NEAR(ViewORVExtension::globalLayerRotation(*layer), c.expected, 1e-6) << c.degrees;
    }
}

} // namespace
