#include "Classes/Editor/OVZoomView.h"

#include "Classes/Editor/OVFrameShadowLayer.h"
#include "Classes/Editor/OVViewState.h"
#include "Classes/Editor/OVZoomViewDelegate.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QGraphicsOpacityEffect>
#include <algorithm>
#include <cmath>

const QString OVZoomView::autohideScrollerKey = QStringLiteral("autohideScroller");

namespace {

constexpr unsigned panningModifiers = pf::Modifier::Control | pf::Modifier::Option | pf::Modifier::Command;
constexpr double scrollerFadeDuration = 0.3;

double round4(double value)
{
    return std::round(value * 10000.0) / 10000.0;
}

pf::Rect withSize(const pf::Rect& frame)
{
    return pf::Rect(frame.origin.x, frame.origin.y, frame.size.width == 0 ? 100 : frame.size.width,
                    frame.size.height == 0 ? 100 : frame.size.height);
}

// The shadow along one side fades out over the last tenth of the photo before its edge comes into view.
double shadowWidth(double distanceToEdge)
{
    const double full = OVZoomView::innerShadowWidth;
    return distanceToEdge < 0.1 ? full * 10 * distanceToEdge : full;
}

} // namespace

OVZoomView::OVZoomView(const pf::Rect& frame, BorderFactory border, QWidget* parent)
    : LayerHostView(withSize(frame), parent)
{
    static const bool registered = [] {
        pf::UserDefaults::standard().registerDefaults({{autohideScrollerKey, QStringLiteral("YES")}});
        return true;
    }();
    Q_UNUSED(registered);

    const double w = this->frame().size.width, h = this->frame().size.height;
    m_horizontalScroller = new OVScroller(Qt::Horizontal, this);
    m_verticalScroller = new OVScroller(Qt::Vertical, this);
    for (OVScroller* scroller : {m_horizontalScroller, m_verticalScroller}) {
        scroller->setKnobStyle(OVScroller::KnobStyle::Light);
        scroller->setArrowsPosition(OVScroller::ArrowsPosition::None);
        scroller->setKnobProportion(1.0);
        scroller->setGraphicsEffect(new QGraphicsOpacityEffect(scroller));
        connect(scroller, &OVScroller::doubleValueChanged, this, [this] {
            if (!m_settingScrollers)
                scrollerDidScroll();
        });
    }
    m_horizontalScroller->setGeometry(
        rectToWidget(pf::Rect(0, 0, w - scrollerThickness, scrollerThickness)).toRect());
    m_verticalScroller->setGeometry(rectToWidget(pf::Rect(w - scrollerThickness, scrollerThickness,
                                                          scrollerThickness, h - scrollerThickness))
                                        .toRect());

    m_innerShadow = std::make_shared<OVFrameShadowLayer>();
    m_innerShadow->setMax(innerShadowWidth);
    {
        pf::Transaction::Scope scope(true);
        const pf::Rect b = bounds();
        m_zoomLayer = pf::Layer::create();
        m_zoomLayer->setFrame(b);
        layer()->addSublayer(m_zoomLayer);
        m_contentLayer = pf::Layer::create();
        m_innerShadow->setFrame(b);
        m_contentLayer->setFrame(b);
        layer()->insertSublayerAbove(m_contentLayer, m_zoomLayer.get());
        if (border) {
            m_border = border();
            if (m_border) {
                m_border->setFrame(b);
                layer()->addSublayer(m_border);
            }
        }
        layer()->addSublayer(m_innerShadow);
    }
    m_horizontalScroller->hide();
    m_verticalScroller->hide();
    m_editRect = pf::Rect(0, 0, 1, 1);
}

OVZoomView::~OVZoomView()
{
    for (const auto& timer : {m_inputTimer, m_hideScrollerTimer, m_scrollingTimer, m_scrollerFade}) {
        if (timer)
            timer->invalidate();
    }
}

void OVZoomView::setZoomFactor(double zoomFactor)
{
    m_zoomFactor = std::max(zoomFactor, 0.00001);
    updateZoomRect();
}

void OVZoomView::setZoomFactor(double zoomFactor, bool /*animated*/, bool preview)
{
    if (!preview) {
        setPreviewActive(false);
        setZoomFactor(zoomFactor);
        activateZoomBounceAnimationIfNeeded();
    } else {
        setPreviewActive(true);
        setZoomFactor(zoomFactor);
    }
}

