#include "Classes/Framework/Toolkit/OVGridItem.h"

#include "Classes/Framework/Toolkit/OVGridItemDelegate.h"
#include "Classes/Framework/Toolkit/OVGridItemOwner.h"
#include "Classes/Framework/Toolkit/OVGridLayout.h"
#include "Classes/Framework/Toolkit/OVVignetteLayer.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QCache>
#include <QDateTime>
#include <QDrag>
#include <QMimeData>
#include <QPainter>
#include <QTimeZone>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace {

const QColor kGlow(255, 255, 255);
const QColor kBorderGrey = QColor::fromRgbF(0.3686274509803922f, 0.3686274509803922f, 0.3686274509803922f, 1);
const QColor kShadow(0, 0, 0);
const QColor kTitleBackground = QColor::fromRgbF(0, 0, 0, 0.6f);
constexpr double kTitleHeight = 25;

OVGridItem::DragStarter& dragStarter()
{
    static OVGridItem::DragStarter starter;
    return starter;
}

// Numbers first, then strings, then dates; anything else last.
int tagKind(const QVariant& tag)
{
    switch (tag.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        return 0;
    case QMetaType::QString:
        return 1;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return 2;
    default:
        return 3;
    }
}

// What an item's picture, scaled to its cell, looks like: drawn again only when one of these changes.
struct PictureKey
{
    qint64 image;
    pf::Size size;
    double itemBorder, borderWidth, opacity;
    pf::Rect stretch;
    int gravity;
    bool aspectFit, upscale, borderedImage;
    std::optional<QRgb> borderColour;
    QPainter::RenderHints hints;
    // Where on the device only as far as it changes the drawing: moved by whole pixels, it is the same.
    QSize pixels;
    QPointF phase;
    double ratio;
    bool yUp;
    bool operator==(const PictureKey&) const = default;
};

struct CachedPicture
{
    PictureKey key;
    QImage picture;
};

// The scaled pictures of the items shown, by item, within a budget (in KiB) that holds several
// screenfuls at two pixels per point; an item that has to draw again (or was let go) draws itself.
QCache<quint64, CachedPicture>& pictureCache()
{
    static auto* cache = new QCache<quint64, CachedPicture>(96 * 1024);
    return *cache;
}

quint64 nextPictureSerial()
{
    static quint64 serial = 0;
    return ++serial;
}

QDateTime asDateTime(const QVariant& tag)
{
    if (tag.metaType().id() == QMetaType::QDate)
        return tag.toDate().startOfDay(QTimeZone::utc());
    return tag.toDateTime();
}

} // namespace

OVGridItem::OVGridItem(unsigned settings, QWidget* parent)
    : OVImageView(pf::Rect(0, 0, 100, 100), parent), m_settings(settings),
      m_pictureSerial(nextPictureSerial())
{
    m_extras = new pf::LayerHostView(bounds());
    m_extras->setTransparentForMouse(true);
    m_extras->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    addSubview(m_extras);

    const pf::Transaction::Scope scope(true);
    const auto& root = m_extras->layer();
    // The remove and pin buttons: hidden until the pointer comes, pinned to their top corner.
    auto buttonLayer = [this](unsigned mask, const pf::Rect& frame, QString* imageName,
                              const QString& image) {
        auto layer = pf::Layer::create();
        layer->setContentsGravity(pf::ContentsGravity::Center);
        layer->setAutoresizingMask(mask | pf::Layer::MinYMargin);
        layer->setFrame(frame);
        setButtonImage(layer.get(), imageName, image);
        layer->setOpacity(0);
        return layer;
    };
    if (settings & Remove)
        m_removeLayer = buttonLayer(pf::Layer::MaxXMargin, pf::Rect(5, 75, 20, 20), &m_removeImageName,
                                    QStringLiteral("GridItemRemove"));
    if (settings & Pin)
        m_pinLayer = buttonLayer(pf::Layer::MinXMargin, pf::Rect(66, 75, 29, 20), &m_pinImageName,
                                 QStringLiteral("GridItemPin"));
    if (settings & Title) {
        m_titleLayer = pf::Layer::create();
        m_titleLayer->setContentsGravity(pf::ContentsGravity::ResizeAspect);
        m_titleLayer->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::MaxYMargin);
        m_titleLayer->setBackgroundColor(kTitleBackground);
        m_titleLayer->setFrame(pf::Rect(0, 0, 100, kTitleHeight));
    }
    m_selectable = settings & Selectable;
    m_executable = settings & Executable;
    m_titleAlways = settings & TitleAlways;
    if (m_titleLayer && !m_titleAlways)
        m_titleLayer->setOpacity(0);
    setupVisuals();
    setAutoresizingMask(pf::View::MaxXMargin | pf::View::MinYMargin);
    // Most items rest with every extra faded out: a screenful of hosts then costs no painting.
    m_extras->setHidesWhileNothingShows(true);
    (void)root;
}

