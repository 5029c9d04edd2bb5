#include "Classes/Editor/OV3PartButtonCell.h"

#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainter>

OV3PartButtonCell::TitleAttributes OV3PartButtonCell::defaultTitleAttributes()
{
    TitleAttributes title;
    title.text.font = pf::fontNamed(QStringLiteral("Lucida Grande"), 13);
    title.text.color = QColor::fromRgbF(0.37f, 0.37f, 0.37f, 1.0f);
    title.alignment = pf::AttributedString::Alignment::Center;
    pf::Shadow shadow;
    shadow.color = QColor::fromRgbF(1, 1, 1, 0.6f);
    shadow.offset = pf::Size(1, -1);
    shadow.blurRadius = 1.0;
    title.shadow = shadow;
    return title;
}

OV3PartButtonCell::OV3PartButtonCell(const QString& title) : OVCell(title)
{
    setStyle(0);
}

OV3PartButtonCell::OV3PartButtonCell(const QImage& image) : OVCell(image)
{
    setStyle(0);
}

OV3PartButtonCell OV3PartButtonCell::decoded(const pf::AttributedString& title)
{
    OV3PartButtonCell cell;
    cell.setAttributedStringValue(title);
    cell.setStyle(0);
    cell.setTitle(title.string());
    return cell;
}

OV3PartButtonCell::~OV3PartButtonCell()
{
    setBaseName(std::nullopt);
}

void OV3PartButtonCell::setStyle(int style)
{
    if (style != 0)
        return;
    setBaseName(QStringLiteral("Button01"));
    m_titleAttributes = defaultTitleAttributes();
}

void OV3PartButtonCell::setBaseName(const std::optional<QString>& name)
{
    if (name == m_baseName)
        return;
    m_baseName = name;
    if (!name)
        return;
    m_leftImg = pf::NamedImage::image(*name + QStringLiteral("Left"));
    m_midImg = pf::NamedImage::image(*name + QStringLiteral("Mid"));
    m_rightImg = pf::NamedImage::image(*name + QStringLiteral("Right"));
}

void OV3PartButtonCell::setTitle(const QString& text)
{
    pf::AttributedString title(text, m_titleAttributes.text);
    title.setAlignment(m_titleAttributes.alignment);
    title.setShadow(m_titleAttributes.shadow);
    setAttributedStringValue(title);
}

void OV3PartButtonCell::drawBezelWithFrame(QPainter& painter, const pf::Rect& F, pf::View*)
{
    const double fraction = isHighlighted() ? 0.7 : 1.0;
    const auto sizeOf = [](const QImage& image) { return image.deviceIndependentSize(); };
    const QSizeF left = sizeOf(m_leftImg), mid = sizeOf(m_midImg), right = sizeOf(m_rightImg);
    const auto draw = [&](const QImage& image, const pf::Rect& where) {
        if (!image.isNull())
            pf::drawImage(painter, image, where, pf::Rect::null(), QPainter::CompositionMode_SourceOver,
                          fraction);
    };
    draw(m_leftImg, pf::Rect(F.minX(), F.minY(), left.width(), left.height()));
    draw(m_midImg,
         pf::Rect(F.minX() + left.width(), F.minY(), F.width() - left.width() - right.width(), mid.height()));
    draw(m_rightImg, pf::Rect(F.minX() + F.width() - right.width(), F.minY(), right.width(), right.height()));
}
