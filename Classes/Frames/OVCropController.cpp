#include "Classes/Frames/OVCropController.h"

#include "Classes/Frames/OVCropView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVColorView.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/RichText.h"
#include "Platform/UI/Window.h"

#include <QKeyEvent>
#include <QTextEdit>
#include <algorithm>
#include <cmath>

namespace {

constexpr double panelWidth = 680, panelHeight = 440;

// A borderless, see-through overlay: a dimming layer that swallows every press, and the dialog's panel
// centred on it (its margins stretch, so it stays centred while the owner's window is resized).
pf::Interface cropInterface(QObject*, const pf::Bundle&)
{
    auto* window = new pf::Window(pf::Rect(0, 0, panelWidth + 40, panelHeight + 40), pf::Window::Borderless);
    window->setOpaque(false);
    window->setBackgroundColor(Qt::transparent);
    window->setHasShadow(false);
    window->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    pf::View* content = window->contentView();

    auto* dim = new OVColorView(content->bounds());
    dim->setColor(pf::PaintColor::calibratedWhite(0, 0.45));
    dim->setBlockInput(true);
    dim->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    content->addSubview(dim);

    auto* panel = new OVColorView(pf::Rect(20, 20, panelWidth, panelHeight));
    panel->setColor(pf::PaintColor::calibratedRGB(0.16, 0.17, 0.19));
    panel->setBorderColor(pf::PaintColor::calibratedWhite(0.35));
    panel->setBorderWidth(1);
    panel->setCornerRadius(6);
    panel->setBlockInput(true);
    panel->setAutoresizingMask(pf::View::MinXMargin | pf::View::MaxXMargin | pf::View::MinYMargin |
                               pf::View::MaxYMargin);
    dim->addSubview(panel);

    const pf::Rect pictureFrame(20, 64, 420, 356);
    auto* imageView = new OVImageView(pictureFrame);
    imageView->setGravity(0);
    imageView->setAspectFit(true);
    panel->addSubview(imageView);
    auto* cropView = new OVCropView(pictureFrame);
    panel->addSubview(cropView);

    // A plain widget inside a view is placed in Qt's coordinates, from the panel's top left.
    auto* description = new QTextEdit(panel);
    description->setReadOnly(true);
    description->setFrameShape(QFrame::NoFrame);
    description->setGeometry(460, 20, 200, 356);
    description->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; color: #d9dadd; }"));
    description->setFocusPolicy(Qt::NoFocus);

    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("window"), window);
    interface.outlets.insert(QStringLiteral("imageView"), imageView);
    interface.outlets.insert(QStringLiteral("cropView"), cropView);
    interface.outlets.insert(QStringLiteral("descriptionView"), description);
    const struct
    {
        const char* outlet;
        const char* title;
        double x;
    } buttons[] = {{"cancelButton", "Cancel", 460}, {"okButton", "OK", 570}};
    for (const auto& spec : buttons) {
        auto* button = new OVButton(pf::Rect(spec.x, 18, 90, 28));
        button->setName(QStringLiteral("DefaultStyle"));
        button->setTitle(QString::fromLatin1(spec.title));
        panel->addSubview(button);
        interface.outlets.insert(QString::fromLatin1(spec.outlet), button);
    }
    interface.topLevelObjects = {window};
    return interface;
}

} // namespace

OVCropController::OVCropController()
{
    if (!pf::InterfaceRegistry::hasInterface(QStringLiteral("OVCropController")))
        pf::InterfaceRegistry::registerInterface(QStringLiteral("OVCropController"), cropInterface);
}

OVCropController::~OVCropController() = default;

QTextEdit* OVCropController::descriptionView() const
{
    return outlet<QTextEdit>(QStringLiteral("descriptionView"));
}

OVImageView* OVCropController::imageView() const
{
    return outlet<OVImageView>(QStringLiteral("imageView"));
}

OVCropView* OVCropController::cropView() const
{
    return outlet<OVCropView>(QStringLiteral("cropView"));
}

void OVCropController::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    if (auto* ok = outlet<OVButton>(QStringLiteral("okButton")))
        ok->setAction([this](OVButton*) { endSheet(true); });
    if (auto* cancel = outlet<OVButton>(QStringLiteral("cancelButton")))
        cancel->setAction([this](OVButton*) { endSheet(false); });
    if (m_pendingCropRect) {
        if (OVCropView* view = cropView())
            view->setCropRect(*m_pendingCropRect);
        m_pendingCropRect.reset();
    }
}

