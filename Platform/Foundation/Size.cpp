#include "Platform/Foundation/Size.h"

#include "Platform/Foundation/ValueDescription.h"

namespace pf {

namespace {

const auto describe = [](auto& stream, const Size& size) {
    stream << "Size(" << size.width << " x " << size.height << ')';
};

} // namespace

PF_DEFINE_VALUE_PRINTERS(Size, describe)

} // namespace pf
