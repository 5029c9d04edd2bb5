#pragma once

// A shown window for the controls' tests, with synthesised input in a view's own coordinates.

#include "Platform/UI/Event.h"
#include "Platform/UI/EventRouter.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/PointerParking.h"

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <optional>

struct ControlsWindow
{
    pf::SteppedClock clock;
    pf::Window window{pf::Rect(100, 100, 400, 300)};

    ControlsWindow()
    {
        window.show();
        window.makeKeyWindow();
    }
    // The pointer goes back where it was, so later tests find it as they expect.
    ~ControlsWindow()
    {
        if (!m_pointerBefore)
            return;
        placePointer(*m_pointerBefore);
    }

    void add(pf::View* view) { window.contentView()->addSubview(view); }

    void mouse(pf::View* view, pf::EventType type, pf::Point at, int clickCount = 1, unsigned flags = 0)
    {
        const pf::Point base = view->convertPointToView(at, nullptr);
        view->deliverMouseEvent(pf::Event::mouseEvent(type, base, flags, clock.now(), &window, clickCount));
    }
    // A press at `from`, one drag to `to` and the release there.
    void drag(pf::View* view, pf::Point from, pf::Point to)
    {
        mouse(view, pf::EventType::LeftMouseDown, from);
        mouse(view, pf::EventType::LeftMouseDragged, to);
        mouse(view, pf::EventType::LeftMouseUp, to);
    }
    void click(pf::View* view, pf::Point at, int clickCount = 1)
    {
        mouse(view, pf::EventType::LeftMouseDown, at, clickCount);
        mouse(view, pf::EventType::LeftMouseUp, at, clickCount);
    }
    void key(pf::View* view, int keyCode, unsigned flags = 0)
    {
        view->dispatch(pf::Event::keyEvent(pf::EventType::KeyDown, pf::Point(), flags, clock.now(), &window,
                                           QString(), QString(), false, keyCode));
    }
    // Moves the pointer to a point of a view: a real display's pointer, or the offscreen platform's
    // place of the last mouse event.
    void movePointer(pf::View* view, pf::Point at)
    {
        if (!m_pointerBefore)
            m_pointerBefore = pf::EventRouter::pointerGlobalPosition().toPoint();
        placePointer(window.mapToGlobal(view->mapTo(&window, view->pointToWidget(at)).toPoint()));
    }

private:
    void placePointer(QPoint global)
    {
        placeRealPointer(global);
        QTest::mouseMove(window.windowHandle(), window.mapFromGlobal(global));
        QApplication::processEvents();
    }

    std::optional<QPoint> m_pointerBefore;
};
