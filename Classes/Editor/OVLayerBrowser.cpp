#include "Classes/Editor/OVLayerBrowser.h"

#include "Classes/Editor/OV3DLayerView.h"
#include "Classes/Editor/OVLayerBrowserDelegate.h"
#include "Classes/Editor/OVStepScroller.h"
#include "Classes/Framework/Toolkit/OVArrowView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/AnimationGroup.h"
#include "Platform/UI/BasicAnimation.h"
#include "Platform/UI/EventMonitor.h"
#include "Platform/UI/KeyframeAnimation.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QPainterPath>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <limits>

using pf::Point;
using pf::Rect;
using pf::Size;
using pf::Transaction;
using pf::Transform3D;

namespace {

constexpr double kScrollerHeight = 36.0;
constexpr double kContainerBottom = 50.0;
constexpr double kSin15 = 0.25881904510252074;
constexpr double kCos15 = 0.9659258262890683;
const QColor kHoverColor = QColor::fromRgbF(1.0, 1.0, 1.0, 0.3);

Rect grown(const Rect& rect, double by)
{
    return Rect(rect.minX() - by, rect.minY() - by, rect.width() + 2 * by, rect.height() + 2 * by);
}

void setBoth(const std::shared_ptr<pf::Layer>& a, const std::shared_ptr<pf::Layer>& b,
             const std::function<void(pf::Layer&)>& change)
{
    change(*a);
    change(*b);
}

} // namespace

OVLayerBrowser::OVLayerBrowser(const Rect& frame, QWidget* parent)
    : OVImageView(frame, parent), m_stackBase(pf::Layer::create()), m_hoverIndex(OVStepScroller::NotFound)
{
    const double width = frame.width(), height = frame.height();
    const Transaction::Scope atOnce(true);

    auto* scroller = new OVStepScroller(Rect(0, 0, width, kScrollerHeight));
    scroller->setReversedOrder(true);
    scroller->setDelegate(this);
    scroller->setAutoresizingMask(WidthSizable | MaxYMargin);
    m_layerScroller = scroller;

    auto* arrow = new OVArrowView(Rect(0, kScrollerHeight - 1 - scroller->shadowSize(), width, 30));
    arrow->setAutoresizingMask(WidthSizable | MaxYMargin);
    arrow->setHeadSize(Size(10, 20));
    arrow->setFromDirection(4);
    arrow->setWidth(5);
    arrow->setCurved(true);
    arrow->setColor(QColor(170, 225, 255, 230));
    arrow->setTransparentForMouse(true);
    arrow->hide();
    m_arrowView = arrow;

    auto* button = new OVButton(Rect(0, 0, 80, 29));
    button->setName(QStringLiteral("StepScrollerTab"));
    button->setTitle(pf::localized(QStringLiteral("Copy")));
    button->setToolTip(pf::localized(QStringLiteral("Copy mask to selected effect")));
    button->setTarget(this);
    button->setAction([this](OVButton*) { interactionButtonClicked(); });
    button->setState(false);
    // Not shown until a step offers its mask; it stays this view's child while hidden.
    button->hide();
    m_copyMaskButton = button;

    auto* container =
        new OV3DLayerView(Rect(0, kContainerBottom, width, std::max(0.0, height - kContainerBottom)));
    container->setAutoresizingMask(WidthSizable | HeightSizable);
    container->layer3D()->setPreventRelayout(true);
    for (pf::View* subview : subviews())
        container->addSubview(subview);
    m_stackBase->setName(QStringLiteral("stack base"));
    m_stackBase->setHidden(true);
    container->layer3D()->addSublayer(m_stackBase);
    addSubview(container);
    addSubview(scroller);
    addSubview(arrow);
    View::addSubview(button);
    m_layerContainer = container;
    container->setIsBackgroundLayer(true);
    container->setAnchor(OV3DLayerView::AnchorLeft | OV3DLayerView::AnchorBottom | OV3DLayerView::AnchorTop);
    container->layer3D()->setFocalLength(85);
    update3DMargins();
}

OVLayerBrowser::~OVLayerBrowser()
{
    stopHoverTracking();
    if (m_pasteButtonTimer)
        m_pasteButtonTimer->invalidate();
    if (m_layerScroller)
        m_layerScroller->setDelegate(nullptr);
    const Transaction::Scope atOnce(true);
    for (const auto& flying : m_animatedView)
        flying->removeFromSuperlayer();
}

