// The effect browser and the layer browser in a real window, as the editor window puts them together: a
// five-layer stack over the portrait with its step scroller, and the tilted strip of twenty effects
// below. A small controller plays the window controller's part. The window is driven with synthesised
// input (pointer moves, clicks, the wheel, keys) through every state, and a screenshot (PNG) of each is
// saved into the folder given as the first argument: a tile hovered and clicked, the "best" filter,
// the fan mid-animation and open, a step offering its mask, Ctrl showing the copy's direction, the
// knob's flight, and a card double-clicked back into 2D.

#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectBrowserDelegate.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLayerBrowserDelegate.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/EventMonitor.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"
#include "Tests/GallerySupport.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>
#include <cstdio>

namespace {

using pf::Point, pf::Rect;

constexpr double kWidth = 1400, kHeight = 900;
constexpr double kStripHeight = 210;
const QColor kBackdropTop(40, 42, 47), kBackdropBottom(20, 21, 24);
int failures = 0;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

// A tint over the portrait: what an effect of that hue would make of it.
QImage tinted(const QImage& portrait, int hue, int strength = 80)
{
    QImage image = portrait.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SoftLight);
    painter.fillRect(image.rect(), QColor::fromHsv(hue % 360, 200, 230, strength * 2));
    return image;
}

QVariantList testEffects(const QImage& portrait)
{
    static const char* const names[] = {"Beard Stubble", "Black & White",  "Blemishes",   "Contrast",
                                        "Eye Bags",      "Glow",           "Hair Shine",  "Healing",
                                        "Highlights",    "Iris Colour",    "Lip Colour",  "Red Eyes",
                                        "Sharpen",       "Skin Smoothing", "Tan",         "Teeth",
                                        "Vignette",      "Warmth",         "Whiter Eyes", "Wrinkles"};
    // The face, which the tiles show.
    const QImage face = portrait
                            .copy(QRect(portrait.width() / 5, portrait.height() / 8, portrait.width() * 3 / 5,
                                        portrait.width() * 3 / 5))
                            .scaled(120, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QVariantList items;
    for (int i = 0; i < 20; ++i)
        items.append(QVariantMap{
            {"name", QStringLiteral("GMEffect%1").arg(i)},
            {"displayName", QString::fromUtf8(names[i])},
            {"best", i % 3 == 0},
            {"previewBeforeIcon", face},
            {"previewAfterIcon",
             i == 1 ? face.convertToFormat(QImage::Format_Grayscale8) : tinted(face, i * 37)},
        });
    return items;
}

class Backdrop : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override
    {
        pf::fillLinearGradient(painter, {{0, kBackdropBottom}, {1, kBackdropTop}}, bounds(), 90);
    }
};

// The window controller's part: layers for picked effects, the selection kept in step, the switch.
class Editor : public GMEffectBrowserDelegate, public OVLayerBrowserDelegate
{
public:
    Editor(pf::Window& window, const QImage& portrait) : m_portrait(portrait)
    {
        auto* backdrop = new Backdrop(window.contentView()->bounds());
        backdrop->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        window.contentView()->addSubview(backdrop);

        effects.setDelegate(this);
        OV3DView* strip = effects.browserView();
        strip->setFrame(Rect(0, 0, kWidth, kStripHeight));
        strip->setAutoresizingMask(pf::View::WidthSizable | pf::View::MaxYMargin);
        window.contentView()->addSubview(strip);
        effects.addEffects(testEffects(portrait));

        // The layer browser after the strip: its fan lies over it.
        layers = new OVLayerBrowser(Rect(0, kStripHeight, kWidth, kHeight - kStripHeight));
        layers->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        layers->setDelegate(this);
        layers->setMargin(9);
        layers->setBorderClass([] { return std::make_shared<OVFrameLayer>(); });
        window.contentView()->addSubview(layers);
        canvas = new OVImageView(Rect(Point(), layers->maxControlViewSize()));
        canvas->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        canvas->setGravity(OVImageView::Fill);
        canvas->setAspectFit(false);
        layers->addControlView(canvas);
        placeCanvas();

        const char* const stack[] = {"Original", "Skin Smoothing", "Whiter Eyes", "Warmth", "Vignette"};
        for (int i = 0; i < 5; ++i)
            addLayer(QString::fromLatin1(stack[i]), i == 0 ? -1 : i * 60);
        select(2);
    }

