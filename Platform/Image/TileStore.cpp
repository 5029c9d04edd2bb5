#include "Platform/Image/TileStore.h"

#include <algorithm>
#include <cstring>

namespace pf {

TileStore::TileStore(int width, int height, Bitmap::Format format)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)), m_format(format),
      m_lineage(std::make_shared<int>(0))
{
    m_columns = (m_width + TileSize - 1) / TileSize;
    m_rows = (m_height + TileSize - 1) / TileSize;
    const size_t tileBytes = size_t(TileSize) * TileSize * Bitmap::bytesPerPixel(format);
    // Every tile starts as the same zero tile; writes give each its own copy.
    const Tile zero = Tile::make(tileBytes, uint8_t(0));
    m_tiles.assign(static_cast<size_t>(m_columns) * m_rows, zero);
}

void TileStore::read(int x, int y, int w, int h, Bitmap& out) const
{
    const int bpp = Bitmap::bytesPerPixel(m_format);
    uint8_t* dst = out.mutableData();
    if (!dst)
        return;
    for (int row = 0; row < h; ++row) {
        const int sy = y + row;
        uint8_t* dstRow = dst + out.bytesPerRow() * row;
        if (sy < 0 || sy >= m_height) {
            std::memset(dstRow, 0, out.bytesPerRow());
            continue;
        }
        int col = 0;
        while (col < w) {
            const int sx = x + col;
            if (sx < 0 || sx >= m_width) {
                std::memset(dstRow + size_t(col) * bpp, 0, size_t(bpp));
                ++col;
                continue;
            }
            const int tx = sx / TileSize, ty = sy / TileSize;
            const int inX = sx - tx * TileSize, inY = sy - ty * TileSize;
            const int run = std::min({w - col, TileSize - inX, m_width - sx});
            const auto& tile = *m_tiles[size_t(ty) * m_columns + tx];
            std::memcpy(dstRow + size_t(col) * bpp, tile.data() + (size_t(inY) * TileSize + inX) * bpp,
                        size_t(run) * bpp);
            col += run;
        }
    }
}

void TileStore::write(const Bitmap& source, int x, int y)
{
    if (source.isNull() || source.format() != m_format)
        return;
    const int bpp = Bitmap::bytesPerPixel(m_format);
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + source.width(), m_width), y1 = std::min(y + source.height(), m_height);
    if (x0 >= x1 || y0 >= y1)
        return;
    for (int ty = y0 / TileSize; ty <= (y1 - 1) / TileSize; ++ty) {
        for (int tx = x0 / TileSize; tx <= (x1 - 1) / TileSize; ++tx) {
            Tile& tile = m_tiles[size_t(ty) * m_columns + tx];
            if (tile.isShared())
                tile = Tile::make(*tile);
            const int cx0 = std::max(x0, tx * TileSize), cx1 = std::min(x1, (tx + 1) * TileSize);
            const int cy0 = std::max(y0, ty * TileSize), cy1 = std::min(y1, (ty + 1) * TileSize);
            for (int sy = cy0; sy < cy1; ++sy) {
                std::memcpy(tile->data() +
                                (size_t(sy - ty * TileSize) * TileSize + (cx0 - tx * TileSize)) * bpp,
                            source.row(sy - y) + size_t(cx0 - x) * bpp, size_t(cx1 - cx0) * bpp);
            }
        }
    }
}

void TileStore::fill(uint8_t value)
{
    if (m_tiles.empty())
        return;
    const Tile filled = Tile::make(m_tiles.front()->size(), value);
    std::fill(m_tiles.begin(), m_tiles.end(), filled);
}

} // namespace pf
