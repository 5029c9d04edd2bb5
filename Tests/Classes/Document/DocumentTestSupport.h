#pragma once

#include "ChainTestSupport.h"
#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMPreviewWindowController.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace doctest {

using chaintest::catalog;
using Op = pf::Document::SaveOperation;

// A file's bytes; empty when it cannot be read.
inline QByteArray bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file of a folder with its bytes, to see that a failed save changed nothing.
inline QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(folder.size()), bytes(path));
    }
    return files;
}

// Runs the main loop until `done` or a few seconds have passed.
inline bool spinUntil(const std::function<bool()>& done, int milliseconds = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A document controller for the three kinds of file the application writes and any picture it reads.
class TestController : public pf::DocumentController
{
public:
    TestController()
    {
        registerType({GMDocumentPackage::typeName, "Glimora Document", {"glimora"}, true, true});
        registerType({"jpeg", "JPEG", {"jpg", "jpeg"}, false, true});
        registerType({"png", "PNG", {"png"}, false, true});
        registerType({"tiff", "TIFF", {"tif", "tiff"}, false, false});
        registerType({"gif", "GIF", {"gif"}, false, false});
        registerType({"bmp", "BMP", {"bmp"}, false, false});
        registerType({"webp", "WebP", {"webp"}, false, false});
    }
    std::shared_ptr<pf::Document> makeDocument(const QString&) override
    {
        return std::make_shared<GMDocument>();
    }
};

// Saves and waits; the result of the one completion.
struct SaveResult
{
    int calls = 0;
    bool succeeded = false;
    QString error;
};

// A large photo's save runs several times slower under the thread checker, and slower still on a
// loaded machine: the wait only catches a save that never ends.
#if defined(__SANITIZE_THREAD__)
constexpr int SaveWaitMilliseconds = 120000;
#else
constexpr int SaveWaitMilliseconds = 20000;
#endif

inline SaveResult save(pf::Document& document, const QString& path, const QString& type,
                       pf::Document::SaveOperation operation)
{
    auto result = std::make_shared<SaveResult>();
    document.saveToURL(path, type, operation, [result](bool ok, const QString& error) {
        ++result->calls;
        result->succeeded = ok;
        result->error = error;
    });
    if (!spinUntil([&] { return result->calls > 0 && !document.isSaving(); }, SaveWaitMilliseconds))
        result->error = QStringLiteral("the save did not finish in time");
    return *result;
}

// A 64 x 48 JPEG (quality 90) whose colours run across and down; whether it was written.
inline bool writeGradientPhoto(const QString& path)
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(40 + x * 3, 60 + y * 2, 120));
    return image.save(path, "JPEG", 90);
}

// The three layers the document tests paint in: a green wash, a grey at a quarter, a second wash.
inline void insertWashGreyWash(PhotoToolChain& chain)
{
    chain.insertPhotoToolWithBlueprint(
        chaintest::tint(), QVariantMap{{"color", QVariant::fromValue(pf::Color(0.1, 0.8, 0.3, 1))}}, 0);
    chain.insertPhotoToolWithBlueprint(chaintest::grey(), QVariantMap{{"intensity", 0.25}}, 1);
    chain.insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 2);
}

// Strokes across the middle of the picture, as an older version stored a layer's mask.
inline GMBrushPathPtr strokes()
{
    auto brush = std::make_shared<GMBrush>();
    brush->type = 0;
    brush->size = 0.3;
    brush->smoothness = 0.2;
    brush->pressure = 1;
    auto path = std::make_shared<GMBrushPath>();
    path->addSegmentWithBrush(brush);
    path->addPointsToLastSegment({{0.3, 0.5}, {0.5, 0.5}, {0.7, 0.5}});
    return path;
}

