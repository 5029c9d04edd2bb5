#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVListEntryView.h"

#include <QCheckBox>
#include <memory>

namespace pf {
class Timer;
class TrackingArea;
} // namespace pf

// A list entry drawn as a rounded, textured card with a title line at its top. By its feature bits it
// carries a drag handle, a remove button, copy and paste buttons (all shown while the pointer is over
// the card) and an enable check box, which then shows the title, struck through while disabled; the box
// and the entry's enabled state follow each other both ways. Its content is any view the owner hands it,
// shown below the title line; the entry's height follows the content.
class OVBasicListEntryView : public OVListEntryView
{
    Q_OBJECT

public:
    struct Padding
    {
        double top = 0, bottom = 0, left = 10, right = 8;
    };
    static constexpr double titleFontSize = 14;

    explicit OVBasicListEntryView(quint64 features = 0, QWidget* parent = nullptr);
    ~OVBasicListEntryView() override;

    pf::View* contentView() const { return m_contentView; }
    // The entry does not own the content (its owner does), but shows it.
    void setContentView(pf::View* view);
    // The entry's own enabled state (the widget's is QWidget::isEnabled).
    bool entryEnabled() const { return m_isEnabled; }
    void setIsEnabled(bool enabled);
    void setTitle(const QString& title) override;
    bool mouseInside() const { return m_mouseInside; }
    Padding padding() const { return m_padding; }

    OVDragButton* dragButton() const { return m_dragButton; }
    OVButton* removeButton() const { return m_removeButton; }
    OVButton* copyButton() const { return m_copyButton; }
    OVButton* pasteButton() const { return m_pasteButton; }
    QCheckBox* enabledBox() const { return m_enabledBox; }
    // The title's rectangle for the pointer's place now; with a long title and the pointer inside, it
    // ends before the copy button.
    pf::Rect titleRect() const;
    // The title as drawn (shortened to the rectangle).
    QString displayedTitle() const;

    double preferredHeight() const override;
    void setupDetailContainer() override;
    void copy() override;
    // Coalesced: several requests in one turn of the event loop make one update.
    void updateElementVisibility();
    bool visibilityUpdateIsPending() const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void updateTrackingAreas() override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;

private:
    void updateElementVisibilityTimed();
    // Enables the paste button as the delegate says, while the pointer is over the entry.
    void updatePasteButton();
    void layoutControls();
    void placeContent();
    void updateBoxTitle();
    double titleStart() const;
    double titleWidthLimit() const;

    Padding m_padding;
    QPointer<pf::View> m_contentView;
    QPointer<OVDragButton> m_dragButton;
    QPointer<OVButton> m_removeButton, m_copyButton, m_pasteButton;
    QPointer<QCheckBox> m_enabledBox;
    bool m_isEnabled = false;
    bool m_mouseInside = false;
    bool m_syncingBox = false;
    pf::TrackingArea* m_trackingArea = nullptr;
    std::shared_ptr<pf::Timer> m_updateTimer;
};
