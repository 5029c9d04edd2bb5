#include "Classes/Framework/Toolkit/OVBasicListEntryView.h"

#include "Classes/Framework/OVColor.h"
#include "Classes/Framework/Toolkit/AttributedStringORVExtension.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVListEntryViewDelegate.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/ViewAnimator.h"

#include <QCheckBox>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

const QColor kTitleColour = QColor::fromRgbF(17 / 255.0f, 62 / 255.0f, 91 / 255.0f);

pf::AttributedString titleString(const QString& title)
{
    pf::TextAttributes attributes;
    attributes.font = pf::systemFont(OVBasicListEntryView::titleFontSize);
    attributes.color = kTitleColour;
    pf::AttributedString text(title, attributes);
    pf::Shadow shadow;
    shadow.color = Qt::white;
    shadow.offset = pf::Size(1, -1);
    shadow.blurRadius = 0;
    text.setShadow(shadow);
    return text;
}

} // namespace

OVBasicListEntryView::OVBasicListEntryView(quint64 features, QWidget* parent)
    : OVListEntryView(features, Deferred, parent)
{
    m_padding = Padding();
    setupDetailContainer();
    setAutoresizingMask(pf::View::WidthSizable | pf::View::MaxYMargin);
    const double w = bounds().width(), h = bounds().height();
    const unsigned rightTop = pf::View::MinXMargin | pf::View::MinYMargin;
    if (features & DragHandle) {
        auto* handle = new OVDragButton(pf::Rect(w - 34, h - 27, 16, 8));
        handle->setAutoresizingMask(rightTop);
        handle->setAction([this](OVButton* sender) { dragEntry(sender); });
        addSubview(handle);
        m_dragButton = handle;
    }
    if (features & RemoveControl) {
        auto* remove = new OVButton(pf::Rect(w - 31, h - 17, 11, 11));
        remove->setName(QStringLiteral("Remove"));
        remove->setAutoresizingMask(rightTop);
        // The list may take the entry out right here; it is deleted later, not inside this click.
        remove->setAction([this](OVButton*) { removeEntry(); });
        addSubview(remove);
        m_removeButton = remove;
    }
    if (features & EnableBox) {
        auto* box = new QCheckBox(this);
        box->setAttribute(Qt::WA_MacSmallSize);
        QFont font = box->font();
        font.setPointSizeF(11);
        box->setFont(font);
        // Heard on the click, once the box has finished changing: Qt goes on with the box after telling
        // of the toggle, and the report below may delete the entry with its box.
        connect(box, &QCheckBox::clicked, this, [this](bool on) {
            if (m_syncingBox)
                return;
            m_isEnabled = on;
            updateBoxTitle();
            // The list's delegate hears it and may remove or delete the entry.
            const QPointer<OVBasicListEntryView> self(this);
            enableEntry(on);
            if (self)
                setNeedsDisplay();
        });
        m_enabledBox = box;
        updateBoxTitle();
    }
    if (features & CopyPaste) {
        const double r = (m_dragButton || m_removeButton) ? 19 : 0;
        const double pasteX = w - 65 - 12 - 8 - r;
        auto makeButton = [&](double x, const QString& text) {
            auto* button = new OVButton(pf::Rect(x, h - 26, 65, 18));
            button->setName(QStringLiteral("SmallWhite"));
            button->setFont(pf::systemFont(11));
            button->setTitle(pf::localized(text));
            button->setAutoresizingMask(rightTop);
            addSubview(button);
            return button;
        };
        m_pasteButton = makeButton(pasteX, QStringLiteral("Paste"));
        m_pasteButton->setAction([this](OVButton*) { paste(); });
        m_copyButton = makeButton(pasteX - 69, QStringLiteral("Copy"));
        m_copyButton->setAction([this](OVButton*) { copy(); });
    }
    layoutControls();
    updateElementVisibility();
}

OVBasicListEntryView::~OVBasicListEntryView()
{
    if (m_updateTimer)
        m_updateTimer->invalidate();
}

