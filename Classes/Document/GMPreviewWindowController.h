#pragma once

#include "Classes/Document/GMDocumentWindowController.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/Window.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

namespace pf {
class Window;
}

// A plain document window: the composed picture of the chain, fitted into the window, and the busy
// panel while the document saves or loads. No editing; it serves until the editor window exists,
// and as the window of documents in tests.
class OVActivityPanel;

class GMPreviewWindowController : public GMDocumentWindowController
{
public:
    // `showsWindow` false keeps the window off screen (tests).
    explicit GMPreviewWindowController(bool showsWindow = true);
    ~GMPreviewWindowController() override;

    void setOriginalImage(const pf::Image& image) override;
    void setPreparedOriginal(const PhotoToolChain::Original& original) override;
    void setUndoManager(std::shared_ptr<pf::UndoManager> undoManager) override;
    std::shared_ptr<PhotoToolChain> toolChain() const override { return m_chain; }
    GMRenderForSaving previewForSaving() override;
    GMRenderForSaving imageForSaving(pf::Bitmap::Format format = pf::Bitmap::Format::RGBA8) override;
    void showLoadingPreview(const QImage& preview) override;
    void startActivity(const QString& message, std::function<void()> block) override;
    void stopActivity(const QString& message) override;
    pf::Window* window() const override;

    // The busy messages shown now, oldest first.
    QStringList activities() const;
    // Composes the picture shown again (after a change of the chain).
    void refresh();

private:
    class PreviewView;

    std::shared_ptr<PhotoToolChain> m_chain;
    std::shared_ptr<pf::UndoManager> m_undoManager;
    QPointer<pf::Window> m_window;
    PreviewView* m_view = nullptr;
    std::unique_ptr<OVActivityPanel> m_activityPanel;
    pf::ObserverToken m_changes;
    bool m_showsWindow;
    bool m_refreshPending = false;
    std::unique_ptr<QObject> m_lifetime = std::make_unique<QObject>(); // owns timers that call back here
};
