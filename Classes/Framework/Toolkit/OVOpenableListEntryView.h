#pragma once

#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVListEntryView.h"
#include "Classes/Framework/Toolkit/OVRowView.h"

// A list entry whose head is a 58-point row view (icon, title, subtitle, row controls) and whose body is
// a content view shown in the detail container while the entry opens, is open or is hovered. Clicking
// the row selects the entry in its list, which opens it. The entry owns its content; content set while
// the entry opens or is open shows at once.
class OVOpenableListEntryView : public OVListEntryView
{
    Q_OBJECT

public:
    static constexpr double hoverHeight = 78;

    explicit OVOpenableListEntryView(quint64 features = 0, QWidget* parent = nullptr);
    OVOpenableListEntryView(bool rightAligned, quint64 features, QWidget* parent = nullptr);
    ~OVOpenableListEntryView() override;

    OVRowView* rowView() const { return m_rowView; }
    pf::View* contentView() const { return m_contentView; }
    void setContentView(pf::View* view);
    pf::Size margin() const { return m_margin; }
    void setMargin(pf::Size margin) { m_margin = margin; }
    QString subtitle() const;
    void setSubtitle(const QString& subtitle);
    QImage icon() const;
    void setIcon(const QImage& icon);
    OVImageView* topShadow() const { return m_topShadow; }
    OVImageView* bottomShadow() const { return m_bottomShadow; }

    double preferredHeight() const override;
    void setupDetailContainer() override;
    void setupRowView();
    void setState(int state) override;
    void setSelected(bool selected) override;
    void setTitle(const QString& title) override;
    void contentChanged(bool instantly);

    // OVRowViewDelegate
    void rowWasClicked(OVRowView* row) override;
    void rowChangedHover(OVRowView* row, bool hovered) override;

private:
    void stashContent();
    void showContent();

    QPointer<OVRowView> m_rowView;
    QPointer<pf::View> m_contentView;
    QPointer<OVImageView> m_topShadow, m_bottomShadow;
    pf::Size m_margin;
};
