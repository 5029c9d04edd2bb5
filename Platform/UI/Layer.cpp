#include "Platform/UI/Layer.h"

#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/AnimationScheduler.h"
#include "Platform/UI/BasicAnimation.h"
#include "Platform/UI/LayerDelegate.h"
#include "Platform/UI/LayerTreeObserver.h"
#include "Platform/UI/View.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace pf {

namespace {

template <typename T> bool same(const T& a, const T& b)
{
    return a == b;
}

// Rect's == compares standardized rectangles; a layer's bounds keep their exact origin.
bool same(const Rect& a, const Rect& b)
{
    return a.origin == b.origin && a.size == b.size;
}

bool isPlacementKey(const QString& key)
{
    static const QStringList keys = {
        QStringLiteral("position"),     QStringLiteral("zPosition"),    QStringLiteral("anchorPoint"),
        QStringLiteral("anchorPointZ"), QStringLiteral("transform"),    QStringLiteral("opacity"),
        QStringLiteral("hidden"),       QStringLiteral("shadowColor"),  QStringLiteral("shadowOpacity"),
        QStringLiteral("shadowRadius"), QStringLiteral("shadowOffset"),
    };
    return keys.contains(key);
}

Transform3D localToSuperlayer(const LayerState& s, const LayerState* superlayer)
{
    const Point anchor = s.anchorInBounds();
    Transform3D m = Transform3D::translation(-anchor.x, -anchor.y, -s.anchorPointZ)
                        .concatenated(s.transform)
                        .concatenated(Transform3D::translation(s.position.x, s.position.y, s.zPosition));
    if (superlayer && !superlayer->sublayerTransform.isIdentity()) {
        const Point a = superlayer->anchorInBounds();
        m = m.concatenated(Transform3D::translation(-a.x, -a.y, 0))
                .concatenated(superlayer->sublayerTransform)
                .concatenated(Transform3D::translation(a.x, a.y, 0));
    }
    return m;
}

// Divides by w whatever its sign; a point on the horizon maps to infinity.
Point divide(const QTransform& t, Point p)
{
    const double w = t.m13() * p.x + t.m23() * p.y + t.m33();
    if (w == 0)
        return {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    return {(t.m11() * p.x + t.m21() * p.y + t.m31()) / w, (t.m12() * p.x + t.m22() * p.y + t.m32()) / w};
}

// From `from`'s plane into `to`'s plane (null: the root's superlayer plane).
Homography mapBetween(const Layer* from, const Layer* to)
{
    Homography map = from ? from->mapToRootSpace() : Homography();
    if (to) {
        Homography inverse;
        to->mapToRootSpace().invert(&inverse);
        map = map.then(inverse);
    }
    return map;
}

} // namespace

Layer::Layer() = default;

Layer::~Layer()
{
    for (const auto& sublayer : m_sublayers)
        sublayer->m_superlayer = nullptr;
    if (m_mask)
        m_mask->m_maskOwner = nullptr;
    // The layer's animations end with it: their delegates hear so, their transactions may complete.
    for (RunningAnimation& running : m_animations) {
        if (running.animation->delegate())
            AnimationScheduler::shared().post(
                [animation = running.animation] { animation->notifyStop(false); });
        for (const auto& completion : running.completions)
            Transaction::release(completion);
    }
}

QVariant Layer::value(const QString& key) const
{
    if (key == QLatin1String("contents")) {
        const QImage image = contents();
        return image.isNull() ? QVariant() : QVariant(image);
    }
    if (LayerState::isKey(key))
        return m_model.value(key);
    return m_values.value(key);
}

void Layer::setValue(const QString& key, const QVariant& value)
{
    if (key == QLatin1String("bounds")) {
        LayerState probe;
        if (probe.setValue(key, value))
            setBounds(probe.bounds);
        else
            warning(
                QStringLiteral("layer value \"bounds\" cannot be set to a %1").arg(value.metaType().name()));
    } else if (key == QLatin1String("contents")) {
        setContents(value.value<QImage>());
    } else if (LayerState::isKey(key)) {
        changeValue(key, value);
    } else {
        m_values.insert(key, value);
    }
}

void Layer::runChange(const QString& key, Change kind, const std::function<void()>& apply)
{
    LayerAction action = LayerAction::none();
    if (m_presented && !Transaction::disableActions())
        action = actionForKey(key);
    if (action.animation()) {
        const LayerState before = presentationState();
        apply();
        addAnimationResolved(action.animation(), key, before);
    } else {
        apply();
    }
    noteChange(kind, Rect::infinite());
}

template <typename T>
void Layer::change(const QString& key, T LayerState::*member, const T& value, Change kind)
{
    if (same(m_model.*member, value))
        return;
    runChange(key, kind, [&] { m_model.*member = value; });
}

void Layer::changeValue(const QString& key, const QVariant& value)
{
    LayerState next = m_model;
    if (!next.setValue(key, value)) {
        warning(QStringLiteral("layer value \"%1\" cannot be set to a %2").arg(key, value.metaType().name()));
        return;
    }
    if (next.value(key) == m_model.value(key))
        return;
    runChange(key, isPlacementKey(key) ? Change::Placement : Change::Content,
              [&] { m_model.setValue(key, value); });
}

void Layer::setBounds(const Rect& bounds)
{
    if (same(bounds, m_model.bounds))
        return;
    const Size oldSize = m_model.bounds.size;
    change(QStringLiteral("bounds"), &LayerState::bounds, bounds, Change::Content);
    if (oldSize == bounds.size)
        return;
    resizeSublayersWithOldSize(oldSize);
    setNeedsLayout();
    if (m_needsDisplayOnBoundsChange)
        setNeedsDisplay();
}

void Layer::setPosition(Point position)
{
    change(QStringLiteral("position"), &LayerState::position, position, Change::Placement);
}

void Layer::setZPosition(double z)
{
    change(QStringLiteral("zPosition"), &LayerState::zPosition, z, Change::Placement);
}

void Layer::setAnchorPoint(Point anchor)
{
    change(QStringLiteral("anchorPoint"), &LayerState::anchorPoint, anchor, Change::Placement);
}

void Layer::setAnchorPointZ(double z)
{
    change(QStringLiteral("anchorPointZ"), &LayerState::anchorPointZ, z, Change::Placement);
}

Rect Layer::frame() const
{
    return mapToSuperlayer(m_model, nullptr).mapRect(m_model.bounds);
}

void Layer::setFrame(const Rect& frame)
{
    const Rect f = frame.standardized();
    if (f.isNull())
        return;
    setPosition(
        {f.minX() + m_model.anchorPoint.x * f.width(), f.minY() + m_model.anchorPoint.y * f.height()});
    setBounds({m_model.bounds.origin, f.size});
}

void Layer::setTransform(const Transform3D& transform)
{
    change(QStringLiteral("transform"), &LayerState::transform, transform, Change::Placement);
}

void Layer::setAffineTransform(const AffineTransform& transform)
{
    setTransform(Transform3D::fromAffine(transform));
}

void Layer::setSublayerTransform(const Transform3D& transform)
{
    change(QStringLiteral("sublayerTransform"), &LayerState::sublayerTransform, transform, Change::Content);
}

void Layer::setOpacity(double opacity)
{
    change(QStringLiteral("opacity"), &LayerState::opacity, opacity, Change::Placement);
}

void Layer::setHidden(bool hidden)
{
    change(QStringLiteral("hidden"), &LayerState::hidden, hidden, Change::Placement);
}

void Layer::setBackgroundColor(const QColor& color)
{
    change(QStringLiteral("backgroundColor"), &LayerState::backgroundColor, color, Change::Content);
}

void Layer::setBorderWidth(double width)
{
    change(QStringLiteral("borderWidth"), &LayerState::borderWidth, width, Change::Content);
}

void Layer::setBorderColor(const QColor& color)
{
    change(QStringLiteral("borderColor"), &LayerState::borderColor, color, Change::Content);
}

void Layer::setCornerRadius(double radius)
{
    change(QStringLiteral("cornerRadius"), &LayerState::cornerRadius, radius, Change::Content);
}

void Layer::setMasksToBounds(bool masks)
{
    change(QStringLiteral("masksToBounds"), &LayerState::masksToBounds, masks, Change::Content);
}

void Layer::setShadowColor(const QColor& color)
{
    change(QStringLiteral("shadowColor"), &LayerState::shadowColor, color, Change::Placement);
}

void Layer::setShadowOpacity(double opacity)
{
    change(QStringLiteral("shadowOpacity"), &LayerState::shadowOpacity, opacity, Change::Placement);
}

void Layer::setShadowRadius(double radius)
{
    change(QStringLiteral("shadowRadius"), &LayerState::shadowRadius, radius, Change::Placement);
}

void Layer::setShadowOffset(Size offset)
{
    change(QStringLiteral("shadowOffset"), &LayerState::shadowOffset, offset, Change::Placement);
}

void Layer::setMask(std::shared_ptr<Layer> mask)
{
    if (mask == m_mask)
        return;
    PF_ASSERT(!mask || (mask.get() != this && !isDescendantOf(mask.get())),
              "a layer cannot be masked by itself");
    if (m_mask)
        m_mask->m_maskOwner = nullptr;
    if (mask) {
        mask->detachFromSuperlayer();
        if (mask->m_maskOwner)
            mask->m_maskOwner->setMask(nullptr);
        mask->m_maskOwner = this;
    }
    m_mask = std::move(mask);
    noteChange(Change::Placement, Rect::infinite());
}

QImage Layer::contents() const
{
    return m_showsBacking ? m_backing : m_model.contents;
}

void Layer::setContents(const QImage& image)
{
    if (!m_showsBacking && image.cacheKey() == m_model.contents.cacheKey())
        return;
    runChange(QStringLiteral("contents"), Change::Content, [&] {
        m_model.contents = image;
        // The image from outside replaces the drawing: a later partial redraw must not show a backing
        // store that holds only the redrawn part.
        m_showsBacking = false;
        m_backing = QImage();
        m_backingValid = false;
        m_dirty = QRegion();
        m_dirtyAll = false;
    });
}

void Layer::setContentsRect(const Rect& rect)
{
    change(QStringLiteral("contentsRect"), &LayerState::contentsRect, rect, Change::Content);
}

void Layer::setContentsGravity(ContentsGravity gravity)
{
    change(QStringLiteral("contentsGravity"), &LayerState::contentsGravity, gravity, Change::Content);
}

void Layer::setContentsScale(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale)) {
        warning(QStringLiteral("a layer's contents scale must be positive; %1 was ignored").arg(scale));
        return;
    }
    change(QStringLiteral("contentsScale"), &LayerState::contentsScale, scale, Change::Content);
    if (drawsContent())
        setNeedsDisplay();
}

