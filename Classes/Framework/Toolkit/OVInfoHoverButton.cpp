#include "Classes/Framework/Toolkit/OVInfoHoverButton.h"

#include "Classes/Framework/Toolkit/OVHoverWindowController.h"

OVInfoHoverButton::~OVInfoHoverButton() = default;

void OVInfoHoverButton::setButtonState(int request)
{
    const QPointer<OVInfoHoverButton> self(this);
    OVButton::setButtonState(request);
    if (self && buttonState() == Hover)
        hoverWC()->showWindowOverView(this);
}

OVHoverWindowController* OVInfoHoverButton::hoverWC()
{
    if (!m_hoverWC)
        m_hoverWC = std::make_unique<OVHoverWindowController>();
    return m_hoverWC.get();
}

void OVInfoHoverButton::setHoverWC(std::unique_ptr<OVHoverWindowController> controller)
{
    m_hoverWC = std::move(controller);
}

QString OVInfoHoverButton::infoTitle()
{
    QLabel* field = hoverWC()->titleTF();
    return field ? field->text() : QString();
}

void OVInfoHoverButton::setInfoTitle(const QString& title)
{
    if (QLabel* field = hoverWC()->titleTF())
        field->setText(title);
}

QString OVInfoHoverButton::infoDescription()
{
    QLabel* field = hoverWC()->descriptionTF();
    return field ? field->text() : QString();
}

void OVInfoHoverButton::setInfoDescription(const QString& description)
{
    if (QLabel* field = hoverWC()->descriptionTF()) {
        field->setText(description);
        hoverWC()->shrinkToFit();
    }
}
