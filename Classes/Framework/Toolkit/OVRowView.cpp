#include "Classes/Framework/Toolkit/OVRowView.h"

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVRowViewDelegate.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

QColor white(int level, double alpha = 1.0)
{
    return QColor::fromRgbF(level / 255.0f, level / 255.0f, level / 255.0f, float(alpha));
}

QGradientStops gradientFor(bool dark, bool active)
{
    if (dark)
        return active ? QGradientStops{{0, white(38, 0.98)}, {1, white(30, 0.98)}}
                      : QGradientStops{{0, white(48, 0.98)}, {1, white(38, 0.98)}};
    if (active)
        return {{0, white(230, 0.96)},
                {0.2, white(217, 0.96)},
                {0.4, white(204, 0.96)},
                {0.9, white(153, 0.96)},
                {1.0, white(128, 0.96)}};
    return {{0, white(241, 0.96)}, {1, white(212, 0.96)}};
}

pf::Shadow lightShadow()
{
    pf::Shadow s;
    s.color = Qt::white;
    s.blurRadius = 0;
    s.offset = pf::Size(1, -1);
    return s;
}

pf::Shadow darkShadow()
{
    pf::Shadow s;
    s.color = Qt::black;
    s.blurRadius = 0;
    s.offset = pf::Size(-1, 1);
    return s;
}

} // namespace

OVRowView::OVRowView(const pf::Rect& frame, QWidget* parent) : OVPatternView(frame, parent)
{
    setImageName(QStringLiteral("NoiseFull"));
}

OVRowView::OVRowView(bool rightAligned, QWidget* parent) : OVRowView(pf::Rect(), parent)
{
    m_rightAligned = rightAligned;
    m_editTF = new OVTextField(pf::Rect(50, 20, 100, 22));
    m_editTF->setEditable(true);
    m_editTF->setAction([this](pf::TextField*) { insertNewline(); });
    addSubview(m_editTF);
    m_editTF->hide();
    m_resignObserver = pf::NotificationCenter::defaultCenter().addObserver(
        OVTextField::resignFirstResponderNotification, m_editTF.data(),
        [this](const pf::Notification&) { controlTextDidEndEditing(); });
}

OVRowView::~OVRowView()
{
    m_resignObserver.reset();
    if (m_clickTimer)
        m_clickTimer->invalidate();
}

void OVRowView::setDelegate(OVRowViewDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->rowViewDelegateLifetime() : std::weak_ptr<const void>();
}

void OVRowView::setTitle(const QString& title)
{
    m_title = title;
    updateColors();
}

void OVRowView::setSubtitle(const QString& subtitle)
{
    m_subtitle = subtitle;
    updateColors();
}

void OVRowView::setIcon(const QImage& icon)
{
    m_icon = icon;
    layoutTitle();
    setNeedsDisplay();
}

void OVRowView::setDarkLook(bool dark)
{
    m_darkLook = dark;
    updateColors();
}

void OVRowView::setIsActive(bool active)
{
    if (isEditing()) {
        const QPointer<OVRowView> self(this);
        controlTextDidEndEditing();
        if (!self)
            return;
    }
    m_isActive = active;
    updateColors();
}

void OVRowView::updateColors()
{
    layoutTitle();
    setNeedsDisplay();
}

template <class Button>
void OVRowView::addEdgeButton(Button* button, QPointer<Button>& slot, unsigned verticalMask)
{
    button->setAutoresizingMask((m_rightAligned ? pf::View::MinXMargin : pf::View::MaxXMargin) |
                                verticalMask);
    button->setAlphaValue(0);
    addSubview(button);
    slot = button;
    layoutTitle();
    updateElementVisibility();
}

template <class Button> bool OVRowView::edgeButtonToMake(bool flag, QPointer<Button>& slot)
{
    if (flag == (slot != nullptr))
        return false;
    if (!flag) {
        delete slot.data();
        layoutTitle();
        return false;
    }
    return true;
}

void OVRowView::setDeletable(bool flag)
{
    if (!edgeButtonToMake(flag, m_removeButton))
        return;
    const pf::Rect b = bounds();
    auto* button = new OVButton(m_rightAligned ? pf::Rect(b.width() - 27, b.height() - 21, 11, 11)
                                               : pf::Rect(6, 5, 11, 11));
    button->setName(QStringLiteral("Remove"));
    addEdgeButton(button, m_removeButton, pf::View::MinYMargin);
}

