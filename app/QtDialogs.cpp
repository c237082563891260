#include "app/QtDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "app/BusyCursor.h"

namespace {

// A chooser opens at the given folder when it exists, else in the user's
// home folder: the program's working folder means nothing to the user.
QString startFolderOr(const QString& folder) {
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

} // namespace

std::optional<QString> QtDialogs::selectFolder(const QString& title, const QString& currentFolder) {
    // The non-native dialog is the one whose "new folder" button can be removed;
    // its path line edit lets the user type a folder.
    QFileDialog dialog(m_owner, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDirectory(startFolderOr(currentFolder));
    if (auto* newFolder = dialog.findChild<QWidget*>(QStringLiteral("newFolderButton")))
        newFolder->hide();
    dialog.setWindowModality(Qt::ApplicationModal);
    const MessageCursor arrow; // not the busy cursor of a running command
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(chosen.first());
}

std::optional<QString> QtDialogs::openFile(const QString& title, const QString& filter,
                                           const QString& defaultSuffix,
                                           const QString& startFolder) {
    QFileDialog dialog(m_owner, title, startFolderOr(startFolder), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(defaultSuffix);
    const MessageCursor arrow; // not the busy cursor of a running command
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogs::saveFile(const QString& title, const QString& filter,
                                           const QString& defaultSuffix,
                                           const QString& initialFolder) {
    QFileDialog dialog(QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                         : m_owner,
                       title, startFolderOr(initialFolder), filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    const MessageCursor arrow; // not the busy cursor of a running command
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void QtDialogs::message(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    const MessageCursor arrow; // not the busy cursor of a running command
    box.exec();
}

void QtDialogs::errorMessage(const QString& text) {
    QMessageBox box(QMessageBox::Critical, kErrorCaption, text, QMessageBox::Close, m_owner);
    const MessageCursor arrow; // not the busy cursor of a running command
    box.exec();
}

void QtDialogs::errorReport(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, m_owner);
    const MessageCursor arrow; // not the busy cursor of a running command
    box.exec();
}

bool QtDialogs::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}
