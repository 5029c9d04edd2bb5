#pragma once

#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/View.h"

// A line or a block of text that is not edited: the settings panel's effect name, tool name,
// description and introduction. One line is cut at the end with "…" when too long; a block wraps at
// its width and is drawn from its top.
class GMPanelLabel : public pf::View
{
    Q_OBJECT

public:
    explicit GMPanelLabel(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text) { ViewORVExtension::setAndRedisplay(*this, m_text, text); }
    void setFont(const QFont& font) { ViewORVExtension::setAndRedisplay(*this, m_font, font); }
    void setTextColor(const QColor& color) { ViewORVExtension::setAndRedisplay(*this, m_color, color); }
    void setWraps(bool wraps) { ViewORVExtension::setAndRedisplay(*this, m_wraps, wraps); }
    void setShadow(const std::optional<pf::Shadow>& shadow)
    {
        ViewORVExtension::setAndRedisplay(*this, m_shadow, shadow);
    }

    // The width the text needs on one line.
    double intrinsicWidth() const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    pf::AttributedString attributed() const;

    QString m_text;
    QFont m_font;
    QColor m_color;
    bool m_wraps = false;
    std::optional<pf::Shadow> m_shadow;
};
