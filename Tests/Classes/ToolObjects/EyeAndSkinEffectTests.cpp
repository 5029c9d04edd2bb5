// The eye and skin effects as a user gets them: the mask made with the tool the effect offers (a click,
// a smart-brush stroke, a sloppy plain brush), the effect composed over the photo at its default
// intensity (or at full), and the result measured where it should act and where it should not.

#include "OVBrushFramework/EyeToolSupport.h"
#include "OVBrushFramework/PortraitEyes.h"
#include "ReferenceGaussian.h"

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/GMEffectComposer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Platform/Foundation/Bundle.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <random>

using namespace pf;
using namespace brushtest;

namespace {

using Region = SyntheticEye::Region;

const QString PortraitPath = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");

std::shared_ptr<GMEffectBlueprint> effectNamed(const QString& name)
{
    static GMBlueprintCatalog* catalog = [] {
        FilterLibrary::registerAll();
        OVIrisMaskBrush::registerClass();
        auto* c = new GMBlueprintCatalog;
        BundleReader::loadAllPluginsInPhotoToolCatalog(*c, Bundle::main());
        return c;
    }();
    return catalog->effectBlueprintWithName(name);
}

// The layer's mask a stroke leaves: its clean mask laid over a new layer's empty one.
Image layerMask(const Image& stroke)
{
    return stroke.imageByCompositingOverImage(
        Image::constantColor(Color(0, 0, 0, 1)).imageByCroppingToRect(stroke.extent()));
}

// The effect at its defaults (or the given intensity) over the photo, through the layer's mask, with
// the photo's typical face that wide (pixels; 0 for none).
Image composed(const QString& effect, const Image& photo, const Image& mask, double intensity = -1,
               double faceWidth = 0)
{
    QVariantMap settings;
    if (intensity >= 0)
        settings.insert(QStringLiteral("intensity"), intensity);
    const auto blueprint = effectNamed(effect);
    return blueprint ? GMEffectComposer::composedImage(*blueprint, photo, mask, Image(), settings, nullptr,
                                                       faceWidth)
                     : Image();
}

// Straight 8-bit-scale colours of a rectangle (y up), rendered once.
struct Levels
{
    Pixels pixels;
    std::array<double, 3> at(int x, int y) const
    {
        const Pixel p = pixels.at(x, y);
        const double a = p[3] > 0 ? p[3] : 1;
        return {255 * p[0] / a, 255 * p[1] / a, 255 * p[2] / a};
    }
};

Levels levels(const Image& image, const Rect& area)
{
    return {render(image, area)};
}

// How red a colour is beyond its other channels, in levels.
double redness(const std::array<double, 3>& c)
{
    return std::max(0.0, c[0] - std::max(c[1], c[2]));
}

double largestChannelChange(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

// What a red-eye correction did to an eye: the mean redness of the pupil before and after, and the mean
// change of the iris beyond the red's fringe and of the white and the lids around.
struct RedEyeResult
{
    double before = 0, after = 0, iris = 0, skin = 0;
    bool met() const { return after <= 0.2 * before && iris <= 2 && skin <= 2; }
};

template <typename Judge>
RedEyeResult redEyeResult(const Image& photo, const Image& corrected, const Rect& area, Judge judge)
{
    const Levels a = levels(photo, area), b = levels(corrected, area);
    double red[2] = {0, 0}, iris = 0, skin = 0;
    int pupils = 0, irises = 0, skins = 0;
    for (int y = int(area.minY()); y < int(area.maxY()); ++y)
        for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
            const auto before = a.at(x, y), after = b.at(x, y);
            switch (judge(x, y)) {
            case Region::Pupil:
                red[0] += redness(before), red[1] += redness(after), ++pupils;
                break;
            case Region::Annulus:
                iris += largestChannelChange(before, after), ++irises;
                break;
            case Region::Sclera:
            case Region::Lid:
                skin += largestChannelChange(before, after), ++skins;
                break;
            default:
                break;
            }
        }
    RedEyeResult r;
    r.before = pupils ? red[0] / pupils : 0;
    r.after = pupils ? red[1] / pupils : 0;
    r.iris = irises ? iris / irises : 0;
    r.skin = skins ? skin / skins : 0;
    return r;
}

// The portrait with flash-red pupils of the given radius (in the portrait's own pixels) at both marked
// pupils, at `scale` times its size: the dark of the pupil turned red, brightest in the middle, the catch
// light kept.
struct RedEyedPortrait
{
    Image photo;
    std::vector<Point> pupils; // y up, pixels of the scaled photo
    double radius;
};

RedEyedPortrait redEyedPortrait(double scale)
{
    QImage picture = QImage(PortraitPath).convertToFormat(QImage::Format_RGB32);
    picture.setColorSpace(QColorSpace());
    const int side = int(std::lround(512 * scale));
    picture = picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QPointF marked[] = {{204.5, 100.5}, {247.0, 103.3}}; // top-down, the portrait's own pixels
    const double radius = 1.7 * scale;
    RedEyedPortrait r{Image(), {}, radius};
    for (const QPointF& m : marked) {
        const QPointF c = m * scale;
        for (int y = int(c.y() - radius - 2); y <= int(c.y() + radius + 2); ++y)
            for (int x = int(c.x() - radius - 2); x <= int(c.x() + radius + 2); ++x) {
                const double d = std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y());
                const double inside = std::clamp(radius + 0.5 - d, 0.0, 1.0);
                const QColor was = picture.pixelColor(x, y);
                const double luma = 0.299 * was.redF() + 0.587 * was.greenF() + 0.114 * was.blueF();
                if (inside <= 0 || luma > 0.5)
                    continue;
                const double t = d / radius;
                const auto mix = [&](double from, double to) { return from + (to - from) * inside; };
                picture.setPixelColor(x, y,
                                      QColor::fromRgbF(float(mix(was.redF(), 0.8 - 0.3 * t * t)),
                                                       float(mix(was.greenF(), 0.12 + 0.1 * luma)),
                                                       float(mix(was.blueF(), 0.1 + 0.1 * luma))));
            }
        r.pupils.emplace_back(c.x(), side - c.y());
    }
    r.photo = Image::fromQImage(picture);
    return r;
}

} // namespace

