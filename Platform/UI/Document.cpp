#include "Platform/UI/Document.h"

#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/OperationQueue.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/Window.h"
#include "Platform/UI/WindowDelegate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace pf {

struct Document::SaveJob
{
    QString path;
    QString type;
    SaveOperation operation = SaveOperation::Save;
    QString originalPath;
    Completion completion;
    qint64 changeCountAtStart = 0;
    quint64 generationAtStart = 0;

    std::mutex mutex;
    std::condition_variable changed;
    bool unblocked = false;
    bool finished = false;
    bool succeeded = false;
    QString errorMessage;
};

// Asks the document before the window closes.
class Document::WindowCloser : public WindowDelegate
{
public:
    explicit WindowCloser(Document* document) : m_document(document) {}
    bool windowShouldClose(Window*) override { return m_document->windowShouldClose(); }

private:
    Document* m_document;
};

namespace {

// Writers of every document take turns per document (see startNextSave), so one process-wide pool
// serves them all; it is never destroyed, so a write still running at exit can finish.
OperationQueue& saveQueue()
{
    static auto* queue = new OperationQueue();
    return *queue;
}

thread_local std::shared_ptr<void> currentSaveJob;

bool isAutosave(Document::SaveOperation operation)
{
    return operation == Document::SaveOperation::Autosave ||
           operation == Document::SaveOperation::AutosaveElsewhere;
}

} // namespace

Document::Document() = default;

Document::~Document()
{
    if (m_window && m_window->delegate() == m_closer.get())
        m_window->setDelegate(nullptr);
}

void Document::setFileURL(const QString& path)
{
    m_fileURL = path;
    updateWindowTitle();
}

QString Document::displayName() const
{
    if (m_fileURL.isEmpty()) {
        if (!m_draftName.isEmpty())
            return QFileInfo(m_draftName).completeBaseName();
        const int number = untitledNumber();
        return number <= 1 ? QStringLiteral("Untitled") : QStringLiteral("Untitled %1").arg(number);
    }
    return QFileInfo(m_fileURL).completeBaseName();
}

int Document::untitledNumber() const
{
    // Two drafts never share a name: each keeps the lowest number no other open draft bore when it was
    // first named.
    if (m_untitledNumber == 0 && m_controller) {
        QList<int> taken;
        for (const std::shared_ptr<Document>& other : m_controller->documents())
            if (other.get() != this && other->m_fileURL.isEmpty() && other->m_draftName.isEmpty())
                taken.append(other->m_untitledNumber);
        int number = 1;
        while (taken.contains(number))
            ++number;
        m_untitledNumber = number;
    }
    return m_untitledNumber;
}

void Document::setDraftName(const QString& path)
{
    m_draftName = path;
    updateWindowTitle();
}

std::shared_ptr<UndoManager> Document::undoManager()
{
    if (!m_undoManager) {
        m_undoManager = std::make_shared<UndoManager>();
        observeUndoManager();
    }
    return m_undoManager;
}

void Document::observeUndoManager()
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    UndoManager* manager = m_undoManager.get();
    m_undoObservers.push_back(center.addObserver(UndoManager::DidCloseUndoGroupNotification, manager,
                                                 [this, manager](const Notification&) {
                                                     if (!manager->isUndoing() && !manager->isRedoing())
                                                         updateChangeCount(Change::Done);
                                                 }));
    m_undoObservers.push_back(
        center.addObserver(UndoManager::DidUndoChangeNotification, manager,
                           [this](const Notification&) { updateChangeCount(Change::Undone); }));
    m_undoObservers.push_back(
        center.addObserver(UndoManager::DidRedoChangeNotification, manager,
                           [this](const Notification&) { updateChangeCount(Change::Redone); }));
}

QDateTime Document::modificationDateOfFile(const QString& path) const
{
    return FileSystem::modificationTime(path);
}

bool Document::fileChangedOnDisk() const
{
    if (m_fileURL.isEmpty() || !m_fileModificationDate.isValid())
        return false;
    const QDateTime now = modificationDateOfFile(m_fileURL);
    return now.isValid() && now != m_fileModificationDate;
}

Document::Recovery Document::readRecoveryRecord(const QString&)
{
    return {};
}

QString Document::recoveryFailureMarkerPath(const QString& record)
{
    return record + QStringLiteral(".failed");
}

