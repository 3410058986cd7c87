#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

// The folder picker and the file-open dialog of the effect library. Tests install
// responders that answer instead of a person.
namespace library_pickers {

// The chosen folder; empty when cancelled.
QString PickFolder(QWidget* owner, const QString& title);
// The chosen files, full paths in the dialog's order; empty when cancelled.
QStringList PickFiles(QWidget* owner, const QString& title, const QString& filter);

using FolderResponder = std::function<QString(const QString& title)>;
using FilesResponder = std::function<QStringList(const QString& title, const QString& filter)>;
void SetFolderResponder(FolderResponder responder);  // null: the real dialog
void SetFilesResponder(FilesResponder responder);

}  // namespace library_pickers
