#pragma once

#include "Classes/Filters/FilterArtwork.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace artworktest {

// A resources folder of generated artwork that the decorating filters look in while it exists. Its path
// contains "Mask", which must never hide a frame.
class ArtworkBundle
{
public:
    ArtworkBundle() : m_dir(QDir::tempPath() + QStringLiteral("/MaskArtXXXXXX"))
    {
        for (const char* folder : {"Masks", "Frames", "Shadows"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
        // A grey oval mask and one whose shape is its alpha.
        save("Masks/ORV-M#001#Oval.png", oval(40, 20, false));
        save("Masks/ORV-M#002#Soft.png", oval(40, 20, true));
        // Frames: 120 x 100 with the opening 20-20-80-60 (y up), dark outside it; one with a mask.
        save("Frames/ORV-F#001#Thin#20-20-80-60.png", frame(120, 100, QRect(20, 20, 80, 60)));
        save("Frames/ORV-F#001#ThinMask.png", frameMask(120, 100, QRect(20, 20, 80, 60)));
        save("Frames/ORV-F#003#Oak#10-10-100-80.png", frame(120, 100, QRect(10, 10, 100, 80)));
        save("Frames/ORV-F#005#Bent#10-10-100.png", frame(120, 100, QRect(10, 10, 100, 80)));
        // A shadow 110 wide whose margin is 10 on the left and at the bottom.
        QImage shadow(110, 90, QImage::Format_ARGB32);
        shadow.fill(QColor(0, 0, 0, 128));
        save("Shadows/ORV-S#001#Drop#10-10.png", shadow);
        FilterArtwork::setResourcePathForTesting(m_dir.path());
    }
    ~ArtworkBundle() { FilterArtwork::setResourcePathForTesting(QString()); }

    QString path() const { return m_dir.path(); }
    void save(const char* relative, const QImage& image) const
    {
        ASSERT_TRUE(image.save(m_dir.filePath(QString::fromLatin1(relative)))) << relative;
    }

    static QImage oval(int w, int h, bool alphaShape)
    {
        QImage image(w, h, alphaShape ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        image.fill(alphaShape ? Qt::transparent : Qt::black);
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(0, 0, w, h));
        return image;
    }
    // Opaque dark brown with a transparent opening given y up.
    static QImage frame(int w, int h, const QRect& opening)
    {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(QColor(80, 50, 20));
        for (int y = opening.top(); y < opening.top() + opening.height(); ++y)
            for (int x = opening.left(); x < opening.left() + opening.width(); ++x)
                image.setPixel(x, h - 1 - y, qRgba(0, 0, 0, 0));
        return image;
    }
    static QImage frameMask(int w, int h, const QRect& opening)
    {
        QImage image(w, h, QImage::Format_Grayscale8);
        image.fill(0);
        for (int y = opening.top(); y < opening.top() + opening.height(); ++y)
            for (int x = opening.left(); x < opening.left() + opening.width(); ++x)
                image.setPixel(x, h - 1 - y, qRgb(255, 255, 255));
        return image;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace artworktest
