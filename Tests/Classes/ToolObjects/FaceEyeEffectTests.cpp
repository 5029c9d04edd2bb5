// The eye and skin effects on the real faces of the shared group photos, marked by hand
// (Tests/Data/Faces/eye-marks.txt): Whiten Eyes through its own smart brush and through a sloppy plain
// brush, the skin brush (Tan) stroked over the cheek and the lids up to the eye, and the smart iris
// brush's dab without a face; each measured through the effect as the window composes it, at 1x, 2x and
// 4x, with the detected face's width and without a face.

#include "OVBrushFramework/EyeToolSupport.h"
#include "OVBrushFramework/FaceEyes.h"

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/GMEffectComposer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Platform/Foundation/Bundle.h"

#include <QDir>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

using namespace pf;
using namespace brushtest;

namespace {

std::shared_ptr<GMEffectBlueprint> blueprintNamed(const QString& name)
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

// The effect at its default settings over the photo through a layer's mask (a stroke's clean mask laid
// over a new layer's empty one), with the face that wide.
Image composedOver(const QString& effect, const Image& photo, const Image& stroke, double faceWidth)
{
    const auto blueprint = blueprintNamed(effect);
    if (!blueprint)
        return Image();
    const Image mask = stroke.imageByCompositingOverImage(
        Image::constantColor(Color(0, 0, 0, 1)).imageByCroppingToRect(photo.extent()));
    return GMEffectComposer::composedImage(*blueprint, photo, mask, Image(), {}, nullptr, faceWidth);
}

// The effect's own smart brush of that diameter, as its blueprint sets it up.
OVBrush effectBrush(const QString& effect, double size)
{
    const auto blueprint = blueprintNamed(effect);
    OVBrush smart;
    smart.type = OVBrush::SmartBrush;
    smart.kernelName = blueprint->defaultBrushValueForKey(QStringLiteral("smartBrushType")).toString();
    smart.size = size;
    smart.smoothness = blueprint->defaultBrushValueForKey(QStringLiteral("brushSmoothness")).toDouble();
    smart.pressure = blueprint->defaultBrushValueForKey(QStringLiteral("brushHardness")).toDouble();
    return smart;
}

// Strokes through one brush handler (each brush-down to brush-up), their layer mask's stroke part.
Image strokesMask(const Image& photo, const OVBrush& brush, const std::vector<std::vector<Point>>& strokes,
                  double faceWidth)
{
    const Rect extent = photo.extent();
    GMBrushHandler handler;
    setUpOver(handler, photo);
    for (const auto& stroke : strokes) {
        if (stroke.empty())
            continue;
        std::vector<Point> points;
        for (const Point& p : stroke)
            points.emplace_back(p.x / extent.width(), p.y / extent.height());
        handler.brushDownAtPoint(brush, points.front(), faceWidth);
        handler.processPoints(points);
        handler.brushUp();
    }
    return handler.startMaskImage();
}

std::array<double, 3> straight(const Pixel& p)
{
    const double a = p[3] > 0 ? p[3] : 1;
    return {255 * p[0] / a, 255 * p[1] / a, 255 * p[2] / a};
}

double lumaOf(const std::array<double, 3>& c)
{
    return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
}

// What an effect did round an eye: the white's mean change of luma and of blue (levels), the mask's
// mean over the white, and the skin's mean and 99th percentile of its largest channel's change.
struct EyeChange
{
    double whiteLuma = 0, whiteBlue = 0, whiteLargest = 0, whiteMask = 0, skinMean = 0, skinP99 = 0,
           skinMask = 0;
};

EyeChange changeRoundTheEye(const FacePhoto& photo, const MarkedEye& eye, const Image& after,
                            const Image& stroke)
{
    const Rect area = aroundTheEye(photo, eye);
    const Pixels a = render(photo.image, area), b = render(after, area), m = render(stroke, area);
    EyeChange c;
    std::vector<double> skin;
    int whites = 0;
    for (int y = int(area.minY()); y < int(area.maxY()); ++y)
        for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
            const Part part = partOf(photo, eye, x, y);
            if (part == Part::Neither)
                continue;
            const auto p = straight(a.at(x, y)), q = straight(b.at(x, y));
            const double largest =
                std::max({std::abs(q[0] - p[0]), std::abs(q[1] - p[1]), std::abs(q[2] - p[2])});
            if (part == Part::White) {
                c.whiteLuma += lumaOf(q) - lumaOf(p);
                c.whiteBlue += q[2] - p[2];
                c.whiteLargest += largest;
                c.whiteMask += m.at(x, y)[1];
                ++whites;
            } else {
                skin.push_back(largest);
                c.skinMask += m.at(x, y)[1];
            }
        }
    if (whites) {
        c.whiteLuma /= whites, c.whiteBlue /= whites, c.whiteLargest /= whites, c.whiteMask /= whites;
    }
    if (!skin.empty()) {
        for (const double d : skin)
            c.skinMean += d / double(skin.size());
        c.skinMask /= double(skin.size());
        std::sort(skin.begin(), skin.end());
        c.skinP99 = skin[size_t(0.99 * double(skin.size() - 1))];
    }
    return c;
}

