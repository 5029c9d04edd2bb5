#include "Classes/Document/GMPhotoFile.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace doctest;

namespace {

bool writeBytes(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray segment(uchar marker, const QByteArray& payload)
{
    QByteArray s;
    s.append(char(0xFF)).append(char(marker));
    s.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    return s + payload;
}

// A JPEG at quality 97 whose pixels are stored turned (EXIF orientation 6: turn 90° to see it upright)
// and in Adobe RGB, with the profile embedded.
QByteArray turnedJPEGInAdobeRGB(const QImage& stored)
{
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    stored.save(&buffer, "JPEG", 97);
    const QByteArray exif =
        QByteArray("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
    const QByteArray icc =
        QByteArray("ICC_PROFILE\0\x01\x01", 14) + QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    return encoded.left(2) + segment(0xE1, exif) + segment(0xE2, icc) + encoded.mid(2);
}

// A PNG chunk: length, type, data and checksum.
QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray typed = QByteArray(type, 4) + data;
    const quint32 crc =
        quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size())));
    QByteArray out;
    for (const quint32 v : {quint32(data.size()), crc})
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((v >> shift) & 0xFF));
    return out.left(4) + typed + out.mid(4);
}

// The picture as the encoder writes it, with chunks put in: `head` right after the header, `beforePixels`
// before the first image data, `after` after the last.
QByteArray pngWith(const QImage& picture, const QByteArray& head, const QByteArray& beforePixels,
                   const QByteArray& after)
{
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    QByteArray out = encoded.left(8 + 25) + head;
    bool placed = false;
    for (qsizetype i = 8 + 25; i + 12 <= encoded.size();) {
        const qsizetype length = (uchar(encoded[i]) << 24) | (uchar(encoded[i + 1]) << 16) |
                                 (uchar(encoded[i + 2]) << 8) | uchar(encoded[i + 3]);
        const QByteArray type = encoded.mid(i + 4, 4);
        if (type == "IDAT" && !std::exchange(placed, true))
            out += beforePixels;
        if (type == "IEND")
            out += after;
        if (type != "pHYs") // the encoder's own resolution: the cases say theirs
            out += encoded.mid(i, 12 + length);
        i += 12 + length;
    }
    return out;
}

// The picture with its rows premultiplied, 8 bits a component, for comparing what two files show.
QImage premultiplied(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

// The largest difference of a component between two pictures over the columns [from, to).
int difference(const QImage& a, const QImage& b, int from, int to)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int x = from; x < to; ++x)
            for (int c = 0; c < 4; ++c)
                largest = std::max(largest, std::abs(int(p[4 * x + c]) - int(q[4 * x + c])));
    }
    return largest;
}

// The chain's original as pixels, 8 bits a component, rendered as a save renders it.
QImage renderedOriginal(PhotoToolChain& chain)
{
    static pf::RenderContext context(QStringLiteral("originals"));
    const pf::Image image = chain.originalImage();
    const auto bitmap = context.render(image, image.extent());
    return bitmap ? bitmap->toQImage() : QImage();
}

// A 40 x 30 picture in one colour, written at `path` in `format`; whether it was written.
bool writeSolidPicture(const QString& path, const QColor& color, const char* format)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path, format);
}

class Originals : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        pf::UserDefaults::standard().removeObject(GMDocument::savedOverPhotoNoteKey);
        pf::UserDefaults::standard().removeObject("KeepSpan"); // the note names the default span
        pf::Alert::setResponder([this](const pf::Alert& alert) {
            m_alerts << alert.messageText + u' ' + alert.informativeText;
            m_styles << alert.style;
            return pf::Alert::firstButtonReturn;
        });
    }
    void TearDown() override { pf::Alert::setResponder({}); }

    QTemporaryDir m_dir;
    TestController m_documents;
    QStringList m_alerts;
    QList<pf::Alert::Style> m_styles;
};

} // namespace

