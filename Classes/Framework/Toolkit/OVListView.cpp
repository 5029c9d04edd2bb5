#include "Classes/Framework/Toolkit/OVListView.h"

#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVListEntryView.h"
#include "Classes/Framework/Toolkit/OVListViewDelegate.h"
#include "Classes/Framework/Toolkit/ObjectORVExtension.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/ViewAnimator.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Holds an entry that left its list: when the last holder goes and nobody put the entry back into a
// view (it still waits among the list's parked entries), it is deleted at a later turn.
struct EntryKeeper
{
    QPointer<OVListEntryView> entry;
    QPointer<pf::View> parking;
    ~EntryKeeper()
    {
        if (entry && (!entry->parentWidget() || entry->superview() == parking))
            entry->deleteLater();
    }
};

} // namespace

OVListView::OVListView(const pf::Rect& frame, QWidget* parent) : pf::View(frame, parent)
{
    auto* line = new OVImageView(pf::Rect(0, 0, bounds().width(), 1));
    line->setBorderWidth(1);
    line->setBorderColor(QColor(Qt::transparent));
    addSubview(line);
    m_lastLine = line;
    // Entries taken out all at once wait here, hidden, until they go or come back: a widget that leaves
    // its window walks every widget of the window, which made emptying a long list take quadratic time.
    auto* parking = new pf::View(pf::Rect());
    parking->hide();
    addSubview(parking);
    m_parking = parking;
}

OVListView::~OVListView()
{
    *m_alive = false;
    // The entries go with the list's widget, after its members: they report to it no more.
    // An entry another view took out of the list outlives it, and none reports to it from here on.
    for (OVListEntryView* entry : std::as_const(m_entries)) {
        disconnect(entry, &QObject::destroyed, this, nullptr);
        if (entry->delegate() == this)
            entry->setDelegate(nullptr);
    }
    if (m_updateTimer)
        m_updateTimer->invalidate();
    if (OVListViewDelegate* owner = delegate())
        owner->listViewWillDealloc(this);
    // The entries taken out in the turn that ends the list may still be handling their own events: they
    // leave the window in one go and are deleted later.
    if (m_parking) {
        m_parking->removeFromSuperview();
        m_parking->deleteLater();
    }
}

void OVListView::setLastLineColorName(const QString& text)
{
    if (m_lastLine)
        m_lastLine->setBorderColorName(text);
}

OVListEntryView* OVListView::entryAtIndex(unsigned index) const
{
    return index < count() ? m_entries[int(index)] : nullptr;
}

OVListEntryView* OVListView::entryForContext(const QVariant& context) const
{
    for (OVListEntryView* entry : m_entries)
        if (entry->context() == context)
            return entry;
    return nullptr;
}

unsigned OVListView::indexOfEntry(const OVListEntryView* entry) const
{
    const int index = m_entries.indexOf(const_cast<OVListEntryView*>(entry));
    return index < 0 ? notFound : unsigned(index);
}

QList<QPointer<OVListEntryView>> OVListView::guardedEntries() const
{
    QList<QPointer<OVListEntryView>> entries;
    entries.reserve(m_entries.size());
    for (OVListEntryView* entry : m_entries)
        entries.append(entry);
    return entries;
}

double OVListView::heightOf(const OVListEntryView* entry)
{
    const double height = entry->preferredHeight();
    if (std::isfinite(height) && height >= 0)
        return height;
    pf::warning(
        QStringLiteral("The list lays out an entry that prefers the height %1 as 0 high").arg(height));
    return 0;
}

double OVListView::neededHeight() const
{
    double height = 0;
    for (OVListEntryView* entry : m_entries)
        height += heightOf(entry);
    return height;
}

void OVListView::setDelegate(OVListViewDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->listViewDelegateLifetime() : std::weak_ptr<const void>();
}

std::shared_ptr<void> OVListView::keeper(OVListEntryView* entry)
{
    auto keep = std::make_shared<EntryKeeper>();
    keep->entry = entry;
    keep->parking = m_parking;
    return keep;
}

