#include "Classes/Frames/OVFrameBuilder.h"

#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Classes/Framework/Toolkit/PopUpButtonORVExtension.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>

using pf::Rect;

namespace {

const QString kInterfaceName = QStringLiteral("OVFrameBuilder");
constexpr double kRowPitch = 31;
constexpr double kAreaPadding = 26;
constexpr double kControlGap = 8;
constexpr double kShadowFade = 15;

// The window's geometry, in y-up content coordinates. A shade row's pop-ups are wide enough for the
// longest shade and blend mode names.
constexpr double kWidth = 1270;
constexpr double kHeight = 660;
const Rect kShadesArea(248, 12, 630, 520);
constexpr double kShadePopUpWidth = 224, kBlendPopUpWidth = 190;

// A flat panel in the window's dark.
class Plate : public pf::View
{
public:
    using pf::View::View;
    void drawRect(QPainter& painter, const Rect&) override { painter.fillRect(rect(), QColor(44, 46, 51)); }
};

// The fade over the shade list's cut edge: dark falling off to clear, towards the list's middle.
QImage fadeImage(bool top)
{
    QImage image(4, 12, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QLinearGradient gradient(0, top ? 0 : 12, 0, top ? 12 : 0);
    gradient.setColorAt(0, QColor(20, 21, 24, 200));
    gradient.setColorAt(1, QColor(20, 21, 24, 0));
    painter.fillRect(image.rect(), gradient);
    return image;
}

QLabel* label(QWidget* parent, const QString& text, const Rect& upFrame)
{
    auto* l = new QLabel(pf::localized(text, QStringLiteral("Controls")), parent);
    l->setStyleSheet(QStringLiteral("color: #c8cace; font-size: 11px;"));
    l->setGeometry(int(upFrame.minX()), int(kHeight - upFrame.maxY()), int(upFrame.width()),
                   int(upFrame.height()));
    return l;
}

OVPopupButton* popup(pf::View* parent, const Rect& frame)
{
    auto* button = new OVPopupButton(frame);
    button->setName(QStringLiteral("DefaultStyle"));
    parent->addSubview(button);
    return button;
}

QPushButton* pushButton(QWidget* parent, const QString& title, const QString& tip, const Rect& upFrame)
{
    auto* button = new QPushButton(title, parent);
    button->setToolTip(pf::localized(tip, QStringLiteral("Controls")));
    button->setGeometry(int(upFrame.minX()), int(kHeight - upFrame.maxY()), int(upFrame.width()),
                        int(upFrame.height()));
    return button;
}

pf::Interface buildFrameBuilderInterface(QObject*, const pf::Bundle&)
{
    auto* window = new pf::Window(Rect(120, 120, kWidth, kHeight),
                                  pf::Window::Titled | pf::Window::Closable | pf::Window::Miniaturizable);
    window->setTitle(QStringLiteral("Frame Builder"));
    window->setReleasedWhenClosed(false);
    auto* content = new Plate(Rect(0, 0, kWidth, kHeight));
    window->setContentView(content);
    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("window"), window);

    auto* list = new QTableWidget(0, 1, content);
    list->setObjectName(QStringLiteral("frameList"));
    list->horizontalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    list->verticalHeader()->hide();
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    list->setShowGrid(false);
    list->verticalHeader()->setDefaultSectionSize(20);
    list->setStyleSheet(
        QStringLiteral("QTableWidget { background: #2f3136; color: #e6e7ea; border: 1px solid #1d1e21; }"
                       "QTableWidget::item:selected { background: #34506b; }"));
    list->setGeometry(12, 12, 220, int(kHeight - 60));
    interface.outlets.insert(QStringLiteral("frameList"), list);
    interface.outlets.insert(
        QStringLiteral("addFrameButton"),
        pushButton(content, QStringLiteral("+"), QStringLiteral("New Frame"), Rect(12, 12, 36, 28)));
    interface.outlets.insert(QStringLiteral("duplicateFrameButton"),
                             pushButton(content, QStringLiteral("Duplicate"),
                                        QStringLiteral("Duplicate Frame"), Rect(54, 12, 96, 28)));
    interface.outlets.insert(
        QStringLiteral("removeFrameButton"),
        pushButton(content, QStringLiteral("−"), QStringLiteral("Remove Frame"), Rect(196, 12, 36, 28)));

    label(content, QStringLiteral("Texture"), Rect(248, 632, 220, 16));
    interface.outlets.insert(QStringLiteral("textureButton"), popup(content, Rect(248, 606, 220, 24)));
    auto* well = new OVColorWell(Rect(476, 605, 44, 26));
    content->addSubview(well);
    interface.outlets.insert(QStringLiteral("textureColorWell"), well);
    auto* cut =
        new QCheckBox(pf::localized(QStringLiteral("Whole texture"), QStringLiteral("Controls")), content);
    cut->setStyleSheet(QStringLiteral("color: #c8cace;"));
    cut->setGeometry(532, int(kHeight - 630), 200, 24);
    interface.outlets.insert(QStringLiteral("textureCutButton"), cut);
    label(content, QStringLiteral("Outer Shape"), Rect(248, 584, 220, 16));
    label(content, QStringLiteral("Opening"), Rect(476, 584, 220, 16));
    interface.outlets.insert(QStringLiteral("externalMaskButton"), popup(content, Rect(248, 558, 220, 24)));
    interface.outlets.insert(QStringLiteral("internalMaskButton"), popup(content, Rect(476, 558, 220, 24)));
    label(content, QStringLiteral("Shades"), Rect(248, kShadesArea.maxY() + 4, 220, 16));

    auto* scroll = new QScrollArea(content);
    scroll->setGeometry(int(kShadesArea.minX()), int(kHeight - kShadesArea.maxY()), int(kShadesArea.width()),
                        int(kShadesArea.height()));
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(false);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: #393b41; }"));
    auto* container = new Plate(Rect(0, 0, kShadesArea.width() - 16, kAreaPadding));
    scroll->setWidget(container);
    interface.outlets.insert(QStringLiteral("shadesScrollView"), scroll);
    interface.outlets.insert(QStringLiteral("shadesContainer"), container);
    interface.outlets.insert(QStringLiteral("newShadeButton"),
                             popup(container, Rect(0, 0, kShadePopUpWidth, 24)));

    auto* top =
        new OVImageView(Rect(kShadesArea.minX(), kShadesArea.maxY() - 12, kShadesArea.width() - 16, 12));
    top->setImage(fadeImage(true));
    top->setNoHitTesting(true);
    content->addSubview(top);
    auto* bottom =
        new OVImageView(Rect(kShadesArea.minX(), kShadesArea.minY(), kShadesArea.width() - 16, 12));
    bottom->setImage(fadeImage(false));
    bottom->setNoHitTesting(true);
    content->addSubview(bottom);
    interface.outlets.insert(QStringLiteral("topShadow"), top);
    interface.outlets.insert(QStringLiteral("bottomShadow"), bottom);

    const double previewX = kShadesArea.maxX() + 16;
    auto* preview = new pf::LayerHostView(Rect(previewX, 12, kWidth - previewX - 12, kHeight - 24));
    content->addSubview(preview);
    interface.outlets.insert(QStringLiteral("preView"), preview);
    interface.topLevelObjects.push_back(window);
    return interface;
}

// Selects the pop-up's item at `index` (its first for an index out of range).
void selectIndex(OVPopupButton* button, int index)
{
    if (!button || !button->menu())
        return;
    const QList<QAction*> items = button->menu()->actions();
    if (items.isEmpty())
        return;
    button->setSelectedItem(items.value(index >= 0 && index < items.size() ? index : 0));
}

void fill(OVPopupButton* button, const QStringList& entries)
{
    auto menu = std::make_unique<pf::Menu>();
    PopUpButtonORVExtension::addEntries(*menu, entries);
    button->setMenu(std::move(menu));
}

} // namespace

