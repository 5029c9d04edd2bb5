#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/UI/Homography.h"
#include "Platform/UI/LayerAction.h"
#include "Platform/UI/LayerState.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/WeakDelegate.h"

#include <QHash>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace pf {

class Animation;
class LayerDelegate;
class LayerTreeObserver;

// A retained, flat, rectangular layer of a layer tree: geometry (bounds, position, anchor point, depth,
// a 4x4 transform and a transform for its sublayers), a look (background, border, corner radius,
// shadow, contents image, mask) and sublayers drawn in order over it. Every layer is flattened into the
// plane of its superlayer, so each level is a projective map of one plane onto another.
//
// Changing a value runs the value's action: unless the current transaction disables actions, the
// delegate (or a subclass through actionForKey()) may supply an animation, and animatable values
// animate by default for the transaction's duration. What a layer looks like at a moment, with its
// animations applied, is its presentation; the values set are its model. Layers that have never been
// drawn change at once (there is nothing on screen to animate from).
//
// Layers are shared (make them with create() or std::make_shared) and belong to the main thread.
class Layer : public std::enable_shared_from_this<Layer>
{
public:
    // How a sublayer follows changes of its superlayer's size.
    enum AutoresizingMask : unsigned
    {
        NotSizable = 0,
        MinXMargin = 1,
        WidthSizable = 2,
        MaxXMargin = 4,
        MinYMargin = 8,
        HeightSizable = 16,
        MaxYMargin = 32,
    };

