#pragma once

#include "Platform/Foundation/Point.h"

// A straight line in coordinates relative to a view's size (0 to 1 on each axis).
class OVLine
{
public:
    OVLine() = default;
    OVLine(pf::Point start, pf::Point end) : m_start(start), m_end(end) {}
    static OVLine lineFrom(pf::Point start, pf::Point end) { return OVLine(start, end); }

    pf::Point startPoint() const { return m_start; }
    pf::Point endPoint() const { return m_end; }
    void setStartPoint(pf::Point point) { m_start = point; }
    void setEndPoint(pf::Point point) { m_end = point; }

private:
    pf::Point m_start, m_end;
};
