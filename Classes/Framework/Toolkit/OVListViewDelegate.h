#pragma once

#include "Platform/Foundation/Rect.h"

#include <memory>
#include <optional>

class OVListEntryView;
class OVListView;

// What a list tells its owner; every operation is optional. The list holds its delegate weakly: a
// delegate destroyed before the list reads as none.
class OVListViewDelegate
{
public:
    OVListViewDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVListViewDelegate(const OVListViewDelegate&) {}
    OVListViewDelegate& operator=(const OVListViewDelegate&) { return *this; }
    virtual ~OVListViewDelegate() = default;

    virtual void listViewWillDealloc(OVListView*) {}
    // The height to give the list for the height its entries need; none keeps that height.
    virtual std::optional<double> listViewWillResize(OVListView*, double /*neededHeight*/)
    {
        return std::nullopt;
    }
    virtual void listViewDidInsertEntry(OVListView*, OVListEntryView*, unsigned /*index*/) {}
    virtual void listViewDidRemoveEntry(OVListView*, OVListEntryView*) {}
    virtual void listViewDidMoveEntry(OVListView*, OVListEntryView*, unsigned /*from*/, unsigned /*to*/) {}
    // The selected entry's place in every layout pass; `openAction` on the first pass after a selection.
    virtual void listViewShouldShowFrame(OVListView*, const pf::Rect& /*frame*/, const pf::Rect& /*oldFrame*/,
                                         bool /*openAction*/)
    {}
    virtual void listViewEntryEnableDidChange(OVListView*, OVListEntryView*, bool /*enabled*/) {}
    // nullptr: nothing is selected.
    virtual void listViewDidSelectEntry(OVListView*, OVListEntryView*) {}
    virtual void listViewWillOpenEntry(OVListView*, OVListEntryView*) {}
    virtual void listViewDidOpenEntry(OVListView*, OVListEntryView*) {}
    virtual void listViewWillCloseEntry(OVListView*, OVListEntryView*) {}
    virtual void listViewDidCloseEntry(OVListView*, OVListEntryView*) {}
    virtual void copyListEntry(OVListEntryView*) {}
    virtual void pasteListEntry(OVListEntryView*) {}
    virtual bool acceptPasteForListEntry(OVListEntryView*) { return false; }

    std::weak_ptr<const void> listViewDelegateLifetime() const { return m_lifetime; }

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