// A stroke's points (enlarged pixels) along a path of photo points, a quarter of the brush apart.
std::vector<Point> alongThePath(const FacePhoto& photo, const std::vector<Point>& path, double brush)
{
    std::vector<Point> points;
    const double spacing = std::max(1.0, brush / 4);
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const Point a = photo.place(path[i]), b = photo.place(path[i + 1]);
        const int n = std::max(1, int(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / spacing)));
        for (int k = (i == 0 ? 0 : 1); k <= n; ++k)
            points.emplace_back(a.x + (b.x - a.x) * k / n, a.y + (b.y - a.y) * k / n);
    }
    return points;
}

// The white as a user paints it with the eye-white brush: on each side of the iris from near the corner
// to near the iris, along the middle of the opening, whatever the brush's size.
std::vector<std::vector<Point>> whiteStrokes(const FacePhoto& photo, const MarkedEye& eye, double brush)
{
    std::vector<std::vector<Point>> strokes;
    const double midY = (eye.corner[0].y + eye.corner[1].y) / 2;
    for (int side = 0; side < 2; ++side) {
        const Point corner = eye.corner[side];
        const double towards = eye.iris.x > corner.x ? 1 : -1;
        const double from = corner.x + towards * 0.25 * eye.irisRadius;
        const double to = eye.iris.x - towards * 1.25 * eye.irisRadius;
        if ((to - from) * towards <= 0)
            continue;
        const auto at = [&](double x) {
            return Point(x, midY + (eye.iris.y - midY) * (x - corner.x) / (eye.iris.x - corner.x));
        };
        strokes.push_back(alongThePath(photo, {at(from), at((from + to) / 2), at(to)}, brush));
    }
    return strokes;
}

// The skin round an eye as a user paints it with a skin brush: rows along the lower lid, from the cheek
// up to the lid's edge (the last with its middle a pixel of the photo beyond the edge), and along the
// upper lid from the brow down to its edge, from a brush's radius beyond one corner to as far beyond
// the other.
std::vector<std::vector<Point>> skinStrokes(const FacePhoto& photo, const MarkedEye& eye, double brush)
{
    std::vector<std::vector<Point>> strokes;
    const double lo = std::min(eye.corner[0].x, eye.corner[1].x);
    const double hi = std::max(eye.corner[0].x, eye.corner[1].x);
    const double radius = brush / 2 / photo.scale; // photo pixels
    for (const bool upper : {false, true})
        for (int row = 3; row >= 0; --row) {
            const double away = 1 + row * radius;
            std::vector<Point> path;
            for (int i = 0; i <= 12; ++i) {
                const double x = lo - radius + (hi - lo + 2 * radius) * i / 12;
                const double edge = eye.lidAt(std::clamp(x, lo, hi), upper);
                path.emplace_back(x, edge + (upper ? -away : away));
            }
            strokes.push_back(alongThePath(photo, path, brush));
        }
    return strokes;
}

