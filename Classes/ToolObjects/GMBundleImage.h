#pragma once

#include "Platform/Image/Image.h"

#include <QImage>
#include <QString>

// Images of the application's resources by name, as blueprints name them ("img@SkinPatch", icons), as
// engine images or as QImage (the bundle's image lookup finds the file).
class GMBundleImage
{
public:
    static QString pathForImageNamed(const QString& name);
    static pf::Image imageNamed(const QString& name);
    static QImage qimageNamed(const QString& name);
};
