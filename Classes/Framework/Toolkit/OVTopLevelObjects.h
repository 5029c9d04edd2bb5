#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

namespace pf {
class Bundle;
}

// The objects at the top of a loaded interface that a controller keeps. Releasing them deletes those
// that nothing else holds (no Qt parent, for a widget none in a view hierarchy); the application object
// is never kept. Also the controllers' bundle in archives, kept as its resources folder.
class OVTopLevelObjects
{
public:
    OVTopLevelObjects() = default;
    ~OVTopLevelObjects() { clear(); }
    OVTopLevelObjects(const OVTopLevelObjects&) = delete;
    OVTopLevelObjects& operator=(const OVTopLevelObjects&) = delete;

    // Takes the objects, without the application object; what was held before is released.
    void set(const std::vector<QObject*>& objects);
    // Releases everything held.
    void clear();
    // Stops holding `object` (without releasing it): the controller holds it by other means.
    void remove(const QObject* object);
    std::vector<QObject*> objects() const;
    bool isEmpty() const { return objects().empty(); }

    // Deletes `object` unless something else holds it (a Qt parent) or it is the application object.
    static void release(QObject* object);

    // The resources folder of a bundle as archives keep it (empty for the main bundle given as unset),
    // and the bundle of an archived folder: the main bundle for its own folder, else one made once per
    // folder and kept for the life of the process.
    static QString archivedBundlePath(const pf::Bundle* bundle);
    static const pf::Bundle* bundleForArchivedPath(const QString& path);

private:
    std::vector<QPointer<QObject>> m_objects;
};
