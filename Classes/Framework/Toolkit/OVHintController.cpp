#include "Classes/Framework/Toolkit/OVHintController.h"

#include "Classes/Framework/Toolkit/OVWindowRegistry.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"

#include <algorithm>

namespace {

OVWindowRegistry<OVHintController>& registry()
{
    static OVWindowRegistry<OVHintController> controllers;
    return controllers;
}

} // namespace

OVHintController::OVHintController(QLabel* textField) : m_textField(textField) {}

void OVHintController::sendHint(const QString& hint, const QVariant& key)
{
    if (!key.isValid()) {
        pf::warning(QStringLiteral("A hint needs a key; \"%1\" is not shown.").arg(hint));
        return;
    }
    removeHintForKey(key);
    const QString translated = pf::localized(hint);
    m_hints.append(translated);
    m_keys.push_back(key);
    show(translated);
}

void OVHintController::removeHintForKey(const QVariant& key)
{
    auto it = std::find(m_keys.begin(), m_keys.end(), key);
    if (it == m_keys.end() || !key.isValid())
        return;
    const auto index = it - m_keys.begin();
    const bool wasTop = std::size_t(index) + 1 == m_keys.size();
    m_keys.erase(it);
    m_hints.removeAt(index);
    if (m_hints.isEmpty())
        show(QString());
    else if (wasTop)
        show(m_hints.last());
}

void OVHintController::show(const QString& text)
{
    if (m_textField)
        m_textField->setText(text);
}

void OVHintController::addHintControllerForWindow(pf::Window* window, QLabel* textField)
{
    if (window)
        registry().insert(window, std::make_unique<OVHintController>(textField));
}

void OVHintController::removeControllerForWindow(const pf::Window* window)
{
    for (const pf::Window* w = window; w; w = w->parentWindow()) {
        if (registry().find(w)) {
            registry().remove(w);
            return;
        }
    }
}

OVHintController* OVHintController::controllerForWindow(const pf::Window* window)
{
    return registry().findUpParents(window);
}

void OVHintController::sendHint(const QString& hint, const QVariant& key, const pf::Window* window)
{
    if (OVHintController* controller = controllerForWindow(window))
        controller->sendHint(hint, key);
}

void OVHintController::removeHintForKey(const QVariant& key, const pf::Window* window)
{
    if (OVHintController* controller = controllerForWindow(window))
        controller->removeHintForKey(key);
}

int OVHintController::registeredWindowCount()
{
    return registry().count();
}
