#pragma once

#include "Classes/Document/GMPaintedRegion.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

namespace pf {
class InkProfile;
}

// Writing a JPEG again without decoding what did not change: every MCU (the blocks one interleaved unit
// of the picture covers) that no painted pixel touches keeps the original's DCT coefficients, copied as
// they are, so the picture there loses nothing however often it is saved. Only the touched MCUs are
// encoded anew, a band of MCU rows at a time, with the original's quantisation tables, sampling and
// colour model: from the retouched pixels where painted and from the original's own decoding elsewhere.
// Safe from any thread.
class GMJPEGBlocks
{
public:
    GMJPEGBlocks() = delete;

    // The retouched picture's pixels for a rectangle of the stored picture, in the file's colours:
    // straight RGBA8888, or for a JPEG of inks straight sRGB floats (RGBA32FPx4) the profile turns
    // into inks.
    using Pixels = std::function<QImage(const QRect& stored)>;

    // `original` with the MCUs `painted` (in stored coordinates) touches encoded from `pixels`, the
    // encoder's own markers only (the caller puts the file's metadata in) and its progression, as the
    // original's. `inks` converts colours for a JPEG of inks (stored inverted where `inverted`). Empty,
    // with a message, when the original cannot be so written (then nothing else is tried here).
    static QByteArray write(const QByteArray& original, const GMPaintedRegion& painted, const Pixels& pixels,
                            const pf::InkProfile* inks, bool inverted, QString* errorMessage);

    // The size of an MCU of the JPEG, in pixels; empty when it is none the library reads.
    static QSize mcuSize(const QByteArray& jpeg);
};
