#include "Classes/Framework/Toolkit/UndoManagerORVExtension.h"

#include "Classes/Framework/Toolkit/OVUndoForwarder.h"
#include "Platform/Foundation/KeyValueCoding.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/EventMonitor.h"

#include <QGuiApplication>
#include <QStringList>

namespace {

struct Recording
{
    const pf::KeyValueCoding* target = nullptr;
    std::weak_ptr<const void> lifetime;
    QStringList keys;
    pf::ObserverToken mouseMonitor;
    QMetaObject::Connection deactivation;
    bool watching = false;
};

Recording& recording()
{
    static Recording state;
    return state;
}

bool isCurrent(const pf::KeyValueCoding& target)
{
    const Recording& r = recording();
    return r.target == &target && !r.lifetime.expired();
}

void endRecording()
{
    Recording& r = recording();
    r.watching = false;
    QObject::disconnect(r.deactivation);
    r.target = nullptr;
    r.lifetime.reset();
    r.keys.clear();
    r.mouseMonitor.reset(); // last: this may be the monitor running now
}

void watchForTheEnd()
{
    Recording& r = recording();
    if (r.watching)
        return;
    r.watching = true;
    constexpr quint64 leftDownAndUp =
        pf::eventMask(pf::EventType::LeftMouseDown) | pf::eventMask(pf::EventType::LeftMouseUp);
    r.mouseMonitor = pf::EventMonitor::addLocalMonitor(leftDownAndUp, [](const pf::Event&) {
        endRecording();
        return true;
    });
    // Presses and releases outside our windows are not ours to see; losing the focus stands for them.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        r.deactivation = QObject::connect(application, &QGuiApplication::applicationStateChanged,
                                          [](Qt::ApplicationState state) {
                                              if (state != Qt::ApplicationActive)
                                                  endRecording();
                                          });
}

} // namespace

namespace UndoManagerORVExtension {

void registerUndoWithTarget(pf::UndoManager& manager, const void* target, const QString& selectorName,
                            std::function<void()> action)
{
    manager.registerUndo(target, std::move(action));
    // A step registered while undoing or redoing keeps the name of the step it reverses ("Redo Add
    // Shade", not the name of what the undo did).
    if (!manager.isUndoing() && !manager.isRedoing())
        manager.setActionName(pf::localized(selectorName));
}

bool registerMouseAwareUndoWithTarget(pf::UndoManager& manager, pf::KeyValueCoding& target,
                                      const QVariant& value, const QString& key, bool gesture)
{
    Recording& r = recording();
    bool registered = false;
    if (!isCurrent(target) || !r.keys.contains(key)) {
        if (!isCurrent(target)) {
            endRecording();
            r.target = &target;
            r.lifetime = target.lifetime();
        }
        r.keys.append(key);
        OVUndoForwarder::Record record{&target, target.lifetime(), key, value};
        registered = manager.isUndoRegistrationEnabled();
        manager.registerUndo(&target,
                             [record] { OVUndoForwarder::sharedForwarder().performKeyValueUndo(record); });
        // The group being built keeps the name it has: the first key of a drag, or the name of the
        // step being undone or redone.
        if (registered && manager.openGroupActionName().isEmpty())
            manager.setActionName(pf::localized(key));
    }
    if (pf::Event::pressedMouseButtons() & 1)
        watchForTheEnd();
    else if (!gesture)
        endRecording();
    return registered;
}

void gestureEndedFor(const pf::KeyValueCoding& target)
{
    if (isCurrent(target))
        endRecording();
}

bool recordingInProgress()
{
    return recording().watching;
}

} // namespace UndoManagerORVExtension
