#pragma once

#include "Classes/Editor/OVDrawSender.h"
#include "Classes/Editor/OVKeyboardWatcherDelegate.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/UI/View.h"

#include <memory>

class OVLoupeViewDelegate;
namespace pf {
class Layer;
}

// The magnifying loupe of the editor window, as far as the window controller drives it: its state, the
// two glass-sized layers the controller fills (the live "loupe" channel draws into the content layer,
// the preview goes into the zoom layer), the part of the picture under the glass, its cursor state and
// its place among the keyboard watchers. It rests docked and hidden: it is not carried onto the picture
// here, and draws nothing.
//
// States: 0 hidden (the layers shown in 3D), 1 docked, 2 carried beside the picture, 3 carried over it,
// 4 placed over the picture (its channel not yet visible), 5 live.
class OVLoupeView : public pf::View, public OVDrawSender, public OVKeyboardWatcherDelegate
{
    Q_OBJECT

public:
    static constexpr double glassSide = 180;

    explicit OVLoupeView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVLoupeView() override;

    int loupeState() const { return m_loupeState; }
    // Entering 4 computes the part of the picture under the glass and reports the loupe activated;
    // leaving 4 or 5 for another state reports it deactivated. The current state again does nothing.
    void setLoupeState(int state);
    // Placed over the picture: states 3, 4 and 5.
    bool overImage() const { return m_loupeState >= 3 && m_loupeState <= 5; }
    // Hidden by the state (0) or by Shift held alone over the picture.
    bool isLoupeHidden() const { return m_loupeHidden; }

    pf::Size zoomSize() const { return m_zoomSize; }
    void setZoomSize(pf::Size size) { m_zoomSize = size; }
    // Picture pixels per point of the glass: 0.5, 1, 2 or 4 for the steps 0 to 3.
    int zoomFactor() const;
    void setZoomFactor(int step);
    // The part of the picture under the glass, normalised.
    pf::Rect editRect() const { return m_editRect; }
    // The docked frame.
    pf::Rect orgFrame() const { return m_orgFrame; }

    const std::shared_ptr<pf::Layer>& loupeLayer() const { return m_loupeLayer; }
    const std::shared_ptr<pf::Layer>& contentLayer() const { return m_contentLayer; }
    const std::shared_ptr<pf::Layer>& zoomLayer() const { return m_zoomLayer; }

    // Follows the canvas: the picture under the glass is computed again and reported.
    void updateLoupe();

    // OVDrawSender
    int cursorState() const override { return m_cursorState; }
    void setCursorState(int state) override;
    bool drawSenderActive() const override { return m_drawSenderActive; }
    void setDrawSenderActive(bool active) override { m_drawSenderActive = active; }

    // OVKeyboardWatcherDelegate: never takes a key; Shift held alone hides the loupe over the picture.
    bool keyboardKeyDownEvent(const pf::Event& event) override;
    void keyboardFlagsChangedEvent(const pf::Event& event) override;

    // The wheel and gestures go to the delegate (the canvas's).
    void scrollWheel(const pf::Event& event) override;
    void magnify(const pf::Event& event) override;

    // Not owned; clear it before the delegate goes.
    OVLoupeViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVLoupeViewDelegate* delegate) { m_delegate = delegate; }

private:
    void updateEditRect();

    std::shared_ptr<pf::Layer> m_loupeLayer, m_zoomLayer, m_contentLayer;
    pf::Rect m_orgFrame;
    pf::Rect m_editRect{0, 0, 1, 1};
    pf::Rect m_activationRect{0, 0, 1, 1};
    pf::Size m_zoomSize;
    double m_zoomFactor = 1;
    int m_loupeState = 1;
    int m_cursorState = 0;
    bool m_drawSenderActive = false;
    bool m_loupeHidden = false;
    OVLoupeViewDelegate* m_delegate = nullptr;
};