// Remove Red Eye's click selects the red pupil and its fringe, wherever on the pupil the click lands:
// over synthetic eyes with flash-red pupils of 3 to 30 pixels in radius (four iris colours, lids, catch
// lights), clicked at the pupil's centre and at 0.4 and 0.75 of its radius from it, the pupil's redness
// falls by at least 80 % while the iris beyond the red's fringe, the white and the lids change by at
// most 2 levels, in at least 95 % of the cases; and on the portrait with red pupils at its own size and
// at four times, clicked on and beside each pupil's centre.
TEST(RedEyeEffect, AClickOnTheRedPupilTakesTheRedOut)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("RedEye")));
    Tally tally;
    int index = 0;
    for (const double pupil : {3.0, 5.0, 8.0, 12.0, 20.0, 30.0})
        for (const auto& colour :
             {SyntheticEye::LightBlue, SyntheticEye::Green, SyntheticEye::Hazel, SyntheticEye::DarkBrown})
            for (const double lid : {0.0, 0.3})
                for (const bool catchLight : {false, true}) {
                    SyntheticEye::Look look;
                    look.irisRadius = pupil / look.pupilShare;
                    look.irisColour = colour;
                    look.catchLight = catchLight;
                    look.lidCover = lid;
                    look.redPupil = true;
                    look.grain = (index % 2) * 4.0;
                    look.seed = unsigned(index);
                    const SyntheticEye eye(look);
                    const double radius = look.irisRadius;
                    const bool face = index % 2 == 0;
                    const double faceWidth = face ? radius / 0.025 : 0.0;
                    const Rect area = Rect(eye.centre().x - 2 * radius - 4, eye.centre().y - 2 * radius - 4,
                                           4 * radius + 8, 4 * radius + 8)
                                          .integral();
                    // The iris counts from beyond the red's spill over the pupil's edge.
                    const double irisFrom = pupil + 2 + 0.1 * radius;
                    const auto judge = [&](int x, int y) {
                        const Region r = eye.regionOf(x, y);
                        if (r == Region::Annulus &&
                            std::hypot(x + 0.5 - eye.centre().x, y + 0.5 - eye.centre().y) < irisFrom)
                            return Region::Other;
                        return r;
                    };
                    for (const double share : {0.0, 0.4, 0.75}) {
                        const Point click =
                            offCentre(eye.centre(), pupil, share, (index * 3 + int(share * 8)) % 8);
                        const Image mask = layerMask(clickMask(eye.image(), click, 2 * radius, faceWidth));
                        const RedEyeResult r = redEyeResult(
                            eye.image(), composed(QStringLiteral("RedEye"), eye.image(), mask), area, judge);
                        tally.add(r.met());
                        if (!r.met())
                            std::printf(
                                "red eye missed: pupil %2.0f lid %.1f %s click %.2f: redness %.0f -> %.0f, "
                                "iris %.1f, skin %.1f\n",
                                pupil, lid, catchLight ? "catch" : "     ", share, r.before, r.after, r.iris,
                                r.skin);
                    }
                    ++index;
                }
    std::printf("red-eye click over the synthetic matrix: %d of %d cases\n", tally.met, tally.cases);
    EXPECT_GE(tally.share(), 0.95);

    ASSERT_TRUE(QFile::exists(PortraitPath)) << "the shared test photos are missing";
    for (const double scale : {1.0, 4.0}) {
        const RedEyedPortrait portrait = redEyedPortrait(scale);
        const double faceWidth = detectedFaceWidth(portrait.photo);
        for (const Point& centre : portrait.pupils)
            for (const double share : {0.0, 0.5}) {
                const Point click = offCentre(centre, portrait.radius, share, 1);
                const Image mask = layerMask(clickMask(portrait.photo, click, 8 * scale, faceWidth));
                const Rect area(centre.x - 6 * scale - 2, centre.y - 6 * scale - 2, 12 * scale + 4,
                                12 * scale + 4);
                // The red disc, the iris from a pixel (of the portrait) beyond it, the white and lids beyond
                // the limbus.
                const auto judge = [&](int x, int y) {
                    const double d = std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y) / scale;
                    return d <= portrait.radius / scale - 0.3           ? Region::Pupil
                           : d >= portrait.radius / scale + 1 && d <= 3 ? Region::Annulus
                           : d >= 5.5 && d <= 8                         ? Region::Sclera
                                                                        : Region::Other;
                };
                const RedEyeResult r =
                    redEyeResult(portrait.photo, composed(QStringLiteral("RedEye"), portrait.photo, mask),
                                 area.integral(), judge);
                std::printf(
                    "red eye on the portrait at %.0fx, click %.1f off: redness %.0f -> %.0f, iris %.1f, "
                    "around %.1f\n",
                    scale, share, r.before, r.after, r.iris, r.skin);
                EXPECT_LE(r.after, 0.2 * r.before) << "scale " << scale;
                EXPECT_LE(r.iris, 2) << "scale " << scale;
                EXPECT_LE(r.skin, 2) << "scale " << scale;
            }
    }
}

namespace {

// What an effect did under a mask: the mean change of the luma and the chroma (BT.601 full range,
// levels) of the pixels it should change, and the change of the others the mask covers (the largest
// channel's, levels): mean and 99th percentile.
struct Change
{
    double luma = 0, chromaBefore = 0, chromaAfter = 0, skinMean = 0, skinP99 = 0;
};

std::pair<double, double> lumaChroma(const std::array<double, 3>& c)
{
    const double y = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
    return {y, std::hypot((c[2] - y) / 1.772, (c[0] - y) / 1.402)};
}

// `target(x, y)` names the pixels the effect is for, `other(x, y)` those under the mask it must leave.
template <typename Target, typename Other>
Change changeOf(const Image& before, const Image& after, const Rect& area, Target target, Other other)
{
    const Levels a = levels(before, area), b = levels(after, area);
    Change change;
    int n = 0;
    std::vector<double> skin;
    for (int y = int(area.minY()); y < int(area.maxY()); ++y)
        for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
            const auto p = a.at(x, y), q = b.at(x, y);
            if (target(x, y)) {
                const auto [y0, c0] = lumaChroma(p);
                const auto [y1, c1] = lumaChroma(q);
                change.luma += y1 - y0, change.chromaBefore += c0, change.chromaAfter += c1, ++n;
            } else if (other(x, y)) {
                skin.push_back(largestChannelChange(p, q));
            }
        }
    if (n) {
        change.luma /= n, change.chromaBefore /= n, change.chromaAfter /= n;
    }
    if (!skin.empty()) {
        for (const double d : skin)
            change.skinMean += d / double(skin.size());
        std::sort(skin.begin(), skin.end());
        change.skinP99 = skin[size_t(0.99 * double(skin.size() - 1))];
    }
    return change;
}

// A grey mask image (y up) from a test of each pixel.
template <typename Inside> Image maskOf(int width, int height, Inside inside)
{
    Bitmap bitmap(width, height, Bitmap::Format::RGBA8);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bitmap.mutableRow(row) + 4 * x;
            const uint8_t v = inside(x, height - 1 - row) ? 255 : 0;
            p[0] = p[1] = p[2] = v, p[3] = 255;
        }
    return Image::fromBitmap(bitmap);
}

} // namespace

namespace {

// The portrait's eye openings (top-down centre and half axes), marked by hand.
struct Opening
{
    QPointF centre;
    QSizeF half;
};

const std::array<Opening, 2>& portraitOpenings()
{
    static const std::array<Opening, 2> openings{
        {{{203.0, 100.5}, {8.5, 3.8}}, {{247.5, 102.5}, {9.5, 3.8}}}};
    return openings;
}

// The whites of the portrait's eyes, marked by hand (top-down pixels).
const std::vector<QPoint>& portraitWhites()
{
    static const std::vector<QPoint> whites = {
        {197, 100}, {198, 100}, {197, 101}, {198, 101}, {198, 102}, {208, 100}, {208, 101}, {209, 101},
        {208, 102}, {209, 102}, {207, 103}, {208, 103}, {209, 103}, {241, 103}, {240, 104}, {241, 104},
        {242, 104}, {251, 102}, {252, 102}, {251, 103}, {252, 103}, {253, 103}, {251, 104}, {253, 104}};
    return whites;
}

} // namespace

// Whiten Eyes at its default intensity lifts the whites visibly (at least 12 levels of luma, half
// their chroma gone) and leaves the skin a sloppy plain brush covers around the eye (at most 1 level
// in the mean, 4 at the 99th percentile): on both eyes of the portrait at its own size and at four
// times, and on an eye in pale, low-chroma skin with a dull, yellowish white.
TEST(WhitenEyesEffect, LiftsTheWhitesAndLeavesPaleSkin)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("WhiterEyes")));
    const auto& openings = portraitOpenings();
    const std::vector<QPoint>& whites = portraitWhites();
    for (const double scale : {1.0, 4.0}) {
        QImage picture = QImage(PortraitPath).convertToFormat(QImage::Format_RGB32);
        picture.setColorSpace(QColorSpace());
        const int side = int(512 * scale);
        const Image photo =
            Image::fromQImage(picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        // The portrait's own pixel (top-down) under a pixel (y up) of the scaled one.
        const auto own = [&](int x, int y) { return QPointF((x + 0.5) / scale, 512 - (y + 0.5) / scale); };
        const auto inOpening = [&](QPointF p, double grow) {
            for (const auto& o : openings)
                if (std::hypot((p.x() - o.centre.x()) / (o.half.width() + grow),
                               (p.y() - o.centre.y()) / (o.half.height() + grow)) <= 1)
                    return true;
            return false;
        };
        const auto sloppy = [&](int x, int y) {
            const QPointF p = own(x, y);
            for (const auto& o : openings)
                if (std::hypot((p.x() - o.centre.x()) / (2 * o.half.width()),
                               (p.y() - o.centre.y()) / (3 * o.half.height())) <= 1)
                    return true;
            return false;
        };
        const auto white = [&](int x, int y) {
            const QPointF p = own(x, y);
            const QPoint pixel(int(std::floor(p.x())), int(std::floor(p.y())));
            const bool middle = scale == 1 || (std::abs(p.x() - pixel.x() - 0.5) < 0.3 &&
                                               std::abs(p.y() - pixel.y() - 0.5) < 0.3);
            return middle && std::find(whites.begin(), whites.end(), pixel) != whites.end();
        };
        const Image after = composed(QStringLiteral("WhiterEyes"), photo, maskOf(side, side, sloppy), -1,
                                     detectedFaceWidth(photo));
        const Rect area(180 * scale, (512 - 125) * scale, 90 * scale, 50 * scale);
        const Change c = changeOf(photo, after, area, white,
                                  [&](int x, int y) { return sloppy(x, y) && !inOpening(own(x, y), 1); });
        std::printf("Whiten Eyes on the portrait at %.0fx: whites %+.1f levels of luma, chroma %.1f -> %.1f; "
                    "skin %.2f levels in the mean, %.1f at the 99th percentile\n",
                    scale, c.luma, c.chromaBefore, c.chromaAfter, c.skinMean, c.skinP99);
        EXPECT_GE(c.luma, 12) << scale;
        EXPECT_LE(c.chromaAfter, 0.5 * c.chromaBefore) << scale;
        EXPECT_LE(c.skinMean, 1) << scale;
        EXPECT_LE(c.skinP99, 4) << scale;
    }

    // Pale, low-chroma skin and a dull white, about the size of an eye in a portrait at four times.
    for (const auto& skin :
         {std::array<double, 3>{0.92, 0.84, 0.80}, std::array<double, 3>{0.9, 0.8, 0.74}}) {
        SyntheticEye::Look look;
        look.irisRadius = 14;
        look.irisColour = SyntheticEye::Hazel;
        look.skin = skin;
        look.sclera = {0.82, 0.78, 0.72};
        look.grain = 3;
        const SyntheticEye eye(look);
        const Point o = eye.centre();
        const auto sloppy = [&](int x, int y) {
            return std::hypot((x + 0.5 - o.x) / (1.4 * (2.2 * 14 + 3)), (y + 0.5 - o.y) / (2.6 * 14)) <= 1;
        };
        const Image after = composed(QStringLiteral("WhiterEyes"), eye.image(),
                                     maskOf(eye.side(), eye.side(), sloppy), -1, 14 / 0.025);
        const Change c = changeOf(
            eye.image(), after, Rect(0, 0, eye.side(), eye.side()),
            [&](int x, int y) { return eye.regionOf(x, y) == Region::Sclera; },
            [&](int x, int y) { return sloppy(x, y) && eye.openingDepth(x + 0.5, y + 0.5) <= -1; });
        std::printf(
            "Whiten Eyes on pale skin (%.2f %.2f %.2f): whites %+.1f levels, chroma %.1f -> %.1f; skin "
            "%.2f levels in the mean, %.1f at the 99th percentile\n",
            skin[0], skin[1], skin[2], c.luma, c.chromaBefore, c.chromaAfter, c.skinMean, c.skinP99);
        EXPECT_GE(c.luma, 12);
        EXPECT_LE(c.chromaAfter, 0.5 * c.chromaBefore);
        EXPECT_LE(c.skinMean, 1);
        EXPECT_LE(c.skinP99, 4);
    }
}

