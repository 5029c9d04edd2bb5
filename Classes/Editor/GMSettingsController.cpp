#include "Classes/Editor/GMSettingsController.h"

#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMPanelLabel.h"
#include "Classes/Editor/GMSettingsDelegate.h"
#include "Classes/Editor/GMSettingsPanelView.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/OVHoverView.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/OVViewState.h"
#include "Classes/Editor/PatternPicker.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVHoverWindowController.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVInfoHoverButton.h"
#include "Classes/Framework/Toolkit/OVToolTipController.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Image/Color.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/ViewAnimator.h"

#include <QApplication>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace {

const QString interfaceName = QStringLiteral("GMSettingsController");
constexpr double faceDuration = 0.25;
constexpr unsigned optionKeyMask =
    pf::Modifier::Shift | pf::Modifier::Control | pf::Modifier::Option | pf::Modifier::Command;

QString localizedText(const char* english)
{
    return pf::localized(QString::fromUtf8(english));
}

QColor colorOf(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<pf::Color>())
        return value.value<pf::Color>().toQColor();
    if (value.metaType().id() == QMetaType::QColor)
        return value.value<QColor>();
    return QColor(Qt::red);
}

// Runs `changes` as one animation group of the faces' duration.
void inFaceAnimation(const std::function<void()>& changes)
{
    pf::ViewAnimator::runGroup(faceDuration, changes);
}

void fade(pf::View* view, double alpha)
{
    OVViewState::setAlpha(view, alpha, true);
}

} // namespace

GMSettingsController::GMSettingsController(QObject* parent)
{
    setParent(parent);
    registerInterface();
}

GMSettingsController::~GMSettingsController()
{
    if (m_smoothnessTimer)
        m_smoothnessTimer->invalidate();
    // The view may outlive the controller for a moment (until its owner lets it go): its controls must
    // not call back into it.
    if (m_colorPicker)
        m_colorPicker->setDelegate(nullptr);
    if (m_toolSwitch)
        m_toolSwitch->setDelegate(nullptr);
    if (m_effectIntensity)
        m_effectIntensity->setDelegate(nullptr);
    if (m_hideIcon)
        m_hideIcon->setDelegate(nullptr);
    for (GMSlider* slider : {m_brushSizeSlider, m_brushSmoothnessSlider}) {
        if (slider)
            slider->setDelegate(nullptr);
    }
    if (m_closeButton)
        m_closeButton->setAction(nullptr);
}

void GMSettingsController::registerInterface()
{
    if (!pf::InterfaceRegistry::hasInterface(interfaceName))
        pf::InterfaceRegistry::registerInterface(interfaceName, &GMSettingsPanelView::makeInterface);
}