// A sloppy plain brush over an eye: an ellipse as wide as the opening twice and three times as tall.
Image sloppyMask(const FacePhoto& photo, const MarkedEye& eye)
{
    const Point c((eye.corner[0].x + eye.corner[1].x) / 2, (eye.top.y + eye.bottom.y) / 2);
    const double halfWidth = std::abs(eye.corner[1].x - eye.corner[0].x);
    const double halfHeight = 1.5 * std::abs(eye.bottom.y - eye.top.y);
    Bitmap bitmap(photo.side, photo.side, Bitmap::Format::RGBA8);
    for (int row = 0; row < photo.side; ++row)
        for (int x = 0; x < photo.side; ++x) {
            const double px = photo.origin.x + (x + 0.5) / photo.scale;
            const double py = photo.origin.y + (row + 0.5) / photo.scale;
            const uint8_t v = std::hypot((px - c.x) / halfWidth, (py - c.y) / halfHeight) <= 1 ? 255 : 0;
            uint8_t* p = bitmap.mutableRow(row) + 4 * x;
            p[0] = p[1] = p[2] = v, p[3] = 255;
        }
    return Image::fromBitmap(bitmap);
}

// The faces, scales, brushes (diameters in the iris's radii) and face widths the figures are taken at.
struct EffectMatrix
{
    std::vector<double> scales;
    std::vector<double> brushes;
    std::vector<bool> withFace;
};

struct Bound
{
    Tally tuned, heldOut;
    void add(bool heldOutFace, bool ok) { (heldOutFace ? heldOut : tuned).add(ok); }
};

struct EffectFigures
{
    Bound whitenLift, whitenSkin, plainSkin, skinBrushWhites, tanWhites;
};

// Every figure over the matrix, printed per face, scale and brush when `print`; the bounds counted.
EffectFigures effectsRoundTheMarkedEyes(const EffectMatrix& m, bool print)
{
    EffectFigures f;
    const QString only = qEnvironmentVariable("FACE_EYES_FACES");
    const QString what = qEnvironmentVariable("FACE_EYES_WHAT");
    for (const MarkedFace& face : markedFaces()) {
        if (!only.isEmpty() && !only.split(',').contains(QString::fromStdString(face.name)))
            continue;
        const double detected = detectedWidthOf(face);
        for (const double scale : m.scales) {
            const FacePhoto photo = facePhoto(face, scale, Resampling::Lanczos);
            const double effectFace = (detected > 0 ? detected : face.markedWidth) * scale;
            // The plain brush.
            for (const MarkedEye& eye : face.eyes) {
                if (!what.isEmpty() && !what.contains(QStringLiteral("plain")))
                    break;
                const Image sloppy = sloppyMask(photo, eye);
                const Image after =
                    composedOver(QStringLiteral("WhiterEyes"), photo.image, sloppy, effectFace);
                const EyeChange c = changeRoundTheEye(photo, eye, after, sloppy);
                f.plainSkin.add(face.heldOut, c.skinMean <= 1);
                if (print)
                    std::printf(
                        "%-9s %s %.0fx %-5s plain brush:  whites %+5.1f levels, skin %.2f (p99 %4.1f)\n",
                        face.name.c_str(), face.heldOut ? "check" : "tune ", scale, eye.side.c_str(),
                        c.whiteLuma, c.skinMean, c.skinP99);
            }
            for (const bool withFace : m.withFace)
                for (const double brush : m.brushes)
                    for (const MarkedEye& eye : face.eyes) {
                        const double size = std::max(3.0, brush * eye.irisRadius * scale);
                        const double faceWidth = withFace ? detected * scale : 0.0;
                        if (!what.isEmpty() && !what.contains(QStringLiteral("white")) &&
                            !what.contains(QStringLiteral("skin")))
                            continue;
                        const Image white =
                            !what.isEmpty() && !what.contains(QStringLiteral("white"))
                                ? greyMask(photo.side, photo.side, 0)
                                : strokesMask(photo.image, effectBrush(QStringLiteral("WhiterEyes"), size),
                                              whiteStrokes(photo, eye, size), faceWidth);
                        const EyeChange w = changeRoundTheEye(
                            photo, eye,
                            composedOver(QStringLiteral("WhiterEyes"), photo.image, white, effectFace),
                            white);
                        f.whitenLift.add(face.heldOut, w.whiteLuma >= 10);
                        f.whitenSkin.add(face.heldOut, w.skinMean <= 1);
                        const Image skin =
                            !what.isEmpty() && !what.contains(QStringLiteral("skin"))
                                ? greyMask(photo.side, photo.side, 0)
                                : strokesMask(photo.image, effectBrush(QStringLiteral("Tan"), size),
                                              skinStrokes(photo, eye, size), faceWidth);
                        const EyeChange t = changeRoundTheEye(
                            photo, eye, composedOver(QStringLiteral("Tan"), photo.image, skin, effectFace),
                            skin);
                        f.skinBrushWhites.add(face.heldOut, t.whiteMask <= 0.05);
                        f.tanWhites.add(face.heldOut, t.whiteLargest <= 1);
                        if (print)
                            std::printf(
                                "%-9s %s %.0fx %-5s %s brush %.0f R: Whiten Eyes whites %.2f %+5.1f, "
                                "skin %.2f (%.2f); skin brush whites %.2f, Tan whites %.1f (blue %+.1f), "
                                "skin %.2f blue\n",
                                face.name.c_str(), face.heldOut ? "check" : "tune ", scale, eye.side.c_str(),
                                withFace ? "face" : "none", brush, w.whiteMask, w.whiteLuma, w.skinMean,
                                w.skinMask, t.whiteMask, t.whiteLargest, t.whiteBlue, t.skinMask);
                    }
        }
    }
    const auto line = [](const char* what, const Bound& b) {
        std::printf("%-44s tuned %3d of %3d, held out %3d of %3d\n", what, b.tuned.met, b.tuned.cases,
                    b.heldOut.met, b.heldOut.cases);
    };
    line("Whiten Eyes' brush lifts the whites 10 levels", f.whitenLift);
    line("Whiten Eyes' brush moves the skin 1 level", f.whitenSkin);
    line("Whiten Eyes' plain brush moves the skin 1 level", f.plainSkin);
    line("the skin brush covers 0.05 of the whites", f.skinBrushWhites);
    line("Tan changes the whites 1 level", f.tanWhites);
    return f;
}

} // namespace

