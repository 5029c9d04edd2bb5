#include "Classes/Editor/OVLoupeView.h"

#include "Classes/Editor/OVLoupeViewDelegate.h"
#include "Classes/Framework/OVGeometry.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/AnimationScheduler.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Homography.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

using pf::Point;
using pf::Rect;
using pf::Size;
using pf::Transaction;

namespace {

constexpr double kPi = 3.141592653589793;
// The lifted loupe's shadow: the blur of a layer shadow of radius 30, its usual offset, and the room the
// blur takes around the loupe.
constexpr double kShadowRadius = 30.0;
constexpr Size kShadowOffset{0, -3};
constexpr int kShadowPad = 46;

// The images whose sizes make the loupe's geometry, loaded once. Should one be missing, the sizes the
// artwork is drawn at keep the geometry sound (and the loupe plain).
struct LoupeImages
{
    QImage rim, littleRim, lense, mask, knob, torusMask;
    Size rimSize, lenseSize, maskSize, knobSize, torusSize;
};

Size pointSize(const QImage& image, Size fallback)
{
    if (image.isNull())
        return fallback;
    const QSizeF size = image.deviceIndependentSize();
    return Size(size.width(), size.height());
}

const LoupeImages& images()
{
    static const LoupeImages loaded = [] {
        LoupeImages im;
        const auto load = [](const char* name) {
            const QImage image = pf::NamedImage::image(QString::fromLatin1(name));
            if (image.isNull())
                pf::warning(QStringLiteral("The loupe has no image \"%1\"").arg(QLatin1String(name)));
            return image;
        };
        im.rim = load("Loupe.png");
        im.littleRim = load("LoupeLittle.png");
        im.lense = load("LoupeLense.png");
        im.mask = load("LoupeMask.png");
        im.knob = load("LoupeRatioKnob.png");
        im.torusMask = load("LoupeTorusMask.png");
        im.rimSize = pointSize(im.rim, Size(320, 320));
        im.lenseSize = pointSize(im.lense, Size(208, 208));
        im.maskSize = pointSize(im.mask, Size(208, 208));
        im.knobSize = pointSize(im.knob, Size(256, 256));
        im.torusSize = pointSize(im.torusMask, im.rimSize);
        return im;
    }();
    return loaded;
}

// Blurs an alpha image along one axis with a running box of 2 * radius + 1 pixels.
void boxBlurAlpha(QImage& alpha, int radius, bool horizontal)
{
    const int w = alpha.width(), h = alpha.height();
    const int lines = horizontal ? h : w, length = horizontal ? w : h;
    const qsizetype step = horizontal ? 1 : alpha.bytesPerLine();
    std::vector<int> line(static_cast<size_t>(length));
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        uchar* base = horizontal ? alpha.scanLine(l) : alpha.bits() + l;
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = base[i * step];
        const auto at = [&](int i) { return i < 0 || i >= length ? 0 : line[static_cast<size_t>(i)]; };
        int sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += at(i);
        for (int i = 0; i < length; ++i) {
            base[i * step] = static_cast<uchar>((sum + window / 2) / window);
            sum += at(i + radius + 1) - at(i - radius);
        }
    }
}

// The shadow of the lifted loupe, in its own points: the outline of the rim, the glass and the torus ring,
// blurred like a layer shadow of radius `radius` (a Gaussian of half that deviation, as three box passes),
// on a picture `pad` points larger on every side. Made once: the loupe never changes its outline.
const QImage& loupeShadow(double radius, int pad)
{
    static const QImage shadow = [radius, pad] {
        const LoupeImages& im = images();
        const Size L = im.rimSize;
        QImage alpha(int(std::ceil(L.width)) + 2 * pad, int(std::ceil(L.height)) + 2 * pad,
                     QImage::Format_Alpha8);
        alpha.fill(0);
        {
            QPainter painter(&alpha);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.translate(pad, pad);
            if (!im.torusMask.isNull())
                painter.drawImage(QRectF(0, 0, L.width, L.height), im.torusMask);
            if (!im.mask.isNull())
                painter.drawImage(QRectF((L.width - im.maskSize.width) / 2,
                                         (L.height - im.maskSize.height) / 2, im.maskSize.width,
                                         im.maskSize.height),
                                  im.mask);
            if (!im.rim.isNull())
                painter.drawImage(QRectF(0, 0, L.width, L.height), im.rim);
            else
                painter.fillRect(QRectF(0, 0, L.width, L.height), Qt::black);
        }
        const double sigma = radius / 2;
        const int box = std::max(1, int(std::lround(std::sqrt(4 * sigma * sigma + 1) / 2)));
        for (int pass = 0; pass < 3; ++pass) {
            boxBlurAlpha(alpha, box, true);
            boxBlurAlpha(alpha, box, false);
        }
        QImage shadow(alpha.size(), QImage::Format_ARGB32_Premultiplied);
        shadow.fill(Qt::black);
        QPainter painter(&shadow);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, alpha);
        return shadow;
    }();
    return shadow;
}

bool isFinite(const Rect& r)
{
    return std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.width()) &&
           std::isfinite(r.height());
}

} // namespace

