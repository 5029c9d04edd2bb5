// Photos of kinds the other saving tests do not make, each made with its kind's own library, painted with
// one stroke (or nothing) and saved over: what no layer painted must come back as it was.
#include "DocumentTestSupport.h"
#include "Platform/Image/ImageFile.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <csetjmp>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

using namespace doctest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Blocks
{
    int mcuWidth = 0, mcuHeight = 0, width = 0, height = 0;
    struct Component
    {
        int h = 1, v = 1, across = 0, down = 0;
        std::vector<JCOEF> coefficients;
    };
    std::vector<Component> components;
    bool valid = false;
};

struct JPEGErrors
{
    jpeg_error_mgr base;
    jmp_buf jump;
};

Blocks blocksOf(const QByteArray& data)
{
    Blocks out;
    jpeg_decompress_struct info{};
    JPEGErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr i) { longjmp(reinterpret_cast<JPEGErrors*>(i->err)->jump, 1); };
    jpeg_create_decompress(&info);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return Blocks();
    }
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), (unsigned long)data.size());
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    out.mcuWidth = DCTSIZE * info.max_h_samp_factor;
    out.mcuHeight = DCTSIZE * info.max_v_samp_factor;
    out.width = int(info.image_width);
    out.height = int(info.image_height);
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        Blocks::Component component{comp.h_samp_factor,
                                    comp.v_samp_factor,
                                    int(comp.width_in_blocks),
                                    int(comp.height_in_blocks),
                                    {}};
        for (int by = 0; by < component.down; ++by) {
            JBLOCKARRAY row = (*info.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&info),
                                                              arrays[c], JDIMENSION(by), 1, FALSE);
            for (int bx = 0; bx < component.across; ++bx)
                component.coefficients.insert(component.coefficients.end(), row[0][bx], row[0][bx] + 64);
        }
        out.components.push_back(std::move(component));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    out.valid = true;
    return out;
}

void paintLayer(PhotoToolChain& chain, const QRect& stroke)
{
    const pf::Size size = chain.originalImageSize();
    pf::Bitmap mask(int(size.width), int(size.height), pf::Bitmap::Format::RGBA8);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            const uint8_t v = stroke.contains(x, y) ? 255 : 0;
            uint8_t* p = mask.mutableRow(y) + 4 * x;
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    const int index = chain.numberOfTools();
    chain.insertPhotoToolWithBlueprint(
        chaintest::tint(), QVariantMap{{"color", QVariant::fromValue(pf::Color(0.1, 0.8, 0.3, 1))}},
        index - 1);
    auto additional = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(pf::Color(0, 0, 0, 0))
            .imageByCroppingToRect(pf::Rect(0, 0, size.width, size.height)),
        false);
    chain.brushPathImageAtIndex(index)->addContentContainer(std::make_shared<OVContentContainer>(
        std::make_shared<OVImageContainer>(pf::Image::fromBitmap(mask), true), additional));
    QCoreApplication::processEvents();
}

} // namespace

namespace {

const QRect findingStroke(4, 4, 8, 8); // inside the first 16 rows: the first strip of a TIFF

struct TIFFFinding
{
    const char* name;
    uint16_t photometric, compression, predictor;
    int jpegTablesMode; // -1: the library's default
    bool bigEndian, floats;
};

bool makeFindingTIFF(const QString& path, const TIFFFinding& f)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), f.bigEndian ? "wb" : "wl");
    if (!tiff)
        return false;
    const int w = 64, h = 48, bits = f.floats ? 32 : 8;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, f.floats ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, f.compression);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, f.photometric);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
    if (f.compression == COMPRESSION_JPEG) {
        TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
        if (f.photometric == PHOTOMETRIC_YCBCR)
            TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        if (f.jpegTablesMode >= 0)
            TIFFSetField(tiff, TIFFTAG_JPEGTABLESMODE, f.jpegTablesMode);
    }
    if (f.predictor != PREDICTOR_NONE)
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, f.predictor);
    std::vector<unsigned char> row(size_t(w) * 3 * (bits / 8));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                // smooth, so that JPEG keeps it close
                const double v = (c == 0 ? x * 3 + y : c == 1 ? y * 4 + 20 : 200 - x * 2) / 255.0;
                if (f.floats) {
                    const float value = float(v * 1.5);
                    memcpy(row.data() + (size_t(x) * 3 + c) * 4, &value, 4);
                } else
                    row[size_t(x) * 3 + c] = uchar(std::lround(std::clamp(v, 0.0, 1.0) * 255));
            }
        if (TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) < 0) {
            TIFFClose(tiff);
            return false;
        }
    }
    TIFFClose(tiff);
    return true;
}

