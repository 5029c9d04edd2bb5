#include "Classes/Document/GMEditorWindowController.h"

#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMWindowCascade.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Document.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <thread>

const QString GMEditorWindowController::frameKey = QStringLiteral("DocumentWindowFrame");
const QString GMEditorWindowController::firstRunTopic = QStringLiteral("Retouching");

GMEditorWindowController::GMEditorWindowController(std::weak_ptr<pf::Document> document)
    : m_editor(std::make_unique<GMWindowController>())
{
    m_editor->setBlueprintCatalog(&GMDocument::blueprintCatalog());
    m_editor->setDocument(std::move(document));
    m_editor->loadWindow();
    pf::Window* window = m_editor->window();
    if (!window)
        return;
    // Every editor window is placed by its content's rectangle, as the remembered frame and the other
    // windows' geometry are: a window placed by its outer frame would be compared with the others' content,
    // which a window manager's title bar moves down, and the cascade would miss the window it covers.
    const QRect remembered = rememberedFrame(window->minimumSize());
    window->setGeometry(remembered.isNull() ? window->geometry() : remembered);
    if (const std::shared_ptr<pf::Document> owner = m_editor->document().lock())
        GMWindowCascade::place(window, owner->documentController() ? owner->documentController()
                                                                   : pf::DocumentController::shared());
    // Wherever it was put, its title bar stays within reach: checked now, at every move, and as it comes
    // to the front, once more a moment later (a window manager frames a window some events after it
    // shows, and its title bar is known only then).
    GMWindowCascade::keepTitleBarOnScreen(window);
    m_moved = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::didMoveNotification, window,
        [window](const pf::Notification&) { GMWindowCascade::keepTitleBarOnScreen(window); });
    m_becameKey = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::didBecomeKeyNotification, window, [window](const pf::Notification&) {
            GMWindowCascade::keepTitleBarOnScreen(window);
            QTimer::singleShot(300, window, [window] { GMWindowCascade::keepTitleBarOnScreen(window); });
        });
    m_closing = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::willCloseNotification, window, [window](const pf::Notification&) {
            if (window->isFullScreen() || window->isMaximized() || window->isMinimized())
                return;
            const QRect g = window->geometry();
            pf::UserDefaults::standard().setString(
                frameKey, QStringLiteral("%1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
        });
    // The first editor window of a run introduces retouching, once it is on screen, unless the user
    // asked not to see that again. Windows restored together all ask: the one in front shows it.
    QPointer<pf::Window> shown(window);
    pf::Timer::afterThisEvent(
        [shown, weak = m_editor->document()] {
            if (!shown || !shown->isVisible())
                return;
            pf::Window* front = shown;
            const std::shared_ptr<pf::Document> owner = weak.lock();
            const pf::DocumentController* documents = owner && owner->documentController()
                                                          ? owner->documentController()
                                                          : pf::DocumentController::shared();
            if (pf::Window* key = pf::Window::keyWindow(); key && key->isVisible() && documents)
                for (const std::shared_ptr<pf::Document>& document : documents->documents())
                    if (document->window() == key)
                        front = key;
            OVInformationPanel::showInformationForTitle(firstRunTopic, front);
        },
        window);
}

QRect GMEditorWindowController::rememberedFrame(const QSize& minimumSize)
{
    const QStringList parts = pf::UserDefaults::standard().stringForKey(frameKey).split(u' ');
    if (parts.size() != 4)
        return {};
    bool ok[4];
    const QRect frame(parts[0].toInt(&ok[0]), parts[1].toInt(&ok[1]), parts[2].toInt(&ok[2]),
                      parts[3].toInt(&ok[3]));
    if (!(ok[0] && ok[1] && ok[2] && ok[3]) || frame.width() < minimumSize.width() ||
        frame.height() < minimumSize.height())
        return {};
    // A screen that is gone (a monitor unplugged) must not leave the window out of reach: most of its
    // title bar must be on a screen now.
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect available = screen->availableGeometry();
        const QRect top(frame.x(), frame.y(), frame.width(), 40);
        const QRect seen = available.intersected(top);
        if (seen.width() >= std::min(frame.width(), available.width()) / 2 && seen.height() > 0 &&
            frame.width() <= available.width() + 40 && frame.height() <= available.height() + 80)
            return frame;
    }
    return {};
}