void Document::removeRecoveryRecord()
{
    if (m_recoveryRecordPath.isEmpty())
        return;
    QFile::remove(m_recoveryRecordPath);
    QFile::remove(recoveryFailureMarkerPath(m_recoveryRecordPath));
}

void Document::updateChangeCount(Change change)
{
    const bool wasEdited = isDocumentEdited();
    switch (change) {
    case Change::Done:
    case Change::Redone:
        ++m_changeCount;
        ++m_generation;
        break;
    case Change::Undone:
        --m_changeCount;
        ++m_generation;
        break;
    case Change::Cleared:
        m_changeCount = 0;
        m_autosavedGeneration = m_generation;
        break;
    }
    updateWindowTitle();
    // What a start after a crash marks edited follows the mark, not only opening, saving and closing.
    if (wasEdited != isDocumentEdited() && m_controller)
        m_controller->noteOpenDocumentsChanged();
}

void Document::updateWindowTitle()
{
    if (!m_window)
        return;
    m_window->setTitle(displayName() + QStringLiteral("[*]"));
    m_window->setWindowModified(isDocumentEdited());
}

bool Document::canAsynchronouslyWrite(const QString&, const QString&, SaveOperation) const
{
    return false;
}

void Document::unblockUserInteraction()
{
    auto job = std::static_pointer_cast<SaveJob>(currentSaveJob);
    if (!job)
        return;
    std::lock_guard lock(job->mutex);
    job->unblocked = true;
    job->changed.notify_all();
}

QStringList Document::writableTypesForSaveOperation(SaveOperation) const
{
    QStringList names;
    if (m_controller) {
        for (const auto& type : m_controller->types())
            if (type.canWrite)
                names.append(type.name);
    }
    if (names.contains(m_fileType)) {
        names.removeAll(m_fileType);
        names.prepend(m_fileType);
    }
    return names;
}

void Document::saveToURL(const QString& path, const QString& type, SaveOperation operation,
                         Completion completion)
{
    PF_ASSERT(isMainThread() || !QCoreApplication::instance(), "Documents are saved from the main thread");
    auto job = std::make_shared<SaveJob>();
    job->path = QFileInfo(path).absoluteFilePath();
    job->type = type;
    job->operation = operation;
    job->completion = std::move(completion);
    m_saveRequests.push_back(job);
    if (!m_activeSave)
        startNextSave();
}

void Document::startNextSave()
{
    if (m_activeSave)
        return;
    if (m_saveRequests.empty()) {
        std::vector<std::function<void()>> blocks;
        blocks.swap(m_whenIdle);
        for (auto& block : blocks)
            block();
        return;
    }
    std::shared_ptr<SaveJob> job = m_saveRequests.front();
    m_saveRequests.pop_front();
    m_activeSave = job;
    job->originalPath = m_fileURL;
    job->changeCountAtStart = m_changeCount;
    job->generationAtStart = m_generation;

    // An autosave never writes over a file someone else changed: the changes stay here (and in the
    // working area), and the next explicit save asks what to do.
    if (job->operation == SaveOperation::Autosave && autosaveWritesFile() && fileChangedOnDisk()) {
        job->errorMessage =
            QStringLiteral("“%1” was changed by another program since it was opened or last saved here, so "
                           "it was not written over. Your changes stay open here; when you save, you choose "
                           "whether they replace that version or go under another name.")
                .arg(QFileInfo(m_fileURL).fileName());
        job->finished = true;
        finishSave(job);
        return;
    }

    if (!canAsynchronouslyWrite(job->path, job->type, job->operation)) {
        QString error;
        job->succeeded = writeToURL(job->path, job->type, job->operation, job->originalPath, &error);
        job->errorMessage = error;
        job->finished = true;
        finishSave(job);
        return;
    }

    std::shared_ptr<Document> self = shared_from_this();
    saveQueue().addOperation([self, job]() mutable {
        currentSaveJob = job;
        QString error;
        bool succeeded = false;
        try {
            succeeded = self->writeToURL(job->path, job->type, job->operation, job->originalPath, &error);
        } catch (const std::exception& exception) {
            error = QString::fromLocal8Bit(exception.what());
        }
        currentSaveJob.reset();
        {
            std::lock_guard lock(job->mutex);
            job->succeeded = succeeded;
            job->errorMessage = error;
            job->finished = true;
            job->changed.notify_all();
        }
        // The document and the job (its completion's captures) are handed to the main thread whole: a
        // reference left here could be the last one once the main thread has finished the save, and
        // the document would then be destroyed on this thread.
        runOnMain([self = std::move(self), job = std::move(job)] { self->finishSave(job); });
    });
    // The writer takes its picture of the model while the interface waits here.
    std::unique_lock lock(job->mutex);
    job->changed.wait(lock, [&] { return job->unblocked || job->finished; });
}

