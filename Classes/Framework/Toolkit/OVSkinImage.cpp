#include "Classes/Framework/Toolkit/OVSkinImage.h"

#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QHash>
#include <QImageReader>
#include <QPainter>

std::shared_ptr<OVSkinImage> OVSkinImage::fromFiles(const QString& plain, const QString& doubled)
{
    std::shared_ptr<OVSkinImage> image(new OVSkinImage());
    image->m_kind = Kind::Files;
    image->m_plain = plain;
    image->m_doubled = doubled;
    return image;
}

std::shared_ptr<OVSkinImage> OVSkinImage::named(const QString& name, const pf::Bundle& bundle)
{
    std::shared_ptr<OVSkinImage> image(new OVSkinImage());
    image->m_kind = Kind::Named;
    image->m_name = name;
    image->m_bundle = &bundle;
    return image;
}

std::shared_ptr<OVSkinImage> OVSkinImage::hover(std::shared_ptr<OVSkinImage> normal,
                                                std::shared_ptr<OVSkinImage> down)
{
    std::shared_ptr<OVSkinImage> image(new OVSkinImage());
    image->m_kind = Kind::Hover;
    image->m_normal = std::move(normal);
    image->m_down = std::move(down);
    return image;
}

QImage OVSkinImage::image(double scale)
{
    const int slot = scale >= 1.5 ? 1 : 0;
    QImage& decoded = m_decoded[slot];
    if (!decoded.isNull())
        return decoded;
    switch (m_kind) {
    case Kind::Files: {
        const QString file = (slot == 1 && !m_doubled.isEmpty()) || m_plain.isEmpty() ? m_doubled : m_plain;
        // Buttons of one skin share its decoded files.
        static QHash<QString, QImage> files;
        if (auto it = files.constFind(file); it != files.constEnd()) {
            decoded = *it;
            break;
        }
        QImageReader reader(file);
        reader.setAutoTransform(true);
        decoded = reader.read();
        if (!decoded.isNull() && file == m_doubled)
            decoded.setDevicePixelRatio(2);
        if (!decoded.isNull())
            files.insert(file, decoded);
        break;
    }
    case Kind::Named:
        decoded = pf::NamedImage::image(m_name, scale, *m_bundle);
        break;
    case Kind::Hover: {
        const QImage normal = m_normal->image(scale);
        if (normal.isNull())
            break;
        decoded = QImage(normal.size(), QImage::Format_ARGB32_Premultiplied);
        decoded.setDevicePixelRatio(normal.devicePixelRatio());
        decoded.fill(Qt::transparent);
        const pf::Size size = OVImageSize::pointSize(normal);
        const pf::Rect all(0, 0, size.width, size.height);
        QPainter painter(&decoded);
        pf::drawImage(painter, normal, all);
        pf::drawImage(painter, m_down->image(scale), all, pf::Rect::null(),
                      QPainter::CompositionMode_SourceOver, 0.5);
        break;
    }
    }
    return decoded;
}

pf::Size OVSkinImage::size()
{
    if (m_size)
        return *m_size;
    switch (m_kind) {
    case Kind::Files: {
        const bool plain = !m_plain.isEmpty();
        const QSize pixels = QImageReader(plain ? m_plain : m_doubled).size();
        m_size = pixels.isValid()
                     ? pf::Size(pixels.width() / (plain ? 1.0 : 2.0), pixels.height() / (plain ? 1.0 : 2.0))
                     : OVImageSize::pointSize(image(1));
        break;
    }
    case Kind::Named:
        m_size = OVImageSize::pointSize(image(1));
        break;
    case Kind::Hover:
        m_size = m_normal->size();
        break;
    }
    return *m_size;
}
