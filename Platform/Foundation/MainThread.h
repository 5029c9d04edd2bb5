#pragma once

#include <functional>

namespace pf {

// Queues `task` on the event loop of the application's main thread. It is always queued, even when
// called on the main thread, so it never runs inside the caller: it runs once control returns to the
// event loop, after the calls queued before it. Callable from any thread. Without an application
// object the task cannot run; that is logged as an error and the task dropped. An exception escaping
// the task is logged as an error (it must not unwind through the event loop).
void runOnMain(std::function<void()> task);

// Like runOnMain(), but not before `seconds` have passed (negative counts as zero).
void runOnMainAfter(double seconds, std::function<void()> task);

// True on the thread of the application object; false when there is none.
bool isMainThread();

} // namespace pf