// The picture as 8-bit RGBA, upright as stored, through the library's own conversion; null when it
// cannot be read.
QImage tiffRGBA(const QString& path)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tiff)
        return QImage();
    uint32_t w = 0, h = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
    QImage image(int(w), int(h), QImage::Format_RGBA8888);
    std::vector<uint32_t> raster(size_t(w) * h);
    const bool ok = TIFFReadRGBAImageOriented(tiff, w, h, raster.data(), ORIENTATION_TOPLEFT, 0);
    TIFFClose(tiff);
    if (!ok)
        return QImage();
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t p = raster[size_t(y) * w + x];
            uchar* q = image.scanLine(int(y)) + 4 * x;
            q[0] = uchar(TIFFGetR(p));
            q[1] = uchar(TIFFGetG(p));
            q[2] = uchar(TIFFGetB(p));
            q[3] = uchar(TIFFGetA(p));
        }
    return image;
}

// The stored samples of the strips as the library decodes them, one vector a strip; empty where a strip
// cannot be decoded.
std::vector<QByteArray> tiffStrips(const QString& path)
{
    std::vector<QByteArray> strips;
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!tiff)
        return strips;
    for (uint32_t s = 0; s < TIFFNumberOfStrips(tiff); ++s) {
        QByteArray strip(TIFFStripSize(tiff), 0);
        const tmsize_t n = TIFFReadEncodedStrip(tiff, s, strip.data(), strip.size());
        strips.push_back(n < 0 ? QByteArray() : strip.left(n));
    }
    TIFFClose(tiff);
    return strips;
}

// The largest difference of an 8-bit channel outside `stroke`.
int largestOutside(const QImage& a, const QImage& b, const QRect& stroke)
{
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return 999;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!stroke.contains(x, y))
                for (int c = 0; c < 4; ++c)
                    largest = std::max(largest, std::abs(int(a.constScanLine(y)[4 * x + c]) -
                                                         int(b.constScanLine(y)[4 * x + c])));
    return largest;
}

class UnusualPhotoSaves : public WorkingAreaTest
{
protected:
    // Opens the photo, paints `stroke` (nothing where it is empty) and saves over it.
    bool paintAndSave(const QString& path, const QRect& stroke)
    {
        Opened opened = open(m_documents, path);
        if (!opened.document || !opened.chain())
            return false;
        paintLayer(*opened.chain(), stroke);
        const SaveResult saved = save(*opened.document, path, opened.document->fileType(), Op::Save);
        opened.document->close();
        return saved.succeeded;
    }
    // The picture as the application shows it: a copy under a name of its own (so that no kept edits
    // stand in for it), exported as PNG, painted nowhere, read as 8-bit RGBA.
    QImage shownAs(const QString& file)
    {
        const QString path = QFileInfo(file).dir().filePath("shown-" + QFileInfo(file).fileName());
        QFile::remove(path);
        if (!QFile::copy(file, path))
            return QImage();
        Opened opened = open(m_documents, path);
        if (!opened.document || !opened.chain())
            return QImage();
        const QString png = path + ".shown.png";
        const SaveResult saved = save(*opened.document, png, "png", Op::SaveTo);
        opened.document->close();
        return saved.succeeded ? QImage(png).convertToFormat(QImage::Format_RGBA8888) : QImage();
    }
    TestController m_documents;
};

} // namespace