// A mask of the layer's size: grey `value` over the whole, and an additional colour picture.
inline OVContentContainerPtr paintedMask(const pf::Size& size, double value, const pf::Color& extra)
{
    const pf::Rect rect(0, 0, size.width, size.height);
    auto mask = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(pf::Color(value, value, value, 1)).imageByCroppingToRect(rect), true);
    auto additional = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(extra).imageByCroppingToRect(rect), false);
    return std::make_shared<OVContentContainer>(mask, additional);
}

// The green of the middle pixel of a layer's mask; -1 when there is none.
inline double maskValue(const std::shared_ptr<PhotoToolChain>& chain, int index)
{
    if (!chain || chain->numberOfTools() <= index)
        return -1;
    const pf::Bitmap bitmap =
        chain->brushPathImageAtIndex(index)->contentContainer()->imageContainer()->bitmap();
    if (bitmap.isNull())
        return -1;
    float rgba[4];
    bitmap.pixel(bitmap.width() / 2, bitmap.height() / 2, rgba);
    return rgba[1];
}

// Opens `path` into a new document with a window controller of its own, and waits for its layers.
struct Opened
{
    std::shared_ptr<GMDocument> document;
    std::shared_ptr<GMPreviewWindowController> controller;
    QString error;
    std::shared_ptr<PhotoToolChain> chain() const { return controller->toolChain(); }
};

inline Opened open(pf::DocumentController& documents, const QString& path)
{
    Opened opened;
    const QString type = documents.typeForContentsOfURL(path, &opened.error);
    if (type.isEmpty())
        return opened;
    auto document = std::make_shared<GMDocument>();
    document->setDocumentController(&documents);
    document->setFileURL(path);
    document->setFileType(type);
    if (!document->readFromURL(path, type, &opened.error))
        return opened;
    opened.controller = std::make_shared<GMPreviewWindowController>(false);
    document->setWindowController(opened.controller);
    // A large photo is decoded in the background, and its layers go in after it.
    spinUntil([&] { return !document->isOpening() && document->pendingLayerCount() == 0; });
    opened.document = document;
    return opened;
}

// The start of a test's child process that runs the application: it does not quit with its last
// window, every alert is answered with its first button, and every document opens into a live preview
// window.
inline void prepareChildProcess()
{
    QApplication::setQuitOnLastWindowClosed(false);
    pf::Alert::setResponder([](const pf::Alert&) { return pf::Alert::firstButtonReturn; });
    GMDocument::setWindowControllerFactory(
        [](GMDocument&) { return std::make_shared<GMPreviewWindowController>(true); });
}

// The item of that name in the window's menu of that title, brought up to date as opening the menu
// does; null when there is none.
inline QAction* menuItem(pf::Window* window, const QString& menuTitle, const QString& item)
{
    auto* bar = window ? qobject_cast<QMenuBar*>(window->menuBar()) : nullptr;
    if (!bar)
        return nullptr;
    for (QAction* top : bar->actions())
        if (top->menu() && top->menu()->objectName() == menuTitle) {
            emit top->menu()->aboutToShow();
            for (QAction* action : top->menu()->actions())
                if (action->objectName() == item)
                    return action;
        }
    return nullptr;
}

// The delegate's document handler, told of a capable graphics card.
inline DocumentHandler& capableHandler(GMApplicationDelegate& delegate)
{
    DocumentHandler& handler = delegate.documentHandler();
    handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
    return handler;
}

// A 64 x 48 gradient JPEG in a folder of the test's own, documents opened through a controller of the
// test's, and alerts answered by the test (with `m_answer` buttons past the first) and kept: their
// message, and with `m_alertsWithDetail` their informative text after it.
class GradientPhotoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_photo = m_dir.filePath("photo.jpg");
        ASSERT_TRUE(writeGradientPhoto(m_photo));
        pf::Alert::setResponder([this](const pf::Alert& alert) {
            m_alerts << (m_alertsWithDetail ? alert.messageText + u' ' + alert.informativeText
                                            : alert.messageText);
            return pf::Alert::firstButtonReturn + m_answer;
        });
    }
    void TearDown() override { pf::Alert::setResponder({}); }

    QTemporaryDir m_dir;
    QString m_photo;
    TestController m_documents;
    QStringList m_alerts;
    int m_answer = 0;
    bool m_alertsWithDetail = false;
};

