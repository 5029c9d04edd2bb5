#pragma once

#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/UI/AttributedString.h"

#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class OVGridItemDelegate;
class QMimeData;

namespace pf {
class Layer;
class LayerHostView;
class TrackingArea;
} // namespace pf

// One cell of a grid: a thumbnail at its own aspect ratio inside the cell it is given, with extras drawn
// by layers while the pointer is over it (a title strip along the bottom, a remove button at the top left,
// a pin button at the top right), an optional badge at the top right, a dark vignette and a white glow
// while selected, and a drag source for what it stands for (its context). The settings bits, fixed at
// creation, decide which extras and behaviours it has.
//
// The extras are layers of a host view that covers the item and lets the mouse through, faded by the
// layers' implicit animations. The item's shadow and selected glow lie outside it, so the view the item
// sits in paints them (OVGridContainerView) from shadowColor() and shadowRadius().
//
// The item reports to a delegate (not owned), which also gives it its hover tracking; without one, the
// item is a plain picture and its mouse events go to the image view.
class OVGridItem : public OVImageView
{
    Q_OBJECT

public:
    enum Settings : unsigned
    {
        Pin = 1,
        Remove = 2,
        Selectable = 4,
        Executable = 8,
        Title = 16,
        TitleAlways = 64,
    };
    static constexpr double dragThreshold = 5.0;

    explicit OVGridItem(unsigned settings = 0, QWidget* parent = nullptr);
    ~OVGridItem() override;
    static OVGridItem* gridItemWithImage(const QImage& image, const QString& title, const QVariant& context,
                                         unsigned settings);

    unsigned settings() const { return m_settings; }
    double aspectRatio() const { return m_aspectRatio; }

    // Places the item in a cell (only once it has an image): as large as fits with its aspect kept,
    // centred; through the view animator's current group when animated.
    void setupInRect(const pf::Rect& cell, bool animated);
    // Border, shadow and title visibility for the style and the image.
    void setupVisuals();

    void setImage(const QImage& image);
    QString title() const { return m_title; }
    void setTitle(const QString& title);
    pf::View* badge() const { return m_badge; }
    // The item owns the badge.
    void setBadge(pf::View* badge);
    QVariant sortTag() const { return m_sortTag; }
    void setSortTag(const QVariant& tag);
    QVariant context() const { return m_context; }
    void setContext(const QVariant& context);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // 0 standard, 1 plain (no frame, no shadow), others framed.
    int style() const { return m_style; }
    void setStyle(int style);
    // Held weakly: nullptr once the delegate is gone.
    OVGridItemDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(OVGridItemDelegate* delegate);
    // The grid or stack holding the item (an OVGridItemOwner), nullptr when none does. Taking the item
    // tells the owner before it, which lets go of it; false when that report deleted the item.
    QObject* owner() const { return m_owner; }
    bool setOwner(QObject* owner);
    bool isPinned() const { return m_pinned; }
    // Stores only: the pin image follows at the next pointer movement over it.
    void setPinned(bool pinned) { m_pinned = pinned; }
    bool isHovered() const { return m_hovered; }
    const pf::Event& mouseDownEvent() const { return m_mouseDownEvent; }
    void setMouseDownEvent(const pf::Event& event) { m_mouseDownEvent = event; }

    // The look the layer model describes, for the container that paints shadows and for tests.
    double itemBorderWidth() const { return m_itemBorderWidth; }
    std::optional<QColor> shadowColor() const { return m_shadowColor; }
    static constexpr double shadowRadius = 5;
    bool hasVignette() const { return m_selectionLayer != nullptr; }
    const std::shared_ptr<pf::Layer>& titleLayer() const { return m_titleLayer; }
    const std::shared_ptr<pf::Layer>& removeLayer() const { return m_removeLayer; }
    const std::shared_ptr<pf::Layer>& pinLayer() const { return m_pinLayer; }
    // The name of the image a button shows now ("GridItemPinSetHover"), empty without the button.
    QString removeImageName() const { return m_removeImageName; }
    QString pinImageName() const { return m_pinImageName; }

