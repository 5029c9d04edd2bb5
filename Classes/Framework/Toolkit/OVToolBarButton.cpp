#include "Classes/Framework/Toolkit/OVToolBarButton.h"

#include "Classes/Framework/Toolkit/OVToolBarView.h"

#include <QDir>

void OVToolBarButton::setName(const QString& name)
{
    storeName(name);
    loadButton();
}

void OVToolBarButton::setBarName(const QString& barName)
{
    m_barName = barName;
    loadButton();
}

QStringList OVToolBarButton::skinFolders() const
{
    QStringList folders;
    // A skin name is one folder name: nothing that leads elsewhere.
    if (name().isEmpty() || m_barName.isEmpty() || name().contains(u'/') ||
        name().contains(QLatin1String("..")))
        return folders;
    for (const QString& bar : resourceFolders(bundle(), m_barName, QStringLiteral("barButton"))) {
        const QString folder = bar + u'/' + name() + QStringLiteral(".button");
        if (QDir(folder).exists())
            folders.append(folder);
    }
    return folders;
}

void OVToolBarButton::loadButton()
{
    if (name().isEmpty() || m_barName.isEmpty())
        return;
    loadButtonInDirectory(skinFolders());
    refitAndRedisplay();
}

void OVToolBarButton::setCutsBar(bool cuts)
{
    if (cuts == m_cutsBar)
        return;
    m_cutsBar = cuts;
    if (auto* bar = qobject_cast<OVToolBarView*>(superview())) {
        if (cuts)
            bar->registerBarButton(this);
        else
            bar->removeBarButton(this);
    }
}

void OVToolBarButton::viewWillMoveToSuperview(pf::View* newSuperview)
{
    const QPointer<OVToolBarButton> self(this);
    OVButton::viewWillMoveToSuperview(newSuperview);
    if (self && m_cutsBar)
        if (auto* bar = qobject_cast<OVToolBarView*>(superview()))
            bar->removeBarButton(this);
}

void OVToolBarButton::viewDidMoveToSuperview()
{
    OVButton::viewDidMoveToSuperview();
    if (m_cutsBar)
        if (auto* bar = qobject_cast<OVToolBarView*>(superview()))
            bar->registerBarButton(this);
}
