#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Registers the application's own TrueType fonts for this process. Main thread only.
namespace OVFontLoader {

// Registers the ".ttf" files of the resources' "Fonts.bundle" folder; problems are logged
// ("Warning: Problems during loading Fonts!" and the report). Nothing without the folder.
void loadFontsBundle();

// Registers each font file: a path is looked for as a resource in "fonts", then among the resources,
// then as the path itself. A font that is missing or cannot be registered does not stop the others.
// The report (one line per failed path) when any failed, else nothing.
std::optional<QString> loadLocalFonts(const QStringList& paths);

} // namespace OVFontLoader
