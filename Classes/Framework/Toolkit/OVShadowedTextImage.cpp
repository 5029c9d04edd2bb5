#include "Classes/Framework/Toolkit/OVShadowedTextImage.h"

#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>

void OVShadowedTextImage::draw(QPainter& painter, const pf::AttributedString& text, const pf::Rect& rect,
                               const std::optional<pf::Shadow>& textShadow)
{
    if (!textShadow) {
        text.drawInRect(painter, rect);
        return;
    }
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const pf::Shadow& shadow = *textShadow;
    const double margin = std::ceil(
        shadow.blurRadius * 2 + std::max(std::abs(shadow.offset.width), std::abs(shadow.offset.height)) + 1);
    const QString key = QStringList{text.string(),
                                    text.attributesAt(0).font.toString(),
                                    text.attributesAt(0).color.name(QColor::HexArgb),
                                    shadow.color.name(QColor::HexArgb),
                                    QString::number(shadow.offset.width),
                                    QString::number(shadow.offset.height),
                                    QString::number(shadow.blurRadius),
                                    QString::number(int(text.alignment())),
                                    QString::number(int(text.lineBreakMode())),
                                    QString::number(rect.width()),
                                    QString::number(rect.height()),
                                    QString::number(scale)}
                            .join(u'\n');
    if (m_key != key) {
        const pf::Size size(rect.width() + 2 * margin, rect.height() + 2 * margin);
        QImage image(int(std::ceil(size.width * scale)), int(std::ceil(size.height * scale)),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter offscreen(&image);
        offscreen.setRenderHint(QPainter::Antialiasing);
        offscreen.setRenderHint(QPainter::TextAntialiasing);
        // Drawn y-up, as in the view.
        offscreen.translate(0, size.height);
        offscreen.scale(1, -1);
        text.drawInRect(offscreen, pf::Rect(margin, margin, rect.width(), rect.height()));
        offscreen.end();
        m_key = key;
        m_image = image;
        m_rect = pf::Rect(-margin, -margin, size.width, size.height);
    }
    pf::drawImage(painter, m_image, m_rect.offsetBy(rect.minX(), rect.minY()));
}
