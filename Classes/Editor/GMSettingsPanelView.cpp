#include "Classes/Editor/GMSettingsPanelView.h"

#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMPanelLabel.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/OVHoverView.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/PatternPicker.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVHoverWindowController.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVInfoHoverButton.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainter>

namespace {

// The sheet's colour where the background piece begins, and its edge.
const QColor sheet(0x2c, 0x2e, 0x33, 247);
const QColor sheetEdge(0x12, 0x13, 0x16);
const QColor textColor(226, 228, 232);
const QColor quietTextColor(160, 164, 171);

OVImageView* imageView(pf::View* parent, const pf::Rect& frame, const QString& name)
{
    auto* view = new OVImageView(frame);
    view->setImage(pf::NamedImage::image(name));
    view->setNoHitTesting(true);
    parent->addSubview(view);
    return view;
}

GMPanelLabel* label(pf::View* parent, const pf::Rect& frame, const QFont& font, const QColor& color,
                    bool wraps = false)
{
    auto* field = new GMPanelLabel(frame);
    field->setFont(font);
    field->setTextColor(color);
    field->setWraps(wraps);
    parent->addSubview(field);
    return field;
}

// The names of the pictograms, the slider icons and the hide icon.
const QStringList pictogramNames = {QStringLiteral("PictoClick.png"), QStringLiteral("PictoMagicBrush.png"),
                                    QStringLiteral("PictoBrush.png"), QStringLiteral("PictoEraser.png"),
                                    QStringLiteral("PictoColor.png"), QStringLiteral("PictoPattern.png")};
const QString sizeIcon = QStringLiteral("BrushSizeIcon.png");
const QString smoothnessIcon = QStringLiteral("BrushSmoothnessIcon.png");
const QString hideIconName = QStringLiteral("HideEffect.png");

} // namespace

void GMSettingsPanelView::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    const pf::Rect b = bounds();
    const double base = OVImageSize::pointSize(midImg()).height;
    if (b.size.height > base) {
        const pf::Rect body(b.origin.x, b.origin.y + base, b.size.width, b.size.height - base);
        painter.fillRect(body.toQRectF(), sheet);
        painter.setPen(QPen(sheetEdge, 1));
        painter.drawLine(QPointF(body.minX() + 0.5, body.minY()), QPointF(body.minX() + 0.5, body.maxY()));
        painter.drawLine(QPointF(body.maxX() - 0.5, body.minY()), QPointF(body.maxX() - 0.5, body.maxY()));
    }
    OV3PartImageView::drawRect(painter, dirtyRect);
}

