#pragma once

#include "Platform/UI/Document.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pf {

class Timer;
class Window;

// The application's documents: their types, opening (an open file only focuses its window), the list of
// recent documents, autosaving every few minutes, errors shown to the user, and quitting: every
// document's changes are written and the open documents are remembered, to be opened again at the next
// launch. One instance per application (shared()). Main thread only.
class DocumentController
{
public:
    struct DocumentType
    {
        QString name;           // the type's identifier, handed to documents
        QString displayName;    // shown in the save panel's type choice
        QStringList extensions; // the first is the one given to new files
        bool isPackage = false; // a folder that acts as one file
        bool canWrite = false;
    };

    DocumentController();
    virtual ~DocumentController();
    DocumentController(const DocumentController&) = delete;
    DocumentController& operator=(const DocumentController&) = delete;

    // The most recently made controller that still exists.
    static DocumentController* shared();

    void registerType(const DocumentType& type);
    const std::vector<DocumentType>& types() const { return m_types; }
    std::optional<DocumentType> typeNamed(const QString& name) const;
    // The name of the type a file name extension belongs to; empty when none does.
    QString typeForExtension(const QString& extension) const;
    // The type of an existing file: a registered package extension on a folder, else the image format
    // its contents show, else the type its extension names. Empty, with a reason, when it is none.
    virtual QString typeForContentsOfURL(const QString& path, QString* errorMessage) const;
    // Extensions of registered package types (the open panel picks such folders as files).
    QStringList packageExtensions() const;
    // The type an untitled document gets.
    virtual QString defaultType() const;

    // A new, empty document of the type (the subclass's factory).
    virtual std::shared_ptr<Document> makeDocument(const QString& type) = 0;

    const std::vector<std::shared_ptr<Document>>& documents() const { return m_documents; }
    std::shared_ptr<Document> documentForURL(const QString& path) const;
    void addDocument(const std::shared_ptr<Document>& document);
    virtual void removeDocument(Document* document);

    // Opens the file, or focuses its window when it is open already (a file whose recovered changes
    // waited for it comes with them). One file is one document, whoever asks and when: asked again while
    // it is still being read (a question of its reading is up, and a second start hands it over), it
    // answers the document under way, shown once it is open. Null, with a reason, on failure (the caller
    // decides whether to show it).
    virtual std::shared_ptr<Document> openDocumentWithContentsOfURL(const QString& path, bool display,
                                                                    QString* errorMessage);
    virtual std::shared_ptr<Document> openUntitledDocumentAndDisplay(bool display, QString* errorMessage);
    // Opens a document of the last session: `path` is its file (empty for an untitled one) and
    // `contentsPath` where its contents are (its autosave for an untitled one).
    virtual std::shared_ptr<Document> reopenDocument(const QString& path, const QString& contentsPath,
                                                     bool display, QString* errorMessage);
    // The New command: an untitled document by default.
    virtual void newDocument();
    // The Open command: the open panel, then every chosen file; failures are shown.
    virtual void openDocument();
    // The open panel with the readable types; packages are chosen as files. Empty when cancelled.
    QStringList runOpenPanel();

    // Recent documents, newest first, at most maximumRecentDocumentCount(); kept in the user defaults.
    QStringList recentDocumentURLs() const;
    void noteNewRecentDocumentURL(const QString& path);
    virtual void clearRecentDocuments();
    static constexpr int maximumRecentDocumentCount() { return 10; }

    // Edited documents are autosaved every `delay` seconds (0 switches it off).
    double autosavingDelay() const { return m_autosavingDelay; }
    void setAutosavingDelay(double delay);
    // Autosaves every document now (what the timer does).
    void autosaveAllDocuments();
    // "<working area>/autosave", created when missing: where untitled documents are autosaved.
    static QString autosaveFolder();
    // "<working area>/recovery", created when missing: the documents' records of their latest state,
    // which bring back what a crash would lose since the last autosave.
    static QString recoveryFolder();

    // Shows a failure in an alert (on the main thread; to the window when given). An opening the user
    // cancelled (its error text is `cancelledByUser`) is no failure: nothing shows.
    static const QString cancelledByUser;
    virtual void presentError(const QString& message, const QString& informativeText,
                              Window* window = nullptr) const;

    // Quitting: waits for running saves, writes every document's changes, remembers the open documents
    // for the next launch, and then answers true. A document that cannot be written makes it ask the
    // user whether to quit anyway (false: stay).
    void reviewUnsavedDocumentsAndQuit(std::function<void(bool quit)> decision);
    // Opens the documents of the last session (the list is kept current while documents open, close,
    // are saved and change their edited mark, so it survives a crash); the number opened. Those that
    // were edited come back marked edited; untitled ones from their autosaves (or, never autosaved, from
    // the file they were made from). After a session that did not end with a quit, each document is
    // then brought forward to its recovery record, and one alert says truthfully what came back. The
    // list stays as it was until every document is back (a crash meanwhile loses none); entries that
    // cannot be opened are dropped and named, except a file that is not there (a card not in its
    // reader) whose record holds changes: its entry and record wait for it, through quits, until it
    // is back at a later start or opened. Autosaves no list names are offered. Marks this session as
    // running.
    int reopenDocumentsOfLastSession();
    // Whether the last session ended without a quit, as the user defaults tell before
    // reopenDocumentsOfLastSession marks this one as running.
    bool previousSessionDidNotQuit() const;
    // Writes the list of open documents now (a document opened, closed or was saved).
    void noteOpenDocumentsChanged();
    // Whether the last session ended without a quit; known once reopenDocumentsOfLastSession ran.
    bool lastSessionWasInterrupted() const { return m_lastSessionInterrupted; }

private:
    void rememberOpenDocuments();
    // Whether the recovery folder holds the record named so (or its out-of-date mark).
    static bool hasRecoveryRecord(const QString& record);
    // After a quit: the records no document needs any more go; those of entries still waiting for
    // their files stay, with the stroke histories they name.
    static void clearRecoveryFolder(const QVariantList& open);
    // The waiting entry of that file, taken out of the list; none when it has none.
    std::optional<QVariantMap> takeWaitingEntry(const QString& path);
    // Brings a document that waited for its file forward to its record, and says what came back.
    void recoverWaitingDocument(const std::shared_ptr<Document>& document, const QVariantMap& entry);
    // Autosaved documents no open document owns (their session's list was lost): the user may open them.
    void offerUnlistedAutosaves();
    // The document being read for a file while its reading may ask the user (by canonical path), and
    // whether a request made meanwhile wants it shown.
    struct Opening
    {
        QString path;
        std::weak_ptr<Document> document;
        bool display = false;
    };
    std::vector<Opening> m_opening;
    bool m_sessionEnded = false;
    bool m_reopening = false;
    bool m_lastSessionInterrupted = false;

    std::vector<DocumentType> m_types;
    std::vector<std::shared_ptr<Document>> m_documents;
    // Entries of the last session whose files could not be found: written with the open documents
    // until their files are back.
    QVariantList m_waiting;
    double m_autosavingDelay = 0;
    std::shared_ptr<Timer> m_autosaveTimer;
};

} // namespace pf
