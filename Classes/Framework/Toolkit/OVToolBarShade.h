#pragma once

#include <QImage>
#include <QString>

namespace pf {
class Bundle;
}

// One layered strip of a tool bar's background: an image cut into a left cap, a middle part and a right
// cap. The image is the first image resource whose file name contains the shade's name; its resource
// name's options ("12-R-8": a 12-point left cap, a tiled middle, an 8-point right cap; "R": a tiled
// middle without caps) give the cuts, its type "BAR-T" marks a texture. The slices are made on first
// use; for high resolution they have twice the pixels (from the "@2x" file when there is one) and the
// same size in points.
class OVToolBarShade
{
public:
    enum BlendMode : int
    {
        Normal = 0,
        Overlay = 3,
    };

    OVToolBarShade(const QString& name, const QString& composition);
    OVToolBarShade(const QString& name, const QString& composition, const pf::Bundle& bundle);

    QString name() const { return m_name; }
    QString path() const { return m_path; }
    QImage image() const { return m_image; }
    bool isTexture() const { return m_isTexture; }
    bool repeat() const { return m_repeat; }
    int blendMode() const { return m_blendMode; }
    double leftMargin() const { return m_leftMargin; }
    double rightMargin() const { return m_rightMargin; }
    bool useRetina() const { return m_useRetina; }
    // A change drops the slices.
    void setUseRetina(bool flag);

    // Null when there is no such part.
    QImage left();
    QImage mid();
    QImage right();
    // The middle part repeated side by side, at least `width` points long (one tile more than asked,
    // so that a strip started up to a tile early still covers it); kept until the resolution changes or
    // a longer one is asked for. A bar draws one strip per gap instead of every tile.
    QImage midStrip(double width);

private:
    QImage slice(double x, double width);
    QImage source();

    QString m_name;
    QString m_path;
    QImage m_image;
    QImage m_image2x;
    bool m_isTexture = false;
    bool m_repeat = false;
    bool m_useRetina = false;
    int m_blendMode = Normal;
    double m_leftMargin = 0;
    double m_rightMargin = 0;
    QImage m_cachedLeft, m_cachedMid, m_cachedRight, m_cachedStrip;
    bool m_haveLeft = false, m_haveMid = false, m_haveRight = false;
};
