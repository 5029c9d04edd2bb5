#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace pf {
class CpuRendering;
}
#include <vector>

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

// One layer's painted mask with its stroke history. The current snapshot stays in memory; every
// snapshot is also written, in the background, to a folder of its own under the working area's
// "cache" folder, and undo and redo move along that stack of folders ("Draw Segment"). Pixels that
// undo or redo may need are kept in memory while their folder cannot be trusted: a snapshot until its
// folder is written, and always the one an undo shows next and the one a redo brings back. A folder
// that cannot be read is logged as an error and never shown as an empty mask.
// Used on the main thread; the writes run on a process-wide operation queue, and the current snapshot
// may be read (contentContainer(), writeToURL()) from any thread.
class OVBrushPathImage
{
public:
    explicit OVBrushPathImage(const pf::Size& size);
    OVBrushPathImage(const pf::Size& size, OVContentContainerPtr container);
    // Reads a mask folder ("content" with "width" and "height", and the container sub-folders). Without
    // a readable "content" the size is the mask image's pixel size. A folder that exists but cannot be
    // read is logged as an error and described in `problem`, as is a mask picture whose size is not the
    // mask's: what could be read is then held, and the folder must not be taken for it.
    static std::unique_ptr<OVBrushPathImage> readFromFolder(const QString& folder,
                                                            QString* problem = nullptr);
    ~OVBrushPathImage();
    OVBrushPathImage(const OVBrushPathImage&) = delete;
    OVBrushPathImage& operator=(const OVBrushPathImage&) = delete;

    pf::Size size() const { return m_size; }
    OVContentContainerPtr contentContainer() const;
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
    // current snapshot. False, with a message, when anything could not be written; a picture that
    // cannot be rendered leaves the folder's earlier pictures in place. Safe while strokes are pushed.
    bool writeToURL(const QString& folder, QString* errorMessage = nullptr) const;

    // Waits for the background write of this mask's snapshot folder `name` (one of
    // segmentImageNames()); true once it is complete on disk, false when it failed or is not this
    // mask's. Its files never change afterwards, so a document can link them instead of encoding the
    // mask again. Any thread.
    bool waitForSnapshotFolder(const QString& name) const;
    // Waits until the stroke of snapshot folder `name` is made pixels by its background write (a healing
    // fill computed at full size), or that write is over; the folder's files may still be being encoded.
    // A picture of the mask made after this reads those pixels instead of rendering the stroke again
    // beside the write. Returns at once for a name that is not this mask's. Any thread but the writes'.
    void waitForSnapshotPixels(const QString& name) const;
    // Whether the background write of snapshot folder `name` has yet to finish (false for a name that
    // is not this mask's). Any thread; never waits.
    bool isSnapshotFolderPending(const QString& name) const;
    // Runs before every snapshot write, on the writing thread: lets a test hold writes open. Empty: none.
    static void setWriteGateForTesting(std::function<void()> gate);

    // A mask whose folder could not be read keeps that folder (`folder`, a copy of it) for its current
    // snapshot: unreadFolder() names it while that snapshot is still the current one, so a save can
    // carry it over unchanged until a stroke (or a redo of one) replaces it. Main thread.
    void keepUnreadFolder(const QString& folder);
    QString unreadFolder() const;

    // A fresh snapshot folder name's full path (nothing of that name exists in "cache").
    static QString folderURL();
    static QString urlForFileName(const QString& name);
    // The folder snapshots are written to (the working area's "cache").
    static QString cacheFolder();
    // Waits for every pending snapshot write (tests and shutdown).
    static void waitForPendingWrites();
    // Every snapshot write queued so far and not begun is skipped when its turn comes: its folder is
    // never made, and waitForSnapshotFolder() answers false, so that whoever still needs it writes the
    // pixels from memory. Returns once the writes already begun are done. For the way out, once
    // everything the user keeps is written and the snapshots' folder is about to go. Any thread but the
    // writes' own.
    static void abandonPendingWrites();
    // Once per process: renders the picture `sample` makes (a small one, made the way a colour
    // stroke's is) in the background on the context that makes stroke pictures, so that its programs
    // exist when the first such stroke is stored instead of being built while the user waits for it.
    // Main thread; `sample` runs there the first time only.
    static void prepareForColourStrokes(const std::function<pf::Image()>& sample);

    // Whether the snapshot an undo shows next is held in memory: only by the mask painted (or undone)
    // last in the process; every other mask's is read back from its folder when an undo reaches it, so
    // that painting many layers of a large photo holds two snapshots of one of them, not of all.
    bool keepsPreviousSnapshot() const { return m_previous != nullptr; }

    void setDelegate(OVBrushPathImageDelegate* delegate) { m_delegate = delegate; }
    OVBrushPathImageDelegate* delegate() const { return m_delegate; }
    // The actions already registered stay with their manager (it may be set to none and back around
    // bulk loading); they go only when this mask is destroyed.
    void setUndoManager(std::shared_ptr<pf::UndoManager> undoManager);
    std::shared_ptr<pf::UndoManager> undoManager() const { return m_undoManager; }

private:
    // What became of one snapshot's folder.
    struct Snapshot
    {
        OVContentContainerPtr container; // dropped once written
        bool pending = true;
        bool failed = false;
        bool settled = false; // its stroke made pixels (or its write over)
    };
    struct Writes
    {
        std::mutex mutex;
        std::condition_variable done;
        QHash<QString, Snapshot> snapshots;
    };

    // How a stroke was composited onto the mask below it, so that its snapshot write can composite it
    // again onto that mask's pixels.
    struct Placement
    {
        OVContentContainerPtr stroke;
        OVContentContainerPtr base;
        pf::Rect rect;
        pf::Size size;
        // The stroke's colour picture, computed once (see withFillOnce); none for a mask stroke.
        std::shared_ptr<const pf::CpuRendering> fill;
        void settle(const OVContentContainer& placed) const;
    };

    void push(OVContentContainerPtr container, std::shared_ptr<const Placement> placement);
    // Tells the delegate and registers the undo of the snapshot just pushed.
    void announce();
    void setCurrent(OVContentContainerPtr container);
    // The snapshot of that folder: from memory while its write is pending or failed, else read back.
    // Null, with the reason, when the folder cannot be read.
    OVContentContainerPtr snapshotFromFolder(const QString& name, QString* problem);
    // The snapshot an undo would show next, read now (a problem is logged).
    void loadPrevious();
    // Makes this the mask that keeps its previous snapshot in memory; the one that did lets it go.
    void becomeLastPainted();

    pf::Size m_size;
    QStringList m_names;
    mutable std::mutex m_currentMutex; // guards m_current: a save reads it on the document queue
    OVContentContainerPtr m_current;
    OVContentContainerPtr m_previous; // the snapshot of the name below the last, or null
    QString m_poppedName;             // the last snapshot undone, and its pixels, for its redo
    OVContentContainerPtr m_popped;
    OVBrushPathImageDelegate* m_delegate = nullptr;
    std::shared_ptr<pf::UndoManager> m_undoManager;
    std::vector<std::weak_ptr<pf::UndoManager>> m_registeredWith; // every manager that got an action
    std::shared_ptr<Writes> m_writes = std::make_shared<Writes>();
    QString m_unreadFolder;
    QString m_unreadSnapshot; // the snapshot name the unread folder stands for
};
