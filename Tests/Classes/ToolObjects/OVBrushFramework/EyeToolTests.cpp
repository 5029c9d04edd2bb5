#include "EyeToolSupport.h"
#include "PortraitEyes.h"

#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"

#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>

using namespace pf;
using namespace brushtest;

namespace {

using Region = SyntheticEye::Region;

} // namespace

// A click anywhere on the iris selects it, from the pupil's edge to the limbus, and nothing else: over
// synthetic eyes of every size from 3 to 60 pixels in radius, four iris colours, the upper lid over none,
// a third or half of the iris, with and without a catch light and grain, clicked at the centre and at
// 0.4 and 0.75 of the radius from it in every direction, with the face's width as the detector gives it
// or (without a face) a brush from half to one and a half times the iris. In at least 95 % of the cases
// the annulus is covered at least 0.85 and the pupil, the catch light, the white near the limbus and
// the lids at most 0.1; no click ever paints more than the eye's opening.
TEST(IrisClick, SelectsTheIrisWhereverTheClickLands)
{
    OVIrisMaskBrush::registerClass();
    MatrixTally tally;
    int floods = 0;
    forEachMatrixEye([&](const MatrixEye& e) {
        // Every other pair of eyes has a face around it, as wide as the detector's box around such an iris
        // is (the portrait's irises have a fortieth of its width for their radius); the others are
        // bounded by the brush, from half to one and a half times the iris's diameter.
        const bool face = (e.index / 2) % 2 == 0;
        const double faceWidth = face ? e.radius / 0.025 * (0.85 + 0.1 * (e.index % 4)) : 0.0;
        const double brush = 2 * e.radius * (face ? 1.0 : 0.5 + 0.5 * (e.index % 3));
        for (const auto& [share, click] : e.places()) {
            const Coverage c = coverageOf(clickMask(e.eye.image(), click, brush, faceWidth), e.area(),
                                          [&](int x, int y) { return e.eye.regionOf(x, y); });
            const bool ok = c.selectsTheIris();
            tally.add(e, share, ok);
            if (!ok)
                std::printf("missed: %s click %.2f R %s: %s\n", e.name().c_str(), share,
                            face ? "face " : "brush", c.describe().c_str());
            if (c.total > e.eye.openingArea()) {
                ++floods;
                ADD_FAILURE() << e.name() << ": the click painted " << c.total << " px, more than the eye ("
                              << e.eye.openingArea() << ")";
            }
        }
    });
    tally.print("iris click");
    EXPECT_GE(tally.all.share(), 0.95);
    EXPECT_EQ(floods, 0);
}

// On the portrait at its own size, at four times and at 0.35 times (irises of 14 and of barely more
// than one pixel), a click at the centre and at 0.4 and 0.75 of the iris's radius from it in eight
// directions, with the face's width the detector finds: at 1x and 4x the annulus at least 0.85 and the
// pupil, the catch light and the ring of white and lids outside at most 0.1 in at least 95 % of the
// clicks; at every scale no click paints more than a disc of twice the iris's radius.
TEST(IrisClick, SelectsThePortraitsIrisesAtEveryScale)
{
    ASSERT_TRUE(QFileInfo::exists(portraitPath())) << "the shared test photos are missing";
    OVIrisMaskBrush::registerClass();
    for (const double scale : {0.35, 1.0, 4.0}) {
        const Image photo = scaledPortrait(scale);
        const double faceWidth = detectedFaceWidth(photo);
        Tally tally;
        double annulus = 0, worstPupil = 0, worstCatch = 0, worstRing = 0, largest = 0;
        for (const PortraitEye& eye : portraitEyes()) {
            const auto [centre, radius, area] = scaledEye(eye, scale);
            for (const double share : {0.0, 0.4, 0.75})
                for (int direction = 0; direction < (share > 0 ? 8 : 1); ++direction) {
                    const Point click = offCentre(centre, radius, share, direction);
                    const Coverage c =
                        coverageOf(clickMask(photo, click, 2 * radius, faceWidth), area,
                                   [&](int x, int y) { return portraitRegion(eye, scale, x, y); });
                    largest = std::max(largest, c.total);
                    EXPECT_LE(c.total, M_PI * 4 * radius * radius + 4)
                        << "scale " << scale << ", " << eye.name
                        << " eye: the click painted more than the eye";
                    if (scale < 1)
                        continue;
                    const bool ok = c.selectsTheIris();
                    tally.add(ok);
                    annulus += c.of(Region::Annulus);
                    worstPupil = std::max(worstPupil, c.of(Region::Pupil));
                    worstCatch = std::max(worstCatch, c.of(Region::CatchLight));
                    worstRing = std::max(worstRing, c.of(Region::Sclera));
                    if (!ok)
                        std::printf("portrait %.2fx %s eye, click %.2f R dir %d: %s\n", scale, eye.name,
                                    share, direction, c.describe().c_str());
                }
        }
        std::printf("portrait at %.2fx (face %.0f px): %d of %d clicks, mean annulus %.2f, worst pupil %.2f, "
                    "catch light %.2f, ring %.2f; largest mask %.0f px\n",
                    scale, faceWidth, tally.met, tally.cases, tally.cases ? annulus / tally.cases : 0.0,
                    worstPupil, worstCatch, worstRing, largest);
        if (scale >= 1) {
            EXPECT_GE(tally.share(), 0.95) << "scale " << scale;
        }
    }
}

