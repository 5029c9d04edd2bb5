#pragma once

#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/Window.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

namespace pf {

class DocumentController;
class UndoManager;
class Window;

// One open document: its file, its type, its undo manager and edited state, and the saving machinery.
//
// Saving. Every save names its target, its type and its operation, and gets its own completion, called
// once on the main thread. Saves of one document run one after another, in the order asked. A document
// that can write asynchronously writes on a worker thread: the main thread waits only until the writer
// calls unblockUserInteraction() (once it has taken what it needs from the model and the window), or
// until the write ends, whichever comes first. Autosaving writes in place for documents with a file and
// into the controller's autosave folder for untitled ones.
//
// Edited state comes from the undo manager: each step done or redone counts one change, each undone
// step one back; a save clears the changes it wrote. Main thread only, except writeToURL() and
// unblockUserInteraction(), which run on the save thread for asynchronous writes.
class Document : public std::enable_shared_from_this<Document>
{
public:
    enum class SaveOperation
    {
        Save,              // the document's own file, or a new one that becomes its file (untitled)
        SaveAs,            // a new file that becomes the document's file
        SaveTo,            // a copy elsewhere (export); the document keeps its file
        Autosave,          // in place: the document's own file
        AutosaveElsewhere, // an untitled document's contents, into the autosave folder
    };
    enum class Change
    {
        Done,
        Undone,
        Redone,
        Cleared,
    };
    using Completion = std::function<void(bool succeeded, const QString& errorMessage)>;

    Document();
    virtual ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    QString fileURL() const { return m_fileURL; }
    void setFileURL(const QString& path);
    QString fileType() const { return m_fileType; }
    void setFileType(const QString& type) { m_fileType = type; }
    // The file's modification time when it was last read or written by this document.
    QDateTime fileModificationDate() const { return m_fileModificationDate; }
    void setFileModificationDate(const QDateTime& date) { m_fileModificationDate = date; }
    // The modification time of what stands at `path` as this document's kind of file: the file's own by
    // default (a package may tell by what it holds). Invalid when nothing is there.
    virtual QDateTime modificationDateOfFile(const QString& path) const;
    // Whether the document's file was changed by someone else since this document read or wrote it.
    bool fileChangedOnDisk() const;
    // Where an untitled document's contents were last autosaved; empty when nowhere.
    QString autosavedContentsFileURL() const { return m_autosavedContentsFileURL; }
    void setAutosavedContentsFileURL(const QString& path) { m_autosavedContentsFileURL = path; }
    // The file name without its extension, else the draft's, else "Untitled" ("Untitled 2" and on while
    // other untitled documents of the controller are open).
    QString displayName() const;
    // An untitled document made from a file it must not write over (one of an older form, converted
    // when read): named after `path`, and its save panel opens in that folder with that name.
    QString draftName() const { return m_draftName; }
    void setDraftName(const QString& path);
    // The file such an untitled document was made from: opening that file again while the document
    // is still untitled brings this one forward instead of converting the file a second time.
    QString convertedFromURL() const { return m_convertedFromURL; }
    void setConvertedFromURL(const QString& path) { m_convertedFromURL = path; }
    // The file an untitled document's contents were read from (a sample): what brings it back after a
    // crash before it was first autosaved.
    QString sourceURL() const { return m_sourceURL; }
    void setSourceURL(const QString& path) { m_sourceURL = path; }

    // Crash recovery. The controller names a file where the document keeps a small record of its state
    // as it changes (written by the subclass, never on the main thread); after a crash the document is
    // read as usual and then brought forward to what its record holds.
    QString recoveryRecordPath() const { return m_recoveryRecordPath; }
    void setRecoveryRecordPath(const QString& path) { m_recoveryRecordPath = path; }
    // What bringing a document forward to its record came to.
    struct Recovery
    {
        enum class Outcome
        {
            Nothing, // no record: nothing changed since the document was read
            // The record's state is back, as of a moment before the process stopped; `reason` says what
            // of it could not be (strokes that did not read), when something could not.
            Restored,
            // Back as the record last held it (`complete`): later writes of the record failed, so the
            // changes after that are lost (`reason`).
            RestoredEarlier,
            NotUsed,  // the record could not be used (`reason`): the document is as last saved
            Declined, // the user chose to open the file as it is now, without the changes kept for it
        };
        Outcome outcome = Outcome::Nothing;
        QString reason;
        QDateTime complete;
    };
    // Restores the state a record holds over what was read, before the window is shown.
    virtual Recovery readRecoveryRecord(const QString& path);
    // An empty file beside a record says that writing it failed since it was last complete (made where
    // a full disk still takes one, as it needs no space for contents). The record's own state is then
    // older than the document's last changes.
    static QString recoveryFailureMarkerPath(const QString& record);
    // The document closed: its record goes (after any write of it still under way).
    virtual void removeRecoveryRecord();

    std::shared_ptr<UndoManager> undoManager();
    bool isDocumentEdited() const { return m_changeCount != 0; }
    bool hasUnautosavedChanges() const { return m_generation != m_autosavedGeneration; }
    void updateChangeCount(Change change);

