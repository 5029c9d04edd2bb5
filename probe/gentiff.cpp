// Makes TIFFs of layouts the application's tests do not: key=value arguments.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tiffio.h>
#include <vector>

int main(int argc, char** argv)
{
    std::map<std::string, std::string> o;
    for (int i = 2; i < argc; ++i) {
        const char* eq = strchr(argv[i], '=');
        o[std::string(argv[i], eq - argv[i])] = eq + 1;
    }
    auto I = [&](const char* k, int d) { return o.count(k) ? atoi(o[k].c_str()) : d; };
    const int W = I("w", 64), H = I("h", 48), bits = I("bits", 8), pages = I("pages", 1);
    const bool fl = I("float", 0), tiled = I("tiled", 0), planar = I("planar", 0);
    const int photometric = I("photo", PHOTOMETRIC_RGB), comp = I("comp", COMPRESSION_NONE);
    const int pred = I("pred", 1), extra = I("extra", 0), extraKind = I("extrakind", EXTRASAMPLE_UNASSALPHA);
    const int orient = I("orient", 1), rps = I("rps", 16), tw = I("tw", 16), th = I("th", 16);
    const int jtm = I("jtm", -1), subifd = I("subifd", 0), exififd = I("exififd", 0);
    std::string mode = "w";
    if (I("be", 0))
        mode += "b";
    else
        mode += "l";
    if (I("big", 0))
        mode += "8";
    TIFF* t = TIFFOpen(argv[1], mode.c_str());
    if (!t)
        return 1;
    const int colours = (photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_YCBCR) ? 3
                        : photometric == PHOTOMETRIC_SEPARATED                               ? 4
                                                                                             : 1;
    const int spp = colours + extra;
    for (int page = 0; page < pages; ++page) {
        const int w = W + page * 7, h = H + page * 3; // pages of different sizes
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, spp);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, fl ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, comp);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
        if (comp == COMPRESSION_JPEG) {
            TIFFSetField(t, TIFFTAG_JPEGQUALITY, 90);
            if (photometric == PHOTOMETRIC_YCBCR)
                TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
            if (jtm >= 0)
                TIFFSetField(t, TIFFTAG_JPEGTABLESMODE, jtm);
        }
        if (pred > 1)
            TIFFSetField(t, TIFFTAG_PREDICTOR, pred);
        if (extra) {
            std::vector<uint16_t> e(extra, EXTRASAMPLE_UNSPECIFIED);
            e[0] = extraKind;
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, extra, e.data());
        }
        if (photometric == PHOTOMETRIC_PALETTE) {
            int n = 1 << bits;
            std::vector<uint16_t> r(n), g(n), b(n);
            for (int i = 0; i < n; ++i) {
                r[i] = (i * 97 % n) * 65535 / (n - 1);
                g[i] = (i * 31 % n) * 65535 / (n - 1);
                b[i] = (n - 1 - i) * 65535 / (n - 1);
            }
            TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
        }
        TIFFSetField(t, TIFFTAG_ORIENTATION, orient);
        TIFFSetField(t, TIFFTAG_ARTIST, "Ada");
        TIFFSetField(t, TIFFTAG_MAKE, "Camera Company");
        TIFFSetField(t, TIFFTAG_MODEL, "M1");
        TIFFSetField(t, TIFFTAG_IMAGEDESCRIPTION, "Window light");
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0f);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0f);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        if (pages > 1) {
            TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
            TIFFSetField(t, TIFFTAG_PAGENUMBER, page, pages);
        }
        if (page == 0 && subifd) {
            uint64_t z[1] = {0};
            TIFFSetField(t, TIFFTAG_SUBIFD, 1, z);
        }
        if (tiled) {
            TIFFSetField(t, TIFFTAG_TILEWIDTH, tw);
            TIFFSetField(t, TIFFTAG_TILELENGTH, th);
        } else
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rps);
        if (page == 0 && exififd) {
            // placeholder, filled after the directory is written
            TIFFSetField(t, TIFFTAG_EXIFIFD, (uint64_t)0);
        }
        auto val = [&](int x, int y, int c) -> double {
            if (c >= colours)
                return c == colours ? ((x + 3 * y) % 8) / 7.0 : ((x * y) % 5) / 4.0;
            if (c == 0)
                return ((x * 37 + y * 11) % 97) / 96.0;
            if (c == 1)
                return ((x * 13 + y * 29) % 89) / 88.0;
            if (c == 2)
                return ((x * 7 + y * 17) % 83) / 82.0;
            return ((x * 3 + y * 5) % 79) / 78.0;
        };
        const int bytesPer = bits >= 8 ? bits / 8 : 0;
        auto fill = [&](unsigned char* dst, int x0, int y0, int ww, int hh, int rowW,
                        int sample /* -1 all */) {
            const int ns = sample < 0 ? spp : 1;
            for (int y = 0; y < hh; ++y) {
                if (bits < 8) {
                    const int rowBytes = (rowW * ns * bits + 7) / 8;
                    memset(dst + (size_t)y * rowBytes, 0, rowBytes);
                }
                for (int x = 0; x < ww; ++x)
                    for (int s = 0; s < ns; ++s) {
                        const int c = sample < 0 ? s : sample;
                        const double v = (x0 + x < w && y0 + y < h) ? val(x0 + x, y0 + y + page, c) : 0;
                        if (bits < 8) {
                            const int rowBytes = (rowW * ns * bits + 7) / 8;
                            const int maxv = (1 << bits) - 1;
                            const int q = (int)lround(v * maxv);
                            const int bit = (x * ns + s) * bits;
                            dst[(size_t)y * rowBytes + bit / 8] |= q << (8 - bits - bit % 8);
                        } else {
                            unsigned char* p = dst + (((size_t)y * rowW + x) * ns + s) * bytesPer;
                            if (fl && bits == 32)
                                *(float*)p = (float)(v * (c < colours ? 1.5 : 1));
                            else if (bits == 16)
                                *(uint16_t*)p = (uint16_t)lround(v * 65535);
                            else if (bits == 32)
                                *(uint32_t*)p = (uint32_t)llround(v * 4294967295.0);
                            else
                                *p = (unsigned char)lround(v * 255);
                        }
                    }
            }
        };
        const int nplanes = planar ? spp : 1;
        if (tiled) {
            std::vector<unsigned char> buf(TIFFTileSize(t));
            for (int pl = 0; pl < nplanes; ++pl)
                for (int y = 0; y < h; y += th)
                    for (int x = 0; x < w; x += tw) {
                        std::fill(buf.begin(), buf.end(), 0);
                        fill(buf.data(), x, y, tw, th, tw, planar ? pl : -1);
                        TIFFWriteTile(t, buf.data(), x, y, 0, pl);
                    }
        } else {
            std::vector<unsigned char> buf(TIFFScanlineSize(t) + 16);
            for (int pl = 0; pl < nplanes; ++pl)
                for (int y = 0; y < h; ++y) {
                    std::fill(buf.begin(), buf.end(), 0);
                    fill(buf.data(), 0, y, w, 1, w, planar ? pl : -1);
                    if (TIFFWriteScanline(t, buf.data(), y, pl) < 0)
                        return 3;
                }
        }
        if (!TIFFWriteDirectory(t))
            return 4;
        if (page == 0 && subifd) {
            // the sub-picture: a small grey one
            TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
            TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 8);
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, 8);
            TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 8);
            unsigned char sub[64];
            for (int i = 0; i < 64; ++i)
                sub[i] = i * 4;
            TIFFWriteEncodedStrip(t, 0, sub, 64);
            TIFFWriteDirectory(t);
        }
    }
    TIFFClose(t);
    if (exififd) {
        // Append a custom EXIF directory through libtiff's own API
        TIFF* a = TIFFOpen(argv[1], "r+");
        TIFFCreateEXIFDirectory(a);
        TIFFSetField(a, EXIFTAG_EXPOSURETIME, 0.01);
        TIFFSetField(a, EXIFTAG_FNUMBER, 2.8);
        uint64_t off = 0;
        TIFFWriteCustomDirectory(a, &off);
        TIFFSetDirectory(a, 0);
        TIFFSetField(a, TIFFTAG_EXIFIFD, off);
        TIFFRewriteDirectory(a);
        TIFFClose(a);
    }
    return 0;
}
