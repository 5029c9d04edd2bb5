#pragma once

#include "Platform/UI/View.h"

#include <QImage>

class OVImagePrintViewDelegate;

// Draws one image fitted into its bounds for printing, turned by a quarter turn when the image is in
// portrait form and the view is not (or the other way round). Without an image it asks its delegate.
class OVImagePrintView : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    QImage image() const { return m_image; }
    void setImage(const QImage& image) { m_image = image; }
    // Not owned; clear it before the delegate goes.
    OVImagePrintViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVImagePrintViewDelegate* delegate) { m_delegate = delegate; }

    // Whether the image is drawn turned in the current bounds.
    bool drawsTurned() const;
    // Where the image lands, in the (possibly turned) drawing area of size `area`; empty for an image
    // without width or height.
    static pf::Rect fittedRect(pf::Size imageSize, pf::Size area);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QImage m_image;
    OVImagePrintViewDelegate* m_delegate = nullptr;
};
