#include "Platform/UI/Drawing.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <vector>

namespace pf {

namespace {

constexpr double degrees = M_PI / 180.0;

QRectF toQ(const Rect& rect)
{
    return rect.standardized().toQRectF();
}

// Gaussian blur of an alpha channel, separable, in place; sigma in pixels.
void blurAlpha(std::vector<float>& alpha, int width, int height, double sigma)
{
    if (sigma <= 0.01)
        return;
    const int radius = int(std::ceil(sigma * 3));
    std::vector<float> kernel(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += kernel[i + radius] = float(std::exp(-0.5 * i * i / (sigma * sigma)));
    for (float& k : kernel)
        k = float(k / sum);
    std::vector<float> line(std::max(width, height));
    for (int y = 0; y < height; ++y) {
        float* row = &alpha[size_t(y) * width];
        for (int x = 0; x < width; ++x) {
            float acc = 0;
            for (int k = -radius; k <= radius; ++k) {
                const int xx = x + k;
                if (xx >= 0 && xx < width)
                    acc += row[xx] * kernel[k + radius];
            }
            line[x] = acc;
        }
        std::copy(line.begin(), line.begin() + width, row);
    }
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            float acc = 0;
            for (int k = -radius; k <= radius; ++k) {
                const int yy = y + k;
                if (yy >= 0 && yy < height)
                    acc += alpha[size_t(yy) * width + x] * kernel[k + radius];
            }
            line[y] = acc;
        }
        for (int y = 0; y < height; ++y)
            alpha[size_t(y) * width + x] = line[y];
    }
}

} // namespace

// Gradients ----------------------------------------------------------------------------------------

void fillLinearGradient(QPainter& painter, const QGradientStops& stops, const QPainterPath& path,
                        double angle)
{
    const QRectF box = path.boundingRect();
    const double c = std::cos(angle * degrees), s = std::sin(angle * degrees);
    const double half = (std::abs(box.width() * c) + std::abs(box.height() * s)) / 2;
    const QPointF centre = box.center();
    QLinearGradient gradient(centre - QPointF(c, s) * half, centre + QPointF(c, s) * half);
    gradient.setStops(stops);
    painter.fillPath(path, gradient);
}

void fillLinearGradient(QPainter& painter, const QGradientStops& stops, const Rect& rect, double angle)
{
    QPainterPath path;
    path.addRect(toQ(rect));
    fillLinearGradient(painter, stops, path, angle);
}

void drawLinearGradient(QPainter& painter, const QGradientStops& stops, Point start, Point end,
                        bool extendBefore, bool extendAfter, const Rect& clip)
{
    QLinearGradient gradient(start.toQPointF(), end.toQPointF());
    gradient.setStops(stops);
    QPainterPath area;
    area.addRect(toQ(clip));
    // Without extension, only the band between the perpendiculars through the end points is painted.
    const QPointF direction = end.toQPointF() - start.toQPointF();
    const double length = std::hypot(direction.x(), direction.y());
    if (length > 0 && (!extendBefore || !extendAfter)) {
        const QPointF unit = direction / length;
        const QPointF normal(-unit.y(), unit.x());
        const double far = std::hypot(clip.width(), clip.height()) + length + 1e4;
        const QPointF from = extendBefore ? start.toQPointF() - unit * far : start.toQPointF();
        const QPointF to = extendAfter ? end.toQPointF() + unit * far : end.toQPointF();
        QPainterPath band;
        band.moveTo(from + normal * far);
        band.lineTo(to + normal * far);
        band.lineTo(to - normal * far);
        band.lineTo(from - normal * far);
        band.closeSubpath();
        area = area.intersected(band);
    }
    painter.fillPath(area, gradient);
}

