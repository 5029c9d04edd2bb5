#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/OperationQueue.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderContext.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cmath>
#include <malloc.h>
#include <utility>

using namespace pf;

namespace {

const QString DrawSegment = QStringLiteral("Draw Segment");

// The process-wide queue of snapshot writes; never destroyed, so writes queued at exit can finish.
OperationQueue& writeQueue()
{
    static auto* queue = new OperationQueue();
    return *queue;
}

// Lets go of a snapshot on the write queue's thread: the last reference to a mask of a large photo
// frees tens of megabytes, which costs the interface's thread several milliseconds at brush-up.
void releaseInBackground(OVContentContainerPtr container)
{
    if (!container)
        return;
    auto held = std::make_shared<OVContentContainerPtr>(std::move(container));
    writeQueue().addOperation([held] { held->reset(); });
}

// Snapshot writes are numbered as they are queued; those numbered below `abandonedBelow` are skipped
// when their turn comes (abandonPendingWrites). `begun` counts the writes under way, guarded by
// `beganMutex` together with the decision to begin.
std::atomic<quint64> writesQueued = 0;
std::atomic<quint64> abandonedBelow = 0;
std::mutex beganMutex;
std::condition_variable beganDone;
int begun = 0;

// The mask painted or undone last (set on the main thread): the only one holding the snapshot its undo
// shows next. Atomic because a mask read on an opening thread may be destroyed there.
std::atomic<OVBrushPathImage*> lastPainted = nullptr;

} // namespace

OVBrushPathImage::OVBrushPathImage(const Size& size) : m_size(size) {}

OVBrushPathImage::OVBrushPathImage(const Size& size, OVContentContainerPtr container) : m_size(size)
{
    // Not painted, and perhaps made on an opening thread while the interface paints another mask: the
    // painted one keeps its snapshot. (Nobody is told yet, and there is no undo to register.)
    push(std::move(container), nullptr);
}

OVBrushPathImage::~OVBrushPathImage()
{
    OVBrushPathImage* self = this;
    lastPainted.compare_exchange_strong(self, nullptr);
    for (const auto& registered : m_registeredWith) {
        if (const auto manager = registered.lock())
            manager->removeAllActionsWithTarget(this);
    }
}

std::unique_ptr<OVBrushPathImage> OVBrushPathImage::readFromFolder(const QString& folder, QString* problem)
{
    QString reason;
    OVContentContainerPtr container = OVContentContainer::readFromFolder(folder, &reason);
    if (!reason.isEmpty() && !QFileInfo::exists(folder))
        pf::error(QStringLiteral("The mask folder %1 does not exist; the mask is empty").arg(folder));
    Size size;
    const QString contentPath = folder + QStringLiteral("/content");
    QString error;
    const auto content =
        QFileInfo::exists(contentPath) ? PropertyList::fromFile(contentPath, &error) : std::nullopt;
    if (content) {
        const QVariantMap map = content->toMap();
        size = Size(double(float(map.value(QStringLiteral("width")).toDouble())),
                    double(float(map.value(QStringLiteral("height")).toDouble())));
    }
    if (size.width <= 0 || size.height <= 0) {
        // Without its description the mask keeps the size of its pixels, so later strokes still land.
        size = container->size();
        if (!error.isEmpty())
            pf::warning(
                QStringLiteral("The mask description %1 cannot be read (%2); the mask image's size is used")
                    .arg(contentPath, error));
    }
    // A mask picture of another size than the mask's is no mask of this layer (the 1 x 1 placeholder
    // of a layer never painted excepted): strokes would land in the wrong place.
    const Size pictureSize = container->imageContainer()->size();
    const auto fits = [](double pixels, double side) {
        return pixels == std::floor(side) || pixels == std::ceil(side);
    };
    if (reason.isEmpty() && !container->imageContainer()->isEmpty() &&
        !(pictureSize.width == 1 && pictureSize.height == 1) &&
        !(fits(pictureSize.width, size.width) && fits(pictureSize.height, size.height))) {
        reason = QStringLiteral("the mask picture is %1 x %2 pixels, the mask %3 x %4")
                     .arg(pictureSize.width)
                     .arg(pictureSize.height)
                     .arg(size.width)
                     .arg(size.height);
        pf::error(QStringLiteral("The mask folder %1 cannot be used: %2").arg(folder, reason));
    }
    if (problem)
        *problem = reason;
    return std::make_unique<OVBrushPathImage>(size, container);
}