// The overlay's layer host. The overlay spans the whole window and is clear, so the window draws again
// whatever lies beneath what the overlay marks for drawing; and the layer tree reports most changes as
// showing anywhere. A change of the loupe marks only where the loupe and its shadow were and are: a
// carry step draws the loupe's surroundings, not the whole window. A part of a layer drawn again while
// the loupe stays where it is (a brush step in the glass) marks only that part.
class OVLoupeView::LoupeHost : public pf::LayerHostView
{
public:
    LoupeHost(const Rect& frame, std::function<Rect()> extent)
        : pf::LayerHostView(frame), m_extent(std::move(extent))
    {}

private:
    void layerTreeDidChange(const Rect& dirty) override
    {
        const Rect now = m_extent();
        if (now.isInfinite() || !isFinite(now)) {
            m_last = Rect::null();
            setNeedsDisplay();
            return;
        }
        if (!dirty.isInfinite() && !dirty.isNull() && now == m_last) {
            const Rect part = dirty.intersected(now);
            if (!part.isNull() && !part.isEmpty())
                setNeedsDisplayInRect(part.integral().insetBy(-2, -2));
            return;
        }
        Rect area = dirty.isInfinite() ? now : dirty.united(now);
        if (!m_last.isNull())
            area = area.united(m_last);
        m_last = now;
        // Antialiased edges reach a pixel out.
        setNeedsDisplayInRect(area.integral().insetBy(-2, -2));
    }

    std::function<Rect()> m_extent;
    Rect m_last = Rect::null(); // where the loupe was when a change was last marked
};

// The refracting edge of the glass while the loupe is carried: the part of the window's picture that
// the screenshot layer shows, seen through a ring-shaped lens. The lens never changes for a loupe of one
// size, so where each pixel of the ring looks is rendered once through "CITorusLensDistortion" and kept;
// every carry step only samples the picture through that map.
class OVLoupeView::TorusLayer : public pf::Layer
{
public:
    void setScreenshot(const QImage& screenshot)
    {
        m_screenshot = screenshot.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        setNeedsDisplay();
    }
    void setSourceRect(const Rect& rect)
    {
        if (rect == m_source)
            return;
        m_source = rect;
        setNeedsDisplay();
    }
    const Rect& sourceRect() const { return m_source; }

    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override
    {
        const Rect b = bounds();
        if (m_screenshot.isNull() || b.isEmpty() || !isFinite(m_source))
            return;
        const int side = int(std::ceil(b.width() * contentsScale() - 1e-9));
        const Map& map = mapFor(side);
        if (m_ring.size() != QSize(side, side)) {
            m_ring = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
            m_ring.fill(Qt::transparent);
        }
        const int w = m_screenshot.width(), h = m_screenshot.height();
        const auto* pixels = reinterpret_cast<const QRgb*>(m_screenshot.constBits());
        const qsizetype stride = m_screenshot.bytesPerLine() / 4;
        auto* ring = reinterpret_cast<QRgb*>(m_ring.bits());
        // Unit coordinates of the source rect, y-up, to pixel centres of the picture (row 0 on top): a
        // linear map, worked out once per draw.
        const float x0 = float(m_source.minX() * w - 0.5), xu = float(m_source.width() * w);
        const float y0 = float((1 - m_source.minY()) * h - 0.5), yv = float(-m_source.height() * h);
        for (const RingPixel& p : map.pixels) {
            const QRgb seen = sample(pixels, stride, w, h, x0 + p.u * xu, y0 + p.v * yv);
            ring[p.index] = p.alpha == 255 ? seen : scaled(seen, p.alpha);
        }
        pf::drawImage(painter, m_ring, b);
    }

private:
    struct RingPixel
    {
        int index;    // in the ring image, row 0 on top
        float u, v;   // where it looks, in unit coordinates of the layer (y-up)
        quint8 alpha; // the ring's own edge (its mask), baked in: the layer needs no mask to draw
    };

    // A premultiplied pixel times alpha / 255.
    static QRgb scaled(QRgb pixel, int alpha)
    {
        const auto part = [&](int shift) {
            return QRgb((((pixel >> shift) & 0xff) * alpha + 127) / 255) << shift;
        };
        return part(24) | part(16) | part(8) | part(0);
    }
    struct Map
    {
        std::vector<RingPixel> pixels;
    };

    // Two premultiplied pixels weighed a : b, with a + b = 256; two channels at a time.
    static QRgb mix256(QRgb x, uint a, QRgb y, uint b)
    {
        const uint redBlue = (((x & 0xff00ff) * a + (y & 0xff00ff) * b) >> 8) & 0xff00ff;
        const uint alphaGreen = (((x >> 8) & 0xff00ff) * a + ((y >> 8) & 0xff00ff) * b) & 0xff00ff00;
        return alphaGreen | redBlue;
    }

    // Bilinear, with weights in 256ths: every carry step samples the whole ring, so this stays integer.
    static QRgb sample(const QRgb* pixels, qsizetype stride, int w, int h, float x, float y)
    {
        if (!(x > -1 && y > -1 && x < w && y < h))
            return 0;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const uint fx = uint((x - float(x0)) * 256 + 0.5f), fy = uint((y - float(y0)) * 256 + 0.5f);
        const auto at = [&](int px, int py) {
            return pixels[std::clamp(py, 0, h - 1) * stride + std::clamp(px, 0, w - 1)];
        };
        const QRgb top = mix256(at(x0, y0), 256 - fx, at(x0 + 1, y0), fx);
        const QRgb bottom = mix256(at(x0, y0 + 1), 256 - fx, at(x0 + 1, y0 + 1), fx);
        return mix256(top, 256 - fy, bottom, fy);
    }