void GMSettingsController::loadView()
{
    OVViewController::loadView();
    auto* panel = qobject_cast<OV3PartImageView*>(isViewLoaded() ? view() : nullptr);
    if (!panel)
        return;
    m_controlsView = outlet<pf::View>(QStringLiteral("controlsView"));
    m_informationView = outlet<pf::View>(QStringLiteral("informationView"));
    m_introduction = outlet<pf::View>(QStringLiteral("introduction"));
    m_toolSwitch = outlet<OVMultiSwitch>(QStringLiteral("toolSwitch"));
    m_pictoClick = outlet<OVImageView>(QStringLiteral("pictoClick"));
    m_pictoBrushMagic = outlet<OVImageView>(QStringLiteral("pictoBrushMagic"));
    m_pictoBrush = outlet<OVImageView>(QStringLiteral("pictoBrush"));
    m_pictoEraser = outlet<OVImageView>(QStringLiteral("pictoEraser"));
    m_pictoColor = outlet<OVImageView>(QStringLiteral("pictoColor"));
    m_pictoPattern = outlet<OVImageView>(QStringLiteral("pictoPattern"));
    m_closeButton = outlet<OVButton>(QStringLiteral("closeButton"));
    m_displayName = outlet<GMPanelLabel>(QStringLiteral("displayName"));
    m_colorPicker = outlet<ColorPicker>(QStringLiteral("colorPicker"));
    m_patternPicker = outlet<PatternPicker>(QStringLiteral("patternPicker"));
    m_brushSizeSlider = outlet<GMSlider>(QStringLiteral("brushSizeSlider"));
    m_brushSmoothnessSlider = outlet<GMSlider>(QStringLiteral("brushSmoothnessSlider"));
    m_brushSizeImage = outlet<OVImageView>(QStringLiteral("brushSizeImage"));
    m_brushSmoothnessImage = outlet<OVImageView>(QStringLiteral("brushSmoothnessImage"));
    m_brushText = outlet<GMPanelLabel>(QStringLiteral("brushText"));
    m_description = outlet<GMPanelLabel>(QStringLiteral("description"));
    m_hideIcon = outlet<OVHoverView>(QStringLiteral("hideIcon"));
    m_toolIcon = outlet<OVImageView>(QStringLiteral("toolIcon"));
    m_effectIntensity = outlet<EffectIntensity>(QStringLiteral("effectIntensity"));
    m_infoButton = outlet<OVInfoHoverButton>(QStringLiteral("infoButton"));

    m_displayNameFrame = m_displayName->frame();
    m_displayNameX = m_displayNameFrame.origin.x;
    m_displayNameShift = m_description->frame().origin.x - m_displayNameX + 1.0;
    const pf::Rect bounds = panel->bounds();
    m_pictoFromTop = bounds.size.height - m_pictoClick->frame().origin.y;
    m_pictoFromLeft = m_pictoClick->frame().origin.x;

    const pf::Rect container(19, 20, bounds.size.width - 38, bounds.size.height - 20);
    m_introduction->setFrame(container);
    m_controlsView->setFrame(container);
    setToolState(2);

    panel->setLeftImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundLeft.png")));
    panel->setMidImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundMid.png")));
    panel->setRightImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundRight.png")));

    m_colorPicker->setDelegate(this);
    m_toolSwitch->setDelegate(this);
    m_effectIntensity->setDelegate(this);
    m_hideIcon->setDelegate(this);
    for (GMSlider* slider : {m_brushSizeSlider, m_brushSmoothnessSlider}) {
        // A slider of the interface has no range of its own.
        slider->setMinValue(0);
        slider->setMaxValue(1);
        slider->setDelegate(this);
        slider->setValue(0.5);
        slider->addToolTipRect(slider->bounds(), toolTipForView(slider));
    }
    m_closeButton->setAction([this](OVButton*) { removePhotoTool(); });
    m_infoButton->setInfoTitle(localizedText("How to use this Effect"));
    showEmptySelection();
}

std::vector<OVImageView*> GMSettingsController::pictograms() const
{
    return {m_pictoClick, m_pictoBrushMagic, m_pictoBrush, m_pictoEraser, m_pictoColor, m_pictoPattern};
}

GMSettingsController::Face GMSettingsController::face() const
{
    if (!m_controlsView)
        return Face::Introduction;
    if (OVViewState::modelAlpha(m_controlsView) != 0)
        return Face::Controls;
    if (OVViewState::modelAlpha(m_introduction) != 0)
        return Face::Introduction;
    return Face::Preview;
}

std::shared_ptr<PhotoTool> GMSettingsController::selectedTool() const
{
    return m_toolChain ? m_toolChain->selectedPhotoTool() : nullptr;
}

int GMSettingsController::selectionIndex() const
{
    return m_toolChain ? m_toolChain->selectionIndex() : 0;
}

void GMSettingsController::setToolChain(std::shared_ptr<PhotoToolChain> chain)
{
    m_toolChain = std::move(chain);
}

