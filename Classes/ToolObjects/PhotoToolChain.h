#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVRenderInfoGenerator.h"
#include "Classes/ToolObjects/OVRenderSource.h"
#include "Classes/ToolObjects/PhotoTool.h"
#include "Classes/ToolObjects/PhotoToolChainDelegate.h"
#include "Platform/Image/Image.h"

#include <QString>
#include <memory>
#include <mutex>
#include <vector>

namespace pf {
class UndoManager;
}
class OVOriginalPyramid;
class PhotoToolChainState;

// The editable model of one opened photo: a stack of photo tools over the untouched original (index
// 0, never removed), the selected layer, and one painted mask per layer with its history. Every edit
// registers its undo, posts "OVRCContentDidChange" ("OVRCChangeIndex", "OVRCAction": 0 changed,
// 1 removed, 2 inserted, 3 all removed; and "OVRCVersion", the version of the state it leads to) and
// tells the delegate. Render caches read it through immutable, versioned states (renderSource()), so a
// fill on a background queue never sees a half-made change. Mutations run on the main thread.
class PhotoToolChain : public OVBrushPathImageDelegate, public OVRenderCacheDelegate
{
public:
    // The photo with what is worked out from its pixels once: its reduced copies and its faces.
    struct Original
    {
        pf::Image image;
        std::shared_ptr<const OVOriginalPyramid> pyramid;
        std::shared_ptr<OVRenderInfoGenerator> renderInfoGenerator;
    };
    // Works that out on the calling thread, any thread (a photo being opened: the one that decoded it).
    // With `warm`, the copies the window's first pictures are made from (the tiles, the fitted photo)
    // are made too, so that nothing of a large photo's size is computed on the main thread.
    static Original prepareOriginal(const pf::Image& image, bool warm = false);

    explicit PhotoToolChain(const pf::Image& image);
    explicit PhotoToolChain(const Original& original);
    ~PhotoToolChain() override;
    PhotoToolChain(const PhotoToolChain&) = delete;
    PhotoToolChain& operator=(const PhotoToolChain&) = delete;

    int numberOfTools() const { return static_cast<int>(m_tools.size()); }
    PhotoToolPtr photoToolAtIndex(int index) const;
    std::shared_ptr<OVBrushPathImage> brushPathImageAtIndex(int index) const;
    PhotoToolPtr selectedPhotoTool() const { return photoToolAtIndex(m_selection); }
    std::shared_ptr<OVBrushPathImage> selectedBrushPathImage() const
    {
        return brushPathImageAtIndex(m_selection);
    }
    int indexForTool(const PhotoTool* tool) const;
    int indexForBrushPathImage(const OVBrushPathImage* image) const;

    int selectionIndex() const { return m_selection; }
    void setSelectionIndex(int index);

    void insertPhotoToolWithBlueprint(std::shared_ptr<GMEffectBlueprint> blueprint,
                                      const std::optional<QVariantMap>& settings, int index);
    void insertPhotoToolWithBlueprint(std::shared_ptr<GMEffectBlueprint> blueprint,
                                      const std::optional<QVariantMap>& settings,
                                      std::shared_ptr<OVBrushPathImage> brushPathImage, int index);
    // Element k lands at index + k; a settings element that is not a dictionary means the defaults.
    void insertPhotoToolsWithBlueprints(const std::vector<std::shared_ptr<GMEffectBlueprint>>& blueprints,
                                        const QVariantList& settings,
                                        const std::vector<std::shared_ptr<OVBrushPathImage>>& brushPathImages,
                                        int index);
    void removePhotoToolAtIndex(int index);
    void removeAllPhotoTools();
    void setSettingsForToolAtIndex(const QVariantMap& settings, int index,
                                   const QString& undoName = QString());
    void replaceBrushPathImage(std::shared_ptr<OVBrushPathImage> image, int index);
    // Prepares the selected layer's additional image before a stroke (face width / image width).
    void prepareSelectedWithFaceWidth(double faceWidth);

    // Hands the manager to every mask too. Actions registered with an earlier manager stay there (it
    // may be set to none and back around bulk loading); they go only when the chain is destroyed.
    void setUndoManager(std::shared_ptr<pf::UndoManager> undoManager);
    std::shared_ptr<pf::UndoManager> undoManager() const { return m_undoManager; }
    QString undoDenomination() const { return m_undoDenomination; }
    void setUndoDenomination(const QString& word) { m_undoDenomination = word; }
    void setDelegate(PhotoToolChainDelegate* delegate) { m_delegate = delegate; }
    PhotoToolChainDelegate* delegate() const { return m_delegate; }

    pf::Image originalImage() const { return m_original; }
    // The original and its reduced copies: pictures smaller than the photo are made from those.
    const std::shared_ptr<const OVOriginalPyramid>& originalPyramid() const { return m_pyramid; }
    // Faces of the original, found once when the chain is made.
    std::shared_ptr<OVRenderInfoGenerator> renderInfoGenerator() const { return m_renderInfoGenerator; }
    pf::Size originalImageSize() const { return m_originalSize; }

    void brushPathImageDidChange(OVBrushPathImage* image) override;
    std::shared_ptr<const OVRenderSource> renderSource() const override;
    quint64 version() const;

private:
    void publish(int index, int action);
    void insertAt(int position, PhotoToolPtr tool, std::shared_ptr<OVBrushPathImage> mask);

    pf::Image m_original;
    std::shared_ptr<const OVOriginalPyramid> m_pyramid;
    pf::Size m_originalSize;
    std::shared_ptr<OVRenderInfoGenerator> m_renderInfoGenerator;
    std::vector<PhotoToolPtr> m_tools;
    std::vector<std::shared_ptr<OVBrushPathImage>> m_masks; // index 0: none
    int m_selection = 0;
    PhotoToolChainDelegate* m_delegate = nullptr;
    std::shared_ptr<pf::UndoManager> m_undoManager;
    std::vector<std::weak_ptr<pf::UndoManager>> m_registeredWith; // every manager that may hold our actions
    QString m_undoDenomination;

    mutable std::mutex m_stateMutex;
    std::shared_ptr<const PhotoToolChainState> m_state;
    quint64 m_version = 0;
};
