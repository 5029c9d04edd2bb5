// Reads a strip of a big-endian float TIFF with predictor 3 and encodes it again, as the save does, in a
// TIFF of its own of the same byte order: does the piece decode back to the same floats?
#include <cstdio>
#include <cstring>
#include <tiffio.h>
#include <vector>
int main(int, char** argv)
{
    TIFF* in = TIFFOpen(argv[1], "rc");
    uint32_t w, rps;
    uint16_t spp, bits, fmt, pred, comp;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rps);
    TIFFGetField(in, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(in, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(in, TIFFTAG_SAMPLEFORMAT, &fmt);
    TIFFGetField(in, TIFFTAG_PREDICTOR, &pred);
    TIFFGetField(in, TIFFTAG_COMPRESSION, &comp);
    std::vector<unsigned char> s(TIFFStripSize(in)), back(s.size());
    tmsize_t n = TIFFReadEncodedStrip(in, 0, s.data(), s.size());
    std::vector<unsigned char> keep = s;
    TIFF* out = TIFFOpen("/tmp/probe/piece.tif", TIFFIsBigEndian(in) ? "wb" : "wl");
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, rps);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(out, TIFFTAG_SAMPLEFORMAT, fmt);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_COMPRESSION, comp);
    TIFFSetField(out, TIFFTAG_PREDICTOR, pred);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rps);
    TIFFWriteEncodedStrip(out, 0, s.data(), n);
    TIFFWriteDirectory(out);
    TIFFClose(out);
    printf("buffer handed to the writer %s by it\n",
           memcmp(s.data(), keep.data(), n) ? "was CHANGED" : "unchanged");
    TIFF* r = TIFFOpen("/tmp/probe/piece.tif", "r");
    TIFFReadEncodedStrip(r, 0, back.data(), back.size());
    float a, b;
    memcpy(&a, keep.data() + 40, 4);
    memcpy(&b, back.data() + 40, 4);
    printf("sample read %g, written and read back %g\n", a, b);
}