void OVBasicListEntryView::setupDetailContainer()
{
    OVListEntryView::setupDetailContainer();
    const double w = bounds().width();
    m_detailContainer->setFrame(
        pf::Rect(m_padding.left + 11, m_padding.bottom + 13, w - 22 - m_padding.left - m_padding.right, 0));
}

double OVBasicListEntryView::preferredHeight() const
{
    return 45 + (m_contentView ? m_contentView->frame().height() : 0);
}

void OVBasicListEntryView::setContentView(pf::View* view)
{
    if (m_contentView && m_contentView != view)
        m_contentView->setParent(nullptr);
    m_contentView = view;
    if (view) {
        const pf::Rect c = m_detailContainer->bounds();
        const double ch = view->frame().height();
        view->setFrame(pf::Rect(c.minX(), -ch, c.width(), ch));
        view->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
        m_detailContainer->addSubview(view);
        placeContent();
    }
    if (delegate())
        delegate()->listEntryNeedUpdate(this, false);
}

void OVBasicListEntryView::placeContent()
{
    // The content hangs from the top of the detail container, which grows with the entry.
    if (!m_contentView)
        return;
    const pf::Rect c = m_detailContainer->bounds();
    const double ch = m_contentView->frame().height();
    m_contentView->setFrame(pf::Rect(c.minX(), c.height() - ch, c.width(), ch));
}

void OVBasicListEntryView::setIsEnabled(bool enabled)
{
    m_isEnabled = enabled;
    if (m_enabledBox && m_enabledBox->isChecked() != enabled) {
        m_syncingBox = true;
        m_enabledBox->setChecked(enabled);
        m_syncingBox = false;
    }
    updateBoxTitle();
    setNeedsDisplay();
}

void OVBasicListEntryView::setTitle(const QString& title)
{
    OVListEntryView::setTitle(title);
    // The box shows the title: a title set after the box was made shows too.
    updateBoxTitle();
    layoutControls();
}

void OVBasicListEntryView::updateBoxTitle()
{
    if (!m_enabledBox)
        return;
    m_enabledBox->setText(title());
    QFont font = pf::systemFont(titleFontSize);
    font.setStrikeOut(!m_isEnabled);
    m_enabledBox->setFont(font);
    QPalette palette = m_enabledBox->palette();
    palette.setColor(QPalette::WindowText, kTitleColour);
    m_enabledBox->setPalette(palette);
}

double OVBasicListEntryView::titleStart() const
{
    return m_padding.left + 13 + (m_enabledBox ? 20 : 0);
}

double OVBasicListEntryView::titleWidthLimit() const
{
    if (m_copyButton)
        return m_copyButton->frame().minX() - 5 - titleStart();
    return bounds().width() - titleStart() - 12 - m_padding.right;
}

pf::Rect OVBasicListEntryView::titleRect() const
{
    const pf::Size natural = titleString(title()).size();
    double width = natural.width;
    if (m_mouseInside)
        width = std::min(width, titleWidthLimit());
    return pf::Rect(titleStart(), bounds().height() - 21 - m_padding.top, std::max(0.0, width),
                    natural.height);
}

QString OVBasicListEntryView::displayedTitle() const
{
    const pf::Rect r = titleRect();
    const pf::AttributedString text = titleString(title());
    if (text.size().width <= r.width())
        return title();
    return AttributedStringORVExtension::truncatedStringWithWidth(text, int(std::floor(r.width()))).string();
}

void OVBasicListEntryView::layoutControls()
{
    placeContent();
    if (!m_enabledBox)
        return;
    // The box reaches from its own place to the end of the title, keeping its height.
    const double h = bounds().height();
    const pf::Rect title = titleRect();
    const pf::Rect box(23, h - 26, std::max(12.0, title.maxX() - 23), 22);
    m_enabledBox->setGeometry(rectToWidget(box).toRect());
}

void OVBasicListEntryView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    OVListEntryView::resizeSubviewsWithOldSize(oldSize);
    layoutControls();
}