void GMSettingsController::showEmptySelection()
{
    if (!view())
        return;
    // A colour change still waiting for its final report belongs to the layer it was made on.
    m_colorPicker->deliverPendingReport();
    m_closeButton->setEnabled(false);
    OVViewState::setAlpha(m_closeButton, 0);
    OVViewState::setAlpha(m_informationView, 1);
    OVViewState::setAlpha(m_controlsView, 0);
    for (OVImageView* picto : pictograms())
        OVViewState::setAlpha(picto, 0);
    m_displayName->setText(QString());
    m_description->setText(QString());
    OVViewState::setAlpha(m_introduction, 1);
    // The hide icon is out of sight: the pointer resting where it was must not hide the stroke.
    setAllowFilterHiding(false);
    if (m_delegate)
        m_delegate->settingsControllerDidChangeBrush(this, std::nullopt);
}

void GMSettingsController::showPhotoTool(const std::shared_ptr<PhotoTool>& tool)
{
    if (!tool) {
        showEmptySelection();
        return;
    }
    showFilterSettings(tool);
    updateCursor(false);
}

void GMSettingsController::setToolPictograms(const QStringList& brushTypes, bool animated)
{
    const std::pair<OVImageView*, const char*> kinds[] = {{m_pictoClick, "click"},
                                                          {m_pictoBrushMagic, "smartBrush"},
                                                          {m_pictoBrush, "brush"},
                                                          {m_pictoEraser, "eraser"}};
    for (const auto& [picto, kind] : kinds)
        OVViewState::setAlpha(picto, brushTypes.contains(QLatin1String(kind)) ? 1 : 0, animated);
}

void GMSettingsController::showFilterSettings(const std::shared_ptr<PhotoTool>& tool)
{
    if (!view())
        return;
    const std::shared_ptr<GMEffectBlueprint> blueprint = tool ? tool->blueprint() : nullptr;
    if (!blueprint) {
        showEmptySelection();
        return;
    }
    m_colorPicker->deliverPendingReport();
    const QStringList brushTypes = tool->brushTypes();
    const unsigned n = unsigned(brushTypes.size());
    inFaceAnimation([&] {
        m_closeButton->setEnabled(true);
        fade(m_closeButton, 1);
        fade(m_introduction, 0);
        setToolPictograms(brushTypes, true);
        if (n > 0)
            m_toolSwitch->setNumStates(n);
        for (pf::View* view : std::initializer_list<pf::View*>{
                 m_toolSwitch, m_brushSizeSlider, m_brushSmoothnessSlider, m_brushSizeImage,
                 m_brushSmoothnessImage, m_brushText, m_toolIcon})
            fade(view, n > 0 ? 1 : 0);
        if (tool->hasInputForInputKey(QStringLiteral("color"))) {
            m_colorPicker->setColor(colorOf(tool->valueForInputKey(QStringLiteral("color"))));
            fade(m_pictoColor, 1);
            fade(m_colorPicker, 1);
        } else {
            fade(m_pictoColor, 0);
            fade(m_colorPicker, 0);
        }
        fade(m_pictoPattern, 0);
        fade(m_informationView, 0);
        fade(m_controlsView, 1);

        // Pictograms beside the switch's stops, from the top; hidden kinds wait at the top stop.
        const unsigned m = m_toolSwitch->numStates();
        unsigned r = m;
        for (OVImageView* picto : {m_pictoClick, m_pictoBrushMagic}) {
            if (OVViewState::modelAlpha(picto) != 0) {
                setPositionForView(picto, r - 1);
                r -= 1;
            } else {
                setPositionForView(picto, m - 1);
            }
        }
        setPositionForView(m_pictoBrush, r >= 1 ? r - 1 : 0);
        setPositionForView(m_pictoEraser, r >= 2 ? r - 2 : 0);

        // The colour pictogram on the swatch, near its top.
        const pf::Rect swatch =
            m_colorPicker->convertRectToView(m_colorPicker->bounds(), m_pictoColor->superview());
        const pf::Size size = m_pictoColor->bounds().size;
        OVViewState::setFrameOrigin(m_pictoColor,
                                    pf::Point(swatch.origin.x + swatch.size.width * 0.5 - size.width * 0.5,
                                              swatch.origin.y + swatch.size.height - 4.0 - size.height),
                                    faceDuration);
        for (OVImageView* picto : pictograms())
            picto->setAutoresizingMask(pf::View::MinXMargin);

        m_displayName->setText(pf::localized(blueprint->displayName()));
        m_displayNameFrame = m_displayName->frame();
        m_displayNameFrame.origin.x = m_displayNameX;
        m_displayNameFrame.size.width = m_description->frame().maxX() - m_displayNameX;
        pf::ViewAnimator::animateFrame(m_displayName, m_displayNameFrame);
        setAllowFilterHiding(true);
        m_infoButton->setInfoDescription(pf::localized(blueprint->howToDescription()));
        if (n > 0)
            updateBrushFields();
        m_effectIntensity->setIntensity(tool->valueForInputKey(QStringLiteral("intensity")).toDouble());
    });
}