void Document::finishSave(const std::shared_ptr<SaveJob>& job)
{
    m_activeSave.reset();
    if (job->succeeded) {
        switch (job->operation) {
        case SaveOperation::Save:
        case SaveOperation::SaveAs: {
            const QString previousAutosave = m_autosavedContentsFileURL;
            m_fileURL = job->path;
            m_fileType = job->type;
            m_fileModificationDate = modificationDateOfFile(job->path);
            m_changeCount -= job->changeCountAtStart;
            m_autosavedGeneration = job->generationAtStart;
            m_autosavedContentsFileURL.clear();
            // An untitled document's autosave has served its purpose once it has a file of its own.
            if (!previousAutosave.isEmpty() && previousAutosave != job->path) {
                QString error;
                if (!FileSystem::removeRecursively(previousAutosave, DocumentController::autosaveFolder(),
                                                   &error))
                    warning(error);
            }
            break;
        }
        case SaveOperation::SaveTo:
            break;
        case SaveOperation::Autosave:
            // Changes kept elsewhere are not in the user's file yet: the document stays edited.
            if (autosaveWritesFile()) {
                m_changeCount -= job->changeCountAtStart;
                m_fileModificationDate = modificationDateOfFile(job->path);
            }
            m_autosavedGeneration = job->generationAtStart;
            break;
        case SaveOperation::AutosaveElsewhere:
            m_autosavedContentsFileURL = job->path;
            m_autosavedGeneration = job->generationAtStart;
            break;
        }
        if (isAutosave(job->operation))
            m_autosaveFailureShown = false;
        if (job->operation != SaveOperation::SaveTo && m_controller && !job->path.isEmpty() &&
            !isAutosave(job->operation))
            m_controller->noteNewRecentDocumentURL(job->path);
        // Where the document now lives (or was autosaved) is what a start after a crash reopens.
        if (job->operation != SaveOperation::SaveTo && m_controller)
            m_controller->noteOpenDocumentsChanged();
    }
    updateWindowTitle();
    if (job->completion)
        job->completion(job->succeeded, job->errorMessage);
    startNextSave();
}

void Document::whenSavesFinish(std::function<void()> block)
{
    if (!isSaving()) {
        block();
        return;
    }
    m_whenIdle.push_back(std::move(block));
}

void Document::presentError(const QString& message, const QString& informativeText) const
{
    if (m_controller) {
        m_controller->presentError(message, informativeText, m_window);
        return;
    }
    error(message + u' ' + informativeText);
}

void Document::saveDocument(Completion completion)
{
    if (m_fileURL.isEmpty() || !canSaveInPlace()) {
        saveDocumentAs(std::move(completion));
        return;
    }
    if (const QString refusal = saveInPlaceRefusal(); !refusal.isEmpty()) {
        Alert alert;
        alert.messageText = QStringLiteral("“%1” cannot be saved over.").arg(QFileInfo(m_fileURL).fileName());
        alert.informativeText = refusal + QStringLiteral(" Save your changes under another name instead?");
        alert.style = Alert::Style::Warning;
        alert.addButton(QStringLiteral("Save As…"));
        alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
        if (alert.runModal() == Alert::firstButtonReturn)
            return saveDocumentAs(std::move(completion));
        if (completion)
            completion(false, QString()); // cancelled: nothing to tell
        return;
    }
    if (fileChangedOnDisk()) {
        saveInPlaceAfterAsking(std::move(completion));
        return;
    }
    std::weak_ptr<Document> weak = weak_from_this();
    saveToURL(m_fileURL, m_fileType, SaveOperation::Save,
              [weak, completion](bool succeeded, const QString& errorMessage) {
                  if (auto self = weak.lock(); self && !succeeded)
                      self->presentError(
                          QStringLiteral("The document “%1” could not be saved.").arg(self->displayName()),
                          errorMessage);
                  if (completion)
                      completion(succeeded, errorMessage);
              });
}