double OVZoomView::minZoomFactor() const
{
    const pf::View* parent = superview();
    const pf::Size available = parent ? parent->frame().size : pf::Size();
    const double m = std::min((available.width - 2 * m_margin.width) / m_imageSize.width,
                              (available.height - 2 * m_margin.height) / m_imageSize.height) *
                     0.25;
    return std::min(m, 1.0);
}

double OVZoomView::actualSizeZoomFactor() const
{
    const double m = minZoomFactor();
    const pf::Size size = bounds().size;
    const double aw = std::min(size.width - 2 * m_margin.width, 2000.0);
    const double ah = std::min(size.height - 2 * m_margin.width, 2000.0);
    const double iw = m_imageSize.width, ih = m_imageSize.height;
    if (!(m > 0 && m < 1) || iw <= 0 || ih <= 0 || aw <= 0 || ah <= 0)
        return 1.0;
    // The magnification over the fitted photo at which the displayed side equals the pixel side.
    const double s = iw / ih > aw / ah ? iw / aw : ih / ah;
    if (s <= 1)
        return 1.0;
    return std::clamp((1 / s - m) / (1 - m), 0.0, 1.0);
}

pf::Point OVZoomView::photoPointAt(pf::Point viewPoint) const
{
    const pf::Rect shown = m_zoomLayer ? m_zoomLayer->frame() : bounds();
    const pf::Rect& e = m_editRect;
    if (shown.width() <= 0 || shown.height() <= 0)
        return pf::Point(0.5, 0.5);
    return pf::Point(e.minX() + (viewPoint.x - shown.minX()) / shown.width() * e.width(),
                     e.minY() + (viewPoint.y - shown.minY()) / shown.height() * e.height());
}

void OVZoomView::setZoomFactor(double zoomFactor, pf::Point anchor, bool preview)
{
    const pf::Point held = photoPointAt(anchor);
    setPreviewActive(preview);
    setZoomFactor(zoomFactor);
    // Where the held point is shown now, and the pan that brings it back under the anchor.
    const pf::Rect shown = m_zoomLayer->frame();
    const pf::Rect& e = m_editRect;
    if (shown.width() > 0 && shown.height() > 0 && e.width() > 0 && e.height() > 0) {
        const pf::Point now = photoPointAt(anchor);
        setScrollCenter(pf::Point(e.midX() + (held.x - now.x), e.midY() + (held.y - now.y)));
    }
    if (!preview)
        activateZoomBounceAnimationIfNeeded();
}

void OVZoomView::setScrollCenter(pf::Point center)
{
    m_scrollCenter = center;
    updateZoomRect();
}

void OVZoomView::setImageSize(pf::Size size)
{
    m_imageSize = size;
    updateZoomRect();
}

void OVZoomView::setMargin(pf::Size margin)
{
    m_margin = margin;
    updateZoomRect();
}

void OVZoomView::setPreviewActive(bool active)
{
    if (m_previewActive == active)
        return;
    m_previewActive = active;
    if (m_delegate)
        m_delegate->zoomViewDidUpdateContentsRect(this, m_editRect, active);
}

void OVZoomView::cursorStateDidChange(int state)
{
    if (m_delegate)
        m_delegate->zoomViewDidChangeCursorState(this, state);
}

void OVZoomView::setDrawSenderActive(bool active)
{
    if (m_drawSenderActive == active)
        return;
    m_drawSenderActive = active;
    updateTrackingAreas();
}

