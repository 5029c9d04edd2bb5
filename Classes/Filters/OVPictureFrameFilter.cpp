#include "Classes/Filters/OVPictureFrameFilter.h"

#include "Classes/Filters/FilterArtwork.h"
#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/NumberText.h"

using namespace pf;
using FrameworkFilterSupport::var;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString FrameNameKey = QStringLiteral("inputFrameName");
const QString MaskMark = QStringLiteral("Mask");

} // namespace

OVPictureFrameFilter::OVPictureFrameFilter(const QString& className) : OVFilter(className)
{
    declareInput(ImageKey);
    declareInput(FrameNameKey, FilterArtwork::choiceAttributes(FilterArtwork::FrameType, MaskMark));
}

void OVPictureFrameFilter::setValue(const QVariant& value, const QString& key)
{
    OVFilter::setValue(value, key);
    if (key == FrameNameKey)
        loadFrame(value.isValid() ? value.toString() : QString());
}

void OVPictureFrameFilter::loadFrame(const QString& name)
{
    if (name.isNull()) {
        m_frameLayout = Rect(0, 0, 0, 0);
        m_frameImage = m_maskImage = Image();
        return;
    }
    // Frame masks live beside their frames; a frame is never one of them.
    const FilterArtwork::Found found =
        FilterArtwork::lookUpReported(FilterArtwork::FrameType, name, MaskMark, 4,
                                      QStringLiteral("Picture Frame"), QStringLiteral("Picture Frame"));
    OVFilter::setValue(found.idName, FrameNameKey);
    if (found.path.isEmpty()) {
        // Nothing of an earlier frame may stay in use with a name that found none.
        m_frameImage = m_maskImage = Image();
        m_frameLayout = Rect(0, 0, 0, 0);
        return;
    }
    // With the wrong number of numbers the layout stays as it was.
    if (found.options.size() == 4)
        m_frameLayout = Rect(leadingNumberValue(found.options[0]), leadingNumberValue(found.options[1]),
                             leadingNumberValue(found.options[2]), leadingNumberValue(found.options[3]));
    m_frameImage = FilterArtwork::read(found.path);
    m_maskImage = FilterArtwork::read(
        FilterArtwork::fileNamed(FilterArtwork::FrameType, ORVExtension::resourceIDName(found.path) +
                                                               MaskMark + QStringLiteral(".png")));
}

void OVPictureFrameFilter::copyStateTo(Filter& other) const
{
    OVFilter::copyStateTo(other);
    if (auto* frame = dynamic_cast<OVPictureFrameFilter*>(&other)) {
        frame->m_frameImage = m_frameImage;
        frame->m_maskImage = m_maskImage;
        frame->m_frameLayout = m_frameLayout;
    }
}

std::optional<OVPictureFrameFilter::Placement> OVPictureFrameFilter::placement(const Rect& picture,
                                                                               const Rect& layout)
{
    if (!FrameworkFilterSupport::hasArea(picture) || !FrameworkFilterSupport::hasArea(layout))
        return std::nullopt;
    const double s = std::min(picture.width() / layout.width(), picture.height() / layout.height());
    const double left = picture.minX() + (picture.width() - s * layout.width()) / 2;
    const double bottom = picture.minY() + (picture.height() - s * layout.height()) / 2;
    Placement p;
    p.transform =
        AffineTransform::translation(left - s * layout.minX(), bottom - s * layout.minY()).scaled(s, s);
    p.opening = Rect(left, bottom, s * layout.width(), s * layout.height());
    return p;
}

Image OVPictureFrameFilter::outputImage() const
{
    const Image image = imageValue(ImageKey);
    if (image.isNull())
        return Image();
    const std::optional<Placement> p = placement(image.extent(), m_frameLayout);
    if (!p || m_frameImage.isNull())
        return image;
    Image picture;
    if (!m_maskImage.isNull()) {
        picture =
            FrameworkFilterSupport::builtin(
                QStringLiteral("CIBlendWithMask"),
                {{ImageKey, var(image)},
                 {QStringLiteral("inputBackgroundImage"), var(Image::constantColor(Color(0, 0, 0, 0)))},
                 {QStringLiteral("inputMaskImage"), var(m_maskImage.imageByApplyingTransform(p->transform))}})
                // Nothing shows outside the picture, but the endless transparent background would
                // otherwise make the framed picture endless too.
                .imageByCroppingToRect(image.extent());
    } else {
        picture = image.imageByCroppingToRect(p->opening);
    }
    return FrameworkFilterSupport::builtin(
        QStringLiteral("CISourceOverCompositing"),
        {{ImageKey, var(m_frameImage.imageByApplyingTransform(p->transform))},
         {QStringLiteral("inputBackgroundImage"), var(picture)}});
}
