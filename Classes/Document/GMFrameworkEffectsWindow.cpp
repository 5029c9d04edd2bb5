#include "Classes/Document/GMFrameworkEffectsWindow.h"

#include "Classes/Document/GMFittedPictureView.h"

#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectPicker.h"
#include "Classes/Frames/OVEffectPickerDelegate.h"
#include "Classes/Frames/OVFilterPreview.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/ClipView.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/View.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

constexpr double windowWidth = 1000;
constexpr double windowHeight = 660;
constexpr double barHeight = 44;
constexpr double columnWidth = 332;
// Above the first header and below the last settings view, and between two effects.
constexpr double columnMargin = 10;
constexpr double effectGap = 12;
constexpr double headerHeight = 26;
// The sample the highlighted effect is shown on, and the size it is shown at.
const QString previewSample = QStringLiteral("Samples/TestPerson");
constexpr double previewWidth = 180;
constexpr double previewHeight = 180;

const QString interfaceName = QStringLiteral("GMFrameworkEffectsWindow");

QString noPhotoText()
{
    return localized(QStringLiteral("No picture: open a photo, then choose Framework Effects again."));
}
GMFrameworkEffectsWindow* shownWindow = nullptr;
// Every window not yet destroyed: one per photo may be open at once.
std::vector<GMFrameworkEffectsWindow*>& allWindows()
{
    static std::vector<GMFrameworkEffectsWindow*> windows;
    return windows;
}
GMFrameworkEffectsWindow::Handler& cropHandler()
{
    static GMFrameworkEffectsWindow::Handler handler;
    return handler;
}
GMFrameworkEffectsWindow::Handler& pictureHandler()
{
    static GMFrameworkEffectsWindow::Handler handler;
    return handler;
}

template <typename T> T* part(const Interface& interface, const QString& outlet)
{
    return dynamic_cast<T*>(interface.outlets.value(outlet).data());
}

// Light, as the settings views' grey labels with their white shadow expect.
class ColumnView : public View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override
    {
        painter.fillRect(bounds().toQRectF(), QColor(216, 217, 220));
    }
};

} // namespace

// The picker's delegate for as long as the window lives: the picker holds its delegate strongly during
// a run, which may outlast the window.
class GMFrameworkEffectsWindow::PickerClient : public OVEffectPickerDelegate
{
public:
    explicit PickerClient(GMFrameworkEffectsWindow* owner) : owner(owner) {}

    void effectPickerDidSelectEffect(OVEffectPicker&, std::unique_ptr<OVEffect> effect) override
    {
        if (!owner)
            return;
        // The menu had the pointer: the button shows whether the pointer is over it now.
        owner->showButtonsUnderPointer();
        owner->previewEffect(nullptr);
        if (effect)
            owner->appendEffect(std::move(effect));
    }
    void effectPickerPreviewing(OVEffectPicker&, std::unique_ptr<OVEffect> effect) override
    {
        if (owner)
            owner->previewEffect(std::move(effect));
    }

    GMFrameworkEffectsWindow* owner;
};

void GMFrameworkEffectsWindow::setCropHandler(Handler handler)
{
    cropHandler() = std::move(handler);
    for (GMFrameworkEffectsWindow* effects : allWindows())
        if (effects->m_cropButton)
            effects->m_cropButton->setEnabled(bool(cropHandler()));
}

void GMFrameworkEffectsWindow::setPictureHandler(Handler handler)
{
    pictureHandler() = std::move(handler);
    for (GMFrameworkEffectsWindow* effects : allWindows())
        if (effects->m_pictureButton)
            effects->m_pictureButton->setEnabled(bool(pictureHandler()));
}

GMFrameworkEffectsWindow* GMFrameworkEffectsWindow::shown()
{
    return shownWindow;
}

GMFrameworkEffectsWindow* GMFrameworkEffectsWindow::forWindow(const QWidget* window)
{
    if (!window)
        return nullptr;
    for (GMFrameworkEffectsWindow* effects : allWindows())
        if (effects->m_window == window)
            return effects;
    return nullptr;
}

pf::UndoManager* GMFrameworkEffectsWindow::undoManagerFor(const QWidget* window)
{
    GMFrameworkEffectsWindow* effects = forWindow(window);
    return effects ? &effects->m_undoManager : nullptr;
}

