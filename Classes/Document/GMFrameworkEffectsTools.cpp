#include "Classes/Document/GMFrameworkEffectsTools.h"

#include "Classes/Document/GMFrameworkEffectsWindow.h"
#include "Classes/Frames/OVCropController.h"
#include "Classes/Frames/OVImageCatalog.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/View.h"

#include <QFileInfo>

namespace {

constexpr double kCropRatio = 3.0 / 2.0;

} // namespace

GMFrameworkEffectsTools::GMFrameworkEffectsTools() = default;
GMFrameworkEffectsTools::~GMFrameworkEffectsTools() = default;

GMFrameworkEffectsTools& GMFrameworkEffectsTools::shared()
{
    static auto* tools = new GMFrameworkEffectsTools;
    return *tools;
}

void GMFrameworkEffectsTools::install()
{
    GMFrameworkEffectsWindow::setCropHandler([](GMFrameworkEffectsWindow& window) { shared().crop(window); });
    GMFrameworkEffectsWindow::setPictureHandler(
        [](GMFrameworkEffectsWindow& window) { shared().choosePicture(window); });
}

GMFrameworkEffectsWindow* GMFrameworkEffectsTools::target() const
{
    return GMFrameworkEffectsWindow::forWindow(m_target);
}

void GMFrameworkEffectsTools::crop(GMFrameworkEffectsWindow& window)
{
    const pf::Image picture = window.picture();
    const pf::Rect extent = picture.extent();
    if (picture.isNull() || !(extent.width() >= 1) || !(extent.height() >= 1) || !window.window())
        return;
    const QImage pixels = pf::RenderContext::shared()->renderToQImage(picture, extent);
    if (pixels.isNull())
        return;
    if (!m_crop)
        m_crop = std::make_unique<OVCropController>();
    m_target = window.window();
    // The dialog's outlets exist once its window is loaded.
    m_crop->window();
    m_crop->setImage(pixels);
    m_crop->setCropRatio(kCropRatio);
    m_crop->setDescriptionFile(
        pf::Bundle::main().pathForResource(QStringLiteral("CropDescription"), QStringLiteral("rtf")));
    m_crop->beginSheetForWindow(window.window(), [this, extent, size = pixels.size()](bool accepted) {
        GMFrameworkEffectsWindow* owner = target();
        if (!accepted || !owner)
            return;
        // The dialog counts rows from the top; the picture's geometry is y-up.
        const QRect rows = OVCropController::pixelRectForCropRect(m_crop->cropRect(), size);
        if (rows.isEmpty())
            return;
        const pf::Rect kept(extent.minX() + rows.x(),
                            extent.minY() + (size.height() - rows.y() - rows.height()), rows.width(),
                            rows.height());
        owner->cropPicture(kept);
    });
}

void GMFrameworkEffectsTools::choosePicture(GMFrameworkEffectsWindow& window)
{
    if (!window.window() || !window.window()->contentView())
        return;
    m_target = window.window();
    OVImageCatalog::sharedImageCatalog().showRight(true, window.window()->contentView(), this);
}

void GMFrameworkEffectsTools::imageCatalogSelectImageWithPath(OVImageCatalog*, const QString& path)
{
    GMFrameworkEffectsWindow* owner = target();
    if (!owner)
        return;
    QString problem;
    const pf::Image picture = pf::Image::fromFile(path, &problem);
    if (picture.isNull()) {
        pf::Alert alert;
        alert.messageText =
            QStringLiteral("The picture “%1” could not be read.").arg(QFileInfo(path).fileName());
        alert.informativeText = problem.isEmpty() ? path : problem;
        alert.runModal();
        return;
    }
    owner->setPicture(picture);
}