// A TIFF whose strips are JPEG-compressed, with its tables in every strip or its pixels stored as RGB
// rather than YCbCr: after Save the file must still be readable, the strips no stroke touched decode as
// they did, and the rest stays near what it was (the touched strip is encoded again, lossily).
TEST_F(UnusualPhotoSaves, JPEGCompressedTIFFsStayReadableAndInTheirColours)
{
    const TIFFFinding cases[] = {
        {"ycbcr-shared-tables", PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, PREDICTOR_NONE, -1, false, false},
        {"ycbcr-tables-in-every-strip", PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, PREDICTOR_NONE, 0, false, false},
        {"rgb", PHOTOMETRIC_RGB, COMPRESSION_JPEG, PREDICTOR_NONE, -1, false, false},
    };
    for (const TIFFFinding& f : cases) {
        SCOPED_TRACE(f.name);
        const QString path = m_dir.filePath(QStringLiteral("%1.tif").arg(f.name));
        const QString before = m_dir.filePath(QStringLiteral("before-%1.tif").arg(f.name));
        ASSERT_TRUE(makeFindingTIFF(path, f));
        ASSERT_TRUE(QFile::copy(path, before));
        ASSERT_TRUE(paintAndSave(path, findingStroke));
        const std::vector<QByteArray> was = tiffStrips(before), is = tiffStrips(path);
        ASSERT_EQ(was.size(), 3u);
        EXPECT_EQ(is.size(), was.size()) << "the strips are laid out anew";
        for (size_t s = 0; s < std::min(was.size(), is.size()); ++s) {
            EXPECT_FALSE(is[s].isEmpty()) << "strip " << s << " cannot be decoded";
            if (s > 0) {
                EXPECT_EQ(is[s], was[s]) << "strip " << s << ", which no stroke touched, changed";
            }
        }
        // The MCUs the stroke touches are encoded again from the painted picture; the rest of the strip
        // only loses what encoding a smooth picture again at its quality loses.
        EXPECT_LE(largestOutside(tiffRGBA(before), tiffRGBA(path), QRect(0, 0, 16, 16)), 12);
        // and the application shows its own saved file as it showed the photo
        EXPECT_LE(largestOutside(shownAs(before), shownAs(path), QRect(0, 0, 16, 16)), 12);
    }
}

// A float TIFF with the floating-point predictor keeps every value outside the stroke exactly, whatever
// its byte order.
TEST_F(UnusualPhotoSaves, FloatTIFFsKeepTheirValuesOutsideTheStrokeInEitherByteOrder)
{
    const TIFFFinding cases[] = {
        {"little-endian", PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_FLOATINGPOINT, -1, false,
         true},
        {"big-endian", PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_FLOATINGPOINT, -1, true, true},
        {"big-endian-no-predictor", PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_NONE, -1, true,
         true},
    };
    for (const TIFFFinding& f : cases) {
        SCOPED_TRACE(f.name);
        const QString path = m_dir.filePath(QStringLiteral("%1.tif").arg(f.name));
        const QString before = m_dir.filePath(QStringLiteral("before-%1.tif").arg(f.name));
        ASSERT_TRUE(makeFindingTIFF(path, f));
        ASSERT_TRUE(QFile::copy(path, before));
        ASSERT_TRUE(paintAndSave(path, findingStroke));
        const std::vector<QByteArray> was = tiffStrips(before), is = tiffStrips(path);
        ASSERT_EQ(is.size(), was.size());
        long changed = 0;
        float worstWas = 0, worstIs = 0;
        for (size_t s = 0; s < was.size(); ++s) {
            ASSERT_EQ(is[s].size(), was[s].size());
            const auto* p = reinterpret_cast<const float*>(was[s].constData());
            const auto* q = reinterpret_cast<const float*>(is[s].constData());
            for (int i = 0; i < int(was[s].size() / 4); ++i) {
                const int x = (i / 3) % 64, y = int(s) * 16 + (i / 3) / 64;
                if (!findingStroke.contains(x, y) && p[i] != q[i]) {
                    if (changed++ == 0) {
                        worstWas = p[i];
                        worstIs = q[i];
                    }
                }
            }
        }
        EXPECT_EQ(changed, 0) << "values outside the stroke changed, e.g. " << worstWas << " became "
                              << worstIs;
    }
}