// Tree.

void Layer::setSublayers(const std::vector<std::shared_ptr<Layer>>& sublayers)
{
    const std::vector<std::shared_ptr<Layer>> old = m_sublayers;
    for (const auto& layer : old)
        layer->detachFromSuperlayer();
    for (const auto& layer : sublayers)
        addSublayer(layer);
}

void Layer::addSublayer(const std::shared_ptr<Layer>& layer)
{
    attach(layer, m_sublayers.size());
}

void Layer::insertSublayer(const std::shared_ptr<Layer>& layer, size_t index)
{
    attach(layer, index);
}

void Layer::insertSublayerBelow(const std::shared_ptr<Layer>& layer, const Layer* sibling)
{
    const auto it = std::find_if(m_sublayers.begin(), m_sublayers.end(),
                                 [&](const std::shared_ptr<Layer>& l) { return l.get() == sibling; });
    attach(layer, it == m_sublayers.end() ? 0 : static_cast<size_t>(it - m_sublayers.begin()));
}

void Layer::insertSublayerAbove(const std::shared_ptr<Layer>& layer, const Layer* sibling)
{
    const auto it = std::find_if(m_sublayers.begin(), m_sublayers.end(),
                                 [&](const std::shared_ptr<Layer>& l) { return l.get() == sibling; });
    attach(layer,
           it == m_sublayers.end() ? m_sublayers.size() : static_cast<size_t>(it - m_sublayers.begin()) + 1);
}

