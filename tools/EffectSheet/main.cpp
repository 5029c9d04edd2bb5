// Renders every effect of the catalogue on the test portrait through the application's own engine,
// with a hand-made mask per effect (Masks/<effect name>.png, grey, the size of the portrait):
//   effect-sheet sheet <folder> [effect ...]   one page per effect, before and after side by side, the
//                                              whole photo and the masked part enlarged, and an
//                                              overview page "Overview.png"; prints each render's time
//   effect-sheet icons <folder>                the browser's icon pair per effect, "<name>Before.png"
//                                              and "<name>After.png", 100 x 100
// The portrait and the masks are found where the build put their paths; PORTRAIT and MASKS override.
// INTENSITY renders every effect at that intensity instead of its default (1 shows the strongest).
// Every mask is made with the tool the effect offers first, through the brush handler and its brushes,
// as a user's hand would make it: a click at every spot of the mask for the click tools (the iris, the
// red pupil, the replacement iris), a dab per spot for the healing brush, strokes of the smart brush
// along rows across the mask's parts; only the plain brush's effects take the hand-made mask as it is.
// The sheet also has a page of the iris click at off-centre places ("IrisClickOffCentre.png"), and pages
// of Iris Colour, Replace Iris and Tan made on the portrait enlarged four times ("<name>-4x.png").

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/GMEffectComposer.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/FaceDetector.h"
#include "Platform/Image/RenderContext.h"

#include <QColorSpace>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace pf;

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString setting(const char* variable, const char* fallback)
{
    const QByteArray value = qgetenv(variable);
    return value.isEmpty() ? QString::fromLocal8Bit(fallback) : QString::fromLocal8Bit(value);
}

// A round spot of a mask: where a user would click or dab.
struct Spot
{
    QPointF centre; // pixels, y down
    double diameter;
};

// The connected parts of a mask above one half, as spots of the same area.
std::vector<Spot> spotsOf(const QImage& mask)
{
    const int w = mask.width(), h = mask.height();
    std::vector<char> seen(size_t(w * h), 0);
    std::vector<Spot> spots;
    for (int y0 = 0; y0 < h; ++y0) {
        for (int x0 = 0; x0 < w; ++x0) {
            if (seen[size_t(y0 * w + x0)] || qGray(mask.pixel(x0, y0)) < 128)
                continue;
            std::vector<QPoint> stack{{x0, y0}};
            seen[size_t(y0 * w + x0)] = 1;
            double sx = 0, sy = 0, n = 0;
            while (!stack.empty()) {
                const QPoint p = stack.back();
                stack.pop_back();
                sx += p.x() + 0.5;
                sy += p.y() + 0.5;
                ++n;
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint q = p + d;
                    if (q.x() < 0 || q.y() < 0 || q.x() >= w || q.y() >= h ||
                        seen[size_t(q.y() * w + q.x())] || qGray(mask.pixel(q)) < 128)
                        continue;
                    seen[size_t(q.y() * w + q.x())] = 1;
                    stack.push_back(q);
                }
            }
            spots.push_back({QPointF(sx / n, sy / n), 2 * std::sqrt(n / M_PI)});
        }
    }
    return spots;
}

// The part of the photo an effect is about: the mask's bounding box, grown and made square; the whole
// photo for masks that cover most of it.
QRect focusOf(const QImage& mask)
{
    int x0 = mask.width(), y0 = mask.height(), x1 = -1, y1 = -1;
    qint64 covered = 0;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x)
            if (qGray(mask.pixel(x, y)) > 8) {
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
                ++covered;
            }
    if (x1 < 0 || covered > qint64(mask.width()) * mask.height() * 6 / 10)
        return mask.rect();
    const double side = std::max({48.0, (x1 - x0 + 1) * 1.4, (y1 - y0 + 1) * 1.4});
    const double cx = (x0 + x1 + 1) / 2.0, cy = (y0 + y1 + 1) / 2.0;
    QRect square(int(std::lround(cx - side / 2)), int(std::lround(cy - side / 2)), int(side), int(side));
    square.moveLeft(std::clamp(square.left(), 0, std::max(0, mask.width() - square.width())));
    square.moveTop(std::clamp(square.top(), 0, std::max(0, mask.height() - square.height())));
    return square.intersected(mask.rect());
}

