#pragma once

#include "Classes/Document/OVGraphicsInfo.h"

#include <QString>
#include <QUrl>

// Facts about the running application and the machine, and the feedback mail with a report of them.
class OVSystemInfo
{
public:
    OVSystemInfo() = delete;

    static QString appName();
    static QString appVersion();
    // The machine's model as its firmware names it; empty when unknown.
    static QString modelIdentifier();
    static QString operatingSystemVersion();
    static int processorCount();
    static quint64 physicalMemory();

    // The framework's report: name and version, system, device, processors, memory, and the graphics
    // lines (the fragment-processing flag as "Accelerated", video memory in megabytes, renderers).
    static QString frameworkReport(const OVGraphicsInfo& graphics);
    // The product's report: process name, system, processors, memory, and the graphics lines with the
    // video memory in bytes.
    static QString productReport(const OVGraphicsInfo& graphics);
    static QString feedbackBody(const QString& report);

    // "mailto:" with "<name> <version> Feedback" and the framework's report.
    static QUrl feedbackMailURL(const QString& recipient, const OVGraphicsInfo& graphics);
    // Opens it in the mail client; false when there is no recipient or no client took it.
    static bool sendFeedbackTo(const QString& recipient);
};
