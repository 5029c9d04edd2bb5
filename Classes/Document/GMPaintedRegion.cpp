#include "Classes/Document/GMPaintedRegion.h"

#include "Platform/Image/ImageNode.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <bit>
#include <cmath>

GMPaintedRegion::GMPaintedRegion(int width, int height, bool all)
    : m_width(std::max(0, width)), m_height(std::max(0, height)), m_words((size_t(m_width) + 63) / 64),
      m_bits(m_words * size_t(m_height), 0)
{
    if (all)
        addRect(QRect(0, 0, m_width, m_height));
}

namespace {

// The rows and columns (top down) a rectangle of the engine's (y up) covers in a picture of that size.
QRect rowsOf(const pf::Rect& rect, int width, int height)
{
    if (rect.isNull() || rect.isInfinite())
        return QRect(0, 0, width, height);
    // Clamped first: a definition may reach far beyond the picture.
    const double minX = std::clamp(rect.minX(), 0.0, double(width)),
                 maxX = std::clamp(rect.maxX(), 0.0, double(width));
    const double minY = std::clamp(rect.minY(), 0.0, double(height)),
                 maxY = std::clamp(rect.maxY(), 0.0, double(height));
    const int left = int(std::floor(minX)), right = int(std::ceil(maxX));
    const int top = height - int(std::ceil(maxY)), bottom = height - int(std::floor(minY));
    if (right <= left || bottom <= top)
        return QRect();
    return QRect(left, top, right - left, bottom - top);
}

// A mask's value at a pixel of its stored bitmap: its green.
bool paintedPixel(const pf::Bitmap& bitmap, const uint8_t* row, int x)
{
    switch (bitmap.format()) {
    case pf::Bitmap::Format::Gray16:
        return reinterpret_cast<const uint16_t*>(row)[x] > 0;
    case pf::Bitmap::Format::Gray8:
        return row[x] > 0;
    case pf::Bitmap::Format::Grayf:
        return reinterpret_cast<const float*>(row)[x] > 0;
    case pf::Bitmap::Format::RGBA8:
        return row[4 * x + 1] > 0;
    case pf::Bitmap::Format::RGBAf:
        return reinterpret_cast<const float*>(row)[4 * x + 1] > 0;
    }
    return true;
}

} // namespace

bool GMPaintedRegion::fromMasks(const std::vector<pf::Image>& masks, int width, int height,
                                pf::RenderContext& context, GMPaintedRegion* region, QString* errorMessage)
{
    *region = GMPaintedRegion(width, height);
    // A band of rows at a time: no float copy of a whole mask is ever held.
    constexpr int bandRows = 128;
    for (const pf::Image& mask : masks) {
        if (mask.isNull()) {
            region->addRect(QRect(0, 0, width, height));
            return true;
        }
        const pf::ImageNode& node = *mask.node();
        if (node.kind == pf::ImageNode::Kind::Empty)
            continue;
        // A mask of one value (a layer nobody painted on yet, a whole one filled): that value everywhere.
        if (node.kind == pf::ImageNode::Kind::Crop && node.input &&
            node.input->kind == pf::ImageNode::Kind::Constant) {
            if (node.input->color[1] > 0)
                region->addRect(rowsOf(node.rect, width, height));
            continue;
        }
        // Stored pixels are read as they are.
        if (node.kind == pf::ImageNode::Kind::Bitmap && node.bitmap.width() == width &&
            node.bitmap.height() == height) {
            for (int y = 0; y < height; ++y) {
                const uint8_t* row = node.bitmap.row(y);
                for (int x = 0; x < width; ++x)
                    if (paintedPixel(node.bitmap, row, x))
                        region->add(x, y);
            }
            continue;
        }
        // Anything else is rendered, only where the mask is defined.
        const QRect defined = rowsOf(mask.definition().extent(), width, height);
        for (int top = defined.top(); !defined.isEmpty() && top <= defined.bottom(); top += bandRows) {
            const int rows = std::min(bandRows, defined.bottom() + 1 - top);
            // The engine's rectangles run y up: the band's bottom row is the lowest y.
            const auto band =
                context.render(mask, pf::Rect(defined.left(), height - top - rows, defined.width(), rows),
                               pf::Bitmap::Format::RGBAf, pf::RenderContext::Reuse::Discard);
            if (!band || band->width() != defined.width() || band->height() != rows) {
                if (errorMessage)
                    *errorMessage = QStringLiteral("Where the layers painted could not be read.");
                return false;
            }
            for (int y = 0; y < rows; ++y) {
                const auto* pixel = reinterpret_cast<const float*>(band->row(y));
                for (int x = 0; x < defined.width(); ++x)
                    if (pixel[4 * x + 1] > 0)
                        region->add(defined.left() + x, top + y);
            }
        }
    }
    return true;
}

