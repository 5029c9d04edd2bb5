#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace pf {

// Open and save panels (non-native file dialogs, the same on every desktop). Tests replace the person
// choosing with setResponder(): it gets the panel and answers the chosen paths (none: cancelled).
class FilePanel
{
public:
    enum class Kind
    {
        Open,
        Save,
    };

    explicit FilePanel(Kind kind) : m_kind(kind) {}

    Kind kind() const { return m_kind; }
    QString title;
    QString message;
    QString directory;
    // File name extensions without the dot; empty allows every file.
    QStringList allowedFileTypes;
    bool allowsMultipleSelection = false;
    bool canChooseDirectories = false;
    bool canChooseFiles = true;
    // Save panels: the proposed name.
    QString nameFieldStringValue;

    // True when the person chose; the choice is then in paths().
    bool runModal();
    QStringList paths() const { return m_paths; }
    QString path() const { return m_paths.value(0); }

    static void setResponder(std::function<QStringList(const FilePanel&)> responder);

private:
    Kind m_kind;
    QStringList m_paths;
};

} // namespace pf
