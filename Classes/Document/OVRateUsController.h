#pragma once

#include "Classes/Document/OVNoteController.h"

#include <QUrl>
#include <functional>
#include <memory>

namespace pf {
class Timer;
}

// The note that asks the user to rate the application. Checks (one per launch) are counted in the user
// defaults; the prompt shows at the fifth and every later one until the user answers: "Rate Now" and
// "Never Ask" end the asking for good (a new version included), "Ask Later" starts the count again.
// Holding Alt at a check resets the answer and shows the prompt at once. Main thread only.
class OVRateUsController : public OVNoteController
{
    Q_OBJECT

public:
    OVRateUsController();
    ~OVRateUsController() override;

    QStringList classChain() const override
    {
        return QStringList{QStringLiteral("OVRateUsController")} + OVNoteController::classChain();
    }

    QUrl appURL() const { return m_appURL; }
    void setAppURL(const QUrl& url) { m_appURL = url; }

    // Registers "rate.neverAsk" = NO and "rate.timesStarted" = 0.
    static void registerDefaults();
    // Counts a check and shows the prompt for `url` when its time has come.
    static void verifyRateUs(const QUrl& url);
    // Records the current version as rated.
    static void userDidRate();
    // The prompt of the latest showing (null before the first).
    static OVRateUsController* shared();
    // Drops the shared prompt (tests, quitting).
    static void resetShared();
    // The keyboard modifiers verifyRateUs() looks at (tests); unset, the keyboard's current ones.
    static void setModifiersForTesting(std::function<Qt::KeyboardModifiers()> source);

    // Attaches the prompt to the key window's top-level window at 0.7 of its width, or tries again in
    // 2 seconds when no window is key.
    void showDelayed();
    bool isWaitingForKeyWindow() const;

    void windowDidLoad() override;
    void buttonPressed(OVButton* button) override;

private:
    QUrl m_appURL;
    std::shared_ptr<pf::Timer> m_retry;
};
