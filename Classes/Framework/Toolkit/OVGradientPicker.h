#pragma once

#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Platform/Image/Gradient.h"

#include <QImage>
#include <array>
#include <optional>
#include <vector>

namespace pf {
class TrackingArea;
}

// A control that edits a colour gradient: a horizontal strip shows it, a row of stop markers below
// shows its stops. A click into the strip adds a stop there; markers are dragged, or moved with the
// arrow keys (Shift: ten times, Option: a tenth of one pixel of the strip), and the selected stop is
// removed with its delete icon or the delete keys; its colour is edited in the shared colour panel,
// which the picker holds as a colour well does. Tab and Shift+Tab step through the stops, Escape gives
// the keyboard back. Every edit sends the action; a refused key beeps.
//
// At most 100 stops, kept in ascending order of location; the first and the last are the ends, which can
// be recoloured but are never moved or removed. A stop moves only strictly between its neighbours, and
// is added only strictly inside (0, 1).
//
// Geometry (y-up): the marker row lies from y 0 to the height of the "ColorStop" image, the strip from
// y 7, 13 high, inset by that image's width plus one on each side; the delete icon sits above the
// selected stop from y 14.
class OVGradientPicker : public OVColorWell
{
    Q_OBJECT

public:
    static constexpr int maxStops = 100;
    static constexpr int NotFound = -1;

    explicit OVGradientPicker(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVGradientPicker() override;

    static QStringList imageNames();

    // The stops as a gradient (colours in generic RGB).
    pf::Gradient gradient() const;
    // Takes at most the first 100 stops, in ascending order of location (stable, so the gradient looks
    // the same), colours in generic RGB; sends no action and leaves the selection alone. A gradient of
    // fewer than two stops, or with a location that is no number, is ignored with a warning.
    void setGradient(const pf::Gradient& gradient);

    int numberOfStops() const { return int(m_colors.size()); }
    double locationAt(int index) const { return m_locations[std::size_t(index)]; }
    pf::PaintColor colorAt(int index) const { return m_colors[std::size_t(index)]; }

    // The selected stop's colour; with no valid selection the first stop's.
    pf::PaintColor color() const override;
    // Ignored while opening; otherwise the well's colour and, with a valid selection, that stop's colour
    // (then the action is sent).
    void setColor(const pf::PaintColor& color) override;
    void changeColor(const pf::PaintColor& color) override;
    bool changeColorAtIndex(const pf::PaintColor& color, int index);
    // The new stop's index; 0 when refused (at 100 stops, or outside (0, 1)), with a warning.
    int addColorAt(double location);
    void removeColorAtIndex(int index);
    bool changeLocationAtIndex(double location, int index);

    int selectedIndex() const { return m_selectedIndex; }
    bool hasValidSelection() const { return m_selectedIndex >= 0 && m_selectedIndex < numberOfStops(); }
    bool hasInnerSelection() const { return m_selectedIndex > 0 && m_selectedIndex < numberOfStops() - 1; }
    // A valid stop: selected, the picker takes the keyboard and the colour panel shows the stop. None
    // (NotFound or any invalid index): only stored and redrawn.
    void setSelectedIndex(int index);
    void openColorPanel();
    void deactivate() override;

    // Geometry.
    pf::Rect gradientRect() const;
    double stopX(int index) const;
    // One pixel of the strip in location units; 0 for a strip without width.
    double minChange() const;
    // The delete icon over the selected inner stop; null without one.
    pf::Rect deleteIconRect() const;
    double triWidth() const { return m_triWidth; }
    double triHeight() const { return m_triHeight; }
    int mouseDownIndex() const { return m_mouseDownIndex; }

    // Key commands.
    void deleteBackward();
    void deleteForward();
    void moveLeft();
    void moveRight();
    void moveLeftAndModifySelection();
    void moveRightAndModifySelection();
    void moveWordLeft();
    void moveWordRight();
    void insertTab();
    void insertBacktab();
    void cancelOperation();

    bool acceptsFirstResponder() const override { return true; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    void keyDown(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;
    void updateTrackingAreas() override;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

protected:
    // Tab and Shift+Tab belong to the picker, not to Qt's focus chain.
    bool event(QEvent* event) override;

private:
    void selectNone();
    void moveSelectionBy(double delta);
    pf::Point localPoint(const pf::Event& event) const;
    void notePointer(const pf::Event& event);
    void stopsChanged();
    const pf::Gradient& currentGradient() const;
    QImage stripImage(double scale);
    QImage markerImage(double scale);

    std::vector<pf::PaintColor> m_colors;
    std::array<double, maxStops> m_locations{};
    int m_selectedIndex = NotFound;
    int m_mouseDownIndex = NotFound;
    QImage m_triangleImage, m_selectedImage, m_closeIcon;
    double m_triWidth = 0, m_triHeight = 0;
    pf::TrackingArea* m_trackingArea = nullptr;
    // Where the pointer was at the last mouse event the picker heard.
    std::optional<pf::Point> m_pointer;

    // Drawing kept between redraws: the gradient of the stops, the strip (per change of the stops, size
    // and scale) and the marker row (also per selection).
    quint64 m_generation = 0;
    mutable std::optional<pf::Gradient> m_cachedGradient;
    struct Cached
    {
        QString key;
        QImage image;
    };
    Cached m_strip, m_markers;
};
