#pragma once

#include "Classes/Document/GMPhotoFile.h"

class QIODevice;
struct tiff;

// What a TIFF stores that its reader's image format does not tell: inks (CMYK) or colours, extra
// channels, depth and sample format, compression, pages, the profile's own bytes and its XMP packet.
// Read from the file's directories, never its pixels. Safe from any thread.
class GMTIFFLayout
{
public:
    GMTIFFLayout() = delete;

    // Fills in `kind` from the TIFF on the device (read from its start); leaves it as it is where the
    // device holds no TIFF the library can read.
    static void read(QIODevice* device, GMPhotoFile::Kind& kind);

    // The library's handle of the TIFF on the device ("r" to read, "w" to write: a device written to
    // grows where the library seeks past its end), its complaints kept quiet. Null when it cannot be
    // opened; closed with TIFFClose, which leaves the device open.
    static struct tiff* open(QIODevice* device, const char* mode);

    // Whether the library can write the first page of the open TIFF again strip by strip (or tile by
    // tile) in its own layout: samples together, whole bytes, a compression it encodes.
    static bool isRewritable(struct tiff* file);
};
