#pragma once

#include "Classes/Editor/GMWindowRole.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/UI/InterfaceRegistry.h"

#include <memory>

class QObject;
namespace pf {
class Bundle;
class Layer;
} // namespace pf

// The editor window's layout: it builds the document window (the content view with the canvas's layer
// browser, the zoom slider's panel at the right edge, the 2D/3D switch and the "best" filter at the foot
// of the left column, the drawing corner, the docked loupe, and the panels' controllers), places the
// effect strip's views along the window's foot, keeps the views in their order (the 3D stack's layers
// over the strip and the canvas, under the panels; the busy panel over the panels; the loupe on top),
// and owns the part of the window background shown behind the canvas. Main thread only; part of the
// window controller, which sets the window up with it.
class GMWindowLayout : private GMWindowRole
{
public:
    // The window as it is built; the window controller fits it to the screen.
    static constexpr double windowWidth = 1280, windowHeight = 800;

    // The builder of the interface "GMDocument".
    static pf::Interface buildInterface(QObject* owner, const pf::Bundle& bundle);

    explicit GMWindowLayout(GMWindowController& hub);

    void placeStripAtFoot();
    void orderViews();
    void raiseActivityPanel();

    pf::Rect backgroundRect() const { return m_backgroundRect; }
    // The part of the background image shown, normalised; the perspective layer behind the 3D stack
    // shows the same part of it.
    void setBackgroundRect(const pf::Rect& rect);
    void updateLayerBackground();
    // Reads the background image's size and shows its usual part.
    void setUpBackground();

private:
    std::shared_ptr<pf::Layer> m_backgroundLayer; // optional: the content view draws the background too
    pf::Size m_backgroundSize;
    pf::Rect m_backgroundRect{0.1, 0.2, 0.8, 0.8};
};
