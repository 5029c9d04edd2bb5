// Renders scenes of sprites and shows the scene preview window, saving a PNG of each so that a person
// can look at them; a step whose result is not what it should be fails the run. Run under Xvfb by
// `make test`:
//   scenes-gallery <output folder>
#include "Classes/Document/GMScenePreviewWindow.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/OV2DRenderer.h"
#include "Classes/Frames/OV3DRenderer.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <cstdio>

using namespace pf;

namespace {

using namespace GalleryShots;

QImage toQImage(const Image& image, const Size& size)
{
    if (image.isNull())
        return {};
    return RenderContext::shared()->renderToQImage(image, Rect(0, 0, size.width, size.height));
}

Image readTestImage(const char* name)
{
    QString error;
    const Image image =
        Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/") + QLatin1String(name), &error);
    if (image.isNull()) {
        std::fprintf(stderr, "Error: %s\n", qPrintable(error));
        ++failures;
    }
    return image;
}

// An evening sky over a dark floor: a background with colour, made here so it needs no file.
Image eveningBackground(int width, int height)
{
    QImage sky(width, height, QImage::Format_RGBA8888_Premultiplied);
    QPainter painter(&sky);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, QColor(38, 52, 92));
    gradient.setColorAt(0.55, QColor(214, 132, 96));
    gradient.setColorAt(0.62, QColor(58, 48, 52));
    gradient.setColorAt(1, QColor(24, 22, 26));
    painter.fillRect(sky.rect(), gradient);
    painter.end();
    return Image::fromQImage(sky);
}

// A panel of colour whose outer band fades out: the soft-edged sprite scenes are made of.
Image featheredPanel(int width, int height, QColor colour, double band)
{
    Bitmap bitmap(width, height, Bitmap::Format::RGBAf);
    for (int y = 0; y < height; ++y) {
        float* row = reinterpret_cast<float*>(bitmap.mutableRow(y));
        for (int x = 0; x < width; ++x) {
            const double edge = std::min({x + 0.5, width - x - 0.5, y + 0.5, height - y - 0.5});
            const double alpha = std::clamp(edge / band, 0.0, 1.0);
            // A faint diagonal stripe, so the panels' turns can be seen.
            const double shade = 0.85 + 0.15 * ((int(x + y) / 24) % 2);
            row[x * 4 + 0] = float(colour.redF() * shade * alpha);
            row[x * 4 + 1] = float(colour.greenF() * shade * alpha);
            row[x * 4 + 2] = float(colour.blueF() * shade * alpha);
            row[x * 4 + 3] = float(alpha);
        }
    }
    return Image::fromBitmap(bitmap);
}

QImage labelled(const QImage& picture, const QString& text)
{
    QImage out(picture.width(), picture.height() + 28, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(30, 31, 34));
    QPainter painter(&out);
    painter.drawImage(0, 28, picture);
    painter.setPen(QColor(214, 217, 222));
    painter.setFont(systemFont(12));
    painter.drawText(QRect(10, 0, picture.width() - 20, 28), Qt::AlignVCenter | Qt::AlignLeft, text);
    return out;
}

QImage sideBySide(const QImage& left, const QImage& right)
{
    QImage out(left.width() + right.width() + 12, std::max(left.height(), right.height()),
               QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(30, 31, 34));
    QPainter painter(&out);
    painter.drawImage(0, 0, left);
    painter.drawImage(left.width() + 12, 0, right);
    return out;
}

void cardsOverBackgrounds(const Image& portrait)
{
    const struct
    {
        const char* name;
        Image background;
    } backgrounds[] = {
        {"01-card-over-brick", readTestImage("brick.png")},
        {"02-card-over-grass", readTestImage("grass.png")},
        {"03-card-over-evening", eveningBackground(1024, 640)},
    };
    for (const auto& b : backgrounds) {
        const Size size(b.background.extent().width(), b.background.extent().height());
        OV3DRenderer renderer;
        renderer.setDepthFactor(3);
        renderer.addSprite(GMScenePreviewWindow::cardSprite(portrait, size));
        const QImage scene = toQImage(renderer.imageWithSize(size, b.background, false), size);
        check(!scene.isNull(), "the card renders over the background");
        save(scene, QLatin1String(b.name));
    }
}

