#pragma once

#include "Classes/Frames/OVFrameDescription.h"
#include "Platform/Foundation/ObserverToken.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <map>
#include <memory>

class QObject;

namespace pf {
class Timer;
class UndoManager;
} // namespace pf

// The picture frames the textured-frame filter draws and the frame builder edits. The system catalog
// is read-only, loaded from the frames bundle's "Info.plist"; the user catalog is editable, loaded
// from and saved to "UserFrames.plist" in the working area, 30 seconds after a change (at once when the
// application quits). Both find their shades and masks in the frames bundle. Posts
// "OVFrameCatalogChanged", "OVFrameAdded", "OVFrameRemoved" and "OVFrameNameChanged" ({"Name", "ID"})
// with the catalog as sender. Main thread only.
class OVFrameCatalog
{
public:
    // `bundlePath` is the frames bundle; `infoFileURL` the user file (empty for a system catalog).
    OVFrameCatalog(const QString& bundlePath, const QString& infoFileURL);
    ~OVFrameCatalog();
    OVFrameCatalog(const OVFrameCatalog&) = delete;
    OVFrameCatalog& operator=(const OVFrameCatalog&) = delete;

    static OVFrameCatalog& sharedFrameCatalog();
    static OVFrameCatalog& sharedUserFrameCatalog();
    // "Frames.bundle" of the main bundle, and "UserFrames.plist" in the working area.
    static QString framesBundlePath();
    static QString userFramesPath();

    // The catalog whose display names a rename must avoid as well (the system catalog for the user's).
    void setPeerCatalog(const OVFrameCatalog* peer) { m_peer = peer; }

    const QStringList& frameIDs() const { return m_frameIDs; }
    QStringList frameNames() const { return m_frameIDForName.keys(); }
    QString frameIDForName(const QString& name) const { return m_frameIDForName.value(name); }
    // By ID, else by display name.
    OVFrameDescriptionPtr frameWithName(const QString& name) const;

    void addFrame(const OVFrameDescriptionPtr& frame, const QString& frameID);
    // Under nextFrameID().
    QString addFrame(const OVFrameDescriptionPtr& frame);
    // False, changing nothing, for a catalog that is not editable, an unknown frame, an empty name or a
    // name that this catalog or its peer already shows.
    bool renameFrameID(const QString& key, const QString& newName);
    // Nothing for an index out of range, a header or a catalog that is not editable.
    void removeFrameAtIndex(int index);
    void removeFrameName(const QString& key);

    bool editable() const { return !m_infoFileURL.isEmpty(); }
    const QString& URL() const { return m_bundlePath; }
    const QString& infoFileURL() const { return m_infoFileURL; }
    pf::UndoManager* undoManager() const { return m_undoManager; }
    void setUndoManager(pf::UndoManager* manager);

    // Now, or in 30 seconds unless a save is already pending.
    void saveCatalogInstantly(bool now);
    // Writes the file now. A failed write is logged and stays pending.
    void saveCatalogTimed();
    bool savePending() const { return m_savePending; }
    void applicationWillQuit();
    void sortFrameNames();

    // Class-wide lists for the builder's menus.
    // The user catalog's frame, else the system catalog's, else the default plain frame.
    static OVFrameDescriptionPtr frameWithNameInCatalogs(const QString& name);
    static const OVFrameDescriptionPtr& defaultFrame();
    // "Plain Frame", then "-" and the user frames (when there are any), then "-" and the system frames.
    static QStringList allFrameNames();
    static const QStringList& sharedShadeNames();
    static const QHash<QString, QVariantMap>& sharedShadeSettings();
    static int indexOfShade(const QString& name);
    // The resource ID names of the files in the type's folder of the frames bundle, sorted by their
    // display texts.
    static QStringList listForItemsOfType(const QString& resourceType);
    static const QStringList& sharedExternalMaskNames();
    static const QStringList& sharedInternalMaskNames();
    // The next "FRM-U#NNN#" by the "CurrentFrameIndex" default, skipping IDs the user catalog holds.
    static QString nextFrameID();
    // The settings of one shade file (its "url", "width", "corner", "repeat.x", "repeat.y", "internal",
    // "external").
    static QVariantMap shadeSettingsForFile(const QString& path);

private:
    void load();
    // A user frames file that cannot be read is never written over: it is kept beside as
    // "<name>.damaged" (the first such name that is free) and the user is told once; where it cannot
    // be moved, the catalog saves nothing. A file that read but for some entries (`partly`) is copied
    // there instead, its readable frames loaded. The kept file's name, or empty when none was kept.
    QString keepUnreadFile(const QString& error, bool partly = false);
    void observeFrame(const QString& frameID, const OVFrameDescriptionPtr& frame);
    void post(const QString& name, const QVariantMap& userInfo = {});
    void registerUndo(const QString& selector, std::function<void()> action);

    QString m_infoFileURL;
    QString m_bundlePath;
    QHash<QString, OVFrameDescriptionPtr> m_frameDescriptions;
    QHash<QString, QString> m_frameIDForName;
    QStringList m_frameIDs;
    std::shared_ptr<pf::Timer> m_saveTimer;
    bool m_savePending = false;
    bool m_unreadFileStays = false; // an unread file that could not be moved aside: never written over
    pf::UndoManager* m_undoManager = nullptr;
    const OVFrameCatalog* m_peer = nullptr;
    std::map<QString, pf::ObserverToken> m_frameObservers;
    std::unique_ptr<QObject> m_quitContext;
    std::shared_ptr<const void> m_alive = std::make_shared<int>(0);
};
