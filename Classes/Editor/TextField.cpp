#include "Classes/Editor/TextField.h"

#include "Platform/UI/Timer.h"

#include <QPainter>

TextField::TextField()
{
    setContentsGravity(pf::ContentsGravity::ResizeAspect);
    setBorderColor(QColor::fromRgbF(1, 1, 1, 1));
    setBorderWidth(4);
    setCornerRadius(20);
    setBackgroundColor(QColor::fromRgbF(0.1f, 0.1f, 0.1f, 0.8f));
    setShadowOpacity(0.6);
    setShadowOffset(pf::Size(3, -3));
    setAlignment(pf::AttributedString::Alignment::Center);
    setOpacity(0);
}

TextField::~TextField()
{
    if (m_hideTimer)
        m_hideTimer->invalidate();
}

pf::Size TextField::preferredFrameSize() const
{
    const pf::Size size = preferredSize();
    return pf::Size(size.width + 20, size.height);
}

void TextField::showFieldWithMessage(const QString& message, double seconds)
{
    if (m_hideTimer)
        m_hideTimer->invalidate();
    setString(message);
    setOpacity(1);
    m_hideTimer = pf::Timer::scheduled(seconds, false, [weak = weak_from_this()](pf::Timer&) {
        if (auto self = std::static_pointer_cast<TextField>(weak.lock()))
            self->hideField();
    });
}

void TextField::hideField()
{
    setOpacity(0);
}

void TextField::centre()
{
    if (const pf::Layer* above = superlayer()) {
        const pf::Rect f = frame();
        setPosition(pf::Point(position().x + (above->bounds().midX() - f.midX()), position().y));
    }
}

void TextField::layoutSublayers()
{
    centre();
    pf::TextLayer::layoutSublayers();
}

void TextField::resizeWithOldSuperlayerSize(pf::Size oldSize)
{
    pf::TextLayer::resizeWithOldSuperlayerSize(oldSize);
    centre();
}

void TextField::drawInContext(QPainter& painter)
{
    painter.save();
    painter.translate(0, (font().pointSizeF() - bounds().height()) / 2 - 1);
    pf::TextLayer::drawInContext(painter);
    painter.restore();
}
