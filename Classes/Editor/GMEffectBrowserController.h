#pragma once

#include "Classes/Editor/GMNotResponderCollectionView.h"
#include "Classes/Editor/OVTransformedScrollView.h"
#include "Classes/Framework/Toolkit/OVViewController.h"
#include "Platform/Foundation/Notification.h"
#include "Platform/Foundation/ObserverToken.h"

#include <QList>
#include <QPointer>
#include <QVariantList>
#include <memory>

class GMEffectBrowserDelegate;
class OV3DView;

namespace pf {
class Timer;
}

// The effect browser: a strip of effect tiles, tilted in 3D, at the side of the editor window. Hovering
// a tile announces its effect to the delegate (the settings panel previews it), and leaving the strip
// announces none 0.2 s later, unless another tile is entered first; clicking a tile asks the delegate to
// add the effect as a layer; the selected layer's effect stays selected (setSelectedFilter) and pulses.
// The strip can be filtered (to the "best" effects).
//
// Its view is an OV3DView built by the interface "GMEffectBrowserController" (see registerInterface):
// the strip is an OVTransformedScrollView turned by pi/12 about the vertical axis once the view is in a
// window, with a shadow at its cut edge; the depth factor drops from 2.7 to 1.19 while the window shows
// the layers in 3D (setIncreased3DEffect).
class GMEffectBrowserController : public OVViewController
{
    Q_OBJECT

public:
    using Predicate = GMNotResponderCollectionView::Predicate;

    static constexpr double kDepthFactor = 2.7;
    static constexpr double kIncreasedDepthFactor = 1.19;
    static constexpr double kCutShadowShift = -27.0;
    static constexpr double kUnhoverDelay = 0.2;

    GMEffectBrowserController();
    ~GMEffectBrowserController() override;

    QString className() const override { return QStringLiteral("GMEffectBrowserController"); }
    // Registers the interface that builds the browser's view (done by the constructor when missing).
    static void registerInterface();

    void loadView() override;

    // Appends effect items (dictionaries of the blueprint catalog: "name", "displayName", "best",
    // "previewBeforeIcon", "previewAfterIcon").
    void addEffects(const QVariantList& items);
    // Keeps the items the predicate accepts; none: all. The selected effect stays selected.
    void setFilterPredicate(Predicate predicate);
    // Keeps the items whose "best" is true.
    static Predicate bestPredicate();
    // Shows the selected layer's effect (a null name: the background, no effect) without adding a layer.
    void setSelectedFilter(const QString& name);
    void setSelectionIndex(qint64 index);
    const QList<int>& selectionIndexes() const { return m_selectionIndexes; }
    void setSelectionIndexes(const QList<int>& indexes);
    qint64 lastSelection() const { return m_lastSelection; }
    bool updatingSelection() const { return m_updatingSelection; }
    QString hoveredFilterName() const { return m_hoveredFilterName; }

    // The stronger perspective while the window shows the layers in 3D.
    void setIncreased3DEffect(bool increased);

    GMEffectBrowserDelegate* delegate() const { return m_delegate; }
    void setDelegate(GMEffectBrowserDelegate* delegate) { m_delegate = delegate; }
    OV3DView* browserView();
    GMNotResponderCollectionView* effectCollectionView() const { return m_effectCollectionView; }
    OVTransformedScrollView* effectScrollView() const { return m_effectScrollView; }
    pf::View* cutShadow() const { return m_cutShadow; }
    // The fade over the strip's far end, a view of the scroll view.
    pf::View* endFade() const { return m_endFade; }
    const QVariantList& effects() const { return m_effects; }
    void setEffects(const QVariantList& effects) { m_effects = effects; }

    void filterHovered(const pf::Notification& notification);
    void filterUnHovered(const pf::Notification& notification);
    void unHoverFilter();
    void activate3D();
    // Sets the strip's room before its first tile to what its view cuts off at the near end.
    void updateLeadingInset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString nameAtIndex(qint64 index) const;
    // Selects the effect of `name` in the list as it is now, scrolling to it; false when it is not there.
    bool showFilter(const QString& name);

    QString m_hoveredFilterName;
    std::shared_ptr<pf::Timer> m_unhoverTimer;
    qint64 m_lastSelection = -1;
    bool m_updatingSelection = false;
    GMEffectBrowserDelegate* m_delegate = nullptr;
    QList<int> m_selectionIndexes;
    QPointer<GMNotResponderCollectionView> m_effectCollectionView;
    QPointer<OVTransformedScrollView> m_effectScrollView;
    QPointer<pf::View> m_cutShadow;
    QPointer<pf::View> m_endFade;
    QVariantList m_effects;
    // The effect the selection stands for, by name, so that it survives a change of the filter.
    QString m_selectedFilterName;
    pf::ObserverToken m_activeToken, m_hoverToken, m_unhoverToken;
};
