#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Classes/ToolObjects/OVOriginalPyramid.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/MainThread.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace doctest;

namespace {

constexpr int Width = 2400, Height = 1800; // above the size that opens in the background

// A window that notes how the photo reached it: prepared off the main thread, or as a bare picture
// that the main thread would have to reduce and search for faces.
class RecordingWindow : public GMPreviewWindowController
{
public:
    RecordingWindow() : GMPreviewWindowController(false) {}
    void setOriginalImage(const pf::Image& image) override
    {
        ++bare;
        GMPreviewWindowController::setOriginalImage(image);
    }
    void setPreparedOriginal(const PhotoToolChain::Original& original) override
    {
        ++prepared;
        levelsOnArrival = original.pyramid ? original.pyramid->madeLevels() : -1;
        GMPreviewWindowController::setPreparedOriginal(original);
    }
    int bare = 0, prepared = 0, levelsOnArrival = -1;
};

class Opening : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_photo = m_dir.filePath("large.jpg");
        QImage image(Width, Height, QImage::Format_RGB32);
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                image.setPixel(x, y, qRgb((x / 9) % 256, (y / 7) % 256, 120));
        ASSERT_TRUE(image.save(m_photo, "JPEG", 90));
        pf::Alert::setResponder([this](const pf::Alert& alert) {
            m_alerts << alert.messageText;
            return pf::Alert::firstButtonReturn;
        });
    }
    void TearDown() override { pf::Alert::setResponder({}); }

    // The photo opened, one layer painted at 0.6 and the edits kept in its shadow copy.
    void keepEdits()
    {
        Opened opened = open(m_documents, m_photo);
        ASSERT_TRUE(opened.document) << opened.error.toStdString();
        auto chain = opened.chain();
        chain->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
        chain->brushPathImageAtIndex(1)->addContentContainer(
            paintedMask(chain->originalImageSize(), 0.6, pf::Color(0, 0, 1, 1)));
        opened.document->setFileURL(m_photo);
        opened.document->setFileType("jpeg");
        ASSERT_TRUE(save(*opened.document, m_photo, "jpeg", Op::Autosave).succeeded);
        ASSERT_TRUE(save(*opened.document, m_package, GMDocumentPackage::typeName, Op::SaveTo).succeeded);
        opened.document->close();
        OVBrushPathImage::waitForPendingWrites();
    }

    QString shadowCopyFolder() const
    {
        const QVariantMap entry =
            GMFileUtilities::shadowCopyDictionary().value(GMDocument::shadowCopyKey(m_photo)).toMap();
        return GMFileUtilities::applicationSupportDirectory() + u'/' + entry.value("filename").toString();
    }

    // Reads `path` as the document controller would; the document is added to the controller.
    std::shared_ptr<GMDocument> read(const QString& path, const QString& type)
    {
        auto document = std::make_shared<GMDocument>();
        document->setDocumentController(&m_documents);
        document->setFileURL(path);
        document->setFileType(type);
        QString error;
        EXPECT_TRUE(document->readFromURL(path, type, &error)) << error.toStdString();
        m_documents.addDocument(document);
        return document;
    }

    bool isOpen(const std::shared_ptr<GMDocument>& document) const
    {
        const auto& all = m_documents.documents();
        return std::find(all.begin(), all.end(), document) != all.end();
    }

    QTemporaryDir m_dir;
    QString m_photo;
    QString m_package = m_dir.filePath("kept.glimora");
    TestController m_documents;
    QStringList m_alerts;
};

} // namespace

