#include "Classes/Frames/OVImageCatalog.h"

#include "Classes/Frames/OVImageCatalogDelegate.h"
#include "Classes/Frames/OVWindowDrawer.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVColorView.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Layer.h"

#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cmath>

namespace {

constexpr double catalogWidth = 460, catalogHeight = 600;
constexpr double buttonStripHeight = 36, sizeStripHeight = 40;

// The drawer's content: the category buttons along the top, the grid, the grid-size buttons below, on a
// dark ground that swallows the presses the controls leave.
pf::Interface catalogInterface(QObject*, const pf::Bundle& bundle)
{
    auto* root = new OVColorView(pf::Rect(0, 0, catalogWidth, catalogHeight));
    root->setColor(pf::PaintColor::calibratedRGB(0.13, 0.14, 0.16));
    root->setBorderColor(pf::PaintColor::calibratedWhite(0.3));
    root->setBorderWidth(1);
    root->setBlockInput(true);
    root->setAutoresizingMask(pf::View::HeightSizable);

    auto* buttons = new pf::View(
        pf::Rect(8, catalogHeight - buttonStripHeight - 4, catalogWidth - 16, buttonStripHeight));
    buttons->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
    root->addSubview(buttons);

    auto* gridHost = new pf::View(
        pf::Rect(0, sizeStripHeight, catalogWidth, catalogHeight - sizeStripHeight - buttonStripHeight - 8));
    gridHost->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    root->addSubview(gridHost);
    auto* grid = new OVGridViewController(&bundle);
    grid->setGridParentView(gridHost);
    if (pf::View* gridView = grid->view())
        gridView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);

    pf::Interface interface;
    const struct
    {
        const char* outlet;
        const char* title;
    } sizes[] = {{"oneRow", "1"}, {"twoRows", "2"}, {"threeRows", "3"}};
    double x = catalogWidth - 3 * 44 - 8;
    for (const auto& size : sizes) {
        auto* button = new OVButton(pf::Rect(x, 7, 40, 26));
        button->setName(QStringLiteral("DefaultStyleActive"));
        button->setTitle(QString::fromLatin1(size.title));
        button->setAutoresizingMask(pf::View::MinXMargin);
        root->addSubview(button);
        interface.outlets.insert(QString::fromLatin1(size.outlet), button);
        x += 44;
    }

    auto* drawer = new OVWindowDrawer();
    drawer->setContentView(root);

    interface.outlets.insert(QStringLiteral("view"), root);
    interface.outlets.insert(QStringLiteral("buttonContainer"), buttons);
    interface.outlets.insert(QStringLiteral("gridViewController"), grid);
    interface.outlets.insert(QStringLiteral("windowDrawer"), drawer);
    interface.topLevelObjects = {root, grid, drawer};
    return interface;
}

// The full picture of a thumbnail: "-thumb" taken out of the file name only, never out of a folder's.
QString fullPicturePath(const QString& thumbnail)
{
    const QFileInfo info(thumbnail);
    QString name = info.fileName();
    name.remove(QStringLiteral("-thumb"));
    return info.path() + u'/' + name;
}

} // namespace

OVImageCatalog::OVImageCatalog(const pf::Bundle* bundle) : OVViewController(QString(), bundle)
{
    if (!pf::InterfaceRegistry::hasInterface(QStringLiteral("OVImageCatalog")))
        pf::InterfaceRegistry::registerInterface(QStringLiteral("OVImageCatalog"), catalogInterface);
}

OVImageCatalog::~OVImageCatalog()
{
    if (OVWindowDrawer* drawer = m_windowDrawer)
        drawer->setDelegate(nullptr);
    if (OVGridViewController* grid = m_gridViewController)
        grid->setDelegate(nullptr);
    // Buttons that never joined a container are nobody else's.
    for (const Category& category : m_categories)
        if (category.button && !category.button->parent())
            delete category.button.data();
}

