#include "LibraryPickers.h"

#include <QApplication>
#include <QFileDialog>

namespace library_pickers {
namespace {
FolderResponder g_folder;
FilesResponder g_files;
}  // namespace

QString PickFolder(QWidget* owner, const QString& title) {
    if (g_folder) return g_folder(title);
    return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

QStringList PickFiles(QWidget* owner, const QString& title, const QString& filter) {
    if (g_files) return g_files(title, filter);
    QWidget* active = QApplication::activeWindow();
    return QFileDialog::getOpenFileNames(active ? active : owner, title, QString(), filter);
}

void SetFolderResponder(FolderResponder responder) {
    g_folder = std::move(responder);
}

void SetFilesResponder(FilesResponder responder) {
    g_files = std::move(responder);
}

}  // namespace library_pickers