void Layer::replaceSublayer(const Layer* old, const std::shared_ptr<Layer>& replacement)
{
    const auto it = std::find_if(m_sublayers.begin(), m_sublayers.end(),
                                 [&](const std::shared_ptr<Layer>& l) { return l.get() == old; });
    if (it == m_sublayers.end() || !replacement || replacement.get() == old)
        return;
    const size_t index = static_cast<size_t>(it - m_sublayers.begin());
    const std::shared_ptr<Layer> keep = *it;
    keep->detachFromSuperlayer();
    attach(replacement, index);
}

void Layer::attach(const std::shared_ptr<Layer>& layer, size_t index)
{
    PF_ASSERT(layer, "a null layer cannot be a sublayer");
    PF_ASSERT(layer.get() != this && !isDescendantOf(layer.get()), "a layer cannot contain itself");
    const std::shared_ptr<Layer> keep = layer;
    if (layer->m_superlayer == this) {
        const auto it = std::find(m_sublayers.begin(), m_sublayers.end(), layer);
        const size_t current = static_cast<size_t>(it - m_sublayers.begin());
        m_sublayers.erase(it);
        if (current < index)
            --index;
    } else {
        layer->detachFromSuperlayer();
        if (layer->m_maskOwner)
            layer->m_maskOwner->setMask(nullptr);
    }
    index = std::min(index, m_sublayers.size());
    m_sublayers.insert(m_sublayers.begin() + static_cast<std::ptrdiff_t>(index), layer);
    layer->m_superlayer = this;
    noteChange(Change::Content, Rect::infinite());
}

