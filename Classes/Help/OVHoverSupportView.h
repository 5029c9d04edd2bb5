#pragma once

#include "Platform/UI/View.h"

#include <QPointer>
#include <memory>

namespace pf {
class Timer;
class TrackingArea;
} // namespace pf

// Lies over a movie and shows its hover view (the control bar) while the pointer moves, hiding it after a
// rest; a click toggles it. Presses on the bar's controls reach them, every other press over the movie
// stops here. Main thread.
class OVHoverSupportView : public pf::View
{
    Q_OBJECT
public:
    static constexpr double kShowDuration = 0.3;
    static constexpr double kHideDuration = 0.7;
    static constexpr double kRestBeforeHiding = 3.0;
    static constexpr double kHideAfterClick = 10.0;

    explicit OVHoverSupportView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVHoverSupportView() override;

    // The view shown and hidden, made a subview.
    void setHoverView(pf::View* view);
    pf::View* hoverView() const { return m_hoverView; }

    void showHover();
    void hideHover();
    void startHideTimer(double seconds);
    bool hideTimerPending() const;

    void updateTrackingAreas() override;
    void mouseMoved(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    pf::View* hitTest(pf::Point pointInSuperview) override;

private:
    void cancelHideTimer();

    // The opacity the hover view is at or on its way to: a bar fading in counts as shown, so a click
    // that shows it arms the hide at once.
    double m_hoverAlpha = 1;
    QPointer<pf::View> m_hoverView;
    std::shared_ptr<pf::Timer> m_hideTimer;
    pf::TrackingArea* m_trackingArea = nullptr;
};
