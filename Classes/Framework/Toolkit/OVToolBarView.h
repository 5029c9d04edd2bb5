#pragma once

#include "Platform/UI/View.h"

#include <QImage>
#include <QPointer>
#include <QVariantMap>
#include <memory>
#include <vector>

class OVToolBarShade;

namespace pf {
class Bundle;
}

// The background of a tool bar, drawn from layered shades described per bar in the resource
// "ToolBar.plist" (bar name -> list of {"Image", "BlendMode"}), so that a bar's look is switched by
// name (the user default "ToolBar.CurrentBar"). Buttons that cut the bar register with it; the
// background is then drawn only in the gaps between them, with the shades' caps at the cut edges, so
// that each such button sits in a notch. The bar's outer ends never get caps. The shades are composed
// into one picture over a clear ground, kept until the bar's size, resolution, gaps or bar change.
class OVToolBarView : public pf::View
{
    Q_OBJECT

public:
    static constexpr const char currentBarKey[] = "ToolBar.CurrentBar";

    explicit OVToolBarView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    OVToolBarView(const pf::Rect& frame, const pf::Bundle& bundle, QWidget* parent = nullptr);
    ~OVToolBarView() override;

    QString currentBar() const { return m_currentBar; }
    // Rebuilds the shades (none for a name the description lacks); neither redraws nor writes the
    // user default. Ignored without a description.
    void setCurrentBar(const QString& name);
    bool rightAlign() const { return m_rightAlign; }
    void setRightAlign(bool flag) { m_rightAlign = flag; }
    const QVariantMap& toolBarDescriptions() const { return m_descriptions; }
    const std::vector<std::unique_ptr<OVToolBarShade>>& shades() const { return m_shades; }

    // In registration order, which is the order the gaps are computed in: left to right.
    void registerBarButton(pf::View* button);
    void removeBarButton(pf::View* button);
    QList<pf::View*> barButtons() const;
    // The gaps the background is drawn in (computed at the next drawing when empty).
    const std::vector<pf::Rect>& barSegments() const { return m_segments; }
    void updateBarSegments();

    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    // Draws every shade into its gaps.
    void composeBar(QPainter& painter, bool highResolution);

    const pf::Bundle& m_bundle;
    QVariantMap m_descriptions;
    std::vector<std::unique_ptr<OVToolBarShade>> m_shades;
    QList<QPointer<pf::View>> m_buttons;
    std::vector<pf::Rect> m_segments;
    bool m_rightAlign = false;
    QString m_currentBar;
    // The composed bar and what it was composed for.
    QImage m_picture;
    pf::Size m_pictureSize;
    double m_pictureRatio = 0;
    std::vector<pf::Rect> m_pictureSegments;
    bool m_pictureRightAlign = false;
};
