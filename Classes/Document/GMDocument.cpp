#include "Classes/Document/GMDocument.h"

#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Document/GMDocumentArchive.h"
#include "Classes/Document/GMPaintedRegion.h"
#include "Classes/Document/GMPreferencesWindowController.h"
#include "Classes/Document/GMSavedPicture.h"
#include "Classes/Framework/OVImageWriter.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMConverter.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "Classes/ToolObjects/OVBrushSegment.h"
#include "Classes/ToolObjects/OVRenderInfoGenerator.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/FileRead.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Window.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScopeGuard>
#include <QTransform>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

const QString fileSizeKey = QStringLiteral("file_size");
const QString fileTimeKey = QStringLiteral("file_modification_time");
// What tells the file's bytes apart when another picture of the same size is put there with the same time.
const QString fileDigestKey = QStringLiteral("file_digest");
// Set while the shadow copy holds changes the picture file does not (kept by an autosave, not saved into
// the file): the picture opens marked edited, as it does after a restart.
const QString editsNotInFileKey = QStringLiteral("edits_not_in_file");
// Set just before a save replaces the photo file with new bytes (their size and digest), cleared once
// the entry holds the file's new state: a file found so at the next start holds this application's own
// save, not another program's change.
const QString savingSizeKey = QStringLiteral("saving_file_size");
const QString savingDigestKey = QStringLiteral("saving_file_digest");
constexpr double originalJPEGQuality = 0.95;

GMDocument::WindowControllerFactory& windowControllerFactory()
{
    static GMDocument::WindowControllerFactory factory;
    return factory;
}

GMBlueprintCatalog*& catalogOverride()
{
    static GMBlueprintCatalog* catalog = nullptr;
    return catalog;
}

bool isAutosave(pf::Document::SaveOperation operation)
{
    return operation == pf::Document::SaveOperation::Autosave ||
           operation == pf::Document::SaveOperation::AutosaveElsewhere;
}

bool fail(QString* errorMessage, const QString& message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

// The photo file's own bytes, kept as the original as they came: its pixels, its colours and all it
// tells besides, for every later session's saves to write back exactly. Only bytes that tell their kind
// by themselves (not by a file name, as an older TGA does) can be read again from the package.
QByteArray fileBytesIfKept(const QString& path, const QByteArray& format)
{
    if (format.isEmpty())
        return {};
    QByteArray bytes = pf::FileRead::bytes(path).value_or(QByteArray());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&buffer).isEmpty() ? QByteArray() : bytes;
}

// Where the layers' masks are read to find where they painted.
pf::RenderContext& regionContext()
{
    static auto* context = new pf::RenderContext(QStringLiteral("painted region"));
    return *context;
}

} // namespace

// What a save writes, taken from the model while the interface waits.
struct GMDocument::Snapshot
{
    GMDocumentPackage::Contents contents;
    pf::Bitmap original;
    GMRenderForSaving preview;
    GMPictureForSaving image;
    QDateTime taken;     // a recovery record's: when the state it holds was taken
    QVariantMap picture; // a recovery record's: what identifies the picture its layers lie over
    // The layers' masks as the picture is composed from them: where they painted.
    std::vector<pf::Image> masks;
};

QVariantMap GMDocument::Picture::toMap() const
{
    QVariantMap map{{QStringLiteral("from_file"), fromFile},
                    {QStringLiteral("size"), size},
                    {QStringLiteral("digest"), digest}};
    if (time.isValid())
        map.insert(QStringLiteral("time"), time);
    return map;
}

GMDocument::Picture GMDocument::Picture::fromMap(const QVariantMap& map)
{
    Picture picture;
    picture.fromFile = map.value(QStringLiteral("from_file")).toBool();
    picture.size = map.value(QStringLiteral("size"), -1).toLongLong();
    picture.time = map.value(QStringLiteral("time")).toDateTime();
    picture.digest = map.value(QStringLiteral("digest")).toByteArray();
    return picture;
}

