#pragma once

#include "Platform/UI/View.h"

#include <QList>
#include <QPointer>

namespace pf {

class SplitViewDelegate;

// Panes side by side, left to right, separated by thin dividers the user drags. A drag asks the
// delegate for the limits of the divider; a change of size lets the delegate place the panes, else the
// last pane takes the change. Main thread.
class SplitView : public View
{
    Q_OBJECT

public:
    static constexpr double defaultDividerThickness = 1;
    // How far from a divider a press still grabs it.
    static constexpr double grabDistance = 3;

    explicit SplitView(const Rect& frame = Rect(), QWidget* parent = nullptr);

    // The view becomes the rightmost pane.
    void addPane(View* view);
    QList<View*> panes() const;
    double dividerThickness() const { return m_thickness; }
    void setDividerThickness(double thickness) { m_thickness = thickness; }
    SplitViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(SplitViewDelegate* delegate) { m_delegate = delegate; }

    // The left edge of divider `index` (the right edge of pane `index`).
    double positionOfDivider(int index) const;
    // Moves divider `index` to `position` within the delegate's limits; the panes on both sides follow.
    void setPositionOfDivider(double position, int index);
    // Lays the panes out from their current widths, the last one taking what remains.
    void adjustSubviews();

    void resizeSubviewsWithOldSize(Size oldSize) override;
    View* hitTest(Point pointInSuperview) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;

private:
    int dividerAt(double x) const;
    void layOutPanes(bool lastTakesTheRest);

    QList<QPointer<View>> m_panes;
    double m_thickness = defaultDividerThickness;
    SplitViewDelegate* m_delegate = nullptr;
    int m_dragged = -1;
    double m_grabOffset = 0;
};

} // namespace pf