// The eyes of a small face (irises of 2 to 8 pixels, a face of 80 to 320) in pale skin, under a sloppy
// mask: the whites lift as on a large face, while the skin beside them lightens by at most a level in
// the mean and 4 at the 99th percentile, whatever the white's tint; the pixels just beyond the lash
// line, half lash and half skin, are as grey as a white in shadow and the most at risk.
TEST(WhitenEyesEffect, LeavesThePaleSkinOfSmallFaces)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("WhiterEyes")));
    Change worst{1e9, 0, 0, 0, 0};
    for (const double radius : {2.0, 3.0, 5.0, 8.0})
        for (const auto& skin :
             {std::array<double, 3>{0.92, 0.84, 0.80}, std::array<double, 3>{0.9, 0.8, 0.74},
              std::array<double, 3>{0.78, 0.7, 0.66}})
            for (const auto& sclera :
                 {std::array<double, 3>{0.82, 0.78, 0.72}, std::array<double, 3>{0.93, 0.885, 0.87}}) {
                SyntheticEye::Look look;
                look.irisRadius = radius;
                look.irisColour = SyntheticEye::Hazel;
                look.skin = skin;
                look.sclera = sclera;
                look.grain = 3;
                const SyntheticEye eye(look);
                const Point o = eye.centre();
                const auto sloppy = [&](int x, int y) {
                    return std::hypot((x + 0.5 - o.x) / (1.4 * (2.2 * radius + 3)),
                                      (y + 0.5 - o.y) / (2.6 * radius)) <= 1;
                };
                const Image after = composed(QStringLiteral("WhiterEyes"), eye.image(),
                                             maskOf(eye.side(), eye.side(), sloppy), -1, radius / 0.025);
                const Change c = changeOf(
                    eye.image(), after, Rect(0, 0, eye.side(), eye.side()),
                    [&](int x, int y) { return eye.regionOf(x, y) == Region::Sclera; },
                    [&](int x, int y) { return sloppy(x, y) && eye.openingDepth(x + 0.5, y + 0.5) <= -1; });
                SCOPED_TRACE(testing::Message() << "R " << radius << " skin " << skin[0] << " " << skin[1]
                                                << " " << skin[2] << ", white " << sclera[0]);
                EXPECT_GE(c.luma, 12);
                EXPECT_LE(c.skinMean, 1);
                EXPECT_LE(c.skinP99, 4);
                worst.luma = std::min(worst.luma, c.luma);
                worst.skinMean = std::max(worst.skinMean, c.skinMean);
                worst.skinP99 = std::max(worst.skinP99, c.skinP99);
            }
    std::printf(
        "Whiten Eyes on small eyes in pale skin: whites %+.1f levels at least; skin %.2f levels in the "
        "mean, %.1f at the 99th percentile at most\n",
        worst.luma, worst.skinMean, worst.skinP99);
}

namespace {

// One click of Replace Iris, as the window gives it: the layer's mask stroke and the picture it places.
struct Replacement
{
    Levels mask, placed;
    // How much of the new iris shows at a pixel: the mask's coverage times the placed picture's opacity.
    double shown(int x, int y) const { return mask.pixels.at(x, y)[1] * placed.pixels.at(x, y)[3]; }
};

std::optional<Replacement> replaceIrisClick(const Image& photo, Point click, double brushSize,
                                            double faceWidth, const Rect& area)
{
    const Rect extent = photo.extent();
    GMBrushHandler handler;
    setUpOver(handler, photo);
    OVBrush brush;
    brush.type = OVBrush::Click;
    brush.brushSubType = OVBrush::IrisReplacement;
    brush.size = brushSize;
    brush.pressure = 1;
    const Point p(click.x / extent.width(), click.y / extent.height());
    handler.brushDownAtPoint(brush, p, faceWidth);
    handler.processPoint(p);
    const OVContentContainerPtr stroke = handler.brushUp();
    if (!stroke || !stroke->additionalImageContainer())
        return std::nullopt;
    return Replacement{levels(stroke->imageContainer()->image(), area),
                       levels(stroke->additionalImageContainer()->image(), area)};
}

} // namespace

