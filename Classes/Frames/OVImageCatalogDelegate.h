#pragma once

#include <QString>

class OVImageCatalog;

// Whoever opened the image catalog: hears which picture was chosen (the full picture's path) and,
// optionally, that the catalog closed.
class OVImageCatalogDelegate
{
public:
    virtual ~OVImageCatalogDelegate() = default;
    virtual void imageCatalogSelectImageWithPath(OVImageCatalog* catalog, const QString& path) = 0;
    virtual void imageCatalogDidClose(OVImageCatalog*) {}
};
