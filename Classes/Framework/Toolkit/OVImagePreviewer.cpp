#include "Classes/Framework/Toolkit/OVImagePreviewer.h"

#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/Framework/OVImageWriter.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

unsigned long namedPreviews = 0;

// The window: the picture over a dark ground and a row of four buttons below it.
pf::Interface previewerInterface(QObject*, const pf::Bundle&)
{
    auto* window = new pf::Window(pf::Rect(200, 200, 520, 440));
    window->setTitle(QStringLiteral("Image Previewer"));
    window->setBackgroundColor(QColor(38, 40, 44));
    pf::View* content = window->contentView();
    auto* imageView = new OVImageView(pf::Rect(10, 46, 500, 384));
    imageView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    // Centred and fitted inside, so the whole picture shows whatever its shape.
    imageView->setGravity(0);
    imageView->setAspectFit(true);
    content->addSubview(imageView);
    pf::Interface interface =
        OVToolkitInterfaces::interfaceWithOutlets(window, {{"window", window}, {"imageView", imageView}});
    struct ButtonSpec
    {
        const char* outlet;
        const char* title;
        double x;
    };
    const ButtonSpec specs[] = {{"previousButton", "Previous", 10},
                                {"nextButton", "Next", 110},
                                {"clearButton", "Clear", 310},
                                {"saveButton", "Save…", 410}};
    for (const ButtonSpec& spec : specs) {
        auto* button = new OVButton(pf::Rect(spec.x, 10, 100, 26));
        button->setName(QStringLiteral("DefaultStyle"));
        button->setTitle(QString::fromUtf8(spec.title));
        button->setAutoresizingMask(QByteArray(spec.outlet).startsWith("previous") ||
                                            QByteArray(spec.outlet).startsWith("next")
                                        ? pf::View::MaxXMargin
                                        : pf::View::MinXMargin);
        content->addSubview(button);
        interface.outlets.insert(QString::fromLatin1(spec.outlet), button);
    }
    return interface;
}

void registerInterface()
{
    OVToolkitInterfaces::registerIfMissing(QStringLiteral("OVImagePreviewer"), previewerInterface);
}

QString withoutExtension(const QString& name)
{
    const int dot = name.lastIndexOf(u'.');
    const int slash = name.lastIndexOf(u'/');
    return dot > slash && dot > 0 ? name.left(dot) : name;
}

} // namespace

OVImagePreviewer::OVImagePreviewer()
{
    registerInterface();
    pf::UserDefaults& defaults = pf::UserDefaults::standard();
    defaults.registerDefaults({{historySizeKey, 10}});
    setHistorySize(unsigned(std::max<qint64>(0, defaults.integerForKey(historySizeKey))));
}

OVImagePreviewer& OVImagePreviewer::sharedImagePreviewer()
{
    static OVImagePreviewer* shared = new OVImagePreviewer();
    return *shared;
}

unsigned long OVImagePreviewer::namedPreviewCount()
{
    return namedPreviews;
}

QString OVImagePreviewer::showNSImage(const QImage& image, const QString& name)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        pf::warning(QStringLiteral("Previewing %1 image with name %2")
                        .arg(image.isNull() ? QStringLiteral("null") : QStringLiteral("empty"), name));
        return QString();
    }
    QString given;
    if (!name.isEmpty())
        given = QStringLiteral("%1.Previewer%2").arg(name).arg(++namedPreviews);
    sharedImagePreviewer().addImage(image, given);
    return given;
}

QString OVImagePreviewer::showCGImage(const pf::Bitmap& bitmap, const QString& name)
{
    if (bitmap.isNull() || bitmap.width() == 0 || bitmap.height() == 0) {
        pf::warning(QStringLiteral("Previewing Null image with name %1").arg(name));
        return QString();
    }
    return showNSImage(bitmap.toQImage(), name);
}

QString OVImagePreviewer::showCIImage(const pf::Image& image, const QString& name)
{
    const pf::Rect extent = image.isNull() ? pf::Rect() : image.extent();
    if (image.isNull() || extent.isInfinite() || !(extent.width() > 0) || !(extent.height() > 0)) {
        pf::warning(QStringLiteral("Previewing %1 image with name %2")
                        .arg(image.isNull() ? QStringLiteral("null") : QStringLiteral("empty"), name));
        return QString();
    }
    return showCGImage(ORVExtension::newCGImage(image), name);
}

QString OVImagePreviewer::showLayer(pf::Layer* layer, const QString& name)
{
    if (!layer) {
        pf::warning(QStringLiteral("Previewing null layer with name %1").arg(name));
        return QString();
    }
    const int width = int(layer->bounds().width()), height = int(layer->bounds().height());
    if (width <= 0 || height <= 0)
        return showCGImage(pf::Bitmap(), name);
    const QImage picture = pf::LayerRenderer::renderRectToImage(
        *layer, pf::Rect(layer->bounds().minX(), layer->bounds().minY(), width, height), 1, false);
    return showNSImage(picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied), name);
}