// Replace Iris clicked anywhere on an iris lays the stock iris over that iris: centred on it and sized
// to it (its fading rim just beyond the limbus), with a pupil of its own over the photo's, so that no
// ring of the old iris is left around the pupil or at the limbus: over eyes of 10 to 40 pixels in
// radius, four colours, open and lidded, clicked at the centre and 0.75 of the radius off it, at least
// nine tenths of the visible iris is the new one's. On the portrait enlarged four times (three ways),
// clicked at the centre and 0.4 of the radius off it, the new iris covers the iris marked by hand and
// stays under the upper lid, whose lashes hang over the iris's top as dark and as brown as the iris.
TEST(ReplaceIrisEffect, LaysTheNewIrisOverTheOldWhereverTheClickLands)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("IrisReplacement")));
    OVIrisReplacementBrush::registerClass();
    int index = 0;
    for (const double radius : {10.0, 20.0, 40.0})
        for (const auto& colour :
             {SyntheticEye::LightBlue, SyntheticEye::Green, SyntheticEye::Hazel, SyntheticEye::DarkBrown})
            for (const double lid : {0.0, 0.3}) {
                SyntheticEye::Look look;
                look.irisRadius = radius;
                look.irisColour = colour;
                look.lidCover = lid;
                look.catchLight = index % 2 == 1;
                const SyntheticEye eye(look);
                const Rect extent = eye.image().extent();
                for (const double share : {0.0, 0.75}) {
                    const Point click = offCentre(eye.centre(), radius, share, index % 8);
                    const auto replaced =
                        replaceIrisClick(eye.image(), click, 2 * radius, radius / 0.025, extent);
                    ASSERT_TRUE(replaced);
                    // Where the new iris lies: the centroid of the placed picture's opacity.
                    double sx = 0, sy = 0, sum = 0;
                    for (int y = 0; y < eye.side(); ++y)
                        for (int x = 0; x < eye.side(); ++x) {
                            const double a = replaced->placed.pixels.at(x, y)[3];
                            sx += a * (x + 0.5), sy += a * (y + 0.5), sum += a;
                        }
                    const double placedRadius = std::sqrt(sum / M_PI);
                    // The visible iris: how much of it the new one covers; the rest shows the old iris
                    // through.
                    int iris = 0, old = 0;
                    for (int y = 0; y < eye.side(); ++y)
                        for (int x = 0; x < eye.side(); ++x)
                            if (eye.regionOf(x, y) == Region::Annulus) {
                                ++iris;
                                old += replaced->shown(x, y) < 0.8 ? 1 : 0;
                            }
                    SCOPED_TRACE(testing::Message()
                                 << "R " << radius << " lid " << lid << " click " << share);
                    ASSERT_GT(sum, 0);
                    EXPECT_LT(std::hypot(sx / sum - eye.centre().x, sy / sum - eye.centre().y),
                              0.15 * radius);
                    EXPECT_NEAR(placedRadius, radius / 0.93, 0.15 * radius);
                    EXPECT_LE(double(old) / iris, 0.1);
                }
                ++index;
            }
    for (const Resampling how : {Resampling::Smooth, Resampling::Bicubic, Resampling::Lanczos}) {
        const Image photo = scaledPortrait(4, how);
        const double faceWidth = detectedFaceWidth(photo);
        double leastIris = 1, mostLid = 0;
        for (const PortraitEye& marked : portraitEyes()) {
            const ScaledEye eye = scaledEye(marked, 4);
            for (const double share : {0.0, 0.4})
                for (int direction = 0; direction<8; direction += share> 0 ? 1 : 8) {
                    const Point click = offCentre(eye.centre, eye.radius, share, direction);
                    const auto replaced = replaceIrisClick(photo, click, 2 * eye.radius, faceWidth, eye.area);
                    ASSERT_TRUE(replaced);
                    double iris = 0, lid = 0;
                    int irises = 0, lids = 0;
                    for (int y = int(eye.area.minY()); y < int(eye.area.maxY()); ++y)
                        for (int x = int(eye.area.minX()); x < int(eye.area.maxX()); ++x) {
                            if (portraitRegion(marked, 4, x, y) == Region::Annulus)
                                iris += replaced->shown(x, y), ++irises;
                            if (onTheLidOverTheIris(marked, 4, x, y))
                                lid += replaced->shown(x, y), ++lids;
                        }
                    ASSERT_GT(irises, 0);
                    ASSERT_GT(lids, 0);
                    SCOPED_TRACE(testing::Message()
                                 << "the portrait at 4x, " << resamplingName(how) << ", " << marked.name
                                 << " eye, click " << share << " R towards " << direction * 45 << " degrees");
                    EXPECT_GE(iris / irises, 0.85);
                    EXPECT_LE(lid / lids, 0.1);
                    leastIris = std::min(leastIris, iris / irises);
                    mostLid = std::max(mostLid, lid / lids);
                }
        }
        std::printf(
            "Replace Iris on the portrait at 4x (%s): the marked iris %.2f new at least, the lid over it "
            "%.2f at most\n",
            resamplingName(how), leastIris, mostLid);
    }
}

namespace {

// A face's skin at a given face width (pixels; the detector's box around it is 1.6 times as wide):
// an even tone with a gentle light gradient, blotches (as many lighter as darker) of 3 to 5 % of the
// face, pores of a pixel (the
// grain of the photo), and two features with crisp edges, an eye (a dark ellipse) and the lips (a red
// band), and dark hair above the forehead. The picture shows the part of the face around them, at
// most 640 pixels a side.
struct SyntheticFace
{
    Image image;
    int side = 0;
    std::vector<uint8_t> skin;     // plain skin, away from the features
    std::vector<uint8_t> features; // a band along the features' edges
};

SyntheticFace syntheticFace(double face)
{
    SyntheticFace f;
    f.side = int(std::min(640.0, std::max(64.0, 1.2 * face)));
    const int side = f.side;
    const double cx = side / 2.0, cy = side / 2.0;
    std::mt19937 random{unsigned(face)};
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> blotch(size_t(side * side), 0.0f);
    const int blotches = int(220.0 * side * side / (800.0 * 800.0) * std::pow(240.0 / face, 2)) + 8;
    for (int i = 0; i < std::min(blotches, 4000); ++i) {
        const float bx = unit(random) * side, by = unit(random) * side;
        const float s = float(std::max(1.0, (0.03 + 0.02 * unit(random)) * face / 2.5));
        const float depth = (unit(random) - 0.5f) * 0.09f;
        for (int y = std::max(0, int(by - 3 * s)); y < std::min(side, int(by + 3 * s) + 1); ++y)
            for (int x = std::max(0, int(bx - 3 * s)); x < std::min(side, int(bx + 3 * s) + 1); ++x)
                blotch[size_t(y * side + x)] +=
                    depth * std::exp(-((x - bx) * (x - bx) + (y - by) * (y - by)) / (2 * s * s));
    }
    Bitmap bitmap(side, side, Bitmap::Format::RGBAf);
    f.skin.assign(size_t(side * side), 0);
    f.features.assign(size_t(side * side), 0);
    const double eyeX = cx - 0.2 * face, eyeY = cy - 0.12 * face, lipY = cy + 0.22 * face;
    for (int y = 0; y < side; ++y) {
        float* row = reinterpret_cast<float*>(bitmap.mutableRow(y));
        for (int x = 0; x < side; ++x) {
            const double eye = std::hypot((x - eyeX) / (0.12 * face), (y - eyeY) / (0.045 * face));
            const double lip = std::abs(y - lipY) / (0.04 * face) + std::abs(x - cx) / (0.2 * face);
            const float pore = (unit(random) - 0.5f) * 0.05f;
            float r = float(0.8 - 0.08 * y / side) + blotch[size_t(y * side + x)] + pore;
            float g = r * 0.8f, b = r * 0.68f;
            if (eye < 1)
                r = 0.15f + pore, g = 0.11f + pore, b = 0.09f + pore;
            const bool hair = y < cy - 0.45 * face;
            if (hair)
                r = 0.28f + pore, g = 0.2f + pore, b = 0.13f + pore;
            if (lip < 1)
                r = 0.72f + pore, g = 0.36f + pore, b = 0.38f + pore;
            row[4 * x] = r, row[4 * x + 1] = g, row[4 * x + 2] = b, row[4 * x + 3] = 1;
            const double nearest =
                std::min(std::abs(eye - 1) * 0.045 * face, std::abs(lip - 1) * 0.04 * face);
            f.features[size_t(y * side + x)] = nearest < 1.5 ? 1 : 0;
            const double belowHair = y - (cy - 0.45 * face);
            f.skin[size_t(y * side + x)] = eye > 1.6 && lip > 1.6 && belowHair > 3 + 0.03 * face && x > 4 &&
                                           y > 4 && x < side - 4 && y < side - 4;
        }
    }
    f.image = Image::fromBitmap(bitmap);
    return f;
}

// One channel plane of a picture's pixels (rows top-down), and Gaussian blurs of it.
struct Plane
{
    int side = 0;
    std::vector<float> v;
    float at(int x, int y) const
    {
        return v[size_t(std::clamp(y, 0, side - 1) * side + std::clamp(x, 0, side - 1))];
    }
};

std::array<Plane, 3> planesOf(const Image& image, int side)
{
    std::array<Plane, 3> planes;
    static RenderContext context(QStringLiteral("skin effect tests"));
    const auto pixels = context.render(image, Rect(0, 0, side, side), Bitmap::Format::RGBAf);
    for (int k = 0; k < 3; ++k) {
        planes[size_t(k)].side = side;
        planes[size_t(k)].v.resize(size_t(side * side));
    }
    for (int y = 0; y < side; ++y) {
        const float* row = reinterpret_cast<const float*>(pixels->row(y));
        for (int x = 0; x < side; ++x)
            for (int k = 0; k < 3; ++k)
                planes[size_t(k)].v[size_t(y * side + x)] = row[4 * x + k];
    }
    return planes;
}

Plane lumaOf(const std::array<Plane, 3>& c)
{
    Plane l = c[0];
    for (size_t i = 0; i < l.v.size(); ++i)
        l.v[i] = 0.299f * c[0].v[i] + 0.587f * c[1].v[i] + 0.114f * c[2].v[i];
    return l;
}

Plane gaussian(const Plane& in, double sigma)
{
    Plane out = in;
    out.v = referenceGaussian(in.v, in.side, in.side, sigma);
    return out;
}

// A Gaussian blur of the plane over the region only (the region's pixels weighted, normalised by the
// region's own blurred weight): what lies beside the skin, an eye or the hair, does not bleed into the
// skin's bands.
Plane gaussianWithin(const Plane& in, double sigma, const std::vector<uint8_t>& region)
{
    Plane weighted = in, weight = in;
    for (size_t i = 0; i < in.v.size(); ++i) {
        weight.v[i] = region[i] ? 1.0f : 0.0f;
        weighted.v[i] = in.v[i] * weight.v[i];
    }
    const Plane a = gaussian(weighted, sigma), b = gaussian(weight, sigma);
    Plane out = in;
    for (size_t i = 0; i < in.v.size(); ++i)
        out.v[i] = b.v[i] > 1e-6f ? a.v[i] / b.v[i] : in.v[i];
    return out;
}

// The mean square of a - b where the region is set.
double energyOf(const Plane& a, const Plane& b, const std::vector<uint8_t>& region)
{
    double sum = 0;
    int n = 0;
    for (size_t i = 0; i < a.v.size(); ++i)
        if (region[i]) {
            const double d = a.v[i] - b.v[i];
            sum += d * d;
            ++n;
        }
    return n ? sum / n : 0;
}

double gradientEnergyOf(const Plane& l, const std::vector<uint8_t>& region)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < l.side; ++y)
        for (int x = 0; x < l.side; ++x)
            if (region[size_t(y * l.side + x)]) {
                const double gx = l.at(x + 1, y) - l.at(x - 1, y), gy = l.at(x, y + 1) - l.at(x, y - 1);
                sum += gx * gx + gy * gy;
                ++n;
            }
    return n ? sum / n : 0;
}

