#pragma once

#include <QColor>
#include <QPointer>
#include <functional>

class QColorDialog;

namespace pf {

// The application's one colour panel (a non-native colour dialog, the same on every desktop). One
// client at a time: setting a change handler takes the panel over; the handler hears every change
// while the user picks. A client may also ask to be told when it loses the panel: when another client
// takes it, or when the panel closes.
class ColorPanel
{
public:
    static ColorPanel& shared();

    QColor color() const;
    // Sets the colour shown without calling the handler.
    void setColor(const QColor& color);
    void setShowsAlpha(bool shows);
    // Takes the panel over without a release callback (the previous client's is called).
    void setChangeHandler(std::function<void(const QColor&)> handler);
    // Takes the panel over for `client` (an identity only). `released` runs once, when another client
    // takes the panel or the panel closes; taking it again for the same client replaces both callbacks
    // without calling it.
    void setClient(const void* client, std::function<void(const QColor&)> changed,
                   std::function<void()> released);
    // Lets the panel go without calling `released`, when `client` still has it.
    void removeClient(const void* client);
    const void* client() const { return m_client; }
    // Continuous: every change reaches the client while the user drags in the panel; otherwise only
    // the colour in place when the mouse button comes up (the default is continuous).
    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool continuous) { m_continuous = continuous; }
    void orderFront();
    void close();
    bool isVisible() const;
    QColorDialog* dialog() const;

private:
    ColorPanel() = default;
    void make() const;
    void report(const QColor& color);
    void release();

    mutable QPointer<QColorDialog> m_dialog;
    mutable QPointer<QObject> m_watcher;
    std::function<void(const QColor&)> m_handler;
    std::function<void()> m_released;
    const void* m_client = nullptr;
    bool m_settingColor = false;
    bool m_continuous = true;
    bool m_pending = false;
};

} // namespace pf
