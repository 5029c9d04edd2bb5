#pragma once

// What the frame and effect benchmarks set up around their application: the user's defaults and the
// support folder in a working area of their own, no screen unless one is asked for, and the filters
// and frames registered.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Platform/Foundation/FileSystem.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtGlobal>

namespace bench {

// Before the application: the defaults file in `workingArea`, offscreen unless a platform is named.
inline void prepareFramesEnvironment(const QTemporaryDir& workingArea)
{
    qputenv("PF_USER_DEFAULTS_FILE", workingArea.filePath(QStringLiteral("defaults.conf")).toUtf8());
    // The frame filters need no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// With the application: the support folder in `workingArea`, the filters and the frames registered.
inline void registerFrames(const QTemporaryDir& workingArea)
{
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.filePath(QStringLiteral("support")));
    FilterLibrary::registerAll();
    FramesLibrary::registerAll();
}

// The application of a frame or effect benchmark, with its working area and what it registers.
class FramesBenchApplication
{
public:
    FramesBenchApplication(int& argc, char** argv) : m_application(argc, argv)
    {
        registerFrames(m_workingArea);
    }

private:
    QTemporaryDir m_workingArea;
    bool m_prepared = (prepareFramesEnvironment(m_workingArea), true); // before the application starts
    QApplication m_application;
};

} // namespace bench
