#include "Classes/Framework/Toolkit/OVTranslatingButton.h"

#include "Platform/Foundation/Localization.h"

void OVTranslatingButton::setTitle(const QString& title)
{
    QPushButton::setText(pf::localized(title, QStringLiteral("Controls")));
}

void OVTranslatingButton::setToolTip(const QString& toolTip)
{
    QPushButton::setToolTip(pf::localized(toolTip, QStringLiteral("Controls")));
}

void OVTranslatingButton::awakeFromInterface()
{
    setTitle(text());
    setToolTip(toolTip());
}
