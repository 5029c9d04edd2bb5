#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVFrameShadowLayer.h"
#include "Classes/Editor/OVFrameView.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/OVSwitch.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/NamedImage.h"

#include <cmath>
#include <gtest/gtest.h>

// Every picture the editor's classes draw by name is in the built resources, at both scales.
TEST(EditorArtwork, EveryImageNameTheClassesUseExists)
{
    QStringList names = OVFrameView::imageNames() + OVFrameLayer::imageNames() +
                        OVFrameShadowLayer::imageNames() + GMSlider::imageNames() + OVSwitch::imageNames() +
                        EffectIntensity::imageNames() + ColorPicker::imageNames() +
                        OVMultiSwitch::imageNames() + GMSettingsController::imageNames() +
                        QStringList{GMEventView::backgroundImageName, GMEventView::grainImageName};
    names.removeDuplicates();
    QStringList missing;
    for (const QString& name : names) {
        for (double scale : {1.0, 2.0}) {
            if (pf::NamedImage::image(name, scale, pf::Bundle::main()).isNull())
                missing << QStringLiteral("%1 at %2x").arg(name).arg(scale);
        }
    }
    EXPECT_TRUE(missing.isEmpty()) << qPrintable(missing.join(QStringLiteral(", ")));
}

// The loupe's geometry comes from its pictures' sizes and shapes: the glass within two thirds of the rim,
// the needle's tip over the knob ring, the ratio marks where the knob stops, the refracting ring just
// outside the glass.
TEST(EditorArtwork, TheLoupesPicturesMakeItsGeometry)
{
    for (const QString& name : OVLoupeView::imageNames())
        for (double scale : {1.0, 2.0})
            ASSERT_FALSE(pf::NamedImage::image(name, scale, pf::Bundle::main()).isNull()) << qPrintable(name);
    for (const QString& name :
         {QStringLiteral("Button01Left"), QStringLiteral("Button01Mid"), QStringLiteral("Button01Right")})
        EXPECT_FALSE(pf::NamedImage::image(name, 2.0, pf::Bundle::main()).isNull()) << qPrintable(name);
    const auto image = [](const char* name) {
        return pf::NamedImage::image(QString::fromLatin1(name), 1.0, pf::Bundle::main())
            .convertToFormat(QImage::Format_ARGB32);
    };
    const QImage rim = image("Loupe.png"), little = image("LoupeLittle.png"), mask = image("LoupeMask.png");
    const QImage knob = image("LoupeRatioKnob.png"), torus = image("LoupeTorusMask.png");
    const double half = rim.width() / 2.0;
    EXPECT_EQ(rim.size(), little.size()) << "both rims over the same bounds";
    EXPECT_LE(mask.width() / 2.0, 0.66 * half) << "the glass within the painting radius";
    // Alpha at radius r (in half rims) and pointer angle a about an image's middle.
    const auto alphaAt = [](const QImage& im, double r, double degrees, double halfRim) {
        const double a = degrees / 180 * M_PI;
        const int x = int(im.width() / 2.0 + r * halfRim * std::cos(a));
        const int y = int(im.height() / 2.0 - r * halfRim * std::sin(a));
        return qAlpha(im.pixel(x, y));
    };
    // The needle points up; its tip (its topmost opaque pixel) on the knob ring.
    int tip = -1;
    for (int y = 0; y < knob.height() && tip < 0; ++y)
        if (qAlpha(knob.pixel(knob.width() / 2, y)) > 128)
            tip = y;
    const double tipRadius = (knob.height() / 2.0 - tip) / half;
    EXPECT_GT(tipRadius, 0.65);
    EXPECT_LT(tipRadius, 0.77);
    EXPECT_EQ(alphaAt(knob, 0.5, 90, half), 0) << "nothing over the glass";
    // The marks: bright ticks on the ring at the knob's four stops, none halfway round the other side.
    const auto brightness = [&](double degrees) {
        const double a = degrees / 180 * M_PI;
        const QRgb p =
            rim.pixel(int(half + 0.74 * half * std::cos(a)), int(half - 0.74 * half * std::sin(a)));
        return qAlpha(p) * (qRed(p) + qGreen(p) + qBlue(p)) / 3 / 255;
    };
    for (double mark : {-29.0, 4.3, 37.7, 71.0})
        EXPECT_GT(brightness(mark), 150) << mark;
    EXPECT_LT(brightness(180), 80);
    // The torus mask: clear over the glass, opaque just outside it, clear at the rim's edge.
    EXPECT_EQ(alphaAt(torus, 0.5, 30, half), 0);
    EXPECT_GT(alphaAt(torus, mask.width() / 2.0 / half + 0.05, 30, half), 200);
    EXPECT_EQ(alphaAt(torus, 0.9, 30, half), 0);
    EXPECT_EQ(alphaAt(mask, 0.0, 0, half), 255);
}
