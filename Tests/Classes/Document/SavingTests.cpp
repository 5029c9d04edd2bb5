#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/OVBundleManager.h"
#include "Classes/Framework/OVImageWriter.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/MainThread.h"
#include "Tests/ChildProcess.h"
#include "Tests/Platform/Image/ImageTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPrinter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace doctest;

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
        ASSERT_TRUE(
            OVImageWriter::writeImage(c.alpha ? translucent : opaque, dir.filePath(c.name), &error, &written))
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
const char* const crashStep = "GLIMORA_CRASH_SAVE_STEP"; // a writer step to die at, on the third save
constexpr int crashLayers = 4;

// Version `version` of the crash document: four grey layers, each with a mask of noise and a colour
// picture, and an intensity, all drawn from the version.
OVContentContainerPtr crashMask(const pf::Size& size, int version, int layer)
{
    QRandomGenerator random(quint32(version * 16 + layer));
    pf::Bitmap noise(int(size.width), int(size.height), pf::Bitmap::Format::RGBA8);
    uint8_t* data = noise.mutableData();
    for (size_t i = 0; i < noise.byteCount(); i += 4) {
        data[i] = data[i + 1] = data[i + 2] = uint8_t(random.bounded(256));
        data[i + 3] = 255;
    }
    const pf::Rect rect(0, 0, size.width, size.height);
    const double blue = (version % 7) / 7.0;
    return std::make_shared<OVContentContainer>(
        std::make_shared<OVImageContainer>(pf::Image::fromBitmap(noise), true),
        std::make_shared<OVImageContainer>(
            pf::Image::constantColor(pf::Color(0.5, 0.25, blue, 1)).imageByCroppingToRect(rect), false));
}
double crashIntensity(int version, int layer)
{
    return ((version * 37 + layer * 11) % 100) / 100.0;
}

void paintVersion(PhotoToolChain& chain, int version)
{
    while (chain.numberOfTools() <= crashLayers)
        chain.insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, chain.numberOfTools() - 1);
    for (int k = 1; k <= crashLayers; ++k) {
        chain.brushPathImageAtIndex(k)->addContentContainer(crashMask(chain.originalImageSize(), version, k));
        chain.setSettingsForToolAtIndex(QVariantMap{{"intensity", crashIntensity(version, k)}}, k,
                                        QStringLiteral("Change"));
    }
}

QByteArray pixelsOf(const OVImageContainerPtr& picture)
{
    const pf::Bitmap bitmap = picture->bitmap();
    return bitmap.isNull()
               ? QByteArray()
               : QByteArray(reinterpret_cast<const char*>(bitmap.data()), qsizetype(bitmap.byteCount()));
}

// Colour pictures are stored with 16 bits a channel: the same within that.
bool sameColours(const pf::Bitmap& read, const pf::Bitmap& expected)
{
    return !read.isNull() && !expected.isNull() && read.width() == expected.width() &&
           read.height() == expected.height() && pftest::largestDifference(read, expected) <= 1e-3f;
}

// Which of the two versions a reopened crash document holds, whole; -1 when neither.
int versionOf(PhotoToolChain& chain, int previous, int newest)
{
    if (chain.numberOfTools() != crashLayers + 1)
        return -1;
    for (const int version : {previous, newest}) {
        bool all = true;
        for (int k = 1; k <= crashLayers && all; ++k) {
            const auto expected = crashMask(chain.originalImageSize(), version, k);
            expected->flush();
            const auto read = chain.brushPathImageAtIndex(k)->contentContainer();
            all = chain.photoToolAtIndex(k)->savedSettingsState().value("intensity").toDouble() ==
                      crashIntensity(version, k) &&
                  pixelsOf(read->imageContainer()) == pixelsOf(expected->imageContainer()) &&
                  sameColours(read->additionalImageContainer()->bitmap(),
                              expected->additionalImageContainer()->bitmap());
        }
        if (all)
            return version;
    }
    return -1;
}

void dieNow()
{
    ::kill(::getpid(), SIGKILL);
}

} // namespace

