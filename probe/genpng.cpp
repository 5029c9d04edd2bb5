// Makes PNGs: genpng out colortype depth interlace w h [chunks...]
// chunks: trns, gama1, gama45, chrm, iccp, srgb, text, ztxt, itxt, exif6, phys, sbit, bkgd, time, priv, apng
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>
#include <string>
#include <vector>
#include <zlib.h>

int main(int argc, char** argv)
{
    const char* out = argv[1];
    int ct = atoi(argv[2]), depth = atoi(argv[3]), interlace = atoi(argv[4]), w = atoi(argv[5]),
        h = atoi(argv[6]);
    std::vector<std::string> chunks(argv + 7, argv + argc);
    auto has = [&](const char* c) {
        for (auto& s : chunks)
            if (s == c)
                return true;
        return false;
    };
    FILE* f = fopen(out, "wb");
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, 0, 0, 0);
    png_infop info = png_create_info_struct(p);
    png_init_io(p, f);
    png_set_IHDR(p, info, w, h, depth, ct, interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, 0, 0);
    const int channels = ct == 0 ? 1 : ct == 2 ? 3 : ct == 3 ? 1 : ct == 4 ? 2 : 4;
    const int maxv = (1 << depth) - 1;
    if (ct == 3) {
        std::vector<png_color> pal(1 << depth);
        for (size_t i = 0; i < pal.size(); ++i)
            pal[i] = {png_byte(i * 97), png_byte(i * 31), png_byte(255 - i)};
        png_set_PLTE(p, info, pal.data(), pal.size());
        if (has("trns")) {
            std::vector<png_byte> a(pal.size());
            for (size_t i = 0; i < a.size(); ++i)
                a[i] = png_byte((i * 53) % 256);
            png_set_tRNS(p, info, a.data(), a.size(), 0);
        }
    } else if (has("trns")) {
        png_color_16 c{};
        c.gray = 3 % (maxv + 1);
        c.red = 3 % (maxv + 1);
        c.green = 5 % (maxv + 1);
        c.blue = 7 % (maxv + 1);
        png_set_tRNS(p, info, 0, 0, &c);
    }
    if (has("gama1"))
        png_set_gAMA(p, info, 1.0);
    if (has("gama45"))
        png_set_gAMA(p, info, 0.45455);
    if (has("gama22"))
        png_set_gAMA(p, info, 1 / 2.2 * 0.8);
    if (has("chrm"))
        png_set_cHRM(p, info, 0.3127, 0.329, 0.64, 0.33, 0.21, 0.71, 0.15, 0.06);
    if (has("srgb"))
        png_set_sRGB(p, info, 0);
    if (has("iccp")) {
        FILE* pf = fopen("/tmp/probe/adobe.icc", "rb");
        std::vector<unsigned char> prof(1 << 20);
        size_t n = fread(prof.data(), 1, prof.size(), pf);
        fclose(pf);
        png_set_iCCP(p, info, "Adobe RGB", 0, prof.data(), n);
    }
    std::vector<png_text> texts;
    if (has("text"))
        texts.push_back({PNG_TEXT_COMPRESSION_NONE, (char*)"Author", (char*)"Ada", 3, 0, 0, 0});
    if (has("ztxt"))
        texts.push_back(
            {PNG_TEXT_COMPRESSION_zTXt, (char*)"Description", (char*)"Window light, compressed", 0, 0, 0, 0});
    if (has("itxt"))
        texts.push_back({PNG_ITXT_COMPRESSION_NONE, (char*)"XML:com.adobe.xmp",
                         (char*)"<x:xmpmeta xmlns:x='adobe:ns:meta/'/>", 0, 0, (char*)"", (char*)""});
    if (!texts.empty())
        png_set_text(p, info, texts.data(), texts.size());
    if (has("phys"))
        png_set_pHYs(p, info, 11811, 11811, PNG_RESOLUTION_METER);
    if (has("sbit")) {
        png_color_8 s{};
        s.red = s.green = s.blue = s.gray = depth > 8 ? 12 : 6;
        s.alpha = depth > 8 ? 12 : 6;
        png_set_sBIT(p, info, &s);
    }
    if (has("bkgd")) {
        png_color_16 b{};
        b.red = 1;
        b.green = 2;
        b.blue = 3;
        b.gray = 1;
        b.index = 1;
        png_set_bKGD(p, info, &b);
    }
    if (has("time")) {
        png_time t{2020, 1, 2, 3, 4, 5};
        png_set_tIME(p, info, &t);
    }
    if (has("exif6")) {
        static unsigned char e[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3,
                                    0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0, 0};
        png_set_eXIf_1(p, info, sizeof e, e);
    }
    std::vector<png_unknown_chunk> unk;
    if (has("priv")) {
        static unsigned char d1[] = "safe to copy data";
        static unsigned char d2[] = "unsafe to copy data";
        png_unknown_chunk a{};
        memcpy(a.name, "prVt", 5);
        a.data = d1;
        a.size = sizeof d1;
        a.location = PNG_HAVE_IHDR;
        png_unknown_chunk b{};
        memcpy(b.name, "prvT", 5);
        b.data = d2;
        b.size = sizeof d2;
        b.location = PNG_HAVE_IHDR;
        unk.push_back(a);
        unk.push_back(b);
        png_set_keep_unknown_chunks(p, PNG_HANDLE_CHUNK_ALWAYS, 0, 0);
        png_set_unknown_chunks(p, info, unk.data(), unk.size());
    }
    if (has("apng")) {
        // acTL before IDAT claiming 2 frames (a frame control for the default image as well)
        static unsigned char actl[8] = {0, 0, 0, 2, 0, 0, 0, 0};
        png_unknown_chunk a{};
        memcpy(a.name, "acTL", 5);
        a.data = actl;
        a.size = 8;
        a.location = PNG_HAVE_IHDR;
        unk.push_back(a);
        png_set_keep_unknown_chunks(p, PNG_HANDLE_CHUNK_ALWAYS, 0, 0);
        png_set_unknown_chunks(p, info, unk.data(), unk.size());
    }
    png_write_info(p, info);
    if (depth == 16)
        png_set_swap(p);
    const int bpr = (w * channels * depth + 7) / 8;
    std::vector<std::vector<png_byte>> rows(h, std::vector<png_byte>(bpr + 8, 0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                double v;
                const bool alpha = (ct == 4 && c == 1) || (ct == 6 && c == 3);
                if (alpha) {
                    static const double al[] = {0, 0.002, 0.005, 0.01, 0.03, 0.2, 0.7, 1};
                    v = al[(x + 3 * y) % 8];
                } else
                    v = (((x * (37 + 24 * c)) + y * (11 + 18 * c)) % 97) / 96.0;
                int q = ct == 3 ? ((x * 7 + y * 3) % (maxv + 1)) : (int)lround(v * maxv);
                if (depth == 16) {
                    uint16_t s = q;
                    memcpy(&rows[y][(x * channels + c) * 2], &s, 2);
                } else if (depth == 8)
                    rows[y][x * channels + c] = q;
                else {
                    int bit = (x * channels + c) * depth;
                    rows[y][bit / 8] |= q << (8 - depth - bit % 8);
                }
            }
    std::vector<png_bytep> ptrs(h);
    for (int y = 0; y < h; ++y)
        ptrs[y] = rows[y].data();
    png_write_image(p, ptrs.data());
    png_write_end(p, info);
    png_destroy_write_struct(&p, &info);
    fclose(f);
}