void Document::saveInPlaceAfterAsking(Completion completion)
{
    Alert alert;
    alert.messageText =
        QStringLiteral("“%1” was changed by another program.").arg(QFileInfo(m_fileURL).fileName());
    alert.informativeText = QStringLiteral(
        "Someone changed it on disk after you opened or last saved it here. Replace that version with "
        "yours, or save yours under another name and leave it as it is?");
    alert.style = Alert::Style::Warning;
    alert.addButton(QStringLiteral("Replace"));
    alert.addButton(QStringLiteral("Save As…"));
    alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
    const int answer = alert.runModal();
    if (answer == Alert::firstButtonReturn + 1)
        return saveDocumentAs(std::move(completion));
    if (answer != Alert::firstButtonReturn) {
        if (completion)
            completion(false, QString()); // cancelled: nothing to tell
        return;
    }
    // The user chose their version: it is what this document knows of the file from now on.
    m_fileModificationDate = modificationDateOfFile(m_fileURL);
    saveDocument(std::move(completion));
}

void Document::saveDocumentAs(Completion completion)
{
    runSavePanel(SaveOperation::SaveAs, std::move(completion));
}

void Document::saveDocumentTo(Completion completion)
{
    runSavePanel(SaveOperation::SaveTo, std::move(completion));
}

void Document::runSavePanel(SaveOperation operation, Completion completion)
{
    FilePanel panel(FilePanel::Kind::Save);
    panel.title = operation == SaveOperation::SaveTo ? QStringLiteral("Export") : QStringLiteral("Save As");
    const QStringList typeNames = writableTypesForSaveOperation(operation);
    for (const QString& name : typeNames) {
        const auto type = m_controller ? m_controller->typeNamed(name) : std::nullopt;
        panel.fileTypes.append({type ? type->displayName : name, type ? type->extensions : QStringList{}});
    }
    if (m_controller)
        panel.packageExtensions = m_controller->packageExtensions();
    const QString named = m_fileURL.isEmpty() ? m_draftName : m_fileURL;
    const QString current = named.isEmpty() ? QString() : QFileInfo(named).absolutePath();
    panel.directory = current.isEmpty() ? QDir::homePath() : current;
    panel.nameFieldStringValue = displayName();
    if (!panel.runModal() || typeNames.isEmpty()) {
        if (completion)
            completion(false, QString()); // cancelled: nothing to tell
        return;
    }
    int choice = std::clamp(panel.selectedFileType, 0, int(typeNames.size()) - 1);
    QString path = panel.path();
    // An extension the user typed wins over the type chosen in the panel, where it names another one
    // offered; one of a type that cannot be written is not replaced without asking.
    const QString typed = QFileInfo(path).suffix();
    if (!typed.isEmpty() && !panel.fileTypes.value(choice).extensions.contains(typed, Qt::CaseInsensitive)) {
        const auto offered = std::find_if(panel.fileTypes.begin(), panel.fileTypes.end(), [&](const auto& t) {
            return t.extensions.contains(typed, Qt::CaseInsensitive);
        });
        if (offered != panel.fileTypes.end()) {
            choice = int(offered - panel.fileTypes.begin());
        } else if (m_controller && !m_controller->typeForExtension(typed).isEmpty() &&
                   !panel.fileTypes.value(choice).extensions.isEmpty()) {
            const QString renamed =
                QFileInfo(path).fileName() + u'.' + panel.fileTypes.value(choice).extensions.first();
            Alert alert;
            alert.messageText = QStringLiteral("A file ending in “.%1” cannot be written.").arg(typed);
            alert.informativeText = QStringLiteral("Save it as “%1” (%2) instead?")
                                        .arg(renamed, panel.fileTypes.value(choice).name);
            alert.addButton(QStringLiteral("Save as “%1”").arg(renamed));
            alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
            if (alert.runModal() != Alert::firstButtonReturn) {
                if (completion)
                    completion(false, QString()); // cancelled: nothing to tell
                return;
            }
        }
    }
    const QString type = typeNames[choice];
    // A folder named in the path that does not exist is made only when the user says so.
    if (const QString folder = QFileInfo(path).absolutePath(); !QFileInfo(folder).isDir()) {
        Alert alert;
        alert.messageText =
            QStringLiteral("The folder “%1” does not exist.").arg(QFileInfo(folder).fileName());
        alert.informativeText =
            QStringLiteral("Make it (%1) and save there?").arg(QDir::toNativeSeparators(folder));
        alert.addButton(QStringLiteral("Make Folder and Save"));
        alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
        if (alert.runModal() != Alert::firstButtonReturn) {
            if (completion)
                completion(false, QString()); // cancelled: nothing to tell
            return;
        }
        QString error;
        if (!FileSystem::createDirectory(folder, &error)) {
            presentError(
                QStringLiteral("The folder “%1” could not be made.").arg(QFileInfo(folder).fileName()),
                error);
            if (completion)
                completion(false, error);
            return;
        }
    }
    const QStringList extensions = panel.fileTypes.value(choice).extensions;
    const QString suffix = QFileInfo(path).suffix();
    if (!extensions.isEmpty() && !extensions.contains(suffix, Qt::CaseInsensitive))
        path += u'.' + extensions.first();
    // The panel asked about replacing the name it was given; a name completed after it (an extension
    // added, the way out of a kind that cannot be written) is asked about here, whatever named it.
    if (path != panel.path() && QFileInfo::exists(path)) {
        Alert alert;
        alert.messageText =
            QStringLiteral("“%1” already exists. Do you want to replace it?").arg(QFileInfo(path).fileName());
        alert.informativeText = QStringLiteral("A file with that name is already in “%1”. Replacing it "
                                               "overwrites what it holds.")
                                    .arg(QFileInfo(QFileInfo(path).absolutePath()).fileName());
        alert.style = Alert::Style::Warning;
        alert.addButton(QStringLiteral("Replace"));
        alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
        if (alert.runModal() != Alert::firstButtonReturn) {
            if (completion)
                completion(false, QString()); // cancelled: nothing to tell
            return;
        }
    }
    std::weak_ptr<Document> weak = weak_from_this();
    saveToURL(path, type, operation, [weak, completion, path](bool succeeded, const QString& errorMessage) {
        if (auto self = weak.lock(); self && !succeeded)
            self->presentError(
                QStringLiteral("The document could not be saved as “%1”.").arg(QFileInfo(path).fileName()),
                errorMessage);
        if (completion)
            completion(succeeded, errorMessage);
    });
}