OVImageCatalog& OVImageCatalog::sharedImageCatalog()
{
    static OVImageCatalog* shared = [] {
        auto* catalog = new OVImageCatalog();
        catalog->addCategory(QStringLiteral("Backgrounds"), QStringLiteral("Backgrounds"));
        catalog->addCategory(QStringLiteral("Objects"), QStringLiteral("Objects"));
        return catalog;
    }();
    return *shared;
}

QString OVImageCatalog::categoryName(int index) const
{
    return index >= 0 && index < categoryCount() ? m_categories[size_t(index)].name : QString();
}

QString OVImageCatalog::categoryPath(int index) const
{
    return index >= 0 && index < categoryCount() ? m_categories[size_t(index)].path : QString();
}

OVButton* OVImageCatalog::categoryButton(int index) const
{
    return index >= 0 && index < categoryCount() ? m_categories[size_t(index)].button.data() : nullptr;
}

pf::View* OVImageCatalog::buttonContainer() const
{
    return outlet<pf::View>(QStringLiteral("buttonContainer"));
}

int OVImageCatalog::addCategory(const QString& title, const QString& directory)
{
    auto* button = new OVButton(pf::Rect(0, 0, 100, 30));
    button->setTitle(title);
    QFont font = button->font();
    font.setPointSizeF(14);
    button->setFont(font);
    button->setTextShadowName(QStringLiteral("GlowButtonOff"));
    button->setAlignment(OVButton::AlignCenter);
    button->setAutoresizingMask(pf::View::MinXMargin | pf::View::WidthSizable | pf::View::MaxXMargin |
                                pf::View::MinYMargin);
    button->setTarget(this);
    button->setAction([this](OVButton* sender) { switchSection(sender); });
    m_categories.push_back({button->title(), directory, button});
    m_scrollPositions.push_back(0);
    if (buttonContainer())
        layoutButtons();
    return categoryCount() - 1;
}

void OVImageCatalog::loadView()
{
    OVViewController::loadView();
    if (!isViewLoaded())
        return;
    m_gridViewController = outlet<OVGridViewController>(QStringLiteral("gridViewController"));
    m_windowDrawer = outlet<OVWindowDrawer>(QStringLiteral("windowDrawer"));
    if (OVGridViewController* grid = m_gridViewController) {
        grid->setDelegate(this);
        // The pictures' names show beneath them all the time, not only under the pointer: a person
        // choosing a background reads them.
        m_mainSection = grid->addSectionWithSettings(56 | OVGridItem::TitleAlways);
    }
    for (const char* name : {"oneRow", "twoRows", "threeRows"})
        if (auto* button = outlet<OVButton>(QString::fromLatin1(name)))
            button->setAction([this](OVButton* sender) { changeGridSize(sender); });
    layoutButtons();
    if (OVWindowDrawer* drawer = m_windowDrawer) {
        drawer->setDelegate(this);
        drawer->setAutohide(true);
    }
}

void OVImageCatalog::layoutButtons()
{
    pf::View* container = buttonContainer();
    // Without categories there is nothing to lay out, and nothing to share the width among.
    if (!container || m_categories.empty())
        return;
    const double width = std::floor(container->frame().width() / double(m_categories.size()));
    const double height = container->frame().height();
    for (size_t i = 0; i < m_categories.size(); ++i) {
        OVButton* button = m_categories[i].button;
        if (!button)
            continue;
        button->setFrame(pf::Rect(double(i) * width, 0, width, height));
        if (button->superview() != container)
            container->addSubview(button);
    }
    if (m_activeCategory < 0)
        setActiveCategory(0);
    else if (m_activeCategory >= categoryCount())
        setActiveCategory(categoryCount() - 1);
}