QByteArray GMDocument::digestOf(const QByteArray& bytes)
{
    // Tells pictures apart, against accidents rather than adversaries: the fastest digest at hand.
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

QByteArray GMDocument::digestOfFile(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

const QString GMDocument::savedOverPhotoNoteKey = QStringLiteral("SavedOverPhotoNoteShown");

GMDocument::GMDocument() = default;
GMDocument::~GMDocument() = default;

void GMDocument::setWindowControllerFactory(WindowControllerFactory factory)
{
    windowControllerFactory() = std::move(factory);
}

void GMDocument::setBlueprintCatalog(GMBlueprintCatalog* catalog)
{
    catalogOverride() = catalog;
}

GMBlueprintCatalog& GMDocument::blueprintCatalog()
{
    return catalogOverride() ? *catalogOverride() : GMBlueprintCatalog::sharedInstance();
}

QString GMDocument::shadowCopyKey(const QString& path)
{
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    if (!resolved.isEmpty())
        return resolved;
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    return parent.isEmpty() ? info.absoluteFilePath() : parent + u'/' + info.fileName();
}

QString GMDocument::autosavingFileType() const
{
    return fileURL().isEmpty() ? GMDocumentPackage::typeName : fileType();
}

bool GMDocument::canSaveInPlace() const
{
    return fileType() == GMDocumentPackage::typeName || OVImageWriter::writesUnderTheSameName(fileURL());
}

QString GMDocument::saveInPlaceRefusal() const
{
    if (fileType() == GMDocumentPackage::typeName || fileURL().isEmpty())
        return {};
    if (!m_fileKind.refusal.isEmpty())
        return m_fileKind.refusal;
    return readOnlyReason(fileURL());
}

QStringList GMDocument::writableTypesForSaveOperation(SaveOperation operation) const
{
    QStringList types{GMDocumentPackage::typeName, QStringLiteral("jpeg"), QStringLiteral("png")};
    // A photo of another kind is offered its own, where it can be written.
    if (!types.contains(fileType()) && QImageWriter::supportedImageFormats().contains(fileType().toLatin1()))
        types.append(fileType());
    // And every other kind of photo file saving writes as the photo's file holds it, so that a name
    // typed with its extension is written as that kind, never refused as one that cannot be.
    for (const QString& kind : {QStringLiteral("tiff"), QStringLiteral("webp"), QStringLiteral("bmp")})
        if (!types.contains(kind) && QImageWriter::supportedImageFormats().contains(kind.toLatin1()) &&
            documentController() && documentController()->typeNamed(kind))
            types.append(kind);
    // What is proposed first: the document's own kind; an export (a picture to hand on) proposes the
    // photo's kind even for a document package or an untitled document, the kind its original was.
    QString first = fileType();
    // (The kind is set on the main thread, where this is asked.)
    if (operation == SaveOperation::SaveTo && (first.isEmpty() || first == GMDocumentPackage::typeName))
        first = m_originalIsJPEG ? QStringLiteral("jpeg") : QStringLiteral("png");
    if (types.contains(first)) {
        types.removeAll(first);
        types.prepend(first);
    }
    return types;
}

GMPhotoFile::Kind GMDocument::keptOriginalKind()
{
    std::lock_guard lock(m_jpegMutex);
    const QByteArray& kept = m_originalIsJPEG ? m_originalJPEG : m_originalLossless;
    return kept.isEmpty() || !m_losslessProblem.isEmpty() ? GMPhotoFile::Kind()
                                                          : GMPhotoFile::inspectData(kept);
}

void GMDocument::resetContents()
{
    m_originalImage = pf::Image();
    m_originalBitmap = pf::Bitmap();
    m_loadPreview = QImage();
    m_pendingLayers.clear();
    m_foreignLayers.clear();
    m_extras.clear();
    m_opening.reset();
    m_picture = {};
    std::lock_guard lock(m_jpegMutex);
    m_originalJPEG.clear();
    m_originalLossless.clear();
    m_originalIsJPEG = false;
    m_losslessProblem.clear();
    m_losslessName.clear();
}

QVariantMap GMDocument::checkedSettings(const GMEffectBlueprint& blueprint, QVariantMap values,
                                        const QString& layer)
{
    const QVariantMap described = blueprint.blueprint().value(QStringLiteral("settings")).toMap();
    // A setting takes a finite number; a boolean is not one here.
    const auto isNumber = [](const QVariant& value) {
        return value.metaType().id() != QMetaType::Bool && GMConverter::isNumber(value) &&
               std::isfinite(value.toDouble());
    };
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString kind =
            described.value(it.key()).toMap().value(QStringLiteral("CIAttributeClass")).toString();
        bool wrongType = false;
        if (kind == QLatin1String("NSNumber")) {
            // Number settings are the intensity knob's, from 0 to 1.
            if (!isNumber(*it)) {
                wrongType = true;
            } else if (const double value = it->toDouble(); value < 0 || value > 1) {
                *it = std::clamp(value, 0.0, 1.0);
                pf::warning(QStringLiteral("The setting \"%1\" of the layer \"%2\" was %3; it is taken as %4")
                                .arg(it.key(), layer)
                                .arg(value)
                                .arg(it->toDouble()));
            }
        } else if (kind == QLatin1String("CIColor")) {
            wrongType = it->metaType() != QMetaType::fromType<pf::Color>();
        } else if (kind == QLatin1String("Brush")) {
            wrongType = it->metaType().id() != QMetaType::QVariantMap;
        }
        if (wrongType) {
            pf::warning(
                QStringLiteral("The setting \"%1\" of the layer \"%2\" holds a %3; its default is taken")
                    .arg(it.key(), layer, QString::fromLatin1(it->typeName())));
            *it = blueprint.defaultValueForInputKey(it.key());
        }
    }
    return values;
}

bool GMDocument::ownSaveCompleted(const QString& key, const QVariantMap& entry, const QString& path)
{
    if (!entry.contains(savingSizeKey) || !entry.contains(savingDigestKey) ||
        entry.value(savingSizeKey).toLongLong() != QFileInfo(path).size() ||
        entry.value(savingDigestKey).toByteArray() != digestOfFile(path))
        return false;
    // The save had written the kept edits first, then the file, and was stopped before noting it.
    const QFileInfo file(path);
    GMFileUtilities::setShadowCopyValues(key, {{fileSizeKey, file.size()},
                                               {fileTimeKey, file.lastModified().toUTC()},
                                               {fileDigestKey, entry.value(savingDigestKey)},
                                               {editsNotInFileKey, false},
                                               {savingSizeKey, QVariant()},
                                               {savingDigestKey, QVariant()}});
    pf::log(
        QStringLiteral("\"%1\" holds what the last save wrote into it; its kept edits go with it").arg(path));
    return true;
}

bool GMDocument::readFromURL(const QString& path, const QString& type, QString* errorMessage)
{
    m_keptEditsDeclined = false;
    m_keptEditsChosen = false;
    m_keptEditsFileSize = -1;
    m_keptEditsFileTime = {};
    if (type == GMDocumentPackage::typeName) {
        m_fileKind = {};
        return readOwnFileFormatFromURL(path, errorMessage);
    }
    // What the file is now decides how a save over it is written.
    m_fileKind = GMPhotoFile::inspect(path);

    // A picture: its shadow copy holds the original and the layers when it has one. Entries were once
    // registered under the path as given, so both forms are looked up.
    const QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    const QString key = shadowCopyKey(path);
    QString registered = registry.contains(key) ? key : QString();
    if (registered.isEmpty() && registry.contains(QFileInfo(path).absoluteFilePath()))
        registered = QFileInfo(path).absoluteFilePath();
    if (registered.isEmpty())
        return readPlainImage(path, errorMessage);

    QVariantMap entry = registry.value(registered).toMap();
    const QString filename = entry.value(QStringLiteral("filename")).toString();
    const QString folder = GMFileUtilities::applicationSupportDirectory() + u'/' + filename;
    if (GMFileUtilities::isShadowCopyFilename(filename))
        GMDocumentPackage::clearLeftovers(folder); // a kill may have left the copy aside mid-save
    if (!GMFileUtilities::isShadowCopyFilename(filename) ||
        !QFileInfo(folder + QStringLiteral("/content")).exists()) {
        pf::warning(
            QStringLiteral("The edits kept for \"%1\" are missing; the picture opens as it is in the file")
                .arg(path));
        return readPlainImage(path, errorMessage);
    }

    // Someone else changed the file since its edits were kept: the person decides which to open. A
    // save of this application stopped right after it replaced the file is no one else's change.
    const QFileInfo file(path);
    bool changedSince = entry.contains(fileSizeKey) && entry.contains(fileTimeKey) &&
                        (entry.value(fileSizeKey).toLongLong() != file.size() ||
                         entry.value(fileTimeKey).toDateTime().toMSecsSinceEpoch() !=
                             file.lastModified().toMSecsSinceEpoch());
    // Another picture of the same size put there with the same time (copied keeping its time, a card
    // holding another photo of that name) is told by its bytes.
    if (!changedSince && !entry.value(fileDigestKey).toByteArray().isEmpty() &&
        entry.value(fileDigestKey).toByteArray() != digestOfFile(path))
        changedSince = true;
    if (changedSince && ownSaveCompleted(registered, entry, path)) {
        changedSince = false;
        entry.insert(editsNotInFileKey, false); // the file holds them now
    }
    if (changedSince) {
        m_keptEditsFileSize = entry.value(fileSizeKey).toLongLong();
        m_keptEditsFileTime = entry.value(fileTimeKey).toDateTime();
        pf::Alert alert;
        alert.messageText = QStringLiteral("“%1” was changed by another program.").arg(file.fileName());
        alert.informativeText = QStringLiteral(
            "Your edits of this picture were kept from before that change. Open the picture with "
            "your kept edits (as it was then), or the file as it is now, without them?");
        alert.addButton(QStringLiteral("Open Kept Edits"));
        alert.addButton(QStringLiteral("Open the File as It Is"));
        // Escape (Cancel) opens nothing and leaves the file and the kept edits as they are.
        alert.addButton(QStringLiteral("Cancel"), pf::Alert::Role::Cancel);
        const int answer = alert.runModal();
        if (answer == pf::Alert::firstButtonReturn + 2) {
            if (errorMessage)
                *errorMessage = pf::DocumentController::cancelledByUser;
            return false;
        }
        if (answer != pf::Alert::firstButtonReturn) {
            m_keptEditsDeclined = true;
            return readPlainImage(path, errorMessage);
        }
        m_keptEditsChosen = true;
    }

    QString error;
    if (readPackage(folder, &error, path)) {
        if (entry.value(editsNotInFileKey).toBool())
            updateChangeCount(Change::Done);
        return true;
    }
    // A damaged shadow copy must not keep the picture from opening.
    pf::warning(QStringLiteral(
                    "The edits kept for \"%1\" cannot be read (%2); the picture opens as it is in the file")
                    .arg(path, error));
    if (!readPlainImage(path, errorMessage))
        return false;
    if (documentController())
        documentController()->presentError(
            QStringLiteral("The edits kept for “%1” could not be read.").arg(file.fileName()),
            error + QStringLiteral("\n\nThe picture opens as it is in the file."));
    return true;
}

// A picture being decoded in the background. Its thread holds this, never the document.
struct GMDocument::Opening
{
    QString path; // the picture's file, or the package whose original it is
    bool package = false;
    QString photo; // a shadow copy's picture, opened as it is when the copy's original does not decode
    QString losslessProblem; // why the package's lossless original did not read; empty when it did
    pf::Size size;           // the photo's size, upright
    QImage preview;          // the reduced picture, once decoded (a package's own preview from the start)
};

// What the decoding thread hands over: only finished objects.
struct GMDocument::Decoded
{
    pf::Bitmap bitmap;
    PhotoToolChain::Original original;
    QString error;
    QByteArray jpeg;     // the original's JPEG bytes, when it has them
    QByteArray lossless; // the bytes kept without loss for an original that is no JPEG
    bool isJPEG = false;
    QString losslessProblem; // the lossless original is damaged: `lossless` holds its bytes as they are
    QByteArray digest;       // of the picture file's bytes, or of the package's kept original
    QString reduction;       // why the photo is held in less than its file holds; empty when it is not
};

namespace {

// The largest reduction the JPEG decoder makes by itself (1/2, 1/4, 1/8) that still leaves a picture at
// least a screen wide: decoded in a fraction of the time of the whole.
QSize reducedSize(const QSize& size)
{
    int factor = 1;
    while (factor < 8 && std::max(size.width(), size.height()) / (factor * 2) >= 1024)
        factor *= 2;
    return QSize(std::max(1, size.width() / factor), std::max(1, size.height() / factor));
}

bool opensInBackground(const QSize& size)
{
    return size.isValid() && qint64(size.width()) * size.height() >= GMDocument::backgroundOpeningPixels;
}

} // namespace

bool GMDocument::readPlainImage(const QString& path, QString* errorMessage)
{
    {
        // A large picture opens in the background once its header shows it sound.
        QImageReader header(path);
        header.setAutoTransform(true);
        QSize size = header.size();
        if (header.canRead() && opensInBackground(size)) {
            if (pf::ImageFile::orientation(path) & QImageIOHandler::TransformationRotate90)
                size.transpose(); // as it shows, upright
            resetContents();
            auto opening = std::make_shared<Opening>();
            opening->path = path;
            opening->size = pf::Size(size.width(), size.height());
            // The digest of its bytes comes with the decoded picture.
            const QFileInfo file(path);
            m_picture = {true, file.size(), file.lastModified().toUTC(), {}};
            openInBackground(opening, {}, {});
            return true;
        }
    }
    QString error, reduction;
    const pf::Bitmap bitmap = pf::ImageFile::read(path, &error, pf::ImageFile::Precision::Exact, &reduction);
    if (bitmap.isNull())
        return fail(errorMessage, error);
    resetContents();
    if (!reduction.isEmpty())
        tellReducedOriginal(path, reduction);
    m_originalImage = pf::Image::fromBitmap(bitmap);
    m_originalBitmap = bitmap;
    const QByteArray format = QImageReader::imageFormat(path);
    const QByteArray kept = fileBytesIfKept(path, format);
    const QFileInfo file(path);
    m_picture = {true, file.size(), file.lastModified().toUTC(),
                 kept.isEmpty() ? digestOfFile(path) : digestOf(kept)};
    std::lock_guard lock(m_jpegMutex);
    m_originalIsJPEG = format == "jpeg";
    (m_originalIsJPEG ? m_originalJPEG : m_originalLossless) = kept;
    return true;
}

void GMDocument::openInBackground(const std::shared_ptr<Opening>& opening, const QByteArray& jpeg,
                                  const QByteArray& lossless)
{
    m_opening = opening;
    std::weak_ptr<pf::Document> weak = weak_from_this();
    const bool wantsPreview = opening->preview.isNull();
    const QSize reduced = reducedSize(QSize(int(opening->size.width), int(opening->size.height)));
    std::thread([weak, opening, jpeg, lossless, wantsPreview, reduced] {
        if (wantsPreview) {
            // First the picture the decoder reduces by itself, for the window to show at once.
            QBuffer buffer;
            QImageReader reader;
            if (opening->package) {
                buffer.setData(lossless.isEmpty() ? jpeg : lossless);
                buffer.open(QIODevice::ReadOnly);
                reader.setDevice(&buffer);
            } else {
                reader.setFileName(opening->path);
            }
            reader.setAutoTransform(true);
            // Asked for in the photo's upright proportions; the reader scales before it turns (a PNG's
            // orientation, which the reader does not know, is applied here).
            const QImageIOHandler::Transformations turn =
                opening->package ? reader.transformation() : pf::ImageFile::orientation(opening->path);
            const bool turned = turn & QImageIOHandler::TransformationRotate90;
            reader.setScaledSize(turned ? reduced.transposed() : reduced);
            QImage preview = reader.read();
            if (reader.transformation() == QImageIOHandler::TransformationNone &&
                turn != QImageIOHandler::TransformationNone) {
                preview = preview.mirrored(turn & QImageIOHandler::TransformationMirror,
                                           turn & QImageIOHandler::TransformationFlip);
                if (turned)
                    preview = preview.transformed(QTransform().rotate(90));
            }
            pf::runOnMain([weak, opening, preview] {
                if (auto self = std::static_pointer_cast<GMDocument>(weak.lock()))
                    self->openingPreviewArrived(opening, preview);
            });
        }
        Decoded decoded;
        if (opening->package) {
            // The kept original's digest is worked out while it decodes.
            std::future<QByteArray> digest =
                std::async(std::launch::async,
                           [bytes = lossless.isEmpty() ? jpeg : lossless] { return digestOf(bytes); });
            GMDocumentPackage::Contents contents;
            contents.originalJPEG = jpeg;
            contents.originalLossless = lossless;
            contents.losslessDamaged = !opening->losslessProblem.isEmpty();
            contents.losslessProblem = opening->losslessProblem;
            if (GMDocumentPackage::decodeOriginal(contents, opening->path, &decoded.error)) {
                decoded.reduction = contents.originalReduction;
                decoded.bitmap = contents.original;
                decoded.jpeg = contents.originalJPEG;
                decoded.lossless = contents.originalLossless; // as it is, also when it did not decode
                decoded.losslessProblem = contents.losslessDamaged ? contents.losslessProblem : QString();
                decoded.isJPEG =
                    !contents.losslessDamaged && decoded.lossless.isEmpty() && !decoded.jpeg.isEmpty();
                decoded.digest = digest.get();
            }
        } else {
            // The bytes kept as the original (the file's own) and their digest are read on a thread of
            // their own while the picture decodes: the digest adds nothing to the open's time.
            struct Kept
            {
                QByteArray format, bytes, digest;
            };
            std::future<Kept> reading = std::async(std::launch::async, [path = opening->path] {
                Kept kept;
                kept.format = QImageReader::imageFormat(path);
                kept.bytes = fileBytesIfKept(path, kept.format);
                kept.digest = kept.bytes.isEmpty() ? digestOfFile(path) : digestOf(kept.bytes);
                return kept;
            });
            decoded.bitmap = pf::ImageFile::read(opening->path, &decoded.error,
                                                 pf::ImageFile::Precision::Exact, &decoded.reduction);
            Kept kept = reading.get();
            decoded.isJPEG = kept.format == "jpeg";
            if (!decoded.bitmap.isNull()) {
                (decoded.isJPEG ? decoded.jpeg : decoded.lossless) = std::move(kept.bytes);
                decoded.digest = std::move(kept.digest);
            }
        }
        // What is worked out from the photo's every pixel (its reduced copies, its faces) is made here
        // too: the main thread only puts the finished pieces together.
        if (!decoded.bitmap.isNull())
            decoded.original = PhotoToolChain::prepareOriginal(pf::Image::fromBitmap(decoded.bitmap), true);
        pf::runOnMain([weak, opening, decoded = std::move(decoded)] {
            if (auto self = std::static_pointer_cast<GMDocument>(weak.lock()))
                self->openingFinished(opening, decoded);
        });
    }).detach();
}

void GMDocument::openingPreviewArrived(const std::shared_ptr<Opening>& opening, const QImage& preview)
{
    if (m_opening != opening || preview.isNull())
        return;
    // Turned upright by its orientation, the photo is as wide as the preview says.
    const bool turned = (preview.width() > preview.height()) != (opening->size.width > opening->size.height);
    if (turned)
        opening->size = pf::Size(opening->size.height, opening->size.width);
    opening->preview = preview;
    if (m_windowController)
        m_windowController->showOpeningPreview(preview, opening->size);
}

void GMDocument::openingFinished(const std::shared_ptr<Opening>& opening, const Decoded& decoded)
{
    if (m_opening != opening)
        return; // read again or reverted meanwhile
    m_opening.reset();
    const QString loading = pf::localized(QStringLiteral("Loading"));
    QString error = decoded.error;
    if (decoded.bitmap.isNull() && !opening->photo.isEmpty()) {
        // A damaged shadow copy must not keep the picture from opening: without its edits, as when
        // the copy cannot be read at all.
        pf::warning(QStringLiteral("The edits kept for \"%1\" cannot be read (%2); the picture opens as it "
                                   "is in the file")
                        .arg(opening->photo, error));
        if (readPlainImage(opening->photo, &error)) {
            presentError(QStringLiteral("The edits kept for “%1” could not be read.")
                             .arg(QFileInfo(opening->photo).fileName()),
                         decoded.error + QStringLiteral("\n\nThe picture opens as it is in the file."));
            if (m_opening) {
                // Decoded in the background in its turn: the window stays busy until it is.
                if (m_windowController && !m_opening->preview.isNull())
                    m_windowController->showOpeningPreview(m_opening->preview, m_opening->size);
                return;
            }
            if (m_windowController) {
                m_windowController->setOriginalImage(m_originalImage);
                m_windowController->setUndoManager(undoManager());
                m_windowController->stopActivity(loading);
            }
            if (std::exchange(m_recordDeferred, false))
                scheduleRecoveryRecord();
            return;
        }
    }
    if (decoded.bitmap.isNull()) {
        // Nothing to edit: the window goes rather than show an empty photo, and the failure is said
        // plainly where the user sees it, never as a sheet of the window that goes.
        const QString shown = opening->photo.isEmpty() ? opening->path : opening->photo;
        pf::error(QStringLiteral("The picture %1 could not be read: %2").arg(shown, error));
        if (m_windowController)
            m_windowController->stopActivity(loading);
        pf::DocumentController* controller = documentController();
        const auto keepAlive = shared_from_this();
        close();
        const QString message = QStringLiteral("“%1” could not be opened.").arg(QFileInfo(shown).fileName());
        if (controller)
            controller->presentError(message, error);
        else
            pf::error(message + u' ' + error);
        return;
    }
    m_originalImage = decoded.original.image;
    m_originalBitmap = decoded.bitmap;
    if (m_picture.fromFile != opening->package && m_picture.digest.isEmpty())
        m_picture.digest = decoded.digest;
    {
        std::lock_guard lock(m_jpegMutex);
        m_originalJPEG = decoded.jpeg;
        m_originalLossless = decoded.lossless;
        m_originalIsJPEG = decoded.isJPEG;
        m_losslessProblem = decoded.losslessProblem;
    }
    if (!m_losslessProblem.isEmpty())
        reportDamagedOriginal(opening->path);
    if (!decoded.reduction.isEmpty())
        tellReducedOriginal(opening->photo.isEmpty() ? opening->path : opening->photo, decoded.reduction);
    if (!m_windowController)
        return;
    m_windowController->setPreparedOriginal(decoded.original);
    m_windowController->setUndoManager(undoManager());
    // A package's layers go in once the photo is there; the window stays busy until they are.
    if (m_pendingLayers.empty())
        m_windowController->stopActivity(loading);
    else
        insertPendingLayers();
    if (std::exchange(m_recordDeferred, false))
        scheduleRecoveryRecord();
}

bool GMDocument::readSampleImage(const QString& path, QString* errorMessage)
{
    // Until it is first autosaved, the sample is what brings the document back after a crash.
    const bool read = QFileInfo(path).isDir() ? readOwnFileFormatFromURL(path, errorMessage)
                                              : readPlainImage(path, errorMessage);
    if (read)
        setSourceURL(path);
    return read;
}

bool GMDocument::readOwnFileFormatFromURL(const QString& path, QString* errorMessage)
{
    return readPackage(path, errorMessage, QString());
}

bool GMDocument::collectLayers(const std::vector<GMDocumentPackage::Layer>& read, bool olderSingleFile,
                               std::vector<PendingLayer>& layers, std::vector<ForeignLayer>& foreign,
                               QStringList& unknown, QString* errorMessage)
{
    for (size_t k = 0; k < read.size(); ++k) {
        const GMDocumentPackage::Layer& layer = read[k];
        std::shared_ptr<GMEffectBlueprint> blueprint = blueprintCatalog().effectBlueprintWithName(layer.name);
        if (!blueprint) {
            // Made by a later version, or its effect failed to load: left out of the chain, but its
            // entry and folder go on unchanged with every save, at the same place.
            pf::warning(QStringLiteral("GMDocument readOwnFileFormat failed to load %1").arg(layer.name));
            ForeignLayer kept{k, layer.name, layer.values, QString()};
            if (QFileInfo(layer.maskFolder).isDir()) {
                QString error;
                kept.folder = GMDocumentPackage::keepFolder(layer.maskFolder, &error);
                if (kept.folder.isEmpty())
                    return fail(errorMessage,
                                QStringLiteral("The layer of the unknown effect “%1” could not be kept: %2")
                                    .arg(layer.name, error));
            }
            foreign.push_back(std::move(kept));
            if (!unknown.contains(layer.name))
                unknown.append(layer.name);
            continue;
        }
        if (olderSingleFile || GMDocumentArchive::hasOlderBrushSettings(layer.values)) {
            // Settings of the older kind: the mask is painted again from its strokes (none: an empty
            // mask); no mask folder.
            auto strokes = GMDocumentArchive::olderBrushPath(layer.values);
            layers.push_back(
                {blueprint,
                 checkedSettings(*blueprint, GMDocumentArchive::removeLegacyKeys(layer.values), layer.name),
                 QString(), strokes ? strokes : std::make_shared<GMBrushPath>()});
            continue;
        }
        if (!QFileInfo(layer.maskFolder).isDir())
            return fail(errorMessage,
                        QStringLiteral("The document is damaged: the mask of the layer “%1” is missing.")
                            .arg(layer.name));
        layers.push_back(
            {blueprint, checkedSettings(*blueprint, layer.values, layer.name), layer.maskFolder, nullptr});
    }
    return true;
}

bool GMDocument::readPackage(const QString& path, QString* errorMessage, const QString& photo)
{
    std::optional<GMDocumentPackage::Contents> contents =
        GMDocumentPackage::read(path, errorMessage, GMDocumentPackage::Original::Checked);
    if (!contents)
        return false;
    std::vector<PendingLayer> layers;
    std::vector<ForeignLayer> foreign;
    QStringList unknown;
    if (!collectLayers(contents->layers, contents->olderSingleFile, layers, foreign, unknown, errorMessage))
        return false;
    // What the package holds besides goes on with every save, as it is.
    std::vector<std::pair<QString, QString>> extras;
    for (const auto& [name, where] : contents->extras) {
        QString error;
        const QString kept = GMDocumentPackage::keepEntry(where, &error);
        if (kept.isEmpty())
            pf::warning(QStringLiteral("\"%1\" in the document %2 cannot be kept (%3); saves leave it out")
                            .arg(name, path, error));
        else
            extras.emplace_back(name, kept);
    }
    // A large original is decoded in the background, as a large picture is; a small one at once.
    const bool later = opensInBackground(contents->originalSize);
    if (!later && !GMDocumentPackage::decodeOriginal(*contents, path, errorMessage))
        return false;
    const QString losslessProblem = contents->losslessDamaged ? contents->losslessProblem : QString();
    resetContents();
    m_losslessName = contents->losslessName;
    if (!later) {
        m_originalImage = pf::Image::fromBitmap(contents->original);
        m_originalBitmap = contents->original;
        m_loadPreview = contents->loadPreview;
        if (!contents->originalReduction.isEmpty())
            tellReducedOriginal(photo.isEmpty() ? path : photo, contents->originalReduction);
    }
    m_pendingLayers = std::move(layers);
    m_foreignLayers = std::move(foreign);
    m_extras = std::move(extras);
    {
        // A large original's digest is worked out with its decoding, off the interface's thread.
        const QByteArray& kept =
            contents->originalLossless.isEmpty() ? contents->originalJPEG : contents->originalLossless;
        m_picture = {false, kept.size(), {}, later ? QByteArray() : digestOf(kept)};
    }
    {
        std::lock_guard lock(m_jpegMutex);
        m_originalJPEG = contents->originalJPEG;
        m_originalLossless = contents->originalLossless;
        // A package without a lossless original holds it as that JPEG alone (it was one, or an earlier
        // version kept it so): there is nothing better to keep. An older file's picture with neither
        // (a TIFF) is kept without loss once saved. A damaged lossless original is kept as it is.
        m_losslessProblem = losslessProblem;
        m_originalIsJPEG =
            losslessProblem.isEmpty() && m_originalLossless.isEmpty() && !m_originalJPEG.isEmpty();
    }
    if (!later && !losslessProblem.isEmpty())
        reportDamagedOriginal(path);
    if (!unknown.isEmpty())
        presentError(QStringLiteral("Some layers of “%1” use effects this version does not know.")
                         .arg(QFileInfo(path).completeBaseName()),
                     QStringLiteral("Effects: %1. These layers are not shown; they are kept in the document "
                                    "unchanged and come back in a version that knows them.")
                         .arg(unknown.join(QStringLiteral(", "))));
    if (contents->olderSingleFile) {
        // Saved as it stands, the package would replace the single file (or fail to): the document is
        // an untitled one made from it, named after it, and asks where to go when saved.
        setFileURL(QString());
        setConvertedFromURL(path);
        setDraftName(QFileInfo(path).absolutePath() + u'/' + QFileInfo(path).completeBaseName() +
                     QStringLiteral(" (converted).") + GMDocumentPackage::extension);
    }
    if (later) {
        auto opening = std::make_shared<Opening>();
        opening->path = path;
        opening->package = true;
        opening->photo = photo;
        opening->size = pf::Size(contents->originalSize.width(), contents->originalSize.height());
        opening->preview = contents->loadPreview; // the composed picture, shown until the photo is in
        opening->losslessProblem = losslessProblem;
        openInBackground(opening, contents->originalJPEG, contents->originalLossless);
        return true;
    }
    if (m_windowController) {
        m_windowController->setOriginalImage(m_originalImage);
        m_windowController->setUndoManager(undoManager());
        insertPendingLayers();
    }
    return true;
}

void GMDocument::setWindowController(std::shared_ptr<GMDocumentWindowController> controller)
{
    m_windowController = std::move(controller);
    m_chainObserver.reset();
    if (!m_windowController)
        return;
    // Every change of the chain (layers, settings, strokes) is recorded a moment later for recovery.
    m_chainObserver = pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("OVRCContentDidChange"), nullptr, [this](const pf::Notification& notification) {
            if (!pf::isMainThread() || !m_windowController)
                return;
            if (const auto chain = m_windowController->toolChain();
                chain && notification.sender == chain.get())
                scheduleRecoveryRecord();
        });
    if (!m_originalImage.isNull()) {
        m_windowController->setOriginalImage(m_originalImage);
        m_windowController->setUndoManager(undoManager());
    }
    if (!m_loadPreview.isNull()) {
        m_windowController->showLoadingPreview(m_loadPreview);
        m_loadPreview = QImage();
    }
    if (m_opening) {
        // Busy from the window's first moment; the reduced picture as soon as there is one.
        m_windowController->startActivity(pf::localized(QStringLiteral("Loading")), {});
        if (!m_opening->preview.isNull())
            m_windowController->showOpeningPreview(m_opening->preview, m_opening->size);
    }
    setWindow(m_windowController->window());
    insertPendingLayers();
}