struct Subject
{
    Image photo;
    QImage picture;
    double faceWidth = 0; // pixels
};

struct Layer
{
    Image mask;
    Image additional;
};

// Dabs of the effect's own brush at every spot of the mask, run through a brush handler: the mask and
// the picture the brushes paint, as the layer would hold them.
Layer paintedWithBrushes(const GMEffectBlueprint& effect, const Subject& subject, const QImage& mask,
                         qint32 type, qint32 subType)
{
    const Size size(subject.picture.width(), subject.picture.height());
    const Rect extent(0, 0, size.width, size.height);
    Layer layer{Image::constantColor(Color(0, 0, 0, 1)).imageByCroppingToRect(extent),
                GMEffectComposer::preparedAdditionalImage(effect, size, subject.faceWidth / size.width)};
    for (const Spot& spot : spotsOf(mask)) {
        OVBrush brush;
        brush.type = type;
        brush.brushSubType = subType;
        brush.size = spot.diameter * (subType == OVBrush::Healing ? 1.4 : 1.0);
        brush.smoothness = 0.3;
        brush.pressure = 1;
        GMBrushHandler handler;
        handler.setBackgroundImage(subject.photo);
        handler.setStartMaskImage(layer.mask);
        handler.setStartAdditionalImage(layer.additional);
        handler.setScaleFactor(1);
        const Point at(spot.centre.x() / size.width, 1 - spot.centre.y() / size.height);
        handler.brushDownAtPoint(brush, at, subject.faceWidth);
        handler.processPoint(at);
        const OVContentContainerPtr stroke = handler.brushUp();
        if (!stroke)
            continue;
        layer.mask = stroke->imageContainer()->image().imageByCompositingOverImage(layer.mask);
        const Image painted =
            stroke->additionalImageContainer() ? stroke->additionalImageContainer()->image() : Image();
        if (!painted.isNull())
            layer.additional = painted.imageByCompositingOverImage(layer.additional);
    }
    return layer;
}

// Strokes of the effect's smart brush along rows across each part of the mask, a brush as wide as half
// the part's height (between 6 and 40 pixels), rows half a brush apart, a point every quarter brush:
// the mask the smart brush leaves where a hand sweeps over the part.
Layer paintedWithSmartBrush(const GMEffectBlueprint& effect, const Subject& subject, const QImage& mask)
{
    const Size size(subject.picture.width(), subject.picture.height());
    const Rect extent(0, 0, size.width, size.height);
    Layer layer{Image::constantColor(Color(0, 0, 0, 1)).imageByCroppingToRect(extent),
                GMEffectComposer::preparedAdditionalImage(effect, size, subject.faceWidth / size.width)};
    const auto inMask = [&](double x, double y) {
        const int ix = int(x), iy = int(y);
        return mask.rect().contains(ix, iy) && qGray(mask.pixel(ix, iy)) >= 128;
    };
    GMBrushHandler handler;
    handler.setBackgroundImage(subject.photo);
    handler.setStartMaskImage(layer.mask);
    handler.setStartAdditionalImage(layer.additional);
    handler.setScaleFactor(1);
    int strokes = 0;
    OVBrush brush;
    brush.type = OVBrush::SmartBrush;
    brush.kernelName = effect.defaultBrushValueForKey(QStringLiteral("smartBrushType")).toString();
    brush.smoothness = 0.4;
    brush.pressure = effect.defaultBrushValueForKey(QStringLiteral("brushHardness")).toDouble();
    if (!(brush.pressure > 0))
        brush.pressure = 0.8;
    for (const Spot& spot : spotsOf(mask)) {
        // The part's bounding box: the spot's disc stands for it.
        const double reach = spot.diameter;
        const double diameter = std::clamp(spot.diameter / 2, 6.0, 40.0);
        brush.size = diameter;
        for (double y = spot.centre.y() - reach; y <= spot.centre.y() + reach; y += diameter / 2) {
            std::vector<Point> stroke;
            const auto flush = [&] {
                if (stroke.size() >= 1) {
                    handler.brushDownAtPoint(brush, stroke.front(), subject.faceWidth);
                    handler.processPoints(stroke);
                    handler.brushUp();
                    // Each stroke nests the last mask in its recipe: made pixels now and then.
                    if (++strokes % 8 == 0)
                        handler.setStartMaskImage(ORVExtension::fixedImage(handler.startMaskImage()));
                }
                stroke.clear();
            };
            for (double x = spot.centre.x() - reach; x <= spot.centre.x() + reach; x += diameter / 4) {
                if (inMask(x, y))
                    stroke.emplace_back(x / size.width, 1 - y / size.height);
                else
                    flush();
            }
            flush();
        }
    }
    layer.mask = handler.startMaskImage();
    return layer;
}