void OVImageCatalog::setActiveCategory(int index)
{
    if (index == m_activeCategory || m_categories.empty() || !view())
        return;
    const int clamped = std::clamp(index, 0, categoryCount() - 1);
    if (clamped == m_activeCategory)
        return;
    OVGridViewController* grid = m_gridViewController;
    if (m_activeCategory >= 0 && m_activeCategory < categoryCount()) {
        if (OVButton* button = m_categories[size_t(m_activeCategory)].button)
            button->setTextShadowName(QStringLiteral("GlowButtonOff"));
        if (grid) {
            m_scrollPositions[size_t(m_activeCategory)] = grid->scrollPosition();
            grid->removeItemsInSection(m_mainSection, false);
        }
    }
    m_activeCategory = clamped;
    const Category& category = m_categories[size_t(clamped)];
    if (category.button)
        category.button->setTextShadowName(QStringLiteral("GlowButtonOn"));
    fillGrid(category);
    if (grid) {
        grid->refreshLayout(OVGridViewController::Instant);
        grid->setScrollPosition(m_scrollPositions[size_t(clamped)]);
    }
}

void OVImageCatalog::fillGrid(const Category& category)
{
    OVGridViewController* grid = m_gridViewController;
    if (!grid)
        return;
    for (const QString& path : nibBundle().pathsForResourcesOfType(QString(), category.path)) {
        const QFileInfo info(path);
        if (!info.isFile() || !info.completeBaseName().contains(QStringLiteral("-thumb")))
            continue;
        const QString full = fullPicturePath(path);
        // A thumbnail whose picture is gone would hand over a path that leads nowhere.
        if (!QFileInfo(full).isFile()) {
            pf::warning(QStringLiteral("Image Catalog: %1 has no full picture %2").arg(path, full));
            continue;
        }
        QImageReader reader(path);
        const QImage thumbnail = reader.read();
        if (thumbnail.isNull()) {
            pf::warning(
                QStringLiteral("Image Catalog: %1 cannot be read: %2").arg(path, reader.errorString()));
            continue;
        }
        const QString title = ORVExtension::resourceInfo(full).name();
        // Framed, so that the title shows over an object with transparency as over a background (the
        // frameless look it had at first hid the title).
        if (OVGridItem* item = grid->addImage(thumbnail, title, full, title, m_mainSection)) {
            item->setStyle(2);
            if (item->titleLayer())
                item->titleLayer()->setHidden(false);
        }
    }
}

void OVImageCatalog::switchSection(OVButton* sender)
{
    for (size_t i = 0; i < m_categories.size(); ++i)
        if (m_categories[i].button == sender) {
            setActiveCategory(int(i));
            return;
        }
}

void OVImageCatalog::changeGridSize(OVButton* sender)
{
    auto* one = outlet<OVButton>(QStringLiteral("oneRow"));
    auto* two = outlet<OVButton>(QStringLiteral("twoRows"));
    auto* three = outlet<OVButton>(QStringLiteral("threeRows"));
    for (OVButton* button : {one, two, three})
        if (button)
            button->setState(false);
    if (sender)
        sender->setState(true);
    if (OVGridViewController* grid = m_gridViewController)
        grid->setIconWidth(sender == one ? 300 : sender == two ? 145 : 92);
}

void OVImageCatalog::showRight(bool right, pf::View* focus, OVImageCatalogDelegate* delegate)
{
    if (!view()) {
        pf::warning(QStringLiteral("Image Catalog could not load view!"));
        return;
    }
    m_right = right;
    m_focusView = focus;
    m_delegate = delegate;
    if (OVWindowDrawer* drawer = m_windowDrawer)
        drawer->showOverView(focus);
}

void OVImageCatalog::close()
{
    if (OVImageCatalogDelegate* delegate = m_delegate)
        delegate->imageCatalogDidClose(this);
    if (OVWindowDrawer* drawer = m_windowDrawer)
        drawer->hideDrawer();
}

void OVImageCatalog::closeForDelegate(OVImageCatalogDelegate* delegate)
{
    if (delegate && delegate == m_delegate)
        close();
}

void OVImageCatalog::gridViewExecuteItemWithContext(OVGridViewController*, const QVariant& context)
{
    if (OVImageCatalogDelegate* delegate = m_delegate)
        delegate->imageCatalogSelectImageWithPath(this, context.toString());
    close();
}

void OVImageCatalog::windowDrawerDidHide(OVWindowDrawer*)
{
    m_delegate = nullptr;
}
