#pragma once

#include "BrushTestSupport.h"
#include "SyntheticEye.h"

#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Platform/Image/FaceDetector.h"

#include <QImage>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

namespace brushtest {

inline pf::Image transparentImage(double w, double h)
{
    return pf::Image::constantColor(pf::Color(0, 0, 0, 0)).imageByCroppingToRect(pf::Rect(0, 0, w, h));
}

// A brush handler over a photo as the window sets one up for a new layer: an empty mask, a transparent
// additional image, at the photo's own scale.
inline void setUpOver(GMBrushHandler& handler, const pf::Image& photo)
{
    const pf::Rect extent = photo.extent();
    handler.setBackgroundImage(photo);
    handler.setStartMaskImage(greyMask(extent.width(), extent.height(), 0));
    handler.setStartAdditionalImage(transparentImage(extent.width(), extent.height()));
    handler.setScaleFactor(1);
}

// One stroke of a user's tool through the brush handler, as the zoom renderer runs it: brush-down with
// the width of the face nearest the point, every point, brush-up. The stroke's clean mask.
inline pf::Image strokeMask(const pf::Image& photo, const OVBrush& brush,
                            const std::vector<pf::Point>& pixels, double faceWidth)
{
    const pf::Rect extent = photo.extent();
    GMBrushHandler handler;
    setUpOver(handler, photo);
    std::vector<pf::Point> points;
    for (const pf::Point& p : pixels)
        points.emplace_back(p.x / extent.width(), p.y / extent.height());
    handler.brushDownAtPoint(brush, points.front(), faceWidth);
    for (const pf::Point& p : points)
        handler.processPoint(p);
    const OVContentContainerPtr stroke = handler.brushUp();
    return stroke ? stroke->imageContainer()->image() : pf::Image();
}

// A click of the click tool (a brush of that diameter) at a point of a photo, in pixels.
inline pf::Image clickMask(const pf::Image& photo, pf::Point at, double brushSize, double faceWidth)
{
    OVBrush click;
    click.type = OVBrush::Click;
    click.size = brushSize;
    click.pressure = 1;
    return strokeMask(photo, click, {at}, faceWidth);
}

// The mean mask value over each region of an eye (NaN where the region has no pixel), and the whole
// mask's sum in pixels.
struct Coverage
{
    std::map<SyntheticEye::Region, double> mean;
    double total = 0;

    double of(SyntheticEye::Region r) const
    {
        const auto it = mean.find(r);
        return it == mean.end() ? std::numeric_limits<double>::quiet_NaN() : it->second;
    }
    // The iris taken, and nothing of the pupil, the catch light, the white or the lids (the last two
    // held to `around` when it is given): a region without pixels does not count.
    bool selectsTheIris(double annulus = 0.85, double others = 0.1, double around = -1) const
    {
        const auto atMost = [&](SyntheticEye::Region r, double limit) { return !(of(r) > limit); };
        const double outside = around >= 0 ? around : others;
        return !(of(SyntheticEye::Region::Annulus) < annulus) &&
               atMost(SyntheticEye::Region::Pupil, others) &&
               atMost(SyntheticEye::Region::CatchLight, others) &&
               atMost(SyntheticEye::Region::Sclera, outside) && atMost(SyntheticEye::Region::Lid, outside);
    }
    std::string describe() const
    {
        char text[160];
        std::snprintf(text, sizeof text, "annulus %.2f pupil %.2f catch %.2f sclera %.2f lid %.2f (%.0f px)",
                      of(SyntheticEye::Region::Annulus), of(SyntheticEye::Region::Pupil),
                      of(SyntheticEye::Region::CatchLight), of(SyntheticEye::Region::Sclera),
                      of(SyntheticEye::Region::Lid), total);
        return text;
    }
};

template <typename RegionOf>
Coverage coverageOf(const pf::Image& mask, const pf::Rect& area, RegionOf regionOf)
{
    Coverage coverage;
    if (mask.isNull())
        return coverage;
    const Pixels pixels = render(mask, area);
    std::map<SyntheticEye::Region, std::pair<double, int>> sums;
    for (int y = int(area.minY()); y < int(area.maxY()); ++y)
        for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
            const double v = pixels.at(x, y)[1];
            auto& [sum, n] = sums[regionOf(x, y)];
            sum += v;
            ++n;
            coverage.total += v;
        }
    for (const auto& [region, sum] : sums)
        coverage.mean[region] = sum.first / sum.second;
    return coverage;
}

