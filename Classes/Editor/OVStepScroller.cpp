#include "Classes/Editor/OVStepScroller.h"

#include "Classes/Editor/OVStepScrollerDelegate.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/ViewAnimator.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

using pf::Point;
using pf::Rect;
using pf::Size;

namespace {

constexpr double kRegularHeight = 36.0;
constexpr double kSmallHeight = 8.0;
constexpr double kSmallestAnimatedMove = 4.0;
constexpr double kScrollEndDelay = 0.2;
// A classic wheel's notch moves the knob as far as a line of a scroll view.
constexpr double kLineWidth = 10.0;
constexpr double kPulseFrameRate = 30.0;
constexpr double kNameHeight = 18.0;
constexpr double kNameInset = 3.0;

// The drawing resources, made once for the process.
struct Artwork
{
    QImage backgroundLeft, backgroundMid, backgroundRight;
    QImage knobLeft, knobMid, knobRight;
    QImage stepMark;
};

const Artwork& artwork()
{
    static const Artwork images{
        pf::NamedImage::image(QStringLiteral("ScrollerBackgroundLeft.png")),
        pf::NamedImage::image(QStringLiteral("ScrollerBackgroundMid.png")),
        pf::NamedImage::image(QStringLiteral("ScrollerBackgroundRight.png")),
        pf::NamedImage::image(QStringLiteral("ScrollerKnobLeft.png")),
        pf::NamedImage::image(QStringLiteral("ScrollerKnobMid.png")),
        pf::NamedImage::image(QStringLiteral("ScrollerKnobRight.png")),
        pf::NamedImage::image(QStringLiteral("ScrollerStepMark.png")),
    };
    return images;
}

// An image's width in points.
double pointWidth(const QImage& image)
{
    return image.isNull() ? 0 : image.width() / image.devicePixelRatio();
}

pf::TextAttributes nameAttributes(double pointSize, bool current)
{
    pf::TextAttributes attributes;
    attributes.font = pf::fontNamed(QStringLiteral("Lucida Grande"), pointSize);
    const double grey = current ? 0.9 : 0.37;
    attributes.color = QColor::fromRgbF(grey, grey, grey);
    return attributes;
}

} // namespace

OVStepScroller::OVStepScroller(const Rect& frame, QWidget* parent) : View(Rect(), parent)
{
    m_controlSize = frame.height() >= 25 ? Regular : Small;
    m_shadowSize = m_controlSize == Regular ? 7.0 : 0.0;
    m_elementHeight = m_controlSize == Regular ? 22.0 : 8.0;
    const double height = m_controlSize == Regular ? kRegularHeight : kSmallHeight;
    const double width = std::max(frame.width(), minWidthForHeight(height));

    m_knobView = new OVImageView(Rect(0, 0, width - 2 * m_shadowSize, m_elementHeight));
    // Presses on the knob belong to the scroller.
    m_knobView->setTransparentForMouse(true);
    addSubview(m_knobView);
    m_knobShadowColor = QColor::fromRgbF(0.3, 0.3, 1.0, 1.0);
    setFrame(Rect(frame.origin, Size(width, height)));
    setKnobProportion(0.2);
    m_snapEnabled = true;
}

OVStepScroller::~OVStepScroller()
{
    if (m_scrollEndTimer)
        m_scrollEndTimer->invalidate();
    if (m_pulseTimer)
        m_pulseTimer->invalidate();
}

double OVStepScroller::minWidthForHeight(double height)
{
    return 2 * (height / 3 * 4) + 1;
}

QStringList OVStepScroller::imageNames()
{
    return {QStringLiteral("ScrollerBackgroundLeft.png"),  QStringLiteral("ScrollerBackgroundMid.png"),
            QStringLiteral("ScrollerBackgroundRight.png"), QStringLiteral("ScrollerKnobLeft.png"),
            QStringLiteral("ScrollerKnobMid.png"),         QStringLiteral("ScrollerKnobRight.png"),
            QStringLiteral("ScrollerStepMark.png")};
}

