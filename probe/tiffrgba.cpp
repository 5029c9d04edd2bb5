// Both TIFFs' first pages through libtiff's RGBA interface: the largest difference and where.
#include <cstdio>
#include <cstdlib>
#include <tiffio.h>
#include <vector>
int main(int argc, char** argv)
{
    TIFF* a = TIFFOpen(argv[1], "r");
    TIFF* b = TIFFOpen(argv[2], "r");
    if (!a || !b)
        return 1;
    uint32_t w, h, w2, h2;
    TIFFGetField(a, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(a, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(b, TIFFTAG_IMAGEWIDTH, &w2);
    TIFFGetField(b, TIFFTAG_IMAGELENGTH, &h2);
    if (w != w2 || h != h2) {
        printf("size differs\n");
        return 1;
    }
    std::vector<uint32_t> p(w * h), q(w * h);
    int ra = TIFFReadRGBAImageOriented(a, w, h, p.data(), ORIENTATION_TOPLEFT, 0);
    int rb = TIFFReadRGBAImageOriented(b, w, h, q.data(), ORIENTATION_TOPLEFT, 0);
    int worst = 0;
    long n = 0;
    int minY = h, maxY = -1;
    for (uint32_t i = 0; i < w * h; ++i)
        for (int c = 0; c < 4; ++c) {
            int d = abs(int((p[i] >> (8 * c)) & 255) - int((q[i] >> (8 * c)) & 255));
            if (d > 0) {
                if (d > worst)
                    worst = d;
                ++n;
                int y = i / w;
                if (y < minY)
                    minY = y;
                if (y > maxY)
                    maxY = y;
            }
        }
    printf("read %d %d; %ld samples differ, largest %d, rows %d-%d\n", ra, rb, n, worst, minY, maxY);
}
