#pragma once

#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMDocumentWindowController.h"
#include "Classes/Document/GMPhotoFile.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/Document.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

class GMBlueprintCatalog;
class GMBrushPath;
class GMEffectBlueprint;
class QPrinter;

// One open photograph with its stack of effect layers.
//
// Its own type "GlimoraFairlit" is a package (GMDocumentPackage). Any other picture is edited "in place"
// with its editable state kept in a shadow copy: a package of the same form in the working area,
// registered under the picture's path. Autosaving a picture writes only its shadow copy; an explicit
// save writes the shadow copy first and then the composed picture into the file, in the file's own
// format, channels and depth (a JPEG with its own tables, with its metadata), every pixel no layer
// painted written back as the file stored it. The untouched original is kept as the file's own bytes.
// Opening a picture that has a shadow copy opens the shadow copy, asking first when the file was changed
// by someone else since.
class GMDocument : public pf::Document
{
public:
    GMDocument();
    ~GMDocument() override;

    // The window that edits documents, made for each document that is shown.
    using WindowControllerFactory = std::function<std::shared_ptr<GMDocumentWindowController>(GMDocument&)>;
    static void setWindowControllerFactory(WindowControllerFactory factory);
    // The catalog in which stored effects are found by name (the shared one by default).
    static void setBlueprintCatalog(GMBlueprintCatalog* catalog);
    static GMBlueprintCatalog& blueprintCatalog();

    bool readFromURL(const QString& path, const QString& type, QString* errorMessage) override;
    bool writeToURL(const QString& path, const QString& type, SaveOperation operation,
                    const QString& originalPath, QString* errorMessage) override;
    bool canAsynchronouslyWrite(const QString&, const QString&, SaveOperation) const override { return true; }
    QString autosavingFileType() const override;
    bool canSaveInPlace() const override;
    QString saveInPlaceRefusal() const override;
    QStringList writableTypesForSaveOperation(SaveOperation operation) const override;
    bool revertToContentsOfURL(const QString& path, const QString& type, QString* errorMessage) override;
    void makeWindowControllers() override;
    void printDocument() override;

    // Reads a package: the original, its preview and the layers (inserted once a window is there). A
    // large original is decoded in the background, as a large picture is.
    bool readOwnFileFormatFromURL(const QString& path, QString* errorMessage);
    // A new untitled document showing a picture (a sample): the picture becomes the original.
    bool readSampleImage(const QString& path, QString* errorMessage);

    // The window that edits this document; layers read before it exists are inserted once it is set.
    void setWindowController(std::shared_ptr<GMDocumentWindowController> controller);
    std::shared_ptr<GMDocumentWindowController> windowController() const { return m_windowController; }
    pf::Image originalImage() const { return m_originalImage; }
    // Layers read but not yet in the chain.
    int pendingLayerCount() const { return int(m_pendingLayers.size()); }
    // A large picture is decoded in the background: the window shows the busy panel at once, then a
    // reduced preview, then the photo. Until then the document has no original and cannot be saved.
    bool isOpening() const { return m_opening != nullptr; }
    // Pictures of at least this many pixels are opened in the background.
    static constexpr qint64 backgroundOpeningPixels = 4'000'000;

    // The mask of a layer of the older kind, painted again from its strokes over the original.
    std::shared_ptr<OVBrushPathImage>
    convertOldSettings(const GMBrushPath& strokes, const std::shared_ptr<GMEffectBlueprint>& blueprint) const;

    // Lays the picture out on the printer's page: landscape when wider than high, no margins, scaled
    // down (never up) to fit, centred.
    static void printImage(QPrinter& printer, const QImage& image);

    // The shadow copy's registry key for a picture: its path with symbolic links resolved.
    static QString shadowCopyKey(const QString& path);

    // What the plain photo file of this document is (invalid for a package or before reading).
    GMPhotoFile::Kind photoFileKind() const { return m_fileKind; }
    // The user default set once the note about saving over a photo has been shown.
    static const QString savedOverPhotoNoteKey;
    // Why nothing could be written at `path` (its folder, or the nearest one that exists, refuses new
    // files); empty when it can be. Cheap: checked before anything is composed.
    static QString unwritableReason(const QString& path);
    // Why the existing file at `path` may not be replaced (it is marked read-only); empty when it may.
    static QString readOnlyReason(const QString& path);
    // Settings read from a document, checked against the effect's: a number outside its range is
    // clamped, a value of the wrong type replaced by the default (each with a warning naming `layer`).
    static QVariantMap checkedSettings(const GMEffectBlueprint& blueprint, QVariantMap values,
                                       const QString& layer);

