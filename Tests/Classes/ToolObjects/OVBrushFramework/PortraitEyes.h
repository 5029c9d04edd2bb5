#pragma once

#include "SyntheticEye.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <QImage>
#include <QPoint>
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <vector>

namespace brushtest {

inline const QString& portraitPath()
{
    static const QString path = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");
    return path;
}

// The irises of the portrait, marked by hand at its own size (top-down columns and rows): the centre,
// the limbus, and the pixels that are clearly iris, pupil or catch light.
struct PortraitEye
{
    const char* name;
    pf::Point centre; // top-down pixels
    double limbus;
    std::vector<QPoint> iris, pupil, catchLight;
};

inline const std::vector<PortraitEye>& portraitEyes()
{
    static const std::vector<PortraitEye> eyes = {
        {"left",
         {203.5, 100.5},
         3.5,
         {{200, 98},
          {200, 99},
          {200, 100},
          {200, 101},
          {200, 102},
          {201, 103},
          {202, 103},
          {203, 103},
          {204, 103},
          {205, 103},
          {205, 98},
          {206, 99},
          {206, 100},
          {205, 101},
          {205, 102}},
         {{204, 99}, {204, 100}, {204, 101}},
         {{202, 100}, {203, 100}}},
        {"right",
         {246.5, 103.0},
         3.6,
         {{243, 101},
          {244, 101},
          {243, 102},
          {244, 102},
          {249, 102},
          {243, 103},
          {248, 103},
          {249, 103},
          {243, 104},
          {244, 104},
          {245, 104},
          {244, 105},
          {245, 105},
          {246, 105},
          {247, 105},
          {248, 105}},
         {{246, 102}, {246, 103}, {246, 104}, {247, 102}, {247, 103}},
         {{245, 103}}}};
    return eyes;
}

// An eye of the portrait enlarged `scale` times, y up: its middle, its iris's radius and the square
// around it that the tests measure.
struct ScaledEye
{
    pf::Point centre;
    double radius;
    pf::Rect area;
};

inline ScaledEye scaledEye(const PortraitEye& eye, double scale)
{
    const pf::Point centre(eye.centre.x * scale, (512 - eye.centre.y) * scale);
    return {centre, eye.limbus * scale,
            pf::Rect(centre.x - 8 * scale - 4, centre.y - 8 * scale - 4, 16 * scale + 8, 16 * scale + 8)
                .integral()};
}

// The region of a pixel (y up) of the portrait enlarged `scale` times: the hand-marked pixel it lies in
// (only the middle of an enlarged pixel counts, away from its blurred border); the white and the lids
// 2 to 6 of the portrait's pixels outside the limbus.
inline SyntheticEye::Region portraitRegion(const PortraitEye& eye, double scale, int x, int y)
{
    const double px = (x + 0.5) / scale, pyTop = 512 - (y + 0.5) / scale;
    const double d = std::hypot(px - eye.centre.x, pyTop - eye.centre.y);
    if (d >= eye.limbus + 2 && d <= eye.limbus + 6)
        return SyntheticEye::Region::Sclera;
    const double fx = px - std::floor(px), fy = pyTop - std::floor(pyTop);
    if (scale > 1 && (std::abs(fx - 0.5) > 0.3 || std::abs(fy - 0.5) > 0.3))
        return SyntheticEye::Region::Other;
    const QPoint p(int(std::floor(px)), int(std::floor(pyTop)));
    const auto marked = [&](const std::vector<QPoint>& set) {
        return std::find(set.begin(), set.end(), p) != set.end();
    };
    if (marked(eye.iris))
        return SyntheticEye::Region::Annulus;
    if (marked(eye.pupil))
        return SyntheticEye::Region::Pupil;
    if (marked(eye.catchLight))
        return SyntheticEye::Region::CatchLight;
    return SyntheticEye::Region::Other;
}

// The highest row of the portrait (top-down) with a pixel marked as the eye's: above it the upper lid and
// its lashes hide the iris.
inline int topMarkedRow(const PortraitEye& eye)
{
    int top = int(eye.centre.y);
    for (const auto* marked : {&eye.iris, &eye.pupil, &eye.catchLight})
        for (const QPoint& q : *marked)
            top = std::min(top, q.y());
    return top;
}

// Whether a pixel (y up) of the portrait enlarged `scale` times lies on the upper lid over an iris: the
// lid's rows above the highest pixel marked as the eye's, out to two pixels beyond the limbus, over the
// iris's middle. Only the middle of an enlarged pixel counts, away from its blurred border.
inline bool onTheLidOverTheIris(const PortraitEye& eye, double scale, int x, int y)
{
    const double px = (x + 0.5) / scale, pyTop = 512 - (y + 0.5) / scale;
    const double fx = px - std::floor(px), fy = pyTop - std::floor(pyTop);
    if (std::abs(fx - 0.5) > 0.3 || std::abs(fy - 0.5) > 0.3)
        return false;
    const int row = int(std::floor(pyTop));
    return row < topMarkedRow(eye) && pyTop >= eye.centre.y - eye.limbus - 2 &&
           std::abs(px - eye.centre.x) <= eye.limbus - 1;
}

// How a test enlarges the portrait: as the toolkit draws it smoothly, with the engine's Lanczos
// filter, or bicubically (Keys' cubic, a = -0.5), as photo editors commonly do.
enum class Resampling
{
    Smooth,
    Lanczos,
    Bicubic,
};

inline const char* resamplingName(Resampling how)
{
    return how == Resampling::Smooth ? "smooth" : how == Resampling::Lanczos ? "Lanczos" : "bicubic";
}

namespace detail {

inline double keys(double t)
{
    t = std::abs(t);
    return t < 1 ? (1.5 * t - 2.5) * t * t + 1 : t < 2 ? ((-0.5 * t + 2.5) * t - 4) * t + 2 : 0.0;
}

// The picture enlarged bicubically, pixel centres to pixel centres, the edges held.
inline QImage bicubic(const QImage& source, int side)
{
    const QImage in = source.convertToFormat(QImage::Format_RGB32);
    const int n = in.width();
    const double ratio = double(n) / side;
    // Across the columns, then down the rows.
    std::vector<float> across(size_t(side) * size_t(n) * 3);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < side; ++x) {
            const double s = (x + 0.5) * ratio - 0.5;
            const int base = int(std::floor(s));
            double sum[3] = {0, 0, 0};
            for (int k = -1; k <= 2; ++k) {
                const QRgb p = in.pixel(std::clamp(base + k, 0, n - 1), y);
                const double w = keys(s - (base + k));
                sum[0] += w * qRed(p), sum[1] += w * qGreen(p), sum[2] += w * qBlue(p);
            }
            for (int c = 0; c < 3; ++c)
                across[(size_t(y) * size_t(side) + size_t(x)) * 3 + size_t(c)] = float(sum[c]);
        }
    QImage out(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        const double s = (y + 0.5) * ratio - 0.5;
        const int base = int(std::floor(s));
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < side; ++x) {
            double sum[3] = {0, 0, 0};
            for (int k = -1; k <= 2; ++k) {
                const double w = keys(s - (base + k));
                const size_t i = (size_t(std::clamp(base + k, 0, n - 1)) * size_t(side) + size_t(x)) * 3;
                for (int c = 0; c < 3; ++c)
                    sum[c] += w * across[i + size_t(c)];
            }
            const auto v = [&](int c) { return std::clamp(int(std::lround(sum[c])), 0, 255); };
            line[x] = qRgb(v(0), v(1), v(2));
        }
    }
    return out;
}

} // namespace detail