// On the portrait enlarged four times, where a retoucher sees the mask's outline, a click at the centre
// or off it takes the iris's outer part all round, as far as it shows below the upper lid: in each eighth
// of the ring from 0.75 to 0.92 of the iris's radius, the mean coverage is at least 0.8 (a notch there,
// a reflection over the iris taken for the white, makes Replace Iris a C and Iris Colour leave a strip).
TEST(IrisClick, TakesTheEnlargedPortraitsIrisAllRound)
{
    ASSERT_TRUE(QFileInfo::exists(portraitPath())) << "the shared test photos are missing";
    OVIrisMaskBrush::registerClass();
    constexpr double Scale = 4.0;
    constexpr int Sectors = 8;
    const Image photo = scaledPortrait(Scale);
    const double faceWidth = detectedFaceWidth(photo);
    for (const PortraitEye& eye : portraitEyes()) {
        const auto [centre, radius, area] = scaledEye(eye, Scale);
        for (const double share : {0.0, 0.4})
            for (int direction = 0; direction < (share > 0 ? 8 : 1); direction += 2) {
                const Point click = offCentre(centre, radius, share, direction);
                const Pixels mask = render(clickMask(photo, click, 2 * radius, faceWidth), area);
                std::array<std::pair<double, int>, Sectors> sectors{};
                for (int y = int(area.minY()); y < int(area.maxY()); ++y)
                    for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
                        const double dx = x + 0.5 - centre.x, dy = y + 0.5 - centre.y;
                        const double d = std::hypot(dx, dy);
                        if (d < 0.75 * radius || d > 0.92 * radius ||
                            512 - (y + 0.5) / Scale < topMarkedRow(eye))
                            continue;
                        const double turn = std::atan2(dy, dx) / (2 * M_PI) + 1;
                        auto& [sum, n] = sectors[size_t(int(turn * Sectors) % Sectors)];
                        sum += mask.at(x, y)[1];
                        ++n;
                    }
                for (int k = 0; k < Sectors; ++k) {
                    // Under the upper lid a sector may show nothing of the ring.
                    if (sectors[size_t(k)].second == 0)
                        continue;
                    const double mean = sectors[size_t(k)].first / sectors[size_t(k)].second;
                    EXPECT_GE(mean, 0.8)
                        << eye.name << " eye, click " << share << " R dir " << direction << ": the ring from "
                        << 45 * k << " to " << 45 * (k + 1) << " degrees (counter-clockwise from the right)";
                }
            }
    }
}

