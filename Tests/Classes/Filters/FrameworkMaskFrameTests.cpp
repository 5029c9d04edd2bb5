#include "ArtworkTestSupport.h"
#include "LibraryTestSupport.h"

#include "Classes/Filters/OVMaskImageFilter.h"
#include "Classes/Filters/OVPictureFrameFilter.h"
#include "Classes/Filters/OVPictureShadowFilter.h"
#include "Platform/Foundation/Log.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace pf;
using namespace librarytest;
using namespace filtertest;
using artworktest::ArtworkBundle;

namespace {

QVariant var(const Image& image)
{
    return QVariant::fromValue(image);
}

template <typename T> std::shared_ptr<T> made(const QString& name)
{
    auto filter = std::dynamic_pointer_cast<T>(Filter::create(name));
    filter->setDefaults();
    return filter;
}

} // namespace

TEST(OVMaskImageFilter, SixKernels)
{
    const Grid image = randomGrid(8, 6, 7, false);
    // A mask whose colour and alpha differ, so each kernel's reading shows.
    const Grid mask = Grid::from(8, 6, [](int x, int y) {
        const float a = 0.5f + 0.05f * y;
        return Pixel{0.1f * x * a, 0.1f * x * a, 0.1f * x * a, a};
    });
    const Pixel paint{0.2f * 0.5f, 0.4f * 0.5f, 0.6f * 0.5f, 0.5f};
    ArtworkBundle artwork;
    for (bool invert : {false, true})
        for (bool withImage : {true, false}) {
            auto f = made<OVMaskImageFilter>("OVMaskImageFilter");
            // After a named mask with alpha, a mask set directly is read from its colour again.
            f->setValue("ORV-M#002#Soft", "inputMaskName");
            ASSERT_TRUE(f->maskHasAlpha());
            f->setValue(var(mask.image()), "inputMaskImage");
            EXPECT_FALSE(f->maskHasAlpha());
            f->setValue(invert, "inputInvert");
            if (withImage)
                f->setValue(var(image.image()), "inputImage");
            else
                f->setValue(QVariant::fromValue(Color(0.2, 0.4, 0.6, 0.5)), "inputColor");
            const Grid expected = Grid::from(8, 6, [&](int x, int y) {
                const float v = std::clamp(mask.at(x, y)[0], 0.0f, 1.0f);
                const float w = invert ? 1 - v : v;
                const Pixel& p = withImage ? image.at(x, y) : paint;
                return Pixel{p[0] * w, p[1] * w, p[2] * w, p[3] * w};
            });
            EXPECT_LT(difference(Grid::rendered(f->outputImage(), 8, 6), expected), 2e-6)
                << invert << withImage;
        }
    // The alpha kernels, with the named alpha mask (an oval, 40 x 20) on an image of its size.
    const Grid grey = Grid(40, 20, {0.5f, 0.5f, 0.5f, 1});
    for (bool invert : {false, true}) {
        auto f = made<OVMaskImageFilter>("OVMaskImageFilter");
        f->setValue("ORV-M#002#Soft", "inputMaskName");
        f->setValue(invert, "inputInvert");
        f->setValue(var(grey.image()), "inputImage");
        const Grid g = Grid::rendered(f->outputImage(), 40, 20);
        EXPECT_NEAR(g.at(20, 10)[3], invert ? 0.0f : 1.0f, 1e-6); // the oval's middle
        EXPECT_NEAR(g.at(0, 0)[3], invert ? 1.0f : 0.0f, 1e-6);   // its transparent corner
    }
}

TEST(OVMaskImageFilter, FitsTheMaskToTheImage)
{
    const Image image = Grid(400, 200, {1, 1, 1, 1}).image();
    const Image mask = Grid(100, 100, {1, 1, 1, 1}).image();
    struct Case
    {
        bool scale, invert;
        Image mask;
        Rect extent;
    };
    const Case cases[] = {
        {false, false, mask, Rect(100, 0, 200, 200)}, // scale 2 both ways, centred
        {true, false, mask, Rect(0, 0, 400, 200)},    // stretched by 4 and 2
        {false, true, mask, Rect(0, 0, 400, 200)},    // inverted: the image's extent
        {false, false,
         Grid(400, 200, {1, 1, 1, 1}).image().imageByApplyingTransform(AffineTransform::translation(0.5, 0)),
         Rect(0, 0, 400, 200)}, // within a pixel: used as it is (its extent truncated)
    };
    for (const Case& c : cases) {
        auto f = made<OVMaskImageFilter>("OVMaskImageFilter");
        f->setValue(var(image), "inputImage");
        f->setValue(var(c.mask), "inputMaskImage");
        f->setValue(c.scale, "inputScale");
        f->setValue(c.invert, "inputInvert");
        const Image out = f->outputImage();
        EXPECT_EQ(out.extent(), c.extent) << c.scale << c.invert;
    }
    auto f = made<OVMaskImageFilter>("OVMaskImageFilter");
    f->setValue(var(image), "inputImage");
    f->setValue(var(mask), "inputMaskImage");
    const Pixels p = render(f->outputImage(), Rect(0, 0, 400, 200));
    EXPECT_EQ(p.at(99, 100)[3], 0.0f);
    EXPECT_EQ(p.at(101, 100)[3], 1.0f);
    EXPECT_EQ(p.at(298, 197)[3], 1.0f);
    EXPECT_EQ(p.at(300, 100)[3], 0.0f);
    // A mask or image without area cannot be fitted: the image comes back as it is, no NaN.
    for (const Image& flat :
         {Image::emptyImage(), Grid(100, 100).image().imageByCroppingToRect(Rect(0, 0, 100, 0))}) {
        f->setValue(var(flat), "inputMaskImage");
        EXPECT_EQ(f->outputImage(), image);
    }
    f->setValue(var(mask), "inputMaskImage");
    f->setValue(var(Image::emptyImage()), "inputImage");
    EXPECT_EQ(f->outputImage(), Image::emptyImage());
}