OVFrameBuilder::OVFrameBuilder()
{
    if (!pf::InterfaceRegistry::hasInterface(kInterfaceName))
        registerInterface();
}

OVFrameBuilder::~OVFrameBuilder()
{
    if (m_updateTimer)
        m_updateTimer->invalidate();
    if (m_currentDescription && m_currentDescription->undoManager() == &m_undoManager)
        m_currentDescription->setUndoManager(nullptr);
    OVFrameCatalog& user = OVFrameCatalog::sharedUserFrameCatalog();
    if (user.undoManager() == &m_undoManager)
        user.setUndoManager(nullptr);
}

namespace {
OVFrameBuilder* sharedBuilder = nullptr;
}

OVFrameBuilder& OVFrameBuilder::sharedFrameBuilder()
{
    if (!sharedBuilder)
        sharedBuilder = new OVFrameBuilder();
    return *sharedBuilder;
}

pf::UndoManager* OVFrameBuilder::undoManagerFor(const QWidget* window)
{
    if (!sharedBuilder || !window || !sharedBuilder->isWindowLoaded())
        return nullptr;
    return sharedBuilder->window() == window ? &sharedBuilder->m_undoManager : nullptr;
}

void OVFrameBuilder::registerInterface()
{
    pf::InterfaceRegistry::registerInterface(kInterfaceName, buildFrameBuilderInterface);
}

