#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <utility>

namespace pf {

// Shared ownership for values that are copied only when written (a bitmap's pixels, a tile store's
// tiles). Whether a value is still shared is read from a count of the pointers that hold it: a pointer
// that lets go lowers it with release ordering, and isShared() reads it with acquire ordering. So when a
// writer learns that it holds the value alone, every read another thread made through a pointer it has
// since let go happened before, and writing in place cannot race with it. A shared_ptr's use_count() is
// a relaxed read and orders nothing; no copy-on-write decision in the engine rests on it.
//
// Like a shared_ptr, one pointer is not for two threads at once where one of them changes it; different
// pointers to one value are.
template <typename T> class CopyOnWritePtr
{
public:
    using element_type = typename std::shared_ptr<T>::element_type;

    CopyOnWritePtr() = default;
    CopyOnWritePtr(std::nullptr_t) {}
    // Takes `value` over; it must have no other owner.
    explicit CopyOnWritePtr(std::shared_ptr<T> value)
    {
        if (!value)
            return;
        element_type* pointer = value.get();
        auto block = std::make_shared<Block>(std::move(value));
        m_holders = &block->holders;
        m_value = std::shared_ptr<T>(std::move(block), pointer);
    }
    template <typename... Args> static CopyOnWritePtr make(Args&&... args)
    {
        return CopyOnWritePtr(std::make_shared<T>(std::forward<Args>(args)...));
    }

    CopyOnWritePtr(const CopyOnWritePtr& other) : m_value(other.m_value), m_holders(other.m_holders)
    {
        if (m_holders)
            m_holders->fetch_add(1, std::memory_order_relaxed);
    }
    CopyOnWritePtr(CopyOnWritePtr&& other) noexcept
        : m_value(std::move(other.m_value)), m_holders(std::exchange(other.m_holders, nullptr))
    {}
    CopyOnWritePtr& operator=(const CopyOnWritePtr& other)
    {
        if (this != &other)
            *this = CopyOnWritePtr(other);
        return *this;
    }
    CopyOnWritePtr& operator=(CopyOnWritePtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_value = std::move(other.m_value);
            m_holders = std::exchange(other.m_holders, nullptr);
        }
        return *this;
    }
    ~CopyOnWritePtr() { reset(); }

    void reset()
    {
        if (m_holders)
            std::exchange(m_holders, nullptr)->fetch_sub(1, std::memory_order_acq_rel);
        m_value.reset();
    }

    element_type* get() const { return m_value.get(); }
    element_type& operator*() const { return *m_value; }
    element_type* operator->() const { return m_value.get(); }
    explicit operator bool() const { return m_value != nullptr; }
    bool operator==(const CopyOnWritePtr& other) const { return m_value == other.m_value; }

    // True while another pointer holds the value. False means this pointer holds it alone, and that
    // everything done through the others happened before this call returned.
    bool isShared() const { return m_holders && m_holders->load(std::memory_order_acquire) != 1; }

    // Expires when the last pointer to the value lets it go, without keeping the value alive.
    std::weak_ptr<const void> lifetime() const { return m_value; }

private:
    struct Block
    {
        explicit Block(std::shared_ptr<T> v) : value(std::move(v)) {}
        std::atomic<long> holders{1};
        std::shared_ptr<T> value;
    };

    std::shared_ptr<T> m_value; // points into the block's value, owns the block
    std::atomic<long>* m_holders = nullptr;
};

} // namespace pf
