#pragma once

#include "Classes/Framework/Toolkit/OVTextPanelDelegate.h"

#include <QString>

// A text panel's owner that keeps what the panel sets: the text, its colour, font and alignment.
struct StoredTextPanelOwner : OVTextPanelDelegate
{
    QString text;
    pf::PaintColor color = pf::PaintColor::calibratedWhite(1);
    QString font;
    unsigned alignment = 0;
    QString textPanelString() const override { return text; }
    void setTextPanelString(const QString& t) override { text = t; }
    pf::PaintColor textPanelColor() const override { return color; }
    void setTextPanelColor(const pf::PaintColor& c) override { color = c; }
    QString textPanelFontName() const override { return font; }
    void setTextPanelFontName(const QString& f) override { font = f; }
    unsigned textPanelAlignment() const override { return alignment; }
    void setTextPanelAlignment(unsigned a) override { alignment = a; }
};
