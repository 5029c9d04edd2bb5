#pragma once

#include "Classes/Editor/GMWindowRole.h"
#include "Platform/Foundation/Rect.h"

#include <memory>
#include <optional>

class GMSlider;
class OVZoomView;
namespace pf {
class Event;
class Timer;
} // namespace pf

// The editor window's canvas and zoom: it couples the zoom slider with the canvas both ways, zooms for
// the keys, the menu items and Option with the wheel (about the middle of the visible part, or about
// the pointer), lets a zoom settle a moment after its last change, keeps the part of the photo shown
// (which the layers' cards and the loupe follow), and keeps the layers' frame on the canvas when it
// moves or resizes. Main thread only; part of the window controller, which forwards to it.
class GMWindowCanvas : private GMWindowRole
{
public:
    explicit GMWindowCanvas(GMWindowController& hub);

    bool isFirstZoom() const { return m_isFirstZoom; }
    pf::Rect lastZoomRect() const { return m_lastZoomRect; }
    bool isZoomSettlePending() const;

    // Sets the slider and the canvas to the zoom factor (about `anchor` of the canvas, else about the
    // middle of the visible part); it settles `settle` seconds after the last change.
    void zoomTo(double value, double settle, std::optional<pf::Point> anchor = std::nullopt);
    void zoomIn();
    void zoomOut();
    void zoomToFit();
    void zoomToActualSize();
    void updateZoomView();
    // Option with the wheel over the photo zooms about the pointer: the point under it stays there.
    bool zoomWithWheel(const pf::Event& event);

    void sliderDidChangeValue(GMSlider* slider, double value, bool preview);
    void contentsRectDidChange(OVZoomView* view, const pf::Rect& rect, bool preview);
    void canvasDidResize();

    // A new canvas: the whole photo, and the first zoom still to come.
    void resetZoom();
    // The window closes: a zoom still settling settles no more.
    void close();

private:
    pf::Rect m_lastZoomRect{0, 0, 1, 1};
    bool m_isFirstZoom = true;
    std::shared_ptr<pf::Timer> m_zoomTimer;
};
