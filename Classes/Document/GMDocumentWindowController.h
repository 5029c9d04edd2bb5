#pragma once

#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <QImage>
#include <functional>
#include <memory>
#include <optional>

namespace pf {
class UndoManager;
class Window;
} // namespace pf

// A picture for saving, taken from the window at once and made into pixels later: the document asks
// for it while the interface waits, and renders it on the save thread after letting the interface go.
// Null when there is nothing to render.
using GMRenderForSaving = std::function<std::optional<pf::Bitmap>()>;

// What a document asks of the window that edits it. Main thread only, except the renders it returns.
class GMDocumentWindowController
{
public:
    virtual ~GMDocumentWindowController() = default;

    // Builds the tool chain over the photograph.
    virtual void setOriginalImage(const pf::Image& image) = 0;
    // The same over a photo whose reduced copies and faces were worked out already (off the main
    // thread, while it was opened).
    virtual void setPreparedOriginal(const PhotoToolChain::Original& original)
    {
        setOriginalImage(original.image);
    }
    // Null switches undo registration off (while layers are loaded).
    virtual void setUndoManager(std::shared_ptr<pf::UndoManager> undoManager) = 0;
    virtual std::shared_ptr<PhotoToolChain> toolChain() const = 0;
    // The composed picture of all layers fitted inside 1024 x 1024 pixels, and at full size (in float
    // pixels for a photo that has more than 8 bits to keep).
    virtual GMRenderForSaving previewForSaving() = 0;
    virtual GMRenderForSaving imageForSaving(pf::Bitmap::Format format = pf::Bitmap::Format::RGBA8) = 0;
    // A picture shown while the layers load.
    virtual void showLoadingPreview(const QImage& preview) = 0;
    // A reduced picture of a photo of `photoSize` pixels that is still being opened, shown in its place.
    virtual void showOpeningPreview(const QImage& preview, const pf::Size& photoSize)
    {
        (void)photoSize;
        showLoadingPreview(preview);
    }
    // The busy panel: shows the message (the first one slides the panel in and then runs `block`;
    // otherwise the block runs on the next turn of the main loop) and removes it again.
    virtual void startActivity(const QString& message, std::function<void()> block) = 0;
    virtual void stopActivity(const QString& message) = 0;
    virtual pf::Window* window() const = 0;
};