const QVariantMap& OVFrameBuilder::newFrameRecipe()
{
    static const QVariantMap recipe{{QStringLiteral("Texture"), QStringLiteral("ORV-T#010#Wood-Light-Knots")},
                                    {QStringLiteral("TextureFillMode"), 1}};
    return recipe;
}

void OVFrameBuilder::windowDidLoad()
{
    m_frameList = outlet<QTableWidget>(QStringLiteral("frameList"));
    m_addFrameButton = outlet<QPushButton>(QStringLiteral("addFrameButton"));
    m_duplicateFrameButton = outlet<QPushButton>(QStringLiteral("duplicateFrameButton"));
    m_removeFrameButton = outlet<QPushButton>(QStringLiteral("removeFrameButton"));
    m_textureButton = outlet<OVPopupButton>(QStringLiteral("textureButton"));
    m_textureColorWell = outlet<OVColorWell>(QStringLiteral("textureColorWell"));
    m_textureCutButton = outlet<QCheckBox>(QStringLiteral("textureCutButton"));
    m_externalMaskButton = outlet<OVPopupButton>(QStringLiteral("externalMaskButton"));
    m_internalMaskButton = outlet<OVPopupButton>(QStringLiteral("internalMaskButton"));
    m_shadesScrollView = outlet<QScrollArea>(QStringLiteral("shadesScrollView"));
    m_shadesContainer = outlet<pf::View>(QStringLiteral("shadesContainer"));
    m_newShadeButton = outlet<OVPopupButton>(QStringLiteral("newShadeButton"));
    m_topShadow = outlet<OVImageView>(QStringLiteral("topShadow"));
    m_bottomShadow = outlet<OVImageView>(QStringLiteral("bottomShadow"));
    m_preView = outlet<pf::LayerHostView>(QStringLiteral("preView"));

    // 1. The controls and their entries.
    m_textureColorWell->setSupportsAlpha(true);
    m_textureColorWell->setAction([this](OVColorWell*) { selectTextureColor(); });
    fill(m_textureButton, OVTextureCatalog::sharedTextureNames());
    m_textureButton->setAction([this](OVButton*) { selectTexture(); });
    fill(m_externalMaskButton,
         QStringList{QStringLiteral("No Mask")} + OVFrameCatalog::sharedExternalMaskNames());
    m_externalMaskButton->setAction([this](OVButton*) { selectExternalMask(); });
    fill(m_internalMaskButton, OVFrameCatalog::sharedInternalMaskNames());
    m_internalMaskButton->setAction([this](OVButton*) { selectInternalMask(); });
    fill(m_newShadeButton, QStringList{QStringLiteral("Add a Shade"), QStringLiteral("-")} +
                               OVFrameCatalog::sharedShadeNames());
    m_newShadeButton->setKeepTitle(true);
    m_newShadeButton->setAction([this](OVButton*) { addNewShade(); });
    connect(m_textureCutButton, &QCheckBox::clicked, this, [this] { selectTextureCut(); });
    connect(m_addFrameButton, &QPushButton::clicked, this, [this] { addUserFrame(); });
    connect(m_duplicateFrameButton, &QPushButton::clicked, this, [this] { duplicateFrame(); });
    connect(m_removeFrameButton, &QPushButton::clicked, this, [this] { removeUserFrame(); });
    connect(m_frameList, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!m_reloading)
            tableViewSelectionDidChange();
    });
    connect(m_frameList, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_reloading)
            setObjectValueForRow(item->text(), item->row());
    });
    connect(m_shadesScrollView->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { shadesViewDidScroll(); });

    // 2. The preview filter, drawing around the sample picture until a document's is given.
    m_samplePicture = pf::Image::fromFile(
        pf::Bundle::main().pathForResource(QStringLiteral("PreviewImage"), QStringLiteral("png")));
    if (m_samplePicture.isNull())
        pf::log(QStringLiteral("Warning: The frame builder has no sample picture"));
    m_previewFilter = std::make_unique<OVTexturedFrameFilter>();
    m_previewFilter->setDefaults();
    m_previewFilter->setUpdateDelay(-1.0);
    setPreviewPicture(pf::Image());
    m_previewObserver = pf::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("ovfilterupdate"), m_previewFilter.get(),
        [this](const pf::Notification&) { previewHasChanged(); });

    // 3. The preview layer.
    m_previewLayer = std::make_shared<pf::Layer>();
    const Rect bounds = m_preView->layer()->bounds();
    m_previewLayer->setFrame(
        Rect(bounds.minX() + 10, bounds.minY() + 10, bounds.width() - 20, bounds.height() - 20));
    m_previewLayer->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
    m_previewLayer->setContentsGravity(pf::ContentsGravity::ResizeAspect);
    m_previewLayer->setShadowRadius(5.0);
    m_previewLayer->setShadowOpacity(1.0);
    m_previewLayer->setShadowOffset(pf::Size(2.0, -2.0));
    m_preView->layer()->addSublayer(m_previewLayer);

    // 4. The user's frames, edited with this window's undo.
    cleanSettings();
    OVFrameCatalog& user = OVFrameCatalog::sharedUserFrameCatalog();
    user.setUndoManager(&m_undoManager);
    auto& center = pf::NotificationCenter::defaultCenter();
    m_catalogObservers.push_back(
        center.addObserver(QStringLiteral("OVFrameNameChanged"), &user,
                           [this](const pf::Notification& n) { frameDidRename(n); }));
    m_catalogObservers.push_back(center.addObserver(QStringLiteral("OVFrameAdded"), &user,
                                                    [this](const pf::Notification&) { frameWasAdded(); }));
    m_catalogObservers.push_back(center.addObserver(QStringLiteral("OVFrameRemoved"), &user,
                                                    [this](const pf::Notification&) { frameWasRemoved(); }));
    reloadList();
    shadesViewDidScroll();
}

