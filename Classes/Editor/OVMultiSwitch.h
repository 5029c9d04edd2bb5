#pragma once

#include "Classes/Editor/OVStatefulSlideSwitch.h"

#include <QImage>
#include <vector>

class OVMultiSwitchDelegate;

// A vertical slide switch with one or more states: a bezel whose knob rests at evenly spaced stops,
// state 0 at the bottom, and a column of state pictures left of the bezel. A click on a stop jumps
// there; a press on the current stop grabs the knob, which then follows the pointer and changes state
// as it passes stops. Every change of state made by the user is reported as it happens. A switch faded
// out (see OVViewState) ignores the mouse.
class OVMultiSwitch : public OVStatefulSlideSwitch<unsigned, OVMultiSwitchDelegate>
{
    Q_OBJECT

public:
    // Three states, state 0, the big look.
    explicit OVMultiSwitch(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    unsigned numStates() const { return m_maxState + 1; }
    // Keeps the knob at about the same height: the state becomes the nearest stop of the new count,
    // reported when it changed. Fewer than one state counts as one.
    void setNumStates(unsigned count);
    unsigned maxState() const { return m_maxState; }

    // Sizes the frame (keeping its origin) to the picture column and the bezel; places the knob.
    void updateFrame() override;

    // Sets the picture of a state; a gap before it is filled with the placeholder.
    void setImage(const QImage& image, unsigned state);
    const std::vector<QImage>& images() const { return m_images; }
    QImage imagePlaceholder() const { return m_imagePlaceholder; }
    void setImagePlaceholder(const QImage& image) { m_imagePlaceholder = image; }

    bool isDragging() const { return m_isDragging; }

    // The knob position (0..1) under a point of the view.
    double positionForPoint(pf::Point point) const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    static QStringList imageNames();

protected:
    void pressed(const pf::Event& event) override;
    void dragged(const pf::Event& event) override;
    void released(const pf::Event& event) override;
    double positionOfState(unsigned state) const override;
    void tellDelegate(OVMultiSwitchDelegate& delegate, unsigned state) override;

private:
    unsigned stateForPosition(double position) const;
    pf::Point pointOf(const pf::Event& event) const;

    std::vector<QImage> m_images;
    unsigned m_maxState = 2;
    QImage m_imagePlaceholder;
    bool m_isDragging = false;
};
