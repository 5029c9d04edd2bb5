#include "Classes/Document/GMGridViewController.h"

#include "Classes/Document/GMGridItem.h"
#include "Classes/Document/GMGridViewDelegate.h"
#include "Classes/Framework/Toolkit/OVGridContainerView.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/OperationQueue.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/ScrollView.h"

#include <QImageReader>
#include <cmath>

namespace {

const QString kInterface = QStringLiteral("GMGridViewController");

pf::Interface gridInterface(QObject* owner, const pf::Bundle&)
{
    return OVToolkitInterfaces::gridWithoutShadows(owner);
}

// What a tile shows while its picture is read: a quiet card of the no-preview card's colour.
QImage blankCard()
{
    static const QImage card = [] {
        QImage image(200, 150, QImage::Format_RGB32);
        image.fill(QColor(0x2a, 0x2c, 0x31));
        return image;
    }();
    return card;
}

} // namespace

GMGridViewController::GMGridViewController(const pf::Bundle* bundle)
    : OVGridViewController(bundle, 0.0), m_readers(std::make_unique<pf::OperationQueue>(2))
{
    if (!pf::InterfaceRegistry::hasInterface(kInterface))
        pf::InterfaceRegistry::registerInterface(kInterface, gridInterface);
}

GMGridViewController::~GMGridViewController()
{
    // Reads still running finish here; their answers find no grid and are dropped.
    m_readers.reset();
}

unsigned GMGridViewController::addSectionWithSettings(quint64 settings, pf::View* background)
{
    if (sectionCount() >= maxSections) {
        // The caller must not fill a section that is not its own.
        pf::error(QStringLiteral("more then %1 sections").arg(maxSections));
        if (background && !background->parentWidget())
            background->deleteLater();
        return invalidSection;
    }
    return OVGridViewController::addSectionWithSettings(settings, background);
}

GMGridItem* GMGridViewController::addImage(const QImage& image, const QString& title, const QVariant& context,
                                           const QVariant& sortTag, unsigned section)
{
    if (section >= sectionCount()) {
        pf::warning(QStringLiteral("addImage: the grid has no section %1").arg(section));
        return nullptr;
    }
    GMGridItem* item =
        GMGridItem::gridItemWithImage(image, title, context, unsigned(settingsOfSection(section)));
    item->setSortTag(sortTag);
    addGridItem(item, section);
    return item;
}

GMGridItem* GMGridViewController::addImageAtPath(const QString& path, const QString& title,
                                                 const QVariant& context, const QVariant& sortTag,
                                                 unsigned section)
{
    // The tile it replaces lends its picture until the new one is read, so a refresh does not flicker.
    QImage interim = blankCard();
    if (GMGridItem* previous = gridItemForContext(context); previous && previous->hasPicture())
        interim = previous->image();
    GMGridItem* item = addImage(path.isEmpty() ? QImage() : interim, title, context, sortTag, section);
    if (!item || path.isEmpty())
        return item;
    const quint64 request = ++m_lastRequest;
    item->setPictureRequest(request);
    ++m_picturesPending;
    const QSize bound = pictureBound();
    m_readers->addOperation([guard = QPointer<GMGridViewController>(this), path, bound, request, context] {
        QString error;
        QImage image = readPicture(path, bound, &error);
        pf::runOnMain([guard, request, context, image = std::move(image), error] {
            if (guard)
                guard->pictureArrived(request, context, image, error);
        });
    });
    return item;
}

void GMGridViewController::pictureArrived(quint64 request, const QVariant& context, const QImage& image,
                                          const QString& error)
{
    --m_picturesPending;
    if (!error.isEmpty())
        pf::warning(error);
    GMGridItem* item = gridItemForContext(context);
    // A tile removed or replaced meanwhile waits for another picture, or for none.
    if (!item || item->pictureRequest() != request)
        return;
    item->setImage(image);
    setNeedsLayout(true);
}

GMGridItem* GMGridViewController::gridItemForContext(const QVariant& context) const
{
    return qobject_cast<GMGridItem*>(OVGridViewController::gridItemForContext(context));
}

QSize GMGridViewController::pictureBound() const
{
    // Twice the tile, for screens with two pixels to the point.
    return QSize(int(std::ceil(iconSize().width * 2)), int(std::ceil(iconSize().height * 2)));
}

QImage GMGridViewController::readPicture(const QString& path, QSize bound, QString* error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid() && (size.width() > bound.width() || size.height() > bound.height())) {
        // The reader scales before turning; a turned picture's bound is turned too.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        size.scale(turned ? bound.transposed() : bound, Qt::KeepAspectRatio);
        reader.setScaledSize(size);
    }
    QImage image = reader.read();
    if (image.isNull() && error)
        *error = QStringLiteral("the picture “%1” could not be read: %2").arg(path, reader.errorString());
    return image;
}

void GMGridViewController::refreshLayout(int mode)
{
    ++m_layoutPasses;
    OVGridViewController::refreshLayout(mode);
}

OVGridLayout::Parameters GMGridViewController::layoutParameters() const
{
    OVGridLayout::Parameters parameters = OVGridViewController::layoutParameters();
    parameters.spreadSpareWidth = false;
    return parameters;
}

void GMGridViewController::gridItemWasExecuted(OVGridItem* item)
{
    if (m_gridDelegate)
        m_gridDelegate->gridViewExecuteItemWithContext(this, item->context());
}

void GMGridViewController::gridItemWasSelected(OVGridItem* item)
{
    OVGridViewController::gridItemWasSelected(item);
    if (m_gridDelegate)
        m_gridDelegate->gridViewSelectedItemWithContext(this, selectedItem() ? selectedItem()->context()
                                                                             : QVariant());
}

void GMGridViewController::gridItemShouldRemove(OVGridItem* item)
{
    const QVariant context = item->context();
    if (m_gridDelegate && !m_gridDelegate->gridViewRemoveItemWithContext(this, context))
        return;
    // The owner may have taken the tile out itself.
    const auto [s, i] = indexForObjectWithContext(context);
    if (s != notFound && gridItemsInSection(s).value(int(i)) == item)
        removeItemAtIndex(s, i, false);
}

void GMGridViewController::gridItemChangedPinState(OVGridItem* item, bool pinned)
{
    if (m_gridDelegate)
        m_gridDelegate->gridViewChangedPinForItemWithContext(this, pinned, item->context());
}

void GMGridViewController::gridItemChangedHoverState(OVGridItem* item, bool hovered)
{
    if (m_gridDelegate)
        m_gridDelegate->gridViewHoveringForItemWithContext(this, hovered, item->context());
}
