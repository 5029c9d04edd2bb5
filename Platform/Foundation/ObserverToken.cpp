#include "Platform/Foundation/ObserverToken.h"

namespace pf {

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept
{
    if (this != &other) {
        reset();
        m_remove = std::exchange(other.m_remove, nullptr);
    }
    return *this;
}

void ObserverToken::reset()
{
    if (auto remove = std::exchange(m_remove, nullptr))
        remove();
}

} // namespace pf