    // The canvas shows the picture fitted into the container, and the layers lie exactly over it.
    void placeCanvas()
    {
        const pf::Size room = layers->maxControlViewSize();
        const double scale =
            std::min((room.width - 120) / m_portrait.width(), (room.height - 110) / m_portrait.height());
        const pf::Size size(m_portrait.width() * scale, m_portrait.height() * scale);
        const Rect picture((room.width - size.width) / 2, (room.height - size.height) / 2, size.width,
                           size.height);
        canvas->setFrame(picture);
        layers->setImageSize(size);
        layers->setLayerFrame(picture);
    }

    void addLayer(const QString& name, int hue)
    {
        const qint64 index = qint64(layers->layers().size());
        images.push_back(hue < 0 ? m_portrait : tinted(m_portrait, hue, 45 + 10 * int(index)));
        names << name;
        layers->insertLayerWithName(name, index);
        const pf::Transaction::Scope atOnce(true);
        layers->layers().back()->setContents(images.back());
    }
    void select(qint64 index)
    {
        layers->setSelectionIndex(index);
        canvas->setImage(images[size_t(index)]);
        effects.setSelectedFilter(index == 0 ? QString() : effectNameFor(names[int(index)]));
    }
    QString effectNameFor(const QString& displayName) const
    {
        for (const QVariant& item : effects.effectCollectionView()->content())
            if (item.toMap().value("displayName").toString() == displayName)
                return item.toMap().value("name").toString();
        return QString();
    }

    // Effect browser.
    void effectBrowserControllerAddPhotoTool(GMEffectBrowserController*, const QString& name) override
    {
        for (const QVariant& item : effects.effectCollectionView()->content())
            if (item.toMap().value("name") == name) {
                added << name;
                addLayer(item.toMap().value("displayName").toString(), int(images.size()) * 53);
                select(qint64(images.size()) - 1);
            }
    }
    void effectBrowserControllerHoveredFilterDidChange(GMEffectBrowserController*,
                                                       const QString& name) override
    {
        hovered << (name.isNull() ? QStringLiteral("-") : name);
    }

    // Layer browser.
    void layerBrowserDidChangeSelection(OVLayerBrowser*, qint64 index) override { select(index); }
    void layerBrowserHoveringLayerAtIndex(OVLayerBrowser*, qint64) override {}
    void layerBrowserInteractFrom(OVLayerBrowser*, qint64 from, qint64 to) override
    {
        copies << QStringLiteral("%1 to %2").arg(from).arg(to);
    }
    bool layerBrowserCanInteractFrom(OVLayerBrowser*, qint64 from, qint64 to) override
    {
        return !layers->show3DView() && from != 0 && to != 0 && to != from && to != OVStepScroller::NotFound;
    }
    void willSwitchTo3DView() override
    {
        canvas->hide();
        effects.setIncreased3DEffect(true);
        const pf::Transaction::Scope atOnce(true);
        for (size_t i = 0; i < images.size(); ++i)
            layers->layers()[i]->setContents(images[i]);
    }
    void willSwitchTo2DView() override { effects.setIncreased3DEffect(false); }
    void didSwitchTo2DView() override { canvas->show(); }

    GMEffectBrowserController effects;
    OVLayerBrowser* layers = nullptr;
    OVImageView* canvas = nullptr;
    std::vector<QImage> images;
    QStringList names, added, hovered, copies;

private:
    QImage m_portrait;
};

struct Gallery
{
    pf::SteppedClock clock;
    pf::Window window{Rect(40, 40, kWidth, kHeight)};
    QString folder;
    Editor editor;
    pf::ObserverToken keys;

