#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/OVBundleManager.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/MainThread.h"
#include "Tests/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPrinter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace doctest;
using Op = pf::Document::SaveOperation;

TEST(ImageSaving, TheNameChoosesTheFormatAndTheFinalExtensionDecidesFirst)
{
    QTemporaryDir dir;
    pf::Bitmap opaque(8, 6, pf::Bitmap::Format::RGBA8);
    std::fill(opaque.mutableData(), opaque.mutableData() + opaque.byteCount(), 255);
    pf::Bitmap translucent(8, 6, pf::Bitmap::Format::RGBA8);
    const struct
    {
        const char* name;
        bool alpha;
        const char* written;
        const char* format;
    } cases[] = {
        {"photo.JPG", false, "photo.JPG", "jpeg"},
        {"picture.png", true, "picture.png", "png"},
        {"scan.tiff", true, "scan.tiff", "tiff"}, // written as itself, not renamed
        {"pngfile.tif", false, "pngfile.tif", "tiff"},
        {"holiday.jpg.gif", false, "holiday.jpg.gif", "jpeg"}, // no GIF writer: the name's ".jpg" counts
        {"notes.xyz", true, "notes.png", "png"},
        {"notes2.xyz", false, "notes2.jpg", "jpeg"},
    };
    for (const auto& c : cases) {
        QString written;
        QString error;
        ASSERT_TRUE(OVBundleManager::writeImage(c.alpha ? translucent : opaque, dir.filePath(c.name), &error,
                                                &written))
            << c.name << ": " << error.toStdString();
        EXPECT_EQ(QFileInfo(written).fileName(), c.written);
        EXPECT_EQ(QImageReader::imageFormat(written), c.format) << c.name;
        EXPECT_EQ(QImage(written).size(), QSize(8, 6)) << c.name;
    }

    QFile::copy(dir.filePath("photo.JPG"), dir.filePath("a.txt"));
    QFile::copy(dir.filePath("photo.JPG"), dir.filePath("a 1.txt"));
    EXPECT_EQ(QFileInfo(OVBundleManager::uniqueFileURL("a.txt", dir.path())).fileName(), "a 2.txt");
    EXPECT_EQ(QFileInfo(OVBundleManager::uniqueFileURL("b.txt", dir.path())).fileName(), "b.txt");
}

TEST(ImageSaving, AFailureOnASaveThreadIsToldOnTheMainThread)
{
    std::atomic<bool> onMain = false;
    std::atomic<int> alerts = 0;
    pf::Alert::setResponder([&](const pf::Alert&) {
        onMain = pf::isMainThread();
        ++alerts;
        return pf::Alert::firstButtonReturn;
    });
    pf::Bitmap bitmap(4, 4, pf::Bitmap::Format::RGBA8);
    std::thread saver(
        [&] { EXPECT_FALSE(OVBundleManager::saveBitmapRep(bitmap, "/proc/no/such/folder/x.png")); });
    saver.join();
    spinUntil([&] { return alerts > 0; }, 5000);
    EXPECT_EQ(alerts, 1);
    EXPECT_TRUE(onMain);
    pf::Alert::setResponder({});
}

// A mask's last reference must go on the main thread (its destructor withdraws its undo actions). The
// document queue tells its result before it lets go of its task, so a task owning the mask could drop
// the last reference there once the caller has let go of its own.
TEST(PackageWriting, TheDocumentQueueNeverOwnsTheMasksItWrites)
{
    QTemporaryDir dir;
    const pf::Size size(8, 8);
    auto mask = std::make_shared<OVBrushPathImage>(size, paintedMask(size, 0.5, pf::Color(0, 0, 1, 1)));
    GMDocumentPackage::Contents contents;
    contents.originalJPEG = QByteArrayLiteral("original");
    GMDocumentPackage::Layer layer;
    layer.name = QStringLiteral("Tint");
    layer.mask = mask;
    layer.container = mask->contentContainer();
    layer.maskSize = size;
    contents.layers = {layer, layer};
    layer = {};
    const std::weak_ptr<OVBrushPathImage> weak = mask;
    mask.reset();

    std::vector<long> owners;
    std::mutex mutex;
    GMDocumentPackage::setFaultInjectionForTesting([&](const QString& step) {
        if (step == QLatin1String("mask")) {
            std::lock_guard lock(mutex);
            owners.push_back(weak.use_count());
        }
        return true;
    });
    QString error;
    const bool written = GMDocumentPackage::write(contents, dir.filePath("mask.glimora"), &error);
    GMDocumentPackage::setFaultInjectionForTesting({});
    ASSERT_TRUE(written) << error.toStdString();
    EXPECT_EQ(owners, (std::vector<long>{2, 2})) << "only the caller's two layers hold the mask";
}