QString OVImagePreviewer::showView(pf::View* view, const QString& name)
{
    if (!view) {
        pf::warning(QStringLiteral("Previewing null view with name %1").arg(name));
        return QString();
    }
    // The view draws itself and its subviews into a picture of its own size (at least one point).
    const pf::Rect b = view->bounds();
    QImage picture = view->snapshot(1);
    if (picture.isNull()) {
        picture = QImage(int(std::max(1.0, b.width())), int(std::max(1.0, b.height())),
                         QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
    }
    return showNSImage(picture, name);
}

OVImageView* OVImagePreviewer::imageView()
{
    window();
    return outlet<OVImageView>(QStringLiteral("imageView"));
}

void OVImagePreviewer::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    const auto connectButton = [this](const char* outletName, void (OVImagePreviewer::*action)()) {
        auto* button = outlet<OVButton>(QString::fromLatin1(outletName));
        if (button)
            button->setAction([this, action](OVButton*) { (this->*action)(); });
        return button;
    };
    if (OVButton* previous = connectButton("previousButton", &OVImagePreviewer::previousImage))
        connect(this, &OVImagePreviewer::hasPreviousChanged, previous, &QWidget::setEnabled);
    if (OVButton* next = connectButton("nextButton", &OVImagePreviewer::nextImage))
        connect(this, &OVImagePreviewer::hasNextChanged, next, &QWidget::setEnabled);
    connectButton("clearButton", &OVImagePreviewer::clearHistory);
    if (OVButton* saveButton = connectButton("saveButton", &OVImagePreviewer::save))
        connect(this, &OVImagePreviewer::canSaveChanged, saveButton, &QWidget::setEnabled);
    setIndex(m_index);
}

void OVImagePreviewer::addImage(const QImage& image, const QString& name)
{
    if (!isVisible())
        showWindow();
    m_history.push_back({image, name});
    setIndex(historyLength() - 1);
    checkHistorySize();
}

void OVImagePreviewer::checkHistorySize()
{
    if (m_history.size() > m_historySize) {
        const int removed = int(m_history.size() - m_historySize);
        m_history.erase(m_history.begin(), m_history.begin() + removed);
        setIndex(m_index - removed);
    } else {
        announce();
    }
}

void OVImagePreviewer::setIndex(int index)
{
    m_index = m_history.empty() ? 0 : std::clamp(index, 0, historyLength() - 1);
    if (isWindowLoaded()) {
        OVImageView* view = outlet<OVImageView>(QStringLiteral("imageView"));
        if (m_history.empty()) {
            if (view)
                view->setImage(QImage());
            window()->setTitle(QStringLiteral("Image Previewer"));
        } else {
            const Entry& entry = m_history[size_t(m_index)];
            if (view)
                view->setImage(entry.image);
            window()->setTitle(entry.name.isEmpty() ? QStringLiteral("Image Previewer: %1 x %2")
                                                          .arg(entry.image.width())
                                                          .arg(entry.image.height())
                                                    : QStringLiteral("Image Previewer (%1): %2 x %3")
                                                          .arg(withoutExtension(entry.name))
                                                          .arg(entry.image.width())
                                                          .arg(entry.image.height()));
        }
    }
    announce();
}

void OVImagePreviewer::announce()
{
    emit hasNextChanged(hasNext());
    emit hasPreviousChanged(hasPrevious());
    emit canSaveChanged(canSave());
}

void OVImagePreviewer::nextImage()
{
    setIndex(m_index + 1);
}

void OVImagePreviewer::previousImage()
{
    setIndex(m_index - 1);
}

void OVImagePreviewer::clearHistory()
{
    m_history.clear();
    setIndex(0);
}

void OVImagePreviewer::setHistorySize(unsigned size)
{
    m_historySize = std::max(1u, size);
    pf::UserDefaults::standard().setInteger(historySizeKey, m_historySize);
    checkHistorySize();
}

QImage OVImagePreviewer::currentImage() const
{
    return m_history.empty() ? QImage() : m_history[size_t(m_index)].image;
}

QString OVImagePreviewer::currentName() const
{
    return m_history.empty() ? QString() : m_history[size_t(m_index)].name;
}

void OVImagePreviewer::save()
{
    // With nothing shown there is nothing to save.
    if (m_history.empty())
        return;
    pf::FilePanel panel(pf::FilePanel::Kind::Save);
    panel.allowedFileTypes = {QStringLiteral("png")};
    panel.nameFieldStringValue = withoutExtension(currentName());
    if (!panel.runModal() || panel.path().isEmpty())
        return;
    QString path = panel.path();
    if (QFileInfo(path).suffix().toLower() != QLatin1String("png"))
        path += QStringLiteral(".png");
    QString error;
    if (OVImageWriter::saveImage(currentImage(), path, &error))
        return;
    pf::error(error);
    pf::Alert alert;
    alert.messageText = QStringLiteral("Could not save File");
    alert.informativeText = QStringLiteral("Failed writing the image '%1'. %2").arg(path, error);
    alert.style = pf::Alert::Style::Critical;
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
}
