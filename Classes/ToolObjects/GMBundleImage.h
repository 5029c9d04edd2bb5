#pragma once

#include "Platform/Image/Image.h"

#include <QImage>
#include <QString>

// Images of the application's resources by name, as blueprints name them ("img@SkinPatch", icons):
// looked up in the resources folder and its "Images" folder, as TIFF, PNG or JPEG in that order.
class GMBundleImage
{
public:
    static QString pathForImageNamed(const QString& name);
    static pf::Image imageNamed(const QString& name);
    static QImage qimageNamed(const QString& name);
};
