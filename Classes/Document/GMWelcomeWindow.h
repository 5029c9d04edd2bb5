#pragma once

#include "Classes/Document/DragAndDropView.h"

#include "Classes/Framework/Toolkit/OVBoxView.h"
#include "Platform/Foundation/ObserverToken.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <memory>

class GMGridViewController;
class OVBoxView;
class QLabel;
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
    virtual void welcomeWindowOpen() = 0;
    virtual void welcomeWindowShowTutorial() = 0;
    virtual void welcomeWindowOpenLink(const QString& key) = 0;
    // The user closed the welcome window.
    virtual void welcomeWindowDidClose() {}
};

// The window shown at launch and for New: the recent documents and the sample pictures as picture tiles
// in the sections of a grid (pinned, recent, samples; the grid's delegate opens and removes), a drop
// target for files, the Open button, a tab about the tutorial, links to the maker's pages, and a
// warning laid over everything when the graphics hardware is weak. Dark and calm. Main thread only.
class GMWelcomeWindow
{
public:
    struct Item
    {
        QString title;
        QString picturePath; // read at tile size in the background; empty for none
        QString context;     // the file it opens
        QVariant sortTag;    // tiles of a section show in ascending order
    };
    // Settings of the sections' tiles: pin, remove, executable and title; the samples cannot be removed.
    static constexpr unsigned documentSettings = 27;
    static constexpr unsigned sampleSettings = 24;

    GMWelcomeWindow(GMWelcomeWindowDelegate* delegate, DragAndDropDelegate* dropDelegate);
    ~GMWelcomeWindow();
    GMWelcomeWindow(const GMWelcomeWindow&) = delete;
    GMWelcomeWindow& operator=(const GMWelcomeWindow&) = delete;

    pf::Window* window() const { return m_window; }

    // Makes a section show exactly these items: tiles of other contexts go, a tile of the same context is
    // replaced in place and then moves to its sorted place.
    void setRecentItems(const QList<Item>& items);
    void setSampleItems(const QList<Item>& items);
    // The contexts of every tile, section by section in display order.
    QStringList itemContexts() const;
    // Takes the tile of that context out of the window (nothing when there is none).
    void removeItemWithContext(const QString& context);

    GMGridViewController* grid() const { return m_grid.get(); }
    unsigned sectionPinned() const { return m_sectionPinned; }
    unsigned sectionRecent() const { return m_sectionRecent; }
    unsigned sectionSamples() const { return m_sectionSamples; }

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

    // The tutorial in a window of its own, put over `over` (else the welcome window, else the screen's
    // middle) unless it shows already; false when its document cannot be loaded.
    bool showTutorial(const QWidget* over = nullptr);
    QWidget* tutorialWindow() const { return m_tutorialWindow; }
    int tutorialPageCount() const;

private:
    void setItems(unsigned section, const QList<Item>& items);
    void moveHandleTo(QPushButton* tab);
    void layOutOverlay();

    class Closer;

    GMWelcomeWindowDelegate* m_delegate;
    std::unique_ptr<Closer> m_closer;
    std::unique_ptr<GMGridViewController> m_grid;
    QPointer<pf::Window> m_window;
    unsigned m_sectionPinned = 0;
    unsigned m_sectionRecent = 1;
    unsigned m_sectionSamples = 2;
    // The recent section's heading: shown only while it has tiles.
    QPointer<OVBoxView> m_recentBox;
    DragAndDropView* m_dropTarget = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_historyTab = nullptr;
    QPushButton* m_mediaTab = nullptr;
    QWidget* m_handle = nullptr;
    QStackedWidget* m_pages = nullptr;
    QWidget* m_links = nullptr;
    QWidget* m_warning = nullptr;
    QLabel* m_warningLabel = nullptr;
    // While the warning shows: Escape dismisses it, and a click dismisses it and goes on to what it hit.
    pf::ObserverToken m_warningMonitor;
    QPointer<QWidget> m_tutorialWindow;
    QPdfDocument* m_tutorial = nullptr;
};
