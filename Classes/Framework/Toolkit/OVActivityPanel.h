#pragma once

#include "Classes/Framework/Toolkit/OVViewController.h"

#include <QLabel>
#include <QPointer>
#include <QStringList>
#include <functional>

class OV3PartImageView;
class OVProgressSpinner;

namespace pf {
class Window;
}

// The busy indicator that slides down from the top edge of a window while long work runs: a spinner and
// the message of the most recent activity still running. Activities may overlap; the panel stays down
// until the last one stops. Blocks handed to startActivity() run later on the main thread: once the
// panel is down for the first activity, at the next turn of the event loop otherwise. Main thread only.
class OVActivityPanel : public OVViewController
{
    Q_OBJECT

public:
    OVActivityPanel();

    QString className() const override { return QStringLiteral("OVActivityPanel"); }

    // How long the panel takes to slide in or out.
    static constexpr double slideDuration = 0.6;

    void loadView() override;

    // The panel's distance from the left edge of the window's content; set before setWindow().
    double xLocation() const { return m_xLocation; }
    void setXLocation(double x) { m_xLocation = x; }
    // Places the panel at the top of the window's content, hidden above its place until an activity
    // starts.
    void setWindow(pf::Window* window);
    pf::Window* window() const { return m_window; }

    void startActivity(const QString& message, std::function<void()> block);
    void startActivity(const QString& message) { startActivity(message, nullptr); }
    // Every running activity with this message stops; the panel slides out when none remains, else the
    // latest one still running shows.
    void stopActivity(const QString& message);
    QStringList activities() const { return m_activities; }

    void animatePanelIn(std::function<void()> block);
    void animatePanelOut();

    OVProgressSpinner* progressIndicator() const;
    QLabel* messageTF() const;
    OV3PartImageView* panel() const;

private:
    pf::Rect panelFrame(bool shown) const;

    QStringList m_activities;
    double m_xLocation = 0;
    QPointer<pf::Window> m_window;
};