void drawRadialGradient(QPainter& painter, const QGradientStops& stops, Point startCenter, double startRadius,
                        Point endCenter, double endRadius, bool extendBefore, bool extendAfter,
                        const Rect& clip)
{
    QRadialGradient gradient(endCenter.toQPointF(), endRadius, startCenter.toQPointF(), startRadius);
    gradient.setStops(stops);
    QPainterPath area;
    area.addRect(toQ(clip));
    if (!extendAfter) {
        QPainterPath outer;
        outer.addEllipse(endCenter.toQPointF(), endRadius, endRadius);
        area = area.intersected(outer);
    }
    if (!extendBefore && startRadius > 0) {
        QPainterPath inner;
        inner.addEllipse(startCenter.toQPointF(), startRadius, startRadius);
        area = area.subtracted(inner);
    }
    painter.fillPath(area, gradient);
}

// Images -------------------------------------------------------------------------------------------

void drawImage(QPainter& painter, const QImage& image, const Rect& destination, const Rect& source,
               QPainter::CompositionMode mode, double fraction)
{
    if (image.isNull() || destination.isEmpty())
        return;
    const double dpr = image.devicePixelRatio();
    const double imageHeight = image.height() / dpr;
    const Rect src = source.isNull() ? Rect(0, 0, image.width() / dpr, imageHeight) : source.standardized();
    // The image's y-up source rectangle in its pixel rows (which run downwards).
    const QRectF pixels(src.minX() * dpr, (imageHeight - src.maxY()) * dpr, src.width() * dpr,
                        src.height() * dpr);
    const Rect dst = destination.standardized();
    painter.save();
    painter.setCompositionMode(mode);
    painter.setOpacity(painter.opacity() * fraction);
    // Stand the image upright in the y-up painter: mirror about the destination's horizontal centre.
    const bool yUp = painter.worldTransform().m22() < 0 ||
                     (painter.worldTransform().m22() == 0 && painter.worldTransform().m12() != 0);
    if (yUp) {
        painter.translate(0, dst.minY() + dst.maxY());
        painter.scale(1, -1);
    }
    painter.drawImage(toQ(dst), image, pixels);
    painter.restore();
}

DevicePlacement devicePlacement(const QPainter& painter, const Rect& area)
{
    DevicePlacement placement;
    placement.ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // The whole way to the device: also what a painter shared with an outer one (a view rendered into
    // another's painting) puts before the view's own transform.
    const QTransform& t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || std::abs(t.m11()) != placement.ratio ||
        std::abs(t.m22()) != placement.ratio || area.isEmpty())
        return placement;
    const QRectF device = t.mapRect(area.toQRectF());
    const int left = int(std::floor(device.left())), top = int(std::floor(device.top()));
    const int right = int(std::ceil(device.right())), bottom = int(std::ceil(device.bottom()));
    placement.pixels = QRect(left, top, right - left, bottom - top);
    placement.phase = QPointF(device.left() - left, device.top() - top);
    placement.yUp = t.m22() < 0;
    placement.valid = !placement.pixels.isEmpty();
    return placement;
}

