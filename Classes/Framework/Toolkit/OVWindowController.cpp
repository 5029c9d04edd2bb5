#include "Classes/Framework/Toolkit/OVWindowController.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Timer.h"

OVWindowController::OVWindowController(pf::Window* window)
    : OVInterfaceOwner(QStringLiteral("WC"), QStringLiteral("window"))
{
    setWindow(window);
}

OVWindowController::OVWindowController(const QString& nibName, const pf::Bundle* bundle)
    : OVInterfaceOwner(QStringLiteral("WC"), QStringLiteral("window"))
{
    setNibName(nibName);
    setNibBundle(bundle);
}

OVWindowController::~OVWindowController()
{
    m_willCloseObserver.reset();
    dropInterface();
    OVTopLevelObjects::release(m_window.data());
}

pf::Window* OVWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window;
}

void OVWindowController::setWindow(pf::Window* window)
{
    m_willCloseObserver.reset();
    dropInterface();
    replaceRoot(m_window, window);
    if (window)
        m_willCloseObserver = pf::NotificationCenter::defaultCenter().addObserver(
            pf::Window::willCloseNotification, window,
            [this](const pf::Notification& notification) { windowWillClose(notification); });
}

QString OVWindowController::nibName() const
{
    if (storedNibName())
        return *storedNibName();
    for (const QString& name : classChain())
        if (name == QLatin1String("OVWindowController") || pf::InterfaceRegistry::hasInterface(name))
            return name;
    return QStringLiteral("OVWindowController");
}

void OVWindowController::loadWindow()
{
    windowWillLoad();
    const QString name = nibName();
    const std::optional<pf::Interface> interface =
        buildInterface<pf::Window>(name, QStringLiteral("%1 could not load window from %2 in %3.nib")
                                             .arg(className(), nibBundle().resourcePath(), name));
    if (!interface)
        return;
    // The window is connected first, so that setWindow() does not drop the objects taken next.
    auto* window = interface->outlet<pf::Window>(QStringLiteral("window"));
    setWindow(window);
    window->setTitle(pf::localized(window->title(), QStringLiteral("Controls")));
    takeInterface(*interface, window);
    windowDidLoad();
}

void OVWindowController::close()
{
    if (m_window)
        m_window->performClose();
}

void OVWindowController::forceCloseWindow()
{
    if (pf::Window* w = window())
        w->close();
}

void OVWindowController::showWindow()
{
    if (pf::Window* w = window())
        w->makeKeyAndOrderFront();
}

bool OVWindowController::isVisible() const
{
    return m_window && m_window->isVisible();
}

void OVWindowController::windowWillClose(const pf::Notification&)
{
    // After the close has completed; nothing runs when the controller is gone by then.
    pf::Timer::afterThisEvent([this] { windowDidClose(); }, this);
}

void OVWindowController::decodeWithCoder(pf::KeyedUnarchiver& coder)
{
    setWindow(nullptr);
    decodeInterface(coder);
}
