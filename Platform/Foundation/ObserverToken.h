#pragma once

#include <functional>
#include <utility>

namespace pf {

// Keeps a registration (an observer, a callback) alive; destroying or resetting the token removes it.
// Move-only, so exactly one owner decides when the registration ends.
class ObserverToken
{
public:
    ObserverToken() = default;
    explicit ObserverToken(std::function<void()> remove) : m_remove(std::move(remove)) {}
    ObserverToken(ObserverToken&& other) noexcept : m_remove(std::exchange(other.m_remove, nullptr)) {}
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    ~ObserverToken() { reset(); }

    // Removes the registration now; safe to call more than once.
    void reset();
    explicit operator bool() const { return static_cast<bool>(m_remove); }

private:
    std::function<void()> m_remove;
};

} // namespace pf
