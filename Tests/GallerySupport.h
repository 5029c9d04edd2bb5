#pragma once

// What the galleries share: where the screenshots go, the test portrait, and saving a window's picture.

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdio>

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

inline bool saveScreenshot(QWidget& window, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    const bool saved = window.grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    return saved;
}

} // namespace gallerySupport