bool OVFrameBuilder::isActive() const
{
    return isVisible();
}

void OVFrameBuilder::show()
{
    showWindow();
    pf::Window* shown = window();
    if (shown && shown->contentHeight() < kHeight)
        shown->setContentSize(pf::Size(kWidth, kHeight));
}

void OVFrameBuilder::setPreviewPicture(const pf::Image& picture)
{
    if (!m_previewFilter)
        window();
    if (!m_previewFilter)
        return;
    const pf::Image shown = picture.isNull() ? m_samplePicture : picture;
    m_previewFilter->setValue(QVariant::fromValue(shown), QStringLiteral("inputImage"));
    m_previewFilter->setValue(0.1, QStringLiteral("inputWidth"));
    m_previewFilter->setValue(0.05, QStringLiteral("inputShadowWidth"));
    // The border is a tenth of the picture's width, whatever its size.
    m_previewFilter->setValue(shown.isNull() ? 1.0 : 2.0 * shown.extent().width(),
                              QStringLiteral("canvasProportion"));
    previewHasChanged();
}

void OVFrameBuilder::cleanSettings()
{
    while (!m_shadesStack.empty())
        removeRow(m_shadesStack.size() - 1);
    m_currentDescription = m_previewFilter->frameDescription();
    tableViewSelectionDidChange();
    observeCurrentUndo();
    setupForFrame(LayoutPlain);
    previewHasChanged();
}

void OVFrameBuilder::observeCurrentUndo()
{
    m_undoObserver = pf::ObserverToken();
    if (m_currentDescription)
        m_undoObserver = pf::NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("FrameUndo"), m_currentDescription.get(),
            [this](const pf::Notification&) { frameSettingWereUndone(); });
}

// The list.

int OVFrameBuilder::numberOfRows() const
{
    return int(OVFrameCatalog::sharedUserFrameCatalog().frameIDs().size() +
               OVFrameCatalog::sharedFrameCatalog().frameIDs().size());
}

QString OVFrameBuilder::rowID(int row) const
{
    const QStringList& user = OVFrameCatalog::sharedUserFrameCatalog().frameIDs();
    if (row < 0)
        return QString();
    if (row < user.size())
        return user.at(row);
    return OVFrameCatalog::sharedFrameCatalog().frameIDs().value(row - int(user.size()));
}

QString OVFrameBuilder::objectValueForRow(int row) const
{
    return OVLocalizeHelper::localizedString(rowID(row));
}

bool OVFrameBuilder::shouldEditRow(int row) const
{
    return row >= 0 && row < OVFrameCatalog::sharedUserFrameCatalog().frameIDs().size();
}

void OVFrameBuilder::setObjectValueForRow(const QString& value, int row)
{
    if (!shouldEditRow(row)) {
        pf::log(QStringLiteral("Warning: System Frames cannot be renamed"));
        return;
    }
    if (!OVFrameCatalog::sharedUserFrameCatalog().renameFrameID(rowID(row), value))
        reloadList();
}

void OVFrameBuilder::reloadList()
{
    if (!m_frameList)
        return;
    const int selected = selectedRow();
    m_reloading = true;
    const int rows = numberOfRows();
    m_frameList->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const QString text = objectValueForRow(row);
        auto* item = new QTableWidgetItem(text);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (shouldEditRow(row)) {
            flags |= Qt::ItemIsEditable;
        } else if (text.endsWith(u'-')) {
            // A group header is a title over the frames that follow, not a frame: bold and brighter than
            // the grey frames on the list's dark ground, as the pop-ups show their headers, without the
            // trailing dash.
            item->setText(text.chopped(1).trimmed());
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
            item->setForeground(QColor(214, 216, 222));
        } else {
            item->setForeground(QColor(140, 142, 148));
        }
        item->setFlags(flags);
        m_frameList->setItem(row, 0, item);
    }
    if (selected >= 0 && selected < rows)
        m_frameList->selectRow(selected);
    else
        m_frameList->clearSelection();
    m_reloading = false;
}