void Document::autosaveDocument(Completion completion, bool showFailure)
{
    if (!hasUnautosavedChanges() && !isSaving()) {
        if (completion)
            completion(true, QString());
        return;
    }
    std::weak_ptr<Document> weak = weak_from_this();
    auto report = [weak, completion, showFailure](bool succeeded, const QString& errorMessage) {
        auto self = weak.lock();
        // One alert per run of failures, not one every few minutes.
        if (self && showFailure && !succeeded && !self->m_autosaveFailureShown && !self->m_closing) {
            self->m_autosaveFailureShown = true;
            // A file someone else changed was left alone: its message says what saving will ask.
            const bool refused = self->autosaveWritesFile() && self->fileChangedOnDisk();
            self->presentError(
                QStringLiteral("The changes to “%1” could not be saved automatically.")
                    .arg(self->displayName()),
                refused
                    ? errorMessage
                    : errorMessage +
                          QStringLiteral("\n\nYour changes are still open; save them under another name."));
        }
        if (completion)
            completion(succeeded, errorMessage);
    };
    if (!m_fileURL.isEmpty() && autosavesInPlace()) {
        saveToURL(m_fileURL, autosavingFileType(), SaveOperation::Autosave, report);
        return;
    }
    QString path = m_autosavedContentsFileURL;
    if (path.isEmpty()) {
        const auto type = m_controller ? m_controller->typeNamed(autosavingFileType()) : std::nullopt;
        const QString extension = type && !type->extensions.isEmpty() ? type->extensions.first() : QString();
        const QString stem = DocumentController::autosaveFolder() + QStringLiteral("/Untitled ") +
                             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss.zzz"));
        const QString suffix = extension.isEmpty() ? QString() : u'.' + extension;
        // Two documents autosaved in the same millisecond must not share a place (the second would
        // replace the first): a name handed out once is never handed out again.
        static QStringList handedOut;
        path = stem + suffix;
        for (int n = 2; handedOut.contains(path) || QFileInfo::exists(path); ++n)
            path = stem + QStringLiteral(" %1").arg(n) + suffix;
        handedOut.append(path);
    }
    saveToURL(path, autosavingFileType(), SaveOperation::AutosaveElsewhere, report);
}

