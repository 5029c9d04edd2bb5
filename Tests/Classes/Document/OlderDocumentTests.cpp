#include "Classes/Document/GMDocumentArchive.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/RenderContext.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace doctest;

namespace {

// A 40 x 30 picture whose every pixel differs from its neighbours, encoded as `format`.
QImage photo()
{
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(20 + x * 5, 200 - y * 6, 60 + x * 2 + y * 3));
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(image)) << format;
    return buffer.data();
}

pf::ArchivedObject object(const QString& className, const QVariantMap& fields)
{
    return {className, {className, QStringLiteral("NSObject")}, fields};
}

// An image object as the old platform archived it: representations paired with a number, the bitmap
// one holding the encoded picture under `key`.
QVariant archivedImage(const QByteArray& picture, const QString& key = QStringLiteral("NSTIFFRepresentation"))
{
    const pf::ArchivedObject bitmap = object(QStringLiteral("NSBitmapImageRep"), {{key, picture}});
    return QVariant::fromValue(object(
        QStringLiteral("NSImage"),
        {{QStringLiteral("NSReps"), QVariantList{QVariantList{qint64(0), QVariant::fromValue(bitmap)}}},
         {QStringLiteral("NSColor"),
          QVariant::fromValue(
              object(QStringLiteral("NSColor"), {{QStringLiteral("NSWhite"), QByteArray("1")}}))},
         {QStringLiteral("NSImageFlags"), qint64(0x20c00000)}}));
}

QVariantMap layer(const QString& name, const QVariantMap& values)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("values"), values}};
}

// The tinted layer as an older version stored it: its strokes and the keys of its brush beside the
// effect's own setting.
QVariantMap paintedTint()
{
    return layer("TestTint", {{"brushPathKey", QVariant::fromValue(strokes())},
                              {"brushSize", 0.3},
                              {"inputMask", 1},
                              {"drawMode", 2},
                              {"mask", 3},
                              {"color", QVariant::fromValue(pf::Color(0.1, 0.8, 0.3, 1))}});
}

QByteArray olderFile(const QVariantList& content)
{
    GMDocumentArchive::registerArchiveClasses();
    QString error;
    const auto data = pf::KeyedArchiver::archivedData({{QStringLiteral("content"), content}}, &error);
    EXPECT_TRUE(data) << error.toStdString();
    return data.value_or(QByteArray());
}

// The chain's original as pixels, rendered as a save renders it.
QImage renderedOriginal(PhotoToolChain& chain)
{
    static pf::RenderContext context(QStringLiteral("older-documents"));
    const pf::Image image = chain.originalImage();
    const auto bitmap = context.render(image, image.extent());
    return bitmap ? bitmap->toQImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

int largestDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

float maskAt(const std::shared_ptr<PhotoToolChain>& chain, int index, int x, int y)
{
    const OVContentContainerPtr mask = chain->brushPathImageAtIndex(index)->contentContainer();
    mask->flush();
    const pf::Bitmap bitmap = mask->imageContainer() ? mask->imageContainer()->bitmap() : pf::Bitmap();
    if (bitmap.isNull())
        return 0; // never painted: empty
    float rgba[4];
    bitmap.pixel(x, y, rgba);
    return rgba[1];
}

class OlderDocuments : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        pf::Alert::setResponder([this](const pf::Alert& alert) {
            m_alerts << alert.messageText + u' ' + alert.informativeText;
            return pf::Alert::firstButtonReturn;
        });
    }
    void TearDown() override { pf::Alert::setResponder({}); }

    QString write(const QString& name, const QByteArray& data)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    QTemporaryDir m_dir;
    TestController m_documents;
    QStringList m_alerts;
};

} // namespace

