#include "Platform/UI/DocumentController.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>
#include <QPointer>
#include <memory>

namespace pf {

namespace {

const QString recentDocumentsKey = QStringLiteral("RecentDocuments");
const QString openDocumentsKey = QStringLiteral("OpenDocuments");
// True from launch until the quit: still true at the next launch when the application was killed.
const QString sessionRunningKey = QStringLiteral("SessionRunning");
// An entry of the open documents whose file could not be found at a start: its record waits for it.
const QString waitingKey = QStringLiteral("waiting");

DocumentController*& sharedController()
{
    static DocumentController* controller = nullptr;
    return controller;
}

QString canonical(const QString& path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QFileInfo(path).absoluteFilePath() : resolved;
}

// A folder of the application's working area, created when missing; a failure to create it is
// logged, and saving into it reports its own error later.
QString workingFolder(const QString& name)
{
    const QString folder = FileSystem::applicationSupportDirectory() + u'/' + name;
    QString error;
    if (!FileSystem::createDirectory(folder, &error))
        warning(error);
    return folder;
}

} // namespace

DocumentController::DocumentController()
{
    sharedController() = this;
}

DocumentController::~DocumentController()
{
    if (m_autosaveTimer)
        m_autosaveTimer->invalidate();
    for (const auto& document : m_documents)
        document->setDocumentController(nullptr);
    if (sharedController() == this)
        sharedController() = nullptr;
}

DocumentController* DocumentController::shared()
{
    return sharedController();
}

void DocumentController::registerType(const DocumentType& type)
{
    m_types.push_back(type);
}

std::optional<DocumentController::DocumentType> DocumentController::typeNamed(const QString& name) const
{
    for (const auto& type : m_types)
        if (type.name == name)
            return type;
    return std::nullopt;
}

QString DocumentController::typeForExtension(const QString& extension) const
{
    for (const auto& type : m_types)
        if (type.extensions.contains(extension, Qt::CaseInsensitive))
            return type.name;
    return {};
}

QStringList DocumentController::packageExtensions() const
{
    QStringList extensions;
    for (const auto& type : m_types)
        if (type.isPackage)
            extensions += type.extensions;
    return extensions;
}

QString DocumentController::defaultType() const
{
    for (const auto& type : m_types)
        if (type.canWrite)
            return type.name;
    return m_types.empty() ? QString() : m_types.front().name;
}

QString DocumentController::typeForContentsOfURL(const QString& path, QString* errorMessage) const
{
    QFileInfo info(path);
    // A package whose save was killed between moving it aside and moving the new one in is put back.
    if (!info.exists() && FileSystem::restoreInterruptedReplacement(info.absoluteFilePath()))
        info.refresh();
    if (!info.exists()) {
        // A name whose bytes are no text (not UTF-8) arrives with replacement characters.
        if (errorMessage && path.contains(QChar::ReplacementCharacter))
            *errorMessage =
                QStringLiteral("“%1” cannot be opened: its name is not valid text (UTF-8), which this "
                               "application cannot handle. Rename the file and open it again.")
                    .arg(info.fileName());
        else if (errorMessage)
            *errorMessage = QStringLiteral("The file “%1” does not exist.").arg(info.fileName());
        return {};
    }
    const QString suffix = info.suffix().toLower();
    for (const auto& type : m_types) {
        if (type.isPackage && type.extensions.contains(suffix, Qt::CaseInsensitive))
            return type.name;
    }
    if (info.isFile()) {
        const QByteArray format = QImageReader::imageFormat(path);
        for (const auto& type : m_types) {
            if (!type.isPackage && !format.isEmpty() && type.name == QString::fromLatin1(format))
                return type.name;
        }
        for (const auto& type : m_types) {
            if (!type.isPackage && type.extensions.contains(suffix, Qt::CaseInsensitive))
                return type.name;
        }
    }
    if (errorMessage)
        *errorMessage = QStringLiteral("“%1” is not a picture or document this application can open.")
                            .arg(info.fileName());
    return {};
}

std::shared_ptr<Document> DocumentController::documentForURL(const QString& path) const
{
    const QString wanted = canonical(path);
    for (const auto& document : m_documents) {
        if (!document->fileURL().isEmpty() && canonical(document->fileURL()) == wanted)
            return document;
        if (document->fileURL().isEmpty() && !document->convertedFromURL().isEmpty() &&
            canonical(document->convertedFromURL()) == wanted)
            return document;
    }
    return nullptr;
}

void DocumentController::addDocument(const std::shared_ptr<Document>& document)
{
    if (std::find(m_documents.begin(), m_documents.end(), document) != m_documents.end())
        return;
    document->setDocumentController(this);
    if (document->recoveryRecordPath().isEmpty())
        document->setRecoveryRecordPath(recoveryFolder() + u'/' + randomName(16) + QStringLiteral(".plist"));
    m_documents.push_back(document);
    rememberOpenDocuments();
}

void DocumentController::removeDocument(Document* document)
{
    const auto removed =
        std::erase_if(m_documents, [document](const auto& candidate) { return candidate.get() == document; });
    if (removed > 0)
        rememberOpenDocuments();
}

void DocumentController::noteOpenDocumentsChanged()
{
    rememberOpenDocuments();
}

std::shared_ptr<Document> DocumentController::openDocumentWithContentsOfURL(const QString& path, bool display,
                                                                            QString* errorMessage)
{
    if (auto open = documentForURL(path)) {
        if (display)
            open->showWindows();
        return open;
    }
    // Reading may ask the user (a file changed by another program), and while the question is up a
    // second start may hand the same file over: it is the document under way, not a second one.
    const QString wanted = canonical(path);
    for (Opening& opening : m_opening)
        if (opening.path == wanted)
            if (auto underWay = opening.document.lock()) {
                opening.display = opening.display || display;
                return underWay;
            }
    const QString type = typeForContentsOfURL(path, errorMessage);
    if (type.isEmpty())
        return nullptr;
    std::shared_ptr<Document> document = makeDocument(type);
    if (!document) {
        if (errorMessage)
            *errorMessage = QStringLiteral("Documents of this kind cannot be opened.");
        return nullptr;
    }
    document->setDocumentController(this);
    QString absolute = QFileInfo(path).absoluteFilePath();
    // A package reached through a symbolic link is saved where it really is: a package is replaced
    // by a new folder beside it, which only works beside the folder itself.
    if (const auto kind = typeNamed(type); kind && kind->isPackage && QFileInfo(absolute).isSymLink())
        absolute = canonical(absolute);
    document->setFileURL(absolute);
    document->setFileType(type);
    m_opening.push_back({wanted, document, false});
    // Whether a request made while it was read wants it shown (the entry goes either way).
    const auto finishOpening = [this, &document] {
        bool shown = false;
        std::erase_if(m_opening, [&](const Opening& opening) {
            if (opening.document.lock() != document)
                return false;
            shown = opening.display;
            return true;
        });
        return shown;
    };
    QString error;
    if (!document->readFromURL(absolute, type, &error)) {
        finishOpening();
        if (errorMessage)
            *errorMessage = error.isEmpty()
                                ? QStringLiteral("“%1” could not be read.").arg(QFileInfo(path).fileName())
                                : error;
        return nullptr;
    }
    document->setFileModificationDate(document->modificationDateOfFile(absolute));
    // Its latest changes waited for it since a start that could not find it: they come back now.
    const std::optional<QVariantMap> waiting = takeWaitingEntry(absolute);
    if (waiting)
        recoverWaitingDocument(document, *waiting);
    const bool askedMeanwhile = finishOpening();
    addDocument(document);
    noteNewRecentDocumentURL(absolute);
    // The last session's documents are shown once they are brought forward to their records.
    if (display || (askedMeanwhile && !m_reopening))
        document->showWindows();
    return document;
}

std::shared_ptr<Document> DocumentController::openUntitledDocumentAndDisplay(bool display,
                                                                             QString* errorMessage)
{
    std::shared_ptr<Document> document = makeDocument(defaultType());
    if (!document) {
        if (errorMessage)
            *errorMessage = QStringLiteral("A new document cannot be made.");
        return nullptr;
    }
    document->setFileType(defaultType());
    addDocument(document);
    if (display)
        document->showWindows();
    return document;
}

std::shared_ptr<Document> DocumentController::reopenDocument(const QString& path, const QString& contentsPath,
                                                             bool display, QString* errorMessage)
{
    if (!path.isEmpty())
        return openDocumentWithContentsOfURL(path, display, errorMessage);
    const QString type = typeForContentsOfURL(contentsPath, errorMessage);
    if (type.isEmpty())
        return nullptr;
    std::shared_ptr<Document> document = makeDocument(type);
    if (!document)
        return nullptr;
    document->setDocumentController(this);
    document->setFileType(type);
    if (!document->readFromURL(contentsPath, type, errorMessage))
        return nullptr;
    document->setAutosavedContentsFileURL(contentsPath);
    addDocument(document);
    if (display)
        document->showWindows();
    return document;
}

void DocumentController::newDocument()
{
    QString error;
    if (!openUntitledDocumentAndDisplay(true, &error))
        presentError(QStringLiteral("A new document could not be made."), error);
}

QStringList DocumentController::runOpenPanel()
{
    FilePanel panel(FilePanel::Kind::Open);
    panel.title = QStringLiteral("Open");
    panel.allowsMultipleSelection = true;
    panel.packageExtensions = packageExtensions();
    // Every type it opens together first, then each alone: the document types before the pictures.
    QStringList everything;
    QList<FilePanel::FileType> each;
    for (const bool packages : {true, false})
        for (const auto& type : m_types)
            if (type.isPackage == packages && !type.extensions.isEmpty()) {
                everything += type.extensions;
                each.append({type.displayName, type.extensions});
            }
    if (!everything.isEmpty()) {
        panel.fileTypes.append({QStringLiteral("Photos and Documents"), everything});
        panel.fileTypes += each;
    }
    const QStringList recent = recentDocumentURLs();
    panel.directory = recent.isEmpty() ? QDir::homePath() : QFileInfo(recent.first()).absolutePath();
    if (!panel.runModal())
        return {};
    return panel.paths();
}

void DocumentController::openDocument()
{
    for (const QString& path : runOpenPanel()) {
        QString error;
        if (!openDocumentWithContentsOfURL(path, true, &error))
            presentError(QStringLiteral("“%1” could not be opened.").arg(QFileInfo(path).fileName()), error);
    }
}

QStringList DocumentController::recentDocumentURLs() const
{
    QStringList paths;
    for (const QVariant& value : UserDefaults::standard().arrayForKey(recentDocumentsKey))
        if (!value.toString().isEmpty())
            paths.append(value.toString());
    return paths;
}

void DocumentController::noteNewRecentDocumentURL(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = recentDocumentURLs();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    while (paths.size() > maximumRecentDocumentCount())
        paths.removeLast();
    UserDefaults::standard().setValue(recentDocumentsKey, paths);
}

void DocumentController::clearRecentDocuments()
{
    UserDefaults::standard().setValue(recentDocumentsKey, QStringList());
}

void DocumentController::setAutosavingDelay(double delay)
{
    m_autosavingDelay = delay;
    if (m_autosaveTimer)
        m_autosaveTimer->invalidate();
    m_autosaveTimer.reset();
    if (delay > 0)
        m_autosaveTimer = Timer::scheduled(delay, true, [this](Timer&) { autosaveAllDocuments(); });
}

void DocumentController::autosaveAllDocuments()
{
    const auto documents = m_documents;
    for (const auto& document : documents) {
        if (document->hasUnautosavedChanges() && !document->isSaving() && !document->isClosing())
            document->autosaveDocument();
    }
}

QString DocumentController::recoveryFolder()
{
    return workingFolder(QStringLiteral("recovery"));
}

QString DocumentController::autosaveFolder()
{
    return workingFolder(QStringLiteral("autosave"));
}

const QString DocumentController::cancelledByUser = QStringLiteral("Cancelled.");

void DocumentController::presentError(const QString& message, const QString& informativeText,
                                      Window* window) const
{
    if (informativeText == cancelledByUser)
        return;
    error(message + (informativeText.isEmpty() ? QString() : u' ' + informativeText));
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informativeText;
    alert.style = Alert::Style::Warning;
    alert.addButton(QStringLiteral("OK"));
    if (window && window->isVisible())
        alert.beginSheetModal(window, [](int) {});
    else
        alert.runModal();
}

void DocumentController::reviewUnsavedDocumentsAndQuit(std::function<void(bool)> decision)
{
    struct State
    {
        int pending = 0;
        bool stay = false; // a save the user asked for did not come about
        QStringList failures;
        QList<QPointer<Window>> hidden; // windows put away while their changes are kept
        std::function<void(bool)> decision;
    };
    auto state = std::make_shared<State>();
    state->decision = std::move(decision);
    // Staying after all: the windows put away come back.
    auto stay = [state] {
        for (const QPointer<Window>& window : std::as_const(state->hidden))
            if (window)
                window->orderFront();
        state->hidden.clear();
        state->decision(false);
    };
    auto finish = [this, state, stay] {
        if (--state->pending > 0)
            return;
        // As closing a window keeps it open when the save asked for is cancelled or fails, quitting
        // stays: the changes are kept (autosaved) either way, and the user decides again.
        if (state->stay)
            return stay();
        if (!state->failures.isEmpty()) {
            Alert alert;
            alert.messageText = QStringLiteral("Some documents could not be saved.");
            alert.informativeText = state->failures.join(u'\n') +
                                    QStringLiteral("\n\nIf you quit now, their latest changes are lost.");
            alert.style = Alert::Style::Critical;
            alert.addButton(QStringLiteral("Don't Quit"), Alert::Role::Cancel);
            alert.addButton(QStringLiteral("Quit Anyway"), Alert::Role::Destructive);
            if (alert.runModal() != Alert::firstButtonReturn + 1)
                return stay();
        }
        rememberOpenDocuments();
        // What the documents do from here on (windows closing as the application ends) is no change
        // of what the next launch opens again.
        m_sessionEnded = true;
        UserDefaults::standard().setValue(sessionRunningKey, false);
        UserDefaults::standard().synchronize();
        state->decision(true);
    };
    // Files that do not hold their documents' changes (kept elsewhere by autosaves): the user says
    // whether the changes go into them now.
    QStringList unsavedFiles;
    for (const auto& document : m_documents)
        if (!document->fileURL().isEmpty() && !document->autosaveWritesFile() && document->isDocumentEdited())
            unsavedFiles.append(QFileInfo(document->fileURL()).fileName());
    bool saveFiles = false;
    if (!unsavedFiles.isEmpty()) {
        const Document::SaveIntoFiles answer = Document::askToSaveIntoFiles(unsavedFiles);
        if (answer == Document::SaveIntoFiles::Cancel)
            return state->decision(false);
        saveFiles = answer == Document::SaveIntoFiles::Save;
    }
    // Without saves into files to watch, what remains is keeping every document's changes: the windows
    // go at once rather than stand unchanged while that runs (they come back if the application stays).
    if (!saveFiles)
        for (const auto& document : m_documents)
            if (Window* window = document->window(); window && window->isVisible()) {
                state->hidden.append(window);
                window->orderOut();
            }
    state->pending = 1 + int(m_documents.size());
    for (const auto& document : m_documents) {
        std::weak_ptr<Document> weak = document;
        document->whenSavesFinish([weak, state, finish, saveFiles] {
            auto self = weak.lock();
            if (!self)
                return finish();
            auto autosave = [weak, state, finish] {
                auto self = weak.lock();
                if (!self)
                    return finish();
                self->autosaveDocument([weak, state, finish](bool succeeded, const QString& errorMessage) {
                    if (!succeeded) {
                        auto failed = weak.lock();
                        state->failures.append(
                            QStringLiteral("“%1”: %2")
                                .arg(failed ? failed->displayName() : QString(), errorMessage));
                    }
                    finish();
                });
            };
            // A save into the file that does not come about still keeps the changes, as an autosave.
            if (saveFiles && !self->fileURL().isEmpty() && !self->autosaveWritesFile() &&
                self->isDocumentEdited())
                self->saveDocument([autosave, state](bool succeeded, const QString&) {
                    if (!succeeded)
                        state->stay = true;
                    autosave();
                });
            else
                autosave();
        });
    }
    finish();
}

void DocumentController::rememberOpenDocuments()
{
    // While the last session's documents open again, its list stays whole: a crash meanwhile finds
    // every one of them still named.
    if (m_sessionEnded || m_reopening)
        return;
    QVariantList open;
    for (const auto& document : m_documents) {
        QVariantMap entry{{QStringLiteral("edited"), document->isDocumentEdited()}};
        if (!document->recoveryRecordPath().isEmpty())
            entry.insert(QStringLiteral("recovery"), QFileInfo(document->recoveryRecordPath()).fileName());
        const QString source =
            document->sourceURL().isEmpty() ? document->convertedFromURL() : document->sourceURL();
        if (!document->fileURL().isEmpty()) {
            entry.insert(QStringLiteral("url"), document->fileURL());
        } else if (!document->autosavedContentsFileURL().isEmpty() || !source.isEmpty()) {
            // Untitled: its autosave, else (not autosaved yet) the file it was made from. Edited as it
            // is: a sample opened and left untouched comes back untouched, and closes without asking.
            if (!document->autosavedContentsFileURL().isEmpty())
                entry.insert(QStringLiteral("autosave"), document->autosavedContentsFileURL());
            else
                entry.insert(QStringLiteral("source"), source);
            entry.insert(QStringLiteral("draft"), document->draftName());
            entry.insert(QStringLiteral("convertedFrom"), document->convertedFromURL());
        } else {
            continue;
        }
        open.append(entry);
    }
    open += m_waiting;
    // Written to disk at once (a crash must find it), but only when it changed: most saves leave it so.
    UserDefaults& defaults = UserDefaults::standard();
    if (defaults.value(openDocumentsKey).isValid() && defaults.arrayForKey(openDocumentsKey) == open)
        return;
    defaults.setValue(openDocumentsKey, open);
    defaults.synchronize();
}

bool DocumentController::previousSessionDidNotQuit() const
{
    return UserDefaults::standard().boolForKey(sessionRunningKey);
}

bool DocumentController::hasRecoveryRecord(const QString& record)
{
    if (record.isEmpty() || record.contains(u'/'))
        return false;
    const QString path = recoveryFolder() + u'/' + record;
    return QFileInfo::exists(path) || QFileInfo::exists(Document::recoveryFailureMarkerPath(path));
}

void DocumentController::clearRecoveryFolder(const QVariantList& open)
{
    // Records of documents whose files could not be found are kept until they are back, with the
    // crashed sessions' stroke histories ("cache-…") they name.
    QStringList kept;
    for (const QVariant& value : open) {
        const QVariantMap entry = value.toMap();
        const QString record = entry.value(QStringLiteral("recovery")).toString();
        if (entry.value(waitingKey).toBool() && !record.isEmpty() && !record.contains(u'/'))
            kept << record << QFileInfo(Document::recoveryFailureMarkerPath(record)).fileName();
    }
    const QString folder = recoveryFolder();
    const QString area = FileSystem::applicationSupportDirectory();
    QString error;
    if (kept.isEmpty()) {
        if (!FileSystem::removeRecursively(folder, area, &error))
            warning(error);
        return;
    }
    for (const QString& name :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (kept.contains(name) || name.startsWith(QLatin1String("cache-")))
            continue;
        if (!FileSystem::removeRecursively(folder + u'/' + name, folder, &error))
            warning(error);
    }
}

namespace {

// When a record was last whole, as the user reads it: the time alone on the day it was made.
QString recordTime(const QDateTime& when)
{
    if (!when.isValid())
        return QStringLiteral("an earlier moment");
    const QDateTime local = when.toLocalTime();
    return local.date() == QDate::currentDate() ? QLocale().toString(local.time(), QLocale::ShortFormat)
                                                : QLocale().toString(local, QLocale::ShortFormat);
}

} // namespace

std::optional<QVariantMap> DocumentController::takeWaitingEntry(const QString& path)
{
    const QString wanted = canonical(path);
    for (qsizetype i = 0; i < m_waiting.size(); ++i)
        if (canonical(m_waiting[i].toMap().value(QStringLiteral("url")).toString()) == wanted)
            return m_waiting.takeAt(i).toMap();
    return std::nullopt;
}

void DocumentController::recoverWaitingDocument(const std::shared_ptr<Document>& document,
                                                const QVariantMap& entry)
{
    document->setRecoveryRecordPath(recoveryFolder() + u'/' +
                                    entry.value(QStringLiteral("recovery")).toString());
    const Document::Recovery recovery = document->readRecoveryRecord(document->recoveryRecordPath());
    using Outcome = Document::Recovery::Outcome;
    if (entry.value(QStringLiteral("edited")).toBool() && recovery.outcome != Outcome::Declined &&
        !document->isDocumentEdited())
        document->updateChangeCount(Document::Change::Done);
    const QString name = QFileInfo(document->fileURL()).fileName();
    switch (recovery.outcome) {
    case Outcome::Restored:
        if (!recovery.reason.isEmpty()) {
            presentError(QStringLiteral("Some of your work on “%1” was recovered.").arg(name),
                         QStringLiteral("It is back as it was a few seconds before the application stopped, "
                                        "marked edited, except that %1.")
                             .arg(recovery.reason));
            break;
        }
        presentError(
            QStringLiteral("Your work on “%1” was recovered.").arg(name),
            QStringLiteral("It could not be found when the application started again after it had "
                           "stopped unexpectedly. Its changes from a few seconds before it stopped are "
                           "back, marked edited."));
        break;
    case Outcome::RestoredEarlier:
        presentError(QStringLiteral("Some of your work on “%1” was recovered.").arg(name),
                     QStringLiteral("It is back as it was at %1, marked edited; %2, so they are lost.")
                         .arg(recordTime(recovery.complete), recovery.reason));
        break;
    case Outcome::NotUsed:
        presentError(QStringLiteral("Your latest changes to “%1” could not be recovered.").arg(name),
                     QStringLiteral("It is open as last saved: %1.").arg(recovery.reason));
        break;
    case Outcome::Nothing:
    case Outcome::Declined:
        break;
    }
}

int DocumentController::reopenDocumentsOfLastSession()
{
    UserDefaults& defaults = UserDefaults::standard();
    const QVariantList open = defaults.arrayForKey(openDocumentsKey);
    m_lastSessionInterrupted = defaults.boolForKey(sessionRunningKey);
    m_sessionEnded = false;
    m_waiting.clear();
    defaults.setValue(sessionRunningKey, true);
    defaults.synchronize();
    // After a quit every open document's changes were written: their records hold nothing more.
    if (!m_lastSessionInterrupted)
        clearRecoveryFolder(open);
    // What the alert tells, document by document.
    QStringList upToDate, back, partly, asSaved, asTheFileIs, missing, failed;
    int reopened = 0;
    bool waitedFor = false; // a document whose record waited for its file is open again
    m_reopening = true;
    for (const QVariant& value : open) {
        const QVariantMap entry = value.toMap();
        const QString path = entry.value(QStringLiteral("url")).toString();
        const QString autosave = entry.value(QStringLiteral("autosave")).toString();
        const QString source = entry.value(QStringLiteral("source")).toString();
        const QString contents = !path.isEmpty() ? path : !autosave.isEmpty() ? autosave : source;
        if (contents.isEmpty())
            continue;
        const QString record = entry.value(QStringLiteral("recovery")).toString();
        // Not found at an earlier start: its record waits for it (after a quit too).
        const bool waiting = entry.value(waitingKey).toBool();
        const bool recovering = m_lastSessionInterrupted || waiting;
        // A list an earlier version wrote may name a file twice (it was open in two windows): it opens
        // once, with the first entry's record; bringing the second's over it would mix the two.
        if (!path.isEmpty() && documentForURL(path)) {
            warning(QStringLiteral("The document “%1” is listed twice in the last session; it opens once")
                        .arg(path));
            failed.append(QStringLiteral("“%1” (it was open twice; it is open once, with the changes of one "
                                         "of them)")
                              .arg(QFileInfo(path).fileName()));
            continue;
        }
        QString error;
        const auto document = reopenDocument(path, contents, false, &error);
        if (!document) {
            warning(QStringLiteral("The document “%1” of the last session could not be opened again: %2")
                        .arg(contents, error));
            // A photo on a card or a network drive not mounted yet: its latest changes are kept for when
            // it is back, rather than dropped with its entry.
            if (!path.isEmpty() && !QFileInfo::exists(path) && recovering && hasRecoveryRecord(record)) {
                QVariantMap kept = entry;
                kept.insert(waitingKey, true);
                m_waiting.append(kept);
                missing.append(QStringLiteral("“%1” (at %2)")
                                   .arg(QFileInfo(path).fileName(), QDir::toNativeSeparators(path)));
                continue;
            }
            failed.append(
                QStringLiteral("“%1” (%2)").arg(QFileInfo(path.isEmpty() ? source : path).fileName(), error));
            continue;
        }
        ++reopened;
        if (path.isEmpty()) {
            // An untitled document made from another file keeps its name and where it came from.
            document->setDraftName(entry.value(QStringLiteral("draft")).toString());
            document->setConvertedFromURL(entry.value(QStringLiteral("convertedFrom")).toString());
            if (autosave.isEmpty()) {
                // Made again from its sample: untitled, of the type new documents have.
                document->setAutosavedContentsFileURL(QString());
                document->setSourceURL(source);
                document->setFileType(defaultType());
            }
        }
        // The record keeps its name, so that a crash before it is written anew still finds it.
        if (!record.isEmpty() && !record.contains(u'/'))
            document->setRecoveryRecordPath(recoveryFolder() + u'/' + record);
        using Outcome = Document::Recovery::Outcome;
        Outcome outcome = Outcome::Nothing;
        waitedFor = waitedFor || waiting;
        if (recovering) {
            const Document::Recovery recovery =
                record.isEmpty() ? Document::Recovery{}
                                 : document->readRecoveryRecord(document->recoveryRecordPath());
            outcome = recovery.outcome;
            const QString name = QStringLiteral("“%1”").arg(document->displayName());
            switch (outcome) {
            case Outcome::Restored:
                if (!recovery.reason.isEmpty()) {
                    partly.append(
                        QStringLiteral("%1 (as it was a few seconds before it stopped, except that %2)")
                            .arg(name, recovery.reason));
                    break;
                }
                [[fallthrough]];
            case Outcome::Nothing:
                (waiting ? back : upToDate).append(name);
                break;
            case Outcome::RestoredEarlier:
                partly.append(QStringLiteral("%1 (as it was at %2; %3)")
                                  .arg(name, recordTime(recovery.complete), recovery.reason));
                break;
            case Outcome::NotUsed:
                asSaved.append(QStringLiteral("%1 (%2)").arg(name, recovery.reason));
                break;
            case Outcome::Declined:
                asTheFileIs.append(name);
                break;
            }
        }
        // Changes that were never saved into the document's own file are still changes to keep; a file
        // opened as it is, without them, holds none.
        if (entry.value(QStringLiteral("edited")).toBool() && outcome != Outcome::Declined &&
            !document->isDocumentEdited())
            document->updateChangeCount(Document::Change::Done);
        document->showWindows();
    }
    m_reopening = false;
    rememberOpenDocuments();
    const bool recovered = !upToDate.isEmpty() || !back.isEmpty() || !partly.isEmpty();
    const bool lost = !partly.isEmpty() || !asSaved.isEmpty() || !failed.isEmpty();
    if ((m_lastSessionInterrupted && reopened > 0) || waitedFor || !failed.isEmpty() || !missing.isEmpty()) {
        Alert alert;
        QStringList told;
        if (m_lastSessionInterrupted)
            told << QStringLiteral("The application did not quit normally last time.");
        if (!upToDate.isEmpty())
            told << QStringLiteral("These are open again as they were a few seconds before it stopped: %1.")
                        .arg(upToDate.join(QStringLiteral(", ")));
        if (!back.isEmpty())
            told << QStringLiteral("These could not be found at an earlier start and are open again, as they "
                                   "were a few seconds before the application stopped unexpectedly: %1.")
                        .arg(back.join(QStringLiteral(", ")));
        if (!partly.isEmpty())
            told << QStringLiteral("These are open again with only part of their latest changes: %1.")
                        .arg(partly.join(QStringLiteral(", ")));
        if (!asSaved.isEmpty())
            told << QStringLiteral("These are open again as last saved (by you, or automatically every few "
                                   "minutes); the changes after that could not be brought back: %1.")
                        .arg(asSaved.join(QStringLiteral(", ")));
        if (!asTheFileIs.isEmpty())
            told << QStringLiteral("These are open as their files are now, without the changes kept for "
                                   "them, as you chose: %1.")
                        .arg(asTheFileIs.join(QStringLiteral(", ")));
        if (!missing.isEmpty())
            told << QStringLiteral(
                        "These cannot be found (perhaps on a disk that is not connected, or "
                        "renamed or moved): %1. Their latest changes are kept: they come back when "
                        "the files are there again, as you open them or at a later start.")
                        .arg(missing.join(QStringLiteral(", ")));
        if (!failed.isEmpty())
            told << QStringLiteral("These could not be opened again: %1.")
                        .arg(failed.join(QStringLiteral(", ")));
        if (reopened > 0)
            told << QStringLiteral("Documents with changes not yet saved are marked edited.");
        const bool all = recovered && !lost && missing.isEmpty() && asTheFileIs.isEmpty();
        alert.messageText =
            !m_lastSessionInterrupted && !waitedFor
                ? QStringLiteral("Some documents could not be opened again.")
            : all                ? QStringLiteral("Your work was recovered.")
            : recovered          ? QStringLiteral("Some of your work was recovered.")
            : !missing.isEmpty() ? QStringLiteral("Some of your work cannot be recovered yet.")
            : reopened == 0      ? QStringLiteral("Your work could not be recovered.")
            : asSaved.isEmpty()  ? QStringLiteral("The documents of the last session are open again.")
                                 : QStringLiteral("Some of your work was recovered.");
        alert.informativeText = told.join(u' ');
        alert.style = lost || !missing.isEmpty() ? Alert::Style::Warning : Alert::Style::Informational;
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
    offerUnlistedAutosaves();
    return reopened;
}

void DocumentController::offerUnlistedAutosaves()
{
    QStringList extensions;
    for (const auto& type : m_types)
        extensions += type.extensions;
    QStringList owned;
    for (const auto& document : m_documents)
        if (!document->autosavedContentsFileURL().isEmpty())
            owned.append(canonical(document->autosavedContentsFileURL()));
    QStringList unlisted;
    const QFileInfoList entries =
        QDir(autosaveFolder()).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time);
    for (const QFileInfo& entry : entries)
        if (extensions.contains(entry.suffix(), Qt::CaseInsensitive) &&
            !owned.contains(canonical(entry.absoluteFilePath())))
            unlisted.append(entry.absoluteFilePath());
    if (unlisted.isEmpty())
        return;
    QStringList names;
    for (const QString& path : unlisted)
        names.append(QStringLiteral("“%1”").arg(QFileInfo(path).completeBaseName()));
    Alert alert;
    alert.messageText =
        unlisted.size() == 1
            ? QStringLiteral("A document that was never saved was found.")
            : QStringLiteral("%1 documents that were never saved were found.").arg(unlisted.size());
    alert.informativeText =
        (unlisted.size() == 1
             ? QStringLiteral("It was kept automatically but is not open: %1. Open it now? If "
                              "not, it is offered again at the next start.")
             : QStringLiteral("They were kept automatically but are not open: %1. Open them "
                              "now? If not, they are offered again at the next start."))
            .arg(names.join(QStringLiteral(", ")));
    alert.addButton(QStringLiteral("Open"));
    alert.addButton(QStringLiteral("Not Now"), Alert::Role::Cancel);
    if (alert.runModal() != Alert::firstButtonReturn)
        return;
    for (const QString& path : unlisted) {
        QString error;
        const auto document = reopenDocument(QString(), path, true, &error);
        if (!document)
            presentError(QStringLiteral("“%1” could not be opened.").arg(QFileInfo(path).completeBaseName()),
                         error);
        else if (!document->isDocumentEdited())
            // Kept automatically and never saved under a name of the user's: a change to keep.
            document->updateChangeCount(Document::Change::Done);
    }
}

} // namespace pf
