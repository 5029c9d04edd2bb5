#include "Classes/Document/GMDocumentPackage.h"

#include "Classes/Document/GMDocumentArchive.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Image/ImageFile.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QScopeGuard>
#include <exception>
#include <fcntl.h>
#include <future>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

const QString GMDocumentPackage::extension = QStringLiteral("glimora");
const QString GMDocumentPackage::typeName = QStringLiteral("GlimoraFairlit");

namespace {

// The largest archive or original read into memory; a package is the user's own, but a damaged one
// must not exhaust memory.
constexpr qint64 maximumFileSize = qint64(1) << 30;

std::mutex& faultMutex()
{
    static std::mutex mutex;
    return mutex;
}
std::function<bool(const QString&)>& faultInjection()
{
    static std::function<bool(const QString&)> function;
    return function;
}

bool stepAllowed(const QString& step, QString* errorMessage)
{
    std::function<bool(const QString&)> allow;
    {
        std::lock_guard lock(faultMutex());
        allow = faultInjection();
    }
    if (!allow || allow(step))
        return true;
    if (errorMessage)
        *errorMessage = QStringLiteral("Writing the %1 failed (injected).").arg(step);
    return false;
}

bool fail(QString* errorMessage, const QString& message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

// Hard-links `source` to `target`, or copies it where the two are on different file systems.
bool linkOrCopy(const QString& source, const QString& target, QString* errorMessage)
{
    QFile::remove(target);
    if (::link(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    QFile file(source);
    if (file.copy(target))
        return true;
    return fail(errorMessage, QStringLiteral("Could not link or copy \"%1\" to \"%2\": %3")
                                  .arg(source, target, file.errorString()));
}

// Links every file of a snapshot folder into `target`, keeping its sub-folders. A source that is gone
// (the working area removed under the application) is a failure, never an empty folder.
bool linkTree(const QString& source, const QString& target, QString* errorMessage)
{
    const QFileInfo root(source);
    if (!root.isDir() || root.isSymLink())
        return fail(errorMessage, QStringLiteral("\"%1\" is missing").arg(source));
    if (!pf::FileSystem::createDirectory(target, errorMessage))
        return false;
    QDirIterator it(source, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString destination = target + path.mid(source.size());
        if (info.isSymLink())
            continue; // snapshot folders hold none; never follow one out
        if (info.isDir()) {
            if (!pf::FileSystem::createDirectory(destination, errorMessage))
                return false;
        } else if (!linkOrCopy(path, destination, errorMessage)) {
            return false;
        }
    }
    return true;
}

// The files a mask folder holds, relative to it.
const QStringList maskFiles{QStringLiteral("content"), QStringLiteral("imageContainer/content"),
                            QStringLiteral("imageContainer/image.png"),
                            QStringLiteral("additionalImageContainer/content"),
                            QStringLiteral("additionalImageContainer/image.png")};

// Copies the mask files of a folder reached through a link (and only those: a link may lead anywhere)
// into `target`, as they are.
bool copyMaskFiles(const QString& source, const QString& target, QString* errorMessage)
{
    for (const QString& file : maskFiles) {
        const QFileInfo info(source + u'/' + file);
        if (!info.isFile() || info.isSymLink())
            continue;
        const QString destination = target + u'/' + file;
        if (!pf::FileSystem::createDirectory(QFileInfo(destination).absolutePath(), errorMessage))
            return false;
        QFile::remove(destination);
        if (!QFile::copy(info.absoluteFilePath(), destination))
            return fail(errorMessage, QStringLiteral("Could not copy \"%1\"").arg(info.absoluteFilePath()));
    }
    return pf::FileSystem::createDirectory(target, errorMessage);
}

// Whether the linked folder holds a picture for each of the container's pictures.
bool holdsPictures(const QString& folder, const OVContentContainerPtr& container)
{
    if (!container)
        return true;
    const auto holds = [&](const OVImageContainerPtr& picture, const QString& sub) {
        return !picture || picture->isEmpty() ||
               QFileInfo(folder + u'/' + sub + QStringLiteral("/image.png")).isFile();
    };
    return holds(container->imageContainer(), QStringLiteral("imageContainer")) &&
           holds(container->additionalImageContainer(), QStringLiteral("additionalImageContainer"));
}

bool writeMaskFolder(const GMDocumentPackage::Layer& layer, const QString& folder, QString* errorMessage)
{
    if (!stepAllowed(QStringLiteral("mask"), errorMessage))
        return false;
    if (!layer.verbatimFolder.isEmpty()) {
        // A mask that could not be read, or the layer of an effect this version does not know: its
        // folder goes on as it was, whatever it holds.
        QString error;
        if (linkTree(layer.verbatimFolder, folder, &error))
            return true;
        // Not at hand any more: the layer's mask as read goes on instead, and the rest of the
        // document is saved. An unknown effect's folder has nothing to stand in for it.
        if (!layer.mask)
            return fail(errorMessage,
                        QStringLiteral("The kept folder of the layer “%1” could not be carried over: %2")
                            .arg(layer.name, error));
        pf::warning(
            QStringLiteral("The kept folder of the layer \"%1\" cannot be carried over (%2); its mask is "
                           "saved as it was read")
                .arg(layer.name, error));
        pf::FileSystem::removeRecursively(folder, QFileInfo(folder).absolutePath());
    }
    if (!pf::FileSystem::createDirectory(folder, errorMessage))
        return false;
    const QVariantMap content{{QStringLiteral("width"), double(float(layer.maskSize.width))},
                              {QStringLiteral("height"), double(float(layer.maskSize.height))}};
    const auto data = pf::PropertyList::toData(content, pf::PropertyList::Format::Xml, errorMessage);
    if (!data ||
        !pf::FileSystem::writeFileAtomically(folder + QStringLiteral("/content"), *data, errorMessage))
        return false;
    if (layer.mask && !layer.snapshotName.isEmpty() &&
        layer.mask->waitForSnapshotFolder(layer.snapshotName)) {
        QString linkError;
        if (linkTree(OVBrushPathImage::urlForFileName(layer.snapshotName), folder, &linkError)) {
            if (holdsPictures(folder, layer.container))
                return true;
            linkError = QStringLiteral("its pictures are missing from the working area");
        }
        pf::warning(
            QStringLiteral("The mask snapshot cannot be linked (%1); it is written again").arg(linkError));
    }
    const OVContentContainerPtr container =
        layer.container ? layer.container : std::make_shared<OVContentContainer>();
    return container->writeToFolder(folder, errorMessage);
}

void linkQuickLook(const QString& package, const QString& name, const QString& what)
{
    const QString source = package + QStringLiteral("/preview.jpg");
    const QString target = package + QStringLiteral("/QuickLook/") + name;
    QString error;
    if (!linkOrCopy(source, target, &error))
        pf::warning(QStringLiteral("Could not link/copy QuickLook-%1 (%2->%3), because %4")
                        .arg(what, source, target, error));
}

// Whether a package's entry is the name its photo's own file is kept under.
bool isOwnOriginalName(const QString& name)
{
    return name.startsWith(QLatin1String("original.")) && name.size() > 9 &&
           !name.endsWith(QLatin1String(".kept"));
}

QByteArray readLimited(const QString& path, QString* errorMessage)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(errorMessage,
             QStringLiteral("\"%1\" cannot be read: %2").arg(QFileInfo(path).fileName(), file.errorString()));
        return {};
    }
    if (file.size() > maximumFileSize) {
        fail(errorMessage, QStringLiteral("\"%1\" is too large.").arg(QFileInfo(path).fileName()));
        return {};
    }
    return file.readAll();
}

// The size of the picture in `data` as it shows upright, from its header alone; empty with the
// reader's message when the header does not make it out.
QSize uprightSize(const QByteArray& data, QString* errorMessage)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (!reader.canRead() || size.isEmpty()) {
        fail(errorMessage, reader.errorString());
        return {};
    }
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

// What a decoder says of a picture it could not read, in words for the user: it often says nothing.
QString readableReason(const QString& decoder)
{
    return decoder.isEmpty() || decoder == QLatin1String("Unknown error")
               ? QStringLiteral("it does not decode, being damaged or cut short")
               : decoder;
}

// Guards the leftovers beside packages: a clean-up never takes a folder while a save of this process
// creates, locks or swaps it.
std::mutex& leftoverMutex()
{
    static std::mutex mutex;
    return mutex;
}

// A save's fresh folder, locked while the save runs: a clean-up (of this process or another) leaves a
// locked folder alone. The lock goes with the descriptor, also when the process is killed.
class FreshFolder
{
public:
    ~FreshFolder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool lock(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        return m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }

private:
    int m_fd = -1;
};

// Removes the leftovers of this package's interrupted saves (never those of another name, nor a folder
// a running save holds), after putting back a package that a kill left aside. Under leftoverMutex().
void clearLeftoversLocked(const QString& path)
{
    const QFileInfo target(path);
    const QString parent = target.absolutePath();
    const QString name = target.fileName();
    QString error;
    if (!pf::FileSystem::restoreInterruptedReplacement(target.absoluteFilePath(), &error) && !error.isEmpty())
        pf::error(error);
    const bool targetExists = QFileInfo::exists(target.absoluteFilePath());
    for (const QString& entry :
         QDir(parent).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)) {
        const bool saving = pf::FileSystem::isHelperName(entry, name, QStringLiteral("saving"));
        const bool old = targetExists && pf::FileSystem::isHelperName(entry, name, QStringLiteral("old"));
        if (!saving && !old)
            continue;
        const QString leftover = parent + u'/' + entry;
        FreshFolder held;
        if (saving && !held.lock(leftover))
            continue; // a save is writing it
        if (!pf::FileSystem::removeRecursively(leftover, parent, &error))
            pf::warning(error);
    }
}

// Whether the bytes are a property list, as every keyed archive is: the older single file, damaged or
// not, as opposed to some other file given the document's name.
bool looksLikePropertyList(const QByteArray& data)
{
    const QByteArray start = data.left(64).trimmed();
    return start.startsWith("bplist") || start.startsWith("<?xml") || start.startsWith("<plist");
}

// The single file of the older form: one archive holding the original picture (as an archived image
// object) and the layers' settings, whose masks are painted again from their strokes.
std::optional<GMDocumentPackage::Contents> readOlderSingleFile(const QString& path, QString* errorMessage,
                                                               GMDocumentPackage::Original original)
{
    const QString name = QFileInfo(path).fileName();
    const QByteArray data = readLimited(path, errorMessage);
    if (data.isEmpty()) {
        if (errorMessage && errorMessage->isEmpty())
            *errorMessage = QStringLiteral("“%1” is empty.").arg(name);
        return std::nullopt;
    }
    if (!looksLikePropertyList(data)) {
        fail(errorMessage, QStringLiteral("“%1” is not a document of this application.").arg(name));
        return std::nullopt;
    }
    QString error;
    std::optional<GMDocumentArchive::OlderDocument> older = GMDocumentArchive::olderDocument(data, &error);
    if (!older) {
        fail(errorMessage, QStringLiteral("“%1” cannot be opened: it is damaged, or not a document of this "
                                          "application. %2 The file was left unchanged.")
                               .arg(name, error));
        return std::nullopt;
    }

    GMDocumentPackage::Contents contents;
    contents.olderSingleFile = true;
    // The first picture the decoder reads is the original: a JPEG's bytes as the JPEG, any other kind
    // as the lossless original (once decoded, bytes of a kind other than PNG are let go, to be kept
    // as a PNG when saved). A large one is decoded by the caller, in the background, as in a package.
    bool found = false;
    for (const QByteArray& picture : older->pictures) {
        QString ignored;
        contents.originalSize = uprightSize(picture, &ignored);
        if (contents.originalSize.isEmpty())
            continue;
        QBuffer buffer;
        buffer.setData(picture);
        buffer.open(QIODevice::ReadOnly);
        const bool jpeg = QImageReader::imageFormat(&buffer) == "jpeg";
        contents.originalJPEG = jpeg ? picture : QByteArray();
        contents.originalLossless = jpeg ? QByteArray() : picture;
        if (original == GMDocumentPackage::Original::Decoded &&
            !GMDocumentPackage::decodeOriginal(contents, path, &ignored))
            continue;
        found = true;
        break;
    }
    if (!found) {
        fail(errorMessage,
             QStringLiteral("“%1” was made by an older version of the application as a single file, and it "
                            "holds no picture this version can read. The file was left unchanged.")
                 .arg(name));
        return std::nullopt;
    }
    for (GMDocumentArchive::Entry& entry : older->layers) {
        GMDocumentPackage::Layer layer;
        layer.name = std::move(entry.name);
        layer.values = std::move(entry.values);
        contents.layers.push_back(std::move(layer));
    }
    return contents;
}

} // namespace

