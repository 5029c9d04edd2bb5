#include "Platform/UI/DocumentController.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <memory>

namespace pf {

namespace {

const QString recentDocumentsKey = QStringLiteral("RecentDocuments");
const QString openDocumentsKey = QStringLiteral("OpenDocuments");
// True from launch until the quit: still true at the next launch when the application was killed.
const QString sessionRunningKey = QStringLiteral("SessionRunning");

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
        if (errorMessage)
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
    QString error;
    if (!document->readFromURL(absolute, type, &error)) {
        if (errorMessage)
            *errorMessage = error.isEmpty()
                                ? QStringLiteral("“%1” could not be read.").arg(QFileInfo(path).fileName())
                                : error;
        return nullptr;
    }
    document->setFileModificationDate(QFileInfo(absolute).lastModified());
    addDocument(document);
    noteNewRecentDocumentURL(absolute);
    if (display)
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
    // Its contents were never saved under a name of the user's: still a change to keep.
    document->updateChangeCount(Document::Change::Done);
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

QString DocumentController::autosaveFolder()
{
    const QString folder = FileSystem::applicationSupportDirectory() + QStringLiteral("/autosave");
    QString error;
    if (!FileSystem::createDirectory(folder, &error))
        warning(error);
    return folder;
}

void DocumentController::presentError(const QString& message, const QString& informativeText,
                                      Window* window) const
{
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
        QStringList failures;
        std::function<void(bool)> decision;
    };
    auto state = std::make_shared<State>();
    state->decision = std::move(decision);
    auto finish = [this, state] {
        if (--state->pending > 0)
            return;
        if (!state->failures.isEmpty()) {
            Alert alert;
            alert.messageText = QStringLiteral("Some documents could not be saved.");
            alert.informativeText = state->failures.join(u'\n') +
                                    QStringLiteral("\n\nIf you quit now, their latest changes are lost.");
            alert.style = Alert::Style::Critical;
            alert.addButton(QStringLiteral("Don't Quit"));
            alert.addButton(QStringLiteral("Quit Anyway"));
            if (alert.runModal() != Alert::firstButtonReturn + 1)
                return state->decision(false);
        }
        rememberOpenDocuments();
        // What the documents do from here on (windows closing as the application ends) is no change
        // of what the next launch opens again.
        m_sessionEnded = true;
        UserDefaults::standard().setValue(sessionRunningKey, false);
        UserDefaults::standard().synchronize();
        state->decision(true);
    };
    state->pending = 1 + int(m_documents.size());
    for (const auto& document : m_documents) {
        std::weak_ptr<Document> weak = document;
        document->whenSavesFinish([weak, state, finish] {
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
        });
    }
    finish();
}

void DocumentController::rememberOpenDocuments()
{
    if (m_sessionEnded)
        return;
    QVariantList open;
    for (const auto& document : m_documents) {
        const bool edited = document->isDocumentEdited();
        if (!document->fileURL().isEmpty())
            open.append(QVariantMap{{QStringLiteral("url"), document->fileURL()},
                                    {QStringLiteral("edited"), edited}});
        else if (!document->autosavedContentsFileURL().isEmpty())
            open.append(QVariantMap{{QStringLiteral("autosave"), document->autosavedContentsFileURL()},
                                    {QStringLiteral("edited"), true},
                                    {QStringLiteral("draft"), document->draftName()},
                                    {QStringLiteral("convertedFrom"), document->convertedFromURL()}});
    }
    // Written to disk at once (a crash must find it), but only when it changed: most saves leave it so.
    UserDefaults& defaults = UserDefaults::standard();
    if (defaults.value(openDocumentsKey).isValid() && defaults.arrayForKey(openDocumentsKey) == open)
        return;
    defaults.setValue(openDocumentsKey, open);
    defaults.synchronize();
}

int DocumentController::reopenDocumentsOfLastSession()
{
    UserDefaults& defaults = UserDefaults::standard();
    const QVariantList open = defaults.arrayForKey(openDocumentsKey);
    m_lastSessionInterrupted = defaults.boolForKey(sessionRunningKey);
    m_sessionEnded = false;
    defaults.removeObject(openDocumentsKey);
    defaults.setValue(sessionRunningKey, true);
    defaults.synchronize();
    int reopened = 0;
    for (const QVariant& value : open) {
        const QVariantMap entry = value.toMap();
        const QString path = entry.value(QStringLiteral("url")).toString();
        const QString autosave = entry.value(QStringLiteral("autosave")).toString();
        if (path.isEmpty() && autosave.isEmpty())
            continue;
        QString error;
        const auto document = reopenDocument(path, path.isEmpty() ? autosave : path, true, &error);
        if (!document) {
            warning(QStringLiteral("The document “%1” of the last session could not be opened again: %2")
                        .arg(path.isEmpty() ? autosave : path, error));
            continue;
        }
        ++reopened;
        if (path.isEmpty()) {
            // An untitled document made from another file keeps its name and where it came from.
            document->setDraftName(entry.value(QStringLiteral("draft")).toString());
            document->setConvertedFromURL(entry.value(QStringLiteral("convertedFrom")).toString());
        }
        // Changes that were never saved under the document's own name are still changes to keep.
        if (m_lastSessionInterrupted && !path.isEmpty() && entry.value(QStringLiteral("edited")).toBool() &&
            !document->isDocumentEdited())
            document->updateChangeCount(Document::Change::Done);
    }
    rememberOpenDocuments();
    if (m_lastSessionInterrupted && reopened > 0) {
        Alert alert;
        alert.messageText = QStringLiteral("Your work was recovered.");
        alert.informativeText = QStringLiteral(
            "The application did not quit normally last time. The documents that were open are open again "
            "as they were last saved automatically; those with changes not yet saved are marked edited.");
        alert.style = Alert::Style::Informational;
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
    return reopened;
}

} // namespace pf