Layer layerFor(const GMEffectBlueprint& effect, const Subject& subject, const QImage& mask)
{
    const QString drawType = effect.defaultBrushValueForKey(QStringLiteral("drawType")).toString();
    const QString clickType = effect.defaultBrushValueForKey(QStringLiteral("clickType")).toString();
    if (drawType == QLatin1String("healing"))
        return paintedWithBrushes(effect, subject, mask, OVBrush::Draw, OVBrush::Healing);
    if (clickType == QLatin1String("replacement"))
        return paintedWithBrushes(effect, subject, mask, OVBrush::Click, OVBrush::IrisReplacement);
    // The tool the effect offers first: a click (on the iris, or on the red pupil), or the smart brush.
    const QString first = effect.brushTypes().value(0);
    if (first == QLatin1String("click"))
        return paintedWithBrushes(effect, subject, mask, OVBrush::Click, 0);
    if (first == QLatin1String("smartBrush"))
        return paintedWithSmartBrush(effect, subject, mask);
    const Size size(subject.picture.width(), subject.picture.height());
    return {Image::fromQImage(mask.convertToFormat(QImage::Format_RGBA8888)),
            GMEffectComposer::preparedAdditionalImage(effect, size, subject.faceWidth / size.width)};
}

// The portrait as a flash would have lit it: red pupils where the mask is, the catch light kept. Only
// the red-eye effect is shown on it, having nothing to mend otherwise.
QImage withRedPupils(const QImage& picture, const QImage& mask)
{
    QImage red = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < red.height(); ++y)
        for (int x = 0; x < red.width(); ++x) {
            const double m = qGray(mask.pixel(x, y)) / 255.0;
            const QColor c = red.pixelColor(x, y);
            const double luma = 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF();
            if (m <= 0 || luma > 0.5)
                continue;
            auto mix = [&](double a, double b) { return int(std::lround(255 * (a + (b - a) * m))); };
            red.setPixelColor(x, y,
                              QColor(mix(c.redF(), 0.55 + 0.4 * luma), mix(c.greenF(), 0.09 + 0.2 * luma),
                                     mix(c.blueF(), 0.08 + 0.2 * luma)));
        }
    return red;
}

// The portrait with a blemish in the middle of every spot of the mask: a small reddish-brown mark,
// darkest in its middle. Only the healing effect is shown on it.
QImage withBlemishes(const QImage& picture, const QImage& mask)
{
    QImage marked = picture.convertToFormat(QImage::Format_RGB32);
    for (const Spot& spot : spotsOf(mask)) {
        const double radius = spot.diameter * 0.3;
        for (int y = int(spot.centre.y() - 2 * radius); y <= int(spot.centre.y() + 2 * radius); ++y)
            for (int x = int(spot.centre.x() - 2 * radius); x <= int(spot.centre.x() + 2 * radius); ++x) {
                if (!marked.rect().contains(x, y))
                    continue;
                const double d = std::hypot(x + 0.5 - spot.centre.x(), y + 0.5 - spot.centre.y()) / radius;
                const double a = 0.75 * std::exp(-d * d);
                const QColor c = marked.pixelColor(x, y);
                auto mix = [&](double v, double t) { return int(std::lround(255 * (v + (t - v) * a))); };
                marked.setPixelColor(x, y,
                                     QColor(mix(c.redF(), c.redF() * 0.72), mix(c.greenF(), c.greenF() * 0.5),
                                            mix(c.blueF(), c.blueF() * 0.45)));
            }
    }
    return marked;
}

