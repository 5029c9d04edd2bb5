// Makes JPEGs of layouts the application's tests do not: any sampling, restart interval, arithmetic
// coding, custom progression, grey / RGB / CMYK / YCCK.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 10) {
        fprintf(stderr, "genjpeg out w h space sampling quality restart arith progressive [smoothing]\n");
        return 2;
    }
    const char* out = argv[1];
    int w = atoi(argv[2]), h = atoi(argv[3]);
    std::string space = argv[4], sampling = argv[5];
    int quality = atoi(argv[6]), restart = atoi(argv[7]), arith = atoi(argv[8]), prog = atoi(argv[9]);
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    FILE* f = fopen(out, "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = w;
    c.image_height = h;
    J_COLOR_SPACE in = JCS_RGB, stored = JCS_YCbCr;
    int comps = 3;
    if (space == "grey") {
        in = JCS_GRAYSCALE;
        stored = JCS_GRAYSCALE;
        comps = 1;
    } else if (space == "rgb") {
        stored = JCS_RGB;
    } else if (space == "cmyk") {
        in = JCS_CMYK;
        stored = JCS_CMYK;
        comps = 4;
    } else if (space == "ycck") {
        in = JCS_CMYK;
        stored = JCS_YCCK;
        comps = 4;
    }
    c.input_components = comps;
    c.in_color_space = in;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, stored);
    jpeg_set_quality(&c, quality, TRUE);
    // sampling like "2x2,1x1,1x1"
    int k = 0;
    for (const char* p = sampling.c_str(); *p && k < comps; ++k) {
        c.comp_info[k].h_samp_factor = atoi(p);
        p = strchr(p, 'x') + 1;
        c.comp_info[k].v_samp_factor = atoi(p);
        while (*p && *p != ',')
            ++p;
        if (*p == ',')
            ++p;
    }
    c.restart_interval = restart;
    c.arith_code = arith;
    c.optimize_coding = arith ? FALSE : TRUE;
    if (prog == 1)
        jpeg_simple_progression(&c);
    else if (prog == 2 && comps == 3) {
        // An odd script: each component alone, DC first then AC in two bands with successive approximation.
        static jpeg_scan_info scans[] = {
            {1, {0}, 0, 0, 0, 1},   {1, {1}, 0, 0, 0, 0},  {1, {2}, 0, 0, 0, 0},  {1, {0}, 1, 9, 0, 2},
            {1, {0}, 10, 63, 0, 1}, {1, {2}, 1, 63, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {0}, 1, 9, 2, 1},
            {1, {0}, 1, 63, 1, 0},  {1, {0}, 0, 0, 1, 0},
        };
        c.scan_info = scans;
        c.num_scans = sizeof(scans) / sizeof(scans[0]);
    }
    if (argc > 10)
        c.smoothing_factor = atoi(argv[10]);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(w) * comps);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int q = 0; q < comps; ++q) {
                int v;
                if (q == 0)
                    v = (x * 37 + y * 11) % 256;
                else if (q == 1)
                    v = (x * 13 + y * 29 + ((x / 5 + y / 3) % 2) * 60) % 256;
                else if (q == 2)
                    v = (x * 7 + y * 17) % 256;
                else
                    v = (x * 3 + y * 5) % 200;
                row[size_t(x) * comps + q] = (unsigned char)v;
            }
        JSAMPROW r[1] = {row.data()};
        jpeg_write_scanlines(&c, r, 1);
    }
    jpeg_finish_compress(&c);
    fclose(f);
    jpeg_destroy_compress(&c);
    return 0;
}
