#include "Classes/Framework/Toolkit/OVButton.h"

#include "Classes/Framework/OVColor.h"
#include "Classes/Framework/Toolkit/OVButtonTarget.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVShadowCatalog.h"
#include "Classes/Framework/Toolkit/OVToolTipController.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Cursors.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Window.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPainter>
#include <cmath>

namespace {

const QStringList stateNames{QStringLiteral("disabled"), QStringLiteral("normal"), QStringLiteral("hover"),
                             QStringLiteral("down")};
// Skin images are TIFF in the skins' original form; PNG is what the artwork step renders.
const QStringList skinImageTypes{QStringLiteral("tiff"), QStringLiteral("tif"), QStringLiteral("png")};

// A file of the skin's folders: the first type and folder that has it, plain or "@2x".
std::shared_ptr<OVSkinImage> skinFile(const QStringList& folders, const QString& base)
{
    for (const QString& type : skinImageTypes) {
        for (const QString& folder : folders) {
            const QString plain = folder + u'/' + base + u'.' + type;
            const QString doubled = folder + u'/' + base + QStringLiteral("@2x.") + type;
            const bool hasPlain = QFileInfo::exists(plain), hasDoubled = QFileInfo::exists(doubled);
            if (hasPlain || hasDoubled)
                return OVSkinImage::fromFiles(hasPlain ? plain : QString(), hasDoubled ? doubled : QString());
        }
    }
    return nullptr;
}

double number(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QString ? value.toString().trimmed().toDouble()
                                                       : value.toDouble();
}

// On-state look of a symbol from its off-state images, picked by index.
OVImageSet reordered(const OVImageSet& set, std::array<int, 4> order)
{
    if (!set)
        return std::nullopt;
    return std::array<std::shared_ptr<OVSkinImage>, 4>{(*set)[order[0]], (*set)[order[1]], (*set)[order[2]],
                                                       (*set)[order[3]]};
}

pf::Size imageSizeAt(const OVImageSet& set, int index)
{
    return set ? (*set)[index]->size() : pf::Size();
}

} // namespace

OVButton::OVButton(const pf::Rect& frame, QWidget* parent) : View(frame, parent), m_font(pf::systemFont(13))
{}

OVButton::~OVButton()
{
    if (m_trackingAreaTimer)
        m_trackingAreaTimer->invalidate();
    setInsideTimer(nullptr);
    leaveWindow();
}

const pf::Bundle& OVButton::bundle() const
{
    return m_bundle ? *m_bundle : pf::Bundle::main();
}

QStringList OVButton::resourceFolders(const pf::Bundle& bundle, const QString& name, const QString& type)
{
    QStringList folders;
    if (name.isEmpty() || name.contains(u'/') || name.contains(QLatin1String("..")))
        return folders;
    for (const QString& root : bundle.resourcePaths()) {
        const QString folder = root + u'/' + name + u'.' + type;
        if (QFileInfo(folder).isDir())
            folders << folder;
    }
    return folders;
}

QVariant OVButton::key() const
{
    return pf::CursorStack::key(this);
}

// Skins --------------------------------------------------------------------------------------------

void OVButton::setName(const QString& name)
{
    m_name = name;
    const QStringList folders = resourceFolders(bundle(), name, QStringLiteral("button"));
    if (!folders.isEmpty()) {
        loadButtonInDirectory(folders);
        return;
    }
    // No skin folder: application images by name. The bare name is the symbol; on, its normal look is
    // the down image and its down look the disabled one.
    m_symbolOff = imagesForName(name);
    if (m_symbolOff)
        m_symbolOn = reordered(m_symbolOff, {0, 3, 2, 0});
    m_midOff = imagesForName(name + QStringLiteral("Mid"));
    m_leftOff = imagesForName(name + QStringLiteral("Left"));
    m_rightOff = imagesForName(name + QStringLiteral("Right"));
    if (!m_midOn)
        m_midOn = m_midOff;
    if (!m_leftOn)
        m_leftOn = m_leftOff;
    if (!m_rightOn)
        m_rightOn = m_rightOff;
    refitAndRedisplay();
}

void OVButton::setSymbolName(const QString& name)
{
    m_symbolName = name;
    const QStringList folders = resourceFolders(bundle(), name, QStringLiteral("symbol"));
    if (folders.isEmpty()) {
        m_symbolOff.reset();
        m_symbolOn.reset();
        setNeedsDisplay();
        return;
    }
    loadSymbolsInDirectory(folders);
}

