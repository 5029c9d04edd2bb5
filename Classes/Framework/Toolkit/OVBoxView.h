#pragma once

#include "Classes/Framework/Toolkit/OVTitledView.h"
#include "Platform/UI/View.h"

#include <QPainterPath>
#include <QString>

// A titled box: a rounded panel filled with a fine-grain tile (dark, or light in the light look), a thin
// gradient rim, and a tab carrying the title, on top (box types 1 and 2) or along the left side with the
// text running upwards (box type 0).
class OVBoxView : public pf::View, public OVTitledView
{
    Q_OBJECT

public:
    explicit OVBoxView(const QString& title = QString(), QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    // Stores only: the caller redraws (or sets it before the box is first drawn).
    void setTitle(const QString& title) { m_title = title; }
    bool lightLook() const { return m_lightLook; }
    void setLightLook(bool light);
    int boxType() const { return m_boxType; }
    // Stores only, like setTitle().
    void setBoxType(int type) { m_boxType = type; }

    // The tab's size: the title's width plus 30 by 20; (30, 0) without a title.
    pf::Size titleSize() const override;

    // The panel's outline in own coordinates (the inner one is the filled panel, one point inside),
    // going clockwise.
    QPainterPath outline(bool inner) const;

    // Fills a rounded rectangle in the selection colour.
    static void highlight(QPainter& painter, bool flag, const pf::Rect& frame);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QString m_title;
    bool m_lightLook = false;
    int m_boxType = 0;
};