void Layer::detachFromSuperlayer()
{
    Layer* superlayer = m_superlayer;
    if (!superlayer)
        return;
    const std::shared_ptr<Layer> keep = weak_from_this().lock(); // the superlayer may hold the last reference
    auto& siblings = superlayer->m_sublayers;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [this](const std::shared_ptr<Layer>& l) { return l.get() == this; }),
                   siblings.end());
    m_superlayer = nullptr;
    superlayer->noteChange(Change::Content, Rect::infinite());
}

void Layer::removeFromSuperlayer()
{
    detachFromSuperlayer();
}

bool Layer::isDescendantOf(const Layer* ancestor) const
{
    for (const Layer* l = m_superlayer ? m_superlayer : m_maskOwner; l;
         l = l->m_superlayer ? l->m_superlayer : l->m_maskOwner)
        if (l == ancestor)
            return true;
    return false;
}

Layer* Layer::rootLayer()
{
    Layer* layer = this;
    while (Layer* up = layer->m_superlayer ? layer->m_superlayer : layer->m_maskOwner)
        layer = up;
    return layer;
}

// Autoresizing and layout.

void Layer::resizeSublayersWithOldSize(Size oldSize)
{
    const std::vector<std::shared_ptr<Layer>> sublayers = m_sublayers;
    for (const auto& sublayer : sublayers)
        sublayer->resizeWithOldSuperlayerSize(oldSize);
}

void Layer::resizeWithOldSuperlayerSize(Size oldSize)
{
    if (m_autoresizingMask == NotSizable || !m_superlayer)
        return;
    // Views and layers share the masks' bits and their proportional rule; margins count from the
    // superlayer's bounds origin.
    const Rect superBounds = m_superlayer->bounds();
    const Rect frame = m_model.untransformedFrame().offsetBy(-superBounds.origin.x, -superBounds.origin.y);
    const Rect resized = View::autoresizedFrame(frame, m_autoresizingMask, oldSize, superBounds.size);
    setFrame(resized.offsetBy(superBounds.origin.x, superBounds.origin.y));
}

void Layer::setNeedsLayout()
{
    if (m_needsLayout)
        return;
    m_needsLayout = true;
    noteChange(Change::Content, Rect::infinite());
}

void Layer::layoutIfNeeded()
{
    if (m_needsLayout) {
        m_needsLayout = false;
        layoutSublayers();
    }
    const std::vector<std::shared_ptr<Layer>> sublayers = m_sublayers;
    for (const auto& sublayer : sublayers)
        sublayer->layoutIfNeeded();
    if (m_mask)
        m_mask->layoutIfNeeded();
}

void Layer::layoutSublayers()
{
    if (LayerDelegate* d = delegate())
        d->layoutSublayersOfLayer(*this);
}

// Drawing.

LayerDelegate* Layer::delegate() const
{
    return m_delegate.get();
}

void Layer::setDelegate(LayerDelegate* delegate)
{
    m_delegate.set(delegate);
}

bool Layer::drawsContent() const
{
    return delegate() != nullptr;
}

void Layer::setNeedsDisplay()
{
    if (!drawsContent())
        return; // a layer that paints nothing keeps its contents
    m_dirtyAll = true;
    noteChange(Change::Content, Rect::infinite());
}