void OVButton::loadButtonInDirectory(const QStringList& folders)
{
    m_buttonInfo.reset();
    for (const QString& folder : folders) {
        const QString path = folder + QStringLiteral("/Info.plist");
        if (!QFileInfo::exists(path))
            continue;
        QString error;
        const std::optional<QVariant> info = pf::PropertyList::fromFile(path, &error);
        if (info && info->metaType().id() == QMetaType::QVariantMap)
            m_buttonInfo = info->toMap();
        else
            pf::warning(QStringLiteral("The button skin %1 has an unreadable Info.plist: %2")
                            .arg(folder, info ? QStringLiteral("it is not a dictionary") : error));
        break;
    }
    if (m_buttonInfo && m_buttonInfo->contains(QStringLiteral("autoswitch")))
        m_isSwitchButton = m_buttonInfo->value(QStringLiteral("autoswitch")).toBool();
    updateButtonState();
    auto offSet = [&](const QString& part) {
        OVImageSet set = imagesForPath(folders, part + QStringLiteral("-Off-"));
        return set ? set : imagesForPath(folders, part + QStringLiteral("-"));
    };
    m_leftOff = offSet(QStringLiteral("Left"));
    m_leftOn = imagesForPath(folders, QStringLiteral("Left-On-"));
    m_midOff = offSet(QStringLiteral("Mid"));
    m_midOn = imagesForPath(folders, QStringLiteral("Mid-On-"));
    m_rightOff = offSet(QStringLiteral("Right"));
    m_rightOn = imagesForPath(folders, QStringLiteral("Right-On-"));
    if (!m_leftOn)
        m_leftOn = m_leftOff;
    if (!m_midOn)
        m_midOn = m_midOff;
    if (!m_rightOn)
        m_rightOn = m_rightOff;
    if (m_symbolName.isEmpty())
        loadSymbolsInDirectory(folders);
    refitAndRedisplay();
}

void OVButton::loadSymbolsInDirectory(const QStringList& folders)
{
    m_symbolOff = imagesForPath(folders, QStringLiteral("Symbol-Off-"));
    if (!m_symbolOff)
        m_symbolOff = imagesForPath(folders, QStringLiteral("Symbol-"));
    m_symbolOn = imagesForPath(folders, QStringLiteral("Symbol-On-"));
    if (!m_symbolOn && m_symbolOff)
        m_symbolOn = reordered(m_symbolOff, {0, 3, 2, 1}); // normal and down exchanged
    refitAndRedisplay();
}

OVImageSet OVButton::imagesForPath(const QStringList& folders, const QString& prefix) const
{
    std::shared_ptr<OVSkinImage> normal = skinFile(folders, prefix + QStringLiteral("Normal"));
    if (!normal)
        return std::nullopt;
    std::shared_ptr<OVSkinImage> disabled = skinFile(folders, prefix + QStringLiteral("Disabled"));
    std::shared_ptr<OVSkinImage> down = skinFile(folders, prefix + QStringLiteral("Down"));
    std::shared_ptr<OVSkinImage> hover = skinFile(folders, prefix + QStringLiteral("Hover"));
    if (!down)
        down = normal;
    if (!hover)
        hover = OVSkinImage::hover(normal, down);
    return std::array<std::shared_ptr<OVSkinImage>, 4>{disabled ? disabled : normal, normal, hover, down};
}

OVImageSet OVButton::imagesForName(const QString& base) const
{
    const pf::Bundle& b = bundle();
    auto named = [&](const QString& name) -> std::shared_ptr<OVSkinImage> {
        if (pf::NamedImage::path(name, 1, b).isEmpty())
            return nullptr;
        return OVSkinImage::named(name, b);
    };
    std::shared_ptr<OVSkinImage> normal = named(base);
    if (!normal)
        normal = named(base + QStringLiteral("Normal"));
    if (!normal)
        return std::nullopt;
    std::shared_ptr<OVSkinImage> disabled = named(base + QStringLiteral("Disabled"));
    std::shared_ptr<OVSkinImage> down = named(base + QStringLiteral("Down"));
    std::shared_ptr<OVSkinImage> hover = named(base + QStringLiteral("Hover"));
    if (!down)
        down = normal;
    if (!hover)
        hover = OVSkinImage::hover(normal, down);
    return std::array<std::shared_ptr<OVSkinImage>, 4>{disabled ? disabled : normal, normal, hover, down};
}