void OVCropController::setImage(const QImage& image)
{
    if (!isWindowLoaded())
        return;
    if (OVImageView* view = imageView())
        view->setImage(image);
    if (OVCropView* view = cropView())
        view->setActiveAreaRatio(image.height() > 0 ? double(image.width()) / image.height() : 0);
}

QImage OVCropController::image() const
{
    const OVImageView* view = imageView();
    return view ? view->image() : QImage();
}

void OVCropController::setCropRatio(double ratio)
{
    if (!isWindowLoaded())
        return;
    if (OVCropView* view = cropView())
        view->setCropRatio(ratio);
}

double OVCropController::cropRatio() const
{
    const OVCropView* view = cropView();
    return view ? view->cropRatio() : 1.0;
}

bool OVCropController::setDescriptionFile(const QString& path)
{
    QTextEdit* view = isWindowLoaded() ? descriptionView() : nullptr;
    if (!view)
        return false;
    QString error;
    view->document()->clear();
    if (!pf::RichText::readFile(path, view->document(), &error)) {
        pf::warning(QStringLiteral("Crop description %1 could not be read: %2").arg(path, error));
        view->document()->clear();
        return false;
    }
    return true;
}

pf::Rect OVCropController::cropRect() const
{
    if (const OVCropView* view = cropView())
        return view->cropRect();
    return m_pendingCropRect.value_or(pf::Rect(0, 0, 1, 1));
}

void OVCropController::setCropRect(const pf::Rect& rect)
{
    if (OVCropView* view = cropView())
        view->setCropRect(rect);
    else
        m_pendingCropRect = rect;
}

QRect OVCropController::pixelRectForCropRect(const pf::Rect& cropRect, QSize pictureSize)
{
    const double w = pictureSize.width(), h = pictureSize.height();
    if (w <= 0 || h <= 0)
        return QRect();
    const int left = int(std::clamp(std::floor(cropRect.minX() * w + 1e-6), 0.0, w));
    const int right = int(std::clamp(std::ceil(cropRect.maxX() * w - 1e-6), 0.0, w));
    // Unit coordinates grow upwards; image rows downwards.
    const int top = int(std::clamp(std::floor((1 - cropRect.maxY()) * h + 1e-6), 0.0, h));
    const int bottom = int(std::clamp(std::ceil((1 - cropRect.minY()) * h - 1e-6), 0.0, h));
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

void OVCropController::beginSheetForWindow(pf::Window* parent, std::function<void(bool)> completion)
{
    if (isSheetUp())
        endSheet(false);
    pf::Window* window = this->window();
    if (!window || !parent) {
        if (completion)
            completion(false);
        return;
    }
    m_sheetParent = parent;
    m_completion = std::move(completion);
    window->setFrame(
        parent->convertRectToScreen(pf::Rect(0, 0, parent->frame().width(), parent->contentHeight())));
    parent->addChildWindow(window);
    // Return and Escape are the dialog's wherever the keyboard is in the window it is modal to.
    window->installEventFilter(this);
    parent->installEventFilter(this);
    window->makeKeyAndOrderFront();
    window->setFocus(Qt::OtherFocusReason);
    if (OVCropView* view = cropView())
        view->updateTrackingAreas();
}

void OVCropController::endSheet(bool accepted)
{
    if (!isSheetUp())
        return;
    if (pf::Window* window = loadedWindow()) {
        window->removeEventFilter(this);
        if (m_sheetParent)
            m_sheetParent->removeChildWindow(window);
        window->orderOut();
    }
    if (m_sheetParent)
        m_sheetParent->removeEventFilter(this);
    pf::Window* parent = m_sheetParent;
    m_sheetParent = nullptr;
    if (parent)
        parent->makeKeyAndOrderFront();
    if (auto completion = std::move(m_completion)) {
        m_completion = nullptr;
        completion(accepted);
    }
}

bool OVCropController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isSheetUp()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            endSheet(key != Qt::Key_Escape);
            return true;
        }
    }
    return OVWindowController::eventFilter(watched, event);
}