// The portrait at `scale` times its size, rendered once into pixels (so that the tools read a photo,
// not a recipe) and kept for the next test that asks.
inline pf::Image scaledPortrait(double scale, Resampling how = Resampling::Smooth)
{
    static std::mutex mutex;
    static std::map<std::pair<int, int>, pf::Image> kept;
    const std::lock_guard lock(mutex);
    const std::pair<int, int> key(int(std::lround(scale * 1000)), int(how));
    if (const auto it = kept.find(key); it != kept.end())
        return it->second;
    if (kept.size() > 4)
        kept.clear();
    const QImage original(portraitPath());
    const QImage portrait = original.convertToFormat(QImage::Format_RGB32);
    const int side = int(std::lround(512 * scale));
    pf::Image image;
    switch (how) {
    case Resampling::Smooth:
        image = pf::Image::fromQImage(
            original.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        break;
    case Resampling::Bicubic:
        image = pf::Image::fromQImage(detail::bicubic(portrait, side));
        break;
    case Resampling::Lanczos: {
        static pf::RenderContext context(QStringLiteral("portrait"));
        const pf::Image scaled = scaleImageToSizeLanczos(pf::Image::fromQImage(portrait), side, side);
        const auto pixels = context.render(scaled, pf::Rect(0, 0, side, side), pf::Bitmap::Format::RGBA8);
        image = pixels ? pf::Image::fromBitmap(*pixels) : pf::Image();
        break;
    }
    }
    kept.emplace(key, image);
    return image;
}

// The portrait as a small face in a group photo would show it: reduced to `scale` of its size (a face
// of about 150 * scale pixels), then, when `enlarge` is more than 1, enlarged that many times bicubically
// as a retoucher zooms into it. Its eyes are at scale * enlarge of the portrait's places.
inline pf::Image smallFacePortrait(double scale, int enlarge)
{
    const QImage original(portraitPath());
    const int side = int(std::lround(512 * scale));
    const QImage small = original.convertToFormat(QImage::Format_RGB32)
                             .scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return pf::Image::fromQImage(enlarge > 1 ? detail::bicubic(small, side * enlarge) : small);
}

} // namespace brushtest