void OVLayerBrowser::drawRect(QPainter&, const Rect&)
{
    // Everything the browser shows is its layers and subviews.
}

// Layers ---------------------------------------------------------------------------------------------

void OVLayerBrowser::insertLayerWithName(const QString& name, qint64 index)
{
    auto layer = pf::Layer::create();
    layer->setName(QStringLiteral("preview layer"));
    layer->setBounds(Rect(0, 0, m_imageSize.width, m_imageSize.height));
    layer->setMasksToBounds(true);
    layer->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
    insertLayer(layer, name, index);
}

void OVLayerBrowser::insertLayer(const std::shared_ptr<pf::Layer>& layer, const QString& name, qint64 index)
{
    const qint64 n = qint64(m_layers.size());
    if (!layer || index < 0 || index > n) {
        pf::warning(
            QStringLiteral("Layer browser cannot insert a layer at index %1 of %2").arg(index).arg(n));
        return;
    }
    hidePasteButton();
    std::shared_ptr<pf::Layer> border = m_borderClass ? m_borderClass() : pf::Layer::create();
    if (!border)
        border = pf::Layer::create();
    layer->setAutoresizingMask(pf::Layer::NotSizable);
    border->setAutoresizingMask(pf::Layer::NotSizable);
    {
        const Transaction::Scope atOnce(true);
        border->setFrame(m_borderFrame);
        layer->setFrame(m_layerFrame);
        if (show3DView()) {
            // From the place where the stack grows, faded out, so that the layout below fades it in.
            const double containerWidth = m_layerContainer->bounds().width();
            const double x0 = m_layerContainer->bounds().minX();
            const double d = n == 1 ? 1.0 : double(n - 1);
            layer->setTransform(cardTransform(m_cardScale));
            layer->setPosition(
                Point(x0 + 0.9 * containerWidth -
                          double(m_selectionIndex + 1) * std::min(kMaxSpacing, containerWidth / 2 / d),
                      layer->position().y));
            layer->setOpacity(0);
        } else {
            layer->setTransform(Transform3D::identity());
        }
        const auto& layer3D = m_layerContainer->layer3D();
        layer3D->insertSublayer(layer, size_t(2 * index + 1));
        layer3D->insertSublayer(border, size_t(2 * index + 2));
    }
    m_layers.insert(m_layers.begin() + index, layer);
    m_borders.insert(m_borders.begin() + index, border);
    if (show3DView())
        setHoverIndex(index);
    m_layerScroller->insertStepWithName(name, index);
    m_selectionIndex = index;
    m_layerScroller->selectStepAtIndex(index);
    updateView(true);
}

void OVLayerBrowser::removeLayerAtIndex(qint64 index)
{
    const qint64 n = qint64(m_layers.size());
    if (index < 0 || index >= n) {
        pf::warning(
            QStringLiteral("Layer browser has no layer at index %1 to remove (it has %2)").arg(index).arg(n));
        return;
    }
    hidePasteButton();
    {
        const Transaction::Scope transaction;
        m_layers[size_t(index)]->removeFromSuperlayer();
        m_borders[size_t(index)]->removeFromSuperlayer();
    }
    if (m_hoverIndex == index)
        m_hoverIndex = OVStepScroller::NotFound;
    m_layers.erase(m_layers.begin() + index);
    m_borders.erase(m_borders.begin() + index);
    m_layerScroller->removeStepAtIndex(index);
    updateView(true);
}

void OVLayerBrowser::removeAllLayers()
{
    while (!m_layers.empty())
        removeLayerAtIndex(qint64(m_layers.size()) - 1);
}

void OVLayerBrowser::setLayerFrame(const Rect& rectInContainer)
{
    m_layerFrameInContainer = rectInContainer;
    const Rect frame = m_layerContainer->convertRectToLayer3D(rectInContainer, m_layerContainer);
    if (frame == m_layerFrame)
        return;
    m_layerFrame = frame;
    m_borderFrame = grown(m_layerFrame, m_margin);
    updateView(false);
    update3DMargins();
}

void OVLayerBrowser::setMargin(double margin)
{
    m_margin = margin;
    m_borderFrame = grown(m_layerFrame, m_margin);
    updateView(false);
    update3DMargins();
}

// The container ----------------------------------------------------------------------------------------

void OVLayerBrowser::addControlView(pf::View* view)
{
    m_layerContainer->addSubview(view);
}

