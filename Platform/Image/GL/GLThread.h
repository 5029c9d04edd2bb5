#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace pf {

// A thread that owns one OpenGL ES context (headless, through EGL's surfaceless platform) and runs
// tasks with it current. Tasks from any thread run one after another; `run` waits for its task.
class GLThread
{
public:
    explicit GLThread(QString label);
    ~GLThread();
    GLThread(const GLThread&) = delete;
    GLThread& operator=(const GLThread&) = delete;

    // False when no context could be made; failureReason() says why.
    bool isValid() const { return m_valid; }
    QString failureReason() const { return m_failure; }

    // Runs the task on this thread with the context current and waits for it. Called from the thread
    // itself, it runs the task at once.
    void run(const std::function<void()>& task);

private:
    void main();

    QString m_label;
    std::thread m_thread;
    std::thread::id m_threadId;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stop = false;
    bool m_started = false;
    bool m_valid = false;
    QString m_failure;
    void* m_context = nullptr;
};

} // namespace pf
