#pragma once

#include "Classes/Framework/Toolkit/OVCursorHovering.h"
#include "Classes/Framework/Toolkit/OVWindowCursorAndHint.h"
#include "Platform/UI/View.h"

#include <QCursor>
#include <QPointer>
#include <QPolygonF>
#include <limits>
#include <optional>

class OVResizeViewDelegate;
namespace pf {
class TrackingArea;
}

// A transparent frame round an object on screen: a thin white outline, round handles at the corners and
// edge midpoints, optional tabs on the top and bottom edges. Dragging within 15 points of an allowed
// edge reports the change to the delegate, which resizes the object (and the view with it). Over the
// edge band the pointer is a double arrow at the edge's angle, also when a 3D view turns the view on
// screen, and the hint shows in the window's hint line. The interior lets clicks through.
class OVResizeView : public pf::View, public OVCursorHovering
{
    Q_OBJECT

public:
    enum Side : unsigned
    {
        Top = 1,
        Bottom = 4,
        Left = 8,
        Right = 32,
        AllSides = 63,
    };
    enum State
    {
        Pressed = 0,
        Dragged = 1,
        Released = 2,
    };

    explicit OVResizeView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVResizeView() override;

    // Held weakly: nullptr once the delegate is gone.
    OVResizeViewDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(OVResizeViewDelegate* delegate);
    unsigned allowedSides() const { return m_allowedSides; }
    void setAllowedSides(unsigned sides);
    unsigned resizeSides() const { return m_resizeSides; }
    // For an owner that drives the view remotely.
    void setResizeSides(unsigned sides) { m_resizeSides = sides; }
    bool highlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    double tabWidth() const { return m_tabWidth; }
    void setTabWidth(double width) { m_tabWidth = width; }
    double bottomTabWidth() const { return m_bottomTabWidth; }
    void setBottomTabWidth(double width) { m_bottomTabWidth = width; }
    QString hint() const { return m_hint; }
    void setHint(const QString& hint) { m_hint = hint; }
    pf::View* topTabContent() const { return m_topTabContent; }
    void setTopTabContent(pf::View* view) { m_topTabContent = view; }
    pf::View* bottomTabContent() const { return m_bottomTabContent; }
    void setBottomTabContent(pf::View* view) { m_bottomTabContent = view; }

    bool isRemoteControlled() const override { return m_remote; }
    // Takes effect at the next tracking-area update.
    void setIsRemoteControlled(bool flag) override { m_remote = flag; }

    // The cursor of a rotated double arrow; cursors are built only when the rounded angle changes.
    static QCursor cursorForAngle(double degrees, double scale = 1);
    static const QPolygonF& cursorOutline();
    // The edge angle at a point: left 180, right 0, bottom 270, top 90, corners between.
    double angleForLocation(pf::Point point) const;
    // Chooses the sides (and the drag's factors) a press at the point takes.
    void updateForLocation(pf::Point point);
    void updateCursorForLocation(pf::Point point, double rotation);
    std::optional<QCursor> currentCursor() const { return m_currentCursor; }
    void setCurrentCursor(const std::optional<QCursor>& cursor);
    double lastCursorAngle() const { return m_lastCursorAngle; }
    int cursorsBuilt() const { return m_cursorsBuilt; }

    pf::View* hitTest(pf::Point pointInSuperview) override;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void updateTrackingAreas() override;
    void viewWillMoveToWindow(pf::Window* window) override;

    void mouseEntered(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

private:
    void hover(pf::Point point);
    void removeCursorAndHint();

    pf::Point m_orgLocation;
    double m_lastCursorAngle = std::numeric_limits<double>::infinity();
    double m_tabWidth = 0;
    double m_bottomTabWidth = 0;
    std::optional<QCursor> m_lastCursor;
    double m_factorX = 0, m_factorY = 0;
    unsigned m_allowedSides = AllSides;
    unsigned m_resizeSides = 0;
    OVResizeViewDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    bool m_remote = false;
    bool m_pressed = false;
    pf::TrackingArea* m_trackingArea = nullptr;
    QString m_hint = QStringLiteral("ResizeFrameHint");
    std::optional<QCursor> m_currentCursor;
    OVWindowCursorAndHint m_shown{this};
    QPointer<pf::View> m_topTabContent, m_bottomTabContent;
    bool m_highlighted = false;
    int m_cursorsBuilt = 0;
};