OVGridItem::~OVGridItem()
{
    pictureCache().remove(m_pictureSerial);
}

pf::TextAttributes OVGridItem::titleAttributes() const
{
    pf::TextAttributes attributes;
    attributes.font = pf::fontNamed(QStringLiteral("Lucida Grande"), 10);
    attributes.color = QColor::fromRgbF(0.777f, 0.777f, 0.777f, 1);
    return attributes;
}

OVGridItem* OVGridItem::gridItemWithImage(const QImage& image, const QString& title, const QVariant& context,
                                          unsigned settings)
{
    return makeItem<OVGridItem>(image, title, context, settings);
}

void OVGridItem::setupInRect(const pf::Rect& cell, bool animated)
{
    if (image().isNull())
        return;
    const pf::Rect frame = OVGridLayout::fitted(cell, m_aspectRatio);
    if (animated) {
        setupVisuals();
        ViewORVExtension::viewAnimator(this, true).setFrame(frame);
    } else {
        setFrame(frame);
    }
}

void OVGridItem::setupVisuals()
{
    bool frameless;
    if (m_style == 1)
        frameless = true;
    else if (m_style == 0)
        frameless = !image().isNull() && image().hasAlphaChannel();
    else
        frameless = false;
    // A selected item keeps its glow border until it is deselected.
    if (!m_selected)
        m_itemBorderWidth = frameless ? 0 : 1;
    if (m_titleLayer && m_style == 0) {
        const pf::Transaction::Scope scope(true);
        m_titleLayer->setHidden(frameless);
    }
    if (m_style != 1)
        m_shadowColor = m_selected ? kGlow : kShadow;
    // The extras lie above the selection vignette.
    const auto& root = m_extras->layer();
    for (const auto& layer : {m_titleLayer, m_removeLayer, m_pinLayer})
        if (layer)
            root->addSublayer(layer);
    setNeedsDisplay();
    tellContainer();
}

void OVGridItem::setImage(const QImage& newImage)
{
    OVImageView::setImage(newImage);
    if (!image().isNull()) {
        m_aspectRatio = double(image().width()) / image().height();
        setupVisuals();
    }
}

