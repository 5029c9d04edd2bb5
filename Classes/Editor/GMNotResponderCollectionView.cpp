#include "Classes/Editor/GMNotResponderCollectionView.h"

#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectIconView.h"

#include <algorithm>
#include <cmath>

using pf::Point;
using pf::Rect;
using pf::Size;

GMNotResponderCollectionView::GMNotResponderCollectionView(const Rect& frame, QWidget* parent)
    : View(frame, parent)
{
    tile();
}

GMNotResponderCollectionView::~GMNotResponderCollectionView()
{
    // The items go first: their tiles are this view's children.
    m_items.clear();
}

void GMNotResponderCollectionView::setContent(const QVariantList& items)
{
    m_content = items;
    arrange();
}

void GMNotResponderCollectionView::addObjects(const QVariantList& items)
{
    m_content += items;
    arrange();
}

void GMNotResponderCollectionView::setFilterPredicate(Predicate predicate)
{
    m_filter = std::move(predicate);
    arrange();
}

void GMNotResponderCollectionView::arrange()
{
    m_arranged.clear();
    for (const QVariant& item : m_content)
        if (!m_filter || m_filter(item.toMap()))
            m_arranged.append(item);
    rebuildItems();
}

void GMNotResponderCollectionView::rebuildItems()
{
    m_items.clear();
    for (int i = 0; i < m_arranged.size(); ++i) {
        auto item = std::make_unique<GMCollectionViewEffectItem>(this);
        auto* view = new GMEffectIconView(frameForItemAtIndex(i));
        addSubview(view);
        view->show();
        item->setView(view);
        item->setRepresentedObject(m_arranged.at(i).toMap());
        m_items.push_back(std::move(item));
    }
    tile();
    // The kept indexes show on the new tiles.
    const QList<int> kept = m_selection;
    m_selection.clear();
    setSelectionIndexes(kept);
}

GMCollectionViewEffectItem* GMNotResponderCollectionView::itemAtIndex(int index) const
{
    return index >= 0 && index < numberOfItems() ? m_items[size_t(index)].get() : nullptr;
}

Rect GMNotResponderCollectionView::frameForItemAtIndex(int index) const
{
    // Flipped: from the top left, left to right.
    return Rect(m_leadingInset + index * m_itemSize.width, 0, m_itemSize.width, m_itemSize.height);
}

int GMNotResponderCollectionView::indexOfItemAtPoint(Point point) const
{
    const double x = point.x - m_leadingInset;
    if (m_itemSize.width <= 0 || x < 0 || point.y < 0 || point.y >= m_itemSize.height)
        return -1;
    const int index = int(std::floor(x / m_itemSize.width));
    return index < numberOfItems() ? index : -1;
}

void GMNotResponderCollectionView::setItemSize(Size size)
{
    m_itemSize = size;
    tile();
}

void GMNotResponderCollectionView::setLeadingInset(double inset)
{
    if (inset == m_leadingInset)
        return;
    m_leadingInset = inset;
    tile();
}

void GMNotResponderCollectionView::tile()
{
    const double height = superview() ? std::max(superview()->bounds().height(), m_itemSize.height)
                                      : std::max(frame().height(), m_itemSize.height);
    setFrameSize(Size(m_leadingInset + numberOfItems() * m_itemSize.width, height));
    for (int i = 0; i < numberOfItems(); ++i)
        if (GMEffectIconView* view = m_items[size_t(i)]->view())
            view->setFrame(frameForItemAtIndex(i));
}

void GMNotResponderCollectionView::resizeWithOldSuperviewSize(Size)
{
    tile();
}

// Selection ------------------------------------------------------------------------------------------

void GMNotResponderCollectionView::setSelectionIndexes(const QList<int>& indexes)
{
    QList<int> selection;
    for (int index : indexes)
        if (index >= 0 && index < numberOfItems() && !selection.contains(index))
            selection.append(index);
    std::sort(selection.begin(), selection.end());
    const QList<int> before = m_selection;
    m_selection = selection;
    // Only the items whose state changes hear of it; the newly selected last, so that their
    // announcement finds the others already settled.
    for (int index : before)
        if (!selection.contains(index))
            if (GMCollectionViewEffectItem* item = itemAtIndex(index))
                item->setSelected(false);
    for (int index : selection)
        if (!before.contains(index) || !itemAtIndex(index)->isSelected())
            itemAtIndex(index)->setSelected(true);
}

void GMNotResponderCollectionView::selectItemByUser(int index)
{
    if (!itemAtIndex(index))
        return;
    setSelectionIndexes({index});
    if (m_observer)
        m_observer(m_selection);
}

void GMNotResponderCollectionView::mouseDown(const pf::Event& event)
{
    const int index = indexOfItemAtPoint(convertPointFromView(event.locationInWindow(), nullptr));
    if (index >= 0)
        selectItemByUser(index);
}
