#include "Classes/Document/GMApplicationDelegate.h"

#include "Classes/Document/GMAboutBoxController.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMDocumentWindowController.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Document/GMFrameworkEffectsTools.h"
#include "Classes/Document/GMFrameworkEffectsWindow.h"
#include "Classes/Document/GMFrameworkEffectsWindows.h"
#include "Classes/Document/GMLinks.h"
#include "Classes/Document/GMPreferencesWindowController.h"
#include "Classes/Document/GMScenePreviewChooser.h"
#include "Classes/Document/GMWindowMenu.h"
#include "Classes/Document/OVRateUsController.h"
#include "Classes/Document/OVSystemInfo.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Frames/OVFrameBuilder.h"
#include "Classes/Help/OVHelpActions.h"
#include "Classes/Help/OVInformationCatalog.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScreen>
#include <QSysInfo>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int connectMilliseconds = 2000;
// How long a second start waits for the running instance to say it has its files.
constexpr int answerMilliseconds = 10000;
// What the running instance answers once it has read a second start's whole list.
constexpr char acknowledgement[] = "taken\n";
// A list of files longer than this is no second start's: it is dropped unread.
constexpr qsizetype handOverLimit = 16 * 1024 * 1024;

enum class HandOver
{
    NotReached, // no instance listens (yet)
    Taken,      // the instance said it has the files
    Lost,       // the connection closed before an answer: the instance ended
    NoAnswer,   // the instance was reached but did not answer in time
};

