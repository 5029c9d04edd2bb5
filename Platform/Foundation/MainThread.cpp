#include "Platform/Foundation/MainThread.h"

#include "Platform/Foundation/Log.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <exception>
#include <utility>

namespace pf {

namespace {

// The task is taken out of its wrapper to run, so that what it holds is released on the main thread
// as it ends: Qt lets go of a queued call's wrapper on whichever thread drops the last reference,
// which is the queuing thread when the main thread ran the call before the queuing call returned.
std::function<void()> guarded(std::function<void()> task)
{
    return [task = std::move(task)]() mutable {
        const std::function<void()> run = std::exchange(task, nullptr);
        if (!run)
            return;
        try {
            run();
        } catch (const std::exception& exception) {
            error(
                QStringLiteral("main-thread task failed: %1").arg(QString::fromLocal8Bit(exception.what())));
        } catch (...) {
            error(QStringLiteral("main-thread task failed with an unknown exception"));
        }
    };
}

QCoreApplication* applicationOrLog()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        error(QStringLiteral("a task for the main thread was dropped: there is no application"));
    return app;
}

} // namespace

void runOnMain(std::function<void()> task)
{
    if (QCoreApplication* app = applicationOrLog())
        QMetaObject::invokeMethod(app, guarded(std::move(task)), Qt::QueuedConnection);
}

void runOnMainAfter(double seconds, std::function<void()> task)
{
    QCoreApplication* app = applicationOrLog();
    if (!app)
        return;
    // Milliseconds, rounded up so the task never runs early; NaN and negatives count as zero.
    const double milliseconds = std::ceil(seconds * 1000.0);
    const auto delay = std::chrono::milliseconds(
        milliseconds > 0 ? static_cast<long long>(std::min(milliseconds, 2147483647.0)) : 0);
    // A timer belongs to the thread that starts it, and a worker thread has no event loop to run one:
    // start it on the main thread.
    auto start = [app, delay, task = guarded(std::move(task))]() mutable {
        QTimer::singleShot(delay, app, std::move(task));
    };
    if (isMainThread())
        start();
    else
        QMetaObject::invokeMethod(app, std::move(start), Qt::QueuedConnection);
}

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace pf