pf::Interface GMSettingsPanelView::makeInterface(QObject*, const pf::Bundle&)
{
    const double w = 395, h = 240;
    auto* panel = new GMSettingsPanelView(pf::Rect(0, 0, w, h));
    pf::Interface interface;
    interface.topLevelObjects = {panel};
    auto& outlets = interface.outlets;
    outlets.insert(QStringLiteral("view"), panel);

    // Faces: the containers take their frames when the controller loads the panel.
    const pf::Rect container(19, 20, w - 38, h - 20);
    auto* introduction = new pf::View(container);
    auto* information = new pf::View(container);
    auto* controls = new pf::View(container);
    for (pf::View* face : {introduction, information, controls})
        panel->addSubview(face);
    outlets.insert(QStringLiteral("introduction"), introduction);
    outlets.insert(QStringLiteral("informationView"), information);
    outlets.insert(QStringLiteral("controlsView"), controls);

    // The introduction.
    auto* title = label(introduction, pf::Rect(11, 180, 330, 22), pf::boldSystemFont(14), textColor);
    title->setText(pf::localized(QStringLiteral("Start with an effect")));
    auto* body = label(introduction, pf::Rect(11, 96, 320, 78), pf::systemFont(12), quietTextColor, true);
    body->setText(pf::localized(QStringLiteral(
        "Choose an effect from the strip below, then paint over the photo where it should apply. "
        "Select one of its layers to change its strength and brush.")));

    // The preview: its texts stand in the panel's own coordinates.
    information->setBoundsOrigin(container.origin);
    outlets.insert(QStringLiteral("description"),
                   label(information, pf::Rect(30, 28, 326, 136), pf::systemFont(12), quietTextColor, true));

    // The name, shared by the preview and the controls.
    outlets.insert(QStringLiteral("displayName"),
                   label(panel, pf::Rect(30, 206, 300, 22), pf::boldSystemFont(15), textColor));

    // The controls.
    auto* intensity = new EffectIntensity(pf::Rect(4, 130, 246, 36));
    controls->addSubview(intensity);
    outlets.insert(QStringLiteral("effectIntensity"), intensity);
    auto* colorPicker = new ColorPicker(pf::Rect(268, 126, 64, 44));
    controls->addSubview(colorPicker);
    outlets.insert(QStringLiteral("colorPicker"), colorPicker);
    auto* patternPicker = new PatternPicker(pf::Rect(268, 126, 64, 44));
    patternPicker->setAlphaValue(0);
    controls->addSubview(patternPicker, pf::View::Ordering::Below, colorPicker);
    outlets.insert(QStringLiteral("patternPicker"), patternPicker);

    auto* toolSwitch = new OVMultiSwitch(pf::Rect(11, 8, 54, 112));
    controls->addSubview(toolSwitch);
    outlets.insert(QStringLiteral("toolSwitch"), toolSwitch);
    outlets.insert(QStringLiteral("toolIcon"), imageView(controls, pf::Rect(80, 92, 24, 24), QString()));
    outlets.insert(QStringLiteral("brushText"),
                   label(controls, pf::Rect(110, 95, 200, 18), pf::systemFont(12), textColor));
    outlets.insert(QStringLiteral("brushSizeImage"), imageView(controls, pf::Rect(82, 52, 20, 20), sizeIcon));
    outlets.insert(QStringLiteral("brushSmoothnessImage"),
                   imageView(controls, pf::Rect(82, 18, 20, 20), smoothnessIcon));
    auto* sizeSlider = new GMSlider(pf::Rect(110, 55, 222, 14));
    auto* smoothnessSlider = new GMSlider(pf::Rect(110, 21, 222, 14));
    controls->addSubview(sizeSlider);
    controls->addSubview(smoothnessSlider);
    outlets.insert(QStringLiteral("brushSizeSlider"), sizeSlider);
    outlets.insert(QStringLiteral("brushSmoothnessSlider"), smoothnessSlider);

    auto* info = new OVInfoHoverButton(pf::Rect(313, 188, 18, 18));
    info->setName(QStringLiteral("InfoButton"));
    controls->addSubview(info);
    outlets.insert(QStringLiteral("infoButton"), info);
    auto* hide = new OVHoverView(pf::Rect(200, 188, 18, 18));
    hide->setImageName(hideIconName);
    hide->setGravity(0);
    controls->addSubview(hide);
    outlets.insert(QStringLiteral("hideIcon"), hide);

    // The remove button belongs to the panel: the preview of the selected layer offers it too.
    auto* close = new OVButton(pf::Rect(355, 209, 16, 16));
    close->setName(QStringLiteral("Remove"));
    close->setToolTip(pf::localized(QStringLiteral("Remove Effect")));
    panel->addSubview(close);
    outlets.insert(QStringLiteral("closeButton"), close);

    // The pictograms, in the panel: where the click pictogram stands now is where the preview's row of
    // pictograms begins.
    const QStringList outletNames = {QStringLiteral("pictoClick"), QStringLiteral("pictoBrushMagic"),
                                     QStringLiteral("pictoBrush"), QStringLiteral("pictoEraser"),
                                     QStringLiteral("pictoColor"), QStringLiteral("pictoPattern")};
    for (int i = 0; i < outletNames.size(); ++i) {
        const QImage image = pf::NamedImage::image(pictogramNames[i]);
        auto* picto =
            imageView(panel, pf::Rect(pf::Point(30, 172), OVImageSize::pointSize(image)), pictogramNames[i]);
        picto->setAlphaValue(0);
        outlets.insert(outletNames[i], picto);
    }
    return interface;
}

QStringList GMSettingsPanelView::imageNames()
{
    return pictogramNames + QStringList{sizeIcon,
                                        smoothnessIcon,
                                        hideIconName,
                                        QStringLiteral("HideEffectHovered.png"),
                                        QStringLiteral("SettingsBackgroundLeft.png"),
                                        QStringLiteral("SettingsBackgroundMid.png"),
                                        QStringLiteral("SettingsBackgroundRight.png")};
}