void OVGridItem::setTitle(const QString& title)
{
    if (title == m_title && !m_title.isNull())
        return;
    m_title = title;
    if (title.isNull() || !m_titleLayer)
        return;
    const pf::AttributedString text(title, titleAttributes());
    const pf::Size measured = text.sizeForWidth(1000);
    if (measured.width <= 0)
        return;
    const double w = bounds().width();
    const pf::Transaction::Scope scope(true);
    m_titleLayer->setBounds(pf::Rect(0, 0, w, kTitleHeight));
    m_titleLayer->setPosition(pf::Point(w / 2, kTitleHeight / 2));
    // Drawn at twice the size so that the text stays sharp on high-resolution screens; the strip scales
    // its contents to fit with the aspect kept, so a title wider than the item shrinks rather than cut.
    const double scale = 2;
    QImage strip(int(std::ceil(measured.width * scale)), int(kTitleHeight * scale),
                 QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    {
        QPainter painter(&strip);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        // A y-up painter over the strip, as the drawing helpers expect.
        painter.translate(0, strip.height());
        painter.scale(scale, -scale);
        text.drawInRect(painter, pf::Rect(0, -5.5, measured.width, kTitleHeight));
    }
    strip.setDevicePixelRatio(scale);
    m_titleLayer->setContents(strip);
    m_titleLayer->setContentsScale(scale);
}

void OVGridItem::setBadge(pf::View* badge)
{
    if (!ViewORVExtension::replaceOwnedView(m_badge, badge))
        return;
    if (!badge)
        return;
    const pf::Rect b = badge->frame();
    const pf::Rect own = bounds();
    badge->setFrameOrigin(
        pf::Point(b.minX() + own.width() - b.width(), b.minY() + own.height() - b.height()));
    badge->setAutoresizingMask(pf::View::MinXMargin | pf::View::MinYMargin);
    addSubview(badge);
}

bool OVGridItem::isComparableTag(const QVariant& tag)
{
    return tag.isValid() && tagKind(tag) < 3;
}

int OVGridItem::compareTags(const QVariant& a, const QVariant& b)
{
    const int ka = isComparableTag(a) ? tagKind(a) : 3;
    const int kb = isComparableTag(b) ? tagKind(b) : 3;
    if (ka != kb)
        return ka < kb ? -1 : 1;
    switch (ka) {
    case 0: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case 1: {
        const int c = a.toString().compare(b.toString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case 2: {
        const QDateTime x = asDateTime(a), y = asDateTime(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    default:
        return 0;
    }
}

void OVGridItem::setContext(const QVariant& context)
{
    m_context = context;
    emit contextChanged();
}

void OVGridItem::setSortTag(const QVariant& tag)
{
    if (tag == m_sortTag && tag.metaType() == m_sortTag.metaType())
        return;
    m_sortTag = tag;
    if (tag.isValid() && !isComparableTag(tag)) {
        QString shown;
        QDebug(&shown).noquote() << tag;
        pf::warning(
            QStringLiteral("SortTag does not respond to selector 'compare:' (Object: %1)").arg(shown));
    }
}

void OVGridItem::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    const pf::Transaction::Scope scope(true);
    if (selected) {
        m_selectionLayer = OVVignetteLayer::create(Qt::black, 0.95, 3.0);
        m_selectionLayer->setFrame(m_extras->layer()->bounds());
        m_selectionLayer->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
        m_extras->layer()->insertSublayer(m_selectionLayer, 0);
        m_shadowColor = kGlow;
        m_itemBorderWidth = 3;
    } else {
        if (m_selectionLayer)
            m_selectionLayer->removeFromSuperlayer();
        m_selectionLayer.reset();
        if (m_style != 1) {
            m_shadowColor = kShadow;
            m_itemBorderWidth = 1;
        } else {
            m_shadowColor.reset();
            m_itemBorderWidth = 0;
        }
    }
    setNeedsDisplay();
    tellContainer();
    if (OVGridItemDelegate* owner = delegate())
        owner->gridItemWasSelected(this);
}

void OVGridItem::setStyle(int style)
{
    m_style = style;
    if (style == 1)
        m_shadowColor.reset();
    setupVisuals();
}

bool OVGridItem::setOwner(QObject* owner)
{
    if (owner == m_owner)
        return true;
    const QPointer<QObject> before = m_owner;
    m_owner = owner;
    auto* previous = dynamic_cast<OVGridItemOwner*>(before.data());
    if (!previous)
        return true;
    const QPointer<OVGridItem> self(this);
    previous->gridItemWasTaken(this);
    return self;
}

void OVGridItem::setDelegate(OVGridItemDelegate* delegate)
{
    if (delegate == this->delegate())
        return;
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->gridItemDelegateLifetime() : std::weak_ptr<const void>();
    updateTrackingAreas();
}

QMimeData* OVGridItem::mimeDataForContext(const QVariant& context)
{
    auto* data = new QMimeData;
    if (context.metaType().id() == QMetaType::QString) {
        const QString path = context.toString();
        data->setText(path);
        data->setUrls({QUrl::fromLocalFile(path)});
    } else if (context.metaType().id() == QMetaType::QUrl) {
        data->setUrls({context.toUrl()});
    } else if (context.metaType().id() == QMetaType::QByteArray) {
        data->setData(QStringLiteral("application/octet-stream"), context.toByteArray());
    } else if (context.canConvert<QString>()) {
        data->setText(context.toString());
    }
    return data;
}

Qt::DropActions OVGridItem::draggingSourceOperationMask(bool local)
{
    return local ? Qt::CopyAction : Qt::IgnoreAction;
}

void OVGridItem::setDragStarterForTesting(DragStarter starter)
{
    dragStarter() = std::move(starter);
}

void OVGridItem::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    // The picture is scaled with filtering, which costs far more than copying it: it is drawn once at
    // the device's pixels (with its border) and copied until the picture, its look, the item's size,
    // its place within a device pixel or the pixel ratio change.
    const pf::DevicePlacement placement = pf::devicePlacement(painter, bounds());
    if (!placement.valid || !ciImage().isNull() || viewShadow()) {
        drawPicture(painter, dirtyRect);
        return;
    }
    const std::optional<QColor> border = borderColor();
    PictureKey key{image().isNull() ? 0 : image().cacheKey(),
                   bounds().size,
                   m_itemBorderWidth,
                   borderWidth(),
                   opacity(),
                   stretchRect(),
                   gravity(),
                   aspectFit(),
                   upscaleIfNeeded(),
                   borderedImage(),
                   border ? std::optional<QRgb>(border->rgba()) : std::nullopt,
                   painter.renderHints(),
                   placement.pixels.size(),
                   placement.phase,
                   placement.ratio,
                   placement.yUp};
    CachedPicture* cached = pictureCache().object(m_pictureSerial);
    if (!cached || !(cached->key == key)) {
        QImage picture =
            pf::renderAtDevicePixels(painter, placement, [&](QPainter& p) { drawPicture(p, dirtyRect); });
        const qsizetype cost = std::max<qsizetype>(1, picture.sizeInBytes() / 1024);
        pictureCache().insert(m_pictureSerial, new CachedPicture{key, std::move(picture)}, cost);
        cached = pictureCache().object(m_pictureSerial);
        if (!cached) {
            drawPicture(painter, dirtyRect);
            return;
        }
    }
    pf::copyAtDevicePixels(painter, cached->picture, placement);
}

void OVGridItem::drawPicture(QPainter& painter, const pf::Rect& dirtyRect)
{
    OVImageView::drawRect(painter, dirtyRect);
    if (m_itemBorderWidth > 0) {
        // Inside the bounds, as a layer's border lies: four bands that do not overlap, filled (a stroked
        // outline costs as much as the picture, and a screenful of items is repainted on every layout).
        const pf::Rect b = bounds();
        const double w = std::min({double(m_itemBorderWidth), b.width() / 2, b.height() / 2});
        const double inner = b.height() - 2 * w;
        for (const pf::Rect& band :
             {pf::Rect(b.minX(), b.minY(), b.width(), w), pf::Rect(b.minX(), b.maxY() - w, b.width(), w),
              pf::Rect(b.minX(), b.minY() + w, w, inner), pf::Rect(b.maxX() - w, b.minY() + w, w, inner)})
            if (!band.isEmpty())
                painter.fillRect(band.toQRectF(), kBorderGrey);
    }
}

void OVGridItem::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    OVImageView::resizeSubviewsWithOldSize(oldSize);
    layoutExtras();
}

void OVGridItem::layoutExtras()
{
    const double w = bounds().width(), h = bounds().height();
    const pf::Transaction::Scope scope(true);
    if (m_removeLayer)
        m_removeLayer->setFrame(pf::Rect(5, h - 25, 20, 20));
    if (m_pinLayer)
        m_pinLayer->setFrame(pf::Rect(w - 34, h - 25, 29, 20));
    if (m_titleLayer)
        m_titleLayer->setFrame(pf::Rect(0, 0, w, kTitleHeight));
    if (m_selectionLayer)
        m_selectionLayer->setFrame(m_extras->layer()->bounds());
}

void OVGridItem::viewDidMoveToWindow()
{
    OVImageView::viewDidMoveToWindow();
    setupVisuals();
}

void OVGridItem::updateTrackingAreas()
{
    if (!delegate()) {
        if (m_fullTracking)
            removeTrackingArea(m_fullTracking);
        m_fullTracking = nullptr;
        return;
    }
    // The area follows the visible rectangle by itself, so a move or a new size keeps it: a grid
    // moves a thousand items at a time.
    if (!m_fullTracking)
        m_fullTracking = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(),
            pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::MouseMoved |
                pf::TrackingArea::ActiveAlways | pf::TrackingArea::InVisibleRect,
            this));
    // An item that moved under a still pointer looks it now, not at the next movement; its delegate,
    // which may delete it or the grid laying it out, hears of it at the next turn.
    if (!window() || isHidden())
        return;
    const pf::Point p = convertPointFromScreen(pf::Event::mouseLocation());
    if (setHoverLook(bounds().contains(p)))
        ViewORVExtension::atNextTurn(this, m_hoverReportPending, [this] { reportHover(); });
}