void OVBrushPathImage::keepUnreadFolder(const QString& folder)
{
    m_unreadFolder = folder;
    m_unreadSnapshot = m_names.isEmpty() ? QString() : m_names.last();
}

QString OVBrushPathImage::unreadFolder() const
{
    return !m_unreadFolder.isEmpty() && !m_names.isEmpty() && m_names.last() == m_unreadSnapshot
               ? m_unreadFolder
               : QString();
}

QString OVBrushPathImage::cacheFolder()
{
    return FileSystem::applicationSupportDirectory() + QStringLiteral("/cache");
}

QString OVBrushPathImage::urlForFileName(const QString& name)
{
    return cacheFolder() + QLatin1Char('/') + name;
}

QString OVBrushPathImage::folderURL()
{
    QString path;
    do {
        path = urlForFileName(randomName(20));
    } while (QFileInfo::exists(path));
    return path;
}

void OVBrushPathImage::waitForPendingWrites()
{
    writeQueue().waitUntilAllOperationsAreFinished();
}

void OVBrushPathImage::abandonPendingWrites()
{
    std::unique_lock lock(beganMutex);
    abandonedBelow = writesQueued.load();
    beganDone.wait(lock, [] { return begun == 0; });
}

namespace {

std::mutex& gateMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<void()>& writeGate()
{
    static std::function<void()> gate;
    return gate;
}

void passWriteGate()
{
    std::function<void()> gate;
    {
        std::lock_guard lock(gateMutex());
        gate = writeGate();
    }
    if (gate)
        gate();
}

} // namespace

void OVBrushPathImage::setWriteGateForTesting(std::function<void()> gate)
{
    std::lock_guard lock(gateMutex());
    writeGate() = std::move(gate);
}

bool OVBrushPathImage::isSnapshotFolderPending(const QString& name) const
{
    std::lock_guard lock(m_writes->mutex);
    const auto it = m_writes->snapshots.constFind(name);
    return it != m_writes->snapshots.constEnd() && it->pending;
}

void OVBrushPathImage::waitForSnapshotPixels(const QString& name) const
{
    std::unique_lock lock(m_writes->mutex);
    if (!m_writes->snapshots.contains(name))
        return;
    m_writes->done.wait(lock, [&] { return m_writes->snapshots.value(name).settled; });
}

bool OVBrushPathImage::waitForSnapshotFolder(const QString& name) const
{
    std::unique_lock lock(m_writes->mutex);
    if (!m_writes->snapshots.contains(name))
        return false;
    m_writes->done.wait(lock, [&] { return !m_writes->snapshots.value(name).pending; });
    return !m_writes->snapshots.value(name).failed;
}

void OVBrushPathImage::setUndoManager(std::shared_ptr<UndoManager> undoManager)
{
    m_undoManager = std::move(undoManager);
    if (!m_undoManager)
        return;
    for (const auto& registered : m_registeredWith) {
        if (registered.lock() == m_undoManager)
            return;
    }
    m_registeredWith.push_back(m_undoManager);
}

OVContentContainerPtr OVBrushPathImage::contentContainer() const
{
    std::lock_guard lock(m_currentMutex);
    return m_current;
}

void OVBrushPathImage::setCurrent(OVContentContainerPtr container)
{
    std::lock_guard lock(m_currentMutex);
    m_current = std::move(container);
}

