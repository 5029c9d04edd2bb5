#pragma once

#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/View.h"

#include <QImage>
#include <QVariantMap>
#include <memory>

class GMCollectionViewEffectItem;
class GMNotResponderCollectionView;

namespace pf {
class Timer;
}

// One tile of the effect strip: the effect's picture before on the left of a split and after on its
// right, a separator line at the split, and the effect's name underneath. While the pointer is over the
// tile the split follows it and the tile announces the effect ("GMFilterHover", "GMFilterUnHover" with
// {"name": tool name}, sent with the collection view as sender); the selected tile shows only the after
// picture and pulses, and ignores the pointer.
class GMEffectIconView : public pf::View
{
    Q_OBJECT

public:
    static inline const QString kHoverNotification = QStringLiteral("GMFilterHover");
    static inline const QString kUnHoverNotification = QStringLiteral("GMFilterUnHover");
    static inline const QString kNameKey = QStringLiteral("name");
    static constexpr double kPictureInset = 10.0;
    // Room under the picture for the effect's name, on two lines where it needs them.
    static constexpr double kNameBand = 28.0;

    explicit GMEffectIconView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~GMEffectIconView() override;

    static QString separatorImageName() { return QStringLiteral("BeforeAfterSeparator.png"); }

    QString filterName() const { return m_filterNameDict.value(kNameKey).toString(); }
    void setFilterName(const QString& name);
    const QVariantMap& filterNameDict() const { return m_filterNameDict; }
    QString displayName() const { return m_displayName; }
    void setDisplayName(const QString& name)
    {
        ViewORVExtension::setAndRedisplay(*this, m_displayName, name);
    }
    QImage beforeIcon() const { return m_beforeIcon; }
    void setBeforeIcon(const QImage& image) { ViewORVExtension::setAndRedisplay(*this, m_beforeIcon, image); }
    QImage afterIcon() const { return m_afterIcon; }
    void setAfterIcon(const QImage& image) { ViewORVExtension::setAndRedisplay(*this, m_afterIcon, image); }
    GMCollectionViewEffectItem* item() const { return m_item; }
    void setItem(GMCollectionViewEffectItem* item) { m_item = item; }

    bool isSelected() const { return m_isSelected; }
    void setIsSelected(bool selected);
    // The picture's rectangle.
    pf::Rect drawBounds() const { return m_drawBounds; }
    // The split as a fraction of the picture's width (not clamped: the pointer may be in the margin).
    double progress() const { return m_progress; }
    void setProgress(double progress);

    void startHovering();
    void endHovering();
    void hoverDidChange();
    void selectionDidChange();
    // The selected tile grows and shrinks by a tenth, half a second each way, for as long as it is
    // selected.
    void startPulse();
    void endPulse();
    bool isPulsing() const { return m_pulseTimer != nullptr; }
    // How far the pulse has grown the tile now (0 to 1).
    double pulseFraction() const;

    QString description() const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void viewDidMoveToWindow() override;
    void mouseEntered(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;

private:
    GMNotResponderCollectionView* collectionView() const;
    void post(const QString& name);
    void updateDrawBounds();

    QVariantMap m_filterNameDict;
    QString m_displayName;
    QImage m_beforeIcon, m_afterIcon;
    bool m_isSelected = false;
    pf::Rect m_drawBounds;
    double m_progress = 0.5;
    GMCollectionViewEffectItem* m_item = nullptr;
    pf::ObserverToken m_hoverToken;
    std::shared_ptr<pf::Timer> m_pulseTimer;
    double m_pulseStart = 0;
};