// Styles ---------------------------------------------------------------------------------------------

void OVButton::updateButtonState()
{
    const int index = std::clamp(m_buttonState, 0, 3);
    OVShadowCatalog& catalog = OVShadowCatalog::sharedShadowCatalog();
    if (const QString& shadowName = m_shadowNames[std::size_t(index)]; !shadowName.isEmpty()) {
        m_textShadow = catalog.shadowWithName(shadowName);
        if (const std::optional<pf::PaintColor> color = catalog.textColorForShadowWithName(shadowName))
            m_textColor = *color;
    }
    if (!m_buttonInfo)
        return;
    const QString state = stateNames[index];
    QVariant style = m_buttonInfo->value(state + (m_on ? QStringLiteral(".on") : QStringLiteral(".off")));
    if (!style.isValid())
        style = m_buttonInfo->value(state);
    if (!style.isValid())
        style = m_buttonInfo->value(QStringLiteral("normal"));
    const QVariantMap s = style.toMap();
    if (s.contains(QStringLiteral("text.color")))
        m_textColor = OVColor::colorFromDescription(s.value(QStringLiteral("text.color")).toString());
    if (s.contains(QStringLiteral("text.font"))) {
        const double size = number(s.value(QStringLiteral("text.size")));
        m_font = pf::fontNamed(s.value(QStringLiteral("text.font")).toString(), size > 0 ? size : 13);
    }
    if (s.contains(QStringLiteral("text.alignment")))
        m_alignment = s.value(QStringLiteral("text.alignment")).toInt();
    if (s.contains(QStringLiteral("text.shadow")))
        m_textShadow = OVShadowCatalog::shadowWithDescription(s.value(QStringLiteral("text.shadow")).toMap());
    if (s.contains(QStringLiteral("text.offset.y")))
        m_textOffsetY = number(s.value(QStringLiteral("text.offset.y")));
    if (s.contains(QStringLiteral("text.margin")))
        m_textMargin = number(s.value(QStringLiteral("text.margin")));
    m_padding = Padding{
        number(s.value(QStringLiteral("padding.top"))), number(s.value(QStringLiteral("padding.bottom"))),
        number(s.value(QStringLiteral("padding.left"))), number(s.value(QStringLiteral("padding.right")))};
}

void OVButton::setTextShadowName(const QString& name)
{
    OVShadowCatalog& catalog = OVShadowCatalog::sharedShadowCatalog();
    auto variant = [&](const QString& suffix, const QString& fallback) {
        return catalog.contains(name + suffix) ? name + suffix : fallback;
    };
    const QString down = variant(QStringLiteral("Down"), name);
    m_shadowNames = {variant(QStringLiteral("Disabled"), name), name, variant(QStringLiteral("Hover"), down),
                     down};
    setNeedsDisplay();
}

void OVButton::setTextColor(const pf::PaintColor& color)
{
    ViewORVExtension::setAndRedisplay(*this, m_textColor, color);
}

void OVButton::setTextColorName(const QString& text)
{
    setTextColor(OVColor::colorFromDescription(text));
}

void OVButton::setNoScaling(bool flag)
{
    ViewORVExtension::setAndRedisplay(*this, m_noScaling, flag);
}

void OVButton::setViewShadow(const std::optional<pf::Shadow>& shadow)
{
    ViewORVExtension::setAndRedisplay(*this, m_viewShadow, shadow);
}

void OVButton::setTitle(const QString& title)
{
    m_title = pf::localized(title, QStringLiteral("Controls"));
    refitAndRedisplay();
}

void OVButton::setFont(const QFont& font)
{
    m_font = font;
    refitAndRedisplay();
}

void OVButton::setAlignment(int alignment)
{
    ViewORVExtension::setAndRedisplay(*this, m_alignment, alignment);
}

void OVButton::setLineBreakMode(pf::AttributedString::LineBreak mode)
{
    ViewORVExtension::setAndRedisplay(*this, m_lineBreak, mode);
}

void OVButton::setImage(const QImage& image)
{
    m_image = image;
    refitAndRedisplay();
}

void OVButton::setImagePosition(ImagePosition position)
{
    ViewORVExtension::setAndRedisplay(*this, m_imagePosition, position);
}