// An instance holds its lock file locked (flock) for as long as it runs. A lock file nobody holds was
// left by one that ended without removing it, whatever the file says: empty or cut short (the machine
// stopped as it was written), or naming another host or machine (renamed since, or a home folder
// brought over from another computer), which the lock's own check never takes for stale. Such a file is
// removed; one naming a live process of this machine keeps the lock's own judgement.
bool removeAbandonedLock(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    // No instance makes a link there (its lock is a plain file): a link was planted or copied in, and
    // taking it away touches only the link, never what it points to.
    struct stat placed = {};
    if (::lstat(name.constData(), &placed) == 0 && S_ISLNK(placed.st_mode)) {
        if (::unlink(name.constData()) != 0)
            return false;
        pf::warning(
            QStringLiteral("The lock %1 was a link, which no instance makes; it is taken away").arg(path));
        return true;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    // A file only just made may not be locked yet by the start that made it (nor hold its text).
    struct stat opened = {};
    if (::fstat(fd, &opened) != 0 || std::abs(::time(nullptr) - opened.st_mtime) < 5 ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    char bytes[1024];
    const ssize_t count = ::read(fd, bytes, sizeof bytes);
    const QList<QByteArray> lines = QByteArray(bytes, int(std::max<ssize_t>(count, 0))).split('\n');
    bool numbered = false;
    const qint64 pid = lines.value(0).toLongLong(&numbered);
    const auto sameOrUnsaid = [&](int line, const QByteArray& ours) {
        return lines.value(line).isEmpty() || lines.value(line) == ours;
    };
    const bool thisMachine = lines.value(2) == QSysInfo::machineHostName().toUtf8() &&
                             sameOrUnsaid(3, QSysInfo::machineUniqueId()) &&
                             sameOrUnsaid(4, QSysInfo::bootUniqueId());
    if (numbered && pid > 0 && thisMachine && (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
        return false;
    // Only the very file looked at: another start may have just put a new lock in its place.
    struct stat named = {};
    if (::lstat(name.constData(), &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino)
        return false;
    if (::unlink(name.constData()) != 0)
        return false;
    pf::warning(QStringLiteral("The lock %1 was left by an instance that no longer runs; it is taken over")
                    .arg(path));
    return true;
}

// A window opened from a menu comes up over the window it was asked from (centred on it, within the
// screen), not where the window system would put a new one. One already shown stays where it is.
void placeOverWindow(pf::Window* shown, const QWidget* front)
{
    if (!shown || shown->isVisible() || !front || !front->isVisible() || front == shown)
        return;
    QScreen* screen = front->screen() ? front->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QSize size = shown->frameGeometry().size();
    QRect frame(front->frameGeometry().center() - QPoint(size.width() / 2, size.height() / 2), size);
    if (available.isValid()) {
        frame.moveRight(std::min(frame.right(), available.right()));
        frame.moveBottom(std::min(frame.bottom(), available.bottom()));
        frame.moveLeft(std::max(frame.left(), available.left()));
        frame.moveTop(std::max(frame.top(), available.top()));
    }
    shown->move(frame.topLeft());
}

// On a window and on the menu bar made for it: the serial number of the delegate that equipped them.
constexpr char equippedMark[] = "glimoraActions";

quint64 nextDelegateSerial()
{
    static quint64 serial = 0;
    return ++serial;
}

QString workingArea()
{
    return pf::FileSystem::applicationSupportDirectory();
}

// Why the working area cannot take the instance lock: the error and the path it concerns, 0 when it
// can. Each failure has its own cause for the user to mend (a full or read-only disk, no permission, a
// file where a folder should be), so the folder is made step by step from the top, and the first step
// that fails names its error and path: a folder that is missing says why it could not be made.
struct WorkingAreaProblem
{
    int code = 0;
    QString path;
    bool missing = false; // `path` does not exist and could not be made
};

WorkingAreaProblem workingAreaProblem(const QString& area)
{
    QString path;
    for (const QString& part : QDir::cleanPath(area).split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        const QByteArray name = QFile::encodeName(path);
        struct stat status = {};
        if (::stat(name.constData(), &status) == 0) {
            if (!S_ISDIR(status.st_mode))
                return {ENOTDIR, path};
            continue;
        }
        if (errno != ENOENT)
            return {errno, path};
        if (::mkdir(name.constData(), 0777) != 0 && errno != EEXIST)
            return {errno, path, true};
    }
    // A folder named as the lock is never taken for a lock another instance holds.
    const QString lock = area + QStringLiteral("/instance.lock");
    struct stat status = {};
    if (::lstat(QFile::encodeName(lock).constData(), &status) == 0 && S_ISDIR(status.st_mode))
        return {EISDIR, lock};
    // A file with a few bytes, as the lock holds: a full disk still takes an empty file, but no bytes.
    QByteArray probe = QFile::encodeName(area + QStringLiteral("/.instance-probe-XXXXXX"));
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return {errno, area};
    int code = 0;
    const QByteArray bytes(512, '\n');
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    if (written != bytes.size())
        code = written < 0 ? errno : ENOSPC;
    else if (::fsync(fd) != 0)
        code = errno;
    ::close(fd);
    ::unlink(probe.constData());
    return {code, area};
}

} // namespace

const QStringList GMApplicationDelegate::viewItems{
    QStringLiteral("Zoom In"),     QStringLiteral("Zoom Out"),    QStringLiteral("-"),
    QStringLiteral("Zoom to Fit"), QStringLiteral("Actual Size"), QStringLiteral("-"),
    QStringLiteral("Layers in 3D")};

GMApplicationDelegate::GMApplicationDelegate()
    : m_documentHandler(std::make_unique<DocumentHandler>()), m_serial(nextDelegateSerial())
{
    buildActions();
    GMFrameworkEffectsTools::install();
    m_documentHandler->setNothingLeftHandler([this] { terminate(); });
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::focusWindowChanged, this, [this] { updateActions(); });
    // Undo and Redo follow every step of every document: their shortcuts work only while enabled.
    for (const char* name :
         {pf::UndoManager::DidCloseUndoGroupNotification, pf::UndoManager::DidUndoChangeNotification,
          pf::UndoManager::DidRedoChangeNotification})
        m_undoObservers.push_back(pf::NotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(name), nullptr, [this](const pf::Notification&) {
                if (pf::isMainThread())
                    updateActions();
            }));
    updateActions();
}

GMApplicationDelegate::~GMApplicationDelegate()
{
    // The windows outlive this delegate when another takes its place: they lose its actions (deleted
    // with it) and its menu bars, whose menus would otherwise stay empty and whose Window menu reads
    // this delegate's documents, and they lose its mark, so the next delegate equips them afresh.
    for (const QPointer<QWidget>& widget : std::as_const(m_equipped)) {
        if (!widget || widget->property(equippedMark).value<quint64>() != m_serial)
            continue;
        widget->setProperty(equippedMark, QVariant());
        auto* window = qobject_cast<pf::Window*>(widget.data());
        if (window && window->menuBar() &&
            window->menuBar()->property(equippedMark).value<quint64>() == m_serial)
            window->setMenuBar(nullptr);
    }
    m_undoObservers.clear();
    m_preferences.reset();
    m_aboutBox.reset();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

QString GMApplicationDelegate::instanceServerName()
{
    const QByteArray area =
        QCryptographicHash::hash(workingArea().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("%1-%2-%3")
        .arg(pf::FileSystem::executableName())
        .arg(getuid())
        .arg(QString::fromLatin1(area));
}

bool GMApplicationDelegate::claimSingleInstance(const QStringList& files)
{
    QStringList absolute;
    for (const QString& file : files)
        absolute.append(QFileInfo(file).absoluteFilePath());
    // The system accepts a connection for an instance that never reads it (stopped, or its event loop
    // not served): only the instance's own answer tells that the files reached it.
    const auto handOver = [&]() {
        QLocalSocket socket;
        socket.connectToServer(instanceServerName());
        if (!socket.waitForConnected(connectMilliseconds))
            return HandOver::NotReached;
        QByteArray message;
        for (const QString& file : std::as_const(absolute))
            message += file.toUtf8() + '\n';
        socket.write(message + '\n'); // the empty line ends the list
        QElapsedTimer waited;
        waited.start();
        QByteArray answer;
        while (!answer.contains('\n')) {
            const qint64 left = answerMilliseconds - waited.elapsed();
            if (left <= 0)
                return HandOver::NoAnswer;
            if (socket.bytesToWrite() > 0)
                socket.waitForBytesWritten(int(left));
            else
                socket.waitForReadyRead(int(left));
            answer += socket.readAll();
            if (socket.state() != QLocalSocket::ConnectedState && !answer.contains('\n'))
                return waited.elapsed() < answerMilliseconds ? HandOver::Lost : HandOver::NoAnswer;
        }
        socket.disconnectFromServer();
        return answer.startsWith(acknowledgement) ? HandOver::Taken : HandOver::NoAnswer;
    };
    // Once the files went to an instance that did not answer, they are never handed over again: it
    // may still open them when it wakes, and twice would be once too often.
    bool delivered = false;
    // The lock says who runs; the socket carries the files. A lock left by a process that died is taken over.
    m_lock = std::make_unique<QLockFile>(workingArea() + QStringLiteral("/instance.lock"));
    m_lock->setStaleLockTime(0);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (m_lock->tryLock(200)) {
            QLocalServer::removeServer(instanceServerName());
            m_server = new QLocalServer(this);
            m_server->setSocketOptions(QLocalServer::UserAccessOption);
            if (!m_server->listen(instanceServerName()))
                pf::warning(
                    QStringLiteral("A second start cannot reach this one: %1").arg(m_server->errorString()));
            connect(m_server, &QLocalServer::newConnection, this, [this] { receiveConnection(); });
            return true;
        }
        // Only a lock that is there and held means another instance. A lock that cannot be written (a
        // full disk) means none; so does one left by a process that died, which cannot be taken over
        // where nothing can be written.
        if (m_lock->error() == QLockFile::LockFailedError && !delivered) {
            const HandOver handed = handOver();
            if (handed == HandOver::Taken)
                return false;
            if (handed == HandOver::NoAnswer)
                break;
            // It closed without answering (it ended as it read them): once its lock is free, this start
            // runs in its place with the files; while the lock is held, nothing more is sent.
            delivered = handed == HandOver::Lost;
        }
        if (refuseUnwritableWorkingArea())
            return false;
        // Only where the working area takes files: on a full disk the space the old lock frees would
        // let the start run with none left.
        if (m_lock->error() == QLockFile::LockFailedError &&
            removeAbandonedLock(workingArea() + QStringLiteral("/instance.lock")))
            continue;
    }
    pf::Alert alert;
    alert.addButton(QStringLiteral("OK"));
    m_startRefused = true;
    if (m_lock->error() != QLockFile::LockFailedError) {
        // The working area takes files, yet no lock could be made there: whatever it is, it is no
        // other instance.
        const QString lock = QDir::toNativeSeparators(workingArea() + QStringLiteral("/instance.lock"));
        pf::error(QStringLiteral("The application cannot start: its lock %1 cannot be made").arg(lock));
        alert.messageText = QStringLiteral("The application cannot start: its lock file cannot be made.");
        alert.informativeText =
            QStringLiteral("“%1” could not be made or opened. Make sure it can be written (or remove it), "
                           "then start the application again.")
                .arg(lock);
        alert.runModal();
        return false;
    }
    // Another instance holds the lock but does not answer (or took the files and never said so): it is
    // still starting or hangs. Leaving the working area alone is safer than running beside it.
    pf::error(QStringLiteral("Another instance of the application is running but does not answer."));
    alert.messageText = QStringLiteral("The application is already running, but does not answer.");
    alert.informativeText =
        QStringLiteral("Another start of it uses its working folder (%1) and did not answer. Wait a moment "
                       "and try again; if it still does not answer, quit it and start it again.")
            .arg(QDir::toNativeSeparators(workingArea()));
    alert.runModal();
    return false;
}

bool GMApplicationDelegate::refuseUnwritableWorkingArea()
{
    const WorkingAreaProblem problem = workingAreaProblem(workingArea());
    if (problem.code == 0)
        return false;
    const QString folder = QDir::toNativeSeparators(workingArea());
    const QString where = QDir::toNativeSeparators(problem.path);
    const QString reason = QString::fromLocal8Bit(std::strerror(problem.code));
    pf::error(QStringLiteral("The application cannot start: its working folder %1 cannot be used (%2: %3)")
                  .arg(folder, where, reason));
    pf::Alert alert;
    switch (problem.code) {
    case ENOSPC:
    case EDQUOT:
        alert.messageText = QStringLiteral("The application cannot start: the disk is full.");
        alert.informativeText =
            QStringLiteral("Its working folder (%1) is on a disk with no space left, and it needs some there "
                           "to keep your work safe while you edit. Free some space on that disk, then start "
                           "the application again.")
                .arg(folder);
        break;
    case EROFS:
        alert.messageText =
            QStringLiteral("The application cannot start: its working folder is on a read-only disk.");
        alert.informativeText =
            QStringLiteral("Its working folder (%1) is on a disk that can only be read, and the application "
                           "needs to write there to keep your work safe while you edit. Make that disk "
                           "writable, or start the application with a home folder that can be written.")
                .arg(folder);
        break;
    case EACCES:
    case EPERM:
        alert.messageText =
            QStringLiteral("The application cannot start: you may not write in its working folder.");
        alert.informativeText =
            problem.missing
                ? QStringLiteral("Its working folder (%1) does not exist, and you have no permission to make "
                                 "“%2” in “%3”. Give your user account write permission there, then start "
                                 "the application again.")
                      .arg(folder, QFileInfo(problem.path).fileName(),
                           QDir::toNativeSeparators(QFileInfo(problem.path).path()))
                : QStringLiteral("You have no permission to write in its working folder (%1), which the "
                                 "application needs to keep your work safe while you edit. Give your user "
                                 "account write permission there, then start the application again.")
                      .arg(folder);
        break;
    case ENOTDIR:
    case EEXIST:
        alert.messageText =
            QStringLiteral("The application cannot start: a file is in the way of its working folder.");
        alert.informativeText =
            QStringLiteral(
                "“%1” is a file, but the application needs a folder there for its working folder (%2). "
                "Move or rename that file, then start the application again.")
                .arg(where, folder);
        break;
    case EISDIR:
        alert.messageText =
            QStringLiteral("The application cannot start: a folder is in the way of its lock file.");
        alert.informativeText =
            QStringLiteral("“%1” is a folder, where the application keeps the file that tells a second start "
                           "it is running. Move or rename that folder, then start the application again.")
                .arg(where);
        break;
    default:
        alert.messageText =
            QStringLiteral("The application cannot start: its working folder cannot be written.");
        alert.informativeText =
            QStringLiteral("“%1”: %2. Make sure the folder (and its disk) can be written, then start the "
                           "application again.")
                .arg(where, reason);
        break;
    }
    alert.style = pf::Alert::Style::Critical;
    alert.addButton(QStringLiteral("Quit"));
    alert.runModal();
    m_startRefused = true;
    return true;
}

void GMApplicationDelegate::receiveConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto finished = std::make_shared<bool>(false);
        // One path a line, the list ended by an empty line; only a whole list is answered and opened.
        const auto read = [this, socket, buffer, finished] {
            if (*finished)
                return;
            buffer->append(socket->readAll());
            const qsizetype end = buffer->startsWith('\n') ? 0 : buffer->indexOf("\n\n");
            if (end < 0) {
                if (buffer->size() > handOverLimit) {
                    *finished = true;
                    pf::warning(QStringLiteral("A second start's list of files was too long; it is dropped"));
                    socket->abort();
                }
                return;
            }
            *finished = true;
            QStringList files;
            for (const QString& line : QString::fromUtf8(buffer->left(end)).split(u'\n'))
                if (!line.isEmpty())
                    files.append(line);
            // Answered before anything opens: opening may ask questions, and the second start waits.
            // One that gave up waiting is gone; what it asked for still opens.
            if (socket->state() == QLocalSocket::ConnectedState) {
                socket->write(acknowledgement);
                socket->disconnectFromServer();
            }
            takeHandedOverFiles(files);
        };
        connect(socket, &QLocalSocket::readyRead, socket, read);
        connect(socket, &QLocalSocket::disconnected, socket, [socket, read, finished] {
            read();
            if (!*finished)
                pf::warning(QStringLiteral("A second start left before its list of files was whole"));
            socket->deleteLater();
        });
        // What the second start wrote may be there already: no further signal would tell of it.
        read();
    }
}

void GMApplicationDelegate::takeHandedOverFiles(const QStringList& files)
{
    // While launching (the last session's documents reopening, their questions up) the files wait: a
    // file handed over now would open beside the same file still being brought back.
    if (m_launching)
        m_handedOver.append(files);
    else
        openFiles(files);
}

void GMApplicationDelegate::resetCacheFolder()
{
    const QString area = GMFileUtilities::applicationSupportDirectory();
    if (area.isEmpty())
        return;
    const QString cache = area + QStringLiteral("/cache");
    QString error;
    if (!pf::FileSystem::removeRecursively(cache, area, &error))
        pf::warning(error);
    GMFileUtilities::createDirectoryAtURL(QUrl::fromLocalFile(cache), &error);
}

void GMApplicationDelegate::applicationDidFinishLaunching(const QStringList& files)
{
    m_launching = true;
    // After a crash the stroke history holds what the documents' records name: kept for recovery.
    if (m_documentHandler->previousSessionDidNotQuit())
        GMDocument::rescueCacheForRecovery();
    resetCacheFolder();
    watchFirstKeyWindowForRating();
    m_documentHandler->awakeFromNib();
    m_documentHandler->reopenDocumentsOfLastSession();
    int opened = 0;
    for (const QString& file : files) {
        if (m_quit)
            break;
        QString error;
        if (m_documentHandler->openDocumentWithContentsOfURL(file, true, &error))
            ++opened;
        else
            m_documentHandler->presentError(
                QStringLiteral("“%1” could not be opened.").arg(QFileInfo(file).fileName()), error);
    }
    if (opened == 0 && !m_quit && m_documentHandler->shouldDisplayWelcomeScreen())
        m_documentHandler->displayWelcomeScreen();
    m_launching = false;
    if (m_quit) {
        // Else the process would stay on without a window, its quit's last work never done.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        return;
    }
    while (!m_handedOver.isEmpty())
        openFiles(m_handedOver.takeFirst());
}

void GMApplicationDelegate::openFiles(const QStringList& files)
{
    if (files.isEmpty()) {
        m_documentHandler->displayWelcomeScreen();
        return;
    }
    for (const QString& file : files)
        m_documentHandler->droppedUrl(file);
}

void GMApplicationDelegate::applicationWillTerminate()
{
    OVRateUsController::resetShared();
    // Every document has closed, what the user keeps written (its saves and autosaves waited for the
    // snapshots they keep), and the snapshots' folder goes next: the snapshot writes still queued have
    // nobody to keep them for (undo steps, records of closed documents) and are skipped; a save still
    // running that needs one writes it from memory. Only a write already begun is waited for, and
    // what is left on disk goes with the folder.
    OVBrushPathImage::abandonPendingWrites();
    GMDocumentPackage::documentQueue().waitUntilEmpty();
    GMDocument::waitForRecoveryRecords();
    const QString area = GMFileUtilities::applicationSupportDirectory();
    QString error;
    if (!area.isEmpty() && !pf::FileSystem::removeRecursively(area + QStringLiteral("/cache"), area, &error))
        pf::warning(error);
}

void GMApplicationDelegate::terminate()
{
    if (m_terminating)
        return;
    m_terminating = true;
    m_documentHandler->reviewUnsavedDocumentsAndQuit([this](bool quit) {
        if (!quit) {
            m_terminating = false;
            return;
        }
        // Every document's changes are written and the open ones remembered: the windows close
        // without asking again. Asking them (as a plain quit of the main loop would) lets the first
        // document window refuse while its own close runs, and the application stays.
        m_documentHandler->prepareToQuit();
        const auto documents = m_documentHandler->documents();
        for (const auto& document : documents)
            document->close();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* pfWindow = qobject_cast<pf::Window*>(window); pfWindow && pfWindow->isVisible())
                pfWindow->close();
        m_quit = true;
        // Asked from a question of the launch (over the recovered work's alert), this ends only the
        // question's loop: the main loop, not started yet, is left once launching is over.
        QCoreApplication::exit(0);
    });
}

