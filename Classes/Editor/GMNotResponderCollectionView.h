#pragma once

#include "Platform/UI/View.h"

#include <QList>
#include <QVariantList>
#include <functional>
#include <memory>
#include <vector>

class GMCollectionViewEffectItem;

// The effect strip's collection: one row of tiles (GMEffectIconView), one per item of its content that
// passes the filter, laid out left to right. It holds the list (content, filter, the arranged items) and
// the selection: a click on a tile selects it and tells the selection observer (the controller, the
// other side of the selection's two-way tie); a selection set by the program only shows. It never takes
// the keyboard, which stays with the window.
class GMNotResponderCollectionView : public pf::View
{
    Q_OBJECT

public:
    using Predicate = std::function<bool(const QVariantMap&)>;
    using SelectionObserver = std::function<void(const QList<int>&)>;

    explicit GMNotResponderCollectionView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~GMNotResponderCollectionView() override;

    bool acceptsFirstResponder() const override { return false; }
    bool isFlipped() const override { return true; }

    // The list: every item, the filter (none: all pass) and the items that pass, in content order.
    const QVariantList& content() const { return m_content; }
    void setContent(const QVariantList& items);
    void addObjects(const QVariantList& items);
    const Predicate& filterPredicate() const { return m_filter; }
    // Rebuilds the tiles; the selection's indexes are kept as they are.
    void setFilterPredicate(Predicate predicate);
    const QVariantList& arrangedObjects() const { return m_arranged; }

    int numberOfItems() const { return int(m_items.size()); }
    GMCollectionViewEffectItem* itemAtIndex(int index) const;
    pf::Rect frameForItemAtIndex(int index) const;
    // The index of the tile under a point of this view; -1 for none.
    int indexOfItemAtPoint(pf::Point point) const;
    pf::Size itemSize() const { return m_itemSize; }
    void setItemSize(pf::Size size);
    // Room before the first tile, where the turned strip's near end is cut by its view: the strip then
    // starts at a whole tile.
    double leadingInset() const { return m_leadingInset; }
    void setLeadingInset(double inset);

    const QList<int>& selectionIndexes() const { return m_selection; }
    // Selects the tiles of the indexes (sorted, out-of-range ones dropped) without telling the observer.
    void setSelectionIndexes(const QList<int>& indexes);
    void setSelectionObserver(SelectionObserver observer) { m_observer = std::move(observer); }
    // The user picked the tile at `index`.
    void selectItemByUser(int index);

    void resizeWithOldSuperviewSize(pf::Size oldSuperviewSize) override;
    void mouseDown(const pf::Event& event) override;

private:
    void arrange();
    double m_leadingInset = 0;
    void rebuildItems();
    void tile();

    QVariantList m_content;
    QVariantList m_arranged;
    Predicate m_filter;
    std::vector<std::unique_ptr<GMCollectionViewEffectItem>> m_items;
    QList<int> m_selection;
    SelectionObserver m_observer;
    pf::Size m_itemSize = pf::Size(128, 148);
};
