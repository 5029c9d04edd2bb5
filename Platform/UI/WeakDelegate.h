#pragma once

#include "Platform/UI/DelegateToken.h"

#include <memory>

namespace pf {

// A reference from an object (a layer, an animation) to its delegate that does not own it. The delegate
// classes derive from DelegateToken, which hands out a shared pointer to the delegate that is cleared when
// it is destroyed; holding only a weak handle to it, this reads null from then on, so a delegate that goes
// away first is simply no longer called. `Delegate` may be incomplete where this is only declared.
template <typename Delegate> class WeakDelegate
{
public:
    Delegate* get() const
    {
        const std::shared_ptr<DelegateToken<Delegate>*> token = m_token.lock();
        return token ? static_cast<Delegate*>(*token) : nullptr;
    }
    void set(Delegate* delegate)
    {
        m_token = delegate ? delegate->token() : std::weak_ptr<DelegateToken<Delegate>*>();
    }

private:
    std::weak_ptr<DelegateToken<Delegate>*> m_token;
};

} // namespace pf
