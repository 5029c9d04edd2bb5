#pragma once

#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVListEntryViewDelegate.h"
#include "Platform/UI/View.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <memory>

class OVListViewDelegate;

namespace pf {
class Timer;
class UndoManager;
} // namespace pf

// Stacks list entries from the bottom up (index 0 lowest, y-up), each as high as it prefers, and
// animates every change: insertion, removal, reordering, selection (which opens the selected entry and
// closes the previous one), hover and content growth. Layout requests are coalesced (behaviour bits: 1
// now without animation, 2 now animated, 4 at the next turn of the event loop, none after 0.5 s);
// overlapping layout animations are counted, so final frames and the entries' state updates are applied
// once, by the last to finish. The user reorders entries by dragging their handle (one undo step per
// drag). Insertion, removal and reordering register undo actions on the undo manager given to it; an
// entry taken out of the list is owned by its undo action (or deleted at a later turn without one); one
// taken out with all the others waits hidden in the list until it goes or is put into a view again.
// Indexes that name no entry are refused with a warning: no change, no undo. An entry is listed once:
// inserted again it moves, and inserted into another list it leaves this one first.
class OVListView : public pf::View, public OVListEntryViewDelegate
{
    Q_OBJECT

public:
    enum Behavior : int
    {
        LayOutNow = 1,
        AnimateNow = 2,
        NextTurn = 4,
    };
    static constexpr unsigned notFound = ~0u;
    static constexpr double deferredDelay = 0.5;

    explicit OVListView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVListView() override;

    const QList<OVListEntryView*>& entries() const { return m_entries; }
    unsigned count() const { return unsigned(m_entries.size()); }
    // The list takes the entry.
    void addListEntry(OVListEntryView* entry);
    void insertListEntry(OVListEntryView* entry, unsigned index);
    void removeListEntryAtIndex(unsigned index);
    void removeAllListEntries();
    void moveEntryFrom(unsigned from, unsigned to);
    OVListEntryView* entryAtIndex(unsigned index) const;
    OVListEntryView* entryForContext(const QVariant& context) const;
    unsigned indexOfEntry(const OVListEntryView* entry) const;
    double neededHeight() const;

    OVListEntryView* selectedEntry() const { return m_selectedEntry; }
    // An entry the list does not hold is refused with a warning.
    void setSelectedEntry(OVListEntryView* entry);
    unsigned selectedIndex() const;
    void setSelectedIndex(unsigned index);
    OVListEntryView* draggedEntry() const { return m_draggedEntry; }

    void updateListLayout(int behavior);
    void refreshLayout();
    bool layoutIsPending() const;
    int pendingBehavior() const { return m_updateBehavior; }

    unsigned fixed() const { return m_fixed; }
    void setFixed(unsigned fixed) { m_fixed = fixed; }
    // Held weakly: nullptr once the delegate is gone.
    OVListViewDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(OVListViewDelegate* delegate);
    // Held weakly: nullptr once the manager is gone.
    pf::UndoManager* undoManager() const { return m_undoManagerLifetime.expired() ? nullptr : m_undoManager; }
    void setUndoManager(pf::UndoManager* manager);
    QString entryDenomination() const { return m_denomination; }
    void setEntryDenomination(const QString& denomination) { m_denomination = denomination; }
    int defaultBehavior() const { return m_defaultBehavior; }
    void setDefaultBehavior(int behavior) { m_defaultBehavior = behavior; }
    unsigned runningAnimations() const { return m_runningAnimations; }
    void setRunningAnimations(unsigned count) { m_runningAnimations = count; }
    void setLastLineColorName(const QString& text);
    OVImageView* lastLine() const { return m_lastLine; }

    // Undo targets: each performs the plain operation, which registers its inverse.
    void insertListEntryUsing(OVListEntryView* entry, unsigned index);
    void removeListEntryUsing(unsigned index);
    void moveListEntryUsing(unsigned from, unsigned to);

    // OVListEntryViewDelegate
    void listEntryWasClicked(OVListEntryView* entry) override;
    void listEntryEnableDidChange(OVListEntryView* entry, bool enabled) override;
    void listEntryNeedUpdate(OVListEntryView* entry, bool instantly) override;
    void removeListEntry(OVListEntryView* entry) override;
    void dragListEntry(OVListEntryView* entry, pf::Size distance, bool end) override;
    void entryWillOpen(OVListEntryView* entry) override;
    void entryDidOpen(OVListEntryView* entry) override;
    void entryWillClose(OVListEntryView* entry) override;
    void entryDidClose(OVListEntryView* entry) override;
    void copyListEntry(OVListEntryView* entry) override;
    void pasteListEntry(OVListEntryView* entry) override;
    bool acceptPasteForListEntry(OVListEntryView* entry) override;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size) override {}
    void resizeWithOldSuperviewSize(pf::Size oldSuperviewSize) override;
    void viewWillMoveToWindow(pf::Window* window) override;

private:
    // `bulk`: one of all taken out at once, parked hidden in the list and laid out by the caller.
    void removeEntry(unsigned index, bool bulk);
    // The entry's preferred height, or 0 for one that is not a finite number of points or below 0.
    static double heightOf(const OVListEntryView* entry);
    void updateOrderForDraggedEntry();
    // Asks for a layout pass without telling the entries (a change that leaves their states as they are).
    void scheduleLayout(int behavior);
    // An entry deleted by someone else while listed: only its address is left, compared and never
    // followed.
    void entryDestroyed(const void* address);
    // The entries as they are now, each guarded, for walks during which reports may change the list.
    QList<QPointer<OVListEntryView>> guardedEntries() const;
    void registerUndo(std::function<void()> action, const QString& verb);
    // An entry that left the list: kept by its undo action, else deleted at a later turn.
    std::shared_ptr<void> keeper(OVListEntryView* entry);

    QList<OVListEntryView*> m_entries;
    // The addresses of the entries listed, so that an insertion knows without a walk whether it moves.
    QSet<const void*> m_listed;
    QPointer<OVImageView> m_lastLine;
    QPointer<pf::View> m_parking;
    QString m_denomination = QStringLiteral("entry");
    QPointer<OVListEntryView> m_selectedEntry;
    QPointer<OVListEntryView> m_draggedEntry;
    unsigned m_indexBeforeDrag = 0;
    pf::UndoManager* m_undoManager = nullptr;
    std::weak_ptr<const void> m_undoManagerLifetime;
    unsigned m_fixed = 0;
    OVListViewDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    bool m_scrollToSelected = false;
    std::shared_ptr<pf::Timer> m_updateTimer;
    int m_updateBehavior = 0;
    int m_defaultBehavior = NextTurn;
    unsigned m_runningAnimations = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
