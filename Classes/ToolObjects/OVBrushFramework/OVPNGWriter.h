#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

// Encodes 16-bit PNGs (grey, or RGBA with straight colour) for mask snapshots, which are large, written
// often and mostly empty. The rows are unfiltered and deflated at the fastest level in bands on all
// cores, each band ending on a full flush so that the bands join into one ordinary zlib stream; a band
// of nothing but zeros (a mask's unpainted rows, the transparent frame around a healed spot) is
// compressed once and its bytes repeated. Any PNG reader reads the result.
class OVPNGWriter
{
public:
    // `row(y, line)` fills row y (top first) in native byte order, width x (1 or 4) values; it is called
    // from several threads at once, each row once. Rows for which `empty(y)` is true are zeros the
    // caller knows of: `row` is not called for them. Nothing, with the reason in `error`, when zlib fails.
    static std::optional<QByteArray> encode16(int width, int height, bool grey,
                                              const std::function<void(int y, quint16* line)>& row,
                                              QString* error = nullptr,
                                              const std::function<bool(int y)>& empty = nullptr);
};
