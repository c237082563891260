#include "app/QtDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

std::optional<QString> QtDialogs::selectFolder(const QString& title, const QString& currentFolder) {
    // The non-native dialog is the one whose "new folder" button can be removed;
    // its path line edit lets the user type a folder.
    QFileDialog dialog(m_owner, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!currentFolder.isEmpty() && QDir(currentFolder).exists())
        dialog.setDirectory(currentFolder);
    if (auto* newFolder = dialog.findChild<QWidget*>(QStringLiteral("newFolderButton")))
        newFolder->hide();
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(chosen.first());
}

std::optional<QString> QtDialogs::openFile(const QString& title, const QString& filter,
                                           const QString& defaultSuffix) {
    QFileDialog dialog(m_owner, title, QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogs::saveFile(const QString& title, const QString& filter,
                                           const QString& defaultSuffix,
                                           const QString& initialFolder) {
    QFileDialog dialog(QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                         : m_owner,
                       title, initialFolder, filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void QtDialogs::message(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

void QtDialogs::errorReport(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, m_owner);
    box.exec();
}

void QtDialogs::openUrl(const QUrl& url) {
    // No associated program is not reported.
    QDesktopServices::openUrl(url);
}
