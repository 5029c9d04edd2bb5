#include "Classes/Framework/Toolkit/OVViewController.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Log.h"

OVViewController::OVViewController(const QString& nibName, const pf::Bundle* bundle)
{
    setNibName(nibName);
    setNibBundle(bundle);
}

OVViewController::~OVViewController()
{
    m_topLevelObjects.clear();
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
    if (view != m_view) {
        pf::View* previous = m_view;
        m_view = view;
        OVTopLevelObjects::release(previous);
    }
    if (!view) {
        m_topLevelObjects.clear();
        m_outlets.clear();
    }
}

QString OVViewController::nibName() const
{
    return m_nibName.value_or(className());
}

void OVViewController::setNibName(const QString& name)
{
    m_nibName = name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

const pf::Bundle& OVViewController::nibBundle() const
{
    return m_bundle ? *m_bundle : pf::Bundle::main();
}

void OVViewController::setNibBundle(const pf::Bundle* bundle)
{
    m_bundle = bundle;
}

void OVViewController::loadView()
{
    std::optional<pf::Interface> interface = pf::InterfaceRegistry::load(nibName(), this, nibBundle());
    auto* view = interface ? interface->outlet<pf::View>(QStringLiteral("view")) : nullptr;
    if (!view) {
        pf::warning(QStringLiteral("%1 could not load view from %2 in %3")
                        .arg(className(), nibBundle().resourcePath(), nibName()));
        // Whatever the interface made goes again.
        if (interface) {
            OVTopLevelObjects discard;
            discard.set(interface->topLevelObjects);
        }
        return;
    }
    m_view = view;
    m_outlets = interface->outlets;
    m_topLevelObjects.set(interface->topLevelObjects);
    m_topLevelObjects.remove(view);
}

void OVViewController::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeObject(QStringLiteral("VCview"), QVariant());
    coder.encodeObject(QStringLiteral("VCnibName"), m_nibName ? QVariant(*m_nibName) : QVariant());
    const QString bundle = OVTopLevelObjects::archivedBundlePath(m_bundle);
    coder.encodeObject(QStringLiteral("VCnibBundle"), bundle.isEmpty() ? QVariant() : QVariant(bundle));
    coder.encodeObject(QStringLiteral("VCtopLevelObjects"), QVariant());
}

void OVViewController::decodeWithCoder(pf::KeyedUnarchiver& coder)
{
    setView(nullptr);
    setNibName(coder.decodeObject(QStringLiteral("VCnibName")).toString());
    setNibBundle(OVTopLevelObjects::bundleForArchivedPath(
        coder.decodeObject(QStringLiteral("VCnibBundle")).toString()));
}
