#pragma once

#include "Classes/Document/DragAndDropView.h"
#include "Classes/Document/GMGridViewDelegate.h"
#include "Classes/Document/GMWelcomeWindow.h"
#include "Classes/Document/OVGraphicsInfo.h"
#include "Platform/UI/DocumentController.h"

#include <QDateTime>
#include <memory>

// The application's document controller: the document types (the own package, every picture Qt reads;
// writes own, JPEG and PNG), the welcome window that every way of opening hides and New shows, and
// the rules by which shadow copies are kept: copies older than the chosen span or beyond the chosen
// count (oldest first) go, after a question; pinned ones and those of open documents stay. A copy whose
// picture cannot be found is kept, for when the picture is back.
class DocumentHandler : public pf::DocumentController,
                        public GMWelcomeWindowDelegate,
                        public GMGridViewDelegate,
                        public DragAndDropDelegate
{
public:
    DocumentHandler();
    ~DocumentHandler() override;

    std::shared_ptr<pf::Document> makeDocument(const QString& type) override;
    QString defaultType() const override;

    // Builds the welcome window (once).
    void awakeFromNib();
    GMWelcomeWindow* welcomeWindow() const { return m_welcome.get(); }
    // The warning for this hardware, laid over the welcome window when there is one.
    void checkAndShowWarning();
    void setGraphicsInfoForTesting(const OVGraphicsInfo& info)
    {
        m_graphics = info;
        m_graphicsSet = true;
    }
    bool shouldDisplayWelcomeScreen() const { return !m_reopenedDocuments; }
    void displayWelcomeScreen();
    void hideWelcomeScreen();

    void newDocument() override;
    std::shared_ptr<pf::Document> openDocumentWithContentsOfURL(const QString& path, bool display,
                                                                QString* errorMessage) override;
    std::shared_ptr<pf::Document> openUntitledDocumentAndDisplay(bool display,
                                                                 QString* errorMessage) override;
    std::shared_ptr<pf::Document> reopenDocument(const QString& path, const QString& contentsPath,
                                                 bool display, QString* errorMessage) override;
    // Clears the list of recent documents; their shadow copies stay.
    void clearRecentDocuments() override;
    // Opens a sample picture as a new untitled document; a picture that cannot be read is told.
    std::shared_ptr<pf::Document> openSample(const QString& path);
    // Brings forward the untitled document made from the sample when one is open, else opens it.
    std::shared_ptr<pf::Document> showSample(const QString& path);

    // Fills the recent and sample sections.
    void setupHistoryView();
    void showHelp();

    // The welcome window's tiles: a sample opens as a new untitled document, a recent document as
    // itself; removing a tile asks first and deletes the kept edits (false when they stay).
    void gridViewExecuteItemWithContext(GMGridViewController* grid, const QVariant& context) override;
    bool gridViewRemoveItemWithContext(GMGridViewController* grid, const QVariant& context) override;
    // The welcome window and the drop target.
    void welcomeWindowOpen() override { openDocument(); }
    void welcomeWindowShowTutorial() override { showHelp(); }
    void welcomeWindowOpenLink(const QString& key) override;
    void droppedUrl(const QString& path) override;
    void welcomeWindowDidClose() override;
    // With no document left, the welcome window shows again.
    void removeDocument(pf::Document* document) override;
    // Called when the user closes the welcome window with no document open: the application may quit.
    void setNothingLeftHandler(std::function<void()> handler) { m_nothingLeft = std::move(handler); }
    // The application is quitting: the last document's window closing no longer brings the welcome
    // window back.
    void prepareToQuit() { m_quitting = true; }

    // Retention. The indices choose from the tables below; setting one applies it at once.
    static constexpr qint64 keepSpans[6] = {259200, 604800, 2678400, 7948800, -1, -1}; // seconds; -1 forever
    static constexpr qint64 keepCounts[6] = {5, 10, 50, 100, -1, -1};                  // -1 unlimited
    int shadowKeepSpan() const { return m_shadowKeepSpan; }
    int shadowKeepCount() const { return m_shadowKeepCount; }
    void setShadowKeepSpan(int index);
    void setShadowKeepCount(int index);
    // Drops registry entries whose shadow folder is gone. A copy whose picture cannot be found keeps
    // its edits until the retention rules or the user remove it (both ask first).
    void checkPhysicalFiles();
    void checkShadowKeepSpan(const QDateTime& now = QDateTime::currentDateTimeUtc());
    void checkShadowKeepCount();
    // Deletes one shadow copy and its item.
    void removeShadowCopyWithPath(const QString& path);
    // What choosing a span or count index would delete now (registry keys), the entries whose copy is
    // gone included; nothing is removed. Empty for "forever" and "unlimited".
    QStringList shadowCopiesPurgedBySpan(int index,
                                         const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
    QStringList shadowCopiesPurgedByCount(int index) const;

private:
    // Registry keys of the documents open now: their copies are never purged.
    QStringList openDocumentKeys() const;
    // Registry keys whose copy folder is gone; a copy a killed save left aside is put back first.
    QStringList physicallyGoneShadowCopies() const;
    // The copies a rule removes beyond those in `skip`.
    QStringList shadowCopiesExpired(int index, const QDateTime& now, const QStringList& skip) const;
    QStringList shadowCopiesBeyondCount(int index, const QStringList& skip) const;
    // Existing pictures with shadow copies among the recent documents.
    QList<GMWelcomeWindow::Item> recentItems() const;
    QList<GMWelcomeWindow::Item> sampleItems() const;

    std::unique_ptr<GMWelcomeWindow> m_welcome;
    OVGraphicsInfo m_graphics;
    bool m_graphicsSet = false;
    int m_shadowKeepSpan = 5;
    int m_shadowKeepCount = 2;
    bool m_reopenedDocuments = false;
    bool m_quitting = false;
    std::function<void()> m_nothingLeft;
};
