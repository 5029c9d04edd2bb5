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
    QStringList typeFilters;
    for (const FileType& type : fileTypes) {
        QStringList patterns;
        for (const QString& extension : type.extensions)
            patterns.append(QStringLiteral("*.") + extension);
        typeFilters.append(QStringLiteral("%1 (%2)").arg(type.name, patterns.join(u' ')));
    }
    if (!typeFilters.isEmpty()) {
        dialog.setNameFilters(typeFilters);
        dialog.selectNameFilter(typeFilters.value(selectedFileType, typeFilters.first()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
            const auto index = typeFilters.indexOf(filter);
            if (index >= 0 && !fileTypes[index].extensions.isEmpty())
                dialog.setDefaultSuffix(fileTypes[index].extensions.first());
        });
    } else if (!allowedFileTypes.isEmpty()) {
        QStringList patterns;
        for (const QString& type : allowedFileTypes)
            patterns.append(QStringLiteral("*.") + type);
        dialog.setNameFilter(patterns.join(u' '));
    }
    if (m_kind == Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(nameFieldStringValue);
        if (!fileTypes.isEmpty() && !fileTypes.value(selectedFileType).extensions.isEmpty())
            dialog.setDefaultSuffix(fileTypes.value(selectedFileType).extensions.first());
        else if (!allowedFileTypes.isEmpty())
            dialog.setDefaultSuffix(allowedFileTypes.first());
    } else if (canChooseDirectories && !canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
    } else {
        dialog.setFileMode(allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    // A package is one file to the person choosing: entering it chooses it.
    QString chosenPackage;
    if (!packageExtensions.isEmpty()) {
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&](const QString& path) {
            for (const QString& extension : packageExtensions) {
                if (path.endsWith(u'.' + extension, Qt::CaseInsensitive)) {
                    chosenPackage = path;
                    QMetaObject::invokeMethod(&dialog, "accept", Qt::QueuedConnection);
                    return;
                }
            }
        });
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const int filterIndex = typeFilters.indexOf(dialog.selectedNameFilter());
    if (filterIndex >= 0)
        selectedFileType = filterIndex;
    m_paths = chosenPackage.isEmpty() ? dialog.selectedFiles() : QStringList{chosenPackage};
    return !m_paths.isEmpty();
}

} // namespace pf