void OVBrushPathImage::push(OVContentContainerPtr container, std::shared_ptr<const Placement> placement)
{
    if (!container)
        container = std::make_shared<OVContentContainer>();
    const QString folder = folderURL();
    const QString name = QFileInfo(folder).fileName();
    m_names.append(name);
    {
        std::lock_guard lock(m_writes->mutex);
        m_writes->snapshots.insert(name, {container, true, false, false});
    }
    std::shared_ptr<Writes> writes = m_writes;
    const quint64 number = writesQueued++;
    writeQueue().addOperation([writes, container, folder, name, placement, number] {
        // Abandoned: nothing is written, and the snapshot counts as a failed write, so that whoever still
        // asks for it takes the pixels from memory instead of a folder that was never made.
        bool abandoned = number < abandonedBelow.load();
        bool ok = false;
        if (!abandoned) {
            // Nobody waits for a snapshot: a step, a zoom or a scroll asked for meanwhile goes first.
            const CpuRendering::BackgroundScope background;
            passWriteGate();
            {
                std::lock_guard began(beganMutex);
                abandoned = number < abandonedBelow.load();
                begun += abandoned ? 0 : 1;
            }
            if (!abandoned) {
                if (placement)
                    placement->settle(*container);
                {
                    std::lock_guard lock(writes->mutex);
                    writes->snapshots[name].settled = true;
                    writes->done.notify_all();
                }
                QString error;
                ok = container->writeToFolder(folder, &error);
                if (!ok)
                    pf::error(
                        QStringLiteral("A mask snapshot could not be written to %1: %2; it stays in memory")
                            .arg(folder, error));
                std::lock_guard began(beganMutex);
                --begun;
                beganDone.notify_all();
            }
        }
        std::lock_guard lock(writes->mutex);
        Snapshot& snapshot = writes->snapshots[name];
        snapshot.pending = false;
        snapshot.settled = true;
        snapshot.failed = !ok;
        if (ok)
            snapshot.container.reset();
        writes->done.notify_all();
    });
    // The snapshot shown until now is the one an undo brings back: it stays at hand.
    releaseInBackground(std::exchange(m_previous, contentContainer()));
    m_poppedName.clear();
    m_popped.reset();
    setCurrent(container);
}

void OVBrushPathImage::becomeLastPainted()
{
    OVBrushPathImage* before = lastPainted.exchange(this);
    if (before && before != this)
        releaseInBackground(std::exchange(before->m_previous, nullptr));
}

void OVBrushPathImage::addContentContainer(OVContentContainerPtr container)
{
    push(std::move(container), nullptr);
    becomeLastPainted();
    announce();
}

void OVBrushPathImage::announce()
{
    if (m_delegate)
        m_delegate->brushPathImageDidChange(this);
    if (m_undoManager) {
        m_undoManager->registerUndo(this, [this] { removeLastContentContainer(); });
        m_undoManager->setActionName(DrawSegment);
    }
}

OVContentContainerPtr OVBrushPathImage::snapshotFromFolder(const QString& name, QString* problem)
{
    OVContentContainerPtr kept;
    {
        std::unique_lock lock(m_writes->mutex);
        auto it = m_writes->snapshots.find(name);
        if (it != m_writes->snapshots.end()) {
            m_writes->done.wait(lock, [&] { return !m_writes->snapshots.value(name).pending; });
            kept = m_writes->snapshots.value(name).container;
        }
    }
    if (kept)
        return kept; // its write failed: the pixels are still here
    QString reason;
    OVContentContainerPtr container = OVContentContainer::readFromFolder(urlForFileName(name), &reason);
    if (!reason.isEmpty()) {
        if (problem)
            *problem = reason;
        return nullptr;
    }
    return container;
}

void OVBrushPathImage::loadPrevious()
{
    m_previous.reset();
    if (m_names.size() < 2)
        return;
    QString problem;
    m_previous = snapshotFromFolder(m_names[m_names.size() - 2], &problem);
    if (!m_previous)
        pf::error(QStringLiteral("The mask snapshot before the current one is lost (%1); undoing past it "
                                 "keeps the mask as it is")
                      .arg(problem));
    becomeLastPainted();
}

void OVBrushPathImage::removeLastContentContainer()
{
    PF_ASSERT(m_names.size() >= 2, "Cannot remove last object");
    const QString last = m_names.last();
    if (m_undoManager) {
        const QString folder = urlForFileName(last);
        m_undoManager->registerUndo(this, [this, folder] { addContentContainerWithURL(folder); });
        m_undoManager->setActionName(DrawSegment);
    }
    m_names.removeLast();
    OVContentContainerPtr restored = m_previous;
    if (!restored) {
        QString problem;
        restored = snapshotFromFolder(m_names.last(), &problem);
        if (!restored)
            pf::error(QStringLiteral("Undo cannot restore the mask snapshot %1 (%2); the mask stays as it is")
                          .arg(m_names.last(), problem));
    }
    m_poppedName = last;
    m_popped = contentContainer();
    if (restored)
        setCurrent(restored);
    loadPrevious();
    if (m_delegate)
        m_delegate->brushPathImageDidChange(this);
}