void GMDocumentPackage::setFaultInjectionForTesting(std::function<bool(const QString&)> allow)
{
    std::lock_guard lock(faultMutex());
    faultInjection() = std::move(allow);
}

pf::SerialQueue& GMDocumentPackage::documentQueue()
{
    // Never destroyed: masks still queued at exit are written.
    static auto* queue = new pf::SerialQueue(QStringLiteral("org.glimora.Glimora.documentQueue"));
    return *queue;
}

void GMDocumentPackage::registerArchiveClasses()
{
    GMDocumentArchive::registerArchiveClasses();
}

bool GMDocumentPackage::hasOlderBrushSettings(const QVariantMap& values)
{
    return GMDocumentArchive::hasOlderBrushSettings(values);
}

bool GMDocumentPackage::write(const Contents& contents, const QString& path, QString* errorMessage)
{
    registerArchiveClasses();
    const QFileInfo target(path);
    const QString parent = target.absolutePath();
    const QString name = target.fileName();
    if (contents.originalJPEG.isEmpty())
        return fail(errorMessage, QStringLiteral("There is no original picture to save."));
    if (!stepAllowed(QStringLiteral("folder"), errorMessage) ||
        !pf::FileSystem::createDirectory(parent, errorMessage))
        return false;

    // Leftovers of saves that were interrupted (the process killed) go first.
    FreshFolder held;
    const QString fresh =
        parent + u'/' + pf::FileSystem::helperPrefix(name, QStringLiteral("saving")) + pf::randomName(10);
    {
        std::lock_guard lock(leftoverMutex());
        clearLeftoversLocked(path);
        if (!pf::FileSystem::createDirectory(fresh, errorMessage))
            return false;
        if (!held.lock(fresh)) {
            pf::FileSystem::removeRecursively(fresh, parent);
            return fail(errorMessage,
                        QStringLiteral("The folder for saving “%1” could not be locked.").arg(name));
        }
    }
    const auto discard = [&](const QString& message = QString()) {
        if (!message.isEmpty() && errorMessage)
            *errorMessage = message;
        QString error;
        if (!pf::FileSystem::removeRecursively(fresh, parent, &error))
            pf::warning(error);
        return false;
    };

    if (!stepAllowed(QStringLiteral("image"), errorMessage) ||
        !pf::FileSystem::writeFileAtomically(fresh + QStringLiteral("/image.jpg"), contents.originalJPEG,
                                             errorMessage))
        return discard();
    const QString losslessName = contents.losslessName.isEmpty()
                                     ? GMDocumentPackage::losslessEntryName(contents.originalLossless)
                                     : contents.losslessName;
    if ((!contents.originalLossless.isEmpty() || contents.losslessDamaged) &&
        (!stepAllowed(QStringLiteral("image"), errorMessage) ||
         !pf::FileSystem::writeFileAtomically(fresh + u'/' + losslessName, contents.originalLossless,
                                              errorMessage)))
        return discard();

    // Masks are written on the document queue while the previews and the archive are made here.
    struct MaskResult
    {
        std::promise<QString> done; // empty: written
    };
    std::vector<std::shared_ptr<MaskResult>> masks;
    const auto waitForMasks = [&]() -> QString {
        QString firstError;
        for (const auto& mask : masks) {
            const QString error = mask->done.get_future().get();
            if (firstError.isEmpty() && !error.isEmpty())
                firstError = error;
        }
        masks.clear();
        return firstError;
    };
    // No way out of here leaves a task reading `contents`.
    const auto waitOnExit = qScopeGuard([&] { waitForMasks(); });
    for (size_t k = 0; k < contents.layers.size(); ++k) {
        auto result = std::make_shared<MaskResult>();
        masks.push_back(result);
        // Borrowed, not copied: a layer's mask belongs to the main thread (its destructor withdraws
        // its undo actions), and a copy held by the task could outlive the caller's reference, the
        // task being let go only after it has told its result.
        const Layer* layer = &contents.layers[k];
        const QString folder = fresh + QStringLiteral("/layer_%1").arg(k + 1);
        documentQueue().async([layer, folder, result] {
            QString error;
            bool written = false;
            try {
                written = writeMaskFolder(*layer, folder, &error);
            } catch (const std::exception& exception) {
                error = QString::fromLocal8Bit(exception.what());
            } catch (...) {
            }
            result->done.set_value(written           ? QString()
                                   : error.isEmpty() ? QStringLiteral("unknown failure")
                                                     : error);
        });
    }

    if (!contents.preview.isNull()) {
        const QByteArray preview = pf::ImageFile::encodeJPEG(contents.preview, 0.85);
        QString error;
        if (!stepAllowed(QStringLiteral("preview"), &error) || preview.isEmpty() ||
            !pf::FileSystem::writeFileAtomically(fresh + QStringLiteral("/preview.jpg"), preview, &error)) {
            waitForMasks();
            return discard(QStringLiteral("The preview could not be written: %1").arg(error));
        }
        if (pf::FileSystem::createDirectory(fresh + QStringLiteral("/QuickLook"))) {
            linkQuickLook(fresh, QStringLiteral("Preview.jpg"), QStringLiteral("Preview"));
            linkQuickLook(fresh, QStringLiteral("Thumbnail.jpg"), QStringLiteral("Thumbnail"));
        } else {
            pf::warning(QStringLiteral("Could not create the QuickLook folder of %1").arg(path));
        }
    }

    // What the user put into the package goes on as it is; a name this save writes itself keeps it
    // beside, under another name.
    QStringList written{QStringLiteral("image.jpg"), losslessName, QStringLiteral("preview.jpg"),
                        QStringLiteral("QuickLook"), QStringLiteral("content")};
    for (size_t k = 0; k < contents.layers.size(); ++k)
        written.append(QStringLiteral("layer_%1").arg(k + 1));
    for (const auto& [name, source] : contents.extras) {
        QString entry = name;
        while (written.contains(entry))
            entry += QStringLiteral(".kept");
        written.append(entry);
        QString error;
        const bool carried = QFileInfo(source).isDir() ? linkTree(source, fresh + u'/' + entry, &error)
                                                       : linkOrCopy(source, fresh + u'/' + entry, &error);
        if (!carried) {
            waitForMasks();
            return discard(
                QStringLiteral("“%1”, which is kept in the document, could not be carried over: %2")
                    .arg(name, error));
        }
    }

    std::vector<GMDocumentArchive::Entry> entries;
    for (const Layer& layer : contents.layers)
        entries.push_back({layer.name, layer.values});
    QString archiveError;
    const std::optional<QByteArray> archive = GMDocumentArchive::archivedData(entries, &archiveError);
    const QString maskError = waitForMasks();
    if (!maskError.isEmpty())
        return discard(QStringLiteral("A layer's mask could not be written: %1").arg(maskError));
    if (!archive)
        return discard(QStringLiteral("The layers' settings cannot be stored: %1").arg(archiveError));
    if (!stepAllowed(QStringLiteral("content"), errorMessage) ||
        !pf::FileSystem::writeFileAtomically(fresh + QStringLiteral("/content"), *archive, errorMessage))
        return discard();

    if (!stepAllowed(QStringLiteral("swap"), errorMessage))
        return discard();
    std::lock_guard lock(leftoverMutex());
    if (!pf::FileSystem::replaceDirectoryAtomically(path, fresh, errorMessage))
        return discard();
    return true;
}