void OVRowView::setDraggable(bool flag)
{
    if (!edgeButtonToMake(flag, m_dragButton))
        return;
    const pf::Rect b = bounds();
    auto* button = new OVDragButton(m_rightAligned ? pf::Rect(b.width() - 29, b.height() / 2 - 4, 16, 8)
                                                   : pf::Rect(8, b.height() / 2 - 4, 16, 8));
    addEdgeButton(button, m_dragButton, pf::View::MinYMargin | pf::View::MaxYMargin);
}

void OVRowView::setMarkable(bool flag)
{
    if (flag == markable())
        return;
    if (!flag) {
        delete m_markButton.data();
        return;
    }
    const pf::Rect b = bounds();
    const double y = frame().height() - 42;
    auto* button =
        new OVButton(m_rightAligned ? pf::Rect(20, y, 18, 28) : pf::Rect(b.width() - 38, y, 18, 28));
    button->setName(m_isMarked ? QStringLiteral("DefaultStyleActive") : QStringLiteral("DefaultStyle"));
    button->setAutoresizingMask(m_rightAligned ? pf::View::MaxXMargin : pf::View::MinXMargin);
    button->setAlphaValue(m_isMarked ? 1 : 0);
    addSubview(button);
    m_markButton = button;
    updateElementVisibility();
}

void OVRowView::setIsMarked(bool marked)
{
    if (marked == m_isMarked)
        return;
    m_isMarked = marked;
    if (m_markButton)
        m_markButton->setName(marked ? QStringLiteral("DefaultStyleActive") : QStringLiteral("DefaultStyle"));
    updateElementVisibility();
}

void OVRowView::setShowElements(bool show)
{
    if (show == m_showElements)
        return;
    m_showElements = show;
    updateElementVisibility();
}

void OVRowView::updateElementVisibility()
{
    const double a = m_showElements || m_isHovered ? 1 : 0;
    pf::ViewAnimator::beginGrouping();
    pf::ViewAnimator::setDuration(pf::ViewAnimator::durationFor(pf::ViewAnimator::defaultDuration, 2.5));
    if (m_removeButton)
        pf::ViewAnimator::animateAlpha(m_removeButton, a);
    if (m_dragButton)
        pf::ViewAnimator::animateAlpha(m_dragButton, a);
    if (m_markButton)
        pf::ViewAnimator::animateAlpha(m_markButton, m_isMarked ? 1 : a);
    pf::ViewAnimator::endGrouping();
}

double OVRowView::leftReserve() const
{
    const bool controls = m_removeButton || m_dragButton;
    if (!m_rightAligned)
        return controls ? 30 : 10;
    return !m_icon.isNull() ? m_icon.width() / m_icon.devicePixelRatio() + 20 : 30;
}

double OVRowView::rightReserve() const
{
    const bool controls = m_removeButton || m_dragButton;
    if (!m_rightAligned)
        return !m_icon.isNull() ? m_icon.width() / m_icon.devicePixelRatio() + 20 : 10;
    return controls ? 30 : 10;
}

void OVRowView::layoutTitle()
{
    const pf::Rect b = bounds();
    const double l = leftReserve();
    const double w = b.width() - l - rightReserve();
    double y;
    if (!m_subtitle.isEmpty()) {
        pf::AttributedString sub(m_subtitle);
        sub.setFont(pf::systemFont(m_darkLook ? 10 : 11), 0, sub.length());
        const double s = sub.size().height;
        const double y0 = std::round((b.height() - s - titleHeight) / 2 - 1);
        y = y0 + s + 1;
    } else {
        y = std::round((b.height() - titleHeight) / 2 + (m_darkLook ? 4 : 3));
    }
    m_titleRect = pf::Rect(l, y, w, titleHeight);
    if (m_editTF)
        m_editTF->setFrame(m_titleRect.insetBy(-2, -2));
}

void OVRowView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    OVPatternView::resizeSubviewsWithOldSize(oldSize);
    layoutTitle();
}

