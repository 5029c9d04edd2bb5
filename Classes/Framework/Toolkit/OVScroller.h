#pragma once

#include <QRectF>
#include <QScrollBar>

// A scroll bar for dark canvases. With the light knob style it draws only a slim, fully rounded,
// half-transparent white knob (at most 9 points thick, never thinner than 6 points less than the bar)
// and, without arrows, no slot: the transient overlay look. Other styles draw as Qt's style does.
//
// Its model is the platform scroller's: a value from 0 (top or left) to 1 and the knob's share of the
// whole length, mapped onto QScrollBar's integer range (a range set directly, as a scroll view does,
// gives the share too); with nothing to scroll the light knob is not drawn. doubleValueChanged() reports
// the user's moves.
class OVScroller : public QScrollBar
{
    Q_OBJECT

public:
    enum class KnobStyle
    {
        Default,
        Dark,
        Light,
    };
    enum class ArrowsPosition
    {
        None,
        Default,
    };

    explicit OVScroller(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Scrollers of this kind take part in overlay scrolling.
    static bool isCompatibleWithOverlayScrollers() { return true; }
    bool isOpaque() const { return false; }

    double doubleValue() const;
    void setDoubleValue(double value);
    double knobProportion() const;
    void setKnobProportion(double proportion);

    KnobStyle knobStyle() const { return m_knobStyle; }
    void setKnobStyle(KnobStyle style);
    ArrowsPosition arrowsPosition() const { return m_arrows; }
    void setArrowsPosition(ArrowsPosition position);

    // The knob's rectangle as the bar lays it out (widget coordinates).
    QRectF knobRect() const;
    // The light style's knob inside that rectangle: thinned and centred across the bar.
    static QRectF slimKnob(const QRectF& knob, bool horizontal);

signals:
    void doubleValueChanged(double value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int span = 1000000;
    KnobStyle m_knobStyle = KnobStyle::Default;
    ArrowsPosition m_arrows = ArrowsPosition::None;
};
