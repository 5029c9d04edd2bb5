#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pf {

// Writes one line to standard error (and to any active capture). The text is written as given, so
// callers choose the system's own prefixes; warning() and error() add "Warning: " and "Error: ".
void log(const QString& line);
void warning(const QString& text);
void error(const QString& text);

// Collects every line logged on any thread while it exists; lines still reach standard error unless
// `silence` is set. Captures nest: each active capture sees every line.
class LogCapture
{
public:
    explicit LogCapture(bool silence = true);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    bool contains(const QString& fragment) const;
    void clear();

private:
    friend void log(const QString& line);
    void append(const QString& line);
    bool m_silence;
    QStringList m_lines;
};

} // namespace pf