    // Where each pixel of the ring looks through the lens, for a ring image `side` pixels wide.
    static const Map& mapFor(int side)
    {
        static std::map<int, Map> maps;
        const auto found = maps.find(side);
        if (found != maps.end())
            return found->second;
        Map& map = maps[side];
        const LoupeImages& im = images();
        const double k = side / im.torusSize.width;
        const QImage mask =
            im.torusMask.isNull()
                ? QImage()
                : im.torusMask.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      .convertToFormat(QImage::Format_ARGB32);
        // A picture of its own coordinates, seen through the lens, tells where every pixel looks.
        pf::Bitmap ramp(side, side, pf::Bitmap::Format::RGBAf);
        for (int row = 0; row < side; ++row) {
            auto* out = reinterpret_cast<float*>(ramp.mutableRow(row));
            for (int x = 0; x < side; ++x) {
                out[4 * x] = float((x + 0.5) / side);
                out[4 * x + 1] = float((side - row - 0.5) / side);
                out[4 * x + 2] = 0;
                out[4 * x + 3] = 1;
            }
        }
        std::optional<pf::Bitmap> looked;
        if (const pf::FilterPtr lens = pf::Filter::create(QStringLiteral("CITorusLensDistortion"))) {
            lens->setValue(QVariant::fromValue(pf::Image::fromBitmap(ramp)), QStringLiteral("inputImage"));
            lens->setValue(
                QVariant::fromValue(pf::Vector(im.torusSize.width / 2 * k, im.torusSize.height / 2 * k)),
                QStringLiteral("inputCenter"));
            lens->setValue(im.torusSize.width / 2 * k, QStringLiteral("inputRadius"));
            lens->setValue(100.0 * k, QStringLiteral("inputWidth"));
            lens->setValue(1.7, QStringLiteral("inputRefraction"));
            looked = pf::RenderContext::shared()->render(lens->outputImage(), Rect(0, 0, side, side),
                                                         pf::Bitmap::Format::RGBAf);
        }
        if (!looked || looked->width() != side || looked->height() != side) {
            pf::warning(QStringLiteral("The loupe's lens could not be rendered; its edge shows unbent"));
            looked = ramp;
        }
        for (int row = 0; row < side; ++row) {
            const auto* in = reinterpret_cast<const float*>(looked->row(row));
            for (int x = 0; x < side; ++x) {
                const int alpha = mask.isNull() ? 255 : qAlpha(mask.pixel(x, row));
                if (alpha == 0)
                    continue;
                map.pixels.push_back({row * side + x, in[4 * x], in[4 * x + 1], quint8(alpha)});
            }
        }
        return map;
    }

    QImage m_screenshot;
    QImage m_ring;
    Rect m_source;
};

QStringList OVLoupeView::imageNames()
{
    return {QStringLiteral("Loupe.png"),          QStringLiteral("LoupeLittle.png"),
            QStringLiteral("LoupeLense.png"),     QStringLiteral("LoupeMask.png"),
            QStringLiteral("LoupeRatioKnob.png"), QStringLiteral("LoupeTorusMask.png")};
}

