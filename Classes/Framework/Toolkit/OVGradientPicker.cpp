#include "Classes/Framework/Toolkit/OVGradientPicker.h"

#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Beep.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Window.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <algorithm>
#include <cmath>

namespace {

const QString stopName = QStringLiteral("ColorStop");
const QString selectedStopName = QStringLiteral("ColorStopSelected");
const QString deleteName = QStringLiteral("ColorStopDelete");

// Colours are kept in generic RGB with their components as given.
pf::PaintColor generic(const pf::PaintColor& color)
{
    if (std::optional<pf::PaintColor> converted = color.usingSpace(pf::PaintColor::Space::GenericRGB))
        return *converted;
    const QColor c = color.toQColor();
    return pf::PaintColor::genericRGB(c.redF(), c.greenF(), c.blueF(), c.alphaF());
}

pf::Color components(const pf::PaintColor& color)
{
    return pf::Color(color.red(), color.green(), color.blue(), color.alpha());
}

} // namespace

OVGradientPicker::OVGradientPicker(const pf::Rect& frame, QWidget* parent) : OVColorWell(frame, parent)
{
    m_triangleImage = pf::NamedImage::image(stopName);
    m_selectedImage = pf::NamedImage::image(selectedStopName);
    m_closeIcon = pf::NamedImage::image(deleteName);
    const pf::Size triangle = OVImageSize::pointSize(m_triangleImage);
    m_triWidth = triangle.width;
    m_triHeight = triangle.height;
    setSupportsAlpha(true);
    setAcceptsFirstResponder(true);
    m_colors = {pf::PaintColor::genericRGB(1, 1, 1, 1), pf::PaintColor::genericRGB(0, 0, 0, 1)};
    m_locations[0] = 0;
    m_locations[1] = 1;
    selectNone();
}

OVGradientPicker::~OVGradientPicker() = default;

QStringList OVGradientPicker::imageNames()
{
    return {stopName, selectedStopName, deleteName};
}

// The stops ----------------------------------------------------------------------------------------

void OVGradientPicker::stopsChanged()
{
    ++m_generation;
    m_cachedGradient.reset();
    setNeedsDisplay();
}

const pf::Gradient& OVGradientPicker::currentGradient() const
{
    if (!m_cachedGradient)
        m_cachedGradient = gradient();
    return *m_cachedGradient;
}

pf::Gradient OVGradientPicker::gradient() const
{
    std::vector<pf::Gradient::Stop> stops;
    stops.reserve(m_colors.size());
    for (std::size_t i = 0; i < m_colors.size(); ++i)
        stops.push_back({m_locations[i], components(m_colors[i])});
    return pf::Gradient(std::move(stops));
}

void OVGradientPicker::setGradient(const pf::Gradient& gradient)
{
    std::vector<pf::Gradient::Stop> stops = gradient.stops();
    // Everything the picker does assumes the two ends: adding a stop interpolates between them.
    if (stops.size() < 2) {
        pf::warning(QStringLiteral("OVGradientPicker: a gradient of %1 stops is ignored; it needs two")
                        .arg(stops.size()));
        return;
    }
    if (std::any_of(stops.begin(), stops.end(),
                    [](const auto& stop) { return !std::isfinite(stop.location); })) {
        pf::warning(
            QStringLiteral("OVGradientPicker: a gradient with a location that is no number is ignored"));
        return;
    }
    if (stops.size() > std::size_t(maxStops))
        stops.resize(maxStops);
    // Gradient text may list stops in any order; the picker's neighbours are by location.
    std::stable_sort(stops.begin(), stops.end(),
                     [](const auto& a, const auto& b) { return a.location < b.location; });
    m_colors.clear();
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const pf::Color& c = stops[i].color;
        m_colors.push_back(pf::PaintColor::genericRGB(c.red(), c.green(), c.blue(), c.alpha()));
        m_locations[i] = stops[i].location;
    }
    stopsChanged();
}

pf::PaintColor OVGradientPicker::color() const
{
    if (m_colors.empty())
        return OVColorWell::color();
    return hasValidSelection() ? m_colors[std::size_t(m_selectedIndex)] : m_colors.front();
}

void OVGradientPicker::setColor(const pf::PaintColor& color)
{
    if (isOpening())
        return;
    OVColorWell::setColor(color);
    if (!hasValidSelection())
        return;
    m_colors[std::size_t(m_selectedIndex)] = generic(color);
    stopsChanged();
    sendAction();
}

void OVGradientPicker::changeColor(const pf::PaintColor& color)
{
    changeColorAtIndex(color, m_selectedIndex);
}

bool OVGradientPicker::changeColorAtIndex(const pf::PaintColor& color, int index)
{
    if (isOpening() || index < 0 || index >= numberOfStops())
        return false;
    m_colors[std::size_t(index)] = generic(color);
    stopsChanged();
    sendAction();
    return true;
}

