#include "Classes/Document/OVSystemInfo.h"

#include "Classes/Document/GMLinks.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>
#include <thread>
#include <unistd.h>

QString OVSystemInfo::appName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Glimora") : name;
}

QString OVSystemInfo::appVersion()
{
    return QCoreApplication::applicationVersion();
}

QString OVSystemInfo::modelIdentifier()
{
    for (const char* path : {"/sys/devices/virtual/dmi/id/product_name", "/proc/device-tree/model"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly)) {
            const QString model = QString::fromUtf8(file.read(256)).remove(QChar(0)).trimmed();
            if (!model.isEmpty())
                return model;
        }
    }
    return {};
}

QString OVSystemInfo::operatingSystemVersion()
{
    return QStringLiteral("%1 (%2 %3)")
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion());
}

int OVSystemInfo::processorCount()
{
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? int(count) : int(std::thread::hardware_concurrency());
}

quint64 OVSystemInfo::physicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? quint64(pages) * quint64(size) : 0;
}

namespace {

// Without acceleration the three graphics values are all 0.
QString graphicsLines(const OVGraphicsInfo& graphics, bool megabytes)
{
    const bool shown = graphics.accelerated;
    const qint64 memory =
        shown ? (megabytes ? graphics.videoMemory / (1024 * 1024) : graphics.videoMemory) : 0;
    return QStringLiteral("Accelerated: %1\nVRAM: %2\nRenderers: %3")
        .arg(shown && graphics.fragmentCapable ? 1 : 0)
        .arg(memory)
        .arg(shown ? graphics.renderers : 0);
}

} // namespace

QString OVSystemInfo::frameworkReport(const OVGraphicsInfo& graphics)
{
    return QStringLiteral("%1 %2\nOS Version: %3\nDevice: %4\nProcessors: %5\nTotal RAM: %6\n%7\n")
        .arg(appName(), appVersion(), operatingSystemVersion(), modelIdentifier())
        .arg(processorCount())
        .arg(physicalMemory())
        .arg(graphicsLines(graphics, true));
}

QString OVSystemInfo::productReport(const OVGraphicsInfo& graphics)
{
    return QStringLiteral("Process Name: %1\nOS Version: %2\nProcessors: %3\nTotal RAM: %4\n%5\n")
        .arg(appName(), operatingSystemVersion())
        .arg(processorCount())
        .arg(physicalMemory())
        .arg(graphicsLines(graphics, false));
}

QString OVSystemInfo::feedbackBody(const QString& report)
{
    return QStringLiteral("\nWe are constantly improving our products. Your feedback is precious. Help us "
                          "improve.\n\n") +
           report;
}

QUrl OVSystemInfo::feedbackMailURL(const QString& recipient, const OVGraphicsInfo& graphics)
{
    return GMLinks::mailtoURL(recipient, QStringLiteral("%1 %2 Feedback").arg(appName(), appVersion()),
                              feedbackBody(frameworkReport(graphics)));
}

bool OVSystemInfo::sendFeedbackTo(const QString& recipient)
{
    if (recipient.trimmed().isEmpty())
        return false;
    return GMLinks::openURL(feedbackMailURL(recipient, OVGraphicsInfo::current()));
}
