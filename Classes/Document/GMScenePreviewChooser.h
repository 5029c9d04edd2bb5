#pragma once

#include "Classes/Frames/OVImageCatalogDelegate.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Image/Image.h"

#include <QPointer>
#include <memory>
#include <vector>

class GMScenePreviewWindow;

namespace pf {
class View;
}

// "Scene Preview…": the image catalog's drawer opens on "Backgrounds" over the editor's canvas, and the
// background chosen there becomes a scene preview window of the document's picture. The windows it
// opened live until they are closed. Nothing is written to the document. Main thread only.
class GMScenePreviewChooser : public OVImageCatalogDelegate
{
public:
    static GMScenePreviewChooser& shared();
    ~GMScenePreviewChooser() override;

    // Opens the drawer over `canvas` for `picture` (a null picture, or no canvas: nothing).
    void chooseBackground(pf::View* canvas, const pf::Image& picture);
    // The drawer is open for this chooser.
    bool isChoosing() const;

    // The preview windows open now, oldest first.
    std::vector<GMScenePreviewWindow*> openPreviews() const;

    void imageCatalogSelectImageWithPath(OVImageCatalog* catalog, const QString& path) override;
    void imageCatalogDidClose(OVImageCatalog* catalog) override;

private:
    struct Preview
    {
        std::unique_ptr<GMScenePreviewWindow> window;
        pf::ObserverToken closing;
    };
    void release(GMScenePreviewWindow* preview);

    pf::Image m_picture;
    std::vector<Preview> m_previews;
};
