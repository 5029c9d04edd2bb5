#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"

#include <memory>

class OVHoverWindowController;

// A skinned button that, while the pointer rests on it, opens a window exactly over itself showing the
// button with a title and a description; the window goes when the pointer leaves it.
class OVInfoHoverButton : public OVButton
{
    Q_OBJECT

public:
    using OVButton::OVButton;
    ~OVInfoHoverButton() override;

    // The button's state machine; whenever the button is hovered afterwards, the hover window shows.
    void setButtonState(int request) override;

    OVHoverWindowController* hoverWC();
    void setHoverWC(std::unique_ptr<OVHoverWindowController> controller);

    QString infoTitle();
    void setInfoTitle(const QString& title);
    QString infoDescription();
    void setInfoDescription(const QString& description);

private:
    std::unique_ptr<OVHoverWindowController> m_hoverWC;
};