    // Sort tags are numbers, strings or dates; other kinds sort after them, equal among themselves.
    static bool isComparableTag(const QVariant& tag);
    // Negative, 0 or positive, as `a` sorts before, with or after `b`.
    static int compareTags(const QVariant& a, const QVariant& b);

    // What a drag carries: for a string context the text and a file URL of it as a path, otherwise the
    // value itself.
    static QMimeData* mimeDataForContext(const QVariant& context);
    // Copy inside the application, nothing to another one.
    static Qt::DropActions draggingSourceOperationMask(bool local);
    // Tests replace how a drag is started (the real one runs the platform's drag loop).
    using DragStarter =
        std::function<void(OVGridItem* item, QMimeData* data, const QImage& image, pf::Point imageOrigin)>;
    static void setDragStarterForTesting(DragStarter starter);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;
    void viewDidMoveToWindow() override;
    void updateTrackingAreas() override;
    // Shows or hides what the item shows while hovered; false when it did already.
    bool setHoverLook(bool hovered);
    // Tells the delegate of the hover the item shows, if it has not heard it.
    void reportHover();
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void mouseMoved(const pf::Event& event) override;

signals:
    // For holders that find their items by context.
    void contextChanged();

protected:
    // A new item of the kind `Item` (its own setImage() included) showing `image` and `title`.
    template <typename Item>
    static Item* makeItem(const QImage& image, const QString& title, const QVariant& context,
                          unsigned settings)
    {
        auto* item = new Item(settings);
        item->setImage(image);
        item->setTitle(title);
        item->setContext(context);
        return item;
    }

    // Hooks for grids whose items behave differently.
    // Whether a drag from the picture carries the context away.
    virtual bool dragsContext() const { return true; }
    // Whether the pin button shows with the other extras and takes clicks.
    virtual bool pinButtonActive() const { return true; }
    virtual pf::TextAttributes titleAttributes() const;
    // Whether a release that neither selects nor hits a button executes the item.
    virtual bool executesOnRelease(const pf::Event& event) const { return event.clickCount() >= 1; }
    // Whether a button acts only when the press began on it too (and shows pressed only then).
    virtual bool buttonsNeedPressOnThem() const { return false; }

    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void drawPicture(QPainter& painter, const pf::Rect& dirtyRect);
    void layoutExtras();
    void setButtonImage(pf::Layer* layer, QString* current, const QString& name);
    void updatePointerFeedback(const pf::Event& event);
    void startDrag(const pf::Event& event);
    void tellContainer();

    unsigned m_settings;
    quint64 m_pictureSerial;
    double m_aspectRatio = 0;
    pf::LayerHostView* m_extras = nullptr;
    std::shared_ptr<pf::Layer> m_titleLayer, m_removeLayer, m_pinLayer, m_selectionLayer;
    QString m_removeImageName, m_pinImageName;
    pf::TrackingArea* m_fullTracking = nullptr;
    int m_style = 0;
    QVariant m_context;
    QPointer<pf::View> m_badge;
    QString m_title;
    QVariant m_sortTag;
    OVGridItemDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    QPointer<QObject> m_owner;
    bool m_pinned = false;
    bool m_hoverPin = false;
    bool m_hoverRemove = false;
    bool m_mouseDown = false;
    bool m_pressedOnRemove = false;
    bool m_pressedOnPin = false;
    bool m_hovered = false;
    bool m_reportedHover = false;
    bool m_hoverReportPending = false;
    bool m_selectable = false;
    bool m_selected = false;
    bool m_executable = false;
    bool m_titleAlways = false;
    pf::Point m_mouseDownPoint;
    pf::Event m_mouseDownEvent;
    double m_itemBorderWidth = 0;
    std::optional<QColor> m_shadowColor;
    double m_paintedAlpha = -1;
    QRect m_shadowArea;
};
