#include "Classes/Framework/Toolkit/OVToolBarShade.h"

#include "Classes/Framework/BundleORVExtension.h"
#include "Classes/Framework/OVResourceInfo.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Bundle.h"

#include <QFileInfo>
#include <QPainter>
#include <cmath>

OVToolBarShade::OVToolBarShade(const QString& name, const QString& composition)
    : OVToolBarShade(name, composition, pf::Bundle::main())
{}

OVToolBarShade::OVToolBarShade(const QString& name, const QString& composition, const pf::Bundle& bundle)
    : m_name(name)
{
    m_path = ORVExtension::pathForImageResourceWithPrefix(bundle, name, QString(), QString());
    const OVResourceInfo info = ORVExtension::resourceInfo(m_path);
    m_isTexture = info.type() == QStringLiteral("BAR-T");
    const QStringList parts = info.options().value_or(QString()).split(u'-');
    if (parts.size() == 1) {
        m_repeat = parts[0] == u"R";
    } else if (parts.size() == 3) {
        m_leftMargin = parts[0].toDouble();
        m_repeat = parts[1] == u"R";
        m_rightMargin = parts[2].toDouble();
    }
    m_blendMode = composition == u"overlay" ? Overlay : Normal;
    if (!m_path.isEmpty()) {
        m_image = QImage(m_path);
        const QFileInfo file(m_path);
        const QString twice =
            file.path() + u'/' + file.completeBaseName() + QStringLiteral("@2x.") + file.suffix();
        if (QFileInfo::exists(twice))
            m_image2x = QImage(twice);
    }
}

void OVToolBarShade::setUseRetina(bool flag)
{
    if (flag == m_useRetina)
        return;
    m_useRetina = flag;
    m_cachedLeft = m_cachedMid = m_cachedRight = m_cachedStrip = QImage();
    m_haveLeft = m_haveMid = m_haveRight = false;
}

QImage OVToolBarShade::source()
{
    if (!m_useRetina)
        return m_image;
    if (!m_image2x.isNull() && m_image2x.size() == m_image.size() * 2)
        return m_image2x;
    return m_image.scaled(m_image.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage OVToolBarShade::slice(double x, double width)
{
    // Sizes in points are the 1x image's pixels; a high-resolution slice has twice the pixels and a
    // device pixel ratio of 2, so it draws at the same size.
    const double scale = m_useRetina ? 2 : 1;
    const double h = m_image.height();
    QImage part(int(std::lround(width * scale)), int(std::lround(h * scale)),
                QImage::Format_ARGB32_Premultiplied);
    part.fill(Qt::transparent);
    {
        QPainter painter(&part);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage from = source();
        painter.drawImage(QRectF(0, 0, part.width(), part.height()), from,
                          QRectF(x * scale, 0, width * scale, h * scale));
    }
    part.setDevicePixelRatio(scale);
    return part;
}

QImage OVToolBarShade::left()
{
    if (m_leftMargin <= 0)
        return QImage();
    if (!m_haveLeft) {
        m_cachedLeft = slice(0, m_leftMargin);
        m_haveLeft = true;
    }
    return m_cachedLeft;
}

QImage OVToolBarShade::right()
{
    if (m_rightMargin <= 0)
        return QImage();
    if (!m_haveRight) {
        m_cachedRight = slice(m_image.width() - m_rightMargin, m_rightMargin);
        m_haveRight = true;
    }
    return m_cachedRight;
}

QImage OVToolBarShade::mid()
{
    const double mw = m_image.width() - m_leftMargin - m_rightMargin;
    if (mw <= 0)
        return QImage();
    if (!m_haveMid) {
        m_cachedMid = slice(m_leftMargin, mw);
        m_haveMid = true;
    }
    return m_cachedMid;
}

QImage OVToolBarShade::midStrip(double width)
{
    const QImage tile = mid();
    if (tile.isNull())
        return tile;
    const double scale = tile.devicePixelRatio();
    const double tileWidth = tile.width() / scale;
    if (!m_cachedStrip.isNull() && m_cachedStrip.width() / scale >= width + tileWidth)
        return m_cachedStrip;
    const int count = int(std::ceil(width / tileWidth)) + 1;
    QImage strip(tile.width() * count, tile.height(), QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    {
        // Pixel for pixel: a high-resolution tile drawn as it is would take only half its pixels.
        QImage pixels = tile;
        pixels.setDevicePixelRatio(1);
        QPainter painter(&strip);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        for (int i = 0; i < count; ++i)
            painter.drawImage(QPoint(i * pixels.width(), 0), pixels);
    }
    strip.setDevicePixelRatio(scale);
    m_cachedStrip = strip;
    return strip;
}
