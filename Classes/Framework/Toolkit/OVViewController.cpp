#include "Classes/Framework/Toolkit/OVViewController.h"

#include "Platform/Foundation/Bundle.h"

OVViewController::OVViewController(const QString& nibName, const pf::Bundle* bundle)
    : OVInterfaceOwner(QStringLiteral("VC"), QStringLiteral("view"))
{
    setNibName(nibName);
    setNibBundle(bundle);
}

OVViewController::~OVViewController()
{
    dropInterface();
    OVTopLevelObjects::release(m_view.data());
}

pf::View* OVViewController::view()
{
    if (!m_view)
        loadView();
    return m_view;
}

void OVViewController::setView(pf::View* view)
{
    replaceRoot(m_view, view);
    if (!view)
        dropInterface();
}

void OVViewController::loadView()
{
    const QString name = nibName();
    const std::optional<pf::Interface> interface =
        buildInterface<pf::View>(name, QStringLiteral("%1 could not load view from %2 in %3")
                                           .arg(className(), nibBundle().resourcePath(), name));
    if (!interface)
        return;
    m_view = interface->outlet<pf::View>(QStringLiteral("view"));
    takeInterface(*interface, m_view);
}

void OVViewController::decodeWithCoder(pf::KeyedUnarchiver& coder)
{
    setView(nullptr);
    decodeInterface(coder);
}
