#pragma once

#include "Classes/Editor/OVSlideSwitch.h"

// A slide switch whose knob shows a state of type `State`, and the delegate that hears the user change
// it. A member says where each state's knob rests and how its delegate is told.
template <typename State, typename Delegate> class OVStatefulSlideSwitch : public OVSlideSwitch
{
public:
    State state() const { return m_state; }
    // Moves the knob (animated), tells no one.
    void setState(State state) { setState(state, true); }
    void setState(State state, bool updateKnob)
    {
        m_state = state;
        if (updateKnob)
            setKnobPosition(positionOfState(state), true);
    }
    // The same, then tells the delegate, which may delete the switch: false when it did.
    bool updateState(State state, bool updateKnob)
    {
        setState(state, updateKnob);
        if (!m_delegate)
            return true;
        const QPointer<OVSlideSwitch> self(this);
        tellDelegate(*m_delegate, state);
        return bool(self);
    }

    // Not owned; clear it before the delegate goes.
    Delegate* delegate() const { return m_delegate; }
    void setDelegate(Delegate* delegate) { m_delegate = delegate; }

protected:
    OVStatefulSlideSwitch(const pf::Rect& frame, QWidget* parent, double smallKnobOffset, State initial)
        : OVSlideSwitch(frame, parent, smallKnobOffset), m_state(initial)
    {}

    // The knob position (0..1) of a state.
    virtual double positionOfState(State state) const = 0;
    virtual void tellDelegate(Delegate& delegate, State state) = 0;

    State m_state;

private:
    Delegate* m_delegate = nullptr;
};