void GMDocument::makeWindowControllers()
{
    if (windowControllerFactory() && !m_windowController)
        setWindowController(windowControllerFactory()(*this));
}

void GMDocument::insertPendingLayers()
{
    // Layers go into the chain over the photo: none before it is decoded.
    if (!m_windowController || m_pendingLayers.empty() || m_opening)
        return;
    const QString loading = pf::localized(QStringLiteral("Loading"));
    std::weak_ptr<pf::Document> weak = weak_from_this();
    auto controller = m_windowController;
    controller->startActivity(loading, [weak, controller, loading] {
        auto self = std::static_pointer_cast<GMDocument>(weak.lock());
        if (!self || self->m_windowController != controller || self->m_pendingLayers.empty()) {
            controller->stopActivity(loading);
            return;
        }
        // The layers stay pending (and saves wait) until they are in the chain. Their mask folders
        // are decoded side by side, off the interface's thread: the window keeps answering while the
        // largest is read, and the layers go in together once all are.
        auto reads = std::make_shared<std::vector<std::future<MaskRead>>>();
        QStringList folders;
        const auto chain = controller->toolChain();
        const pf::Size photo = chain ? chain->originalImageSize() : self->photoSize();
        for (const PendingLayer& layer : self->m_pendingLayers) {
            folders.append(layer.maskFolder);
            if (layer.olderStrokes)
                continue;
            if (layer.read) {
                // Read already (a recovery record's, before its work was told).
                std::promise<MaskRead> ready;
                ready.set_value(*layer.read);
                reads->push_back(ready.get_future());
                continue;
            }
            reads->push_back(std::async(
                std::launch::async, [folder = layer.maskFolder, photo] { return readMask(folder, photo); }));
        }
        insertWhenRead(weak, controller, loading, folders, reads);
    });
}