// The lashes along the upper lid hang over the top of the portrait's irises as dark and as brown as the
// iris, and the lid's edge is the iris's: a click leaves them, so that Iris Colour does not tint the lash
// line. On the portrait at 1x, 2x and 4x, enlarged with Lanczos and bicubically, both eyes clicked at the
// centre and 0.4 of the radius off it with the face width the detector finds: the lid's rows over the
// iris are covered a quarter at most on average (at 1x a row of the photo is as wide as the lid's soft
// edge), and the marked iris 0.85 at least.
TEST(IrisClick, LeavesTheLashesOverThePortraitsIrises)
{
    ASSERT_TRUE(QFileInfo::exists(portraitPath())) << "the shared test photos are missing";
    OVIrisMaskBrush::registerClass();
    for (const double scale : {1.0, 2.0, 4.0})
        for (const Resampling how : {Resampling::Lanczos, Resampling::Bicubic}) {
            const Image photo = scaledPortrait(scale, how);
            const double faceWidth = detectedFaceWidth(photo);
            double mostLid = 0, leastIris = 1;
            for (const PortraitEye& eye : portraitEyes()) {
                const auto [centre, radius, area] = scaledEye(eye, scale);
                for (const double share : {0.0, 0.4})
                    for (int direction = 0; direction < (share > 0 ? 8 : 1); direction += 2) {
                        const Point click = offCentre(centre, radius, share, direction);
                        const Pixels mask = render(clickMask(photo, click, 2 * radius, faceWidth), area);
                        double lid = 0, iris = 0;
                        int lids = 0, irises = 0;
                        for (int y = int(area.minY()); y < int(area.maxY()); ++y)
                            for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
                                if (onTheLidOverTheIris(eye, scale, x, y))
                                    lid += mask.at(x, y)[1], ++lids;
                                if (portraitRegion(eye, scale, x, y) == Region::Annulus)
                                    iris += mask.at(x, y)[1], ++irises;
                            }
                        ASSERT_GT(lids, 0);
                        ASSERT_GT(irises, 0);
                        EXPECT_LE(lid / lids, 0.25)
                            << scale << "x " << resamplingName(how) << ", " << eye.name << " eye, click "
                            << share << " R dir " << direction;
                        EXPECT_GE(iris / irises, 0.85)
                            << scale << "x " << resamplingName(how) << ", " << eye.name << " eye, click "
                            << share << " R dir " << direction;
                        mostLid = std::max(mostLid, lid / lids);
                        leastIris = std::min(leastIris, iris / irises);
                    }
            }
            std::printf(
                "the portrait at %.0fx (%s): the lid over the iris %.2f covered at most, the iris %.2f "
                "at least\n",
                scale, resamplingName(how), mostLid, leastIris);
        }
}

// A dab of the smart iris brush, on the pupil or anywhere on the iris, with a brush large enough to
// reach across the iris from there, paints the iris and leaves the catch light: over the synthetic
// matrix (every size, colour and lid, with and without a catch light, dabs at the centre and at 0.4 and
// 0.75 of the radius from it) at least 0.7 of the annulus and at most 0.1 of the catch light in at
// least 95 % of the cases; and on both eyes of the portrait at 1x and 4x, dabbed at the centre and off
// it, in every case.
TEST(SmartIrisBrush, PaintsTheIrisFromAnyDabOnTheEye)
{
    MatrixTally tally;
    forEachMatrixEye([&](const MatrixEye& e) {
        const OVBrush smart = smartBrush(QStringLiteral("irisBrush"), 3.5 * e.radius + 6);
        // One of the places per eye: the brush's walks make a dab cost far more than a click.
        for (const auto& [share, dab] : e.places()) {
            if (share != e.places()[size_t(e.index / 3 % 2)].first)
                continue;
            const Coverage c = coverageOf(strokeMask(e.eye.image(), smart, {dab}, 0), e.area(),
                                          [&](int x, int y) { return e.eye.regionOf(x, y); });
            const bool ok = !(c.of(Region::Annulus) < 0.7) && !(c.of(Region::CatchLight) > 0.1);
            tally.add(e, share, ok);
            if (!ok)
                std::printf("missed: %s dab %.2f R: %s\n", e.name().c_str(), share, c.describe().c_str());
        }
    });
    tally.print("smart iris brush");
    EXPECT_GE(tally.all.share(), 0.95);

    for (const double scale : {1.0, 4.0}) {
        const Image photo = scaledPortrait(scale);
        const double faceWidth = detectedFaceWidth(photo);
        for (const PortraitEye& eye : portraitEyes()) {
            const auto [centre, radius, area] = scaledEye(eye, scale);
            const OVBrush smart = smartBrush(QStringLiteral("irisBrush"), 3.5 * radius + 6);
            for (const auto& [share, direction] : {std::pair{0.0, 0}, {0.4, 3}, {0.75, 6}}) {
                const Point dab = offCentre(centre, radius, share, direction);
                const Coverage c = coverageOf(strokeMask(photo, smart, {dab}, faceWidth), area,
                                              [&](int x, int y) { return portraitRegion(eye, scale, x, y); });
                std::printf("smart iris brush on the portrait at %.0fx, %s eye, dab %.2f R: %s\n", scale,
                            eye.name, share, c.describe().c_str());
                EXPECT_GE(c.of(Region::Annulus), 0.7) << scale << "x " << eye.name << " eye, dab " << share;
                EXPECT_LE(c.of(Region::CatchLight), 0.1)
                    << scale << "x " << eye.name << " eye, dab " << share;
            }
        }
    }
}

