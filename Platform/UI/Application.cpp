#include "Platform/UI/Application.h"

#include <QByteArray>
#include <QtGlobal>
#include <cstring>

namespace pf {

void chooseWindowingPlatform(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0)
            return;
    qputenv("QT_QPA_PLATFORM", QByteArray("xcb"));
}

} // namespace pf