void GMFrameworkEffectsWindow::bringToFront()
{
    shownWindow = this;
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool GMFrameworkEffectsWindow::hasEveryPart(const Interface& interface)
{
    return part<Window>(interface, QStringLiteral("window")) &&
           part<GMFittedPictureView>(interface, QStringLiteral("pictureView")) &&
           part<View>(interface, QStringLiteral("columnView")) &&
           part<ScrollView>(interface, QStringLiteral("effectsScrollView")) &&
           part<ScrollView>(interface, QStringLiteral("effectsScrollView"))->documentView() &&
           part<OVButton>(interface, QStringLiteral("addEffectButton")) &&
           part<OVButton>(interface, QStringLiteral("cropButton")) &&
           part<OVButton>(interface, QStringLiteral("pictureButton")) &&
           part<OVFilterPreview>(interface, QStringLiteral("effectPreview"));
}

Interface GMFrameworkEffectsWindow::makeInterface(QObject*, const Bundle&)
{
    auto* window = new Window(Rect(120, 120, windowWidth, windowHeight));
    window->setTitle(localized(QStringLiteral("Framework Effects")));
    window->setMinimumSize(640, 420);
    auto* pictureView = new GMFittedPictureView(
        Rect(0, 0, windowWidth, windowHeight), barHeight,
        {.left = 20, .right = columnWidth + 20, .bottom = 16, .top = 16}, noPhotoText());
    pictureView->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    window->setContentView(pictureView);

    auto* column =
        new ColumnView(Rect(windowWidth - columnWidth, barHeight, columnWidth, windowHeight - barHeight));
    column->setAutoresizingMask(View::MinXMargin | View::HeightSizable);
    pictureView->addSubview(column);
    // The effects lie in a list that scrolls: a stack of them soon outgrows the window.
    auto* scroll = new ScrollView(Rect(0, 0, columnWidth, windowHeight - barHeight));
    scroll->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    scroll->setVerticalScroller(new OVScroller(Qt::Vertical));
    auto* list = new View(Rect(0, 0, columnWidth - ScrollView::scrollerWidth, windowHeight - barHeight));
    list->setAutoresizingMask(View::WidthSizable);
    scroll->setDocumentView(list);
    column->addSubview(scroll);

    Interface interface;
    const struct
    {
        const char* outlet;
        const char* title;
        Rect frame;
    } buttons[] = {{"addEffectButton", "Add Effect…", Rect(16, 11, 120, 22)},
                   {"cropButton", "Crop…", Rect(146, 11, 84, 22)},
                   {"pictureButton", "Picture…", Rect(240, 11, 96, 22)}};
    for (const auto& spec : buttons) {
        auto* button = new OVButton(spec.frame);
        button->setName(QStringLiteral("DefaultStyleActive"));
        // The skin is the headers' on/off switch's: these are push buttons, which a click leaves off.
        button->setIsSwitchButton(false);
        button->setTitle(localized(QString::fromUtf8(spec.title)));
        pictureView->addSubview(button);
        interface.outlets.insert(QString::fromLatin1(spec.outlet), button);
    }

    // Beside the menu, which opens downwards from the button's lower left and would cover it there.
    auto* preview = new OVFilterPreview(Rect(250, barHeight + 8, previewWidth, previewHeight));
    preview->setAdjustImage(true);
    // The whole output: a frame or a border lies outside the sample, around it.
    preview->setAdjustResult(true);
    preview->setImageName(previewSample);
    pictureView->addSubview(preview);
    preview->hide();

    interface.outlets.insert(QStringLiteral("window"), window);
    interface.outlets.insert(QStringLiteral("pictureView"), pictureView);
    interface.outlets.insert(QStringLiteral("columnView"), column);
    interface.outlets.insert(QStringLiteral("effectsScrollView"), scroll);
    interface.outlets.insert(QStringLiteral("effectPreview"), preview);
    interface.topLevelObjects = {window};
    return interface;
}

GMFrameworkEffectsWindow::GMFrameworkEffectsWindow(const Image& picture, OVEffectPicker* picker)
    : m_pickerClient(std::make_shared<PickerClient>(this)),
      m_picker(picker ? picker : &OVEffectPicker::sharedEffectPicker())
{
    if (!InterfaceRegistry::hasInterface(interfaceName))
        InterfaceRegistry::registerInterface(interfaceName, &GMFrameworkEffectsWindow::makeInterface);
    std::optional<Interface> interface = InterfaceRegistry::load(interfaceName, nullptr, Bundle::main());
    // Another builder under this name that leaves out part of the window does not get the window's.
    if (!interface || !hasEveryPart(*interface)) {
        pf::warning(QStringLiteral("The interface \"%1\" lacks part of the window; the built-in one is used")
                        .arg(interfaceName));
        if (interface)
            for (QObject* object : interface->topLevelObjects)
                object->deleteLater();
        interface = makeInterface(nullptr, Bundle::main());
    }
    m_window = part<Window>(*interface, QStringLiteral("window"));
    m_pictureView = part<GMFittedPictureView>(*interface, QStringLiteral("pictureView"));
    m_column = part<View>(*interface, QStringLiteral("columnView"));
    m_scroll = part<ScrollView>(*interface, QStringLiteral("effectsScrollView"));
    m_list = m_scroll->documentView();
    m_addButton = part<OVButton>(*interface, QStringLiteral("addEffectButton"));
    m_cropButton = part<OVButton>(*interface, QStringLiteral("cropButton"));
    m_pictureButton = part<OVButton>(*interface, QStringLiteral("pictureButton"));
    m_preview = part<OVFilterPreview>(*interface, QStringLiteral("effectPreview"));

    m_addButton->setAction([this](OVButton*) { showEffectPicker(); });
    m_cropButton->setAction([this](OVButton*) {
        if (cropHandler())
            cropHandler()(*this);
    });
    m_pictureButton->setAction([this](OVButton*) {
        if (pictureHandler())
            pictureHandler()(*this);
    });
    m_cropButton->setEnabled(bool(cropHandler()));
    m_pictureButton->setEnabled(bool(pictureHandler()));

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        m_window->move(available.center() - QPoint(int(windowWidth / 2), int(windowHeight / 2)));
    }
    shownWindow = this;
    allWindows().push_back(this);
    // A sheet or a drawer over the window had the pointer: when the window has the keyboard again, its
    // buttons show whether the pointer is over them.
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        Window::didBecomeKeyNotification, m_window.data(),
        [this](const Notification&) { showButtonsUnderPointer(); }));
    // A taller or shorter window: the list still starts at the top of the column.
    m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(ClipView::boundsDidChangeNotification), m_scroll->contentView(),
        [this](const Notification&) {
            if (m_scroll->contentView()->bounds().height() != m_fittedClipHeight)
                fitList();
        }));
    // An undone or redone switch shows in its header.
    for (const char* name :
         {pf::UndoManager::DidUndoChangeNotification, pf::UndoManager::DidRedoChangeNotification})
        m_observers.push_back(NotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(name), &m_undoManager, [this](const Notification&) { showSwitches(); }));
    setPhoto(picture);
}

