#include "Classes/Framework/Toolkit/OVSingleButtonPanel.h"

#include "Classes/Framework/Toolkit/AttributedStringORVExtension.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVRoundedRect.h"
#include "Classes/Framework/Toolkit/OVSingleButtonPanelDelegate.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Classes/Framework/Toolkit/WindowORVExtension.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace {

// A dark rounded body, the message wrapped across the top, the button at the bottom right. The label
// grows with the panel, so a longer message makes the panel taller and never wider.
pf::Interface panelInterface(QObject*, const pf::Bundle&)
{
    auto* root = new pf::View(pf::Rect(0, 0, 260, 72));
    auto* background = new OVRoundedRect(root->bounds());
    background->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    background->setTopFillColorName(QStringLiteral("0.2 0.21 0.24 0.96"));
    background->setBottomFillColorName(QStringLiteral("0.13 0.14 0.16 0.96"));
    background->setTopStrokeColorName(QStringLiteral("1 1 1 0.35"));
    background->setBottomStrokeColorName(QStringLiteral("1 1 1 0.12"));
    background->setCornerRadius(6);
    root->addSubview(background);
    auto* label = new OVLabel(pf::Rect(12, 40, 236, 20));
    label->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    label->setTextColor(QColor(232, 234, 238));
    label->setFont(pf::systemFont(12));
    label->setLineBreakMode(pf::AttributedString::LineBreak::WordWrap);
    root->addSubview(label);
    auto* button = new OVButton(pf::Rect(160, 10, 90, 24));
    button->setName(QStringLiteral("DefaultStyle"));
    button->setAutoresizingMask(pf::View::MinXMargin | pf::View::MaxYMargin);
    root->addSubview(button);
    return OVToolkitInterfaces::interfaceWithOutlets(
        root, {{"view", root}, {"label", label}, {"button", button}, {"background", background}});
}

} // namespace

OVSingleButtonPanel::OVSingleButtonPanel()
{
    OVToolkitInterfaces::registerIfMissing(QStringLiteral("OVSingleButtonPanel"), panelInterface);
}

OVSingleButtonPanel::~OVSingleButtonPanel()
{
    removeTrackingArea();
    WindowORVExtension::deleteWithoutDelegate(m_window);
}

OVSingleButtonPanel& OVSingleButtonPanel::sharedPanel()
{
    static OVSingleButtonPanel* shared = new OVSingleButtonPanel();
    return *shared;
}

void OVSingleButtonPanel::loadView()
{
    OVViewController::loadView();
    pf::View* root = isViewLoaded() ? view() : nullptr;
    m_label = outlet<OVLabel>(QStringLiteral("label"));
    m_button = outlet<OVButton>(QStringLiteral("button"));
    m_background = outlet<OVRoundedRect>(QStringLiteral("background"));
    if (!root || !m_label || !m_button || !m_background) {
        setView(nullptr);
        return;
    }
    m_button->setAction([this](OVButton*) { buttonClicked(); });
    // The window lives as long as its view: when an owner takes it down with itself, the next show
    // builds both again.
    auto* window = new OVChildSupportWindow(root->frame(), pf::Window::Borderless);
    window->setReleasedWhenClosed(false);
    window->setOpaque(false);
    window->setHasShadow(false);
    window->setIsChildWindow(false);
    window->setBackgroundColor(Qt::transparent);
    window->contentView()->addSubview(root);
    window->setDelegate(this);
    m_window = window;
    m_windowWidth = root->frame().width();
    m_labelY = m_label->frame().minY();
}

OVSingleButtonPanelDelegate* OVSingleButtonPanel::delegate() const
{
    return m_delegateLifetime.expired() ? nullptr : m_delegate;
}

void OVSingleButtonPanel::setDelegate(OVSingleButtonPanelDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateLifetime = delegate ? delegate->panelDelegateLifetime() : std::weak_ptr<const void>();
}

bool OVSingleButtonPanel::isVisible() const
{
    return m_window && m_window->isVisible();
}

void OVSingleButtonPanel::showOver(pf::Window* parent, pf::Point point, OVSingleButtonPanelDelegate* delegate,
                                   const QString& message, const QString& buttonTitle)
{
    if (!parent || !view() || !m_window)
        return;
    m_showing = true;
    m_button->setTitle(buttonTitle);
    OVSingleButtonPanelDelegate* previous = this->delegate();
    setDelegate(delegate);
    if (previous && previous != delegate)
        previous->panelDidHide(this);
    m_label->setStringValue(message);

    double height = m_button->frame().height() + 20.0;
    if (!message.isEmpty()) {
        const double h = AttributedStringORVExtension::heightForWidth(m_label->stringWithFieldAttributes(),
                                                                      m_label->frame().width() - 2.0);
        height = h + m_labelY + 2.0 + 10.0;
    }
    const double width = m_windowWidth;

    // Hanging from the point, kept inside the owner's content.
    const pf::Point onScreen = parent->convertPointToScreen(point);
    const pf::Rect content = parent->convertRectToScreen(parent->contentView()->bounds());
    pf::Rect frame(onScreen.x, onScreen.y - height, width, height);
    frame.origin.x = std::max(content.minX(), std::min(frame.minX(), content.maxX() - width));
    frame.origin.y = std::max(content.minY(), std::min(frame.minY(), content.maxY() - height));

    m_window->setFrame(frame);
    view()->setFrame(pf::Rect(0, 0, width, height));
    parent->addChildWindow(m_window);
    m_window->makeKeyAndOrderFront();
    m_window->setFrame(frame);
    m_window->update();

    removeTrackingArea();
    m_trackingArea = m_background->addTrackingArea(std::make_unique<pf::TrackingArea>(
        m_background->bounds(), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways,
        this));
    m_showing = false;
}

void OVSingleButtonPanel::removeTrackingArea()
{
    if (m_trackingArea && m_background)
        m_background->removeTrackingArea(m_trackingArea);
    m_trackingArea = nullptr;
}

void OVSingleButtonPanel::hideForDelegate(const OVSingleButtonPanelDelegate* delegate)
{
    if (delegate && delegate == this->delegate())
        close();
}

void OVSingleButtonPanel::close()
{
    if (m_closing)
        return;
    m_closing = true;
    removeTrackingArea();
    setDelegate(nullptr);
    if (m_window) {
        // The window's and its owner's observers hear the close and may delete either.
        const QPointer<pf::Window> parent = m_window->parentWindow();
        m_window->close();
        if (parent && m_window)
            parent->removeChildWindow(m_window);
        if (m_window)
            m_window->hide();
    }
    m_closing = false;
}

void OVSingleButtonPanel::buttonClicked()
{
    if (OVSingleButtonPanelDelegate* owner = delegate())
        owner->panelWasClicked(this);
}

void OVSingleButtonPanel::mouseEntered(const pf::Event&)
{
    if (OVSingleButtonPanelDelegate* owner = delegate())
        owner->panelChangedHovered(this, true);
}

void OVSingleButtonPanel::mouseExited(const pf::Event&)
{
    if (OVSingleButtonPanelDelegate* owner = delegate())
        owner->panelChangedHovered(this, false);
}

void OVSingleButtonPanel::windowDidResignKey(pf::Window*)
{
    if (m_closing || m_showing)
        return;
    // A panel whose owner has gone closes as well: nobody else would ever take it down.
    OVSingleButtonPanelDelegate* owner = delegate();
    close();
    if (owner)
        owner->panelDidHide(this);
}