Size OVLayerBrowser::maxControlViewSize() const
{
    return m_layerContainer->bounds().size;
}

std::shared_ptr<OV3DLayer> OVLayerBrowser::backgroundLayer() const
{
    return m_layerContainer->layer3D();
}

Point OVLayerBrowser::containerOriginInLayer3D() const
{
    return m_layerContainer->convertPointToLayer3D(m_layerContainer->bounds().origin, this);
}

Transform3D OVLayerBrowser::cardTransform(double scale)
{
    return Transform3D::scale(scale, scale, 1).concatenated(Transform3D::rotation(kCardTurn, 0, 1, 0));
}

void OVLayerBrowser::update3DMargins()
{
    if (!m_layerContainer)
        return;
    const auto& layer3D = m_layerContainer->layer3D();
    const double w = m_borderFrame.width();
    const double m = layer3D->sublayerTransform().m34;
    const double px =
        m_layerContainer
            ->convertPointFromLayer3D(Point(layer3D->anchorPoint().x * layer3D->bounds().width(), 0), this)
            .x;
    m_right3DMargin = (bounds().width() - px) * (-kCos15 * w / 2) * m + kSin15 * w / 2;
    m_left3DMargin = kSin15 * w / 2 + m * (-kCos15 * w / 2 * px);
}

void OVLayerBrowser::resizeSubviewsWithOldSize(Size oldSize)
{
    OVImageView::resizeSubviewsWithOldSize(oldSize);
    update3DMargins();
    if (show3DView())
        update3DView(false);
    emit frameChanged();
}

void OVLayerBrowser::viewDidMoveToWindow()
{
    OVImageView::viewDidMoveToWindow();
    // The 3D layer now lies in another plane (the window's host, or the container again).
    m_layerContainer->placeLayer();
    if (m_layerFrameInContainer) {
        m_layerFrame = Rect();
        setLayerFrame(*m_layerFrameInContainer);
    }
    update3DMargins();
}

void OVLayerBrowser::moveEvent(QMoveEvent* event)
{
    OVImageView::moveEvent(event);
    emit frameChanged();
}

// Selection and the switch -----------------------------------------------------------------------------

void OVLayerBrowser::setSelectionIndex(qint64 index)
{
    if (index == m_selectionIndex)
        return;
    m_selectionIndex = index;
    hidePasteButton();
    if (m_layerScroller->currentIndex() != index)
        m_layerScroller->selectStepAtIndex(index);
    updateView(true);
}

void OVLayerBrowser::setShow3DView(bool show)
{
    if (show)
        update3DView(true);
    else
        update2DView(true);
}

void OVLayerBrowser::updateView(bool animated)
{
    if (show3DView())
        update3DView(animated || m_state == GoingTo3D);
    else
        update2DView(animated || m_state == GoingTo2D);
}

double OVLayerBrowser::switchDuration() const
{
    return pf::Event::currentModifierFlags() & pf::Modifier::Shift ? kSlowSwitchDuration : kSwitchDuration;
}

void OVLayerBrowser::update3DView(bool animated)
{
    // The perspective follows the container's place in the window: the margins are taken as they are now.
    update3DMargins();
    startHoverTracking();
    setHoverIndex(m_selectionIndex);
    const size_t n = m_layers.size();
    {
        // Only the selected layer and those below it are seen as the fan opens.
        const Transaction::Scope atOnce(true);
        for (size_t i = 0; i < n; ++i) {
            const double opacity = qint64(i) <= m_selectionIndex ? 1.0 : 0.0;
            setBoth(m_layers[i], m_borders[i], [&](pf::Layer& layer) { layer.setOpacity(opacity); });
        }
    }
    if (!beginSwitch(animated, true)) {
        Transaction::commit();
        return;
    }

    const double containerWidth = m_layerContainer->bounds().width();
    const double cx = containerOriginInLayer3D().x;
    const double left = m_left3DMargin, right = m_right3DMargin;
    const double d = n <= 1 ? 1.0 : double(n - 1);
    const double spacing = std::min(kMaxSpacing, ((containerWidth - left - right) / 2) / d);
    const double y = m_layerFrame.midY();
    m_cardScale = kCardScale;
    const Transform3D turn = cardTransform(m_cardScale);
    for (size_t i = 0; i < n; ++i) {
        const bool atOrBelow = qint64(i) <= m_selectionIndex;
        m_layers[i]->setBounds(Rect(0, 0, m_layerFrame.width(), m_layerFrame.height()));
        m_borders[i]->setBounds(Rect(0, 0, m_borderFrame.width(), m_borderFrame.height()));
        m_layers[i]->setOpacity(1.0);
        m_borders[i]->setOpacity(qint64(i) == m_selectionIndex ? 1.0 : 0.3);
        // Layer 0 at the right edge, the layers up to the selection leftwards; those above the selection
        // from the left edge inwards, the topmost at the left: a gap at the selection.
        const double x = atOrBelow ? containerWidth + cx - right - double(i) * spacing
                                   : left + cx + double(n - 1 - i) * spacing;
        setBoth(m_layers[i], m_borders[i], [&](pf::Layer& layer) {
            layer.setTransform(turn);
            layer.setPosition(Point(x, y));
        });
    }
    fitCardsBelowTheTop();
    Transaction::commit();
}

