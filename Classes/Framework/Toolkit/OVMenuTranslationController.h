#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <optional>

namespace pf {
class Bundle;
}

// Translates a whole menu tree (the menu's title, every item, every submenu to any depth) through one
// strings table, "Menu" unless set. Nothing is touched when the user's language is English or has no
// such table. An interface may hold one to translate its menu once built; shared translators per table
// serve code.
class OVMenuTranslationController : public QObject
{
    Q_OBJECT

public:
    OVMenuTranslationController();

    QMenu* menu() const { return m_menu; }
    void setMenu(QMenu* menu) { m_menu = menu; }
    // The stored bundle, else the main one.
    const pf::Bundle& bundle() const;
    void setBundle(const pf::Bundle* bundle) { m_bundle = bundle; }
    // The table translated through; nothing when the language resolves to English or the table does not
    // exist for it (then nothing is translated).
    std::optional<QString> tableName() const;
    void setTableName(const QString& name) { m_tableName = name; }
    bool releaseWhenDone() const { return m_releaseWhenDone; }
    void setReleaseWhenDone(bool flag) { m_releaseWhenDone = flag; }

    // Translates the menu outlet; then, with releaseWhenDone, the translator goes away.
    void awakeFromInterface();
    void translate() { translateMenu(m_menu); }
    void translateMenu(QMenu* menu) const;

    // The process-wide translator of a table, made on first request.
    static OVMenuTranslationController& sharedControllerForTable(const QString& tableName);
    static void translateMenu(QMenu* menu, const QString& tableName);

private:
    void translateMenu(QMenu* menu, const QString& table, const QString& language) const;

    QPointer<QMenu> m_menu;
    const pf::Bundle* m_bundle = nullptr;
    QString m_tableName;
    bool m_releaseWhenDone = false;
};
