#include "Platform/UI/EventMonitor.h"

#include "Platform/UI/EventRouter.h"

#include <QPointer>

namespace pf::EventMonitor {

ObserverToken addLocalMonitor(quint64 mask, std::function<bool(const Event&)> handler)
{
    EventRouter* router = EventRouter::instance();
    if (!router)
        return {};
    const quint64 id = router->addMonitor(mask, std::move(handler));
    QPointer<EventRouter> guard(router);
    return ObserverToken([guard, id] {
        if (guard)
            guard->removeMonitor(id);
    });
}

} // namespace pf::EventMonitor
