#include "Classes/Document/GMWindowCascade.h"

#include "Platform/UI/Document.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

QPoint GMWindowCascade::cascadedOrigin(const QRect& frame, const QList<QPoint>& others,
                                       const QRect& available, const QMargins& margins)
{
    const auto taken = [&](QPoint at) {
        for (const QPoint& other : others)
            if (std::abs(other.x() - at.x()) < step / 2 && std::abs(other.y() - at.y()) < step / 2)
                return true;
        return false;
    };
    QPoint at = frame.topLeft();
    // Each round either finds a free place or passes one window: the cascade ends.
    for (qsizetype round = 0; round <= others.size() + 1 && taken(at); ++round) {
        at += QPoint(step, step);
        // A window wider or taller than the screen reaches past it wherever it lies: along that side it
        // steps on rather than starting again on the window at the top left.
        const QRect outer = frame.marginsAdded(margins);
        const bool outside =
            available.isValid() && ((outer.width() <= available.width() &&
                                     at.x() + frame.width() + margins.right() > available.right() + 1) ||
                                    (outer.height() <= available.height() &&
                                     at.y() + frame.height() + margins.bottom() > available.bottom() + 1));
        // Starting again at the top left: the frame's corner, so that the title bar is on the screen.
        if (outside)
            at = available.topLeft() + QPoint(margins.left(), margins.top());
    }
    return at;
}

void GMWindowCascade::place(QWidget* window, const pf::DocumentController* documents)
{
    if (!window || !documents)
        return;
    QList<QPoint> others;
    // The frame the window manager gives this window is not known before it shows: the others' tells.
    QMargins margins;
    for (const std::shared_ptr<pf::Document>& document : documents->documents()) {
        const pf::Window* other = document ? document->window() : nullptr;
        if (other && other != window && other->isVisible()) {
            others << other->geometry().topLeft();
            const QRect outer = other->frameGeometry(), inner = other->geometry();
            margins = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                               outer.right() - inner.right(), outer.bottom() - inner.bottom());
        }
    }
    const QRect frame = window->geometry();
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QPoint at = cascadedOrigin(frame, others, available, margins);
    if (at != frame.topLeft())
        window->setGeometry(QRect(at, frame.size()));
}

bool GMWindowCascade::keepTitleBarOnScreen(QWidget* window)
{
    if (!window || window->isFullScreen() || window->isMaximized() || window->isMinimized())
        return false;
    const QRect outer = window->frameGeometry();
    QScreen* screen = QGuiApplication::screenAt(outer.center());
    if (!screen)
        screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect available = screen->availableGeometry();
    // The title bar is what the window is moved by: its top and its left end must be within reach. A
    // window wider than the screen keeps its left edge where it is.
    const int down = std::max(0, available.top() - outer.top());
    const int right = outer.width() <= available.width() ? std::max(0, available.left() - outer.left()) : 0;
    if (down == 0 && right == 0)
        return false;
    window->setGeometry(window->geometry().translated(right, down));
    return true;
}