void Layer::setNeedsDisplayInRect(const Rect& rect)
{
    if (!drawsContent())
        return;
    const Rect b = m_model.bounds.standardized();
    const Rect r = rect.standardized().intersected(b);
    if (r.isNull() || r.isEmpty())
        return;
    if (!m_backingValid) {
        m_dirtyAll = true;
    } else {
        const double s = m_model.contentsScale;
        const int x0 = static_cast<int>(std::floor((r.minX() - b.minX()) * s));
        const int x1 = static_cast<int>(std::ceil((r.maxX() - b.minX()) * s));
        const int y0 = static_cast<int>(std::floor((b.maxY() - r.maxY()) * s));
        const int y1 = static_cast<int>(std::ceil((b.maxY() - r.minY()) * s));
        m_dirty += QRect(x0, y0, x1 - x0, y1 - y0);
    }
    noteChange(Change::Content, r);
}

bool Layer::needsDisplay() const
{
    return m_dirtyAll || !m_dirty.isEmpty();
}

void Layer::displayIfNeeded()
{
    if (!needsDisplay())
        return;
    const bool all = m_dirtyAll;
    const QRegion dirty = m_dirty;
    m_dirty = QRegion();
    m_dirtyAll = false;
    if (!drawsContent())
        return;
    const Rect b = m_model.bounds.standardized();
    const double s = m_model.contentsScale;
    const QSize size(static_cast<int>(std::ceil(b.width() * s - 1e-9)),
                     static_cast<int>(std::ceil(b.height() * s - 1e-9)));
    m_showsBacking = true;
    m_model.contents = QImage();
    if (size.isEmpty()) {
        m_backing = QImage();
        m_backingValid = false;
        return;
    }
    const bool full = all || !m_backingValid || m_backing.size() != size;
    if (m_backing.size() != size) {
        m_backing = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (m_backing.isNull()) {
            warning(QStringLiteral("no memory for a layer backing store of %1 x %2 pixels")
                        .arg(size.width())
                        .arg(size.height()));
            m_backingValid = false;
            return;
        }
    }
    const QRegion region = full ? QRegion(0, 0, size.width(), size.height()) : dirty & QRect(QPoint(), size);
    {
        QPainter painter(&m_backing);
        painter.setClipRegion(region);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(region.boundingRect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        // y-up layer coordinates onto y-down pixels.
        painter.setTransform(QTransform(s, 0, 0, -s, -b.minX() * s, b.maxY() * s));
        drawInContext(painter);
    }
    m_backingValid = true;
    ++m_contentRevision;
    for (Layer* up = m_superlayer ? m_superlayer : m_maskOwner; up;
         up = up->m_superlayer ? up->m_superlayer : up->m_maskOwner)
        ++up->m_contentRevision;
}

void Layer::drawInContext(QPainter& painter)
{
    if (LayerDelegate* d = delegate())
        d->drawLayer(*this, painter);
}

// Actions and animations.

LayerAction Layer::actionForKey(const QString& key)
{
    if (LayerDelegate* d = delegate()) {
        LayerAction action = d->actionForLayer(*this, key);
        if (action.isHandled())
            return action;
    }
    if (!LayerState::isAnimatableKey(key))
        return LayerAction::none();
    return LayerAction::animate(BasicAnimation::create(key));
}

void Layer::addAnimation(const std::shared_ptr<Animation>& animation, const QString& key)
{
    addAnimationResolved(animation, key, presentationState());
}

void Layer::addAnimationResolved(const std::shared_ptr<Animation>& animation, const QString& key,
                                 const LayerState& from)
{
    PF_ASSERT(animation, "a null animation cannot be added");
    const std::shared_ptr<Layer> self = weak_from_this().lock();
    PF_ASSERT(self, "layers that animate must be shared (made with std::make_shared)");
    const std::shared_ptr<Animation> copy = animation->clone();
    // Unset duration and pacing come from the transaction.
    if (!(copy->duration() > 0))
        copy->setDuration(Transaction::animationDuration());
    if (!copy->timingFunction())
        copy->setTimingFunction(Transaction::animationTimingFunction());
    copy->resolve(from);
    if (!key.isEmpty())
        removeAnimation(key);
    const double now = AnimationScheduler::shared().now();
    RunningAnimation running;
    running.key = key;
    running.animation = copy;
    running.begin = now + copy->beginTime();
    running.end = running.begin + copy->activeDuration();
    running.completions = Transaction::retainCompletions();
    m_animations.push_back(std::move(running));
    noteAnimationAdded();
    AnimationScheduler::shared().watch(self);
}

void Layer::finish(RunningAnimation&& running, bool finished,
                   std::vector<std::function<void()>>* notifications)
{
    // The delegate hears of the end before the transaction's completion block runs.
    if (running.animation->delegate()) {
        auto notify = [animation = running.animation, finished] { animation->notifyStop(finished); };
        if (notifications)
            notifications->push_back(std::move(notify));
        else
            AnimationScheduler::shared().post(std::move(notify));
    }
    for (const auto& completion : running.completions)
        Transaction::release(completion);
}

void Layer::removeAnimation(const QString& key)
{
    const auto it = std::find_if(m_animations.begin(), m_animations.end(),
                                 [&](const RunningAnimation& r) { return r.key == key; });
    if (it == m_animations.end())
        return;
    RunningAnimation running = std::move(*it);
    m_animations.erase(it);
    finish(std::move(running), false, nullptr);
    noteChange(Change::Content, Rect::infinite());
}

void Layer::removeAllAnimations()
{
    std::vector<RunningAnimation> animations = std::move(m_animations);
    m_animations.clear();
    for (RunningAnimation& running : animations)
        finish(std::move(running), false, nullptr);
    if (!animations.empty())
        noteChange(Change::Content, Rect::infinite());
}

std::shared_ptr<const Animation> Layer::animation(const QString& key) const
{
    for (const RunningAnimation& r : m_animations)
        if (r.key == key && !key.isEmpty())
            return r.animation;
    return nullptr;
}

QStringList Layer::animationKeys() const
{
    QStringList keys;
    for (const RunningAnimation& r : m_animations)
        if (!r.key.isEmpty())
            keys.append(r.key);
    return keys;
}

void Layer::advanceAnimations(double time, std::vector<std::function<void()>>& notifications)
{
    bool ended = false;
    for (size_t i = 0; i < m_animations.size();) {
        RunningAnimation& running = m_animations[i];
        if (!running.started && time >= running.begin) {
            running.started = true;
            if (running.animation->delegate())
                notifications.push_back([animation = running.animation] { animation->notifyStart(); });
        }
        if (time >= running.end) {
            RunningAnimation done = std::move(running);
            m_animations.erase(m_animations.begin() + static_cast<std::ptrdiff_t>(i));
            finish(std::move(done), true, &notifications);
            ended = true;
            continue;
        }
        ++i;
    }
    if (ended)
        noteChange(Change::Content, Rect::infinite());
}

double Layer::nextAnimationEvent() const
{
    double next = std::numeric_limits<double>::infinity();
    for (const RunningAnimation& r : m_animations)
        next = std::min(next, r.started ? r.end : r.begin);
    return next;
}

// Model and presentation.

LayerState Layer::presentationState() const
{
    return presentationState(AnimationScheduler::shared().now());
}

LayerState Layer::presentationState(double time) const
{
    LayerState state = m_model;
    if (m_showsBacking)
        state.contents = m_backing;
    if (m_animations.empty())
        return state;
    const LayerState model = state;
    for (const RunningAnimation& r : m_animations) {
        const double elapsed = time - r.begin;
        if (elapsed >= 0 && time < r.end)
            r.animation->apply(state, model, elapsed);
    }
    return state;
}

QVariant Layer::presentationValue(const QString& key) const
{
    return presentationState().value(key);
}

Homography Layer::mapToSuperlayer(const LayerState& state, const LayerState* superlayerState)
{
    return Homography(localToSuperlayer(state, superlayerState).flattened());
}

Homography Layer::mapToRootSpace() const
{
    Homography map;
    for (const Layer* l = this; l; l = l->m_superlayer ? l->m_superlayer : l->m_maskOwner)
        map = map.then(mapToSuperlayer(l->m_model, l->m_superlayer ? &l->m_superlayer->m_model : nullptr));
    return map;
}

Homography Layer::presentationMapToRootSpace(double time) const
{
    Homography map;
    LayerState state = presentationState(time);
    for (const Layer* l = this; l;) {
        const Layer* up = l->m_superlayer ? l->m_superlayer : l->m_maskOwner;
        LayerState upState = up ? up->presentationState(time) : LayerState();
        map = map.then(mapToSuperlayer(state, l->m_superlayer ? &upState : nullptr));
        state = std::move(upState);
        l = up;
    }
    return map;
}

Point Layer::convertPointFromLayer(Point point, const Layer* layer) const
{
    return divide(mapBetween(layer, this).transform(), point);
}

Point Layer::convertPointToLayer(Point point, const Layer* layer) const
{
    return divide(mapBetween(this, layer).transform(), point);
}

Rect Layer::convertRectFromLayer(const Rect& rect, const Layer* layer) const
{
    return mapBetween(layer, this).mapRect(rect);
}

Rect Layer::convertRectToLayer(const Rect& rect, const Layer* layer) const
{
    return mapBetween(this, layer).mapRect(rect);
}

// Hit testing.

bool Layer::containsPoint(Point point) const
{
    return m_model.bounds.standardized().contains(point);
}

std::shared_ptr<Layer> Layer::hitTest(Point point)
{
    const double time = AnimationScheduler::shared().now();
    const LayerState state = presentationState(time);
    if (m_superlayer) {
        const LayerState superState = m_superlayer->presentationState(time);
        return hitTest(point, time, state, &superState);
    }
    return hitTest(point, time, state, nullptr);
}

std::shared_ptr<Layer> Layer::hitTest(Point point, double time, const LayerState& s,
                                      const LayerState* superState)
{
    if (s.hidden || !(s.opacity > 0))
        return nullptr;
    Homography inverse;
    if (!mapToSuperlayer(s, superState).invert(&inverse))
        return nullptr;
    Point local;
    if (!inverse.map(point, &local)) // behind the eye
        return nullptr;
    const bool inside = s.bounds.standardized().contains(local);
    if (s.masksToBounds && !inside)
        return nullptr;
    if (m_mask && !maskAllows(local, s, time))
        return nullptr;
    // Front to back: the reverse of the painter's order (sublayer order, then zPosition).
    const std::vector<std::shared_ptr<Layer>> sublayers = m_sublayers;
    std::vector<LayerState> states;
    states.reserve(sublayers.size());
    for (const auto& sublayer : sublayers)
        states.push_back(sublayer->presentationState(time));
    std::vector<size_t> order(sublayers.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return states[a].zPosition < states[b].zPosition; });
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if (std::shared_ptr<Layer> hit = sublayers[*it]->hitTest(local, time, states[*it], &s))
            return hit;
    return inside ? weak_from_this().lock() : nullptr;
}

