#pragma once

#include "Platform/UI/View.h"

#include <QColor>
#include <QImage>
#include <QStringList>
#include <limits>
#include <memory>
#include <optional>

class OVImageView;
class OVStepScrollerDelegate;

namespace pf {
class Timer;
class TrackingArea;
} // namespace pf

// A horizontal scroller whose knob rests on steps, one per named entry, with the names written into the
// track, one per segment. It keeps a continuous position from 0 (left) to 1 (right); the current step
// follows from it, and letting go (the end of a drag, a pause of the wheel) snaps the knob back onto a
// step. In reversed order step 0 is the rightmost. The pointer's step is reported as it hovers, and the
// knob can pulse with a glow.
//
// Two sizes: a regular scroller (36 points high: a 22-point groove inside 7 points of room, with names
// and step marks) and a small one (8 points high: only its knob), chosen by the height asked for.
class OVStepScroller : public pf::View
{
    Q_OBJECT

public:
    static constexpr qint64 NotFound = std::numeric_limits<qint64>::max();
    enum ControlSize
    {
        Regular = 0,
        Small = 1,
    };

    // Regular when `frame` is at least 25 high, else small; the height becomes 36 or 8.
    explicit OVStepScroller(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVStepScroller() override;

    // The least width a scroller of height `height` takes.
    static double minWidthForHeight(double height);
    // The images the scroller draws with (loaded once for the process).
    static QStringList imageNames();

    int controlSize() const { return m_controlSize; }
    double shadowSize() const { return m_shadowSize; }
    OVImageView* knobView() const { return m_knobView; }

    // Steps. A nil name becomes the empty one; inserting beyond the last step fills the gap with
    // unnamed steps.
    void insertStepWithName(const QString& name, qint64 index);
    void removeStepAtIndex(qint64 index);
    // Moves the knob to a step (animated) without telling the delegate.
    void selectStepAtIndex(qint64 index);
    // Drops every step: the scroller then scrolls freely and draws no names.
    void disableSteps();
    int numberOfSteps() const { return m_names ? int(m_names->size()) : 0; }
    // The names in visual order, left to right.
    QStringList names() const { return m_names.value_or(QStringList()); }
    // The rectangle of a step's segment.
    pf::Rect frameForSegment(qint64 index) const;

    qint64 currentIndex() const;
    qint64 orderedCurrentIndex() const;
    double position() const { return m_position; }
    void setPosition(double position) { setPositionAnimated(position, true); }
    // No report is sent.
    void setPositionAnimated(double position, bool animated);
    double knobProportion() const { return m_knobProportion; }
    // One step's share of the track; the knob is drawn never narrower than its two end caps.
    void setKnobProportion(double proportion);
    double visibleKnobProportion() const { return m_visibleKnobProportion; }
    bool pulseKnob() const { return m_pulseKnob; }
    void setPulseKnob(bool pulse);
    // The glow around the knob: its colour (invalid when none) and blur radius.
    QColor knobShadowColor() const { return m_knobShadowColor; }
    double knobShadowRadius() const { return m_knobShadowRadius; }
    double knobShadowOpacity() const { return m_knobShadowOpacity; }
    bool snapEnabled() const { return m_snapEnabled; }
    void setSnapEnabled(bool enabled) { m_snapEnabled = enabled; }
    bool reversedOrder() const { return m_reversedOrder; }
    void setReversedOrder(bool reversed);
    qint64 hoveredIndex() const { return m_hoveredIndex; }
    bool isDragging() const { return m_isDragging; }

    OVStepScrollerDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVStepScrollerDelegate* delegate) { m_delegate = delegate; }

    // The knob as the track shows it: width, and frame for the current position.
    double knobWidth() const;
    double segmentWidth() const;
    double movableWidth() const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void updateTrackingAreas() override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void scrollWheel(const pf::Event& event) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;

private:
    double trackLength() const;
    // Step index <-> visual slot.
    qint64 slotForIndex(qint64 index) const;
    // False when a report deleted the scroller.
    bool updatePosition(double position, bool animated);
    void snapPosition();
    void updateKnobProportion();
    void rebuildKnob();
    pf::Rect knobFrame() const;
    void setHoveredIndex(qint64 index);
    void hoverAt(const pf::Event& event);
    void pulseTick();
    void redrawGlow();

    int m_controlSize = Regular;
    double m_shadowSize = 7.0;
    double m_elementHeight = 22.0;
    OVImageView* m_knobView = nullptr;
    std::shared_ptr<pf::Timer> m_scrollEndTimer;
    double m_visibleKnobProportion = 0;
    double m_position = 0;
    double m_knobProportion = 0;
    std::optional<QStringList> m_names;
    pf::TrackingArea* m_trackingArea = nullptr;
    bool m_reversedOrder = false;
    bool m_pulseKnob = false;
    qint64 m_hoveredIndex = 0;
    bool m_snapEnabled = false;
    bool m_isDragging = false;
    double m_lastDragX = 0;
    OVStepScrollerDelegate* m_delegate = nullptr;

    QColor m_knobShadowColor;
    double m_knobShadowOpacity = 0;
    double m_knobShadowRadius = 0;
    double m_pulseStart = 0;
    std::shared_ptr<pf::Timer> m_pulseTimer;
};