QImage renderAtDevicePixels(const QPainter& painter, const DevicePlacement& placement,
                            const std::function<void(QPainter&)>& draw)
{
    QImage picture(placement.pixels.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    picture.setDevicePixelRatio(placement.ratio);
    QPainter p(&picture);
    p.setRenderHints(painter.renderHints());
    // The painter's way to the device, moved so that the placement's first pixel is the picture's
    // first (the picture's own pixel ratio scales last).
    p.setTransform(painter.deviceTransform() *
                   QTransform::fromTranslate(-placement.pixels.x(), -placement.pixels.y()) *
                   QTransform::fromScale(1 / placement.ratio, 1 / placement.ratio));
    draw(p);
    return picture;
}

void copyAtDevicePixels(QPainter& painter, const QImage& picture, const DevicePlacement& placement)
{
    painter.save();
    painter.resetTransform();
    // Whole pixels onto whole pixels: no filtering, so the painter takes its plain copying path.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QPointF at = painter.deviceTransform().inverted().map(QPointF(placement.pixels.topLeft()));
    painter.drawImage(at, picture);
    painter.restore();
}

void drawThreePartImage(QPainter& painter, const Rect& frame, const QImage& startCap, const QImage& center,
                        const QImage& endCap, bool vertical, QPainter::CompositionMode mode, double fraction)
{
    const Rect f = frame.standardized();
    auto extent = [vertical](const QImage& image) {
        const double dpr = image.isNull() ? 1 : image.devicePixelRatio();
        return (vertical ? image.height() : image.width()) / dpr;
    };
    double a = extent(startCap), b = extent(endCap);
    const double available = vertical ? f.height() : f.width();
    if (a + b > available && a + b > 0) {
        const double scale = available / (a + b);
        a *= scale;
        b *= scale;
    }
    if (vertical) {
        // The start cap is at the top: the larger y in a y-up painter, the smaller in a flipped one.
        const bool yUp = painter.worldTransform().m22() < 0;
        const Rect top =
            yUp ? Rect(f.minX(), f.maxY() - a, f.width(), a) : Rect(f.minX(), f.minY(), f.width(), a);
        const Rect bottom =
            yUp ? Rect(f.minX(), f.minY(), f.width(), b) : Rect(f.minX(), f.maxY() - b, f.width(), b);
        drawImage(painter, startCap, top, Rect::null(), mode, fraction);
        drawImage(painter, center,
                  Rect(f.minX(), yUp ? f.minY() + b : f.minY() + a, f.width(), available - a - b),
                  Rect::null(), mode, fraction);
        drawImage(painter, endCap, bottom, Rect::null(), mode, fraction);
    } else {
        drawImage(painter, startCap, Rect(f.minX(), f.minY(), a, f.height()), Rect::null(), mode, fraction);
        drawImage(painter, center, Rect(f.minX() + a, f.minY(), available - a - b, f.height()), Rect::null(),
                  mode, fraction);
        drawImage(painter, endCap, Rect(f.maxX() - b, f.minY(), b, f.height()), Rect::null(), mode, fraction);
    }
}

void fillWithPattern(QPainter& painter, const QPainterPath& path, const QImage& pattern, Point phase,
                     double rotation)
{
    if (pattern.isNull())
        return;
    QBrush brush(pattern);
    QTransform transform;
    transform.translate(phase.x, phase.y);
    transform.rotate(rotation);
    // Tiles stand upright in a y-up painter: each is mirrored within its own height.
    const bool yUp = painter.worldTransform().m22() < 0;
    if (yUp) {
        transform.translate(0, pattern.height() / pattern.devicePixelRatio());
        transform.scale(1, -1);
    }
    transform.scale(1 / pattern.devicePixelRatio(), 1 / pattern.devicePixelRatio());
    brush.setTransform(transform);
    painter.fillPath(path, brush);
}

// Strokes, fills, compositing ---------------------------------------------------------------------

void strokeDashed(QPainter& painter, const QPainterPath& path, const QColor& color, double lineWidth,
                  const QList<double>& pattern, double phase)
{
    QPen pen(color, lineWidth);
    pen.setCapStyle(Qt::FlatCap);
    if (!pattern.isEmpty() && lineWidth > 0) {
        // Qt measures dashes in line widths; the platform in units.
        QList<qreal> dashes;
        for (double length : pattern)
            dashes.append(std::max(length, 0.0) / lineWidth);
        if (dashes.size() % 2)
            dashes.append(dashes); // an odd pattern repeats to alternate drawn and skipped
        pen.setDashPattern(dashes);
        pen.setDashOffset(phase / lineWidth);
    }
    painter.strokePath(path, pen);
}

void fillEvenOdd(QPainter& painter, QPainterPath path, const QBrush& brush)
{
    path.setFillRule(Qt::OddEvenFill);
    painter.fillPath(path, brush);
}

void clearRect(QPainter& painter, const Rect& rect)
{
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(toQ(rect), Qt::transparent);
    painter.restore();
}

void eraseWith(QPainter& painter, const QPainterPath& path, double alpha)
{
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, float(std::clamp(alpha, 0.0, 1.0))));
    painter.restore();
}

