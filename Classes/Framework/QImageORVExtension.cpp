#include "Classes/Framework/QImageORVExtension.h"

#include "Classes/Framework/QImageGMImageExtension.h"

namespace ORVExtension {

pf::Bitmap cgImage(const QImage& image)
{
    return GMImageExtension::cgImage(image);
}

pf::Image ciImage(const QImage& image)
{
    return GMImageExtension::getCIImage(image);
}

} // namespace ORVExtension
