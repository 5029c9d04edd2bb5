#pragma once

#include <memory>

class OVSingleButtonPanel;

// Hears of the single-button panel it owns; every call is optional. The panel holds its delegate
// weakly: a delegate destroyed while it owns the panel reads as none.
class OVSingleButtonPanelDelegate
{
public:
    OVSingleButtonPanelDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVSingleButtonPanelDelegate(const OVSingleButtonPanelDelegate&) {}
    OVSingleButtonPanelDelegate& operator=(const OVSingleButtonPanelDelegate&) { return *this; }
    virtual ~OVSingleButtonPanelDelegate() = default;

    // The panel went away from this delegate: another took it over, or it lost key status.
    virtual void panelDidHide(OVSingleButtonPanel*) {}
    virtual void panelChangedHovered(OVSingleButtonPanel*, bool) {}
    virtual void panelWasClicked(OVSingleButtonPanel*) {}

    std::weak_ptr<const void> panelDelegateLifetime() const { return m_lifetime; }

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