TEST_F(Opening, EveryLargeOriginalIsDecodedAndPreparedOffTheMainThread)
{
    keepEdits();
    const QByteArray photoBytes = bytes(m_photo);
    const struct
    {
        const char* name;
        QString path;
        QString type;
        int tools; // the background and the kept layers
    } cases[] = {
        {"a photo with its shadow copy", m_photo, "jpeg", 2},
        {"a package", m_package, GMDocumentPackage::typeName, 2},
        {"a photo without edits", m_dir.filePath("plain.jpg"), "jpeg", 1},
    };
    ASSERT_TRUE(QFile::copy(m_photo, cases[2].path));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto document = read(c.path, c.type);
        EXPECT_TRUE(document->isOpening());
        EXPECT_TRUE(document->originalImage().isNull()) << "the main thread decoded the photo";
        auto window = std::make_shared<RecordingWindow>();
        document->setWindowController(window);
        ASSERT_TRUE(spinUntil([&] { return !document->isOpening() && document->pendingLayerCount() == 0; }));

        EXPECT_EQ(window->bare, 0) << "the photo was handed over unprepared";
        EXPECT_EQ(window->prepared, 1);
        const auto chain = window->toolChain();
        ASSERT_TRUE(chain);
        EXPECT_EQ(chain->originalImageSize(), pf::Size(Width, Height));
        ASSERT_EQ(chain->numberOfTools(), c.tools);
        if (c.tools > 1) {
            float rgba[4];
            const pf::Bitmap mask =
                chain->brushPathImageAtIndex(1)->contentContainer()->imageContainer()->bitmap();
            ASSERT_FALSE(mask.isNull());
            mask.pixel(mask.width() / 2, mask.height() / 2, rgba);
            EXPECT_NEAR(rgba[1], 0.6, 0.01) << "the kept layer's mask";
        }
        // The window's first pictures (the effects' tiles, the fitted photo, the preview) are made from
        // copies the decoding thread made: none is reduced on the main thread.
        for (const double side : {240.0, 683.0, 1024.0})
            (void)chain->originalPyramid()->imageByApplyingTransform(
                pf::AffineTransform::scale(side / Width, side / Width));
        EXPECT_EQ(chain->originalPyramid()->madeLevels(), window->levelsOnArrival);

        // The original keeps the photo's own bytes through the background open.
        const QString copy = m_dir.filePath("copy.glimora");
        ASSERT_TRUE(save(*document, copy, GMDocumentPackage::typeName, Op::SaveTo).succeeded);
        EXPECT_EQ(bytes(copy + "/image.jpg"), photoBytes);
        QDir(copy).removeRecursively();
        document->close();
    }
    EXPECT_TRUE(m_alerts.isEmpty()) << m_alerts.join(", ").toStdString();
}

TEST_F(Opening, AnOriginalThatDoesNotDecodeAfterAllIsToldAndNeverShownEmpty)
{
    keepEdits();
    // Cut short behind a sound header: found only by the decoding thread.
    const auto cutShort = [](const QString& path) {
        const QByteArray data = bytes(path);
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(data.left(data.size() / 3)) > 0;
    };
    ASSERT_TRUE(cutShort(m_package + "/image.jpg"));
    ASSERT_TRUE(cutShort(shadowCopyFolder() + "/image.jpg"));

    // A package has nothing else to show: the user is told and its window goes.
    const auto package = read(m_package, GMDocumentPackage::typeName);
    auto closed = std::make_shared<RecordingWindow>();
    package->setWindowController(closed);
    ASSERT_TRUE(spinUntil([&] { return !package->isOpening(); }));
    EXPECT_FALSE(isOpen(package));
    EXPECT_FALSE(closed->toolChain()) << "no empty photo, and no layer over none";
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(m_alerts.last().contains("could not be opened"));

    // A damaged shadow copy opens the photo as it is in the file, without the kept layers.
    pf::LogCapture log;
    const auto photo = read(m_photo, "jpeg");
    auto window = std::make_shared<RecordingWindow>();
    photo->setWindowController(window);
    ASSERT_TRUE(spinUntil([&] { return !photo->isOpening() && window->toolChain(); }));
    EXPECT_TRUE(isOpen(photo));
    EXPECT_EQ(window->toolChain()->numberOfTools(), 1);
    EXPECT_EQ(window->toolChain()->originalImageSize(), pf::Size(Width, Height));
    EXPECT_EQ(photo->pendingLayerCount(), 0);
    ASSERT_EQ(m_alerts.size(), 2);
    EXPECT_TRUE(m_alerts.last().contains("could not be read"));
    EXPECT_TRUE(log.contains("opens as it is in the file"));
}

TEST_F(Opening, ALosslessOriginalKeepsItsOwnBytesThroughBackgroundOpens)
{
    const QString png = m_dir.filePath("large.png");
    ASSERT_TRUE(QImage(m_photo).save(png, "PNG"));
    const QByteArray original = bytes(png);
    // The photo, then the package it was kept in: each decoded in the background, each saved again.
    QString from = png, type = "png";
    for (const char* name : {"first.glimora", "second.glimora"}) {
        SCOPED_TRACE(name);
        const auto document = read(from, type);
        EXPECT_TRUE(document->isOpening());
        auto window = std::make_shared<RecordingWindow>();
        document->setWindowController(window);
        ASSERT_TRUE(spinUntil([&] { return !document->isOpening(); }));
        const QString package = m_dir.filePath(name);
        ASSERT_TRUE(save(*document, package, GMDocumentPackage::typeName, Op::SaveTo).succeeded);
        EXPECT_EQ(bytes(package + "/image.png"), original) << "the original was encoded again";
        document->close();
        from = package;
        type = GMDocumentPackage::typeName;
    }
}
