#pragma once

// A view that paints brush strokes (the canvas, the loupe) and reports them to an
// OVDrawSenderDelegate. Its cursor state is 1 while the pointer is over the part that takes strokes,
// else 0 (the loupe has more states); only the sender the window controller marks active reports.
class OVDrawSender
{
public:
    virtual ~OVDrawSender() = default;

    int cursorState() const { return m_cursorState; }
    // A new state is told through cursorStateDidChange; the same state again is not.
    void setCursorState(int state)
    {
        if (state == m_cursorState)
            return;
        m_cursorState = state;
        cursorStateDidChange(state);
    }
    virtual bool drawSenderActive() const = 0;
    virtual void setDrawSenderActive(bool active) = 0;

protected:
    // Tells the sender's own delegate.
    virtual void cursorStateDidChange(int state) = 0;

private:
    int m_cursorState = 0;
};
