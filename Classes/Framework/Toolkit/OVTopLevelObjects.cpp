#include "Classes/Framework/Toolkit/OVTopLevelObjects.h"

#include "Platform/Foundation/Bundle.h"

#include <QCoreApplication>
#include <QHash>
#include <QWidget>
#include <algorithm>
#include <memory>

void OVTopLevelObjects::set(const std::vector<QObject*>& objects)
{
    clear();
    for (QObject* object : objects)
        if (object && object != QCoreApplication::instance())
            m_objects.emplace_back(object);
}

void OVTopLevelObjects::clear()
{
    std::vector<QPointer<QObject>> held;
    held.swap(m_objects);
    for (const QPointer<QObject>& object : held)
        release(object.data());
}

void OVTopLevelObjects::remove(const QObject* object)
{
    m_objects.erase(std::remove_if(m_objects.begin(), m_objects.end(),
                                   [&](const QPointer<QObject>& held) { return held.data() == object; }),
                    m_objects.end());
}

std::vector<QObject*> OVTopLevelObjects::objects() const
{
    std::vector<QObject*> objects;
    for (const QPointer<QObject>& object : m_objects)
        if (object)
            objects.push_back(object.data());
    return objects;
}

void OVTopLevelObjects::release(QObject* object)
{
    if (!object || object == QCoreApplication::instance() || object->parent())
        return;
    delete object;
}

QString OVTopLevelObjects::archivedBundlePath(const pf::Bundle* bundle)
{
    return bundle ? bundle->resourcePath() : QString();
}

const pf::Bundle* OVTopLevelObjects::bundleForArchivedPath(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    if (path == pf::Bundle::main().resourcePath())
        return &pf::Bundle::main();
    static QHash<QString, std::shared_ptr<pf::Bundle>> bundles;
    std::shared_ptr<pf::Bundle>& bundle = bundles[path];
    if (!bundle)
        bundle = std::make_shared<pf::Bundle>(path);
    return bundle.get();
}
