#include "Classes/ToolObjects/PhotoToolChain.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Classes/ToolObjects/PhotoToolChainState.h"
#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/FaceDetector.h"

#include <algorithm>

using namespace pf;

namespace {

const QString ContentDidChange = QStringLiteral("OVRCContentDidChange");

// Names the step being registered. An insertion undone registers a removal (and the other way round):
// the step on the redo stack keeps the name of what was undone, so Redo says what it does again.
void nameStep(pf::UndoManager& manager, const QString& name)
{
    if (!manager.isUndoing() && !manager.isRedoing())
        manager.setActionName(name);
}

QString undoName(const char* format, const QString& denomination)
{
    return pf::localized(QString::fromLatin1(format)).replace(QStringLiteral("%@"), denomination);
}

} // namespace

PhotoToolChain::Original PhotoToolChain::prepareOriginal(const Image& image, bool warm)
{
    Original original;
    original.image = image;
    auto pyramid = std::make_shared<OVOriginalPyramid>(image);
    const Rect extent = image.extent();
    const double side =
        extent.isNull() || extent.isInfinite() ? 0 : std::max(extent.width(), extent.height());
    if (warm && side > 0) {
        // The fitted photo and the preview (about a screen wide) and the effects' tiles.
        for (const double wanted : {1024.0, 240.0})
            pyramid->imageAtLevel(pyramid->levelForScale(wanted / side));
    }
    original.renderInfoGenerator = std::make_shared<OVRenderInfoGenerator>();
    // Faces are searched at a few hundred pixels: a reduced copy serves.
    original.renderInfoGenerator->setOriginalImage(
        image,
        side > 0 ? pyramid->imageAtLevel(pyramid->levelForScale(double(pf::FaceDetector::WorkingSize) / side))
                 : image);
    original.pyramid = std::move(pyramid);
    return original;
}

PhotoToolChain::PhotoToolChain(const Image& image) : PhotoToolChain(prepareOriginal(image)) {}

PhotoToolChain::PhotoToolChain(const Original& original)
    : m_original(original.image), m_pyramid(original.pyramid),
      m_renderInfoGenerator(original.renderInfoGenerator)
{
    if (!m_pyramid)
        m_pyramid = std::make_shared<OVOriginalPyramid>(m_original);
    if (!m_renderInfoGenerator) {
        m_renderInfoGenerator = std::make_shared<OVRenderInfoGenerator>();
        m_renderInfoGenerator->setOriginalImage(m_original);
    }
    const Rect extent = m_original.extent();
    if (!extent.isNull() && !extent.isInfinite())
        m_originalSize = Size(extent.width(), extent.height());
    m_tools.push_back(std::make_shared<PhotoTool>(nullptr, std::nullopt));
    m_masks.push_back(nullptr);
    m_state = std::make_shared<PhotoToolChainState>(
        0, m_pyramid, m_originalSize,
        std::vector<PhotoToolChainState::Layer>{PhotoToolChainState::Layer{nullptr, {}, nullptr}});
    setSelectionIndex(0);
}

PhotoToolChain::~PhotoToolChain()
{
    for (const auto& registered : m_registeredWith) {
        if (const auto manager = registered.lock())
            manager->removeAllActionsWithTarget(this);
    }
    for (auto& mask : m_masks) {
        if (mask && mask->delegate() == this)
            mask->setDelegate(nullptr);
    }
}

PhotoToolPtr PhotoToolChain::photoToolAtIndex(int index) const
{
    return index >= 0 && index < numberOfTools() ? m_tools[size_t(index)] : nullptr;
}

std::shared_ptr<OVBrushPathImage> PhotoToolChain::brushPathImageAtIndex(int index) const
{
    return index >= 0 && index < numberOfTools() ? m_masks[size_t(index)] : nullptr;
}

int PhotoToolChain::indexForTool(const PhotoTool* tool) const
{
    if (photoToolAtIndex(m_selection).get() == tool)
        return m_selection;
    for (int i = 0; i < numberOfTools(); ++i) {
        if (m_tools[size_t(i)].get() == tool)
            return i;
    }
    return -1;
}

int PhotoToolChain::indexForBrushPathImage(const OVBrushPathImage* image) const
{
    if (image && brushPathImageAtIndex(m_selection).get() == image)
        return m_selection;
    for (int i = 1; i < numberOfTools(); ++i) {
        if (m_masks[size_t(i)].get() == image)
            return i;
    }
    return -1;
}

void PhotoToolChain::setSelectionIndex(int index)
{
    m_selection = std::clamp(index, 0, numberOfTools() - 1);
    if (m_delegate)
        m_delegate->photoToolChainDidSelectToolAtIndex(this, m_selection);
}

quint64 PhotoToolChain::version() const
{
    std::lock_guard lock(m_stateMutex);
    return m_version;
}

