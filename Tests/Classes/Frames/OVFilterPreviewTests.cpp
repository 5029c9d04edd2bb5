#include "Classes/Frames/OVFilterPreview.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/RenderContext.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

const QString sample = QStringLiteral("Samples/TestPerson");

QVariant brightness(const OVFilterPreview& preview)
{
    return preview.filter()->value(QStringLiteral("inputBrightness"));
}

TEST(FilterPreview, KeyPathsRouteByPrefix)
{
    struct Case
    {
        const char* what;
        QString path;
        QVariant value;
        double brightness; // the filter's afterwards
        QStringList bindings;
        bool warns; // taken as an ordinary key this view does not have
    };
    const Case cases[] = {
        {"a filter input", "filter.inputBrightness", 0.25, 0.25, {}, false},
        {"\"filter.\" alone is an ordinary key", "filter.", 0.25, 0.7, {}, true},
        {"a binding", "bind.previewBrightness", "inputBrightness", 0.7, {"previewBrightness"}, false},
        {"\"bind.\" alone is an ordinary key", "bind.", "inputBrightness", 0.7, {}, true},
    };
    for (const Case& c : cases) {
        OVFilterPreview preview(pf::Rect(0, 0, 100, 100));
        preview.setFilterName(QStringLiteral("OVDimmedBWFilter"));
        preview.setValueForKeyPath(QStringLiteral("filter.inputBrightness"), 0.7);
        pf::LogCapture log;
        preview.setValueForKeyPath(c.path, c.value);
        EXPECT_DOUBLE_EQ(brightness(preview).toDouble(), c.brightness) << c.what;
        EXPECT_EQ(QStringList(preview.bindings().keys()), c.bindings) << c.what;
        EXPECT_EQ(log.contains(QStringLiteral("has no key")), c.warns) << c.what;
    }
}

TEST(FilterPreview, BoundDefaultReachesTheFilterBeforeAndAfterAwaking)
{
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    defaults.setDouble(QStringLiteral("previewBrightnessTest"), 0.2);
    OVFilterPreview preview(pf::Rect(0, 0, 100, 100));
    preview.setValueForKeyPath(QStringLiteral("bind.previewBrightnessTest"),
                               QStringLiteral("inputBrightness"));
    preview.setValueForKeyPath(QStringLiteral("filterName"), QStringLiteral("OVDimmedBWFilter"));
    preview.awakeFromNib();
    EXPECT_DOUBLE_EQ(brightness(preview).toDouble(), 0.2);
    defaults.setDouble(QStringLiteral("previewBrightnessTest"), 0.9);
    EXPECT_DOUBLE_EQ(brightness(preview).toDouble(), 0.9);
}

TEST(FilterPreview, AdjustedSampleIsStretchedToTheViewUnlessEitherHasNoArea)
{
    OVFilterPreview plain(pf::Rect(0, 0, 100, 100));
    plain.setFilterName(QStringLiteral("OVDimmedBWFilter"));
    plain.setImageName(sample);
    ASSERT_FALSE(plain.inputImage().isNull());
    const pf::Rect original = plain.inputImage().extent();

    struct Case
    {
        const char* what;
        double width, height;
        pf::Rect expected;
    };
    const Case cases[] = {
        {"a square view", 100, 100, pf::Rect(0, 0, 100, 100)},
        {"a wide view", 300, 50, pf::Rect(0, 0, 300, 50)},
        {"no width: left unscaled", 0, 100, original},
        {"no height: left unscaled", 100, 0, original},
    };
    for (const Case& c : cases) {
        OVFilterPreview preview(pf::Rect(0, 0, c.width, c.height));
        preview.setValueForKey(QStringLiteral("adjustImage"), true);
        preview.setFilterName(QStringLiteral("OVDimmedBWFilter"));
        preview.setImageName(sample);
        const pf::Rect input =
            preview.filter()->value(QStringLiteral("inputImage")).value<pf::Image>().extent();
        EXPECT_NEAR(input.width(), c.expected.width(), 1e-6) << c.what;
        EXPECT_NEAR(input.height(), c.expected.height(), 1e-6) << c.what;
    }
    // A resize adapts the stretched sample again.
    OVFilterPreview preview(pf::Rect(0, 0, 100, 100));
    preview.setAdjustImage(true);
    preview.setFilterName(QStringLiteral("OVDimmedBWFilter"));
    preview.setImageName(sample);
    preview.setFrame(pf::Rect(0, 0, 40, 80));
    const pf::Rect input = preview.filter()->value(QStringLiteral("inputImage")).value<pf::Image>().extent();
    EXPECT_NEAR(input.width(), 40, 1e-6);
    EXPECT_NEAR(input.height(), 80, 1e-6);
}

TEST(FilterPreview, DrawsTheOutputInsideABlackFrameLine)
{
    struct Case
    {
        const char* what;
        QString filter;
        bool picture; // something but the background inside
    };
    const Case cases[] = {{"a known filter", "OVDimmedBWFilter", true},
                          {"an unknown filter: the frame line alone", "NoSuchFilter", false}};
    for (const Case& c : cases) {
        pf::LogCapture log;
        OVFilterPreview preview(pf::Rect(0, 0, 60, 40));
        preview.setAdjustImage(true);
        preview.setFilterName(c.filter);
        preview.setImageName(sample);
        EXPECT_EQ(preview.outputImage().isNull(), !c.picture) << c.what;
        const QImage shot = preview.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(shot.size(), QSize(60, 40)) << c.what;
        EXPECT_EQ(shot.pixel(0, 0), qRgb(0, 0, 0)) << c.what;
        EXPECT_EQ(shot.pixel(59, 39), qRgb(0, 0, 0)) << c.what;
        // Inside the line: the sample's pixels, or the untouched background of an empty view.
        const QImage empty = [] {
            pf::View blank(pf::Rect(0, 0, 60, 40));
            return blank.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        }();
        int differing = 0;
        for (int y = 2; y < 38; ++y)
            for (int x = 2; x < 58; ++x)
                differing += shot.pixel(x, y) != empty.pixel(x, y);
        EXPECT_EQ(differing > 100, c.picture) << c.what << ": " << differing << " pixels differ";
    }
}

TEST(FilterPreview, UnadjustedResultShowsOnlyThePartAtTheBounds)
{
    // The 512-pixel sample in a 60 x 40 view: unadjusted, the view shows the sample's lower left corner
    // at its own size; adjusted, the whole sample shrunk into the view.
    for (const bool adjust : {false, true}) {
        OVFilterPreview preview(pf::Rect(0, 0, 60, 40));
        preview.setAdjustResult(adjust);
        preview.setFilterName(QStringLiteral("OVDimmedBWFilter"));
        preview.setImageName(sample);
        const pf::Image output = preview.outputImage();
        ASSERT_FALSE(output.isNull());
        ASSERT_GT(output.extent().width(), 60);
        const QImage expected =
            pf::RenderContext::shared()
                ->renderToQImage(output, adjust ? output.extent() : pf::Rect(0, 0, 60, 40))
                .scaled(60, 40, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_ARGB32);
        const QImage shot = preview.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        double total = 0;
        int count = 0;
        for (int y = 4; y < 36; ++y)
            for (int x = 4; x < 56; ++x, ++count)
                total += std::abs(qGreen(shot.pixel(x, y)) - qGreen(expected.pixel(x, y)));
        // Shrinking differs a little between the view and the reference (a mean of about 7 levels); the
        // other mode's picture differs by over 40.
        EXPECT_LT(total / count, adjust ? 12.0 : 1.0) << (adjust ? "adjusted" : "unadjusted");
    }
}

} // namespace