// Geometry -------------------------------------------------------------------------------------------

double OVStepScroller::trackLength() const
{
    return bounds().width() - 2 * m_shadowSize;
}

double OVStepScroller::segmentWidth() const
{
    return trackLength() * m_knobProportion;
}

double OVStepScroller::knobWidth() const
{
    return trackLength() * m_visibleKnobProportion;
}

double OVStepScroller::movableWidth() const
{
    return trackLength() * (1 - m_visibleKnobProportion);
}

qint64 OVStepScroller::slotForIndex(qint64 index) const
{
    // The map is its own inverse.
    return m_reversedOrder ? numberOfSteps() - 1 - index : index;
}

Rect OVStepScroller::frameForSegment(qint64 index) const
{
    const double segment = segmentWidth();
    return Rect(m_shadowSize + double(slotForIndex(index)) * segment, m_shadowSize, segment,
                bounds().height() - 2 * m_shadowSize);
}

qint64 OVStepScroller::orderedCurrentIndex() const
{
    const int n = numberOfSteps();
    if (n < 2)
        return 0;
    return qint64(std::lround((n - 1) * m_position));
}

qint64 OVStepScroller::currentIndex() const
{
    if (numberOfSteps() == 0)
        return 0;
    return slotForIndex(orderedCurrentIndex());
}

Rect OVStepScroller::knobFrame() const
{
    return Rect(movableWidth() * m_position + m_shadowSize, m_shadowSize, knobWidth(), m_elementHeight);
}

void OVStepScroller::setReversedOrder(bool reversed)
{
    if (reversed == m_reversedOrder)
        return;
    m_reversedOrder = reversed;
    setNeedsDisplay();
}

// Steps ----------------------------------------------------------------------------------------------

void OVStepScroller::insertStepWithName(const QString& name, qint64 index)
{
    if (!m_names)
        m_names = QStringList();
    index = std::max<qint64>(index, 0);
    // A gap up to the index is filled with unnamed steps, each taking the slot its own index maps to.
    while (m_names->size() < index)
        m_names->insert(m_reversedOrder ? 0 : m_names->size(), QString());
    const qint64 slot = m_reversedOrder ? m_names->size() - index : index;
    m_names->insert(slot, name.isNull() ? QStringLiteral("") : name);
    updateKnobProportion();
}

void OVStepScroller::removeStepAtIndex(qint64 index)
{
    const int n = numberOfSteps();
    if (index < 0 || index >= n) {
        pf::log(
            QStringLiteral("Warning: Trying to remove Step Name at index %1, even though there are only %2 "
                           "steps")
                .arg(index)
                .arg(n));
        return;
    }
    const qint64 current = currentIndex();
    m_names->removeAt(slotForIndex(index));
    updateKnobProportion();
    selectStepAtIndex(current);
}

void OVStepScroller::selectStepAtIndex(qint64 index)
{
    const int n = numberOfSteps();
    if (index < 0 || index >= n) {
        pf::log(QStringLiteral("Warning: Trying to select StepScroller index %1 greater then max index %2")
                    .arg(index)
                    .arg(n - 1));
        return;
    }
    setPositionAnimated(n < 2 ? 0 : double(slotForIndex(index)) / (n - 1), true);
    setNeedsDisplay();
}

void OVStepScroller::disableSteps()
{
    m_names.reset();
    setNeedsDisplay();
}

// Position -------------------------------------------------------------------------------------------

void OVStepScroller::setPositionAnimated(double position, bool animated)
{
    const double old = m_position;
    const bool animate =
        animated && superview() && std::abs(old - position) * movableWidth() >= kSmallestAnimatedMove;
    m_position = std::clamp(position, 0.0, 1.0);
    const Rect frame = knobFrame();
    if (animate) {
        pf::ViewAnimator::animateFrame(m_knobView, frame);
    } else {
        m_knobView->setFrame(frame);
    }
    if (m_pulseKnob)
        setNeedsDisplay();
}

