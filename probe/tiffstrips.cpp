// Per strip or tile of the first page: whether it decodes, and its largest difference from the same piece of
// another TIFF.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <tiffio.h>
#include <vector>

static void quiet(const char*, const char*, va_list) {}

int main(int argc, char** argv)
{
    TIFFSetWarningHandler(quiet);
    TIFF* a = TIFFOpen(argv[1], "r");
    TIFF* b = TIFFOpen(argv[2], "r");
    if (!a || !b) {
        printf("open failed %p %p\n", (void*)a, (void*)b);
        return 1;
    }
    uint16_t photo = 0, bits = 8, fmt = 1, spp = 1, comp = 1;
    TIFFGetField(a, TIFFTAG_PHOTOMETRIC, &photo);
    TIFFGetFieldDefaulted(a, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(a, TIFFTAG_SAMPLEFORMAT, &fmt);
    TIFFGetFieldDefaulted(a, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(a, TIFFTAG_COMPRESSION, &comp);
    if (comp == COMPRESSION_JPEG && photo == PHOTOMETRIC_YCBCR) {
        TIFFSetField(a, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(b, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    const bool tiled = TIFFIsTiled(a);
    const uint32_t n = tiled ? TIFFNumberOfTiles(a) : TIFFNumberOfStrips(a);
    const tmsize_t size = tiled ? TIFFTileSize(a) : TIFFStripSize(a);
    std::vector<unsigned char> p(size), q(size);
    for (uint32_t s = 0; s < n; ++s) {
        tmsize_t ga =
            tiled ? TIFFReadEncodedTile(a, s, p.data(), size) : TIFFReadEncodedStrip(a, s, p.data(), size);
        tmsize_t gb =
            tiled ? TIFFReadEncodedTile(b, s, q.data(), size) : TIFFReadEncodedStrip(b, s, q.data(), size);
        double worst = 0;
        long differ = 0;
        const tmsize_t m = std::min(ga, gb);
        if (bits == 32 && fmt == 3) {
            for (tmsize_t i = 0; i + 4 <= m; i += 4) {
                float x, y;
                memcpy(&x, &p[i], 4);
                memcpy(&y, &q[i], 4);
                if (x != y) {
                    ++differ;
                    worst = std::max(worst, (double)std::fabs(x - y));
                }
            }
        } else if (bits == 16) {
            for (tmsize_t i = 0; i + 2 <= m; i += 2) {
                uint16_t x, y;
                memcpy(&x, &p[i], 2);
                memcpy(&y, &q[i], 2);
                if (x != y) {
                    ++differ;
                    worst = std::max(worst, (double)std::abs(x - y));
                }
            }
        } else {
            for (tmsize_t i = 0; i < m; ++i)
                if (p[i] != q[i]) {
                    ++differ;
                    worst = std::max(worst, (double)std::abs(p[i] - q[i]));
                }
        }
        printf("piece %u: read %ld/%ld, %ld samples differ, largest %g\n", s, (long)ga, (long)gb, differ,
               worst);
    }
    TIFFClose(a);
    TIFFClose(b);
}