double meanOf(const Plane& p, const std::vector<uint8_t>& region)
{
    double sum = 0;
    int n = 0;
    for (size_t i = 0; i < p.v.size(); ++i)
        if (region[i]) {
            sum += p.v[i];
            ++n;
        }
    return n ? sum / n : 0;
}

} // namespace

namespace {

// Sweeps of the effect's own smart brush (as wide as `brush` pixels, rows half a brush apart, a point
// every quarter brush) over a rectangle of the photo (y up): the layer's mask a hand leaves there. One
// pass leaves the mask at the brush's hardness (0.8) but for where its dabs overlap; a retoucher who
// wants the effect whole goes over the skin again, a second pass whose rows run between the first's.
Image sweptWithSmartBrush(const QString& effect, const Image& photo, const std::vector<Rect>& areas,
                          double brush, double faceWidth, int passes)
{
    const auto blueprint = effectNamed(effect);
    OVBrush smart;
    smart.type = OVBrush::SmartBrush;
    smart.kernelName = blueprint->defaultBrushValueForKey(QStringLiteral("smartBrushType")).toString();
    smart.size = brush;
    smart.smoothness = blueprint->defaultBrushValueForKey(QStringLiteral("brushSmoothness")).toDouble();
    smart.pressure = blueprint->defaultBrushValueForKey(QStringLiteral("brushHardness")).toDouble();
    const Rect extent = photo.extent();
    GMBrushHandler handler;
    setUpOver(handler, photo);
    for (const Rect& area : areas)
        for (int pass = 0; pass < passes; ++pass)
            for (double y = area.minY() + pass * brush / 4; y <= area.maxY(); y += brush / 2) {
                std::vector<Point> row;
                for (double x = area.minX(); x <= area.maxX(); x += brush / 4)
                    row.emplace_back(x / extent.width(), y / extent.height());
                handler.brushDownAtPoint(smart, row.front(), faceWidth);
                handler.processPoints(row);
                handler.brushUp();
            }
    return handler.startMaskImage();
}

Image sweptWithSmartBrush(const QString& effect, const Image& photo, const Rect& area, double brush,
                          double faceWidth, int passes)
{
    return sweptWithSmartBrush(effect, photo, std::vector<Rect>{area}, brush, faceWidth, passes);
}

// What Smooth Skin did to a face: the energy left of the skin's fine detail (finer than a Gaussian of
// one pixel) and of its 1-4 pixel band, the gradient energy left along the features' edges, and the
// largest channel's move of the skin's mean colour (levels). The skin's bands are taken within the
// skin alone, so that the blur of an eye, the lips or the hair beside it does not count as its texture.
struct SmoothingFigures
{
    double fine = 0, band = 0, edges = 0, shift = 0;
};

SmoothingFigures smoothingFigures(const std::array<Plane, 3>& before, const std::array<Plane, 3>& after,
                                  const std::vector<uint8_t>& skin, const std::vector<uint8_t>& features)
{
    const Plane lb = lumaOf(before), la = lumaOf(after);
    const Plane lb1 = gaussianWithin(lb, 1, skin), la1 = gaussianWithin(la, 1, skin),
                lb4 = gaussianWithin(lb, 4, skin), la4 = gaussianWithin(la, 4, skin);
    SmoothingFigures f;
    f.fine = energyOf(la, la1, skin) / energyOf(lb, lb1, skin);
    f.band = energyOf(la1, la4, skin) / energyOf(lb1, lb4, skin);
    if (!features.empty())
        f.edges = gradientEnergyOf(la, features) / gradientEnergyOf(lb, features);
    for (size_t k = 0; k < 3; ++k)
        f.shift = std::max(f.shift, 255 * std::abs(meanOf(after[k], skin) - meanOf(before[k], skin)));
    return f;
}

// The plane less the quadratic surface (a + bx + cy + dx^2 + ey^2 + fxy) that best fits it over the region,
// zero elsewhere: on a patch of a cheek or forehead, the skin's texture without the face's modelling (its
// slope and its curvature), which a skin smoother must keep.
Plane lessItsShading(const Plane& l, const std::vector<uint8_t>& region)
{
    std::array<std::array<double, 7>, 6> m{};
    const auto terms = [](double x, double y) { return std::array<double, 6>{1, x, y, x * x, y * y, x * y}; };
    for (int y = 0; y < l.side; ++y)
        for (int x = 0; x < l.side; ++x)
            if (region[size_t(y * l.side + x)]) {
                const auto t = terms(x, y);
                for (size_t i = 0; i < 6; ++i) {
                    for (size_t j = 0; j < 6; ++j)
                        m[i][j] += t[i] * t[j];
                    m[i][6] += t[i] * l.at(x, y);
                }
            }
    // Gauss-Jordan with partial pivoting; a region too small to fix a term leaves it out.
    for (size_t c = 0; c < 6; ++c) {
        size_t pivot = c;
        for (size_t r = c + 1; r < 6; ++r)
            if (std::abs(m[r][c]) > std::abs(m[pivot][c]))
                pivot = r;
        std::swap(m[c], m[pivot]);
        if (std::abs(m[c][c]) < 1e-9)
            continue;
        for (size_t r = 0; r < 6; ++r)
            if (r != c) {
                const double k = m[r][c] / m[c][c];
                for (size_t j = c; j < 7; ++j)
                    m[r][j] -= k * m[c][j];
            }
    }
    Plane out = l;
    for (int y = 0; y < l.side; ++y)
        for (int x = 0; x < l.side; ++x) {
            double fit = 0;
            const auto t = terms(x, y);
            for (size_t i = 0; i < 6; ++i)
                fit += std::abs(m[i][i]) < 1e-9 ? 0 : t[i] * m[i][6] / m[i][i];
            out.v[size_t(y * l.side + x)] = region[size_t(y * l.side + x)] ? float(l.at(x, y) - fit) : 0.0f;
        }
    return out;
}

} // namespace