GMDocument::MaskRead GMDocument::readMask(const QString& folder, const pf::Size& photo)
{
    MaskRead read;
    read.mask = OVBrushPathImage::readFromFolder(folder, &read.problem);
    // A mask is made for its photo: one of another size (a damaged description, a folder that holds no
    // mask) would place strokes wrongly and could claim any amount of memory. It is kept aside as
    // damaged; the layer gets an empty mask.
    const pf::Size size = read.mask->size();
    read.wrongSize = std::round(size.width) != std::round(photo.width) ||
                     std::round(size.height) != std::round(photo.height);
    if (read.wrongSize) {
        const QString sizes = QStringLiteral("the mask is %1 x %2, its photo %3 x %4")
                                  .arg(size.width)
                                  .arg(size.height)
                                  .arg(photo.width)
                                  .arg(photo.height);
        pf::error(QStringLiteral("The mask folder %1 cannot be used: %2").arg(folder, sizes));
        if (read.problem.isEmpty())
            read.problem = sizes;
    }
    if (read.problem.isEmpty())
        return read;
    // What could not be read is never replaced by what could: the folder is kept, as it is, for the
    // saves to come.
    QString error;
    read.kept = GMDocumentPackage::keepFolder(folder, &error);
    if (read.kept.isEmpty()) {
        pf::error(QStringLiteral("The unread mask folder %1 cannot be kept: %2").arg(folder, error));
        read.kept = folder;
    }
    return read;
}

