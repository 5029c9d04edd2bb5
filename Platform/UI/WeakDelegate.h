#pragma once

#include <memory>

namespace pf {

// A reference from an object (a layer, an animation) to its delegate that does not own it. The delegate
// classes hand out a token, a shared pointer to themselves that they clear when destroyed; holding only
// a weak handle to it, this reads null from then on, so a delegate that goes away first is simply no
// longer called. `Delegate` needs `std::weak_ptr<Delegate*> token() const` where get() and set() are
// used, and may be incomplete where this is only declared.
template <typename Delegate> class WeakDelegate
{
public:
    Delegate* get() const
    {
        const std::shared_ptr<Delegate*> token = m_token.lock();
        return token ? *token : nullptr;
    }
    void set(Delegate* delegate) { m_token = delegate ? delegate->token() : std::weak_ptr<Delegate*>(); }

private:
    std::weak_ptr<Delegate*> m_token;
};

} // namespace pf
