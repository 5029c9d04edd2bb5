#pragma once

#include "ChainTestSupport.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMPreviewWindowController.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/DocumentController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

namespace doctest {

using chaintest::catalog;

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

} // namespace doctest
