#include "Classes/Framework/Toolkit/OVColorWell.h"

#include "Platform/UI/ColorPanel.h"

#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <vector>

namespace {

// The active wells; their shared identity holds the panel while any is active.
std::vector<QPointer<OVColorWell>>& wells()
{
    static std::vector<QPointer<OVColorWell>> list;
    return list;
}

const void* panelClient()
{
    return &wells();
}

void dropGoneWells()
{
    std::erase_if(wells(), [](const QPointer<OVColorWell>& well) { return well.isNull(); });
}

// Calls `visit` on each well active now; a well that an earlier one's action deleted or deactivated
// is passed over.
template <typename Visit> void forEachActiveWell(const Visit& visit)
{
    const std::vector<QPointer<OVColorWell>> active = wells();
    for (const QPointer<OVColorWell>& well : active)
        if (well && well->isActive())
            visit(well.data());
}

} // namespace

OVColorWell::OVColorWell(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

OVColorWell::~OVColorWell()
{
    if (m_active) {
        std::erase_if(wells(), [this](const QPointer<OVColorWell>& well) { return well == this || !well; });
        if (wells().empty())
            pf::ColorPanel::shared().removeClient(panelClient());
    }
}

QList<OVColorWell*> OVColorWell::activeWells()
{
    dropGoneWells();
    QList<OVColorWell*> list;
    for (const QPointer<OVColorWell>& well : wells())
        list << well.data();
    return list;
}

void OVColorWell::setColor(const pf::PaintColor& color)
{
    if (m_isOpening)
        return;
    m_color = color;
    setNeedsDisplay();
}

void OVColorWell::sendAction()
{
    // A copy runs: the action may replace itself or delete the well.
    if (const std::function<void(OVColorWell*)> action = m_action)
        action(this);
}

void OVColorWell::changeColor(const pf::PaintColor& color)
{
    if (m_isOpening)
        return;
    setColor(color);
    sendAction();
}

void OVColorWell::activate(bool exclusive)
{
    pf::ColorPanel& panel = pf::ColorPanel::shared();
    m_isOpening = true;
    if (exclusive)
        forEachActiveWell([this](OVColorWell* other) {
            if (other != this)
                other->deactivate();
        });
    if (!m_active) {
        m_active = true;
        wells().emplace_back(this);
        setNeedsDisplay();
    }
    panel.setContinuous(m_continuous);
    panel.setClient(
        panelClient(),
        [](const QColor& color) {
            forEachActiveWell(
                [&](OVColorWell* well) { well->changeColor(pf::PaintColor::fromQColor(color)); });
        },
        [] { forEachActiveWell([](OVColorWell* well) { well->deactivate(); }); });
    // Bringing the panel up changes the key window, whose owners may delete this well.
    const QPointer<OVColorWell> self(this);
    panel.orderFront();
    if (!self)
        return;
    // A panel hands its colour to a newly linked well; while opening, the well keeps its own.
    changeColor(pf::PaintColor::fromQColor(panel.color()));
    panel.setShowsAlpha(m_supportsAlpha);
    panel.setColor(color().toQColor());
    if (self)
        m_isOpening = false;
}

void OVColorWell::deactivate()
{
    if (!m_active)
        return;
    m_active = false;
    std::erase_if(wells(), [this](const QPointer<OVColorWell>& well) { return well == this || !well; });
    if (wells().empty())
        pf::ColorPanel::shared().removeClient(panelClient());
    setNeedsDisplay();
}

// Drawing and input ----------------------------------------------------------------------------------

void OVColorWell::drawCheckerboard(QPainter& painter, const QPainterPath& path, double square)
{
    painter.save();
    painter.setClipPath(path, Qt::IntersectClip);
    const QRectF area = path.boundingRect();
    painter.fillRect(area, QColor(236, 237, 239));
    const QColor dark(178, 181, 186);
    for (int row = 0; row * square < area.height(); ++row)
        for (int column = row % 2; column * square < area.width(); column += 2)
            painter.fillRect(QRectF(area.x() + column * square, area.y() + row * square, square, square),
                             dark);
    painter.restore();
}

void OVColorWell::drawRect(QPainter& painter, const pf::Rect&)
{
    const QRectF outer = bounds().insetBy(0.5, 0.5).toQRectF();
    if (outer.width() <= 0 || outer.height() <= 0)
        return;
    painter.setPen(QPen(QColor(255, 255, 255, 46), 1));
    painter.setBrush(QColor(42, 44, 48));
    painter.drawRoundedRect(outer, 3, 3);

    const QRectF inner = outer.adjusted(3, 3, -3, -3);
    if (inner.width() > 0 && inner.height() > 0) {
        QPainterPath swatch;
        swatch.addRoundedRect(inner, 1.5, 1.5);
        if (m_color.isPattern() || m_color.alpha() < 1)
            drawCheckerboard(painter, swatch, 4);
        painter.fillPath(swatch, m_color.brush());
    }
    if (m_active) {
        painter.setPen(QPen(QColor(94, 160, 230), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(outer.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
}

void OVColorWell::mouseDown(const pf::Event&) {}

void OVColorWell::mouseUp(const pf::Event& event)
{
    if (!isEnabled() || !bounds().contains(convertPointFromView(event.locationInWindow(), nullptr)))
        return;
    if (m_active)
        deactivate();
    else
        activate(true);
}