// Shadows ------------------------------------------------------------------------------------------

void drawWithShadow(QPainter& painter, const Shadow& shadow, const Rect& area,
                    const std::function<void(QPainter&)>& draw)
{
    const QTransform world = painter.worldTransform();
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double grow = shadow.blurRadius * 1.5 + 1;
    // Where the drawing lands in the painter's untransformed coordinates, grown by the blur.
    const QRect logical = world.mapRect(toQ(area)).adjusted(-grow, -grow, grow, grow).toAlignedRect();
    if (logical.isEmpty()) {
        draw(painter);
        return;
    }
    QImage content((logical.size() * dpr), QImage::Format_ARGB32_Premultiplied);
    content.setDevicePixelRatio(dpr);
    content.fill(Qt::transparent);
    {
        QPainter offscreen(&content);
        offscreen.setRenderHints(painter.renderHints());
        offscreen.setFont(painter.font());
        offscreen.setPen(painter.pen());
        offscreen.setBrush(painter.brush());
        offscreen.setTransform(world * QTransform::fromTranslate(-logical.x(), -logical.y()));
        draw(offscreen);
    }
    // The shadow: the drawing's coverage in the shadow colour, blurred.
    const int w = content.width(), h = content.height();
    std::vector<float> alpha(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(content.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[size_t(y) * w + x] = qAlpha(row[x]) / 255.0f;
    }
    blurAlpha(alpha, w, h, shadow.blurRadius / 2 * dpr);
    QImage shadowImage(w, h, QImage::Format_ARGB32_Premultiplied);
    shadowImage.setDevicePixelRatio(dpr);
    const double sa = shadow.color.alphaF();
    for (int y = 0; y < h; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(shadowImage.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double a = std::clamp(double(alpha[size_t(y) * w + x]) * sa, 0.0, 1.0);
            row[x] = qRgba(int(std::lround(shadow.color.redF() * a * 255)),
                           int(std::lround(shadow.color.greenF() * a * 255)),
                           int(std::lround(shadow.color.blueF() * a * 255)), int(std::lround(a * 255)));
        }
    }
    // The offset is y-up in the drawing's coordinates: map it as a vector.
    const QPointF offset =
        world.map(QPointF(shadow.offset.width, shadow.offset.height)) - world.map(QPointF(0, 0));
    painter.save();
    painter.resetTransform();
    painter.drawImage(QPointF(logical.topLeft()) + offset, shadowImage);
    painter.drawImage(QPointF(logical.topLeft()), content);
    painter.restore();
}

// Fonts --------------------------------------------------------------------------------------------

QFont systemFont(double pointSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(pointSize > 0 ? pointSize : 13);
    return font;
}

QFont boldSystemFont(double pointSize)
{
    QFont font = systemFont(pointSize);
    font.setBold(true);
    return font;
}

QFont fontNamed(const QString& name, double pointSize)
{
    QFont font = systemFont(pointSize);
    if (name.contains(QLatin1String("Bold"), Qt::CaseInsensitive))
        font.setBold(true);
    return font;
}

bool registerFontFile(const QString& path, QString* error)
{
    if (!QFileInfo(path).isFile()) {
        if (error)
            *error = QStringLiteral("no such file: \"%1\"").arg(path);
        return false;
    }
    if (QFontDatabase::addApplicationFont(path) < 0) {
        if (error)
            *error = QStringLiteral("not a usable font file: \"%1\"").arg(path);
        return false;
    }
    return true;
}

QStringList availableFontFamilies()
{
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    return families;
}

} // namespace pf
