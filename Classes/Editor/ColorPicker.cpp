#include "Classes/Editor/ColorPicker.h"

#include "Classes/Editor/ColorPickerDelegate.h"
#include "Classes/Editor/OVViewState.h"
#include "Platform/UI/ColorPanel.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"

#include <QPainterPath>
#include <QPointer>

namespace {

const QString frameLeft = QStringLiteral("VariousContentAreaBackgroundLeft.png");
const QString frameMid = QStringLiteral("VariousContentAreaBackgroundMid.png");
const QString frameRight = QStringLiteral("VariousContentAreaBackgroundRight.png");

} // namespace

ColorPicker::ColorPicker(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

ColorPicker::~ColorPicker()
{
    if (m_updateTimer)
        m_updateTimer->invalidate();
}

void ColorPicker::takeColorPanel()
{
    QPointer<ColorPicker> self(this);
    pf::ColorPanel::shared().setChangeHandler([self](const QColor& color) {
        if (self)
            self->changeColor(color);
    });
}

void ColorPicker::setColor(const QColor& color)
{
    m_color = color;
    pf::ColorPanel& panel = pf::ColorPanel::shared();
    panel.setChangeHandler(nullptr);
    panel.setColor(color);
    takeColorPanel();
    setNeedsDisplay();
}

void ColorPicker::setColorIntern(const QColor& color)
{
    m_color = color;
    setNeedsDisplay();
}

void ColorPicker::updateColor(const QColor& color)
{
    setColorIntern(color);
    if (m_delegate)
        m_delegate->colorPickerDidChangeColor(this, m_color, true);
}

void ColorPicker::changeColor(const QColor& color)
{
    // The delegate hears the colour first and may delete the picker.
    const QPointer<ColorPicker> self(this);
    updateColor(color);
    if (!self)
        return;
    if (m_updateTimer)
        m_updateTimer->invalidate();
    m_updateTimer = pf::Timer::scheduled(
        0.1, false, [this](pf::Timer&) { colorTimerFired(); }, this);
}

void ColorPicker::colorTimerFired()
{
    if (m_updateTimer) {
        m_updateTimer->invalidate();
        m_updateTimer.reset();
    }
    if (m_delegate)
        m_delegate->colorPickerDidChangeColor(this, m_color, false);
}

bool ColorPicker::hasPendingReport() const
{
    return m_updateTimer && m_updateTimer->isValid();
}

void ColorPicker::deliverPendingReport()
{
    if (hasPendingReport())
        colorTimerFired();
}

pf::Rect ColorPicker::contentRect(const pf::Rect& b)
{
    return pf::Rect(b.origin.x + 5, b.origin.y + 5, b.size.width - 10, b.size.height - 10);
}

void ColorPicker::drawFrame(QPainter& painter, const pf::Rect& b)
{
    pf::drawImage(painter, pf::NamedImage::image(frameLeft),
                  pf::Rect(b.origin.x, b.origin.y, 10, b.size.height));
    if (b.size.width > 20)
        pf::drawImage(painter, pf::NamedImage::image(frameMid),
                      pf::Rect(b.origin.x + 10, b.origin.y, b.size.width - 20, b.size.height));
    pf::drawImage(painter, pf::NamedImage::image(frameRight),
                  pf::Rect(b.origin.x + b.size.width - 10, b.origin.y, 10, b.size.height));
}

void ColorPicker::drawRect(QPainter& painter, const pf::Rect&)
{
    drawFrame(painter, bounds());
    const pf::Rect content = contentRect(bounds());
    if (content.size.width <= 0 || content.size.height <= 0)
        return;
    QPainterPath swatch;
    swatch.addRoundedRect(content.toQRectF(), 5, 5);
    painter.fillPath(swatch, m_color);
}

void ColorPicker::mouseDown(const pf::Event& event)
{
    if (!OVViewState::isVisible(this)) {
        View::mouseDown(event);
        return;
    }
    pf::ColorPanel& panel = pf::ColorPanel::shared();
    // Bringing the panel up changes the key window, whose owners may delete this picker.
    const QPointer<ColorPicker> self(this);
    panel.orderFront();
    if (!self)
        return;
    panel.setChangeHandler(nullptr);
    panel.setColor(m_color);
    takeColorPanel();
}

QStringList ColorPicker::imageNames()
{
    return {frameLeft, frameMid, frameRight};
}