namespace {

// The matrix of synthetic eyes the iris tools are judged on without a face and with faces of about the
// width the detector gives: every iris colour, the catch light on the pupil, catch lights on the iris,
// or the upper lid over the pupil; the tool (a click, or a dab of the smart iris brush) used with
// brushes as wide as the iris's radius and larger without a face, and with faces from 0.8 to 1.25
// times the true width (an iris's radius is a fortieth of it), at the centre and at 0.4 and 0.75 of the
// radius off it. Each case must take the annulus (0.85 of it at least) and leave the pupil and the catch
// light (a tenth at most) and the lids and the white (a twentieth at most).
struct BoundMatrix
{
    std::vector<double> radii;
    std::vector<double> brushes; // without a face, diameters in radii
    std::vector<double> faces;   // shares of the true face width
    bool dab = false;
};

MatrixTally toolOverTheBounds(const BoundMatrix& m)
{
    OVIrisMaskBrush::registerClass();
    const std::array<double, 3> colours[] = {SyntheticEye::LightBlue, SyntheticEye::Green,
                                             SyntheticEye::Hazel, SyntheticEye::DarkBrown};
    const char* colourNames[] = {"light blue", "green", "hazel", "dark brown"};
    const char* variants[] = {"catch light on the pupil", "catch lights on the iris", "lid over the pupil"};
    MatrixTally tally;
    int index = 0;
    for (const double radius : m.radii)
        for (size_t colour = 0; colour < 4; ++colour)
            for (int variant = 0; variant < 3; ++variant, ++index) {
                SyntheticEye::Look look;
                look.irisRadius = radius;
                look.irisColour = colours[colour];
                look.catchLight = variant == 0;
                look.irisCatchLights = variant == 1;
                look.lidCover = variant == 2 ? 0.5 : 0.0;
                look.grain = index % 2 * 4.0;
                look.seed = unsigned(index);
                const SyntheticEye eye(look);
                const MatrixEye e{eye, index, radius, colourNames[colour], look.lidCover, look.catchLight};
                std::vector<std::pair<double, double>> bounds; // brush diameter, face width
                for (const double b : m.brushes)
                    bounds.emplace_back(b * radius, 0.0);
                for (const double f : m.faces)
                    bounds.emplace_back(2 * radius, f * radius / 0.025);
                int place = index;
                for (const auto& [brush, face] : bounds) {
                    const double share = (place % 3) * 0.4 - (place % 3 == 2 ? 0.05 : 0);
                    const Point at = offCentre(eye.centre(), radius, share, (place * 3) % 8);
                    ++place;
                    const Image mask =
                        m.dab ? strokeMask(eye.image(), smartBrush(QStringLiteral("irisBrush"), brush), {at},
                                           face)
                              : clickMask(eye.image(), at, brush, face);
                    const Coverage c =
                        coverageOf(mask, e.area(), [&](int x, int y) { return eye.regionOf(x, y); });
                    const bool ok = c.selectsTheIris(0.85, 0.1, 0.05);
                    tally.add(e, share, ok);
                    tally.byAxis[variants[variant]].add(ok);
                    tally.byAxis[face > 0 ? "with a face" : "without a face"].add(ok);
                    if (!ok)
                        std::printf("missed: %s, %s, %s %.0f, at %.2f R: %s\n", e.name().c_str(),
                                    variants[variant], face > 0 ? "face" : "brush", face > 0 ? face : brush,
                                    share, c.describe().c_str());
                }
            }
    return tally;
}

// At least 95 % of the cases met, and no iris colour, size or variant under 85 %.
void expectTheBoundsMet(const MatrixTally& tally)
{
    EXPECT_GE(tally.all.share(), 0.95);
    for (const auto& [axis, t] : tally.byAxis) {
        if (axis.rfind("R ", 0) == 0 || axis.rfind("colour ", 0) == 0 || axis.find("catch lights") == 0 ||
            axis.find("catch light on") == 0 || axis.find("lid over") == 0) {
            EXPECT_GE(t.share(), 0.85) << axis;
        }
    }
}

} // namespace