OVLoupeView::OVLoupeView(const Rect& frame, QWidget* parent) : View(frame, parent), m_orgFrame(frame)
{
    const LoupeImages& im = images();
    const Size L = im.rimSize;
    m_smallScale = m_scale = frame.width() > 0 ? frame.width() / L.width : 1.0;
    {
        const Transaction::Scope atOnce(true);
        m_loupeLayer = pf::Layer::create();
        m_loupeLayer->setName(QStringLiteral("loupe"));
        m_loupeLayer->setBounds(Rect(0, 0, L.width, L.height));
        m_loupeLayer->setPosition(Point(frame.midX(), frame.midY()));
        m_loupeLayer->setTransform(pf::Transform3D::scale(m_scale, m_scale, 1));
        // The shadow of the loupe: a layer of its own below the rest, shown while the loupe is lifted.
        m_shadowLayer = pf::Layer::create();
        m_shadowLayer->setName(QStringLiteral("shadow"));
        m_shadowLayer->setFrame(Rect(-kShadowPad + kShadowOffset.width, -kShadowPad + kShadowOffset.height,
                                     L.width + 2 * kShadowPad, L.height + 2 * kShadowPad));
        m_shadowLayer->setContents(loupeShadow(kShadowRadius, kShadowPad));
        m_shadowLayer->setOpacity(0);

        const Size M = im.maskSize;
        const Rect glass((L.width - M.width) / 2, (L.height - M.height) / 2, M.width, M.height);
        m_torus = std::make_shared<TorusLayer>();
        m_torusLayer = m_torus;
        m_torusLayer->setName(QStringLiteral("torus"));
        m_torusLayer->setFrame(m_loupeLayer->bounds());
        m_torusLayer->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
        // Its mask ("LoupeTorusMask.png") is baked into the ring it draws: a masked layer would be
        // composed offscreen at every step of a carry.

        m_zoomLayer = pf::Layer::create();
        m_zoomLayer->setName(QStringLiteral("zoom"));
        m_screenshotLayer = pf::Layer::create();
        m_screenshotLayer->setName(QStringLiteral("screenshot"));
        m_contentLayer = pf::Layer::create();
        m_contentLayer->setName(QStringLiteral("content"));
        // The three glass-sized layers lie in one holder that the round mask cuts: the layer tree composes
        // one masked group per frame instead of one for each of them.
        m_glassHolder = pf::Layer::create();
        m_glassHolder->setName(QStringLiteral("glass holder"));
        m_glassHolder->setFrame(glass);
        for (const auto& layer : {m_zoomLayer, m_screenshotLayer, m_contentLayer}) {
            layer->setFrame(Rect(Point(), glass.size));
            layer->setOpacity(1.0);
            m_glassHolder->addSublayer(layer);
        }
        m_glassHolder->setMask(maskLayer());
        m_zoomLayer->setContentsRect(Rect(0, 0, 1, 1));
        // Until a part of the picture is chosen the glass shows the middle of the photo, not all of it
        // squeezed into the round.
        m_zoomLayer->setContentsGravity(pf::ContentsGravity::ResizeAspectFill);

        m_imageLayer = pf::Layer::create();
        m_imageLayer->setName(QStringLiteral("rim"));
        m_imageLayer->setFrame(m_loupeLayer->bounds());
        m_imageLayer->setContents(im.littleRim);

        const Point middle(L.width / 2, L.height / 2);
        m_glassLayer = pf::Layer::create();
        m_glassLayer->setName(QStringLiteral("glass"));
        m_glassLayer->setBounds(Rect(0, 0, im.lenseSize.width, im.lenseSize.height));
        m_glassLayer->setAnchorPoint(Point(0.5, 0.5));
        m_glassLayer->setPosition(middle);
        m_glassLayer->setContents(im.lense);
        m_glassLayer->setOpacity(0.3);
        m_needleLayer = pf::Layer::create();
        m_needleLayer->setName(QStringLiteral("needle"));
        m_needleLayer->setBounds(Rect(0, 0, im.knobSize.width, im.knobSize.height));
        m_needleLayer->setAnchorPoint(Point(0.5, 0.5));
        m_needleLayer->setPosition(m_glassLayer->position());
        m_needleLayer->setContents(im.knob);

        for (const auto& layer :
             {m_shadowLayer, m_torusLayer, m_glassHolder, m_imageLayer, m_glassLayer, m_needleLayer})
            m_loupeLayer->addSublayer(layer);
        m_activationRect = Rect(0, 0, 1, 1);
    }
    // From nothing to one picture pixel per point; the needle stands at that step.
    m_zoomFactor = 0;
    setZoomFactor(1);
    setNeedleAngle(stepAngle(1));
    m_glassSize = m_contentLayer->bounds().size;

    auto* overlay = new pf::Window(frame, pf::Window::Borderless);
    overlay->setReleasedWhenClosed(false);
    overlay->setOpaque(false);
    overlay->setBackgroundColor(Qt::transparent);
    overlay->setHasShadow(false);
    overlay->setIgnoresMouseEvents(true);
    overlay->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    m_host = new LoupeHost(Rect(0, 0, frame.width(), frame.height()), [this] { return drawnExtent(); });
    m_host->setTransparentForMouse(true);
    overlay->setContentView(m_host);
    m_attachedWindow = overlay;
}

OVLoupeView::~OVLoupeView()
{
    m_resizeObserver.reset();
    {
        const Transaction::Scope atOnce(true);
        m_loupeLayer->removeFromSuperlayer();
    }
    delete m_attachedWindow.data();
}

Rect OVLoupeView::torusSourceRect() const
{
    return m_torus->sourceRect();
}

// Knob -----------------------------------------------------------------------------------------------------

int OVLoupeView::zoomFactor() const
{
    if (m_zoomFactor < 0.75)
        return 0;
    if (m_zoomFactor < 1.5)
        return 1;
    return m_zoomFactor < 3.0 ? 2 : 3;
}

void OVLoupeView::setZoomFactor(int step)
{
    step = std::clamp(step, 0, 3);
    if (step == zoomFactor())
        return;
    m_zoomFactor = std::pow(2.0, step) * 0.5;
    const Transaction::Scope atOnce(true);
    // Only a loupe over the picture has a part of it to show; a docked one chooses its factor for later.
    if (overImage())
        updateEditRect();
    updateContentRect();
}

double OVLoupeView::stepAngle(int step) const
{
    return knobAngleMin + (knobAngleMax - knobAngleMin) * step / 3;
}

void OVLoupeView::setNeedleAngle(double radians)
{
    m_needleLayer->setTransform(pf::Transform3D::rotation(radians, 0, 0, 1));
}

// State ----------------------------------------------------------------------------------------------------

