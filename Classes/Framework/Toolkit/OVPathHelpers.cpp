#include "Classes/Framework/Toolkit/OVPathHelpers.h"

#include <QPainter>
#include <QPixmap>
#include <QTransform>
#include <cmath>

void OVPathHelpers::appendArc(QPainterPath& path, pf::Point center, double radius, double startDegrees,
                              double endDegrees, bool clockwise)
{
    double sweep = std::fmod(endDegrees - startDegrees, 360.0);
    if (clockwise && sweep > 0)
        sweep -= 360;
    if (!clockwise && sweep < 0)
        sweep += 360;
    // QPainterPath measures angles as on a y-down screen; in these y-up coordinates they run the other
    // way, so both the start and the sweep change sign.
    const QRectF box(center.x - radius, center.y - radius, 2 * radius, 2 * radius);
    path.arcTo(box, -startDegrees, -sweep);
}

QImage OVPathHelpers::cursorImage(const QPolygonF& outline, double degrees, double scale)
{
    const int side = int(std::lround(16 * scale));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // y-up box of 16 points, turned about its centre.
    painter.scale(scale, scale);
    painter.translate(0, 16);
    painter.scale(1, -1);
    painter.translate(8, 8);
    painter.rotate(degrees); // counter-clockwise in these y-up coordinates
    painter.translate(-8, -8);
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    painter.strokePath(path, QPen(Qt::white, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(path, Qt::black);
    painter.end();
    image.setDevicePixelRatio(scale);
    return image;
}

QCursor OVPathHelpers::cursorFromOutline(const QPolygonF& outline, double degrees, double scale)
{
    return QCursor(QPixmap::fromImage(cursorImage(outline, degrees, scale)), 8, 8);
}
