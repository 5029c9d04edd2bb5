#include "Classes/Framework/Toolkit/WindowORVExtension.h"

#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <cmath>

namespace WindowORVExtension {

void deleteWithoutDelegate(pf::Window* window)
{
    if (!window)
        return;
    window->setDelegate(nullptr);
    delete window;
}

QRect screenshotCropRect(QSize imageSize, const pf::Rect& contentFrame, double scale, bool fullScreen)
{
    if (fullScreen)
        return QRect(QPoint(0, 0), imageSize);
    const pf::Rect f = contentFrame.standardized();
    const int width = int(std::lround(f.width() * scale));
    const int height = int(std::lround(f.height() * scale));
    const int x = int(std::lround(f.minX() * scale));
    const int y = imageSize.height() - int(std::lround(f.maxY() * scale));
    return QRect(x, y, width, height).intersected(QRect(QPoint(0, 0), imageSize));
}

QImage newCGImageScreenshot(pf::Window& window)
{
    const double scale = window.devicePixelRatioF();
    QImage image((QSizeF(window.size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        // The window's own background, then its widgets except the overlay windows.
        window.render(&painter, QPoint(), QRegion(), QWidget::RenderFlags());
        for (QObject* child : window.children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (!widget || !widget->isVisible() || qobject_cast<pf::Window*>(widget))
                continue;
            widget->render(&painter, widget->pos(), QRegion(), QWidget::DrawChildren);
        }
    }
    pf::View* content = window.contentView();
    if (!content)
        return image;
    const QRect crop = screenshotCropRect(image.size(), content->frame(), scale, window.isFullScreen());
    if (crop == image.rect())
        return image;
    QImage cropped = image.copy(crop);
    cropped.setDevicePixelRatio(scale);
    return cropped;
}

} // namespace WindowORVExtension