bool GMPaintedRegion::isEmpty() const
{
    return std::all_of(m_bits.begin(), m_bits.end(), [](uint64_t word) { return word == 0; });
}

bool GMPaintedRegion::intersects(const QRect& rect) const
{
    const QRect r = rect.intersected(QRect(0, 0, m_width, m_height));
    if (r.isEmpty())
        return false;
    const int first = r.left() >> 6, last = r.right() >> 6;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uint64_t* row = m_bits.data() + size_t(y) * m_words;
        for (int w = first; w <= last; ++w) {
            uint64_t word = row[w];
            if (w == first)
                word &= ~uint64_t(0) << (r.left() & 63);
            if (w == last && (r.right() & 63) != 63)
                word &= (uint64_t(1) << ((r.right() & 63) + 1)) - 1;
            if (word)
                return true;
        }
    }
    return false;
}

QRect GMPaintedRegion::bounds() const
{
    int left = m_width, right = -1, top = m_height, bottom = -1;
    for (int y = 0; y < m_height; ++y) {
        const uint64_t* row = m_bits.data() + size_t(y) * m_words;
        for (size_t w = 0; w < m_words; ++w) {
            if (!row[w])
                continue;
            top = std::min(top, y);
            bottom = y;
            left = std::min(left, int(w * 64) + std::countr_zero(row[w]));
            right = std::max(right, int(w * 64) + 63 - std::countl_zero(row[w]));
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

void GMPaintedRegion::addRect(const QRect& rect)
{
    const QRect r = rect.intersected(QRect(0, 0, m_width, m_height));
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            add(x, y);
}

QPoint GMPaintedRegion::upright(QPoint stored, QSize storedSize, QImageIOHandler::Transformations orientation)
{
    int x = stored.x(), y = stored.y();
    if (orientation & QImageIOHandler::TransformationMirror)
        x = storedSize.width() - 1 - x;
    if (orientation & QImageIOHandler::TransformationFlip)
        y = storedSize.height() - 1 - y;
    // Turned by 90° clockwise: the stored picture's left column becomes the top row.
    if (orientation & QImageIOHandler::TransformationRotate90)
        return QPoint(storedSize.height() - 1 - y, x);
    return QPoint(x, y);
}

QRect GMPaintedRegion::uprightRect(const QRect& stored, QSize storedSize,
                                   QImageIOHandler::Transformations orientation)
{
    const QPoint a = upright(stored.topLeft(), storedSize, orientation);
    const QPoint b = upright(stored.bottomRight(), storedSize, orientation);
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

GMPaintedRegion GMPaintedRegion::stored(QImageIOHandler::Transformations orientation) const
{
    if (orientation == QImageIOHandler::TransformationNone)
        return *this;
    const bool turned = orientation & QImageIOHandler::TransformationRotate90;
    const QSize size = turned ? QSize(m_height, m_width) : QSize(m_width, m_height);
    GMPaintedRegion out(size.width(), size.height());
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const QPoint p = upright(QPoint(x, y), size, orientation);
            if (contains(p.x(), p.y()))
                out.add(x, y);
        }
    return out;
}