    Layer();
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;
    static std::shared_ptr<Layer> create() { return std::make_shared<Layer>(); }
    // A new, plainly initialised layer of this layer's own class (for copies); subclasses answer theirs.
    virtual std::shared_ptr<Layer> newOfSameClass() const { return create(); }

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    // Any value by key: the layer's own values by their names ("opacity", "bounds", ...; setting one is
    // the same as its setter) and free keys that the layer only stores.
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);

    // Geometry.
    const Rect& bounds() const { return m_model.bounds; }
    virtual void setBounds(const Rect& bounds);
    Point position() const { return m_model.position; }
    void setPosition(Point position);
    double zPosition() const { return m_model.zPosition; }
    void setZPosition(double z);
    Point anchorPoint() const { return m_model.anchorPoint; }
    void setAnchorPoint(Point anchor);
    double anchorPointZ() const { return m_model.anchorPointZ; }
    void setAnchorPointZ(double z);
    // The bounding box of the bounds in the superlayer (the superlayer's sublayer transform left out).
    Rect frame() const;
    // Sets the position and the bounds size as if the transform were the identity.
    virtual void setFrame(const Rect& frame);
    const Transform3D& transform() const { return m_model.transform; }
    void setTransform(const Transform3D& transform);
    AffineTransform affineTransform() const { return m_model.transform.affineTransform(); }
    void setAffineTransform(const AffineTransform& transform);
    // Applied to the sublayers about this layer's anchor point: where perspective is given.
    const Transform3D& sublayerTransform() const { return m_model.sublayerTransform; }
    void setSublayerTransform(const Transform3D& transform);

    // Look.
    double opacity() const { return m_model.opacity; }
    void setOpacity(double opacity);
    bool isHidden() const { return m_model.hidden; }
    void setHidden(bool hidden);
    const QColor& backgroundColor() const { return m_model.backgroundColor; }
    void setBackgroundColor(const QColor& color); // invalid: none
    double borderWidth() const { return m_model.borderWidth; }
    void setBorderWidth(double width);
    const QColor& borderColor() const { return m_model.borderColor; }
    void setBorderColor(const QColor& color);
    double cornerRadius() const { return m_model.cornerRadius; }
    void setCornerRadius(double radius);
    bool masksToBounds() const { return m_model.masksToBounds; }
    void setMasksToBounds(bool masks);
    const QColor& shadowColor() const { return m_model.shadowColor; }
    void setShadowColor(const QColor& color);
    double shadowOpacity() const { return m_model.shadowOpacity; }
    void setShadowOpacity(double opacity);
    double shadowRadius() const { return m_model.shadowRadius; }
    void setShadowRadius(double radius);
    Size shadowOffset() const { return m_model.shadowOffset; }
    void setShadowOffset(Size offset);
    // The alpha of the mask (placed in this layer's coordinates) limits where this layer shows.
    const std::shared_ptr<Layer>& mask() const { return m_mask; }
    void setMask(std::shared_ptr<Layer> mask);

    // Contents: an image from outside, or the backing store a drawing layer paints.
    QImage contents() const;
    // Setting contents from outside replaces the backing store: the next drawing covers the bounds.
    void setContents(const QImage& image);
    const Rect& contentsRect() const { return m_model.contentsRect; }
    void setContentsRect(const Rect& rect);
    ContentsGravity contentsGravity() const { return m_model.contentsGravity; }
    void setContentsGravity(ContentsGravity gravity);
    // Image pixels per point of the contents, and of the backing store.
    double contentsScale() const { return m_model.contentsScale; }
    void setContentsScale(double scale);

    // Tree.
    Layer* superlayer() const { return m_superlayer; }
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return m_sublayers; }
    void setSublayers(const std::vector<std::shared_ptr<Layer>>& sublayers);
    // A layer that has a superlayer leaves it first; adding a layer to itself or to one of its own
    // sublayers is a programmer error.
    void addSublayer(const std::shared_ptr<Layer>& layer);
    // At `index` (clamped to the number of sublayers).
    void insertSublayer(const std::shared_ptr<Layer>& layer, size_t index);
    // Below or above `sibling`, or at the bottom / the top when `sibling` is not a sublayer.
    void insertSublayerBelow(const std::shared_ptr<Layer>& layer, const Layer* sibling);
    void insertSublayerAbove(const std::shared_ptr<Layer>& layer, const Layer* sibling);
    // Nothing happens when `old` is not a sublayer.
    void replaceSublayer(const Layer* old, const std::shared_ptr<Layer>& replacement);
    virtual void removeFromSuperlayer();
    bool isDescendantOf(const Layer* ancestor) const;

    // Autoresizing and layout.
    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    // Runs when the bounds size changes; by default every sublayer follows its autoresizing mask.
    virtual void resizeSublayersWithOldSize(Size oldSize);
    // The superlayer's size changed from `oldSize`: applies the autoresizing mask, sharing the change
    // among the flexible parts (margins and size) in proportion to their sizes.
    virtual void resizeWithOldSuperlayerSize(Size oldSize);
    void setNeedsLayout();
    bool needsLayout() const { return m_needsLayout; }
    // Lays out this layer (when marked) and then its sublayers.
    void layoutIfNeeded();
    // By default asks the delegate.
    virtual void layoutSublayers();

    // Drawing.
    LayerDelegate* delegate() const;
    void setDelegate(LayerDelegate* delegate);
    bool needsDisplayOnBoundsChange() const { return m_needsDisplayOnBoundsChange; }
    void setNeedsDisplayOnBoundsChange(bool needs) { m_needsDisplayOnBoundsChange = needs; }
    // Marks a part (y-up, in the layer's coordinates) or all of the bounds to be drawn again before the
    // next frame; only the marked part is repainted, the rest of the backing store is kept.
    void setNeedsDisplay();
    void setNeedsDisplayInRect(const Rect& rect);
    bool needsDisplay() const;
    // Draws the marked parts now (the renderer does this before every frame).
    void displayIfNeeded();
    // Paints the layer's content in y-up layer coordinates; by default the delegate's drawLayer().
    virtual void drawInContext(QPainter& painter);
    // Whether the layer paints its content (then it keeps a backing store); by default: it has a
    // delegate. Subclasses that override drawInContext() answer true.
    virtual bool drawsContent() const;

    // Actions and animations.
    // The action for a change of `key`: the delegate's choice when it makes one, else an animation of
    // the transaction's duration and pacing for animatable keys.
    virtual LayerAction actionForKey(const QString& key);
    // Adds a copy, started now (plus its begin time); an animation under the same key is replaced and
    // told it did not finish. An empty key never replaces anything.
    void addAnimation(const std::shared_ptr<Animation>& animation, const QString& key);
    void removeAnimation(const QString& key);
    void removeAllAnimations();
    std::shared_ptr<const Animation> animation(const QString& key) const;
    QStringList animationKeys() const;
    bool hasAnimations() const { return !m_animations.empty(); }

    // Model and presentation.
    const LayerState& modelState() const { return m_model; }
    // The look at a moment on the animation clock (now by default).
    LayerState presentationState() const;
    LayerState presentationState(double time) const;
    QVariant presentationValue(const QString& key) const;

    // The map of this layer's plane onto its superlayer's, given the superlayer's values (for its
    // sublayer transform; null for none).
    static Homography mapToSuperlayer(const LayerState& state, const LayerState* superlayerState);
    // This layer's plane onto the plane of its root's superlayer, from model values or from the
    // presentation at `time`.
    Homography mapToRootSpace() const;
    Homography presentationMapToRootSpace(double time) const;

    // Conversion through the model values; a null layer stands for the plane the root lies in.
    Point convertPointFromLayer(Point point, const Layer* layer) const;
    Point convertPointToLayer(Point point, const Layer* layer) const;
    // The bounding box of the part of the rectangle that is in front of the eye.
    Rect convertRectFromLayer(const Rect& rect, const Layer* layer) const;
    Rect convertRectToLayer(const Rect& rect, const Layer* layer) const;

    // The frontmost layer of this subtree under `point` (in the superlayer's coordinates), judged by
    // the presentation: hidden and fully transparent layers, points outside a masking bounds and points
    // where the mask is transparent hit nothing.
    std::shared_ptr<Layer> hitTest(Point point);
    // Whether the point (in the layer's own coordinates) lies in the bounds.
    bool containsPoint(Point point) const;

    // The root, or (for a mask) the root of the layer it masks.
    Layer* rootLayer();
    // The root tells its observer about changes in its tree; non-owning.
    void setTreeObserver(LayerTreeObserver* observer) { m_observer = observer; }
    LayerTreeObserver* treeObserver() const { return m_observer; }

    // For the scheduler: starts and ends the animations due at `time`, collecting the notifications to
    // send once every layer is consistent; the next time something is due.
    void advanceAnimations(double time, std::vector<std::function<void()>>& notifications);
    double nextAnimationEvent() const;

