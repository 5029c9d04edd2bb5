#pragma once

#include "Classes/Framework/Toolkit/OVShadowedTextImage.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/TextField.h"

#include <optional>

// A label that draws its own text: translated through the "Controls" table, under a named shadow of the
// shadow catalog, on an optional rounded background, centred vertically, optionally shrunk to fit its
// width, at half opacity while disabled (background included). It is never editable and draws no
// background until asked.
class OVLabel : public pf::TextField
{
    Q_OBJECT

public:
    explicit OVLabel(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    bool isEditable() const override { return false; }
    bool isFlipped() const override { return false; }

    // Looks the text up in the "Controls" table (the text is key and default).
    void setStringValue(const QString& text) override;
    // After an interface built the label: passes its text through setStringValue() once.
    void awakeFromInterface();

    // The catalog's shadow of that name, and its text colour.
    void setTextShadowName(const QString& name);
    std::optional<pf::Shadow> textShadow() const { return m_textShadow; }
    void setTextShadow(const std::optional<pf::Shadow>& shadow) { m_textShadow = shadow; }
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius; }
    bool shrinkToFit() const { return m_shrinkToFit; }
    void setShrinkToFit(bool flag) { m_shrinkToFit = flag; }

    // The text with the label's alignment, line breaking, shadow, font and colour.
    pf::AttributedString stringWithFieldAttributes() const;
    // The text as it is drawn into the bounds: shrunk when it must be.
    pf::AttributedString stringForDrawing() const;
    pf::Size intrinsicContentSize() const;
    QSize sizeHint() const override;
    // The height of the text laid out in lines for the bounds' width (at most 3000).
    double preferredHeight() const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

protected:
    void changeEvent(QEvent* event) override;

private:
    double m_cornerRadius = 0;
    std::optional<pf::Shadow> m_textShadow;
    bool m_shrinkToFit = false;
    bool m_awoken = false;

    OVShadowedTextImage m_textImage;
};