void Document::revertDocumentToSaved()
{
    if (m_fileURL.isEmpty())
        return;
    Alert alert;
    alert.messageText = QStringLiteral("Do you want to revert “%1” to its saved version?").arg(displayName());
    alert.informativeText = QStringLiteral("The changes since then are lost and cannot be undone.");
    alert.addButton(QStringLiteral("Revert"));
    alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
    if (alert.runModal() != Alert::firstButtonReturn)
        return;
    std::weak_ptr<Document> weak = weak_from_this();
    whenSavesFinish([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        QString error;
        if (!self->revertToContentsOfURL(self->m_fileURL, self->m_fileType, &error)) {
            self->presentError(
                QStringLiteral("The document “%1” could not be reverted.").arg(self->displayName()), error);
            return;
        }
        if (self->m_undoManager)
            self->m_undoManager->removeAllActions();
        self->m_fileModificationDate = self->modificationDateOfFile(self->m_fileURL);
        self->updateChangeCount(Change::Cleared);
    });
}

bool Document::revertToContentsOfURL(const QString& path, const QString& type, QString* errorMessage)
{
    return readFromURL(path, type, errorMessage);
}

void Document::showWindows()
{
    if (!m_window)
        makeWindowControllers();
    if (m_window)
        m_window->makeKeyAndOrderFront();
}

void Document::setWindow(Window* window)
{
    if (m_window && m_window->delegate() == m_closer.get())
        m_window->setDelegate(nullptr);
    m_window = window;
    if (m_window) {
        if (!m_closer)
            m_closer = std::make_unique<WindowCloser>(this);
        if (!m_window->delegate())
            m_window->setDelegate(m_closer.get());
    }
    updateWindowTitle();
}

bool Document::windowShouldClose()
{
    if (m_closing)
        return false;
    std::weak_ptr<Document> weak = weak_from_this();
    canCloseDocument([weak](bool mayClose) {
        if (auto self = weak.lock(); self && mayClose)
            self->close();
    });
    return false;
}