GMFrameworkEffectsWindow::~GMFrameworkEffectsWindow()
{
    m_observers.clear();
    std::erase(allWindows(), this);
    if (shownWindow == this)
        shownWindow = allWindows().empty() ? nullptr : allWindows().back();
    m_pickerClient->owner = nullptr;
    m_previewEffect.reset();
    // Effects held by undo steps have no undo manager; those of the chain let go of it first, so that
    // no effect reaches into the manager while it is being emptied.
    for (const auto& effect : m_effects) {
        effect->setSuccessor(nullptr);
        effect->setUndoManager(nullptr);
    }
    m_effects.clear();
    m_undoManager.removeAllActions();
    if (m_window)
        m_window->deleteLater();
}

Image GMFrameworkEffectsWindow::fitted(const Image& picture, double largestSide)
{
    if (!GMFittedPictureView::isShowable(picture))
        return {};
    const Rect extent = picture.extent();
    const double scale = std::min({largestSide / extent.width(), largestSide / extent.height(), 1.0});
    Image placed =
        picture.imageByApplyingTransform(AffineTransform::translation(-extent.minX(), -extent.minY()));
    if (scale < 1.0)
        placed = placed.imageByApplyingTransform(AffineTransform::scale(scale, scale));
    return placed;
}

void GMFrameworkEffectsWindow::setPhoto(const Image& photo)
{
    m_photo = fitted(photo);
    m_waitingForPhoto = false;
    if (m_replacement.isNull())
        updatePicture();
    else
        showMessage();
}

void GMFrameworkEffectsWindow::setWaitingForPhoto(bool waiting)
{
    m_waitingForPhoto = waiting;
    showMessage();
}

void GMFrameworkEffectsWindow::setPicture(const Image& picture)
{
    setSource(fitted(picture), Rect::null(), localized(QStringLiteral("Replace Picture")));
}

void GMFrameworkEffectsWindow::cropPicture(const Rect& kept)
{
    if (m_picture.isNull())
        return;
    const Rect part = kept.integral().intersected(m_picture.extent());
    if (part.isNull() || part.isEmpty())
        return;
    setSource(m_replacement, part, localized(QStringLiteral("Crop")));
}

