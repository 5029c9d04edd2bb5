#pragma once

#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/Event.h"

#include <functional>

namespace pf {

// Application-wide monitors of input: each sees the events of its mask (bits eventMask(type)) before
// any view does and returns whether the event goes on; returning false swallows it. Only events of
// this application's windows are seen (a windowing system does not hand out others' input).
namespace EventMonitor {

[[nodiscard]] ObserverToken addLocalMonitor(quint64 mask, std::function<bool(const Event&)> handler);

} // namespace EventMonitor

} // namespace pf