void OVButton::setImageAlignment(int alignment)
{
    ViewORVExtension::setAndRedisplay(*this, m_imageAlignment, alignment);
}

void OVButton::setToolTip(const QString& text)
{
    m_toolTip = pf::localized(text);
}

void OVButton::setDisabledToolTip(const QString& text)
{
    m_disabledToolTip = pf::localized(text);
}

QString OVButton::description() const
{
    return QStringLiteral("OVButton (%1): %2").arg(m_name, m_title);
}

// States -------------------------------------------------------------------------------------------

void OVButton::setButtonState(int request)
{
    applyButtonState(request, true);
}

void OVButton::applyButtonState(int request, bool reportNow)
{
    if (request != Click && (request < Disabled || request > Down)) {
        pf::warning(QStringLiteral("OVButton: no button state %1").arg(request));
        return;
    }
    const int effective = isEnabled() ? request : Disabled;
    if (effective == m_buttonState)
        return;
    // The target and the action may delete the button (a row's remove button its own row): from then
    // on nothing of it is touched.
    const QPointer<OVButton> self(this);
    bool hovered = true;
    if (effective != Click) {
        hovered = effective == Hover || effective == Down;
        if (hovered != m_isHovered) {
            if (!reportNow) {
                // The target hears of it at the next turn; until then it keeps what it heard last.
                hovered = m_isHovered;
                ViewORVExtension::atNextTurn(this, m_hoverReportPending, [this] { reportHover(); });
            } else if (auto* target = dynamic_cast<OVButtonTarget*>(m_target.data())) {
                target->buttonHovered(this, hovered);
                if (!self)
                    return;
            }
        }
        m_buttonState = effective;
    } else {
        // A switch flips first, so that the action sees its new state; from the down state that is a
        // complete return to normal (hover ended, hint and cursor gone) before the click goes on.
        if (m_isSwitchButton) {
            setState(!m_on);
            if (!self)
                return;
        }
        m_buttonState = Hover;
        sendAction();
        if (!self)
            return;
    }
    pf::Window* w = window();
    if (!m_hint.isEmpty()) {
        if (m_buttonState > Normal)
            OVHintController::sendHint(m_hint, key(), w);
        else
            OVHintController::removeHintForKey(key(), w);
    }
    if (m_buttonState > Normal)
        OVCursorStack::pushCursor(pf::Cursors::pointingHand(), key(), w);
    else
        OVCursorStack::popCursorForKey(key(), w);
    m_isHovered = hovered;
    updateButtonState();
    setNeedsDisplay();
}

void OVButton::setState(bool on)
{
    m_on = on;
    if (m_buttonState != Hover) {
        const QPointer<OVButton> self(this);
        setButtonState(Normal);
        if (!self)
            return;
    }
    // The on and off states may have their own styles.
    updateButtonState();
    setNeedsDisplay();
}

void OVButton::changeEvent(QEvent* event)
{
    View::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    // Qt delivers this to every widget of a subtree being enabled or disabled and goes on with the
    // others afterwards, so the target, which may delete anything, hears of the change at the next turn.
    if (!isEnabled())
        applyButtonState(Disabled, false);
    updateTrackingAreas();
}

void OVButton::reportHover()
{
    const bool hovered = m_buttonState == Hover || m_buttonState == Down;
    if (hovered == m_isHovered)
        return;
    m_isHovered = hovered;
    const QPointer<OVButton> self(this);
    if (auto* target = dynamic_cast<OVButtonTarget*>(m_target.data()))
        target->buttonHovered(this, hovered);
    // What a kind of button shows on hovering (set through setButtonState) shows now.
    if (self && m_buttonState == Hover)
        setButtonState(Hover);
}

void OVButton::setIsRemoteControlled(bool flag)
{
    m_isRemoteControlled = flag;
    if (flag)
        QWidget::setToolTip(QString());
    scheduleTrackingRebuild();
}

void OVButton::scheduleTrackingRebuild()
{
    if (m_trackingAreaTimer && m_trackingAreaTimer->isValid())
        return;
    m_trackingAreaTimer = pf::Timer::scheduled(
        0, false, [this](pf::Timer&) { updateTrackingAreas(); }, this);
}