struct Rendered
{
    QImage before;
    QImage after;
    QRect focus;
    double milliseconds = 0;
};

class Sheet
{
public:
    Sheet(const QString& portraitPath, const QString& maskFolder)
        : m_masks(maskFolder), m_context(QStringLiteral("effect sheet"))
    {
        QImage picture(portraitPath);
        if (picture.isNull())
            return;
        // Its values are taken as sRGB, as the engine takes them; a profile would only be written
        // into every page and icon.
        m_subject.picture = picture.convertToFormat(QImage::Format_RGB32);
        m_subject.picture.setColorSpace(QColorSpace());
        m_subject.photo = Image::fromQImage(m_subject.picture);
        FaceDetector detector;
        const auto faces = detector.features(m_subject.photo, &m_context);
        m_subject.faceWidth = faces.empty() ? m_subject.picture.width() / 2.0 : faces.front().bounds.width();
        BundleReader::loadAllPluginsInPhotoToolCatalog(m_catalog);
    }
    bool isValid() const { return !m_subject.picture.isNull(); }
    QStringList effectNames() const
    {
        QStringList names = m_catalog.effectBlueprintNames();
        names.sort();
        return names;
    }
    QString displayName(const QString& name)
    {
        return m_catalog.effectBlueprintWithName(name)->displayName();
    }

    // The effect at its defaults over the portrait (for the red-eye and healing effects, the portrait
    // with something to mend), or over the portrait enlarged `scale` times (as a photo of a larger face
    // would be, its mask enlarged with it); nothing when the effect, its mask or a render is missing.
    std::optional<Rendered> render(const QString& name, int scale = 1)
    {
        const auto effect = m_catalog.effectBlueprintWithName(name);
        QImage mask = QImage(m_masks.filePath(name + QStringLiteral(".png")))
                          .convertToFormat(QImage::Format_Grayscale8);
        if (!effect || mask.isNull() || mask.size() != m_subject.picture.size()) {
            err() << "Warning: no mask of the portrait's size for " << name << " in " << m_masks.path()
                  << "\n";
            return std::nullopt;
        }
        Subject subject = m_subject;
        if (scale > 1) {
            const QSize size = subject.picture.size() * scale;
            subject.picture = subject.picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            subject.photo = Image::fromQImage(subject.picture);
            FaceDetector detector;
            const auto faces = detector.features(subject.photo, &m_context);
            subject.faceWidth = faces.empty() ? size.width() / 2.0 : faces.front().bounds.width();
            mask = mask.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        }
        if (name == QLatin1String("RedEye") || name == QLatin1String("BlemishHealing")) {
            subject.picture = name == QLatin1String("RedEye") ? withRedPupils(subject.picture, mask)
                                                              : withBlemishes(subject.picture, mask);
            subject.photo = Image::fromQImage(subject.picture);
        }
        const Rect extent(0, 0, subject.picture.width(), subject.picture.height());
        QElapsedTimer timer;
        timer.start();
        const Layer layer = layerFor(*effect, subject, mask);
        QString problem;
        QVariantMap settings;
        if (!qEnvironmentVariableIsEmpty("INTENSITY"))
            settings.insert(QStringLiteral("intensity"), qEnvironmentVariable("INTENSITY").toDouble());
        const Image composed = GMEffectComposer::composedImage(
            *effect, subject.photo, layer.mask, layer.additional, settings, &problem, subject.faceWidth);
        const QImage after = composed.isNull() ? QImage() : m_context.renderToQImage(composed, extent);
        if (after.isNull()) {
            err() << "Error: " << name << ": "
                  << (problem.isEmpty() ? QStringLiteral("the render failed") : problem) << "\n";
            return std::nullopt;
        }
        return Rendered{subject.picture, after.convertToFormat(QImage::Format_RGB32), focusOf(mask),
                        double(timer.nsecsElapsed()) / 1e6};
    }

private:
    QDir m_masks;
    RenderContext m_context;
    Subject m_subject;
    GMBlueprintCatalog m_catalog;
};