void OVLoupeView::setLoupeState(int state)
{
    const int old = m_loupeState;
    if (state == old)
        return;
    m_loupeState = state;
    // Leaving for the dock or hiding animates; everything else follows the pointer at once.
    Transaction::begin();
    if (state >= 2)
        Transaction::setDisableActions(true);
    if (state == 5)
        updateTrackingAreas();
    else if (state == 4)
        updateLoupe();
    else if ((old == 4 || old == 5) && m_delegate)
        m_delegate->loupeViewDeactivated(this);
    setHidden(state == 0);
    // Home again, the glass shows the photo as before the carry, not the window captured for it (the
    // dock lies over the window's background).
    if (state <= 1 && old >= 2)
        forgetScreenshot();
    double scale = m_smallScale;
    if (state <= 1) {
        setFrame(m_orgFrame);
        m_loupeLayer->setPosition(Point(m_orgFrame.midX(), m_orgFrame.midY()));
        setScale(m_smallScale);
        m_glassLayer->setOpacity(0.3);
    } else {
        m_zoomLayer->setOpacity(1.0);
        m_torusLayer->setOpacity(state <= 3 ? 1.0 : 0.0);
        scale = state == 2 ? 1.05 * m_smallScale : (state == 3 ? 1.05 : 1.0);
    }
    setScale(scale);
    Transaction::commit();
}

void OVLoupeView::setScale(double scale)
{
    const LoupeImages& im = images();
    const double threshold = m_smallScale * 1.5 / 1.1;
    if (m_scale > threshold && scale < threshold)
        m_imageLayer->setContents(im.littleRim);
    else if (m_scale < threshold && scale > threshold)
        m_imageLayer->setContents(im.rim);
    m_scale = scale;
    m_loupeLayer->setTransform(pf::Transform3D::scale(scale, scale, 1));
    // The loupe casts its shadow while it is lifted over the picture.
    const bool shadow =
        std::round((scale - 1.5 * m_smallScale) * 10) == 0 || std::round((scale - 1.05) * 20) == 0;
    m_shadowLayer->setOpacity(shadow ? 1.0 : 0.0);
    updateContentRect();
}

void OVLoupeView::setVisible(bool visible)
{
    const bool changes = visible == isLoupeHidden();
    m_hideAfterPress = false;
    // Qt drops the drags and the release of a press whose widget hides: while a press is under way only
    // the layers fade, and the view itself hides when the press ends.
    if (!visible && m_loupeActivity != 0 && !isHidden())
        m_hideAfterPress = true;
    else
        View::setVisible(visible);
    if (changes && m_loupeLayer)
        m_loupeLayer->setOpacity(visible ? 1.0 : 0.0);
}

// The part of the picture ----------------------------------------------------------------------------------

void OVLoupeView::readPictureFrame()
{
    m_fotoLayerRect = m_delegate ? m_delegate->activeRectForLoupe(this) : Rect();
    m_maxZoom = std::max(m_orgPicSize.width / m_fotoLayerRect.width(),
                         m_orgPicSize.height / m_fotoLayerRect.height());
}

bool OVLoupeView::hasPicture() const
{
    const Rect& f = m_fotoLayerRect;
    return m_orgPicSize.width > 0 && m_orgPicSize.height > 0 && std::isfinite(m_orgPicSize.width) &&
           std::isfinite(m_orgPicSize.height) && isFinite(f) && f.width() > 0 && f.height() > 0;
}

int OVLoupeView::carryState() const
{
    // Without a picture (or with one not shown) there is nothing to place the loupe on.
    return hasPicture() && m_fotoLayerRect.contains(m_loupeLayer->position()) ? 3 : 2;
}

void OVLoupeView::updateLoupe()
{
    const Size L = m_loupeLayer->bounds().size;
    const Point at = m_loupeLayer->position();
    setFrame(Rect(at.x - L.width / 2, at.y - L.height / 2, L.width, L.height));
    updateEditRect();
}

void OVLoupeView::updateEditRect()
{
    m_activationRect = m_delegate ? m_delegate->editRectForLoupe(this) : Rect();
    // The canvas may have zoomed or scrolled since the carry began: the picture's place is read now, so
    // the glass shows (and paints into) the part under it.
    readPictureFrame();
    if (!hasPicture())
        return;
    const Point at = m_loupeLayer->position();
    const double px = (at.x - m_fotoLayerRect.minX()) / m_fotoLayerRect.width();
    const double py = (at.y - m_fotoLayerRect.minY()) / m_fotoLayerRect.height();
    const Size content = m_contentLayer->bounds().size;
    double w = content.width / m_orgPicSize.width * m_zoomFactor;
    double h = content.height / m_orgPicSize.height * m_zoomFactor;
    if (w > h && w > 1) {
        h = h / w;
        w = 1;
    } else if (h > 1) {
        w = w / h;
        h = 1;
    }
    const auto place = [](double origin, double extent, double p, double size) {
        double v = origin + p * extent - size / 2;
        if (v < 0)
            v = 0;
        if (v > 1 - size)
            v = 1 - size;
        return v;
    };
    const Rect edit(place(m_activationRect.minX(), m_activationRect.width(), px, w),
                    place(m_activationRect.minY(), m_activationRect.height(), py, h), w, h);
    if (!isFinite(edit))
        return;
    m_editRect = edit;
    {
        const Transaction::Scope atOnce(true);
        m_zoomLayer->setContentsRect(m_editRect);
        m_torus->setSourceRect(m_editRect);
        m_contentLayer->setOpacity(1.0);
    }
    if (m_delegate)
        m_delegate->loupeViewActivated(this);
}