// Smooth Skin at full intensity, painted with its own smart brush over a face (radii scale with the
// face the detector finds), once and as a hand covering the skin does (twice), measured on the skin
// the brush painted: the skin's fine detail (finer than a pixel's blur) and its 1-4 pixel band keep at
// most half their energy, the edges of eyes and lips at least 0.9 of theirs, and the skin's mean colour
// moves by at most one level, on synthetic faces of 25 to 1,000 pixels. On the cheeks and forehead of
// the portrait (a face of about 90 pixels, and four times it) the fine detail is held to the same bound,
// and so are the colour and, at four times its size, the 1-4 pixel band, where they are met.
TEST(SmoothSkinEffect, SmoothsSkinAtEveryFaceSize)
{
    const QString effect = QStringLiteral("SkinSmoothing");
    ASSERT_TRUE(effectNamed(effect));
    for (const int passes : {1, 2})
        for (const double face : {25.0, 80.0, 250.0, 1000.0}) {
            const SyntheticFace f = syntheticFace(face);
            const double faceWidth = 1.6 * face;
            const double c = f.side / 2.0;
            // Over the face from the forehead to the chin (y up), with the brush the effect offers, within
            // the middle of the picture (on the largest face its cheek, below the eye).
            const double brush = std::clamp(0.45 * face, 6.0, 100.0);
            const Rect sweep = Rect(c - 0.5 * face, c - 0.45 * face, face, 0.85 * face)
                                   .intersected(Rect(0.2 * f.side, 0.2 * f.side, 0.6 * f.side, 0.6 * f.side));
            const Image mask = sweptWithSmartBrush(effect, f.image, sweep, brush, faceWidth, passes);
            const auto before = planesOf(f.image, f.side);
            const auto after = planesOf(composed(effect, f.image, mask, 1, faceWidth), f.side);
            const Levels painted = levels(mask, Rect(0, 0, f.side, f.side));
            std::vector<uint8_t> skin = f.skin;
            for (int y = 0; y < f.side; ++y)
                for (int x = 0; x < f.side; ++x)
                    skin[size_t(y * f.side + x)] &= painted.pixels.at(x, f.side - 1 - y)[1] >= 0.9 ? 1 : 0;
            const SmoothingFigures r = smoothingFigures(before, after, skin, f.features);
            std::printf(
                "Smooth Skin at full intensity on a face of %4.0f px, %d pass(es): fine energy x%.2f, "
                "1-4 px x%.2f, edges x%.2f, skin colour moved %.2f levels (%zu skin pixels painted)\n",
                face, passes, r.fine, r.band, r.edges, r.shift,
                size_t(std::count(skin.begin(), skin.end(), 1)));
            SCOPED_TRACE(testing::Message() << "face " << face << " passes " << passes);
            EXPECT_LE(r.fine, 0.5);
            EXPECT_LE(r.band, 0.5);
            EXPECT_GE(r.edges, 0.9);
            EXPECT_LE(r.shift, 1.0);
            if (face < 250 || passes > 1)
                continue;
            // Painted whole with the plain brush, eyes and lips included, their edges stay too.
            const Image everywhere =
                Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(Rect(0, 0, f.side, f.side));
            const Plane whole = lumaOf(planesOf(composed(effect, f.image, everywhere, 1, faceWidth), f.side));
            const double edges =
                gradientEnergyOf(whole, f.features) / gradientEnergyOf(lumaOf(before), f.features);
            std::printf("  painted whole: edges x%.2f\n", edges);
            EXPECT_GE(edges, 0.9);
        }

    // The portrait's cheeks and forehead (top-down rectangles of its own pixels, marked by hand), painted
    // with the effect's smart brush over the face as on the synthetic faces; the bands are taken within
    // the skin the brush painted.
    const QRect regions[] = {{200, 84, 33, 5}, {192, 112, 14, 16}, {247, 112, 12, 14}};
    for (const int passes : {1, 2})
        for (const double scale : {1.0, 4.0}) {
            QImage picture = QImage(PortraitPath).convertToFormat(QImage::Format_RGB32);
            picture.setColorSpace(QColorSpace());
            const int side = int(512 * scale);
            const Image photo = Image::fromQImage(
                picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            const double faceWidth = detectedFaceWidth(photo);
            // The face from the brows to the chin (the portrait's columns 185 to 265, rows 80 to 150, y up).
            const Image mask = sweptWithSmartBrush(
                effect, photo, Rect(185 * scale, (512 - 150) * scale, 80 * scale, 70 * scale),
                std::clamp(0.28 * faceWidth, 6.0, 100.0), faceWidth, passes);
            const Image smoothed = composed(effect, photo, mask, 1, faceWidth);
            // The face only (the portrait's columns 180 to 270, rows 70 to 160), moved to the origin.
            const int crop = int(90 * scale);
            const AffineTransform toOrigin = AffineTransform::translation(-180 * scale, -(512 - 160) * scale);
            const auto before = planesOf(photo.imageByApplyingTransform(toOrigin), crop);
            const auto after = planesOf(smoothed.imageByApplyingTransform(toOrigin), crop);
            const Levels painted = levels(mask.imageByApplyingTransform(toOrigin), Rect(0, 0, crop, crop));
            std::vector<uint8_t> skin(size_t(crop * crop), 0);
            for (const QRect& r : regions)
                for (int y = int((r.top() - 70) * scale); y < int((r.bottom() + 1 - 70) * scale); ++y)
                    for (int x = int((r.left() - 180) * scale); x < int((r.right() + 1 - 180) * scale); ++x)
                        skin[size_t(y * crop + x)] = painted.pixels.at(x, crop - 1 - y)[1] >= 0.9 ? 1 : 0;
            const SmoothingFigures r = smoothingFigures(before, after, skin, {});
            std::printf(
                "Smooth Skin at full intensity on the portrait at %.0fx, %d pass(es): fine energy x%.2f, "
                "1-4 px x%.2f, skin colour moved %.2f levels (%zu marked skin pixels painted)\n",
                scale, passes, r.fine, r.band, r.shift, size_t(std::count(skin.begin(), skin.end(), 1)));
            SCOPED_TRACE(testing::Message() << "scale " << scale << " passes " << passes);
            EXPECT_LE(r.fine, 0.5);
            // On a face of about 90 pixels most of a small patch's 1-4 pixel band is the face's modelling
            // (the slope and curvature of a cheekbone or the forehead, up to nine tenths of it), which the
            // smoothing keeps. Each patch less its own quadratic shading, what is left is the skin's
            // texture: that band keeps at most half its energy. The skin the brush painted keeps its mean
            // colour; the lit patches lose a little of their modelling.
            Plane textureBefore = lumaOf(before), textureAfter = lumaOf(after);
            std::fill(textureBefore.v.begin(), textureBefore.v.end(), 0.0f);
            std::fill(textureAfter.v.begin(), textureAfter.v.end(), 0.0f);
            std::vector<uint8_t> paintedSkin(size_t(crop * crop), 0);
            for (int y = 0; y < crop; ++y)
                for (int x = 0; x < crop; ++x)
                    paintedSkin[size_t(y * crop + x)] = painted.pixels.at(x, crop - 1 - y)[1] >= 0.9 ? 1 : 0;
            for (const QRect& q : regions) {
                std::vector<uint8_t> patch(skin.size(), 0);
                for (int y = int((q.top() - 70) * scale); y < int((q.bottom() + 1 - 70) * scale); ++y)
                    for (int x = int((q.left() - 180) * scale); x < int((q.right() + 1 - 180) * scale); ++x)
                        patch[size_t(y * crop + x)] = skin[size_t(y * crop + x)];
                const Plane b = lessItsShading(lumaOf(before), patch),
                            a = lessItsShading(lumaOf(after), patch);
                for (size_t i = 0; i < patch.size(); ++i)
                    if (patch[i]) {
                        textureBefore.v[i] = b.v[i];
                        textureAfter.v[i] = a.v[i];
                    }
            }
            const double textureBand =
                energyOf(gaussianWithin(textureAfter, 1, skin), gaussianWithin(textureAfter, 4, skin), skin) /
                energyOf(gaussianWithin(textureBefore, 1, skin), gaussianWithin(textureBefore, 4, skin),
                         skin);
            double skinShift = 0;
            for (size_t k = 0; k < 3; ++k)
                skinShift = std::max(skinShift, 255 * std::abs(meanOf(after[k], paintedSkin) -
                                                               meanOf(before[k], paintedSkin)));
            std::printf("  the texture's 1-4 px x%.2f, the painted skin's colour moved %.2f levels\n",
                        textureBand, skinShift);
            EXPECT_LE(textureBand, 0.5);
            EXPECT_LE(skinShift, 1.0);
            // The band and the colour of the patches themselves, where they are met: the colour of the lit
            // patches where the skin is covered whole on the face of about 90 pixels moves by more than a
            // level, and the band with their modelling is over half where it is covered whole or the face is
            // that small.
            if (passes == 1 || scale >= 4) {
                EXPECT_LE(r.shift, 1.0);
            }
            if (passes == 1 && scale >= 4) {
                EXPECT_LE(r.band, 0.5);
            }
        }
}

// A mask painted at half strength gives Smooth Skin's change at half strength, the skin's tone kept
// included: the layer's mask scales the whole change once, so the tone the smoothing puts back may not
// shrink with the mask as well (that would leave a half-painted face darker where its skin is lit and
// lighter where it is dark). On the portrait's face, every pixel within a fifth of a level.
TEST(SmoothSkinEffect, HalfAMaskMakesHalfTheChange)
{
    const QString effect = QStringLiteral("SkinSmoothing");
    ASSERT_TRUE(effectNamed(effect));
    QImage picture = QImage(PortraitPath).convertToFormat(QImage::Format_RGB32);
    picture.setColorSpace(QColorSpace());
    const Image photo = Image::fromQImage(picture);
    const double faceWidth = detectedFaceWidth(photo);
    // The face only (the portrait's columns 180 to 270, rows 70 to 160), moved to the origin.
    const AffineTransform toOrigin = AffineTransform::translation(-180, -(512 - 160));
    const auto planes = [&](const Image& image) {
        return planesOf(image.imageByApplyingTransform(toOrigin), 90);
    };
    const auto before = planes(photo),
               whole = planes(composed(effect, photo, greyMask(512, 512, 1), 1, faceWidth)),
               half = planes(composed(effect, photo, greyMask(512, 512, 0.5), 1, faceWidth));
    double worst = 0;
    for (size_t k = 0; k < 3; ++k)
        for (size_t i = 0; i < before[k].v.size(); ++i)
            worst = std::max(worst, 255 * std::abs(half[k].v[i] - 0.5 * (before[k].v[i] + whole[k].v[i])));
    std::printf("Smooth Skin with a mask at half strength: at most %.2f levels from half the change\n",
                worst);
    EXPECT_LE(worst, 0.2);
}

// Remove Shine at full intensity, painted over a whole face, takes the shine down and leaves the rest
// of the skin: on faces of 40 and 250 pixels set in a photo of 800 (dark hair and background around
// them), with an oily highlight on the cheek, the highlight loses at least half of what it stands above
// the skin while the skin away from it moves by at most 2 levels in the mean.
TEST(RemoveShineEffect, TakesOnlyTheShineDown)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("ShineRemoval")));
    constexpr int Photo = 800;
    for (const double face : {40.0, 250.0}) {
        const SyntheticFace f = syntheticFace(face);
        // The highlight: a soft, nearly white patch on the cheek below the eye.
        const double hx = f.side / 2.0 - 0.2 * face, hy = f.side / 2.0 + 0.05 * face, hr = 0.06 * face + 1;
        Bitmap shine(f.side, f.side, Bitmap::Format::RGBAf);
        for (int y = 0; y < f.side; ++y) {
            float* row = reinterpret_cast<float*>(shine.mutableRow(y));
            for (int x = 0; x < f.side; ++x) {
                const float a = float(0.75 * std::exp(-std::pow(std::hypot(x - hx, y - hy) / hr, 2)));
                row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0.97f * a, row[4 * x + 3] = a;
            }
        }
        const double offset = (Photo - f.side) / 2.0;
        const AffineTransform place = AffineTransform::translation(offset, offset);
        const Image ground =
            Image::constantColor(Color(0.16, 0.12, 0.1)).imageByCroppingToRect(Rect(0, 0, Photo, Photo));
        const Image photo = Image::fromBitmap(shine)
                                .imageByCompositingOverImage(f.image)
                                .imageByApplyingTransform(place)
                                .imageByCompositingOverImage(ground);
        const Image mask = maskOf(Photo, Photo, [&](int x, int y) {
            const double fx = x - offset, fy = f.side - 1 - (y - offset);
            return fx >= 0 && fy >= 0 && fx < f.side && fy < f.side;
        });
        const Image after = composed(QStringLiteral("ShineRemoval"), photo, mask, 1, 1.6 * face);
        const Rect area(offset, offset, f.side, f.side);
        const Levels a = levels(photo, area), b = levels(after, area);
        double skinChange = 0, above = 0, left = 0;
        int skin = 0, highlight = 0;
        const double base = 255 * 0.8 * (0.299 + 0.587 * 0.8 + 0.114 * 0.68);
        for (int y = 0; y < f.side; ++y)
            for (int x = 0; x < f.side; ++x) {
                const int row = f.side - 1 - y; // the face's rows are top-down
                const double d = std::hypot(x - hx, row - hy);
                const auto p = a.at(int(offset) + x, int(offset) + y),
                           q = b.at(int(offset) + x, int(offset) + y);
                if (d <= 0.5 * hr) {
                    above += lumaChroma(p).first - base, left += lumaChroma(q).first - base, ++highlight;
                } else if (d > 2.5 * hr && f.skin[size_t(row * f.side + x)]) {
                    skinChange += largestChannelChange(p, q), ++skin;
                }
            }
        std::printf(
            "Remove Shine on a face of %.0f px: the highlight stands %.0f levels above the skin, then %.0f; "
            "the skin elsewhere moved %.2f levels\n",
            face, above / highlight, left / highlight, skinChange / skin);
        EXPECT_LE(left / highlight, 0.5 * above / highlight) << face;
        EXPECT_LE(skinChange / skin, 2) << face;
    }
}

