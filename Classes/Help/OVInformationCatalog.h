#pragma once

#include "Classes/Framework/Toolkit/OVListEntryView.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVListViewDelegate.h"
#include "Classes/Framework/Toolkit/OVShadowedScrollView.h"
#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/Size.h"
#include "Platform/UI/SplitViewDelegate.h"

#include <QPointer>
#include <QStringList>
#include <memory>

class OVButton;
class OVInformationCatalogDelegate;
class OVInformationListEntry;
class OVInformationPanel;

namespace pf {
class SplitView;
class TextField;
class View;
} // namespace pf

// The "Tips & Tricks" window: the help topics as rows on the left, the selected topic's content on the
// right under its title and subtitle, and a button that ends the tour. The topics are the names in the
// help folder's "HelpInformations" list; the application has one shared catalog, whose window is built
// when shown and dropped when closed, so the next showing rebuilds the list. Main thread.
class OVInformationCatalog : public OVWindowController,
                             public OVListViewDelegate,
                             public pf::SplitViewDelegate
{
    Q_OBJECT

public:
    static constexpr double minimumListWidth = 200;
    static constexpr double minimumContentWidth = 300;

    // The names are shared with whoever gave them: names added later appear at the next showing.
    explicit OVInformationCatalog(std::shared_ptr<QStringList> names);
    ~OVInformationCatalog() override;
    QStringList classChain() const override
    {
        return {QStringLiteral("OVInformationCatalog"), QStringLiteral("OVWindowController")};
    }

    // The process-wide topic names, read from the help folder when first used.
    static void addInformation(const QString& name);
    static OVInformationCatalog* sharedInformationCatalog();
    static void showSharedInformationCatalog();
    // Forgets the shared catalog and its names, so the next use reads the help folder again.
    static void resetSharedCatalogForTesting();

    QStringList names() const { return m_names ? *m_names : QStringList(); }
    pf::Size margin() const { return m_margin; }
    QString windowTitle() const { return m_windowTitle; }
    void setWindowTitle(const QString& title);
    OVInformationCatalogDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVInformationCatalogDelegate* delegate) { m_delegate = delegate; }

    // Outlets, none before the window is loaded (asking does not load it).
    OVButton* getStartedButton() const;
    OVListView* infoList() const { return m_infoList; }
    OVShadowedScrollView* infoListScrollView() const;
    OVShadowedScrollView* infoScrollView() const;
    pf::TextField* infoTitle() const;
    pf::TextField* infoSubtitle() const;
    pf::SplitView* splitView() const;
    OVInformationPanel* selectedPanel() const;

    void getStarted();
    void windowDidLoad() override;
    void windowDidClose() override;
    void updateLayout();
    void scrollViewDidResize();

    // OVListViewDelegate
    void listViewWillDealloc(OVListView* list) override;
    std::optional<double> listViewWillResize(OVListView* list, double neededHeight) override;
    void listViewShouldShowFrame(OVListView* list, const pf::Rect& frame, const pf::Rect& oldFrame,
                                 bool openAction) override;
    void listViewWillOpenEntry(OVListView* list, OVListEntryView* entry) override;
    void listViewDidOpenEntry(OVListView* list, OVListEntryView* entry) override;
    void listViewWillCloseEntry(OVListView* list, OVListEntryView* entry) override;
    void listViewDidSelectEntry(OVListView* list, OVListEntryView* entry) override;

    // pf::SplitViewDelegate
    double splitViewConstrainMinCoordinate(pf::SplitView* split, double proposedMinimum,
                                           int divider) override;
    double splitViewConstrainMaxCoordinate(pf::SplitView* split, double proposedMaximum,
                                           int divider) override;
    bool splitViewResizeSubviewsWithOldSize(pf::SplitView* split, pf::Size oldSize) override;

private:
    pf::View* documentView() const;

    std::shared_ptr<QStringList> m_names;
    pf::Size m_margin{20, 20};
    QString m_windowTitle = QStringLiteral("Tips & Tricks");
    OVInformationCatalogDelegate* m_delegate = nullptr;
    QPointer<OVListView> m_infoList;
};