void OVBrushPathImage::addContentContainerWithURL(const QString& folder)
{
    const QString name = QFileInfo(folder).fileName();
    OVContentContainerPtr container = name == m_poppedName ? m_popped : nullptr;
    if (!container) {
        QString problem;
        container = snapshotFromFolder(name, &problem);
        if (!container) {
            pf::error(QStringLiteral("Redo cannot restore the mask snapshot %1 (%2); the mask stays as it is")
                          .arg(name, problem));
            return;
        }
    }
    addContentContainer(container);
}

bool OVBrushPathImage::writeToURL(const QString& folder, QString* errorMessage) const
{
    // The snapshot current now; strokes pushed meanwhile on the main thread replace m_current, never
    // the container taken here.
    const OVContentContainerPtr current = contentContainer();
    if (!FileSystem::createDirectory(folder, errorMessage))
        return false;
    const QVariantMap content{{QStringLiteral("width"), double(float(m_size.width))},
                              {QStringLiteral("height"), double(float(m_size.height))}};
    const auto data = PropertyList::toData(content, PropertyList::Format::Xml, errorMessage);
    if (!data || !FileSystem::writeFileAtomically(folder + QStringLiteral("/content"), *data, errorMessage))
        return false;
    return (current ? current : std::make_shared<OVContentContainer>())->writeToFolder(folder, errorMessage);
}

OVContentContainerPtr OVBrushPathImage::contentContainerForRect(const Rect& rect, const Size& size) const
{
    const OVContentContainerPtr current = contentContainer();
    return current ? current->contentContainerWithRect(rect, size) : nullptr;
}

namespace {

// The picture a stroke is composited onto: the layer's own when it covers the mask, one scaled up to
// the mask's size when it is smaller (a placeholder scales to transparency, a smaller mask keeps its
// strokes), or a transparent one where the layer has none.
Image strokeBackground(const OVImageContainer& layer, const Size& size)
{
    const Image picture = layer.image();
    const Size own = layer.size();
    if (!picture.isNull() && own.width >= std::floor(size.width) && own.height >= std::floor(size.height))
        return picture;
    if (!picture.isNull() && own.width > 0 && own.height > 0)
        return scaleImageToSizeAffine(picture, size.width, size.height);
    // Transparent with nothing defined: what is placed onto it stays the only part to render and keep.
    return transparentFrame(Rect(0, 0, std::floor(size.width), std::floor(size.height)));
}

// Stroke pictures are made pixels on a context of their own, in the background: neither the interface
// nor a display waits for them.
RenderContext& strokeContext()
{
    // Never destroyed, like the shared context: a GL context must not be torn down at exit.
    static auto* context = new std::shared_ptr<RenderContext>(
        std::make_shared<RenderContext>(QStringLiteral("stroke pictures")));
    return **context;
}

// A stroke's colour picture (healed or replacement pixels: a recipe that may be costly and is best
// evaluated once) made to compute its pixels once, over the part where it is defined, whoever needs them
// first: the snapshot write, or a view that shows the stroke before it is stored, which then waits for
// the write's pixels instead of computing them a second time beside it. A mask stroke stays a recipe:
// it is cheap, and limited to where it painted.
OVContentContainerPtr withFillOnce(const OVContentContainerPtr& stroke,
                                   std::shared_ptr<const CpuRendering>* fill)
{
    const OVImageContainerPtr additional = stroke->additionalImageContainer();
    if (!additional || additional->isMonochrome())
        return stroke;
    const Image picture = additional->image();
    if (picture.isNull())
        return stroke;
    const Rect extent = picture.extent();
    const Rect domain = picture.definition().extent();
    if (extent.isInfinite() || extent.isNull())
        return stroke;
    const Rect painted = (domain.isInfinite() ? extent : domain.intersected(extent)).integral();
    if (painted.isNull() || painted.isEmpty())
        return stroke;
    auto once = std::make_shared<CpuRendering>(
        painted, Bitmap::Format::RGBAf, [picture, painted](const Rect& region, Bitmap& out) {
            return strokeContext().render(picture, region.offsetBy(painted.minX(), painted.minY()), out);
        });
    const Image attached = CpuRendering::attach(picture, once);
    if (attached.node() == picture.node())
        return stroke; // not a kernel's output: nothing to compute once
    *fill = std::move(once);
    return std::make_shared<OVContentContainer>(stroke->imageContainer(),
                                                std::make_shared<OVImageContainer>(attached, false));
}

// The stroke's colour picture as pixels of the part where it is defined, in the same frame: those
// computed once where there are (see withFillOnce).
Image strokePixels(const Image& picture, bool monochrome, const std::shared_ptr<const CpuRendering>& fill)
{
    if (monochrome || picture.isNull())
        return picture;
    const Rect extent = picture.extent();
    const Rect domain = picture.definition().extent();
    if (extent.isInfinite() || extent.isNull())
        return picture;
    Rect painted = (domain.isInfinite() ? extent : domain.intersected(extent)).integral();
    if (painted.isNull() || painted.isEmpty())
        return transparentFrame(extent);
    Bitmap pixels;
    if (fill) {
        pixels = fill->whole();
        painted = fill->bounds();
    } else if (const auto rendered = strokeContext().render(picture, painted, Bitmap::Format::RGBAf)) {
        pixels = *rendered;
    }
    // A stroke's picture is rendered once and its sources are the next stroke's no more: the textures
    // and pass pictures made for it are let go, and the memory they took goes back to the system before
    // the new mask is made. Kept, each stroke would leave tens of megabytes behind until the
    // caches' budgets are reached.
    strokeContext().clearCaches();
    malloc_trim(0);
    if (pixels.isNull())
        return picture; // left to the snapshot write, which keeps the recipe when it cannot render it
    return framedImage(Image::fromBitmap(pixels).imageByApplyingTransform(
                           AffineTransform::translation(painted.minX(), painted.minY())),
                       painted, extent);
}

} // namespace

