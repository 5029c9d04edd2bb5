#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVPatternView.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "Platform/Foundation/ObserverToken.h"

#include <QPointer>
#include <memory>

class OVRowViewDelegate;

namespace pf {
class Timer;
class TrackingArea;
} // namespace pf

// One row of a list: a gradient bar over the noise pattern with a highlight line on top and a dark line
// at the bottom, an optional icon, a title and an optional subtitle, and up to three small controls (a
// remove button, a drag handle, a mark button) that fade in while the pointer is over the row or while
// the row shows its elements. A double click on the title of an editable row edits it in place. Light
// or dark, left- or right-aligned (fixed at creation).
//
// The title's place, the edit field and the controls are laid out when the row's size or content
// changes, never while drawing. A single click on an editable title is reported after half the double-
// click interval, so that a double click reports none.
class OVRowView : public OVPatternView
{
    Q_OBJECT

public:
    static constexpr double titleHeight = 18;

    explicit OVRowView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    explicit OVRowView(bool rightAligned, QWidget* parent = nullptr);
    ~OVRowView() override;

    bool rightAligned() const { return m_rightAligned; }
    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QString subtitle() const { return m_subtitle; }
    void setSubtitle(const QString& subtitle);
    QImage icon() const { return m_icon; }
    void setIcon(const QImage& icon);
    bool isActive() const { return m_isActive; }
    void setIsActive(bool active);
    bool darkLook() const { return m_darkLook; }
    void setDarkLook(bool dark);
    bool deletable() const { return m_removeButton != nullptr; }
    void setDeletable(bool flag);
    bool draggable() const { return m_dragButton != nullptr; }
    void setDraggable(bool flag);
    bool markable() const { return m_markButton != nullptr; }
    void setMarkable(bool flag);
    bool isMarked() const { return m_isMarked; }
    void setIsMarked(bool marked);
    bool showElements() const { return m_showElements; }
    void setShowElements(bool show);
    bool editable() const { return m_editable; }
    void setEditable(bool flag) { m_editable = flag; }
    // Whether hover changes are reported to the delegate.
    bool hoverable() const { return m_hoverable; }
    void setHoverable(bool flag) { m_hoverable = flag; }
    bool isHovered() const { return m_isHovered; }
    // Held weakly: nullptr once the delegate is gone.
    OVRowViewDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(OVRowViewDelegate* delegate);

    OVButton* removeButton() const { return m_removeButton; }
    OVDragButton* dragButton() const { return m_dragButton; }
    OVButton* markButton() const { return m_markButton; }
    OVTextField* editField() const { return m_editTF; }
    bool isEditing() const;
    pf::Rect titleRect() const { return m_titleRect; }
    bool clickIsPending() const;

    void updateElementVisibility();
    void updateColors();
    // The title's rectangle for the bounds and content now (also placing the edit field).
    void layoutTitle();

    // The in-place editor's commands: Return ends the edit, Escape drops it.
    void insertNewline();
    void cancelOperation();
    void controlTextDidEndEditing();

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void updateTrackingAreas() override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void mouseDown(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether turning an edge button on or off needs one made: not when the row already is as asked,
    // nor when turning it off, which deletes the button and lays the title out again.
    template <class Button> bool edgeButtonToMake(bool flag, QPointer<Button>& slot);
    // Adds a hidden button at the row's leading or trailing edge, kept in `slot`, held at the vertical
    // margins `verticalMask` says, and lays the title out around it.
    template <class Button> void addEdgeButton(Button* button, QPointer<Button>& slot, unsigned verticalMask);
    void timedClick();
    void beginEditing();
    // False when the delegate deleted the row on hearing it.
    bool setHovered(bool hovered);
    // Tells the delegate of the hover the row shows, if it has not heard it; false as above.
    bool reportHover();
    double leftReserve() const;
    double rightReserve() const;

    bool m_rightAligned = false;
    QString m_title, m_subtitle;
    QImage m_icon;
    bool m_isActive = false;
    bool m_isMarked = false;
    bool m_darkLook = false;
    bool m_showElements = false;
    bool m_editable = false;
    bool m_hoverable = false;
    bool m_isHovered = false;
    bool m_reportedHover = false;
    bool m_hoverReportPending = false;
    bool m_cancelling = false;
    QPointer<OVButton> m_removeButton;
    QPointer<OVDragButton> m_dragButton;
    QPointer<OVButton> m_markButton;
    QPointer<OVTextField> m_editTF;
    pf::TrackingArea* m_trackingArea = nullptr;
    std::shared_ptr<pf::Timer> m_clickTimer;
    pf::Rect m_titleRect;
    OVRowViewDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    pf::ObserverToken m_resignObserver;
};
