#include "Classes/Framework/Toolkit/OVInterfaceOwner.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Log.h"

void OVInterfaceOwner::setNibName(const QString& name)
{
    m_nibName = name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

const pf::Bundle& OVInterfaceOwner::nibBundle() const
{
    return m_bundle ? *m_bundle : pf::Bundle::main();
}

void OVInterfaceOwner::reportFailure(const std::optional<pf::Interface>& interface, const QString& warning)
{
    pf::warning(warning);
    if (interface) {
        OVTopLevelObjects discard;
        discard.set(interface->topLevelObjects);
    }
}

void OVInterfaceOwner::takeInterface(const pf::Interface& interface, QObject* root)
{
    m_outlets = interface.outlets;
    m_topLevelObjects.set(interface.topLevelObjects);
    m_topLevelObjects.remove(root);
}

void OVInterfaceOwner::dropInterface()
{
    m_topLevelObjects.clear();
    m_outlets.clear();
}

void OVInterfaceOwner::encodeInterface(pf::KeyedArchiver& coder) const
{
    coder.encodeObject(m_keyPrefix + m_rootKey, QVariant());
    coder.encodeObject(m_keyPrefix + QStringLiteral("nibName"),
                       m_nibName ? QVariant(*m_nibName) : QVariant());
    const QString bundle = OVTopLevelObjects::archivedBundlePath(m_bundle);
    coder.encodeObject(m_keyPrefix + QStringLiteral("nibBundle"),
                       bundle.isEmpty() ? QVariant() : QVariant(bundle));
    coder.encodeObject(m_keyPrefix + QStringLiteral("topLevelObjects"), QVariant());
}

void OVInterfaceOwner::decodeInterface(pf::KeyedUnarchiver& coder)
{
    setNibName(coder.decodeObject(m_keyPrefix + QStringLiteral("nibName")).toString());
    setNibBundle(OVTopLevelObjects::bundleForArchivedPath(
        coder.decodeObject(m_keyPrefix + QStringLiteral("nibBundle")).toString()));
}