void OVZoomView::updateZoomRect()
{
    if (!m_zoomLayer)
        return;
    const double m = minZoomFactor();
    const double mw = m_margin.width, mh = m_margin.height;
    const pf::Size size = bounds().size;
    // Both axes keep the margin's width free.
    const double aw = std::min(size.width - 2 * mw, 2000.0);
    const double ah = std::min(size.height - 2 * mw, 2000.0);
    const pf::Rect previous = m_editRect;
    double vw = aw, vh = ah, ox = 0, oy = 0;
    pf::Rect edit(0, 0, 1, 1);
    // Without an image the zoom layer takes the whole area. A photo is always shown in its proportions:
    // one that the fitted view already enlarges four times or more (or that has no superview to measure
    // the magnification by) is shown fitted, centred, and cannot be magnified further.
    const bool hasPhoto = m_imageSize.width > 0 && m_imageSize.height > 0 && aw > 0 && ah > 0;
    if (hasPhoto) {
        const double z = m_zoomFactor;
        const double s = m > 0 && m < 1 ? std::min(1 / m, std::max(1.0, 1 / ((1 - m) * z + m))) : 1.0;
        const double iw = m_imageSize.width, ih = m_imageSize.height;
        double dw, dh;
        if (iw / ih > aw / ah) {
            dw = s * aw;
            dh = ih * dw / iw;
        } else {
            dh = s * ah;
            dw = iw * dh / ih;
        }
        vw = std::min(aw, dw);
        vh = std::min(ah, dh);
        ox = std::min(0.0, std::max(vw - dw, vw / 2 - m_scrollCenter.x * dw));
        oy = std::min(0.0, std::max(vh - dh, vh / 2 - m_scrollCenter.y * dh));
        edit = pf::Rect(-ox / dw, -oy / dh, vw / dw, vh / dh);
    }
    const pf::Rect frame(std::max(0.0, ox) + (aw - vw) / 2 + mw, (ah - vh) / 2 + std::max(0.0, oy) + mh, vw,
                         vh);
    m_editRect = edit;
    {
        pf::Transaction::Scope scope(true);
        if (!(frame == m_zoomLayer->frame())) {
            m_innerShadow->setFrame(frame);
            m_zoomLayer->setFrame(frame);
            m_contentLayer->setFrame(frame);
            if (m_border)
                m_border->setFrame(pf::Rect(frame.origin.x - m_margin.width, frame.origin.y - m_margin.height,
                                            frame.size.width + 2 * m_margin.width,
                                            frame.size.height + 2 * m_margin.height));
            placeScrollers(frame);
            updateTrackingAreas();
        }
        if (!(m_editRect == previous) && m_delegate) {
            // The delegate may delete the view on hearing it.
            const QPointer<OVZoomView> self(this);
            m_delegate->zoomViewDidUpdateContentsRect(this, m_editRect, m_previewActive);
            if (!self)
                return;
        }

        const pf::Rect& e = m_editRect;
        m_settingScrollers = true;
        m_horizontalScroller->setKnobProportion(e.size.width);
        m_horizontalScroller->setDoubleValue(e.size.width >= 1 ? 0 : e.origin.x / (1 - e.size.width));
        m_verticalScroller->setKnobProportion(e.size.height);
        // The scroller counts from its top, the photo from its bottom: the knob stands where the
        // visible part lies.
        m_verticalScroller->setDoubleValue(e.size.height >= 1 ? 0 : 1 - e.origin.y / (1 - e.size.height));
        m_settingScrollers = false;

        m_innerShadow->setLeft(shadowWidth(e.origin.x));
        m_innerShadow->setRight(shadowWidth(1 - e.origin.x - e.size.width));
        m_innerShadow->setBottom(shadowWidth(e.origin.y));
        m_innerShadow->setTop(shadowWidth(1 - e.origin.y - e.size.height));
    }
    showScroller();
    if (m_hideScrollerTimer)
        m_hideScrollerTimer->invalidate();
    m_hideScrollerTimer = pf::Timer::scheduled(
        0.4, false, [this](pf::Timer&) { hideScroller(); }, this);
}

void OVZoomView::placeScrollers(const pf::Rect& frame)
{
    const double t = scrollerThickness;
    m_horizontalScroller->setGeometry(
        rectToWidget(pf::Rect(frame.origin.x, frame.origin.y, frame.size.width, t)).toRect());
    m_verticalScroller->setGeometry(
        rectToWidget(pf::Rect(frame.maxX() - t, frame.origin.y + t, t, frame.size.height - t)).toRect());
}

bool OVZoomView::activateZoomBounceAnimationIfNeeded()
{
    const double hw = m_editRect.size.width / 2, hh = m_editRect.size.height / 2;
    const double cx = std::max(hw, std::min(1 - hw, m_scrollCenter.x));
    const double cy = std::max(hh, std::min(1 - hh, m_scrollCenter.y));
    const bool zoomInRange = m_zoomFactor >= 0 && m_zoomFactor <= 1;
    if (zoomInRange && std::abs(cx - m_scrollCenter.x) <= 0.001 && std::abs(cy - m_scrollCenter.y) <= 0.001)
        return false;
    m_scrollCenter = pf::Point(cx, cy);
    setZoomFactor(std::clamp(m_zoomFactor, 0.0, 1.0));
    hideScroller();
    return true;
}

void OVZoomView::showScroller()
{
    stopScrollerFade();
    m_horizontalScroller->setVisible(m_editRect.size.width < 0.999);
    m_verticalScroller->setVisible(m_editRect.size.height < 0.999);
}

