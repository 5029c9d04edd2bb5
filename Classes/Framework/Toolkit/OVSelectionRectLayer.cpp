#include "Classes/Framework/Toolkit/OVSelectionRectLayer.h"

#include "Classes/Framework/OVGeometry.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kYellow(255, 255, 0);

void strokeRect(QPainter& painter, const pf::Rect& rect, const QColor& color, double width)
{
    QPen pen(color, width);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.strokePath(
        [&] {
            QPainterPath path;
            path.addRect(rect.toQRectF());
            return path;
        }(),
        pen);
}

} // namespace

OVSelectionRectLayer::OVSelectionRectLayer()
{
    setMasksToBounds(true);
    setNeedsDisplay();
}

OVSelectionRectLayer::~OVSelectionRectLayer()
{
    if (m_timer)
        m_timer->invalidate();
}

void OVSelectionRectLayer::setSelectionStyle(int style)
{
    ViewORVExtension::setAndRedisplay(*this, m_style, style);
}

void OVSelectionRectLayer::setBounds(const pf::Rect& bounds)
{
    Layer::setBounds(bounds);
    setNeedsDisplay();
}

void OVSelectionRectLayer::setAnimate(bool animate)
{
    if (animate == this->animate())
        return;
    if (animate) {
        // The layer invalidates the timer before it goes, so the block never outlives it.
        m_timer = pf::Timer::scheduled(kAnimationInterval, true, [this](pf::Timer&) { updateAnimation(); });
    } else {
        m_timer->invalidate();
        m_timer = nullptr;
    }
}

void OVSelectionRectLayer::updateAnimation()
{
    m_linePhase += 1;
    if (m_linePhase > kDashPeriod)
        m_linePhase -= kDashPeriod;
    setNeedsDisplay();
}

void OVSelectionRectLayer::removeFromSuperlayer()
{
    Layer::removeFromSuperlayer();
    setAnimate(false);
}

pf::LayerAction OVSelectionRectLayer::actionForKey(const QString&)
{
    return pf::LayerAction::none();
}

QString OVSelectionRectLayer::subTitle() const
{
    return m_textLayer ? m_textLayer->string() : QString();
}

void OVSelectionRectLayer::setSubTitle(const QString& text)
{
    if (text.isNull()) {
        if (m_textLayer) {
            m_textLayer->removeFromSuperlayer();
            m_textLayer = nullptr;
        }
        return;
    }
    const pf::Transaction::Scope atOnce(true);
    if (!m_textLayer) {
        m_textLayer = pf::TextLayer::create();
        m_textLayer->setFont(pf::boldSystemFont(24));
        m_textLayer->setForegroundColor(Qt::white);
        m_textLayer->setAlignment(pf::AttributedString::Alignment::Center);
        m_textLayer->setShadowColor(Qt::black);
        m_textLayer->setShadowOffset(pf::Size(0, 0));
        m_textLayer->setShadowOpacity(0.6);
        m_textLayer->setShadowRadius(5);
        // One line across the frame, centred between its top and bottom edges.
        const pf::Rect b = bounds().standardized();
        const double lineHeight = std::ceil(QFontMetricsF(m_textLayer->font()).height());
        m_textLayer->setFrame(pf::Rect(b.minX(), b.midY() - lineHeight / 2, b.width(), lineHeight));
        m_textLayer->setAutoresizingMask(WidthSizable | MinYMargin | MaxYMargin);
        addSublayer(m_textLayer);
    }
    m_textLayer->setString(text);
}

void OVSelectionRectLayer::drawInContext(QPainter& painter)
{
    const pf::Rect b = bounds().standardized();
    switch (m_style) {
    case DashedYellow: {
        const pf::Rect r = b.insetBy(5, 5);
        strokeRect(painter, r, kBlack, 10);
        QPainterPath path;
        path.addRect(r.toQRectF());
        pf::strokeDashed(painter, path, kYellow, 8, {10, 10}, m_linePhase);
        break;
    }
    case ThreeLines: {
        const pf::Rect r = b.insetBy(2.5, 2.5);
        strokeRect(painter, r, kBlack, 5);
        strokeRect(painter, r, kWhite, 3);
        strokeRect(painter, r, kBlack, 1);
        break;
    }
    case RectangleAndCircle: {
        pf::Shadow glow;
        glow.color = QColor::fromRgbF(0.0196078431372549f, 0.5490196078431373f, 1.0f, 1.0f);
        glow.offset = pf::Size(0, 0);
        glow.blurRadius = 3;
        pf::drawWithShadow(painter, glow, b, [&](QPainter& p) {
            strokeRect(p, b.insetBy(5, 5), kWhite, 2);
            const pf::Rect circle = OVRectCenteredSquare(b.insetBy(10, 10));
            QPainterPath path;
            path.addEllipse(circle.toQRectF());
            p.strokePath(path, QPen(kWhite, 2));
        });
        break;
    }
    default: {
        const pf::Rect r = b.insetBy(1.5, 1.5);
        strokeRect(painter, r, kBlack, 3);
        strokeRect(painter, r, kWhite, 1);
        break;
    }
    }
}
