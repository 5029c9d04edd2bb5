#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Classes/Frames/OVFrameBuilder.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryShots.h"
#include "Tests/GallerySupport.h"

#include <QApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using namespace GalleryShots;

void choose(OVPopupButton* button, int index)
{
    if (index >= 0)
        button->itemSelected(button->menu()->actions().at(index));
}

// A shade of the bundle by its ID name's start.
int shadeItem(const QString& prefix)
{
    const QStringList& names = OVFrameCatalog::sharedShadeNames();
    for (int i = 0; i < names.size(); ++i)
        if (names[i].startsWith(prefix))
            return i + 2; // after the title and the separator
    return -1;
}

void builderSteps(const QImage& portrait)
{
    OVFrameBuilder& builder = OVFrameBuilder::sharedFrameBuilder();
    builder.setPreviewPicture(pf::Image::fromQImage(portrait));
    builder.showWindow();
    pf::Window* window = builder.window();
    GalleryShots::settle(400);
    save(window->grab().toImage(), QStringLiteral("01-builder-plain-frame"));

    builder.addUserFrame();
    GalleryShots::settle(300);
    check(builder.currentDescription() && builder.currentDescription()->isEditable(),
          "a new frame is editable");
    save(window->grab().toImage(), QStringLiteral("02-new-frame-light-oak"));

    choose(builder.textureButton(),
           int(OVTextureCatalog::sharedTextureNames().indexOf(QStringLiteral("ORV-T#011#Wood-Walnut"))));
    builder.textureColorWell()->changeColor(pf::PaintColor::calibratedRGB(0.42, 0.27, 0.16, 1));
    choose(builder.externalMaskButton(), 1);
    GalleryShots::settle(200);
    check(builder.currentDescription()->textureName() == QLatin1String("ORV-T#011#Wood-Walnut"),
          "the texture pop-up sets the walnut");
    save(window->grab().toImage(), QStringLiteral("03-walnut-tinted"));

    choose(builder.newShadeButton(), shadeItem(QStringLiteral("FRM-S#001#")));
    GalleryShots::settle(400);
    choose(builder.newShadeButton(), shadeItem(QStringLiteral("FRM-S#003#")));
    // Caught while the new row slides in.
    GalleryShots::settle(80);
    save(window->grab().toImage(), QStringLiteral("04-second-shade-mid-animation"));
    GalleryShots::settle(500);
    check(builder.shadesStack().size() == 2, "two shade rows");
    save(window->grab().toImage(), QStringLiteral("05-two-shades"));
    window->close();
}

// What a frame's band looks like on average: its mean grey (0..255) and how much redder than blue it is.
struct BandLook
{
    double grey = 0, warmth = 0;
};

BandLook bandLook(const QImage& framed, const QImage& mask)
{
    double grey = 0, warmth = 0;
    qint64 count = 0;
    for (int y = 0; y < framed.height() && y < mask.height(); ++y)
        for (int x = 0; x < framed.width() && x < mask.width(); ++x) {
            if (qRed(mask.pixel(x, y)) < 128)
                continue;
            const QRgb c = framed.pixel(x, y);
            grey += qGray(c);
            warmth += qRed(c) - qBlue(c);
            ++count;
        }
    return count ? BandLook{grey / double(count), warmth / double(count)} : BandLook{};
}

// The look each frame's name promises: light woods and papers light, dark woods dark, metals bright,
// aluminium a cool grey, gold and the woods warm.
struct Promise
{
    const char* name;
    double lowest, highest; // mean grey of the band
    double warmest;         // red less blue, at most (greys stay near 0)
    double coolest;         // at least
};

const Promise promises[] = {
    {"Wood - Light Oak", 120, 210, 120, 20},
    {"Wood - Walnut", 45, 120, 90, 10},
    {"Wood - Walnut Oval", 45, 120, 90, 10},
    {"Wood - Cherry Scalloped", 60, 150, 140, 20},
    {"Wood - Barn Board", 70, 170, 80, 5},
    {"Paper - Laid Mat", 170, 255, 60, -10},
    {"Paper - Watercolour Deckle", 170, 255, 60, -10},
    {"Paper - Handmade Arch", 160, 255, 60, -10},
    {"Leather - Tooled", 45, 130, 110, 10},
    {"Leather - Tooled Oval", 45, 130, 110, 10},
    {"Metal - Brushed Aluminium", 160, 240, 15, -30},
    {"Metal - Gold Leaf", 120, 230, 160, 30},
};

