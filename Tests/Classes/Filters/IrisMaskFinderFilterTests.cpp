#include "LibraryTestSupport.h"

#include "Platform/Foundation/Log.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

const Pixel Sclera{0.9f, 0.88f, 0.86f, 1};
const Pixel Lid{0.85f, 0.65f, 0.55f, 1};
const Pixel Pupil{0.02f, 0.02f, 0.02f, 1};
const Pixel Glint{0.97f, 0.97f, 0.97f, 1};
const Color IrisColour(0.35, 0.5, 0.65);

// An eye around (40, 30): a blue iris of radius 12 whose fibres vary in lightness by a fifth, a black
// pupil of radius 4 (unless left out), a catch light, the upper lid over the iris's top and the white of
// the eye elsewhere.
Grid eye(bool withPupil)
{
    return Grid::from(80, 60, [=](int x, int y) {
        const double dx = x + 0.5 - 40, dy = y + 0.5 - 30, d = std::hypot(dx, dy);
        if (y >= 39)
            return Lid;
        if (x >= 36 && x <= 37 && y >= 33 && y <= 34)
            return Glint;
        if (withPupil && d <= 4)
            return Pupil;
        if (d <= 12) {
            const float light = 1.0f + 0.2f * float(std::sin(std::atan2(dy, dx) * 23));
            return Pixel{float(IrisColour.red()) * light, float(IrisColour.green()) * light,
                         float(IrisColour.blue()) * light, 1};
        }
        return Sclera;
    });
}

FilterPtr irisFilter(const Grid& image, double pupilRadius, double boolPupil)
{
    FilterPtr filter = Filter::create(QStringLiteral("GMIrisMaskFinderFilter"));
    filter->setDefaults();
    setImage(filter, image.image());
    filter->setValue(QVariant::fromValue(Vector(40, 30)), QStringLiteral("inputCenter"));
    filter->setValue(14.0, QStringLiteral("inputOuterRadius"));
    filter->setValue(pupilRadius, QStringLiteral("inputPupilRadius"));
    filter->setValue(0.19, QStringLiteral("inputTolerance"));
    filter->setValue(QVariant::fromValue(IrisColour), QStringLiteral("inputRefColorLight"));
    filter->setValue(boolPupil, QStringLiteral("inputBoolPupil"));
    return filter;
}

} // namespace

TEST(GMIrisMaskFinderFilter, DefaultsAndTheMissingTolerance)
{
    FilterPtr filter = Filter::create(QStringLiteral("GMIrisMaskFinderFilter"));
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputCenter").value<Vector>(), Vector(20, 20));
    EXPECT_EQ(filter->value("inputOuterRadius").toDouble(), 16.0);
    EXPECT_EQ(filter->value("inputPupilRadius").toDouble(), 10.0);
    EXPECT_EQ(filter->value("inputBoolPupil").toDouble(), 0.0);
    EXPECT_EQ(filter->value("inputRefColorLight").value<Vector>(), Vector(0, 0, 0, 1));
    EXPECT_FALSE(filter->value("inputTolerance").isValid());
    setImage(filter, eye(true).image());
    {
        LogCapture log;
        EXPECT_TRUE(output(filter).isNull()); // no tolerance, no mask
    }
    filter->setValue(0.19, QStringLiteral("inputTolerance"));
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 80, 60));
}