void OVRowView::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    OVPatternView::drawRect(painter, dirtyRect);
    const pf::Rect b = bounds();
    const double W = b.width(), H = b.height();
    pf::fillLinearGradient(painter, gradientFor(m_darkLook, m_isActive), b, 90);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(m_darkLook ? white(59) : (m_isActive ? white(64) : Qt::white), 1));
    painter.drawLine(QPointF(0, H - 0.5), QPointF(W, H - 0.5));
    painter.setPen(QPen(m_darkLook ? QColor(Qt::black) : white(m_isActive ? 153 : 171), 1));
    painter.drawLine(QPointF(0, 0.5), QPointF(W, 0.5));
    painter.restore();

    if (!m_icon.isNull()) {
        const double iw = m_icon.width() / m_icon.devicePixelRatio();
        const double ih = m_icon.height() / m_icon.devicePixelRatio();
        const double x = m_rightAligned ? 10 : W - 20 - iw;
        pf::drawImage(painter, m_icon, pf::Rect(x, std::round((H - ih) / 2), iw, ih));
    }

    // The title's colour, font and shadow follow the look and the activity.
    pf::TextAttributes titleAttributes;
    std::optional<pf::Shadow> titleShadow;
    pf::TextAttributes subAttributes;
    std::optional<pf::Shadow> subShadow;
    if (m_darkLook) {
        titleAttributes.font = m_isActive ? pf::boldSystemFont(12) : pf::systemFont(12);
        titleAttributes.color = m_isActive ? QColor(Qt::white) : white(171);
        titleShadow = darkShadow();
        subAttributes.font = pf::systemFont(10);
        subAttributes.color = white(171);
        subShadow = darkShadow();
    } else {
        titleAttributes.font = pf::systemFont(14);
        titleAttributes.color = m_isActive ? QColor::fromRgbF(0, 103 / 255.0f, 177 / 255.0f) : white(71);
        titleShadow = lightShadow();
        subAttributes.font = pf::systemFont(11);
        subAttributes.color = white(m_isActive ? 38 : 132);
        if (!m_isActive)
            subShadow = lightShadow();
    }
    if (!m_subtitle.isEmpty()) {
        pf::AttributedString sub(m_subtitle, subAttributes);
        sub.setLineBreakMode(pf::AttributedString::LineBreak::TruncateTail);
        sub.setShadow(subShadow);
        const double s = sub.size().height;
        const double y0 = std::round((H - s - titleHeight) / 2 - 1);
        sub.drawInRect(painter, pf::Rect(m_titleRect.minX(), y0, m_titleRect.width(), s));
    }
    if (!isEditing()) {
        pf::AttributedString title(m_title, titleAttributes);
        title.setLineBreakMode(pf::AttributedString::LineBreak::TruncateTail);
        title.setShadow(titleShadow);
        // The line of a 14-point font is taller than the 18-point title place: the text keeps the place's
        // top edge and its descenders may reach below it rather than being cut off.
        const double line = title.size().height;
        const double below = std::max(0.0, line - m_titleRect.height());
        title.drawInRect(painter, pf::Rect(m_titleRect.minX(), m_titleRect.minY() - below,
                                           m_titleRect.width(), m_titleRect.height() + below));
    }
}

void OVRowView::updateTrackingAreas()
{
    ViewORVExtension::dropTrackingArea(*this, m_trackingArea);
    if (superview())
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(),
            pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveInKeyWindow |
                pf::TrackingArea::InVisibleRect,
            this));
    // A row that came under (or left) a still pointer looks it at once; the delegate, which may delete
    // it or what is placing it, hears of it at the next turn.
    if (!superview())
        m_isHovered = false;
    else if (window())
        m_isHovered = bounds().contains(convertPointFromScreen(pf::Event::mouseLocation()));
    updateElementVisibility();
    if (m_isHovered != m_reportedHover)
        ViewORVExtension::atNextTurn(this, m_hoverReportPending, [this] { reportHover(); });
}

bool OVRowView::setHovered(bool hovered)
{
    m_isHovered = hovered;
    return reportHover();
}

