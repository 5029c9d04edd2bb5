#pragma once

// Encodes a large picture as one baseline JPEG on every core: the rows are cut into strips that are
// encoded at the same time with the same tables, and joined with restart markers between them, which
// every decoder reads as one picture. Internal to the image engine (ImageFile's writing path).

#include "Platform/Image/Bitmap.h"

#include <QByteArray>

namespace pf {

class ParallelJpegEncoder
{
public:
    ParallelJpegEncoder() = delete;

    // The colour of an 8-bit RGBA bitmap as it stands (premultiplied: over black), alpha dropped, at
    // `quality` (0..100), 4:2:0, at 96 dots per inch. Empty when it cannot be encoded so (too small to
    // be worth strips, or out of memory): the caller then encodes it another way.
    static QByteArray encode(const Bitmap& bitmap, int quality);
};

} // namespace pf