// The iris click and the smart iris brush's dab over the matrix above, sampled: irises of 3 to 40
// pixels (a ring of 3 is a pixel and a half wide, a catch light covers a third of it), no face with
// brushes as wide as the iris's radius and four times it, faces 0.8 and 1.25 times as wide as the true
// one.
TEST(IrisClick, TakesTheIrisWhateverTheBound)
{
    const MatrixTally tally = toolOverTheBounds({{3, 5, 10, 20, 40}, {1, 4}, {0.8, 1.25}, false});
    tally.print("iris click over the bounds");
    expectTheBoundsMet(tally);
}

TEST(SmartIrisBrush, TakesTheIrisWhateverTheBound)
{
    const MatrixTally tally = toolOverTheBounds({{5, 10, 40}, {1, 3}, {1.0}, true});
    tally.print("smart iris dab over the bounds");
    expectTheBoundsMet(tally);
}

// The whole matrix, irises of 3 to 60 pixels, brushes of 1 to 4 radii and faces from 0.8 to 1.25 of
// the true width in steps of 0.05: minutes of work, run by hand (--gtest_also_run_disabled_tests).
TEST(IrisClick, DISABLED_TakesTheIrisWhateverTheBoundFullMatrix)
{
    std::vector<double> faces;
    for (double f = 0.8; f <= 1.2501; f += 0.05)
        faces.push_back(f);
    for (const bool dab : {false, true}) {
        const MatrixTally tally = toolOverTheBounds({{3, 5, 10, 20, 40, 60}, {1, 2, 3, 4}, faces, dab});
        tally.print(dab ? "smart iris dab, full matrix" : "iris click, full matrix");
    }
}

namespace {

// The portrait's irises clicked at the centre and off it, over a list of scales and resamplings, with
// the face width the detector finds there times each of `faceShares`: the figures of the clicks, and
// for every click place, how far the iris found moves and changes size from one face width to another.
struct PortraitFigures
{
    Tally strict; // annulus 0.85 at least, pupil and catch light 0.1 and the white and lids 0.05 at most
    Tally ring;   // the ring taken is the iris: annulus 0.85 at least and white and lids 0.05 at most
    double limbusSpread = 0, centreSpread = 0; // largest, as shares of the iris's radius
};

// The directions a click at that share of the radius off the centre is tried in: one at the centre,
// every `step`-th of the eight otherwise.
std::vector<int> directionsFor(double share, int step)
{
    std::vector<int> directions;
    for (int d = share > 0 ? 1 : 0; d<(share > 0 ? 8 : 1); d += share> 0 ? step : 1)
        directions.push_back(d);
    return directions;
}

PortraitFigures portraitOverScales(const std::vector<double>& scales, const std::vector<Resampling>& hows,
                                   const std::vector<double>& faceShares, const std::vector<double>& shares,
                                   int directionStep)
{
    OVIrisMaskBrush::registerClass();
    PortraitFigures f;
    for (const Resampling how : hows)
        for (const double scale : scales) {
            const Image photo = scaledPortrait(scale, how);
            const double detected = detectedFaceWidth(photo);
            for (const PortraitEye& eye : portraitEyes()) {
                const auto [centre, radius, area] = scaledEye(eye, scale);
                for (const double share : shares)
                    for (const int direction : directionsFor(share, directionStep)) {
                        const Point click = offCentre(centre, radius, share, direction);
                        double smallest = 1e9, largest = 0;
                        std::vector<Point> centres;
                        for (const double faceShare : faceShares) {
                            const double faceWidth = detected * faceShare;
                            const Coverage c =
                                coverageOf(clickMask(photo, click, 2 * radius, faceWidth), area,
                                           [&](int x, int y) { return portraitRegion(eye, scale, x, y); });
                            const bool strict = c.selectsTheIris(0.85, 0.1, 0.05);
                            f.strict.add(strict);
                            const bool ring =
                                !(c.of(Region::Annulus) < 0.85) && !(c.of(Region::Sclera) > 0.05);
                            f.ring.add(ring);
                            if (!strict)
                                std::printf(
                                    "portrait %s %.2fx, face x%.2f, %s eye, click %.2f R dir %d: %s%s\n",
                                    resamplingName(how), scale, faceShare, eye.name, share, direction,
                                    c.describe().c_str(), ring ? "" : " (not the iris's ring)");
                            IrisRadiusFinder finder;
                            finder.setInputCIImage(photo);
                            finder.setInputPoint(click);
                            const IrisRadiusFinder::Iris iris =
                                finder.locateIris(OVIrisMaskBrush::largestIrisRadius(faceWidth, 2 * radius));
                            if (!iris.found)
                                continue;
                            smallest = std::min(smallest, iris.limbusRadius);
                            largest = std::max(largest, iris.limbusRadius);
                            centres.push_back(iris.centre);
                        }
                        if (largest > 0)
                            f.limbusSpread = std::max(f.limbusSpread, (largest - smallest) / radius);
                        for (const Point& a : centres)
                            for (const Point& b : centres)
                                f.centreSpread =
                                    std::max(f.centreSpread, std::hypot(a.x - b.x, a.y - b.y) / radius);
                    }
            }
        }
    return f;
}

} // namespace

