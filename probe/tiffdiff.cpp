// Decodes page 0 of two TIFFs strip by strip (or tile by tile) with libtiff and tells which pieces differ.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tiffio.h>
#include <vector>
int main(int, char** argv)
{
    TIFF* a = TIFFOpen(argv[1], "r");
    TIFF* b = TIFFOpen(argv[2], "r");
    if (!a || !b) {
        printf("open failed %p %p\n", (void*)a, (void*)b);
        return 1;
    }
    const bool tiled = TIFFIsTiled(a);
    const uint32_t na = tiled ? TIFFNumberOfTiles(a) : TIFFNumberOfStrips(a);
    const uint32_t nb = tiled ? TIFFNumberOfTiles(b) : TIFFNumberOfStrips(b);
    uint16_t ca, cb;
    TIFFGetField(a, TIFFTAG_COMPRESSION, &ca);
    TIFFGetField(b, TIFFTAG_COMPRESSION, &cb);
    printf("pieces %u %u compression %u %u\n", na, nb, ca, cb);
    const tmsize_t size = tiled ? TIFFTileSize(a) : TIFFStripSize(a);
    std::vector<unsigned char> p(size), q(size);
    for (uint32_t i = 0; i < na && i < nb; ++i) {
        const tmsize_t x =
            tiled ? TIFFReadEncodedTile(a, i, p.data(), size) : TIFFReadEncodedStrip(a, i, p.data(), size);
        const tmsize_t y =
            tiled ? TIFFReadEncodedTile(b, i, q.data(), size) : TIFFReadEncodedStrip(b, i, q.data(), size);
        int largest = 0;
        for (tmsize_t k = 0; k < x && k < y; ++k)
            largest = std::max(largest, abs(int(p[k]) - int(q[k])));
        printf("piece %u: %ld %ld bytes, %s, largest byte diff %d\n", i, long(x), long(y),
               x == y && !memcmp(p.data(), q.data(), x) ? "same" : "DIFFERS", largest);
    }
}
