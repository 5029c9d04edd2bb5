#pragma once

#include "Classes/Editor/OVCell.h"

#include <QImage>
#include <QString>
#include <optional>

// A push button drawn from a left cap, a stretched middle and a right cap ("<base>Left", "<base>Mid",
// "<base>Right"), its title engraved: grey with a white shadow below, whatever the title came with.
class OV3PartButtonCell : public OVCell
{
public:
    // The title's look in every button of style 0: 13-point grey (white 0.37) text, centred, over a
    // white shadow (alpha 0.6) one point right and down, blurred by 1.
    struct TitleAttributes
    {
        pf::TextAttributes text;
        pf::AttributedString::Alignment alignment = pf::AttributedString::Alignment::Center;
        std::optional<pf::Shadow> shadow;
    };
    static TitleAttributes defaultTitleAttributes();

    explicit OV3PartButtonCell(const QString& title = QString());
    explicit OV3PartButtonCell(const QImage& image);
    // A cell decoded from an interface: the decoded title is set again so that it takes the style's look.
    static OV3PartButtonCell decoded(const pf::AttributedString& title);
    ~OV3PartButtonCell() override;

    // Style 0: the base name "Button01" and the default title look; other styles change nothing.
    void setStyle(int style);
    const std::optional<QString>& baseName() const { return m_baseName; }
    // A name other than the current one loads its three images; none keeps the images as they are.
    void setBaseName(const std::optional<QString>& name);
    // The look of the title from the next setTitle() on.
    const TitleAttributes& titleAttributes() const { return m_titleAttributes; }
    void setTitleAttributes(const TitleAttributes& attributes) { m_titleAttributes = attributes; }
    void setTitle(const QString& text);
    void setStringValue(const QString& text) override { setTitle(text); }

    QImage leftImage() const { return m_leftImg; }
    QImage middleImage() const { return m_midImg; }
    QImage rightImage() const { return m_rightImg; }

    // The caps at their own sizes, the middle stretched between; at 70 % while highlighted.
    void drawBezelWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* controlView) override;

private:
    std::optional<QString> m_baseName;
    TitleAttributes m_titleAttributes;
    QImage m_leftImg, m_midImg, m_rightImg;
};
