#include "Classes/Framework/Toolkit/OVFontLoader.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

namespace OVFontLoader {

void loadFontsBundle()
{
    const QString bundle =
        pf::Bundle::main().pathForResource(QStringLiteral("Fonts"), QStringLiteral("bundle"));
    if (bundle.isEmpty() || !QFileInfo(bundle).isDir())
        return;
    QStringList fonts;
    for (const QFileInfo& entry :
         QDir(bundle).entryInfoList({QStringLiteral("*.ttf")}, QDir::Files | QDir::Readable, QDir::Name))
        fonts.append(entry.absoluteFilePath());
    if (const std::optional<QString> report = loadLocalFonts(fonts))
        pf::warning(QStringLiteral("Problems during loading Fonts!\n%1").arg(*report));
}

std::optional<QString> loadLocalFonts(const QStringList& paths)
{
    QString report;
    const pf::Bundle& bundle = pf::Bundle::main();
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString name = info.path() == QLatin1String(".")
                                 ? info.completeBaseName()
                                 : QDir(info.path()).filePath(info.completeBaseName());
        QString file = bundle.pathForResource(name, info.suffix(), QStringLiteral("fonts"));
        if (file.isEmpty())
            file = bundle.pathForResource(name, info.suffix());
        if (file.isEmpty() && info.isFile())
            file = info.absoluteFilePath();
        if (file.isEmpty()) {
            report += QStringLiteral("%1: %2\n").arg(pf::localized(QStringLiteral("File missing")), path);
            continue;
        }
        if (QFontDatabase::addApplicationFont(file) < 0) {
            pf::error(QStringLiteral("The font %1 could not be registered").arg(file));
            report +=
                QStringLiteral("%1: %2\n").arg(pf::localized(QStringLiteral("File loading problem")), path);
        }
    }
    if (report.isEmpty())
        return std::nullopt;
    return report;
}

} // namespace OVFontLoader
