#pragma once

#include "Classes/Document/DocumentHandler.h"

#include "Platform/Foundation/ObserverToken.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <vector>

namespace pf {
class Image;
class UndoManager;
} // namespace pf

class GMAboutBoxController;
class GMFrameworkEffectsWindows;
class GMPreferencesWindowController;
class QAction;
class QLocalServer;
class QLockFile;
class QMenuBar;
class QWidget;

// The application's start and end: one instance per user (a second start hands its files to the first
// and leaves), the working "cache" folder made fresh at launch and deleted at quit, the documents of the
// last session or the files named on the command line opened, or else the welcome window; the menus and
// their Ctrl shortcuts, and the feedback mail.
class GMApplicationDelegate : public QObject
{
public:
    GMApplicationDelegate();
    ~GMApplicationDelegate() override;

    DocumentHandler& documentHandler() { return *m_documentHandler; }

    // Becomes the one running instance, or hands `files` (made absolute) to the one that runs and
    // answers false: then this process should leave at once, touching nothing. The files count as
    // handed over only once that instance says it has them; one that does not say so within 10 s is
    // told to the user. Also false, after telling the user why, when the working area cannot take the
    // lock (a full disk) or the running instance does not answer: startRefused() then says so.
    bool claimSingleInstance(const QStringList& files);
    bool startRefused() const { return m_startRefused; }
    // The name of the local socket the running instance listens on (one per user and working area).
    static QString instanceServerName();

    // Files a second start hands over while this one is still launching (its questions up) are
    // opened once launching is done: the last session's documents first, each once.
    void applicationDidFinishLaunching(const QStringList& files);
    // Deletes the cache folder once every pending mask write has finished.
    void applicationWillTerminate();
    // The Quit command: writes every document's changes first (a document that cannot be saved asks),
    // then closes every window and leaves the main loop.
    void terminate();
    // Opens the files (or shows the welcome window when there are none), as a second start asks.
    void openFiles(const QStringList& files);

    // Composes the feedback mail of the product's report to the "FeedbackMail" address; false when
    // there is no address or no mail client took it.
    bool sendFeedback();
    // Edit ▸ Preferences…: the retention choices (the window is made once).
    void showPreferences();
    GMPreferencesWindowController* preferencesController() const { return m_preferences.get(); }
    // Counts a launch for the rating prompt when the first window becomes key (at launch).
    void watchFirstKeyWindowForRating();
    // Help ▸ About Glimora (the window is made once).
    GMAboutBoxController* aboutBoxController();
    static QUrl feedbackMailURL(const QString& recipient, const OVGraphicsInfo& graphics);

    // A menu bar with the application's menus for `window`: the shared File, Edit, Window and Help
    // items, and in View the window's own actions of those names (disabled where it has none).
    QMenuBar* makeMenuBar(QWidget* window);
    // The shared actions, by their text ("Save", "Open…"), for tests.
    QAction* action(const QString& text) const;
    // Enables the shared actions for the front window and its document, and names the steps that
    // Undo and Redo would take.
    void updateActions();
    // The View items a window may offer, in menu order ("-" separates).
    static const QStringList viewItems;

    // Deletes and re-creates the working area's "cache" folder.
    static void resetCacheFolder();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void buildActions();
    pf::Document* currentDocument() const;
    static QWidget* frontWindow();
    void receiveConnection();
    void takeHandedOverFiles(const QStringList& files);
    // Why no lock can be made in the working area (a full or read-only disk, no permission, a file where
    // its folder should be, a folder where the lock should be), told to the user in plain words with
    // what to do; false when it can be made, and the lock is held by another instance.
    bool refuseUnwritableWorkingArea();
    // The front editor document's picture as it would be saved; none elsewhere.
    pf::Image frontDocumentPicture() const;
    // The frame builder, previewing the front document's picture.
    void showFrameBuilder();
    // The image catalog over the editor's canvas; a chosen background shows the picture in a scene.
    void showScenePreview();
    // The framework effects over the front document's picture.
    void showFrameworkEffects();
    // The front window's undo: the framework effects window's own, else the front document's.
    pf::UndoManager* frontUndoManager() const;

    std::unique_ptr<DocumentHandler> m_documentHandler;
    // Names this delegate in the mark on the windows it equipped (a later one may sit at its address).
    const quint64 m_serial;
    // The windows given this delegate's actions, and perhaps its menu bar, to take back when it goes.
    QList<QPointer<QWidget>> m_equipped;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_startRefused = false;
    // While launching runs, what second starts hand over waits here (an empty list asks for the
    // welcome window).
    bool m_launching = false;
    QList<QStringList> m_handedOver;
    QList<QAction*> m_actions;
    std::vector<pf::ObserverToken> m_undoObservers;
    pf::ObserverToken m_firstKeyObserver;
    bool m_rateChecked = false;
    std::unique_ptr<GMPreferencesWindowController> m_preferences;
    std::unique_ptr<GMAboutBoxController> m_aboutBox;
    // One framework effects window per photo (and one over no photo), kept with its chain while the
    // application runs: closing one only hides it, and choosing the menu item again brings it back.
    std::unique_ptr<GMFrameworkEffectsWindows> m_frameworkEffects;
    bool m_terminating = false;
    // The quit was answered and its windows closed: the main loop is left, or, where it does not run
    // yet (a quit from a question asked while launching), left as soon as it does.
    bool m_quit = false;
};
