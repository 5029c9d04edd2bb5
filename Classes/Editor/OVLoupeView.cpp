#include "Classes/Editor/OVLoupeView.h"

#include "Classes/Editor/OVLoupeArtwork.h"
#include "Classes/Editor/OVLoupeHost.h"
#include "Classes/Editor/OVLoupeTorusLayer.h"
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
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QToolTip>
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

} // namespace

QStringList OVLoupeView::imageNames()
{
    return {QStringLiteral("Loupe.png"),          QStringLiteral("LoupeLittle.png"),
            QStringLiteral("LoupeLense.png"),     QStringLiteral("LoupeMask.png"),
            QStringLiteral("LoupeRatioKnob.png"), QStringLiteral("LoupeTorusMask.png")};
}

OVLoupeView::OVLoupeView(const Rect& frame, QWidget* parent) : View(frame, parent), m_orgFrame(frame)
{
    const OVLoupeArtwork& im = OVLoupeArtwork::shared();
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
        m_shadowLayer->setContents(OVLoupeArtwork::shadow(kShadowRadius, kShadowPad));
        m_shadowLayer->setOpacity(0);

        const Size M = im.maskSize;
        const Rect glass((L.width - M.width) / 2, (L.height - M.height) / 2, M.width, M.height);
        m_torus = std::make_shared<OVLoupeTorusLayer>();
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
    m_host = new OVLoupeHost(Rect(0, 0, frame.width(), frame.height()), [this] { return drawnExtent(); });
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

QString OVLoupeView::scaleToolTip() const
{
    if (!overImage() || !hasPicture() || !(m_zoomFactor > 0))
        return {};
    const double times = m_maxZoom / m_zoomFactor;
    return QStringLiteral("Magnification in the photo's own pixels: at 1× one pixel fills one point.\n"
                          "The glass now shows the photo %1 times as large as the canvas does.")
        .arg(QLocale().toString(times, 'f', times < 10 ? 1 : 0));
}

bool OVLoupeView::isOnScale(Point inView) const
{
    const Rect B = bounds();
    const double u = 2 * (inView.x - B.minX() - B.width() / 2) / B.width();
    const double v = 2 * (inView.y - B.minY() - B.height() / 2) / B.height();
    const double r = std::sqrt(u * u + v * v);
    const double k = (OVAngleNormalizeSigned(OVVectorAngleDegrees(Point(u, v))) - 90) / 180 * kPi;
    // The knob's ring and the marks beyond it, a little past the ends of its turn.
    return r > 0.6 && r < 1.0 && k >= knobAngleMin - 0.15 && k <= knobAngleMax + 0.15;
}

bool OVLoupeView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return View::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = isOnScale(pointFromWidget(help->pos())) ? scaleToolTip() : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), tip, this);
    }
    return true;
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
    else if ((old == 4 || old == 5) && m_delegate) {
        // The delegate may delete the loupe: the transaction begun here ends all the same.
        const QPointer<OVLoupeView> self(this);
        m_delegate->loupeViewDeactivated(this);
        if (!self) {
            Transaction::commit();
            return;
        }
    }
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
    const OVLoupeArtwork& im = OVLoupeArtwork::shared();
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
           std::isfinite(m_orgPicSize.height) && OVLoupeArtwork::isFinite(f) && f.width() > 0 &&
           f.height() > 0;
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
    // A resize of the window moves the photo under a placed loupe, and the canvas may report its new
    // place before the loupe hears of the resize: the loupe keeps its part, put over it first.
    const pf::Size room = superview() ? superview()->bounds().size : pf::Size();
    if (m_loupeState >= 4 && m_placedInRoom.width > 0 && room != m_placedInRoom)
        placeOverItsPart();
    m_placedInRoom = room;
    m_activationRect = m_delegate ? m_delegate->editRectForLoupe(this) : Rect();
    // The canvas may have zoomed or scrolled since the carry began: the picture's place is read now, so
    // the glass shows (and paints into) the part under it.
    readPictureFrame();
    if (!hasPicture())
        return;
    const Point at = m_loupeLayer->position();
    const double px = (at.x - m_fotoLayerRect.minX()) / m_fotoLayerRect.width();
    const double py = (at.y - m_fotoLayerRect.minY()) / m_fotoLayerRect.height();
    const Size glass = m_glassSize;
    double w = glass.width / m_orgPicSize.width * m_zoomFactor;
    double h = glass.height / m_orgPicSize.height * m_zoomFactor;
    if (w > h && w > 1) {
        h = h / w;
        w = 1;
    } else if (h > 1) {
        w = w / h;
        h = 1;
    }
    // The glass shows what lies under it, centred on its middle, also near the photo's edges: the photo's
    // part fills only its share of the glass, and beyond the photo the canvas's background shows (the
    // window captured for the carry, magnified alike). Only the part within the photo is rendered.
    const Rect view(m_activationRect.minX() + px * m_activationRect.width() - w / 2,
                    m_activationRect.minY() + py * m_activationRect.height() - h / 2, w, h);
    const Rect edit = view.intersected(Rect(0, 0, 1, 1));
    if (!OVLoupeArtwork::isFinite(view) || !OVLoupeArtwork::isFinite(edit) || edit.width() <= 0 ||
        edit.height() <= 0)
        return;
    m_viewRect = view;
    m_editRect = edit;
    const Rect part((edit.minX() - view.minX()) / view.width() * glass.width,
                    (edit.minY() - view.minY()) / view.height() * glass.height,
                    edit.width() / view.width() * glass.width, edit.height() / view.height() * glass.height);
    {
        const Transaction::Scope atOnce(true);
        m_zoomLayer->setFrame(part);
        m_contentLayer->setFrame(part);
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
    if (!OVLoupeArtwork::isFinite(rect))
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
    m_zoomLayer->setFrame(Rect(Point(), m_glassSize));
    m_contentLayer->setFrame(Rect(Point(), m_glassSize));
}