void GMSettingsController::setPositionForView(pf::View* view, unsigned state)
{
    const pf::Point p =
        m_toolSwitch->superview()->convertPointToView(m_toolSwitch->frame().origin, view->superview());
    const unsigned m = m_toolSwitch->numStates();
    // A switch of one state has one stop: its pictogram stands there.
    const float step =
        m > 1 ? float(m_toolSwitch->bounds().size.height - view->bounds().size.height) / float(m - 1) : 0.0f;
    OVViewState::setFrameOrigin(view, pf::Point(p.x, p.y + double(step * float(state))), faceDuration);
}

void GMSettingsController::showPreviewInformation(const std::shared_ptr<GMEffectBlueprint>& blueprint)
{
    showPreviewInformation(blueprint, false);
}

void GMSettingsController::showActivePreviewInformation(const std::shared_ptr<GMEffectBlueprint>& blueprint)
{
    showPreviewInformation(blueprint, true);
}

void GMSettingsController::showPreviewInformation(const std::shared_ptr<GMEffectBlueprint>& blueprint,
                                                  bool fromActiveTool)
{
    if (!view())
        return;
    if (!blueprint) {
        showEmptySelection();
        return;
    }
    const QStringList brushTypes = blueprint->brushTypes();
    inFaceAnimation([&] {
        m_closeButton->setEnabled(fromActiveTool);
        fade(m_closeButton, fromActiveTool ? 1 : 0);
        fade(m_introduction, 0);
        setToolPictograms(brushTypes, true);
        fade(m_pictoColor, blueprint->hasInputForInputKey(QStringLiteral("color")) ? 1 : 0);
        fade(m_pictoPattern, blueprint->hasInputForInputKey(QStringLiteral("pattern")) ? 1 : 0);
        if (!brushTypes.isEmpty())
            m_toolSwitch->setNumStates(unsigned(brushTypes.size()));
        const double y = view()->frame().size.height - m_pictoFromTop;
        fade(m_informationView, 1);
        fade(m_controlsView, 0);

        // A row of the pictograms shown, the pattern's last.
        double x = m_pictoFromLeft;
        for (OVImageView* picto :
             {m_pictoClick, m_pictoBrushMagic, m_pictoBrush, m_pictoEraser, m_pictoColor}) {
            OVViewState::setFrameOrigin(picto, pf::Point(x, y), faceDuration);
            if (OVViewState::modelAlpha(picto) != 0)
                x += picto->bounds().size.width + 5.0;
        }
        OVViewState::setFrameOrigin(m_pictoPattern, pf::Point(x, y), faceDuration);
        for (OVImageView* picto : pictograms())
            picto->setAutoresizingMask(pf::View::MaxXMargin);

        m_displayName->setText(pf::localized(blueprint->displayName()));
        m_displayNameFrame = m_displayName->frame();
        if (fromActiveTool) {
            m_displayNameFrame.origin.x = m_displayNameX;
            m_displayNameFrame.size.width = m_description->frame().maxX() - m_displayNameX;
        } else {
            m_displayNameFrame.origin.x = m_displayNameX + m_displayNameShift;
            m_displayNameFrame.size.width = m_infoButton->frame().origin.x +
                                            m_controlsView->frame().origin.x - 8.0 -
                                            m_displayNameFrame.origin.x;
        }
        pf::ViewAnimator::animateFrame(m_displayName, m_displayNameFrame);
        setAllowFilterHiding(fromActiveTool);
        m_description->setText(pf::localized(blueprint->toolDescription()));
    });
}