    // Reading and writing, by the subclass. `originalPath` is the document's file when the save began
    // (empty for an untitled document). Write failures give false and a message for the user.
    virtual bool readFromURL(const QString& path, const QString& type, QString* errorMessage) = 0;
    virtual bool writeToURL(const QString& path, const QString& type, SaveOperation operation,
                            const QString& originalPath, QString* errorMessage) = 0;
    // True lets writeToURL run on a save thread.
    virtual bool canAsynchronouslyWrite(const QString& path, const QString& type,
                                        SaveOperation operation) const;
    // Called by writeToURL on the save thread once the model may change again; no effect elsewhere.
    static void unblockUserInteraction();
    virtual QString autosavingFileType() const { return fileType(); }
    virtual bool autosavesInPlace() const { return true; }
    // Whether an autosave in place writes the user's file (true), or keeps the changes elsewhere and
    // leaves the file as it is (false): then the document stays edited until an explicit save, and
    // closing it asks.
    virtual bool autosaveWritesFile() const { return true; }
    // Whether Save may write the document's file in its own type; false makes Save ask for a new name.
    virtual bool canSaveInPlace() const { return true; }
    // Why Save cannot write the document's file (it would lose what the file holds, or the file is
    // read-only); empty when it can. Save then says so and offers Save As.
    virtual QString saveInPlaceRefusal() const { return {}; }
    // The types a save panel offers for the operation, the first being the suggestion.
    virtual QStringList writableTypesForSaveOperation(SaveOperation operation) const;

    // Saves with its own completion (which may be empty). Failures are not shown by these four; the
    // user-facing actions below show them.
    virtual void saveToURL(const QString& path, const QString& type, SaveOperation operation,
                           Completion completion);
    // Save (Ctrl+S): in place, or through the save panel when there is no file or it cannot be
    // written in its own type. Failures are shown.
    void saveDocument(Completion completion = {});
    void saveDocumentAs(Completion completion = {});
    // Export: a copy of the chosen type elsewhere.
    void saveDocumentTo(Completion completion = {});
    // Writes unautosaved changes (in place, or elsewhere when untitled); succeeds at once without any.
    void autosaveDocument(Completion completion = {});
    bool isSaving() const { return m_activeSave != nullptr || !m_saveRequests.empty(); }
    // Runs `block` on the main thread once no save of this document is queued or running.
    void whenSavesFinish(std::function<void()> block);

    // Reads the document again as opening it would, after asking, and forgets its undo history.
    void revertDocumentToSaved();
    virtual bool revertToContentsOfURL(const QString& path, const QString& type, QString* errorMessage);
    virtual void printDocument() {}

    // Windows.
    virtual void makeWindowControllers() {}
    virtual void showWindows();
    Window* window() const { return m_window; }
    void setWindow(Window* window);
    // The user wants the window closed: asks canCloseDocument, then closes. Returns false (the window
    // stays until the answer comes).
    bool windowShouldClose();

    // Asks whether changes go into files that do not hold them (their autosaves keep them elsewhere).
    enum class SaveIntoFiles
    {
        Save,
        Cancel,
        DontSave
    };
    static SaveIntoFiles askToSaveIntoFiles(const QStringList& fileNames);

    // Decides whether the document may close: waits for its saves, writes its changes (an untitled
    // document asks whether to keep it). A save that fails keeps it open (after telling the user).
    void canCloseDocument(std::function<void(bool mayClose)> decision);
    bool isClosing() const { return m_closing; }
    // Closes the window and leaves the controller's list.
    virtual void close();

    DocumentController* documentController() const { return m_controller; }
    void setDocumentController(DocumentController* controller) { m_controller = controller; }

protected:
    // Shows a failure to the user through the controller (an alert on the main thread).
    void presentError(const QString& message, const QString& informativeText) const;
    void updateWindowTitle();

private:
    struct SaveJob;
    class WindowCloser;

    void startNextSave();
    void finishSave(const std::shared_ptr<SaveJob>& job);
    void observeUndoManager();
    void runSavePanel(SaveOperation operation, Completion completion);
    // Saves in place after asking, when the file was changed on disk since it was read or written:
    // overwrite it, save under another name, or nothing (the completion hears of a cancel).
    void saveInPlaceAfterAsking(Completion completion);
    // An untitled document's number among the controller's (1 for plain "Untitled"); 0 until it has one.
    int untitledNumber() const;

    QString m_fileURL;
    QString m_fileType;
    QDateTime m_fileModificationDate;
    QString m_autosavedContentsFileURL;
    QString m_draftName;
    mutable int m_untitledNumber = 0;
    QString m_convertedFromURL;
    QString m_sourceURL;
    QString m_recoveryRecordPath;
    std::shared_ptr<UndoManager> m_undoManager;
    std::vector<ObserverToken> m_undoObservers;
    qint64 m_changeCount = 0;
    quint64 m_generation = 0;
    quint64 m_autosavedGeneration = 0;
    std::shared_ptr<SaveJob> m_activeSave;
    std::deque<std::shared_ptr<SaveJob>> m_saveRequests;
    std::vector<std::function<void()>> m_whenIdle;
    bool m_autosaveFailureShown = false;
    bool m_closing = false;
    QPointer<Window> m_window;
    std::unique_ptr<WindowCloser> m_closer;
    DocumentController* m_controller = nullptr;
};

} // namespace pf
