// The toolkit in 3D, in a real window: a strip of twenty before/after tiles in a scroll area, shown live
// in a 3D view turned by 15 degrees; a fan of image layers on a perspective layer; the drawing layers;
// boxes and arrows. The 3D view is driven with synthesised input (moving across tiles, clicking one,
// scrolling by wheel); what each tile received is checked, and a screenshot (PNG) saved after each step
// into the folder given as the first argument.

#include "Classes/Framework/Toolkit/OV3DLayer.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVArrowView.h"
#include "Classes/Framework/Toolkit/OVBoxView.h"
#include "Classes/Framework/Toolkit/OVFadeoutMaskLayer.h"
#include "Classes/Framework/Toolkit/OVSelectionRectLayer.h"
#include "Classes/Framework/Toolkit/OVVignetteLayer.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/TextLayer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"
#include "Tests/GallerySupport.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cstdio>
#include <numbers>

namespace {

using pf::Point, pf::Rect, pf::Transaction, pf::Transform3D;

constexpr int kTiles = 20;
constexpr double kTileWidth = 150, kTileHeight = 180;
const QColor kBackdrop(34, 36, 40);
int failures = 0;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

QImage tinted(const QImage& portrait, int index)
{
    QImage image = portrait.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor::fromHsv((index * 47) % 360, 200, 230, 90));
    return image;
}

// A picture of an effect as the strip shows it: the photo before on the left of a split that follows the
// pointer, after on the right. A click selects the tile.
class Tile : public pf::View
{
public:
    Tile(const Rect& frame, const QImage& before, const QImage& after, int index)
        : View(frame), m_before(before), m_after(after), m_index(index)
    {}
    QStringList log;
    bool selected = false;
    Point lastPress;

    void drawRect(QPainter& painter, const Rect&) override
    {
        const Rect picture(10, 40, bounds().width() - 20, bounds().height() - 50);
        QPainterPath rounded;
        rounded.addRoundedRect(picture.toQRectF(), 5, 5);
        painter.save();
        painter.setClipPath(rounded);
        pf::drawImage(painter, m_after, picture);
        const double split = picture.minX() + picture.width() * std::clamp(m_progress, 0.0, 1.0);
        painter.setClipRect(QRectF(picture.minX(), picture.minY(), split - picture.minX(), picture.height()),
                            Qt::IntersectClip);
        pf::drawImage(painter, m_before, picture);
        painter.restore();
        painter.fillRect(QRectF(split - 1, picture.minY(), 2, picture.height()), QColor(255, 255, 255, 220));
        if (selected) {
            QPen pen(QColor(255, 200, 60), 3);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(rounded);
        }
        pf::TextAttributes attributes;
        attributes.font = pf::systemFont(12);
        attributes.color = selected ? QColor(255, 210, 90) : QColor(220, 220, 220);
        pf::AttributedString label(QStringLiteral("Effect %1").arg(m_index + 1), attributes);
        label.setAlignment(pf::AttributedString::Alignment::Center);
        label.drawInRect(painter, Rect(0, 8, bounds().width(), 24));
    }
    void mouseEntered(const pf::Event& event) override
    {
        log << QStringLiteral("entered");
        follow(event);
    }
    void mouseMoved(const pf::Event& event) override
    {
        log << QStringLiteral("moved");
        follow(event);
    }
    void mouseExited(const pf::Event&) override
    {
        log << QStringLiteral("exited");
        m_progress = selected ? 0 : 0.5;
        setNeedsDisplay();
    }
    void mouseDown(const pf::Event& event) override
    {
        log << QStringLiteral("down %1").arg(event.clickCount());
        lastPress = convertPointFromView(event.locationInWindow(), nullptr);
        selected = true;
        m_progress = 0;
        setNeedsDisplay();
    }
    void mouseUp(const pf::Event&) override { log << QStringLiteral("up"); }

private:
    void follow(const pf::Event& event)
    {
        if (selected)
            return;
        const Point p = convertPointFromView(event.locationInWindow(), nullptr);
        m_progress = (p.x - 10) / (bounds().width() - 20);
        setNeedsDisplay();
    }

    QImage m_before, m_after;
    int m_index;
    double m_progress = 0.5;
};

// A horizontal strip: the wheel's vertical notches scroll it sideways.
class StripScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;
    int wheels = 0;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        ++wheels;
        QScrollBar* bar = horizontalScrollBar();
        const int notches = (event->angleDelta().y() + event->angleDelta().x()) / 120;
        bar->setValue(bar->value() - notches * int(kTileWidth / 2));
        event->accept();
    }
};

