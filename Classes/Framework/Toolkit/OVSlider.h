#pragma once

#include <QSlider>
#include <functional>

// A slider whose value is a curve of the knob's position, so that a setting with a wide range can be
// set finely at one end. The knob's position t runs linearly from 0 to 1 along the track; the value
// reported is min + (max - min) * f(t) for the chosen curve f, and setting a value places the knob by
// f's exact inverse. What the slider stores is the linear knob value min + (max - min) * t, as a double;
// the QSlider underneath (0 to 10,000) only draws and drags.
//
// Curves: 0 (and unknown numbers) t; 1 t²; 2 t³; 3 (e^(k t) - 1) / (e^k - 1) with k = expFactor
// (3 by default; 0 is taken as linear); 4 (1 - cos(pi t)) / 2; 5 √t.
//
// A range without width reports its minimum with the knob at the left end; values outside the range
// place the knob at the nearer end. Ends that are not finite are refused with a warning.
class OVSlider : public QSlider
{
    Q_OBJECT

public:
    enum Curve : int
    {
        Linear = 0,
        Square = 1,
        Cube = 2,
        Exponential = 3,
        Cosine = 4,
        SquareRoot = 5,
    };
    static constexpr int steps = 10000;

    explicit OVSlider(QWidget* parent = nullptr);

    double minValue() const { return m_min; }
    void setMinValue(double value);
    double maxValue() const { return m_max; }
    void setMaxValue(double value);

    // The curved value, and setting it through the inverse.
    double doubleValue() const;
    void setDoubleValue(double value);
    // The stored linear knob value (not curved).
    double linearValue() const { return m_linear; }
    void setLinearValue(double value);
    // The knob's position, 0 to 1.
    double knobPosition() const;

    int sliderCurve() const { return m_curve; }
    // Keeps the knob where it is, so the reported value changes.
    void setSliderCurve(int curve);
    double expFactor() const { return m_k; }
    // Keeps the value, so the knob moves.
    void setExpFactor(double k);

    // Sent when the user moves the knob.
    void setAction(std::function<void(OVSlider*)> action) { m_action = std::move(action); }

    // f and its inverse, both on 0..1 (clamped).
    static double valueForPosition(int curve, double k, double t);
    static double positionForValue(int curve, double k, double v);

    // Where the knob's centre lies (widget coordinates).
    QPointF knobCenter() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void placeKnob();
    void followPointer(double x);
    double trackStart() const;
    double trackLength() const;

    double m_min = 0;
    double m_max = 1;
    double m_linear = 0;
    int m_curve = Linear;
    double m_k = 3.0;
    bool m_placing = false;
    std::function<void(OVSlider*)> m_action;
};
