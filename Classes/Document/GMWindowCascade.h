#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>

class QWidget;
namespace pf {
class DocumentController;
}

// New document windows open where the last one closed; with windows open already, each new one steps
// down and to the right of those it would cover exactly, as desktop applications cascade them, so
// that every window shows its title bar. Main thread only.
class GMWindowCascade
{
public:
    // How far each window of the cascade lies below and to the right of the one before.
    static constexpr int step = 28;

    // Where a window of `frame` opens: its own place unless another window's top left corner lies
    // within half a step of its own, then a step further down and right, until the place is free. A
    // window that would then reach past the bottom or the right of `available` starts again at its top
    // left corner, unless it is larger than `available` along that side (there it steps on): the first
    // free place of the cascades from that corner, each starting a step further right or down than the
    // one before, so that no window lands on another while the screen has a free place. `frame` and
    // `others` are content rectangles; `margins` is what a window manager adds around the content (the
    // title bar on top): a window starting again at the top left keeps its title bar on the screen.
    static QPoint cascadedOrigin(const QRect& frame, const QList<QPoint>& others, const QRect& available,
                                 const QMargins& margins = QMargins());
    // Moves `window` (not yet shown, placed by its content's rectangle with setGeometry()) to its place in
    // the cascade of the visible windows of the controller's documents, whose content rectangles it is
    // compared with: the frames a window manager adds are not known before a window shows.
    static void place(QWidget* window, const pf::DocumentController* documents);
    // Moves a window whose title bar (its frame's top, or its left edge) lies beyond the available area
    // of its screen back onto it: a place restored from an earlier run or a window manager's frame added
    // after placing may have put it there, out of reach. True when it moved.
    static bool keepTitleBarOnScreen(QWidget* window);
};