bool OVRowView::reportHover()
{
    if (m_isHovered == m_reportedHover)
        return true;
    m_reportedHover = m_isHovered;
    OVRowViewDelegate* owner = delegate();
    if (!m_hoverable || !owner)
        return true;
    const QPointer<OVRowView> self(this);
    owner->rowChangedHover(this, m_isHovered);
    return self;
}

void OVRowView::mouseEntered(const pf::Event&)
{
    if (setHovered(true))
        updateElementVisibility();
}

void OVRowView::mouseExited(const pf::Event&)
{
    if (setHovered(false))
        updateElementVisibility();
}

bool OVRowView::clickIsPending() const
{
    return m_clickTimer && m_clickTimer->isValid();
}

bool OVRowView::isEditing() const
{
    return m_editTF && !m_editTF->isHidden();
}

void OVRowView::mouseDown(const pf::Event&)
{
    // The row takes its presses; the release decides.
}

void OVRowView::mouseUp(const pf::Event& event)
{
    const pf::Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const bool onTitle = m_editable && m_editTF && m_editTF->frame().contains(p);
    if (event.clickCount() == 1) {
        if (onTitle) {
            if (m_clickTimer)
                m_clickTimer->invalidate();
            m_clickTimer = pf::Timer::scheduled(
                pf::Event::doubleClickInterval() / 2, false, [this](pf::Timer&) { timedClick(); }, this);
        } else {
            timedClick();
        }
    } else if (event.clickCount() == 2 && onTitle) {
        if (m_clickTimer)
            m_clickTimer->invalidate();
        m_clickTimer.reset();
        beginEditing();
    }
}

void OVRowView::timedClick()
{
    if (m_clickTimer)
        m_clickTimer->invalidate();
    m_clickTimer.reset();
    // The last step: the delegate may delete the row.
    if (OVRowViewDelegate* owner = delegate())
        owner->rowWasClicked(this);
}

void OVRowView::beginEditing()
{
    if (!m_editTF)
        return;
    m_editTF->setStringValue(m_title);
    m_editTF->show();
    pf::Window* w = window();
    // Taking the keyboard ends another edit, whose owners may delete this row.
    const QPointer<OVRowView> self(this);
    const bool editing = w && w->makeFirstResponder(m_editTF);
    if (!self || !m_editTF)
        return;
    if (!editing) {
        // Without the keyboard there is no edit.
        m_editTF->hide();
        return;
    }
    if (QLineEdit* editor = m_editTF->editor())
        editor->installEventFilter(this);
    setNeedsDisplay();
}

bool OVRowView::eventFilter(QObject* watched, QEvent* event)
{
    if (m_editTF && watched == m_editTF->editor() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancelOperation(); // may delete the row: nothing of it is touched after
        return true;
    }
    return OVPatternView::eventFilter(watched, event);
}

void OVRowView::insertNewline()
{
    if (!isEditing())
        return;
    // Giving up the keyboard ends the edit, which the delegate hears and may answer by deleting the row.
    const QPointer<OVRowView> self(this);
    if (pf::Window* w = window(); w && w->firstResponder() == static_cast<pf::Responder*>(m_editTF.data()))
        w->makeFirstResponder(nullptr);
    if (self && isEditing())
        controlTextDidEndEditing();
}

void OVRowView::cancelOperation()
{
    if (!isEditing())
        return;
    const QPointer<OVRowView> self(this);
    m_cancelling = true;
    m_editTF->setStringValue(m_title);
    if (pf::Window* w = window(); w && w->firstResponder() == static_cast<pf::Responder*>(m_editTF.data()))
        w->makeFirstResponder(nullptr);
    if (!self)
        return;
    if (m_editTF)
        m_editTF->hide();
    m_cancelling = false;
    setNeedsDisplay();
}

void OVRowView::controlTextDidEndEditing()
{
    if (!isEditing() || m_cancelling)
        return;
    const QString text = m_editTF->stringValue();
    m_editTF->hide();
    if (OVRowViewDelegate* owner = delegate()) {
        // The delegate may delete the row when it takes the title.
        const QPointer<OVRowView> self(this);
        const bool taken = owner->rowChangedTitle(this, text);
        if (!self)
            return;
        if (taken) {
            setNeedsDisplay();
            return;
        }
    }
    m_title = text;
    setNeedsDisplay();
}
