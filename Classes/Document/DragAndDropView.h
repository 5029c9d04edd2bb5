#pragma once

#include "Platform/UI/View.h"

#include <QImage>
#include <QString>

// Told of a file dropped on a DragAndDropView.
class DragAndDropDelegate
{
public:
    virtual ~DragAndDropDelegate() = default;
    virtual void droppedUrl(const QString& path) = 0;
};

// The welcome window's drop target: its resting image, and the image named "<name>Hover" while files
// are dragged over it. A drop hands the first file to the delegate; only copying is offered.
class DragAndDropView : public pf::View
{
public:
    explicit DragAndDropView(const pf::Rect& frame = pf::Rect());

    QString imageName() const { return m_imageName; }
    void setImageName(const QString& name);
    DragAndDropDelegate* delegate() const { return m_delegate; }
    void setDelegate(DragAndDropDelegate* delegate) { m_delegate = delegate; }
    bool isHovered() const { return m_hovered; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QString m_imageName;
    DragAndDropDelegate* m_delegate = nullptr;
    bool m_hovered = false;
};
