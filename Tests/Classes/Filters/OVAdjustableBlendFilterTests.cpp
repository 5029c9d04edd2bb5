#include "BlendReference.h"
#include "FilterTestSupport.h"

#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace blendref;

TEST(OVAdjustableBlendFilter, ModeNamesAndVerification)
{
    EXPECT_EQ(OVAdjustableBlendFilter::blendModeNames(),
              (QStringList{"sourceOver", "colorBlend", "luminosityBlend", "multiply", "colorBurn",
                           "linearBurn", "negativeMultiply", "colorDodge", "linearDodge", "overlay",
                           "softLight", "hardLight", "vividLight", "linearLight", "hardMix"}));
    EXPECT_EQ(OVAdjustableBlendFilter::verifiedBlendMode("overlay"), "overlay");
    EXPECT_EQ(OVAdjustableBlendFilter::verifiedBlendMode("Overlay"), "sourceOver");
    EXPECT_EQ(OVAdjustableBlendFilter::verifiedBlendMode(""), "sourceOver");
    EXPECT_EQ(OVAdjustableBlendFilter::verifiedBlendMode(QString()), "sourceOver");
    FilterPtr filter = Filter::create("OVAdjustableBlendFilter");
    EXPECT_EQ(filter->inputKeys(), (QStringList{"inputImage", "inputBackgroundImage", "inputIntensity",
                                                "inputBlendName", "inputSwitchImages", "inputStretchToFit"}));
    EXPECT_EQ(filter->attributesForKey("inputBlendName").value("choices").toStringList(),
              OVAdjustableBlendFilter::blendModeNames());
    // Every listed mode has its kernel.
    for (const QString& name : OVAdjustableBlendFilter::blendModeNames())
        EXPECT_EQ(OVAdjustableBlendFilter::verifiedBlendMode(name), name);
}

TEST(OVAdjustableBlendFilter, WorksWithoutDefaultsAndFallsBackToTheBlendKernel)
{
    const Grid g = grid(gridSamples());
    FilterPtr filter = Filter::create("OVAdjustableBlendFilter");
    filter->setValue(QVariant::fromValue(g.top), "inputImage");
    filter->setValue(QVariant::fromValue(g.bottom), "inputBackgroundImage");
    LogCapture capture;
    const Image out = output(filter);
    EXPECT_TRUE(capture.contains("Warning: Adjustable Blend could not find blend '(null)'"));
    EXPECT_EQ(filter->value("inputIntensity").toDouble(), 1.0); // set by the filter and kept
    EXPECT_LT(worstError(out, g, sourceOver), 1e-6);
    capture.clear();
    filter->setValue("Overlay", "inputBlendName");
    EXPECT_LT(worstError(output(filter), g, sourceOver), 1e-6);
    EXPECT_TRUE(capture.contains("Warning: Adjustable Blend could not find blend 'Overlay'"));
    // Without either image there is nothing to blend.
    filter->setValue(QVariant(), "inputImage");
    EXPECT_FALSE(filter->value("outputImage").isValid());
}

TEST(OVAdjustableBlendFilter, ExtentStretchAndSwitch)
{
    // Grey, with a green top right corner.
    const Image background = floatImage(400, 300, [](int x, int y) {
        return x >= 392 && y >= 288 ? std::array<float, 4>{0, 1, 0, 1}
                                    : std::array<float, 4>{0.2f, 0.2f, 0.2f, 1};
    });
    // The image's top right corner is marked.
    const Image image = floatImage(200, 100, [](int x, int y) {
        return x >= 196 && y >= 96 ? std::array<float, 4>{1, 0, 0, 1} : std::array<float, 4>{0, 0, 1, 1};
    });
    auto blend =
        std::dynamic_pointer_cast<OVAdjustableBlendFilter>(Filter::create("OVAdjustableBlendFilter"));
    ASSERT_TRUE(blend);
    blend->setDefaults();
    blend->setInputImage(image);
    blend->setInputBackgroundImage(background);
    EXPECT_EQ(blend->outputImage().extent(), Rect(0, 0, 200, 100));
    EXPECT_EQ(blend->outputImage().definition().extent(), Rect(0, 0, 400, 300));
    blend->setInputUseBGExtent(true);
    Image out = blend->outputImage();
    EXPECT_EQ(out.extent(), Rect(0, 0, 400, 300));
    Pixels p = render(out, Rect(0, 0, 400, 300));
    EXPECT_EQ(p.at(300, 250)[0], 0.2f); // the image keeps its size
    EXPECT_EQ(p.at(199, 99)[0], 1.0f);
    blend->setInputStretchToFit(true); // scaled by (2, 3)
    p = render(blend->outputImage(), Rect(0, 0, 400, 300));
    EXPECT_EQ(p.at(395, 295)[0], 1.0f);
    EXPECT_EQ(p.at(199, 99)[2], 1.0f);
    // Switching exchanges the roles, not the extent.
    blend->setInputSwitchImages(true);
    EXPECT_EQ(blend->outputImage().extent(), Rect(0, 0, 400, 300));
    blend->setInputUseBGExtent(false);
    EXPECT_EQ(blend->outputImage().extent(), Rect(0, 0, 200, 100));
    // Stretched without the background's extent, the background (here on top) is scaled to the image.
    EXPECT_EQ(render(blend->outputImage(), Rect(0, 0, 200, 100)).at(198, 98)[1], 1.0f);
    blend->setInputStretchToFit(false);
    EXPECT_EQ(render(blend->outputImage(), Rect(0, 0, 200, 100)).at(198, 98)[1], 0.2f);
    blend->setInputSwitchImages(false);
    blend->setInputStretchToFit(true);
    // Sizes without a finite scale factor leave the image as it is: no NaN in the transform.
    blend->setInputImage(Image::emptyImage());
    blend->setInputUseBGExtent(true);
    out = blend->outputImage();
    EXPECT_EQ(out.extent(), Rect(0, 0, 400, 300));
    EXPECT_EQ(render(out, Rect(0, 0, 4, 4)).at(1, 1)[0], 0.2f);
    blend->setInputImage(image);
    blend->setInputBackgroundImage(Image::emptyImage());
    blend->setInputUseBGExtent(false);
    out = blend->outputImage();
    EXPECT_EQ(out.extent(), Rect(0, 0, 200, 100));
    EXPECT_EQ(render(out, Rect(0, 0, 4, 4)).at(1, 1)[2], 1.0f);
    blend->setInputBackgroundImage(Image::constantColor(Color(0.5, 0.5, 0.5, 1)));
    EXPECT_EQ(render(blend->outputImage(), Rect(0, 0, 4, 4)).at(1, 1)[2], 1.0f);
}

TEST(OVAdjustableBlendFilter, ClassTablesAreSafeToReadFromManyThreads)
{
    // Filters are made on whichever thread builds an effect; the class's tables are filled once under a
    // lock (checked by the thread sanitizer build).
    OVAdjustableBlendFilter::resetForTesting();
    EXPECT_EQ(threadsThatHold(4,
                              [] {
                                  auto filter = Filter::create("OVAdjustableBlendFilter");
                                  return OVAdjustableBlendFilter::verifiedBlendMode("hardMix") == "hardMix" &&
                                         OVAdjustableBlendFilter::blendModeNames().size() == 15 && filter;
                              }),
              4);
}