// Tan painted with its own smart brush over the portrait's face (rows across it from the brow to the
// chin, a brush a quarter or an eighth of the face wide), at its own size and enlarged bicubically and
// with Lanczos, and as a small face in a group photo (reduced to 0.4, a face of 60 pixels, where the whites
// are blended into the lids and lashes and are as coloured as pale skin), also enlarged four times as a
// retoucher zooms into it (the whites then blurred into the iris over several pixels):
// the brush keeps off the whites of the eyes (at most 0.05 of them covered, where each white is a pixel or
// two between the lashes and the lids and the corners' whites are shaded pink like the lids; 0.1 on the
// portrait reduced to 0.3, a face of 45 pixels, whose rows cross the eyes' dark bands) and still
// paints the skin, so that Tan yellows the whites by two fifths of what it warms the cheek at most (the
// cheek's blue falls by 4 levels at least).
TEST(TanEffect, WarmsTheSkinAndNotTheWhitesOfTheEyes)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("Tan")));
    struct Case
    {
        double size;
        Resampling how;
        bool smallFace; // the portrait reduced to `size` as a group photo shows a face
        int enlarge;    // a small face enlarged that many times bicubically, as a retoucher zooms into it
        double whites;  // the most of the whites the brush may cover
    };
    // On the face of 45 pixels each white is a third of a pixel or less: the pixels that hold it are
    // mostly lid and lash, and the lower lid's are as coloured as the skin beside them.
    for (const auto& [size, how, smallFace, enlarge, whites] :
         {Case{1.0, Resampling::Bicubic, false, 1, 0.05},
          {2.0, Resampling::Bicubic, false, 1, 0.05},
          {4.0, Resampling::Bicubic, false, 1, 0.05},
          {1.5, Resampling::Lanczos, false, 1, 0.05},
          {3.0, Resampling::Lanczos, false, 1, 0.05},
          {0.4, Resampling::Bicubic, true, 1, 0.05},
          {0.4, Resampling::Bicubic, true, 4, 0.05},
          {0.3, Resampling::Bicubic, true, 1, 0.1}})
        for (const double brush : {0.25, 0.12}) {
            const Image photo = smallFace ? smallFacePortrait(size, enlarge) : scaledPortrait(size, how);
            const double scale = photo.extent().width() / 512;
            const double detected = detectedFaceWidth(photo);
            const double face = detected > 0 ? detected : 149 * scale;
            const Rect face1x(185, 512 - 170, 80, 95); // y up, at the portrait's own size
            const Rect area(face1x.minX() * scale, face1x.minY() * scale, face1x.width() * scale,
                            face1x.height() * scale);
            const Image mask = sweptWithSmartBrush(QStringLiteral("Tan"), photo, area, brush * face, face, 1);
            const Image after = composed(QStringLiteral("Tan"), photo, mask, -1, face);
            const Rect extent = photo.extent();
            const Levels a = levels(photo, extent), b = levels(after, extent);
            const Pixels m = render(mask, extent);
            const auto at = [&](const QPoint& p) {
                return QPoint(int((p.x() + 0.5) * scale), int((512 - p.y() - 0.5) * scale));
            };
            double covered = 0, whiteBlue = 0, cheekBlue = 0;
            for (const QPoint& w : portraitWhites()) {
                const QPoint p = at(w);
                covered += m.at(p.x(), p.y())[1] / double(portraitWhites().size());
                whiteBlue +=
                    (b.at(p.x(), p.y())[2] - a.at(p.x(), p.y())[2]) / double(portraitWhites().size());
            }
            int cheek = 0;
            for (int y = 122; y < 132; ++y)
                for (int x = 202; x < 212; ++x, ++cheek) {
                    const QPoint p = at(QPoint(x, y));
                    cheekBlue += b.at(p.x(), p.y())[2] - a.at(p.x(), p.y())[2];
                }
            cheekBlue /= cheek;
            std::printf("Tan with a brush %.2f of the face wide on the %s at %.2fx: whites covered "
                        "%.2f, their blue "
                        "%+.1f levels; the cheek's blue %+.1f levels\n",
                        brush, smallFace ? (enlarge > 1 ? "enlarged small face" : "small face") : "portrait",
                        scale, covered, whiteBlue, cheekBlue);
            EXPECT_LE(covered, whites) << scale << " " << brush;
            EXPECT_GE(whiteBlue, 0.4 * cheekBlue) << scale << " " << brush;
            EXPECT_LE(cheekBlue, -4) << scale << " " << brush;
        }
}

