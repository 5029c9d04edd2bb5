#include "ImageTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageAccumulator.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/TileStore.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace pf;
using namespace pftest;

namespace {

std::shared_ptr<RenderContext> sharedTestContext()
{
    static std::shared_ptr<RenderContext> context =
        std::make_shared<RenderContext>(QStringLiteral("accumulator"));
    return context;
}

Image square(const Color& color, const Rect& rect)
{
    return Image::constantColor(color).imageByCroppingToRect(rect);
}

} // namespace

TEST(ImageAccumulator, SnapshotsKeepTheirPixelsAfterLaterWrites)
{
    ImageAccumulator accumulator(Rect(10, 20, 600, 300), sharedTestContext());
    EXPECT_EQ(accumulator.image().extent(), Rect(10, 20, 600, 300));
    ASSERT_TRUE(accumulator.setImage(square(Color(1, 0, 0), Rect(0, 0, 1000, 1000))));
    const Image red = accumulator.image();
    // Only the dirty rectangle changes (it spans tile borders).
    ASSERT_TRUE(
        accumulator.setImage(square(Color(0, 0, 1), Rect(0, 0, 1000, 1000)), Rect(250, 100, 300, 60)));
    const Image mixed = accumulator.image();

    const Bitmap before = renderFloat(red, Rect(10, 20, 600, 300));
    const Bitmap after = renderFloat(mixed, Rect(10, 20, 600, 300));
    EXPECT_EQ(at(before, 300, 100), (std::array<float, 4>{1, 0, 0, 1}));
    EXPECT_EQ(at(after, 300, 100), (std::array<float, 4>{0, 0, 1, 1}));
    EXPECT_EQ(at(after, 239, 100), (std::array<float, 4>{1, 0, 0, 1}));
    EXPECT_EQ(at(after, 300, 140), (std::array<float, 4>{1, 0, 0, 1}));
}

TEST(ImageAccumulator, AnImageMayReadTheAccumulatorItself)
{
    ImageAccumulator accumulator(Rect(0, 0, 300, 40), sharedTestContext());
    accumulator.setImage(square(Color(0.5, 0.5, 0.5), Rect(0, 0, 300, 40)));
    // Shift the content right by 100 pixels, reading the old pixels while writing the new ones.
    for (int i = 0; i < 2; ++i) {
        const Image shifted =
            accumulator.image().imageByApplyingTransform(AffineTransform::translation(100, 0));
        ASSERT_TRUE(accumulator.setImage(
            shifted.imageByCompositingOverImage(square(Color(0, 1, 0), Rect(0, 0, 100, 40)))));
    }
    const Bitmap out = renderFloat(accumulator.image(), Rect(0, 0, 300, 40));
    EXPECT_NEAR(at(out, 50, 20)[1], 1.0f, 1e-6);
    EXPECT_NEAR(at(out, 150, 20)[1], 1.0f, 1e-6);
    EXPECT_NEAR(at(out, 250, 20)[1], 128 / 255.0f, 1e-6);
}

TEST(ImageFile, RoundTripsKeepPrecisionAndReportDamage)
{
    QTemporaryDir dir;
    const Bitmap input = randomBitmap(33, 17, 5);

    // 16-bit PNG: far finer than 8 bits.
    const QString png16 = dir.filePath("deep.png");
    ASSERT_TRUE(ImageFile::writePNG(input, png16, 16));
    const Bitmap deep = ImageFile::read(png16);
    ASSERT_EQ(deep.format(), Bitmap::Format::RGBAf);
    float worst = 0;
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x) {
            float a[4], b[4];
            input.pixel(x, y, a);
            deep.pixel(x, y, b);
            // Premultiplied values lose a little through the file's straight alpha.
            for (int i = 0; i < 4; ++i)
                worst = std::max(worst, std::abs(a[i] - b[i]));
        }
    EXPECT_LT(worst, 2e-4f);

    const Bitmap grey = input.converted(Bitmap::Format::Gray8);
    const QString greyPath = dir.filePath("grey.png");
    ASSERT_TRUE(ImageFile::writePNG(grey, greyPath));
    const Bitmap greyBack = ImageFile::read(greyPath);
    EXPECT_EQ(greyBack.format(), Bitmap::Format::Gray8);
    EXPECT_EQ(0, std::memcmp(greyBack.data(), grey.data(), grey.byteCount()));

    const QString jpeg = dir.filePath("photo.jpg");
    ASSERT_TRUE(ImageFile::writeJPEG(input.converted(Bitmap::Format::RGBA8), jpeg, 0.95));
    EXPECT_EQ(ImageFile::read(jpeg).width(), 33);

    // Damaged and missing files: a message, no pixels, no crash.
    QFile file(png16);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (qsizetype cut : {qsizetype(0), qsizetype(8), qsizetype(60), bytes.size() / 2}) {
        QString error;
        EXPECT_TRUE(ImageFile::readData(bytes.left(cut), &error).isNull()) << cut;
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    EXPECT_TRUE(ImageFile::read(dir.filePath("missing.png"), &error).isNull());
    EXPECT_TRUE(error.contains("missing.png"));
    EXPECT_TRUE(Image::fromFile(dir.filePath("missing.png")).isNull());
}

