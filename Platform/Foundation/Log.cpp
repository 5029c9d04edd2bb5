#include "Platform/Foundation/Log.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace pf {

namespace {
std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}
std::vector<LogCapture*>& captures()
{
    static std::vector<LogCapture*> list;
    return list;
}
} // namespace

void log(const QString& line)
{
    std::lock_guard lock(logMutex());
    bool silenced = false;
    for (LogCapture* capture : captures()) {
        capture->append(line);
        silenced = silenced || capture->m_silence;
    }
    if (!silenced) {
        const QByteArray bytes = line.toUtf8();
        std::fprintf(stderr, "%s\n", bytes.constData());
        std::fflush(stderr);
    }
}

void warning(const QString& text)
{
    log(QStringLiteral("Warning: ") + text);
}

void error(const QString& text)
{
    log(QStringLiteral("Error: ") + text);
}

LogCapture::LogCapture(bool silence) : m_silence(silence)
{
    std::lock_guard lock(logMutex());
    captures().push_back(this);
}

LogCapture::~LogCapture()
{
    std::lock_guard lock(logMutex());
    auto& list = captures();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void LogCapture::append(const QString& line)
{
    m_lines.append(line);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(logMutex());
    return m_lines;
}

bool LogCapture::contains(const QString& fragment) const
{
    std::lock_guard lock(logMutex());
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const QString& line) { return line.contains(fragment); });
}

void LogCapture::clear()
{
    std::lock_guard lock(logMutex());
    m_lines.clear();
}

} // namespace pf
