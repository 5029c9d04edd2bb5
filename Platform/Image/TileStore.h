#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/CopyOnWritePtr.h"

#include <memory>
#include <vector>

namespace pf {

// Pixels of a large, often rewritten image kept as square tiles that are shared until written: a
// snapshot copies the list of tiles, not the pixels, and writing a rectangle copies only the tiles it
// touches. Rows inside a tile run top to bottom like a Bitmap; tile (0, 0) is the top-left tile.
class TileStore
{
public:
    static constexpr int TileSize = 256;
    using Tile = CopyOnWritePtr<std::vector<uint8_t>>;

    TileStore() = default;
    TileStore(int width, int height, Bitmap::Format format);

    bool isNull() const { return m_width <= 0 || m_height <= 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    Bitmap::Format format() const { return m_format; }
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    const std::vector<Tile>& tiles() const { return m_tiles; }
    // Identifies the store a snapshot came from, so caches can update only the tiles that changed.
    const void* lineage() const { return m_lineage.get(); }
    // Holding this keeps the lineage's address from being reused by a later store.
    std::shared_ptr<const void> lineageOwner() const { return m_lineage; }

    // Copies the pixels of the rectangle (x, y, w, h) given in top-down pixel rows into `out` (a bitmap of
    // that size and this store's format).
    void read(int x, int y, int w, int h, Bitmap& out) const;
    // Writes `source` (same format) with its top-left pixel at (x, y) in top-down rows, detaching the
    // tiles it touches; parts outside the store are ignored.
    void write(const Bitmap& source, int x, int y);
    void fill(uint8_t value);

private:
    int m_width = 0, m_height = 0, m_columns = 0, m_rows = 0;
    Bitmap::Format m_format = Bitmap::Format::RGBA8;
    std::vector<Tile> m_tiles;
    std::shared_ptr<int> m_lineage;
};

} // namespace pf