void OVGridItem::setButtonImage(pf::Layer* layer, QString* current, const QString& name)
{
    if (!layer || *current == name)
        return;
    *current = name;
    const QImage image = pf::NamedImage::image(name);
    const pf::Transaction::Scope scope(true);
    layer->setContents(image);
    layer->setContentsScale(image.isNull() ? 1.0 : image.devicePixelRatio());
}

void OVGridItem::updatePointerFeedback(const pf::Event& event)
{
    const pf::Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const pf::Rect removeFrame = m_removeLayer ? m_removeLayer->frame() : pf::Rect();
    const pf::Rect pinFrame = m_pinLayer ? m_pinLayer->frame() : pf::Rect();
    const bool strict = buttonsNeedPressOnThem();
    if (m_removeLayer && removeFrame.contains(p)) {
        m_hoverRemove = true;
        const bool pressed = m_mouseDown && (!strict || m_pressedOnRemove);
        setButtonImage(m_removeLayer.get(), &m_removeImageName,
                       pressed ? QStringLiteral("GridItemRemoveDown")
                               : QStringLiteral("GridItemRemoveHover"));
    } else if (m_hoverRemove) {
        m_hoverRemove = false;
        setButtonImage(m_removeLayer.get(), &m_removeImageName, QStringLiteral("GridItemRemove"));
    }
    if (m_pinLayer && pinButtonActive() && pinFrame.contains(p)) {
        m_hoverPin = true;
        QString name = m_pinned ? QStringLiteral("GridItemPinSet") : QStringLiteral("GridItemPin");
        const bool pressed = m_mouseDown && (!strict || m_pressedOnPin);
        name += pressed ? QStringLiteral("Down") : QStringLiteral("Hover");
        setButtonImage(m_pinLayer.get(), &m_pinImageName, name);
    } else if (m_hoverPin) {
        m_hoverPin = false;
        setButtonImage(m_pinLayer.get(), &m_pinImageName,
                       m_pinned ? QStringLiteral("GridItemPinSet") : QStringLiteral("GridItemPin"));
    }
}