void GMFrameworkEffectsWindow::setSource(const Image& replacement, const Rect& crop,
                                         const QString& actionName)
{
    // The step records what was chosen, not pixels: undoing a crop keeps a photo that changed since.
    const Image oldReplacement = m_replacement;
    const Rect oldCrop = m_crop;
    m_undoManager.registerUndo(this, [this, oldReplacement, oldCrop, actionName] {
        setSource(oldReplacement, oldCrop, actionName);
    });
    m_undoManager.setActionName(actionName);
    m_replacement = replacement;
    m_crop = crop;
    updatePicture();
}

void GMFrameworkEffectsWindow::updatePicture()
{
    Image picture = m_replacement.isNull() ? m_photo : m_replacement;
    if (!picture.isNull() && !m_crop.isNull()) {
        const Rect part = m_crop.intersected(picture.extent());
        if (!part.isNull() && !part.isEmpty())
            picture = picture.imageByCroppingToRect(part);
    }
    m_picture = picture;
    relink();
}

QString GMFrameworkEffectsWindow::pictureMessage() const
{
    return m_pictureView->noPictureText();
}

void GMFrameworkEffectsWindow::showMessage()
{
    if (m_picture.isNull())
        m_pictureView->setNoPictureText(
            m_waitingForPhoto
                ? localized(QStringLiteral("The photo is still opening: it shows here once it is in."))
                : noPhotoText());
    else
        m_pictureView->setNoPictureText(
            localized(QStringLiteral("The effects could not draw this picture: take the last one away "
                                     "or change its settings.")));
}

void GMFrameworkEffectsWindow::relink()
{
    for (size_t i = 0; i < m_effects.size(); ++i) {
        m_effects[i]->setSuccessor(
            i + 1 < m_effects.size() ? static_cast<OVEffectSuccessor*>(m_effects[i + 1].get()) : this);
        m_effects[i]->setUndoManager(&m_undoManager);
    }
    if (m_picture.isNull()) {
        if (!m_effects.empty())
            m_effects.front()->removeImageInput();
        else
            removeImageInput();
        return;
    }
    if (!m_effects.empty())
        m_effects.front()->setInputImage(m_picture);
    else
        setInputImage(m_picture);
}

void GMFrameworkEffectsWindow::appendEffect(std::unique_ptr<OVEffect> effect)
{
    if (!effect)
        return;
    m_effects.push_back(std::move(effect));
    m_undoManager.registerUndo(this, [this] { removeLastEffect(); });
    const QString name = m_effects.back()->displayName();
    m_undoManager.setActionName(localized(QStringLiteral("Add %1")).arg(localized(name)));
    relink();
    layoutEffects();
    // A new effect is appended below the others, perhaps out of sight: it is shown.
    scrollToEffect(m_effects.size() - 1);
}

void GMFrameworkEffectsWindow::removeLastEffect()
{
    if (m_effects.empty())
        return;
    // Held by the redo step, which puts the same effect back, settings and all.
    auto removed = std::make_shared<std::unique_ptr<OVEffect>>(std::move(m_effects.back()));
    m_effects.pop_back();
    OVEffect& effect = **removed;
    effect.setSuccessor(nullptr);
    effect.setUndoManager(nullptr);
    // The effect owns its settings view: out of the window, so only the effect ever deletes it.
    effect.settingsView()->hide();
    effect.settingsView()->removeFromSuperview();
    m_undoManager.registerUndo(this, [this, removed] {
        if (*removed)
            appendEffect(std::move(*removed));
    });
    relink();
    layoutEffects();
}

void GMFrameworkEffectsWindow::layoutEffects()
{
    for (const auto& row : m_effectRows)
        delete row.data();
    m_effectRows.clear();
    m_switches.clear();
    m_contentHeight = 2 * columnMargin - effectGap;
    for (const auto& effect : m_effects)
        m_contentHeight += headerHeight + effect->settingsView()->height() + effectGap;
    fitList();
    const double rowWidth = m_list->width() - 2 * columnMargin;
    double top = m_list->height() - columnMargin;
    for (const auto& effect : m_effects) {
        OVEffect* raw = effect.get();
        auto* header = new View(Rect(columnMargin, top - headerHeight, rowWidth, headerHeight));
        header->setAutoresizingMask(View::MinYMargin);
        auto* title = new OVLabel(Rect(26, 2, rowWidth - 40, 20));
        title->setStringValue(localized(effect->displayName()));
        title->setTextColor(QColor(40, 40, 44));
        header->addSubview(title);
        auto* enabled = new OVButton(Rect(0, 3, 20, 20));
        enabled->setName(QStringLiteral("DefaultStyleActive"));
        enabled->setIsSwitchButton(true);
        enabled->setState(effect->isEnabled());
        enabled->setToolTip(
            localized(effect->isEnabled() ? QStringLiteral("Disable") : QStringLiteral("Enable"),
                      QStringLiteral("EffectSettings")));
        enabled->setAction([this, raw](OVButton* button) {
            raw->setEnabled(button->state());
            showSwitches();
        });
        header->addSubview(enabled);
        m_switches.emplace_back(enabled, raw);
        m_list->addSubview(header);
        m_effectRows.emplace_back(header);
        top -= headerHeight;

        View* settings = effect->settingsView();
        settings->setFrameOrigin(Point(columnMargin, top - settings->height()));
        settings->setAutoresizingMask(View::MinYMargin);
        if (settings->superview() != m_list)
            m_list->addSubview(settings);
        settings->show();
        top -= settings->height() + effectGap;
    }
    m_scroll->reflectScrolledClipView();
}

