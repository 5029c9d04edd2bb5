#include "Classes/Document/GMPaintedRegion.h"

#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <bit>

GMPaintedRegion::GMPaintedRegion(int width, int height, bool all)
    : m_width(std::max(0, width)), m_height(std::max(0, height)), m_words((size_t(m_width) + 63) / 64),
      m_bits(m_words * size_t(m_height), 0)
{
    if (all)
        addRect(QRect(0, 0, m_width, m_height));
}

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
        for (int top = 0; top < height; top += bandRows) {
            const int rows = std::min(bandRows, height - top);
            // The engine's rectangles run y up: the band's bottom row is the lowest y.
            const auto band = context.render(mask, pf::Rect(0, height - top - rows, width, rows),
                                             pf::Bitmap::Format::RGBAf, pf::RenderContext::Reuse::Discard);
            if (!band || band->width() != width || band->height() != rows) {
                if (errorMessage)
                    *errorMessage = QStringLiteral("Where the layers painted could not be read.");
                return false;
            }
            for (int y = 0; y < rows; ++y) {
                const auto* pixel = reinterpret_cast<const float*>(band->row(y));
                for (int x = 0; x < width; ++x)
                    if (pixel[4 * x + 1] > 0)
                        region->add(x, top + y);
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