// Whiten Eyes through its own smart brush, swept once across each eye of the portrait (rows along the
// opening, a brush about as tall as it) at the brush's default hardness: the whites lift by 12 levels of
// luma at least at the default intensity, at the portrait's own size and enlarged.
TEST(WhitenEyesEffect, LiftsTheWhitesThroughItsOwnBrush)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("WhiterEyes")));
    const auto& openings = portraitOpenings();
    for (const double scale : {1.0, 2.0, 4.0}) {
        const Image photo = scaledPortrait(scale, Resampling::Bicubic);
        const double face = detectedFaceWidth(photo);
        const Rect extent = photo.extent();
        std::vector<Rect> areas;
        for (const auto& o : openings)
            areas.emplace_back((o.centre.x() - o.half.width()) * scale,
                               (512 - o.centre.y() - 0.5 * o.half.height()) * scale,
                               2 * o.half.width() * scale, o.half.height() * scale);
        const Image mask =
            sweptWithSmartBrush(QStringLiteral("WhiterEyes"), photo, areas, 1.2 * 3.8 * scale, face, 1);
        const Image after = composed(QStringLiteral("WhiterEyes"), photo, mask, -1, face);
        const Levels a = levels(photo, extent), b = levels(after, extent);
        const Pixels m = render(mask, extent);
        double lift = 0, covered = 0;
        for (const QPoint& w : portraitWhites()) {
            const int x = int((w.x() + 0.5) * scale), y = int((512 - w.y() - 0.5) * scale);
            lift += (lumaChroma(b.at(x, y)).first - lumaChroma(a.at(x, y)).first) /
                    double(portraitWhites().size());
            covered += m.at(x, y)[1] / double(portraitWhites().size());
        }
        std::printf(
            "Whiten Eyes through its brush on the portrait at %.0fx: whites covered %.2f, lifted %+.1f "
            "levels\n",
            scale, covered, lift);
        EXPECT_GE(lift, 12) << scale;
    }
}

namespace {

// The skin of the portrait's face at `scale` times its size (pixels, y up): an ellipse from the brow to
// the chin, less the eyes, brows, nostrils and mouth.
bool portraitSkin(double scale, int x, int y)
{
    const double px = (x + 0.5) / scale, py = 512 - (y + 0.5) / scale;
    const double dx = (px - 224) / 40, dy = (py - 135) / 48;
    if (dx * dx + dy * dy > 1 || py < 88)
        return false;
    const bool eyes = py > 90 && py < 110 && ((px > 190 && px < 215) || (px > 234 && px < 262));
    const bool mouth = py > 142 && py < 170 && px > 205 && px < 250;
    const bool nose = py > 118 && py < 132 && px > 215 && px < 240;
    return !eyes && !mouth && !nose;
}

// What Remove Shine did to the portrait's skin (levels of luma): how far its brightest 3 % (the hot
// spots) and its brightest 1 % (their white-hot cores) stand above the median skin before and after, and
// how much the skin between the median and the 90th percentile and below the median moved in the mean.
struct ShineFigures
{
    double hotBefore = 0, hotAfter = 0, coreBefore = 0, coreAfter = 0, rest = 0, lower = 0;
};

ShineFigures shineFigures(const Image& photo, const Image& after, double scale)
{
    const Rect area(170 * scale, (512 - 190) * scale, 110 * scale, 110 * scale);
    const Levels a = levels(photo, area.integral()), b = levels(after, area.integral());
    std::vector<std::pair<double, double>> lumas; // before, after
    for (int y = int(area.minY()); y < int(area.maxY()); ++y)
        for (int x = int(area.minX()); x < int(area.maxX()); ++x)
            if (portraitSkin(scale, x, y))
                lumas.emplace_back(lumaChroma(a.at(x, y)).first, lumaChroma(b.at(x, y)).first);
    std::sort(lumas.begin(), lumas.end());
    const double median = lumas[lumas.size() / 2].first;
    ShineFigures f;
    int hot = 0, cores = 0, others = 0, lowers = 0;
    for (size_t i = 0; i < lumas.size(); ++i) {
        if (i >= size_t(0.99 * double(lumas.size())))
            f.coreBefore += lumas[i].first - median, f.coreAfter += lumas[i].second - median, ++cores;
        if (i >= size_t(0.97 * double(lumas.size()))) {
            f.hotBefore += lumas[i].first - median, f.hotAfter += lumas[i].second - median, ++hot;
        } else if (i >= lumas.size() / 2 && i < size_t(0.9 * double(lumas.size()))) {
            f.rest += std::abs(lumas[i].second - lumas[i].first), ++others;
        }
        if (i < lumas.size() / 2)
            f.lower += std::abs(lumas[i].second - lumas[i].first), ++lowers;
    }
    f.hotBefore /= hot, f.hotAfter /= hot, f.coreBefore /= cores, f.coreAfter /= cores;
    f.rest /= others, f.lower /= lowers;
    return f;
}

} // namespace

// Remove Shine at its default intensity over the skin of the portrait's face (the eyes, nostrils and
// mouth left out), at its own size and enlarged: the brightest 3 % of the skin comes down by half at
// least of what it stands above the median skin, while the darker half of the skin keeps its level (a
// quarter of a level at most).
TEST(RemoveShineEffect, TakesTheHotSpotsOffThePortrait)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("ShineRemoval")));
    for (const double scale : {1.0, 2.0, 4.0}) {
        const Image photo = scaledPortrait(scale, Resampling::Bicubic);
        const double face = detectedFaceWidth(photo);
        const int side = int(photo.extent().width());
        const Image mask = maskOf(side, side, [&](int x, int y) { return portraitSkin(scale, x, y); });
        const ShineFigures f =
            shineFigures(photo, composed(QStringLiteral("ShineRemoval"), photo, mask, -1, face), scale);
        std::printf(
            "Remove Shine on the portrait at %.0fx: the brightest 3%% stand %.1f levels above the median, "
            "then %.1f; the skin between the median and the 90th percentile moved %.2f levels, below the "
            "median %.2f\n",
            scale, f.hotBefore, f.hotAfter, f.rest, f.lower);
        EXPECT_LE(f.hotAfter, 0.5 * f.hotBefore) << scale;
        EXPECT_LE(f.lower, 0.25) << scale;
    }
}

// Remove Shine painted with its own smart brush over the portrait's face as a retoucher covers the skin
// (rows from the brow to the chin): with a brush a quarter of the face wide, once and again between the
// first's rows, and with a small brush once, whose strokes cross a shine from the skin beside it. The
// brush paints the shine's white-hot cores, as pale as the whites of the eyes, along with the rest of the
// skin, so the hot spots and their cores still come down by half at least, at the portrait's own size
// and enlarged.
TEST(RemoveShineEffect, TakesTheHotSpotsOffThePortraitThroughItsOwnBrush)
{
    ASSERT_TRUE(effectNamed(QStringLiteral("ShineRemoval")));
    for (const double scale : {1.0, 2.0, 4.0})
        for (const auto& [brush, passes] : {std::pair{0.25, 2}, {0.07, 1}}) {
            const Image photo = scaledPortrait(scale, Resampling::Bicubic);
            const double face = detectedFaceWidth(photo);
            const Rect area(185 * scale, (512 - 170) * scale, 80 * scale, 95 * scale);
            const Image mask =
                sweptWithSmartBrush(QStringLiteral("ShineRemoval"), photo, area, brush * face, face, passes);
            const ShineFigures f =
                shineFigures(photo, composed(QStringLiteral("ShineRemoval"), photo, mask, -1, face), scale);
            std::printf("Remove Shine through a brush %.2f of the face wide (passes: %d) on the portrait at "
                        "%.0fx: the brightest 3%% stand %.1f levels above the median, then %.1f; the "
                        "brightest 1%% %.1f, then %.1f\n",
                        brush, passes, scale, f.hotBefore, f.hotAfter, f.coreBefore, f.coreAfter);
            EXPECT_LE(f.hotAfter, 0.5 * f.hotBefore) << scale << " " << brush;
            EXPECT_LE(f.coreAfter, 0.5 * f.coreBefore) << scale << " " << brush;
        }
}
