#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace pf {
class UndoManager;
}

class OVBrushPathImage;

// Told after every change of a layer's current mask.
class OVBrushPathImageDelegate
{
public:
    virtual ~OVBrushPathImageDelegate() = default;
    virtual void brushPathImageDidChange(OVBrushPathImage* image) = 0;
};

// One layer's painted mask with its stroke history. Only the current snapshot stays in memory; every
// snapshot is also written, in the background, to a folder of its own under the working area's
// "cache" folder, and undo and redo move along that stack of folders ("Draw Segment"). A snapshot is
// kept in memory until its folder is written, so undo never shows a mask that failed to reach disk.
// Used on the main thread; the writes run on a process-wide operation queue.
class OVBrushPathImage
{
public:
    explicit OVBrushPathImage(const pf::Size& size);
    OVBrushPathImage(const pf::Size& size, OVContentContainerPtr container);
    // Reads a mask folder ("content" with "width" and "height", and the container sub-folders). Without
    // a readable "content" the size is the mask image's pixel size.
    static std::unique_ptr<OVBrushPathImage> readFromFolder(const QString& folder);
    ~OVBrushPathImage();
    OVBrushPathImage(const OVBrushPathImage&) = delete;
    OVBrushPathImage& operator=(const OVBrushPathImage&) = delete;

    pf::Size size() const { return m_size; }
    OVContentContainerPtr contentContainer() const { return m_current; }
    QStringList segmentImageNames() const { return m_names; }

    // The part of the current mask that a render channel shows, at its pixel size.
    OVContentContainerPtr contentContainerForRect(const pf::Rect& rect, const pf::Size& size) const;
    void addContentContainer(OVContentContainerPtr container);
    // Pushes the result of a stroke over `rect` (normalised to the mask), composited onto the current
    // mask and additional picture. Where the layer has no picture yet, or only one smaller than the
    // mask (the 1 x 1 placeholder), the stroke lands on a transparent picture of the mask's size; a
    // stroke without a mask or additional picture of its own keeps the layer's.
    void addContentContainerWithRect(const OVContentContainerPtr& stroke, const pf::Rect& rect);
    void removeLastContentContainer();
    void addContentContainerWithURL(const QString& folder);

    // Writes the mask folder synchronously: "content" ({"width", "height"} as 32-bit floats), then the
    // current snapshot. False, with a message, when anything could not be written.
    bool writeToURL(const QString& folder, QString* errorMessage = nullptr) const;

    // A fresh snapshot folder name's full path (nothing of that name exists in "cache").
    static QString folderURL();
    static QString urlForFileName(const QString& name);
    // The folder snapshots are written to (the working area's "cache").
    static QString cacheFolder();
    // Waits for every pending snapshot write (tests and shutdown).
    static void waitForPendingWrites();

    void setDelegate(OVBrushPathImageDelegate* delegate) { m_delegate = delegate; }
    OVBrushPathImageDelegate* delegate() const { return m_delegate; }
    void setUndoManager(std::shared_ptr<pf::UndoManager> undoManager);
    std::shared_ptr<pf::UndoManager> undoManager() const { return m_undoManager; }

private:
    // What became of one snapshot's folder.
    struct Snapshot
    {
        OVContentContainerPtr container; // dropped once written
        bool pending = true;
        bool failed = false;
    };
    struct Writes
    {
        std::mutex mutex;
        std::condition_variable done;
        QHash<QString, Snapshot> snapshots;
    };

    void push(OVContentContainerPtr container);
    // The snapshot of that folder: read back once its write is done, or kept from memory.
    OVContentContainerPtr snapshotFromFolder(const QString& name);

    pf::Size m_size;
    QStringList m_names;
    OVContentContainerPtr m_current;
    OVBrushPathImageDelegate* m_delegate = nullptr;
    std::shared_ptr<pf::UndoManager> m_undoManager;
    std::shared_ptr<Writes> m_writes = std::make_shared<Writes>();
};
