#pragma once

#include <mutex>
#include <utility>

namespace pf {

// A value that any thread may read while another replaces it, such as a setting a test swaps in:
// reads take a copy under the value's own lock. Constant-initialised, so it may stand at namespace
// scope (declare it `constinit`) and is ready before any other static is constructed.
template <typename T> class Guarded
{
public:
    constexpr Guarded() = default;
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    T get() const
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void set(T value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};

} // namespace pf
