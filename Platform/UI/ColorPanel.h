#pragma once

#include <QColor>
#include <QPointer>
#include <functional>

class QColorDialog;

namespace pf {

// The application's one colour panel (a non-native colour dialog, the same on every desktop). One
// client at a time: setting a change handler takes the panel over; the handler hears every change
// while the user picks.
class ColorPanel
{
public:
    static ColorPanel& shared();

    QColor color() const;
    // Sets the colour shown without calling the handler.
    void setColor(const QColor& color);
    void setShowsAlpha(bool shows);
    void setChangeHandler(std::function<void(const QColor&)> handler);
    void orderFront();
    void close();
    bool isVisible() const;
    QColorDialog* dialog() const;

private:
    ColorPanel() = default;
    void make() const;

    mutable QPointer<QColorDialog> m_dialog;
    std::function<void(const QColor&)> m_handler;
    bool m_settingColor = false;
};

} // namespace pf
