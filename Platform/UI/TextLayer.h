#pragma once

#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Layer.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <memory>

namespace pf {

// A layer that draws one string: on one line from the top of its bounds, aligned left, centred or
// right, clipped to the bounds. A shadow under the text is the layer's own shadow (shadowColor,
// shadowOpacity, shadowRadius, shadowOffset), which follows what the layer draws.
class TextLayer : public Layer
{
public:
    TextLayer();
    static std::shared_ptr<TextLayer> create() { return std::make_shared<TextLayer>(); }
    std::shared_ptr<Layer> newOfSameClass() const override { return create(); }

    const QString& string() const { return m_string; }
    void setString(const QString& string);
    const QFont& font() const { return m_font; }
    void setFont(const QFont& font);
    const QColor& foregroundColor() const { return m_color; }
    void setForegroundColor(const QColor& color);
    AttributedString::Alignment alignment() const { return m_alignment; }
    void setAlignment(AttributedString::Alignment alignment);

    // The size the string takes on one line.
    Size preferredSize() const;

    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override;

private:
    AttributedString attributedString() const;

    QString m_string;
    QFont m_font;
    QColor m_color = Qt::white;
    AttributedString::Alignment m_alignment = AttributedString::Alignment::Left;
};

} // namespace pf