int OVFrameBuilder::selectedRow() const
{
    if (!m_frameList)
        return -1;
    const QList<QTableWidgetItem*> items = m_frameList->selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

void OVFrameBuilder::selectRow(int row)
{
    if (!m_frameList)
        return;
    if (row < 0)
        m_frameList->clearSelection();
    else
        m_frameList->selectRow(row);
}

void OVFrameBuilder::tableViewSelectionDidChange()
{
    if (!m_frameList)
        return;
    m_removeFrameButton->setEnabled(false);
    const int row = selectedRow();
    m_duplicateFrameButton->setEnabled(row >= 0);
    if (row < 0) {
        showFrameWithName(QStringLiteral("Plain Frame"));
        return;
    }
    showFrameWithName(rowID(row));
    if (shouldEditRow(row))
        m_removeFrameButton->setEnabled(true);
}

void OVFrameBuilder::showFrameWithName(const QString& key)
{
    m_previewFilter->setValue(key, QStringLiteral("inputFrameName"));
    m_currentDescription = m_previewFilter->frameDescription();
    observeCurrentUndo();
    if (m_currentDescription && m_currentDescription->isEditable())
        m_currentDescription->setUndoManager(&m_undoManager);
    setupForFrame(LayoutAnimate | LayoutScrollToTop);
    previewHasChanged();
}

// The controls.

void OVFrameBuilder::setupForFrame(unsigned flags)
{
    if (!m_textureButton)
        return;
    const OVFrameDescriptionPtr frame = m_currentDescription;
    const bool e = frame && frame->isEditable();
    const QStringList& textures = OVTextureCatalog::sharedTextureNames();
    const int texture = frame ? int(textures.indexOf(frame->textureName())) : -1;
    selectIndex(m_textureButton, texture < 0 ? 0 : texture);
    m_textureButton->setEnabled(e);
    if (frame) {
        const pf::Color c = frame->textureColor();
        m_textureColorWell->setColor(pf::PaintColor::calibratedRGB(c.red(), c.green(), c.blue(), c.alpha()));
    }
    m_textureColorWell->setEnabled(e);
    m_textureCutButton->setChecked(frame && frame->textureFillMode() == 1);
    m_textureCutButton->setEnabled(e);
    const int external =
        frame ? int(OVFrameCatalog::sharedExternalMaskNames().indexOf(frame->externalMaskName())) : -1;
    selectIndex(m_externalMaskButton, external < 0 ? 0 : external + 1);
    const int internal =
        frame ? int(OVFrameCatalog::sharedInternalMaskNames().indexOf(frame->internalMaskName())) : -1;
    selectIndex(m_internalMaskButton, internal < 0 ? 0 : internal);
    m_externalMaskButton->setEnabled(e);
    m_internalMaskButton->setEnabled(e);

    const size_t shades = frame ? frame->shades().size() : 0;
    while (m_shadesStack.size() > shades)
        removeRow(m_shadesStack.size() - 1);
    for (size_t i = 0; i < m_shadesStack.size(); ++i)
        setupShadeButtons(m_shadesStack[i], *frame->shades()[i], e);
    for (size_t i = m_shadesStack.size(); i < shades; ++i)
        addShade(*frame->shades()[i], e);

    m_newShadeButton->setHidden(!e);
    updateLayout(flags);
    m_removeFrameButton->setEnabled(e);
}

void OVFrameBuilder::setupShadeButtons(ShadeRow& row, const OVShadeDescription& shade, bool enabled)
{
    selectIndex(row.shade, OVFrameCatalog::indexOfShade(shade.name()));
    const int mode = int(OVAdjustableBlendFilter::blendModeNames().indexOf(shade.blendMode()));
    selectIndex(row.blendMode, std::max(0, mode));
    row.intensity->setDoubleValue(shade.intensity());
    row.shade->setEnabled(enabled);
    row.blendMode->setEnabled(enabled);
    row.intensity->setEnabled(enabled);
    row.remove->setHidden(!enabled);
}

void OVFrameBuilder::addShade(const OVShadeDescription& shade, bool enabled)
{
    const Rect f = m_newShadeButton->frame();
    const int index = int(m_shadesStack.size());
    ShadeRow row;
    row.shade = new OVPopupButton(f);
    row.shade->setName(QStringLiteral("DefaultStyle"));
    fill(row.shade, OVFrameCatalog::sharedShadeNames());
    row.shade->setAction([this, index](OVButton*) { selectShade(index); });
    row.blendMode = new OVPopupButton(Rect(f.minX(), f.minY(), kBlendPopUpWidth, f.height()));
    row.blendMode->setName(QStringLiteral("DefaultStyle"));
    fill(row.blendMode, OVAdjustableBlendFilter::blendModeNames());
    row.blendMode->setAction([this, index](OVButton*) { selectBlendMode(index); });
    row.intensity = new OVSlider(m_shadesContainer);
    row.intensity->setOrientation(Qt::Horizontal);
    row.intensity->setMinValue(0.0);
    row.intensity->setMaxValue(1.0);
    row.intensity->resize(138, 21);
    row.intensity->setAction([this, index](OVSlider*) { adjustIntensity(index); });
    row.remove = new OVButton(Rect(f.minX(), f.minY(), 35, 32));
    row.remove->setName(QStringLiteral("DefaultStyle"));
    row.remove->setTitle(QStringLiteral("-"));
    row.remove->setAction([this, index](OVButton*) { removeShade(index); });
    for (pf::View* view : {static_cast<pf::View*>(row.shade), static_cast<pf::View*>(row.blendMode),
                           static_cast<pf::View*>(row.remove)}) {
        view->setAutoresizingMask(pf::View::NotSizable);
        m_shadesContainer->addSubview(view);
    }
    row.intensity->show();
    setupShadeButtons(row, shade, enabled);
    m_shadesStack.push_back(row);
    updateLayout(LayoutAnimate);
}

void OVFrameBuilder::removeRow(size_t index)
{
    ShadeRow row = m_shadesStack[index];
    m_shadesStack.erase(m_shadesStack.begin() + std::ptrdiff_t(index));
    // The row's own "-" (or another of its controls) may be what is removing it, still inside its click:
    // the controls hide now and go once control is back in the event loop.
    for (QWidget* control :
         {static_cast<QWidget*>(row.shade.data()), static_cast<QWidget*>(row.blendMode.data()),
          static_cast<QWidget*>(row.intensity.data()), static_cast<QWidget*>(row.remove.data())}) {
        if (!control)
            continue;
        control->hide();
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [control = QPointer<QWidget>(control)] { delete control.data(); });
    }
}