// Every figure over the whole matrix: 1x, 2x and 4x, brushes of 1, 2 and 4 iris radii, with the detected
// face and without. Run by hand; FACE_EYES_PRINT prints each case.
TEST(FaceEyeEffects, DISABLED_FullMatrix)
{
    const auto numbers = [](const char* name, std::vector<double> otherwise) {
        if (!qEnvironmentVariableIsSet(name))
            return otherwise;
        std::vector<double> v;
        for (const QString& n : qEnvironmentVariable(name).split(','))
            v.push_back(n.toDouble());
        return v;
    };
    std::vector<bool> faces;
    for (const double f : numbers("FACE_EYES_WITH_FACE", {1, 0}))
        faces.push_back(f > 0);
    effectsRoundTheMarkedEyes(
        {numbers("FACE_EYES_SCALES", {1, 2, 4}), numbers("FACE_EYES_BRUSHES", {1, 2, 4}), faces},
        qEnvironmentVariableIsSet("FACE_EYES_PRINT"));
}

// Whiten Eyes' own brush, stroked along the white of every marked eye from near each corner to near the
// iris (a brush twice the iris's radius, the detected face's width), takes the white and not the skin:
// on every face at 1x and 2x at least a fifth of its whites in the mean of its eyes, and over all the
// eyes at least two fifths (the brush took 0.00 to 0.09 of most faces' whites when it held every white
// to a grey it rarely is in a photo); the skin around the eyes moves a level at most in the mean.
TEST(FaceEyeEffects, WhitenEyesBrushTakesTheMarkedWhites)
{
    ASSERT_FALSE(markedFaces().empty()) << "the eye marks are missing";
    double all = 0;
    int eyes = 0;
    for (const MarkedFace& face : markedFaces()) {
        const double detected = detectedWidthOf(face);
        for (const double scale : {1.0, 2.0}) {
            SCOPED_TRACE(face.name + " at " + std::to_string(int(scale)) + "x");
            const FacePhoto photo = facePhoto(face, scale, Resampling::Lanczos);
            const double effectFace = (detected > 0 ? detected : face.markedWidth) * scale;
            double taken = 0;
            for (const MarkedEye& eye : face.eyes) {
                const double size = std::max(3.0, 2 * eye.irisRadius * scale);
                const Image white = strokesMask(photo.image, effectBrush(QStringLiteral("WhiterEyes"), size),
                                                whiteStrokes(photo, eye, size), detected * scale);
                const EyeChange c = changeRoundTheEye(
                    photo, eye, composedOver(QStringLiteral("WhiterEyes"), photo.image, white, effectFace),
                    white);
                std::printf("%-10s %.0fx %-5s: Whiten Eyes' brush takes %.2f of the white (%+.1f levels), "
                            "the skin moves %.2f\n",
                            face.name.c_str(), scale, eye.side.c_str(), c.whiteMask, c.whiteLuma, c.skinMean);
                EXPECT_LE(c.skinMean, 1) << eye.side;
                taken += c.whiteMask / double(face.eyes.size());
                all += c.whiteMask;
                ++eyes;
            }
            EXPECT_GE(taken, 0.2);
        }
    }
    EXPECT_GE(all / eyes, 0.4);
}

