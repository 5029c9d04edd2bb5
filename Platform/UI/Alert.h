#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pf {

class Window;

// An alert with clear text: a message, an informative text, buttons (the first is the default; each
// answers 1000 + its index, as the first, second and third button returns are known), a style.
// Tests replace the person answering with setResponder().
class Alert
{
public:
    enum class Style
    {
        Informational,
        Warning,
        Critical,
    };
    static constexpr int firstButtonReturn = 1000;

    QString messageText;
    QString informativeText;
    Style style = Style::Warning;

    void addButton(const QString& title) { m_buttons.append(title); }
    QStringList buttons() const
    {
        return m_buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : m_buttons;
    }

    // Shows the alert application-modal and returns the button pressed.
    int runModal() const;
    // Shows it modal to `window` and calls `completion` with the button pressed.
    void beginSheetModal(Window* window, std::function<void(int)> completion) const;

    // Answers alerts instead of a person (an empty function restores the dialog).
    static void setResponder(std::function<int(const Alert&)> responder);

private:
    QStringList m_buttons;
};

} // namespace pf