void GMDocumentPackage::clearLeftovers(const QString& path)
{
    std::lock_guard lock(leftoverMutex());
    clearLeftoversLocked(path);
}

QString GMDocumentPackage::keepFolder(const QString& folder, QString* errorMessage)
{
    QString kept = OVBrushPathImage::folderURL();
    if (!pf::FileSystem::createDirectory(OVBrushPathImage::cacheFolder(), errorMessage))
        return {};
    const bool linked = QFileInfo(folder).isSymLink();
    if (!(linked ? copyMaskFiles(folder, kept, errorMessage) : linkTree(folder, kept, errorMessage))) {
        pf::FileSystem::removeRecursively(kept, OVBrushPathImage::cacheFolder());
        return {};
    }
    return kept;
}

QString GMDocumentPackage::keepEntry(const QString& path, QString* errorMessage)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        fail(errorMessage, QStringLiteral("\"%1\" is a link").arg(info.fileName()));
        return {};
    }
    const QString holder = OVBrushPathImage::folderURL();
    if (!pf::FileSystem::createDirectory(holder, errorMessage))
        return {};
    const QString kept = holder + u'/' + info.fileName();
    if (!(info.isDir() ? linkTree(path, kept, errorMessage) : linkOrCopy(path, kept, errorMessage))) {
        pf::FileSystem::removeRecursively(holder, OVBrushPathImage::cacheFolder());
        return {};
    }
    return kept;
}