// Which part of the eye a click takes does not hang on the face width handed in nor on how the photo
// was enlarged: on the portrait at twice its size enlarged with Lanczos and four times bicubically,
// clicked at the centre and three quarters of the radius off it, with face widths from 0.8 to 1.25 times
// the detected one in steps of 0.05, the iris found moves by a sixth of its radius at most (a pixel or
// two) and changes size by a tenth, and every click takes the iris and nothing else (annulus 0.85 at
// least, pupil and catch light 0.1 and the white and lids 0.05 at most). So too at 1.25x with either
// resampling, where the right iris is 4.5 pixels across its radius and its pupil, a lid's shadow just
// over it, leaves a single pixel of its edge to tell a pupil cut about the wrong middle; there a pixel's
// move is a fifth of the radius.
TEST(IrisClick, TakesThePortraitsIrisWhateverTheFaceWidth)
{
    ASSERT_TRUE(QFileInfo::exists(portraitPath())) << "the shared test photos are missing";
    std::vector<double> faces;
    for (double f = 0.8; f <= 1.2501; f += 0.05)
        faces.push_back(f);
    struct Case
    {
        double scale;
        Resampling how;
        double moves, resizes; // the largest move and change of size, as shares of the radius
    };
    for (const auto& [scale, how, moves, resizes] :
         {Case{1.25, Resampling::Lanczos, 0.3, 0.15}, Case{1.25, Resampling::Bicubic, 0.3, 0.15},
          Case{2.0, Resampling::Lanczos, 0.17, 0.1}, Case{4.0, Resampling::Bicubic, 0.17, 0.1}}) {
        const PortraitFigures f = portraitOverScales({scale}, {how}, faces, {0.0, 0.75}, 4);
        std::printf(
            "portrait at %.2fx (%s) over face widths 0.8 to 1.25: the ring taken is the iris in %d of %d "
            "clicks, every bound met in %d; the iris found moves by %.2f R and changes size by %.2f R "
            "at most\n",
            scale, resamplingName(how), f.ring.met, f.ring.cases, f.strict.met, f.centreSpread,
            f.limbusSpread);
        EXPECT_EQ(f.strict.met, f.strict.cases) << scale;
        EXPECT_LE(f.centreSpread, moves) << scale;
        EXPECT_LE(f.limbusSpread, resizes) << scale;
    }
}

// A sample of the matrix below, in seconds, taking in the scales where the clicks painted the pupil or
// the catch light or missed the ring (at 4.75x bicubically the catch light's blurred rim; at 2.75x and
// 4.25x the dark-brown left eye, whose pupil hardly stands out, was taken so wide that it cut into the
// iris): clicked at the centre and off it in four directions, with the detected face width, every bound
// is met in at least 98 % of the clicks. At 1.5x with Lanczos, where that eye's circle settled a pixel
// towards its catch light on a few clicks and face widths, every click of the full matrix meets them.
TEST(IrisClick, TakesThePortraitsIrisesAtSampledScales)
{
    ASSERT_TRUE(QFileInfo::exists(portraitPath())) << "the shared test photos are missing";
    const PortraitFigures f =
        portraitOverScales({1.0, 2.0, 2.75, 3.25, 4.0, 4.25, 4.75, 5.0, 6.0},
                           {Resampling::Lanczos, Resampling::Bicubic}, {1.0}, {0.0, 0.4, 0.75}, 2);
    std::printf("portrait at sampled scales: every bound met in %d of %d clicks (%.1f %%)\n", f.strict.met,
                f.strict.cases, 100 * f.strict.share());
    EXPECT_GE(f.strict.share(), 0.98);
    const PortraitFigures settled =
        portraitOverScales({1.5}, {Resampling::Lanczos}, {0.8, 1.0, 1.25}, {0.0, 0.4, 0.75}, 1);
    EXPECT_EQ(settled.strict.met, settled.strict.cases);
}