bool Layer::maskAllows(Point point, const LayerState&, double time) const
{
    const LayerState m = m_mask->presentationState(time);
    if (m.hidden)
        return false;
    Homography inverse;
    if (!mapToSuperlayer(m, nullptr).invert(&inverse))
        return false;
    Point local;
    if (!inverse.map(point, &local) || !m.bounds.standardized().contains(local))
        return false;
    const double background = m.backgroundColor.isValid() ? m.backgroundColor.alphaF() : 0;
    const double contents = m.contentsAlphaAt(m.contents, local);
    return (1 - (1 - background) * (1 - contents)) * m.opacity > 0;
}

// Change bookkeeping.

void Layer::noteChange(Change kind, const Rect& dirtyInLayer)
{
    if (kind == Change::Content)
        ++m_contentRevision;
    Layer* layer = this;
    while (Layer* up = layer->m_superlayer ? layer->m_superlayer : layer->m_maskOwner) {
        ++up->m_contentRevision;
        layer = up;
    }
    if (LayerTreeObserver* observer = layer->m_observer) {
        if (dirtyInLayer.isInfinite())
            observer->layerTreeDidChange(Rect::infinite());
        else
            observer->layerTreeDidChange(
                presentationMapToRootSpace(AnimationScheduler::shared().now()).mapRect(dirtyInLayer));
    }
}

void Layer::noteAnimationAdded()
{
    if (LayerTreeObserver* observer = rootLayer()->m_observer)
        observer->layerTreeDidAddAnimation();
}

void Layer::didChangeAppearance()
{
    noteChange(Change::Content, Rect::infinite());
}

} // namespace pf
