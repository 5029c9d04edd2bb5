#pragma once

#include "Classes/Framework/Toolkit/OVTopLevelObjects.h"
#include "Platform/UI/InterfaceRegistry.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <optional>

namespace pf {
class Bundle;
class KeyedArchiver;
class KeyedUnarchiver;
} // namespace pf

// What the view and window controllers share: the name and bundle their interface is found by, and
// the outlets and top-level objects of the interface once built. Archives keep the name and bundle
// under the controller's key prefix ("VC" or "WC"): the root under prefix + the root's key, then
// "nibName", "nibBundle" and "topLevelObjects". Live objects are not archived.
class OVInterfaceOwner : public QObject
{
    Q_OBJECT

public:
    // An empty name means none is set.
    void setNibName(const QString& name);
    // The stored bundle, else the main bundle.
    const pf::Bundle& nibBundle() const;
    void setNibBundle(const pf::Bundle* bundle) { m_bundle = bundle; }
    std::vector<QObject*> topLevelObjects() const { return m_topLevelObjects.objects(); }
    void setTopLevelObjects(const std::vector<QObject*>& objects) { m_topLevelObjects.set(objects); }

    // An outlet of the built interface (nullptr when absent, of another type, or gone).
    template <typename T> T* outlet(const QString& name) const
    {
        return qobject_cast<T*>(m_outlets.value(name).data());
    }

protected:
    OVInterfaceOwner(QString keyPrefix, QString rootKey)
        : m_keyPrefix(std::move(keyPrefix)), m_rootKey(std::move(rootKey))
    {}

    const std::optional<QString>& storedNibName() const { return m_nibName; }
    // Builds the interface of that name; nothing, with the warning, when it has no root outlet of type
    // T (what it made is let go again).
    template <typename T>
    std::optional<pf::Interface> buildInterface(const QString& name, const QString& warning)
    {
        std::optional<pf::Interface> interface = pf::InterfaceRegistry::load(name, this, nibBundle());
        if (interface && interface->outlet<T>(m_rootKey))
            return interface;
        reportFailure(interface, warning);
        return std::nullopt;
    }
    // Keeps the built interface's outlets and its top-level objects other than the root.
    void takeInterface(const pf::Interface& interface, QObject* root);
    // Lets go of the outlets and top-level objects.
    void dropInterface();
    // Puts `root` in `slot`; the root held there before, when another, is released.
    template <typename T> static void replaceRoot(QPointer<T>& slot, T* root)
    {
        if (root == slot)
            return;
        T* previous = slot;
        slot = root;
        OVTopLevelObjects::release(previous);
    }

    void encodeInterface(pf::KeyedArchiver& coder) const;
    void decodeInterface(pf::KeyedUnarchiver& coder);

private:
    void reportFailure(const std::optional<pf::Interface>& interface, const QString& warning);

    QString m_keyPrefix, m_rootKey;
    std::optional<QString> m_nibName;
    const pf::Bundle* m_bundle = nullptr;
    OVTopLevelObjects m_topLevelObjects;
    QHash<QString, QPointer<QObject>> m_outlets;
};