// A working area of the test's own (given back afterwards), alerts answered by the test (with
// `m_answer` buttons past the first), and every document opened into a preview window.
class WorkingAreaTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_previousArea = pf::FileSystem::applicationSupportDirectory();
        pf::FileSystem::setApplicationSupportDirectoryForTesting(m_dir.filePath("app"));
        pf::Alert::setResponder([this](const pf::Alert& alert) {
            m_alerts << (m_alertsWithDetail ? alert.messageText + u' ' + alert.informativeText
                                            : alert.messageText);
            return pf::Alert::firstButtonReturn + m_answer;
        });
        GMDocument::setWindowControllerFactory([live = m_livePreviews](GMDocument&) {
            return std::make_shared<GMPreviewWindowController>(live);
        });
    }
    void TearDown() override
    {
        GMDocument::setWindowControllerFactory({});
        pf::Alert::setResponder({});
        pf::FileSystem::setApplicationSupportDirectoryForTesting(m_previousArea);
    }

    // A photo in one colour at `name` in the test's folder (its folder made when missing), written as
    // `m_photoFormat` says, or as its extension says when that is null.
    QString photo(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QImage image(m_photoSize, QImage::Format_RGB32);
        image.fill(QColor(90, 120, 150));
        EXPECT_TRUE(image.save(path, m_photoFormat));
        return path;
    }

    QTemporaryDir m_dir;
    QString m_previousArea;
    QStringList m_alerts;
    int m_answer = 0;
    bool m_alertsWithDetail = true;
    bool m_livePreviews = false;
    QSize m_photoSize{40, 30};
    const char* m_photoFormat = "JPEG";
};

// A mask over the left half of the photo only.
inline OVContentContainerPtr leftHalfMask(const pf::Size& size)
{
    pf::Bitmap mask(int(size.width), int(size.height), pf::Bitmap::Format::RGBA8);
    for (int y = 0; y < mask.height(); ++y) {
        uint8_t* row = mask.mutableRow(y);
        for (int x = 0; x < mask.width(); ++x) {
            const uint8_t v = x < mask.width() / 2 ? 255 : 0;
            row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = v;
            row[4 * x + 3] = 255;
        }
    }
    auto image = std::make_shared<OVImageContainer>(pf::Image::fromBitmap(mask), true);
    auto additional = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(pf::Color(0, 0, 0, 0))
            .imageByCroppingToRect(pf::Rect(0, 0, size.width, size.height)),
        false);
    return std::make_shared<OVContentContainer>(image, additional);
}

// A green tint painted over the left half of the photo, as a retouched picture to save.
inline void tintLeftHalf(PhotoToolChain& chain)
{
    chain.insertPhotoToolWithBlueprint(
        chaintest::tint(), QVariantMap{{"color", QVariant::fromValue(pf::Color(0.1, 0.8, 0.3, 1))}}, 0);
    chain.brushPathImageAtIndex(1)->addContentContainer(leftHalfMask(chain.originalImageSize()));
    QCoreApplication::processEvents();
}

// The file's pixels as stored (no colour conversion), upright, 16 bits a component.
inline QImage storedPixels(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_RGBA64);
}

// The largest difference of a component, at 16 bits, over the columns [from, to).
inline int difference16(const QImage& a, const QImage& b, int from, int to)
{
    if (a.size() != b.size())
        return 65536;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const quint16*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const quint16*>(b.constScanLine(y));
        for (int x = from; x < to; ++x)
            for (int c = 0; c < 4; ++c)
                largest = std::max(largest, std::abs(int(p[4 * x + c]) - int(q[4 * x + c])));
    }
    return largest;
}

} // namespace doctest
