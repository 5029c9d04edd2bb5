#include "Classes/Framework/Toolkit/OVBoxView.h"

#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <cmath>
#include <numbers>

namespace {

constexpr double kCornerRadius = 10;

pf::AttributedString titleText(const QString& title)
{
    pf::TextAttributes attributes;
    attributes.font = pf::systemFont(14);
    attributes.color = QColor::fromRgbF(0.3f, 0.3f, 0.3f);
    pf::AttributedString text(title, attributes);
    pf::Shadow shadow;
    shadow.color = QColor::fromRgbF(0, 0, 0, 0.5f);
    shadow.offset = pf::Size(-1, 1);
    shadow.blurRadius = 1;
    text.setShadow(shadow);
    return text;
}

// An arc about `centre` from one angle to the other (degrees, y-up), turning clockwise, joined to the
// path's current point by a line.
void appendClockwiseArc(QPainterPath& path, pf::Point centre, double radius, double from, double to)
{
    double sweep = to - from;
    while (sweep >= 0)
        sweep -= 360;
    // The path's angles turn the other way round, since its y runs down where ours runs up.
    path.arcTo(QRectF(centre.x - radius, centre.y - radius, 2 * radius, 2 * radius), -from, -sweep);
}

} // namespace

OVBoxView::OVBoxView(const QString& title, QWidget* parent) : View(pf::Rect(), parent), m_title(title) {}

void OVBoxView::setLightLook(bool light)
{
    ViewORVExtension::setAndRedisplay(*this, m_lightLook, light);
}

pf::Size OVBoxView::titleSize() const
{
    if (m_title.isEmpty())
        return pf::Size(30, 0);
    return pf::Size(std::ceil(titleText(m_title).size().width) + 30, 20);
}

QPainterPath OVBoxView::outline(bool inner) const
{
    const pf::Rect b = bounds();
    const double W = b.width(), H = b.height();
    const pf::Size title = titleSize();
    // The tab: along the left side for box type 0, on top for the others.
    const bool side = m_boxType == 0;
    const double s = side ? title.height : 0, L = side ? title.width : 0;
    const double T = side ? 0 : title.width, U = side ? 0 : title.height;
    const double r = inner ? kCornerRadius - 1 : kCornerRadius;
    const double in = inner ? 1 : 0;
    const double x0 = b.minX(), y0 = b.minY();
    auto at = [&](double x, double y) { return pf::Point(x0 + x, y0 + y); };

    QPainterPath path;
    path.moveTo(at(s + in, L - in).toQPointF());
    appendClockwiseArc(path, at(s + 10, H - 10), r, 180, 90);
    if (U >= 10) {
        appendClockwiseArc(path, at(T - 10, H - 10), r, 90, 0);
        path.lineTo(at(T - in, H - U - in).toQPointF());
    }
    appendClockwiseArc(path, at(W - 10, H - U - 10), r, 90, 0);
    appendClockwiseArc(path, at(W - 10, 10), r, 0, 270);
    appendClockwiseArc(path, at(10, 10), r, 270, 180);
    if (s >= 10)
        appendClockwiseArc(path, at(10, L - 10), r, 180, 90);
    path.closeSubpath();
    return path;
}

void OVBoxView::highlight(QPainter& painter, bool, const pf::Rect& frame)
{
    QPainterPath path;
    path.addRoundedRect(frame.toQRectF(), 2, 2);
    painter.fillPath(path, QGuiApplication::palette().color(QPalette::Highlight));
}

void OVBoxView::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    const double W = b.width(), H = b.height();
    if (W <= 0 || H <= 0)
        return;
    const QPainterPath outer = outline(false);
    const QPainterPath inner = outline(true);

    const QImage tile = pf::NamedImage::image(m_lightLook ? QStringLiteral("OVBoxLightBackground.png")
                                                          : QStringLiteral("OVBoxDarkBackground.png"));
    pf::fillWithPattern(painter, inner, tile);

    // The rim: the ring between the two outlines, lit from the upper left.
    QPainterPath rim = outer;
    rim.addPath(inner);
    rim.setFillRule(Qt::OddEvenFill);
    const QGradientStops stops = {{0.0, QColor::fromRgbF(0, 0, 0, 0.7f)},
                                  {0.8, QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.45f)},
                                  {1.0, QColor::fromRgbF(1, 1, 1, 0.2f)}};
    const double angle = std::asin(H / std::hypot(W, H)) * 180 / std::numbers::pi + 270;
    pf::fillLinearGradient(painter, stops, rim, angle);

    if (m_title.isEmpty())
        return;
    const pf::AttributedString text = titleText(m_title);
    if (m_boxType == 0) {
        // Along the left side, reading upwards from 15 points above the bottom.
        painter.save();
        painter.translate(b.minX(), b.minY());
        painter.rotate(90);
        text.drawAtPoint(painter, pf::Point(15, -22));
        painter.restore();
    } else {
        text.drawAtPoint(painter, pf::Point(b.minX() + 15, b.minY() + H - 22));
    }
}
