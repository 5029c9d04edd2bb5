#include "Platform/Foundation/FileSystem.h"

#include "Platform/Foundation/Guarded.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/RandomName.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace pf {

namespace {

constinit Guarded<QString> applicationSupportOverride;
std::atomic<bool> directoryExchangeDisabled = false;
std::atomic<void (*)()> replacementStepHook = nullptr;
std::atomic<void (*)(const QString&)> fileReplacedHook = nullptr;
constexpr int helperSuffixLength = 10;
thread_local int lastWriteErrorCode = 0;

QString reason(int error)
{
    return QString::fromStdString(std::error_code(error, std::generic_category()).message());
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// An owned file descriptor.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Makes a finished rename durable; a failure here does not undo the rename, so it is not an error.
void syncDirectory(const QString& directory)
{
    Descriptor fd(::open(encoded(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

QString absolute(const QString& path)
{
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path);
}

QString parentOf(const QString& cleanAbsolutePath)
{
    const qsizetype slash = cleanAbsolutePath.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : cleanAbsolutePath.left(slash);
}

QString nameOf(const QString& cleanAbsolutePath)
{
    return cleanAbsolutePath.mid(cleanAbsolutePath.lastIndexOf(u'/') + 1);
}

// Part of a name for a helper file beside it: a name near the length limit must not make the helper's
// name too long.
QString shortened(const QString& name)
{
    return name.left(64);
}

bool isStrictlyInside(const QString& path, const QString& root)
{
    const QString prefix = root.endsWith(u'/') ? root : root + u'/';
    return path.size() > prefix.size() && path.startsWith(prefix);
}

struct RemoveState
{
    QString firstError;
    void note(const QString& path, int error)
    {
        if (firstError.isEmpty())
            firstError = QStringLiteral("Could not delete \"%1\": %2").arg(path, reason(error));
    }
};

// Deletes the folder `name` inside the open folder `parent`, never following a symlink: every step
// works on descriptors, so a folder swapped for a link meanwhile is not entered.
void removeTreeAt(int parent, const QByteArray& name, const QString& displayPath, RemoveState& state)
{
    const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOTDIR || errno == ELOOP) { // replaced by a file or a link meanwhile
            if (::unlinkat(parent, name.constData(), 0) != 0 && errno != ENOENT)
                state.note(displayPath, errno);
        } else if (errno != ENOENT) {
            state.note(displayPath, errno);
        }
        return;
    }
    DIR* directory = ::fdopendir(fd);
    if (!directory) {
        state.note(displayPath, errno);
        ::close(fd);
        return;
    }
    std::vector<QByteArray> entries;
    while (dirent* entry = ::readdir(directory)) {
        const QByteArray entryName(entry->d_name);
        if (entryName != "." && entryName != "..")
            entries.push_back(entryName);
    }
    for (const QByteArray& entry : entries) {
        const QString entryPath = displayPath + u'/' + QFile::decodeName(entry);
        struct stat info;
        if (::fstatat(fd, entry.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                state.note(entryPath, errno);
            continue;
        }
        if (S_ISDIR(info.st_mode))
            removeTreeAt(fd, entry, entryPath, state);
        else if (::unlinkat(fd, entry.constData(), 0) != 0 && errno != ENOENT)
            state.note(entryPath, errno);
    }
    ::closedir(directory);
    if (::unlinkat(parent, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
        state.note(displayPath, errno);
}

// Deletes `path` whose parent folder is already known to be safe.
bool removeEntry(const QString& parentPath, const QString& name, QString* error)
{
    const QString path = parentPath + u'/' + name;
    Descriptor parent(::open(encoded(parentPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0)
        return errno == ENOENT
                   ? true
                   : fail(error, QStringLiteral("Could not delete \"%1\": %2").arg(path, reason(errno)));
    // The parent was resolved before it was opened; make sure no link was swapped in meanwhile.
    const QString opened = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(parent.get()));
    if (!opened.isEmpty() && opened != parentPath)
        return fail(error,
                    QStringLiteral("Refused to delete \"%1\": its folder moved to \"%2\"").arg(path, opened));
    const QByteArray entry = encoded(name);
    struct stat info;
    if (::fstatat(parent.get(), entry.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT
                   ? true
                   : fail(error, QStringLiteral("Could not delete \"%1\": %2").arg(path, reason(errno)));
    RemoveState state;
    if (S_ISDIR(info.st_mode))
        removeTreeAt(parent.get(), entry, path, state);
    else if (::unlinkat(parent.get(), entry.constData(), 0) != 0 && errno != ENOENT)
        state.note(path, errno);
    if (!state.firstError.isEmpty())
        return fail(error, state.firstError);
    return true;
}

bool isRealDirectory(const QString& path)
{
    struct stat info;
    return ::lstat(encoded(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

QString FileSystem::executableName()
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).fileName();
    if (name.isEmpty())
        name = QStringLiteral("application");
    // The name becomes a folder name.
    name.replace(u'/', u'_');
    return name;
}

QString FileSystem::executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString FileSystem::applicationSupportDirectory()
{
    QString path = applicationSupportOverride.get();
    if (path.isEmpty())
        path = qEnvironmentVariable("PF_APPLICATION_SUPPORT_DIR");
    if (path.isEmpty())
        path =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' + executableName();
    path = absolute(path);
    QString error;
    if (!createDirectory(path, &error))
        pf::error(error);
    return path;
}

void FileSystem::setApplicationSupportDirectoryForTesting(const QString& path)
{
    applicationSupportOverride.set(path);
}

bool FileSystem::writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    QString target = absolute(path);
    const QFileInfo info(target);
    if (info.isSymLink()) {
        const QString resolved = info.canonicalFilePath();
        target = resolved.isEmpty() ? absolute(info.symLinkTarget()) : resolved;
    }
    const auto failure = [&](const QString& what, int code) {
        lastWriteErrorCode = code;
        return fail(error, QStringLiteral("Could not write \"%1\": %2 (%3)").arg(target, what, reason(code)));
    };

    const QString directory = parentOf(target);
    const QString temporary = directory + QStringLiteral("/.") + shortened(nameOf(target)) + u'.' +
                              randomName(10) + QStringLiteral(".tmp");
    const QByteArray temporaryName = encoded(temporary);
    Descriptor fd(::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return failure(QStringLiteral("cannot create a temporary file beside it"), errno);
    const auto discard = [&](const QString& what, int code) {
        ::unlink(temporaryName.constData());
        return failure(what, code);
    };

    struct stat existing;
    if (::stat(encoded(target).constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd.get(), existing.st_mode & 07777);

    const char* bytes = data.constData();
    qsizetype remaining = data.size();
    while (remaining > 0) {
        const ssize_t written = ::write(fd.get(), bytes, size_t(remaining));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return discard(QStringLiteral("writing failed"), errno);
        }
        bytes += written;
        remaining -= written;
    }
    if (::fsync(fd.get()) != 0)
        return discard(QStringLiteral("syncing to disk failed"), errno);
    if (::close(fd.release()) != 0)
        return discard(QStringLiteral("closing failed"), errno);
    if (::rename(temporaryName.constData(), encoded(target).constData()) != 0)
        return discard(QStringLiteral("cannot move the new file into place"), errno);
    syncDirectory(directory);
    if (const auto hook = fileReplacedHook.load())
        hook(target);
    return true;
}

bool FileSystem::replaceDirectoryAtomically(const QString& target, const QString& newContents, QString* error)
{
    const QString to = absolute(target);
    const QString from = absolute(newContents);
    const auto failure = [&](const QString& what, int code) {
        return fail(
            error,
            QStringLiteral("Could not replace the folder \"%1\": %2 (%3)").arg(to, what, reason(code)));
    };
    if (!isRealDirectory(from))
        return failure(QStringLiteral("the new folder \"%1\" is missing or not a folder").arg(from), ENOTDIR);
    if (from == to)
        return failure(QStringLiteral("the new folder is the folder itself"), EINVAL);

    struct stat info;
    if (::lstat(encoded(to).constData(), &info) != 0) {
        if (errno != ENOENT)
            return failure(QStringLiteral("cannot inspect it"), errno);
        if (::rename(encoded(from).constData(), encoded(to).constData()) != 0)
            return failure(QStringLiteral("cannot move the new folder into place"), errno);
        syncDirectory(parentOf(to));
        syncDirectory(parentOf(from));
        return true;
    }
    if (S_ISLNK(info.st_mode))
        return failure(QStringLiteral("it is a symbolic link, not the folder itself"), ENOTDIR);
    if (!S_ISDIR(info.st_mode))
        return failure(QStringLiteral("it is not a folder"), ENOTDIR);

    bool exchanged = false;
    QString oldFolder;
    if (!directoryExchangeDisabled) {
        if (::renameat2(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(),
                        RENAME_EXCHANGE) == 0) {
            exchanged = true;
            oldFolder = from;
        } else if (errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            return failure(QStringLiteral("cannot exchange it with the new folder"), errno);
        }
    }
    if (!exchanged) {
        // No atomic exchange here: move the old folder aside, move the new one in, and put the old
        // one back if that fails. Only between the two renames is `target` briefly missing.
        oldFolder = parentOf(to) + u'/' + helperPrefix(nameOf(to), QStringLiteral("old")) +
                    randomName(helperSuffixLength);
        if (::rename(encoded(to).constData(), encoded(oldFolder).constData()) != 0)
            return failure(QStringLiteral("cannot move the old folder aside"), errno);
        if (const auto hook = replacementStepHook.load())
            hook();
        if (::rename(encoded(from).constData(), encoded(to).constData()) != 0) {
            const int code = errno;
            if (::rename(encoded(oldFolder).constData(), encoded(to).constData()) != 0)
                pf::error(QStringLiteral("Could not restore the folder \"%1\"; its contents are in \"%2\"")
                              .arg(to, oldFolder));
            return failure(QStringLiteral("cannot move the new folder into place"), code);
        }
    }
    syncDirectory(parentOf(to));
    syncDirectory(parentOf(from));

    QString removeError;
    const QString oldParent = QFileInfo(parentOf(oldFolder)).canonicalFilePath();
    if (!removeEntry(oldParent, nameOf(oldFolder), &removeError))
        pf::warning(QStringLiteral("Replaced the folder \"%1\" but could not delete the old one: %2")
                        .arg(to, removeError));
    return true;
}

void FileSystem::setDirectoryExchangeDisabledForTesting(bool disabled)
{
    directoryExchangeDisabled = disabled;
}

void FileSystem::setFileReplacedHookForTesting(void (*hook)(const QString& path))
{
    fileReplacedHook = hook;
}

void FileSystem::setReplacementStepHookForTesting(void (*hook)())
{
    replacementStepHook = hook;
}

QString FileSystem::helperPrefix(const QString& name, const QString& kind)
{
    // Names stay well inside the 255 bytes a file name may have.
    constexpr qsizetype longest = 200;
    QString stem = name;
    if (encoded(stem).size() > longest) {
        stem.clear();
        for (const QChar c : name) {
            if (encoded(stem + c).size() > longest - 50)
                break;
            stem += c;
        }
        if (!stem.isEmpty() && stem.back().isHighSurrogate())
            stem.chop(1);
        stem +=
            u'~' + QString::fromLatin1(
                       QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    }
    return u'.' + stem + u'.' + kind + u'-';
}

bool FileSystem::isHelperName(const QString& entry, const QString& name, const QString& kind)
{
    const QString prefix = helperPrefix(name, kind);
    if (entry.size() != prefix.size() + helperSuffixLength || !entry.startsWith(prefix))
        return false;
    for (qsizetype i = prefix.size(); i < entry.size(); ++i) {
        const QChar c = entry[i];
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

bool FileSystem::restoreInterruptedReplacement(const QString& target, QString* error)
{
    const QString to = absolute(target);
    struct stat info;
    if (::lstat(encoded(to).constData(), &info) == 0 || errno != ENOENT)
        return false;
    const QString parent = parentOf(to);
    const QString name = nameOf(to);
    // The newest old folder is the one moved aside last.
    QString newest;
    qint64 newestTime = -1;
    for (const QString& entry : QDir(parent).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!isHelperName(entry, name, QStringLiteral("old")))
            continue;
        struct stat candidate;
        if (::lstat(encoded(parent + u'/' + entry).constData(), &candidate) != 0 ||
            !S_ISDIR(candidate.st_mode))
            continue;
        const qint64 time = qint64(candidate.st_ctim.tv_sec) * 1000000000 + candidate.st_ctim.tv_nsec;
        if (time > newestTime) {
            newestTime = time;
            newest = entry;
        }
    }
    if (newest.isEmpty())
        return false;
    if (::rename(encoded(parent + u'/' + newest).constData(), encoded(to).constData()) != 0)
        return fail(error, QStringLiteral("Could not restore the folder \"%1\" from \"%2\": %3")
                               .arg(to, newest, reason(errno)));
    syncDirectory(parent);
    pf::warning(QStringLiteral("\"%1\" was being replaced when the application stopped; its previous "
                               "contents were put back")
                    .arg(to));
    return true;
}

bool FileSystem::removeRecursively(const QString& path, const QString& root, QString* error)
{
    const auto refuse = [&](const QString& why) {
        return fail(error, QStringLiteral("Refused to delete \"%1\": %2").arg(path, why));
    };
    const QString rootPath = QFileInfo(root).canonicalFilePath();
    if (rootPath.isEmpty())
        return refuse(QStringLiteral("the folder \"%1\" that must contain it does not exist").arg(root));

    // Resolve the parents (following their symlinks), but not the entry itself: a link is deleted as
    // a link. "..", "." and "/" as the last step name a folder, which is resolved as a whole.
    QString plain = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path;
    while (plain.size() > 1 && plain.endsWith(u'/'))
        plain.chop(1);
    QString parent = plain.left(plain.lastIndexOf(u'/'));
    QString name = plain.mid(plain.lastIndexOf(u'/') + 1);
    if (name.isEmpty() || name == u"." || name == u"..") {
        const QString resolved = QFileInfo(plain).canonicalFilePath();
        if (resolved.isEmpty()) {
            return isStrictlyInside(absolute(plain), rootPath)
                       ? true
                       : refuse(QStringLiteral("it lies outside \"%1\"").arg(root));
        }
        parent = parentOf(resolved);
        name = nameOf(resolved);
    } else {
        const QString resolvedParent =
            QFileInfo(parent.isEmpty() ? QStringLiteral("/") : parent).canonicalFilePath();
        if (resolvedParent.isEmpty()) {
            // Nothing there to delete; still answer as for an existing path.
            return isStrictlyInside(absolute(plain), rootPath)
                       ? true
                       : refuse(QStringLiteral("it lies outside \"%1\"").arg(root));
        }
        parent = resolvedParent;
    }
    const QString resolved = (parent == u"/" ? QString() : parent) + u'/' + name;
    if (!isStrictlyInside(resolved, rootPath))
        return refuse(QStringLiteral("it lies outside \"%1\"").arg(root));
    if (!removeEntry(parent, name, error))
        return false;
    syncDirectory(parent);
    return true;
}

bool FileSystem::createDirectory(const QString& path, QString* error)
{
    std::error_code code;
    std::filesystem::create_directories(std::filesystem::path(encoded(path).toStdString()), code);
    if (code) {
        lastWriteErrorCode = code.value();
        return fail(error, QStringLiteral("Could not create the folder \"%1\": %2")
                               .arg(path, QString::fromStdString(code.message())));
    }
    if (!QFileInfo(path).isDir()) {
        lastWriteErrorCode = EEXIST;
        return fail(
            error,
            QStringLiteral("Could not create the folder \"%1\": something else has that name").arg(path));
    }
    return true;
}

int FileSystem::lastWriteError()
{
    return lastWriteErrorCode;
}

QDateTime FileSystem::modificationTime(const QString& path)
{
    struct stat status
    {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    const qint64 ms = qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace pf