bool OVStepScroller::updatePosition(double position, bool animated)
{
    if (position == m_position)
        return true;
    const qint64 before = currentIndex();
    setPositionAnimated(position, animated);
    // The delegate may delete the scroller on hearing either report.
    const QPointer<OVStepScroller> self(this);
    if (numberOfSteps() > 0 && currentIndex() != before) {
        if (m_delegate)
            m_delegate->scrollerDidChangeIndex(this, int(currentIndex()));
        if (!self)
            return false;
        setNeedsDisplay();
    }
    if (m_delegate)
        m_delegate->scrollerDidChangePosition(this, m_position);
    return bool(self);
}

void OVStepScroller::snapPosition()
{
    const int n = numberOfSteps();
    if (n < 1 || !m_snapEnabled)
        return;
    updatePosition(n < 2 ? 0 : double(orderedCurrentIndex()) / (n - 1), true);
}

void OVStepScroller::updateKnobProportion()
{
    const int n = numberOfSteps();
    setKnobProportion(n > 0 ? 1.0 / n : 1.0);
    setNeedsDisplay();
    snapPosition();
}

void OVStepScroller::setKnobProportion(double proportion)
{
    m_knobProportion = std::clamp(proportion, 0.0, 1.0);
    const double track = trackLength();
    const double caps = 2 * pointWidth(artwork().knobLeft);
    m_visibleKnobProportion = track > 0 ? std::max(caps / track, m_knobProportion) : m_knobProportion;
    // Caps wider than the track leave the knob the whole track.
    m_visibleKnobProportion = std::min(m_visibleKnobProportion, 1.0);
    // Back onto a step; a scroller without steps keeps its free position.
    const int n = numberOfSteps();
    if (n == 1)
        setPositionAnimated(0, true);
    else if (n > 1)
        setPositionAnimated(std::round((n - 1) * m_position) / (n - 1), true);
    rebuildKnob();
}

