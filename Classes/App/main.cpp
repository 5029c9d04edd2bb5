#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Platform/Media/Movie.h"
#include "Platform/UI/Application.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    pf::chooseWindowingPlatform(argc, argv);
    pf::Movie::chooseBackend(); // the media back end is chosen when the application object is made
    QApplication app(argc, argv);
    // The welcome window comes back when the last document closes; quitting is the Quit command's, or
    // closing the welcome window with nothing open.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("glimora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Glimora"));
    QApplication::setApplicationVersion(QStringLiteral(GLIMORA_VERSION));

    GMApplicationDelegate delegate;
    const QStringList files = app.arguments().mid(1);
    if (!delegate.claimSingleInstance(files))
        return delegate.startRefused() ? 1 : 0; // else the running instance opens them

    FilterLibrary::registerAll();
    FramesLibrary::registerAll();
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    OVHealingBrush::registerClass();
    OVImageContainer::registerArchiveClasses();
    GMDocumentPackage::registerArchiveClasses();
    // Every document is edited in an editor window.
    GMDocument::setWindowControllerFactory([](GMDocument& document) {
        return std::make_shared<GMEditorWindowController>(document.weak_from_this());
    });

    // What the first photo's window needs is made while the welcome window is up.
    GMEditorWindowController::prepareForFirstWindow();

    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, [&delegate] {
        delegate.applicationWillTerminate();
        // A quit right after launch lets that work finish first: it uses what the process tears down.
        GMEditorWindowController::prepareForFirstWindow().wait_for(std::chrono::seconds(10));
    });
    delegate.applicationDidFinishLaunching(files);
    return app.exec();
}
