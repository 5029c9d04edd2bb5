#include "Classes/Framework/Toolkit/OVOpenableListEntryView.h"

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVListEntryViewDelegate.h"
#include "Classes/Framework/Toolkit/OVPatternView.h"
#include "Classes/Framework/Toolkit/OVRowView.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Localization.h"

OVOpenableListEntryView::OVOpenableListEntryView(quint64 features, QWidget* parent)
    : OVOpenableListEntryView(true, features, parent)
{}

OVOpenableListEntryView::OVOpenableListEntryView(bool rightAligned, quint64 features, QWidget* parent)
    : OVListEntryView(features, Deferred, parent)
{
    // The entry's own height first, at the head's; the detail container starts empty below it.
    const pf::Rect f = frame();
    setFrame(pf::Rect(f.minX(), f.minY(), f.width(), preferredHeight()));
    setupDetailContainer();
    setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
    m_rightAligned = rightAligned;
    setupRowView();
}

OVOpenableListEntryView::~OVOpenableListEntryView() = default;

void OVOpenableListEntryView::setupDetailContainer()
{
    auto* container = new OVPatternView(pf::Rect(0, 0, bounds().width(), 0));
    container->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    container->setImageName(QStringLiteral("NoiseMainBkg"));
    addSubview(container);
    m_detailContainer = container;
}

void OVOpenableListEntryView::setupRowView()
{
    if (m_rowView)
        return;
    const pf::Rect b = bounds();
    auto* row = new OVRowView(m_rightAligned);
    row->setFrame(pf::Rect(b.minX(), b.height() - headHeight, b.width(), headHeight));
    row->setDelegate(this);
    const quint64 f = features();
    row->setDeletable(f & RemoveControl);
    row->setDraggable(f & DragHandle);
    row->setMarkable(f & MarkControl);
    row->setDarkLook(f & DarkLook);
    row->setEditable(f & EditableTitle);
    row->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
    addSubview(row);
    m_rowView = row;

    const double cw = m_detailContainer->frame().width();
    // The shadows over the content's edges, above the detail container and letting clicks through.
    const auto edgeShadow = [&](const pf::Rect& frame, const QString& image, double alpha, unsigned margin) {
        auto* shadow = new OVImageView(frame);
        shadow->setImageName(image);
        shadow->setAlphaValue(alpha);
        shadow->setAutoresizingMask(pf::View::WidthSizable | margin);
        shadow->setTransparentForMouse(true);
        addSubview(shadow, pf::View::Ordering::Above, m_detailContainer);
        return shadow;
    };
    m_topShadow = edgeShadow(pf::Rect(0, row->frame().minY() - 10, cw, 13), QStringLiteral("ListTopShadow"),
                             0.7, pf::View::MinYMargin);
    m_bottomShadow =
        edgeShadow(pf::Rect(0, 0, cw, 10), QStringLiteral("ListBottomShadow"), 1.0, pf::View::MaxYMargin);

    if (OVButton* remove = row->removeButton())
        remove->setAction([this](OVButton*) { removeEntry(); });
    if (OVDragButton* handle = row->dragButton())
        handle->setAction([this](OVButton* sender) { dragEntry(sender); });
}

double OVOpenableListEntryView::preferredHeight() const
{
    if (isSelected())
        return headHeight + (m_contentView ? m_contentView->frame().height() : 0) + 2 * m_margin.height;
    return m_isHovered ? hoverHeight : headHeight;
}

void OVOpenableListEntryView::stashContent()
{
    // Out of the container, but still the entry's.
    if (!m_contentView)
        return;
    m_contentView->setParent(this);
    m_contentView->hide();
}

void OVOpenableListEntryView::showContent()
{
    if (!m_contentView || m_contentView->superview() == m_detailContainer)
        return;
    m_detailContainer->addSubview(m_contentView);
    m_contentView->show();
}

void OVOpenableListEntryView::setContentView(pf::View* view)
{
    if (!ViewORVExtension::replaceOwnedView(m_contentView, view))
        return;
    if (view) {
        view->setFrame(pf::Rect(0, 0, m_detailContainer->frame().width(), view->frame().height()));
        view->setAutoresizingMask(pf::View::WidthSizable | pf::View::MaxYMargin);
        // Content of an entry that is opening or open shows now; otherwise at the next opening.
        if (state() == Opening || state() == Open)
            showContent();
        else
            stashContent();
    }
    if (isSelected() && delegate())
        delegate()->listEntryNeedUpdate(this, false);
}

void OVOpenableListEntryView::setState(int newState)
{
    if (newState == state())
        return;
    // The list's delegate hears the new state and may delete the entry.
    const QPointer<OVOpenableListEntryView> self(this);
    OVListEntryView::setState(newState);
    if (!self || state() != newState)
        return;
    if (newState == Closed)
        stashContent();
    else if (newState == Opening)
        showContent();
}

void OVOpenableListEntryView::setSelected(bool selected)
{
    if (selected == isSelected())
        return;
    OVListEntryView::setSelected(selected);
    if (m_rowView) {
        m_rowView->setShowElements(selected);
        // An edit of the title ends here, which the list's delegate may answer by deleting the entry.
        const QPointer<OVOpenableListEntryView> self(this);
        m_rowView->setIsActive(selected);
        if (!self)
            return;
    }
    if (delegate())
        delegate()->listEntryNeedUpdate(this, false);
}

void OVOpenableListEntryView::setTitle(const QString& title)
{
    OVListEntryView::setTitle(title);
    if (m_rowView)
        m_rowView->setTitle(this->title());
}

QString OVOpenableListEntryView::subtitle() const
{
    return m_rowView ? m_rowView->subtitle() : QString();
}

void OVOpenableListEntryView::setSubtitle(const QString& subtitle)
{
    if (m_rowView)
        m_rowView->setSubtitle(pf::localized(subtitle, QStringLiteral("Controls")));
}

QImage OVOpenableListEntryView::icon() const
{
    return m_rowView ? m_rowView->icon() : QImage();
}

void OVOpenableListEntryView::setIcon(const QImage& icon)
{
    if (m_rowView)
        m_rowView->setIcon(icon);
}

void OVOpenableListEntryView::contentChanged(bool instantly)
{
    if (isSelected() && delegate())
        delegate()->listEntryNeedUpdate(this, instantly);
}

void OVOpenableListEntryView::rowWasClicked(OVRowView*)
{
    if (delegate())
        delegate()->listEntryWasClicked(this);
}

void OVOpenableListEntryView::rowChangedHover(OVRowView*, bool hovered)
{
    m_isHovered = hovered;
    if (delegate())
        delegate()->listEntryNeedUpdate(this, false);
}
