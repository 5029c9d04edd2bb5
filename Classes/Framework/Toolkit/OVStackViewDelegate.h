#pragma once

#include <memory>

class OVStackView;

// Told when the pile of a stack view is clicked. The stack holds it weakly: a delegate destroyed first
// reads as none.
class OVStackViewDelegate
{
public:
    OVStackViewDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVStackViewDelegate(const OVStackViewDelegate&) {}
    OVStackViewDelegate& operator=(const OVStackViewDelegate&) { return *this; }
    virtual ~OVStackViewDelegate() = default;
    virtual void didSelectStackView(OVStackView* stackView) = 0;

    std::weak_ptr<const void> stackViewDelegateLifetime() const { return m_lifetime; }

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
