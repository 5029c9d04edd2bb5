#include "Classes/Frames/OVCurvedOpening.h"
#include "Classes/Frames/OVFrameBand.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVFrameRegions.h"
#include "Classes/Frames/OVMaskDescription.h"
#include "Classes/Frames/OVShapedBorderFilter.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Frames/OVTexturizeFilter.h"
#include "FramesTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/Sampler.h"
#include "Platform/UI/SteppedClock.h"
#include "SceneTestSupport.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

using namespace framestest;
using pf::Image;
using pf::Rect;

namespace {

Image opaque(int w, int h, double grey = 0.5)
{
    return scenetest::picture(w, h, [&](int x, int y) {
        return std::array<double, 4>{grey, 0.3 + 0.4 * (x % 7) / 7.0, 0.2 + 0.5 * (y % 5) / 5.0, 1};
    });
}

double maxDifference(const Pixels& a, const Pixels& b)
{
    double worst = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (size_t c = 0; c < 4; ++c)
                worst = std::max(worst, std::abs(a.at(x, y)[c] - b.at(x, y)[c]));
    return worst;
}

// Renders `rect` into a float bitmap that shares its pixels with a copy, as a caller may hand one: the
// pixels it got, and whether the copy kept its own.
std::pair<Pixels, bool> renderedIntoASharedBitmap(const Image& image, const Rect& rect)
{
    pf::Bitmap out(int(rect.width()), int(rect.height()), pf::Bitmap::Format::RGBAf);
    const pf::Bitmap copy = out;
    const bool rendered = context().render(image, rect, out);
    const bool kept =
        std::all_of(copy.data(), copy.data() + copy.byteCount(), [](uint8_t b) { return b == 0; });
    return {rendered ? Pixels{out, out.width(), out.height()} : Pixels{},
            kept && out.identity() != copy.identity()};
}

std::shared_ptr<OVTexturedFrameFilter> frameFilter(const QString& frame, const Image& input, double width,
                                                   double proportion)
{
    auto filter = std::make_shared<OVTexturedFrameFilter>();
    filter->setDefaults();
    filter->setUpdateDelay(-1);
    filter->setValue(frame, "inputFrameName");
    filter->setValue(QVariant::fromValue(input), "inputImage");
    filter->setValue(width, "inputWidth");
    filter->setValue(proportion, "canvasProportion");
    return filter;
}

} // namespace

TEST(OVTexturizeFilter, TheTexturesOwnColourKeepsItsPixels)
{
    OVTexturizeFilter filter;
    filter.setValue(QString("ORV-T#020#Paper-Laid"), "inputTextureName");
    ASSERT_EQ(filter.inputTextureName(), "ORV-T#020#Paper-Laid");
    ASSERT_TRUE(filter.noTextureShift());
    const Image texture = filter.inputTexture();
    ASSERT_FALSE(texture.isNull());
    filter.setImageIsMask(true);
    filter.setInputImage(opaque(64, 48));
    // One texture width spans baseRepeats copies: this width draws the texture at its own size.
    filter.setInputTextureWidth(texture.extent().width() * filter.textureBaseRepeats());
    const Pixels out = rendered(filter.outputImage(), Rect(0, 0, 64, 48));
    const Pixels own = rendered(texture, Rect(0, 0, 64, 48));
    ASSERT_FALSE(out.isNull());
    EXPECT_LE(maxDifference(out, own), 1.0 / 255);

    // Another tint turns the colour; the texture keeps its relief (it is not a flat colour).
    filter.setInputColor(pf::Color(0.2, 0.4, 0.9, 1));
    const Pixels blue = rendered(filter.outputImage(), Rect(0, 0, 64, 48));
    EXPECT_GT(blue.at(3, 3)[2], blue.at(3, 3)[0]);
}

