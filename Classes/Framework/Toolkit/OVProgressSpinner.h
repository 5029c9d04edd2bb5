#pragma once

#include "Platform/UI/View.h"

#include <QColor>
#include <memory>

namespace pf {
class Timer;
}

// A spinning busy indicator: twelve spokes whose brightness runs round, stepped by a timer on the
// interface clock while animating; nothing is drawn while stopped.
class OVProgressSpinner : public pf::View
{
    Q_OBJECT

public:
    using View::View;
    ~OVProgressSpinner() override;

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer != nullptr; }
    // The spoke that is brightest now (0 to 11), for tests.
    int phase() const { return m_phase; }
    void setColor(const QColor& color);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

    static constexpr int spokes = 12;
    static constexpr double stepInterval = 1.0 / 12.0;

private:
    std::shared_ptr<pf::Timer> m_timer;
    int m_phase = 0;
    QColor m_color = Qt::white;
};