void OVBasicListEntryView::copy()
{
    const QPointer<OVBasicListEntryView> self(this);
    OVListEntryView::copy();
    if (self)
        updatePasteButton();
}

void OVBasicListEntryView::updatePasteButton()
{
    OVListEntryViewDelegate* owner = delegate();
    if (!m_mouseInside || !m_pasteButton || !owner)
        return;
    // Asking reaches the list's delegate, which may delete the entry.
    const QPointer<OVBasicListEntryView> self(this);
    const bool accepts = owner->acceptPasteForListEntry(this);
    if (self && m_pasteButton)
        m_pasteButton->setEnabled(accepts);
}

void OVBasicListEntryView::updateElementVisibility()
{
    if (visibilityUpdateIsPending())
        return;
    m_updateTimer = pf::Timer::scheduled(
        0, false, [this](pf::Timer&) { updateElementVisibilityTimed(); }, this);
}

bool OVBasicListEntryView::visibilityUpdateIsPending() const
{
    return m_updateTimer && m_updateTimer->isValid();
}

void OVBasicListEntryView::updateElementVisibilityTimed()
{
    if (m_updateTimer)
        m_updateTimer->invalidate();
    m_updateTimer.reset();
    const double alpha = m_mouseInside ? 1 : 0;
    pf::ViewAnimator::beginGrouping();
    pf::ViewAnimator::setDuration(pf::ViewAnimator::durationFor(pf::ViewAnimator::defaultDuration, 2.5));
    for (pf::View* control : {static_cast<pf::View*>(m_removeButton), static_cast<pf::View*>(m_dragButton),
                              static_cast<pf::View*>(m_copyButton), static_cast<pf::View*>(m_pasteButton)})
        if (control)
            pf::ViewAnimator::animateAlpha(control, alpha);
    pf::ViewAnimator::endGrouping();
    updatePasteButton();
}

void OVBasicListEntryView::updateTrackingAreas()
{
    ViewORVExtension::dropTrackingArea(*this, m_trackingArea);
    if (superview()) {
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(),
            pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveInKeyWindow |
                pf::TrackingArea::InVisibleRect,
            this));
        m_mouseInside = window() && bounds().contains(convertPointFromScreen(pf::Event::mouseLocation()));
    } else {
        m_mouseInside = false;
    }
    layoutControls();
    updateElementVisibility();
}

void OVBasicListEntryView::mouseEntered(const pf::Event&)
{
    m_mouseInside = true;
    layoutControls();
    updateElementVisibility();
    setNeedsDisplay();
}

void OVBasicListEntryView::mouseExited(const pf::Event&)
{
    m_mouseInside = false;
    layoutControls();
    updateElementVisibility();
    setNeedsDisplay();
}

void OVBasicListEntryView::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    const Padding& p = m_padding;
    const pf::Rect card(p.left + 5.5, p.bottom + 1.5, b.width() - 11 - p.left - p.right,
                        b.height() - 3 - p.top - p.bottom);
    QPainterPath path;
    path.addRoundedRect(card.toQRectF(), 4, 4);
    painter.save();
    painter.setClipPath(path);
    if (const auto noise = OVColor::noiseColor())
        painter.fillRect(b.toQRectF(), noise->brush());
    painter.fillRect(b.toQRectF(), QColor::fromRgbF(240 / 255.0f, 240 / 255.0f, 240 / 255.0f, 0.96f));
    painter.restore();
    painter.setPen(QPen(QColor::fromRgbF(198 / 255.0f, 198 / 255.0f, 198 / 255.0f), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);

    if (m_enabledBox)
        return;
    const pf::Rect r = titleRect();
    pf::AttributedString text = titleString(displayedTitle());
    text.setLineBreakMode(pf::AttributedString::LineBreak::TruncateTail);
    text.drawInRect(painter, pf::Rect(r.minX(), r.minY(), r.width() + 1, r.height()));
}
