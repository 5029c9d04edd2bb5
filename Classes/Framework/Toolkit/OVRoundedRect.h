#pragma once

#include "Platform/UI/View.h"

#include <QColor>

// A rounded panel: a vertical gradient fill inside a 1-point rim that has a gradient of its own.
class OVRoundedRect : public pf::View
{
    Q_OBJECT

public:
    explicit OVRoundedRect(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    QColor topFillColor() const { return m_topFill; }
    QColor bottomFillColor() const { return m_bottomFill; }
    QColor topStrokeColor() const { return m_topStroke; }
    QColor bottomStrokeColor() const { return m_bottomStroke; }
    double cornerRadius() const { return m_cornerRadius; }
    // The setters only store: the caller redisplays when it is done.
    void setTopFillColor(const QColor& color) { m_topFill = color; }
    void setBottomFillColor(const QColor& color) { m_bottomFill = color; }
    void setTopStrokeColor(const QColor& color) { m_topStroke = color; }
    void setBottomStrokeColor(const QColor& color) { m_bottomStroke = color; }
    void setCornerRadius(double radius) { m_cornerRadius = radius; }
    // Colour text ("r g b a").
    void setTopFillColorName(const QString& text);
    void setBottomFillColorName(const QString& text);
    void setTopStrokeColorName(const QString& text);
    void setBottomStrokeColorName(const QString& text);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QColor m_topFill = QColor::fromRgbF(0, 0, 0, 0.4f);
    QColor m_bottomFill = QColor::fromRgbF(0, 0, 0, 0.2f);
    QColor m_topStroke = QColor::fromRgbF(0, 0, 0, 0.5f);
    QColor m_bottomStroke = QColor::fromRgbF(0, 0, 0, 0);
    double m_cornerRadius = 10;
};
