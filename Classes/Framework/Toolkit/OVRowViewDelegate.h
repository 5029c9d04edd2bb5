#pragma once

#include <QString>

class OVRowView;

// What a row view tells its owner; every operation is optional.
class OVRowViewDelegate
{
public:
    virtual ~OVRowViewDelegate() = default;

    virtual void rowWasClicked(OVRowView*) {}
    // A title edited in place; answer true to take it (the row then leaves its title to the delegate),
    // false to let the row take the text as its title.
    virtual bool rowChangedTitle(OVRowView*, const QString& /*title*/) { return false; }
    virtual void rowChangedHover(OVRowView*, bool /*hovered*/) {}
};
