#pragma once

#include <QString>

namespace pf {

class Bundle;

// Interface text in the user's language. Tables are property lists of English text -> translated
// text, one per table name ("Localizable" by default, "Controls", "Menu", ...), kept per language in
// "Localization/<language>/<table>.plist" of the resources: a language such as "de_CH" falls back to
// "de". Text missing from the table, or a table that is missing, gives the English text: the entry of
// the "en" table when it has one (keys such as "ResizeFrameHint"), else the text itself.
QString localized(const QString& englishText, const QString& table = QString());

class Localization
{
public:
    // The languages looked up, best first (e.g. "de_CH", "de"); from the system locale unless set.
    static void setLanguageForTesting(const QString& language);
    static QString lookup(const Bundle& bundle, const QString& language, const QString& englishText,
                          const QString& table);
    // The language localized() uses now.
    static QString currentLanguage();
    // The file lookup() reads the table from for `language` (its own, else its base language's); empty
    // for English, which is the text itself, and when the table does not exist.
    static QString tablePath(const Bundle& bundle, const QString& language, const QString& table);
};

} // namespace pf