QList<QVariantMap> featheredSprites()
{
    auto sprite = [](const Image& image, double x, double y, double z, double w, double h, double rx,
                     double ry, double rz) {
        return QVariantMap{{"image", QVariant::fromValue(image)},
                           {"location.x", x},
                           {"location.y", y},
                           {"location.z", z},
                           {"size.width", w},
                           {"size.height", h},
                           {"rotation.x", rx},
                           {"rotation.y", ry},
                           {"rotation.z", rz}};
    };
    // At a 720-pixel width one half width is 360 pixels: each image is made at its rectangle's size.
    // Soft edges are blended in the order the sprites come, so they come from the back to the front.
    return {
        sprite(featheredPanel(324, 324, QColor(86, 170, 110), 36), 0.05, -0.05, -0.25, 0.9, 0.9, 10, -15, 12),
        sprite(featheredPanel(360, 288, QColor(224, 86, 72), 36), -0.35, 0.05, 0.1, 1.0, 0.8, 0, 20, -8),
        sprite(featheredPanel(288, 216, QColor(78, 128, 214), 36), 0.35, 0.08, 0.3, 0.8, 0.6, -12, -25, 4),
    };
}

void featheredScene()
{
    const Size size(720, 450);
    OV3DRenderer renderer;
    renderer.setDepthFactor(2.5);
    for (const QVariantMap& sprite : featheredSprites())
        renderer.addSprite(sprite);
    const QImage scene = toQImage(renderer.imageWithSize(size, eveningBackground(720, 450), false), size);
    check(!scene.isNull(), "three feathered sprites render");
    save(scene, QStringLiteral("04-three-feathered-sprites"));
}

void flatAndPerspective(const Image& portrait)
{
    const Size size(640, 400);
    const Image background = eveningBackground(640, 400);
    OV2DRenderer flat;
    OV3DRenderer deep;
    deep.setDepthFactor(3);
    // The same sprites in both: the 2D renderer uses their location, z rotation and anchor only.
    QList<QVariantMap> sprites;
    // The card tilted away as in the preview window, which only the 3D renderer shows.
    const QVariantMap card{
        {"image", QVariant::fromValue(portrait.imageByApplyingTransform(AffineTransform::scale(0.5, 0.5)))},
        {"location.x", -0.4},
        {"size.width", 0.8},
        {"size.height", 0.8},
        {"rotation.x", 8.0},
        {"rotation.y", -25.0},
        {"rotation.z", 6.0}};
    sprites << card;
    QVariantMap panel{{"image", QVariant::fromValue(featheredPanel(256, 192, QColor(224, 170, 72), 30))},
                      {"location.x", 0.35},
                      {"location.y", -0.1},
                      {"size.width", 0.8},
                      {"size.height", 0.6},
                      {"rotation.y", 30.0},
                      {"rotation.z", -10.0}};
    sprites << panel;
    for (const QVariantMap& sprite : sprites) {
        flat.addSprite(sprite);
        deep.addSprite(sprite);
    }
    const QImage left = toQImage(flat.imageOfSize(size, background), size);
    const QImage right = toQImage(deep.imageWithSize(size, background, false), size);
    check(!left.isNull() && !right.isNull(), "both renderers render the same sprites");
    save(sideBySide(labelled(left, QStringLiteral("2D")), labelled(right, QStringLiteral("3D"))),
         QStringLiteral("05-2d-and-3d"));
}

void previewWindow(const Image& portrait)
{
    GMScenePreviewWindow preview(eveningBackground(1024, 640), portrait);
    Window* window = preview.window();
    window->makeKeyAndOrderFront();
    GalleryShots::settle(300);
    check(!preview.sceneImage().isNull(), "the preview window shows the scene");
    check(preview.sceneSize() == Size(1024, 640), "the scene takes the background's size");
    save(GalleryShots::screenshot(window), QStringLiteral("06-preview-window"));

    QWindow* handle = window->windowHandle();
    auto click = [&](OVButton* button) {
        const QPoint at = button->mapTo(window, button->pointToWidget(Point(20, 11))).toPoint();
        QCursor::setPos(window->mapToGlobal(at));
        QTest::mouseMove(handle, at);
        GalleryShots::settle();
        QTest::mousePress(handle, Qt::LeftButton, {}, at);
        GalleryShots::settle(50);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, at);
        GalleryShots::settle(300);
    };
    const QImage card = preview.sceneImage();
    click(preview.flatSwitch());
    check(preview.isFlat(), "a click on Flat switches to the flat renderer");
    check(preview.sceneImage() != card, "the flat scene differs from the card");
    save(GalleryShots::screenshot(window), QStringLiteral("07-preview-flat"));
    click(preview.flatSwitch());
    click(preview.finalQualitySwitch());
    check(!preview.isFlat() && preview.isFinalQuality(), "Flat off, Final Quality on");
    check(!preview.sceneImage().isNull(), "the final-quality scene renders");
    save(GalleryShots::screenshot(window), QStringLiteral("08-preview-final-quality"));
}

} // namespace

int main(int argc, char* argv[])
{
    return runGallery(argc, argv, [] {
        FilterLibrary::registerAll();
        const Image portrait = readTestImage("portrait-512.png");
        cardsOverBackgrounds(portrait);
        featheredScene();
        flatAndPerspective(portrait);
        previewWindow(portrait);
    });
}
