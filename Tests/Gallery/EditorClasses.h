#pragma once

#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"

#include <QTemporaryDir>
#include <cmath>

// What the runs that paint in the editor register before their first document, as the application does
// at start.
namespace GalleryShots {

// The filters and the brushes a layer is painted with.
inline void registerFiltersAndBrushes()
{
    FilterLibrary::registerAll();
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    OVHealingBrush::registerClass();
}

// Those, the classes a saved document archives, and an editor window for every document.
inline void registerEditorClasses()
{
    registerFiltersAndBrushes();
    OVImageContainer::registerArchiveClasses();
    GMDocumentPackage::registerArchiveClasses();
    GMDocument::setWindowControllerFactory([](GMDocument& document) {
        return std::make_shared<GMEditorWindowController>(document.weak_from_this());
    });
}

// Keeps the run's support folder and defaults file in `sandbox`, away from the user's own.
inline void useSandbox(const QTemporaryDir& sandbox)
{
    pf::FileSystem::setApplicationSupportDirectoryForTesting(sandbox.filePath(QStringLiteral("app")));
    pf::UserDefaults::standard().setFileForTesting(sandbox.filePath(QStringLiteral("defaults.conf")));
}

// Where the middle of a tile's picture is seen in the window (the strip is turned in 3D).
inline pf::Point onTile(GMEffectBrowserController& effects, int index)
{
    GMEffectIconView* tile = effects.effectCollectionView()->itemAtIndex(index)->view();
    OV3DView* strip = effects.browserView();
    OVTransformedScrollView* scroll = effects.effectScrollView();
    const pf::Rect picture = tile->drawBounds();
    const pf::Point inScroll = tile->convertPointToView(pf::Point(picture.midX(), picture.midY()), scroll);
    const pf::Point inStrip =
        strip->layerForSubview(scroll)->convertPointToLayer(inScroll, strip->layer().get());
    return strip->convertPointToView(inStrip, nullptr);
}

// The point of the slider, on its middle line and in half-point steps, whose position is nearest to
// `value` (a click there sets it, as the slider jumps to a click).
inline pf::Point pointForValue(const GMSlider& slider, double value)
{
    const pf::Rect b = slider.bounds();
    double best = b.minX();
    for (double x = b.minX(); x <= b.maxX(); x += 0.5)
        if (std::abs(slider.positionForPoint(pf::Point(x, b.midY())) - value) <
            std::abs(slider.positionForPoint(pf::Point(best, b.midY())) - value))
            best = x;
    return pf::Point(best, b.midY());
}

} // namespace GalleryShots
