#pragma once

#include <QString>

// Interface text through a process-wide table of overrides, consulted before the default strings table:
// the frame catalog gives its frames' names display texts this way. Main thread only.
namespace OVLocalizeHelper {

// Stores `text` as the override of `key`; an empty text (or a null one) removes the override, and an
// empty key is ignored.
void setLocalizedString(const QString& text, const QString& key);
// The override of `key` (else the key itself), looked up in the default table: its translation there,
// or the looked-up text when the table has none.
QString localizedString(const QString& key);

} // namespace OVLocalizeHelper