TEST(OVTexturizeFilter, NamesOutsideTheCatalogAreTemporaryPicturesOnlyInsideTheTemporaryFolder)
{
    QTemporaryDir dir(QDir::tempPath() + "/frames-XXXXXX");
    writeSolidPNG(dir.filePath("custom.png"), 0.5, 1, 1024);
    const QString relative = QFileInfo(dir.path()).fileName() + "/custom.png";
    struct Case
    {
        QString name;
        bool accepted;
    };
    const Case cases[] = {
        {relative, true},
        {dir.filePath("custom.png"), false},
        {QFileInfo(dir.path()).fileName() + "/../" + relative, false},
        {"../" + relative, false},
        {QFileInfo(dir.path()).fileName() + "/missing.png", false},
        {"Plain Color", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        OVTexturizeFilter filter;
        pf::LogCapture log;
        filter.setInputTextureName(c.name);
        EXPECT_EQ(filter.inputTextureName(), c.accepted ? c.name : QString("Plain Color"));
        EXPECT_EQ(!filter.inputTexture().isNull(), c.accepted);
        if (c.accepted) {
            EXPECT_DOUBLE_EQ(filter.textureBaseRepeats(), 2.0);
        } else {
            EXPECT_EQ(filter.inputColor(), pf::Color(1, 1, 1, 1));
        }
    }

    // A texture width never set scales the texture to nothing: the input comes back.
    OVTexturizeFilter filter;
    const Image input = opaque(8, 8);
    filter.setInputImage(input);
    filter.setImageIsMask(true);
    EXPECT_EQ(filter.outputImage(), input);
    filter.setInputTextureWidth(std::numeric_limits<double>::infinity());
    EXPECT_EQ(filter.outputImage(), input);
}

TEST(OVTexturedFrameFilter, TheMaskIsTheBorderWidthWideAroundThePicture)
{
    struct Case
    {
        const char* frame;
        double proportion;
        double B; // border in pixels
    };
    const Case cases[] = {
        {"Plain Frame", 1000, 100},
        {"Plain Frame", 1, 1},
        {"Wood - Light Oak", 1000, 100},
        {"Wood - Light Oak", 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.frame) + " at " + std::to_string(c.proportion));
        auto filter = frameFilter(c.frame, opaque(300, 200), 0.1, c.proportion);
        const Image mask = filter->cachedMask();
        ASSERT_FALSE(mask.isNull());
        EXPECT_EQ(mask.extent(), Rect(-c.B, -c.B, 300 + 2 * c.B, 200 + 2 * c.B));
        const Pixels m = rendered(mask, mask.extent());
        const int B = int(c.B);
        // Along the left side's middle: band, then the opening.
        const int y = m.height / 2;
        EXPECT_NEAR(m.at(B / 2, y)[1], 1.0, 0.02);
        EXPECT_NEAR(m.at(B + 3, y)[1], 0.0, 0.02);
        EXPECT_NEAR(m.at(m.width / 2, m.height - 1 - B / 2)[1], 1.0, 0.02);
        EXPECT_NEAR(m.at(m.width / 2, m.height / 2)[1], 0.0, 0.02);
        // Inside the opening the picture comes through untouched.
        const Pixels out = rendered(filter->outputImage(), Rect(0, 0, 300, 200));
        const Pixels in = rendered(opaque(300, 200), Rect(0, 0, 300, 200));
        ASSERT_FALSE(out.isNull());
        for (const auto& [x, yy] : {std::pair{150, 100}, std::pair{10, 10}, std::pair{290, 190}})
            for (size_t ch = 0; ch < 4; ++ch)
                EXPECT_NEAR(out.at(x, yy)[ch], in.at(x, yy)[ch], 1e-5);
    }

    // Inside the picture, and what shapes the mask drops it.
    auto filter = frameFilter("Plain Frame", opaque(300, 200), 0.1, 100);
    filter->setValue(true, "forceInside");
    EXPECT_EQ(filter->cachedMask().extent(), Rect(0, 0, 300, 200));
    filter->setValue(50.0, "canvasProportion");
    EXPECT_FALSE(filter->hasCachedMask());
    filter->cachedMask();
    filter->setValue(false, "forceInside");
    EXPECT_FALSE(filter->hasCachedMask());
}

// An oval frame's opening is the ellipse inscribed in the band's inner edge, an arched frame's that
// rectangle under a round top (a semicircle where it fits, else a circular segment rising half the
// height), at any border width and either way up; a shade along the opening (the inner lip) follows the
// curve rather than the rectangle.
TEST(OVTexturedFrameFilter, CurvedOpeningsAreAnEllipseAndAnArchAtEveryWidthAndAspect)
{
    struct Shape
    {
        const char* frame;
        const char* internal;
        bool arch;
    };
    const Shape shapes[] = {{"Wood - Walnut Oval", "FRM-I#002#Internal-Oval", false},
                            {"Leather - Tooled Oval", "FRM-I#002#Internal-Oval", false},
                            {"Paper - Handmade Arch", "FRM-I#003#Internal-Arched", true}};
    for (const Shape& shape : shapes)
        for (const QSize size : {QSize(600, 400), QSize(400, 600)})
            for (const double width : {0.04, 0.08, 0.16}) {
                SCOPED_TRACE(std::string(shape.frame) + " around " + std::to_string(size.width()) + " x " +
                             std::to_string(size.height()) + " at " + std::to_string(width));
                auto filter = frameFilter(shape.frame, opaque(size.width(), size.height()), width, 500);
                const Image mask = filter->cachedMask();
                ASSERT_FALSE(mask.isNull());
                const double B = width * 500;
                // The band lies around the picture: the opening's rectangle is the picture's.
                ASSERT_EQ(mask.extent(), Rect(-B, -B, size.width() + 2 * B, size.height() + 2 * B));
                const Pixels m = rendered(mask, mask.extent());
                ASSERT_FALSE(m.isNull());
                const double a = size.width() / 2.0, cx = B + a;
                const double rise = std::min(a, size.height() / 2.0);
                const double top = B + size.height(), spring = top - rise;
                const double radius = (a * a + rise * rise) / (2 * rise), centre = top - radius;
                // The opening's width along each row, from the mask's coverage.
                double worst = 0;
                for (int y = 0; y < m.height; ++y) {
                    const double yc = y + 0.5;
                    double expected = 0;
                    if (!shape.arch) {
                        const double b = size.height() / 2.0, t = (yc - (B + b)) / b;
                        expected = std::abs(t) < 1 ? 2 * a * std::sqrt(1 - t * t) : 0;
                    } else if (yc > B && yc <= spring) {
                        expected = 2 * a;
                    } else if (yc > spring && yc < top) {
                        expected =
                            2 * std::sqrt(std::max(radius * radius - (yc - centre) * (yc - centre), 0.0));
                    }
                    double open = 0;
                    for (int x = 0; x < m.width; ++x)
                        open += 1 - std::clamp(m.at(x, y)[1], 0.0, 1.0);
                    worst = std::max(worst, std::abs(open - expected));
                }
                EXPECT_LT(worst, 2.5) << "the opening's width, row by row";

                // A lip alone over a black band, just outside the outline all the way round the curve.
                const QVariantMap lip{{"Shade", "FRM-S#003#Internal-Bevel-Lip"},
                                      {"BlendMode", "sourceOver"},
                                      {"Intensity", 1.0}};
                filter->setFrameDescription(
                    std::make_shared<OVFrameDescription>(QVariantMap{{"Texture", "Plain Color"},
                                                                     {"InternalMask", shape.internal},
                                                                     {"Shades", QVariantList{lip}}},
                                                         OVFrameCatalog::framesBundlePath(), false));
                const Image frame = filter->cachedFrame();
                ASSERT_FALSE(frame.isNull());
                const Pixels f = rendered(frame, mask.extent());
                int bare = 0, looked = 0;
                for (int step = 0; step < 24; ++step) {
                    const double angle = (step + 0.5) * 3.14159265358979 / 12;
                    double px, py, nx, ny;
                    if (!shape.arch) {
                        const double b = size.height() / 2.0;
                        px = cx + a * std::cos(angle);
                        py = B + b + b * std::sin(angle);
                        nx = std::cos(angle) / a;
                        ny = std::sin(angle) / b;
                    } else {
                        px = cx + radius * std::cos(angle);
                        py = centre + radius * std::sin(angle);
                        if (std::sin(angle) <= 0 || py < spring + 2)
                            continue;
                        nx = std::cos(angle);
                        ny = std::sin(angle);
                    }
                    const double n = std::hypot(nx, ny);
                    const int x = int(px + 2.5 * nx / n), y = int(py + 2.5 * ny / n);
                    ++looked;
                    if (m.at(x, y)[1] < 0.5 || f.at(x, y)[0] < 0.1)
                        ++bare;
                }
                EXPECT_GE(looked, 6);
                EXPECT_EQ(bare, 0) << "points just outside the opening without the lip";
            }
}

