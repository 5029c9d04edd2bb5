#pragma once

#include "Platform/UI/View.h"

#include <QImage>
#include <QString>

namespace pf {
class Image;
}

// A preview window's picture: fitted (never enlarged) and centred on a dark ground inside the view's
// margins, above a darker bar of buttons along its foot; without a picture, a grey line that says why.
class GMFittedPictureView : public pf::View
{
public:
    // The room left around the picture: on either side, below it (above the bar) and above it.
    struct Margins
    {
        double left = 0, right = 0, bottom = 0, top = 0;
    };

    GMFittedPictureView(const pf::Rect& frame, double barHeight, Margins margins, const QString& noPicture);

    void setPicture(const QImage& picture);
    // The line shown without a picture.
    QString noPictureText() const { return m_noPicture; }
    void setNoPictureText(const QString& text);
    // Whether an engine image can be rendered to a picture to show: its extent finite and at least a
    // pixel each way.
    static bool isShowable(const pf::Image& image);
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    double m_barHeight;
    Margins m_margins;
    QString m_noPicture;
    QImage m_picture;
};