QUrl GMApplicationDelegate::feedbackMailURL(const QString& recipient, const OVGraphicsInfo& graphics)
{
    return GMLinks::mailtoURL(
        recipient, QStringLiteral("Glimora Feedback"),
        OVSystemInfo::feedbackBody(QStringLiteral("System: ") + OVSystemInfo::productReport(graphics)));
}

bool GMApplicationDelegate::sendFeedback()
{
    const QString recipient = GMLinks::address(QStringLiteral("FeedbackMail"));
    if (recipient.isEmpty())
        return false;
    return GMLinks::openURL(feedbackMailURL(recipient, OVGraphicsInfo::current()));
}

QWidget* GMApplicationDelegate::frontWindow()
{
    // The key window of the application's own windows (an overlay stands for its owner); a window of
    // another kind (a dialog, the tutorial) when that is the active one.
    QWidget* active = QApplication::activeWindow();
    if (active && !qobject_cast<pf::Window*>(active))
        return active;
    pf::Window* key = pf::Window::keyWindow();
    while (key && key->parentWindow())
        key = key->parentWindow();
    return key && key->isVisible() ? key : active;
}

pf::Document* GMApplicationDelegate::currentDocument() const
{
    QWidget* active = frontWindow();
    for (const auto& document : m_documentHandler->documents()) {
        if (document->window() && document->window() == active)
            return document.get();
    }
    return nullptr;
}

