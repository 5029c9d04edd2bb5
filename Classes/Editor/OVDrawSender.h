#pragma once

// A view that paints brush strokes (the canvas, the loupe) and reports them to an
// OVDrawSenderDelegate. Its cursor state is 1 while the pointer is over the part that takes strokes,
// else 0 (the loupe has more states); only the sender the window controller marks active reports.
class OVDrawSender
{
public:
    virtual ~OVDrawSender() = default;

    virtual int cursorState() const = 0;
    virtual void setCursorState(int state) = 0;
    virtual bool drawSenderActive() const = 0;
    virtual void setDrawSenderActive(bool active) = 0;
};
