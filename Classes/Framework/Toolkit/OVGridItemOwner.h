#pragma once

class OVGridItem;

// A grid or a stack that holds grid items. An item has one owner at a time: an owner takes it with
// OVGridItem::setOwner before placing it, and the owner before hears of it here, so that it lets go of
// the item (lists it no more, deletes nothing) instead of deleting it under its new owner.
class OVGridItemOwner
{
public:
    virtual ~OVGridItemOwner() = default;

    virtual void gridItemWasTaken(OVGridItem* item) = 0;
};