void OVBrushPathImage::prepareForColourStrokes(const std::function<Image()>& makeSample)
{
    static std::atomic<bool> prepared{false};
    if (!makeSample || prepared.load())
        return;
    const Image sample = makeSample();
    if (sample.isNull())
        return; // nothing to prepare from yet: the next stroke tries again
    prepared = true;
    const Rect extent = sample.extent();
    if (extent.isInfinite() || extent.isNull() || extent.isEmpty())
        return;
    writeQueue().addOperation([sample, extent] {
        const CpuRendering::BackgroundScope background;
        strokeContext().render(sample, extent.integral(), Bitmap::Format::RGBAf);
        strokeContext().clearCaches();
    });
}

namespace {

// The stroke's picture placed into `rect` of the layer's picture, as a recipe: brush-up costs no
// render of the mask's size on the interface's thread. The snapshot write makes it pixels in the
// background; until then it is read as the recipe, which gives the same picture. The layer's picture
// unchanged when the stroke brings none.
OVImageContainerPtr placedStroke(const OVImageContainer& stroke, const Rect& rect,
                                 const OVImageContainerPtr& layer, const Size& size)
{
    const Image picture = stroke.image();
    if (picture.isNull())
        return std::make_shared<OVImageContainer>(layer->image(), layer->isMonochrome());
    const Image background = strokeBackground(*layer, size);
    Image placed = placeImageOnBackground(picture, background, rect);
    if (placed.isNull())
        return std::make_shared<OVImageContainer>(placed, stroke.isMonochrome());
    // Where the stroke lands: the part of its own picture that it defines, placed as the picture is.
    const Rect own = picture.extent(), defined = picture.definition().extent();
    const Rect frame = background.extent();
    Rect landed = Rect::infinite();
    if (!defined.isInfinite() && own.width() > 0 && own.height() > 0) {
        const double sx = std::floor(rect.width() * frame.width()) / own.width();
        const double sy = std::floor(rect.height() * frame.height()) / own.height();
        landed = defined.isNull()
                     ? Rect::null()
                     : Rect(std::floor(rect.minX() * frame.width()) + (defined.minX() - own.minX()) * sx,
                            std::floor(rect.minY() * frame.height()) + (defined.minY() - own.minY()) * sy,
                            defined.width() * sx, defined.height() * sy)
                           .insetBy(-2, -2); // resampling reaches a pixel or two further
    }
    if (landed.isInfinite())
        return std::make_shared<OVImageContainer>(placed, stroke.isMonochrome());
    // A colour stroke defined in a part of its own (a healed spot) stays defined there and where the
    // layer's picture was, so that only those are ever rendered.
    const Rect below = background.definition().extent();
    if (!stroke.isMonochrome() && !below.isInfinite()) {
        const Rect both = landed.united(below);
        placed = both.isNull() ? transparentFrame(placed.extent())
                               : framedImage(placed, both.integral(), placed.extent());
    }
    // Over stored pixels of the mask's size only the stroke's part is rendered when it is stored (and
    // when a view shows it meanwhile).
    auto container = std::make_shared<OVImageContainer>(Image(), stroke.isMonochrome());
    if (layer->isStored() && layer->size() == Size(frame.width(), frame.height()))
        container->setImageOverStored(placed, layer, landed);
    else
        container->setImage(placed);
    return container;
}

// The stroke composited onto the mask `base` (both pictures).
OVContentContainerPtr placedOnto(const OVContentContainer& stroke, const Rect& rect,
                                 const OVContentContainer& base, const Size& size)
{
    return std::make_shared<OVContentContainer>(
        placedStroke(*stroke.imageContainer(), rect, base.imageContainer(), size),
        placedStroke(*stroke.additionalImageContainer(), rect, base.additionalImageContainer(), size));
}

} // namespace