class Backdrop : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override
    {
        painter.fillRect(bounds().toQRectF(), kBackdrop);
    }
};

class Caption : public pf::View
{
public:
    Caption(const Rect& frame, const QString& text) : View(frame), m_text(text) {}
    void drawRect(QPainter& painter, const Rect&) override
    {
        pf::TextAttributes attributes;
        attributes.font = pf::systemFont(12);
        attributes.color = QColor(200, 200, 200);
        pf::AttributedString(m_text, attributes).drawAtPoint(painter, Point(0, 2));
    }

private:
    QString m_text;
};

std::shared_ptr<pf::TextLayer> captionLayer(const QString& text, const Rect& frame)
{
    auto caption = pf::TextLayer::create();
    caption->setFrame(frame);
    caption->setFont(pf::systemFont(12));
    caption->setForegroundColor(QColor(200, 200, 200));
    caption->setString(text);
    return caption;
}

std::shared_ptr<pf::Layer> imageLayer(const QImage& image, const Rect& frame)
{
    auto layer = pf::Layer::create();
    layer->setFrame(frame);
    layer->setContents(image);
    layer->setContentsGravity(pf::ContentsGravity::ResizeAspectFill);
    layer->setMasksToBounds(true);
    return layer;
}

struct Gallery
{
    pf::SteppedClock clock;
    pf::Window window{Rect(40, 40, 1200, 900)};
    QString folder;
    OV3DView* view3D = nullptr;
    pf::View* strip = nullptr;
    StripScrollArea* scroll = nullptr;
    std::vector<Tile*> tiles;
    std::shared_ptr<OVSelectionRectLayer> marching;

    Gallery(const QString& output, const QImage& portrait) : folder(output)
    {
        window.setTitle(QStringLiteral("Toolkit in 3D"));
        auto* backdrop = new Backdrop(window.contentView()->bounds());
        backdrop->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        window.contentView()->addSubview(backdrop);
        const Transaction::Scope atOnce(true);
        buildStrip(portrait);
        buildFan(portrait);
        buildDrawingLayers(portrait);
        buildBoxes();
        buildArrows();
    }

