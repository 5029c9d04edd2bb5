#include "Classes/Editor/GMEffectIconView.h"

#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMNotResponderCollectionView.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/ViewAnimator.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

using pf::Point;
using pf::Rect;

namespace {

constexpr double kCornerRadius = 5.0;
constexpr double kPulseHalfCycle = 0.5;
constexpr double kPulseScale = 1.1;
// Enough for a slow swell; the tile is drawn again for every frame.
constexpr double kPulseFrameRate = 24.0;

const QImage& separatorImage()
{
    static const QImage image = pf::NamedImage::image(GMEffectIconView::separatorImageName());
    return image;
}

} // namespace

GMEffectIconView::GMEffectIconView(const Rect& frame, QWidget* parent) : View(frame, parent)
{
    updateDrawBounds();
}

GMEffectIconView::~GMEffectIconView()
{
    if (m_pulseTimer)
        m_pulseTimer->invalidate();
}

GMNotResponderCollectionView* GMEffectIconView::collectionView() const
{
    return m_item ? m_item->collectionView() : nullptr;
}

void GMEffectIconView::post(const QString& name)
{
    pf::NotificationCenter::defaultCenter().post(name, collectionView(), m_filterNameDict);
}

void GMEffectIconView::setFilterName(const QString& name)
{
    m_filterNameDict = QVariantMap{{kNameKey, name}};
}

QString GMEffectIconView::description() const
{
    return QStringLiteral("<GMEffectIconView: %1>: %2")
        .arg(QString::number(quintptr(this), 16), filterName());
}

// Geometry -------------------------------------------------------------------------------------------

void GMEffectIconView::updateDrawBounds()
{
    const Rect b = bounds();
    m_drawBounds =
        Rect(kPictureInset, kPictureInset + kNameBand, std::max(0.0, b.width() - 2 * kPictureInset),
             std::max(0.0, b.height() - 2 * kPictureInset - kNameBand));
}

void GMEffectIconView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    View::resizeSubviewsWithOldSize(oldSize);
    updateDrawBounds();
}

void GMEffectIconView::viewDidMoveToWindow()
{
    View::viewDidMoveToWindow();
    if (window()) {
        updateDrawBounds();
        setProgress(0.5);
    }
}

void GMEffectIconView::setProgress(double progress)
{
    m_progress = progress;
    setNeedsDisplay();
}

// Drawing --------------------------------------------------------------------------------------------

void GMEffectIconView::drawRect(QPainter& painter, const Rect&)
{
    const Rect b = bounds();
    if (isPulsing()) {
        // Grown about the centre and drawn a little towards the lower left, by how far the pulse is.
        const double f = pulseFraction();
        const double scale = 1 + (kPulseScale - 1) * f;
        const Point centre(b.midX(), b.midY());
        const Point shift((kPulseScale - 1) / 2 * b.width() - kPictureInset * kPulseScale,
                          (kPulseScale - 1) / 2 * b.height() - kPictureInset * kPulseScale);
        painter.translate(centre.x + f * shift.x, centre.y + f * shift.y);
        painter.scale(scale, scale);
        painter.translate(-centre.x, -centre.y);
    }
    const Rect picture = m_drawBounds;
    QPainterPath rounded;
    rounded.addRoundedRect(picture.toQRectF(), kCornerRadius, kCornerRadius);
    painter.save();
    painter.setClipPath(rounded, Qt::IntersectClip);
    if (!m_afterIcon.isNull())
        pf::drawImage(painter, m_afterIcon, picture);
    painter.save();
    painter.setClipRect(
        QRectF(picture.minX(), picture.minY(), picture.width() * m_progress, picture.height()),
        Qt::IntersectClip);
    if (!m_beforeIcon.isNull() && picture.width() * m_progress > 0)
        pf::drawImage(painter, m_beforeIcon, picture);
    painter.restore();
    const QImage& separator = separatorImage();
    if (!separator.isNull()) {
        const double width = separator.width() / separator.devicePixelRatio();
        pf::drawImage(painter, separator,
                      Rect(picture.minX() + picture.width() * m_progress - 1.0, picture.minY(), width,
                           picture.height()));
    }
    painter.restore();

    if (m_displayName.isEmpty())
        return;
    pf::TextAttributes attributes;
    attributes.font = pf::systemFont(11);
    attributes.color = m_isSelected ? QColor(245, 245, 245) : QColor(172, 174, 178);
    pf::AttributedString name(m_displayName, attributes);
    name.setAlignment(pf::AttributedString::Alignment::Center);
    // A long name takes a second line rather than losing its end ("Darken Eyebrows").
    name.setLineBreakMode(pf::AttributedString::LineBreak::WordWrap);
    name.drawInRect(painter, Rect(2, kPictureInset - 8, b.width() - 4, kNameBand + 4));
}

// Hover ----------------------------------------------------------------------------------------------

void GMEffectIconView::mouseEntered(const pf::Event& event)
{
    if (m_isSelected)
        return;
    post(kHoverNotification);
    startHovering();
    mouseMoved(event);
}

void GMEffectIconView::mouseMoved(const pf::Event& event)
{
    if (m_isSelected || m_drawBounds.width() <= 0)
        return;
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    setProgress((p.x - m_drawBounds.minX()) / m_drawBounds.width());
}

void GMEffectIconView::mouseExited(const pf::Event&)
{
    if (m_isSelected)
        return;
    post(kUnHoverNotification);
    endHovering();
}

void GMEffectIconView::startHovering()
{
    // Another tile being entered ends this one's hover, should its exit have been missed. (Without a
    // collection view there is no strip to listen to: a null sender would be every sender.)
    m_hoverToken.reset();
    if (!collectionView())
        return;
    m_hoverToken = pf::NotificationCenter::defaultCenter().addObserver(
        kHoverNotification, collectionView(), [this](const pf::Notification& notification) {
            if (notification.userInfo.value(kNameKey) != filterName())
                hoverDidChange();
        });
}

void GMEffectIconView::hoverDidChange()
{
    endHovering();
}

void GMEffectIconView::endHovering()
{
    m_hoverToken.reset();
    setProgress(0.5);
}

void GMEffectIconView::selectionDidChange()
{
    setIsSelected(false);
}

// Selection and pulse --------------------------------------------------------------------------------

void GMEffectIconView::setIsSelected(bool selected)
{
    m_isSelected = selected;
    if (selected) {
        post(kUnHoverNotification);
        endHovering();
        startPulse();
    } else {
        endPulse();
    }
}

void GMEffectIconView::startPulse()
{
    if (m_pulseTimer)
        m_pulseTimer->invalidate();
    m_pulseStart = pf::Clock::current().now();
    m_pulseTimer = pf::Timer::scheduled(
        1.0 / kPulseFrameRate, true, [this](pf::Timer&) { setNeedsDisplay(); }, this);
    setProgress(0);
}

void GMEffectIconView::endPulse()
{
    if (m_pulseTimer) {
        m_pulseTimer->invalidate();
        m_pulseTimer.reset();
    }
    setProgress(0.5);
}

double GMEffectIconView::pulseFraction() const
{
    if (!m_pulseTimer)
        return 0;
    // Out and back, eased at both ends of each way.
    const double elapsed = pf::Clock::current().now() - m_pulseStart;
    const double phase = std::fmod(elapsed, 2 * kPulseHalfCycle) / kPulseHalfCycle;
    const double linear = phase <= 1 ? phase : 2 - phase;
    return pf::ViewAnimator::ease(pf::ViewAnimator::Timing::EaseInEaseOut, linear);
}