QImage enlarged(const QImage& image, const QRect& part, int side)
{
    return image.copy(part).scaled(side, side, Qt::KeepAspectRatio, Qt::FastTransformation);
}

void label(QPainter& painter, const QRect& box, const QString& text, int pixelSize, Qt::Alignment alignment)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    painter.setPen(QColor(230, 230, 230));
    painter.drawText(box, alignment, text);
}

// Before and after of the whole photo, then of the part the mask is about, enlarged.
QImage page(const QString& title, const Rendered& r)
{
    // An enlarged photo is shown whole at the portrait's size, its part the mask is about at its own.
    const int w = std::min(r.before.width(), 512), h = r.before.height() * w / r.before.width(), header = 28,
              gap = 8;
    QImage out(2 * w + gap, header + h + gap + w, QImage::Format_RGB32);
    out.fill(QColor(38, 38, 40));
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    label(painter, QRect(8, 0, 2 * w, header), title, 16, Qt::AlignLeft | Qt::AlignVCenter);
    label(painter, QRect(0, 0, 2 * w, header), QStringLiteral("before | after   "), 13,
          Qt::AlignRight | Qt::AlignVCenter);
    painter.drawImage(QRect(0, header, w, h), r.before);
    painter.drawImage(QRect(w + gap, header, w, h), r.after);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(0, header + h + gap, enlarged(r.before, r.focus, w));
    painter.drawImage(w + gap, header + h + gap, enlarged(r.after, r.focus, w));
    return out;
}

int makeSheet(Sheet& sheet, const QDir& folder, QStringList names)
{
    if (names.isEmpty())
        names = sheet.effectNames();
    const int cell = 150, columns = 3, titleHeight = 22, gap = 10;
    const int rows = int((names.size() + columns - 1) / columns);
    QImage overview(columns * (2 * cell + gap) + gap, rows * (cell + titleHeight + gap) + gap,
                    QImage::Format_RGB32);
    overview.fill(QColor(38, 38, 40));
    QPainter painter(&overview);
    int index = 0, failures = 0;
    std::vector<std::pair<double, QString>> times;
    for (const QString& name : names) {
        const auto rendered = sheet.render(name);
        if (!rendered) {
            ++failures;
            continue;
        }
        const QString title = QStringLiteral("%1 (%2)").arg(sheet.displayName(name), name);
        if (!page(title, *rendered).save(folder.filePath(name + QStringLiteral(".png")))) {
            err() << "Error: cannot write " << folder.filePath(name + QStringLiteral(".png")) << "\n";
            ++failures;
        }
        const int x = gap + (index % columns) * (2 * cell + gap),
                  y = gap + (index / columns) * (cell + titleHeight + gap);
        label(painter, QRect(x, y, 2 * cell, titleHeight), sheet.displayName(name), 13,
              Qt::AlignLeft | Qt::AlignVCenter);
        painter.drawImage(x, y + titleHeight, enlarged(rendered->before, rendered->focus, cell));
        painter.drawImage(x + cell, y + titleHeight, enlarged(rendered->after, rendered->focus, cell));
        times.emplace_back(rendered->milliseconds, name);
        ++index;
    }
    painter.end();
    // The effects whose tools find what they work on in the photo (the iris click, the skin brush), made
    // again on the portrait enlarged four times: their tools must do as well on a larger face.
    for (const QString& name :
         {QStringLiteral("IrisColour"), QStringLiteral("IrisReplacement"), QStringLiteral("Tan")}) {
        if (!names.contains(name))
            continue;
        const auto rendered = sheet.render(name, 4);
        const QString file = folder.filePath(name + QStringLiteral("-4x.png"));
        if (!rendered ||
            !page(QStringLiteral("%1 (%2), the portrait at 4x").arg(sheet.displayName(name), name), *rendered)
                 .save(file)) {
            err() << "Error: cannot make " << file << "\n";
            ++failures;
        }
    }
    if (!overview.save(folder.filePath(QStringLiteral("Overview.png")))) {
        err() << "Error: cannot write the overview page\n";
        ++failures;
    }
    std::sort(times.rbegin(), times.rend());
    QTextStream out(stdout);
    for (const auto& [ms, name] : times)
        out << QStringLiteral("%1 %2 ms\n").arg(name, -20).arg(ms, 0, 'f', 1);
    out << "Overview: " << folder.filePath(QStringLiteral("Overview.png")) << "\n";
    return failures == 0 ? 0 : 1;
}

