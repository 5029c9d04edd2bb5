#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/UI/Responder.h"

#include <QLabel>
#include <QPointer>

class OVImageView;

namespace pf {
class TrackingArea;
class View;
} // namespace pf

// A small borderless window laid exactly over a view: a picture of the view as it looks now, at the
// view's own place, with a title and a wrapped description below. It floats in the view's window as an
// overlay and closes when the pointer leaves it (and only then). Outlets of its interface:
// imageView, trackView (the area the pointer must stay in), titleTF, descriptionTF.
class OVHoverWindowController : public OVWindowController, public pf::Responder
{
    Q_OBJECT

public:
    OVHoverWindowController();
    ~OVHoverWindowController() override;

    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("OVHoverWindowController")} + OVWindowController::classChain();
    }

    // How wide the description wraps.
    static constexpr double descriptionWidth = 200.0;

    void windowDidLoad() override;
    // Shows the window over `view` (a picture of it where it is); a window already shown is only
    // re-captured, refitted and moved.
    void showWindowOverView(pf::View* view);
    // Fits the height to the description, keeping the window's origin and width (so it grows upwards).
    void shrinkToFit();
    void updateTrackingArea();
    // Detaches the window from its parent and closes it.
    void close() override;

    void mouseEntered(const pf::Event&) override {}
    void mouseExited(const pf::Event&) override { close(); }

    OVImageView* imageView() const;
    pf::View* trackView() const { return outlet<pf::View>(QStringLiteral("trackView")); }
    // Build the window when needed; nullptr when it cannot be built.
    QLabel* titleTF();
    QLabel* descriptionTF();
    pf::TrackingArea* exitTrackingArea() const { return m_exitTrackingArea; }

private:
    void layOut(pf::Size window);

    pf::TrackingArea* m_exitTrackingArea = nullptr;
    QPointer<pf::View> m_exitTrackingView;
};
