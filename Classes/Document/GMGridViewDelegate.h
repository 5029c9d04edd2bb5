#pragma once

#include <QVariant>

class GMGridViewController;

// What the picture grid tells its owner, with the tiles' contexts; every operation is optional.
class GMGridViewDelegate
{
public:
    virtual ~GMGridViewDelegate() = default;

    // The selection changed; an invalid context means that no tile is selected.
    virtual void gridViewSelectedItemWithContext(GMGridViewController*, const QVariant& /*context*/) {}
    virtual void gridViewExecuteItemWithContext(GMGridViewController*, const QVariant& /*context*/) {}
    // The remove button of a tile was clicked. Answers whether what the tile stands for went: only then
    // does the grid drop the tile (the owner may have asked the user, who may have said no).
    virtual bool gridViewRemoveItemWithContext(GMGridViewController*, const QVariant& /*context*/)
    {
        return true;
    }
    virtual void gridViewHoveringForItemWithContext(GMGridViewController*, bool /*hovering*/,
                                                    const QVariant& /*context*/)
    {}
    virtual void gridViewChangedPinForItemWithContext(GMGridViewController*, bool /*pinned*/,
                                                      const QVariant& /*context*/)
    {}
};
