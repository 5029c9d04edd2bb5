#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/Bitmap.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The application's own document: a folder package ("name.glimora") holding
//   "image.jpg"                  the original photograph (its JPEG bytes, kept as they came; for an
//                                original of another kind a JPEG of it, which earlier versions read)
//   "original.<ext>"             an original that is neither JPEG nor PNG: the photo's own file, its
//                                bytes as they came ("original.tif", "original.webp"...)
//   "image.png"                  else an original that is no JPEG, without loss (a PNG's own bytes; for
//                                earlier versions' packages a PNG made of it). The one of these two
//                                that is there is read in preference to "image.jpg"
//   "preview.jpg"                the composed picture, fitted inside 1024 x 1024
//   "QuickLook/Preview.jpg"      a hard link to (else a copy of) "preview.jpg"
//   "QuickLook/Thumbnail.jpg"    the same
//   "layer_<i>"                  the mask folder of the layer at chain index i (1, 2, ...)
//   "content"                    a keyed archive: root "content" = one {"name", "values"} per layer
// A package is written whole into a fresh folder beside the target and then swapped in, so the target
// is always a complete package, old or new; a failure of any part leaves the old one untouched.
class GMDocumentPackage
{
public:
    static const QString extension; // "glimora"
    static const QString typeName;  // "GlimoraFairlit"

    struct Layer
    {
        QString name;       // the effect's photoToolName
        QVariantMap values; // its saved settings

        // Writing: the mask as it was when the save began. Its snapshot folder in the working area is
        // linked (or copied) when it is on disk; otherwise the container is encoded.
        std::shared_ptr<OVBrushPathImage> mask;
        QString snapshotName;
        OVContentContainerPtr container;
        pf::Size maskSize;
        // Writing: a folder carried over as it is instead of the mask (a mask that could not be read,
        // or the layer of an effect this version does not know).
        QString verbatimFolder;

        // Reading: the layer's mask folder inside the package (none in an older single file).
        QString maskFolder;
    };

    struct Contents
    {
        QByteArray originalJPEG; // the original's JPEG bytes
        // The original without loss: the photo's own bytes ("image.png" for a PNG, "original.<ext>" for
        // another kind) or a PNG of it; empty for a JPEG original.
        QByteArray originalLossless;
        // The entry it was read from (and is written back to, damaged or not); empty: by what it is.
        QString losslessName;
        // Reading: "image.png" is there but cannot be decoded (damaged, cut short, empty): its bytes stay
        // in originalLossless as they are, the picture comes from the JPEG, and `losslessProblem` says
        // why. Writing: "image.png" is written with those bytes as they are, even none.
        bool losslessDamaged = false;
        QString losslessProblem;
        pf::Bitmap original; // reading: the decoded original
        // Reading: why the original is held in less than it holds (too large for its exact copy); empty
        // when it is not.
        QString originalReduction;
        QSize originalSize; // reading: the original's size, upright
        pf::Bitmap preview; // writing: the composed preview (may be null: then none is written)
        QImage loadPreview; // reading: "QuickLook/Preview.jpg", when readable
        std::vector<Layer> layers;
        // Entries of the package this application does not write (a file the user put there, a layer
        // folder no layer names), by name: reading gives where they are in the package, writing where to
        // take them from. They are carried as they are; one whose name a save now writes itself is kept
        // beside it, under its name with ".kept" added.
        std::vector<std::pair<QString, QString>> extras;
        // Reading: a document of the older single-file form. Its layers have no mask folders (their
        // masks are painted again from the strokes in their settings), and its original when it is no
        // JPEG stands as the lossless one, of whatever kind.
        bool olderSingleFile = false;
    };

    // Writes the whole package to `path`. False with a message for the user when anything failed; the
    // folder at `path` is then as it was.
    static bool write(const Contents& contents, const QString& path, QString* errorMessage);

    // How reading treats the original: decoded at once, or only its header read and its bytes kept, for
    // the caller to decode with decodeOriginal where a large photo does not hold up the interface.
    enum class Original
    {
        Decoded,
        Checked
    };
    // Reads the archive and the original (masks stay on disk: each layer names its folder), from a
    // package or from a single file of the older form. Damaged, mistyped or foreign contents, and an
    // older file without a picture that decodes, give nothing and a message.
    static std::optional<Contents> read(const QString& path, QString* errorMessage,
                                        Original original = Original::Decoded);
    // Decodes the original of contents read with Original::Checked, on any thread: the lossless one,
    // else (marked damaged, with a warning) the JPEG. False with a message when neither decodes; `path`
    // names the package in the warning.
    static bool decodeOriginal(Contents& contents, const QString& path, QString* errorMessage);
    // The same checks on an archive's bytes alone (the fuzzer's entry).
    static std::optional<std::vector<Layer>> readArchive(const QByteArray& data, QString* errorMessage);
    // Whether the settings are of the older kind, whose masks are stored as strokes.
    static bool hasOlderBrushSettings(const QVariantMap& values);

    // Removes what interrupted saves of the package at `path` left beside it (its hidden ".saving-"
    // folders, unless a running save holds one), and puts a package back that a save killed between
    // its renames left aside. Done by every write and read.
    static void clearLeftovers(const QString& path);
    // Links (or copies) a folder of a package into a new folder of the working area's "cache", where it
    // outlives the package's replacement by a save; its path, or empty with a message. A mask folder that
    // is a link to one elsewhere gets a copy of the mask's own files found there.
    static QString keepFolder(const QString& folder, QString* errorMessage);
    // The same for any entry of a package, file or folder, kept under its own name; never a link.
    static QString keepEntry(const QString& path, QString* errorMessage);

    // The one queue on which the masks of every document are written, one after another.
    static pf::SerialQueue& documentQueue();
    // The entry a lossless original is kept under: "image.png" for a PNG, "original.<ext>" otherwise.
    static QString losslessEntryName(const QByteArray& original);
    // Registers the archived form of colours in settings ("GMColor": red, green, blue, alpha).
    static void registerArchiveClasses();

    // Tests: called before each step ("folder", "image", "preview", "mask", "content", "swap"); false
    // makes that step fail.
    static void setFaultInjectionForTesting(std::function<bool(const QString& step)> allow);
};