// Every system frame around the portrait, and a sheet of them all; each frame's band has the
// brightness and colour its name promises.
void contactSheet(const QImage& portrait)
{
    const pf::Image picture = pf::Image::fromQImage(portrait);
    OVFrameCatalog& system = OVFrameCatalog::sharedFrameCatalog();
    std::vector<std::pair<QString, QImage>> framed;
    for (const QString& frameID : system.frameIDs()) {
        const OVFrameDescriptionPtr frame = system.frameWithName(frameID);
        if (!frame)
            continue; // a header
        OVTexturedFrameFilter filter;
        filter.setDefaults();
        filter.setUpdateDelay(-1);
        filter.setValue(QVariant::fromValue(picture), QStringLiteral("inputImage"));
        filter.setValue(frameID, QStringLiteral("inputFrameName"));
        filter.setValue(0.08, QStringLiteral("inputWidth"));
        filter.setValue(0.03, QStringLiteral("inputShadowWidth"));
        filter.setValue(2.0 * portrait.width(), QStringLiteral("canvasProportion"));
        const pf::Image output = filter.outputImage();
        const pf::Rect extent = filter.cachedMask().extent();
        const QImage image = pf::RenderContext::shared()->renderToQImage(output, extent);
        check(!image.isNull(), "a system frame draws");
        if (image.isNull())
            continue;
        const BandLook look =
            bandLook(image, pf::RenderContext::shared()->renderToQImage(filter.cachedMask(), extent));
        std::printf("%-28s band grey %5.1f, red less blue %5.1f\n", qPrintable(frame->name()), look.grey,
                    look.warmth);
        bool promised = false;
        for (const Promise& promise : promises) {
            if (frame->name() != QLatin1String(promise.name))
                continue;
            promised = true;
            if (look.grey < promise.lowest || look.grey > promise.highest || look.warmth > promise.warmest ||
                look.warmth < promise.coolest) {
                std::fprintf(stderr,
                             "Error: %s does not look like its name: band grey %.1f (%.0f to %.0f), red "
                             "less blue %.1f (%.0f to %.0f)\n",
                             promise.name, look.grey, promise.lowest, promise.highest, look.warmth,
                             promise.coolest, promise.warmest);
                ++failures;
            }
        }
        check(promised, "every system frame has a promised look");
        QString file = frame->name();
        file.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
        save(image, QStringLiteral("frame-") + file);
        framed.emplace_back(frame->name(), image);
    }
    check(framed.size() >= 10, "about twelve system frames");
    const int columns = 4, cell = 300, caption = 24;
    const int rows = int((framed.size() + columns - 1) / columns);
    QImage sheet(columns * cell, rows * (cell + caption), QImage::Format_RGB32);
    sheet.fill(QColor(236, 233, 226));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (size_t i = 0; i < framed.size(); ++i) {
        const int x = int(i % columns) * cell, y = int(i / columns) * (cell + caption);
        const QImage scaled =
            framed[i].second.scaled(cell - 24, cell - 24, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(x + (cell - scaled.width()) / 2, y + 12 + (cell - 24 - scaled.height()) / 2,
                          scaled);
        painter.setPen(QColor(40, 40, 40));
        painter.drawText(QRect(x, y + cell, cell, caption), Qt::AlignCenter, framed[i].first);
    }
    painter.end();
    save(sheet, QStringLiteral("00-contact-sheet"));
}

// The curved openings at the other proportions: a wide and a tall part of the portrait in the oval and
// the arched frames (an ellipse and a flatter arch when wide; a taller ellipse and a semicircle when tall).
void curvedOpenings(const QImage& portrait)
{
    const int w = portrait.width(), h = portrait.height();
    const std::pair<const char*, QRect> parts[] = {{"wide", QRect(0, h / 4, w, h / 2)},
                                                   {"tall", QRect(w / 5, 0, w * 3 / 5, h)}};
    for (const char* name : {"Wood - Walnut Oval", "Paper - Handmade Arch"})
        for (const auto& [shape, part] : parts) {
            const QImage cut = portrait.copy(part);
            OVTexturedFrameFilter filter;
            filter.setDefaults();
            filter.setUpdateDelay(-1);
            filter.setValue(QVariant::fromValue(pf::Image::fromQImage(cut)), QStringLiteral("inputImage"));
            filter.setValue(QString::fromUtf8(name), QStringLiteral("inputFrameName"));
            filter.setValue(0.1, QStringLiteral("inputWidth"));
            filter.setValue(0.03, QStringLiteral("inputShadowWidth"));
            filter.setValue(double(std::max(cut.width(), cut.height())), QStringLiteral("canvasProportion"));
            const QImage image = pf::RenderContext::shared()->renderToQImage(filter.outputImage(),
                                                                             filter.cachedMask().extent());
            check(!image.isNull(), "a curved frame draws at either proportion");
            QString file = QString::fromUtf8(name) + u'-' + QString::fromLatin1(shape);
            file.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
            save(image, QStringLiteral("curved-") + file);
        }
}

} // namespace

int main(int argc, char* argv[])
{
    // The user's frames and the frame counter of this run stay in a folder of its own.
    QTemporaryDir workingArea;
    qputenv("PF_USER_DEFAULTS_FILE", workingArea.filePath(QStringLiteral("defaults.conf")).toUtf8());
    QApplication app(argc, argv);
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.filePath(QStringLiteral("support")));
    const QImage portrait = gallerySupport::portraitOrExit(argc, argv, &outputFolder);
    FilterLibrary::registerAll();
    FramesLibrary::registerAll();
    contactSheet(portrait);
    curvedOpenings(portrait);
    builderSteps(portrait);
    return gallerySupport::exitCodeForFailedSteps(failures);
}