void GMFrameworkEffectsWindow::fitList()
{
    ClipView* clip = m_scroll->contentView();
    const Rect shown = clip->bounds();
    const double fromTop = m_list->height() - shown.maxY();
    m_fittedClipHeight = shown.height();
    // Never shorter than the column, so that a short list starts at its top.
    const double height = std::max(m_contentHeight, shown.height());
    if (height != m_list->height())
        m_list->setFrameSize(Size(m_list->width(), height));
    clip->scrollToPoint(Point(shown.minX(), height - fromTop - shown.height()));
    m_scroll->reflectScrolledClipView();
}

void GMFrameworkEffectsWindow::scrollToEffect(size_t index)
{
    if (index >= m_effects.size())
        return;
    View* settings = m_effects[index]->settingsView();
    // The effect's header above its settings view, with the margin around them.
    const double bottom = settings->frame().minY() - columnMargin;
    const double top = settings->frame().maxY() + headerHeight + columnMargin;
    ClipView* clip = m_scroll->contentView();
    const Rect shown = clip->bounds();
    double y = shown.minY();
    if (top - bottom > shown.height() || top > shown.maxY())
        y = top - shown.height(); // its top first when it is taller than the column
    else if (bottom < shown.minY())
        y = bottom;
    clip->scrollToPoint(Point(shown.minX(), y));
    m_scroll->reflectScrolledClipView();
}

void GMFrameworkEffectsWindow::showButtonsUnderPointer()
{
    for (OVButton* button : {m_addButton, m_cropButton, m_pictureButton})
        if (button && button->isEnabled())
            button->updateTrackingAreas();
}

OVButton* GMFrameworkEffectsWindow::enableSwitch(size_t index) const
{
    if (index >= m_effects.size())
        return nullptr;
    for (const auto& [button, effect] : m_switches)
        if (effect == m_effects[index].get())
            return button;
    return nullptr;
}

void GMFrameworkEffectsWindow::showSwitches()
{
    for (const auto& [button, effect] : m_switches) {
        if (!button)
            continue;
        button->setState(effect->isEnabled());
        button->setToolTip(
            localized(effect->isEnabled() ? QStringLiteral("Disable") : QStringLiteral("Enable"),
                      QStringLiteral("EffectSettings")));
    }
}

void GMFrameworkEffectsWindow::showEffectPicker()
{
    m_picker->showPickerOver(m_addButton, m_pickerClient);
}

void GMFrameworkEffectsWindow::previewEffect(std::unique_ptr<OVEffect> effect)
{
    if (!effect) {
        m_preview->setFilter(nullptr);
        m_previewEffect.reset();
        m_preview->hide();
        return;
    }
    m_previewEffect = std::move(effect);
    // The preview shares the effect's filter and keeps the effect alive with it.
    m_preview->setFilter(FilterPtr(m_previewEffect, m_previewEffect->filter()));
    // Through the effect, so that sizes kept relative to the picture fit the sample.
    const Image sample = m_previewEffect->filter()->value(QStringLiteral("inputImage")).value<Image>();
    if (!sample.isNull())
        m_previewEffect->setInputImage(sample);
    m_preview->show();
    m_preview->raise();
    m_preview->setNeedsDisplay();
}

void GMFrameworkEffectsWindow::setInputImage(const Image& image)
{
    m_output = image;
    m_shown = GMFittedPictureView::isShowable(image)
                  ? RenderContext::shared()->renderToQImage(image, image.extent())
                  : QImage();
    showMessage();
    m_pictureView->setPicture(m_shown);
}

void GMFrameworkEffectsWindow::setGlobalSettings(const QVariantMap&) {}

void GMFrameworkEffectsWindow::removeImageInput()
{
    m_output = Image();
    m_shown = QImage();
    showMessage();
    m_pictureView->setPicture(m_shown);
}

void GMFrameworkEffectsWindow::addResourcesToArray(QStringList&) {}