void OVZoomView::stopScrollerFade()
{
    if (m_scrollerFade) {
        m_scrollerFade->invalidate();
        m_scrollerFade.reset();
    }
    for (OVScroller* scroller : {m_horizontalScroller, m_verticalScroller}) {
        if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(scroller->graphicsEffect()))
            effect->setOpacity(1.0);
    }
}

void OVZoomView::hideScroller()
{
    if (m_hideScrollerTimer) {
        m_hideScrollerTimer->invalidate();
        m_hideScrollerTimer.reset();
    }
    if (!pf::UserDefaults::standard().boolForKey(autohideScrollerKey) || m_scrollerFade)
        return;
    const double start = pf::Clock::current().now();
    m_scrollerFade = pf::Timer::scheduled(
        1.0 / 60, true,
        [this, start](pf::Timer&) {
            const double t = (pf::Clock::current().now() - start) / scrollerFadeDuration;
            if (t >= 1) {
                stopScrollerFade();
                m_horizontalScroller->hide();
                m_verticalScroller->hide();
                return;
            }
            for (OVScroller* scroller : {m_horizontalScroller, m_verticalScroller}) {
                if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(scroller->graphicsEffect()))
                    effect->setOpacity(1 - t);
            }
        },
        this);
}

pf::Point OVZoomView::brushLocationFor(pf::Point zoomLayerPoint) const
{
    const pf::Size size = m_contentLayer->bounds().size;
    return pf::Point(size.width > 0 ? zoomLayerPoint.x / size.width : 0,
                     size.height > 0 ? zoomLayerPoint.y / size.height : 0);
}

void OVZoomView::restartInputTimer(double interval)
{
    if (m_inputTimer)
        m_inputTimer->invalidate();
    m_inputTimer = pf::Timer::scheduled(
        interval, false, [this](pf::Timer&) { inputTimeOut(); }, this);
}

void OVZoomView::inputTimeOut()
{
    m_inputTimer.reset();
    activateZoomBounceAnimationIfNeeded();
    setPreviewActive(false);
}

void OVZoomView::scrollWheel(const pf::Event& event)
{
    if (m_blockScrolling || (event.modifierFlags() & panningModifiers)) {
        LayerHostView::scrollWheel(event);
        return;
    }
    const double dx = event.deltaX(), dy = event.deltaY();
    if (dx == 0 && dy == 0)
        return;
    const double fw = m_editRect.size.width, fh = m_editRect.size.height;
    // The pan is a distance on the screen: a notch moves the photo as far at any magnification. A
    // touchpad's own pixel distances are taken as they come.
    const bool precise =
        event.hasPreciseScrollingDeltas() && (event.scrollingDeltaX() != 0 || event.scrollingDeltaY() != 0);
    const double px = precise ? event.scrollingDeltaX() : dx * wheelNotchDistance;
    const double py = precise ? event.scrollingDeltaY() : dy * wheelNotchDistance;
    const pf::Size shown = m_zoomLayer ? m_zoomLayer->frame().size : frame().size;
    if (shown.width <= 0 || shown.height <= 0)
        return;
    double cx = m_scrollCenter.x - fw * px / shown.width;
    double cy = m_scrollCenter.y + fh * py / shown.height;
    // A side shown whole stays pinned in the middle.
    if (!m_alwaysElastic && round4(fw) >= 1)
        cx = std::clamp(cx, fw / 2, 1 - fw / 2);
    if (!m_alwaysElastic && round4(fh) >= 1)
        cy = std::clamp(cy, fh / 2, 1 - fh / 2);
    if (round4(cx - m_scrollCenter.x) == 0 && round4(cy - m_scrollCenter.y) == 0)
        return;
    const bool leaves = cx - fw / 2 < 0 || cx + fw / 2 > 1 || cy - fh / 2 < 0 || cy + fh / 2 > 1;
    const bool classicWheel =
        event.phase() == pf::EventPhase::None && event.momentumPhase() == pf::EventPhase::None;
    if (leaves && classicWheel)
        return;
    setPreviewActive(true);
    setScrollCenter(pf::Point(cx, cy));
    if (!m_gestureActive)
        restartInputTimer(0.1);
}

void OVZoomView::magnify(const pf::Event& event)
{
    switch (event.phase()) {
    case pf::EventPhase::Began:
        beginGestureWithEvent(event);
        break;
    case pf::EventPhase::Ended:
    case pf::EventPhase::Cancelled:
        endGestureWithEvent(event);
        break;
    default:
        magnifyWithEvent(event);
        break;
    }
}