protected:
    // A value changed: runs its action and records the change. For subclasses with values of their own.
    void didChangeAppearance();

private:
    friend struct LayerRendering;

    struct RunningAnimation
    {
        QString key;
        std::shared_ptr<Animation> animation;
        double begin = 0;
        double end = 0;
        bool started = false;
        std::vector<std::shared_ptr<Transaction::Completion>> completions;
    };

    // Where a change shows: only in how the layer sits in its superlayer, or in its own content.
    enum class Change
    {
        Placement,
        Content,
    };

    template <typename T> void change(const QString& key, T LayerState::*member, const T& value, Change kind);
    void changeValue(const QString& key, const QVariant& value);
    // Runs the action of `key` around `apply`, which changes the model.
    void runChange(const QString& key, Change kind, const std::function<void()>& apply);
    void noteChange(Change kind, const Rect& dirtyInLayer);
    void noteAnimationAdded();
    void attach(const std::shared_ptr<Layer>& layer, size_t index);
    void detachFromSuperlayer();
    void addAnimationResolved(const std::shared_ptr<Animation>& animation, const QString& key,
                              const LayerState& from);
    void finish(RunningAnimation&& running, bool finished, std::vector<std::function<void()>>* notifications);
    std::shared_ptr<Layer> hitTest(Point point, double time, const LayerState& state,
                                   const LayerState* superlayerState);
    bool maskAllows(Point point, const LayerState& state, double time) const;

    QString m_name;
    LayerState m_model;
    QHash<QString, QVariant> m_values;
    Layer* m_superlayer = nullptr;
    Layer* m_maskOwner = nullptr;
    std::vector<std::shared_ptr<Layer>> m_sublayers;
    std::shared_ptr<Layer> m_mask;
    unsigned m_autoresizingMask = NotSizable;
    bool m_needsLayout = false;
    bool m_needsDisplayOnBoundsChange = false;
    WeakDelegate<LayerDelegate> m_delegate;
    LayerTreeObserver* m_observer = nullptr;
    std::vector<RunningAnimation> m_animations;
    bool m_presented = false; // drawn at least once: changes may animate from what was seen

    // Drawing layers.
    QImage m_backing;
    bool m_backingValid = false; // the backing store holds the delegate's drawing of the bounds
    bool m_showsBacking = false; // the backing store, not m_model.contents, is on screen
    QRegion m_dirty;             // in backing-store pixels (y-down)
    bool m_dirtyAll = false;

    // For the renderer: reduced copies of the displayed contents, and the subtree cache.
    quint64 m_contentRevision = 0; // changes with anything this layer's plane shows
    qint64 m_levelsKey = 0;
    std::vector<QImage> m_levels;
    struct SubtreeCache
    {
        QImage image;
        Rect extent;          // in this layer's coordinates
        double scale = 0;     // image pixels per layer unit
        quint64 revision = 0; // m_contentRevision it was made from
    };
    SubtreeCache m_subtreeCache;
    quint64 m_lastDrawnRevision = 0;
    int m_stableFrames = 0;
};

} // namespace pf