void OVStepScroller::rebuildKnob()
{
    if (m_visibleKnobProportion == 0)
        return;
    const double width = knobWidth();
    const double height = m_elementHeight;
    const double scale = 2.0;
    QImage image(QSize(std::max(1, int(std::ceil(width * scale))), int(std::ceil(height * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(scale, scale);
        if (m_controlSize == Regular) {
            const Artwork& art = artwork();
            const double cap = pointWidth(art.knobLeft);
            painter.drawImage(QRectF(0, 0, cap, height), art.knobLeft);
            painter.drawImage(QRectF(cap, 0, std::max(0.0, width - 2 * cap), height), art.knobMid);
            painter.drawImage(QRectF(width - cap, 0, cap, height), art.knobRight);
        } else {
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPath rounded;
            rounded.addRoundedRect(QRectF(0, 0, width, height), height / 2, height / 2);
            QLinearGradient gradient(0, 0, 0, height);
            gradient.setColorAt(0, QColor::fromRgbF(0, 0, 0, 0.55));
            gradient.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.51));
            painter.fillPath(rounded, gradient);
        }
    }
    image.setDevicePixelRatio(scale);
    m_knobView->setFrame(knobFrame());
    m_knobView->setImage(image);
}

void OVStepScroller::resizeSubviewsWithOldSize(Size oldSize)
{
    // Not narrower than the least width for the height.
    const double least = minWidthForHeight(bounds().height());
    if (bounds().width() < least) {
        setFrameSize(Size(least, bounds().height()));
        return;
    }
    View::resizeSubviewsWithOldSize(oldSize);
    setKnobProportion(m_knobProportion);
}

// Drawing --------------------------------------------------------------------------------------------

void OVStepScroller::drawRect(QPainter& painter, const Rect&)
{
    if (m_controlSize != Regular)
        return;
    const Artwork& art = artwork();
    const Rect b = bounds();
    const double left = pointWidth(art.backgroundLeft);
    pf::drawImage(painter, art.backgroundLeft, Rect(b.minX(), b.minY(), left, b.height()));
    pf::drawImage(painter, art.backgroundMid,
                  Rect(b.minX() + left, b.minY(), std::max(0.0, b.width() - 2 * left), b.height()));
    pf::drawImage(painter, art.backgroundRight, Rect(b.maxX() - left, b.minY(), left, b.height()));

    if (m_pulseKnob && m_knobShadowColor.isValid() && m_knobShadowOpacity > 0) {
        // The glow around the knob, drawn under it.
        QColor glow = m_knobShadowColor;
        glow.setAlphaF(float(m_knobShadowOpacity));
        const Rect knob = m_knobView->frame();
        pf::drawWithShadow(painter, pf::Shadow{glow, Size(0, 0), m_knobShadowRadius},
                           knob.insetBy(-2 * m_knobShadowRadius, -2 * m_knobShadowRadius), [&](QPainter& p) {
                               QPainterPath rounded;
                               rounded.addRoundedRect(knob.toQRectF(), 6, 6);
                               p.fillPath(rounded, QColor(19, 20, 22));
                           });
    }

    const int n = numberOfSteps();
    if (n == 0)
        return;
    const double segment = segmentWidth();
    const double markWidth = pointWidth(art.stepMark);
    const double markOpacity =
        m_visibleKnobProportion > 0
            ? 1 - 3 * (m_visibleKnobProportion - m_knobProportion) / m_visibleKnobProportion
            : 1;
    if (markOpacity > 0)
        for (int k = 1; k < n; ++k)
            pf::drawImage(painter, art.stepMark,
                          Rect(std::round(k * segment) + m_shadowSize - markWidth / 2, m_shadowSize,
                               markWidth, art.stepMark.height() / art.stepMark.devicePixelRatio()),
                          Rect::null(), QPainter::CompositionMode_SourceOver, markOpacity);

    const qint64 currentSlot = orderedCurrentIndex();
    for (int slot = 0; slot < n; ++slot) {
        const Rect box(slot * segment + m_shadowSize + kNameInset, m_shadowSize, segment - 2 * kNameInset,
                       kNameHeight);
        if (box.width() <= 0)
            continue;
        const QString& name = m_names->at(slot);
        const bool current = slot == currentSlot;
        pf::AttributedString text(name, nameAttributes(11, current));
        if (text.size().width > box.width())
            text = pf::AttributedString(name, nameAttributes(9, current));
        text.setAlignment(pf::AttributedString::Alignment::Center);
        text.setLineBreakMode(pf::AttributedString::LineBreak::TruncateMiddle);
        text.drawInRect(painter, box);
    }
}

// Mouse and wheel ------------------------------------------------------------------------------------

void OVStepScroller::mouseDown(const pf::Event& event)
{
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const Rect track(m_shadowSize, m_shadowSize, trackLength(), m_elementHeight);
    if (!track.contains(p))
        View::mouseDown(event);
    m_isDragging = true;
    m_lastDragX = p.x;
    const Rect knob = knobFrame();
    if (p.x > knob.minX() && p.x < knob.maxX())
        return;
    const double movable = movableWidth();
    double q = movable > 0 ? (p.x - m_shadowSize) / movable : 0;
    const int n = numberOfSteps();
    if (n == 1)
        q = 0;
    else if (n > 1)
        q = std::floor(q * (n - 1)) / (n - 1);
    updatePosition(q, true);
}

void OVStepScroller::mouseDragged(const pf::Event& event)
{
    if (!m_isDragging)
        return;
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const double deltaX = p.x - m_lastDragX;
    m_lastDragX = p.x;
    const double movable = movableWidth();
    if (movable > 0)
        updatePosition(m_position + deltaX / movable, false);
}

void OVStepScroller::mouseUp(const pf::Event&)
{
    m_isDragging = false;
    snapPosition();
}

void OVStepScroller::scrollWheel(const pf::Event& event)
{
    const double deltaX =
        event.hasPreciseScrollingDeltas() ? event.scrollingDeltaX() : event.deltaX() * kLineWidth;
    const double movable = movableWidth();
    if (movable > 0 && deltaX != 0 && !updatePosition(m_position - deltaX / movable, false))
        return;
    if (m_scrollEndTimer)
        m_scrollEndTimer->invalidate();
    m_scrollEndTimer = pf::Timer::scheduled(
        kScrollEndDelay, false,
        [this](pf::Timer&) {
            m_scrollEndTimer.reset();
            snapPosition();
        },
        this);
}

// Hover ----------------------------------------------------------------------------------------------

void OVStepScroller::updateTrackingAreas()
{
    View::updateTrackingAreas();
    if (m_trackingArea) {
        removeTrackingArea(m_trackingArea);
        m_trackingArea = nullptr;
    }
    if (superview())
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds().insetBy(m_shadowSize, m_shadowSize),
            pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::MouseMoved |
                pf::TrackingArea::ActiveInKeyWindow,
            this));
}

