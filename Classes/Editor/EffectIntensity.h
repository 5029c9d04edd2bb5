#pragma once

#include "Classes/Editor/GMTrackingView.h"

class EffectIntensityDelegate;

// The settings panel's intensity control: a dark rounded track whose face runs from black to white,
// three dot marks (both ends and the middle) and a large round knob. Its value is in 0..1. A press and
// every drag report the value under the pointer as a preview, the release reports it as final (also
// when it did not change), so the panel renders cheaply while dragging and records one undo step at
// the end. A control faded out (see OVViewState) ignores the mouse.
class EffectIntensity : public GMTrackingView
{
    Q_OBJECT

public:
    using GMTrackingView::GMTrackingView;

    double intensity() const { return m_intensity; }
    // Limited to 0..1; redraws, never reports.
    void setIntensity(double intensity);

    // Not owned; clear it before the delegate goes.
    EffectIntensityDelegate* delegate() const { return m_delegate; }
    void setDelegate(EffectIntensityDelegate* delegate) { m_delegate = delegate; }

    // The value under a point of the view, not yet limited: 0 with the knob's centre at the left end.
    double valueForPoint(pf::Point point) const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

    static QStringList imageNames();

private:
    void track(const pf::Event& event, bool preview) override;

    double m_intensity = 0;
    EffectIntensityDelegate* m_delegate = nullptr;
};
