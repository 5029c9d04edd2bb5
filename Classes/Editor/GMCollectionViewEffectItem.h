#pragma once

#include "Platform/Foundation/ObserverToken.h"

#include <QPointer>
#include <QVariantMap>

class GMEffectIconView;
class GMNotResponderCollectionView;

// One effect of the strip: its item dictionary ("name", "displayName", "previewBeforeIcon",
// "previewAfterIcon") and the tile that shows it. At most one item is selected: an item becoming
// selected announces "GMCVEffectSel" (sender: its collection view) before it starts listening for it,
// so that only the item selected before deselects itself.
class GMCollectionViewEffectItem
{
public:
    static inline const QString kSelectionNotification = QStringLiteral("GMCVEffectSel");

    explicit GMCollectionViewEffectItem(GMNotResponderCollectionView* collectionView = nullptr);
    ~GMCollectionViewEffectItem();
    GMCollectionViewEffectItem(const GMCollectionViewEffectItem&) = delete;
    GMCollectionViewEffectItem& operator=(const GMCollectionViewEffectItem&) = delete;

    GMNotResponderCollectionView* collectionView() const { return m_collectionView; }
    const QVariantMap& representedObject() const { return m_representedObject; }
    void setRepresentedObject(const QVariantMap& object);
    // The tile; the item deletes it when it goes.
    GMEffectIconView* view() const { return m_view; }
    void setView(GMEffectIconView* view);
    // Gives the tile the item's name, display name and pictures.
    void updateViewLink();

    bool isSelected() const;
    void setSelected(bool selected);
    void autoDeselect() { setSelected(false); }

private:
    QPointer<GMNotResponderCollectionView> m_collectionView;
    QVariantMap m_representedObject;
    QPointer<GMEffectIconView> m_view;
    pf::ObserverToken m_selectionToken;
};
