#pragma once

#include "Platform/Image/PaintColor.h"
#include "Platform/UI/View.h"

#include <QList>
#include <functional>

// A colour well: a framed swatch of its colour that, once active, is linked to the shared colour panel
// (pf::ColorPanel::shared()), so that picking in the panel recolours it and sends its action. A click
// activates it exclusively (every other well lets the panel go) or deactivates it; closing the panel, or
// another client taking it, deactivates every active well.
//
// Two things differ from a plain well: the caller chooses whether the panel offers opacity when this
// well opens it (supportsAlpha, off by default), and opening the panel never lets the colour the panel
// showed before overwrite the well's: while the well opens the panel (isOpening) colours handed to it are
// ignored, and the panel is then given the well's colour.
class OVColorWell : public pf::View
{
    Q_OBJECT

public:
    explicit OVColorWell(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVColorWell() override;

    virtual pf::PaintColor color() const { return m_color; }
    // Ignored while the well opens the panel.
    virtual void setColor(const pf::PaintColor& color);

    bool supportsAlpha() const { return m_supportsAlpha; }
    void setSupportsAlpha(bool flag) { m_supportsAlpha = flag; }
    bool isOpening() const { return m_isOpening; }
    // Whether the panel reports changes while the user drags (the default), handed to the panel when
    // the well opens it.
    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool flag) { m_continuous = flag; }

    bool isActive() const { return m_active; }
    // Links the panel and shows it with this well's colour and opacity setting; exclusive: every other
    // active well is deactivated first.
    virtual void activate(bool exclusive);
    virtual void deactivate();
    // A colour from the panel: becomes the well's colour and sends the action (not while opening).
    virtual void changeColor(const pf::PaintColor& color);

    void setAction(std::function<void(OVColorWell*)> action) { m_action = std::move(action); }
    void sendAction();

    // The wells linked to the panel now, in the order they were activated.
    static QList<OVColorWell*> activeWells();

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void mouseDown(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

protected:
    // Draws a checkerboard over `path`'s bounds, clipped to it (under translucent colours).
    static void drawCheckerboard(QPainter& painter, const QPainterPath& path, double square);

private:
    pf::PaintColor m_color = pf::PaintColor::calibratedWhite(1, 1);
    bool m_supportsAlpha = false;
    bool m_isOpening = false;
    bool m_continuous = true;
    bool m_active = false;
    std::function<void(OVColorWell*)> m_action;
};