GMEditorWindowController::~GMEditorWindowController() = default;

std::shared_future<void> GMEditorWindowController::prepareForFirstWindow()
{
    static const std::shared_future<void> prepared = [] {
        std::shared_future<void> effects = GMDocument::blueprintCatalog().prepareAllInBackground();
        std::packaged_task<void()> contexts([effects] {
            // The canvas's contexts, and the shared one the effects' tiles are drawn with.
            GMRealTimeRenderer::prepareContexts();
            (void)pf::RenderContext::shared();
            effects.wait();
        });
        std::shared_future<void> done = contexts.get_future().share();
        std::thread(std::move(contexts)).detach();
        return done;
    }();
    return prepared;
}

void GMEditorWindowController::setOriginalImage(const pf::Image& image)
{
    m_editor->setOriginalImage(image);
}

void GMEditorWindowController::setPreparedOriginal(const PhotoToolChain::Original& original)
{
    m_editor->setOriginalImage(original);
}

void GMEditorWindowController::setUndoManager(std::shared_ptr<pf::UndoManager> undoManager)
{
    m_editor->setUndoManager(std::move(undoManager));
}

std::shared_ptr<PhotoToolChain> GMEditorWindowController::toolChain() const
{
    return m_editor->toolChain();
}

GMRenderForSaving GMEditorWindowController::previewForSaving()
{
    const auto chain = m_editor->toolChain();
    if (!chain)
        return {};
    // The canvas's preview of the stack as it is now, when it holds one, is that very picture, made
    // already: composing it again would hold a save (a closing window's kept edits) for a second or more.
    OVRenderCache* shown = m_editor->previewRenderer();
    if (shown) {
        const pf::Image composed = shown->cachedComposedImageToIndex(chain->numberOfTools() - 1);
        const pf::Size size = shown->outputSize();
        if (!composed.isNull() && size.width <= GMWindowController::previewSide &&
            size.height <= GMWindowController::previewSide)
            return GMChainRenderer::renderForSaving(composed, size);
    }
    // Right after a stroke the canvas holds the layers below it: only the rest is composed.
    return GMChainRenderer::renderForSaving(
        *chain, pf::Size(GMWindowController::previewSide, GMWindowController::previewSide),
        pf::Bitmap::Format::RGBA8, shown);
}

GMRenderForSaving GMEditorWindowController::imageForSaving(pf::Bitmap::Format format)
{
    const auto chain = m_editor->toolChain();
    return chain ? GMChainRenderer::renderForSaving(*chain, std::nullopt, format) : GMRenderForSaving();
}

void GMEditorWindowController::showOpeningPreview(const QImage& preview, const pf::Size& photoSize)
{
    m_editor->showOpeningPreview(preview, photoSize);
}

void GMEditorWindowController::showLoadingPreview(const QImage& preview)
{
    m_editor->showLoadingPreview(preview);
}

void GMEditorWindowController::startActivity(const QString& message, std::function<void()> block)
{
    OVActivityPanel* panel = m_editor->activityPanel();
    // The work waits for the panel's slide only where someone sees it: behind a window put away (a quit
    // keeping the changes) or not shown yet it runs at the next turn, and the panel still notes the
    // activity for when the window shows.
    const pf::Window* shown = window();
    if (panel && shown && shown->isVisible()) {
        panel->startActivity(message, std::move(block));
        return;
    }
    if (panel)
        panel->startActivity(message, {});
    if (block)
        pf::Timer::afterThisEvent(std::move(block));
}

void GMEditorWindowController::stopActivity(const QString& message)
{
    if (OVActivityPanel* panel = m_editor->activityPanel())
        panel->stopActivity(message);
}

pf::Window* GMEditorWindowController::window() const
{
    return m_editor->window();
}
