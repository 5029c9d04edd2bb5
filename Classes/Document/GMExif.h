#pragma once

#include <QByteArray>
#include <QSize>
#include <functional>

// Reading and mending an EXIF block (the TIFF-structured data a JPEG's "Exif" segment, a PNG's eXIf
// chunk and a WebP's EXIF chunk hold, from its byte order mark on) where a saved picture makes it
// untrue: its thumbnail (the picture before the retouch), its orientation once the pixels are stored
// upright, its pixel size. Everything else stays byte for byte. The data is never trusted: a block that
// does not hold what it claims is given back as it is. Safe from any thread.
class GMExif
{
public:
    GMExif() = delete;

    // The orientation (1..8) the first directory names; 0 without one.
    static int orientation(const QByteArray& block);
    // The block with its orientation set to `value`, where it names one (a block without one is upright).
    static QByteArray withOrientation(const QByteArray& block, int value);
    // The block with the picture's size (the EXIF directory's width and height) set, where it names one.
    static QByteArray withPixelSize(const QByteArray& block, QSize size);
    // The size of the block's JPEG thumbnail; empty without one.
    static QSize thumbnailSize(const QByteArray& block);
    // The block with its thumbnail made anew: `thumbnail` gets the size of the old one and the most bytes
    // the new one may take, and answers a JPEG (empty: none fits). Where no new one can take the old
    // one's place the thumbnail is dropped, so that nothing shows the picture as it was. `limit`: the
    // most bytes the whole block may take (a JPEG segment's).
    static QByteArray withThumbnail(const QByteArray& block,
                                    const std::function<QByteArray(QSize size, qint64 maxBytes)>& thumbnail,
                                    qint64 limit);
};
