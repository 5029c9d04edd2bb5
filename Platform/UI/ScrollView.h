#pragma once

#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/View.h"

#include <QPointer>

#include <QScrollBar>

namespace pf {

class ClipView;

// A view that scrolls a document view vertically (and horizontally by the wheel when it is wider): a
// clip view (contentView()) over the document, and a slot at the right edge for any QScrollBar, which
// it keeps in step with the clip view both ways. A scroller marked as overlay lies over the content and
// takes no width (verticalScrollerWidth() is 0). tile() places the clip view and the scroller; a
// subclass may place more. The wheel scrolls 10 points per line of a classic wheel, pixels of a precise
// device as they come.
class ScrollView : public View
{
    Q_OBJECT

public:
    static constexpr double lineScroll = 10;

    explicit ScrollView(const Rect& frame = Rect(), QWidget* parent = nullptr);

    ClipView* contentView() const { return m_clip; }
    View* documentView() const;
    void setDocumentView(View* view);
    // The part of the document shown, in the document view's coordinates.
    Rect documentVisibleRect() const;

    // Takes the scroller as a child (the previous one is deleted); nullptr removes it.
    void setVerticalScroller(QScrollBar* scroller);
    QScrollBar* verticalScroller() const { return m_scroller; }
    bool hasVerticalScroller() const { return m_scroller != nullptr; }
    bool scrollerIsOverlay() const { return m_overlay; }
    void setScrollerIsOverlay(bool overlay);
    // The width the scroller takes from the content: 0 without one or for an overlay scroller.
    double verticalScrollerWidth() const;
    static constexpr double scrollerWidth = 15;

    // Places the clip view and the scroller in the bounds.
    virtual void tile();
    // Brings the scroller in step with the clip view (after the document or the clip view changed).
    void reflectScrolledClipView();

    void resizeSubviewsWithOldSize(Size oldSize) override;
    void scrollWheel(const Event& event) override;

private:
    void scrollerMoved(int value);

    ClipView* m_clip;
    QPointer<QScrollBar> m_scroller;
    bool m_overlay = false;
    bool m_reflecting = false;
    ObserverToken m_observer;
};

} // namespace pf
