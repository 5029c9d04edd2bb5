#pragma once

#include "Classes/Document/GMDocumentWindowController.h"
#include "Platform/Foundation/ObserverToken.h"

#include <QRect>

#include <future>
#include <memory>

class GMWindowController;
namespace pf {
class Document;
}

// A document's window is the editor window: this serves the document's requests with the editor's
// window controller (GMWindowController). The pictures for saving are composed from the state of the
// stack when they are asked for, on the save thread, as every document window's are.
class GMEditorWindowController : public GMDocumentWindowController
{
public:
    // Builds the window for the document (its keys are watched while it is the current one).
    explicit GMEditorWindowController(std::weak_ptr<pf::Document> document);
    ~GMEditorWindowController() override;
    // Makes on other threads what the first window of the process would otherwise wait for: the
    // effects (their filters and kernels) and the rendering contexts. Called at launch, while the
    // welcome window is up; the future is ready when all is made.
    static std::shared_future<void> prepareForFirstWindow();
    GMEditorWindowController(const GMEditorWindowController&) = delete;
    GMEditorWindowController& operator=(const GMEditorWindowController&) = delete;

    void setOriginalImage(const pf::Image& image) override;
    void setPreparedOriginal(const PhotoToolChain::Original& original) override;
    void setUndoManager(std::shared_ptr<pf::UndoManager> undoManager) override;
    std::shared_ptr<PhotoToolChain> toolChain() const override;
    GMRenderForSaving previewForSaving() override;
    GMRenderForSaving imageForSaving(pf::Bitmap::Format format = pf::Bitmap::Format::RGBA8) override;
    void showLoadingPreview(const QImage& preview) override;
    void showOpeningPreview(const QImage& preview, const pf::Size& photoSize) override;
    void startActivity(const QString& message, std::function<void()> block) override;
    void stopActivity(const QString& message) override;
    pf::Window* window() const override;

    GMWindowController& editor() const { return *m_editor; }

    // The user default that keeps the size and place of the last editor window closed ("x y w h" on
    // the screen, top-down), for the next one to open there.
    static const QString frameKey;
    // The help topic shown as a sheet over the first editor window of a run ("Retouching").
    static const QString firstRunTopic;
    // The remembered frame when it still lies on a screen with room for the window; else null.
    static QRect rememberedFrame(const QSize& minimumSize);

private:
    std::unique_ptr<GMWindowController> m_editor;
    pf::ObserverToken m_closing;
    pf::ObserverToken m_moved;
    pf::ObserverToken m_becameKey;
};