void GMApplicationDelegate::updateActions()
{
    pf::Document* document = currentDocument();
    const auto enable = [this](const char* name, bool enabled) {
        if (QAction* a = action(QString::fromUtf8(name)))
            a->setEnabled(enabled);
    };
    for (const char* name : {"Save", "Save As…", "Export…", "Print…"})
        enable(name, document != nullptr);
    // A scene needs the editor's picture and its canvas to open the catalog over.
    enable("Scene Preview…", dynamic_cast<GMDocument*>(document) != nullptr);
    enable("Revert to Saved", document && !document->fileURL().isEmpty() && document->isDocumentEdited());
    enable("Clear Recent", !m_documentHandler->recentDocumentURLs().isEmpty());
    pf::UndoManager* undo = frontUndoManager();
    QAction* undoAction = action(QStringLiteral("Undo"));
    QAction* redoAction = action(QStringLiteral("Redo"));
    undoAction->setEnabled(undo && undo->canUndo());
    redoAction->setEnabled(undo && undo->canRedo());
    undoAction->setText(
        pf::localized(undo && undo->canUndo() ? undo->undoMenuItemTitle() : QStringLiteral("Undo"),
                      QStringLiteral("Menu")));
    redoAction->setText(
        pf::localized(undo && undo->canRedo() ? undo->redoMenuItemTitle() : QStringLiteral("Redo"),
                      QStringLiteral("Menu")));
}