void OVStepScroller::hoverAt(const pf::Event& event)
{
    const int n = numberOfSteps();
    const double segment = segmentWidth();
    if (n == 0 || segment <= 0) {
        setHoveredIndex(NotFound);
        return;
    }
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    // By the segments the names stand in, whatever the knob's width.
    const qint64 slot = std::clamp<qint64>(qint64(std::floor((p.x - m_shadowSize) / segment)), 0, n - 1);
    setHoveredIndex(slotForIndex(slot));
}

void OVStepScroller::mouseEntered(const pf::Event& event)
{
    hoverAt(event);
}

void OVStepScroller::mouseMoved(const pf::Event& event)
{
    hoverAt(event);
}

void OVStepScroller::mouseExited(const pf::Event&)
{
    setHoveredIndex(NotFound);
}

void OVStepScroller::setHoveredIndex(qint64 index)
{
    if (index == m_hoveredIndex)
        return;
    m_hoveredIndex = index;
    if (m_delegate)
        m_delegate->scrollerDidChangeHover(this, index);
}

// Pulse ----------------------------------------------------------------------------------------------

void OVStepScroller::setPulseKnob(bool pulse)
{
    m_pulseKnob = pulse;
    if (m_pulseTimer) {
        m_pulseTimer->invalidate();
        m_pulseTimer.reset();
    }
    if (pulse) {
        m_knobShadowColor = QColor::fromRgbF(0, 0.75, 1.0, 1.0);
        m_knobShadowOpacity = 0.3;
        m_knobShadowRadius = 5.0;
        m_pulseStart = pf::Clock::current().now();
        m_pulseTimer = pf::Timer::scheduled(
            1.0 / kPulseFrameRate, true, [this](pf::Timer&) { pulseTick(); }, this);
    } else {
        m_knobShadowColor = QColor();
        m_knobShadowOpacity = 0;
    }
    redrawGlow();
}

void OVStepScroller::pulseTick()
{
    // From 0.3 to 0.7 in a second and back, for as long as the pulse lasts.
    const double elapsed = pf::Clock::current().now() - m_pulseStart;
    const double phase = std::fmod(elapsed, 2.0);
    const double fraction = phase <= 1.0 ? phase : 2.0 - phase;
    m_knobShadowOpacity = 0.3 + 0.4 * fraction;
    redrawGlow();
}

void OVStepScroller::redrawGlow()
{
    const double room = 2 * std::max(m_knobShadowRadius, 5.0) + 2;
    setNeedsDisplayInRect(m_knobView->frame().insetBy(-room, -room));
}