TEST(Printing, WidePicturesPrintInLandscapeScaledDownToThePage)
{
    QTemporaryDir dir;
    const struct
    {
        QSize size;
        QPageLayout::Orientation orientation;
    } cases[] = {{{3000, 2000}, QPageLayout::Landscape},
                 {{400, 400}, QPageLayout::Portrait},
                 {{300, 500}, QPageLayout::Portrait}};
    for (const auto& c : cases) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("print.pdf"));
        QImage image(c.size, QImage::Format_RGB32);
        image.fill(Qt::red);
        GMDocument::printImage(printer, image);
        EXPECT_EQ(printer.pageLayout().orientation(), c.orientation) << c.size.width();
        EXPECT_EQ(printer.pageLayout().margins(), QMarginsF(0, 0, 0, 0));
    }
}

namespace {

const char* const crashTarget = "GLIMORA_CRASH_SAVE_TARGET";

} // namespace

// Run by the next test in a child process, which it kills at random moments: saves the same document
// into the package again and again.
TEST(Crash, SaveForever)
{
    const QString target = qEnvironmentVariable(crashTarget);
    if (target.isEmpty())
        GTEST_SKIP() << "run by SavesKilledAtRandomLeaveAReadableDocument";
    TestController documents;
    Opened opened = open(documents, target);
    ASSERT_TRUE(opened.document);
    for (int i = 0;; ++i) {
        auto chain = opened.chain();
        if (chain->numberOfTools() < 4)
            chain->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, chain->numberOfTools() - 1);
        else
            chain->removePhotoToolAtIndex(1);
        chain->brushPathImageAtIndex(1)->addContentContainer(
            paintedMask(chain->originalImageSize(), 0.1 * (i % 9), pf::Color(0, 0, 1, 1)));
        save(*opened.document, target, GMDocumentPackage::typeName, Op::Save);
    }
}

TEST(Crash, SavesKilledAtRandomLeaveAReadableDocument)
{
    QTemporaryDir dir;
    const QString photo = dir.filePath("photo.jpg");
    QImage image(96, 64, QImage::Format_RGB32);
    image.fill(QColor(120, 90, 60));
    ASSERT_TRUE(image.save(photo));
    TestController documents;
    Opened opened = open(documents, photo);
    ASSERT_TRUE(opened.document);
    opened.chain()->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 0);
    const QString package = dir.filePath("crash.glimora");
    ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);

    QRandomGenerator random(20261207);
    for (int round = 0; round < 6; ++round) {
        ChildProcess child;
        ASSERT_TRUE(child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=Crash.SaveForever"},
                                {{crashTarget, package},
                                 {"PF_APPLICATION_SUPPORT_DIR", dir.filePath("child-app")},
                                 {"PF_USER_DEFAULTS_FILE", dir.filePath("child-defaults.conf")}}));
        QThread::msleep(700 + random.bounded(900));
        child.kill();

        Opened reopened = open(documents, package);
        ASSERT_TRUE(reopened.document) << "round " << round << ": " << reopened.error.toStdString();
        EXPECT_GE(reopened.chain()->numberOfTools(), 2);
    }
}

TEST(TemporaryFiles, TemporaryImagesAreRegisteredForTheFlushAtQuit)
{
    const QString image = OVBundleManager::tempFileForImage(QImage(3, 3, QImage::Format_RGB32), "shot.tiff");
    EXPECT_TRUE(image.endsWith("/shot.tiff.jpg")) << image.toStdString();
    EXPECT_TRUE(QFileInfo::exists(image));
    OVTempCleaner::sharedTempCleaner().flush();
    EXPECT_FALSE(QFileInfo::exists(image));
}
