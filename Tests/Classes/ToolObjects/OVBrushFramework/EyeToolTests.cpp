#include "EyeToolSupport.h"
#include "PortraitEyes.h"

#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"

#include <QFileInfo>
#include <QImage>
#include <algorithm>
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
            const Point centre((eye.centre.x) * scale, (512 - eye.centre.y) * scale);
            const double radius = eye.limbus * scale;
            const Rect area =
                Rect(centre.x - 8 * scale - 4, centre.y - 8 * scale - 4, 16 * scale + 8, 16 * scale + 8)
                    .integral();
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
            const Point centre(eye.centre.x * scale, (512 - eye.centre.y) * scale);
            const double radius = eye.limbus * scale;
            const Rect area =
                Rect(centre.x - 8 * scale - 4, centre.y - 8 * scale - 4, 16 * scale + 8, 16 * scale + 8)
                    .integral();
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