void OVFrameBuilder::updateLayout(unsigned flags)
{
    if (!m_shadesContainer || !m_shadesScrollView)
        return;
    const double n = double(m_shadesStack.size());
    const double h = kRowPitch * n + kAreaPadding;
    const double visible = m_shadesScrollView->viewport()->height();
    const double H = std::max(h, visible);
    if (m_updateTimer) {
        m_updateTimer->invalidate();
        m_updateTimer.reset();
    }
    const bool animate = (flags & LayoutAnimate) != 0;
    const bool group = flags == LayoutAnimate;
    if (group) {
        pf::ViewAnimator::beginGrouping();
        pf::ViewAnimator::setDuration(pf::ViewAnimator::durationFor(pf::ViewAnimator::defaultDuration, 2.5));
    }
    const Rect container = m_shadesContainer->frame();
    m_shadesContainer->setFrame(Rect(container.minX(), container.minY(), container.width(), H));
    m_shadesContainer->resize(int(container.width()), int(H));
    if (flags & LayoutScrollToTop)
        m_shadesScrollView->verticalScrollBar()->setValue(0);

    const auto place = [&](pf::View* view, const Rect& frame) {
        if (animate)
            pf::ViewAnimator::animateFrame(view, frame);
        else
            view->setFrame(frame);
    };
    for (size_t i = 0; i < m_shadesStack.size(); ++i) {
        ShadeRow& row = m_shadesStack[i];
        double x = 0;
        const double top = H - kRowPitch * double(i + 1);
        for (pf::View* view : {static_cast<pf::View*>(row.shade), static_cast<pf::View*>(row.blendMode)}) {
            const Rect f = view->frame();
            place(view, Rect(x, top + std::floor(kRowPitch - f.height()), f.width(), f.height()));
            x += f.width() + kControlGap;
        }
        // The slider is a plain widget: it is placed in the container's y-down coordinates.
        const double sliderY = top + std::floor(kRowPitch - row.intensity->height());
        row.intensity->move(int(x), int(H - sliderY - row.intensity->height()));
        x += row.intensity->width() + kControlGap;
        const Rect r = row.remove->frame();
        place(row.remove, Rect(x, top + std::floor(kRowPitch - r.height()), r.width(), r.height()));
    }
    const Rect f = m_newShadeButton->frame();
    place(m_newShadeButton, Rect(0, H - h, f.width(), f.height()));
    if (group)
        pf::ViewAnimator::endGrouping();
    shadesViewDidScroll();
}