namespace {

// A 64 x 48 RGB PNG with a tRNS colour key that no pixel has: an opaque photo.
bool makeKeyedPNG(const QString& path, int depth)
{
    png_image image{};
    (void)image;
    FILE* file = fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    const int w = 64, h = 48;
    png_set_IHDR(png, info, w, h, depth, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color_16 key{};
    key.red = 3;
    key.green = 5;
    key.blue = 7;
    png_set_tRNS(png, info, nullptr, 0, &key);
    png_write_info(png, info);
    const int bytes = depth / 8;
    std::vector<png_byte> row(size_t(w) * 3 * bytes);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const int v = (c == 0 ? x * 4 : c == 1 ? y * 5 : 255 - x * 3) & 255;
                png_byte* p = row.data() + (size_t(x) * 3 + c) * bytes;
                if (depth == 16) {
                    p[0] = png_byte(v); // big-endian samples
                    p[1] = png_byte(v ^ 0x5a);
                } else
                    p[0] = png_byte(v);
            }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return true;
}

// The PNG as 16-bit RGBA samples (the tRNS key turned into alpha) through the library's own reader;
// empty when it cannot be read.
std::vector<uint16_t> pngRGBA16(const QString& path, int* width)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, QFile::encodeName(path).constData()))
        return {};
    image.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
    std::vector<uint16_t> pixels(PNG_IMAGE_SIZE(image) / 2);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    *width = int(image.width);
    return pixels;
}

} // namespace

// An opaque RGB PNG with a transparency colour key (that no pixel has): saved over, it keeps every pixel
// outside the stroke, and stays opaque.
TEST_F(UnusualPhotoSaves, APNGWithATransparencyKeyKeepsItsPixels)
{
    for (const int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const QString path = m_dir.filePath(QStringLiteral("keyed-%1.png").arg(depth));
        const QString before = m_dir.filePath(QStringLiteral("before-keyed-%1.png").arg(depth));
        ASSERT_TRUE(makeKeyedPNG(path, depth));
        ASSERT_TRUE(QFile::copy(path, before));
        ASSERT_TRUE(paintAndSave(path, findingStroke));
        int w = 0, v = 0;
        const std::vector<uint16_t> was = pngRGBA16(before, &w), is = pngRGBA16(path, &v);
        ASSERT_FALSE(was.empty());
        ASSERT_EQ(is.size(), was.size());
        long changed = 0, translucent = 0;
        for (size_t i = 0; i < was.size() / 4; ++i) {
            const int x = int(i) % w, y = int(i) / w;
            translucent += is[4 * i + 3] != 65535 ? 1 : 0;
            if (!findingStroke.contains(x, y) && !std::equal(&was[4 * i], &was[4 * i] + 4, &is[4 * i]))
                ++changed;
        }
        EXPECT_EQ(changed, 0) << "pixels outside the stroke changed";
        EXPECT_EQ(translucent, 0) << "an opaque photo came back translucent";
    }
}

namespace {

// A 64 x 48 4:2:0 JPEG, Huffman- or arithmetic-coded, with a restart interval or none.
QByteArray makeFindingJPEG(bool arithmetic, int restartInterval)
{
    jpeg_compress_struct info{};
    JPEGErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr i) { longjmp(reinterpret_cast<JPEGErrors*>(i->err)->jump, 1); };
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        free(buffer);
        return QByteArray();
    }
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = 64;
    info.image_height = 48;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    info.arith_code = arithmetic ? TRUE : FALSE;
    info.restart_interval = JDIMENSION(restartInterval);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(64 * 3);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            row[size_t(x) * 3] = JSAMPLE((x * 37 + y * 11) % 256);
            row[size_t(x) * 3 + 1] = JSAMPLE((x * 13 + y * 29) % 256);
            row[size_t(x) * 3 + 2] = JSAMPLE((x * 7 + y * 17) % 256);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), int(size));
    free(buffer);
    return out;
}

