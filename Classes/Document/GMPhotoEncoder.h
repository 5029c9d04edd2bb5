#pragma once

#include "Classes/Document/GMPhotoFile.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Encoders that store a picture the way a photo file held it, where Qt's writers choose for themselves:
// a PNG's colour type and depth (grey with alpha among them), a JPEG's sampling, progression and inks, a
// WebP's lossless coding. Each takes straight (not premultiplied) pixels in the file's colour space, as
// RGBA8888 or RGBA64, and gives the file's bytes; empty, with a message, when it cannot encode them.
// Safe from any thread.
class GMPhotoEncoder
{
public:
    GMPhotoEncoder() = delete;

    // 8 or 16 bits a component as the image is; grey from the colours (as Qt makes grey), alpha kept
    // or left out. No ancillary chunks: the caller puts in the file's own.
    static QByteArray png(const QImage& image, bool grey, bool alpha, QString* errorMessage);

    // The layout `kind` tells (its components' sampling, progression, inks through its profile, stored
    // inverted where its Adobe marker says so) at that quality, with the encoder's own markers only.
    static QByteArray jpeg(const QImage& image, const GMPhotoFile::Kind& kind, int quality,
                           QString* errorMessage);

    // A BMP: colours, with their alpha where `alpha` (a version 4 header whose masks name the alpha
    // channel, which readers take as transparency), else 24 bits a pixel; at that resolution (pixels a
    // metre).
    static QByteArray bmp(const QImage& image, bool alpha, QSize pixelsPerMetre = QSize(2835, 2835));

    // Lossless (every pixel as it is, the colour under clear ones too) or at that quality, with the
    // profile and metadata chunks (EXIF, XMP) given.
    static QByteArray webp(const QImage& image, bool lossless, bool alpha, int quality,
                           const QByteArray& iccProfile, const QByteArray& metadataChunks,
                           QString* errorMessage);
};
