#pragma once

#include <memory>

namespace pf {

// What a delegate class derives from to hand out its token (see WeakDelegate): a shared pointer to the
// delegate, made with it and cleared when it is destroyed. Not copyable: a copy would be another delegate
// with the same token.
template <typename Delegate> class DelegateToken
{
public:
    DelegateToken() : m_token(std::make_shared<DelegateToken*>(this)) {}
    ~DelegateToken() { *m_token = nullptr; }
    DelegateToken(const DelegateToken&) = delete;
    DelegateToken& operator=(const DelegateToken&) = delete;

    // A handle that reads null once the delegate is destroyed.
    std::weak_ptr<DelegateToken*> token() const { return m_token; }

private:
    std::shared_ptr<DelegateToken*> m_token;
};

} // namespace pf
