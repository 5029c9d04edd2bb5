#pragma once

#include "Platform/UI/Transform3D.h"
#include "Platform/UI/View.h"

#include <QPointer>
#include <memory>

class OVScroller;

namespace pf {
class Layer;
}

// A horizontally scrolling view (a clip view over a document view, a slim overlay scroller at the
// bottom, the wheel scrolling sideways) that is shown turned in 3D: a 3D view hosts it and its layer
// there carries a transform. The transform to keep is stored here: setting it sets the layer's, and
// resizing the view gives the layer the stored transform again, so that a tilt set through
// setStoredTransform() survives every resize.
//
// The hosting 3D view takes pointer events through the inverse of the transform as it is on screen, so a
// point outside the turned view hits nothing, whatever the untransformed frame would say.
class OVTransformedScrollView : public pf::View
{
    Q_OBJECT

public:
    explicit OVTransformedScrollView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVTransformedScrollView() override;

    const pf::Transform3D& storedTransform() const { return m_storedTransform; }
    void setStoredTransform(const pf::Transform3D& transform);
    // The layer that shows this view: its layer in the 3D view that hosts it; null when not hosted.
    std::shared_ptr<pf::Layer> layer() const;

    // The clip view, the document view it scrolls and the scroller.
    pf::View* contentView() const { return m_clipView; }
    pf::View* documentView() const { return m_documentView; }
    // Takes the view (the previous one is deleted) and scrolls to its start.
    void setDocumentView(pf::View* view);
    OVScroller* horizontalScroller() const { return m_scroller; }

    // The nearest origin of the clip view that keeps it within the document.
    pf::Point constrainScrollPoint(pf::Point origin) const;
    void scrollToPoint(pf::Point origin);
    // Over `duration` seconds, eased.
    void animateScrollToPoint(pf::Point origin, double duration);
    // Brings the scroller in line with the clip view's place over the document.
    void reflectScrolledClipView();

    void resizeWithOldSuperviewSize(pf::Size oldSuperviewSize) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void scrollWheel(const pf::Event& event) override;

private:
    void layOutScroller();
    void scrollerMoved(double value);

    pf::Transform3D m_storedTransform;
    pf::View* m_clipView = nullptr;
    QPointer<pf::View> m_documentView;
    OVScroller* m_scroller = nullptr;
    bool m_reflecting = false;
};
