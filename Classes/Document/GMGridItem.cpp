#include "Classes/Document/GMGridItem.h"

#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

GMGridItem::GMGridItem(unsigned settings, QWidget* parent)
    : OVGridItem(settings & ~unsigned(TitleAlways), parent)
{
    // Every tile is framed and has its title, whether or not its picture has transparent parts.
    setStyle(2);
    setImage(QImage());
}

GMGridItem* GMGridItem::gridItemWithImage(const QImage& image, const QString& title, const QVariant& context,
                                          unsigned settings)
{
    return makeItem<GMGridItem>(image, title, context, settings);
}

void GMGridItem::setImage(const QImage& image)
{
    m_hasPicture = !image.isNull();
    if (m_hasPicture) {
        OVGridItem::setImage(image);
        return;
    }
    QImage card = pf::NamedImage::image(QStringLiteral("GridItemNoPreview"));
    if (card.isNull()) {
        // Without its artwork the card is still a card: a tile without a picture would never be placed.
        card = QImage(200, 150, QImage::Format_RGB32);
        card.fill(QColor(0x2a, 0x2c, 0x31));
    }
    OVGridItem::setImage(card);
}

pf::TextAttributes GMGridItem::titleAttributes() const
{
    pf::TextAttributes attributes = OVGridItem::titleAttributes();
    attributes.font = pf::fontNamed(QStringLiteral("DejaVu Sans"), 10);
    return attributes;
}

bool GMGridItem::executesOnRelease(const pf::Event& event) const
{
    // A selectable tile opens on the second click, any other on the first; later clicks of the same
    // sequence (a double click on a one-click tile, a triple click) open nothing more.
    return event.clickCount() == ((settings() & Selectable) ? 2 : 1);
}
