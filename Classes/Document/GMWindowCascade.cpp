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
    // A window wider or taller than the screen reaches past it wherever it lies: along that side it
    // steps on rather than starting again on the window at the top left.
    const QRect outer = frame.marginsAdded(margins);
    const bool fitsAcross = outer.width() <= available.width();
    const bool fitsDown = outer.height() <= available.height();
    const auto outside = [&](QPoint at) {
        return available.isValid() &&
               ((fitsAcross && at.x() + frame.width() + margins.right() > available.right() + 1) ||
                (fitsDown && at.y() + frame.height() + margins.bottom() > available.bottom() + 1));
    };
    // Every place keeps the title bar on the screen, as the window will be kept once it shows: a window
    // larger than the screen (centred, its frame's corner above and left of it) is compared with the
    // others where it will stand.
    const QPoint corner = available.topLeft() + QPoint(margins.left(), margins.top());
    const auto reachable = [&](QPoint at) {
        return available.isValid() ? QPoint(std::max(at.x(), corner.x()), std::max(at.y(), corner.y())) : at;
    };
    // First the window's own place and the cascade down and right of it, while that stays on the screen.
    QPoint at = reachable(frame.topLeft());
    for (qsizetype round = 0; round <= others.size() + 1 && taken(at); ++round) {
        const QPoint next = at + QPoint(step, step);
        if (outside(next))
            break;
        at = next;
    }
    if (!taken(at) || !available.isValid())
        return at;
    // Then the cascades that start again at the screen's top left (the frame's corner there, so that the
    // title bar is on the screen), each a step further right or down than the one before: the places
    // form a grid a step apart, so a window never lands within half a step of another while a place of
    // the grid is free. A side the window does not fit steps on past the screen. With every place taken
    // (more windows than the screen has room for), the windows go round the places in turn.
    const qsizetype spare = others.size() + 1;
    const qsizetype across = fitsAcross ? (available.width() - outer.width()) / step + 1 : spare;
    const qsizetype down = fitsDown ? (available.height() - outer.height()) / step + 1 : spare;
    QList<QPoint> places;
    for (qsizetype d = 0; d < std::max(across, down); ++d)
        for (const bool right : {true, false}) {
            const qsizetype i0 = right ? d : 0, j0 = right ? 0 : d;
            if ((!right && d == 0) || i0 >= across || j0 >= down)
                continue;
            for (qsizetype k = 0; i0 + k < across && j0 + k < down; ++k)
                places << corner + QPoint(int(i0 + k) * step, int(j0 + k) * step);
        }
    for (const QPoint& place : std::as_const(places))
        if (!taken(place))
            return place;
    return places.isEmpty() ? at : places[others.size() % places.size()];
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
    // The title bar is what the window is moved by: its top and its left end must be within reach, also
    // for a window wider than the screen (its menus and the title bar's buttons are there).
    const int down = std::max(0, available.top() - outer.top());
    const int right = std::max(0, available.left() - outer.left());
    if (down == 0 && right == 0)
        return false;
    window->setGeometry(window->geometry().translated(right, down));
    return true;
}