void OVLayerBrowser::fitCardsBelowTheTop()
{
    if (m_borders.empty())
        return;
    // The plane the layer tree lies in: its root's frame is the window's content.
    const pf::Layer* root = m_borders.front().get();
    while (root->superlayer())
        root = root->superlayer();
    const double limit = root->frame().maxY() - kTopClearance;
    // A turned card's near edge is seen taller than the card: measured where the layout put them,
    // and shrunk about their middles until the tallest keeps its room (the perspective makes the
    // height not quite proportional to the scale, so a second look settles it).
    for (int pass = 0; pass < 3; ++pass) {
        double top = -std::numeric_limits<double>::infinity(), middle = 0;
        for (const auto& border : m_borders) {
            const Rect seen = border->convertRectToLayer(border->bounds(), nullptr);
            if (seen.maxY() > top) {
                top = seen.maxY();
                middle = seen.midY();
            }
        }
        if (!(top > limit) || !(top > middle) || !(limit > middle))
            return;
        m_cardScale *= (limit - middle) / (top - middle);
        const Transform3D turn = cardTransform(m_cardScale);
        for (size_t i = 0; i < m_layers.size(); ++i)
            setBoth(m_layers[i], m_borders[i], [&](pf::Layer& layer) { layer.setTransform(turn); });
    }
}

bool OVLayerBrowser::beginSwitch(bool animated, bool to3D)
{
    Transaction::begin();
    Transaction::setCompletionBlock([browser = QPointer<OVLayerBrowser>(this), to3D] {
        if (browser) {
            if (to3D)
                browser->arrivedIn3DView();
            else
                browser->arrivedIn2DView();
        }
    });
    if (!animated) {
        Transaction::setDisableActions(true);
    } else {
        Transaction::setAnimationTimingFunction(pf::AnimationTimingFunction::easeInEaseOut());
        Transaction::setAnimationDuration(switchDuration());
    }
    const State going = to3D ? GoingTo3D : GoingTo2D;
    const State there = to3D ? In3D : In2D;
    // Announced once, when a switch that way starts; one taken over half-way is not announced again.
    if (m_state != there && m_state != going && m_delegate) {
        // The delegate may delete the browser: the transaction begun here still ends with the switch.
        const QPointer<OVLayerBrowser> self(this);
        if (to3D)
            m_delegate->willSwitchTo3DView();
        else
            m_delegate->willSwitchTo2DView();
        if (!self)
            return false;
    }
    if (m_state != there)
        m_state = going;
    return true;
}

void OVLayerBrowser::arrivedIn3DView()
{
    // A switch that another one took over finds the state changed and does nothing.
    if (m_state != GoingTo3D)
        return;
    m_state = In3D;
    if (m_delegate)
        m_delegate->didSwitchTo3DView();
}

void OVLayerBrowser::update2DView(bool animated)
{
    stopHoverTracking();
    if (!beginSwitch(animated, false)) {
        Transaction::commit();
        return;
    }
    if (m_showLayersIn2D && !m_layers.empty())
        setBoth(m_layers[0], m_borders[0], [](pf::Layer& layer) {
            layer.setShadowOpacity(0.75);
            layer.setShadowRadius(20);
            layer.setShadowOffset(Size(0, 0));
        });
    for (size_t i = 0; i < m_layers.size(); ++i) {
        const double opacity =
            !m_showLayersIn2D && m_state == In2D ? 0.0 : (qint64(i) <= m_selectionIndex ? 1.0 : 0.0);
        setBoth(m_layers[i], m_borders[i], [&](pf::Layer& layer) {
            layer.setTransform(Transform3D::identity());
            layer.setOpacity(opacity);
        });
        m_layers[i]->setFrame(m_layerFrame);
        m_borders[i]->setFrame(m_borderFrame);
    }
    Transaction::commit();
}

