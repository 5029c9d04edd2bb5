#include "Platform/UI/LayerRenderer.h"

#include "Platform/UI/Animation.h"
#include "Platform/UI/AnimationScheduler.h"
#include "Platform/UI/Layer.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
#include <optional>
#include <unordered_map>

namespace pf {

namespace {

// A subtree is drawn from its cache once it stayed the same for this many frames in a row.
constexpr int kStableFramesBeforeCaching = 2;
// Caches and offscreen groups larger than this many pixels are not made.
constexpr double kMaxCachePixels = 4096.0 * 4096.0;
// How far beyond the area drawn an image may reach and still be left to the painter to cut: well within
// the range of the rasteriser's fixed-point coordinates.
constexpr double kFarOutside = 4096;
// Pieces of images smaller than this many pixels are drawn whole under what covers them: clipping them
// would cost more.
constexpr double kMinClippedArea = 32768;

QPolygonF rectPolygon(const Rect& r)
{
    return QPolygonF({QPointF(r.minX(), r.minY()), QPointF(r.maxX(), r.minY()), QPointF(r.maxX(), r.maxY()),
                      QPointF(r.minX(), r.maxY())});
}

// The bounds with rounded corners, as a polygon fine enough for `pixelsPerUnit` on screen.
QPolygonF outline(const Rect& r, double radius, double pixelsPerUnit)
{
    radius = std::min({radius, r.width() / 2, r.height() / 2});
    if (!(radius > 0))
        return rectPolygon(r);
    const int steps = std::clamp(static_cast<int>(std::ceil(radius * pixelsPerUnit / 3)), 2, 16);
    QPolygonF polygon;
    polygon.reserve(4 * (steps + 1));
    const QPointF centres[4] = {{r.maxX() - radius, r.minY() + radius},
                                {r.maxX() - radius, r.maxY() - radius},
                                {r.minX() + radius, r.maxY() - radius},
                                {r.minX() + radius, r.minY() + radius}};
    for (int corner = 0; corner < 4; ++corner) {
        const double start = -std::numbers::pi / 2 + corner * std::numbers::pi / 2;
        for (int i = 0; i <= steps; ++i) {
            const double angle = start + (std::numbers::pi / 2) * i / steps;
            polygon.append(centres[corner] + QPointF(std::cos(angle), std::sin(angle)) * radius);
        }
    }
    return polygon;
}

double polygonArea(const QPolygonF& polygon)
{
    double area = 0;
    for (int i = 0; i < polygon.size(); ++i) {
        const QPointF& a = polygon[i];
        const QPointF& b = polygon[(i + 1) % polygon.size()];
        area += a.x() * b.y() - b.x() * a.y();
    }
    return std::abs(area) / 2;
}

// Half the size in each direction, each pixel the average of four (premultiplied or opaque, 32 bits).
QImage halve(const QImage& source)
{
    const int w = std::max(1, (source.width() + 1) / 2), h = std::max(1, (source.height() + 1) / 2);
    QImage result(w, h, source.format());
    const int sw = source.width(), sh = source.height();
    for (int y = 0; y < h; ++y) {
        const uint* row0 = reinterpret_cast<const uint*>(source.constScanLine(std::min(2 * y, sh - 1)));
        const uint* row1 = reinterpret_cast<const uint*>(source.constScanLine(std::min(2 * y + 1, sh - 1)));
        uint* out = reinterpret_cast<uint*>(result.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int x0 = std::min(2 * x, sw - 1), x1 = std::min(2 * x + 1, sw - 1);
            const uint p[4] = {row0[x0], row0[x1], row1[x0], row1[x1]};
            uint value = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const uint sum = ((p[0] >> shift) & 0xff) + ((p[1] >> shift) & 0xff) +
                                 ((p[2] >> shift) & 0xff) + ((p[3] >> shift) & 0xff);
                value |= ((sum + 2) / 4) << shift;
            }
            out[x] = value;
        }
    }
    return result;
}

// One pass of a box blur of the given radius along rows (or columns) of an 8-bit alpha image.
void boxBlur(QImage& image, int radius, bool horizontal)
{
    const int w = image.width(), h = image.height();
    const int lines = horizontal ? h : w, length = horizontal ? w : h;
    const qsizetype stride = image.bytesPerLine();
    std::vector<uchar> line(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        uchar* base = horizontal ? image.scanLine(l) : image.bits() + l;
        const qsizetype step = horizontal ? 1 : stride;
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = base[i * step];
        int sum = 0;
        auto at = [&](int i) { return (i < 0 || i >= length) ? 0 : line[static_cast<size_t>(i)]; };
        for (int i = -radius; i <= radius; ++i)
            sum += at(i);
        for (int i = 0; i < length; ++i) {
            base[i * step] = static_cast<uchar>((sum + window / 2) / window);
            sum += at(i + radius + 1) - at(i - radius);
        }
    }
}

// The shadow of `source`: its alpha, blurred by a Gaussian of deviation `sigma` (three box passes),
// in `color`.
QImage shadowOf(const QImage& source, const QColor& color, double sigma)
{
    QImage alpha = source.convertToFormat(QImage::Format_Alpha8);
    if (sigma > 0.3) {
        const int radius = std::max(1, static_cast<int>(std::lround(std::sqrt(4 * sigma * sigma + 1) / 2)));
        for (int pass = 0; pass < 3; ++pass) {
            boxBlur(alpha, radius, true);
            boxBlur(alpha, radius, false);
        }
    }
    QImage shadow(source.size(), QImage::Format_ARGB32_Premultiplied);
    shadow.fill(color);
    QPainter painter(&shadow);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, alpha);
    return shadow;
}

