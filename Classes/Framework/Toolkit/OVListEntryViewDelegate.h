#pragma once

#include "Platform/Foundation/Size.h"

class OVListEntryView;

// What an entry asks of its list; the list implements every operation.
class OVListEntryViewDelegate
{
public:
    virtual ~OVListEntryViewDelegate() = default;

    virtual void listEntryWasClicked(OVListEntryView* entry) = 0;
    virtual void listEntryEnableDidChange(OVListEntryView* entry, bool enabled) = 0;
    virtual void listEntryNeedUpdate(OVListEntryView* entry, bool instantly) = 0;
    virtual void removeListEntry(OVListEntryView* entry) = 0;
    virtual void dragListEntry(OVListEntryView* entry, pf::Size distance, bool end) = 0;
    virtual void entryWillOpen(OVListEntryView* entry) = 0;
    virtual void entryDidOpen(OVListEntryView* entry) = 0;
    virtual void entryWillClose(OVListEntryView* entry) = 0;
    virtual void entryDidClose(OVListEntryView* entry) = 0;
    virtual void copyListEntry(OVListEntryView* entry) = 0;
    virtual void pasteListEntry(OVListEntryView* entry) = 0;
    virtual bool acceptPasteForListEntry(OVListEntryView* entry) = 0;
};