// The mask covers the iris, its fibres light and dark alike, and leaves out the pupil (unless asked to
// take it), the catch light, the lid, the white of the eye and everything beyond the outer radius. A
// pupil radius of 400 means none was found: nothing is cut out around the centre.
TEST(GMIrisMaskFinderFilter, MasksTheIrisAroundTheClick)
{
    enum Region
    {
        Iris,
        PupilRegion,
        Other
    };
    const Grid withPupil = eye(true), noPupil = eye(false);
    struct Case
    {
        const char* name;
        const Grid* image;
        double pupilRadius, boolPupil;
        bool pupilCovered;
    };
    const Case cases[] = {{"pupil left out", &withPupil, 5, 0, false},
                          {"pupil taken", &withPupil, 5, 1, true},
                          {"no pupil found", &noPupil, 400, 0, true}};
    for (const Case& c : cases) {
        const Image out = output(irisFilter(*c.image, c.pupilRadius, c.boolPupil));
        const Grid got = Grid::rendered(out, 80, 60);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                const Pixel& p = got.at(x, y);
                // A draw stroke: coverage in green and alpha, nothing in red and blue.
                ASSERT_EQ(p[0], 0.0f);
                ASSERT_EQ(p[2], 0.0f);
                ASSERT_NEAR(p[1], p[3], 1e-6f);
                const double d = std::hypot(x + 0.5 - 40, y + 0.5 - 30);
                const Pixel& source = c.image->at(x, y);
                const bool plainIris = d >= 6 && d <= 11 && source != Lid && source != Glint;
                const Region region = plainIris ? Iris : (d <= 3 ? PupilRegion : Other);
                const bool otherwise = source == Lid || source == Glint || source == Sclera || d > 15;
                const std::string where =
                    std::string(c.name) + " at " + std::to_string(x) + "," + std::to_string(y);
                if (region == Iris) {
                    EXPECT_GT(p[3], 0.9f) << where;
                } else if (region == PupilRegion) {
                    EXPECT_EQ(p[3] > 0.9f, c.pupilCovered) << where;
                } else if (otherwise) {
                    EXPECT_LT(p[3], 0.05f) << where;
                }
            }
    }
}

// A catch light is never iris, however dim: on a dark iris in shade it may be darker than the white
// beside the limbus (which makes a grey reflection no lighter than the white count as iris by its
// colour), and it is told by its shape, a small spot lighter than the iris all round it. The iris's own
// fibres, as light as the catch light against the iris's mean but running on along the rays, stay iris.
TEST(GMIrisMaskFinderFilter, LeavesADimCatchLightOnADarkIris)
{
    const Color darkIris(0.1, 0.08, 0.06);
    const Pixel dimWhite{0.32f, 0.32f, 0.31f, 1};
    const Pixel catchLight{0.27f, 0.27f, 0.27f, 1};
    const Grid image = Grid::from(80, 60, [&](int x, int y) {
        const double dx = x + 0.5 - 40, dy = y + 0.5 - 30, d = std::hypot(dx, dy);
        if (std::hypot(x + 0.5 - 45, y + 0.5 - 26) <= 2)
            return catchLight;
        if (d <= 4)
            return Pupil;
        if (d <= 12) {
            const float light = 1.0f + 0.5f * float(std::sin(std::atan2(dy, dx) * 23));
            return Pixel{float(darkIris.red()) * light, float(darkIris.green()) * light,
                         float(darkIris.blue()) * light, 1};
        }
        return dimWhite;
    });
    FilterPtr filter = irisFilter(image, 5, 0);
    filter->setValue(QVariant::fromValue(darkIris), QStringLiteral("inputRefColorLight"));
    for (const double white : {0.0, 0.32}) {
        filter->setValue(white, QStringLiteral("inputWhiteLuma"));
        const Grid got = Grid::rendered(output(filter), 80, 60);
        double spot = 0, iris = 0;
        int spots = 0, irises = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x) {
                const double d = std::hypot(x + 0.5 - 40, y + 0.5 - 30);
                const double c = std::hypot(x + 0.5 - 45, y + 0.5 - 26);
                if (c <= 1.5)
                    spot += got.at(x, y)[3], ++spots;
                else if (c > 4 && d >= 6 && d <= 10)
                    iris += got.at(x, y)[3], ++irises;
            }
        ASSERT_GT(spots, 0);
        EXPECT_LE(spot / spots, 0.1) << "white " << white;
        EXPECT_GE(iris / irises, 0.9) << "white " << white;
    }
}