void OVButton::updateTrackingAreas()
{
    if (m_trackingAreaTimer) {
        m_trackingAreaTimer->invalidate();
        m_trackingAreaTimer.reset();
    }
    ViewORVExtension::dropTrackingArea(*this, m_trackingArea);
    if (!superview() || m_disableTracking || m_isRemoteControlled)
        return;
    m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
        bounds(),
        pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveInActiveApp |
            pf::TrackingArea::InVisibleRect,
        this));
    if (m_buttonState == Down)
        return;
    // A button that came under (or left) a still pointer looks it at once; the target, which may delete
    // it or what is placing it, hears of it at the next turn.
    pf::Window* w = window();
    const bool inside =
        w && w->isVisible() &&
        bounds().contains(convertPointFromView(w->mouseLocationOutsideOfEventStream(), nullptr));
    applyButtonState(inside ? Hover : Normal, false);
}

// Pointer ------------------------------------------------------------------------------------------

bool OVButton::mouseIsInside(const pf::Event& event) const
{
    return bounds().contains(convertPointFromView(event.locationInWindow(), nullptr));
}

void OVButton::mouseEntered(const pf::Event&)
{
    // Also while disabled, so that the disabled tooltip can show.
    setInsideTimer(pf::Timer::scheduled(
        OVToolTipController::toolTipDelay(), false, [this](pf::Timer&) { showToolTipTimed(); }, this));
    setButtonState(Hover);
}

void OVButton::mouseExited(const pf::Event&)
{
    const QPointer<OVButton> self(this);
    setButtonState(Normal);
    if (!self)
        return;
    OVToolTipController::sharedController().hideForView(this);
    setInsideTimer(nullptr);
}

void OVButton::mouseDown(const pf::Event&)
{
    OVToolTipController::sharedController().hideForView(this);
    setButtonState(Down);
}

void OVButton::mouseDragged(const pf::Event& event)
{
    setButtonState(mouseIsInside(event) ? Down : Normal);
}

void OVButton::mouseUp(const pf::Event& event)
{
    OVToolTipController::sharedController().hideForView(this);
    setButtonState(mouseIsInside(event) ? Click : Normal);
}

void OVButton::setInsideTimer(std::shared_ptr<pf::Timer> timer)
{
    if (m_insideTimer && m_insideTimer != timer)
        m_insideTimer->invalidate();
    m_insideTimer = std::move(timer);
    m_insideTimerWindowObserver.reset();
    if (m_insideTimer && window())
        m_insideTimerWindowObserver = pf::NotificationCenter::defaultCenter().addObserver(
            pf::Window::willCloseNotification, window(),
            [this](const pf::Notification&) { setInsideTimer(nullptr); });
}

void OVButton::showToolTipTimed()
{
    setInsideTimer(nullptr);
    pf::Window* w = window();
    const QString text = isEnabled() ? m_toolTip : m_disabledToolTip;
    if (!w || text.isEmpty())
        return;
    const pf::Point at = w->mouseLocationOutsideOfEventStream();
    if (m_toolTipAbove)
        OVToolTipController::sharedController().showTooltip(text, pf::Point(at.x + 10, at.y + 20), this,
                                                            OVToolTipController::Placement::Above);
    else
        OVToolTipController::sharedController().showTooltip(text, pf::Point(at.x + 10, at.y - 20), this);
}

void OVButton::leaveWindow()
{
    pf::Window* w = window();
    if (!w)
        return;
    OVCursorStack::popCursorForKey(key(), w);
    OVHintController::removeHintForKey(key(), w);
    OVToolTipController::sharedController().hideForView(this);
}

void OVButton::viewWillMoveToWindow(pf::Window* newWindow)
{
    View::viewWillMoveToWindow(newWindow);
    const QPointer<OVButton> self(this);
    if (m_buttonState == Hover)
        setButtonState(Normal);
    if (!self)
        return;
    if (window() && newWindow != window()) {
        setInsideTimer(nullptr);
        leaveWindow();
    }
}

void OVButton::viewWillMoveToSuperview(pf::View* newSuperview)
{
    View::viewWillMoveToSuperview(newSuperview);
    const QPointer<OVButton> self(this);
    if (m_buttonState == Hover)
        setButtonState(Normal);
    if (self)
        leaveWindow();
}

// Geometry and drawing -------------------------------------------------------------------------------

