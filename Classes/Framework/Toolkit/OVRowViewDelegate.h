#pragma once

#include <QString>
#include <memory>

class OVRowView;

// What a row view tells its owner; every operation is optional. The row holds its delegate weakly: a
// delegate destroyed before the row reads as none.
class OVRowViewDelegate
{
public:
    OVRowViewDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVRowViewDelegate(const OVRowViewDelegate&) {}
    OVRowViewDelegate& operator=(const OVRowViewDelegate&) { return *this; }
    virtual ~OVRowViewDelegate() = default;

    std::weak_ptr<const void> rowViewDelegateLifetime() const { return m_lifetime; }

    virtual void rowWasClicked(OVRowView*) {}
    // A title edited in place; answer true to take it (the row then leaves its title to the delegate),
    // false to let the row take the text as its title.
    virtual bool rowChangedTitle(OVRowView*, const QString& /*title*/) { return false; }
    virtual void rowChangedHover(OVRowView*, bool /*hovered*/) {}

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