// A multi-picture index (little-endian) naming the first picture and a second one, whose entry table
// lies outside the segment, at `tableOffset` from the index's byte order mark.
QByteArray damagedIndex(quint32 tableOffset)
{
    QByteArray index("MPF\0II*\0", 8);
    const auto u16 = [&](quint16 v) { index.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto u32 = [&](quint32 v) {
        u16(quint16(v & 0xffff));
        u16(quint16(v >> 16));
    };
    u32(8);
    u16(3);
    u16(0xB000), u16(7), u32(4), index.append("0100", 4);
    u16(0xB001), u16(4), u32(1), u32(2);
    u16(0xB002), u16(7), u32(32), u32(tableOffset);
    u32(0);
    QByteArray segment("\xFF\xE2", 2);
    segment.append(char((index.size() + 2) >> 8)).append(char((index.size() + 2) & 0xff));
    return segment + index;
}

// How many blocks of MCUs that `stroke` does not touch differ between two JPEGs (-1: layouts differ).
long blocksChangedOutside(const QByteArray& a, const QByteArray& b, const QRect& stroke)
{
    const Blocks p = blocksOf(a), q = blocksOf(b);
    if (!p.valid || !q.valid || p.components.size() != q.components.size() || p.mcuWidth != q.mcuWidth ||
        p.mcuHeight != q.mcuHeight)
        return -1;
    long changed = 0;
    for (size_t c = 0; c < p.components.size(); ++c) {
        const auto &r = p.components[c], &s = q.components[c];
        if (r.across != s.across || r.down != s.down)
            return -1;
        for (int by = 0; by < r.down; ++by)
            for (int bx = 0; bx < r.across; ++bx) {
                const int mx = std::min(bx / r.h, (p.width - 1) / p.mcuWidth);
                const int my = std::min(by / r.v, (p.height - 1) / p.mcuHeight);
                const QRect mcu(mx * p.mcuWidth, my * p.mcuHeight, p.mcuWidth, p.mcuHeight);
                const size_t at = (size_t(by) * r.across + bx) * 64;
                if (!mcu.intersects(stroke) &&
                    !std::equal(r.coefficients.begin() + at, r.coefficients.begin() + at + 64,
                                s.coefficients.begin() + at))
                    ++changed;
            }
    }
    return changed;
}

} // namespace

// Saving over a JPEG keeps the coefficients of every MCU no stroke touched, however it is coded and
// whatever its segments claim: arithmetic coding, restart intervals, a multi-picture index whose entry
// table lies outside its segment (in the picture's own scan).
TEST_F(UnusualPhotoSaves, JPEGsKeepTheBlocksNoStrokeTouched)
{
    struct Case
    {
        const char* name;
        bool arithmetic;
        int restart;
        bool damagedIndex;
    } const cases[] = {
        {"huffman-restart", false, 2, false},
        {"arithmetic", true, 0, false},
        {"arithmetic-restart", true, 3, false},
        {"index-table-outside-its-segment", false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray jpeg = makeFindingJPEG(c.arithmetic, c.restart);
        ASSERT_FALSE(jpeg.isEmpty());
        if (c.damagedIndex) {
            const QByteArray second = makeFindingJPEG(false, 0);
            jpeg = jpeg.left(2) + damagedIndex(600) + jpeg.mid(2) + second;
        }
        const QString path = m_dir.filePath(QStringLiteral("%1.jpg").arg(c.name));
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(jpeg);
        }
        ASSERT_TRUE(paintAndSave(path, findingStroke));
        EXPECT_EQ(blocksChangedOutside(jpeg, readAll(path), findingStroke), 0);
    }
}