bool visible(const LayerState& s)
{
    return !s.hidden && s.opacity > 0;
}

// Where an image of `pixels` is drawn in the layer: placed by gravity, and only the part of the contents
// rectangle that lies on the image. Null when nothing of it is drawn.
Rect drawnPart(const LayerState& s, QSize pixels)
{
    const Rect dest = s.contentsDestination(pixels);
    const Rect cr = s.contentsRect.standardized();
    if (dest.width() <= 0 || dest.height() <= 0 || cr.width() <= 0 || cr.height() <= 0)
        return Rect::null();
    const Rect onImage = cr.intersected(Rect(0, 0, 1, 1));
    if (onImage.isNull() || onImage.isEmpty())
        return Rect::null();
    const double ax = dest.width() / cr.width(), ay = dest.height() / cr.height();
    return {dest.minX() + (onImage.minX() - cr.minX()) * ax, dest.minY() + (onImage.minY() - cr.minY()) * ay,
            onImage.width() * ax, onImage.height() * ay};
}

// Whether masking to the bounds (with rounded corners of `radius`) leaves an image drawn over `part`
// whole: it lies inside the bounds and clear of the corner arcs.
bool withinBounds(const Rect& part, const Rect& b, double radius)
{
    if (part.isNull() || part.isEmpty())
        return true;
    // Placement by gravity may land a hair outside bounds it fills exactly.
    const double e = 1e-9 * std::max({1.0, std::abs(b.minX()), std::abs(b.maxX()), std::abs(b.minY()),
                                      std::abs(b.maxY())});
    auto inside = [e](double lo, double hi, double min, double max) {
        return lo >= min - e && hi <= max + e;
    };
    if (!inside(part.minX(), part.maxX(), b.minX(), b.maxX()) ||
        !inside(part.minY(), part.maxY(), b.minY(), b.maxY()))
        return false;
    radius = std::min({radius, b.width() / 2, b.height() / 2});
    if (!(radius > 0))
        return true;
    // Within the bounds, a rectangle misses every corner when it keeps within the cross between them.
    return inside(part.minX(), part.maxX(), b.minX() + radius, b.maxX() - radius) ||
           inside(part.minY(), part.maxY(), b.minY() + radius, b.maxY() - radius);
}

} // namespace

// The drawing of one frame (or one offscreen part of it). A friend of Layer.
struct LayerRendering
{
    struct Child
    {
        Layer* layer;
        LayerState state;
    };

    // Part of a later layer that is fully opaque: what it hides of the layers drawn before it.
    struct Occluder
    {
        int order;
        QPolygonF shape; // in target pixels, shrunk a little so antialiased edges cover what lies below
        QRectF box;
    };

    QPainter* painter;
    QRectF limits; // device area worth drawing
    double time;
    bool presentation;
    // What the painter needs set for device pixels: on a screen of more than one pixel per point the
    // painter scales by itself, and the pass works in device pixels all the same.
    QTransform base = QTransform();

    // Culling, prepared by collect(): the place of each layer drawn straight into this target, in the
    // painter's order, and the opaque shapes of layers; and the sublayers with their states, worked out
    // once per frame.
    std::unordered_map<const Layer*, int> order;
    std::vector<Occluder> occluders;
    std::unordered_map<const Layer*, std::vector<Child>> childLists;

    LayerState stateOf(const Layer& layer) const
    {
        if (presentation)
            return layer.presentationState(time);
        LayerState state = layer.m_model;
        if (layer.m_showsBacking)
            state.contents = layer.m_backing;
        return state;
    }

    // Layout and marked drawing of a whole tree; every layer in it now has been seen.
    static void prepare(Layer& root)
    {
        root.layoutIfNeeded();
        display(root);
    }

    // A hidden layer is not drawn, nor anything under it: its drawing waits until it shows (a pile of
    // thousands keeps most of its thumbnails hidden). It counts as seen all the same.
    static void display(Layer& layer, bool hidden = false)
    {
        layer.m_presented = true;
        hidden = hidden || layer.m_model.hidden;
        if (!hidden)
            layer.displayIfNeeded();
        const std::vector<std::shared_ptr<Layer>> sublayers = layer.m_sublayers;
        for (const auto& sublayer : sublayers)
            display(*sublayer, hidden);
        if (layer.m_mask)
            display(*layer.m_mask, hidden);
    }

    // The sublayers in the painter's order: sublayer order, then zPosition.
    std::vector<Child> children(const Layer& layer) const
    {
        const auto known = childLists.find(&layer);
        if (known != childLists.end())
            return known->second;
        std::vector<Child> result;
        result.reserve(layer.m_sublayers.size());
        for (const auto& sublayer : layer.m_sublayers)
            result.push_back({sublayer.get(), stateOf(*sublayer)});
        std::stable_sort(result.begin(), result.end(), [](const Child& a, const Child& b) {
            return a.state.zPosition < b.state.zPosition;
        });
        return result;
    }

    // Whether anything under the layer, or the layer's own content, is animating.
    static bool contentAnimates(const Layer& layer, bool self)
    {
        if (self) {
            for (const auto& running : layer.m_animations)
                for (const QString& key : running.animation->keyPaths())
                    if (key != QLatin1String("position") && key != QLatin1String("zPosition") &&
                        key != QLatin1String("transform") && key != QLatin1String("opacity") &&
                        key != QLatin1String("anchorPoint") && key != QLatin1String("anchorPointZ"))
                        return true;
        } else if (!layer.m_animations.empty()) {
            return true;
        }
        for (const auto& sublayer : layer.m_sublayers)
            if (contentAnimates(*sublayer, false))
                return true;
        return layer.m_mask && contentAnimates(*layer.m_mask, false);
    }

