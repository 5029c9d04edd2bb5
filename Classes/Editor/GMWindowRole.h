#pragma once

class GMWindowController;

// What every role object of the editor window has in common: it belongs to one window controller (the
// hub), reaches the window's views and its sibling roles through it, and is neither copied nor moved.
class GMWindowRole
{
protected:
    explicit GMWindowRole(GMWindowController& hub) : m_hub(hub) {}
    GMWindowRole(const GMWindowRole&) = delete;
    GMWindowRole& operator=(const GMWindowRole&) = delete;
    ~GMWindowRole() = default;

    GMWindowController& m_hub;
};