    // A package tells its changes by its "content", which every save writes anew (a file the user puts
    // into it is no change of the document).
    QDateTime modificationDateOfFile(const QString& path) const override;
    // An autosave writes a package in place; a photo's autosave keeps the changes in its shadow copy
    // and leaves the photo as it is.
    bool autosaveWritesFile() const override;

    // Crash recovery. A moment after each change of the layers, their settings and the stroke
    // history's current snapshot of each mask (which the working area's "cache" already holds) are
    // named in the document's record, written on a queue of its own once those snapshots are on disk,
    // with what identifies the picture they lie over (the photo file's size in bytes, time and a
    // digest of its bytes, or a digest of the original its package keeps). After a crash the record
    // puts those layers over the original that was read. A write that fails (a full disk) leaves the
    // record as it was, marked out of date, and the user is told once. A record is not used over a
    // picture the user chose to open without its kept edits, nor over a picture of another size than
    // its masks'; nor when it names folders outside the working area. Over another picture of the
    // same size (the file replaced since) the user is asked, as for kept edits. Recorded masks that do
    // not read are found before the user is told what came back.
    Recovery readRecoveryRecord(const QString& path) override;
    void removeRecoveryRecord() override;
    static constexpr double recoveryRecordDelay = 0.5; // seconds after a change
    // Waits until every record write asked for so far is done (tests and shutdown).
    static void waitForRecoveryRecords();
    // At the start after a crash, before "cache" is made fresh: the crashed session's stroke history
    // is put aside in the recovery folder, where the records find their snapshots.
    static void rescueCacheForRecovery();

    // Saves show the busy panel ("Saving", "Autosaving") while they run.
    void saveToURL(const QString& path, const QString& type, SaveOperation operation,
                   Completion completion) override;

private:
    struct MaskRead;
    struct PendingLayer
    {
        std::shared_ptr<GMEffectBlueprint> blueprint;
        QVariantMap values;
        QString maskFolder;
        std::shared_ptr<GMBrushPath> olderStrokes; // the mask of older settings, painted again
        std::shared_ptr<MaskRead> read;            // its mask, when already read (a recovery record's)
    };
    // A layer whose effect this version does not know: kept out of the chain, carried over by saves.
    struct ForeignLayer
    {
        size_t index = 0; // its place among the layers of the file
        QString name;
        QVariantMap values;
        QString folder; // its mask folder, kept in the working area; empty when it had none
    };
    // What reading a layer's mask folder gave.
    struct MaskRead
    {
        std::shared_ptr<OVBrushPathImage> mask;
        QString problem;        // why it could not be read; empty when it was
        QString kept;           // the unread folder, kept for later saves
        bool wrongSize = false; // the mask is not of its photo's size: the layer gets an empty one
    };
    // Reads a layer's mask folder for a photo of `photo`'s size (any thread); what could not be read
    // is kept aside as it is.
    static MaskRead readMask(const QString& folder, const pf::Size& photo);
    struct Snapshot;

    struct Opening;
    struct Decoded;

    // What identifies the picture the layers lie over, as it was read: the photo file itself (its size
    // in bytes, its modification time and a digest of its bytes), or the original a package keeps
    // (the document's own, or a photo's kept edits): that original's size and the digest of its bytes.
    struct Picture
    {
        bool fromFile = false;
        qint64 size = -1;
        QDateTime time;
        QByteArray digest;
        QVariantMap toMap() const;
        static Picture fromMap(const QVariantMap& map);
    };
    static QByteArray digestOf(const QByteArray& bytes);
    // Of the file's bytes as they are now; empty when it cannot be read.
    static QByteArray digestOfFile(const QString& path);
    // The picture as read, its digest worked out now when its background opening has not yet.
    Picture pictureAsRead();
    // Whether the record of the picture `recorded` may be laid over the picture read now; asks the user
    // when it is another one. `declined`: the user chose the file as it is; `reason`: why not, else.
    bool recordFitsPicture(const QVariantMap& recorded, bool* declined, QString* reason);
    // A photo whose file did not match its kept edits' registry entry: whether it holds what a save of
    // this application was writing into it when it was stopped (then the entry is brought up to date).
    static bool ownSaveCompleted(const QString& key, const QVariantMap& entry, const QString& path);

