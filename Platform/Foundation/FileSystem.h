#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace pf {

// File operations whose failure modes matter: atomic replacement of files and folders, and deletion
// confined to a folder. Every function reports failure by returning false and, when `error` is given,
// a sentence naming the path and the reason.
class FileSystem
{
public:
    FileSystem() = delete;

    // The executable's name: the application name when one is set, else the executable file's name.
    static QString executableName();
    // The folder holding the running executable.
    static QString executableDirectory();

    // The folder for the application's own working files: PF_APPLICATION_SUPPORT_DIR when set, else
    // the user's data folder + "/" + executableName(). Created when missing (a failure is logged).
    static QString applicationSupportDirectory();
    // Replaces the folder above for tests; an empty path restores the normal choice.
    static void setApplicationSupportDirectoryForTesting(const QString& path);

    // Writes `data` to a new file beside `path`, syncs it to disk and renames it into place, so `path`
    // holds either the old or the new contents, never a mixture. A symlink at `path` is followed (the
    // link stays, its target is replaced); an existing file keeps its permissions. On failure the old
    // file is untouched and the temporary file is gone.
    static bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);
    // A file's modification time in UTC (the target's, through links); invalid when it cannot be read.
    // Made without the C library's time-zone conversion, which replaces (and frees) its zone name and is
    // not safe beside the main thread's: save queues read a file's time through this.
    static QDateTime modificationTime(const QString& path);
    // The error number (errno) of the latest failure of writeFileAtomically or createDirectory on the
    // calling thread, 0 before any: ENOSPC tells a full disk apart from other failures.
    static int lastWriteError();
    // Tests: called once writeFileAtomically has moved a new file into place at `path`.
    static void setFileReplacedHookForTesting(void (*hook)(const QString& path));

    // Replaces the folder `target` by the already written folder `newContents` (on the same
    // filesystem), so that `target` always names a complete folder, old or new; afterwards the old
    // folder is deleted. If `target` does not exist the new folder is simply renamed to it. Succeeds
    // once the new folder is in place: failing to delete the old one is only logged.
    static bool replaceDirectoryAtomically(const QString& target, const QString& newContents,
                                           QString* error = nullptr);
    // Forces the rename-aside path used where the kernel cannot exchange two names (for tests).
    static void setDirectoryExchangeDisabledForTesting(bool disabled);
    // Tests: called between the two renames of the rename-aside path, while `target` is missing.
    static void setReplacementStepHookForTesting(void (*hook)());

    // The start of the name of a helper entry (`kind` "saving", "old", ...) made beside an entry named
    // `name`: "." + name + "." + kind + "-", followed by 10 letters or digits. A name too long for that
    // is cut and completed by a digest of the whole name, so every name has helpers of its own.
    static QString helperPrefix(const QString& name, const QString& kind);
    // Whether `entry` is exactly such a helper name of `name` (compared literally, never as a pattern).
    static bool isHelperName(const QString& entry, const QString& name, const QString& kind);
    // After a process was killed between the two renames of replaceDirectoryAtomically's rename-aside
    // path, `target` is missing and its old folder waits beside it: that folder is put back (a new
    // folder beside it may be incomplete and is not trusted). True when `target` was restored.
    static bool restoreInterruptedReplacement(const QString& target, QString* error = nullptr);

    // Deletes `path` (a file, a link or a whole folder) only if it lies strictly inside `root`, with
    // the parents' symlinks resolved. Refuses `root` itself, `..` escapes and links leading out. Links
    // inside are deleted as links, never followed. A path that does not exist counts as deleted.
    static bool removeRecursively(const QString& path, const QString& root, QString* error = nullptr);

    // Creates the folder and its missing parents; succeeds if it already exists as a folder.
    static bool createDirectory(const QString& path, QString* error = nullptr);
};

} // namespace pf
