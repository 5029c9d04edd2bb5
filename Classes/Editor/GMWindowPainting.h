#pragma once

#include "Classes/Editor/GMWindowRole.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/Rect.h"

#include <QCursor>
#include <QString>
#include <memory>
#include <optional>

class OVBrushPathImage;
class OVDrawSender;
class OVLoupeView;
class OVZoomView;
namespace pf {
class Event;
}

// The editor window's painting and brushes: a stroke from its brush-down on the canvas or the loupe's
// glass to its brush-up (sized with the drawing area, handed to the live renderer's channel of the view it
// is painted on, and stored in the mask it was painted on), the brush's cursor on the canvas and the
// loupe, the draw layer hidden while a setting is dragged, and Command with the wheel sizing (vertical)
// or softening (horizontal) the brush. Main thread only; part of the window controller, which forwards
// the draw senders', the renderer's and the settings panel's calls to it.
class GMWindowPainting : private GMWindowRole
{
public:
    // The key of the canvas's cursor on the cursor stack.
    static const QString canvasCursorKey;

    explicit GMWindowPainting(GMWindowController& hub);

    // A stroke runs from a brush-down to its brush-up, whatever the selection does meanwhile.
    bool isStrokeRunning() const { return m_strokeRunning; }
    // The stack or the window goes: the stroke under way ends without its brush-up.
    void dropStroke() { m_strokeRunning = false; }
    // The brush's cursor; the arrow while there is none.
    QCursor drawCursor() const { return m_drawCursor.value_or(QCursor(Qt::ArrowCursor)); }
    void setDrawCursor(const std::optional<QCursor>& cursor);

    void brushDown(OVDrawSender* sender, pf::Point point);
    void brushDragged(pf::Point point);
    void brushUp(pf::Point point);
    void rendererDidCalculateStroke(const OVContentContainerPtr& container, const pf::Rect& rect,
                                    const std::shared_ptr<OVBrushPathImage>& target);
    void hideDrawLayer(bool hide);
    void loupeCursorStateDidChange(OVLoupeView* loupe, int state);
    void canvasCursorStateDidChange(OVZoomView* view, int state);
    // Command with the wheel over the active draw sender; false where it does nothing.
    bool sizeBrushWithWheel(const pf::Event& event);

private:
    bool m_strokeRunning = false;
    std::optional<QCursor> m_drawCursor;
};