void OVListView::setUndoManager(pf::UndoManager* manager)
{
    m_undoManager = manager;
    m_undoManagerLifetime = manager ? manager->lifetime() : std::weak_ptr<const void>();
}

void OVListView::registerUndo(std::function<void()> action, const QString& verb)
{
    pf::UndoManager* manager = undoManager();
    if (!manager)
        return;
    manager->registerUndo(this, [alive = std::weak_ptr<bool>(m_alive), action = std::move(action)] {
        if (const auto flag = alive.lock(); flag && *flag)
            action();
    });
    manager->setActionName(pf::localized(verb + m_denomination));
}

void OVListView::addListEntry(OVListEntryView* entry)
{
    insertListEntry(entry, count());
}

void OVListView::insertListEntry(OVListEntryView* entry, unsigned index)
{
    if (!entry)
        return;
    // An entry is listed once: one listed elsewhere leaves that list, one listed here moves. Otherwise a
    // list would delete an entry that another (or this one, at another place) still shows. The other
    // list's reports may delete this list or the entry.
    if (auto* other = qobject_cast<OVListView*>(entry->superview()); other && other != this) {
        const QPointer<OVListView> self(this);
        const QPointer<OVListEntryView> guard(entry);
        other->removeListEntry(entry);
        if (!self || !guard)
            return;
    }
    if (const unsigned from = m_listed.contains(entry) ? indexOfEntry(entry) : notFound; from != notFound) {
        if (index > count())
            pf::warning(
                QStringLiteral("The list cannot insert at %1: it has %2 entries").arg(index).arg(count()));
        else
            moveEntryFrom(from, std::min(index, count() - 1));
        return;
    }
    if (index > count()) {
        pf::warning(
            QStringLiteral("The list cannot insert at %1: it has %2 entries").arg(index).arg(count()));
        return;
    }
    const QPointer<OVListView> self(this);
    const QPointer<OVListEntryView> guard(entry);
    if (index == 0 && m_lastLine)
        m_lastLine->setAutoresizingMask(entry->autoresizingMask());
    const pf::Rect b = bounds();
    // Listed first, so that whatever the steps below reach finds the list as it is.
    m_entries.insert(int(index), entry);
    m_listed.insert(entry);
    // Deleted by someone else while listed, it leaves the list.
    disconnect(entry, &QObject::destroyed, this, nullptr);
    connect(entry, &QObject::destroyed, this,
            [this, address = static_cast<const void*>(entry)] { entryDestroyed(address); });
    // It slides in from the top edge.
    entry->setFrame(pf::Rect(0, b.height(), b.width(), heightOf(entry)));
    entry->setDelegate(this);
    addSubview(entry);
    if (!self || !guard)
        return;
    entry->show();
    // The other entries' states stay as they are: only the new one is told of the coming pass (telling
    // every entry made adding entries one by one take quadratic time).
    entry->layoutWillChange();
    if (!self || !guard)
        return;
    scheduleLayout(NextTurn);
    registerUndo([this, index] { removeListEntryUsing(index); }, QStringLiteral("Insert "));
    if (OVListViewDelegate* owner = delegate())
        owner->listViewDidInsertEntry(this, entry, index);
}

void OVListView::removeListEntryAtIndex(unsigned index)
{
    removeEntry(index, false);
}