    Gallery(const QString& output, const QImage& portrait) : folder(output), editor(window, portrait)
    {
        window.setTitle(QStringLiteral("Effect and layer browsers"));
        // B toggles the "best" filter, the space bar the 3D view.
        keys = pf::EventMonitor::addLocalMonitor(
            pf::eventMask(pf::EventType::KeyDown), [this](const pf::Event& e) {
                if (e.keyCode() == pf::KeyCode::B) {
                    best = !best;
                    editor.effects.setFilterPredicate(best ? GMEffectBrowserController::bestPredicate()
                                                           : nullptr);
                    return false;
                }
                if (e.keyCode() == pf::KeyCode::Space) {
                    editor.layers->setShow3DView(!editor.layers->show3DView());
                    return false;
                }
                return true;
            });
    }
    bool best = false;

    void settle(int milliseconds) { gallerySupport::settle(milliseconds); }
    // Animation time passes in steps, the window drawing as it goes.
    void pass(double seconds)
    {
        for (double t = 0; t < seconds - 1e-9; t += 0.05) {
            clock.advance(std::min(0.05, seconds - t));
            QApplication::processEvents();
        }
        settle(40);
    }
    // A point of the window's base coordinates (y-up) in Qt's coordinates of the window.
    QPoint qt(Point base) const { return QPoint(int(base.x), int(kHeight - base.y)); }
    void moveTo(Point base)
    {
        QCursor::setPos(window.mapToGlobal(qt(base)));
        QTest::mouseMove(window.windowHandle(), qt(base));
        settle(60);
    }
    void click(Point base)
    {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, qt(base));
        settle(60);
    }
    // Where a point of a tile's picture (fractions across and up) is seen in the window.
    Point onTile(int index, double across, double up = 0.5)
    {
        GMEffectIconView* tile = editor.effects.effectCollectionView()->itemAtIndex(index)->view();
        const Rect picture = tile->drawBounds();
        OVTransformedScrollView* scroll = editor.effects.effectScrollView();
        OV3DView* strip = editor.effects.browserView();
        const Point inScroll = tile->convertPointToView(
            Point(picture.minX() + across * picture.width(), picture.minY() + up * picture.height()), scroll);
        const Point inStrip =
            strip->layerForSubview(scroll)->convertPointToLayer(inScroll, strip->layer().get());
        return strip->convertPointToView(inStrip, nullptr);
    }
    Point onStep(qint64 step) const
    {
        OVStepScroller* scroller = editor.layers->layerScroller();
        const Rect segment = scroller->frameForSegment(step);
        return scroller->convertPointToView(Point(segment.midX(), segment.midY()), nullptr);
    }
    Point onCard(size_t index, double across) const
    {
        const auto& card = editor.layers->layers()[index];
        const Rect b = card->bounds();
        return card->convertPointToLayer(Point(b.minX() + across * b.width(), b.midY()), nullptr);
    }
    bool save(const QString& name) { return gallerySupport::saveScreenshot(window, folder, name, 40); }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const auto gallery = gallerySupport::open<Gallery>(argc, argv);
    Editor& editor = gallery->editor;
    gallery->pass(1.5);
    bool ok = gallery->save(QStringLiteral("browsers-start"));

    // A tile hovered: the split follows the pointer and the effect is announced.
    gallery->moveTo(gallery->onTile(12, 0.2));
    gallery->moveTo(gallery->onTile(12, 0.35));
    check(editor.hovered.value(0) == QLatin1String("GMEffect12"), "the hovered effect was announced");
    ok = gallery->save(QStringLiteral("browsers-tile-hovered")) && ok;

    // A click adds the effect as the sixth layer, which becomes selected; its tile pulses.
    gallery->click(gallery->onTile(12, 0.35));
    gallery->pass(0.6);
    check(editor.added == QStringList{"GMEffect12"}, "the click added one layer");
    check(editor.layers->layers().size() == 6 && editor.layers->selectionIndex() == 5,
          "the new layer is selected");
    ok = gallery->save(QStringLiteral("browsers-tile-clicked")) && ok;
    gallery->click(gallery->onTile(12, 0.5));
    check(editor.added.size() == 1, "a click on the selected tile adds nothing");

    // The wheel scrolls the strip sideways.
    const double before = editor.effects.effectScrollView()->contentView()->bounds().minX();
    const QPoint at =
        editor.effects.browserView()->mapFrom(&gallery->window, gallery->qt(gallery->onTile(14, 0.5)));
    for (int notch = 0; notch < 4; ++notch) {
        QWheelEvent wheel(at, editor.effects.browserView()->mapToGlobal(QPointF(at)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(editor.effects.browserView(), &wheel);
    }
    gallery->settle(60);
    check(editor.effects.effectScrollView()->contentView()->bounds().minX() < before, "the strip scrolled");
    ok = gallery->save(QStringLiteral("browsers-strip-scrolled")) && ok;

    // The "best" filter (key B): the selected effect stays selected where it now is.
    QTest::keyClick(gallery->window.windowHandle(), Qt::Key_B);
    gallery->pass(0.5);
    check(editor.effects.effectCollectionView()->numberOfItems() == 7, "the best seven effects are shown");
    ok = gallery->save(QStringLiteral("browsers-best")) && ok;
    QTest::keyClick(gallery->window.windowHandle(), Qt::Key_B);
    gallery->pass(0.5);

    // A step that can give its mask to the selected layer offers the copy button.
    gallery->moveTo(gallery->onStep(2));
    gallery->pass(0.1);
    check(editor.layers->isPasteButtonShown(), "the copy button is offered over step 2");
    ok = gallery->save(QStringLiteral("browsers-copy-offered")) && ok;

    // On the button, with Ctrl held: the arrow shows where the mask goes, the knob glows.
    const Rect button = editor.layers->copyMaskButton()->frame();
    gallery->moveTo(editor.layers->convertPointToView(Point(button.midX(), button.midY()), nullptr));
    QTest::keyPress(gallery->window.windowHandle(), Qt::Key_Control);
    gallery->pass(0.5);
    check(!editor.layers->arrowView()->isHidden(), "the arrow shows while Ctrl is held");
    ok = gallery->save(QStringLiteral("browsers-copy-arrow")) && ok;
    QTest::keyRelease(gallery->window.windowHandle(), Qt::Key_Control);
    gallery->settle(40);
    check(editor.layers->arrowView()->isHidden(), "the arrow goes with Ctrl");

    // The click copies the mask, and a picture of the knob flies from the button into it.
    gallery->click(editor.layers->convertPointToView(Point(button.midX(), button.midY()), nullptr));
    gallery->pass(0.25);
    check(editor.copies == QStringList{"2 to 5"}, "the mask of layer 2 was copied to layer 5");
    ok = gallery->save(QStringLiteral("browsers-copy-flight")) && ok;
    gallery->pass(0.6);
    gallery->moveTo(Point(700, 600));
    gallery->pass(0.8);
    check(!editor.layers->isPasteButtonShown(), "the copy button went once the flight had landed");

    // The space bar fans the stack out in 3D: half way, then open.
    QTest::keyClick(gallery->window.windowHandle(), Qt::Key_Space);
    gallery->pass(0.45);
    check(editor.layers->state() == OVLayerBrowser::GoingTo3D, "the fan is opening");
    ok = gallery->save(QStringLiteral("browsers-fan-mid-animation")) && ok;
    gallery->pass(0.8);
    check(editor.layers->state() == OVLayerBrowser::In3D, "the fan is open");
    gallery->moveTo(gallery->onCard(3, 0.85));
    check(editor.layers->hoverIndex() == 3, "the pointer hovers card 3");
    ok = gallery->save(QStringLiteral("browsers-3d")) && ok;

    // A double click on a card selects it and folds the stack back into 2D.
    const Point card = gallery->onCard(1, 0.85);
    gallery->click(card);
    gallery->click(card);
    check(editor.layers->selectionIndex() == 1, "the double-clicked card is selected");
    gallery->pass(0.5);
    ok = gallery->save(QStringLiteral("browsers-folding")) && ok;
    gallery->pass(0.8);
    check(editor.layers->state() == OVLayerBrowser::In2D, "back in 2D");
    ok = gallery->save(QStringLiteral("browsers-back-in-2d")) && ok;

    std::printf("hovered: %s\nadded: %s\ncopies: %s\n", qPrintable(editor.hovered.join(u' ')),
                qPrintable(editor.added.join(u' ')), qPrintable(editor.copies.join(u' ')));
    return ok && failures == 0 ? 0 : 1;
}
