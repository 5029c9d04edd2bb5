// Counts the blocks that differ between two JPEGs outside (and inside) the MCUs a rectangle touches.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <vector>
struct J
{
    jpeg_decompress_struct i;
    jpeg_error_mgr e;
    jvirt_barray_ptr* c;
    FILE* f;
};
static void openJ(J& j, const char* p)
{
    j.i.err = jpeg_std_error(&j.e);
    jpeg_create_decompress(&j.i);
    j.f = fopen(p, "rb");
    jpeg_stdio_src(&j.i, j.f);
    jpeg_read_header(&j.i, TRUE);
    j.c = jpeg_read_coefficients(&j.i);
}
int main(int argc, char** argv)
{
    J a, b;
    openJ(a, argv[1]);
    openJ(b, argv[2]);
    int rx = atoi(argv[3]), ry = atoi(argv[4]), rw = atoi(argv[5]), rh = atoi(argv[6]);
    int mw = 8 * a.i.max_h_samp_factor, mh = 8 * a.i.max_v_samp_factor;
    long out = 0, in = 0;
    for (int c = 0; c < a.i.num_components; ++c) {
        jpeg_component_info& ci = a.i.comp_info[c];
        for (JDIMENSION by = 0; by < ci.height_in_blocks; ++by) {
            JBLOCKARRAY ra = a.i.mem->access_virt_barray((j_common_ptr)&a.i, a.c[c], by, 1, FALSE);
            JBLOCKARRAY rb = b.i.mem->access_virt_barray((j_common_ptr)&b.i, b.c[c], by, 1, FALSE);
            for (JDIMENSION bx = 0; bx < ci.width_in_blocks; ++bx) {
                bool same = !memcmp(ra[0][bx], rb[0][bx], sizeof(JBLOCK));
                int mx = bx / ci.h_samp_factor, my = by / ci.v_samp_factor;
                bool touched =
                    (mx + 1) * mw > rx && mx * mw < rx + rw && (my + 1) * mh > ry && my * mh < ry + rh;
                if (!same)
                    (touched ? in : out)++;
            }
        }
    }
    printf("blocks differing outside touched MCUs: %ld, inside: %ld\n", out, in);
}