// Run by the next test in a child process, which is killed at random moments or kills itself at one
// step of the writer: saves version after version of the document into the package, noting in
// "<package>.version" which version it is about to save.
TEST(Crash, SaveForever)
{
    const QString target = qEnvironmentVariable(crashTarget);
    if (target.isEmpty())
        GTEST_SKIP() << "run by SavesKilledAnywhereLeaveThePreviousOrTheNewVersion";
    const QString step = qEnvironmentVariable(crashStep);
    if (step == QLatin1String("aside")) {
        pf::FileSystem::setDirectoryExchangeDisabledForTesting(true);
        pf::FileSystem::setReplacementStepHookForTesting(&dieNow);
    } else if (!step.isEmpty()) {
        auto seen = std::make_shared<std::atomic<int>>(0);
        GMDocumentPackage::setFaultInjectionForTesting([step, seen](const QString& at) {
            if (at == step && ++*seen == 3)
                dieNow();
            return true;
        });
    }
    TestController documents;
    Opened opened = open(documents, target);
    ASSERT_TRUE(opened.document);
    const int first = QString::fromLatin1(bytes(target + ".version")).toInt() + 1;
    for (int version = first;; ++version) {
        paintVersion(*opened.chain(), version);
        ASSERT_TRUE(pf::FileSystem::writeFileAtomically(target + ".version", QByteArray::number(version)));
        ASSERT_TRUE(save(*opened.document, target, GMDocumentPackage::typeName, Op::Save).succeeded);
    }
}

// A child saves again and again and is killed: at 20 random moments and once at each step of the
// writer. Each time the package opens and holds the version before the one being saved, or that one,
// pixel for pixel and setting for setting; no leftover survives the open.
TEST(Crash, SavesKilledAnywhereLeaveThePreviousOrTheNewVersion)
{
    QTemporaryDir dir;
    const QString photo = dir.filePath("photo.jpg");
    QImage image(48, 32, QImage::Format_RGB32);
    image.fill(QColor(120, 90, 60));
    ASSERT_TRUE(image.save(photo));
    TestController documents;
    const QString package = dir.filePath("crash.glimora");
    {
        Opened opened = open(documents, photo);
        ASSERT_TRUE(opened.document);
        paintVersion(*opened.chain(), 0);
        ASSERT_TRUE(save(*opened.document, package, GMDocumentPackage::typeName, Op::SaveAs).succeeded);
        ASSERT_TRUE(pf::FileSystem::writeFileAtomically(package + ".version", "0"));
    }

    QStringList moments{"folder", "image", "preview", "mask", "content", "swap", "aside"};
    for (int i = 0; i < 20; ++i)
        moments.append(QString());
    QRandomGenerator random(20261207);
    int held = 0;
    for (const QString& step : moments) {
        const int before = bytes(package + ".version").toInt();
        ChildProcess child;
        ASSERT_TRUE(child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=Crash.SaveForever"},
                                {{crashTarget, package},
                                 {crashStep, step},
                                 {"PF_APPLICATION_SUPPORT_DIR", dir.filePath("child-app")},
                                 {"PF_USER_DEFAULTS_FILE", dir.filePath("child-defaults.conf")}}));
        if (step.isEmpty()) {
            // Once it saves, somewhere within the next saves.
            QElapsedTimer waited;
            waited.start();
            while (bytes(package + ".version").toInt() == before && waited.elapsed() < 30000 &&
                   child.isRunning())
                QThread::msleep(2);
            QThread::msleep(random.bounded(250));
            child.kill();
        } else {
            ASSERT_TRUE(child.waitForFinished(60000)) << step.toStdString();
            ASSERT_EQ(child.exitCode(), -1) << step.toStdString() << " " << child.errors().toStdString();
        }
        // The version being saved when the child died, and the one the package held before it: the
        // last the child finished, or the one it found when it died in its first save.
        const int newest = bytes(package + ".version").toInt();
        const int previous = newest == before + 1 ? held : newest - 1;
        Opened reopened = open(documents, package);
        ASSERT_TRUE(reopened.document) << step.toStdString() << ": " << reopened.error.toStdString();
        const int found = versionOf(*reopened.chain(), previous, newest);
        EXPECT_NE(found, -1) << (step.isEmpty() ? "a random moment" : step.toStdString())
                             << ", saving version " << newest << " over " << previous;
        held = found == -1 ? newest : found;
        QStringList leftovers =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        leftovers.removeAll("crash.glimora");
        leftovers.removeAll("crash.glimora.version");
        leftovers.removeAll("photo.jpg");
        leftovers.removeAll("child-app");
        leftovers.removeAll("child-defaults.conf");
        // The test's own version marker, killed while it was being written, is no document's leftover.
        leftovers.removeIf([](const QString& name) { return name.startsWith(".crash.glimora.version."); });
        EXPECT_EQ(leftovers, QStringList()) << step.toStdString();
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
