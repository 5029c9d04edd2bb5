#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pf {

class Window;

// An alert with clear text: a message, an informative text, buttons (the first is the default; each
// answers 1000 + the index it was added at, as the first, second and third button returns are known),
// a style. A button's role places it: the desktop's order, whatever the order they were added in, puts
// the other buttons at the left, then a destructive one (Don't Save), then Cancel, then the default at the
// right; Escape presses Cancel (or the only button). Tests replace the person answering with
// setResponder().
class Alert
{
public:
    enum class Style
    {
        Informational,
        Warning,
        Critical,
    };
    enum class Role
    {
        Normal,      // the first button added is the default, the others stand beside it
        Cancel,      // answers Escape
        Destructive, // throws work away: set apart at the left
    };
    static constexpr int firstButtonReturn = 1000;

    QString messageText;
    QString informativeText;
    Style style = Style::Warning;

    void addButton(const QString& title, Role role = Role::Normal)
    {
        m_buttons.append(title);
        m_roles.append(role);
    }
    QStringList buttons() const
    {
        return m_buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : m_buttons;
    }
    Role role(qsizetype index) const { return index < m_roles.size() ? m_roles[index] : Role::Normal; }

    // Shows the alert application-modal and returns the button pressed.
    int runModal() const;
    // Shows it modal to `window` and calls `completion` with the button pressed.
    void beginSheetModal(Window* window, std::function<void(int)> completion) const;

    // Answers alerts instead of a person (an empty function restores the dialog).
    static void setResponder(std::function<int(const Alert&)> responder);

private:
    QStringList m_buttons;
    QList<Role> m_roles;
};

} // namespace pf
