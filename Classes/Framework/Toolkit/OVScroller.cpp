#include "Classes/Framework/Toolkit/OVScroller.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

OVScroller::OVScroller(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setKnobProportion(0);
    connect(this, &QScrollBar::valueChanged, this, [this] { emit doubleValueChanged(doubleValue()); });
}

double OVScroller::doubleValue() const
{
    return maximum() > 0 ? double(value()) / maximum() : 0.0;
}

void OVScroller::setDoubleValue(double value)
{
    setValue(int(std::lround(std::clamp(value, 0.0, 1.0) * maximum())));
}

double OVScroller::knobProportion() const
{
    // The slider's length is pageStep / (maximum + pageStep) of the track: that is the proportion, however
    // the range was set (a scroll view sets it in points).
    const double whole = double(maximum()) - minimum() + pageStep();
    return whole > 0 ? std::clamp(pageStep() / whole, 0.0, 1.0) : 1.0;
}

void OVScroller::setKnobProportion(double proportion)
{
    const double value = doubleValue();
    proportion = std::clamp(proportion, 0.0, 1.0);
    setRange(0, int(std::lround(span * (1 - proportion))));
    setPageStep(std::max(1, int(std::lround(span * proportion))));
    setSingleStep(std::max(1, span / 100));
    setDoubleValue(value);
    update();
}

void OVScroller::setKnobStyle(KnobStyle style)
{
    m_knobStyle = style;
    update();
}

void OVScroller::setArrowsPosition(ArrowsPosition position)
{
    m_arrows = position;
    update();
}

QRectF OVScroller::knobRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    if (m_arrows != ArrowsPosition::None)
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    // Without arrows the knob runs along the whole bar.
    const bool horizontal = orientation() == Qt::Horizontal;
    const double length = horizontal ? width() : height();
    const double thickness = horizontal ? height() : width();
    const double knob = std::min(length, std::max(thickness * 2, knobProportion() * length));
    const double start = doubleValue() * (length - knob);
    return horizontal ? QRectF(start, 0, knob, thickness) : QRectF(0, start, thickness, knob);
}

QRectF OVScroller::slimKnob(const QRectF& knob, bool horizontal)
{
    const double t = std::min(knob.width(), knob.height());
    const double d = std::max(std::min(t, 9.0), t - 6.0);
    QRectF slim = knob;
    if (horizontal) {
        slim.setTop(knob.top() + (t - d) / 2);
        slim.setHeight(d);
    } else {
        slim.setLeft(knob.left() + (t - d) / 2);
        slim.setWidth(d);
    }
    return slim;
}

void OVScroller::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    // The slot only behind arrows; the light knob is ours.
    option.subControls = QStyle::SC_None;
    if (m_arrows != ArrowsPosition::None)
        option.subControls |= QStyle::SC_ScrollBarGroove | QStyle::SC_ScrollBarAddLine |
                              QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddPage |
                              QStyle::SC_ScrollBarSubPage;
    if (m_knobStyle != KnobStyle::Light)
        option.subControls |= QStyle::SC_ScrollBarSlider;
    if (option.subControls != QStyle::SC_None)
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    // Nothing to scroll, no knob: the whole shows.
    if (m_knobStyle != KnobStyle::Light || maximum() <= minimum())
        return;
    const QRectF knob = slimKnob(knobRect(), orientation() == Qt::Horizontal);
    const double radius = std::min(knob.width(), knob.height()) / 2;
    QPainterPath path;
    path.addRoundedRect(knob, radius, radius);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, QColor::fromRgbF(0.8f, 0.8f, 0.8f, 0.5f));
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.2f), 1));
    painter.drawPath(path);
}
