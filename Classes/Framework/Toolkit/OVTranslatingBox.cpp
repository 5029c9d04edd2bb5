#include "Classes/Framework/Toolkit/OVTranslatingBox.h"

#include "Platform/Foundation/Localization.h"

void OVTranslatingBox::setTitle(const QString& title)
{
    QGroupBox::setTitle(pf::localized(title, QStringLiteral("Controls")));
}

void OVTranslatingBox::setToolTip(const QString& toolTip)
{
    QGroupBox::setToolTip(pf::localized(toolTip, QStringLiteral("Controls")));
}

void OVTranslatingBox::awakeFromInterface()
{
    setTitle(title());
    setToolTip(toolTip());
}