void OVFrameBuilder::shadesViewDidScroll()
{
    if (!m_shadesScrollView || !m_shadesContainer || !m_topShadow)
        return;
    // In the list's y-up terms: the visible rectangle starts `y` above the container's bottom.
    const double C = m_shadesContainer->height();
    const double height = m_shadesScrollView->viewport()->height();
    const double y = C - height - m_shadesScrollView->verticalScrollBar()->value();
    m_topShadow->setOpacity(std::clamp((C - (y + height)) / kShadowFade, 0.0, 1.0));
    m_bottomShadow->setOpacity(std::clamp(y / kShadowFade, 0.0, 1.0));
}

void OVFrameBuilder::previewHasChanged()
{
    if (!m_previewFilter || !m_previewLayer)
        return;
    const pf::Image output = m_previewFilter->outputImage();
    if (output.isNull())
        return;
    Rect extent = m_previewFilter->hasCachedMask() ? m_previewFilter->cachedMask().extent() : output.extent();
    if (!std::isfinite(extent.width()) || !std::isfinite(extent.height()))
        extent = m_previewFilter->value(QStringLiteral("inputImage")).value<pf::Image>().extent();
    const QImage image = pf::RenderContext::shared()->renderToQImage(output, extent);
    ++m_previewRenders;
    if (!image.isNull())
        m_previewLayer->setContents(image);
}

// Editing.

void OVFrameBuilder::edit(const std::function<void()>& change)
{
    // An edit of the frame reaches the preview filter as a notification, which drops just what the
    // edit touches and announces an update (the preview renders then). A frame that announces nothing
    // (none without an undo manager does) is drawn again from scratch.
    const quint64 before = m_previewRenders;
    change();
    if (m_previewRenders != before)
        return;
    m_previewFilter->forceUpdate();
    previewHasChanged();
}

void OVFrameBuilder::selectTexture()
{
    if (!m_currentDescription)
        return;
    const QString name = OVTextureCatalog::sharedTextureNames().value(m_textureButton->selectedIndex());
    // The preview filter takes the frame's new texture and colour from its change notification.
    edit([&] { m_currentDescription->setTextureName(name); });
    const pf::Color c = m_currentDescription->textureColor();
    m_textureColorWell->setColor(pf::PaintColor::calibratedRGB(c.red(), c.green(), c.blue(), c.alpha()));
}

void OVFrameBuilder::selectTextureColor()
{
    if (!m_currentDescription)
        return;
    const pf::PaintColor p = m_textureColorWell->color();
    const pf::Color color(p.red(), p.green(), p.blue(), p.alpha());
    edit([&] { m_currentDescription->setTextureColor(color); });
}

void OVFrameBuilder::selectTextureCut()
{
    if (!m_currentDescription)
        return;
    edit([&] { m_currentDescription->setTextureFillMode(m_textureCutButton->isChecked() ? 1 : 2); });
}

void OVFrameBuilder::selectExternalMask()
{
    if (!m_currentDescription)
        return;
    const int k = m_externalMaskButton->selectedIndex();
    edit([&] {
        m_currentDescription->setExternalMaskName(
            k <= 0 ? QString() : OVFrameCatalog::sharedExternalMaskNames().value(k - 1));
    });
}

void OVFrameBuilder::selectInternalMask()
{
    if (!m_currentDescription)
        return;
    edit([&] {
        m_currentDescription->setInternalMaskName(OVFrameCatalog::sharedInternalMaskNames().value(
            std::max(0, m_internalMaskButton->selectedIndex())));
    });
}

void OVFrameBuilder::addNewShade()
{
    const int k = m_newShadeButton->selectedIndex();
    selectIndex(m_newShadeButton, 0);
    if (!m_currentDescription || !m_currentDescription->isEditable() || k < 2)
        return;
    const QString name = OVFrameCatalog::sharedShadeNames().value(k - 2);
    const QVariantMap settings = OVFrameCatalog::sharedShadeSettings().value(name);
    const QString url = settings.value(QStringLiteral("url")).toString();
    if (url.isEmpty())
        return; // a header
    // In the blend mode the shade is drawn for, where its file names one: laid over the texture as it
    // is (source over) a shade drawn for multiplying hides the texture.
    auto shade =
        std::make_shared<OVShadeDescription>(url, settings.value(QStringLiteral("blend")).toString(), 1.0);
    edit([&] { m_currentDescription->addShade(shade); });
    addShade(*shade, true);
}