namespace {

// An 8 x 4 white picture with its two left columns red (whole blocks of subsampled colour).
QImage redLeftColumns()
{
    QImage image(8, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return image;
}

} // namespace

TEST(ImageFile, ExifOrientationIsApplied)
{
    // Stored with "turn 90 degrees clockwise to show".
    const Bitmap upright = ImageFile::readData(jpegWithOrientation(redLeftColumns(), 6));
    ASSERT_EQ(upright.width(), 4);
    ASSERT_EQ(upright.height(), 8);
    // Turned clockwise, the left columns become the top rows.
    float top[4], bottom[4];
    upright.pixel(1, 0, top);
    upright.pixel(1, 7, bottom);
    EXPECT_GT(top[0] - top[1], 0.5f);
    EXPECT_LT(bottom[0] - bottom[1], 0.2f);
}

TEST(ImageFile, ThePortraitLoadsAndRenders)
{
    const QString path = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");
    ASSERT_TRUE(QFile::exists(path))
        << "the shared test photos must be beside this checkout, in ../shared/testdata";
    const Image portrait = Image::fromFile(path);
    ASSERT_FALSE(portrait.isNull());
    EXPECT_EQ(portrait.extent(), Rect(0, 0, 512, 512));
    const auto small = context().render(portrait.imageByApplyingTransform(AffineTransform::scale(0.25, 0.25)),
                                        Rect(0, 0, 128, 128));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 128);
}

namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG chunk: length, type, data and checksum.
QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    QByteArray out;
    for (const quint32 v : {quint32(data.size()), crc32(type + data)})
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((v >> shift) & 0xFF));
    return out.left(4) + type + data + out.mid(4);
}

// A small PNG whose header claims another size (its checksum kept right, so only the size is wrong).
QByteArray pngClaiming(quint32 width, quint32 height, QImage::Format format = QImage::Format_RGBA8888)
{
    QImage image(4, 4, format);
    image.fill(Qt::red);
    QByteArray png = encoded(image, "png");
    // Signature (8), chunk length (4), "IHDR" (4), then width and height; the checksum covers "IHDR" on.
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = char(width >> (24 - 8 * i));
        png[20 + i] = char(height >> (24 - 8 * i));
    }
    const quint32 crc = crc32(png.mid(12, 17));
    for (int i = 0; i < 4; ++i)
        png[29 + i] = char(crc >> (24 - 8 * i));
    return png;
}

} // namespace

