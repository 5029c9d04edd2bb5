#pragma once

#include "Classes/Frames/OVImageCatalogDelegate.h"

#include <QPointer>
#include <memory>

class GMFrameworkEffectsWindow;
class OVCropController;
namespace pf {
class Window;
}

// What stands behind the framework effects window's "Crop…" and "Picture…": the crop dialog at 3:2,
// whose OK crops the chain's input, and the image catalog's drawer, whose chosen picture becomes the
// chain's input. Both changes go through the window's own undo. Main thread only.
class GMFrameworkEffectsTools : public OVImageCatalogDelegate
{
public:
    static GMFrameworkEffectsTools& shared();
    // Gives every framework effects window these two handlers.
    static void install();

    void crop(GMFrameworkEffectsWindow& window);
    void choosePicture(GMFrameworkEffectsWindow& window);
    OVCropController* cropController() const { return m_crop.get(); }

    void imageCatalogSelectImageWithPath(OVImageCatalog* catalog, const QString& path) override;

private:
    GMFrameworkEffectsTools();
    ~GMFrameworkEffectsTools() override;
    // The effects window that asked, while it still exists.
    GMFrameworkEffectsWindow* target() const;

    std::unique_ptr<OVCropController> m_crop;
    QPointer<pf::Window> m_target;
};
