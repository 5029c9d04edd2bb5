#pragma once

#include "Platform/Foundation/Point.h"

#include <QPointer>
#include <QString>
#include <memory>

namespace pf {
class Timer;
class View;
} // namespace pf

// While the loupe lies on the photo, strokes are painted in its glass only: a press on the photo beside
// it paints nothing. The first such press after the loupe was placed says why, in a tooltip by the
// pointer that goes after a few seconds; later presses stay quiet until the loupe is placed again.
// Main thread only.
class GMLoupeStrokeHint
{
public:
    GMLoupeStrokeHint();
    ~GMLoupeStrokeHint();
    GMLoupeStrokeHint(const GMLoupeStrokeHint&) = delete;
    GMLoupeStrokeHint& operator=(const GMLoupeStrokeHint&) = delete;

    static QString text();
    // How long the hint stays.
    static constexpr double shownFor = 5.0;

    // A press at `inWindow` (base coordinates of `view`'s window) that painted nothing.
    void strokeRefused(pf::View* view, pf::Point inWindow);
    // The loupe left the photo: a hint still shown goes, and the next refusal is told again.
    void reset();
    bool isShowing() const;

private:
    void hide();

    bool m_told = false;
    QPointer<pf::View> m_view;
    std::shared_ptr<pf::Timer> m_timer;
};
