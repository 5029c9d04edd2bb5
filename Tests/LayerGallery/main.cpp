// The layer gallery: layer trees in a real window, one screenshot each (PNG) into the folder given as the
// first argument, for a person to look at. A flat pile of photos, the layer browser's fan in 3D, and the
// switch from one to the other caught while it runs (time is stepped, so the frames are the same on every
// run).

#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Transform3D.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/GallerySupport.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

using pf::Layer, pf::Point, pf::Rect, pf::Transaction, pf::Transform3D;

constexpr int kLayers = 7;
constexpr double kDegree = std::numbers::pi / 180;

// The portrait as it might look under each effect layer of a stack.
QImage effectImage(const QImage& portrait, int index)
{
    QImage image = portrait.convertToFormat(QImage::Format_RGB32);
    const QColor tints[kLayers] = {QColor(0, 0, 0, 0),        QColor(255, 170, 90, 70),
                                   QColor(80, 140, 255, 70),  QColor(255, 255, 255, 60),
                                   QColor(120, 255, 160, 60), QColor(255, 80, 160, 60),
                                   QColor(40, 30, 20, 90)};
    QPainter painter(&image);
    painter.fillRect(image.rect(), tints[index % kLayers]);
    return image;
}

// A text label as an image layer's contents, drawn at twice the size for a crisp edge.
std::shared_ptr<Layer> caption(const QString& text, Point position)
{
    QImage image(720, 56, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    painter.setFont(font);
    painter.setPen(QColor(230, 230, 230));
    painter.drawText(image.rect(), Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.end();
    auto layer = Layer::create();
    layer->setBounds(Rect(0, 0, 360, 28));
    layer->setAnchorPoint(Point(0, 0));
    layer->setPosition(position);
    layer->setContents(image);
    layer->setContentsScale(2);
    return layer;
}

struct Gallery
{
    pf::SteppedClock clock;
    pf::Window window{Rect(100, 100, 1000, 640)};
    pf::LayerHostView* host = nullptr;
    std::shared_ptr<Layer> stage, fan;
    std::vector<std::shared_ptr<Layer>> cards, borders;
    std::shared_ptr<Layer> title;
    QString folder;
    int selection = 4;

    explicit Gallery(const QString& output, const QImage& portrait) : folder(output)
    {
        window.setTitle(QStringLiteral("Layer gallery"));
        host = new pf::LayerHostView(window.contentView()->bounds());
        host->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        window.contentView()->addSubview(host);
        const Transaction::Scope atOnce(true);
        stage = host->layer();
        stage->setBackgroundColor(QColor(34, 36, 40));

        // The fan's perspective container: a lens of 85 mm for the stage's width.
        fan = Layer::create();
        fan->setName(QStringLiteral("fan"));
        fan->setFrame(Rect(0, 0, 1000, 640));
        Transform3D perspective;
        perspective.m34 = -1 / (1000 / 2.0 * (2 * 85 / 43.266615305567875));
        fan->setSublayerTransform(perspective);
        stage->addSublayer(fan);
        for (int i = 0; i < kLayers; ++i) {
            auto card = Layer::create();
            card->setName(QStringLiteral("layer %1").arg(i));
            card->setContents(effectImage(portrait, i));
            card->setContentsGravity(pf::ContentsGravity::ResizeAspectFill);
            card->setMasksToBounds(true);
            auto border = Layer::create();
            border->setBorderWidth(3);
            border->setBorderColor(QColor(245, 245, 245));
            border->setCornerRadius(2);
            fan->addSublayer(card);
            fan->addSublayer(border);
            cards.push_back(card);
            borders.push_back(border);
        }
        title = caption(QString(), Point(24, 596));
        stage->addSublayer(title);
    }

    void setTitle(const QString& text)
    {
        const Transaction::Scope atOnce(true);
        auto fresh = caption(text, title->position());
        stage->replaceSublayer(title.get(), fresh);
        title = fresh;
    }

    // Flat: the layers lie on top of each other as a loose pile of prints.
    void layOut2D()
    {
        for (int i = 0; i < kLayers; ++i) {
            const Rect frame(270 + 14 * i, 70 + 6 * i, 420, 420);
            const Transform3D tilt = Transform3D::rotation((i - 3) * 2.2 * kDegree, 0, 0, 1);
            for (const auto& layer : {cards[i], borders[i]}) {
                layer->setBounds(Rect(0, 0, frame.width(), frame.height()));
                layer->setPosition(Point(frame.midX(), frame.midY()));
                layer->setTransform(tilt);
                layer->setOpacity(1);
            }
            cards[i]->setShadowOpacity(0.6);
            cards[i]->setShadowRadius(12);
            cards[i]->setShadowOffset(pf::Size(0, -6));
            borders[i]->setBorderColor(QColor(245, 245, 245));
        }
    }

    // The layer browser's fan: cards turned -75 degrees about y, those up to the selection from the
    // right edge, those above it from the left, a gap at the selection; the selected border lit.
    void layOut3D()
    {
        const double width = 1000, left = 160, right = 160;
        const double spacing = std::min(80.0, ((width - left - right) / 2) / (kLayers - 1));
        for (int i = 0; i < kLayers; ++i) {
            const double x =
                i <= selection ? width - right - i * spacing : left + (kLayers - 1 - i) * spacing;
            for (const auto& layer : {cards[i], borders[i]}) {
                layer->setBounds(Rect(0, 0, 420, 420));
                layer->setPosition(Point(x, 320));
                layer->setTransform(Transform3D::rotation(-75 * kDegree, 0, 1, 0));
            }
            cards[i]->setShadowOpacity(0);
            borders[i]->setOpacity(i == selection ? 1 : 0.3);
            borders[i]->setBorderColor(i == selection ? QColor(255, 200, 60) : QColor(245, 245, 245));
        }
    }

    bool save(const QString& name)
    {
        QApplication::processEvents();
        return gallerySupport::saveScreenshot(window, folder, name);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const auto gallery = gallerySupport::open<Gallery>(argc, argv, false);
    bool ok = true;

    {
        const Transaction::Scope atOnce(true);
        gallery->layOut2D();
    }
    gallery->setTitle(QStringLiteral("2D: seven layers, a loose pile with shadows"));
    ok = gallery->save(QStringLiteral("layers-2d-stack")) && ok;

    {
        const Transaction::Scope atOnce(true);
        gallery->layOut3D();
    }
    gallery->setTitle(QStringLiteral("3D: the fan, turned -75 degrees, lens 85 mm"));
    ok = gallery->save(QStringLiteral("layers-3d-fan")) && ok;

    // The switch back to 2D, animated for a second, caught at three moments.
    {
        Transaction::Scope scope;
        Transaction::setAnimationDuration(1.0);
        Transaction::setAnimationTimingFunction(pf::AnimationTimingFunction::easeInEaseOut());
        gallery->layOut2D();
    }
    gallery->setTitle(QStringLiteral("Switching to 2D (1 s, ease in and out)"));
    const double steps[] = {0.25, 0.25, 0.25};
    const char* names[] = {"layers-switch-025", "layers-switch-050", "layers-switch-075"};
    for (int i = 0; i < 3; ++i) {
        gallery->clock.advance(steps[i]);
        if (!gallery->host->isAnimating()) {
            std::fprintf(stderr, "the switch stopped animating before its end\n");
            ok = false;
        }
        ok = gallery->save(QString::fromLatin1(names[i])) && ok;
    }
    gallery->clock.advance(0.3);
    if (gallery->host->isAnimating()) {
        std::fprintf(stderr, "the host still draws frames after the switch ended\n");
        ok = false;
    }
    ok = gallery->save(QStringLiteral("layers-switch-done")) && ok;
    return ok ? 0 : 1;
}
