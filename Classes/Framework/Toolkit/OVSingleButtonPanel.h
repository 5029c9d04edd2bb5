#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVRoundedRect.h"
#include "Classes/Framework/Toolkit/OVViewController.h"
#include "Platform/Foundation/Point.h"
#include "Platform/UI/Responder.h"
#include "Platform/UI/WindowDelegate.h"

#include <QPointer>
#include <memory>

class OVSingleButtonPanelDelegate;
namespace pf {
class TrackingArea;
class Window;
} // namespace pf

// A small borderless panel hanging below a point of a window with a message and one button. It belongs
// to one delegate at a time: a second caller showing it takes it over and the first hears that it has
// gone. It closes when it stops being the key window. The panel is an overlay child of its owner, kept
// inside the owner's content. One shared instance; main thread only.
class OVSingleButtonPanel : public OVViewController, public pf::Responder, public pf::WindowDelegate
{
    Q_OBJECT

public:
    OVSingleButtonPanel();
    ~OVSingleButtonPanel() override;

    QString className() const override { return QStringLiteral("OVSingleButtonPanel"); }
    static OVSingleButtonPanel& sharedPanel();

    void loadView() override;

    // Shows the panel with its top-left corner at `point` (the parent's base coordinates), for
    // `delegate`. Nothing happens when the view cannot be built or there is no parent.
    void showOver(pf::Window* parent, pf::Point point, OVSingleButtonPanelDelegate* delegate,
                  const QString& message, const QString& buttonTitle);
    // Closes the panel only when `delegate` owns it.
    void hideForDelegate(const OVSingleButtonPanelDelegate* delegate);
    // Closes the panel without telling the delegate, which is dropped.
    void close();
    void buttonClicked();

    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void windowDidResignKey(pf::Window* window) override;

    // The current owner, or nullptr (also when the owner has been destroyed).
    OVSingleButtonPanelDelegate* delegate() const;
    OVChildSupportWindow* window() const { return m_window; }
    bool isVisible() const;
    OVLabel* label() const { return m_label; }
    OVButton* button() const { return m_button; }
    OVRoundedRect* background() const { return m_background; }
    pf::TrackingArea* trackingArea() const { return m_trackingArea; }
    double windowWidth() const { return m_windowWidth; }
    double labelY() const { return m_labelY; }

private:
    void setDelegate(OVSingleButtonPanelDelegate* delegate);
    void removeTrackingArea();

    QPointer<OVLabel> m_label;
    QPointer<OVButton> m_button;
    QPointer<OVRoundedRect> m_background;
    QPointer<OVChildSupportWindow> m_window;
    double m_windowWidth = 0;
    double m_labelY = 0;
    pf::TrackingArea* m_trackingArea = nullptr;
    OVSingleButtonPanelDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    bool m_closing = false;
    bool m_showing = false;
};
