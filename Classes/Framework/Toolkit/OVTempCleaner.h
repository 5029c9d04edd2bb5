#pragma once

#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <mutex>

// Places for temporary files in the system's temporary folder (QDir::tempPath(), so TMPDIR), and the
// registry of those to delete when the application quits: each file's folder goes too once it is
// empty, as long as that folder lies inside the temporary folder (which itself always stays). Only
// paths inside the temporary folder can be registered. Also makes numbered copies of resource files
// that keep their type and options visible in the copy's name ("ORV-X#NNN#name"). Safe from any thread.
class OVTempCleaner
{
public:
    // The registry flushed when the application quits (from QCoreApplication::aboutToQuit).
    static OVTempCleaner& sharedTempCleaner();

    // A new folder of 10 random characters in the temporary folder (made at once, only by this call),
    // and in it the path of `name`, registered for deletion. The file itself is not created. Empty when
    // no folder could be made, or for a name that leads out of the folder (logged; no folder is left).
    QString fileURLForName(const QString& name);
    void addFile(const QString& path) { addURL(path); }
    // Registers the path (again, when it already is). A path outside the temporary folder, or the
    // folder itself, is refused with a warning (false).
    bool addURL(const QString& path);
    // Copies `source` into this registry's own folder as "ORV-X#<counter>#<base>[#<options>].<ext>"
    // (base: `baseName`, or the source's resource name), registers the copy and returns its path. Empty
    // when the copy failed (logged); the counter moves on either way. The folder is made again when it
    // has gone (a flush removes it with its last copy).
    QString tempCopyURLFor(const QString& source, const QString& baseName = QString());
    // Deletes everything registered (a folder with its contents), and the folders this leaves empty
    // inside the temporary folder; forgets the registrations.
    void flush();
    QStringList registeredURLs() const;

    // A path directly in the temporary folder: 10 random characters, a dot and the extension, naming
    // nothing yet. Neither created nor registered.
    static QString tempURLWithExtension(const QString& extension);
    // tempCopyURLFor on the shared registry, answered as "<folder>/<file>" (the last two components);
    // empty when the copy failed.
    static QString tempCopyFor(const QString& source, const QString& baseName = QString());

    OVTempCleaner();
    ~OVTempCleaner();
    OVTempCleaner(const OVTempCleaner&) = delete;
    OVTempCleaner& operator=(const OVTempCleaner&) = delete;

private:
    // A new folder made by this call (never one that existed), or empty with a warning.
    static QString newTemporaryFolder();
    void observeQuit();

    mutable std::mutex m_mutex;
    QStringList m_tempURLs;
    QString m_resourcePath;
    quint64 m_resourceCounter = 0;
    QMetaObject::Connection m_quitConnection;
};
