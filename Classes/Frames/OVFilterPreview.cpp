#include "Classes/Frames/OVFilterPreview.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Drawing.h"

#include <QFileInfo>
#include <QPainter>
#include <cmath>

namespace {

const QString bindPrefix = QStringLiteral("bind.");
const QString filterPrefix = QStringLiteral("filter.");

bool hasArea(const pf::Rect& rect)
{
    return !rect.isNull() && !rect.isInfinite() && std::isfinite(rect.width()) &&
           std::isfinite(rect.height()) && rect.width() > 0 && rect.height() > 0;
}

QString imagePath(const QString& name)
{
    const pf::Bundle& bundle = pf::Bundle::main();
    const QFileInfo info(name);
    const QString folder = name.contains(u'/') ? info.path() : QString();
    const QString file = info.fileName();
    if (QString path = bundle.pathForResource(file, {}, folder); !path.isEmpty() && QFileInfo(path).isFile())
        return path;
    for (const char* type : {"png", "jpg", "jpeg", "tif", "tiff"}) {
        if (QString path = bundle.pathForResource(file, QString::fromLatin1(type), folder); !path.isEmpty())
            return path;
    }
    return {};
}

} // namespace

OVFilterPreview::OVFilterPreview(const pf::Rect& frame) : pf::View(frame) {}

OVFilterPreview::~OVFilterPreview() = default;

void OVFilterPreview::setFilterName(const QString& name)
{
    m_filterName = name;
    pf::FilterPtr filter = pf::Filter::isRegistered(name) ? pf::Filter::create(name) : nullptr;
    if (!filter)
        pf::log(QStringLiteral("Warning: no filter named %1 to preview").arg(name));
    setFilter(filter);
    if (m_filter)
        m_filter->setDefaults();
}

void OVFilterPreview::setFilter(pf::FilterPtr filter)
{
    m_filter = std::move(filter);
    loadImage();
    setNeedsDisplay();
}

void OVFilterPreview::setImageName(const QString& name)
{
    m_imageName = name;
    loadImage();
}

void OVFilterPreview::setAdjustImage(bool adjust)
{
    m_adjustImage = adjust;
    if (m_filter && !m_inputImage.isNull())
        adaptInput();
}

void OVFilterPreview::setAdjustResult(bool adjust)
{
    m_adjustResult = adjust;
    setNeedsDisplay();
}

void OVFilterPreview::setValueForKeyPath(const QString& path, const QVariant& value)
{
    if (path.size() >= bindPrefix.size() + 1 && path.startsWith(bindPrefix)) {
        const QString defaultsKey = path.mid(bindPrefix.size());
        const QString inputKey = value.toString();
        m_bindings.insert(defaultsKey, inputKey);
        // A later change of the default reaches the filter by the same route a key path takes.
        m_bindingTokens.push_back(
            pf::UserDefaults::standard().observe(defaultsKey, [this, inputKey](const QVariant& newValue) {
                setValueForKeyPath(filterPrefix + inputKey, newValue);
            }));
        return;
    }
    setValueForKey(path, value);
}

void OVFilterPreview::setValueForKey(const QString& key, const QVariant& value)
{
    if (key.size() >= filterPrefix.size() + 1 && key.startsWith(filterPrefix)) {
        if (m_filter)
            m_filter->setValue(value, key.mid(filterPrefix.size()));
        setNeedsDisplay();
        return;
    }
    setPropertyNamed(key, value);
}

void OVFilterPreview::setPropertyNamed(const QString& key, const QVariant& value)
{
    if (key == QLatin1String("filterName"))
        setFilterName(value.toString());
    else if (key == QLatin1String("imageName"))
        setImageName(value.toString());
    else if (key == QLatin1String("adjustImage"))
        setAdjustImage(value.toBool());
    else if (key == QLatin1String("adjustResult"))
        setAdjustResult(value.toBool());
    else
        pf::log(QStringLiteral("Warning: OVFilterPreview has no key %1").arg(key));
}

void OVFilterPreview::awakeFromNib()
{
    for (auto it = m_bindings.begin(); it != m_bindings.end(); ++it) {
        const QVariant value = pf::UserDefaults::standard().value(it.key());
        if (m_filter && value.isValid())
            m_filter->setValue(value, it.value());
    }
    setNeedsDisplay();
}

void OVFilterPreview::loadImage()
{
    if (m_imageName.isEmpty() || !m_filter)
        return;
    const QString path = imagePath(m_imageName);
    m_inputImage = path.isEmpty() ? pf::Image() : pf::Image::fromFile(path);
    if (m_inputImage.isNull())
        pf::log(QStringLiteral("Warning: no sample picture %1 for the filter preview").arg(m_imageName));
    adaptInput();
}

void OVFilterPreview::adaptInput()
{
    if (!m_filter)
        return;
    pf::Image input = m_inputImage;
    if (m_adjustImage && !input.isNull()) {
        const pf::Rect extent = input.extent();
        const pf::Rect view = bounds();
        // Without an area on either side there is no finite scale: the sample stays as it is.
        if (hasArea(extent) && hasArea(view))
            input = input.imageByApplyingTransform(
                pf::AffineTransform::scale(view.width() / extent.width(), view.height() / extent.height()));
    }
    m_filter->setValue(QVariant::fromValue(input), QStringLiteral("inputImage"));
    setNeedsDisplay();
}

void OVFilterPreview::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    pf::View::resizeSubviewsWithOldSize(oldSize);
    if (m_filter && !m_inputImage.isNull())
        adaptInput();
}

pf::Image OVFilterPreview::outputImage() const
{
    if (!m_filter || m_filter->value(QStringLiteral("inputImage")).value<pf::Image>().isNull())
        return {};
    return m_filter->outputImage();
}

void OVFilterPreview::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    pf::View::drawRect(painter, dirtyRect);
    const pf::Rect area = bounds();
    const pf::Image output = outputImage();
    if (!output.isNull() && hasArea(area)) {
        const pf::Rect extent = output.extent();
        pf::Image shown = output;
        pf::Rect source = m_adjustResult && hasArea(extent) ? extent : area;
        // An output far larger than the view is made small first, not rendered whole to be shrunk.
        if (source.width() > 4 * area.width() || source.height() > 4 * area.height()) {
            shown = output.imageByApplyingTransform(
                pf::AffineTransform::translation(-source.minX(), -source.minY())
                    .concatenated(pf::AffineTransform::scale(area.width() / source.width(),
                                                             area.height() / source.height())));
            source = pf::Rect(0, 0, area.width(), area.height());
        }
        const QImage pixels = pf::RenderContext::shared()->renderToQImage(shown, source);
        if (!pixels.isNull())
            pf::drawImage(painter, pixels, area);
    }
    // The 1-point frame line along the bounds, as whole pixels: a stroked rectangle leaves its corners
    // partly covered under antialiasing.
    const double w = area.width(), h = area.height();
    for (const pf::Rect& edge :
         {pf::Rect(0, 0, w, 1), pf::Rect(0, h - 1, w, 1), pf::Rect(0, 0, 1, h), pf::Rect(w - 1, 0, 1, h)})
        painter.fillRect(edge.offsetBy(area.minX(), area.minY()).toQRectF(), Qt::black);
}