void GMApplicationDelegate::watchFirstKeyWindowForRating()
{
    // The rating prompt's launch count: once, when the first window has the keyboard, and only while
    // there is a page to rate on.
    if (!GMLinks::hasAddress(QStringLiteral("ProductPage")))
        return;
    m_firstKeyObserver = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::didBecomeKeyNotification, nullptr, [this](const pf::Notification&) {
            if (m_rateChecked)
                return;
            m_rateChecked = true;
            pf::Timer::afterThisEvent([] {
                OVRateUsController::verifyRateUs(QUrl(GMLinks::address(QStringLiteral("ProductPage"))));
            });
            pf::Timer::afterThisEvent([this] { m_firstKeyObserver.reset(); }, this);
        });
}

GMAboutBoxController* GMApplicationDelegate::aboutBoxController()
{
    if (!m_aboutBox)
        m_aboutBox = std::make_unique<GMAboutBoxController>();
    return m_aboutBox.get();
}

void GMApplicationDelegate::showPreferences()
{
    if (!m_preferences)
        m_preferences = std::make_unique<GMPreferencesWindowController>(m_documentHandler.get());
    m_preferences->refresh();
    m_preferences->showWindow();
}

pf::Image GMApplicationDelegate::frontDocumentPicture() const
{
    auto* document = dynamic_cast<GMDocument*>(currentDocument());
    const auto controller = document ? document->windowController() : nullptr;
    const GMRenderForSaving render = controller ? controller->previewForSaving() : GMRenderForSaving();
    if (!render)
        return {};
    const std::optional<pf::Bitmap> bitmap = render();
    return bitmap ? pf::Image::fromBitmap(*bitmap) : pf::Image();
}