int OVGradientPicker::addColorAt(double location)
{
    const int count = numberOfStops();
    if (count >= maxStops) {
        pf::warning(QStringLiteral("Trying to add more than a hundred colors to an array"));
        return 0;
    }
    if (!(location > 0 && location < 1)) {
        pf::warning(QString::asprintf("Cannot add color at location %f", location));
        return 0;
    }
    const pf::PaintColor added = generic([&] {
        const pf::Color c = currentGradient().interpolatedColorAtLocation(location);
        return pf::PaintColor::genericRGB(c.red(), c.green(), c.blue(), c.alpha());
    }());
    int index = count;
    for (int i = 0; i < count; ++i)
        if (!(m_locations[std::size_t(i)] < location)) {
            index = i;
            break;
        }
    std::copy_backward(m_locations.begin() + index, m_locations.begin() + count,
                       m_locations.begin() + count + 1);
    m_locations[std::size_t(index)] = location;
    m_colors.insert(m_colors.begin() + index, added);
    stopsChanged();
    return index;
}

void OVGradientPicker::removeColorAtIndex(int index)
{
    const int count = numberOfStops();
    if (index <= 0 || index >= count - 1)
        return;
    m_colors.erase(m_colors.begin() + index);
    std::copy(m_locations.begin() + index + 1, m_locations.begin() + count, m_locations.begin() + index);
    stopsChanged();
    sendAction();
}

bool OVGradientPicker::changeLocationAtIndex(double location, int index)
{
    if (index <= 0 || index >= numberOfStops() - 1)
        return false;
    if (!(location > m_locations[std::size_t(index - 1)] && location < m_locations[std::size_t(index + 1)]))
        return false;
    m_locations[std::size_t(index)] = location;
    stopsChanged();
    sendAction();
    return true;
}

// Selection and the colour panel ------------------------------------------------------------------------

void OVGradientPicker::selectNone()
{
    ViewORVExtension::setAndRedisplay(*this, m_selectedIndex, NotFound);
}

void OVGradientPicker::setSelectedIndex(int index)
{
    if (index < 0 || index >= numberOfStops()) {
        // Nothing to edit: the panel is not opened for it.
        selectNone();
        return;
    }
    m_selectedIndex = index;
    setNeedsDisplay();
    // Taking the keyboard ends another edit, whose owners may delete this picker.
    const QPointer<OVGradientPicker> self(this);
    if (pf::Window* w = window(); w && w->firstResponder() != this)
        w->makeFirstResponder(this);
    if (self)
        openColorPanel();
}

void OVGradientPicker::openColorPanel()
{
    activate(true);
}

void OVGradientPicker::deactivate()
{
    selectNone();
    OVColorWell::deactivate();
}

bool OVGradientPicker::becomeFirstResponder()
{
    return hasValidSelection();
}

bool OVGradientPicker::resignFirstResponder()
{
    selectNone();
    return true;
}

// Geometry -----------------------------------------------------------------------------------------

pf::Rect OVGradientPicker::gradientRect() const
{
    return pf::Rect(m_triWidth, 7, bounds().width() - 2 * (m_triWidth + 1), 13);
}

double OVGradientPicker::stopX(int index) const
{
    const pf::Rect strip = gradientRect();
    return strip.origin.x + m_locations[std::size_t(index)] * strip.size.width;
}

double OVGradientPicker::minChange() const
{
    const double width = gradientRect().size.width;
    return width > 0 ? 1 / width : 0;
}

pf::Rect OVGradientPicker::deleteIconRect() const
{
    if (!hasInnerSelection())
        return pf::Rect::null();
    const pf::Size icon = OVImageSize::pointSize(m_closeIcon);
    return pf::Rect(std::round(stopX(m_selectedIndex) - icon.width / 2), 14, icon.width, icon.height);
}

// Keyboard -----------------------------------------------------------------------------------------

void OVGradientPicker::deleteBackward()
{
    if (!hasInnerSelection())
        return;
    // The action runs from the removal and may delete the picker.
    const QPointer<OVGradientPicker> self(this);
    removeColorAtIndex(m_selectedIndex);
    if (self)
        selectNone();
}

void OVGradientPicker::deleteForward()
{
    deleteBackward();
}

void OVGradientPicker::moveSelectionBy(double delta)
{
    if (!hasValidSelection()) {
        pf::beep();
        return;
    }
    // A strip without width has no step: nothing moves.
    if (!(gradientRect().size.width > 0) ||
        !changeLocationAtIndex(m_locations[std::size_t(m_selectedIndex)] + delta, m_selectedIndex))
        pf::beep();
}

void OVGradientPicker::moveLeft()
{
    moveSelectionBy(-minChange());
}

