#pragma once

#include "Classes/Framework/Toolkit/OVColorWell.h"

#include <QImage>
#include <array>

namespace pf {
class TrackingArea;
}

// A skinned colour well: the transparency grid "SimpleColorWellGrid", the colour painted in the grid's
// shape, and an overlay image per mouse state. A click toggles the well's link to the colour panel.
//
// States: 0 normal, 1 hovered, 2 pressed, each plus 3 while the well is active. Overlays by state:
// "SimpleColorWellOverlay" (0 and 5), "SimpleColorWellOverlayHover" (1 and 4),
// "SimpleColorWellOverlayDown" (2 and 3): an active well at rest looks pressed, and pressing an active
// one looks plain.
class OVSimpleColorWell : public OVColorWell
{
    Q_OBJECT

public:
    explicit OVSimpleColorWell(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVSimpleColorWell() override;

    static QStringList imageNames();

    int state() const { return m_state; }
    bool isMouseDown() const { return m_mouseDown; }
    bool isMouseHovered() const { return m_mouseHovered; }
    void setMouseDown(bool down, bool hovered);
    // Reduces the state to 0..2, then adds 3 while active.
    void updateState();
    QImage gridImage() const { return m_gridImage; }
    QImage stateImage(int state) const { return m_stateImages[std::size_t(std::clamp(state, 0, 5))]; }

    void activate(bool exclusive) override;
    void deactivate() override;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void updateTrackingAreas() override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

private:
    void setup();

    pf::TrackingArea* m_trackingArea = nullptr;
    bool m_mouseDown = false;
    bool m_mouseHovered = false;
    int m_state = 0;
    QImage m_gridImage;
    std::array<QImage, 6> m_stateImages;

    // The colour in the grid's shape, kept until the colour, the size or the scale changes.
    struct Swatch
    {
        QString key;
        QImage image;
    };
    Swatch m_swatch;
};
