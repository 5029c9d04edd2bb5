#pragma once

#include "Classes/Editor/GMLoupeStrokeHint.h"
#include "Classes/Editor/GMWindowRole.h"
#include "Platform/Foundation/Rect.h"

#include <QString>

class OVLoupeView;
class OVZoomView;
namespace pf {
class Event;
}

// The editor window's loupe: where the picture the loupe magnifies lies and which part of it the canvas
// edits, the wheel and gestures the loupe passes on to the canvas, the hand-over of strokes between the
// canvas and the loupe's glass with the loupe's live "loupe" channel, and the hint shown when a stroke on
// the canvas is refused because the glass takes them. Main thread only; part of the window controller,
// which forwards the loupe's delegate calls to it.
class GMWindowLoupe : private GMWindowRole
{
public:
    // The key of the loupe's cursor on the cursor stack.
    static const QString cursorKey;

    explicit GMWindowLoupe(GMWindowController& hub);

    const GMLoupeStrokeHint& strokeHint() const { return m_loupeStrokeHint; }

    pf::Rect activeRect(OVLoupeView* loupe);
    pf::Rect editRect() const;
    void beginGesture(const pf::Event& event);
    void endGesture(const pf::Event& event);
    void magnify(const pf::Event& event);
    void scrollWheel(const pf::Event& event);
    void activated(OVLoupeView* loupe);
    void deactivated(OVLoupeView* loupe);
    void canvasDidRefuseStroke(OVZoomView* view, pf::Point inWindow);
    // The window closes: the hint goes.
    void close();

private:
    // The canvas's own handler of an event the loupe passes on, while there is a canvas.
    void passToCanvas(void (OVZoomView::*handler)(const pf::Event&), const pf::Event& event);

    GMLoupeStrokeHint m_loupeStrokeHint;
};
