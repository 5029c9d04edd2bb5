#pragma once

#include "Classes/Document/DragAndDropView.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <memory>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPdfDocument;
class QPushButton;
class QStackedWidget;
class QWidget;
namespace pf {
class Window;
}

// What the welcome window asks of its owner.
class GMWelcomeWindowDelegate
{
public:
    virtual ~GMWelcomeWindowDelegate() = default;
    virtual void welcomeWindowExecuteItem(const QString& context) = 0;
    virtual void welcomeWindowRemoveItem(const QString& context) = 0;
    virtual void welcomeWindowOpen() = 0;
    virtual void welcomeWindowShowTutorial() = 0;
    virtual void welcomeWindowOpenLink(const QString& key) = 0;
    // The user closed the welcome window.
    virtual void welcomeWindowDidClose() {}
};

// The window shown at launch and for New: the recent documents and the sample pictures in a list, a
// drop target for files, the Open button, a tab about the tutorial, links to the maker's pages, and a
// warning laid over everything when the graphics hardware is weak. Dark and calm. Main thread only.
class GMWelcomeWindow
{
public:
    struct Item
    {
        QString title;
        QImage image;
        QString context; // the file it opens
        double sortTag = 0;
    };

    GMWelcomeWindow(GMWelcomeWindowDelegate* delegate, DragAndDropDelegate* dropDelegate);
    ~GMWelcomeWindow();
    GMWelcomeWindow(const GMWelcomeWindow&) = delete;
    GMWelcomeWindow& operator=(const GMWelcomeWindow&) = delete;

    pf::Window* window() const { return m_window; }

    // Replaces the items of a section (recent ones newest first; samples by descending sort tag).
    void setRecentItems(const QList<Item>& items);
    void setSampleItems(const QList<Item>& items);
    QStringList itemContexts() const;
    // Executes or removes the item of that context, as a double click or the Remove command does.
    void executeItem(const QString& context);
    void removeItem(const QString& context);
    // Takes the item of that context out of the window (nothing when there is none).
    void removeItemWithContext(const QString& context);

    // The tabs: 0 the pictures, 1 the tutorial. The marker under the tab buttons moves in 0.3 s.
    void showHistory();
    void showMediaBrowser();
    int selectedTab() const;

    // The hardware warning over the whole window, and its fade-out (0.3 s).
    void showWarning(const QString& text);
    void hideWarning();
    bool isWarningShown() const;
    QString warningText() const;

    // Link buttons for the keys that have an address; the rest are hidden.
    void updateLinks();

    DragAndDropView* dropTarget() const { return m_dropTarget; }
    QPushButton* openButton() const { return m_openButton; }
    QListWidget* list() const { return m_list; }

    // The tutorial in a window of its own; false when its document cannot be loaded.
    bool showTutorial();
    QWidget* tutorialWindow() const { return m_tutorialWindow; }
    int tutorialPageCount() const;

private:
    void rebuildList();
    void moveHandleTo(QPushButton* tab);
    void layOutOverlay();

    class Closer;

    GMWelcomeWindowDelegate* m_delegate;
    std::unique_ptr<Closer> m_closer;
    QPointer<pf::Window> m_window;
    QListWidget* m_list = nullptr;
    DragAndDropView* m_dropTarget = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_historyTab = nullptr;
    QPushButton* m_mediaTab = nullptr;
    QWidget* m_handle = nullptr;
    QStackedWidget* m_pages = nullptr;
    QWidget* m_links = nullptr;
    QWidget* m_warning = nullptr;
    QLabel* m_warningLabel = nullptr;
    QPointer<QWidget> m_tutorialWindow;
    QPdfDocument* m_tutorial = nullptr;
    QList<Item> m_recent;
    QList<Item> m_samples;
};