void OVListView::removeEntry(unsigned index, bool bulk)
{
    if (index >= count()) {
        pf::warning(QStringLiteral("The list has no entry %1 to remove: it has %2").arg(index).arg(count()));
        return;
    }
    // The reports below may change the list, delete the entry or the list itself.
    const QPointer<OVListView> self(this);
    const QPointer<OVListEntryView> entry = m_entries[int(index)];
    if (entry == m_selectedEntry) {
        setSelectedEntry(nullptr);
        if (!self)
            return;
        // The reports may have changed the list: the entry is found again, and left alone if it went.
        index = entry ? indexOfEntry(entry) : notFound;
        if (index == notFound)
            return;
    }
    if (entry == m_draggedEntry)
        m_draggedEntry = nullptr;
    m_entries.removeAt(int(index));
    m_listed.remove(entry.data());
    disconnect(entry, &QObject::destroyed, this, nullptr);
    entry->setDelegate(nullptr);
    if (bulk && m_parking)
        m_parking->addSubview(entry);
    else
        entry->removeFromSuperview();
    if (!self || !entry)
        return;
    // From here the undo action owns the entry; without one it goes at a later turn, never inside the
    // handler of its own remove button.
    std::shared_ptr<void> keep = keeper(entry);
    // A delegate told that nothing is selected may have chosen this very entry again: now that it is no
    // longer listed, the selection moves on.
    if (entry == m_selectedEntry) {
        setSelectedEntry(nullptr);
        if (!self)
            return;
    }
    if (!bulk)
        scheduleLayout(NextTurn);
    // The entry may have gone through another list (which deleted it) by the time this is undone.
    registerUndo(
        [this, keep, entry, index] {
            if (entry)
                insertListEntryUsing(entry, index);
            else
                pf::warning(QStringLiteral("The list cannot put back an entry that was deleted since"));
        },
        QStringLiteral("Remove "));
    if (OVListViewDelegate* owner = delegate(); owner && entry)
        owner->listViewDidRemoveEntry(this, entry);
}

void OVListView::removeAllListEntries()
{
    // The entries listed now, from the last; the reports may change the list (or delete it), so each is
    // looked up again, and the whole removal is laid out once.
    const QPointer<OVListView> self(this);
    const QList<QPointer<OVListEntryView>> entries = guardedEntries();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (*it)
            if (const int index = m_entries.lastIndexOf(it->data()); index >= 0)
                removeEntry(unsigned(index), true);
        if (!self)
            return;
    }
    if (!entries.isEmpty())
        updateListLayout(NextTurn);
}

void OVListView::moveEntryFrom(unsigned from, unsigned to)
{
    if (from >= count()) {
        pf::warning(QStringLiteral("The list has no entry %1 to move: it has %2").arg(from).arg(count()));
        return;
    }
    if (from < m_fixed || to < m_fixed || from == to || to >= count())
        return;
    OVListEntryView* entry = m_entries.takeAt(int(from));
    m_entries.insert(int(to), entry);
    scheduleLayout(NextTurn);
    // A step of a drag is part of the drag's one step.
    const bool dragging = m_draggedEntry;
    if (OVListViewDelegate* owner = delegate()) {
        // The delegate may delete the list, or take the entry away (then there is no move to undo).
        const QPointer<OVListView> self(this);
        owner->listViewDidMoveEntry(this, entry, from, to);
        if (!self || m_entries.value(int(to)) != entry)
            return;
    }
    if (!dragging)
        registerUndo([this, to, from] { moveListEntryUsing(to, from); }, QStringLiteral("Reorder "));
}

void OVListView::insertListEntryUsing(OVListEntryView* entry, unsigned index)
{
    insertListEntry(entry, index);
}

void OVListView::removeListEntryUsing(unsigned index)
{
    removeListEntryAtIndex(index);
}

void OVListView::moveListEntryUsing(unsigned from, unsigned to)
{
    moveEntryFrom(from, to);
}

void OVListView::entryDestroyed(const void* address)
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [address](const OVListEntryView* entry) {
        return static_cast<const void*>(entry) == address;
    });
    if (it == m_entries.end())
        return;
    m_entries.erase(it);
    m_listed.remove(address);
    scheduleLayout(NextTurn);
}

void OVListView::setSelectedEntry(OVListEntryView* entry)
{
    if (entry == m_selectedEntry)
        return;
    if (entry && !m_entries.contains(entry)) {
        pf::warning(QStringLiteral("The list cannot select an entry it does not hold"));
        return;
    }
    // The entries and the delegate hear of it, and may change or delete the list.
    const QPointer<OVListView> self(this);
    const QPointer<OVListEntryView> chosen(entry);
    if (m_selectedEntry) {
        m_selectedEntry->setSelected(false);
        if (!self || (entry && !chosen))
            return;
    }
    m_selectedEntry = entry;
    if (entry) {
        entry->setSelected(true);
        if (!self)
            return;
    }
    m_scrollToSelected = true;
    if (OVListViewDelegate* owner = delegate()) {
        owner->listViewDidSelectEntry(this, m_selectedEntry);
        if (!self)
            return;
    }
    updateListLayout(m_defaultBehavior);
}

