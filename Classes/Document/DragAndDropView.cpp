#include "Classes/Document/DragAndDropView.h"

#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>

DragAndDropView::DragAndDropView(const pf::Rect& frame) : View(frame)
{
    setAcceptDrops(true);
}

void DragAndDropView::setImageName(const QString& name)
{
    m_imageName = name;
    setNeedsDisplay();
}

void DragAndDropView::drawRect(QPainter& painter, const pf::Rect&)
{
    if (m_imageName.isEmpty())
        return;
    QImage image = pf::NamedImage::image(m_hovered ? m_imageName + QStringLiteral("Hover") : m_imageName);
    if (image.isNull())
        image = pf::NamedImage::image(m_imageName);
    if (image.isNull())
        return;
    // Drawn at its own size (in points), centred, never larger than the view.
    const double ratio = image.devicePixelRatio();
    const double scale =
        std::min({1.0, bounds().width() * ratio / image.width(), bounds().height() * ratio / image.height()});
    const double w = image.width() / ratio * scale;
    const double h = image.height() / ratio * scale;
    pf::drawImage(painter, image, pf::Rect(bounds().midX() - w / 2, bounds().midY() - h / 2, w, h));
}

void DragAndDropView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    m_hovered = true;
    setNeedsDisplay();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DragAndDropView::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_hovered = false;
    setNeedsDisplay();
    event->accept();
}

void DragAndDropView::dropEvent(QDropEvent* event)
{
    m_hovered = false;
    setNeedsDisplay();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            if (m_delegate)
                m_delegate->droppedUrl(url.toLocalFile());
            return;
        }
    }
}