TEST(OVTexturedFrameFilter, InputsTheFrameCannotHold)
{
    // An input cropped to whole pixels keeps the caches when only fractions move.
    auto filter = frameFilter(
        "Wood - Walnut",
        opaque(100, 100).imageByApplyingTransform(pf::AffineTransform::translation(0.4, 0.4)), 0.1, 100);
    EXPECT_EQ(filter->value("inputImage").value<Image>().extent(), Rect(1, 1, 99, 99));
    filter->cachedFrame();
    filter->setValue(QVariant::fromValue(opaque(100, 100).imageByApplyingTransform(
                         pf::AffineTransform::translation(0.45, 0.45))),
                     "inputImage");
    EXPECT_TRUE(filter->hasCachedFrame());

    // No bounds to frame: the input comes back.
    const Image endless = Image::constantColor(pf::Color(1, 0, 0, 1));
    filter->setValue(QVariant::fromValue(endless), "inputImage");
    EXPECT_EQ(filter->outputImage(), endless);

    // An unknown name draws the plain frame.
    filter->setValue(QString("No Such Frame"), "inputFrameName");
    EXPECT_EQ(filter->frameDescription(), OVFrameCatalog::defaultFrame());

    // Repeats: 3 sections to a middle, room for 1.6 middles: round(4.8) = 5 sections, 5/3 middles.
    TempBundle bundle;
    writeSolidPNG(bundle.file("Shades", "FRM-S#001#R#10-0-3-3.png"), 0.5, 1, 30);
    writeSolidPNG(bundle.file("Shades", "FRM-S#002#Corners#10-15-3-3.png"), 0.5, 1, 30);
    writeSolidPNG(bundle.file("Shades", "FRM-S#003#Flat#0-0-3-0.png"), 0.5, 1, 30);
    OVFrameImageDescription threes(bundle.file("Shades", "FRM-S#001#R#10-0-3-3.png"));
    const pf::Vector r = OVTexturedFrameFilter::repeatsVectorForFrame(threes, pf::Size(36, 26), 1.0);
    EXPECT_DOUBLE_EQ(r.x(), 5.0 / 3);
    EXPECT_DOUBLE_EQ(r.y(), 2.0 / 3); // round(1.8) = 2 sections
    OVFrameImageDescription corners(bundle.file("Shades", "FRM-S#002#Corners#10-15-3-3.png"));
    const pf::Vector c = OVTexturedFrameFilter::repeatsVectorForFrame(corners, pf::Size(300, 300), 1.0);
    EXPECT_TRUE(std::isfinite(c.x()) && std::isfinite(c.y()));
    OVFrameImageDescription flat(bundle.file("Shades", "FRM-S#003#Flat#0-0-3-0.png"));
    EXPECT_TRUE(
        std::isfinite(OVTexturedFrameFilter::repeatsVectorForFrame(flat, pf::Size(300, 300), 1.0).x()));
}

TEST(OVTexturedFrameFilter, BatchesFrameEditsIntoOneUpdate)
{
    pf::SteppedClock clock;
    pf::UndoManager undo;
    auto frame = std::make_shared<OVFrameDescription>(
        OVFrameCatalog::sharedFrameCatalog().frameWithName("Wood - Walnut")->saveDictionary(),
        OVFrameCatalog::framesBundlePath(), true);
    frame->setUndoManager(&undo);
    OVTexturedFrameFilter filter;
    filter.setFrameDescription(frame);
    QStringList posts;
    pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
        QString(), &filter, [&](const pf::Notification& n) { posts << n.name; });
    for (double intensity : {0.1, 0.2, 0.3}) {
        frame->setShadeIntensity(intensity, 0);
        clock.advance(0.5);
    }
    EXPECT_TRUE(posts.isEmpty());
    clock.advance(0.6);
    EXPECT_EQ(posts, QStringList({"ovfilterupdate", "ovfilterSettings"}));
    posts.clear();
    filter.setUpdateDelay(-1);
    frame->setShadeBlendMode("screen", 0);
    frame->setInternalMaskName("FRM-I#002#Internal-Oval");
    EXPECT_EQ(posts,
              QStringList({"ovfilterupdate", "ovfilterSettings", "ovfilterupdate", "ovfilterSettings"}));
    frame->setUndoManager(nullptr);
}

