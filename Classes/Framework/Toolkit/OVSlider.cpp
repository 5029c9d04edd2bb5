#include "Classes/Framework/Toolkit/OVSlider.h"

#include "Platform/Foundation/Log.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.141592653589793;
constexpr double knobRadius = 6.5;
// Beyond this e^k overflows.
constexpr double largeK = 500;

double clamp01(double x)
{
    return std::isnan(x) ? 0.0 : std::clamp(x, 0.0, 1.0);
}

// An end of the range that is not finite would make every value the slider reports not a number.
bool acceptsEnd(double value, const char* which)
{
    if (std::isfinite(value))
        return true;
    pf::warning(QStringLiteral("The slider refuses the %1 %2: it must be finite")
                    .arg(QLatin1String(which))
                    .arg(value));
    return false;
}

// Ends so far apart that the range's width is no finite number (-1e308 to 1e308) leave every knob
// position at the minimum: the slider would stick.
bool acceptsWidth(double min, double max)
{
    if (std::isfinite(max - min))
        return true;
    pf::warning(
        QStringLiteral("The slider refuses the range %1 to %2: its width must be finite").arg(min).arg(max));
    return false;
}

} // namespace

OVSlider::OVSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(0, steps);
    setFocusPolicy(Qt::NoFocus);
    // Keyboard and wheel steps move the stored value with the knob.
    connect(this, &QAbstractSlider::valueChanged, this, [this](int position) {
        if (m_placing)
            return;
        m_linear = m_min + (m_max - m_min) * (double(position) / steps);
        // A copy runs: the action may replace itself or delete the slider.
        if (const std::function<void(OVSlider*)> action = m_action)
            action(this);
    });
}

// The curves ----------------------------------------------------------------------------------------

double OVSlider::valueForPosition(int curve, double k, double t)
{
    t = clamp01(t);
    switch (curve) {
    case Square:
        return t * t;
    case Cube:
        return t * t * t;
    case Exponential:
        if (k == 0 || !std::isfinite(k))
            return t;
        // (e^(kt) - 1) / (e^k - 1), written so that neither a tiny k (cancellation) nor a huge one
        // (overflow) loses it.
        if (k > largeK)
            return clamp01((std::exp(k * (t - 1)) - std::exp(-k)) / -std::expm1(-k));
        return clamp01(std::expm1(k * t) / std::expm1(k));
    case Cosine: {
        // (1 - cos(pi t)) / 2
        const double s = std::sin(pi * t / 2);
        return s * s;
    }
    case SquareRoot:
        return std::sqrt(t);
    default:
        return t;
    }
}

double OVSlider::positionForValue(int curve, double k, double v)
{
    v = clamp01(v);
    switch (curve) {
    case Square:
        return std::sqrt(v);
    case Cube:
        return std::cbrt(v);
    case Exponential:
        if (k == 0 || !std::isfinite(k))
            return v;
        // ln(v (e^k - 1) + 1) / k
        if (k > largeK)
            return clamp01(1 + std::log(v * -std::expm1(-k) + std::exp(-k)) / k);
        return clamp01(std::log1p(v * std::expm1(k)) / k);
    case Cosine:
        // arccos(1 - 2v) / pi
        return 2 / pi * std::asin(std::sqrt(v));
    case SquareRoot:
        return v * v;
    default:
        return v;
    }
}

// Values ------------------------------------------------------------------------------------------

double OVSlider::knobPosition() const
{
    const double width = m_max - m_min;
    if (!(width != 0) || !std::isfinite(width))
        return 0;
    return clamp01((m_linear - m_min) / width);
}

double OVSlider::doubleValue() const
{
    const double width = m_max - m_min;
    if (!(width != 0) || !std::isfinite(width))
        return m_min;
    return m_min + width * valueForPosition(m_curve, m_k, knobPosition());
}

void OVSlider::setDoubleValue(double value)
{
    const double width = m_max - m_min;
    if (!(width != 0) || !std::isfinite(width)) {
        m_linear = m_min;
    } else {
        const double t = positionForValue(m_curve, m_k, (value - m_min) / width);
        m_linear = m_min + width * t;
    }
    placeKnob();
}

void OVSlider::setLinearValue(double value)
{
    m_linear = value;
    placeKnob();
}

void OVSlider::setMinValue(double value)
{
    if (!acceptsEnd(value, "minimum") || !acceptsWidth(value, m_max))
        return;
    m_min = value;
    placeKnob();
}

void OVSlider::setMaxValue(double value)
{
    if (!acceptsEnd(value, "maximum") || !acceptsWidth(m_min, value))
        return;
    m_max = value;
    placeKnob();
}

void OVSlider::setSliderCurve(int curve)
{
    m_curve = curve;
}

void OVSlider::setExpFactor(double k)
{
    const double value = doubleValue();
    m_k = k;
    setDoubleValue(value);
}

void OVSlider::placeKnob()
{
    // Others may hear the QSlider's own signals and delete it.
    const QPointer<OVSlider> self(this);
    m_placing = true;
    setValue(int(std::lround(knobPosition() * steps)));
    if (!self)
        return;
    m_placing = false;
    update();
}

// Drawing and dragging -------------------------------------------------------------------------------

double OVSlider::trackStart() const
{
    return knobRadius + 1;
}

double OVSlider::trackLength() const
{
    return std::max(0.0, width() - 2 * trackStart());
}

QPointF OVSlider::knobCenter() const
{
    return {trackStart() + knobPosition() * trackLength(), height() / 2.0};
}

QSize OVSlider::sizeHint() const
{
    return {160, 19};
}

void OVSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double y = height() / 2.0;
    const QPointF knob = knobCenter();
    const double alpha = isEnabled() ? 1.0 : 0.45;
    painter.setOpacity(alpha);
    painter.setPen(Qt::NoPen);
    // The track, its part left of the knob lit.
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawRoundedRect(QRectF(trackStart(), y - 1.5, trackLength(), 3), 1.5, 1.5);
    painter.setBrush(QColor(94, 160, 230));
    painter.drawRoundedRect(QRectF(trackStart(), y - 1.5, knob.x() - trackStart(), 3), 1.5, 1.5);
    // The knob: a light disc with a soft rim.
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(QPointF(knob.x(), knob.y() + 0.75), knobRadius, knobRadius);
    painter.setPen(QPen(QColor(120, 124, 131), 1));
    painter.setBrush(isSliderDown() ? QColor(190, 194, 200) : QColor(222, 225, 229));
    painter.drawEllipse(knob, knobRadius - 0.5, knobRadius - 0.5);
}

void OVSlider::followPointer(double x)
{
    const double length = trackLength();
    const double t = length > 0 ? clamp01((x - trackStart()) / length) : 0;
    // The QSlider's step is what a drag sets; the stored value follows it (valueChanged).
    const int position = int(std::lround(t * steps));
    if (position == value()) {
        update();
        return;
    }
    // The action runs from here and may delete the slider.
    const QPointer<OVSlider> self(this);
    setValue(position);
    if (self)
        update();
}

void OVSlider::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // Both steps tell the slider's owners (its pressed signal, its action), who may delete it.
    const QPointer<OVSlider> self(this);
    event->accept();
    setSliderDown(true);
    if (self)
        followPointer(event->position().x());
}

void OVSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!isSliderDown()) {
        event->ignore();
        return;
    }
    event->accept();
    followPointer(event->position().x());
}

void OVSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isSliderDown()) {
        event->ignore();
        return;
    }
    const QPointer<OVSlider> self(this);
    event->accept();
    setSliderDown(false);
    if (self)
        update();
}
