#pragma once

#include "EyeToolSupport.h"
#include "PortraitEyes.h"

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/FaceDetector.h"
#include "Platform/Image/Image.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace brushtest {

// The eyes of the real faces in the shared group photos, marked by hand (Tests/Data/Faces/eye-marks.txt):
// for each eye the iris and the pupil as circles, the catch lights as small circles, and the eye's
// opening as its two corners and the highest point of the upper lid's edge and the lowest of the lower
// lid's. Coordinates are the photo's own pixels, top-down, a pixel's centre at +0.5.
struct MarkedEye
{
    std::string face;     // "group-1 a"
    std::string side;     // "left" or "right" of the picture
    bool heldOut = false; // checked on only after the tools were tuned on the others
    pf::Point iris;
    double irisRadius = 0;
    pf::Point pupil;
    double pupilRadius = 0;
    std::vector<std::pair<pf::Point, double>> catchLights;
    pf::Point corner[2], top, bottom;

    // The eye's own frame: u along the line from the first corner to the second, v across it (positive
    // downwards for a level eye). The lids are parabolas in this frame through both corners and the top
    // (or bottom) point, so that a tilted head's eyes are described as well as level ones.
    struct Frame
    {
        double u = 0, v = 0;
    };
    Frame frameOf(double x, double y) const
    {
        const double dx = corner[1].x - corner[0].x, dy = corner[1].y - corner[0].y;
        const double length = std::max(std::hypot(dx, dy), 1e-9);
        const double ex = dx / length, ey = dy / length;
        const double px = x - corner[0].x, py = y - corner[0].y;
        return {px * ex + py * ey, -px * ey + py * ex};
    }
    double cornersApart() const { return frameOf(corner[1].x, corner[1].y).u; }
    // The lid's v at u: 0 at both corners, through the top (upper) or bottom point.
    double lidV(double u, bool upper) const
    {
        const Frame m = upper ? frameOf(top.x, top.y) : frameOf(bottom.x, bottom.y);
        const double length = cornersApart();
        const double at = m.u * (length - m.u);
        return std::abs(at) < 1e-9 ? m.v : m.v * u * (length - u) / at;
    }
    // How far inside the opening a point lies (pixels; negative outside): the least of its distances
    // across the axis from either lid and along it from either corner.
    double depthInOpening(double x, double y) const
    {
        const Frame f = frameOf(x, y);
        const double upper = lidV(f.u, true), lower = lidV(f.u, false);
        const double side = lower >= upper ? 1.0 : -1.0;
        return std::min({side * (f.v - upper), side * (lower - f.v), f.u, cornersApart() - f.u});
    }
    bool insideOpening(double x, double y, double margin = 0) const { return depthInOpening(x, y) > margin; }
    bool outsideOpening(double x, double y, double margin = 0) const
    {
        return depthInOpening(x, y) < -margin;
    }
    // The lid's edge over (upper) or under the eye at column x (top-down rows): where the lid's parabola
    // crosses the column, found along the lid.
    double lidAt(double x, bool upper) const
    {
        const double length = cornersApart();
        const double dx = (corner[1].x - corner[0].x) / length, dy = (corner[1].y - corner[0].y) / length;
        const auto pointAt = [&](double u) {
            const double v = lidV(u, upper);
            return pf::Point(corner[0].x + u * dx - v * dy, corner[0].y + u * dy + v * dx);
        };
        double lo = -0.5 * length, hi = 1.5 * length;
        const bool rising = pointAt(hi).x > pointAt(lo).x;
        for (int i = 0; i < 60; ++i) {
            const double mid = (lo + hi) / 2;
            ((pointAt(mid).x < x) == rising ? lo : hi) = mid;
        }
        return pointAt((lo + hi) / 2).y;
    }
};

struct MarkedFace
{
    std::string photo; // "group-1"
    std::string name;  // "group-1 a"
    bool heldOut = false;
    // The distance between the irises times 2.3 (about the detector's box), or, for a face of which one
    // eye only is marked, the width its line gives.
    double markedWidth = 0;
    std::vector<MarkedEye> eyes;

    // The middle between the marked irises (the one iris of a face with one eye marked).
    pf::Point middle() const
    {
        double x = 0, y = 0;
        for (const MarkedEye& eye : eyes)
            x += eye.iris.x, y += eye.iris.y;
        const double n = std::max<double>(1, eyes.size());
        return pf::Point(x / n, y / n);
    }
};

inline QString facesFolder()
{
    return QStringLiteral(GLIMORA_TESTDATA_DIR "/faces");
}

inline QString eyeMarksPath()
{
    return QStringLiteral(GLIMORA_TESTS_DATA_DIR "/Faces/eye-marks.txt");
}

