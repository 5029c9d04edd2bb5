#pragma once

namespace pf {
class Event;
}

// A party that sees the keys typed while its document is the current one.
class OVKeyboardWatcherDelegate
{
public:
    virtual ~OVKeyboardWatcherDelegate() = default;

    // True swallows the key-down (the other watchers still see it).
    virtual bool keyboardKeyDownEvent(const pf::Event& event) = 0;
    // A modifier key went down or up; the event carries the flags after the change.
    virtual void keyboardFlagsChangedEvent(const pf::Event& event) = 0;
};
