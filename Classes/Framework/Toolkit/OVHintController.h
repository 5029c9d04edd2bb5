#pragma once

#include <QLabel>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace pf {
class Window;
}

// A window's hint line: a stack of one-line hints under keys (a key at most once, compared by value), of
// which the latest shows in a text field; when its control leaves, the one before returns. Controls
// reach the hint line of their window (or of the nearest parent window that has one) through the class
// functions. Main thread only.
class OVHintController
{
public:
    explicit OVHintController(QLabel* textField);

    // Puts the hint, translated through the default table, on top under `key` (an earlier entry of the
    // key goes) and shows it. A missing key is ignored with a warning.
    void sendHint(const QString& hint, const QVariant& key);
    // Takes out the key's entry: the text field then shows the new top when the removed one was on top,
    // nothing when none remains, and keeps its text otherwise.
    void removeHintForKey(const QVariant& key);
    QLabel* textField() const { return m_textField; }
    QStringList hints() const { return m_hints; }

    // Registers a hint line for the window (replacing an earlier one); nothing for no window. The
    // registration goes when the window is destroyed or removeControllerForWindow() is called.
    static void addHintControllerForWindow(pf::Window* window, QLabel* textField);
    static void removeControllerForWindow(const pf::Window* window);
    // The controller of the window, else of its nearest registered parent window; nullptr if none.
    static OVHintController* controllerForWindow(const pf::Window* window);
    static void sendHint(const QString& hint, const QVariant& key, const pf::Window* window);
    static void removeHintForKey(const QVariant& key, const pf::Window* window);
    static int registeredWindowCount();

private:
    void show(const QString& text);

    QPointer<QLabel> m_textField;
    QStringList m_hints;
    std::vector<QVariant> m_keys;
};
