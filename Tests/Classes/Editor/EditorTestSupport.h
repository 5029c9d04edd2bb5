#pragma once

#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/View.h"

#include <QImage>
#include <memory>

namespace editortest {

// A mouse event at a point of the view's own coordinates, delivered to the view.
inline void mouse(pf::View* view, pf::EventType type, pf::Point inView, unsigned flags = 0)
{
    view->dispatch(pf::Event::mouseEvent(type, view->convertPointToView(inView, nullptr), flags, 0, nullptr));
}

// Down, then up, at the same point.
inline void click(pf::View* view, pf::Point inView)
{
    mouse(view, pf::EventType::LeftMouseDown, inView);
    mouse(view, pf::EventType::LeftMouseUp, inView);
}

inline pf::Event wheel(double dx, double dy, unsigned flags = 0, pf::EventPhase phase = pf::EventPhase::None)
{
    return pf::Event::scrollEvent(pf::Point(), flags, 0, nullptr, dx, dy, phase != pf::EventPhase::None,
                                  phase);
}

// The alpha of the pixel at (x, y) of an image of a y-up drawing of `height` points at scale 1.
inline int alphaAt(const QImage& image, double x, double y)
{
    return qAlpha(image.pixel(int(x), image.height() - 1 - int(y)));
}

// An effect with the brush kinds listed ("click,smartBrush,brush,eraser" or a part of it), an
// intensity and optionally a colour setting, and the brush defaults given.
inline std::shared_ptr<GMEffectBlueprint> blueprint(const QString& name, const QString& brushTypes,
                                                    bool hasColor = false, const QVariantMap& brush = {})
{
    QVariantMap brushValues = brush;
    brushValues.insert(QStringLiteral("brushTypes"), brushTypes);
    QVariantMap settings{{QStringLiteral("intensity"),
                          QVariantMap{{QStringLiteral("CIAttributeClass"), QStringLiteral("NSNumber")},
                                      {QStringLiteral("CIAttributeDefault"), 0.7}}}};
    if (hasColor)
        settings.insert(QStringLiteral("color"),
                        QVariantMap{{QStringLiteral("CIAttributeClass"), QStringLiteral("CIColor")},
                                    {QStringLiteral("CIAttributeDefault"),
                                     QVariantList{QStringLiteral("vectorTypeColor"), 0.2, 0.4, 0.8, 1.0}}});
    // The test filters' graphs (testfilters::registerAll): a masked wash composed over the photo.
    const QVariantMap composition{
        {QStringLiteral("CIFilterName"), QStringLiteral("TestOverFilter")},
        {QStringLiteral("inputValues"),
         QVariantMap{{QStringLiteral("inputBackgroundImage"),
                      QStringLiteral("exposeAs:inputBackgroundImage:compositionLayer")},
                     {QStringLiteral("inputImage"), QStringLiteral("exposeAs:inputImage:compositionLayer")},
                     {QStringLiteral("inputIntensity"), 1.0}}}};
    const QVariantMap filter{
        {QStringLiteral("CIFilterName"), QStringLiteral("TestMaskedColorFilter")},
        {QStringLiteral("inputValues"),
         QVariantMap{{QStringLiteral("inputColor"),
                      QVariantList{QStringLiteral("vectorTypeColor"), 0.9, 0.6, 0.3, 1.0}},
                     {QStringLiteral("inputImage"), QStringLiteral("originalImage")},
                     {QStringLiteral("inputIntensity"), QStringLiteral("->settings.intensity")},
                     {QStringLiteral("inputMaskImage"), QStringLiteral("mask")}}}};
    return std::make_shared<GMEffectBlueprint>(
        QVariantMap{{QStringLiteral("name"), name},
                    {QStringLiteral("displayName"), name},
                    {QStringLiteral("description"), QStringLiteral("What %1 does.").arg(name)},
                    {QStringLiteral("howTo"), QStringLiteral("How to paint %1.").arg(name)},
                    {QStringLiteral("brush"), brushValues},
                    {QStringLiteral("settings"), settings},
                    {QStringLiteral("composition"), composition},
                    {QStringLiteral("filter"), filter}});
}

inline std::shared_ptr<PhotoToolChain> chain(int width = 64, int height = 48)
{
    return std::make_shared<PhotoToolChain>(pf::Image::constantColor(pf::Color(0.5, 0.5, 0.5))
                                                .imageByCroppingToRect(pf::Rect(0, 0, width, height)));
}

} // namespace editortest