void OVLayerBrowser::arrivedIn2DView()
{
    if (m_state != GoingTo2D)
        return;
    m_state = In2D;
    if (m_delegate) {
        const QPointer<OVLayerBrowser> self(this);
        m_delegate->didSwitchTo2DView();
        if (!self)
            return;
    }
    if (m_showLayersIn2D)
        return;
    const Transaction::Scope atOnce(true);
    for (size_t i = 0; i < m_layers.size(); ++i)
        setBoth(m_layers[i], m_borders[i], [](pf::Layer& layer) { layer.setOpacity(0); });
}

// Hover and presses in 3D ------------------------------------------------------------------------------

void OVLayerBrowser::startHoverTracking()
{
    if (m_hoverTrackingArea)
        removeTrackingArea(m_hoverTrackingArea);
    m_hoverTrackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
        m_layerContainer->frame(), pf::TrackingArea::MouseMoved | pf::TrackingArea::ActiveInKeyWindow, this));
}

void OVLayerBrowser::stopHoverTracking()
{
    if (m_hoverIndex >= 0 && m_hoverIndex < qint64(m_borders.size()))
        m_borders[size_t(m_hoverIndex)]->setBackgroundColor(QColor());
    if (m_hoverTrackingArea) {
        removeTrackingArea(m_hoverTrackingArea);
        m_hoverTrackingArea = nullptr;
    }
}

void OVLayerBrowser::setHoverIndex(qint64 index)
{
    if (index == m_hoverIndex)
        return;
    if (m_hoverIndex >= 0 && m_hoverIndex < qint64(m_borders.size()))
        m_borders[size_t(m_hoverIndex)]->setBackgroundColor(QColor());
    m_hoverIndex = index;
    if (!m_hoverTrackingArea)
        return;
    if (index >= 0 && index < qint64(m_borders.size()))
        m_borders[size_t(index)]->setBackgroundColor(kHoverColor);
    if (m_delegate)
        m_delegate->layerBrowserHoveringLayerAtIndex(this, index);
}

qint64 OVLayerBrowser::layerIndexAtPoint(Point pointInWindow) const
{
    const Point p = m_layerContainer->convertPointToLayer3D(pointInWindow, nullptr);
    // The topmost first.
    for (qint64 i = qint64(m_layers.size()) - 1; i >= 0; --i)
        if (m_layers[size_t(i)]->hitTest(p))
            return i;
    return -1;
}

void OVLayerBrowser::mouseMoved(const pf::Event& event)
{
    if (!show3DView()) {
        OVImageView::mouseMoved(event);
        return;
    }
    const qint64 hit = layerIndexAtPoint(event.locationInWindow());
    setHoverIndex(hit >= 0 ? hit : m_selectionIndex);
}

void OVLayerBrowser::mouseDown(const pf::Event& event)
{
    const qint64 hit = show3DView() ? layerIndexAtPoint(event.locationInWindow()) : -1;
    if (hit < 0) {
        OVImageView::mouseDown(event);
        return;
    }
    // The controller decides; the selection changes when it calls setSelectionIndex(). It may delete
    // the browser then.
    if (m_delegate) {
        const QPointer<OVLayerBrowser> self(this);
        m_delegate->layerBrowserDidChangeSelection(this, hit);
        if (!self)
            return;
    }
    if (event.clickCount() == 2)
        setShow3DView(false);
}

void OVLayerBrowser::scrollWheel(const pf::Event& event)
{
    const unsigned chords = pf::Modifier::Control | pf::Modifier::Option | pf::Modifier::Command;
    if (show3DView() && !(event.modifierFlags() & chords))
        m_layerScroller->scrollWheel(event);
    else
        OVImageView::scrollWheel(event);
}

// The step scroller ------------------------------------------------------------------------------------