    // The bounding box in the target of everything the layer and its sublayers draw.
    Rect extent(const Layer& layer, const LayerState& s, const Homography& map, const QRectF& bound) const
    {
        Rect result = map.mapRect(s.bounds, bound);
        if (s.masksToBounds)
            return result;
        for (const Child& child : children(layer))
            if (visible(child.state)) {
                const Rect e = extent(*child.layer, child.state,
                                      Layer::mapToSuperlayer(child.state, &s).then(map), bound);
                result = result.isNull() ? e : (e.isNull() ? result : result.united(e));
            }
        return result;
    }

    static bool castsShadow(const LayerState& s)
    {
        return s.shadowOpacity > 0 && s.shadowColor.isValid() && s.shadowColor.alpha() > 0;
    }

    static bool needsGroup(const Layer& layer, const LayerState& s, const std::vector<Child>& sublayers)
    {
        const bool hasVisibleSublayers =
            std::any_of(sublayers.begin(), sublayers.end(), [](const Child& c) { return visible(c.state); });
        return (s.opacity < 1 && hasVisibleSublayers) || layer.m_mask || castsShadow(s);
    }

    void drawLayer(Layer& layer, const LayerState& s, const Homography& map, double opacity)
    {
        if (!visible(s))
            return;
        const std::vector<Child> sublayers = children(layer);
        if (needsGroup(layer, s, sublayers))
            drawGroup(layer, s, map, opacity, sublayers, castsShadow(s));
        else
            drawContent(layer, s, map, opacity * s.opacity, sublayers, true);
    }

    // Walks the tree as drawLayer() will, noting the order of the layers drawn straight into the target
    // and the opaque shapes among them.
    void collect(const Layer& layer, const LayerState& s, const Homography& map, double opacity, bool clipped)
    {
        if (!visible(s))
            return;
        const int place = static_cast<int>(order.size());
        order[&layer] = place;
        std::vector<Child> sublayers = children(layer);
        if (needsGroup(layer, s, sublayers))
            return;
        const double effective = opacity * s.opacity;
        if (!clipped && effective >= 1)
            if (std::optional<QPolygonF> shape = opaqueShape(s, map)) {
                const QRectF box = shape->boundingRect();
                if (box.width() * box.height() > 400) // small ones are not worth their cost
                    occluders.push_back({place, *shape, box});
            }
        for (const Child& child : sublayers)
            collect(*child.layer, child.state, Layer::mapToSuperlayer(child.state, &s).then(map), effective,
                    clipped || s.masksToBounds);
        childLists.emplace(&layer, std::move(sublayers));
    }

    // Where the layer's own drawing is surely opaque, in target pixels: an opaque background without
    // rounded corners, or contents without alpha that fill their rectangle.
    std::optional<QPolygonF> opaqueShape(const LayerState& s, const Homography& map) const
    {
        const Rect b = s.bounds.standardized();
        Rect area = Rect::null();
        if (s.backgroundColor.isValid() && s.backgroundColor.alpha() == 255 && s.cornerRadius <= 0) {
            area = b;
        } else if (!s.contents.isNull() && !s.contents.hasAlphaChannel() && s.fadeContents.isNull() &&
                   Rect(0, 0, 1, 1).contains(s.contentsRect.standardized()) &&
                   !(s.masksToBounds && s.cornerRadius > 0)) {
            area = s.contentsDestination(s.contents.size());
            if (s.masksToBounds)
                area = area.intersected(b);
        }
        if (area.isNull() || area.isEmpty())
            return std::nullopt;
        QPolygonF shape = shrink(map.mapClipped(map.clipped(rectPolygon(area), limits)), 1.5);
        if (shape.size() < 3)
            return std::nullopt;
        return shape;
    }

    // A convex polygon with every edge moved inwards by `distance`, counter-clockwise (y-down); empty
    // when nothing is left.
    static QPolygonF shrink(const QPolygonF& polygon, double distance)
    {
        QPolygonF points;
        for (const QPointF& p : polygon)
            if (points.isEmpty() || QLineF(points.back(), p).length() > 1e-6)
                points.append(p);
        while (points.size() > 1 && QLineF(points.back(), points.front()).length() <= 1e-6)
            points.removeLast();
        const int n = static_cast<int>(points.size());
        if (n < 3)
            return {};
        double area = 0;
        for (int i = 0; i < n; ++i)
            area += points[i].x() * points[(i + 1) % n].y() - points[(i + 1) % n].x() * points[i].y();
        if (area < 0)
            std::reverse(points.begin(), points.end());
        // With a positive signed area the inside lies to the left of each edge: normal (-dy, dx).
        std::vector<QLineF> edges;
        for (int i = 0; i < n; ++i) {
            const QPointF a = points[i], b = points[(i + 1) % n];
            const QPointF d = b - a;
            const double length = std::hypot(d.x(), d.y());
            const QPointF inward(-d.y() / length * distance, d.x() / length * distance);
            edges.emplace_back(a + inward, b + inward);
        }
        QPolygonF result;
        for (int i = 0; i < n; ++i) {
            QPointF corner;
            if (edges[(i + n - 1) % n].intersects(edges[i], &corner) == QLineF::NoIntersection)
                return {};
            result.append(corner);
        }
        double shrunkArea = 0;
        for (int i = 0; i < n; ++i)
            shrunkArea += result[i].x() * result[(i + 1) % n].y() - result[(i + 1) % n].x() * result[i].y();
        return shrunkArea > 0 ? result : QPolygonF();
    }