void OVGradientPicker::moveRight()
{
    moveSelectionBy(minChange());
}

void OVGradientPicker::moveLeftAndModifySelection()
{
    moveSelectionBy(-10 * minChange());
}

void OVGradientPicker::moveRightAndModifySelection()
{
    moveSelectionBy(10 * minChange());
}

void OVGradientPicker::moveWordLeft()
{
    moveSelectionBy(-minChange() / 10);
}

void OVGradientPicker::moveWordRight()
{
    moveSelectionBy(minChange() / 10);
}

void OVGradientPicker::insertTab()
{
    if (!hasValidSelection()) {
        pf::beep();
        return;
    }
    setSelectedIndex((m_selectedIndex + 1) % numberOfStops());
}

void OVGradientPicker::insertBacktab()
{
    if (!hasValidSelection()) {
        pf::beep();
        return;
    }
    setSelectedIndex((m_selectedIndex + numberOfStops() - 1) % numberOfStops());
}

void OVGradientPicker::cancelOperation()
{
    if (pf::Window* w = window())
        w->makeFirstResponder(nullptr);
}

void OVGradientPicker::keyDown(const pf::Event& event)
{
    const unsigned flags = event.modifierFlags();
    const bool shift = flags & pf::Modifier::Shift;
    const bool option = flags & pf::Modifier::Option;
    switch (event.keyCode()) {
    case pf::KeyCode::LeftArrow:
        shift ? moveLeftAndModifySelection() : option ? moveWordLeft() : moveLeft();
        return;
    case pf::KeyCode::RightArrow:
        shift ? moveRightAndModifySelection() : option ? moveWordRight() : moveRight();
        return;
    case pf::KeyCode::Delete:
        deleteBackward();
        return;
    case pf::KeyCode::ForwardDelete:
        deleteForward();
        return;
    case pf::KeyCode::Tab:
        shift ? insertBacktab() : insertTab();
        return;
    case pf::KeyCode::Escape:
        cancelOperation();
        return;
    default:
        OVColorWell::keyDown(event);
    }
}

bool OVGradientPicker::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return OVColorWell::event(event);
}

// Mouse --------------------------------------------------------------------------------------------

pf::Point OVGradientPicker::localPoint(const pf::Event& event) const
{
    return convertPointFromView(event.locationInWindow(), nullptr);
}

void OVGradientPicker::notePointer(const pf::Event& event)
{
    m_pointer = localPoint(event);
}

void OVGradientPicker::mouseDown(const pf::Event& event)
{
    notePointer(event);
    m_mouseDownIndex = NotFound;
    const pf::Point p = *m_pointer;
    if (!(gradientRect().size.width > 0) || p.y > m_triHeight)
        return;
    for (int i = 0; i < numberOfStops(); ++i) {
        const double x = stopX(i);
        if (x - m_triWidth / 2 + 1 <= p.x && p.x <= x + m_triWidth / 2 + 1)
            m_mouseDownIndex = i; // on overlap the later stop wins
    }
    setNeedsDisplay();
}

void OVGradientPicker::mouseDragged(const pf::Event& event)
{
    notePointer(event);
    const int index = m_mouseDownIndex;
    const pf::Rect strip = gradientRect();
    if (index <= 0 || index >= numberOfStops() - 1 || !(strip.size.width > 0))
        return;
    const double location = (m_pointer->x - strip.origin.x) / strip.size.width;
    // Past a neighbour the step is ignored, not clamped: the stop waits where it was.
    changeLocationAtIndex(location, index);
}

void OVGradientPicker::mouseUp(const pf::Event& event)
{
    notePointer(event);
    const int pressed = m_mouseDownIndex;
    m_mouseDownIndex = NotFound;
    const pf::Rect strip = gradientRect();
    if (event.clickCount() != 1 || !(strip.size.width > 0))
        return;
    const pf::Point p = *m_pointer;
    // The delete icon over the selected stop comes first: it lies above the marker row and overlaps the
    // strip, so its release must not add a stop.
    if (hasInnerSelection() && deleteIconRect().contains(p)) {
        const QPointer<OVGradientPicker> self(this);
        removeColorAtIndex(m_selectedIndex);
        if (self)
            selectNone();
        return;
    }
    // A press that began on a marker selects it, also when released a little off the row.
    if (pressed >= 0 && pressed < numberOfStops()) {
        setSelectedIndex(pressed);
        return;
    }
    if (strip.contains(p)) {
        const double location = std::clamp((p.x - strip.origin.x) / strip.size.width, 0.002, 0.998);
        setSelectedIndex(addColorAt(location));
    }
}

void OVGradientPicker::mouseEntered(const pf::Event& event)
{
    notePointer(event);
    setNeedsDisplay();
}

void OVGradientPicker::mouseExited(const pf::Event& event)
{
    notePointer(event);
    setNeedsDisplay();
}

