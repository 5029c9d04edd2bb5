#include "Classes/Document/GMScenePreviewWindow.h"

#include "Classes/Document/GMFittedPictureView.h"

#include "Classes/Frames/OV2DRenderer.h"
#include "Classes/Frames/OV3DRenderer.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

constexpr double cardWidth = 1.2; // half scene widths
// The most of the scene's height a card may take, so that a tall picture's card, turned towards the
// viewer, stays inside the scene.
constexpr double cardHeightShare = 0.8;
constexpr double barHeight = 44;

// The image scaled to exactly that size, its extent at the origin.
Image scaledTo(const Image& image, double width, double height)
{
    const Rect extent = image.extent();
    return image.imageByApplyingTransform(
        AffineTransform::translation(-extent.minX(), -extent.minY())
            .concatenated(AffineTransform::scale(width / extent.width(), height / extent.height())));
}

} // namespace

GMScenePreviewWindow::GMScenePreviewWindow(const Image& background, const Image& picture)
{
    // The scene takes the background's size, within bounds that keep a render quick.
    m_size = Size(1024, 768);
    if (GMFittedPictureView::isShowable(background)) {
        const Rect extent = background.extent();
        const double scale =
            std::min({largestSceneWidth / extent.width(), largestSceneHeight / extent.height(), 1.0});
        m_size = Size(std::max(1.0, std::round(extent.width() * scale)),
                      std::max(1.0, std::round(extent.height() * scale)));
        m_background = scaledTo(background, m_size.width, m_size.height);
    }
    m_card = cardSprite(picture, m_size);

    m_window = new Window(Rect(120, 120, 900, 640));
    m_window->setTitle(localized(QStringLiteral("Scene Preview")));
    m_window->setMinimumSize(420, 320);
    m_view = new GMFittedPictureView(Rect(0, 0, 900, 640), barHeight,
                                     {.left = 24, .right = 24, .bottom = 16, .top = 24},
                                     localized(QStringLiteral("The scene could not be rendered.")));
    m_view->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    m_window->setContentView(m_view);

    auto makeSwitch = [this](const QString& title, const Rect& frame) {
        auto* button = new OVButton(frame);
        button->setName(QStringLiteral("DefaultStyleActive"));
        button->setTitle(title);
        button->setIsSwitchButton(true);
        button->setAction([this](OVButton*) { render(); });
        m_view->addSubview(button);
        return button;
    };
    m_flatSwitch = makeSwitch(QStringLiteral("Flat"), Rect(16, 11, 84, 22));
    m_finalQualitySwitch = makeSwitch(QStringLiteral("Final Quality"), Rect(110, 11, 124, 22));

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        m_window->move(available.center() - QPoint(450, 320));
    }
    render();
}

GMScenePreviewWindow::~GMScenePreviewWindow()
{
    if (m_window)
        m_window->deleteLater();
}

QVariantMap GMScenePreviewWindow::cardSprite(const Image& picture, const Size& sceneSize)
{
    QVariantMap card{{QStringLiteral("rotation.x"), 8.0},
                     {QStringLiteral("rotation.y"), -25.0},
                     {QStringLiteral("size.width"), cardWidth}};
    if (!GMFittedPictureView::isShowable(picture))
        return card;
    const Rect extent = picture.extent();
    double width = cardWidth;
    double height = cardWidth * extent.height() / extent.width();
    // The scene's height in half scene widths.
    const double sceneHeight = sceneSize.width > 0 ? 2 * sceneSize.height / sceneSize.width : 0;
    if (sceneHeight > 0 && height > cardHeightShare * sceneHeight) {
        width *= cardHeightShare * sceneHeight / height;
        height = cardHeightShare * sceneHeight;
    }
    card.insert(QStringLiteral("size.width"), width);
    card.insert(QStringLiteral("size.height"), height);
    // At the rectangle's pixel size the flat sprite matches the card, and the card's texture holds
    // no more than it shows.
    const double f = sceneSize.width / 2;
    card.insert(QStringLiteral("image"),
                QVariant::fromValue(scaledTo(picture, std::max(1.0, std::round(width * f)),
                                             std::max(1.0, std::round(height * f)))));
    return card;
}

bool GMScenePreviewWindow::isFlat() const
{
    return m_flatSwitch->state();
}

void GMScenePreviewWindow::setFlat(bool flat)
{
    setSwitch(m_flatSwitch, flat);
}

bool GMScenePreviewWindow::isFinalQuality() const
{
    return m_finalQualitySwitch->state();
}

void GMScenePreviewWindow::setFinalQuality(bool finalQuality)
{
    setSwitch(m_finalQualitySwitch, finalQuality);
}

void GMScenePreviewWindow::setSwitch(OVButton* button, bool on)
{
    if (on == button->state())
        return;
    button->setState(on);
    render();
}

void GMScenePreviewWindow::render()
{
    Image scene;
    if (isFlat()) {
        OV2DRenderer renderer;
        renderer.addSprite(m_card);
        scene = renderer.imageOfSize(m_size, m_background);
    } else {
        OV3DRenderer renderer;
        renderer.setDepthFactor(3);
        renderer.addSprite(m_card);
        scene = renderer.imageWithSize(m_size, m_background, !isFinalQuality());
    }
    m_scene = scene.isNull()
                  ? QImage()
                  : RenderContext::shared()->renderToQImage(scene, Rect(0, 0, m_size.width, m_size.height));
    m_view->setPicture(m_scene);
}