void OVGridItem::mouseMoved(const pf::Event& event)
{
    updatePointerFeedback(event);
}

void OVGridItem::mouseDown(const pf::Event& event)
{
    if (!delegate()) {
        OVImageView::mouseDown(event);
        return;
    }
    m_mouseDown = true;
    m_mouseDownPoint = convertPointFromView(event.locationInWindow(), nullptr);
    m_mouseDownEvent = event;
    m_pressedOnRemove = m_removeLayer && m_removeLayer->frame().contains(m_mouseDownPoint);
    m_pressedOnPin = m_pinLayer && pinButtonActive() && m_pinLayer->frame().contains(m_mouseDownPoint);
    updatePointerFeedback(event);
}

void OVGridItem::mouseDragged(const pf::Event& event)
{
    const pf::Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const double distance = std::hypot(p.x - m_mouseDownPoint.x, p.y - m_mouseDownPoint.y);
    if (dragsContext() && !m_hoverPin && !m_hoverRemove && distance > dragThreshold) {
        startDrag(event);
        return;
    }
    if (delegate())
        updatePointerFeedback(event);
    else
        OVImageView::mouseDragged(event);
}

void OVGridItem::startDrag(const pf::Event& event)
{
    QMimeData* data = mimeDataForContext(m_context);
    const QImage picture = image();
    const pf::Point p = convertPointFromView(event.locationInWindow(), nullptr);
    const pf::Point origin(p.x - picture.width() / picture.devicePixelRatio() / 2,
                           p.y - picture.height() / picture.devicePixelRatio() / 2);
    // A drag ends the press here: the platform's drag loop takes the release.
    m_mouseDown = false;
    if (dragStarter()) {
        dragStarter()(this, data, picture, origin);
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    if (!picture.isNull()) {
        const QImage shown = picture.scaled(std::min(picture.width(), 256), std::min(picture.height(), 256),
                                            Qt::KeepAspectRatio, Qt::SmoothTransformation);
        drag->setPixmap(QPixmap::fromImage(shown));
        drag->setHotSpot(QPoint(shown.width() / 2, shown.height() / 2));
    }
    drag->exec(draggingSourceOperationMask(true));
}

void OVGridItem::mouseUp(const pf::Event& event)
{
    if (!delegate()) {
        OVImageView::mouseUp(event);
        return;
    }
    // The delegate may remove the item; it is then deleted later, never inside this handler.
    const QPointer<OVGridItem> guard(this);
    // With strict buttons a press that began on a button and ended elsewhere, or the reverse, does
    // nothing at all.
    const bool strict = buttonsNeedPressOnThem();
    const bool cancelled = strict && (m_pressedOnRemove != m_hoverRemove || m_pressedOnPin != m_hoverPin);
    if (!cancelled) {
        if (m_hoverRemove) {
            delegate()->gridItemShouldRemove(this);
        } else if (m_hoverPin) {
            m_pinned = !m_pinned;
            delegate()->gridItemChangedPinState(this, m_pinned);
            if (guard)
                updatePointerFeedback(event);
        } else if (event.clickCount() == 1 && m_selectable) {
            setSelected(!m_selected);
        } else if (m_executable && executesOnRelease(event)) {
            delegate()->gridItemWasExecuted(this);
        }
    }
    if (guard) {
        m_mouseDown = false;
        m_pressedOnRemove = m_pressedOnPin = false;
        // The button drawn pressed comes back to its hover look.
        if (strict)
            updatePointerFeedback(event);
    }
}

void OVGridItem::mouseEntered(const pf::Event&)
{
    // The item may look it already, when it moved under a still pointer.
    setHoverLook(true);
    reportHover();
}

void OVGridItem::mouseExited(const pf::Event&)
{
    setHoverLook(false);
    reportHover();
}

bool OVGridItem::setHoverLook(bool hovered)
{
    if (hovered == m_hovered)
        return false;
    m_hovered = hovered;
    const pf::Transaction::Scope scope;
    if (hovered) {
        for (const auto& layer : {m_removeLayer, m_titleLayer})
            if (layer)
                layer->setOpacity(1);
        if (m_pinLayer && pinButtonActive())
            m_pinLayer->setOpacity(1);
    } else {
        if (m_titleLayer && !m_titleAlways)
            m_titleLayer->setOpacity(0);
        for (const auto& layer : {m_pinLayer, m_removeLayer})
            if (layer)
                layer->setOpacity(0);
    }
    return true;
}

void OVGridItem::reportHover()
{
    if (m_reportedHover == m_hovered)
        return;
    m_reportedHover = m_hovered;
    if (OVGridItemDelegate* owner = delegate())
        owner->gridItemChangedHoverState(this, m_hovered);
}

void OVGridItem::tellContainer()
{
    QWidget* container = parentWidget();
    if (!container)
        return;
    const int grow = int(shadowRadius * 2 + 4);
    const QRect now = geometry().adjusted(-grow, -grow, grow, grow);
    // The place the shadow was painted last and the new one both need painting.
    container->update(m_shadowArea.isNull() ? now : now.united(m_shadowArea));
    m_shadowArea = now;
}

void OVGridItem::moveEvent(QMoveEvent* event)
{
    tellContainer();
    OVImageView::moveEvent(event);
}

void OVGridItem::resizeEvent(QResizeEvent* event)
{
    tellContainer();
    OVImageView::resizeEvent(event);
}

void OVGridItem::paintEvent(QPaintEvent* event)
{
    // Fading changes only the item's own painting; its shadow in the container follows here.
    const double alpha = effectiveAlphaValue();
    if (alpha != m_paintedAlpha) {
        m_paintedAlpha = alpha;
        tellContainer();
    }
    OVImageView::paintEvent(event);
}