void GMApplicationDelegate::showFrameBuilder()
{
    // Over an editor window the preview frames that document's picture; elsewhere the sample picture.
    const pf::Image picture = frontDocumentPicture();
    OVFrameBuilder& builder = OVFrameBuilder::sharedFrameBuilder();
    builder.setPreviewPicture(picture);
    placeOverWindow(builder.window(), frontWindow());
    builder.show();
}

void GMApplicationDelegate::showScenePreview()
{
    auto* document = dynamic_cast<GMDocument*>(currentDocument());
    const std::shared_ptr<GMDocumentWindowController> controller =
        document ? document->windowController() : nullptr;
    if (!controller)
        return;
    // The drawer opens over the editor's canvas; a window without one lends its whole content.
    pf::View* canvas = nullptr;
    if (auto* editor = dynamic_cast<GMEditorWindowController*>(controller.get()))
        canvas = editor->editor().zoomView();
    else if (pf::Window* window = controller->window())
        canvas = window->contentView();
    GMScenePreviewChooser::shared().chooseBackground(canvas, frontDocumentPicture());
}

pf::UndoManager* GMApplicationDelegate::frontUndoManager() const
{
    if (pf::UndoManager* effects = GMFrameworkEffectsWindow::undoManagerFor(frontWindow()))
        return effects;
    if (pf::UndoManager* builder = OVFrameBuilder::undoManagerFor(frontWindow()))
        return builder;
    pf::Document* document = currentDocument();
    return document ? document->undoManager().get() : nullptr;
}

void GMApplicationDelegate::showFrameworkEffects()
{
    std::shared_ptr<pf::Document> photo;
    if (auto* document = dynamic_cast<GMDocument*>(currentDocument()))
        for (const auto& open : m_documentHandler->documents())
            if (open.get() == document)
                photo = open;
    if (!m_frameworkEffects)
        m_frameworkEffects = std::make_unique<GMFrameworkEffectsWindows>();
    m_frameworkEffects->show(frontWindow(), photo);
}

