#pragma once

#include "Platform/Foundation/Rect.h"

#include <QMetaType>
#include <memory>

namespace pf {

// Anything a parent places by a frame rectangle (layers, views), seen only as that rectangle. Code that
// needs to know where such an object sits (a filter composing within a layer's frame, say) holds it
// through this interface, usually weakly, without depending on the library that defines it.
class Framed
{
public:
    virtual ~Framed() = default;
    // In the parent's coordinates, y up.
    virtual Rect frame() const = 0;
};

using FramedPtr = std::shared_ptr<Framed>;
using FramedReference = std::weak_ptr<Framed>;

} // namespace pf

Q_DECLARE_METATYPE(pf::FramedPtr)
Q_DECLARE_METATYPE(pf::FramedReference)
