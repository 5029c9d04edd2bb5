#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// Holds every mask snapshot write at its start for as long as it lives (at most 20 seconds a write), so
// that a test can look at what a stroke is before its write makes it pixels. Going, it lets the writes
// go, waits for them, and takes the gate away.
class HeldSnapshotWrites
{
public:
    HeldSnapshotWrites()
    {
        OVBrushPathImage::setWriteGateForTesting([this] {
            std::unique_lock lock(m_mutex);
            m_opened.wait_for(lock, std::chrono::seconds(20), [&] { return m_released; });
        });
    }
    ~HeldSnapshotWrites()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_opened.notify_all();
        OVBrushPathImage::waitForPendingWrites();
        OVBrushPathImage::setWriteGateForTesting({});
    }
    HeldSnapshotWrites(const HeldSnapshotWrites&) = delete;
    HeldSnapshotWrites& operator=(const HeldSnapshotWrites&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_released = false;
};