void GMApplicationDelegate::buildActions()
{
    const auto add = [this](const QString& text, const QKeySequence& shortcut, std::function<void()> run) {
        auto* action = new QAction(pf::localized(text, QStringLiteral("Menu")), this);
        action->setObjectName(text);
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [run] { run(); });
        m_actions.append(action);
        return action;
    };
    DocumentHandler* documents = m_documentHandler.get();
    add(QStringLiteral("New"), QKeySequence::New, [documents] { documents->newDocument(); });
    add(QStringLiteral("Open…"), QKeySequence::Open, [documents] { documents->openDocument(); });
    add(QStringLiteral("Close"), QKeySequence::Close, [this] {
        // The key window may be an overlay panel, which can hand the close on to its owner; a window
        // of another kind that is active has the keyboard instead.
        QWidget* active = QApplication::activeWindow();
        if (pf::Window* key = pf::Window::keyWindow();
            key && key->isVisible() && (!active || key->window() == active)) {
            if (key->validateMenuItem(action(QStringLiteral("Close"))))
                key->performClose();
        } else if (QWidget* window = active) {
            if (auto* pfWindow = qobject_cast<pf::Window*>(window))
                pfWindow->performClose();
            else
                window->close();
        }
    });
    pf::Window::markAsCloseCommand(action(QStringLiteral("Close")));
    add(QStringLiteral("Save"), QKeySequence::Save, [this] {
        if (pf::Document* document = currentDocument())
            document->saveDocument();
    });
    add(QStringLiteral("Save As…"), QKeySequence(QStringLiteral("Ctrl+Shift+S")), [this] {
        if (pf::Document* document = currentDocument())
            document->saveDocumentAs();
    });
    add(QStringLiteral("Export…"), QKeySequence(QStringLiteral("Ctrl+E")), [this] {
        if (pf::Document* document = currentDocument())
            document->saveDocumentTo();
    });
    add(QStringLiteral("Revert to Saved"), QKeySequence(), [this] {
        if (pf::Document* document = currentDocument())
            document->revertDocumentToSaved();
    });
    add(QStringLiteral("Print…"), QKeySequence::Print, [this] {
        if (pf::Document* document = currentDocument())
            document->printDocument();
    });
    add(QStringLiteral("Clear Recent"), QKeySequence(), [documents] { documents->clearRecentDocuments(); });
    add(QStringLiteral("Quit"), QKeySequence::Quit, [this] { terminate(); });
    add(QStringLiteral("Undo"), QKeySequence::Undo, [this] {
        if (pf::UndoManager* undo = frontUndoManager(); undo && undo->canUndo())
            undo->undo();
    });
    add(QStringLiteral("Redo"), QKeySequence(QStringLiteral("Ctrl+Shift+Z")), [this] {
        if (pf::UndoManager* undo = frontUndoManager(); undo && undo->canRedo())
            undo->redo();
    });
    add(QStringLiteral("Preferences…"), QKeySequence(QStringLiteral("Ctrl+,")),
        [this] { showPreferences(); });
    add(QStringLiteral("Frame Builder…"), QKeySequence(), [this] { showFrameBuilder(); });
    add(QStringLiteral("Scene Preview…"), QKeySequence(), [this] { showScenePreview(); });
    add(QStringLiteral("Framework Effects…"), QKeySequence(), [this] { showFrameworkEffects(); });
    add(QStringLiteral("Welcome Window"), QKeySequence(QStringLiteral("Ctrl+Shift+N")),
        [documents] { documents->displayWelcomeScreen(); });
    add(QStringLiteral("Quick Tutorial"), QKeySequence::HelpContents, [documents] { documents->showHelp(); });
    add(QStringLiteral("Send Feedback…"), QKeySequence(), [this] { sendFeedback(); });
    QAction* tips = add(QStringLiteral("Tips & Tricks"), QKeySequence(), [] {
        placeOverWindow(OVInformationCatalog::sharedInformationCatalog()->window(), frontWindow());
        OVInformationCatalog::showSharedInformationCatalog();
    });
    // A lone ampersand in a menu item marks a shortcut letter; this one is a word.
    tips->setText(tips->text().replace(QLatin1Char('&'), QStringLiteral("&&")));
    add(QStringLiteral("Reset Tips"), QKeySequence(), [] {
        OVInformationPanel::resetAllDontShows();
        // Nothing on screen changes: say what was done.
        pf::Alert alert;
        alert.style = pf::Alert::Style::Informational;
        alert.messageText = pf::localized(QStringLiteral("The tips will show again"));
        alert.informativeText = pf::localized(QStringLiteral(
            "Every tip you asked not to see, and every tip already shown, shows again the next "
            "time it applies."));
        alert.runModal();
    });
    // What a help topic's button may ask for, by name.
    OVHelpActions::registerAction(QStringLiteral("showWelcomeWindow"),
                                  [documents] { documents->displayWelcomeScreen(); });
    OVHelpActions::registerAction(QStringLiteral("showQuickTutorial"),
                                  [documents] { documents->showHelp(); });
    OVHelpActions::registerAction(QStringLiteral("openSample"), [documents] {
        const QString sample = pf::Bundle::main().pathForResource(
            QStringLiteral("TestPerson"), QStringLiteral("jpg"), QStringLiteral("Samples"));
        if (!sample.isEmpty())
            documents->showSample(sample);
    });
    add(QStringLiteral("About Glimora"), QKeySequence(), [this] { aboutBoxController()->showAboutBox(); });
    for (const auto& [key, text] :
         {std::pair{"HomePage", "Home Page"}, std::pair{"NewsPage", "News"},
          std::pair{"CommunityPage", "Community"}, std::pair{"ProductPage", "Rate Glimora"}}) {
        QAction* link = add(QString::fromLatin1(text), QKeySequence(), [key] {
            // Whoever went to the product's page to rate it is not asked to again.
            if (GMLinks::open(QString::fromLatin1(key)) && QLatin1String(key) == QLatin1String("ProductPage"))
                OVRateUsController::userDidRate();
        });
        // No address, no action.
        link->setVisible(GMLinks::hasAddress(QString::fromLatin1(key)));
    }
    action(QStringLiteral("Send Feedback…"))->setVisible(GMLinks::hasAddress(QStringLiteral("FeedbackMail")));
}