void OVBrushPathImage::addContentContainerWithRect(const OVContentContainerPtr& stroke, const Rect& rect)
{
    if (!stroke)
        return;
    OVContentContainerPtr current = contentContainer();
    if (!current)
        current = std::make_shared<OVContentContainer>();
    // The mask's pixel size; a mask made without one takes it from the stroke and its rectangle.
    Size size = m_size;
    if (!(size.width >= 1 && size.height >= 1)) {
        const Size strokeSize = stroke->size();
        size = Size(rect.width() > 0 ? strokeSize.width / rect.width() : strokeSize.width,
                    rect.height() > 0 ? strokeSize.height / rect.height() : strokeSize.height);
    }
    // Always composited onto the current mask: a stroke that covers the whole mask must still keep the
    // layer's additional picture and whatever the stroke leaves transparent.
    // The stroke's own picture is made pixels by the snapshot write, not here: brush-up renders nothing.
    auto placement = std::make_shared<Placement>();
    placement->stroke = withFillOnce(stroke, &placement->fill);
    placement->base = current;
    placement->rect = rect;
    placement->size = size;
    push(placedOnto(*placement->stroke, rect, *current, size), placement);
    becomeLastPainted();
    announce();
}

void OVBrushPathImage::Placement::settle(const OVContentContainer& placed) const
{
    // The stroke's colour picture (a healing fill) is computed once, here, as pixels of the part where it
    // has any. Strokes stored faster than their snapshots are written are each placed onto the one
    // before, still a recipe: made pixels first, it is what this stroke is placed onto again, so that
    // every write renders one stroke over pixels instead of all the strokes still pending.
    const OVImageContainer& additional = *stroke->additionalImageContainer();
    const OVContentContainer pixels(
        stroke->imageContainer(),
        std::make_shared<OVImageContainer>(strokePixels(additional.image(), additional.isMonochrome(), fill),
                                           additional.isMonochrome()));
    if (!base->flush())
        return; // the recipe as it stands is rendered (or kept) by the write
    const OVContentContainerPtr again = placedOnto(pixels, rect, *base, size);
    for (const auto& [target, source] :
         {std::pair(placed.imageContainer(), again->imageContainer()),
          std::pair(placed.additionalImageContainer(), again->additionalImageContainer())}) {
        if (const auto patch = source->patchOver())
            target->setImageOverStored(source->image(), patch->first, patch->second, true);
        else
            target->replacePendingImage(source->image());
    }
}
