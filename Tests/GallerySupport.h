#pragma once

// What the galleries share: where the screenshots go, the test portrait, and saving a window's picture.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace gallerySupport {

// The folder named by the first argument (made when missing) and the test portrait; false, having said
// why, when either cannot be had.
inline bool prepare(int argc, char* argv[], QString* folder, QImage* portrait)
{
    *folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    if (!QDir().mkpath(*folder)) {
        std::fprintf(stderr, "cannot make the folder %s\n", qPrintable(*folder));
        return false;
    }
    *portrait = QImage(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    if (portrait->isNull()) {
        std::fprintf(stderr, "cannot read %s\n", GLIMORA_TESTDATA_DIR "/portrait-512.png");
        return false;
    }
    return true;
}

// Lets the event loop run for the given time, in slices of 10 ms.
inline void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Saves "<folder>/<name>.png" from the window's picture, after letting the event loop run for
// `settleMilliseconds`, and prints its path.
inline bool saveScreenshot(QWidget& window, const QString& folder, const QString& name,
                           int settleMilliseconds = 0)
{
    settle(settleMilliseconds);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    const bool saved = window.grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    return saved;
}

// The test portrait, the run's folder in `folder`; without either the run ends in failure, having said
// why.
inline QImage portraitOrExit(int argc, char* argv[], QString* folder)
{
    QImage portrait;
    if (!prepare(argc, argv, folder, &portrait))
        std::exit(1);
    return portrait;
}

// The exit status of a run that counted its failed steps, having said how many there were.
inline int exitCodeForFailedSteps(int failures)
{
    if (failures)
        std::fprintf(stderr, "%d step(s) failed\n", failures);
    return failures ? 1 : 0;
}

// The gallery made from the run's folder and portrait, its window brought to the front (and, with
// `waitUntilShown`, shown before the first step). Without the inputs the run ends in failure, having
// said why.
template <typename Gallery> std::unique_ptr<Gallery> open(int argc, char* argv[], bool waitUntilShown = true)
{
    QString folder;
    const QImage portrait = portraitOrExit(argc, argv, &folder);
    auto gallery = std::make_unique<Gallery>(folder, portrait);
    gallery->window.makeKeyAndOrderFront();
    if (waitUntilShown && !QTest::qWaitForWindowExposed(&gallery->window))
        std::fprintf(stderr, "Warning: the window was not shown\n");
    return gallery;
}

} // namespace gallerySupport
