#pragma once

#include "Classes/Frames/OVWindowDrawer.h"
#include "Classes/Frames/OVWindowDrawerDelegate.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVGridViewDelegate.h"
#include "Classes/Framework/Toolkit/OVViewController.h"

#include "Platform/UI/ScrollView.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <vector>

class OVImageCatalogDelegate;

// Sample pictures by category (backgrounds, objects) in a grid, shown in a drawer that slides out over a
// view of another window; the picture the user chooses goes to the delegate as a path. A category is a
// folder of the bundle that holds the catalog's interface: every file whose name contains "-thumb" is a
// thumbnail, and the same file name without "-thumb" beside it is the full picture, titled by the name
// part of its resource name ("ORV-B#001#Graded Grey.jpg": "Graded Grey").
//
// Its interface "OVImageCatalog" (built in code) holds the category buttons along the top, the grid and
// the three grid-size buttons, and the drawer that shows it. Main thread only.
class OVImageCatalog : public OVViewController, public OVGridViewDelegate, public OVWindowDrawerDelegate
{
    Q_OBJECT

public:
    // Without a bundle: the application's.
    explicit OVImageCatalog(const pf::Bundle* bundle = nullptr);
    ~OVImageCatalog() override;
    QString className() const override { return QStringLiteral("OVImageCatalog"); }

    // The process's catalog, with "Backgrounds" and "Objects" in that order.
    static OVImageCatalog& sharedImageCatalog();

    // Adds a category shown by a button titled `title`, holding the pictures of the bundle's folder
    // `directory`; answers its index.
    int addCategory(const QString& title, const QString& directory);
    int categoryCount() const { return int(m_categories.size()); }
    QString categoryName(int index) const;
    QString categoryPath(int index) const;
    OVButton* categoryButton(int index) const;

    // Opens the drawer over `view` for `delegate` (the side flag is kept only: the drawer always opens
    // from the view's right edge). Without a view of its own the catalog logs a warning and shows nothing.
    void showRight(bool right, pf::View* view, OVImageCatalogDelegate* delegate);
    // Tells the delegate and lets the drawer slide back.
    void close();
    // Closes only when `delegate` is the one the catalog is open for.
    void closeForDelegate(OVImageCatalogDelegate* delegate);

    int activeCategory() const { return m_activeCategory; }
    // Shows category `index` (clamped into the categories), remembering the scroll position of the one it
    // leaves. Nothing when it is shown already, when there are no categories or without a view.
    void setActiveCategory(int index);
    // A category button's action.
    void switchSection(OVButton* sender);
    // A grid-size button's action: one, two or three columns of pictures.
    void changeGridSize(OVButton* sender);
    // Spreads the category buttons over the container's width.
    void layoutButtons();

    OVImageCatalogDelegate* delegate() const { return m_delegate; }
    bool isRight() const { return m_right; }
    pf::View* focusView() const { return m_focusView; }
    OVWindowDrawer* windowDrawer() const { return m_windowDrawer; }
    void setWindowDrawer(OVWindowDrawer* drawer) { m_windowDrawer = drawer; }
    OVGridViewController* gridViewController() const { return m_gridViewController; }
    void setGridViewController(OVGridViewController* controller) { m_gridViewController = controller; }
    pf::View* buttonContainer() const;
    unsigned mainSection() const { return m_mainSection; }
    // The remembered scroll position of each category.
    std::vector<double> scrollPositions() const { return m_scrollPositions; }

    void loadView() override;

    // OVGridViewDelegate: a picture was chosen.
    void gridViewExecuteItemWithContext(OVGridViewController* grid, const QVariant& context) override;
    // OVWindowDrawerDelegate: the drawer slides back; the delegate is let go.
    void windowDrawerDidHide(OVWindowDrawer* drawer) override;

private:
    struct Category
    {
        QString name;
        QString path;
        QPointer<OVButton> button;
    };
    void fillGrid(const Category& category);

    std::vector<Category> m_categories;
    std::vector<double> m_scrollPositions;
    unsigned m_mainSection = 0;
    int m_activeCategory = -1;
    QPointer<pf::View> m_focusView;
    bool m_right = false;
    OVImageCatalogDelegate* m_delegate = nullptr;
    QPointer<OVWindowDrawer> m_windowDrawer;
    QPointer<OVGridViewController> m_gridViewController;
};