// Saving over a photo writes it as the kind of file it was (format, channels, depth; a JPEG at no lower
// quality with its orientation, profile and other metadata), the untouched original is kept without loss
// (a PNG's own bytes beside the JPEG that earlier versions read; a JPEG's own bytes), and an export after
// reopening shows the original's own pixels wherever no layer painted. The first such save says once
// what the file now holds and what is kept.
TEST_F(Originals, SavingOverAPhotoKeepsItsKindAndTheOriginalStaysExact)
{
    QImage opaque(48, 32, QImage::Format_RGB32);
    QImage translucent(48, 32, QImage::Format_ARGB32);
    QImage deep(48, 32, QImage::Format_RGBX64);
    QImage stored(40, 30, QImage::Format_RGB32); // the turned JPEG's pixels as stored
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x) {
            opaque.setPixel(x, y, qRgb(30 + x * 4, 50 + y * 5, 140));
            translucent.setPixel(x, y, qRgba(200, 40 + x * 3, 90 + y * 4, 255 - x * 5));
            deep.setPixelColor(x, y, QColor::fromRgba64(qRgba64(x * 1301, y * 1999, 40000 + x * 7, 65535)));
        }
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            stored.setPixel(x, y, qRgb(20 + x * 5, 200 - y * 4, (x * y) % 256));

    struct Case
    {
        const char* name;
        const char* type;
        std::function<bool(const QString&)> make;
        // The test effects lay the whole photo, changed where painted, over it: a translucent photo's
        // alpha compounds there, so its export is compared only through its original.
        bool opaque;
    };
    const Case cases[] = {
        {"opaque.png", "png", [&](const QString& p) { return opaque.save(p, "PNG"); }, true},
        {"translucent.png", "png", [&](const QString& p) { return translucent.save(p, "PNG"); }, false},
        {"deep.png", "png", [&](const QString& p) { return deep.save(p, "PNG"); }, true},
        {"turned.jpg", "jpeg", [&](const QString& p) { return writeBytes(p, turnedJPEGInAdobeRGB(stored)); },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(c.name);
        const QString untouched = m_dir.filePath(QStringLiteral("untouched-") + c.name);
        ASSERT_TRUE(c.make(path));
        ASSERT_TRUE(QFile::copy(path, untouched));
        const GMPhotoFile::Kind before = GMPhotoFile::inspect(path);
        ASSERT_TRUE(before.isValid());

        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        tintLeftHalf(*opened.chain());
        const SaveResult saved = save(*opened.document, path, c.type, Op::Save);
        ASSERT_TRUE(saved.succeeded) << saved.error.toStdString();

        // The file is of its kind still, and holds the retouched picture.
        const GMPhotoFile::Kind after = GMPhotoFile::inspect(path);
        EXPECT_EQ(after.format, before.format);
        EXPECT_EQ(after.hasAlpha, before.hasAlpha);
        EXPECT_EQ(after.grey, before.grey);
        EXPECT_EQ(after.bitsPerComponent, before.bitsPerComponent);
        EXPECT_EQ(after.orientation, before.orientation);
        EXPECT_NE(bytes(path), bytes(untouched));
        if (before.format == "jpeg") {
            EXPECT_GE(after.jpegQuality, before.jpegQuality);
            EXPECT_GE(before.jpegQuality, 96);
            EXPECT_EQ(after.jpegMetadata, before.jpegMetadata) << "the EXIF and the profile are kept";
            EXPECT_EQ(after.colorSpace, QColorSpace(QColorSpace::AdobeRgb));
            QImageReader raw(path);
            raw.setAutoTransform(false);
            EXPECT_EQ(raw.size(), stored.size()) << "the pixels are stored turned, as the EXIF says";
        }

        // The shadow copy keeps the original's own bytes.
        const QString key = GMDocument::shadowCopyKey(path);
        const QString folder =
            GMFileUtilities::applicationSupportDirectory() + u'/' +
            GMFileUtilities::shadowCopyDictionary().value(key).toMap().value("filename").toString();
        if (before.format == "jpeg") {
            EXPECT_EQ(bytes(folder + "/image.jpg"), bytes(untouched));
            EXPECT_FALSE(QFileInfo::exists(folder + "/image.png"));
        } else {
            EXPECT_EQ(bytes(folder + "/image.png"), bytes(untouched));
            EXPECT_TRUE(QFileInfo::exists(folder + "/image.jpg")) << "for versions that read only the JPEG";
        }
        opened.document->close();

        // Reopened, its original and layer come from the shadow copy; exported, the untouched half is
        // the original's own decoding.
        Opened reopened = open(m_documents, path);
        ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
        ASSERT_EQ(reopened.chain()->numberOfTools(), 2);
        const QImage original = premultiplied(
            pf::ImageFile::read(untouched, nullptr, pf::ImageFile::Precision::Exact).toQImage());
        const QImage kept =
            premultiplied(reopened.controller->toolChain() ? renderedOriginal(*reopened.chain()) : QImage());
        EXPECT_EQ(difference(kept, original, 0, original.width()), 0) << "the reopened original";
        if (c.opaque) {
            const QString exported = m_dir.filePath(QStringLiteral("exported-%1.png").arg(c.name));
            ASSERT_TRUE(save(*reopened.document, exported, "png", Op::SaveTo).succeeded);
            // As it shows: the export keeps the photo's profile, its pixels in the photo's colours.
            const QImage written = premultiplied(
                pf::ImageFile::read(exported, nullptr, pf::ImageFile::Precision::Exact).toQImage());
            const int half = original.width() / 2;
            EXPECT_EQ(difference(written, original, half + 1, original.width()), 0) << "untouched";
            EXPECT_GT(difference(written, original, 0, half - 1), 20) << "painted";
        }
        reopened.document->close();
    }
    // Told once, naming the file, where the original and the layers are kept, and for how long.
    const QStringList notes = m_alerts.filter("now holds your retouched picture");
    ASSERT_EQ(notes.size(), 1) << m_alerts.join('\n').toStdString();
    EXPECT_TRUE(notes.first().contains("opaque.png"));
    EXPECT_TRUE(notes.first().contains(GMFileUtilities::applicationSupportDirectory()));
    EXPECT_TRUE(notes.first().contains("until you remove them"));
    EXPECT_EQ(m_styles.value(m_alerts.indexOf(notes.first())), pf::Alert::Style::Informational)
        << "a note, not a warning";
}