TEST(OVTexturedFrameFilter, FollowsARenameOfItsFrame)
{
    pf::SteppedClock clock;
    QTemporaryDir dir;
    OVFrameCatalog user(OVFrameCatalog::framesBundlePath(), dir.filePath("UserFrames.plist"));
    auto frame = std::make_shared<OVFrameDescription>(QVariantMap{{"Texture", "Plain Color"}},
                                                      OVFrameCatalog::framesBundlePath(), true);
    frame->setName("Before");
    user.addFrame(frame, "FRM-U#501#");
    OVTexturedFrameFilter filter;
    filter.setFrameDescription(frame);
    filter.setValue(QString("Before"), "inputFrameName");
    filter.setFrameDescription(frame); // the shared catalogs do not hold this one
    ASSERT_TRUE(user.renameFrameID("FRM-U#501#", "After"));
    EXPECT_EQ(filter.inputFrameName(), "After");
    EXPECT_EQ(filter.frameDescription(), frame);
}

TEST(OVShapedBorderFilter, GrowsTheShapeInHalvingRingPasses)
{
    const auto passes = OVShapedBorderFilter::passesForBorder(40);
    const std::vector<std::pair<double, QString>> expected{{19.5, "pixelRing32"},   {9.75, "pixelRing16"},
                                                           {4.875, "pixelRing8"},   {2.4375, "pixelRing8"},
                                                           {1.21875, "pixelRing4"}, {0.609375, "pixelRing4"}};
    ASSERT_EQ(passes.size(), expected.size());
    for (size_t i = 0; i < passes.size(); ++i) {
        EXPECT_DOUBLE_EQ(passes[i].radius, expected[i].first);
        EXPECT_EQ(passes[i].kernel, expected[i].second);
    }
    EXPECT_TRUE(OVShapedBorderFilter::passesForBorder(2.4).empty());
    EXPECT_TRUE(OVShapedBorderFilter::passesForBorder(0).empty());

    // A disc of radius 30: the ring is the grown disc less the disc.
    const Image disc = scenetest::picture(200, 200, [](int x, int y) {
        const double d = std::hypot(x + 0.5 - 100, y + 0.5 - 100);
        const double a = std::clamp(30.5 - d, 0.0, 1.0);
        return std::array<double, 4>{0.8, 0.2, 0.2, a};
    });
    OVShapedBorderFilter filter;
    filter.setDefaults();
    filter.setValue(QVariant::fromValue(disc), "inputImage");
    filter.setValue(0.2, "inputWidth");
    filter.setValue(50.0, "canvasProportion"); // 10 pixels
    const Pixels ring = rendered(filter.cachedMask(), Rect(0, 0, 200, 200));
    ASSERT_FALSE(ring.isNull());
    for (double angle : {0.0, 0.7, 2.0, 4.0}) {
        auto at = [&](double d) {
            return ring.at(int(100 + d * std::cos(angle)), int(100 + d * std::sin(angle)))[3];
        };
        EXPECT_NEAR(at(20), 0.0, 0.01) << angle;
        EXPECT_NEAR(at(34), 1.0, 0.01) << angle;
        EXPECT_NEAR(at(45), 0.0, 0.01) << angle;
    }
    // Copies keep the border.
    EXPECT_TRUE(filter.inputKeys().contains("inputWidth"));
    const auto copy = std::dynamic_pointer_cast<OVShapedBorderFilter>(filter.copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->value("inputWidth").toDouble(), 0.2);
}

// The same width or colour written again keeps what was kept (an effect writes its width with every new
// picture); another makes it anew.
TEST(FrameFilters, OnlyAnotherValueDropsWhatIsKept)
{
    const Image picture = opaque(80, 60);
    std::vector<std::pair<const char*, std::shared_ptr<pf::Filter>>> filters;
    filters.emplace_back("textured frame", frameFilter("Wood - Walnut Oval", picture, 0.05, 80));
    auto border = std::make_shared<OVShapedBorderFilter>();
    border->setDefaults();
    border->setValue(QVariant::fromValue(picture), "inputImage");
    border->setValue(50.0, "canvasProportion");
    border->setValue(0.05, "inputWidth");
    filters.emplace_back("shaped border", border);
    for (const auto& [name, filter] : filters) {
        SCOPED_TRACE(name);
        const auto mask = [&filter] {
            if (auto* frame = dynamic_cast<OVTexturedFrameFilter*>(filter.get()))
                return frame->cachedMask();
            return dynamic_cast<OVShapedBorderFilter*>(filter.get())->cachedMask();
        };
        const Image kept = mask();
        ASSERT_FALSE(kept.isNull());
        filter->setValue(0.05, "inputWidth");
        EXPECT_TRUE(mask() == kept);
        filter->setValue(0.06, "inputWidth");
        EXPECT_FALSE(mask() == kept);

        const auto frame = [&filter] {
            if (auto* framed = dynamic_cast<OVTexturedFrameFilter*>(filter.get()))
                return framed->cachedFrame();
            return dynamic_cast<OVShapedBorderFilter*>(filter.get())->cachedFrame();
        };
        const pf::Color tint(0.8, 0.5, 0.3, 1);
        filter->setValue(QVariant::fromValue(tint), "inputColor");
        const Image drawn = frame();
        ASSERT_FALSE(drawn.isNull());
        filter->setValue(QVariant::fromValue(tint), "inputColor");
        EXPECT_TRUE(frame() == drawn);
        filter->setValue(QVariant::fromValue(pf::Color(0.2, 0.5, 0.3, 1)), "inputColor");
        EXPECT_FALSE(frame() == drawn);
    }
}