TEST(OVMaskImageFilter, LooksUpMasksByIdThenByName)
{
    ArtworkBundle artwork;
    auto f = made<OVMaskImageFilter>("OVMaskImageFilter");
    EXPECT_EQ(f->attributesForKey("inputMaskName").value("choices").toStringList(),
              (QStringList{"ORV-M#001#Oval", "ORV-M#002#Soft"}));
    EXPECT_EQ(f->value("inputMaskName").toString(), "ORV-M#001#Oval"); // the first is the default
    EXPECT_FALSE(f->value("inputMaskImage").isNull());

    struct Case
    {
        const char* name;
        bool found;
        const char* warning;
    };
    QFile temporary(QDir::temp().filePath("glimora-mask-test.png"));
    ASSERT_TRUE(ArtworkBundle::oval(10, 10, false).save(temporary.fileName()));
    const Case cases[] = {
        {"ORV-M#002#Anything", true, nullptr},
        {"Oval", true, nullptr}, // no type or number: found by its name part only
        {"Nothing", false, "Warning: No Mask loaded for Nothing"}, // an empty ID matches no file
        {"glimora-mask-test.png", true, nullptr},                  // from the temporary folder
        {"../glimora-mask-test.png", false, "not a plain file name"},
        {"/etc/passwd", false, "not a plain file name"},
    };
    for (const Case& c : cases) {
        LogCapture capture;
        f->setValue(QString::fromLatin1(c.name), "inputMaskName");
        EXPECT_EQ(f->value("inputMaskImage").isValid(), c.found) << c.name;
        if (c.warning) {
            EXPECT_TRUE(capture.contains(QString::fromLatin1(c.warning))) << c.name;
        }
    }
    temporary.remove();
    LogCapture capture;
    f->setValue(QVariant(), "inputMaskName");
    EXPECT_TRUE(f->value("inputMaskImage").isNull());
    EXPECT_TRUE(capture.lines().isEmpty());
}

TEST(OVPictureFrameFilter, LooksUpFramesInAGeneratedBundle)
{
    ArtworkBundle artwork; // its path contains "Mask", which must hide no frame
    ASSERT_TRUE(artwork.path().contains("Mask"));
    auto frame = made<OVPictureFrameFilter>("OVPictureFrameFilter");
    const QStringList names{"ORV-F#001#Thin", "ORV-F#003#Oak", "ORV-F#005#Bent"};
    EXPECT_EQ(frame->attributesForKey("inputFrameName").value("choices").toStringList(), names);
    // The default is the last (here the one whose name has three numbers, so no layout).
    EXPECT_EQ(frame->value("inputFrameName").toString(), names.last());

    struct Step
    {
        const char* name;
        const char* stored; // the canonical name kept
        Rect layout;
        bool frameImage, mask;
        const char* log;
    };
    const Step steps[] = {
        {"ORV-F#003#Anything", "ORV-F#003#Oak", Rect(10, 10, 100, 80), true, false, nullptr},
        {"ORV-F#005#Bent", "ORV-F#005#Bent", Rect(10, 10, 100, 80), true, false,
         "Error: Picture Frame ORV-F#005#Bent has wrong number of Name-Components 3 (10, 10, 100)"},
        {"ORV-F#001#Thin", "ORV-F#001#Thin", Rect(20, 20, 80, 60), true, true, nullptr},
        // A name that finds nothing leaves nothing of the last frame in use.
        {"ORV-F#009#Gone", "ORV-F#009#Gone", Rect(0, 0, 0, 0), false, false,
         "Warning: Picture Frame 'ORV-F#009#Gone' not found"},
        {"ORV-F#001#Thin", "ORV-F#001#Thin", Rect(20, 20, 80, 60), true, true, nullptr},
        {"Thin", "Thin", Rect(0, 0, 0, 0), false, false, "Warning: Picture Frame 'Thin' not found"}, // no ID
    };
    for (const Step& s : steps) {
        LogCapture capture;
        frame->setValue(QString::fromLatin1(s.name), "inputFrameName");
        EXPECT_EQ(frame->value("inputFrameName").toString(), QString::fromLatin1(s.stored)) << s.name;
        EXPECT_EQ(frame->frameLayout(), s.layout) << s.name;
        EXPECT_EQ(!frame->frameImage().isNull(), s.frameImage) << s.name;
        EXPECT_EQ(!frame->maskImage().isNull(), s.mask) << s.name;
        if (s.log) {
            EXPECT_TRUE(capture.contains(QString::fromLatin1(s.log))) << s.name;
        }
    }
    frame->setValue(QVariant(), "inputFrameName");
    EXPECT_TRUE(frame->frameImage().isNull());
    EXPECT_EQ(frame->frameLayout(), Rect(0, 0, 0, 0));
}