// Saving over a photo changes no pixel outside the painted part, compared at 16 bits: 8- and 16-bit RGB
// and grey, translucent RGBA, a palette, a Display P3 profile with colours sRGB cannot show, and a JPEG
// stored turned (EXIF orientation 6) with a profile, within what encoding a JPEG again changes.
TEST_F(Originals, SavingOverAPhotoChangesNothingOutsideThePaintedPart)
{
    const int w = 48, h = 32;
    QImage rgb8(w, h, QImage::Format_RGB32), rgb16(w, h, QImage::Format_RGBX64);
    QImage grey8(w, h, QImage::Format_Grayscale8), grey16(w, h, QImage::Format_Grayscale16);
    QImage rgba(w, h, QImage::Format_ARGB32), p3(w, h, QImage::Format_RGB32);
    QImage stored(h, w, QImage::Format_RGB32); // the turned JPEG's pixels as stored
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            rgb8.setPixel(x, y, qRgb(30 + x * 4, 50 + y * 5, (x * y) % 256));
            rgb16.setPixelColor(
                x, y, QColor::fromRgba64(qRgba64(x * 1301 + 7, y * 1999 + 3, 40001 + x * y, 65535)));
            reinterpret_cast<uchar*>(grey8.scanLine(y))[x] = uchar(x * 5 + y);
            reinterpret_cast<quint16*>(grey16.scanLine(y))[x] = quint16(x * 1301 + y * 17 + 1);
            rgba.setPixel(x, y, qRgba(200, 40 + x * 3, 90 + y * 4, x % 2 ? 159 : 1 + (x * y) % 254));
            // Greens and reds sRGB cannot show, and colours near black (where the curve is steepest).
            p3.setPixel(x, y,
                        y % 2 ? qRgb(x * 5, 255 - y * 3, (x * 7) % 256)
                              : qRgb(x % 24, (x + y) % 16, (x * y) % 8));
        }
    for (int y = 0; y < w; ++y)
        for (int x = 0; x < h; ++x)
            stored.setPixel(x, y, qRgb(20 + x * 5, 200 - y * 4, (x * y) % 256));
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QImage palette = rgb8.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);

    struct Case
    {
        const char* name;
        const char* type;
        std::function<bool(const QString&)> make;
        int tolerance; // at 16 bits
        int margin;    // columns beside the edit left out (a JPEG's blocks straddle its edge)
    };
    const auto png = [](const QImage& image) {
        return [image](const QString& path) { return image.save(path, "PNG"); };
    };
    const Case cases[] = {
        {"rgb8.png", "png", png(rgb8), 0, 1},
        {"rgb16.png", "png", png(rgb16), 0, 1},
        {"grey8.png", "png", png(grey8), 0, 1},
        {"grey16.png", "png", png(grey16), 0, 1},
        {"rgba.png", "png", png(rgba), 0, 1},
        {"palette.png", "png", png(palette), 0, 1},
        {"p3.png", "png", png(p3), 0, 1},
        {"turned.jpg", "jpeg", [&](const QString& p) { return writeBytes(p, turnedJPEGInAdobeRGB(stored)); },
         12 * 257, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(QStringLiteral("fidelity-") + c.name);
        ASSERT_TRUE(c.make(path));
        const QImage before = storedPixels(path);
        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        tintLeftHalf(*opened.chain());
        const SaveResult saved = save(*opened.document, path, c.type, Op::Save);
        ASSERT_TRUE(saved.succeeded) << saved.error.toStdString();
        opened.document->close();
        const QImage after = storedPixels(path);
        const int half = before.width() / 2;
        EXPECT_LE(difference16(after, before, half + c.margin, before.width()), c.tolerance)
            << "outside the edit";
        EXPECT_GT(difference16(after, before, 0, half - 1), 20 * 257) << "the painted part";
    }
}

