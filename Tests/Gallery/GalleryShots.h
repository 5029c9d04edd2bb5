#pragma once

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <cstdio>
#include <functional>

// What the galleries share: letting the event loop run, grabbing what the screen shows, saving PNGs.
namespace GalleryShots {

inline void settle(int milliseconds = 150)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Runs the event loop until `done` holds or the time is up; whether it holds.
inline bool waitFor(const std::function<bool()>& done, int milliseconds = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Saves "<folder>/<name>.png" and prints its path; false, with a message, when it cannot.
inline bool save(const QImage& image, const QString& folder, const QString& name)
{
    const QString path = folder + u'/' + name + QStringLiteral(".png");
    if (image.isNull() || !image.save(path)) {
        std::fprintf(stderr, "Error: could not save %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// What the screen shows in a window's area: overlays, menus and cursors included.
inline QImage screenshot(const QWidget* window, int margin = 0)
{
    if (!window)
        return QImage(); // no window to show: the save of it fails and counts
    const QRect area =
        QRect(window->mapToGlobal(QPoint(0, 0)), window->size()).adjusted(-margin, -margin, margin, margin);
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

// A gallery run's folder for its screenshots and its count of failed steps: a screenshot that could
// not be saved or a check that did not hold.
inline QString outputFolder;
inline int failures = 0;

inline void save(const QImage& image, const QString& name)
{
    if (!save(image, outputFolder, name))
        ++failures;
}

inline void check(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "Error: %s\n", what);
    ++failures;
}

inline void check(bool condition, const QString& what)
{
    check(condition, qPrintable(what));
}

// Saves the run's next screenshot as "<NN>-<name>.png", numbered in the order they were taken.
inline int shots = 0;
inline void saveNumbered(const QImage& image, const QString& name)
{
    save(image, QStringLiteral("%1-%2").arg(++shots, 2, 10, QLatin1Char('0')).arg(name));
}

// The folder named by the first argument (`fallback` without one), made when missing.
inline void useOutputFolder(int argc, char* argv[], const QString& fallback = QStringLiteral("gallery"))
{
    outputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : fallback;
    QDir().mkpath(outputFolder);
}

// The process's exit status: failure when any step failed.
inline int exitCode()
{
    return failures == 0 ? 0 : 1;
}

// A gallery's whole run: the application, the folder named by the first argument, then `steps`; the
// exit status says whether any of them failed.
inline int runGallery(int& argc, char* argv[], const std::function<void()>& steps)
{
    QApplication app(argc, argv);
    useOutputFolder(argc, argv);
    steps();
    return exitCode();
}

// The same, having printed how many steps failed.
inline int exitCodeWithCount()
{
    std::printf("%d failures\n", failures);
    return exitCode();
}

} // namespace GalleryShots