    // The whole target pixels that opaque layers drawn after `layer` hide within `box`, leaving out the
    // occluders in `skip`. Pixels, not paths: boolean operations on paths come out wrong where edges of
    // the shapes overlap, as those of layers cut by the same side of the target do. A region takes a
    // pixel whose corner lies inside, so the shapes are moved in by one more pixel to keep every pixel
    // taken under the opaque inside of its layer.
    QRegion hiddenBehind(const Layer& layer, const QRectF& box, const std::vector<size_t>& skip) const
    {
        QRegion hidden;
        const auto it = order.find(&layer);
        if (it == order.end())
            return hidden;
        for (size_t i = 0; i < occluders.size(); ++i)
            if (occluders[i].order > it->second && occluders[i].box.intersects(box) &&
                std::find(skip.begin(), skip.end(), i) == skip.end())
                if (const QPolygonF inside = shrink(occluders[i].shape, 1); !inside.isEmpty())
                    hidden += QRegion(inside.toPolygon());
        return hidden;
    }

    // Where a convex polygon meets the line y = c (or x = c when `alongY`): the interval it covers
    // along the line, or nothing.
    static std::optional<std::pair<double, double>> spanOn(const QPolygonF& polygon, double c, bool alongY)
    {
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (int i = 0; i < polygon.size(); ++i) {
            const QPointF& p = polygon[i];
            const QPointF& q = polygon[(i + 1) % polygon.size()];
            const double pc = alongY ? p.x() : p.y(), qc = alongY ? q.x() : q.y();
            const double pv = alongY ? p.y() : p.x(), qv = alongY ? q.y() : q.x();
            if (pc == c) {
                lo = std::min(lo, pv);
                hi = std::max(hi, pv);
            }
            if ((pc < c && qc > c) || (pc > c && qc < c)) {
                const double v = pv + (qv - pv) * (c - pc) / (qc - pc);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
        if (!(lo <= hi))
            return std::nullopt;
        return std::make_pair(lo, hi);
    }

    // The largest band found of a convex polygon of a layer's plane that lies inside it as an upright
    // rectangle, limited to `r`: between its second lowest and second highest corner it narrows only
    // towards those ends. Null when there is none.
    static Rect inscribed(const QPolygonF& polygon, const Rect& r)
    {
        std::vector<double> ys;
        for (const QPointF& p : polygon)
            ys.push_back(p.y());
        if (ys.size() < 3)
            return Rect::null();
        std::sort(ys.begin(), ys.end());
        const double bottom = std::max(r.minY(), ys[1]), top = std::min(r.maxY(), ys[ys.size() - 2]);
        if (!(bottom < top))
            return Rect::null();
        // Along a convex polygon the left side is convex and the right side concave: what both ends of
        // the band hold, every line between them holds.
        const auto low = spanOn(polygon, bottom, false), high = spanOn(polygon, top, false);
        if (!low || !high)
            return Rect::null();
        const double left = std::max({low->first, high->first, r.minX()});
        const double right = std::min({low->second, high->second, r.maxX()});
        if (!(left < right))
            return Rect::null();
        return {left, bottom, right - left, top - bottom};
    }

    // What is left of `r` around `inner` (a rectangle within it): up to four strips that overlap one
    // another and reach `margin` (x, y) into `inner`, so that their cut edges lie where something else
    // is drawn over them.
    static std::vector<Rect> around(const Rect& r, const Rect& inner, QSizeF margin)
    {
        std::vector<Rect> strips;
        auto add = [&strips](double x0, double y0, double x1, double y1) {
            if (x0 < x1 && y0 < y1)
                strips.emplace_back(x0, y0, x1 - x0, y1 - y0);
        };
        if (inner.minX() > r.minX())
            add(r.minX(), r.minY(), std::min(inner.minX() + margin.width(), r.maxX()), r.maxY());
        if (inner.maxX() < r.maxX())
            add(std::max(inner.maxX() - margin.width(), r.minX()), r.minY(), r.maxX(), r.maxY());
        if (inner.minY() > r.minY())
            add(inner.minX(), r.minY(), inner.maxX(), std::min(inner.minY() + margin.height(), r.maxY()));
        if (inner.maxY() < r.maxY())
            add(inner.minX(), std::max(inner.maxY() - margin.height(), r.minY()), inner.maxX(), r.maxY());
        return strips;
    }

    // The rectangles of `part` (of the layer's plane) that opaque layers drawn after `layer` leave to be
    // drawn, so that each is drawn without a clip: a cover takes out an upright rectangle it holds, and
    // what is left around it stays. Each cut keeps `margin` (x, y) of the cover drawn, hidden under it,
    // so that the new edge's antialiasing and the filtering of the image along it stay out of sight.
    // Leftovers that overlap are made only when `overlapping` (an opaque image drawn whole, which looks
    // the same drawn twice). The occluders that cut are added to `used`.
    std::vector<Rect> uncovered(const Layer& layer, const Rect& part, const Homography& map, QSizeF margin,
                                bool overlapping, std::vector<size_t>& used) const
    {
        constexpr size_t kMaxPieces = 16; // beyond this many draws, clips cost less
        std::vector<Rect> pieces{part};
        const auto it = order.find(&layer);
        Homography inverse;
        if (it == order.end() || !map.invert(&inverse))
            return pieces;
        const QRectF box = map.mapRect(part, limits).toQRectF();
        for (size_t i = 0; i < occluders.size() && !pieces.empty(); ++i) {
            const Occluder& occluder = occluders[i];
            if (occluder.order <= it->second || !occluder.box.intersects(box))
                continue;
            // The cover in this layer's plane; a cover some of which lies behind the eye as seen from
            // this plane is left to the clip.
            QPolygonF cover;
            for (const QPointF& corner : occluder.shape) {
                Point p;
                if (!inverse.map(Point(corner.x(), corner.y()), &p))
                    break;
                cover.append(QPointF(p.x, p.y));
            }
            if (cover.size() != occluder.shape.size())
                continue;
            std::vector<Rect> next;
            bool cut = false;
            for (size_t k = 0; k < pieces.size(); ++k) {
                const Rect& piece = pieces[k];
                const Rect inner = inscribed(cover, piece);
                if (!inner.isNull()) {
                    std::vector<Rect> strips = around(piece, inner, margin);
                    double left = 0;
                    for (const Rect& strip : strips)
                        left += strip.width() * strip.height();
                    if (left < 0.9 * piece.width() * piece.height() && (overlapping || strips.size() <= 1) &&
                        next.size() + strips.size() + (pieces.size() - k - 1) <= kMaxPieces) {
                        next.insert(next.end(), strips.begin(), strips.end());
                        cut = true;
                        continue;
                    }
                }
                next.push_back(piece);
            }
            if (cut) {
                used.push_back(i);
                pieces = std::move(next);
            }
        }
        return pieces;
    }

    // Composes the layer offscreen (in target pixels) and then draws it once: for group opacity, a mask
    // or a shadow.
    void drawGroup(Layer& layer, const LayerState& s, const Homography& map, double opacity,
                   const std::vector<Child>& sublayers, bool shadow)
    {
        const Point centre(s.bounds.midX(), s.bounds.midY());
        const double scale = map.scaleAt(centre);
        double sigma = 0;
        QPointF offset;
        int pad = 0;
        if (shadow) {
            sigma = std::max(0.0, s.shadowRadius) / 2 * scale;
            pad = static_cast<int>(std::ceil(3 * sigma)) + 1;
            Point a, b;
            if (map.map(centre, &a) &&
                map.map(centre + Point(s.shadowOffset.width, s.shadowOffset.height), &b))
                offset = QPointF(b.x - a.x, b.y - a.y);
        }
        // The shadow of parts just outside the visible area may fall inside it.
        const QRectF bound = limits.adjusted(-pad - std::abs(offset.x()), -pad - std::abs(offset.y()),
                                             pad + std::abs(offset.x()), pad + std::abs(offset.y()));
        const Rect e = extent(layer, s, map, bound);
        if (e.isNull() || e.isEmpty())
            return;
        const QRect box = e.toQRectF().toAlignedRect().adjusted(-pad, -pad, pad, pad);
        if (box.isEmpty() || double(box.width()) * box.height() > kMaxCachePixels)
            return;
        QImage composed(box.size(), QImage::Format_ARGB32_Premultiplied);
        composed.fill(Qt::transparent);
        const Homography shift(QTransform::fromTranslate(-box.x(), -box.y()));
        {
            QPainter p(&composed);
            p.setRenderHints(painter->renderHints());
            LayerRendering inner{&p, QRectF(QPointF(), box.size()), time, presentation};
            inner.drawContent(layer, s, map.then(shift), 1, sublayers, true);
            if (layer.m_mask) {
                QImage maskImage(box.size(), QImage::Format_ARGB32_Premultiplied);
                maskImage.fill(Qt::transparent);
                {
                    QPainter mp(&maskImage);
                    mp.setRenderHints(painter->renderHints());
                    LayerRendering maskPass{&mp, inner.limits, time, presentation};
                    const LayerState m = maskPass.stateOf(*layer.m_mask);
                    maskPass.drawLayer(*layer.m_mask, m,
                                       Layer::mapToSuperlayer(m, nullptr).then(map).then(shift), 1);
                }
                p.resetTransform();
                p.setOpacity(1);
                p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
                p.drawImage(0, 0, maskImage);
            }
        }
        painter->save();
        painter->setTransform(base);
        if (shadow) {
            painter->setOpacity(opacity * s.opacity * s.shadowOpacity);
            painter->drawImage(QPointF(box.topLeft()) + offset, shadowOf(composed, s.shadowColor, sigma));
        }
        painter->setOpacity(opacity * s.opacity);
        painter->drawImage(box.topLeft(), composed);
        painter->restore();
    }

    // Background, contents, sublayers and border, drawn straight into the target.
    void drawContent(Layer& layer, const LayerState& s, const Homography& map, double opacity,
                     const std::vector<Child>& sublayers, bool mayUseCache)
    {
        if (mayUseCache && drawCached(layer, s, map, opacity, sublayers))
            return;
        QPainter& p = *painter;
        const Rect b = s.bounds.standardized();
        const double scale = map.scaleAt(Point(b.midX(), b.midY()));
        const QPolygonF shape = map.clipped(outline(b, s.cornerRadius, scale), limits);
        const QPolygonF deviceShape = map.mapClipped(shape);

        p.setPen(Qt::NoPen);
        if (s.backgroundColor.isValid() && s.backgroundColor.alpha() > 0 && !deviceShape.isEmpty()) {
            p.setTransform(base);
            p.setOpacity(opacity);
            p.setBrush(s.backgroundColor);
            p.drawPolygon(deviceShape);
        }
        // Masking to the bounds clips only what could reach beyond them: a clip costs a path to rasterize,
        // and it would antialias the contents' edges a second time.
        const bool fading = !s.fadeContents.isNull() && s.fadeFraction < 1;
        const bool clipContents =
            s.masksToBounds &&
            ((fading && !withinBounds(drawnPart(s, s.fadeContents.size()), b, s.cornerRadius)) ||
             (!s.contents.isNull() && !withinBounds(drawnPart(s, s.contents.size()), b, s.cornerRadius)));
        const bool clipSublayers =
            s.masksToBounds &&
            std::any_of(sublayers.begin(), sublayers.end(), [](const Child& c) { return visible(c.state); });
        bool clipping = false;
        auto clipToBounds = [&] {
            if (clipping)
                return;
            clipping = true;
            p.save();
            p.setTransform(base);
            QPainterPath clip;
            clip.addPolygon(deviceShape);
            p.setClipPath(clip, Qt::IntersectClip);
        };
        if (clipContents)
            clipToBounds();
        if (fading)
            drawImage(layer, s.fadeContents, s, map, opacity * (1 - s.fadeFraction), false);
        if (!s.contents.isNull())
            drawImage(layer, s.contents, s, map, opacity * (s.fadeContents.isNull() ? 1 : s.fadeFraction),
                      true);
        if (clipSublayers)
            clipToBounds();
        for (const Child& child : sublayers)
            if (visible(child.state))
                drawLayer(*child.layer, child.state, Layer::mapToSuperlayer(child.state, &s).then(map),
                          opacity);
        if (clipping)
            p.restore();

        if (s.borderWidth > 0 && s.borderColor.isValid() && s.borderColor.alpha() > 0 &&
            !deviceShape.isEmpty()) {
            QPainterPath ring;
            ring.setFillRule(Qt::OddEvenFill);
            ring.addPolygon(deviceShape);
            const Rect inner = b.insetBy(s.borderWidth, s.borderWidth);
            if (!inner.isNull() && !inner.isEmpty())
                ring.addPolygon(map.mapClipped(map.clipped(
                    outline(inner, std::max(0.0, s.cornerRadius - s.borderWidth), scale), limits)));
            p.setTransform(base);
            p.setOpacity(opacity);
            p.setPen(Qt::NoPen);
            p.setBrush(s.borderColor);
            p.drawPath(ring);
        }
    }

    // The contents image, placed by gravity, through the layer's map: from the reduced copy closest to
    // its size on screen.
    void drawImage(Layer& layer, const QImage& image, const LayerState& s, const Homography& map,
                   double opacity, bool reduce)
    {
        // Only the part of the contents rectangle that lies on the image is drawn.
        const Rect part = drawnPart(s, image.size());
        if (part.isNull() || part.isEmpty() || !(opacity > 0))
            return;
        const Rect dest = s.contentsDestination(image.size());
        const Rect cr = s.contentsRect.standardized();
        const double ax = dest.width() / cr.width(), ay = dest.height() / cr.height();
        const QPolygonF local = map.clipped(rectPolygon(part), limits);
        if (local.size() < 3)
            return;

        const QImage* source = &image;
        if (reduce) {
            const double localArea = polygonArea(local);
            const double deviceArea = polygonArea(map.mapClipped(local));
            const double imagePixelsPerUnit = std::sqrt(image.width() * cr.width() / dest.width() *
                                                        image.height() * cr.height() / dest.height());
            const double devicePixelsPerUnit = localArea > 0 ? std::sqrt(deviceArea / localArea) : 0;
            int level = 0;
            if (devicePixelsPerUnit > 0) {
                const double ratio = imagePixelsPerUnit / devicePixelsPerUnit;
                level = ratio > 1 ? static_cast<int>(std::lround(std::log2(ratio))) : 0;
            }
            source = &levelOf(layer, image, level);
        }
        const double lw = source->width(), lh = source->height();
        // Pixel (u, v) of the copy (v downwards) -> unit point of the image (y-up) -> layer point.
        const QTransform imageToLayer(dest.width() / (cr.width() * lw), 0, 0,
                                      -dest.height() / (cr.height() * lh), dest.minX() - cr.minX() * ax,
                                      dest.minY() + (1 - cr.minY()) * ay);
        fillTextured(*source, imageToLayer, map, part, local, opacity, &layer);
    }

    // Draws the part `part` (a rectangle of the layer's plane, whose visible piece is `local`) of an image
    // placed by `imageToLayer`, through the map. QPainter's image drawing keeps to its fast untiled
    // paths, and a clip is set only where it must be: where the rectangle comes close to the eye's plane,
    // or where opaque layers drawn later cover some of what is left of it once the rectangles they hold
    // are taken out. A clip costs more than the drawing of a thin strip.
    void fillTextured(const QImage& image, const QTransform& imageToLayer, const Homography& map,
                      const Rect& part, const QPolygonF& local, double opacity, const Layer* layer)
    {
        std::vector<size_t> used;
        if (layer && !occluders.empty()) {
            // Two pixels of the image are enough for its filtering along a cut, and two of the target for
            // the antialiasing of the cut edge.
            double smallestScale = std::numeric_limits<double>::infinity();
            for (const QPointF& corner : rectPolygon(part))
                smallestScale = std::min(smallestScale, map.scaleAt(Point(corner.x(), corner.y())));
            const double targetPixels = 2 / std::max(smallestScale, 1e-6);
            const QSizeF margin(
                std::max(2 * std::hypot(imageToLayer.m11(), imageToLayer.m12()), targetPixels),
                std::max(2 * std::hypot(imageToLayer.m21(), imageToLayer.m22()), targetPixels));
            const bool opaque = opacity >= 1 && !image.hasAlphaChannel() &&
                                painter->compositionMode() == QPainter::CompositionMode_SourceOver;
            const std::vector<Rect> pieces = uncovered(*layer, part, map, margin, opaque, used);
            if (!used.empty()) {
                for (const Rect& piece : pieces) {
                    const QPolygonF pieceLocal = map.clipped(rectPolygon(piece), limits);
                    if (pieceLocal.size() >= 3)
                        fillPiece(image, imageToLayer, map, piece, pieceLocal, opacity, layer, used);
                }
                return;
            }
        }
        fillPiece(image, imageToLayer, map, part, local, opacity, layer, used);
    }

    // One rectangle of fillTextured(), under the occluders other than `used`.
    void fillPiece(const QImage& image, const QTransform& imageToLayer, const Homography& map,
                   const Rect& shown, const QPolygonF& shownLocal, double opacity, const Layer* layer,
                   const std::vector<size_t>& used)
    {
        const QPolygonF whole = rectPolygon(shown);
        const bool cut = shownLocal != whole;
        // How far from the eye's plane the rectangle reaches: too close, and the image would have to be
        // mapped through enormous coordinates; then only a texture fill of the visible piece is safe.
        double wMin = std::numeric_limits<double>::infinity();
        for (const QPointF& p : whole)
            wMin = std::min(wMin, map.w(Point(p.x(), p.y())));
        const bool nearEye = !(wMin > 0.05);
        // Cut only by the edges of the area drawn, the rectangle needs no clip of its own: the painter keeps
        // to the device and its clip anyway.
        const bool needsClip =
            cut && (nearEye || !limits.adjusted(-kFarOutside, -kFarOutside, kFarOutside, kFarOutside)
                                    .contains(map.mapClipped(whole).boundingRect()));
        const QPolygonF onDevice = map.mapClipped(shownLocal);
        // A small piece costs less to draw whole than to clip.
        QPainterPath shownPart;
        if (layer && !occluders.empty() && polygonArea(onDevice) > kMinClippedArea) {
            const QRegion hidden = hiddenBehind(*layer, onDevice.boundingRect(), used);
            if (!hidden.isEmpty()) {
                if ((QRegion(onDevice.toPolygon()) - hidden).isEmpty())
                    return;
                // The clip keeps clear of the piece's own edges, which the drawing antialiases already: a
                // second pass over them would thin them out.
                const QPolygonF grown = shrink(onDevice, -2);
                shownPart.addRegion(QRegion((grown.isEmpty() ? onDevice : grown).toPolygon()) - hidden);
            }
        }
        painter->setOpacity(opacity);
        const bool clipping = needsClip || !shownPart.isEmpty();
        if (clipping) {
            painter->save();
            painter->setTransform(base);
            if (needsClip) {
                QPainterPath visiblePath;
                visiblePath.addPolygon(onDevice);
                painter->setClipPath(visiblePath, Qt::IntersectClip);
            }
            if (!shownPart.isEmpty())
                painter->setClipPath(shownPart, Qt::IntersectClip);
        }
        if (cut && nearEye) {
            QBrush brush(image);
            brush.setTransform(imageToLayer);
            painter->setPen(Qt::NoPen);
            painter->setBrush(brush);
            painter->setTransform(map.transform() * base);
            painter->drawPolygon(shownLocal);
        } else {
            const QRectF source = imageToLayer.inverted().mapRect(shown.toQRectF());
            painter->setTransform(imageToLayer * map.transform() * base);
            painter->drawImage(source, image, source);
        }
        if (clipping)
            painter->restore();
    }

    // Level 0 is the image itself (in a format QPainter draws fast); level k is halved k times.
    static const QImage& levelOf(Layer& layer, const QImage& image, int level)
    {
        const bool fast =
            image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGB32;
        if (layer.m_levelsKey != image.cacheKey()) {
            layer.m_levels.clear();
            layer.m_levelsKey = image.cacheKey();
        }
        if (layer.m_levels.empty())
            layer.m_levels.push_back(fast ? QImage()
                                          : image.convertToFormat(image.hasAlphaChannel()
                                                                      ? QImage::Format_ARGB32_Premultiplied
                                                                      : QImage::Format_RGB32));
        const QImage& base = fast ? image : layer.m_levels.front();
        while (static_cast<int>(layer.m_levels.size()) <= level) {
            const QImage& previous = layer.m_levels.size() == 1 ? base : layer.m_levels.back();
            if (previous.width() < 2 && previous.height() < 2)
                break;
            layer.m_levels.push_back(halve(previous));
        }
        const size_t index = std::min(static_cast<size_t>(std::max(level, 0)), layer.m_levels.size() - 1);
        return index == 0 ? base : layer.m_levels[index];
    }

    // A subtree that has not changed for a few frames is drawn from an image of it made in its own
    // plane, so that moving it (or redrawing around it) costs one image instead of the whole subtree.
    bool drawCached(Layer& layer, const LayerState& s, const Homography& map, double opacity,
                    const std::vector<Child>& sublayers)
    {
        Layer::SubtreeCache& cache = layer.m_subtreeCache;
        if (sublayers.empty() || !presentation) {
            cache = {};
            return false;
        }
        if (layer.m_lastDrawnRevision != layer.m_contentRevision) {
            layer.m_lastDrawnRevision = layer.m_contentRevision;
            layer.m_stableFrames = 0;
            cache = {};
            return false;
        }
        if (++layer.m_stableFrames < kStableFramesBeforeCaching || contentAnimates(layer, true))
            return false;

        // The extent in the layer's own plane, limited to what can be seen.
        Homography inverse;
        if (!map.invert(&inverse))
            return false;
        const Rect visibleExtent = extent(layer, s, map, limits);
        if (visibleExtent.isNull() || visibleExtent.isEmpty())
            return true; // nothing of it shows
        Rect local = extent(layer, s, Homography(), QRectF());
        if (local.isNull() || local.isEmpty())
            return true;
        double scale = 0;
        for (const QPointF& corner : rectPolygon(local))
            scale = std::max(scale, map.scaleAt(Point(corner.x(), corner.y())));
        scale = std::clamp(scale, 0.05, 2.0);
        if (std::abs(scale - 1) < 0.02)
            scale = 1; // keep pixels exact where the subtree is drawn at its own size
        local = Rect(std::floor(local.minX() * scale) / scale, std::floor(local.minY() * scale) / scale, 0, 0)
                    .united(Rect(std::ceil(local.maxX() * scale) / scale,
                                 std::ceil(local.maxY() * scale) / scale, 0, 0));
        const double pixels = local.width() * local.height() * scale * scale;
        if (!(pixels > 0) || pixels > kMaxCachePixels)
            return false;

        const bool fresh = !cache.image.isNull() && cache.revision == layer.m_contentRevision &&
                           std::abs(std::log(cache.scale / scale)) < std::log(1.25) &&
                           cache.extent.contains(local);
        if (!fresh) {
            const QSize size(static_cast<int>(std::lround(local.width() * scale)),
                             static_cast<int>(std::lround(local.height() * scale)));
            cache.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
            if (cache.image.isNull())
                return false;
            cache.image.fill(Qt::transparent);
            cache.extent = local;
            cache.scale = scale;
            cache.revision = layer.m_contentRevision;
            QPainter p(&cache.image);
            p.setRenderHints(painter->renderHints());
            LayerRendering inner{&p, QRectF(QPointF(), size), time, presentation};
            const Homography toCache(
                QTransform(scale, 0, 0, -scale, -local.minX() * scale, local.maxY() * scale));
            inner.drawContent(layer, s, toCache, 1, sublayers, false);
        }
        const QPolygonF visiblePart = map.clipped(rectPolygon(cache.extent), limits);
        if (visiblePart.size() < 3)
            return true;
        fillTextured(
            cache.image,
            QTransform(1 / cache.scale, 0, 0, -1 / cache.scale, cache.extent.minX(), cache.extent.maxY()),
            map, cache.extent, visiblePart, opacity, nullptr);
        return true;
    }
};

namespace {

double pixelRatio(const QPainter& painter)
{
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

// In device pixels.
QRectF deviceLimits(QPainter& painter)
{
    const double ratio = pixelRatio(painter);
    QRectF area(QPointF(), painter.device()
                               ? QSizeF(painter.device()->width() * ratio, painter.device()->height() * ratio)
                               : QSizeF());
    if (QPaintEngine* engine = painter.paintEngine()) {
        const QRegion system = engine->systemClip();
        if (!system.isEmpty()) {
            // A widget painted into its window's backing store lies at an offset that the painter
            // applies below the world transform, and so does the system clip; the pass works in the
            // widget's own device pixels.
            const QTransform own = painter.worldTransform() * QTransform::fromScale(ratio, ratio);
            const QTransform offset = own.inverted() * painter.deviceTransform();
            QRectF clip(system.boundingRect());
            if (offset.isInvertible())
                clip = offset.inverted().mapRect(clip);
            area = area.intersected(clip);
        }
    }
    if (painter.hasClipping()) {
        const QRectF clip = painter.transform().mapRect(painter.clipBoundingRect());
        area = area.intersected(QRectF(clip.topLeft() * ratio, clip.size() * ratio));
    }
    // A little beyond, so that antialiased edges at the border come out whole.
    return area.adjusted(-2, -2, 2, 2);
}

void renderTree(Layer& root, QPainter& painter, double time, bool presentation)
{
    LayerRendering::prepare(root);
    painter.save();
    const double ratio = pixelRatio(painter);
    const QTransform world = painter.worldTransform() * QTransform::fromScale(ratio, ratio);
    LayerRendering pass{&painter, deviceLimits(painter), time, presentation,
                        QTransform::fromScale(1 / ratio, 1 / ratio)};
    const LayerState state = pass.stateOf(root);
    const Homography map = Layer::mapToSuperlayer(state, nullptr).then(Homography(world));
    painter.setTransform(pass.base);
    pass.collect(root, state, map, painter.opacity(), false);
    pass.drawLayer(root, state, map, painter.opacity());
    painter.restore();
}

} // namespace

void LayerRenderer::render(Layer& root, QPainter& painter, double time)
{
    renderTree(root, painter, time, true);
}

void LayerRenderer::renderModel(Layer& root, QPainter& painter)
{
    renderTree(root, painter, 0, false);
}

void LayerRenderer::present(Layer& root)
{
    LayerRendering::prepare(root);
}

QImage LayerRenderer::renderToImage(Layer& layer, double scale, bool presentation)
{
    return renderRectToImage(layer, layer.bounds().standardized(), scale, presentation);
}

QImage LayerRenderer::renderRectToImage(Layer& layer, const Rect& rect, double scale, bool presentation)
{
    LayerRendering::prepare(*layer.rootLayer());
    const double time = AnimationScheduler::shared().now();
    const Rect b = rect.standardized();
    const QSize size(static_cast<int>(std::ceil(b.width() * scale - 1e-9)),
                     static_cast<int>(std::ceil(b.height() * scale - 1e-9)));
    if (size.isEmpty() || !(scale > 0))
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    LayerRendering pass{&painter, QRectF(QPointF(), size).adjusted(-2, -2, 2, 2), time, presentation};
    const LayerState state = pass.stateOf(layer);
    // The layer's own plane onto the image, y-up onto y-down.
    const Homography map(QTransform(scale, 0, 0, -scale, -b.minX() * scale, b.maxY() * scale));
    pass.collect(layer, state, map, 1, false);
    pass.drawLayer(layer, state, map, 1);
    return image;
}

} // namespace pf