void OVLoupeView::updateContentRect()
{
    const double s = m_scale, s0 = m_smallScale, sh = 1.05 * s0;
    double m;
    if (sh >= s) {
        const double q = std::sqrt(std::clamp((s - s0) / (sh - s0), 0.0, 1.0));
        m = (1 - q) * s0 + 3 * s0 * q;
    } else {
        const double q = std::sqrt(std::clamp((s - sh) / (1 - sh), 0.0, 1.0));
        m = 3 * s0 * (1 - q) + q * m_zoomFactor / m_maxZoom;
    }
    const Point at = m_loupeLayer->position();
    const Size S = m_screenshotSize;
    const double w = m_glassSize.width / S.width * m, h = m_glassSize.height / S.height * m;
    const Rect rect(at.x / S.width - w / 2, at.y / S.height - h / 2, w, h);
    // Before the first screenshot, or without a picture to relate the magnification to, the screenshot
    // layers keep what they show.
    if (!isFinite(rect))
        return;
    const Transaction::Scope atOnce(true);
    m_screenshotLayer->setContentsRect(rect);
    m_torus->setSourceRect(rect);
}

void OVLoupeView::takeScreenshot()
{
    QImage shot;
    if (m_screenshotSource) {
        shot = m_screenshotSource();
    } else if (pf::Window* parent = window()) {
        // The window as it is under the loupe: the loupe itself stays out of the picture.
        const Transaction::Scope atOnce(true);
        m_loupeLayer->setHidden(true);
        shot = parent->snapshot();
        m_loupeLayer->setHidden(false);
    }
    const double ratio = shot.isNull() ? 1.0 : shot.devicePixelRatio();
    m_screenshotSize = Size(shot.width() / ratio, shot.height() / ratio);
    const Transaction::Scope atOnce(true);
    m_screenshotLayer->setContents(shot);
    m_torus->setScreenshot(shot);
    m_contentLayer->setOpacity(0);
}

void OVLoupeView::forgetScreenshot()
{
    m_screenshotLayer->setContents(QImage());
    m_torus->setScreenshot(QImage());
    m_zoomLayer->setContentsRect(Rect(0, 0, 1, 1));
}

void OVLoupeView::slideIntoSight()
{
    const View* above = superview();
    if (!above || !hasPicture())
        return;
    // The whole rim where the window shows it (the knob's marks lie near its top), as far as the window
    // is large enough; the right and top edges first, where the marks are. The middle stays over the
    // photo even where that leaves some of the rim out of sight.
    const Rect content = above->bounds();
    const Size half(m_loupeLayer->bounds().width() / 2, m_loupeLayer->bounds().height() / 2);
    const auto within = [](double v, double low, double high) { return std::min(std::max(v, low), high); };
    const Point at = m_loupeLayer->position();
    Point to(within(at.x, content.minX() + half.width, content.maxX() - half.width),
             within(at.y, content.minY() + half.height, content.maxY() - half.height));
    to = Point(within(to.x, m_fotoLayerRect.minX(), m_fotoLayerRect.maxX()),
               within(to.y, m_fotoLayerRect.minY(), m_fotoLayerRect.maxY()));
    if (to != at)
        m_loupeLayer->setPosition(to); // slides there, animated
}

Point OVLoupeView::brushLocationFor(Point inContentLayer) const
{
    const Size size = m_contentLayer->bounds().size;
    return Point(inContentLayer.x / size.width, inContentLayer.y / size.height);
}

Rect OVLoupeView::drawnExtent() const
{
    if (!m_loupeLayer)
        return Rect::infinite();
    // The loupe with the room its shadow takes, where it shows now.
    const Rect around = m_loupeLayer->bounds().insetBy(-kShadowPad - 4, -kShadowPad - 4);
    return m_loupeLayer->presentationMapToRootSpace(pf::AnimationScheduler::shared().now()).mapRect(around);
}

std::shared_ptr<pf::Layer> OVLoupeView::maskLayer() const
{
    auto mask = pf::Layer::create();
    mask->setFrame(Rect(Point(), m_zoomLayer ? m_zoomLayer->bounds().size : images().maskSize));
    mask->setContents(images().mask);
    return mask;
}

// Mouse ----------------------------------------------------------------------------------------------------

pf::View* OVLoupeView::hitTest(Point pointInSuperview)
{
    View* hit = View::hitTest(pointInSuperview);
    if (hit != this)
        return hit;
    const Rect f = frame();
    const double u = 2 * (pointInSuperview.x - f.midX()) / f.width();
    const double v = 2 * (pointInSuperview.y - f.midY()) / f.height();
    return u * u + v * v < 1 ? this : nullptr;
}

Point OVLoupeView::inSuperlayer(const pf::Event& event) const
{
    const View* above = superview();
    return above ? above->convertPointFromView(event.locationInWindow(), nullptr) : event.locationInWindow();
}