namespace {

QImage tinted(const QImage& photo, const QImage& mask, QRgb colour)
{
    QImage out = photo.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const double a = 0.6 * qGreen(mask.pixel(x, y)) / 255.0;
            const QRgb c = out.pixel(x, y);
            out.setPixel(x, y,
                         qRgb(int(qRed(c) * (1 - a) + qRed(colour) * a),
                              int(qGreen(c) * (1 - a) + qGreen(colour) * a),
                              int(qBlue(c) * (1 - a) + qBlue(colour) * a)));
        }
    return out;
}

} // namespace

// The review sheet, for a person to judge the effects near the eyes as a retoucher would: every marked
// eye at twice its size (Lanczos), with the detected face's width and a brush twice the iris's radius, in
// pictures side by side: the photo; Whiten Eyes' brush stroked along the white (its mask tinted magenta)
// and the result; the skin brush stroked over the cheek and the lids (tinted green), Tan and Smooth Skin
// through it. Written to gallery/eye-effects/. Run by hand.
TEST(FaceEyeEffects, DISABLED_ReviewSheet)
{
    static RenderContext context(QStringLiteral("eye effects review"));
    const double scale =
        qEnvironmentVariableIsSet("FACE_EYES_SCALE") ? qEnvironmentVariable("FACE_EYES_SCALE").toDouble() : 2;
    const double brush =
        qEnvironmentVariableIsSet("FACE_EYES_BRUSH") ? qEnvironmentVariable("FACE_EYES_BRUSH").toDouble() : 2;
    const int zoom = std::max(1, int(8 / scale));
    std::vector<QImage> rows;
    const QString only = qEnvironmentVariable("FACE_EYES_FACES");
    for (const MarkedFace& face : markedFaces()) {
        if (!only.isEmpty() && !only.split(',').contains(QString::fromStdString(face.name)))
            continue;
        const FacePhoto photo = facePhoto(face, scale, Resampling::Lanczos);
        const double detected = detectedWidthOf(face);
        const double faceWidth = detected * scale;
        const double effectFace = (detected > 0 ? detected : face.markedWidth) * scale;
        for (const MarkedEye& eye : face.eyes) {
            const double size = std::max(3.0, brush * eye.irisRadius * scale);
            const Image white = strokesMask(photo.image, effectBrush(QStringLiteral("WhiterEyes"), size),
                                            whiteStrokes(photo, eye, size), faceWidth);
            const Image skin = strokesMask(photo.image, effectBrush(QStringLiteral("Tan"), size),
                                           skinStrokes(photo, eye, size), faceWidth);
            const Rect area = aroundTheEye(photo, eye);
            const QImage original = context.renderToQImage(photo.image, area);
            const QImage pictures[] = {
                original,
                tinted(original, context.renderToQImage(white, area), qRgb(255, 0, 255)),
                context.renderToQImage(
                    composedOver(QStringLiteral("WhiterEyes"), photo.image, white, effectFace), area),
                context.renderToQImage(composedOver(QStringLiteral("WhiterEyes"), photo.image,
                                                    sloppyMask(photo, eye), effectFace),
                                       area),
                tinted(original, context.renderToQImage(skin, area), qRgb(0, 255, 0)),
                context.renderToQImage(composedOver(QStringLiteral("Tan"), photo.image, skin, effectFace),
                                       area),
                context.renderToQImage(
                    composedOver(QStringLiteral("SkinSmoothing"), photo.image, skin, effectFace), area)};
            const int w = original.width() * zoom, h = original.height() * zoom;
            std::vector<QImage> shown(std::begin(pictures), std::end(pictures));
            if (qEnvironmentVariableIsSet("FACE_EYES_MARKS"))
                for (QImage& picture : shown) {
                    picture = picture.scaled(w, h);
                    for (int x = 0; x < w; ++x)
                        for (const bool upper : {true, false}) {
                            const double px = photo.origin.x + (area.minX() + (x + 0.5) / zoom) / scale;
                            if (px < std::min(eye.corner[0].x, eye.corner[1].x) ||
                                px > std::max(eye.corner[0].x, eye.corner[1].x))
                                continue;
                            const double py = eye.lidAt(px, upper);
                            const int y =
                                int((py - photo.origin.y) * scale * zoom - (photo.side - area.maxY()) * zoom);
                            if (y >= 0 && y < h)
                                picture.setPixel(x, y, qRgb(255, 255, 0));
                        }
                }
            QImage row(7 * (w + 6), h, QImage::Format_RGB32);
            row.fill(Qt::black);
            QPainter painter(&row);
            int x = 0;
            for (const QImage& picture : shown) {
                painter.drawImage(QRect(x, 0, w, h), picture);
                x += w + 6;
            }
            painter.end();
            rows.push_back(row);
        }
        // A page per face, named after it: both eyes, one above the other.
        const QString folder = QDir::currentPath() + QStringLiteral("/gallery/eye-effects");
        QDir().mkpath(folder);
        int width = 0, height = 0;
        for (const QImage& row : rows)
            width = std::max(width, row.width()), height += row.height() + 8;
        QImage page(width, height, QImage::Format_RGB32);
        page.fill(Qt::black);
        QPainter painter(&page);
        int y = 0;
        for (const QImage& row : rows)
            painter.drawImage(0, y, row), y += row.height() + 8;
        painter.end();
        page.save(folder + '/' + QString::fromStdString(face.name).replace(' ', '-') +
                  QStringLiteral("-%1x.png").arg(scale));
        rows.clear();
    }
}