    void resetContents();
    // The layers of a package or record: into the chain later (`layers`), or kept out of it (`foreign`,
    // effects this version does not know, named in `unknown`). False with a message when one is damaged.
    static bool collectLayers(const std::vector<GMDocumentPackage::Layer>& read, bool olderSingleFile,
                              std::vector<PendingLayer>& layers, std::vector<ForeignLayer>& foreign,
                              QStringList& unknown, QString* errorMessage);
    void scheduleRecoveryRecord();
    void writeRecoveryRecord();
    // How a record write went: failed (`error`; `diskFull` when for want of space), which the user is
    // told once, or succeeded (an empty `error`), after which a new failure is told again.
    void noteRecoveryRecordWrite(const QString& error, bool diskFull);
    // The photo's size, upright: known from its header while it is decoded in the background.
    pf::Size photoSize() const;
    bool readPlainImage(const QString& path, QString* errorMessage);
    // `photo`: the picture whose shadow copy the package is, opened as it is in the file when the
    // copy cannot be read.
    bool readPackage(const QString& path, QString* errorMessage, const QString& photo);
    // Starts decoding the picture on a thread of its own (its header was read and is sound). A
    // package's original comes as its bytes (`jpeg`, `lossless`); a picture's is read from its file.
    void openInBackground(const std::shared_ptr<Opening>& opening, const QByteArray& jpeg,
                          const QByteArray& lossless);
    void openingPreviewArrived(const std::shared_ptr<Opening>& opening, const QImage& preview);
    void openingFinished(const std::shared_ptr<Opening>& opening, const Decoded& decoded);
    void insertPendingLayers();
    // Puts the pending layers into the chain once every mask folder in `reads` is decoded, looking again
    // a moment later until then; nothing when the document has gone or its pending layers changed.
    static void insertWhenRead(const std::weak_ptr<pf::Document>& weak,
                               const std::shared_ptr<GMDocumentWindowController>& controller,
                               const QString& loading, const QStringList& folders,
                               const std::shared_ptr<std::vector<std::future<MaskRead>>>& reads);
    std::shared_ptr<Snapshot> takeSnapshot(bool wantFullImage,
                                           pf::Bitmap::Format format = pf::Bitmap::Format::RGBA8);
    bool writePackage(Snapshot& snapshot, const QString& path, QString* errorMessage);
    QByteArray originalJPEG(const Snapshot& snapshot);
    QByteArray originalLossless(const Snapshot& snapshot);
    // Tells the user that the lossless original could not be read and what becomes of it.
    void reportDamagedOriginal(const QString& package);
    // Tells the user that the photo at `path` is held in less than its file holds (too large for its
    // exact copy), and what that means for saving.
    void tellReducedOriginal(const QString& path, const QString& reduction);
    // The kind of the original as it is kept (its own bytes), for a document without a photo file.
    GMPhotoFile::Kind keptOriginalKind();
    // Tells once, the first time a photo is saved over, what the file now holds and what is kept.
    void noteSavedOverPhoto(const QString& path);
    void recordFileState(const QString& key, const QString& filePath);

    pf::Image m_originalImage;
    pf::Bitmap m_originalBitmap;
    QImage m_loadPreview;
    std::vector<PendingLayer> m_pendingLayers;
    std::vector<ForeignLayer> m_foreignLayers;
    // What else the package held (the user's own files), by name, kept in the working area.
    std::vector<std::pair<QString, QString>> m_extras;
    std::shared_ptr<GMDocumentWindowController> m_windowController;
    std::shared_ptr<Opening> m_opening; // the picture being decoded, while it is
    std::mutex m_jpegMutex;             // the kept original's bytes are filled in on the save thread
    QByteArray m_originalJPEG;
    QByteArray m_originalLossless;
    bool m_originalIsJPEG = false; // decoded from JPEG bytes: those are the original, nothing is lost
    // The package's lossless original did not decode: m_originalLossless holds its bytes as they were,
    // carried by every save; the picture comes from the JPEG. Empty when it is sound.
    QString m_losslessProblem;
    QString m_losslessName; // the package's entry it was read from
    GMPhotoFile::Kind m_fileKind;
    // The user chose to open the photo as it is in its file, without the edits kept for it.
    bool m_keptEditsDeclined = false;
    // The user chose the kept edits of a photo changed since: the file's state they were kept over.
    bool m_keptEditsChosen = false;
    qint64 m_keptEditsFileSize = -1;
    QDateTime m_keptEditsFileTime;
    Picture m_picture;
    pf::ObserverToken m_chainObserver;
    bool m_recordScheduled = false;
    // A change came while the photo or its layers were still on their way in: recorded once they are.
    bool m_recordDeferred = false;
    bool m_recordRemoved = false;
    // The newest state waiting for the record queue: one write per document at a time takes whatever
    // is newest when it runs, so a slow disk never makes the record lag behind a backlog of old states.
    struct PendingRecord
    {
        std::mutex mutex;
        std::shared_ptr<Snapshot> newest;
        // The record is removed (the document closed): a write still queued has nothing to keep.
        std::atomic<bool> removed = false;
    };
    std::shared_ptr<PendingRecord> m_pendingRecord = std::make_shared<PendingRecord>();
};