TEST(FrameFilters, TiledRendersEqualUntiledOnes)
{
    pf::RenderContext tiles(QStringLiteral("frames tiles"));
    tiles.setMaximumTileSize(37);
    const Image picture = opaque(120, 90);

    auto texturize = std::make_shared<OVTexturizeFilter>();
    texturize->setInputTextureName("ORV-T#011#Wood-Walnut");
    texturize->setInputImage(picture);
    texturize->setImageIsMask(true);
    texturize->setTextureFillMode(1);
    texturize->setInputTextureWidth(300);

    auto frame = frameFilter("Metal - Gold Leaf", picture, 0.1, 300);
    frame->setValue(0.05, "inputShadowWidth");

    auto border = std::make_shared<OVShapedBorderFilter>();
    border->setDefaults();
    border->setValue(QVariant::fromValue(picture), "inputImage");
    border->setValue(QString("ORV-T#013#Wood-Weathered-Barn"), "inputTextureName");
    border->setValue(0.1, "inputWidth");
    border->setValue(120.0, "canvasProportion");
    border->setValue(0.02, "inputShadowWidth");

    const std::vector<std::pair<const char*, Image>> images{{"texturize", texturize->outputImage()},
                                                            {"frame", frame->outputImage()},
                                                            {"border", border->outputImage()}};
    for (const auto& [what, image] : images) {
        SCOPED_TRACE(what);
        ASSERT_FALSE(image.isNull());
        const Rect rect(-40, -40, 200, 170);
        auto whole = context().render(image, rect, pf::Bitmap::Format::RGBAf);
        auto tiled = tiles.render(image, rect, pf::Bitmap::Format::RGBAf);
        ASSERT_TRUE(whole && tiled);
        Pixels a{*whole, 200, 170}, b{*tiled, 200, 170};
        EXPECT_LE(maxDifference(a, b), 1e-4);
    }
}

// A side's middle is repeated along it; where two copies meet, nothing of the corners may show. The masks'
// middles are even inside the frame, so every pixel well inside the picture has the same value (the
// deckled frame drew a light line across the picture at its joins).
TEST(OVTexturedFrameFilter, JoinsBetweenCopiesOfASidesMiddleDrawNoLine)
{
    const Image picture = opaque(512, 512);
    OVFrameCatalog& system = OVFrameCatalog::sharedFrameCatalog();
    int checked = 0;
    for (const QString& frameID : system.frameIDs()) {
        const OVFrameDescriptionPtr frame = system.frameWithName(frameID);
        if (!frame || !frame->mask())
            continue;
        SCOPED_TRACE(frame->name().toStdString());
        auto filter = frameFilter(frameID, picture, 0.08, 1024);
        const Image mask = filter->cachedMask();
        ASSERT_FALSE(mask.isNull());
        // Inside the picture by more than the border's width (82 pixels).
        const Rect inside(100, 100, 312, 312);
        auto pixels = context().render(mask, inside, pf::Bitmap::Format::RGBA8);
        ASSERT_TRUE(pixels);
        for (int channel = 0; channel < 4; ++channel) {
            int lowest = 255, highest = 0;
            for (int y = 0; y < pixels->height(); ++y)
                for (int x = 0; x < pixels->width(); ++x) {
                    const int value = pixels->row(y)[x * 4 + channel];
                    lowest = std::min(lowest, value);
                    highest = std::max(highest, value);
                }
            EXPECT_LE(highest - lowest, 1) << "channel " << channel;
        }
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

// A texture set on a frame filter is announced by that filter, so a settings view showing it (which
// listens to the filter it edits, not to the texturize filter inside) shows the texture's colour.
TEST(FrameFilters, ATextureSetOnAFrameFilterIsAnnouncedByIt)
{
    const std::vector<std::pair<const char*, std::shared_ptr<pf::Filter>>> filters{
        {"textured frame", std::make_shared<OVTexturedFrameFilter>()},
        {"shaped border", std::make_shared<OVShapedBorderFilter>()}};
    for (const auto& [what, filter] : filters) {
        SCOPED_TRACE(what);
        int posts = 0;
        pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
            "ovfilterSettings", filter.get(), [&](const pf::Notification&) { ++posts; });
        filter->setValue(QString("ORV-T#011#Wood-Walnut"), "inputTextureName");
        EXPECT_EQ(posts, 1);
        OVTexturizeFilter walnut;
        walnut.setInputTextureName("ORV-T#011#Wood-Walnut");
        EXPECT_EQ(filter->value("inputColor").value<pf::Color>(), walnut.inputColor());
    }
}

// The opening a frame leaves out of its work must hold no pixel of the mask the kernel draws, and
// should reach the mask's inner edge: also when that edge lies where a corner meets a side's middle (a
// user's frame) or inside the middle, which one copy stretches and several would repeat.
TEST(OVFrameBand, TheOpeningHoldsNoMaskAndReachesItsInnerEdge)
{
    const struct
    {
        int band;
        double repeats;
        bool opens;
    } cases[] = {{8, 1, true},    {8, 3, true},    {12, 1, true}, {12, 3, true},
                 {12, 2.4, true}, {12, 3.7, true}, {16, 1, true}, {16, 3, false}};
    const int size = 64;
    const double corner = 12, scale = 2;
    const Rect rect(13, 7, 400, 300);
    const OVTexturedFrameFilter kernels;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "band " << c.band << ", " << c.repeats << " copies");
        const Image part = scenetest::picture(size, size, [&](int x, int y) {
            const int depth = std::min(std::min(x, size - 1 - x), std::min(y, size - 1 - y));
            return std::array<double, 4>{1, 1, 1, depth < c.band ? 1.0 : 0.0};
        });
        const pf::Vector repeats(c.repeats, c.repeats);
        const Rect opening = OVFrameBand::partOpening(part, pf::Size(corner, corner), scale, repeats, rect);
        ASSERT_EQ(!opening.isNull(), c.opens);
        if (opening.isNull())
            continue;
        pf::ApplyOptions options;
        options.definition = rect;
        options.extent = rect;
        options.regionOfInterest = OVFrameRegions::frameRegion(part);
        const Image mask =
            kernels.kernelWithName("drawFrame")
                .apply({QVariant::fromValue(pf::Vector::fromRect(rect)),
                        QVariant::fromValue(pf::Sampler(part)),
                        QVariant::fromValue(pf::Vector(corner, corner)), scale, QVariant::fromValue(repeats)},
                       options);
        const Pixels pixels = rendered(mask, rect);
        ASSERT_FALSE(pixels.isNull());
        int inside = 0;
        for (int y = 0; y < pixels.height; ++y)
            for (int x = 0; x < pixels.width; ++x)
                if (opening.contains(pf::Point(rect.minX() + x + 0.5, rect.minY() + y + 0.5))) {
                    ++inside;
                    ASSERT_EQ(pixels.at(x, y)[3], 0) << "mask at " << x << ", " << y;
                }
        // Within a few pixels of the band where the band keeps its width (a stretched middle blends
        // its first half pixel with the band beside it over a few more).
        if (c.band <= corner) {
            EXPECT_LE(opening.minX() - rect.minX(), c.band * scale + 6);
            EXPECT_LE(rect.maxY() - opening.maxY(), c.band * scale + 6);
        }
        EXPECT_GT(inside, 0);
    }
}

