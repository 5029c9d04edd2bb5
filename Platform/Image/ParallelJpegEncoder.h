#pragma once

// Encodes a large picture as one baseline JPEG on every core: the rows are cut into strips that are
// encoded at the same time with the same tables, and joined with restart markers between them, which
// every decoder reads as one picture. Internal to the image engine (ImageFile's writing path) and to the
// documents' encoder, which sets the strips up as the photo's file had them.

#include "Platform/Image/Bitmap.h"

#include <QByteArray>

#include <functional>

struct jpeg_compress_struct;

namespace pf {

class ParallelJpegEncoder
{
public:
    ParallelJpegEncoder() = delete;

    // The colour of an 8-bit RGBA bitmap as it stands (premultiplied: over black), alpha dropped, at
    // `quality` (0..100), 4:2:0, at 96 dots per inch. Empty when it cannot be encoded so (too small to
    // be worth strips, or out of memory): the caller then encodes it another way.
    static QByteArray encode(const Bitmap& bitmap, int quality);

    // Sets a compressor up: colour model, tables, sampling, markers; everything but the size, which the
    // strips set. Called once for every strip (from several threads at once) and once to learn the
    // size of the coded unit, so it must set the same each time and must not ask for optimised tables
    // or progression, which strips encoded apart cannot share.
    using Setup = std::function<void(jpeg_compress_struct&)>;
    // The samples of row `y`, laid out as the setup's input components say.
    using Row = std::function<const unsigned char*(int y)>;

    // A `width` x `height` picture whose rows `row` gives, encoded as `setup` says in strips of whole
    // coded units on every core and joined into one picture. Empty where it cannot be so (too small to
    // be worth strips, a strip failed): the caller encodes it in one piece.
    static QByteArray inStrips(int width, int height, const Setup& setup, const Row& row);
};

} // namespace pf
