#pragma once

#include "Platform/Foundation/Size.h"

#include <QImage>

class OVImagePrintView;

// Hands a print view the image to draw when it has none.
class OVImagePrintViewDelegate
{
public:
    virtual ~OVImagePrintViewDelegate() = default;
    virtual QImage printImageForView(OVImagePrintView* view, pf::Size maxSize) = 0;
};