// The colours of the marked whites, lids and irises in the smart brush's own terms (luma; chroma as
// (B - Y, R - Y) / (Y + 0.08)): 10th, 50th and 90th percentiles per eye. In warm light and in small,
// soft photos a white is often as coloured as the lid beside it, which is why neither brush can tell
// them apart by colour alone. Run by hand.
TEST(FaceEyeEffects, DISABLED_ColoursOfTheMarkedEyes)
{
    for (const MarkedFace& face : markedFaces()) {
        const FacePhoto photo = facePhoto(face, 1, Resampling::Lanczos);
        for (const MarkedEye& eye : face.eyes) {
            const Rect area = photo.areaAround(eye);
            const Pixels a = render(photo.image, area);
            std::map<int, std::vector<std::array<double, 4>>> by;
            for (int y = int(area.minY()); y < int(area.maxY()); ++y)
                for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
                    const auto p = straight(a.at(x, y));
                    const double Y = lumaOf(p) / 255;
                    const double kb = (p[2] / 255 - Y) / (Y + 0.08), kr = (p[0] / 255 - Y) / (Y + 0.08);
                    by[int(photo.regionOf(eye, x, y))].push_back({Y, std::hypot(kb, kr), kb, kr});
                }
            for (const auto r :
                 {SyntheticEye::Region::Sclera, SyntheticEye::Region::Lid, SyntheticEye::Region::Annulus}) {
                auto v = by[int(r)];
                if (v.empty())
                    continue;
                const auto pct = [&](int c, double q) {
                    std::vector<double> s;
                    for (auto& e : v)
                        s.push_back(e[c]);
                    std::sort(s.begin(), s.end());
                    return s[size_t(q * (s.size() - 1))];
                };
                std::printf(
                    "%-10s %-5s %-7s n %4zu luma %.2f/%.2f/%.2f chroma %.3f/%.3f/%.3f kb %.3f kr %.3f\n",
                    face.name.c_str(), eye.side.c_str(),
                    r == SyntheticEye::Region::Sclera ? "white"
                    : r == SyntheticEye::Region::Lid  ? "lid"
                                                      : "iris",
                    v.size(), pct(0, 0.1), pct(0, 0.5), pct(0, 0.9), pct(1, 0.1), pct(1, 0.5), pct(1, 0.9),
                    pct(2, 0.5), pct(3, 0.5));
            }
        }
    }
}