// Saving over a PNG keeps the chunks that stay true of the new pixels, byte for byte and in their places:
// the colour profile (the pixels go back into it), text, resolution, EXIF, chunks marked safe to copy.
// Those the new pixels make untrue go: the modification time, unknown chunks marked unsafe to copy, and
// the stored layout's background and significant bits when the layout changes. A damaged chunk is left
// out with a warning, and the save goes on.
TEST_F(Originals, SavingOverAPNGKeepsItsChunks)
{
    QImage colour(48, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            colour.setPixel(x, y, qRgb(30 + x * 4, 50 + y * 5, 140));
    QImage indexed = colour.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);

    const QByteArray icc =
        QByteArray("Adobe RGB\0\0", 11) + qCompress(QColorSpace(QColorSpace::AdobeRgb).iccProfile()).mid(4);
    const QByteArray profile = pngChunk("iCCP", icc);
    const QByteArray gamma = pngChunk("gAMA", QByteArray("\0\0\xB1\x8F", 4));
    const QByteArray text =
        pngChunk("tEXt", QByteArray("Author\0Ada", 10)) +
        pngChunk("zTXt", QByteArray("Comment\0\0", 9) + qCompress("Window light").mid(4)) +
        pngChunk("iTXt", QByteArray("Title\0\0\0en\0Titel\0Portrait", 26));
    const QByteArray resolution = pngChunk("pHYs", QByteArray("\0\0\x0E\xC4\0\0\x0E\xC4\x01", 9));
    const QByteArray exif = pngChunk("eXIf", QByteArray("MM\0*\0\0\0\x08\0\0\0\0\0\0", 14));
    const QByteArray safe = pngChunk("prIv", "private, safe to copy");
    const QByteArray unsafe = pngChunk("prIV", "private, tied to the pixels");
    const QByteArray time = pngChunk("tIME", QByteArray("\x07\xEA\x0C\x08\x05\x00\x00", 7));
    const QByteArray software = pngChunk("tEXt", QByteArray("Software\0Camera", 15));
    QByteArray damaged = pngChunk("tEXt", QByteArray("Damaged\0text", 12));
    damaged[damaged.size() - 1] = char(damaged.back() ^ 1);
    const QByteArray bits = pngChunk("sBIT", QByteArray("\x05\x06\x05", 3));
    const QByteArray background = pngChunk("bKGD", QByteArray("\x01", 1));

    struct Case
    {
        const char* name;
        QByteArray file;
        QByteArray keptBefore, keptAfter; // the chunks that stand before and after the pixels afterwards
        QColorSpace colorSpace;           // what the pixels are stored in
        QString warning;
    };
    const Case cases[] = {
        {"profile.png",
         pngWith(colour, {}, profile + text + resolution + exif + safe + unsafe + time, software),
         profile + text + resolution + exif + safe,
         software,
         QColorSpace(QColorSpace::AdobeRgb),
         {}},
        {"gamma.png", pngWith(colour, {}, gamma + damaged + text, damaged + software), gamma + text, software,
         QColorSpace(QColorSpace::Primaries::SRgb, 2.2f), "The chunk “tEXt” of “gamma.png” is damaged"},
        {"indexed.png", pngWith(indexed, bits, background + resolution, {}), resolution, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = m_dir.filePath(c.name);
        ASSERT_TRUE(writeBytes(path, c.file));
        const QImage stored = premultiplied(QImage(path));
        ASSERT_FALSE(stored.isNull());
        pf::LogCapture log;
        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        tintLeftHalf(*opened.chain());
        const SaveResult saved = save(*opened.document, path, "png", Op::Save);
        ASSERT_TRUE(saved.succeeded) << saved.error.toStdString();
        opened.document->close();

        const GMPhotoFile::Kind after = GMPhotoFile::inspect(path);
        EXPECT_EQ(after.pngChunks.beforePixels, c.keptBefore);
        EXPECT_EQ(after.pngChunks.afterPixels, c.keptAfter);
        for (const char* gone : {"tIME", "prIV", "sBIT", "bKGD", "Damaged"})
            EXPECT_FALSE(bytes(path).contains(gone)) << gone;
        EXPECT_EQ(after.colorSpace, c.colorSpace);
        if (c.warning.isEmpty())
            EXPECT_FALSE(log.contains("Warning")) << log.lines().join('\n').toStdString();
        else
            EXPECT_TRUE(log.contains(c.warning)) << log.lines().join('\n').toStdString();
        // The new pixels, stored as the original's were: painted on the left, the same on the right.
        const QImage written = premultiplied(QImage(path));
        const int half = stored.width() / 2;
        EXPECT_LE(difference(written, stored, half + 1, stored.width()), 1) << "untouched";
        EXPECT_GT(difference(written, stored, 0, half - 1), 20) << "painted";
    }
}

// A file may claim anything: a chunk cut short or one whose length or type cannot be is never kept, nor
// is anything after a length that cannot be trusted, and what came before is kept.
TEST(PNGChunks, ADamagedFileKeepsOnlyTheChunksReadWhole)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(QColor(10, 120, 200));
    const QByteArray author = pngChunk("tEXt", QByteArray("Author\0Ada", 10));
    const QByteArray comment = pngChunk("tEXt", QByteArray("Comment\0Window light", 20));
    const QByteArray whole = pngWith(picture, {}, author, {});
    const QByteArray end = whole.right(12);
    const QByteArray beforeEnd = whole.left(whole.size() - 12);
    QByteArray huge = comment;
    huge.replace(0, 4, QByteArray("\xFF\xFF\xFF\xF0", 4));
    QByteArray nameless = comment;
    nameless.replace(4, 4, QByteArray("t\0Xt", 4));
    struct Case
    {
        const char* what;
        QByteArray file;
        QString warning;
    };
    const Case cases[] = {
        {"cut short", beforeEnd + comment.left(comment.size() - 3),
         "The chunk “tEXt” of “the picture” is cut short"},
        {"an impossible length", beforeEnd + huge + comment + end, "is damaged after its chunk “IDAT”"},
        {"a type of no letters", beforeEnd + nameless + comment + end, "is damaged after its chunk “IDAT”"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pf::LogCapture log;
        const GMPhotoFile::Kind kind = GMPhotoFile::inspectData(c.file);
        ASSERT_EQ(kind.format, "png");
        EXPECT_EQ(kind.pngChunks.beforePixels, author);
        EXPECT_EQ(kind.pngChunks.afterPixels, QByteArray());
        EXPECT_TRUE(log.contains(c.warning)) << log.lines().join('\n').toStdString();
    }
}

// A package written by an earlier version holds its original only as "image.jpg": it still opens.
TEST_F(Originals, APackageWithOnlyItsJPEGOriginalStillOpens)
{
    const QString path = m_dir.filePath("photo.png");
    ASSERT_TRUE(writeSolidPicture(path, QColor(120, 80, 60), "PNG"));
    Opened opened = open(m_documents, path);
    ASSERT_TRUE(opened.document);
    const QString package = m_dir.filePath("photo.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
    EXPECT_EQ(bytes(package + "/image.png"), bytes(path));
    ASSERT_TRUE(QFile::remove(package + "/image.png"));
    Opened older = open(m_documents, package);
    ASSERT_TRUE(older.document) << older.error.toStdString();
    EXPECT_EQ(older.chain()->originalImageSize(), pf::Size(40, 30));
}

// A target that cannot take the file fails at once, with its folder named, before any picture is
// composed; nothing is written and the document keeps its changes. An empty file says it is empty.
TEST_F(Originals, AnUnwritableTargetFailsBeforeComposingAndAnEmptyFileSaysSo)
{
    const QString path = m_dir.filePath("photo.jpg");
    ASSERT_TRUE(writeSolidPicture(path, QColor(90, 100, 110), "JPEG"));
    Opened opened = open(m_documents, path);
    ASSERT_TRUE(opened.document);
    opened.chain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
    QCoreApplication::processEvents();
    ASSERT_TRUE(opened.document->isDocumentEdited());

    QString locked = m_dir.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    ::chmod(QFile::encodeName(locked).constData(), 0555);
    // An administrator writes into any folder: a file system that takes no files stands in.
    if (GMDocument::unwritableReason(locked + "/probe.jpg").isEmpty())
        locked = "/proc";
    for (const auto& [type, name] : {std::pair{GMDocumentPackage::typeName, QString("copy.glimora")},
                                     std::pair{QString("png"), QString("copy.png")},
                                     std::pair{QString("jpeg"), QString("sub/copy.jpg")}}) {
        SCOPED_TRACE(name.toStdString());
        int calls = 0;
        bool succeeded = true;
        QString error;
        opened.document->saveToURL(locked + u'/' + name, type, Op::SaveAs, [&](bool ok, const QString& e) {
            ++calls;
            succeeded = ok;
            error = e;
        });
        EXPECT_EQ(calls, 1) << "answered at once";
        EXPECT_FALSE(succeeded);
        EXPECT_TRUE(error.contains(QFileInfo(locked).fileName())) << error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(locked + u'/' + name));
    }
    EXPECT_FALSE(opened.document->isSaving());
    EXPECT_TRUE(opened.document->isDocumentEdited());
    ::chmod(QFile::encodeName(m_dir.filePath("locked")).constData(), 0755);

    const QString empty = m_dir.filePath("empty.jpg");
    ASSERT_TRUE(writeBytes(empty, QByteArray()));
    const Opened none = open(m_documents, empty);
    EXPECT_FALSE(none.document);
    EXPECT_TRUE(none.error.contains("empty")) << none.error.toStdString();
}