// The iris click where a hand puts it: on each eye of the portrait at four times its size, at the
// centre and at 0.4 and 0.75 of the iris's radius from it in four directions, the mask each click makes
// laid over the eye in green, the click marked in red.
int makeIrisClickPage(const QString& portraitPath, const QDir& folder)
{
    constexpr int Scale = 4, Tile = 192, Gap = 8, Header = 28, Label = 20;
    QImage picture(portraitPath);
    if (picture.isNull())
        return 1;
    picture = picture.convertToFormat(QImage::Format_RGB32);
    picture.setColorSpace(QColorSpace());
    const int side = picture.width() * Scale;
    picture = picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const Image photo = Image::fromQImage(picture);
    RenderContext context(QStringLiteral("iris click page"));
    FaceDetector detector;
    const auto faces = detector.features(photo, &context);
    const double faceWidth = faces.empty() ? 0.0 : faces.front().bounds.width();
    const struct
    {
        const char* name;
        QPointF centre; // top-down pixels of the portrait
        double radius;
    } eyes[] = {{"left eye", {203.5, 100.5}, 3.5}, {"right eye", {246.5, 103.0}, 3.6}};
    std::vector<std::pair<double, int>> places{{0.0, 0}};
    for (const double share : {0.4, 0.75})
        for (int direction = 0; direction < 4; ++direction)
            places.emplace_back(share, direction);
    QImage page(int(places.size()) * (Tile + Gap) + Gap, Header + 2 * (Label + Tile + Gap),
                QImage::Format_RGB32);
    page.fill(QColor(38, 38, 40));
    QPainter painter(&page);
    label(painter, QRect(8, 0, page.width(), Header),
          QStringLiteral("Iris click at off-centre places (the portrait at 4x; mask in green, click in red)"),
          16, Qt::AlignLeft | Qt::AlignVCenter);
    for (size_t e = 0; e < 2; ++e) {
        const QPointF centre = eyes[e].centre * Scale;
        const double radius = eyes[e].radius * Scale;
        const QRect crop(int(centre.x() - 8 * Scale), int(centre.y() - 8 * Scale), 16 * Scale, 16 * Scale);
        const int top = Header + int(e) * (Label + Tile + Gap);
        for (size_t i = 0; i < places.size(); ++i) {
            const auto [share, direction] = places[i];
            const double angle = direction * M_PI / 2;
            const QPointF click(centre.x() + share * radius * std::cos(angle),
                                centre.y() - share * radius * std::sin(angle));
            GMBrushHandler handler;
            handler.setBackgroundImage(photo);
            handler.setStartMaskImage(
                Image::constantColor(Color(0, 0, 0, 1)).imageByCroppingToRect(Rect(0, 0, side, side)));
            handler.setStartAdditionalImage(
                Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(Rect(0, 0, side, side)));
            OVBrush brush;
            brush.type = OVBrush::Click;
            brush.size = 2 * radius;
            brush.pressure = 1;
            const Point at(click.x() / side, 1 - click.y() / side);
            handler.brushDownAtPoint(brush, at, faceWidth);
            handler.processPoint(at);
            const OVContentContainerPtr stroke = handler.brushUp();
            QImage tile = picture.copy(crop);
            if (stroke) {
                const QImage mask = context.renderToQImage(
                    stroke->imageContainer()->image(),
                    Rect(crop.x(), side - crop.y() - crop.height(), crop.width(), crop.height()));
                for (int y = 0; y < tile.height(); ++y)
                    for (int x = 0; x < tile.width(); ++x) {
                        const double m = qGreen(mask.pixel(x, y)) / 255.0 * 0.55;
                        const QColor c = tile.pixelColor(x, y);
                        tile.setPixelColor(x, y,
                                           QColor::fromRgbF(float(c.redF() * (1 - m)),
                                                            float(c.greenF() * (1 - m) + m),
                                                            float(c.blueF() * (1 - m))));
                    }
            }
            const int left = Gap + int(i) * (Tile + Gap);
            painter.drawImage(QRect(left, top + Label, Tile, Tile), tile);
            const QPointF mark((click.x() - crop.x()) * Tile / crop.width() + left,
                               (click.y() - crop.y()) * Tile / crop.height() + top + Label);
            painter.setPen(QPen(QColor(255, 60, 60), 2));
            painter.drawLine(mark - QPointF(5, 0), mark + QPointF(5, 0));
            painter.drawLine(mark - QPointF(0, 5), mark + QPointF(0, 5));
            label(painter, QRect(left, top, Tile, Label),
                  QStringLiteral("%1, %2").arg(
                      QString::fromLatin1(eyes[e].name),
                      share == 0 ? QStringLiteral("centre")
                                 : QStringLiteral("%1 R, %2\u00b0").arg(share).arg(direction * 90)),
                  11, Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    painter.end();
    return page.save(folder.filePath(QStringLiteral("IrisClickOffCentre.png"))) ? 0 : 1;
}

int makeIcons(Sheet& sheet, const QDir& folder)
{
    int failures = 0;
    for (const QString& name : sheet.effectNames()) {
        const auto rendered = sheet.render(name);
        bool ok = bool(rendered);
        for (const bool after : {false, true}) {
            if (!ok)
                break;
            const QImage& source = after ? rendered->after : rendered->before;
            const QImage icon = source.copy(rendered->focus)
                                    .scaled(100, 100, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const QString file =
                folder.filePath(name + (after ? QStringLiteral("After.png") : QStringLiteral("Before.png")));
            ok = icon.save(file);
            if (!ok)
                err() << "Error: cannot write " << file << "\n";
        }
        failures += ok ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() < 2 ||
        (arguments[0] != QLatin1String("sheet") && arguments[0] != QLatin1String("icons"))) {
        err() << "usage: effect-sheet sheet <folder> [effect ...] | effect-sheet icons <folder>\n";
        return 2;
    }
    const QDir folder(arguments[1]);
    if (!QDir().mkpath(folder.path())) {
        err() << "Error: cannot make the folder " << folder.path() << "\n";
        return 1;
    }
    FilterLibrary::registerAll();
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    OVHealingBrush::registerClass();

    Sheet sheet(setting("PORTRAIT", GLIMORA_PORTRAIT), setting("MASKS", GLIMORA_EFFECT_MASKS));
    if (!sheet.isValid()) {
        err() << "Error: the portrait cannot be read\n";
        return 1;
    }
    if (arguments[0] == QLatin1String("icons"))
        return makeIcons(sheet, folder);
    int failures = makeSheet(sheet, folder, arguments.mid(2));
    if (arguments.size() == 2 && makeIrisClickPage(setting("PORTRAIT", GLIMORA_PORTRAIT), folder) != 0) {
        err() << "Error: cannot write the iris click page\n";
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
