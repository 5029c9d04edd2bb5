#include "Platform/Image/GL/GLThread.h"

#include "Platform/Image/GL/EGLDisplayChoice.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>

namespace pf {

namespace {

// The driver compiles programs with libraries whose globals the process's exit destroys: a task still
// running then (a measurement nobody waits for) would crash the exit. Once the process exits, no thread
// starts a task; the exit waits a while for those running, and the threads that ask for more wait for
// the end.
struct ExitGuard
{
    std::mutex mutex;
    std::condition_variable idle, never;
    int running = 0;
    std::atomic<bool> exiting{false};
    std::thread::id exitingThread;
};

ExitGuard& exitGuard()
{
    static auto* guard = new ExitGuard; // used by the threads until the very end
    return *guard;
}

void quiesceAtExit()
{
    ExitGuard& guard = exitGuard();
    std::unique_lock lock(guard.mutex);
    if (guard.exiting)
        return;
    guard.exiting = true;
    guard.exitingThread = std::this_thread::get_id();
    guard.idle.wait_for(lock, std::chrono::seconds(10), [&] { return guard.running == 0; });
}

// One display for the process, initialised on first use and kept: terminating it would pull the
// contexts of every other thread away.
EGLDisplay sharedDisplay(QString* failure)
{
    static std::once_flag once;
    static EGLDisplay display = EGL_NO_DISPLAY;
    static QString reason;
    std::call_once(once, [] {
        const EGLDisplay candidate = headlessDisplayCandidate();
        if (candidate == EGL_NO_DISPLAY) {
            reason = QStringLiteral("no EGL display is available");
            return;
        }
        if (!eglInitialize(candidate, nullptr, nullptr)) {
            reason = QStringLiteral("EGL could not be initialised (error 0x%1)").arg(eglGetError(), 0, 16);
            return;
        }
        display = candidate;
        // Before the driver's globals go: when the application object goes at the end of main() (the
        // driver makes some of its globals only as it compiles, and those go before any exit handler
        // registered earlier), or as the process exits without one.
        qAddPostRoutine(quiesceAtExit);
        std::atexit(quiesceAtExit);
    });
    if (failure)
        *failure = reason;
    return display;
}

} // namespace

GLThread::GLThread(QString label) : m_label(std::move(label))
{
    std::promise<void> started;
    auto ready = started.get_future();
    m_thread = std::thread([this, &started] {
        QString failure;
        EGLDisplay display = sharedDisplay(&failure);
        if (display != EGL_NO_DISPLAY) {
            eglBindAPI(EGL_OPENGL_ES_API);
            const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 2,
                                         EGL_NONE};
            EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
            if (context == EGL_NO_CONTEXT) {
                failure =
                    QStringLiteral("no OpenGL ES 3.2 context (EGL error 0x%1)").arg(eglGetError(), 0, 16);
            } else if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
                failure = QStringLiteral("the OpenGL ES context cannot be made current (EGL error 0x%1)")
                              .arg(eglGetError(), 0, 16);
                eglDestroyContext(display, context);
            } else {
                m_context = context;
                m_valid = true;
            }
        }
        m_failure = failure;
        m_threadId = std::this_thread::get_id();
        started.set_value();
        main();
        if (m_context) {
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display, static_cast<EGLContext>(m_context));
            eglReleaseThread();
        }
    });
    ready.wait();
}

GLThread::~GLThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void GLThread::run(const std::function<void()>& task)
{
    if (std::this_thread::get_id() == m_threadId) {
        task();
        return;
    }
    {
        ExitGuard& guard = exitGuard();
        std::unique_lock lock(guard.mutex);
        if (guard.exiting) {
            // A context torn down by the exit itself: the process ends, nothing is left to release.
            if (guard.exitingThread == std::this_thread::get_id())
                return;
            guard.never.wait(lock, [] { return false; });
        }
    }
    std::promise<void> done;
    auto finished = done.get_future();
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back([&task, &done] {
            try {
                task();
            } catch (...) {
                // A task that throws (out of memory) must not leave its caller waiting forever.
            }
            done.set_value();
        });
    }
    m_wake.notify_one();
    finished.wait();
}

void GLThread::main()
{
    ExitGuard& guard = exitGuard();
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || (!m_tasks.empty() && !guard.exiting); });
            if (m_tasks.empty() || guard.exiting)
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        {
            const std::lock_guard lock(guard.mutex);
            if (guard.exiting) {
                // The exit began meanwhile: the task waits with its caller for the end.
                const std::lock_guard tasks(m_mutex);
                m_tasks.push_front(std::move(task));
                continue;
            }
            ++guard.running;
        }
        task();
        const std::lock_guard lock(guard.mutex);
        if (--guard.running == 0)
            guard.idle.notify_all();
    }
}

} // namespace pf