unsigned OVListView::selectedIndex() const
{
    return m_selectedEntry ? indexOfEntry(m_selectedEntry) : notFound;
}

void OVListView::setSelectedIndex(unsigned index)
{
    if (index < count())
        setSelectedEntry(m_entries[int(index)]);
}

bool OVListView::layoutIsPending() const
{
    return m_updateTimer && m_updateTimer->isValid();
}

void OVListView::updateListLayout(int behavior)
{
    // The entries' reports reach the delegate, which may insert or remove entries, or delete the list:
    // walk a copy.
    const QPointer<OVListView> self(this);
    for (const QPointer<OVListEntryView>& entry : guardedEntries()) {
        if (entry)
            entry->layoutWillChange();
        if (!self)
            return;
    }
    scheduleLayout(behavior);
}

void OVListView::scheduleLayout(int behavior)
{
    if (behavior & (LayOutNow | AnimateNow)) {
        m_updateBehavior = behavior;
        refreshLayout();
        return;
    }
    if (layoutIsPending() && m_updateBehavior <= behavior)
        return;
    m_updateBehavior = behavior;
    if (m_updateTimer)
        m_updateTimer->invalidate();
    m_updateTimer = pf::Timer::scheduled((behavior & NextTurn) ? 0 : deferredDelay, false,
                                         [this](pf::Timer&) { refreshLayout(); }, this);
}

void OVListView::refreshLayout()
{
    auto finals = std::make_shared<std::vector<std::pair<QPointer<OVListEntryView>, pf::Rect>>>();
    if (m_updateTimer)
        m_updateTimer->invalidate();
    m_updateTimer.reset();

    const int behavior = m_updateBehavior;
    bool ownGroup = false;
    if (behavior & AnimateNow) {
        pf::ViewAnimator::beginGrouping();
        pf::ViewAnimator::setDuration(pf::ViewAnimator::defaultDuration);
        ownGroup = true;
    } else {
        // Without an animation context of the caller's, one of our own to chain the completion to.
        if (!pf::ViewAnimator::isGrouping()) {
            pf::ViewAnimator::beginGrouping();
            ownGroup = true;
        }
        if (behavior & LayOutNow)
            pf::ViewAnimator::setDuration(0);
        else if (pf::ViewAnimator::slowMotionRequested())
            pf::ViewAnimator::setDuration(20);
    }

    // Overlapping passes: only the last to finish applies the final frames and the entries' states.
    ++m_runningAnimations;
    std::function<void()> earlier = pf::ViewAnimator::completion();
    pf::ViewAnimator::setCompletion([this, alive = std::weak_ptr<bool>(m_alive), finals, earlier] {
        const auto lives = [&] {
            const auto flag = alive.lock();
            return flag && *flag;
        };
        if (lives()) {
            if (m_runningAnimations > 0)
                --m_runningAnimations;
            // The entries' state reports reach the delegate, which may delete the list meanwhile.
            if (m_runningAnimations == 0) {
                for (const auto& [entry, frame] : *finals) {
                    if (!lives())
                        break;
                    if (entry && entry->superview() == this) {
                        entry->setFrame(frame);
                        if (entry)
                            entry->layoutDidChange();
                    }
                }
            }
        }
        if (earlier)
            earlier();
    });

    // The delegate hears of the pass below and may delete the list: the animation group this pass
    // opened is closed all the same.
    const QPointer<OVListView> self(this);
    const auto gone = [&] {
        if (self)
            return false;
        if (ownGroup)
            pf::ViewAnimator::endGrouping();
        return true;
    };
    const pf::Rect selectedBefore = m_selectedEntry ? m_selectedEntry->frame() : pf::Rect();
    const double needed = neededHeight();
    double height = needed;
    double offset = 0;
    if (OVListViewDelegate* owner = delegate()) {
        const std::optional<double> answer = owner->listViewWillResize(this, needed);
        if (gone())
            return;
        if (answer) {
            if (std::isfinite(*answer) && *answer >= 0) {
                height = *answer;
                offset = std::max(*answer - needed, 0.0);
            } else {
                pf::warning(QStringLiteral("The list ignores the height %1 from its delegate").arg(*answer));
            }
        }
    }
    const pf::Rect own = frame();
    ViewORVExtension::viewAnimator(this, true)
        .setFrame(pf::Rect(own.minX(), own.minY(), own.width(), height));
    if (gone())
        return;
    if (m_lastLine)
        ViewORVExtension::viewAnimator(m_lastLine, true).setFrameOrigin(pf::Point(0, offset - 1));

    const double width = bounds().width();
    double y = offset;
    for (const QPointer<OVListEntryView>& entry : guardedEntries()) {
        if (!entry)
            continue;
        const double p = heightOf(entry);
        if (entry != m_draggedEntry) {
            const pf::Rect target(0, y, width, p);
            ViewORVExtension::viewAnimator(entry, true).setFrame(target);
            finals->emplace_back(entry, target);
            OVListViewDelegate* owner = delegate();
            if (entry == m_selectedEntry && owner) {
                const bool openAction = m_scrollToSelected;
                m_scrollToSelected = false;
                owner->listViewShouldShowFrame(this, target, selectedBefore, openAction);
                if (gone())
                    return;
            }
        }
        y += p;
    }
    if (ownGroup)
        pf::ViewAnimator::endGrouping();
}

