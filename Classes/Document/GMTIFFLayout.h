#pragma once

#include "Classes/Document/GMPhotoFile.h"

class QIODevice;

// What a TIFF stores that its reader's image format does not tell: inks (CMYK) or colours, extra
// channels, depth, pages and the profile's own bytes. Read from the file's directories, never its pixels.
// Safe from any thread.
class GMTIFFLayout
{
public:
    GMTIFFLayout() = delete;

    // Fills in `kind` from the TIFF on the device (read from its start); leaves it as it is where the
    // device holds no TIFF the library can read.
    static void read(QIODevice* device, GMPhotoFile::Kind& kind);
};
