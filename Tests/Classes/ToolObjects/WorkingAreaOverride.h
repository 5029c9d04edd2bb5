#pragma once

#include "Platform/Foundation/FileSystem.h"

#include <QString>

// Points the working area at another folder while it lives, then back at the folder the test run uses
// (never at the user's own).
class WorkingAreaOverride
{
public:
    explicit WorkingAreaOverride(const QString& path)
        : m_previous(pf::FileSystem::applicationSupportDirectory())
    {
        set(path);
    }
    ~WorkingAreaOverride() { set(m_previous); }
    WorkingAreaOverride(const WorkingAreaOverride&) = delete;
    WorkingAreaOverride& operator=(const WorkingAreaOverride&) = delete;

    static void set(const QString& path) { pf::FileSystem::setApplicationSupportDirectoryForTesting(path); }

private:
    QString m_previous;
};