// A part laid on the processor is what the kernel lays, to the float: corners, stretched and repeated
// middles, a side shorter than its two corners, over the whole rectangle and over a strip of it only.
// Around a photo of any size every system frame with a rectangular opening finds it, so that only its
// band is worked out: a middle laid a number of times that is not whole (as a side's length gives it)
// left the frame without one, and the whole rectangle was worked out for every render.
TEST(OVFrameBand, EverySystemFrameFindsItsOpeningAroundAPhotoOfAnySize)
{
    OVFrameCatalog& system = OVFrameCatalog::sharedFrameCatalog();
    for (const QString& frameID : system.frameIDs()) {
        const OVFrameDescriptionPtr frame = system.frameWithName(frameID);
        const auto mask = frame ? frame->mask() : nullptr;
        if (!mask ||
            dynamic_cast<OVMaskDescription*>(mask.get())->opening() != OVMaskDescription::Opening::Rectangle)
            continue;
        for (const pf::Size size : {pf::Size(6000, 4000), pf::Size(4000, 6000), pf::Size(5123, 3301)}) {
            SCOPED_TRACE(frame->name().toStdString() + " around " + std::to_string(size.width) + " x " +
                         std::to_string(size.height));
            const double B = std::round(0.08 * size.width);
            const double grow = (1 - frame->inset()) * B;
            const Rect rect(-grow, -grow, size.width + 2 * grow, size.height + 2 * grow);
            const double s = B / mask->width();
            const pf::Vector repeats = OVTexturedFrameFilter::repeatsVectorForFrame(*mask, rect.size, s);
            const Rect opening =
                OVFrameBand::partOpening(mask->image(), mask->cornerSize(), s, repeats, rect);
            ASSERT_FALSE(opening.isNull());
            EXPECT_GT(opening.width() * opening.height(), 0.6 * size.width * size.height);
        }
    }
}

TEST(OVFrameBand, PartsLaidOnTheProcessorAreWhatTheKernelLays)
{
    const Image part = scenetest::picture(40, 30, [](int x, int y) {
        const double a = (x + y) % 3 == 0 ? 0.0 : 0.25 + 0.75 * ((x * 7 + y * 3) % 11) / 10.0;
        return std::array<double, 4>{a * (x % 5) / 4.0, a * (y % 4) / 3.0, a * 0.5, a};
    });
    const struct
    {
        Rect rect;
        double corner, scale, repeats;
        Rect within;
    } cases[] = {{Rect(13, 7, 200, 150), 8, 1.5, 1, Rect::null()},
                 {Rect(-20, 4, 331, 97), 10, 0.75, 3.4, Rect::null()},
                 {Rect(0, 0, 23, 180), 12, 2.0, 2, Rect::null()},
                 {Rect(13, 7, 200, 150), 8, 1.5, 4, Rect(13, 120, 200, 37)}};
    const OVTexturedFrameFilter kernels;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.width() << " x " << c.rect.height() << ", " << c.repeats);
        pf::ApplyOptions options;
        options.definition = c.rect;
        options.extent = c.rect;
        options.regionOfInterest = OVFrameRegions::frameRegion(part);
        const pf::Vector repeats(c.repeats, c.repeats);
        const pf::Size corner(c.corner, c.corner);
        const Image laid = kernels.kernelWithName("drawFrame")
                               .apply({QVariant::fromValue(pf::Vector::fromRect(c.rect)),
                                       QVariant::fromValue(pf::Sampler(part)),
                                       QVariant::fromValue(pf::Vector(corner.width, corner.height)), c.scale,
                                       QVariant::fromValue(repeats)},
                                      options);
        const Image onCpu = OVFrameBand::laidOnCpu(laid, part, corner, c.scale, repeats, c.rect, c.within);
        ASSERT_NE(onCpu, laid);
        const Rect shown = c.within.isNull() ? c.rect : c.within;
        const Pixels a = rendered(laid, shown), b = rendered(onCpu, shown);
        ASSERT_FALSE(a.isNull() || b.isNull());
        EXPECT_LE(maxDifference(a, b), 1e-6);
        const auto [shared, copyKept] = renderedIntoASharedBitmap(onCpu, shown);
        ASSERT_FALSE(shared.isNull());
        EXPECT_EQ(maxDifference(shared, b), 0.0);
        EXPECT_TRUE(copyKept);
    }
}