void GMDocument::insertWhenRead(const std::weak_ptr<pf::Document>& weak,
                                const std::shared_ptr<GMDocumentWindowController>& controller,
                                const QString& loading, const QStringList& folders,
                                const std::shared_ptr<std::vector<std::future<MaskRead>>>& reads)
{
    const bool ready = std::all_of(reads->begin(), reads->end(), [](const auto& read) {
        return read.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    if (!ready) {
        pf::runOnMainAfter(0.01, [weak, controller, loading, folders, reads] {
            insertWhenRead(weak, controller, loading, folders, reads);
        });
        return;
    }
    auto self = std::static_pointer_cast<GMDocument>(weak.lock());
    const auto samePending = [&] {
        if (self->m_pendingLayers.size() != size_t(folders.size()))
            return false;
        for (size_t i = 0; i < self->m_pendingLayers.size(); ++i)
            if (self->m_pendingLayers[i].maskFolder != folders[qsizetype(i)])
                return false;
        return true;
    };
    // Closed, handed to another window or read again meanwhile: what was decoded is let go here.
    if (!self || self->m_windowController != controller || !samePending()) {
        controller->stopActivity(loading);
        return;
    }
    std::vector<std::shared_ptr<GMEffectBlueprint>> blueprints;
    QVariantList settings;
    std::vector<std::shared_ptr<OVBrushPathImage>> masks;
    size_t read = 0;
    QStringList unread;
    // Layers whose mask had another size than the photo: an empty one of the photo's size is made by
    // the chain, and keeps the unread folder (by layer).
    std::vector<std::pair<int, QString>> emptied;
    for (const PendingLayer& layer : self->m_pendingLayers) {
        blueprints.push_back(layer.blueprint);
        settings.append(layer.values);
        if (layer.olderStrokes) {
            masks.push_back(self->convertOldSettings(*layer.olderStrokes, layer.blueprint));
            continue;
        }
        MaskRead result = (*reads)[read++].get();
        if (!result.problem.isEmpty()) {
            result.mask->keepUnreadFolder(result.kept);
            // A recovery record's unread masks were told with what came back.
            if (!layer.read)
                unread.append(QStringLiteral("“%1” (layer %2)")
                                  .arg(layer.blueprint->displayName())
                                  .arg(masks.size() + 1));
        }
        if (result.wrongSize) {
            emptied.emplace_back(int(masks.size()) + 1, result.kept);
            result.mask.reset();
        }
        masks.push_back(result.mask);
    }
    // Loading is no step the user could undo.
    controller->setUndoManager(nullptr);
    if (const auto chain = controller->toolChain()) {
        chain->insertPhotoToolsWithBlueprints(blueprints, settings, masks, 0);
        for (const auto& [index, kept] : emptied)
            if (const auto mask =
                    index < chain->numberOfTools() ? chain->brushPathImageAtIndex(index) : nullptr)
                mask->keepUnreadFolder(kept);
    }
    self->m_pendingLayers.clear();
    if (std::exchange(self->m_recordDeferred, false))
        self->scheduleRecoveryRecord();
    controller->setUndoManager(self->undoManager());
    controller->stopActivity(loading);
    if (!unread.isEmpty())
        self->presentError(
            QStringLiteral("Some layers of “%1” could not be read.").arg(self->displayName()),
            QStringLiteral("The masks of %1 are damaged and show empty. Their files are kept as they are "
                           "and saved unchanged until you paint on these layers.")
                .arg(unread.join(QStringLiteral(", "))));
}

QString GMDocument::readOnlyReason(const QString& path)
{
    // The mark is what the user set: a file without write permission is replaced by no save, even
    // where the folder would let a new file take its place (or the user may write anything).
    struct stat status
    {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(native.constData(), W_OK) == 0)
        return {};
    return QStringLiteral("“%1” is read-only, so it is left as it is.").arg(QFileInfo(path).fileName());
}

QString GMDocument::unwritableReason(const QString& path)
{
    // The folder that will take the new file (or the fresh package beside the old one); a folder still
    // to be made is made in the nearest one that exists.
    QFileInfo folder(QFileInfo(path).absolutePath());
    while (!folder.exists() && folder.absoluteFilePath() != folder.absolutePath())
        folder = QFileInfo(folder.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("“%1” is not a folder.").arg(folder.fileName());
    // Trying is the only answer that holds for every kind of refusal (permissions, a read-only volume,
    // an administrator who may write anywhere). A file without a name leaves nothing behind if the
    // application dies meanwhile; a named one is the way on volumes that cannot make those.
    const auto refusal = [&folder] {
        return QStringLiteral("The folder “%1” cannot be written: %2.")
            .arg(folder.fileName().isEmpty() ? folder.absoluteFilePath() : folder.fileName(),
                 QString::fromLocal8Bit(std::strerror(errno)));
    };
#ifdef O_TMPFILE
    const int unnamed = ::open(QFile::encodeName(folder.absoluteFilePath()).constData(),
                               O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        ::close(unnamed);
        return {};
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return refusal();
#endif
    QByteArray probe =
        QFile::encodeName(folder.absoluteFilePath() + QStringLiteral("/.glimora-write-XXXXXX"));
    const int descriptor = ::mkstemp(probe.data());
    if (descriptor < 0)
        return refusal();
    ::close(descriptor);
    ::unlink(probe.constData());
    return {};
}

void GMDocument::saveToURL(const QString& path, const QString& type, SaveOperation operation,
                           Completion completion)
{
    // A target that cannot take the file fails now, before the picture is composed for it (an
    // autosave of a picture writes only its shadow copy, in the working area).
    if (!isAutosave(operation) || type == GMDocumentPackage::typeName) {
        QString reason = unwritableReason(path);
        if (reason.isEmpty() && type != GMDocumentPackage::typeName) {
            reason = readOnlyReason(path);
            if (!reason.isEmpty())
                reason += QStringLiteral(" Use Save As to keep your changes under another name.");
        }
        // A package is a folder: it never takes the place of a file (an older single-file document,
        // say), which the swap could not put back.
        if (reason.isEmpty() && type == GMDocumentPackage::typeName && QFileInfo(path).isFile())
            reason = QStringLiteral("“%1” is a file, not a document folder (perhaps a document of an older "
                                    "version). Choose another name; the file was left as it is.")
                         .arg(QFileInfo(path).fileName());
        if (!reason.isEmpty()) {
            if (completion)
                completion(false, reason);
            return;
        }
    }
    auto controller = m_windowController;
    std::weak_ptr<pf::Document> weakSelf = weak_from_this();
    const bool overPhoto = operation == SaveOperation::Save && type != GMDocumentPackage::typeName;
    const bool newPhotoFile = (operation == SaveOperation::Save || operation == SaveOperation::SaveAs) &&
                              type != GMDocumentPackage::typeName;
    // What a saved photo file now is, and the note the first time one is saved over.
    completion = [weakSelf, path, overPhoto, newPhotoFile, completion](bool succeeded,
                                                                       const QString& errorMessage) {
        auto self = std::static_pointer_cast<GMDocument>(weakSelf.lock());
        if (self && succeeded && newPhotoFile)
            self->m_fileKind = GMPhotoFile::inspect(path);
        if (completion)
            completion(succeeded, errorMessage);
        if (self && succeeded && overPhoto)
            self->noteSavedOverPhoto(path);
    };
    if (!controller) {
        pf::Document::saveToURL(path, type, operation, std::move(completion));
        return;
    }
    const QString message =
        pf::localized(isAutosave(operation) ? QStringLiteral("Autosaving") : QStringLiteral("Saving"));
    Completion finished = [controller, message, completion](bool succeeded, const QString& errorMessage) {
        controller->stopActivity(message);
        if (completion)
            completion(succeeded, errorMessage);
    };
    if (isClosing()) {
        // The document is going away: no waiting for the panel to slide in.
        controller->startActivity(message, {});
        pf::Document::saveToURL(path, type, operation, std::move(finished));
        return;
    }
    std::weak_ptr<pf::Document> weak = weak_from_this();
    controller->startActivity(message, [weak, path, type, operation, finished] {
        if (auto self = weak.lock())
            self->pf::Document::saveToURL(path, type, operation, finished);
        else
            finished(false, QStringLiteral("The document was closed."));
    });
}

void GMDocument::reportDamagedOriginal(const QString& package)
{
    const QString name = QFileInfo(fileURL().isEmpty() ? package : fileURL()).fileName();
    presentError(
        QStringLiteral("The untouched original kept for “%1” is damaged.").arg(name),
        QStringLiteral("Its lossless copy (“%1” in %2) cannot be read: %3. The picture shows "
                       "from its JPEG copy, which may differ slightly. The damaged file is kept as it "
                       "is with every save, so that it can still be repaired.")
            .arg(m_losslessName.isEmpty() ? QStringLiteral("image.png") : m_losslessName,
                 QDir::toNativeSeparators(package), m_losslessProblem));
}

void GMDocument::tellReducedOriginal(const QString& path, const QString& reduction)
{
    pf::warning(QStringLiteral("The photo %1 is held in less than its file holds: %2").arg(path, reduction));
    presentError(
        QStringLiteral("“%1” is opened with its colours reduced to sRGB.").arg(QFileInfo(path).fileName()),
        QStringLiteral("%1\n\nWhere you paint, colours beyond sRGB are lost. Everywhere else saving "
                       "writes the photo back as its file holds it.")
            .arg(reduction));
}

void GMDocument::noteSavedOverPhoto(const QString& path)
{
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    if (defaults.boolForKey(savedOverPhotoNoteKey))
        return;
    defaults.setBool(savedOverPhotoNoteKey, true);
    // Kept forever unless the user chose otherwise.
    const QVariant chosen = defaults.value(QStringLiteral("KeepSpan"));
    const int span = chosen.isValid() ? int(std::clamp<qint64>(chosen.toLongLong(), 0, 5)) : 5;
    pf::Alert alert;
    alert.style = pf::Alert::Style::Informational;
    alert.messageText =
        QStringLiteral("“%1” now holds your retouched picture.").arg(QFileInfo(path).fileName());
    alert.informativeText =
        QStringLiteral("The untouched original and your layers are kept in the application's working folder "
                       "(%1), %2, and open again with this file, so you can change or undo your retouching "
                       "later. How long they are kept is chosen in Preferences. To keep the photo file "
                       "itself untouched, use Save As or Export instead.")
            .arg(QDir::toNativeSeparators(GMFileUtilities::applicationSupportDirectory()),
                 GMPreferencesWindowController::spanText(span));
    alert.addButton(QStringLiteral("OK"));
    if (window() && window()->isVisible())
        alert.beginSheetModal(window(), [](int) {});
    else
        alert.runModal();
}

std::shared_ptr<OVBrushPathImage>
GMDocument::convertOldSettings(const GMBrushPath& strokes,
                               const std::shared_ptr<GMEffectBlueprint>& blueprint) const
{
    const pf::Size size(m_originalBitmap.width(), m_originalBitmap.height());
    OVRenderInfoGenerator generator;
    generator.setOriginalImage(m_originalImage);
    const OVRenderInfo info = generator.renderInfoForRect(pf::Rect(0, 0, 1, 1), size);
    const PhotoTool tool(blueprint, std::nullopt);
    const OVContentContainerPtr painted =
        OVBrushSegment::renderPath(strokes, size, info, tool.contentContainerForSize(size));
    return std::make_shared<OVBrushPathImage>(size, painted);
}

std::shared_ptr<GMDocument::Snapshot> GMDocument::takeSnapshot(bool wantFullImage, pf::Bitmap::Format format)
{
    auto snapshot = std::make_shared<Snapshot>();
    const std::shared_ptr<PhotoToolChain> chain =
        m_windowController ? m_windowController->toolChain() : nullptr;
    if (chain) {
        for (int i = 1; i < chain->numberOfTools(); ++i) {
            const PhotoToolPtr tool = chain->photoToolAtIndex(i);
            const auto mask = chain->brushPathImageAtIndex(i);
            GMDocumentPackage::Layer layer;
            layer.name = tool->blueprint()->photoToolName();
            layer.values = tool->savedSettingsState();
            layer.mask = mask;
            layer.container = mask ? mask->contentContainer() : nullptr;
            layer.snapshotName =
                mask && !mask->segmentImageNames().isEmpty() ? mask->segmentImageNames().last() : QString();
            layer.maskSize = mask ? mask->size() : chain->originalImageSize();
            layer.verbatimFolder = mask ? mask->unreadFolder() : QString();
            snapshot->masks.push_back(layer.container && layer.container->imageContainer()
                                          ? layer.container->imageContainer()->image()
                                          : pf::Image());
            snapshot->contents.layers.push_back(std::move(layer));
        }
        // Layers of unknown effects go back to their places among the others.
        auto& layers = snapshot->contents.layers;
        for (const ForeignLayer& foreign : m_foreignLayers) {
            GMDocumentPackage::Layer layer;
            layer.name = foreign.name;
            layer.values = foreign.values;
            layer.verbatimFolder = foreign.folder;
            layer.maskSize = chain->originalImageSize();
            layers.insert(layers.begin() + std::ptrdiff_t(std::min(foreign.index, layers.size())),
                          std::move(layer));
        }
        snapshot->contents.extras = m_extras;
        snapshot->preview = m_windowController->previewForSaving();
        if (wantFullImage)
            snapshot->image = GMChainRenderer::pictureForSaving(*chain, format);
    }
    return snapshot;
}

QByteArray GMDocument::originalJPEG(const Snapshot& snapshot)
{
    std::lock_guard lock(m_jpegMutex);
    // Encoded once; every later save keeps these bytes, so the original never degrades.
    if (m_originalJPEG.isEmpty() && !snapshot.original.isNull())
        m_originalJPEG = pf::ImageFile::encodeJPEG(snapshot.original, originalJPEGQuality);
    return m_originalJPEG;
}

QByteArray GMDocument::originalLossless(const Snapshot& snapshot)
{
    std::lock_guard lock(m_jpegMutex);
    // A damaged one goes on as it is.
    if (!m_losslessProblem.isEmpty())
        return m_originalLossless;
    // Made once for a picture that was no JPEG (a PNG keeps its own bytes from the start).
    if (!m_originalIsJPEG && m_originalLossless.isEmpty() && !snapshot.original.isNull())
        m_originalLossless = GMPhotoFile::losslessOriginal(snapshot.original, QByteArray());
    return m_originalIsJPEG ? QByteArray() : m_originalLossless;
}

bool GMDocument::writePackage(Snapshot& snapshot, const QString& path, QString* errorMessage)
{
    snapshot.contents.originalJPEG = originalJPEG(snapshot);
    snapshot.contents.originalLossless = originalLossless(snapshot);
    {
        std::lock_guard lock(m_jpegMutex);
        snapshot.contents.losslessDamaged = !m_losslessProblem.isEmpty();
        // A damaged one goes back where it was read from.
        snapshot.contents.losslessName = snapshot.contents.losslessDamaged ? m_losslessName : QString();
    }
    if (snapshot.preview && snapshot.contents.preview.isNull()) {
        // A stroke whose snapshot is being written is made pixels by that write (a healing fill at full
        // size): the preview reads those, instead of rendering the same stroke again beside the write,
        // which the package waits for anyway.
        for (const GMDocumentPackage::Layer& layer : snapshot.contents.layers)
            if (layer.mask && !layer.snapshotName.isEmpty() && layer.verbatimFolder.isEmpty())
                layer.mask->waitForSnapshotPixels(layer.snapshotName);
        if (const auto preview = snapshot.preview())
            snapshot.contents.preview = *preview;
    }
    return GMDocumentPackage::write(snapshot.contents, path, errorMessage);
}

void GMDocument::recordFileState(const QString& key, const QString& filePath)
{
    const QFileInfo file(filePath);
    if (!file.exists())
        return;
    GMFileUtilities::setShadowCopyValues(key, {{fileSizeKey, file.size()},
                                               {fileTimeKey, pf::FileSystem::modificationTime(filePath)},
                                               {fileDigestKey, digestOfFile(filePath)}});
}

bool GMDocument::writeToURL(const QString& path, const QString& type, SaveOperation operation,
                            const QString& originalPath, QString* errorMessage)
{
    const bool ownType = type == GMDocumentPackage::typeName;
    const bool explicitSave = !isAutosave(operation);
    if (m_opening) {
        unblockUserInteraction();
        return fail(errorMessage, QStringLiteral("The picture is still being opened."));
    }
    if (!m_pendingLayers.empty()) {
        unblockUserInteraction();
        return fail(errorMessage, QStringLiteral("The document is still loading its layers."));
    }
    // Saving over the photo itself writes it as the kind of file it is: composed in float where the
    // photo holds more than 8 bits can (its depth, partial transparency, colours outside sRGB), and every
    // pixel no layer painted written back from the photo's own file, as it stores it.
    // A new file of the photo's own kind (Save As, Export) is written the same way; one of another kind
    // carries what that kind can hold of the photo (depth, transparency, profile, EXIF, XMP).
    const bool overPhoto = operation == SaveOperation::Save && !ownType && path == originalPath;
    const GMPhotoFile::Kind sourceKind = ownType                ? GMPhotoFile::Kind()
                                         : m_fileKind.isValid() ? m_fileKind
                                                                : keptOriginalKind();
    const OVImageWriter::ImageTarget copy = OVImageWriter::targetForPath(path, sourceKind.hasAlpha);
    const GMPhotoFile::Kind photoKind = overPhoto ? m_fileKind
                                        : ownType || copy.path != path
                                            ? GMPhotoFile::Kind()
                                            : GMPhotoFile::forExport(sourceKind, copy.format);
    if (overPhoto && !m_fileKind.refusal.isEmpty()) {
        unblockUserInteraction();
        return fail(errorMessage, m_fileKind.refusal + QStringLiteral(" Use Save As to keep your changes."));
    }
    const bool exact = photoKind.isValid() && (photoKind.bitsPerComponent > 8 ||
                                               m_originalBitmap.format() == pf::Bitmap::Format::RGBAf);
    // A translucent photo keeps its transparency, whatever the layers laid over it.
    const bool keepTransparency = sourceKind.hasAlpha;
    // The photo's own file as it was opened: what a save writes wherever no layer painted.
    QByteArray keptOriginal;
    if (photoKind.isValid()) {
        std::lock_guard lock(m_jpegMutex);
        keptOriginal = m_originalIsJPEG              ? m_originalJPEG
                       : m_losslessProblem.isEmpty() ? m_originalLossless
                                                     : QByteArray();
    }
    const QDateTime knownFileDate = fileModificationDate();
    const bool edited = isDocumentEdited();
    // Everything the save writes is taken now, while the interface waits; the layers may change
    // as soon as it goes on.
    std::shared_ptr<Snapshot> snapshot =
        takeSnapshot(!ownType && explicitSave, exact ? pf::Bitmap::Format::RGBAf : pf::Bitmap::Format::RGBA8);
    // The masks it holds belong to the main thread (their undo registrations): the snapshot is let go
    // there, whatever the outcome, in case a layer left the chain meanwhile.
    const auto release = qScopeGuard([&snapshot] { pf::runOnMain([last = std::move(snapshot)] {}); });
    snapshot->original = m_originalBitmap; // for the kept original's bytes, when they must still be made
    unblockUserInteraction();

    if (ownType) {
        // Where the document lives gets a shadow entry holding its preview, for the welcome window.
        const QString location = operation == SaveOperation::AutosaveElsewhere ? QString() : path;
        if (!writePackage(*snapshot, path, errorMessage))
            return false;
        if (!location.isEmpty()) {
            const QUrl folder =
                GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(shadowCopyKey(location)));
            QString error;
            const QByteArray preview = snapshot->contents.preview.isNull()
                                           ? QByteArray()
                                           : pf::ImageFile::encodeJPEG(snapshot->contents.preview, 0.85);
            if (folder.isEmpty() || preview.isEmpty() ||
                !pf::FileSystem::createDirectory(folder.toLocalFile(), &error) ||
                !pf::FileSystem::writeFileAtomically(folder.toLocalFile() + QStringLiteral("/preview.jpg"),
                                                     preview, &error))
                pf::warning(
                    QStringLiteral("The preview of \"%1\" for the welcome window could not be kept: %2")
                        .arg(path, error));
        }
        return true;
    }

    // A picture: its editable state goes to the shadow copy of the file being written (the file itself
    // when autosaving), and only once that is safe does the file change.
    const QString location = explicitSave ? path : (originalPath.isEmpty() ? path : originalPath);
    std::shared_ptr<GMSavedPicture> picture;
    // The picture is encoded while its shadow copy is written; the file changes only once both are done.
    QString encodeError, target;
    std::future<QByteArray> encoded;
    if (explicitSave) {
        // Composed where the file's writer reads it: a file of the photo's own kind only where the layers
        // painted, a band at a time; the shadow copy's preview (and an EXIF thumbnail) from the stack
        // composed small, so that no writer needs the whole picture for them.
        picture = snapshot->image ? snapshot->image() : nullptr;
        if (!picture)
            return fail(errorMessage, QStringLiteral("The picture could not be composed for saving."));
        if (keepTransparency)
            picture->keepTransparencyOf(snapshot->original);
        if (photoKind.isValid() && snapshot->preview)
            if (const auto preview = snapshot->preview()) {
                snapshot->contents.preview = *preview;
                picture->setPreview(*preview);
            }
        // Otherwise the preview is the whole picture made smaller, made before the writer starts.
        if (snapshot->contents.preview.isNull())
            snapshot->contents.preview = picture->fittedInside(GMChainRenderer::previewSide);
        // The photo's file is read where the original's bytes cannot tell (the colour under clear
        // pixels, a TIFF's tags) and only where the picture goes into a file of its kind.
        const QString photoFile = photoKind.isValid() ? originalPath : QString();
        encoded = std::async(std::launch::async, [&picture, &path, &encodeError, &target, &photoKind,
                                                  photoFile, keptOriginal, masks = snapshot->masks] {
            if (!photoKind.isValid()) {
                const pf::Bitmap& whole = picture->whole();
                if (whole.isNull()) {
                    encodeError = QStringLiteral("The picture could not be composed for saving.");
                    return QByteArray();
                }
                return OVImageWriter::encodedImage(whole, path, &encodeError, &target);
            }
            target = path;
            // Where the layers painted; where that cannot be told, the composed picture is written
            // everywhere.
            GMPaintedRegion painted;
            QString regionError;
            const bool known = GMPaintedRegion::fromMasks(masks, picture->width(), picture->height(),
                                                          regionContext(), &painted, &regionError);
            if (!known)
                pf::warning(regionError);
            GMPhotoFile::Source source;
            source.original = keptOriginal;
            source.painted = known ? &painted : nullptr;
            source.file = photoFile;
            return GMPhotoFile::encode(*picture, photoKind, &encodeError, source);
        });
    }
    const QString key = shadowCopyKey(location);
    const QUrl folder = GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(key));
    if (folder.isEmpty())
        return fail(errorMessage, QStringLiteral("The edits cannot be kept: the application's working folder "
                                                 "cannot be written."));
    QString error;
    if (!writePackage(*snapshot, folder.toLocalFile(), &error))
        return fail(
            errorMessage,
            QStringLiteral("The edits could not be kept, so the file was left unchanged. %1").arg(error));
    if (!explicitSave) {
        // The file's state is what the copy's edits were made over; a file someone else changed since
        // keeps the state this document knew, so that opening it asks which to take.
        if (modificationDateOfFile(location) == knownFileDate || !knownFileDate.isValid())
            recordFileState(key, location);
        else if (!GMFileUtilities::shadowCopyDictionary().value(key).toMap().contains(fileTimeKey))
            GMFileUtilities::setShadowCopyValues(
                key, {{fileSizeKey, -1}, {fileTimeKey, knownFileDate.toUTC()}, {fileDigestKey, QVariant()}});
        GMFileUtilities::setShadowCopyValues(key, {{editsNotInFileKey, edited}});
        return true;
    }
    const QByteArray data = encoded.get();
    if (data.isEmpty())
        return fail(errorMessage, encodeError);
    // A stop between replacing the file and noting its new state leaves bytes the entry does not
    // know: noted first, they tell the next opening that the change is this save's.
    if (target == path)
        GMFileUtilities::setShadowCopyValues(
            key, {{savingSizeKey, data.size()}, {savingDigestKey, digestOf(data)}});
    if (!pf::FileSystem::writeFileAtomically(target, data, errorMessage))
        return false;
    recordFileState(key, path);
    GMFileUtilities::setShadowCopyValues(
        key, {{editsNotInFileKey, false}, {savingSizeKey, QVariant()}, {savingDigestKey, QVariant()}});
    return true;
}

bool GMDocument::revertToContentsOfURL(const QString& path, const QString& type, QString* errorMessage)
{
    // The document as reopening it would show it: the package, or the picture's shadow copy.
    auto controller = m_windowController;
    m_windowController.reset();
    const bool read = readFromURL(path, type, errorMessage);
    m_windowController = controller;
    if (!read)
        return false;
    if (controller && m_opening) {
        // The picture comes back in the background, as when it was opened.
        if (const auto chain = controller->toolChain())
            chain->removeAllPhotoTools();
        controller->startActivity(pf::localized(QStringLiteral("Loading")), {});
        return true;
    }
    if (controller) {
        if (const auto chain = controller->toolChain())
            chain->removeAllPhotoTools();
        controller->setOriginalImage(m_originalImage);
        controller->setUndoManager(undoManager());
        insertPendingLayers();
    }
    return true;
}

void GMDocument::printImage(QPrinter& printer, const QImage& image)
{
    if (image.isNull())
        return;
    printer.setPageOrientation(image.height() < image.width() ? QPageLayout::Landscape
                                                              : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    QPainter painter(&printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    // The picture's own size is one pixel per point; it is scaled down to fit, never up.
    const double pointsToDevice = printer.resolution() / 72.0;
    QSizeF size(image.width() * pointsToDevice, image.height() * pointsToDevice);
    const double fit = std::min({1.0, page.width() / size.width(), page.height() / size.height()});
    size *= fit;
    const QRectF target(page.x() + (page.width() - size.width()) / 2,
                        page.y() + (page.height() - size.height()) / 2, size.width(), size.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
}

void GMDocument::printDocument()
{
    if (!m_windowController)
        return;
    const GMRenderForSaving render = m_windowController->imageForSaving();
    const std::optional<pf::Bitmap> picture = render ? render() : std::nullopt;
    if (!picture) {
        presentError(QStringLiteral("“%1” could not be printed.").arg(displayName()),
                     QStringLiteral("The picture could not be composed."));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    printImage(printer, picture->toQImage());
}

namespace {

// Record writes take turns, and a removal comes after the writes asked for before it.
pf::SerialQueue& recordQueue()
{
    static auto* queue = new pf::SerialQueue(QStringLiteral("org.glimora.Glimora.recoveryRecords"));
    return *queue;
}

const QString rescuedCachePrefix = QStringLiteral("cache-");

// Makes the empty file that marks a record out of date (a full disk still takes one), in the working
// area itself: whatever else stands at its name (a link, left there or planted) is replaced, never
// followed. True when the mark is there.
bool markOutOfDate(const QString& marker)
{
    const QByteArray name = QFile::encodeName(marker);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
            return true;
        }
        struct stat status
        {};
        if (errno != EEXIST || ::lstat(name.constData(), &status) != 0)
            return false;
        if (S_ISREG(status.st_mode))
            return true; // marked already
        if (::unlink(name.constData()) != 0)
            return false;
    }
    return false;
}

// Whether `folder` (links resolved) lies inside the application's working area: the only place a
// record's folders are read from or written into, whatever the record says.
bool insideWorkingArea(const QString& folder)
{
    const QString area = QFileInfo(pf::FileSystem::applicationSupportDirectory()).canonicalFilePath();
    const QString real = QFileInfo(folder).canonicalFilePath();
    return !area.isEmpty() && !real.isEmpty() && real.startsWith(area + u'/');
}

// Where a folder a record names is now: as it was, or (inside the crashed session's "cache") in the
// place that cache was put aside at this start. Empty when it is nowhere.
QString rescuedFolder(const QString& recorded)
{
    if (recorded.isEmpty())
        return {};
    const QString cache = OVBrushPathImage::cacheFolder() + u'/';
    if (QFileInfo(recorded).isDir() || !recorded.startsWith(cache))
        return QFileInfo(recorded).isDir() ? recorded : QString();
    const QString name = recorded.mid(cache.size());
    if (name.isEmpty() || name.contains(u'/'))
        return {};
    const QString folder = pf::DocumentController::recoveryFolder();
    for (const QString& rescued :
         QDir(folder).entryList({rescuedCachePrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Time)) {
        const QString candidate = folder + u'/' + rescued + u'/' + name;
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

} // namespace

QDateTime GMDocument::modificationDateOfFile(const QString& path) const
{
    if (QFileInfo(path).isDir()) {
        const QDateTime content = pf::FileSystem::modificationTime(path + QStringLiteral("/content"));
        return content.isValid() ? content : pf::FileSystem::modificationTime(path);
    }
    return pf::Document::modificationDateOfFile(path);
}

bool GMDocument::autosaveWritesFile() const
{
    return fileType() == GMDocumentPackage::typeName;
}

void GMDocument::rescueCacheForRecovery()
{
    const QString cache = OVBrushPathImage::cacheFolder();
    if (!QFileInfo(cache).isDir())
        return;
    const QString target =
        pf::DocumentController::recoveryFolder() + u'/' + rescuedCachePrefix + pf::randomName(10);
    if (!QDir().rename(cache, target))
        pf::error(QStringLiteral("The stroke history of the last session could not be kept for recovery (%1 "
                                 "to %2); strokes after its last autosave are lost")
                      .arg(cache, target));
}

void GMDocument::waitForRecoveryRecords()
{
    recordQueue().waitUntilEmpty();
}

void GMDocument::scheduleRecoveryRecord()
{
    if (m_recordScheduled || m_recordRemoved || recoveryRecordPath().isEmpty())
        return;
    m_recordScheduled = true;
    std::weak_ptr<pf::Document> weak = weak_from_this();
    pf::runOnMainAfter(recoveryRecordDelay, [weak] {
        if (auto self = std::static_pointer_cast<GMDocument>(weak.lock())) {
            self->m_recordScheduled = false;
            self->writeRecoveryRecord();
        }
    });
}

void GMDocument::writeRecoveryRecord()
{
    if (m_recordRemoved || !m_windowController || !m_windowController->toolChain())
        return;
    // A photo or layers still on their way in: recorded once they are in (a change made meanwhile, a
    // stroke or a layer added while a large photo decodes, must not wait for the next one).
    if (m_opening || !m_pendingLayers.empty()) {
        m_recordDeferred = true;
        return;
    }
    std::shared_ptr<Snapshot> taken = takeSnapshot(false);
    taken->taken = QDateTime::currentDateTimeUtc();
    if (!m_picture.digest.isEmpty() && !fileURL().isEmpty()) {
        taken->picture = m_picture.toMap();
        taken->picture.insert(QStringLiteral("document"), fileURL());
    }
    std::shared_ptr<Snapshot> replaced; // an older state no write took yet: let go here, on the main thread
    {
        std::lock_guard lock(m_pendingRecord->mutex);
        replaced = std::exchange(m_pendingRecord->newest, std::move(taken));
        if (replaced)
            return; // the write already queued takes the newest state
    }
    const QString path = recoveryRecordPath();
    std::weak_ptr<pf::Document> weak = weak_from_this();
    recordQueue().async([pending = m_pendingRecord, path, weak] {
        std::shared_ptr<Snapshot> snapshot;
        {
            std::lock_guard lock(pending->mutex);
            snapshot = std::move(pending->newest);
        }
        if (!snapshot)
            return;
        // Written for a document that has closed since, the record would only be removed after it: no
        // snapshot is waited for, nor a mask written, for it.
        if (pending->removed.load()) {
            pf::runOnMain([last = std::move(snapshot)] {});
            return;
        }
        // The masks belong to the main thread: the snapshot is let go there.
        const auto release = qScopeGuard([&snapshot] { pf::runOnMain([last = std::move(snapshot)] {}); });
        const QString marker = recoveryFailureMarkerPath(path);
        // The record stays as it was, older than the document: the mark beside it says so at the next
        // start, and the user hears it now.
        const auto failed = [&](const QString& error) {
            pf::warning(QStringLiteral("The recovery record %1 could not be written: %2").arg(path, error));
            const bool full = pf::FileSystem::lastWriteError() == ENOSPC;
            if (!markOutOfDate(marker))
                pf::error(QStringLiteral("The recovery record %1 cannot even be marked as out of date: %2")
                              .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
            pf::runOnMain([weak, error, full] {
                if (auto self = std::static_pointer_cast<GMDocument>(weak.lock()))
                    self->noteRecoveryRecordWrite(error, full);
            });
        };
        std::vector<GMDocumentArchive::Entry> entries;
        QVariantList masks;
        for (const GMDocumentPackage::Layer& layer : snapshot->contents.layers) {
            QString folder = layer.verbatimFolder;
            // The snapshot the record names is complete on disk first; one whose write failed is written
            // here from memory.
            if (folder.isEmpty() && layer.mask && !layer.snapshotName.isEmpty()) {
                folder = OVBrushPathImage::urlForFileName(layer.snapshotName);
                if (!layer.mask->waitForSnapshotFolder(layer.snapshotName)) {
                    folder = OVBrushPathImage::folderURL();
                    QString error;
                    if (!layer.mask->writeToURL(folder, &error)) {
                        pf::FileSystem::removeRecursively(folder, OVBrushPathImage::cacheFolder());
                        return failed(error);
                    }
                }
            }
            entries.push_back({layer.name, layer.values});
            masks.append(QVariantMap{{QStringLiteral("folder"), folder},
                                     {QStringLiteral("width"), layer.maskSize.width},
                                     {QStringLiteral("height"), layer.maskSize.height}});
        }
        QString error;
        const std::optional<QByteArray> content = GMDocumentArchive::archivedData(entries, &error);
        const auto data =
            content ? pf::PropertyList::toData(QVariantMap{{QStringLiteral("content"), *content},
                                                           {QStringLiteral("masks"), masks},
                                                           {QStringLiteral("taken"), snapshot->taken},
                                                           {QStringLiteral("picture"), snapshot->picture}},
                                               pf::PropertyList::Format::Binary, &error)
                    : std::nullopt;
        // A link planted in its place is replaced, never followed out of the working area.
        if (QFileInfo(path).isSymLink())
            QFile::remove(path);
        if (!data || !pf::FileSystem::writeFileAtomically(path, *data, &error))
            return failed(error);
        // Whole again: the record is as new as the document.
        if (QFileInfo::exists(marker) && !QFile::remove(marker))
            pf::warning(QStringLiteral("The out-of-date mark %1 could not be removed").arg(marker));
        pf::runOnMain([weak] {
            if (auto self = std::static_pointer_cast<GMDocument>(weak.lock()))
                self->noteRecoveryRecordWrite(QString(), false);
        });
    });
}

namespace {

// Whether the user was told that records cannot be written, since the last one that was.
bool& recordFailureTold()
{
    static bool told = false;
    return told;
}

} // namespace

void GMDocument::noteRecoveryRecordWrite(const QString& error, bool diskFull)
{
    if (error.isEmpty()) {
        recordFailureTold() = false;
        return;
    }
    if (recordFailureTold() || isClosing())
        return;
    recordFailureTold() = true;
    const QString area = QDir::toNativeSeparators(GMFileUtilities::applicationSupportDirectory());
    if (diskFull)
        presentError(
            QStringLiteral("Your changes are not being kept for recovery: the disk is full."),
            QStringLiteral("The latest changes of your documents are kept in the application's working "
                           "folder (%1), so that they come back if the application stops "
                           "unexpectedly. That disk has no space left: until you free some, the "
                           "changes you make would be lost if the application stopped. They are kept "
                           "again as soon as there is space.")
                .arg(area));
    else
        presentError(QStringLiteral("Your changes are not being kept for recovery."),
                     QStringLiteral("The latest changes of your documents could not be written to the "
                                    "application's working folder (%1): %2 Until they can, the changes you "
                                    "make would be lost if the application stopped unexpectedly.")
                         .arg(area, error.endsWith(u'.') ? error : error + u'.'));
}

void GMDocument::removeRecoveryRecord()
{
    m_recordRemoved = true;
    m_pendingRecord->removed = true;
    const QString path = recoveryRecordPath();
    if (!path.isEmpty())
        recordQueue().async([path] {
            QFile::remove(path);
            QFile::remove(recoveryFailureMarkerPath(path));
        });
}

pf::Size GMDocument::photoSize() const
{
    if (m_opening)
        return m_opening->size;
    return pf::Size(m_originalBitmap.width(), m_originalBitmap.height());
}

pf::Document::Recovery GMDocument::readRecoveryRecord(const QString& path)
{
    Recovery recovery;
    if (m_windowController)
        return recovery;
    const bool outOfDate = QFileInfo::exists(recoveryFailureMarkerPath(path));
    const auto notUsed = [&](const QString& why) {
        pf::warning(QStringLiteral("The recovery record %1 cannot be used: %2").arg(path, why));
        recovery.outcome = Recovery::Outcome::NotUsed;
        recovery.reason = why;
        return recovery;
    };
    if (!QFileInfo::exists(path))
        return outOfDate ? notUsed(QStringLiteral("its latest changes could not be written to disk"))
                         : recovery;
    // "Without the kept edits" means without the changes made after them too.
    if (m_keptEditsDeclined) {
        recovery.outcome = Recovery::Outcome::Declined;
        return recovery;
    }
    QString error;
    const std::optional<QVariant> record = pf::PropertyList::fromFile(path, &error);
    if (!record)
        return notUsed(QStringLiteral("its record of the latest changes cannot be read"));
    const QVariantMap map = record->toMap();
    std::optional<std::vector<GMDocumentPackage::Layer>> layers =
        GMDocumentPackage::readArchive(map.value(QStringLiteral("content")).toByteArray(), &error);
    const QVariantList masks = map.value(QStringLiteral("masks")).toList();
    if (!layers || size_t(masks.size()) != layers->size())
        return notUsed(QStringLiteral("its record of the latest changes is damaged"));
    const pf::Size photo = photoSize();
    for (size_t k = 0; k < layers->size(); ++k) {
        const QVariantMap mask = masks[qsizetype(k)].toMap();
        const QString recorded = mask.value(QStringLiteral("folder")).toString();
        const pf::Size size(mask.value(QStringLiteral("width")).toDouble(),
                            mask.value(QStringLiteral("height")).toDouble());
        QString folder = rescuedFolder(recorded);
        if (!recorded.isEmpty() && folder.isEmpty())
            return notUsed(
                QStringLiteral("the latest strokes of the layer “%1” are missing").arg((*layers)[k].name));
        if (!folder.isEmpty() && !insideWorkingArea(folder))
            return notUsed(
                QStringLiteral("its record names a folder outside the application's working folder"));
        if (recorded.isEmpty() && !blueprintCatalog().effectBlueprintWithName((*layers)[k].name))
            continue; // an unknown effect's layer that had no folder has none still
        // Masks are made for the photo they lie over: over a photo of another size (changed since, or a
        // damaged record) their strokes would land in the wrong places.
        if (!(size.width > 0 && size.height > 0 && size.width < 1e6 && size.height < 1e6))
            return notUsed(QStringLiteral("its record of the latest changes is damaged"));
        if (std::round(size.width) != std::round(photo.width) ||
            std::round(size.height) != std::round(photo.height))
            return notUsed(QStringLiteral("its layers were made for a picture of %1 x %2 pixels, and the "
                                          "picture is now %3 x %4 pixels")
                               .arg(std::round(size.width))
                               .arg(std::round(size.height))
                               .arg(std::round(photo.width))
                               .arg(std::round(photo.height)));
        // A snapshot folder holds the pictures; the mask's size goes beside them. A layer never painted
        // gets an empty mask of its size.
        if (folder.isEmpty() || !QFileInfo::exists(folder + QStringLiteral("/content"))) {
            if (folder.isEmpty())
                folder = OVBrushPathImage::folderURL();
            const QVariantMap content{{QStringLiteral("width"), double(float(size.width))},
                                      {QStringLiteral("height"), double(float(size.height))}};
            const auto data = pf::PropertyList::toData(content, pf::PropertyList::Format::Xml, &error);
            if (!data || !pf::FileSystem::createDirectory(folder, &error) ||
                !pf::FileSystem::writeFileAtomically(folder + QStringLiteral("/content"), *data, &error))
                return notUsed(error);
        }
        (*layers)[k].maskFolder = folder;
    }
    // Masks are made for the picture they lie over: over another one of the same size (the file
    // replaced since, a card back with another photo of that name) the user decides. A record without
    // layers lays nothing over it.
    bool declined = false;
    QString reason;
    if (!layers->empty() &&
        !recordFitsPicture(map.value(QStringLiteral("picture")).toMap(), &declined, &reason)) {
        if (!declined)
            return notUsed(reason);
        recovery.outcome = Recovery::Outcome::Declined;
        return recovery;
    }
    std::vector<PendingLayer> pending;
    std::vector<ForeignLayer> foreign;
    QStringList unknown;
    if (!collectLayers(*layers, false, pending, foreign, unknown, &error))
        return notUsed(error);
    // The masks are read now, side by side, so that what the user is told of this work is true: a
    // snapshot that does not read shows empty, and is said to with the rest.
    std::vector<std::future<MaskRead>> reads;
    for (const PendingLayer& layer : pending)
        if (!layer.olderStrokes)
            reads.push_back(std::async(
                std::launch::async, [folder = layer.maskFolder, photo] { return readMask(folder, photo); }));
    QStringList unread;
    size_t next = 0;
    for (size_t k = 0; k < pending.size(); ++k) {
        if (pending[k].olderStrokes)
            continue;
        pending[k].read = std::make_shared<MaskRead>(reads[next++].get());
        if (!pending[k].read->problem.isEmpty())
            unread.append(
                QStringLiteral("“%1” (layer %2)").arg(pending[k].blueprint->displayName()).arg(k + 1));
    }
    m_pendingLayers = std::move(pending);
    m_foreignLayers = std::move(foreign);
    const QString damaged =
        unread.isEmpty()
            ? QString()
            : QStringLiteral(
                  "the latest strokes of %1 could not be read and show empty; their files are kept "
                  "as they are, and saved unchanged until you paint on these layers")
                  .arg(unread.join(QStringLiteral(", ")));
    if (!outOfDate) {
        recovery.outcome = Recovery::Outcome::Restored;
        recovery.reason = damaged;
        return recovery;
    }
    recovery.outcome = Recovery::Outcome::RestoredEarlier;
    recovery.complete = map.value(QStringLiteral("taken")).toDateTime();
    recovery.reason = QStringLiteral("the changes after that could not be written to disk");
    if (!damaged.isEmpty())
        recovery.reason += QStringLiteral(", and ") + damaged;
    return recovery;
}

GMDocument::Picture GMDocument::pictureAsRead()
{
    // A picture decoded in the background has its digest once decoded; asked before (at the restart),
    // it is worked out now, from the file or from the original the package keeps.
    if (!m_picture.digest.isEmpty())
        return m_picture;
    if (m_picture.fromFile) {
        if (!fileURL().isEmpty())
            m_picture.digest = digestOfFile(fileURL());
    } else {
        std::lock_guard lock(m_jpegMutex);
        m_picture.digest = digestOf(m_originalLossless.isEmpty() ? m_originalJPEG : m_originalLossless);
    }
    return m_picture;
}

bool GMDocument::recordFitsPicture(const QVariantMap& recorded, bool* declined, QString* reason)
{
    *declined = false;
    // Records of earlier versions say nothing of their picture; untitled documents' pictures are the
    // application's own (a sample, an autosave); a record made before the document was saved under
    // another name identifies the file it had then, which the save itself replaced.
    if (recorded.isEmpty() || fileURL().isEmpty() ||
        recorded.value(QStringLiteral("document")).toString() != fileURL())
        return true;
    const Picture then = Picture::fromMap(recorded);
    const Picture now = pictureAsRead();
    if (!then.digest.isEmpty() && then.digest == now.digest && then.size == now.size)
        return true;
    if (then.fromFile && !now.fromFile) {
        // Made over the photo file, read now from its kept edits, which autosaves and saves wrote from
        // that very picture: they fit, unless the user chose kept edits made over another state of
        // the file than the one the record's layers were made over.
        if (!m_keptEditsChosen)
            return true;
        const bool sameState = then.time.toMSecsSinceEpoch() == m_keptEditsFileTime.toMSecsSinceEpoch() &&
                               (m_keptEditsFileSize < 0 || then.size == m_keptEditsFileSize);
        if (sameState)
            return true;
        *reason = QStringLiteral("its latest changes were made over the file as it was, not over the kept "
                                 "edits you chose to open");
        return false;
    }
    const QString name = QFileInfo(fileURL()).fileName();
    pf::Alert alert;
    alert.messageText = QStringLiteral("“%1” was changed by another program.").arg(name);
    alert.informativeText = QStringLiteral(
        "Your latest changes to it, of a few seconds before the application stopped, were made "
        "over the picture as it was then, and the file now holds another one (another program "
        "may have replaced it, or a card holds another photo of that name). Open the file as it "
        "is now with your changes laid over it, or without them?");
    alert.addButton(QStringLiteral("Open with My Changes"));
    alert.addButton(QStringLiteral("Open the File as It Is"));
    if (alert.runModal() == pf::Alert::firstButtonReturn)
        return true;
    *declined = true;
    return false;
}