void GMSettingsController::updateBrushSliders(const std::shared_ptr<PhotoTool>& tool)
{
    const std::shared_ptr<GMEffectBlueprint> blueprint = tool ? tool->blueprint() : nullptr;
    if (!view() || !blueprint || blueprint->displayName().isEmpty())
        return;
    m_brushSizeSlider->setValue(tool->defaultBrushValueForKey(QStringLiteral("brushSize")).toDouble());
    m_brushSmoothnessSlider->setValue(
        tool->defaultBrushValueForKey(QStringLiteral("brushSmoothness")).toDouble());
    updateCursor(false);
}

void GMSettingsController::setToolState(unsigned state)
{
    m_toolState = state;
    if (!view())
        return;
    m_toolSwitch->setState(state);
    updateBrushFields();
}

GMSettingsController::BrushKind GMSettingsController::brushKindForState(const QStringList& brushTypes,
                                                                        unsigned state)
{
    const unsigned n = unsigned(brushTypes.size());
    if (n == 0)
        return BrushKind::None;
    const QString& kind = brushTypes[int(n - 1 - std::min(state, n - 1))];
    if (kind == QLatin1String("click"))
        return BrushKind::Click;
    if (kind == QLatin1String("smartBrush"))
        return BrushKind::SmartBrush;
    if (kind == QLatin1String("brush"))
        return BrushKind::Brush;
    return BrushKind::Eraser;
}

GMSettingsController::BrushKind GMSettingsController::brushKind() const
{
    const std::shared_ptr<PhotoTool> tool = selectedTool();
    return brushKindForState(tool ? tool->brushTypes() : QStringList(), m_toolState);
}

void GMSettingsController::updateBrushFields()
{
    if (!m_brushText)
        return;
    QString text, icon;
    double smoothness = 1;
    switch (brushKind()) {
    case BrushKind::Click:
        text = localizedText("Click Input");
        icon = QStringLiteral("PictoClick2.png");
        smoothness = 0;
        break;
    case BrushKind::SmartBrush:
        text = localizedText("Intelligent Brush");
        icon = QStringLiteral("PictoMagicBrush2.png");
        break;
    case BrushKind::Brush:
        text = localizedText("Brush");
        icon = QStringLiteral("PictoBrush2.png");
        break;
    case BrushKind::Eraser:
    case BrushKind::None:
        text = localizedText("Eraser");
        icon = QStringLiteral("PictoEraser2.png");
        break;
    }
    m_brushText->setText(text);
    m_toolIcon->setImage(pf::NamedImage::image(icon));
    fade(m_brushSmoothnessSlider, smoothness);
    fade(m_brushSmoothnessImage, smoothness);
}

