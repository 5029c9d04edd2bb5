#pragma once

#include "Classes/Framework/Toolkit/OV3DLayer.h"
#include "Platform/UI/LayerHostView.h"

#include <memory>

// A view that hosts a perspective layer (layer3D) for layers seen in 3D. Normally the 3D layer fills
// the view. As a background layer it spreads over the whole content of the window instead, so that
// layers turned in perspective are not cut at the view's edges: it then lies in the window's layer host
// (above the window's views, letting the mouse through), while the perspective's centre stays at the
// anchor inside the view and the perspective is that of the view's width.
//
// Anchor flags: horizontal (anchor & 3) 1 left, 2 right, else centred; vertical (anchor & 12) 4 bottom,
// 8 top, else centred; the padding insets the anchor from the view's edges.
class OV3DLayerView : public pf::LayerHostView
{
    Q_OBJECT

public:
    enum Anchor : int
    {
        AnchorLeft = 1,
        AnchorRight = 2,
        AnchorBottom = 4,
        AnchorTop = 8,
    };
    struct Padding
    {
        double top = 0, bottom = 0, left = 0, right = 0;
    };

    explicit OV3DLayerView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OV3DLayerView() override;

    const std::shared_ptr<OV3DLayer>& layer3D() const { return m_layer3D; }

    bool isBackgroundLayer() const { return m_isBackgroundLayer; }
    void setIsBackgroundLayer(bool flag);
    // The 3D layer is brought back on top of this view's other layers whenever a subview is added.
    bool stayFront() const { return m_stayFront; }
    void setStayFront(bool flag) { m_stayFront = flag; }
    int anchor() const { return m_anchor; }
    void setAnchor(int flags);
    Padding padding() const { return m_padding; }
    // Takes effect at the next fill (an anchor change, a resize or a move).
    void setPadding(const Padding& padding) { m_padding = padding; }

    // Spreads the 3D layer over the window's content; nothing outside a window.
    void fillWindowWithLayer();
    void bringLayerToFront();

    void addSubview(pf::View* view);
    void addSubview(pf::View* view, Ordering place, pf::View* relativeTo);

    // The view whose coordinates are the plane the 3D layer lies in: this view, or the window's host
    // while the layer spreads over the window.
    pf::LayerHostView* planeView() const;
    // Puts the 3D layer into that plane; the view does so itself when it moves into or out of a window
    // (its superview hears of the move first and may call this to convert in the new plane).
    void placeLayer();
    // Points and rectangles of a view (nullptr: the window's base coordinates) in the 3D layer's own
    // coordinates, and back.
    pf::Point convertPointToLayer3D(pf::Point point, const pf::View* view) const;
    pf::Point convertPointFromLayer3D(pf::Point point, const pf::View* view) const;
    pf::Rect convertRectToLayer3D(const pf::Rect& rect, const pf::View* view) const;

    void viewDidMoveToSuperview() override;
    void viewDidMoveToWindow() override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;

private:
    void fillView();

    std::shared_ptr<OV3DLayer> m_layer3D;
    bool m_isBackgroundLayer = false;
    bool m_stayFront = false;
    int m_anchor = 0;
    Padding m_padding;
};
