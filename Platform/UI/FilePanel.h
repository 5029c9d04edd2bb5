#pragma once

#include <QList>
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
    // A choice of types (save panels): each with a name and its extensions, the first extension being
    // the one a chosen name gets when it has none of them. selectedFileType is the choice, in and out.
    struct FileType
    {
        QString name;
        QStringList extensions;
    };
    QList<FileType> fileTypes;
    int selectedFileType = 0;
    // Folders with these extensions are chosen as files (document packages), never entered.
    QStringList packageExtensions;

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