// A fill worked out on the processor over a strip is what the kernels draw there, to the float: the
// whole texture cut along the sides of an opaque grey mask, and tiled patterns (shifted and not) in a
// shape with soft edges.
// A curved opening's mask and the shades laid along it, worked out on the processor, are what the kernels
// "cutOpening" and "drawFrameAlong" draw, for ovals and arches of every proportion and band width; the
// band's parts hold every pixel the mask covers, and what they leave out (deep inside the opening)
// is uncovered.
TEST(OVCurvedOpening, WorkedOutOnTheProcessorAsTheKernelsDraw)
{
    const Image part = scenetest::picture(48, 40, [](int x, int y) {
        const double a = 0.3 + 0.7 * ((x * 5 + y * 3) % 13) / 12.0;
        return std::array<double, 4>{a * (x % 7) / 6.0, a * (y % 5) / 4.0, a * 0.6, a};
    });
    const OVTexturedFrameFilter kernels;
    const struct
    {
        Rect rect;
        double width;
    } shapes[] = {{Rect(0, 0, 300, 200), 24},
                  {Rect(-7, 3, 121, 360), 30},
                  {Rect(0, 0, 400, 100), 12},
                  {Rect(5, 5, 90, 90), 9},
                  {Rect(0, 0, 41, 160), 6}};
    for (int kind : {OVCurvedOpening::Oval, OVCurvedOpening::Arch}) {
        for (const auto& c : shapes) {
            SCOPED_TRACE(testing::Message()
                         << (kind == OVCurvedOpening::Oval ? "oval " : "arch ") << c.rect.width() << " x "
                         << c.rect.height() << ", band " << c.width);
            const auto opening = OVCurvedOpening::make(c.rect, c.width, kind);
            ASSERT_TRUE(opening);
            pf::ApplyOptions options;
            options.definition = c.rect;
            options.extent = c.rect;
            const Image band = Image::constantColor(pf::Color(1, 1, 1, 1)).imageByCroppingToRect(c.rect);
            const Image cut =
                kernels.kernelWithName("cutOpening")
                    .apply({QVariant::fromValue(pf::Sampler(band)),
                            QVariant::fromValue(pf::Vector::fromRect(c.rect)), c.width, double(kind)},
                           options);
            const Pixels kernelMask = rendered(cut, c.rect);
            ASSERT_FALSE(kernelMask.isNull());
            // A strip of the band, and the whole rectangle.
            for (const Rect& within :
                 {Rect(c.rect.minX(), c.rect.minY() + 7, c.rect.width(), 30), Rect::null()}) {
                const Rect shown = within.isNull() ? c.rect : within;
                EXPECT_LE(
                    maxDifference(rendered(cut, shown), rendered(opening->cutOnCpu(cut, within), shown)),
                    1e-6);
            }
            // The whole mask at once, as 8-bit grey: the kernel's render rounded.
            pf::Bitmap grey;
            const Image whole = opening->maskPixels(&grey);
            ASSERT_FALSE(whole.isNull());
            EXPECT_EQ(whole.extent(), c.rect);
            int worst = 0;
            for (int y = 0; y < kernelMask.height; ++y)
                for (int x = 0; x < kernelMask.width; ++x)
                    worst = std::max(worst, std::abs(int(grey.row(kernelMask.height - 1 - y)[x]) -
                                                     int(std::lround(kernelMask.at(x, y)[0] * 255))));
            EXPECT_LE(worst, 1);
            // ... and to the byte the processor's coverage of each pixel alone, rounded the same way.
            const Pixels perPixel = rendered(opening->cutOnCpu(cut, Rect::null()), c.rect);
            ASSERT_FALSE(perPixel.isNull());
            int differing = 0;
            std::vector<float> values(size_t(perPixel.width));
            std::vector<uint8_t> bytes(size_t(perPixel.width));
            for (int y = 0; y < perPixel.height; ++y) {
                for (int x = 0; x < perPixel.width; ++x)
                    values[size_t(x)] = float(perPixel.at(x, y)[0]);
                pf::CpuRendering::floatsToBytes(values.data(), bytes.data(), perPixel.width);
                differing +=
                    int(std::mismatch(bytes.begin(), bytes.end(), grey.row(perPixel.height - 1 - y)).first !=
                        bytes.end());
            }
            EXPECT_EQ(differing, 0) << "rows of the whole mask unlike the pixels worked out one by one";

            // Every covered pixel lies in a part of the band; a pixel left out is deep inside and uncovered.
            const std::vector<Rect> parts = opening->bandParts();
            for (int y = 0; y < kernelMask.height; ++y)
                for (int x = 0; x < kernelMask.width; ++x) {
                    const pf::Point centre(c.rect.minX() + x + 0.5, c.rect.minY() + y + 0.5);
                    const bool inPart = std::any_of(parts.begin(), parts.end(),
                                                    [&](const Rect& r) { return r.contains(centre); });
                    if (!inPart) {
                        ASSERT_TRUE(opening->isDeepInside(x, y)) << x << ", " << y;
                    }
                    if (opening->isDeepInside(x, y)) {
                        ASSERT_EQ(kernelMask.at(x, y)[0], 0.0) << x << ", " << y;
                    }
                }

            // A shade laid along the opening, where the mask shows it.
            const double scale = c.width / 16;
            const pf::Size corner(6, 6);
            const pf::Vector repeats(0, 0);
            pf::ApplyOptions along = options;
            along.regionOfInterest = OVFrameRegions::frameRegion(part);
            const Image laid = kernels.kernelWithName("drawFrameAlong")
                                   .apply({QVariant::fromValue(pf::Vector::fromRect(c.rect)),
                                           QVariant::fromValue(pf::Sampler(part)),
                                           QVariant::fromValue(pf::Vector(corner.width, corner.height)),
                                           scale, QVariant::fromValue(repeats), c.width, double(kind)},
                                          along);
            const Image onCpu = opening->laidAlongOnCpu(laid, part, corner, scale, repeats, Rect::null());
            ASSERT_NE(onCpu, laid);
            const Pixels a = rendered(laid, c.rect), b = rendered(onCpu, c.rect);
            // The first shade works out the places in its own bands; a second one of the same layout
            // reads them as kept, a strip works out its own: the same pixels.
            const Image again = opening->laidAlongOnCpu(laid, part, corner, scale, repeats, Rect::null());
            EXPECT_EQ(maxDifference(rendered(again, c.rect), b), 0.0);
            const Rect strip(c.rect.minX(), c.rect.minY() + 5, c.rect.width(), 40);
            EXPECT_LE(maxDifference(
                          rendered(opening->laidAlongOnCpu(laid, part, corner, scale, repeats, strip), strip),
                          rendered(onCpu, strip)),
                      0.0);
            double shadeWorst = 0;
            for (int y = 0; y < a.height; ++y)
                for (int x = 0; x < a.width; ++x) {
                    if (opening->isDeepInside(x, y))
                        continue;
                    for (size_t ch = 0; ch < 4; ++ch)
                        shadeWorst = std::max(shadeWorst, std::abs(a.at(x, y)[ch] - b.at(x, y)[ch]));
                }
            EXPECT_LE(shadeWorst, 1e-6);

            // Another part of the same size laid in the same pass as the first (a frame's shades are):
            // each is what it is laid alone, whichever is drawn first.
            const Image second = scenetest::picture(48, 40, [](int x, int y) {
                const double a = 0.2 + 0.8 * ((x * 3 + y * 11) % 7) / 6.0;
                return std::array<double, 4>{a * 0.4, a * (x % 3) / 2.0, a * (y % 9) / 8.0, a};
            });
            const Image laidSecond = kernels.kernelWithName("drawFrameAlong")
                                         .apply({QVariant::fromValue(pf::Vector::fromRect(c.rect)),
                                                 QVariant::fromValue(pf::Sampler(second)),
                                                 QVariant::fromValue(pf::Vector(corner.width, corner.height)),
                                                 scale, QVariant::fromValue(repeats), c.width, double(kind)},
                                                along);
            const Pixels secondAlone =
                rendered(OVCurvedOpening::make(c.rect, c.width, kind)
                             ->laidAlongOnCpu(laidSecond, second, corner, scale, repeats, Rect::null()),
                         c.rect);
            const std::vector<Image> both{part, second};
            for (bool secondFirst : {false, true}) {
                SCOPED_TRACE(secondFirst ? "second drawn first" : "first drawn first");
                const auto fresh = OVCurvedOpening::make(c.rect, c.width, kind);
                const Image one =
                    fresh->laidAlongOnCpu(laid, part, corner, scale, repeats, Rect::null(), both);
                const Image two =
                    fresh->laidAlongOnCpu(laidSecond, second, corner, scale, repeats, Rect::null(), both);
                const Pixels twoPixels = secondFirst ? rendered(two, c.rect) : Pixels();
                EXPECT_EQ(maxDifference(rendered(one, c.rect), b), 0.0);
                EXPECT_EQ(maxDifference(secondFirst ? twoPixels : rendered(two, c.rect), secondAlone), 0.0);
            }
        }
    }
}

