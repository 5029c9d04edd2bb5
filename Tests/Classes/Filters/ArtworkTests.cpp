#include "FilterTestSupport.h"

#include "Classes/Filters/FilterArtwork.h"
#include "Classes/Filters/OVDimmedBWFilter.h"
#include "Classes/Filters/OVMaskImageFilter.h"
#include "Classes/Filters/OVPictureFrameFilter.h"
#include "Classes/Filters/OVPictureShadowFilter.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;

// The artwork the application ships (rendered from Resources/Artwork at build time).

TEST(Artwork, FramesOpenOntoThePictureAndTheirMasksMatch)
{
    const QStringList frames = FilterArtwork::choices(FilterArtwork::FrameType, QStringLiteral("Mask"));
    ASSERT_EQ(frames.size(), 3) << frames.join(", ").toStdString();
    auto frame = std::dynamic_pointer_cast<OVPictureFrameFilter>(Filter::create("OVPictureFrameFilter"));
    for (const QString& name : frames) {
        frame->setValue(name, "inputFrameName");
        const Rect bounds = frame->frameImage().extent();
        const Rect opening = frame->frameLayout();
        ASSERT_FALSE(frame->maskImage().isNull()) << name.toStdString();
        EXPECT_EQ(frame->maskImage().extent(), bounds) << name.toStdString();
        EXPECT_TRUE(bounds.insetBy(1, 1).contains(opening)) << name.toStdString();
        // The mask is light a pixel inside the opening and dark a pixel outside it; the frame is clear over
        // the opening and solid around it.
        const Pixels mask = render(frame->maskImage(), bounds);
        const Pixels art = render(frame->frameImage(), bounds);
        float darkest = 1, lightest = 0, frameOverOpening = 0, frameAround = 1;
        for (int y = int(bounds.minY()); y < int(bounds.maxY()); y += 3)
            for (int x = int(bounds.minX()); x < int(bounds.maxX()); x += 3) {
                const Point centre(x + 0.5, y + 0.5);
                if (opening.insetBy(1, 1).contains(centre)) {
                    darkest = std::min(darkest, mask.at(x, y)[0]);
                    frameOverOpening = std::max(frameOverOpening, art.at(x, y)[3]);
                } else if (!opening.insetBy(-1, -1).contains(centre)) {
                    lightest = std::max(lightest, mask.at(x, y)[0]);
                    frameAround = std::min(frameAround, art.at(x, y)[3]);
                }
            }
        EXPECT_GT(darkest, 0.99f) << name.toStdString();
        EXPECT_LT(lightest, 0.01f) << name.toStdString();
        EXPECT_LT(frameOverOpening, 0.01f) << name.toStdString();
        EXPECT_GT(frameAround, 0.99f) << name.toStdString();
    }
    EXPECT_EQ(Filter::create("OVPictureFrameFilter")
                  ->attributesForKey("inputFrameName")
                  .value(FilterAttribute::Default),
              frames.last());
}

TEST(Artwork, MasksAndShadows)
{
    const QStringList masks = FilterArtwork::choices(FilterArtwork::MaskType);
    ASSERT_EQ(masks.size(), 3);
    int withAlpha = 0;
    for (const QString& name : masks) {
        auto filter = std::dynamic_pointer_cast<OVMaskImageFilter>(Filter::create("OVMaskImageFilter"));
        filter->setValue(name, "inputMaskName");
        ASSERT_TRUE(filter->value("inputMaskImage").isValid()) << name.toStdString();
        withAlpha += filter->maskHasAlpha();
        // Light in the middle, dark in the corner, whichever way the mask is read.
        filter->setValue(
            QVariant::fromValue(
                Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(Rect(0, 0, 800, 1000))),
            "inputImage");
        const Pixels p = render(filter->outputImage(), Rect(0, 0, 800, 1000));
        EXPECT_GT(p.at(400, 500)[3], 0.99f) << name.toStdString();
        EXPECT_LT(p.at(2, 2)[3], 0.01f) << name.toStdString();
    }
    EXPECT_EQ(withAlpha, 1);

    const QStringList shadows = FilterArtwork::choices(FilterArtwork::ShadowType);
    ASSERT_EQ(shadows.size(), 2);
    for (const QString& name : shadows) {
        auto filter =
            std::dynamic_pointer_cast<OVPictureShadowFilter>(Filter::create("OVPictureShadowFilter"));
        filter->setValue(name, "inputShadowName");
        ASSERT_FALSE(filter->shadowImage().isNull()) << name.toStdString();
        const Size margin = filter->shadowMargin();
        EXPECT_TRUE(OVPictureShadowFilter::placement(Rect(0, 0, 800, 1000),
                                                     filter->shadowImage().extent().width(), margin))
            << name.toStdString();
        EXPECT_LT(margin.height, filter->shadowImage().extent().height()) << name.toStdString();
    }
}

TEST(Artwork, ClassTablesAreMadeOnceFromAnyThread)
{
    // Filters are made on whichever thread builds an effect; the lists of artwork are read on first use
    // (checked by the thread sanitizer build).
    FilterArtwork::setResourcePathForTesting(QString());
    EXPECT_EQ(
        threadsThatHold(
            4,
            [] {
                const auto frame = Filter::create("OVPictureFrameFilter");
                const auto mask = Filter::create("OVMaskImageFilter");
                const auto shadow = Filter::create("OVPictureShadowFilter");
                return frame->attributesForKey("inputFrameName").value("choices").toStringList().size() ==
                           3 &&
                       mask->attributesForKey("inputMaskName").value("choices").toStringList().size() == 3 &&
                       shadow->attributesForKey("inputShadowName").value("choices").toStringList().size() ==
                           2 &&
                       OVDimmedBWFilter::sharedDimmedBWFilter();
            }),
        4);
}
