#include "Classes/Editor/GMCollectionViewEffectItem.h"

#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/GMNotResponderCollectionView.h"
#include "Platform/Foundation/NotificationCenter.h"

#include <QImage>

GMCollectionViewEffectItem::GMCollectionViewEffectItem(GMNotResponderCollectionView* collectionView)
    : m_collectionView(collectionView)
{}

GMCollectionViewEffectItem::~GMCollectionViewEffectItem()
{
    m_selectionToken.reset();
    if (m_view) {
        // Not deleted at once: the tile may be handling the event that led here.
        m_view->setItem(nullptr);
        m_view->endPulse();
        m_view->hide();
        m_view->deleteLater();
    }
}

void GMCollectionViewEffectItem::setRepresentedObject(const QVariantMap& object)
{
    m_representedObject = object;
    updateViewLink();
}

void GMCollectionViewEffectItem::setView(GMEffectIconView* view)
{
    m_view = view;
    updateViewLink();
}

void GMCollectionViewEffectItem::updateViewLink()
{
    if (!m_view || m_representedObject.isEmpty())
        return;
    m_view->setFilterName(m_representedObject.value(QStringLiteral("name")).toString());
    m_view->setDisplayName(m_representedObject.value(QStringLiteral("displayName")).toString());
    m_view->setBeforeIcon(m_representedObject.value(QStringLiteral("previewBeforeIcon")).value<QImage>());
    m_view->setAfterIcon(m_representedObject.value(QStringLiteral("previewAfterIcon")).value<QImage>());
    m_view->setItem(this);
}

bool GMCollectionViewEffectItem::isSelected() const
{
    return m_view && m_view->isSelected();
}

void GMCollectionViewEffectItem::setSelected(bool selected)
{
    if (selected && m_collectionView) {
        auto& center = pf::NotificationCenter::defaultCenter();
        center.post(kSelectionNotification, m_collectionView.data());
        m_selectionToken = center.addObserver(kSelectionNotification, m_collectionView.data(),
                                              [this](const pf::Notification&) { autoDeselect(); });
    } else if (!selected) {
        m_selectionToken.reset();
    }
    if (m_view)
        m_view->setIsSelected(selected);
}