// The marks, read once. Lines: "face PHOTO NAME tune|check [width W]", then per eye "eye left|right iris X Y
// R pupil X Y R open X1 Y1 X2 Y2 XT YT XB YB [catch X Y R]...".
inline const std::vector<MarkedFace>& markedFaces()
{
    static const std::vector<MarkedFace> faces = [] {
        std::vector<MarkedFace> read;
        QFile file(eyeMarksPath());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return read;
        QTextStream in(&file);
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            const QStringList w = line.split(QRegularExpression(QStringLiteral("\\s+")));
            const auto num = [&](int i) { return i < w.size() ? w[i].toDouble() : 0.0; };
            if (w[0] == QLatin1String("face") && w.size() >= 4) {
                MarkedFace face;
                face.photo = w[1].toStdString();
                face.name = (w[1] + ' ' + w[2]).toStdString();
                face.heldOut = w[3] == QLatin1String("check");
                if (w.size() >= 6 && w[4] == QLatin1String("width"))
                    face.markedWidth = num(5);
                read.push_back(face);
            } else if (w[0] == QLatin1String("eye") && !read.empty()) {
                MarkedEye eye;
                eye.face = read.back().name;
                eye.heldOut = read.back().heldOut;
                eye.side = w[1].toStdString();
                for (int i = 2; i < w.size(); ++i) {
                    if (w[i] == QLatin1String("iris"))
                        eye.iris = pf::Point(num(i + 1), num(i + 2)), eye.irisRadius = num(i + 3), i += 3;
                    else if (w[i] == QLatin1String("pupil"))
                        eye.pupil = pf::Point(num(i + 1), num(i + 2)), eye.pupilRadius = num(i + 3), i += 3;
                    else if (w[i] == QLatin1String("catch"))
                        eye.catchLights.emplace_back(pf::Point(num(i + 1), num(i + 2)), num(i + 3)), i += 3;
                    else if (w[i] == QLatin1String("open")) {
                        eye.corner[0] = pf::Point(num(i + 1), num(i + 2));
                        eye.corner[1] = pf::Point(num(i + 3), num(i + 4));
                        eye.top = pf::Point(num(i + 5), num(i + 6));
                        eye.bottom = pf::Point(num(i + 7), num(i + 8));
                        i += 8;
                    }
                }
                read.back().eyes.push_back(eye);
            }
        }
        for (MarkedFace& face : read)
            if (face.eyes.size() == 2 && face.markedWidth <= 0)
                face.markedWidth = 2.3 * std::hypot(face.eyes[0].iris.x - face.eyes[1].iris.x,
                                                    face.eyes[0].iris.y - face.eyes[1].iris.y);
        return read;
    }();
    return faces;
}

// What a pixel of a marked eye is (top-down photo pixels, fractional). A hand mark is good to about half
// a pixel, and a photo's edges are a pixel or two soft: only pixels clear of a mark by `margin` (the
// circles) or by a pixel (the lids' edges, which are softer) count for a region; the white and the lids
// are those within twice the iris's radius of its middle, where a ring taken in place of the iris lies.
inline SyntheticEye::Region markedRegion(const MarkedEye& eye, double x, double y, double margin)
{
    using Region = SyntheticEye::Region;
    const double d = std::hypot(x - eye.iris.x, y - eye.iris.y);
    constexpr double LidMargin = 1.0;
    const bool inside = eye.insideOpening(x, y, LidMargin);
    const bool outside = eye.outsideOpening(x, y, LidMargin);
    if (d > 2.2 * eye.irisRadius)
        return Region::Other;
    if (outside)
        return Region::Lid;
    if (!inside)
        return Region::Other;
    const double limbus = std::max(margin, 0.08 * eye.irisRadius);
    if (d >= eye.irisRadius + limbus)
        return Region::Sclera;
    if (d > eye.irisRadius - limbus)
        return Region::Other;
    for (const auto& [at, r] : eye.catchLights) {
        const double c = std::hypot(x - at.x, y - at.y);
        if (c <= r - 0.5 * margin)
            return Region::CatchLight;
        if (c <= r + margin)
            return Region::Other;
    }
    const double p = std::hypot(x - eye.pupil.x, y - eye.pupil.y);
    if (p <= eye.pupilRadius - margin)
        return Region::Pupil;
    if (p <= eye.pupilRadius + margin)
        return Region::Other;
    return Region::Annulus;
}

// A marked face's part of its photo, `scale` times enlarged: the photo cut to a square around the face
// (so that a 4x enlargement of a 1920-pixel photo costs a face's pixels, not the photo's), rendered into
// pixels. `origin` is where the square's top left lies in the photo (1x pixels).
struct FacePhoto
{
    pf::Image image;
    pf::Point origin;
    double scale = 1;
    int side = 0; // the enlarged square's side in pixels

    // An eye's point (photo pixels, top-down) in the enlarged square (pixels, y up).
    pf::Point place(const pf::Point& p) const
    {
        return pf::Point((p.x - origin.x) * scale, side - (p.y - origin.y) * scale);
    }
    // The region of the enlarged square's pixel (column, row from the bottom) for a marked eye.
    SyntheticEye::Region regionOf(const MarkedEye& eye, int x, int y) const
    {
        const double px = origin.x + (x + 0.5) / scale, py = origin.y + (side - (y + 0.5)) / scale;
        return markedRegion(eye, px, py, std::max(0.5, 0.75 / scale));
    }
    // The square around an eye that the tests measure (enlarged pixels, y up).
    pf::Rect areaAround(const MarkedEye& eye) const
    {
        const pf::Point c = place(eye.iris);
        const double r = 2.6 * eye.irisRadius * scale + 2;
        return pf::Rect(c.x - r, c.y - r, 2 * r, 2 * r).integral().intersected(pf::Rect(0, 0, side, side));
    }
};