TEST(OVTexturizeFilter, FillsWorkedOutOnTheProcessorAreWhatTheKernelsDraw)
{
    pf::Bitmap grey(150, 110, pf::Bitmap::Format::Gray8);
    std::memset(grey.mutableData(), 200, grey.byteCount());
    pf::Bitmap soft(150, 110, pf::Bitmap::Format::RGBA8);
    for (int y = 0; y < soft.height(); ++y)
        for (int x = 0; x < soft.width(); ++x) {
            uint8_t* p = soft.mutableRow(y) + x * 4;
            const uint8_t a = uint8_t((x * 13 + y * 7) % 256);
            p[0] = p[1] = p[2] = a;
            p[3] = a;
        }
    const auto placed = [](const pf::Bitmap& b) {
        return Image::fromBitmap(b).imageByApplyingTransform(pf::AffineTransform::translation(-7, 5));
    };
    const struct
    {
        const char* texture;
        int mode;
        bool opaque;
    } cases[] = {{"ORV-T#011#Wood-Walnut", 1, true},
                 {"ORV-T#012#Wood-Cherry", 2, false},
                 {"ORV-T#013#Wood-Weathered-Barn", 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.texture);
        OVTexturizeFilter filter;
        filter.setImageIsMask(true);
        filter.setTextureFillMode(c.mode);
        filter.setInputTextureName(c.texture);
        filter.setInputTextureWidth(90);
        filter.setInputImage(placed(c.opaque ? grey : soft));
        const Image kernels = filter.outputImage();
        for (const Rect strip : {Rect(-7, 5, 150, 23), Rect(120, 20, 23, 95)}) {
            const Image onCpu = filter.outputImage(strip, c.opaque);
            ASSERT_NE(onCpu, kernels);
            const Pixels a = rendered(kernels, strip), b = rendered(onCpu, strip);
            ASSERT_FALSE(a.isNull() || b.isNull());
            EXPECT_LE(maxDifference(a, b), 1e-6);
            const auto [shared, copyKept] = renderedIntoASharedBitmap(onCpu, strip);
            ASSERT_FALSE(shared.isNull());
            EXPECT_EQ(maxDifference(shared, b), 0.0);
            EXPECT_TRUE(copyKept);
            // A run of each row nobody sees (a frame's opening) is left transparent, the rest as it was.
            const auto hidden = [](int y) { return y % 3 ? std::pair{y - 5, y + 30} : std::pair{0, 0}; };
            const Pixels h = rendered(filter.outputImage(strip, c.opaque, hidden), strip);
            ASSERT_FALSE(h.isNull());
            int away = 0;
            for (int y = 0; y < h.height; ++y)
                for (int x = 0; x < h.width; ++x) {
                    const int px = int(strip.minX()) + x, py = int(strip.minY()) + y;
                    const auto [from, to] = hidden(py);
                    const bool gone = px >= from && px < to;
                    away += gone;
                    for (size_t ch = 0; ch < 4; ++ch)
                        ASSERT_EQ(h.at(x, y)[ch], gone ? 0.0 : b.at(x, y)[ch]) << px << ", " << py;
                }
            EXPECT_GT(away, 0);
        }
    }
}