void OVListView::updateOrderForDraggedEntry()
{
    OVListEntryView* dragged = m_draggedEntry;
    if (!dragged)
        return;
    const int n = int(count());
    const double top = dragged->frame().maxY();
    const int from = int(indexOfEntry(dragged));
    const int m = m_fixed == 0 ? 1 : int(m_fixed);
    int k = n - 1;
    double edge = bounds().height();
    bool repeated = false;
    if (m <= n - 1 && top < edge) {
        do {
            edge -= m_entries[k]->frame().height();
            --k;
            repeated = true;
        } while (k >= m && top < edge);
    }
    int target = n - 1;
    if (repeated)
        target = (top <= edge || from <= k) ? k : k + 1;
    if (target >= 0)
        moveEntryFrom(unsigned(from), unsigned(target));
}

void OVListView::listEntryWasClicked(OVListEntryView* entry)
{
    setSelectedEntry(entry == m_selectedEntry ? nullptr : entry);
}

void OVListView::listEntryEnableDidChange(OVListEntryView* entry, bool enabled)
{
    ObjectORVExtension::notifyDelegate(delegate(), &OVListViewDelegate::listViewEntryEnableDidChange, this,
                                       entry, enabled);
}

void OVListView::listEntryNeedUpdate(OVListEntryView*, bool instantly)
{
    updateListLayout(instantly ? AnimateNow : NextTurn);
}

void OVListView::removeListEntry(OVListEntryView* entry)
{
    const unsigned index = indexOfEntry(entry);
    if (index != notFound)
        removeListEntryAtIndex(index);
}

void OVListView::dragListEntry(OVListEntryView* entry, pf::Size distance, bool end)
{
    const unsigned index = indexOfEntry(entry);
    if (index == notFound)
        return;
    if (entry != m_draggedEntry) {
        m_draggedEntry = entry;
        m_indexBeforeDrag = index;
        addSubview(entry); // drawn above the others
        update();
    }
    const pf::Rect f = entry->frame();
    double y = f.minY() + distance.height;
    y = std::min(y, bounds().height() - f.height() / 2);
    y = std::max(y, 10 - f.height());
    entry->setFrameOrigin(pf::Point(f.minX(), y));
    update();
    // Reordering reports the move: the delegate may remove the entry (it is then no longer dragged, and
    // nothing of the drag is recorded) or delete the list.
    const QPointer<OVListView> self(this);
    const QPointer<OVListEntryView> guard(entry);
    updateOrderForDraggedEntry();
    if (!self)
        return;
    const unsigned now = guard ? indexOfEntry(entry) : notFound;
    if (now == notFound) {
        m_draggedEntry = nullptr;
        update();
        scheduleLayout(NextTurn);
        return;
    }
    if (end) {
        if (now != m_indexBeforeDrag) {
            const unsigned before = m_indexBeforeDrag;
            // The whole drag is one step.
            registerUndo([this, now, before] { moveListEntryUsing(now, before); },
                         QStringLiteral("Reorder "));
        }
        // Back under the entry that follows it, of those still in the list's view (another view may have
        // taken one out).
        for (unsigned next = now + 1; next < count(); ++next)
            if (m_entries[int(next)]->superview() == this) {
                addSubview(entry, pf::View::Ordering::Below, m_entries[int(next)]);
                break;
            }
        m_draggedEntry = nullptr;
        update();
    }
    scheduleLayout(NextTurn);
}