QAction* GMApplicationDelegate::action(const QString& text) const
{
    for (QAction* action : m_actions)
        if (action->objectName() == text)
            return action;
    return nullptr;
}

QMenuBar* GMApplicationDelegate::makeMenuBar(QWidget* window)
{
    auto* bar = new QMenuBar(window);
    bar->setNativeMenuBar(false);
    bar->setObjectName(QStringLiteral("menuBar"));
    // Dark as the windows it tops; its menus keep the system's look.
    bar->setStyleSheet(
        QStringLiteral("QMenuBar#menuBar { background: #26282c; color: #d9dadd; }"
                       "QMenuBar#menuBar::item:selected { background: #34506b; color: #ffffff; }"
                       "QMenuBar#menuBar::item:disabled { color: #6b6e74; }"));
    const auto windowAction = [window](const QString& name) -> QAction* {
        if (!window)
            return nullptr;
        for (QAction* a : window->actions())
            if (a->objectName() == name)
                return a;
        return nullptr;
    };
    const auto menu = [&](const QString& title, const QStringList& items, bool ofWindow = false) {
        QMenu* m = bar->addMenu(pf::localized(title, QStringLiteral("Menu")));
        m->setObjectName(title);
        connect(m, &QMenu::aboutToShow, this, [this] { updateActions(); });
        for (const QString& item : items) {
            if (item == QLatin1String("-")) {
                m->addSeparator();
            } else if (QAction* a = ofWindow ? windowAction(item) : action(item)) {
                m->addAction(a);
            } else if (ofWindow) {
                // The window has no such view: the item is there, and says it does not apply.
                QAction* absent = m->addAction(pf::localized(item, QStringLiteral("Menu")));
                absent->setObjectName(item);
                absent->setEnabled(false);
            }
        }
    };
    menu(QStringLiteral("File"), {"New", "Open…", "Clear Recent", "-", "Close", "Save", "Save As…", "Export…",
                                  "Revert to Saved", "-", "Print…", "-", "Quit"});
    menu(QStringLiteral("Edit"), {"Undo", "Redo", "-", "Preferences…"});
    menu(QStringLiteral("View"), viewItems, true);
    menu(QStringLiteral("Extras"), {"Frame Builder…", "Framework Effects…", "Scene Preview…"});
    menu(QStringLiteral("Window"), {"Welcome Window"});
    GMWindowMenu::attach(bar->findChild<QMenu*>(QStringLiteral("Window")), m_documentHandler.get());
    menu(QStringLiteral("Help"), {"Quick Tutorial", "Tips & Tricks", "Reset Tips", "Send Feedback…", "-",
                                  "Home Page", "News", "Community", "Rate Glimora", "-", "About Glimora"});
    return bar;
}

bool GMApplicationDelegate::eventFilter(QObject* object, QEvent* event)
{
    // Every top-level window answers the shortcuts; the application's titled windows carry the menu
    // bar that shows them.
    if (event->type() == QEvent::Show && object->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(object);
        // A menu shows the actions it holds: the popups (menus, tooltips) get none of them.
        const Qt::WindowType kind = widget->windowType();
        const bool popup = kind == Qt::Popup || kind == Qt::ToolTip || qobject_cast<QMenu*>(widget);
        // The mark names the delegate that equipped the window: one that replaced an earlier delegate
        // equips it again with actions that are alive.
        if (widget->isWindow() && !popup && widget->property(equippedMark).value<quint64>() != m_serial) {
            widget->setProperty(equippedMark, m_serial);
            widget->addActions(m_actions);
            m_equipped.removeIf([](const QPointer<QWidget>& gone) { return gone.isNull(); });
            m_equipped.append(widget);
            auto* window = qobject_cast<pf::Window*>(widget);
            // A dialog (titled, neither resizable nor minimisable: Preferences, an about window) carries
            // no menu bar of its own; its shortcuts still work.
            const unsigned style = window ? window->styleMask() : 0;
            const bool dialog = !(style & (pf::Window::Resizable | pf::Window::Miniaturizable));
            if (window && !window->isOverlay() && (style & pf::Window::Titled) && !dialog &&
                (!window->menuBar() || window->menuBar()->property(equippedMark).isValid())) {
                QMenuBar* bar = makeMenuBar(window);
                bar->setProperty(equippedMark, m_serial);
                window->setMenuBar(bar);
            }
        }
        if (widget->isWindow())
            updateActions();
    }
    return QObject::eventFilter(object, event);
}
