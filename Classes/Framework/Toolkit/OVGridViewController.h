#pragma once

#include "Classes/Framework/Toolkit/OVDelayedLayout.h"
#include "Classes/Framework/Toolkit/OVGridItemDelegate.h"
#include "Classes/Framework/Toolkit/OVGridItemOwner.h"
#include "Classes/Framework/Toolkit/OVGridLayout.h"
#include "Classes/Framework/Toolkit/OVViewController.h"
#include "Classes/Framework/Toolkit/OVViewDelegate.h"
#include "Platform/Foundation/ObserverToken.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <utility>
#include <vector>

class OVGridItem;
class OVGridViewDelegate;

namespace pf {
class ScrollView;
}

// A vertically scrolling grid of grid items in up to 100 sections. Each section has its settings bits,
// which every item added to it receives, and an optional background view that carries its title (an
// OVTitledView). Items are kept sorted by their sort tags, laid out in as many columns as fit with the
// spare width spread between them (OVGridLayout), and moved with an animation when the layout changes.
// The controller owns the selection, forwards the items' events to its delegate with their contexts and
// removes items whose remove button was clicked.
//
// Its interface "OVGridViewController" is built in code: an image view as the root (its view delegate is
// the controller), a scroll view, the container of the items as the scroll view's document view, and two
// shadow views that follow the scroll position.
//
// Layout runs at once (refreshLayout), 0.5 s after the first of a burst of changes (setNeedsLayout), and
// while the grid is resized, where cells move only when the column count changes.
class OVGridViewController : public OVViewController,
                             public OVGridItemDelegate,
                             public OVViewDelegate,
                             public OVGridItemOwner
{
    Q_OBJECT

public:
    static constexpr unsigned maxSections = 100;
    static constexpr double layoutDelay = 0.5;
    // The index a search that finds nothing answers.
    static constexpr unsigned notFound = ~0u;

    enum LayoutMode
    {
        Instant = 0,        // nothing animates
        OnColumnChange = 1, // the cells move only when the column count changed since the last layout
        Animated = 2,
    };

    // `delay`: how long setNeedsLayout waits for the rest of a burst (0: the next turn of the event loop).
    explicit OVGridViewController(const pf::Bundle* bundle = nullptr, double delay = layoutDelay);
    ~OVGridViewController() override;
    QString className() const override { return QStringLiteral("OVGridViewController"); }
    void loadView() override;

    // Held weakly: nullptr once the delegate is gone.
    OVGridViewDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(OVGridViewDelegate* delegate);
    bool allowMultiSelection() const { return m_allowMultiSelection; }
    void setAllowMultiSelection(bool allow) { m_allowMultiSelection = allow; }

    // The cell size: (w, w / aspect ratio). The width is remembered in the user default "IconWidth".
    // Widths and ratios that would not give a cell above 0 and up to OVGridLayout::largestMeasure, and
    // margins outside 0 to that measure, are refused with a warning.
    double iconWidth() const { return m_iconSize.width; }
    void setIconWidth(double width);
    pf::Size iconSize() const { return m_iconSize; }
    double aspectRatio() const { return m_aspectRatio; }
    void setAspectRatio(double ratio);
    pf::Size margin() const { return m_margin; }
    void setMarginWidth(double width);
    void setMarginHeight(double height);
    pf::Size gridSpacing() const { return m_gridSpacing; }

    pf::ScrollView* scrollView() const { return m_scrollView; }
    void setScrollView(pf::ScrollView* scrollView);
    pf::View* container() const { return m_container; }
    pf::View* gridParentView() const { return m_gridParentView; }
    void setGridParentView(pf::View* parent);
    bool showShadows() const { return m_showShadows; }
    void setShowShadows(bool show);
    pf::View* topShadow() const { return m_topShadow; }
    pf::View* bottomShadow() const { return m_bottomShadow; }

    // 0 with the top of the grid shown, 1 at the bottom.
    double scrollPosition() const;
    void setScrollPosition(double position);

    // Sections. A section's settings and background stay with it when an earlier section is removed.
    unsigned addSectionWithSettings(quint64 settings, pf::View* background = nullptr);
    void removeSection(unsigned section);
    void removeAllSections();
    unsigned sectionCount() const { return unsigned(m_sections.size()); }
    QList<OVGridItem*> gridItemsInSection(unsigned section) const;
    quint64 settingsOfSection(unsigned section) const;
    pf::View* backgroundOfSection(unsigned section) const;

    // Items. A section number that does not exist is refused with a warning: no item.
    OVGridItem* addImage(const QImage& image, const QString& title, const QVariant& context,
                         const QVariant& sortTag, unsigned section);
    // The grid takes the item (from the grid or stack that held it); false (and the item stays the
    // caller's) for a section that does not exist.
    bool addGridItem(OVGridItem* item, unsigned section, bool instant = false);
    // The section holds `items` (sorted), laid out at once; the items it held go as a bulk removal. The
    // delegate hears first that nothing is selected (and may change the grid then).
    void instantReplaceGridItems(const QList<OVGridItem*>& items, unsigned section);
    void removeItemWithContext(const QVariant& context);
    void removeItemsInSection(unsigned section, bool animated);
    // The item taken out (deleted at a later turn of the event loop unless it is put into a view again),
    // or nullptr for numbers that name no item. Items out of sight go without a fade; those of a bulk
    // removal (a section, a replacement) wait hidden in the container until they go.
    OVGridItem* removeItemAtIndex(unsigned section, unsigned index, bool animated);
    // (section, index) of the first item whose context equals `context`; (notFound, notFound) if none.
    // An empty context stands for no item.
    std::pair<unsigned, unsigned> indexForObjectWithContext(const QVariant& context) const;
    // (section, index) of the item itself; (notFound, notFound) when the grid does not hold it.
    std::pair<unsigned, unsigned> indexOfItem(const OVGridItem* item) const;
    OVGridItem* gridItemForContext(const QVariant& context) const;
    void centerGridItem(OVGridItem* item);
    void deselectAllItems();
    OVGridItem* selectedItem() const { return m_selectedItem; }

    virtual void refreshLayout(int mode);
    void setNeedsLayout(bool flag);
    bool layoutIsPending() const { return m_delayedLayout.isPending(); }
    const OVGridLayout& layout() const { return m_layout; }
    // The parameters of the next layout, from the scroll view and the settings.
    virtual OVGridLayout::Parameters layoutParameters() const;

    // OVViewDelegate
    bool takesClicks() const override { return true; }
    void viewWasClicked(pf::View* view) override;
    void viewDidAutoresize(pf::View* view) override;
    // OVGridItemDelegate
    void gridItemWasExecuted(OVGridItem* item) override;
    void gridItemWasSelected(OVGridItem* item) override;
    void gridItemShouldRemove(OVGridItem* item) override;
    void gridItemChangedPinState(OVGridItem* item, bool pinned) override;
    void gridItemChangedHoverState(OVGridItem* item, bool hovered) override;
    // OVGridItemOwner
    void gridItemWasTaken(OVGridItem* item) override;

protected:
    // How long a layout moves the items, and how long a removed item fades (0: it goes at once).
    virtual double layoutAnimationDuration() const;
    virtual double removalFadeDuration() const;

private:
    struct Section
    {
        QList<QPointer<OVGridItem>> items;
        quint64 settings = 0;
        QPointer<pf::View> background;
    };

    void setup();
    void sortSection(unsigned section);
    void viewDidScroll();
    bool checkSection(unsigned section, const char* operation) const;
    static bool acceptsMeasure(double value, const char* what, bool zeroAllowed = false);
    // Whether the items held now, in cells of `cell` with `margin`, leave the container no taller than a
    // widget can be; warns about the refused `what` when not.
    bool fitsContainer(pf::Size cell, pf::Size margin, const char* what, double value) const;
    // `bulk`: one of many taken out at once, parked hidden in the container until it goes.
    OVGridItem* takeItemAtIndex(unsigned section, unsigned index, bool animated, bool bulk);
    void retire(OVGridItem* item, bool park);
    // Takes the item into a section as addGridItem does, without sorting (`unlisted`: the caller knows
    // that no section lists it); false when the item, the grid or the section went on the way.
    bool placeItem(OVGridItem* item, unsigned section, bool instant, bool unlisted = false);
    // Drops what no longer lives from the sections' lists.
    void forgetDeletedItems();
    void itemDestroyed();

    std::vector<Section> m_sections;
    OVGridViewDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    pf::Size m_iconSize{200, 200};
    double m_aspectRatio = 1.0;
    bool m_allowMultiSelection = false;
    QPointer<OVGridItem> m_selectedItem;
    bool m_showShadows = false;
    pf::Size m_margin{5, 35};
    pf::Size m_gridSpacing{15, 15};
    OVDelayedLayout m_delayedLayout;
    OVGridLayout m_layout;
    QPointer<pf::ScrollView> m_scrollView;
    QPointer<pf::View> m_container;
    QPointer<pf::View> m_parking; // items of a bulk removal until they go
    QPointer<pf::View> m_topShadow, m_bottomShadow;
    QPointer<pf::View> m_gridParentView;
    pf::ObserverToken m_scrollObserver;
    bool m_setUp = false;
};