void OVListView::entryWillOpen(OVListEntryView* entry)
{
    ObjectORVExtension::notifyDelegate(delegate(), &OVListViewDelegate::listViewWillOpenEntry, this, entry);
}

void OVListView::entryDidOpen(OVListEntryView* entry)
{
    ObjectORVExtension::notifyDelegate(delegate(), &OVListViewDelegate::listViewDidOpenEntry, this, entry);
}

void OVListView::entryWillClose(OVListEntryView* entry)
{
    ObjectORVExtension::notifyDelegate(delegate(), &OVListViewDelegate::listViewWillCloseEntry, this, entry);
}

void OVListView::entryDidClose(OVListEntryView* entry)
{
    ObjectORVExtension::notifyDelegate(delegate(), &OVListViewDelegate::listViewDidCloseEntry, this, entry);
}

void OVListView::copyListEntry(OVListEntryView* entry)
{
    ObjectORVExtension::notifyDelegate(delegate(), &OVListViewDelegate::copyListEntry, entry);
}

void OVListView::pasteListEntry(OVListEntryView* entry)
{
    ObjectORVExtension::notifyDelegate(delegate(), &OVListViewDelegate::pasteListEntry, entry);
}

bool OVListView::acceptPasteForListEntry(OVListEntryView* entry)
{
    OVListViewDelegate* owner = delegate();
    return owner && owner->acceptPasteForListEntry(entry);
}

void OVListView::drawRect(QPainter& painter, const pf::Rect&)
{
    // The lifted entry's shadow lies outside it, so the list paints it: drawn aside with the entry's
    // own area cut out, so that it darkens only around the entry.
    if (!m_draggedEntry)
        return;
    const pf::Rect shape = m_draggedEntry->frame();
    const double pad = 8;
    const pf::Rect area = shape.insetBy(-pad, -pad);
    QImage aside(int(std::ceil(area.width())), int(std::ceil(area.height())),
                 QImage::Format_ARGB32_Premultiplied);
    aside.fill(Qt::transparent);
    {
        QPainter p(&aside);
        p.translate(0, aside.height());
        p.scale(1, -1);
        const pf::Rect local(pad, pad, shape.width(), shape.height());
        pf::Shadow shadow;
        shadow.color = QColor(0, 0, 0, 128);
        shadow.offset = pf::Size(1, -1);
        shadow.blurRadius = 3;
        pf::drawWithShadow(p, shadow, pf::Rect(0, 0, area.width(), area.height()),
                           [&](QPainter& q) { q.fillRect(local.toQRectF(), Qt::black); });
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        p.fillRect(local.toQRectF(), Qt::black);
    }
    pf::drawImage(painter, aside, pf::Rect(area.minX(), area.minY(), aside.width(), aside.height()));
}

void OVListView::resizeWithOldSuperviewSize(pf::Size oldSuperviewSize)
{
    if (pf::View* parent = superview(); parent && parent->bounds().size == oldSuperviewSize)
        return;
    pf::View::resizeWithOldSuperviewSize(oldSuperviewSize);
    updateListLayout(m_defaultBehavior);
}

void OVListView::viewWillMoveToWindow(pf::Window* window)
{
    pf::View::viewWillMoveToWindow(window);
    if (window) {
        pf::ViewAnimator::runGroup(0, [this] { updateListLayout(LayOutNow); });
    } else if (m_updateTimer) {
        m_updateTimer->invalidate();
        m_updateTimer.reset();
    }
}
