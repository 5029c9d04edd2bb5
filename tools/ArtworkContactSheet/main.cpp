// Lays every mask, frame and shadow of the application's artwork over a photograph and puts the results
// side by side in one picture, for a person to judge them as a user would see them.
//
//   artwork-contact-sheet <photograph> <output.png>
//
// One row per kind (masks, frames, shadows), each result labelled with its resource name; the default
// of each kind is marked. Results are shown on a light grey ground so that what a mask hides and where a
// shadow falls can be seen.
#include "Classes/Filters/FilterArtwork.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

constexpr int Tile = 360;
constexpr int Label = 40;
constexpr int Gap = 16;

struct Kind
{
    const char* title;
    QString type;
    QString filter;
    QString nameKey;
    QString avoiding;
};

// The filter's result of the photograph with the named artwork, as a picture of its whole extent.
QImage decorated(pf::RenderContext& context, const Kind& kind, const QString& name, const pf::Image& photo,
                 pf::Rect* extent)
{
    const pf::FilterPtr filter = pf::Filter::create(kind.filter);
    filter->setDefaults();
    filter->setValue(name, kind.nameKey);
    filter->setValue(QVariant::fromValue(photo), QStringLiteral("inputImage"));
    const pf::Image out = filter->outputImage();
    if (out.isNull())
        return {};
    *extent = out.extent().integral();
    return context.renderToQImage(out, *extent);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Usage: artwork-contact-sheet <photograph> <output.png>\n");
        return 2;
    }
    FilterLibrary::registerAll();
    QString error;
    const pf::Image photo = pf::Image::fromFile(QString::fromLocal8Bit(argv[1]), &error);
    if (photo.isNull()) {
        std::fprintf(stderr, "Error: %s\n", qPrintable(error));
        return 1;
    }
    const Kind kinds[] = {
        {"Masks",
         FilterArtwork::MaskType,
         QStringLiteral("OVMaskImageFilter"),
         QStringLiteral("inputMaskName"),
         {}},
        {"Frames", FilterArtwork::FrameType, QStringLiteral("OVPictureFrameFilter"),
         QStringLiteral("inputFrameName"), QStringLiteral("Mask")},
        {"Shadows",
         FilterArtwork::ShadowType,
         QStringLiteral("OVPictureShadowFilter"),
         QStringLiteral("inputShadowName"),
         {}},
    };
    int columns = 1;
    for (const Kind& kind : kinds)
        columns = std::max<int>(columns, int(FilterArtwork::choices(kind.type, kind.avoiding).size()));
    const int rowHeight = Label + Tile + Label + Gap;
    QImage sheet(Gap + columns * (Tile + Gap), Gap + 3 * rowHeight, QImage::Format_RGB32);
    sheet.fill(QColor(48, 50, 54));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    painter.setFont(font);

    pf::RenderContext context(QStringLiteral("contact sheet"));
    int missing = 0;
    for (int row = 0; row < 3; ++row) {
        const Kind& kind = kinds[row];
        const int top = Gap + row * rowHeight;
        painter.setPen(QColor(235, 235, 235));
        const QStringList names = FilterArtwork::choices(kind.type, kind.avoiding);
        painter.drawText(
            QRect(Gap, top, sheet.width(), Label), Qt::AlignVCenter,
            QStringLiteral("%1 (%2, %3)").arg(QString::fromLatin1(kind.title), kind.type).arg(names.size()));
        for (int column = 0; column < names.size(); ++column) {
            const QRect tile(Gap + column * (Tile + Gap), top + Label, Tile, Tile);
            painter.fillRect(tile, QColor(214, 214, 210));
            pf::Rect extent;
            const QImage picture = decorated(context, kind, names[column], photo, &extent);
            if (picture.isNull()) {
                ++missing;
            } else {
                // The whole result, scaled to fit the tile with a margin, the photograph's place in it kept.
                const double scale = std::min((Tile - 40) / extent.width(), (Tile - 40) / extent.height());
                const QSizeF size(extent.width() * scale, extent.height() * scale);
                const QRectF target(tile.center().x() - size.width() / 2,
                                    tile.center().y() - size.height() / 2, size.width(), size.height());
                painter.drawImage(target, picture);
            }
            const bool isDefault = (row == 0) ? column == 0 : column == names.size() - 1;
            painter.drawText(QRect(tile.left(), tile.bottom() + 4, Tile, Label),
                             Qt::AlignHCenter | Qt::AlignTop,
                             names[column] + (isDefault ? QStringLiteral("  (default)") : QString()));
        }
    }
    painter.end();
    if (!sheet.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "Error: cannot write %s\n", argv[2]);
        return 1;
    }
    if (missing) {
        std::fprintf(stderr, "Error: %d artwork files gave no picture\n", missing);
        return 1;
    }
    return 0;
}