TEST(OVPictureFrameFilter, OpeningPlacedInThePicture)
{
    // A 400 x 300 picture and an opening of 200 x 100: scale 2 (the width), the middle 200 rows.
    const auto p = OVPictureFrameFilter::placement(Rect(0, 0, 400, 300), Rect(10, 20, 200, 100));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->opening, Rect(0, 50, 400, 200));
    EXPECT_EQ(p->transform.map(Point(10, 20)), Point(0, 50));
    EXPECT_FALSE(OVPictureFrameFilter::placement(Rect(0, 0, 400, 300), Rect(0, 0, 0, 0)));

    ArtworkBundle artwork;
    const Image picture =
        Grid(240, 120, {0, 0, 1, 1}).image().imageByApplyingTransform(AffineTransform::translation(30, 40));
    auto frame = made<OVPictureFrameFilter>("OVPictureFrameFilter");
    frame->setValue(QVariant(), "inputFrameName");
    EXPECT_EQ(frame->outputImage(), Image()); // no picture
    frame->setValue(var(picture), "inputImage");
    EXPECT_EQ(frame->outputImage(), picture); // no frame: as it is
    // Oak (no mask): opening 100 x 80 scaled by min(2.4, 1.5) = 1.5 to 150 x 120, centred at x 75..225.
    for (const char* name : {"ORV-F#003#Oak", "ORV-F#001#Thin"}) {
        frame->setValue(QString::fromLatin1(name), "inputFrameName");
        const Image out = frame->outputImage();
        const bool oak = QByteArray(name).contains("Oak");
        const double s = oak ? 1.5 : 2.0;
        const Rect opening = oak ? Rect(30 + 45, 40, 150, 120) : Rect(30 + 40, 40, 160, 120);
        EXPECT_EQ(out.extent(),
                  Rect(opening.minX() - s * (oak ? 10 : 20), 40 - s * (oak ? 10 : 20), 120 * s, 100 * s))
            << name;
        const Pixels px = render(out, opening.insetBy(-20, -20));
        EXPECT_EQ(px.at(int(opening.midX()), int(opening.midY())), (std::array<float, 4>{0, 0, 1, 1}))
            << name;
        // Just outside the opening the frame's dark brown covers everything.
        EXPECT_NEAR(px.at(int(opening.minX()) - 3, int(opening.midY()))[0], 80 / 255.0, 1e-3) << name;
    }
}

TEST(OVPictureShadowFilter, MarginLandsOnTheCorner)
{
    ArtworkBundle artwork;
    auto shadow = made<OVPictureShadowFilter>("OVPictureShadowFilter");
    EXPECT_EQ(shadow->value("inputShadowName").toString(), "ORV-S#001#Drop");
    EXPECT_EQ(shadow->shadowMargin(), Size(10, 10));
    // 110 wide with a margin of 10: scale 200 / 100 = 2, the shadow from (-20, -20) + the picture's origin.
    const Image picture =
        Grid(200, 100, {1, 1, 1, 1}).image().imageByApplyingTransform(AffineTransform::translation(5, 5));
    shadow->setValue(var(picture), "inputImage");
    const Image out = shadow->outputImage();
    EXPECT_EQ(out.extent(), Rect(-15, -15, 220, 180));
    const Pixels p = render(out, Rect(-15, -15, 220, 180));
    EXPECT_NEAR(p.at(-10, 50)[3], 128 / 255.0, 1e-3);
    EXPECT_EQ(p.at(100, 50)[0], 1.0f);
    // A shadow no wider than its margin has no scale: the picture alone.
    shadow->setShadowMargin(Size(110, 10));
    EXPECT_EQ(shadow->outputImage(), picture);
    EXPECT_FALSE(OVPictureShadowFilter::placement(Rect(0, 0, 10, 10), 50, Size(60, 0)));
}
