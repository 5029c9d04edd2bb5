#include "Classes/Document/GMSavedPicture.h"

#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Document/GMPaintedRegion.h"

#include <algorithm>
#include <cstring>

namespace {

// `rect` of `bitmap` (inside it), copied into `target` at `at`.
void copyInto(const pf::Bitmap& bitmap, const QRect& rect, pf::Bitmap& target, QPoint at)
{
    const size_t pixel = size_t(pf::Bitmap::bytesPerPixel(bitmap.format()));
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(target.mutableRow(at.y() + y) + size_t(at.x()) * pixel,
                    bitmap.row(rect.y() + y) + size_t(rect.x()) * pixel, size_t(rect.width()) * pixel);
}

pf::Bitmap cropped(const pf::Bitmap& bitmap, const QRect& rect)
{
    if (rect == QRect(0, 0, bitmap.width(), bitmap.height()))
        return bitmap;
    pf::Bitmap part(rect.width(), rect.height(), bitmap.format(), pf::Bitmap::Fill::Uninitialized);
    copyInto(bitmap, rect, part, QPoint());
    return part;
}

} // namespace

GMSavedPicture::GMSavedPicture(pf::Bitmap picture)
    : m_width(picture.width()), m_height(picture.height()), m_format(picture.format()),
      m_whole(std::move(picture))
{}

GMSavedPicture::GMSavedPicture(int width, int height, pf::Bitmap::Format format, Render render)
    : m_width(width), m_height(height), m_format(format), m_render(std::move(render))
{}

void GMSavedPicture::keepTransparencyOf(pf::Bitmap photo)
{
    if (!m_render) {
        GMChainRenderer::keepTransparencyOf(m_whole, photo);
        return;
    }
    m_photo = std::move(photo);
}

pf::Bitmap GMSavedPicture::rendered(const QRect& rect) const
{
    std::optional<pf::Bitmap> made = m_render ? m_render(rect) : std::nullopt;
    if (!made || made->width() != rect.width() || made->height() != rect.height())
        return {};
    if (!m_photo.isNull())
        GMChainRenderer::keepTransparencyOf(*made, cropped(m_photo, rect));
    return std::move(*made);
}

pf::Bitmap GMSavedPicture::part(const QRect& rect) const
{
    const QRect inside = rect & QRect(0, 0, m_width, m_height);
    if (inside.isEmpty())
        return {};
    if (!m_render || !m_whole.isNull())
        return m_whole.isNull() ? pf::Bitmap() : cropped(m_whole, inside);
    return rendered(inside);
}

pf::Bitmap GMSavedPicture::paintedPart(const QRect& rect, const GMPaintedRegion& painted) const
{
    const QRect picture(0, 0, m_width, m_height);
    const QRect inside = rect & picture;
    if (inside.isEmpty())
        return {};
    if (!m_render || !m_whole.isNull() || painted.width() != m_width || painted.height() != m_height)
        return part(inside);
    if (!m_bandRect.contains(inside)) {
        // A band across the picture along the rectangle's longer side, from where it starts.
        const bool across = inside.width() >= inside.height();
        const QRect band = across ? QRect(0, inside.top(), m_width, std::max(bandSide, inside.height()))
                                  : QRect(inside.left(), 0, std::max(bandSide, inside.width()), m_height);
        m_bandRect = band & picture;
        m_band = pf::Bitmap(m_bandRect.width(), m_bandRect.height(), m_format, pf::Bitmap::Fill::Zero);
        // Composed only over the runs of steps some layer painted in; the rest stays clear.
        const int length = across ? m_bandRect.width() : m_bandRect.height();
        const auto step = [&](int from, int to) {
            return across ? QRect(m_bandRect.left() + from, m_bandRect.top(), to - from, m_bandRect.height())
                          : QRect(m_bandRect.left(), m_bandRect.top() + from, m_bandRect.width(), to - from);
        };
        for (int start = 0; start < length;) {
            if (!painted.intersects(step(start, std::min(length, start + runStep)))) {
                start += runStep;
                continue;
            }
            // A run goes on over a single clear step: two renders would cost more than the step.
            int end = std::min(length, start + runStep);
            while (end < length && (painted.intersects(step(end, std::min(length, end + runStep))) ||
                                    painted.intersects(step(std::min(length, end + runStep),
                                                            std::min(length, end + 2 * runStep)))))
                end = std::min(length, end + runStep);
            const QRect run = step(start, end);
            const pf::Bitmap made = rendered(run);
            if (made.isNull()) {
                m_bandRect = QRect();
                m_band = pf::Bitmap();
                return {};
            }
            copyInto(made, QRect(0, 0, run.width(), run.height()), m_band,
                     run.topLeft() - m_bandRect.topLeft());
            start = end;
        }
    }
    return cropped(m_band, inside.translated(-m_bandRect.topLeft()));
}

const pf::Bitmap& GMSavedPicture::whole() const
{
    std::call_once(m_made, [this] {
        if (m_render && m_whole.isNull() && !isNull())
            m_whole = rendered(QRect(0, 0, m_width, m_height));
        // The band is a copy of what the whole picture now holds.
        m_band = pf::Bitmap();
        m_bandRect = QRect();
    });
    return m_whole;
}

pf::Bitmap GMSavedPicture::fittedInside(double side) const
{
    const bool fromPreview = !m_preview.isNull() && m_render && m_whole.isNull() &&
                             (m_preview.width() >= side || m_preview.height() >= side ||
                              (m_preview.width() == m_width && m_preview.height() == m_height));
    return GMChainRenderer::fittedInside(fromPreview ? m_preview : whole(), side);
}