// The picture is found wherever the image object keeps it; one that does not decode is passed over.
TEST_F(OlderDocuments, ThePictureIsTheFirstEncodedDataTheDecoderReads)
{
    const QImage expected = photo();
    const QByteArray tiff = encoded(expected, "tiff"), png = encoded(expected, "png");
    const struct
    {
        const char* what;
        QVariant picture;
        int tolerance;
    } cases[] = {
        {"TIFF representation", archivedImage(tiff), 1},
        {"PNG under another key", archivedImage(png, QStringLiteral("NSImageData")), 1},
        {"JPEG", archivedImage(encoded(expected, "jpeg")), 24},
        {"TIFF representation after other picture data",
         QVariantList{archivedImage(encoded(expected.mirrored(true, true), "png"), "NSData"),
                      archivedImage(tiff)},
         1},
        {"damaged TIFF before a PNG elsewhere",
         QVariantList{archivedImage(tiff.left(tiff.size() / 3)), archivedImage(png, "NSData")}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray file = olderFile({c.picture, layer("TestGrey", {{"intensity", 0.5}})});
        const QString path = write(QStringLiteral("%1.glimora").arg(c.what).replace(' ', '-'), file);
        Opened opened = open(m_documents, path);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        EXPECT_LE(largestDifference(renderedOriginal(*opened.chain()), expected), c.tolerance);
        EXPECT_EQ(opened.chain()->numberOfTools(), 2);
        EXPECT_EQ(bytes(path), file) << "the old file is read, never written";
    }
}

// The layers come in file order, each with its mask painted from its strokes; an effect this version
// does not know is left out with the same warning as in a package.
TEST_F(OlderDocuments, LayersComeInFileOrderWithTheirMasksPaintedFromTheirStrokes)
{
    const QString path =
        write("portrait.glimora", olderFile({archivedImage(encoded(photo(), "tiff")), paintedTint(),
                                             layer("NoSuchEffect", {{"intensity", 1.0}}),
                                             layer("TestGrey", {{"intensity", 0.25}, {"brushSize", 0.1}})}));
    pf::LogCapture log;
    Opened opened = open(m_documents, path);
    ASSERT_TRUE(opened.document) << opened.error.toStdString();
    EXPECT_TRUE(log.contains("Warning: GMDocument readOwnFileFormat failed to load NoSuchEffect"))
        << log.lines().join('\n').toStdString();
    auto chain = opened.chain();
    ASSERT_EQ(chain->numberOfTools(), 3);
    EXPECT_EQ(chain->photoToolAtIndex(1)->blueprint()->photoToolName(), "TestTint");
    EXPECT_EQ(chain->photoToolAtIndex(2)->blueprint()->photoToolName(), "TestGrey");
    const QVariantMap tint = chain->photoToolAtIndex(1)->settings();
    for (const char* key : {"brushPathKey", "brushSize", "inputMask", "drawMode", "mask"})
        EXPECT_FALSE(tint.contains(key)) << key;
    EXPECT_EQ(tint.value("color").value<pf::Color>(), pf::Color(0.1, 0.8, 0.3, 1));
    EXPECT_DOUBLE_EQ(chain->photoToolAtIndex(2)->settings().value("intensity").toDouble(), 0.25);
    EXPECT_GT(maskAt(chain, 1, 20, 15), 0.5f) << "the stroke is painted again";
    EXPECT_LT(maskAt(chain, 1, 1, 1), 0.1f);
    EXPECT_LT(maskAt(chain, 2, 20, 15), 0.1f) << "a layer without strokes has an empty mask";
    EXPECT_FALSE(opened.document->undoManager()->canUndo()) << "loading is no step to undo";
}

// Saving must not put a package in the single file's place unasked: the document is an untitled one
// made from it, autosaved in the working area, saved where the user chooses.
TEST_F(OlderDocuments, SavingNeverReplacesTheOldFileAndTheNewPackageKeepsEverything)
{
    const QImage expected = photo();
    const QByteArray file = olderFile({archivedImage(encoded(expected, "tiff")), paintedTint()});
    const QString path = write("portrait.glimora", file);
    Opened opened = open(m_documents, path);
    ASSERT_TRUE(opened.document) << opened.error.toStdString();
    EXPECT_TRUE(opened.document->fileURL().isEmpty());
    EXPECT_EQ(opened.document->displayName(), "portrait (converted)");
    EXPECT_EQ(QFileInfo(opened.document->draftName()).absolutePath(), QFileInfo(path).absolutePath());
    m_documents.addDocument(opened.document);
    QString error;
    EXPECT_EQ(m_documents.openDocumentWithContentsOfURL(path, false, &error), opened.document)
        << "opened again while untitled, the same document";

    auto chain = opened.chain();
    chain->setSettingsForToolAtIndex(QVariantMap{{"color", QVariant::fromValue(pf::Color(1, 0, 0, 1))}}, 1,
                                     QStringLiteral("Change"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened.document->isDocumentEdited());
    int autosaves = 0;
    opened.document->autosaveDocument([&](bool ok, const QString& error) {
        ++autosaves;
        EXPECT_TRUE(ok) << error.toStdString();
    });
    ASSERT_TRUE(spinUntil([&] { return autosaves > 0 && !opened.document->isSaving(); }));
    EXPECT_FALSE(opened.document->autosavedContentsFileURL().isEmpty());
    EXPECT_EQ(bytes(path), file);

    // Chosen as the target, the old file is refused (a package is a folder) and stays as it was.
    const SaveResult over = save(*opened.document, path, GMDocumentPackage::typeName, Op::Save);
    EXPECT_FALSE(over.succeeded);
    EXPECT_TRUE(over.error.contains("older version")) << over.error.toStdString();
    EXPECT_EQ(bytes(path), file);

    const QString package = m_dir.filePath("portrait (converted).glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::Save).succeeded);
    EXPECT_EQ(bytes(path), file);
    EXPECT_TRUE(QFileInfo::exists(package + "/original.tif")) << "a TIFF original is kept as its own bytes";
    EXPECT_FALSE(QFileInfo::exists(package + "/image.png"));

    Opened reopened = open(m_documents, package);
    ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
    ASSERT_EQ(reopened.chain()->numberOfTools(), 2);
    EXPECT_EQ(reopened.chain()->photoToolAtIndex(1)->settings().value("color").value<pf::Color>(),
              pf::Color(1, 0, 0, 1));
    EXPECT_GT(maskAt(reopened.chain(), 1, 20, 15), 0.5f);
    EXPECT_LE(largestDifference(renderedOriginal(*reopened.chain()), expected), 1);
}

// Files that cannot be opened say why and stay as they were; nothing is half read.
TEST_F(OlderDocuments, FilesWithoutAPictureOrDamagedAreRefusedWithAMessage)
{
    const QByteArray good = olderFile({archivedImage(encoded(photo(), "tiff")), paintedTint()});
    QByteArray truncated = good.left(good.size() - 20);
    QByteArray scrambled = good; // the trailer points past the end
    for (qsizetype i = good.size() - 8; i < good.size(); ++i)
        scrambled[i] = char(0x7f);
    const struct
    {
        const char* what;
        QByteArray data;
        const char* expected;
    } cases[] = {
        {"no picture at all", olderFile({archivedImage({}), paintedTint()}), "no picture"},
        {"an empty list", olderFile({}), "damaged"},
        {"a damaged layer", olderFile({archivedImage(encoded(photo(), "png")), QVariantMap{{"name", 3}}}),
         "damaged"},
        {"a truncated archive", truncated, "damaged"},
        {"a scrambled archive", scrambled, "damaged"},
        {"no archive at all", "GIF89a, or anything else", "not a document"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = write(QStringLiteral("%1.glimora").arg(c.what).replace(' ', '-'), c.data);
        Opened opened = open(m_documents, path);
        EXPECT_FALSE(opened.document);
        EXPECT_TRUE(opened.error.contains(c.expected)) << opened.error.toStdString();
        EXPECT_EQ(bytes(path), c.data);
    }
}

// A large photo in an older file opens as any large photo does: decoded off the main thread, its
// layers going in after it. Saved, its picture keeps its bytes: a JPEG's as "image.jpg", a TIFF's as
// "original.tif" (earlier versions read the JPEG made of it).
TEST_F(OlderDocuments, ALargePictureIsDecodedInTheBackgroundAndKeptAsWellAsItCame)
{
    QImage large(2400, 1800, QImage::Format_RGB32);
    large.fill(qRgb(90, 140, 200));
    const struct
    {
        const char* format;
        bool lossless;
    } cases[] = {{"jpeg", false}, {"tiff", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const QByteArray picture = encoded(large, c.format);
        const QString path = write(QStringLiteral("large-%1.glimora").arg(c.format),
                                   olderFile({archivedImage(picture, "NSImageData"), paintedTint()}));
        auto document = std::make_shared<GMDocument>();
        document->setFileURL(path);
        document->setFileType(GMDocumentPackage::typeName);
        QString error;
        ASSERT_TRUE(document->readFromURL(path, GMDocumentPackage::typeName, &error)) << error.toStdString();
        EXPECT_TRUE(document->isOpening());
        auto controller = std::make_shared<GMPreviewWindowController>(false);
        document->setWindowController(controller);
        ASSERT_TRUE(spinUntil([&] { return !document->isOpening() && document->pendingLayerCount() == 0; }));
        auto chain = controller->toolChain();
        EXPECT_EQ(chain->originalImageSize(), pf::Size(2400, 1800));
        ASSERT_EQ(chain->numberOfTools(), 2);
        EXPECT_GT(maskAt(chain, 1, 1200, 900), 0.5f);
        EXPECT_FALSE(document->undoManager()->canUndo());

        const QString package = m_dir.filePath(QStringLiteral("large-%1-saved.glimora").arg(c.format));
        ASSERT_TRUE(save(*document, package, GMDocumentPackage::typeName, Op::SaveTo).succeeded);
        EXPECT_FALSE(QFileInfo::exists(package + "/image.png")) << "no other kind under that name";
        if (!c.lossless) {
            EXPECT_EQ(bytes(package + "/image.jpg"), picture);
        } else {
            EXPECT_EQ(bytes(package + "/original.tif"), picture);
            EXPECT_TRUE(bytes(package + "/image.jpg").startsWith("\xFF\xD8")) << "for earlier versions";
        }
    }
}
