#include "Platform/UI/LayerForView.h"

#include "Platform/UI/Event.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/View.h"

#include <QChildEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace pf {

// Notices every repaint of the view or of any widget inside it.
class LayerForView::Watcher : public QObject
{
public:
    explicit Watcher(LayerForView* layer) : m_layer(layer) {}

    void watch(QObject* object)
    {
        object->installEventFilter(this);
        for (QObject* child : object->children())
            if (child->isWidgetType())
                watch(child);
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType())
                watch(child);
        } else if (event->type() == QEvent::Paint && !m_layer->m_rendering && m_layer->m_view) {
            auto* widget = static_cast<QWidget*>(object);
            const QRect rect = static_cast<QPaintEvent*>(event)->rect();
            m_layer->viewRepainted(
                widget == m_layer->m_view.data()
                    ? rect
                    : QRect(widget->mapTo(m_layer->m_view.data(), rect.topLeft()), rect.size()));
        } else if ((event->type() == QEvent::Move || event->type() == QEvent::Show ||
                    event->type() == QEvent::Hide) &&
                   !m_layer->m_rendering) {
            // A child moved (a scroll area's document) is shifted in the backing store without being
            // painted again: all of its parent is drawn anew. The view is the window the child is in;
            // it is reached as a plain widget, since this also runs while the view is being destroyed.
            auto* widget = static_cast<QWidget*>(object);
            QWidget* top = widget->window();
            if (QWidget* parent = widget != top ? widget->parentWidget() : nullptr)
                m_layer->viewRepainted(QRect(parent->mapTo(top, QPoint()), parent->size()));
        }
        return false;
    }

private:
    LayerForView* m_layer;
};

std::shared_ptr<LayerForView> LayerForView::create(View* view)
{
    return std::make_shared<LayerForView>(view);
}

LayerForView::LayerForView(View* view) : m_view(view), m_watcher(std::make_unique<Watcher>(this))
{
    if (!view)
        return;
    const Size size = view->frame().size;
    view->removeFromSuperview();
    view->setParent(nullptr);
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->setFrame(Rect(0, 0, size.width, size.height));
    view->show();
    m_watcher->watch(view);
    // A view deleted by someone else is let go at once (its widget tells of it before the guard clears),
    // never deleted a second time.
    QObject::connect(view, &QObject::destroyed, m_watcher.get(), [this] {
        m_view = nullptr;
        m_target = nullptr;
    });
    const Transaction::Scope atOnce(true);
    Layer::setBounds(Rect(0, 0, size.width, size.height));
    setNeedsDisplay();
}

LayerForView::~LayerForView()
{
    delete m_view.data();
}

View* LayerForView::releaseView()
{
    View* view = m_view;
    if (!view)
        return nullptr;
    // A new watcher: the old one's filters go with it.
    m_watcher = std::make_unique<Watcher>(this);
    m_view = nullptr;
    m_target = nullptr;
    // Hidden as reparenting hides a widget, not on purpose: the view shows where it is placed next.
    view->hide();
    view->setAttribute(Qt::WA_WState_ExplicitShowHide, false);
    view->setAttribute(Qt::WA_DontShowOnScreen, false);
    setNeedsDisplay();
    return view;
}

void LayerForView::setBounds(const Rect& bounds)
{
    Layer::setBounds(bounds);
    if (m_view) {
        const Rect b = bounds.standardized();
        m_view->setFrame(Rect(0, 0, b.width(), b.height()));
        setNeedsDisplay();
    }
}

void LayerForView::viewRepainted(const QRect& widgetRect)
{
    // Widget rectangles grow downwards from the top left; the layer's bounds upwards from the lower left.
    const Rect b = bounds().standardized();
    setNeedsDisplayInRect(Rect(b.minX() + widgetRect.x(), b.maxY() - widgetRect.y() - widgetRect.height(),
                               widgetRect.width(), widgetRect.height()));
}

void LayerForView::drawInContext(QPainter& painter)
{
    if (!m_view)
        return;
    const Rect b = bounds().standardized();
    painter.save();
    painter.translate(b.minX(), b.maxY());
    painter.scale(1, -1); // the view draws in widget coordinates
    const QRect dirty = painter.clipBoundingRect().toAlignedRect();
    m_rendering = true;
    m_view->render(&painter, dirty.topLeft(), QRegion(dirty), QWidget::DrawChildren);
    m_rendering = false;
    painter.restore();
}

void LayerForView::deliverEvent(const Event& event, Point point)
{
    if (!m_view)
        return;
    const Rect b = bounds().standardized();
    const Point local(point.x - b.minX(), point.y - b.minY()); // the view's own coordinates
    const EventType type = event.type();
    const bool press = type == EventType::LeftMouseDown || type == EventType::RightMouseDown ||
                       type == EventType::OtherMouseDown;
    const bool release =
        type == EventType::LeftMouseUp || type == EventType::RightMouseUp || type == EventType::OtherMouseUp;
    const bool drag = type == EventType::LeftMouseDragged || type == EventType::RightMouseDragged ||
                      type == EventType::OtherMouseDragged;
    View* target = m_target;
    if (press || !(drag || release) || !target) {
        View* hit = m_view->hitTest(local);
        target = hit ? hit : m_view.data();
    }
    if (press)
        m_target = target;
    // The view is a window of its own: its base coordinates are its own.
    Event forwarded =
        type == EventType::ScrollWheel
            ? Event::scrollEvent(local, event.modifierFlags(), event.timestamp(), nullptr, event.deltaX(),
                                 event.deltaY(), event.hasPreciseScrollingDeltas(), event.phase(),
                                 event.momentumPhase())
            : Event::mouseEvent(type, local, event.modifierFlags(), event.timestamp(), nullptr,
                                event.clickCount(), event.pressure());
    forwarded.setButtonNumber(event.buttonNumber());
    target->deliverMouseEvent(forwarded);
    if (release)
        m_target = nullptr;
}

} // namespace pf