// Where a pixel of a face's enlarged square lies for the brushes' figures round an eye: the white of the
// eye (the opening less the iris, clear of both by a pixel of the photo), the skin around the opening
// (clear of it by a pixel, within three of the iris's radii and four pixels), or neither. The opening is
// read in the eye's own frame, so that a tilted head's lids and corners lie where they were marked.
enum class Part
{
    White,
    Skin,
    Neither,
};

inline Part partOf(const FacePhoto& photo, const MarkedEye& eye, int x, int y)
{
    const double px = photo.origin.x + (x + 0.5) / photo.scale;
    const double py = photo.origin.y + (photo.side - (y + 0.5)) / photo.scale;
    const double d = std::hypot(px - eye.iris.x, py - eye.iris.y);
    if (d > 3 * eye.irisRadius + 4)
        return Part::Neither;
    if (eye.insideOpening(px, py, 1))
        return d >= eye.irisRadius + 1 ? Part::White : Part::Neither;
    if (eye.outsideOpening(px, py, 1))
        return Part::Skin;
    return Part::Neither;
}

// The square round an eye those figures are taken over (enlarged pixels, y up): every pixel partOf can
// count.
inline pf::Rect aroundTheEye(const FacePhoto& photo, const MarkedEye& eye)
{
    const pf::Point c = photo.place(eye.iris);
    const double r = (3 * eye.irisRadius + 5) * photo.scale;
    return pf::Rect(c.x - r, c.y - r, 2 * r, 2 * r)
        .integral()
        .intersected(pf::Rect(0, 0, photo.side, photo.side));
}

inline QImage facePhotoOriginal(const std::string& photo)
{
    static std::mutex mutex;
    static std::map<std::string, QImage> kept;
    const std::lock_guard lock(mutex);
    if (const auto it = kept.find(photo); it != kept.end())
        return it->second;
    const QImage image = QImage(facesFolder() + '/' + QString::fromStdString(photo) + QStringLiteral(".jpg"))
                             .convertToFormat(QImage::Format_RGB32);
    kept.emplace(photo, image);
    return image;
}

inline FacePhoto facePhoto(const MarkedFace& face, double scale, Resampling how)
{
    FacePhoto f;
    f.scale = scale;
    const QImage photo = facePhotoOriginal(face.photo);
    const pf::Point mid = face.middle();
    const int half = int(std::ceil(0.75 * face.markedWidth)) + 8;
    const int x0 = std::clamp(int(mid.x) - half, 0, std::max(0, photo.width() - 2 * half));
    const int y0 = std::clamp(int(mid.y) - half, 0, std::max(0, photo.height() - 2 * half));
    const QImage cut = photo.copy(x0, y0, 2 * half, 2 * half);
    f.origin = pf::Point(x0, y0);
    f.side = int(std::lround(2 * half * scale));
    if (scale == 1) {
        f.image = pf::Image::fromQImage(cut);
        return f;
    }
    if (how == Resampling::Bicubic) {
        f.image = pf::Image::fromQImage(detail::bicubic(cut, f.side));
    } else {
        static pf::RenderContext context(QStringLiteral("faces"));
        const pf::Image scaled = scaleImageToSizeLanczos(pf::Image::fromQImage(cut), f.side, f.side);
        const auto pixels = context.render(scaled, pf::Rect(0, 0, f.side, f.side), pf::Bitmap::Format::RGBA8);
        f.image = pixels ? pf::Image::fromBitmap(*pixels) : pf::Image();
    }
    return f;
}

// The width of the detected face nearest a marked face's eyes in its whole photo at 1x (the window
// detects faces on the photo and hands on the box nearest the click), 0 where the detector finds none.
inline double detectedWidthOf(const MarkedFace& face)
{
    static std::mutex mutex;
    static std::map<std::string, std::vector<pf::FaceFeature>> found;
    std::vector<pf::FaceFeature> faces;
    {
        const std::lock_guard lock(mutex);
        auto it = found.find(face.photo);
        if (it == found.end()) {
            static pf::FaceDetector detector;
            it = found
                     .emplace(face.photo,
                              detector.features(pf::Image::fromQImage(facePhotoOriginal(face.photo))))
                     .first;
        }
        faces = it->second;
    }
    const QImage photo = facePhotoOriginal(face.photo);
    const pf::Point mid(face.middle().x, photo.height() - face.middle().y);
    double best = 1e18, width = 0;
    for (const pf::FaceFeature& f : faces) {
        const pf::Rect& b = f.bounds;
        const double dx = std::max({b.minX() - mid.x, 0.0, mid.x - b.maxX()});
        const double dy = std::max({b.minY() - mid.y, 0.0, mid.y - b.maxY()});
        if (std::hypot(dx, dy) < best)
            best = std::hypot(dx, dy), width = b.width();
    }
    return width;
}

} // namespace brushtest
