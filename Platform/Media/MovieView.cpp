#include "Platform/Media/MovieView.h"

#include "Platform/Media/Movie.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <algorithm>

namespace pf {

MovieView::MovieView(const Rect& frame, QWidget* parent) : View(frame, parent) {}

void MovieView::setMovie(Movie* movie)
{
    QObject::disconnect(m_frameConnection);
    m_movie = movie;
    if (movie)
        m_frameConnection =
            QObject::connect(movie, &Movie::frameChanged, this, [this] { setNeedsDisplay(); });
    setNeedsDisplay();
}

void MovieView::play()
{
    if (m_movie)
        m_movie->play();
}

void MovieView::pause()
{
    if (m_movie)
        m_movie->pause();
}

void MovieView::gotoBeginning()
{
    if (m_movie)
        m_movie->gotoBeginning();
}

void MovieView::drawRect(QPainter& painter, const Rect&)
{
    const Rect area = bounds();
    painter.fillRect(QRectF(area.origin.x, area.origin.y, area.size.width, area.size.height), Qt::black);
    const QImage frame = m_movie ? m_movie->currentFrame() : QImage();
    if (frame.isNull() || frame.width() <= 0 || frame.height() <= 0)
        return;
    const double scale = std::min(area.size.width / frame.width(), area.size.height / frame.height());
    const double w = frame.width() * scale, h = frame.height() * scale;
    const Rect target(area.origin.x + (area.size.width - w) / 2, area.origin.y + (area.size.height - h) / 2,
                      w, h);
    drawImage(painter, frame, target);
}

} // namespace pf