pf::AttributedString OVButton::stringWithFieldAttributes() const
{
    QColor color = m_textColor.toQColor();
    // A disabled title fades when its colour is an RGB colour; grey ones (as the default white) do not.
    if (!isEnabled() && !m_textColor.isWhiteSpace() && !m_textColor.isPattern())
        color.setAlphaF(float(m_textColor.alpha() / 2));
    pf::AttributedString title(m_title, pf::TextAttributes{m_font, color});
    switch (m_alignment) {
    case AlignRight:
        title.setAlignment(pf::AttributedString::Alignment::Right);
        break;
    case AlignCenter:
        title.setAlignment(pf::AttributedString::Alignment::Center);
        break;
    case AlignJustified:
        title.setAlignment(pf::AttributedString::Alignment::Justified);
        break;
    default:
        title.setAlignment(pf::AttributedString::Alignment::Left);
        break;
    }
    title.setLineBreakMode(m_lineBreak);
    title.setShadow(m_textShadow);
    return title;
}

pf::Rect OVButton::imageRectIn(const pf::Rect& r) const
{
    if (m_image.isNull())
        return pf::Rect::null();
    const double x = r.minX() + m_padding.left, y = r.minY() + m_padding.bottom;
    const double W = r.width() - m_padding.left - m_padding.right;
    const double H = r.height() - m_padding.top - m_padding.bottom;
    const pf::Size image = OVImageSize::pointSize(m_image);
    // No room, or an image without area: nothing to place (never a division by zero).
    if (!(H > 0) || !(W > 0) || !(image.width > 0) || !(image.height > 0))
        return pf::Rect(0, 0, 0, 0);
    pf::Size size;
    if (W / H > image.width / image.height)
        size = pf::Size(image.width * H / image.height, H);
    else
        size = pf::Size(W, image.height * W / image.width);
    double left = x;
    if (m_imageAlignment == 1)
        left = x + W - size.width;
    else if (m_imageAlignment == 2)
        left = x + (W - size.width) / 2;
    return pf::Rect(left, y, size.width, size.height);
}

pf::Size OVButton::intrinsicContentSize() const
{
    double width = m_padding.left + m_padding.right;
    if (!m_title.isEmpty())
        width += std::ceil(stringWithFieldAttributes().size().width);
    if (!m_image.isNull()) {
        width += std::ceil(imageRectIn(bounds()).width());
        if (!m_title.isEmpty())
            width += m_textMargin;
    }
    width = std::max(width, imageSizeAt(m_symbolOff, Down).width);
    const double height = std::max(imageSizeAt(m_symbolOff, Down).height, imageSizeAt(m_midOff, Down).height);
    return pf::Size(width, height);
}

QSize OVButton::sizeHint() const
{
    const pf::Size size = intrinsicContentSize();
    return QSize(int(std::ceil(size.width)), int(std::ceil(size.height)));
}

void OVButton::drawRect(QPainter& painter, const pf::Rect&)
{
    drawUnderViewShadow(painter, bounds(), [this](QPainter& p) { drawContent(p); });
}

