#pragma once

#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Foundation/Rect.h"

#include <QObject>
#include <QPointer>

class OVButton;
class QTextDocument;
namespace pf {
class View;
class Window;
} // namespace pf

// The product's about window: a borderless picture with the credits and the version written on its card,
// turned slightly; dragging the picture moves the window. It hides with its close button, with Escape,
// or as soon as another window becomes key. Made on first use and reused. Main thread only.
class GMAboutBoxController : public QObject
{
    Q_OBJECT

public:
    GMAboutBoxController();
    ~GMAboutBoxController() override;

    // The window, built on the first call.
    pf::Window* aboutBox();
    // Makes the window key and front, centred on the screen.
    void showAboutBox();
    // Another window took the keyboard: the about window goes.
    void windowDidResignKey();
    // The close button and Escape: the about window goes.
    void closeAboutBox();
    OVButton* closeButton() const;

    // The two texts as drawn (null before the window is built), their frames in the window (y-up, before
    // turning) and the angle they are turned by, in degrees (negative: clockwise).
    QTextDocument* credits() const;
    QTextDocument* version() const;
    pf::Rect creditsFrame() const;
    pf::Rect versionFrame() const;
    static constexpr double textRotation = -1.5;

private:
    QPointer<pf::Window> m_aboutBox;
    QPointer<pf::View> m_credits;
    QPointer<pf::View> m_version;
    QPointer<OVButton> m_closeButton;
    pf::ObserverToken m_resignKey;
};
