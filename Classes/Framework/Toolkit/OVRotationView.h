#pragma once

#include "Classes/Framework/Toolkit/OVCursorHovering.h"
#include "Classes/Framework/Toolkit/OVWindowCursorAndHint.h"
#include "Platform/UI/View.h"

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QPolygonF>
#include <limits>
#include <optional>

class OVRotationViewDelegate;
namespace pf {
class TrackingArea;
}

// A transparent overlay that draws a white circle round an object and lets the user turn it by dragging
// along the circle and, when the delegate supports it, scale it by dragging one of four arrow handles.
// Reports are relative to the press. Outside the circle it can cover the surroundings with a colour or
// a tiled pattern so the inside stands out.
class OVRotationView : public pf::View, public OVCursorHovering
{
    Q_OBJECT

public:
    struct Polar
    {
        double radius = 0;
        double angle = 0; // degrees, counter-clockwise from the x axis
    };

    explicit OVRotationView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVRotationView() override;

    // Held weakly: nullptr once the delegate is gone.
    OVRotationViewDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(OVRotationViewDelegate* delegate);
    double radiusReduction() const { return m_radiusReduction; }
    void setRadiusReduction(double percent) { m_radiusReduction = percent; }
    double radius() const;
    // The polar pair of an offset from the centre; a point on the centre has angle 0.
    static Polar rotationForLocation(pf::Point offset);

    QString hint() const { return m_hint; }
    void setHint(const QString& hint) { m_hint = hint; }
    bool dashed() const { return m_dashed; }
    void setDashed(bool dashed) { m_dashed = dashed; }
    bool highlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    bool showCenterArea() const { return m_showCenterArea; }
    void setShowCenterArea(bool show);
    void setPatternName(const QString& name);
    void setPattern(const QImage& pattern);
    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor& color) { m_fillColor = color; }
    void setFillColorName(const QString& text);

    bool isRemoteControlled() const override { return m_remote; }
    void setIsRemoteControlled(bool flag) override;

    Polar change() const { return m_change; }
    bool isRescaling() const { return m_isRescaling; }
    bool showRescaling() const { return m_showRescaling; }
    // Whether a pointer at the polar pair lies within about 7 points of one of the four arrow handles.
    static bool onScaleHandle(Polar polar);

    static const QPolygonF& doubleArrowOutline();
    static const QPolygonF& fourWayArrowOutline();
    QCursor cursorForAngle(double degrees) const;
    std::optional<QCursor> cursorForLocation(pf::Point point);
    double lastCursorAngle() const { return m_lastCursorAngle; }
    std::optional<QCursor> currentCursor() const { return std::nullopt; }
    void setCurrentCursor(const std::optional<QCursor>& cursor);
    bool hasPushedCursor() const { return m_shown.window() != nullptr; }

    // Whether a point of the own coordinates lies in the 16-point band along the circle.
    bool bandContains(pf::Point point) const;
    pf::View* hitTest(pf::Point pointInSuperview) override;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void updateTrackingAreas() override;
    void viewWillMoveToWindow(pf::Window* window) override;

    void mouseEntered(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

private:
    // Tells the delegate of the change; false when it deleted the view meanwhile.
    bool report(bool inProgress);
    bool scalingOffered() const;
    pf::Point center() const;
    Polar polarAt(const pf::Event& event) const;
    void removeCursorAndHint();

    std::optional<QCursor> m_lastCursor;
    double m_baseRotation = 0;
    pf::TrackingArea* m_trackingArea = nullptr;
    double m_lastCursorAngle = std::numeric_limits<double>::infinity();
    bool m_remote = false;
    bool m_dashed = false;
    OVRotationViewDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    double m_radiusReduction = 0;
    QString m_hint;
    QImage m_pattern;
    QColor m_fillColor;
    Polar m_startCoord;
    Polar m_change{1.0, 0.0};
    bool m_isRescaling = false;
    bool m_showRescaling = false;
    bool m_showCenterArea = false;
    bool m_highlighted = false;
    OVWindowCursorAndHint m_shown{this};
    std::optional<qint64> m_pushedCursorKey;
};