void OVLoupeView::mouseDown(const pf::Event& event)
{
    if (m_loupeLayer->opacity() == 0) {
        View::mouseDown(event);
        return;
    }
    const Point q = convertPointFromView(event.locationInWindow(), nullptr);
    const Rect B = bounds();
    const double u = 2 * (q.x - B.minX() - B.width() / 2) / B.width();
    const double v = 2 * (q.y - B.minY() - B.height() / 2) / B.height();
    const double r = std::sqrt(u * u + v * v);
    const double a = OVAngleNormalizeSigned(OVVectorAngleDegrees(Point(u, v)));
    m_loupeActivity = 0;

    if (overImage()) {
        const double k = (a - 90) / 180 * kPi;
        if (k >= knobAngleMin - 0.1 && k <= knobAngleMax + 0.1 && r > 0.65 && r < 0.77) {
            const double turned = std::clamp(k, knobAngleMin, knobAngleMax);
            setZoomFactor(int(std::round((turned - knobAngleMin) / (knobAngleMax - knobAngleMin) * 3)));
            const Transaction::Scope atOnce(true);
            setNeedleAngle(turned);
            m_loupeActivity = 1;
            return;
        }
    }
    if (overImage() && r <= 0.66)
        m_loupeActivity = 3;
    else if (r < 1.0)
        m_loupeActivity = 2;

    if (m_loupeActivity == 3) {
        if (m_delegate)
            m_delegate->drawSenderBrushDownAtPoint(
                this, brushLocationFor(m_contentLayer->convertPointFromLayer(inSuperlayer(event), nullptr)));
    } else if (m_loupeActivity == 2) {
        readPictureFrame();
        m_lastPoint = inSuperlayer(event);
        takeScreenshot();
        setLoupeState(carryState());
        m_glassLayer->setOpacity(overImage() ? 0.3 : 0.5);
    } else {
        View::mouseDown(event);
    }
}

void OVLoupeView::mouseDragged(const pf::Event& event)
{
    if (m_loupeLayer->opacity() == 0) {
        View::mouseDragged(event);
        return;
    }
    switch (m_loupeActivity) {
    case 3:
        if (m_delegate)
            m_delegate->drawSenderBrushDraggedAtPoint(
                this, brushLocationFor(m_contentLayer->convertPointFromLayer(inSuperlayer(event), nullptr)));
        break;
    case 2: {
        const Point p = inSuperlayer(event);
        {
            const Transaction::Scope atOnce(true);
            m_loupeLayer->setPosition(OVPointAdd(m_loupeLayer->position(), OVPointSubtract(p, m_lastPoint)));
            m_lastPoint = p;
            updateContentRect();
        }
        setLoupeState(carryState());
        break;
    }
    case 1: {
        const Point d = OVPointSubtract(m_loupeLayer->convertPointFromLayer(inSuperlayer(event), nullptr),
                                        m_needleLayer->position());
        const double k = std::clamp((OVAngleNormalizeSigned(OVVectorAngleDegrees(d)) - 90) / 180 * kPi,
                                    knobAngleMin, knobAngleMax);
        setZoomFactor(int(std::round((k - knobAngleMin) / (knobAngleMax - knobAngleMin) * 3)));
        const Transaction::Scope atOnce(true);
        setNeedleAngle(k);
        break;
    }
    default:
        View::mouseDragged(event);
    }
}

void OVLoupeView::mouseUp(const pf::Event& event)
{
    switch (m_loupeActivity) {
    case 0:
        View::mouseUp(event);
        break;
    case 1:
        // The needle settles on the step it chose.
        setNeedleAngle(stepAngle(zoomFactor()));
        break;
    case 2:
        if (overImage())
            slideIntoSight();
        setLoupeState(overImage() ? 4 : 1);
        break;
    case 3:
        if (m_delegate)
            m_delegate->drawSenderBrushUpAtPoint(
                this, brushLocationFor(m_contentLayer->convertPointFromLayer(inSuperlayer(event), nullptr)));
        break;
    default:
        View::mouseUp(event);
    }
    m_loupeActivity = 0;
    if (std::exchange(m_hideAfterPress, false))
        View::setVisible(false);
}

void OVLoupeView::mouseEntered(const pf::Event& event)
{
    updateCursorForLocation(convertPointFromView(event.locationInWindow(), nullptr));
}

void OVLoupeView::mouseMoved(const pf::Event& event)
{
    updateCursorForLocation(convertPointFromView(event.locationInWindow(), nullptr));
}

void OVLoupeView::mouseExited(const pf::Event& event)
{
    updateCursorForLocation(convertPointFromView(event.locationInWindow(), nullptr));
}

void OVLoupeView::scrollWheel(const pf::Event& event)
{
    if (m_delegate)
        m_delegate->loupeViewScrollWheel(this, event);
    else
        View::scrollWheel(event);
}

void OVLoupeView::magnify(const pf::Event& event)
{
    if (m_delegate)
        m_delegate->loupeViewMagnifyWithEvent(this, event);
    else
        View::magnify(event);
}

void OVLoupeView::beginGestureWithEvent(const pf::Event& event)
{
    if (m_delegate)
        m_delegate->loupeViewBeginGestureWithEvent(this, event);
}

void OVLoupeView::endGestureWithEvent(const pf::Event& event)
{
    if (m_delegate)
        m_delegate->loupeViewEndGestureWithEvent(this, event);
}