void OVButton::drawContent(QPainter& painter)
{
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int index = std::clamp(m_buttonState, 0, 3);
    const OVImageSet& left = m_on ? m_leftOn : m_leftOff;
    const OVImageSet& mid = m_on ? m_midOn : m_midOff;
    const OVImageSet& right = m_on ? m_rightOn : m_rightOff;
    const pf::Rect b = bounds();
    auto imageOf = [&](const OVImageSet& set) { return set ? (*set)[std::size_t(index)] : nullptr; };
    std::shared_ptr<OVSkinImage> leftImage = imageOf(left), midImage = imageOf(mid),
                                 rightImage = imageOf(right);

    // The skin: caps as wide as their aspect gives at the skin's height, the middle stretched between.
    pf::Rect skin = b;
    if (midImage && m_noScaling) {
        const pf::Size size = midImage->size();
        const double width = size.width + (leftImage ? leftImage->size().width : 0) +
                             (rightImage ? rightImage->size().width : 0);
        skin = pf::Rect(std::round(b.minX() + (b.width() - width) / 2),
                        std::round(b.minY() + (b.height() - size.height) / 2), width, size.height);
    }
    auto capWidth = [&](const std::shared_ptr<OVSkinImage>& image) {
        if (!image)
            return 0.0;
        const pf::Size size = image->size();
        return size.height > 0 ? std::round(size.width / size.height * skin.height()) : 0.0;
    };
    const double lw = capWidth(leftImage), rw = capWidth(rightImage);
    if (leftImage && lw > 0)
        pf::drawImage(painter, leftImage->image(scale),
                      pf::Rect(skin.minX(), skin.minY(), lw, skin.height()));
    if (rightImage && rw > 0)
        pf::drawImage(painter, rightImage->image(scale),
                      pf::Rect(b.width() - rw, skin.minY(), rw, skin.height()));
    if (midImage && skin.width() - lw - rw > 0)
        pf::drawImage(painter, midImage->image(scale),
                      pf::Rect(skin.minX() + lw, skin.minY(), skin.width() - lw - rw, skin.height()));

    // The content: the skin's rectangle inside its padding.
    pf::Rect content(skin.minX() + m_padding.left, skin.minY() + m_padding.bottom,
                     skin.width() - m_padding.left - m_padding.right,
                     skin.height() - m_padding.top - m_padding.bottom);
    if (!m_image.isNull()) {
        const pf::Rect imageRect = imageRectIn(content);
        if (m_imageAlignment != 2) {
            const double d = imageRect.width() + m_textMargin;
            if (m_imageAlignment == 1)
                content.size.width -= d;
            else {
                content.origin.x += d;
                content.size.width -= d;
            }
        }
        pf::drawImage(painter, m_image, imageRect);
    }

    const OVImageSet& symbols = m_on ? m_symbolOn : m_symbolOff;
    std::shared_ptr<OVSkinImage> symbol = imageOf(symbols);
    pf::Size symbolSize = symbol ? symbol->size() : pf::Size();
    if (symbolSize.height > content.height() && symbolSize.height > 0)
        symbolSize = pf::Size(symbolSize.width * content.height() / symbolSize.height, content.height());
    if (symbolSize.width > content.width() && symbolSize.width > 0)
        symbolSize = pf::Size(content.width(), symbolSize.height * content.width() / symbolSize.width);
    const double sw = symbolSize.width, sh = symbolSize.height;

    const pf::AttributedString title = stringWithFieldAttributes();
    const pf::Size measured = title.size();
    const double tw = measured.width, th = measured.height;
    const double cx = content.minX(), cy = content.minY(), cw = content.width(), ch = content.height();
    const int alignment = m_alignment == AlignRight    ? AlignRight
                          : m_alignment == AlignCenter ? AlignCenter
                                                       : AlignLeft;
    pf::Rect titleRect, symbolRect;
    switch (m_imagePosition) {
    case ImagePosition::Left: {
        const double symbolY = std::round((ch - sh) / 2) + cy;
        const double titleY = std::round((ch - th) / 2) + cy + m_textOffsetY;
        double symbolX = cx;
        if (alignment == AlignRight)
            symbolX = cx + cw - tw - m_textMargin - sw;
        else if (alignment == AlignCenter)
            symbolX = cx + (cw - sw - m_textMargin - tw) / 2;
        symbolRect = pf::Rect(symbolX, symbolY, sw, sh);
        titleRect = pf::Rect(symbolX + sw + m_textMargin, titleY, tw, th);
        break;
    }
    case ImagePosition::Below: {
        double titleX = cx, symbolX = cx;
        if (alignment == AlignRight) {
            titleX = cx + cw - tw;
            symbolX = cx + cw - sw;
        } else if (alignment == AlignCenter) {
            titleX = std::round((cw - tw) / 2) + cx;
            symbolX = std::round((cw - sw) / 2) + cx;
        }
        titleRect = pf::Rect(titleX, cy + ch - th, tw, th);
        symbolRect = pf::Rect(symbolX, cy, sw, sh);
        break;
    }
    default:
        titleRect = pf::Rect(cx, std::ceil((ch - th) / 2 + cy) + m_textOffsetY, std::ceil(cw), th);
        symbolRect = pf::Rect(std::round((cw - sw) / 2) + cx, std::round((ch - sh) / 2) + cy, sw, sh);
        break;
    }
    if (!m_title.isEmpty())
        drawTitle(painter, title, titleRect);
    if (symbol && sw > 0 && sh > 0)
        pf::drawImage(painter, symbol->image(scale), symbolRect);
}

void OVButton::drawTitle(QPainter& painter, const pf::AttributedString& title, const pf::Rect& rect)
{
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return;
    m_titleImage.draw(painter, title, rect, m_textShadow);
}
