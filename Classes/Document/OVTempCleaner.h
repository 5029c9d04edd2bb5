#pragma once

#include <QString>
#include <QStringList>
#include <mutex>

// Places for temporary files in the system's temporary folder, and the registry of those to delete
// when the application quits (each file's folder goes too once it is empty). Also makes numbered copies
// of resource files that keep their type and options visible in the copy's name ("ORV-X#NNN#name").
// Safe from any thread.
class OVTempCleaner
{
public:
    static OVTempCleaner& sharedTempCleaner();

    // A new folder of 10 random characters in the temporary folder (made at once), and in it the URL of
    // `name`, registered for deletion. The file itself is not created.
    QString fileURLForName(const QString& name);
    void addFile(const QString& path) { addURL(path); }
    void addURL(const QString& path);
    // Copies `source` into this registry's own folder as "ORV-X#<counter>#<base>[#<options>].<ext>"
    // (base: `baseName`, or the source's resource name), registers the copy and returns its path; the
    // path also after a failed copy (logged), when it names no file.
    QString tempCopyURLFor(const QString& source, const QString& baseName = QString());
    // Deletes everything registered, and folders left empty by that; forgets the registrations.
    void flush();
    QStringList registeredURLs() const;

    // A path directly in the temporary folder: 10 random characters, a dot and the extension, naming
    // nothing yet. Neither created nor registered.
    static QString tempURLWithExtension(const QString& extension);
    // tempCopyURLFor on the shared registry, answered as "<folder>/<file>" (the last two components).
    static QString tempCopyFor(const QString& source, const QString& baseName = QString());

    OVTempCleaner();
    ~OVTempCleaner();
    OVTempCleaner(const OVTempCleaner&) = delete;
    OVTempCleaner& operator=(const OVTempCleaner&) = delete;

private:
    static QString newTemporaryFolder();

    mutable std::mutex m_mutex;
    QStringList m_tempURLs;
    QString m_resourcePath;
    quint64 m_resourceCounter = 0;
};