// Cursor ---------------------------------------------------------------------------------------------------

void OVLoupeView::setCursorState(int state)
{
    if (state == m_cursorState)
        return;
    m_cursorState = state;
    if (m_delegate)
        m_delegate->loupeViewDidChangeCursorState(this, state);
}

void OVLoupeView::setDrawSenderActive(bool active)
{
    m_drawSenderActive = active;
    updateTrackingAreas();
}

void OVLoupeView::updateTrackingAreas()
{
    if (!m_glassLayer)
        return;
    if (m_trackingArea) {
        pf::TrackingArea* old = std::exchange(m_trackingArea, nullptr);
        removeTrackingArea(old);
    }
    if (m_loupeState == 5 && m_drawSenderActive) {
        const Rect area = superview() ? convertRectFromView(m_loupeLayer->frame(), superview()) : bounds();
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            area,
            pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::MouseMoved |
                pf::TrackingArea::ActiveAlways,
            this));
        if (pf::Window* w = window())
            updateCursorForLocation(convertPointFromView(w->mouseLocationOutsideOfEventStream(), nullptr));
        return;
    }
    m_glassLayer->setOpacity(0.3);
    setCursorState(0);
}

void OVLoupeView::updateCursorForLocation(Point q)
{
    const Rect B = bounds();
    const double d = OVPointDistance(q, Point(B.width() / 2, B.height() / 2));
    if (d < m_glassSize.width / 2) {
        m_glassLayer->setOpacity(0.0);
        setCursorState(1);
        return;
    }
    m_glassLayer->setOpacity(0.3);
    setCursorState(d < m_loupeLayer->bounds().width() / 2 ? 2 : 0);
}

// Keys -----------------------------------------------------------------------------------------------------

bool OVLoupeView::keyboardKeyDownEvent(const pf::Event&)
{
    return false;
}

void OVLoupeView::keyboardFlagsChangedEvent(const pf::Event& event)
{
    if (!overImage())
        return;
    const unsigned held = event.modifierFlags() & (pf::Modifier::Shift | pf::Modifier::Control |
                                                   pf::Modifier::Option | pf::Modifier::Command);
    setHidden(held == pf::Modifier::Shift);
}

// Window and superview -------------------------------------------------------------------------------------

void OVLoupeView::resizeWithOldSuperviewSize(Size oldSuperviewSize)
{
    const View* above = superview();
    if (!above) {
        View::resizeWithOldSuperviewSize(oldSuperviewSize);
        return;
    }
    // The dock keeps its distance to the upper right corner. The loupe's layer follows no resize of its
    // own (it would move twice): it is placed here, docked or over the picture.
    const Size now = above->bounds().size;
    m_orgFrame =
        m_orgFrame.offsetBy(now.width - oldSuperviewSize.width, now.height - oldSuperviewSize.height);
    if (m_loupeState >= 2 && m_loupeState <= 5) {
        m_fotoLayerRect = m_delegate ? m_delegate->activeRectForLoupe(this) : Rect();
        const Rect& f = m_fotoLayerRect;
        const Point at(std::round(f.minX() + (m_editRect.minX() + m_editRect.width() / 2) * f.width()),
                       std::round(f.minY() + (m_editRect.minY() + m_editRect.height() / 2) * f.height()));
        if (std::isfinite(at.x) && std::isfinite(at.y)) {
            const Transaction::Scope atOnce(true);
            m_loupeLayer->setPosition(at);
        }
        setFrame(m_loupeLayer->frame());
        return;
    }
    setFrame(m_orgFrame);
    const Transaction::Scope atOnce(true);
    m_loupeLayer->setPosition(Point(m_orgFrame.midX(), m_orgFrame.midY()));
}

void OVLoupeView::viewWillMoveToWindow(pf::Window* window)
{
    if (window != this->window())
        detachFromWindow();
    View::viewWillMoveToWindow(window);
}

void OVLoupeView::viewDidMoveToWindow()
{
    View::viewDidMoveToWindow();
    attachToWindow(window());
}

void OVLoupeView::attachToWindow(pf::Window* parent)
{
    if (!parent || !m_attachedWindow || m_attachedWindow->parentWindow() == parent)
        return;
    m_attachedWindow->setFrame(parent->frame());
    parent->addChildWindow(m_attachedWindow);
    m_attachedWindow->show();
    {
        const Transaction::Scope atOnce(true);
        // The edge of the glass is drawn as finely as the screen shows it.
        m_torusLayer->setContentsScale(std::max(1.0, m_host->devicePixelRatioF()));
        m_host->layer()->addSublayer(m_loupeLayer);
    }
    m_resizeObserver = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::didResizeNotification, parent,
        [this, parent = QPointer<pf::Window>(parent)](const pf::Notification&) {
            if (parent && m_attachedWindow)
                m_attachedWindow->setFrame(parent->frame());
        });
}

void OVLoupeView::detachFromWindow()
{
    m_resizeObserver.reset();
    if (!m_attachedWindow)
        return;
    // Out of sight first: a window taken from its owner would otherwise show on its own.
    m_attachedWindow->orderOut();
    if (pf::Window* parent = m_attachedWindow->parentWindow())
        parent->removeChildWindow(m_attachedWindow);
}