std::shared_ptr<const OVRenderSource> PhotoToolChain::renderSource() const
{
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

void PhotoToolChain::publish(int index, int action)
{
    // The new state is in place before anyone hears of it, and the notification names its version.
    std::vector<PhotoToolChainState::Layer> layers;
    for (size_t i = 0; i < m_tools.size(); ++i)
        layers.push_back({m_tools[i]->blueprint(), m_tools[i]->settings(),
                          m_masks[i] ? m_masks[i]->contentContainer() : nullptr});
    quint64 version;
    {
        std::lock_guard lock(m_stateMutex);
        version = ++m_version;
        m_state = std::make_shared<PhotoToolChainState>(version, m_pyramid, m_originalSize, std::move(layers),
                                                        m_renderInfoGenerator->normedTypicalFaceWidth());
    }
    NotificationCenter::defaultCenter().post(ContentDidChange, this,
                                             {{QStringLiteral("OVRCChangeIndex"), index},
                                              {QStringLiteral("OVRCAction"), action},
                                              {QStringLiteral("OVRCVersion"), version}});
}

void PhotoToolChain::insertPhotoToolWithBlueprint(std::shared_ptr<GMEffectBlueprint> blueprint,
                                                  const std::optional<QVariantMap>& settings, int index)
{
    insertPhotoToolWithBlueprint(std::move(blueprint), settings, nullptr, index);
}

void PhotoToolChain::insertAt(int position, PhotoToolPtr tool, std::shared_ptr<OVBrushPathImage> mask)
{
    m_tools.insert(m_tools.begin() + position, std::move(tool));
    m_masks.insert(m_masks.begin() + position, mask);
    mask->setDelegate(this);
    mask->setUndoManager(m_undoManager);
}

void PhotoToolChain::insertPhotoToolWithBlueprint(std::shared_ptr<GMEffectBlueprint> blueprint,
                                                  const std::optional<QVariantMap>& settings,
                                                  std::shared_ptr<OVBrushPathImage> brushPathImage, int index)
{
    auto tool = std::make_shared<PhotoTool>(std::move(blueprint), settings);
    const int position = std::min(numberOfTools(), std::max(index, 0) + 1);
    if (!brushPathImage) {
        const OVContentContainerPtr blank = tool->contentContainerForSize(m_originalSize);
        // Nothing painted yet: held as its one value from the start, as its first snapshot stores it.
        // Renders of the new layer would otherwise wait for that snapshot to draw a photo-sized blank.
        blank->imageContainer()->setBlank(m_originalSize);
        brushPathImage = std::make_shared<OVBrushPathImage>(m_originalSize, blank);
    }
    insertAt(position, tool, brushPathImage);
    if (m_undoManager) {
        m_undoManager->registerUndo(this, [this, position] { removePhotoToolAtIndex(position); });
        nameStep(*m_undoManager, undoName("Insert %@", m_undoDenomination));
    }
    publish(position, 2);
    if (m_delegate)
        m_delegate->photoToolChainDidInsertToolAtIndex(this, position);
    if (position <= m_selection + 1)
        setSelectionIndex(std::min(numberOfTools() - 1, m_selection + 1));
}

void PhotoToolChain::insertPhotoToolsWithBlueprints(
    const std::vector<std::shared_ptr<GMEffectBlueprint>>& blueprints, const QVariantList& settings,
    const std::vector<std::shared_ptr<OVBrushPathImage>>& brushPathImages, int index)
{
    PF_ASSERT(blueprints.size() == size_t(settings.size()) && blueprints.size() == brushPathImages.size(),
              "Arrays of tool parameters have different sizes.");
    for (size_t k = 0; k < blueprints.size(); ++k) {
        const QVariant& value = settings[qsizetype(k)];
        const std::optional<QVariantMap> toolSettings = value.metaType().id() == QMetaType::QVariantMap
                                                            ? std::optional<QVariantMap>(value.toMap())
                                                            : std::nullopt;
        insertPhotoToolWithBlueprint(blueprints[k], toolSettings, brushPathImages[k], index + int(k));
    }
}

void PhotoToolChain::removePhotoToolAtIndex(int index)
{
    PF_ASSERT(!m_original.isNull(), "Set originalImage before using PhotoToolChain");
    PF_ASSERT(index != 0, "Cannot remove background photo tool");
    if (index < 0 || index >= numberOfTools()) {
        pf::warning(QStringLiteral("PhotoToolChain has no layer %1 to remove").arg(index));
        return;
    }
    const PhotoToolPtr tool = m_tools[size_t(index)];
    const std::shared_ptr<OVBrushPathImage> mask = m_masks[size_t(index)];
    if (m_undoManager) {
        const auto blueprint = tool->blueprint();
        const QVariantMap settings = tool->settings();
        m_undoManager->registerUndo(this, [this, blueprint, settings, mask, index] {
            insertPhotoToolWithBlueprint(blueprint, settings, mask, index - 1);
        });
        nameStep(*m_undoManager, undoName("Remove %@", m_undoDenomination));
    }
    m_tools.erase(m_tools.begin() + index);
    m_masks.erase(m_masks.begin() + index);
    if (mask->delegate() == this)
        mask->setDelegate(nullptr);
    setSelectionIndex(m_selection >= index ? m_selection - 1 : m_selection);
    publish(index, 1);
    if (m_delegate)
        m_delegate->photoToolChainDidRemovedToolAtIndex(this, index);
}

void PhotoToolChain::removeAllPhotoTools()
{
    PF_ASSERT(!m_original.isNull(), "Set originalImage before using PhotoToolChain");
    while (numberOfTools() > 1) {
        if (m_masks.back() && m_masks.back()->delegate() == this)
            m_masks.back()->setDelegate(nullptr);
        m_tools.pop_back();
        m_masks.pop_back();
    }
    // The selection is in range before anyone hears of the change.
    m_selection = 0;
    publish(1, 3);
    if (m_delegate)
        m_delegate->photoToolChainRemovedAllTools(this);
    setSelectionIndex(0);
}

void PhotoToolChain::setSettingsForToolAtIndex(const QVariantMap& settings, int index, const QString& name)
{
    const PhotoToolPtr tool = photoToolAtIndex(index);
    if (!tool)
        return;
    if (!name.isEmpty() && m_undoManager) {
        const QVariantMap saved = tool->savedSettingsState();
        m_undoManager->registerUndo(
            this, [this, saved, index, name] { setSettingsForToolAtIndex(saved, index, name); });
        m_undoManager->setActionName(name);
    }
    tool->setSettings(settings, !name.isEmpty());
    publish(index, 0);
    if (m_delegate) {
        m_delegate->photoToolChainSettingsDidChange(this, settings, index);
        m_delegate->photoToolChainCompositionDidChangeAtIndex(this, index);
    }
}

void PhotoToolChain::brushPathImageDidChange(OVBrushPathImage* image)
{
    const int index = indexForBrushPathImage(image);
    if (index < 0)
        return;
    publish(index, 0);
    if (m_delegate)
        m_delegate->photoToolChainBrushPathDidChange(this, image, index);
}

void PhotoToolChain::replaceBrushPathImage(std::shared_ptr<OVBrushPathImage> image, int index)
{
    if (index <= 0 || index >= numberOfTools()) {
        pf::warning(QStringLiteral("PhotoToolChain has no layer %1 whose mask could be replaced").arg(index));
        return;
    }
    if (!image)
        return;
    image->setUndoManager(m_undoManager);
    image->setDelegate(this);
    const std::shared_ptr<OVBrushPathImage> previous = m_masks[size_t(index)];
    if (m_undoManager) {
        m_undoManager->registerUndo(this,
                                    [this, previous, index] { replaceBrushPathImage(previous, index); });
        m_undoManager->setActionName(pf::localized(QStringLiteral("Replace Brushpath")));
    }
    if (previous && previous != image && previous->delegate() == this)
        previous->setDelegate(nullptr);
    m_masks[size_t(index)] = image;
    brushPathImageDidChange(image.get());
}

void PhotoToolChain::setUndoManager(std::shared_ptr<UndoManager> undoManager)
{
    // The actions registered so far stay: the manager may be set to none and back around bulk loading.
    m_undoManager = std::move(undoManager);
    if (m_undoManager &&
        std::none_of(m_registeredWith.begin(), m_registeredWith.end(),
                     [&](const auto& registered) { return registered.lock() == m_undoManager; }))
        m_registeredWith.push_back(m_undoManager);
    for (size_t i = 1; i < m_masks.size(); ++i)
        m_masks[i]->setUndoManager(m_undoManager);
}

void PhotoToolChain::prepareSelectedWithFaceWidth(double faceWidth)
{
    const auto mask = selectedBrushPathImage();
    const auto tool = selectedPhotoTool();
    if (!mask || !tool || !mask->contentContainer())
        return;
    const OVContentContainerPtr container = mask->contentContainer();
    const Size size = mask->size();
    if (!(size.width > container->additionalImageContainer()->size().width))
        return; // prepared already
    if (!tool->defaultBrushValueForKey(QStringLiteral("brushUsingAdditionalImage")).toBool())
        return;
    Image prepared;
    if (tool->defaultBrushValueForKey(QStringLiteral("drawType")).toString() == QLatin1String("beard")) {
        prepared = PhotoTool::beardStubbleImage(size, faceWidth);
        if (prepared.isNull())
            pf::warning(QStringLiteral(
                "The beard texture \"BeardStubble\" is missing; the layer starts transparent"));
    }
    // Transparent with nothing defined: what strokes paint onto it is all that is ever rendered and kept.
    if (prepared.isNull())
        prepared = transparentFrame(Rect(0, 0, size.width, size.height));
    container->additionalImageContainer()->setImage(prepared);
}