void OVLayerBrowser::scrollerDidChangeIndex(OVStepScroller* scroller, int index)
{
    setSelectionIndex(index);
    if (m_delegate) {
        const QPointer<OVLayerBrowser> self(this);
        const QPointer<OVStepScroller> scrollerGuard(scroller);
        m_delegate->layerBrowserDidChangeSelection(this, index);
        if (!self || !scrollerGuard)
            return;
    }
    if (scroller->hoveredIndex() == index)
        scrollerDidChangeHover(scroller, index);
}

void OVLayerBrowser::scrollerDidChangeHover(OVStepScroller* scroller, qint64 index)
{
    if (!m_delegate)
        return;
    schedulePasteButtonRemoval(kPasteButtonDelay);
    const QPointer<OVLayerBrowser> self(this);
    const QPointer<OVStepScroller> scrollerGuard(scroller);
    const bool interacts = index != OVStepScroller::NotFound &&
                           m_delegate->layerBrowserCanInteractFrom(this, scroller->currentIndex(), index);
    if (!self || !scrollerGuard)
        return;
    m_hoveringStepScroller = interacts;
    if (!m_hoveringStepScroller)
        return;
    m_pasteIndex = index;
    // Over the step's segment, standing on the track.
    const Rect segment = scroller->frameForSegment(index);
    const Rect s = scroller->frame();
    const Size size = m_copyMaskButton->frame().size;
    m_copyMaskButton->setFrame(Rect(s.minX() + segment.midX() - size.width / 2, s.minY() + segment.maxY() - 1,
                                    size.width, size.height));
    m_copyMaskButton->setAlphaValue(1.0);
    m_copyMaskButton->show();
    m_copyMaskButton->raise();
}

// The copy button --------------------------------------------------------------------------------------

bool OVLayerBrowser::isPasteButtonShown() const
{
    return m_copyMaskButton && !m_copyMaskButton->isHidden();
}

void OVLayerBrowser::schedulePasteButtonRemoval(double delay)
{
    if (m_pasteButtonTimer)
        m_pasteButtonTimer->invalidate();
    m_pasteButtonTimer = pf::Timer::scheduled(
        delay, false, [this](pf::Timer&) { removePasteButtonTimed(); }, this);
}

void OVLayerBrowser::removePasteButtonTimed()
{
    m_pasteButtonTimer.reset();
    if (m_hoveringPasteButton || m_hoveringStepScroller || m_forceVisible || !isPasteButtonShown())
        return;
    pf::ViewAnimator::fadeOutAndHide(m_copyMaskButton);
}

void OVLayerBrowser::hidePasteButton()
{
    // The steps it stood over change meaning: it goes at once.
    if (m_pasteButtonTimer) {
        m_pasteButtonTimer->invalidate();
        m_pasteButtonTimer.reset();
    }
    m_hoveringStepScroller = false;
    m_hoveringPasteButton = false;
    m_commandKeyMonitor.reset();
    if (m_arrowView)
        m_arrowView->hide();
    if (m_layerScroller)
        m_layerScroller->setPulseKnob(false);
    if (m_copyMaskButton) {
        m_copyMaskButton->hide();
        m_copyMaskButton->setAlphaValue(1.0);
    }
}

void OVLayerBrowser::buttonHovered(OVButton* button, bool hovered)
{
    if (button != m_copyMaskButton)
        return;
    m_hoveringPasteButton = hovered;
    if (hovered) {
        const Rect current = m_layerScroller->frameForSegment(m_layerScroller->currentIndex());
        const Rect b = button->frame();
        if (m_layerScroller->currentIndex() >= m_pasteIndex) {
            m_arrowView->setToPoint(Point(b.minX(), 14));
            m_arrowView->setToDirection(3);
        } else {
            m_arrowView->setToPoint(Point(b.maxX(), 16));
            m_arrowView->setToDirection(1);
        }
        m_arrowView->setFromPoint(Point(current.midX(), 0));
        // The arrow shows the copy's direction while Command is held.
        m_arrowView->setHidden(!(pf::Event::currentModifierFlags() & pf::Modifier::Command));
        m_commandKeyMonitor = pf::EventMonitor::addLocalMonitor(
            pf::eventMask(pf::EventType::FlagsChanged), [this](const pf::Event& event) {
                if (m_arrowView && m_hoveringPasteButton)
                    m_arrowView->setHidden(!(event.modifierFlags() & pf::Modifier::Command));
                return true;
            });
        m_layerScroller->setPulseKnob(true);
    } else {
        schedulePasteButtonRemoval(kPasteButtonLeaveDelay);
        m_commandKeyMonitor.reset();
        m_arrowView->hide();
        m_layerScroller->setPulseKnob(false);
    }
}