TEST(ImageFile, RefusalsSayWhatIsWrong)
{
    QTemporaryDir dir;
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(qRgb(200, 120, 40));
    const QByteArray jpeg = encoded(photo, "jpeg");
    const QByteArray bmp = encoded(photo, "bmp");
    // Nothing here writes GIF: a one-pixel one.
    const QByteArray gif = QByteArray::fromHex(
        "47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b");
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    QDir(dir.path()).mkdir("folder.png");
    QDir(dir.path()).mkdir("locked");
    const QString inLocked = dir.filePath("locked/photo.jpg");
    QFile::copy(write("photo.jpg", jpeg), inLocked);
    QFile::setPermissions(dir.filePath("locked"), QFileDevice::Permissions());
    const QString unreadable = write("unreadable.jpg", jpeg);
    QFile::setPermissions(unreadable, QFileDevice::Permissions());
    const bool root = QFile(unreadable).open(QIODevice::ReadOnly); // permissions do not stop root

    struct Case
    {
        QString path;
        const char* says;
        bool needsPermissions;
    };
    const Case cases[] = {
        {dir.filePath("missing.jpg"), "does not exist", false},
        // Bytes that are no UTF-8, as the command line hands them over.
        {dir.filePath(QString::fromLocal8Bit("caf\xE9.jpg")), "not valid text", false},
        {dir.filePath("folder.png"), "is a folder", false},
        {unreadable, "permission to read", true},
        {inLocked, "permission to open the folder", true},
        {write("cut.jpg", jpeg.left(jpeg.size() / 2)), "damaged", false},
        {write("huge.png", pngClaiming(100000, 100000)), "100000 x 100000", false},
        // Decoded at 16 bits, then copied as float: both count.
        {write("deep.png", pngClaiming(14000, 14000, QImage::Format_RGBA64)), "14000 x 14000", false},
        {write("cut.bmp", bmp.left(bmp.size() - 50)), "damaged", false},
        {write("cut.gif", gif.left(gif.size() - 4)), "damaged", false},
        // A TGA without the footer of its 2.0 form: 4 x 3, 24 bits.
        {write("old.tga",
               QByteArray::fromHex("000002000000000000000000040003001800") + QByteArray(36, '\x40')),
         "TGA image of the older kind", false},
    };
    for (const Case& c : cases) {
        if (c.needsPermissions && root)
            continue;
        QString error;
        EXPECT_TRUE(ImageFile::read(c.path, &error).isNull()) << c.path.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(ImageFile::readData(jpeg.left(jpeg.size() - 2), &error).isNull());
    EXPECT_TRUE(error.contains("damaged")) << error.toStdString();
    EXPECT_TRUE(ImageFile::readData(pngClaiming(100000, 100000), &error).isNull());
    EXPECT_TRUE(error.contains("limit")) << error.toStdString();
    // The whole files still open, a GIF without its trailer too.
    EXPECT_EQ(ImageFile::readData(jpeg).width(), 64);
    EXPECT_EQ(ImageFile::readData(bmp).width(), 64);
    EXPECT_EQ(ImageFile::readData(gif).width(), 1);
    EXPECT_EQ(ImageFile::readData(gif.left(gif.size() - 1)).width(), 1);
    QFile::setPermissions(dir.filePath("locked"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A photo of 8 bits too large for the exact float copy its profile asks for still opens, converted in
// its own bytes, where one of more bits or with transparency is refused (above).
TEST(ImageFile, ALargePhotoWithAProfileOpensConvertedInEightBits)
{
    QImage photo(12000, 9000, QImage::Format_RGB32);
    photo.fill(qRgb(40, 200, 60));
    photo.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(50);
        ASSERT_TRUE(writer.write(photo));
    }
    photo = QImage();
    QString error;
    const Bitmap opened = ImageFile::readData(jpeg, &error, ImageFile::Precision::Exact);
    ASSERT_FALSE(opened.isNull()) << error.toStdString();
    EXPECT_EQ(opened.width(), 12000);
    EXPECT_EQ(opened.height(), 9000);
    float c[4];
    opened.pixel(6000, 4500, c);
    // This green is beyond sRGB's: converted, its red falls below 0 and is clipped there (40 unconverted).
    EXPECT_LT(c[0] * 255, 10);
    EXPECT_NEAR(c[1] * 255, 201, 4);
}

// A PNG's EXIF orientation turns it upright as it turns a JPEG.
TEST(ImageFile, APNGsExifOrientationIsApplied)
{
    const QByteArray png = encoded(redLeftColumns(), "png");
    const struct
    {
        int orientation;
        QSize size;
        QPoint red, white; // where the red columns went, and a white pixel
    } cases[] = {
        {1, {8, 4}, {0, 1}, {7, 1}},
        {3, {8, 4}, {7, 1}, {0, 1}},
        {6, {4, 8}, {1, 0}, {1, 7}},
        {8, {4, 8}, {1, 7}, {1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        const QByteArray exif = QByteArray("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 19) +
                                char(c.orientation) + QByteArray(6, '\0');
        const QByteArray tagged = png.left(33) + pngChunk("eXIf", exif) + png.mid(33);
        const Bitmap upright = ImageFile::readData(tagged);
        ASSERT_EQ(QSize(upright.width(), upright.height()), c.size);
        float red[4], white[4];
        upright.pixel(c.red.x(), c.red.y(), red);
        upright.pixel(c.white.x(), c.white.y(), white);
        EXPECT_FLOAT_EQ(red[1], 0.0f);
        EXPECT_FLOAT_EQ(white[1], 1.0f);
        EXPECT_EQ(ImageFile::orientation(tagged) & QImageIOHandler::TransformationRotate90,
                  c.size.width() < c.size.height() ? QImageIOHandler::TransformationRotate90
                                                   : QImageIOHandler::TransformationNone);
    }
}

TEST(ImageFile, JpegCompositesTranslucentPixelsOverBlack)
{
    Bitmap half(16, 16, Bitmap::Format::RGBA8);
    uint8_t* p = half.mutableData();
    for (int i = 0; i < 16 * 16; ++i) {
        p[i * 4 + 0] = 128; // premultiplied: red at half coverage
        p[i * 4 + 3] = 128;
    }
    const Bitmap back = ImageFile::readData(ImageFile::encodeJPEG(half, 1.0));
    ASSERT_FALSE(back.isNull());
    float c[4];
    back.pixel(8, 8, c);
    EXPECT_NEAR(c[0], 128 / 255.0f, 3 / 255.0f);
    EXPECT_NEAR(c[1], 0.0f, 3 / 255.0f);
    EXPECT_EQ(c[3], 1.0f);
}

TEST(ImageFile, LargeJpegsEncodedInStripsDecodeAsOnePicture)
{
    // Pictures tall enough to be encoded in strips on every core (and joined with restart markers), and
    // ones too short for it: every decoder reads one picture of the size, with the colours of a JPEG
    // made in one piece, at the strips' seams as elsewhere, translucent pixels over black.
    const struct
    {
        int width, height;
    } sizes[] = {{1000, 700}, {37, 2000}, {2050, 33}, {4000, 1}};
    for (const auto& size : sizes) {
        Bitmap picture(size.width, size.height, Bitmap::Format::RGBA8);
        for (int y = 0; y < size.height; ++y) {
            uint8_t* row = picture.mutableRow(y);
            for (int x = 0; x < size.width; ++x) {
                const uint8_t alpha = x % 97 == 0 ? 128 : 255;
                row[x * 4 + 0] = uint8_t((x * 255 / std::max(1, size.width - 1)) * alpha / 255);
                row[x * 4 + 1] = uint8_t((y * 255 / std::max(1, size.height - 1)) * alpha / 255);
                row[x * 4 + 2] = uint8_t((128 + ((x / 8 + y / 8) % 2) * 60) * alpha / 255);
                row[x * 4 + 3] = alpha;
            }
        }
        const QByteArray encoded = ImageFile::encodeJPEG(picture, 0.9);
        QString error;
        const Bitmap back = ImageFile::readData(encoded, &error);
        ASSERT_FALSE(back.isNull()) << size.width << " x " << size.height << ": " << qPrintable(error);
        ASSERT_EQ(back.width(), size.width);
        ASSERT_EQ(back.height(), size.height);
        // The same picture encoded in one piece by Qt's writer: the two decode to nearly the same.
        QImage whole(size.width, size.height, QImage::Format_RGB888);
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                std::memcpy(whole.scanLine(y) + x * 3, picture.row(y) + x * 4, 3);
        QByteArray reference;
        QBuffer buffer(&reference);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        ASSERT_TRUE(writer.write(whole));
        const Bitmap expected = ImageFile::readData(reference);
        ASSERT_FALSE(expected.isNull());
        double worst = 0;
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x)
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst,
                                     std::abs(double(back.row(y)[x * 4 + c]) - expected.row(y)[x * 4 + c]));
        EXPECT_LE(worst, 2.0) << size.width << " x " << size.height;
    }
}

TEST(Bitmap, TakesOverADecodedImagesPixelsWithoutACopy)
{
    struct Case
    {
        QImage::Format format;
        Bitmap::Format becomes;
        int width; // a grey row must need no padding to be taken over
    };
    for (const Case c : {Case{QImage::Format_RGB32, Bitmap::Format::RGBA8, 5},
                         Case{QImage::Format_ARGB32, Bitmap::Format::RGBA8, 5},
                         Case{QImage::Format_Grayscale8, Bitmap::Format::Gray8, 8}}) {
        QImage image(c.width, 3, c.format);
        image.fill(QColor(200, 100, 50, 128));
        const QImage reference = image.copy();
        const uchar* pixels = image.constBits();
        const Bitmap bitmap = Bitmap::fromQImage(std::move(image));
        ASSERT_EQ(bitmap.format(), c.becomes);
        EXPECT_EQ(bitmap.data(), pixels) << "format " << int(c.format);
        const Bitmap copied = Bitmap::fromQImage(reference);
        EXPECT_EQ(0, std::memcmp(bitmap.data(), copied.data(), copied.byteCount()))
            << "format " << int(c.format);
    }
}

// Pixels held alone are written in place. When another thread read a copy of them and let it go, with
// nothing else passing between the threads (a flag set without ordering), its reads must still come
// before the write: the thread checker reports a race otherwise. Bitmaps and a tile store's tiles alike:
// a bitmap rendered into or written directly, and a store written after a snapshot of it was read.
TEST(CopyOnWrite, AWriteInPlaceComesAfterTheReadsOfACopyAnotherThreadLetGo)
{
    const auto afterAnotherThreadLetGo = [](const std::function<void()>& readAndLetGo,
                                            const std::function<void()>& write) {
        std::atomic<bool> gone{false};
        std::thread reader([&] {
            readAndLetGo();
            gone.store(true, std::memory_order_relaxed);
        });
        while (!gone.load(std::memory_order_relaxed))
            std::this_thread::yield();
        write();
        reader.join();
    };
    const auto sum = [](const Bitmap& b) {
        size_t s = 0;
        for (size_t i = 0; i < b.byteCount(); ++i)
            s += b.data()[i];
        return s;
    };
    const int w = 64, h = 48;
    const Bitmap source = randomBitmap(w, h, 9);
    const Image moved =
        Image::fromBitmap(source).imageByApplyingTransform(AffineTransform::translation(1, 0));
    const auto expected = context().render(moved, Rect(0, 0, w, h), Bitmap::Format::RGBAf);
    ASSERT_TRUE(expected);
    struct Case
    {
        const char* name;
        std::function<bool(Bitmap&)> write; // false when it failed
        const Bitmap* result;               // what the bitmap holds after the write, or null
    };
    RenderContext own(QStringLiteral("writer"));
    const Bitmap filled = [&] {
        Bitmap b(w, h, Bitmap::Format::RGBAf);
        std::memset(b.mutableData(), 0x11, b.byteCount());
        return b;
    }();
    const Case bitmaps[] = {
        {"a bitmap rendered into (a bitmap copy)",
         [&](Bitmap& mine) { return own.render(moved, Rect(0, 0, w, h), mine); }, &*expected},
        {"a bitmap written directly",
         [](Bitmap& mine) {
             std::memset(mine.mutableData(), 0x11, mine.byteCount());
             return true;
         },
         &filled},
    };
    for (const Case& c : bitmaps) {
        SCOPED_TRACE(c.name);
        for (int round = 0; round < 10; ++round) {
            Bitmap mine(w, h, Bitmap::Format::RGBAf, Bitmap::Fill::Uninitialized);
            std::memset(mine.mutableData(), 0x5a, mine.byteCount());
            const void* pixels = mine.identity();
            Bitmap theirs = mine;
            afterAnotherThreadLetGo(
                [&] {
                    EXPECT_EQ(sum(theirs), size_t(0x5a) * theirs.byteCount());
                    theirs = Bitmap();
                },
                [&] { ASSERT_TRUE(c.write(mine)); });
            EXPECT_EQ(mine.identity(), pixels) << "held alone, yet copied";
            EXPECT_EQ(0, std::memcmp(mine.data(), c.result->data(), mine.byteCount()));
        }
    }
    {
        SCOPED_TRACE("a tile store's tiles");
        const Bitmap across = randomBitmap(300, 200, 4).converted(Bitmap::Format::RGBA8); // several tiles
        for (int round = 0; round < 10; ++round) {
            TileStore store(300, 200, Bitmap::Format::RGBA8);
            Bitmap first(300, 200, Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
            std::memset(first.mutableData(), 0x5a, first.byteCount());
            store.write(first, 0, 0); // each tile its own
            TileStore theirs = store; // a snapshot
            afterAnotherThreadLetGo(
                [&] {
                    Bitmap read(300, 200, Bitmap::Format::RGBA8);
                    theirs.read(0, 0, 300, 200, read);
                    EXPECT_EQ(sum(read), size_t(0x5a) * read.byteCount());
                    theirs = TileStore();
                },
                [&] { store.write(across, 0, 0); });
            Bitmap now(300, 200, Bitmap::Format::RGBA8);
            store.read(0, 0, 300, 200, now);
            EXPECT_EQ(0, std::memcmp(now.data(), across.data(), now.byteCount()));
        }
    }
}
