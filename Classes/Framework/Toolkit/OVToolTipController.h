#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Size.h"

#include <QLabel>
#include <QPointer>
#include <memory>

namespace pf {
class Timer;
class View;
} // namespace pf

// The one tooltip of the process: a small window hanging below and to the right of a point, kept inside
// the window of the view it explains, floating in that window as an overlay. It hides when its view asks,
// after 30 seconds, or when that window closes; showing another first hides the shown one. Main thread
// only.
class OVToolTipController : public OVWindowController
{
    Q_OBJECT

public:
    OVToolTipController();
    ~OVToolTipController() override;

    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("OVToolTipController")} + OVWindowController::classChain();
    }

    static OVToolTipController& sharedController();
    // How long controls wait with the pointer at rest before they ask for a tooltip.
    static double toolTipDelay() { return 0.7; }
    // How long a tooltip stays when left alone.
    static constexpr double hideDelay = 30.0;

    // Where the tooltip hangs from its point: below it and to the right (the usual), or above it and to
    // the right, for controls with something worth seeing below them.
    enum class Placement
    {
        Below,
        Above,
    };
    // Shows `text` ("<b>" and "</b>" mark bold spans) for `view`, its top left (bottom left when placed
    // above) at `point` (the base coordinates of the view's window). Nothing shows for empty text or a
    // window not on screen.
    void showTooltip(const QString& text, pf::Point point, pf::View* view,
                     Placement placement = Placement::Below);
    // Hides the tooltip when it belongs to `view`; harmless otherwise.
    void hideForView(const pf::View* view);
    bool isShowing() const;
    pf::View* focusView() const { return m_focusView; }
    QLabel* toolTipLabel() const { return outlet<QLabel>(QStringLiteral("toolTipLabel")); }
    pf::Size extraSize() const { return m_extraSize; }

    void windowDidLoad() override;
    void windowWillClose(const pf::Notification& notification) override;

private:
    void updateWindowFrame();

    pf::Point m_focusPoint;
    Placement m_placement = Placement::Below;
    QPointer<pf::View> m_focusView;
    std::shared_ptr<pf::Timer> m_timeOut;
    pf::Size m_extraSize;
    pf::ObserverToken m_focusWindowObserver;
    bool m_hiding = false;
};