void OVLayerBrowser::interactionButtonClicked()
{
    if (!m_delegate || !isPasteButtonShown())
        return;
    const qint64 target = m_layerScroller->currentIndex();
    // The selection or the layers may have changed since the button was offered. Asking may delete the
    // browser.
    const QPointer<OVLayerBrowser> self(this);
    if (m_pasteIndex < 0 || m_pasteIndex >= qint64(m_layers.size()) ||
        !m_delegate->layerBrowserCanInteractFrom(this, target, m_pasteIndex)) {
        if (self)
            hidePasteButton();
        return;
    }
    if (!self || !m_delegate)
        return;
    pf::LayerHostView* host = window() ? pf::LayerHostView::windowHost(window()) : nullptr;
    OVImageView* knobView = m_layerScroller->knobView();
    const Rect knob = convertRectFromView(knobView->bounds(), knobView);
    Rect buttonFrame = m_copyMaskButton->frame();
    buttonFrame =
        Rect(buttonFrame.minX() + 12, buttonFrame.minY(), buttonFrame.width() - 24, buttonFrame.height());
    m_forceVisible = true;
    if (host) {
        const double scale = window()->windowHandle() ? window()->windowHandle()->devicePixelRatio()
                                                      : pf::NamedImage::screenScale();
        const Rect k = host->convertRectFromView(knob, this);
        const Rect t = host->convertRectFromView(buttonFrame, this);
        auto snapshot = pf::Layer::create();
        snapshot->setName(QStringLiteral("knob flight"));
        {
            const Transaction::Scope atOnce(true);
            snapshot->setFrame(k);
            snapshot->setContents(knobView->snapshot(scale));
            snapshot->setContentsScale(scale);
            snapshot->setShadowColor(m_layerScroller->knobShadowColor().isValid()
                                         ? m_layerScroller->knobShadowColor()
                                         : QColor(77, 77, 255));
            snapshot->setShadowRadius(std::max(m_layerScroller->knobShadowRadius(), 3.0));
            snapshot->setShadowOpacity(0.5);
            snapshot->setShadowOffset(Size(0, 0));
            host->layer()->addSublayer(snapshot);
        }
        m_animatedView.push_back(snapshot);

        // From the button into the knob, arching over both.
        const Point p0(t.midX(), t.midY()), p1(k.midX(), k.midY());
        QPainterPath path;
        path.moveTo(p0.x, p0.y);
        path.cubicTo((p0.x + p1.x) / 2, p0.y + 3 * (p0.y - p1.y), p1.x, p1.y + 3 * (p0.y - p1.y), p1.x, p1.y);
        auto position = pf::KeyframeAnimation::create(QStringLiteral("position"));
        position->setPath(path);
        auto opacity = pf::KeyframeAnimation::create(QStringLiteral("opacity"));
        opacity->setValues({0.0, 1.0, 1.0, 0.0});
        opacity->setKeyTimes({0.0, 0.05, 0.95, 1.0});
        auto transform = pf::BasicAnimation::create(QStringLiteral("transform"));
        transform->setFromValue(QVariant::fromValue(Transform3D::scale(
            k.width() > 0 ? t.width() / k.width() : 1, k.height() > 0 ? t.height() / k.height() : 1, 1)));
        transform->setToValue(QVariant::fromValue(Transform3D::identity()));
        auto flight = pf::AnimationGroup::create();
        flight->setAnimations({position, opacity, transform});
        flight->setDuration(kFlightDuration);
        flight->setDelegate(this);
        snapshot->addAnimation(flight, QString());
    }
    m_delegate->layerBrowserInteractFrom(this, m_pasteIndex, target);
    if (self && !host)
        m_forceVisible = false;
}

void OVLayerBrowser::animationDidStop(const pf::Animation&, bool)
{
    if (m_animatedView.empty())
        return;
    {
        const Transaction::Scope atOnce(true);
        m_animatedView.front()->removeFromSuperlayer();
    }
    m_animatedView.erase(m_animatedView.begin());
    // The copy has landed: the button is again removed when the pointer is neither on it nor on a step
    // that can give its mask.
    if (m_animatedView.empty()) {
        m_forceVisible = false;
        removePasteButtonTimed();
    }
}
