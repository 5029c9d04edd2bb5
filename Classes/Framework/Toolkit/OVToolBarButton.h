#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"

// A skinned button whose skin belongs to a named tool bar look: the skin folder "<skin>.button" is
// found inside the bar-button folder "<bar>.barButton", so a bar and its buttons are re-skinned
// together. Nothing loads until both names are set, in either order. A button that cuts the bar
// registers with the tool bar view it sits in, which then leaves a notch in its background.
class OVToolBarButton : public OVButton
{
    Q_OBJECT

public:
    using OVButton::OVButton;

    void setName(const QString& name);
    QString barName() const { return m_barName; }
    void setBarName(const QString& barName);
    bool cutsBar() const { return m_cutsBar; }
    void setCutsBar(bool cuts);
    // The skin folders for the two names (none until both are set).
    QStringList skinFolders() const;
    void loadButton();

    void viewWillMoveToSuperview(pf::View* superview) override;
    void viewDidMoveToSuperview() override;

private:
    QString m_barName;
    bool m_cutsBar = false;
};
