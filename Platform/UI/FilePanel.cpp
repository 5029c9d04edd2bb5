#include "Platform/UI/FilePanel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

namespace pf {

namespace {

std::function<QStringList(const FilePanel&)>& responder()
{
    static std::function<QStringList(const FilePanel&)> instance;
    return instance;
}

// A file dialog that takes folders with a package extension as single files: choosing one (typing its
// name, double-clicking it) chooses it instead of entering it.
class PanelDialog : public QFileDialog
{
public:
    PanelDialog(const QString& title, const QString& directory, QStringList packageExtensions)
        : QFileDialog(nullptr, title, directory), m_packageExtensions(std::move(packageExtensions))
    {
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString& path) {
            if (isPackage(path))
                choose(path);
        });
    }

    QString chosenPackage() const { return m_chosenPackage; }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && isPackage(files.first())) {
            choose(files.first());
            return;
        }
        QFileDialog::accept();
    }

private:
    bool isPackage(const QString& path) const
    {
        for (const QString& extension : m_packageExtensions)
            if (path.endsWith(u'.' + extension, Qt::CaseInsensitive) && QFileInfo(path).isDir())
                return true;
        return false;
    }
    void choose(const QString& path)
    {
        m_chosenPackage = path;
        QMetaObject::invokeMethod(
            this, [this] { QDialog::done(QDialog::Accepted); }, Qt::QueuedConnection);
    }

    QStringList m_packageExtensions;
    QString m_chosenPackage;
};

// Qt's own size cuts the file list's columns (dates, types): the panel opens larger, within the screen,
// and every column but the name's is as wide as what it shows.
void fitToShowColumns(QFileDialog& dialog)
{
    QSize size(900, 560);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
    dialog.resize(size.expandedTo(dialog.minimumSizeHint()));
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = list->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
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
    PanelDialog dialog(title, directory, packageExtensions);
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
    fitToShowColumns(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const int filterIndex = typeFilters.indexOf(dialog.selectedNameFilter());
    if (filterIndex >= 0)
        selectedFileType = filterIndex;
    m_paths = dialog.chosenPackage().isEmpty() ? dialog.selectedFiles() : QStringList{dialog.chosenPackage()};
    return !m_paths.isEmpty();
}

} // namespace pf