OVBrush GMSettingsController::brush() const
{
    OVBrush brush;
    brush.brushSubType = OVBrush::None;
    if (!m_brushSizeSlider)
        return brush;
    brush.size = m_brushSizeSlider->value();
    const std::shared_ptr<PhotoTool> tool = selectedTool();
    const auto defaultValue = [&tool](const char* key) {
        return tool ? tool->defaultBrushValueForKey(QString::fromLatin1(key)) : QVariant();
    };
    const BrushKind kind = brushKind();
    if (kind == BrushKind::Click) {
        brush.type = OVBrush::Click;
        if (defaultValue("clickType").toString() == QLatin1String("replacement"))
            brush.brushSubType = OVBrush::IrisReplacement;
    } else if (kind == BrushKind::SmartBrush) {
        brush.type = OVBrush::SmartBrush;
        brush.smoothness = m_brushSmoothnessSlider->value();
        brush.pressure = defaultValue("brushHardness").toDouble();
        brush.kernelName = defaultValue("smartBrushType").toString();
    } else {
        const bool draws = kind == BrushKind::Brush || (kind == BrushKind::None && m_toolState == 1);
        brush.type = draws ? OVBrush::Draw : OVBrush::Eraser;
        brush.smoothness = m_brushSmoothnessSlider->value();
        brush.pressure = defaultValue("brushHardness").toDouble();
    }
    if (brush.type != OVBrush::Eraser) {
        const QString drawType = defaultValue("drawType").toString();
        if (drawType == QLatin1String("healing"))
            brush.brushSubType = OVBrush::Healing;
        else if (drawType == QLatin1String("beard"))
            brush.brushSubType = OVBrush::Beard;
    }
    return brush;
}

double GMSettingsController::calculateBrushSize() const
{
    const double v = m_brushSizeSlider ? m_brushSizeSlider->value() : 0;
    const double area = m_delegate ? m_delegate->drawingArea().size.width : 0;
    return v * area * v * 0.6 + 1.0;
}