    // The effect strip: twenty tiles in a scroll area, live in a 3D view of depth factor 2.7, turned by
    // pi / 12 about the vertical axis.
    void buildStrip(const QImage& portrait)
    {
        window.contentView()->addSubview(
            new Caption(Rect(20, 872, 1160, 20), QStringLiteral("OV3DView, depth factor 2.7: a scroll area "
                                                                "of twenty live tiles turned by pi/12")));
        view3D = new OV3DView(Rect(20, 580, 1160, 290));
        window.contentView()->addSubview(view3D);
        view3D->setDepthFactor(2.7);
        strip = new pf::View(Rect(80, 45, 1000, 200));
        scroll = new StripScrollArea(strip);
        scroll->setGeometry(0, 0, 1000, 200);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QPalette palette = scroll->palette();
        palette.setColor(QPalette::Window, QColor(24, 25, 28));
        scroll->setPalette(palette);
        scroll->viewport()->setAutoFillBackground(true);
        scroll->viewport()->setPalette(palette);
        auto* document = new pf::View(Rect(0, 0, kTiles * kTileWidth, kTileHeight));
        const QImage small = portrait.scaled(260, 260, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const QImage before =
            small.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
        for (int i = 0; i < kTiles; ++i) {
            tiles.push_back(
                new Tile(Rect(i * kTileWidth, 0, kTileWidth, kTileHeight), before, tinted(small, i), i));
            document->addSubview(tiles.back());
        }
        scroll->setWidget(document);
        view3D->addSubview(strip);
        view3D->layerForSubview(strip)->setTransform(Transform3D::rotation(std::numbers::pi / 12, 0, 1, 0));
    }

    // Five image layers fanned on a perspective layer of a lens of 85 mm.
    void buildFan(const QImage& portrait)
    {
        auto* host = new pf::LayerHostView(Rect(20, 300, 560, 260));
        window.contentView()->addSubview(host);
        auto fan = OV3DLayer::create();
        fan->setFrame(host->bounds());
        fan->setFocalLength(85);
        host->layer()->addSublayer(fan);
        for (int i = 0; i < 5; ++i) {
            auto card = imageLayer(tinted(portrait, i * 3), Rect(0, 0, 220, 165));
            card->setPosition(Point(130 + i * 75, 130));
            card->setTransform(Transform3D::rotation(-60 * std::numbers::pi / 180, 0, 1, 0));
            card->setBorderWidth(2);
            card->setBorderColor(QColor(240, 240, 240));
            fan->addSublayer(card);
        }
        host->layer()->addSublayer(
            captionLayer(QStringLiteral("OV3DLayer, focal length 85 mm: five layers turned -60 degrees"),
                         Rect(0, 240, 560, 20)));
    }

    // Selection frames in each style (the first marching, the last with a subtitle), vignettes and a
    // fade-out mask, over photos.
    void buildDrawingLayers(const QImage& portrait)
    {
        auto* host = new pf::LayerHostView(Rect(600, 300, 580, 260));
        window.contentView()->addSubview(host);
        const auto& root = host->layer();
        root->addSublayer(captionLayer(QStringLiteral("Selection styles 0-3, vignettes 0.95-3.0 and 0-1, "
                                                      "fade-out mask 30/30"),
                                       Rect(0, 240, 580, 20)));
        for (int style = 0; style < 4; ++style) {
            const Rect frame(10 + style * 142, 128, 128, 100);
            root->addSublayer(imageLayer(tinted(portrait, style + 5), frame));
            auto selection = OVSelectionRectLayer::create();
            selection->setFrame(frame.insetBy(-4, -4));
            selection->setSelectionStyle(style);
            if (style == 3)
                selection->setSubTitle(QStringLiteral("Mask"));
            root->addSublayer(selection);
            if (style == 0)
                marching = selection;
        }
        marching->setAnimate(true);
        const struct
        {
            double from, to;
            QColor color;
        } vignettes[] = {{0.95, 3.0, Qt::black}, {0.0, 1.0, QColor(20, 30, 90)}};
        for (int i = 0; i < 2; ++i) {
            const Rect frame(10 + i * 190, 10, 170, 105);
            auto photo = imageLayer(tinted(portrait, 11 + i), frame);
            auto vignette = OVVignetteLayer::create(vignettes[i].color, vignettes[i].from, vignettes[i].to);
            vignette->setFrame(Rect(0, 0, frame.width(), frame.height()));
            photo->addSublayer(vignette);
            root->addSublayer(photo);
        }
        auto faded = imageLayer(tinted(portrait, 14), Rect(390, 10, 170, 105));
        auto mask = OVFadeoutMaskLayer::create();
        mask->setFrame(Rect(0, 0, 170, 105));
        mask->setTopFadeout(30);
        mask->setBottomFadeout(30);
        faded->setMask(mask);
        root->addSublayer(faded);
    }

    // Boxes of types 0 and 1, titled and not, in both looks.
    void buildBoxes()
    {
        window.contentView()->addSubview(
            new Caption(Rect(20, 272, 560, 20), QStringLiteral("OVBoxView: types 0 and 1, titled and not")));
        const struct
        {
            int type;
            const char* title;
            bool light;
        } boxes[] = {{0, "SAMPLES", false}, {1, "SAMPLE IMAGES", false}, {0, "", true}, {1, "", true}};
        for (int i = 0; i < 4; ++i) {
            auto* box = new OVBoxView(QString::fromLatin1(boxes[i].title));
            box->setBoxType(boxes[i].type);
            box->setLightLook(boxes[i].light);
            box->setFrame(Rect(20 + (i % 2) * 285, 140 - (i / 2) * 130, 270, 120));
            window.contentView()->addSubview(box);
        }
    }

    // Every pair of directions: from-direction by row (0 at the top), to-direction by column.
    void buildArrows()
    {
        window.contentView()->addSubview(
            new Caption(Rect(600, 272, 580, 20),
                        QStringLiteral("OVArrowView: from-direction by row, to-direction by column")));
        for (unsigned from = 0; from < 5; ++from)
            for (unsigned to = 0; to < 5; ++to) {
                auto* arrow = new OVArrowView(Rect(600 + to * 116, 216 - from * 52, 112, 50));
                arrow->setHeadSize(pf::Size(8, 12));
                arrow->setWidth(2);
                arrow->setColor(QColor(230, 230, 230));
                arrow->setFromDirection(from);
                arrow->setToDirection(to);
                arrow->setToPoint(Point(94, 37));
                arrow->setFromPoint(Point(18, 13));
                window.contentView()->addSubview(arrow);
            }
    }

    // Where a point of the strip (its own y-up coordinates) is seen in the window, in Qt's coordinates.
    QPointF onScreen(Point inStrip) const
    {
        const Point inView =
            view3D->layerForSubview(strip)->convertPointToLayer(inStrip, view3D->layer().get());
        return view3D->mapTo(&window, view3D->pointToWidget(inView));
    }
    // The centre of a tile's picture, as a point of the strip.
    Point tileCentre(int index, double across = 0.5) const
    {
        const QPointF inStrip = tiles[index]->mapTo(strip, QPointF(10 + (kTileWidth - 20) * across, 70));
        return Point(inStrip.x(), strip->frame().height() - inStrip.y());
    }

    void settle(int milliseconds) { gallerySupport::settle(milliseconds); }
    void moveTo(Point inStrip)
    {
        const QPointF at = onScreen(inStrip);
        QCursor::setPos(window.mapToGlobal(at.toPoint()));
        QTest::mouseMove(window.windowHandle(), at.toPoint());
        settle(80);
    }

    bool save(const QString& name) { return gallerySupport::saveScreenshot(window, folder, name, 30); }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const auto gallery = gallerySupport::open<Gallery>(argc, argv);
    gallery->settle(200);
    gallery->clock.advance(0.35); // the dashes march seven steps
    bool ok = gallery->save(QStringLiteral("toolkit3d-gallery"));

    // Across the strip: into tile 2, within it, on into tile 3.
    gallery->moveTo(gallery->tileCentre(2, 0.3));
    gallery->moveTo(gallery->tileCentre(2, 0.6));
    gallery->moveTo(gallery->tileCentre(3, 0.7));
    const QStringList two = gallery->tiles[2]->log, three = gallery->tiles[3]->log;
    check(two.value(0) == QLatin1String("entered") && two.contains(QStringLiteral("moved")) &&
              two.last() == QLatin1String("exited"),
          "tile 2 was entered, hovered and left");
    check(three.value(0) == QLatin1String("entered") && !three.contains(QStringLiteral("exited")),
          "tile 3 is hovered");
    for (int i : {0, 1, 4, 5})
        check(gallery->tiles[i]->log.isEmpty(), "tiles beside the pointer's way heard nothing");
    ok = gallery->save(QStringLiteral("toolkit3d-hover")) && ok;

    // A click on tile 3, a quarter of the way across its picture.
    const Point aim = gallery->tileCentre(3, 0.25);
    QTest::mouseClick(gallery->window.windowHandle(), Qt::LeftButton, {}, gallery->onScreen(aim).toPoint());
    gallery->settle(50);
    check(gallery->tiles[3]->log.contains(QStringLiteral("down 1")) &&
              gallery->tiles[3]->log.contains(QStringLiteral("up")),
          "tile 3 took the click");
    const Point expected(10 + (kTileWidth - 20) * 0.25, kTileHeight - 70);
    check(std::abs(gallery->tiles[3]->lastPress.x - expected.x) < 1.5 &&
              std::abs(gallery->tiles[3]->lastPress.y - expected.y) < 1.5,
          "the press landed under the pointer on the turned strip");
    for (int i = 0; i < kTiles; ++i)
        if (i != 3)
            check(!gallery->tiles[i]->selected, "only the clicked tile is selected");
    ok = gallery->save(QStringLiteral("toolkit3d-click")) && ok;

    // Three notches of the wheel over the strip scroll it sideways.
    QScrollBar* bar = gallery->scroll->horizontalScrollBar();
    const int before = bar->value();
    const QPointF at = gallery->view3D->mapFrom(&gallery->window, gallery->onScreen(gallery->tileCentre(3)));
    for (int notch = 0; notch < 3; ++notch) {
        QWheelEvent wheel(at, gallery->view3D->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(gallery->view3D, &wheel);
    }
    gallery->settle(50);
    check(gallery->scroll->wheels == 3, "the scroll area took three wheel events");
    check(bar->value() > before, "the strip scrolled");
    ok = gallery->save(QStringLiteral("toolkit3d-scrolled")) && ok;

    std::printf("tile 2: %s\ntile 3: %s\nscrolled from %d to %d\n", qPrintable(two.join(u' ')),
                qPrintable(gallery->tiles[3]->log.join(u' ')), before, bar->value());
    return ok && failures == 0 ? 0 : 1;
}
