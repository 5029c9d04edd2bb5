#include "Platform/Foundation/Size.h"

#include "Platform/Foundation/ValueDescription.h"

namespace pf {

namespace {

const auto describe = [](auto& stream, const Size& size) {
    stream << "Size(" << size.width << " x " << size.height << ')';
};

} // namespace

QDebug operator<<(QDebug debug, const Size& size)
{
    return describeToDebug(debug, size, describe);
}

void PrintTo(const Size& size, std::ostream* stream)
{
    describeExactly(stream, size, describe);
}

} // namespace pf
