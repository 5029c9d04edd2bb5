#pragma once

#include "Platform/UI/View.h"

namespace pf {

// The visible window onto a scroll view's document view, y-up like every view: its bounds origin is the
// point of the document shown at its lower left, so showing the top of a document taller than the clip
// view means an origin of (document height - clip height). It keeps that origin inside the document and
// posts boundsDidChangeNotification (sender: the clip view) whenever its bounds move or change size.
class ClipView : public View
{
    Q_OBJECT

public:
    static constexpr const char boundsDidChangeNotification[] = "ViewBoundsDidChange";

    explicit ClipView(const Rect& frame = Rect(), QWidget* parent = nullptr);

    View* documentView() const { return m_documentView; }
    // The document view becomes the only subview (the previous one is removed and deleted).
    void setDocumentView(View* view);

    // The part of the document view shown, in the document view's coordinates; null without one.
    Rect documentVisibleRect() const;
    // `origin` moved into the document (the lowest origin where the document is shorter than the clip).
    Point constrainScrollPoint(Point origin) const;
    // Sets the bounds origin, constrained.
    void scrollToPoint(Point origin);

    bool postsBoundsChangedNotifications() const { return m_posts; }
    void setPostsBoundsChangedNotifications(bool flag) { m_posts = flag; }

    void resizeSubviewsWithOldSize(Size oldSize) override;

protected:
    void boundsOriginDidChange() override;

private:
    void post();

    QPointer<View> m_documentView;
    bool m_posts = true;
};

} // namespace pf
