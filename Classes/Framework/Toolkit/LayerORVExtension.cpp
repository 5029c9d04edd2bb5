#include "Classes/Framework/Toolkit/LayerORVExtension.h"

#include "Classes/Framework/Toolkit/OVCIImageLayer.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerRenderer.h"

#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace LayerORVExtension {

std::shared_ptr<pf::Layer> duplicate(const pf::Layer& layer)
{
    std::shared_ptr<pf::Layer> copy = layer.newOfSameClass();
    if (const auto* imageLayer = dynamic_cast<const OVCIImageLayer*>(&layer)) {
        if (auto* imageCopy = dynamic_cast<OVCIImageLayer*>(copy.get()))
            imageCopy->setImage(imageLayer->image());
    } else {
        copy->setContents(layer.contents());
    }
    copy->setAnchorPoint(layer.anchorPoint());
    copy->setAnchorPointZ(layer.anchorPointZ());
    copy->setBounds(layer.bounds());
    copy->setPosition(layer.position());
    copy->setZPosition(layer.zPosition());
    copy->setContentsGravity(layer.contentsGravity());
    copy->setContentsRect(layer.contentsRect());
    copy->setShadowColor(layer.shadowColor());
    copy->setShadowOffset(layer.shadowOffset());
    copy->setShadowRadius(layer.shadowRadius());
    copy->setTransform(layer.transform());
    copy->setSublayerTransform(layer.sublayerTransform());
    copy->setOpacity(layer.opacity());
    copy->setBorderColor(layer.borderColor());
    copy->setBorderWidth(layer.borderWidth());
    copy->setCornerRadius(layer.cornerRadius());
    return copy;
}

double transparencyAt(pf::Layer& layer, pf::Point point)
{
    const QImage pixel =
        pf::LayerRenderer::renderRectToImage(layer, pf::Rect(point.x, point.y, 1, 1), 1, false);
    if (pixel.isNull())
        return 0;
    return pixel.convertToFormat(QImage::Format_Alpha8).pixelColor(0, 0).alpha() / 255.0;
}

QString fullDescription(const pf::Layer& layer)
{
    const char* mangled = typeid(layer).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    const QString className = QString::fromLatin1(status == 0 && demangled ? demangled : mangled);
    std::free(demangled);
    const pf::Rect frame = layer.frame();
    const pf::Rect contents = layer.contentsRect();
    return QStringLiteral("<%1: 0x%2>").arg(className, QString::number(quintptr(&layer), 16)) +
           QString::asprintf("\n Frame: (%f, %f, %f, %f)", frame.origin.x, frame.origin.y, frame.size.width,
                             frame.size.height) +
           QString::asprintf("\n Contents Rect: (%f, %f, %f, %f)", contents.origin.x, contents.origin.y,
                             contents.size.width, contents.size.height);
}

} // namespace LayerORVExtension
