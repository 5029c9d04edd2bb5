#pragma once

#include <QVariant>

class OVGridViewController;

// What a grid tells its owner, with the items' context objects rather than the items; every operation
// is optional.
class OVGridViewDelegate
{
public:
    virtual ~OVGridViewDelegate() = default;

    // The selection changed; an invalid context means that no item is selected.
    virtual void gridViewSelectedItemWithContext(OVGridViewController*, const QVariant& /*context*/) {}
    virtual void gridViewExecuteItemWithContext(OVGridViewController*, const QVariant& /*context*/) {}
    // The remove button of an item was clicked; the grid removes the item itself right afterwards.
    virtual void gridViewRemoveItemWithContext(OVGridViewController*, const QVariant& /*context*/) {}
    virtual void gridViewHoveringForItemWithContext(OVGridViewController*, bool /*hovering*/,
                                                    const QVariant& /*context*/)
    {}
    virtual void gridViewChangedPinForItemWithContext(OVGridViewController*, bool /*pinned*/,
                                                      const QVariant& /*context*/)
    {}
};
