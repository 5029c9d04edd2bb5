#include "Platform/UI/FilePanel.h"

#include <QFileDialog>

namespace pf {

namespace {

std::function<QStringList(const FilePanel&)>& responder()
{
    static std::function<QStringList(const FilePanel&)> instance;
    return instance;
}

} // namespace

void FilePanel::setResponder(std::function<QStringList(const FilePanel&)> function)
{
    responder() = std::move(function);
}

bool FilePanel::runModal()
{
    if (responder()) {
        m_paths = responder()(*this);
        return !m_paths.isEmpty();
    }
    QFileDialog dialog(nullptr, title, directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!message.isEmpty())
        dialog.setLabelText(QFileDialog::LookIn, message);
    if (!allowedFileTypes.isEmpty()) {
        QStringList patterns;
        for (const QString& type : allowedFileTypes)
            patterns.append(QStringLiteral("*.") + type);
        dialog.setNameFilter(patterns.join(u' '));
    }
    if (m_kind == Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(nameFieldStringValue);
        if (!allowedFileTypes.isEmpty())
            dialog.setDefaultSuffix(allowedFileTypes.first());
    } else if (canChooseDirectories && !canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
    } else {
        dialog.setFileMode(allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    m_paths = dialog.selectedFiles();
    return !m_paths.isEmpty();
}

} // namespace pf
