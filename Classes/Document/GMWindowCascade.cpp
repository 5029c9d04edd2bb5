#include "Classes/Document/GMWindowCascade.h"

#include "Platform/UI/Document.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cstdlib>

QPoint GMWindowCascade::cascadedOrigin(const QRect& frame, const QList<QPoint>& others,
                                       const QRect& available)
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
        const bool outside =
            available.isValid() &&
            ((frame.width() <= available.width() && at.x() + frame.width() > available.right() + 1) ||
             (frame.height() <= available.height() && at.y() + frame.height() > available.bottom() + 1));
        if (outside)
            at = available.topLeft();
    }
    return at;
}

void GMWindowCascade::place(QWidget* window, const pf::DocumentController* documents)
{
    if (!window || !documents)
        return;
    QList<QPoint> others;
    for (const std::shared_ptr<pf::Document>& document : documents->documents()) {
        const pf::Window* other = document ? document->window() : nullptr;
        if (other && other != window && other->isVisible())
            others << other->geometry().topLeft();
    }
    const QRect frame = window->geometry();
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QPoint at = cascadedOrigin(frame, others, available);
    if (at != frame.topLeft())
        window->setGeometry(QRect(at, frame.size()));
}