void OVLoupeView::slideIntoSight()
{
    const View* above = superview();
    if (!above || !hasPicture())
        return;
    // The glass may be centred on any part of the photo, an eye at its very top included: only its middle
    // is kept over the photo and within the window, and the rim may pass the window's edge (the loupe is
    // carried back in by the rim that shows).
    const Rect content = above->bounds();
    const auto within = [](double v, double low, double high) { return std::min(std::max(v, low), high); };
    const Point at = m_loupeLayer->position();
    Point to(within(at.x, content.minX(), content.maxX()), within(at.y, content.minY(), content.maxY()));
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
    mask->setFrame(
        Rect(Point(), m_zoomLayer ? m_zoomLayer->bounds().size : OVLoupeArtwork::shared().maskSize));
    mask->setContents(OVLoupeArtwork::shared().mask);
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
        if (m_delegate) {
            // The stroke's end may close the document and the loupe with it.
            const QPointer<OVLoupeView> self(this);
            m_delegate->drawSenderBrushUpAtPoint(
                this, brushLocationFor(m_contentLayer->convertPointFromLayer(inSuperlayer(event), nullptr)));
            if (!self)
                return;
        }
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

void OVLoupeView::cursorStateDidChange(int state)
{
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
        placeOverItsPart();
        // The canvas may lay the photo out anew only after this resize: the loupe is put over its part
        // again once it has, and a placed one shows that part (nothing else would ask it to).
        pf::Timer::afterThisEvent(
            [this] {
                if (m_loupeState < 2 || m_loupeState > 5)
                    return;
                placeOverItsPart();
                if (m_loupeState >= 4)
                    updateEditRect();
            },
            this);
        return;
    }
    setFrame(m_orgFrame);
    const Transaction::Scope atOnce(true);
    m_loupeLayer->setPosition(Point(m_orgFrame.midX(), m_orgFrame.midY()));
}

void OVLoupeView::placeOverItsPart()
{
    m_fotoLayerRect = m_delegate ? m_delegate->activeRectForLoupe(this) : Rect();
    const Rect& f = m_fotoLayerRect;
    const Point at(std::round(f.minX() + (m_viewRect.minX() + m_viewRect.width() / 2) * f.width()),
                   std::round(f.minY() + (m_viewRect.minY() + m_viewRect.height() / 2) * f.height()));
    if (std::isfinite(at.x) && std::isfinite(at.y)) {
        const Transaction::Scope atOnce(true);
        m_loupeLayer->setPosition(at);
    }
    setFrame(m_loupeLayer->frame());
    m_placedInRoom = superview() ? superview()->bounds().size : pf::Size();
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