// Where a click lands: at the centre, or a share of the iris's radius away in one of eight directions.
inline pf::Point offCentre(pf::Point centre, double radius, double share, int direction)
{
    const double angle = direction * M_PI / 4;
    return pf::Point(centre.x + share * radius * std::cos(angle),
                     centre.y + share * radius * std::sin(angle));
}

// The width the face detector gives the face of a photo (its largest face), 0 when it finds none.
inline double detectedFaceWidth(const pf::Image& photo)
{
    static pf::FaceDetector detector;
    const auto faces = detector.features(photo);
    return faces.empty() ? 0.0 : faces.front().bounds.width();
}

// Counts cases and those that met a target.
struct Tally
{
    int cases = 0, met = 0;
    void add(bool ok)
    {
        ++cases;
        met += ok ? 1 : 0;
    }
    double share() const { return cases ? double(met) / cases : 0.0; }
};

// The matrix of synthetic eyes the eye tools are judged on: irises of 3 to 60 pixels in radius, light
// blue, green, hazel and dark brown, the upper lid over none, a third or half of the iris, with and
// without a catch light; every other pair with grain of 4 levels.
struct MatrixEye
{
    const SyntheticEye& eye;
    int index;
    double radius;
    const char* colour;
    double lid;
    bool catchLight;

    // Where the tool is used on this eye: two of the centre and 0.4 and 0.75 of the radius from it,
    // turning from eye to eye, as the directions do, so that the matrix holds each place in all eight
    // directions.
    std::vector<std::pair<double, pf::Point>> places() const
    {
        std::vector<std::pair<double, pf::Point>> at;
        for (int s = 0; s < 3; ++s) {
            if (s == index % 3)
                continue;
            const double share = s == 0 ? 0.0 : s == 1 ? 0.4 : 0.75;
            at.emplace_back(share, offCentre(eye.centre(), radius, share, (index * 3 + s * 5) % 8));
        }
        return at;
    }
    // The eye and what lies around it, for measuring.
    pf::Rect area() const
    {
        return pf::Rect(eye.centre().x - 2.5 * radius - 6, eye.centre().y - 2.5 * radius - 6, 5 * radius + 12,
                        5 * radius + 12)
            .integral();
    }
    std::string name() const
    {
        char text[80];
        std::snprintf(text, sizeof text, "R %2.0f %-10s lid %2.0f%% %s", radius, colour, lid * 100,
                      catchLight ? "catch" : "     ");
        return text;
    }
};

template <typename Visit> void forEachMatrixEye(Visit visit)
{
    const double radii[] = {3, 5, 10, 20, 40, 60};
    const std::array<double, 3> colours[] = {SyntheticEye::LightBlue, SyntheticEye::Green,
                                             SyntheticEye::Hazel, SyntheticEye::DarkBrown};
    const char* colourNames[] = {"light blue", "green", "hazel", "dark brown"};
    int index = 0;
    for (const double radius : radii)
        for (size_t colour = 0; colour < 4; ++colour)
            for (const double lid : {0.0, 0.3, 0.5})
                for (const bool catchLight : {false, true}) {
                    SyntheticEye::Look look;
                    look.irisRadius = radius;
                    look.irisColour = colours[colour];
                    look.catchLight = catchLight;
                    look.lidCover = lid;
                    look.grain = ((index + 1) / 2) % 2 * 4.0;
                    look.seed = unsigned(index);
                    const SyntheticEye eye(look);
                    visit(MatrixEye{eye, index, radius, colourNames[colour], lid, catchLight});
                    ++index;
                }
}

// Met targets per value of each axis of the matrix, and the whole.
struct MatrixTally
{
    Tally all;
    std::map<std::string, Tally> byAxis;

    void add(const MatrixEye& e, double share, bool ok)
    {
        all.add(ok);
        byAxis["R " + std::to_string(int(e.radius))].add(ok);
        byAxis[std::string("colour ") + e.colour].add(ok);
        byAxis["lid " + std::to_string(int(e.lid * 100)) + "%"].add(ok);
        byAxis["at " + std::to_string(int(share * 100)) + "% off centre"].add(ok);
        byAxis[e.catchLight ? "catch light" : "no catch light"].add(ok);
    }
    void print(const char* what) const
    {
        for (const auto& [axis, tally] : byAxis)
            std::printf("  %-24s %3d of %3d\n", axis.c_str(), tally.met, tally.cases);
        std::printf("%s over the synthetic matrix: %d of %d cases (%.1f %%)\n", what, all.met, all.cases,
                    100 * all.share());
    }
};

} // namespace brushtest