// A lossy WebP in Adobe RGB too large for the copy that keeps colours beyond sRGB: it opens reduced (and
// the user is told), and saving over it encodes it again, as a lossy picture must be, but from its own
// colours, never from the reduced copy's clipped ones: far from the stroke it stays as near the photo as
// the same save of a photo that fits.
TEST_F(UnusualPhotoSaves, AReducedLossyWebPIsNotClippedWhereNothingIsPainted)
{
    const int w = 320, h = 240;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = rgb.data() + (size_t(y) * w + x) * 3;
            const bool green = x % 32 < 16; // beyond sRGB in Adobe RGB
            p[0] = 0;
            p[1] = green ? 255 : 200;
            p[2] = green ? 0 : 255;
        }
    uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeRGB(rgb.data(), w, h, w * 3, 90, &encoded);
    ASSERT_GT(size, 0u);
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    const WebPData plain{encoded, size};
    WebPMux* mux = WebPMuxCreate(&plain, 1);
    const WebPData icc{reinterpret_cast<const uint8_t*>(profile.constData()), size_t(profile.size())};
    WebPMuxSetChunk(mux, "ICCP", &icc, 1);
    WebPData assembled{};
    ASSERT_EQ(WebPMuxAssemble(mux, &assembled), WEBP_MUX_OK);
    const QByteArray original(reinterpret_cast<const char*>(assembled.bytes), int(assembled.size));
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    WebPFree(encoded);

    // The largest difference of a decoded sample, far (16 pixels and more) from the stroke.
    const QRect stroke(100, 60, 30, 20);
    const auto farFromStroke = [&](const QByteArray& a, const QByteArray& b) {
        int aw = 0, ah = 0, bw = 0, bh = 0;
        uint8_t* p =
            WebPDecodeRGB(reinterpret_cast<const uint8_t*>(a.constData()), size_t(a.size()), &aw, &ah);
        uint8_t* q =
            WebPDecodeRGB(reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size()), &bw, &bh);
        int largest = (p && q && aw == bw && ah == bh) ? 0 : 999;
        for (int y = 0; largest < 999 && y < ah; ++y)
            for (int x = 0; x < aw; ++x)
                if (!stroke.adjusted(-16, -16, 16, 16).contains(x, y))
                    for (int c = 0; c < 3; ++c)
                        largest = std::max(largest, std::abs(int(p[(size_t(y) * aw + x) * 3 + c]) -
                                                             int(q[(size_t(y) * aw + x) * 3 + c])));
        WebPFree(p);
        WebPFree(q);
        return largest;
    };
    int fits = -1;
    for (const bool reduced : {false, true}) {
        SCOPED_TRACE(reduced ? "too large for the exact copy" : "fits");
        pf::ImageFile::setExactCopyLimitForTesting(reduced ? 1 : 0);
        const auto restore = qScopeGuard([] { pf::ImageFile::setExactCopyLimitForTesting(0); });
        const QString path = m_dir.filePath(reduced ? "reduced.webp" : "fits.webp");
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(original);
        }
        m_alerts.clear();
        ASSERT_TRUE(paintAndSave(path, stroke));
        EXPECT_EQ(m_alerts.filter("reduced to sRGB").size(), reduced ? 1 : 0);
        const int difference = farFromStroke(original, readAll(path));
        if (!reduced)
            fits = difference;
        else
            EXPECT_LE(difference, fits + 8) << "the reduced copy's clipped colours were written";
    }
}

namespace {

// A 24-bit BMP stored top-down (a negative height), as many writers store it; its pixels a pattern.
QByteArray topDownBMP(int w, int h)
{
    const int rowBytes = (w * 3 + 3) & ~3;
    QByteArray pixels(rowBytes * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            char* p = pixels.data() + y * rowBytes + x * 3;
            p[0] = char(x * 7 + y); // blue
            p[1] = char(y * 11);
            p[2] = char(200 - x * 5);
        }
    QByteArray out;
    const auto u16 = [&](quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
    const auto u32 = [&](quint32 v) { u16(quint16(v & 0xffff)), u16(quint16(v >> 16)); };
    out.append("BM");
    u32(quint32(14 + 40 + pixels.size()));
    u32(0);
    u32(14 + 40);
    u32(40);
    u32(quint32(w));
    u32(quint32(-h));
    u16(1);
    u16(24);
    u32(0);
    u32(quint32(pixels.size()));
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    return out + pixels;
}

} // namespace

// A top-down BMP saved over in one session opens in the next from its kept original, not as a damaged
// one shown from its JPEG copy, and saving again keeps every pixel no stroke touched.
TEST_F(UnusualPhotoSaves, ATopDownBMPKeepsItsOriginalIntoTheNextSession)
{
    const QString path = m_dir.filePath("top-down.bmp");
    const QByteArray original = topDownBMP(37, 23);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(original);
    }
    const QImage before = QImage::fromData(original).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_FALSE(before.isNull());
    for (const int session : {1, 2}) {
        SCOPED_TRACE(session);
        m_alerts.clear();
        ASSERT_TRUE(paintAndSave(path, session == 1 ? findingStroke : QRect(20, 12, 6, 6)));
        EXPECT_TRUE(m_alerts.filter("damaged").isEmpty()) << m_alerts.join('\n').toStdString();
        const QImage after = QImage(path).convertToFormat(QImage::Format_RGBA8888);
        QImage outside = after;
        // the strokes of both sessions left out
        for (const QRect& r : {findingStroke, QRect(20, 12, 6, 6)})
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    outside.setPixel(x, y, before.pixel(x, y));
        EXPECT_EQ(largestOutside(before, outside, QRect()), 0);
    }
}
