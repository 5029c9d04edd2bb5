#pragma once

#include "Platform/UI/View.h"

#include <QPainterPath>
#include <QPointer>

// A dark callout with a pointer on one edge. Everything shown inside lies in a container view kept off
// the pointer's side, so content never runs under the pointer: subviews added either way (addSubview()
// or a Qt parent) end in the container and move with it when the side changes.
class OVPointingView : public pf::View
{
    Q_OBJECT

public:
    enum Side : int
    {
        Left = 1,
        Top = 2, // the maximum-y edge
        Right = 4,
        Bottom = 8, // the minimum-y edge
    };

    explicit OVPointingView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    pf::View* containerView() const { return m_container; }
    // A view other than the container goes into the container.
    void addSubview(pf::View* view);
    void addSubview(pf::View* view, Ordering place, pf::View* relativeTo);

    int pointingSide() const { return m_side; }
    void setPointingSide(int side);
    // Where the pointer lies along its edge (clamped when drawn so it clears the corners).
    double distance() const { return m_distance; }
    void setDistance(double distance);

    // The container's frame: the bounds less a 1-point rim, less the pointer's 10 points on its side.
    void updateContainerFrame();
    // The outline drawn: the container grown by 1, corners of radius 4, the pointer 10 deep, 20 wide.
    QPainterPath outline();
    // The pointer's centre along its edge after clamping.
    double pointerPosition();

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

protected:
    bool event(QEvent* event) override;

private:
    void createContainerView();
    void adoptChildren();

    QPointer<pf::View> m_container;
    int m_side = Left;
    double m_distance = 0;
    bool m_adoptScheduled = false;
};