void Document::canCloseDocument(std::function<void(bool)> decision)
{
    m_closing = true;
    const quint64 number = ++m_closeNumber;
    std::weak_ptr<Document> weak = weak_from_this();
    // Whether this close still runs: opening the document again overtakes it (keepOpen).
    auto overtaken = [weak, number] {
        auto self = weak.lock();
        return self && self->m_closeNumber != number;
    };
    auto decide = [weak, decision, overtaken](bool mayClose) {
        if (overtaken())
            return decision(false);
        auto self = weak.lock();
        if (self)
            self->m_closing = false;
        decision(mayClose);
        if (self)
            self->closingEnded();
    };
    whenSavesFinish([weak, decide, overtaken] {
        auto self = weak.lock();
        if (!self)
            return decide(true);
        if (overtaken())
            return decide(false);
        const bool titled = !self->m_fileURL.isEmpty();
        // A file that does not hold the changes (an autosave keeps them elsewhere) asks whether they go
        // into it; kept elsewhere either way, they are never lost.
        if (titled && self->autosavesInPlace() && !self->autosaveWritesFile() && self->isDocumentEdited()) {
            const SaveIntoFiles answer = askToSaveIntoFiles({QFileInfo(self->m_fileURL).fileName()});
            if (answer == SaveIntoFiles::Cancel)
                return decide(false);
            if (answer == SaveIntoFiles::Save) {
                self->saveDocument([decide](bool succeeded, const QString&) { decide(succeeded); });
                return;
            }
        }
        if (!self->hasUnautosavedChanges() && (!self->isDocumentEdited() || titled))
            return decide(true);
        // A file someone else changed is not written over unasked, not even as the window closes.
        if (titled && self->autosavesInPlace() && self->autosaveWritesFile() && self->fileChangedOnDisk()) {
            self->saveInPlaceAfterAsking([decide](bool succeeded, const QString&) { decide(succeeded); });
            return;
        }
        if (titled && self->autosavesInPlace()) {
            // What remains is the autosave that keeps the changes: the window goes at once rather than
            // stand unchanged while it runs, and comes back only if it fails.
            QPointer<Window> shown = self->m_window;
            const bool hidden = shown && shown->isVisible();
            if (hidden)
                shown->orderOut();
            self->autosaveDocument(
                [weak, decide, overtaken, shown, hidden](bool succeeded, const QString& errorMessage) {
                    // Opened again meanwhile: the window is back already, and a failure is the
                    // autosave's own to tell.
                    if (overtaken())
                        return decide(false);
                    auto document = weak.lock();
                    if (!succeeded && hidden && shown)
                        shown->makeKeyAndOrderFront();
                    if (!succeeded && document)
                        document->presentError(
                            QStringLiteral("“%1” could not be saved, so its window stays open.")
                                .arg(document->displayName()),
                            errorMessage +
                                QStringLiteral("\n\nSave it under another name to keep your changes."));
                    decide(succeeded);
                });
            return;
        }
        Alert alert;
        alert.messageText = QStringLiteral("Do you want to keep the document “%1”?").arg(self->displayName());
        alert.informativeText =
            QStringLiteral("It has never been saved. If you delete it, its changes are lost.");
        alert.addButton(QStringLiteral("Save…"));
        alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
        alert.addButton(QStringLiteral("Delete"), Alert::Role::Destructive);
        const int answer = alert.runModal();
        if (answer == Alert::firstButtonReturn) {
            self->saveDocumentAs([decide](bool succeeded, const QString&) { decide(succeeded); });
        } else if (answer == Alert::firstButtonReturn + 2) {
            if (!self->m_autosavedContentsFileURL.isEmpty()) {
                QString error;
                if (!FileSystem::removeRecursively(self->m_autosavedContentsFileURL,
                                                   DocumentController::autosaveFolder(), &error))
                    warning(error);
                self->m_autosavedContentsFileURL.clear();
            }
            decide(true);
        } else {
            decide(false);
        }
    });
}

void Document::keepOpen()
{
    if (!m_closing)
        return;
    ++m_closeNumber;
    m_closing = false;
    closingEnded();
}

void Document::whenClosingEnds(std::function<void()> block)
{
    if (!m_closing) {
        block();
        return;
    }
    m_whenClosed.push_back(std::move(block));
}

void Document::closingEnded()
{
    std::vector<std::function<void()>> blocks;
    blocks.swap(m_whenClosed);
    for (auto& block : blocks)
        block();
}

Document::SaveIntoFiles Document::askToSaveIntoFiles(const QStringList& fileNames)
{
    QStringList quoted;
    for (const QString& name : fileNames)
        quoted.append(QStringLiteral("“%1”").arg(name));
    const bool one = quoted.size() == 1;
    Alert alert;
    alert.messageText =
        one ? QStringLiteral("Do you want to save the changes to %1 into the file?").arg(quoted.first())
            : QStringLiteral("Do you want to save the changes into these %1 files?").arg(quoted.size());
    alert.informativeText =
        (one ? QStringLiteral("Your changes are kept either way and come back when you open it again. Saving "
                              "writes them into the file itself.")
             : quoted.join(QStringLiteral(", ")) +
                   QStringLiteral(
                       ". Your changes are kept either way and come back when you open them again. "
                       "Saving writes them into the files themselves."));
    alert.addButton(QStringLiteral("Save"));
    alert.addButton(QStringLiteral("Cancel"), Alert::Role::Cancel);
    alert.addButton(QStringLiteral("Don't Save"), Alert::Role::Destructive);
    const int answer = alert.runModal();
    return answer == Alert::firstButtonReturn       ? SaveIntoFiles::Save
           : answer == Alert::firstButtonReturn + 1 ? SaveIntoFiles::Cancel
                                                    : SaveIntoFiles::DontSave;
}

void Document::close()
{
    std::shared_ptr<Document> keepAlive = shared_from_this();
    removeRecoveryRecord();
    if (m_window) {
        Window* window = m_window;
        if (window->delegate() == m_closer.get())
            window->setDelegate(nullptr);
        m_window = nullptr;
        window->close();
    }
    if (m_controller)
        m_controller->removeDocument(this);
}

} // namespace pf
