#pragma once

#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"

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

} // namespace GalleryShots