QImage GMSettingsController::cursorWithSmoothness(bool smoothness) const
{
    const double s = calculateBrushSize();
    const double scale = std::max(1.0, pf::NamedImage::screenScale());
    const int pixels = std::max(1, int(std::ceil(s * scale)));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn y-up, as the brush's picture is described.
    painter.translate(0, s);
    painter.scale(1, -1);
    const QPointF centre(s / 2, s / 2);
    const auto dashed = [&painter](const QColor& color) {
        QPen pen(color, 1.0);
        pen.setDashPattern({5.0, 1.0});
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
    };
    if (isClickBrush()) {
        dashed(QColor::fromRgbF(0.8, 0.8, 0.8));
        const double arm = 0.05 * s;
        painter.drawLine(QPointF(centre.x(), centre.y() - arm), QPointF(centre.x(), centre.y() + arm));
        painter.drawLine(QPointF(centre.x() - arm, centre.y()), QPointF(centre.x() + arm, centre.y()));
    } else if (smoothness) {
        const double sm =
            OVViewState::isVisible(m_brushSmoothnessSlider) ? m_brushSmoothnessSlider->value() : 0;
        const double k = 1 - sm;
        // The gradient's radius reaches the corners of the square, so its edge location 0.7152857 is
        // just beyond the circle.
        QRadialGradient gradient(centre, s / std::sqrt(2.0));
        const double inner = std::max(0.001, k / 1.4);
        gradient.setColorAt(0, QColor::fromRgbF(0.5, 0.5, 0.5));
        gradient.setColorAt(inner, QColor::fromRgbF(0.5, 0.5, 0.5));
        gradient.setColorAt(0.7152857142857143, QColor::fromRgbF(0.5, 0.5, 0.5, 0));
        gradient.setColorAt(1, QColor::fromRgbF(0.5, 0.5, 0.5, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawEllipse(QRectF(0, 0, s, s));
        dashed(QColor::fromRgbF(1, 1, 1, std::min(1.0, 9 * k)));
        const double d = s * k;
        painter.drawEllipse(QRectF(centre.x() - d / 2, centre.y() - d / 2, d, d));
    }
    painter.setPen(QPen(Qt::white, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(0.5, 0.5, s - 0.5, s - 0.5));
    painter.end();
    return image;
}

void GMSettingsController::updateCursor(bool smoothness)
{
    const QImage image = cursorWithSmoothness(smoothness);
    const QSizeF size = image.deviceIndependentSize();
    const QCursor cursor(QPixmap::fromImage(image), int(std::lround(size.width() * 0.5)),
                         int(std::lround(size.height() * 0.5)));
    if (m_delegate)
        m_delegate->settingsControllerDidChangeBrush(this, cursor);
}

void GMSettingsController::setBrushSizeDelta(double delta)
{
    if (!m_brushSizeSlider || !OVViewState::isVisible(m_brushSizeSlider))
        return;
    m_brushSizeSlider->setValue(m_brushSizeSlider->value() + delta);
    updateCursor(false);
}

void GMSettingsController::setBrushSmoothnessDelta(double delta)
{
    if (!m_brushSmoothnessSlider || !OVViewState::isVisible(m_brushSmoothnessSlider))
        return;
    m_brushSmoothnessSlider->setValue(m_brushSmoothnessSlider->value() - delta);
    updateCursor(true);
    if (m_smoothnessTimer)
        m_smoothnessTimer->invalidate();
    m_smoothnessTimer = pf::Timer::scheduled(
        1.0, false, [this](pf::Timer&) { removeSmoothnessCursor(); }, this);
}

void GMSettingsController::removeSmoothnessCursor()
{
    if (m_smoothnessTimer) {
        m_smoothnessTimer->invalidate();
        m_smoothnessTimer.reset();
    }
    updateCursor(false);
}

void GMSettingsController::removePhotoTool()
{
    // The background layer is never removed.
    const int index = selectionIndex();
    if (!m_toolChain || index <= 0)
        return;
    if (m_delegate && !m_delegate->settingsControllerCanRemovePhotoToolAtIndex(this, index))
        return;
    m_toolChain->removePhotoToolAtIndex(index);
}

void GMSettingsController::setAllowFilterHiding(bool allow)
{
    m_allowFilterHiding = allow;
    updateFilterHiding();
}

void GMSettingsController::updateFilterHiding()
{
    if (!m_hideIcon)
        return;
    if (!m_allowFilterHiding) {
        m_hideIcon->setVisible(false);
        return;
    }
    const bool wasVisible = !m_hideIcon->isHidden();
    const double controlsX = m_controlsView->frame().origin.x;
    const double iconWidth = m_hideIcon->frame().size.width;
    m_displayNameFrame.size.width =
        m_infoButton->frame().origin.x + controlsX - 8.0 - iconWidth - 8.0 - m_displayNameFrame.origin.x;
    pf::ViewAnimator::animateFrame(m_displayName, m_displayNameFrame);
    const double x = std::min(m_displayName->intrinsicWidth(), m_displayNameFrame.size.width) +
                     m_displayNameFrame.origin.x + 8.0 - controlsX;
    OVViewState::setFrameOrigin(m_hideIcon, pf::Point(x, m_hideIcon->frame().origin.y),
                                wasVisible ? faceDuration : 0);
    m_hideIcon->setVisible(true);
}

QString GMSettingsController::toolTipForView(const QWidget* view) const
{
    if (view && view == m_brushSizeSlider)
        return QStringLiteral("Brush size: Ctrl + wheel up or ] makes it larger, Ctrl + wheel down or [ "
                              "smaller");
    if (view && view == m_brushSmoothnessSlider)
        return QStringLiteral("Brush smoothness: Ctrl + scroll right makes it softer, left harder");
    return QString();
}

void GMSettingsController::setValues(const QVariantMap& values, const QString& undoName, int index,
                                     bool preview)
{
    if (m_delegate)
        m_delegate->settingsControllerDidChangeSettings(this, values, index, undoName, preview);
}

bool GMSettingsController::keyboardKeyDownEvent(const pf::Event& event)
{
    // [ and ] size the brush, as image editors do, while its slider shows and no text is being typed.
    const QString key = event.charactersIgnoringModifiers();
    if (key != QLatin1String("[") && key != QLatin1String("]"))
        return false;
    if (event.modifierFlags() & (pf::Modifier::Command | pf::Modifier::Control | pf::Modifier::Option))
        return false;
    if (const QWidget* focus = QApplication::focusWidget();
        focus && focus->testAttribute(Qt::WA_InputMethodEnabled))
        return false;
    if (face() != Face::Controls || !m_brushSizeSlider || !OVViewState::isVisible(m_brushSizeSlider))
        return false;
    setBrushSizeDelta(key == QLatin1String("]") ? brushKeyStep : -brushKeyStep);
    return true;
}

void GMSettingsController::keyboardFlagsChangedEvent(const pf::Event& event)
{
    const unsigned flags = event.modifierFlags() & optionKeyMask;
    // The Eraser lasts only while Option alone is held: its end is taken in any face (a hover may have
    // shown an effect's description meanwhile), its start only where the brush controls show.
    if (flags == pf::Modifier::Option && face() == Face::Controls) {
        // A second Option key held with the first keeps the state to return to.
        if (!m_alternateKeyPressed) {
            m_alternateKeyPressed = true;
            m_oldToolState = m_toolState;
            setToolState(0);
        }
    } else if (m_alternateKeyPressed) {
        m_alternateKeyPressed = false;
        setToolState(m_oldToolState);
    }
}

void GMSettingsController::colorPickerDidChangeColor(ColorPicker*, const QColor& color, bool preview)
{
    int index = selectionIndex();
    if (preview) {
        m_colorTool = selectedTool();
        m_colorChangeOpen = true;
    } else if (m_colorChangeOpen) {
        // The final report closes the change on the layer it was made on, whatever is selected now;
        // nothing when that layer is gone.
        const std::shared_ptr<PhotoTool> tool = m_colorTool.lock();
        m_colorTool.reset();
        m_colorChangeOpen = false;
        index = tool && m_toolChain ? m_toolChain->indexForTool(tool.get()) : -1;
        if (index < 0)
            return;
    }
    setValues({{QStringLiteral("color"), QVariant::fromValue(pf::Color::fromQColor(color))}},
              localizedText("Change Color"), index, preview);
}

void GMSettingsController::effectIntensityDidChangeIntensity(EffectIntensity*, double intensity, bool preview)
{
    setValues({{QStringLiteral("intensity"), intensity}}, localizedText("Change Intensity"), selectionIndex(),
              preview);
}

void GMSettingsController::multiSwitchDidChangeState(OVMultiSwitch*, unsigned state)
{
    m_toolState = state;
    updateBrushFields();
}

void GMSettingsController::sliderDidChangeValue(GMSlider*, double, bool preview)
{
    if (!preview)
        updateCursor(false);
}

std::optional<QImage> GMSettingsController::imageForSlider(GMSlider* slider)
{
    return cursorWithSmoothness(slider == m_brushSmoothnessSlider);
}

void GMSettingsController::hoverViewStatusChanged(OVHoverView* view, bool hovered)
{
    if (!hovered && view)
        OVToolTipController::sharedController().hideForView(view);
    if (m_delegate)
        m_delegate->settingsControllerHideDrawLayer(this, hovered);
}

QString GMSettingsController::hideIconHint()
{
    return localizedText("While the pointer rests on the eye, the photo shows without this effect: "
                         "compare, then move away to see it again.");
}

void GMSettingsController::hoverViewWasClicked(OVHoverView* view)
{
    pf::Window* window = view ? view->window() : nullptr;
    if (!window)
        return;
    // Beside the icon, clear of the panel's controls.
    const pf::Rect icon = view->convertRectToView(view->bounds(), nullptr);
    OVToolTipController::sharedController().showTooltip(hideIconHint(),
                                                        pf::Point(icon.maxX() + 6, icon.minY()), view);
}

QStringList GMSettingsController::imageNames()
{
    return GMSettingsPanelView::imageNames() +
           QStringList{QStringLiteral("PictoClick2.png"), QStringLiteral("PictoMagicBrush2.png"),
                       QStringLiteral("PictoBrush2.png"), QStringLiteral("PictoEraser2.png")};
}