void OVFrameBuilder::selectShade(int row)
{
    if (!m_currentDescription || row < 0 || size_t(row) >= m_currentDescription->shades().size())
        return;
    const QString name =
        OVFrameCatalog::sharedShadeNames().value(m_shadesStack[size_t(row)].shade->selectedIndex());
    if (!OVFrameCatalog::sharedShadeSettings().contains(name)) {
        setupForFrame(LayoutPlain); // a header: the row shows its shade again
        return;
    }
    edit([&] { m_currentDescription->setShadeName(name, row); });
}

void OVFrameBuilder::selectBlendMode(int row)
{
    if (!m_currentDescription || row < 0 || size_t(row) >= m_currentDescription->shades().size())
        return;
    const QString mode = OVAdjustableBlendFilter::blendModeNames().value(
        m_shadesStack[size_t(row)].blendMode->selectedIndex());
    edit([&] { m_currentDescription->setShadeBlendMode(mode, row); });
}

void OVFrameBuilder::adjustIntensity(int row)
{
    if (!m_currentDescription || row < 0 || size_t(row) >= m_currentDescription->shades().size())
        return;
    const double intensity = m_shadesStack[size_t(row)].intensity->doubleValue();
    edit([&] { m_currentDescription->setShadeIntensity(intensity, row); });
}

void OVFrameBuilder::removeShade(int row)
{
    if (!m_currentDescription || row < 0 || size_t(row) >= m_currentDescription->shades().size())
        return;
    edit([&] { m_currentDescription->removeShadeAtIndex(row); });
    setupForFrame(LayoutAnimate);
}

void OVFrameBuilder::frameSettingWereUndone()
{
    // The undone change has reached the preview already, by the notification it posts.
    setupForFrame(LayoutAnimate);
}

// Frames.

void OVFrameBuilder::addUserFrame()
{
    addUserFrame(newFrameRecipe(), QStringLiteral("New Frame"));
}

QString OVFrameBuilder::addUserFrame(const QVariantMap& dictionary, const QString& baseName)
{
    OVFrameCatalog& user = OVFrameCatalog::sharedUserFrameCatalog();
    const OVFrameCatalog& system = OVFrameCatalog::sharedFrameCatalog();
    const auto taken = [&](const QString& name) {
        return !user.frameIDForName(name).isEmpty() || !system.frameIDForName(name).isEmpty();
    };
    QString name = baseName;
    for (quint64 n = 2; taken(name); ++n)
        name = QStringLiteral("%1 %2").arg(baseName).arg(n);
    auto frame = std::make_shared<OVFrameDescription>(dictionary, user.URL(), true);
    frame->setName(name);
    const QString frameID = user.addFrame(frame);
    reloadList();
    const int row = int(user.frameIDs().indexOf(frameID));
    if (row >= 0) {
        showFrameWithName(name);
        m_reloading = true;
        selectRow(row);
        m_reloading = false;
        if (m_frameList && m_frameList->isVisible())
            m_frameList->editItem(m_frameList->item(row, 0));
    }
    tableViewSelectionDidChange();
    return frameID;
}

void OVFrameBuilder::duplicateFrame()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString frameID = rowID(row);
    const OVFrameDescriptionPtr frame = shouldEditRow(row)
                                            ? OVFrameCatalog::sharedUserFrameCatalog().frameWithName(frameID)
                                            : OVFrameCatalog::sharedFrameCatalog().frameWithName(frameID);
    if (!frame)
        return; // a header
    addUserFrame(frame->saveDictionary(), objectValueForRow(row));
}

void OVFrameBuilder::removeUserFrame()
{
    const int row = selectedRow();
    if (!shouldEditRow(row))
        return;
    OVFrameCatalog::sharedUserFrameCatalog().removeFrameAtIndex(row);
    reloadList();
    tableViewSelectionDidChange();
}

void OVFrameBuilder::frameDidRename(const pf::Notification& notification)
{
    reloadList();
    const QString frameID = notification.userInfo.value(QStringLiteral("ID")).toString();
    OVFrameCatalog& user = OVFrameCatalog::sharedUserFrameCatalog();
    if (m_currentDescription && user.frameWithName(frameID) == m_currentDescription) {
        m_reloading = true;
        selectRow(int(user.frameIDs().indexOf(frameID)));
        m_reloading = false;
    }
}

void OVFrameBuilder::frameWasAdded()
{
    const int row = selectedRow();
    const QString selected = shouldEditRow(row) ? rowID(row) : QString();
    reloadList();
    if (!selected.isEmpty()) {
        m_reloading = true;
        selectRow(int(OVFrameCatalog::sharedUserFrameCatalog().frameIDs().indexOf(selected)));
        m_reloading = false;
    }
    tableViewSelectionDidChange();
}

void OVFrameBuilder::frameWasRemoved()
{
    reloadList();
    tableViewSelectionDidChange();
}