// The portrait from its own size to six times it in steps of a quarter, enlarged with Lanczos and
// bicubically, with the face width the detector finds and 0.8 and 1.25 times it: the figures the
// closing note of a change to the iris tools reports. Minutes of work, run by hand.
TEST(IrisClick, DISABLED_ThePortraitsIrisesFullMatrix)
{
    std::vector<double> scales;
    for (double s = 1; s <= 6.001; s += 0.25)
        scales.push_back(s);
    const PortraitFigures f = portraitOverScales(scales, {Resampling::Lanczos, Resampling::Bicubic},
                                                 {0.8, 1.0, 1.25}, {0.0, 0.4, 0.75}, 1);
    std::printf(
        "portrait 1x to 6x: the ring taken is the iris in %d of %d clicks (%.1f %%), every bound met in "
        "%d (%.1f %%); the iris found moves by %.2f R and changes size by %.2f R at most over the face "
        "widths\n",
        f.ring.met, f.ring.cases, 100 * f.ring.share(), f.strict.met, 100 * f.strict.share(), f.centreSpread,
        f.limbusSpread);
}

// A small face in a group photo (the portrait reduced to 0.3 to 0.4 of its size: a face of 45 to 60
// pixels, irises of one or two), at that size and enlarged four times as a retoucher zooms in, clicked
// at the centre and off it without a face and with face widths from 0.8 to 1.25 of the detected one:
// where the iris can hardly be told from the eye, a click paints the iris or nothing, never a ring or
// a blob around the eye (no mask larger than a disc of twice the iris's radius).
TEST(IrisClick, PaintsNoMoreThanTheIrisOfASmallFace)
{
    ASSERT_TRUE(QFileInfo::exists(portraitPath())) << "the shared test photos are missing";
    OVIrisMaskBrush::registerClass();
    for (const double small : {0.3, 0.35, 0.4})
        for (const int enlarge : {1, 4}) {
            const Image photo = smallFacePortrait(small, enlarge);
            const double scale = small * enlarge;
            const double detected = detectedFaceWidth(photo);
            double largest = 0, beyond = 0;
            for (const double f : {0.0, 0.8, 1.0, 1.25}) {
                const double faceWidth = f > 0 ? (detected > 0 ? detected : 149 * scale) * f : 0;
                for (const PortraitEye& eye : portraitEyes()) {
                    const auto [centre, radius, area] = scaledEye(eye, scale);
                    for (const double share : {0.0, 0.75})
                        for (const int direction : directionsFor(share, 2)) {
                            const Point click = offCentre(centre, radius, share, direction);
                            const Coverage c =
                                coverageOf(clickMask(photo, click, std::max(2 * radius, 6.0), faceWidth),
                                           area, [&](int x, int y) {
                                               return std::hypot(x + 0.5 - centre.x, y + 0.5 - centre.y) >
                                                              2 * radius + 0.5
                                                          ? Region::Sclera
                                                          : Region::Other;
                                           });
                            largest = std::max(largest, c.total / (M_PI * radius * radius));
                            beyond = std::max(beyond, c.of(Region::Sclera));
                            EXPECT_LE(c.total, 4 * M_PI * radius * radius + 4)
                                << small << "x enlarged " << enlarge << ", face x" << f << ", " << eye.name
                                << " eye, click " << share << " R dir " << direction;
                        }
                }
            }
            std::printf(
                "small face at %.2fx enlarged %d times: the largest mask %.2f of the iris's disc, %.3f of "
                "the ring beyond twice its radius at most\n",
                small, enlarge, largest, beyond);
        }
}
