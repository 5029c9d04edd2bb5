#include "Classes/Framework/Toolkit/OVWindowController.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Timer.h"

OVWindowController::OVWindowController(pf::Window* window)
{
    setWindow(window);
}

OVWindowController::OVWindowController(const QString& nibName, const pf::Bundle* bundle)
{
    setNibName(nibName);
    setNibBundle(bundle);
}

OVWindowController::~OVWindowController()
{
    m_willCloseObserver.reset();
    m_topLevelObjects.clear();
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
    m_topLevelObjects.clear();
    m_outlets.clear();
    if (window != m_window) {
        pf::Window* previous = m_window;
        m_window = window;
        OVTopLevelObjects::release(previous);
    }
    if (window)
        m_willCloseObserver = pf::NotificationCenter::defaultCenter().addObserver(
            pf::Window::willCloseNotification, window,
            [this](const pf::Notification& notification) { windowWillClose(notification); });
}

QString OVWindowController::nibName() const
{
    if (m_nibName)
        return *m_nibName;
    const QStringList chain = classChain();
    for (const QString& name : chain)
        if (name == QLatin1String("OVWindowController") || pf::InterfaceRegistry::hasInterface(name))
            return name;
    return QStringLiteral("OVWindowController");
}

void OVWindowController::setNibName(const QString& name)
{
    m_nibName = name.isEmpty() ? std::nullopt : std::optional<QString>(name);
}

const pf::Bundle& OVWindowController::nibBundle() const
{
    return m_bundle ? *m_bundle : pf::Bundle::main();
}

void OVWindowController::setNibBundle(const pf::Bundle* bundle)
{
    m_bundle = bundle;
}

void OVWindowController::loadWindow()
{
    windowWillLoad();
    const QString name = nibName();
    std::optional<pf::Interface> interface = pf::InterfaceRegistry::load(name, this, nibBundle());
    auto* window = interface ? interface->outlet<pf::Window>(QStringLiteral("window")) : nullptr;
    if (!window) {
        pf::warning(QStringLiteral("%1 could not load window from %2 in %3.nib")
                        .arg(className(), nibBundle().resourcePath(), name));
        if (interface) {
            OVTopLevelObjects discard;
            discard.set(interface->topLevelObjects);
        }
        return;
    }
    // The window is connected first, so that setWindow() does not drop the objects taken next.
    setWindow(window);
    window->setTitle(pf::localized(window->title(), QStringLiteral("Controls")));
    m_outlets = interface->outlets;
    m_topLevelObjects.set(interface->topLevelObjects);
    m_topLevelObjects.remove(window);
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

void OVWindowController::encodeWithCoder(pf::KeyedArchiver& coder) const
{
    coder.encodeObject(QStringLiteral("WCwindow"), QVariant());
    coder.encodeObject(QStringLiteral("WCnibName"), m_nibName ? QVariant(*m_nibName) : QVariant());
    const QString bundle = OVTopLevelObjects::archivedBundlePath(m_bundle);
    coder.encodeObject(QStringLiteral("WCnibBundle"), bundle.isEmpty() ? QVariant() : QVariant(bundle));
    coder.encodeObject(QStringLiteral("WCtopLevelObjects"), QVariant());
}

void OVWindowController::decodeWithCoder(pf::KeyedUnarchiver& coder)
{
    setWindow(nullptr);
    setNibName(coder.decodeObject(QStringLiteral("WCnibName")).toString());
    setNibBundle(OVTopLevelObjects::bundleForArchivedPath(
        coder.decodeObject(QStringLiteral("WCnibBundle")).toString()));
}
