#pragma once

#include "Classes/Editor/OVSlideSwitch.h"

#include <QImage>
#include <vector>

class OVMultiSwitchDelegate;

// A vertical slide switch with one or more states: a bezel whose knob rests at evenly spaced stops,
// state 0 at the bottom, and a column of state pictures left of the bezel. A click on a stop jumps
// there; a press on the current stop grabs the knob, which then follows the pointer and changes state
// as it passes stops. Every change of state made by the user is reported as it happens. A switch faded
// out (see OVViewState) ignores the mouse.
class OVMultiSwitch : public OVSlideSwitch
{
    Q_OBJECT

public:
    // Three states, state 0, the big look.
    explicit OVMultiSwitch(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    unsigned state() const { return m_state; }
    // Moves the knob (animated), tells no one.
    void setState(unsigned state) { setState(state, true); }
    void setState(unsigned state, bool updateKnob);
    // The same, then tells the delegate.
    void updateState(unsigned state, bool updateKnob);

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

    // Not owned; clear it before the delegate goes.
    OVMultiSwitchDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVMultiSwitchDelegate* delegate) { m_delegate = delegate; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    static QStringList imageNames();

protected:
    void pressed(const pf::Event& event) override;
    void dragged(const pf::Event& event) override;
    void released(const pf::Event& event) override;

private:
    double positionOfState(unsigned state) const;
    unsigned stateForPosition(double position) const;
    pf::Point pointOf(const pf::Event& event) const;

    std::vector<QImage> m_images;
    unsigned m_maxState = 2;
    QImage m_imagePlaceholder;
    unsigned m_state = 0;
    bool m_isDragging = false;
    OVMultiSwitchDelegate* m_delegate = nullptr;
};