void OVGradientPicker::mouseMoved(const pf::Event& event)
{
    notePointer(event);
    setNeedsDisplay();
}

void OVGradientPicker::updateTrackingAreas()
{
    ViewORVExtension::dropTrackingArea(*this, m_trackingArea);
    if (!window())
        return;
    m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
        gradientRect(),
        pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::MouseMoved |
            pf::TrackingArea::ActiveInKeyWindow,
        this));
    setNeedsDisplay();
}

// Drawing --------------------------------------------------------------------------------------------

QImage OVGradientPicker::stripImage(double scale)
{
    const pf::Rect strip = gradientRect();
    const QString key =
        QStringLiteral("%1 %2 %3 %4").arg(m_generation).arg(strip.width()).arg(strip.height()).arg(scale);
    if (m_strip.key != key) {
        QImage image(int(std::ceil(strip.width() * scale)), int(std::ceil(strip.height() * scale)),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter p(&image);
        currentGradient().drawInRect(p, QRectF(0, 0, strip.width(), strip.height()), 0);
        p.end();
        m_strip = Cached{key, image};
    }
    return m_strip.image;
}

QImage OVGradientPicker::markerImage(double scale)
{
    const double width = bounds().width();
    const QString key =
        QStringLiteral("%1 %2 %3 %4").arg(m_generation).arg(m_selectedIndex).arg(width).arg(scale);
    if (m_markers.key == key)
        return m_markers.image;
    QImage image(int(std::ceil(width * scale)), int(std::ceil(m_triHeight * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn y-up, as in the view.
    painter.translate(0, m_triHeight);
    painter.scale(1, -1);
    QPainterPath marker;
    marker.moveTo(1, 1);
    marker.lineTo(1, (m_triHeight + 1) / 2);
    marker.lineTo(m_triWidth / 2, m_triHeight - 1);
    marker.lineTo(m_triWidth - 1, (m_triHeight + 1) / 2);
    marker.lineTo(m_triWidth - 1, 1);
    marker.closeSubpath();
    const pf::Rect imageRect(0, 0, m_triWidth, m_triHeight);
    for (int i = 0; i < numberOfStops(); ++i) {
        const double left = std::round(stopX(i) - m_triWidth / 2);
        painter.translate(left, 0);
        painter.fillPath(marker, m_colors[std::size_t(i)].brush());
        const QImage& stopImage = i == m_selectedIndex ? m_selectedImage : m_triangleImage;
        if (!stopImage.isNull())
            pf::drawImage(painter, stopImage, imageRect);
        painter.translate(-left, 0);
    }
    painter.end();
    m_markers = Cached{key, image};
    return image;
}

void OVGradientPicker::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect strip = gradientRect();
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (strip.width() > 0 && strip.height() > 0)
        pf::drawImage(painter, stripImage(scale), strip);

    painter.save();
    painter.setPen(QPen(QColor(0, 0, 0, 51), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(strip.insetBy(-1.5, -1.5).toQRectF());
    painter.restore();

    std::optional<pf::Point> pointer = m_pointer;
    if (!pointer)
        if (pf::Window* w = window())
            pointer = convertPointFromView(w->mouseLocationOutsideOfEventStream(), nullptr);

    if (hasInnerSelection() && !m_closeIcon.isNull()) {
        const pf::Rect icon = deleteIconRect();
        const bool over = pointer && icon.contains(*pointer);
        pf::drawImage(painter, m_closeIcon, icon, pf::Rect::null(), QPainter::CompositionMode_SourceOver,
                      over ? 1.0 : 0.7);
    }

    // Where a click would add a stop: a line across the strip, unless the pointer is over a marker, or
    // over the delete icon, where a click removes the selected stop instead.
    const bool overIcon = pointer && hasInnerSelection() && deleteIconRect().contains(*pointer);
    if (pointer && !overIcon && strip.contains(*pointer) && strip.width() > 0) {
        bool nearStop = false;
        for (int i = 0; i < numberOfStops() && !nearStop; ++i)
            nearStop = std::abs(stopX(i) - pointer->x) < m_triWidth / 2 - 1;
        if (pointer->y > m_triHeight || !nearStop) {
            const pf::Color c =
                currentGradient().interpolatedColorAtLocation((pointer->x - strip.minX()) / strip.width());
            const double brightness = std::max({c.red(), c.green(), c.blue()});
            painter.fillRect(QRectF(std::floor(pointer->x), strip.minY(), 1, strip.height()),
                             brightness >= 0.5 ? Qt::black : Qt::white);
        }
    }

    // Stop markers, drawn once per change of the stops, the selection or the width.
    if (m_triHeight > 0 && bounds().width() > 0)
        pf::drawImage(painter, markerImage(scale), pf::Rect(0, 0, bounds().width(), m_triHeight));
}