void OVZoomView::magnifyWithEvent(const pf::Event& event)
{
    setZoomFactor(m_zoomFactor - event.magnification(),
                  convertPointFromView(event.locationInWindow(), nullptr), true);
}

void OVZoomView::beginGestureWithEvent(const pf::Event& event)
{
    if (event.modifierFlags() & panningModifiers)
        return;
    m_gestureActive = true;
    LayerHostView::magnify(event);
}

void OVZoomView::endGestureWithEvent(const pf::Event&)
{
    const bool snapped = activateZoomBounceAnimationIfNeeded();
    m_gestureActive = false;
    restartInputTimer(snapped ? 0.3 : 0.1);
}

void OVZoomView::scrollerDidScroll()
{
    setPreviewActive(true);
    if (m_scrollingTimer)
        m_scrollingTimer->invalidate();
    m_scrollingTimer = pf::Timer::scheduled(
        0.3, false, [this](pf::Timer&) { scrollingTimedOut(); }, this);
    const double w = m_editRect.size.width, h = m_editRect.size.height;
    const double horizontal = m_horizontalScroller->doubleValue();
    const double vertical = 1 - m_verticalScroller->doubleValue();
    setScrollCenter(pf::Point(w / 2 + (1 - w) * horizontal, h / 2 + (1 - h) * vertical));
}

void OVZoomView::scrollingTimedOut()
{
    m_scrollingTimer.reset();
    if (!m_gestureActive)
        setPreviewActive(false);
}

void OVZoomView::resizeWithOldSuperviewSize(pf::Size oldSuperviewSize)
{
    LayerHostView::resizeWithOldSuperviewSize(oldSuperviewSize);
    setPreviewActive(true);
    updateZoomRect();
    if (!m_gestureActive)
        restartInputTimer(0.1);
}

void OVZoomView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    LayerHostView::resizeSubviewsWithOldSize(oldSize);
    updateZoomRect();
}

void OVZoomView::updateTrackingAreas()
{
    if (!m_zoomLayer)
        return;
    if (m_trackingArea) {
        removeTrackingArea(m_trackingArea);
        m_trackingArea = nullptr;
    }
    if (!m_drawSenderActive) {
        setCursorState(0);
        return;
    }
    const pf::Rect area = m_zoomLayer->frame();
    m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
        area, pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, this));
    bool inside = false;
    if (window())
        inside = area.contains(convertPointFromScreen(pf::Event::mouseLocation()));
    setCursorState(inside ? 1 : 0);
}

void OVZoomView::mouseEntered(const pf::Event&)
{
    setCursorState(1);
}

void OVZoomView::mouseExited(const pf::Event&)
{
    setCursorState(0);
}

void OVZoomView::sendStroke(const pf::Event& event, Stroke stroke)
{
    const pf::Point inView = convertPointFromView(event.locationInWindow(), nullptr);
    if (!m_drawSenderActive) {
        if (stroke == Stroke::Down && m_delegate && m_zoomLayer && m_zoomLayer->frame().contains(inView))
            m_delegate->zoomViewDidRefuseStroke(this, event.locationInWindow());
        return;
    }
    const pf::Point inZoomLayer = m_zoomLayer->convertPointFromLayer(inView, nullptr);
    const pf::Point point = brushLocationFor(inZoomLayer);
    if (!m_delegate)
        return;
    switch (stroke) {
    case Stroke::Down:
        m_delegate->drawSenderBrushDownAtPoint(this, point);
        break;
    case Stroke::Dragged:
        m_delegate->drawSenderBrushDraggedAtPoint(this, point);
        break;
    case Stroke::Up:
        m_delegate->drawSenderBrushUpAtPoint(this, point);
        break;
    }
}

void OVZoomView::mouseDown(const pf::Event& event)
{
    if (!OVViewState::isVisible(this))
        LayerHostView::mouseDown(event);
    else
        sendStroke(event, Stroke::Down);
}

void OVZoomView::mouseDragged(const pf::Event& event)
{
    if (!OVViewState::isVisible(this))
        LayerHostView::mouseDragged(event);
    else
        sendStroke(event, Stroke::Dragged);
}

void OVZoomView::mouseUp(const pf::Event& event)
{
    if (!OVViewState::isVisible(this))
        LayerHostView::mouseUp(event);
    else
        sendStroke(event, Stroke::Up);
}
