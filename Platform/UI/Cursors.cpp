#include "Platform/UI/Cursors.h"

#include "Platform/UI/EventRouter.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QPixmap>

namespace pf::Cursors {

QCursor arrow()
{
    return QCursor(Qt::ArrowCursor);
}

QCursor pointingHand()
{
    return QCursor(Qt::PointingHandCursor);
}

QCursor openHand()
{
    return QCursor(Qt::OpenHandCursor);
}

QCursor closedHand()
{
    return QCursor(Qt::ClosedHandCursor);
}

QCursor iBeam()
{
    return QCursor(Qt::IBeamCursor);
}

QCursor crosshair()
{
    return QCursor(Qt::CrossCursor);
}

QCursor fromImage(const QImage& image, Point hotSpot)
{
    const double dpr = image.devicePixelRatio();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dpr);
    return QCursor(pixmap, int(std::lround(hotSpot.x)), int(std::lround(hotSpot.y)));
}

void set(const QCursor& cursor, Window* window)
{
    if (!window) {
        if (QWidget* topLevel = QApplication::widgetAt(EventRouter::pointerGlobalPosition().toPoint())) {
            for (QWidget* w = topLevel; w && !window; w = w->parentWidget())
                window = qobject_cast<Window*>(w);
        }
    }
    if (!window)
        window = Window::keyWindow();
    if (window)
        window->setWindowCursor(cursor);
}

} // namespace pf::Cursors
