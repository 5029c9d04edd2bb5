#pragma once

#include "Classes/Editor/GMTrackingView.h"

class GMSliderDelegate;

// A thin slider drawn from three track pictures and a knob, horizontal or, when taller than wide,
// vertical (running from bottom to top). Its value runs from the minimum at the start of the track to
// the maximum at its end; the minimum may be the larger (the zoom slider runs from 1 to 0). While the
// user drags, the delegate hears every value as a preview and the final one at release, and may give
// a picture to show as the cursor meanwhile. A slider faded out (see OVViewState) ignores the mouse.
class GMSlider : public GMTrackingView
{
    Q_OBJECT

public:
    // Minimum 0, maximum 1.
    explicit GMSlider(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    bool isVertical() const;
    // The knob's place, 0 to 1.
    double normedValue() const { return m_normedValue; }
    double value() const;
    // Puts the knob at the value (limited to the range); nothing when the range is empty. The delegate
    // is not told.
    void setValue(double value);
    double minValue() const { return m_minValue; }
    void setMinValue(double value) { m_minValue = value; }
    double maxValue() const { return m_maxValue; }
    void setMaxValue(double value) { m_maxValue = value; }

    // Not owned; clear it before the delegate goes.
    GMSliderDelegate* delegate() const { return m_delegate; }
    void setDelegate(GMSliderDelegate* delegate) { m_delegate = delegate; }

    // Moves the knob to `position` (limited to 0..1), redraws and tells the delegate.
    void updateValue(double position, bool preview);
    // The knob position under a point of the view (its x, or y when vertical).
    double positionForPoint(pf::Point point) const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

    static QStringList imageNames();

private:
    void track(const pf::Event& event, bool preview) override;
    double length() const;

    double m_normedValue = 0;
    double m_minValue = 0;
    double m_maxValue = 1;
    GMSliderDelegate* m_delegate = nullptr;
};
