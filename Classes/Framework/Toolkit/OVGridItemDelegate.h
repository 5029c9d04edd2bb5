#pragma once

class OVGridItem;

// What a grid item tells its owner (normally the grid view controller); every operation is optional.
class OVGridItemDelegate
{
public:
    virtual ~OVGridItemDelegate() = default;

    // A click executed the item.
    virtual void gridItemWasExecuted(OVGridItem*) {}
    // The item's selection changed, either way.
    virtual void gridItemWasSelected(OVGridItem*) {}
    // The remove button was clicked.
    virtual void gridItemShouldRemove(OVGridItem*) {}
    // The pin button was clicked; `pinned` is the new state.
    virtual void gridItemChangedPinState(OVGridItem*, bool /*pinned*/) {}
    // The pointer entered (true) or left (false) the item.
    virtual void gridItemChangedHoverState(OVGridItem*, bool /*hovered*/) {}
};