std::optional<std::vector<GMDocumentPackage::Layer>> GMDocumentPackage::readArchive(const QByteArray& data,
                                                                                    QString* errorMessage)
{
    const auto entries = GMDocumentArchive::entries(data, errorMessage);
    if (!entries)
        return std::nullopt;
    std::vector<Layer> layers;
    for (const GMDocumentArchive::Entry& entry : *entries) {
        Layer layer;
        layer.name = entry.name;
        layer.values = entry.values;
        layers.push_back(std::move(layer));
    }
    return layers;
}

std::optional<GMDocumentPackage::Contents> GMDocumentPackage::read(const QString& path, QString* errorMessage,
                                                                   Original original)
{
    // A save killed before it finished leaves its hidden folder (or, where folders cannot be
    // exchanged, the package itself set aside): both are settled before anything is read.
    clearLeftovers(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        fail(errorMessage, QStringLiteral("The document “%1” does not exist.").arg(info.fileName()));
        return std::nullopt;
    }
    if (!info.isDir())
        return readOlderSingleFile(path, errorMessage, original);
    const QString folder = info.absoluteFilePath();
    const QByteArray archive = readLimited(folder + QStringLiteral("/content"), errorMessage);
    if (archive.isEmpty()) {
        if (errorMessage && errorMessage->isEmpty())
            *errorMessage = QStringLiteral("The document's layer list is empty.");
        return std::nullopt;
    }
    std::optional<std::vector<Layer>> layers = readArchive(archive, errorMessage);
    if (!layers)
        return std::nullopt;

    Contents contents;
    // The lossless original where there is one; the JPEG, which every version writes, otherwise.
    // A lossless original that does not decode is never let go for the JPEG: its bytes are kept as they
    // are (the user is told, and every save carries them); one that cannot even be read refuses the
    // document, since it could not be carried.
    // The photo's own file, where the package holds it, else the PNG made of it.
    QString losslessName = QStringLiteral("image.png");
    for (const QString& entry :
         QDir(folder).entryList({QStringLiteral("original.*")}, QDir::Files, QDir::Name))
        if (isOwnOriginalName(entry)) {
            losslessName = entry;
            break;
        }
    const QString lossless = folder + u'/' + losslessName;
    if (QFileInfo::exists(lossless)) {
        contents.losslessName = losslessName;
        QString losslessError;
        contents.originalLossless = readLimited(lossless, &losslessError);
        if (contents.originalLossless.isEmpty() && QFileInfo(lossless).size() != 0) {
            fail(errorMessage,
                 QStringLiteral("The document's untouched original cannot be read: %1").arg(losslessError));
            return std::nullopt;
        }
        if (contents.originalLossless.isEmpty())
            losslessError = QStringLiteral("the file is empty");
        else if (original == Original::Checked)
            contents.originalSize = uprightSize(contents.originalLossless, &losslessError);
        if (contents.originalLossless.isEmpty() ||
            (original == Original::Checked && contents.originalSize.isEmpty())) {
            contents.losslessDamaged = true;
            contents.losslessProblem = readableReason(losslessError);
            pf::warning(
                QStringLiteral("The lossless original of \"%1\" is damaged (%2); it is kept as it is and "
                               "the picture is read from its JPEG")
                    .arg(path, losslessError));
        }
    }
    contents.originalJPEG = readLimited(folder + QStringLiteral("/image.jpg"), errorMessage);
    if (contents.originalJPEG.isEmpty() && contents.originalLossless.isEmpty()) {
        if (errorMessage && errorMessage->isEmpty())
            *errorMessage =
                QStringLiteral("The document is damaged: its original picture “image.jpg” is empty.");
        return std::nullopt;
    }
    if (original == Original::Decoded) {
        if (!decodeOriginal(contents, path, errorMessage))
            return std::nullopt;
    } else if (contents.originalLossless.isEmpty() || contents.losslessDamaged) {
        QString error;
        contents.originalSize = uprightSize(contents.originalJPEG, &error);
        if (contents.originalSize.isEmpty()) {
            fail(errorMessage,
                 QStringLiteral("The document's original picture cannot be read: %1").arg(error));
            return std::nullopt;
        }
    }
    const pf::Bitmap preview = pf::ImageFile::read(folder + QStringLiteral("/QuickLook/Preview.jpg"));
    if (!preview.isNull())
        contents.loadPreview = preview.toQImage();
    for (size_t k = 0; k < layers->size(); ++k)
        (*layers)[k].maskFolder = folder + QStringLiteral("/layer_%1").arg(k + 1);
    // Whatever else is in it is the user's: carried by the saves to come.
    QStringList known{QStringLiteral("image.jpg"), losslessName, QStringLiteral("preview.jpg"),
                      QStringLiteral("QuickLook"), QStringLiteral("content")};
    for (size_t k = 0; k < layers->size(); ++k)
        known.append(QStringLiteral("layer_%1").arg(k + 1));
    for (const QString& entry :
         QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (!known.contains(entry))
            contents.extras.emplace_back(entry, folder + u'/' + entry);
    contents.layers = std::move(*layers);
    return contents;
}

bool GMDocumentPackage::decodeOriginal(Contents& contents, const QString& path, QString* errorMessage)
{
    if (!contents.originalLossless.isEmpty() && !contents.losslessDamaged) {
        QString error;
        contents.original = pf::ImageFile::readData(
            contents.originalLossless, &error, pf::ImageFile::Precision::Exact, &contents.originalReduction);
        if (contents.original.isNull()) {
            if (contents.olderSingleFile) {
                contents.originalLossless.clear(); // no picture of that file: the caller tries the next
            } else {
                pf::warning(
                    QStringLiteral("The lossless original of \"%1\" is damaged (%2); it is kept as it "
                                   "is and the picture is read from its JPEG")
                        .arg(path, error));
                contents.losslessDamaged = true;
                contents.losslessProblem = readableReason(error);
            }
        }
    }
    if (contents.original.isNull()) {
        if (contents.originalJPEG.isEmpty())
            return fail(
                errorMessage,
                QStringLiteral("The document is damaged: its original picture “image.jpg” is empty."));
        QString error;
        contents.original = pf::ImageFile::readData(
            contents.originalJPEG, &error, pf::ImageFile::Precision::Exact, &contents.originalReduction);
        if (contents.original.isNull())
            return fail(errorMessage,
                        QStringLiteral("The document's original picture cannot be read: %1").arg(error));
    }
    contents.originalSize = QSize(contents.original.width(), contents.original.height());
    return true;
}

QString GMDocumentPackage::losslessEntryName(const QByteArray& original)
{
    QBuffer buffer;
    buffer.setData(original);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (format.isEmpty() || format == "png")
        return QStringLiteral("image.png");
    // The kind's usual extension, so that the file says what it is to whoever opens the package.
    static const std::map<QByteArray, QString> extensions{{"tiff", QStringLiteral("tif")},
                                                          {"jpeg", QStringLiteral("jpg")}};
    const auto known = extensions.find(format);
    return QStringLiteral("original.") +
           (known != extensions.end() ? known->second : QString::fromLatin1(format));
}
