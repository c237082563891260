// The real answerer's dialogs, looked at while they are open and then closed
// as the user would close them.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/QtDialogs.h"

namespace {

// Runs `look` on the modal dialog once it is open; `look` closes it.
void whenOpen(std::function<void(QWidget*)> look) {
    QTimer::singleShot(0, [look] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        look(dialog);
    });
}

} // namespace

class TestQtDialogs : public QObject {
    Q_OBJECT
private slots:
    void folderChooser_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("existing folder confirmed") << true << true;
        QTest::newRow("missing folder cancelled") << false << false;
    }

    void folderChooser() {
        QFETCH(bool, exists);
        QFETCH(bool, confirm);
        QTemporaryDir dir;
        const QString folder = exists ? dir.path() : dir.filePath(QStringLiteral("gone"));
        QString shownFolder;
        bool newFolderShown = true;
        bool directoriesOnly = false;
        whenOpen([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            shownFolder = dialog->directory().absolutePath();
            auto* newFolder = dialog->findChild<QWidget*>(QStringLiteral("newFolderButton"));
            newFolderShown = !newFolder || !newFolder->isHidden(); // Qt names the button so
            directoriesOnly = dialog->fileMode() == QFileDialog::Directory &&
                              dialog->testOption(QFileDialog::ShowDirsOnly);
            if (confirm)
                QMetaObject::invokeMethod(dialog, "accept"); // as the Choose button does
            else
                dialog->reject();
        });
        QtDialogs dialogs;
        const auto chosen = dialogs.selectFolder(QStringLiteral("Папка"), folder);

        QVERIFY(!newFolderShown);
        QVERIFY(directoriesOnly);
        QCOMPARE(shownFolder == QDir(folder).absolutePath(), exists);
        QCOMPARE(chosen.has_value(), confirm);
        if (confirm)
            QCOMPARE(*chosen, QDir(folder).absolutePath());
    }

    void messageHasNoIconAndOneOkButton() {
        QMessageBox::Icon icon = QMessageBox::Critical;
        QMessageBox::StandardButtons buttons;
        QString caption;
        QString text;
        whenOpen([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            icon = box->icon();
            buttons = box->standardButtons();
            caption = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QtDialogs dialogs;
        dialogs.message(QStringLiteral("Ошибка в данных"), QStringLiteral("Стр.Номер: 1"));
        QCOMPARE(icon, QMessageBox::NoIcon);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(caption, QStringLiteral("Ошибка в данных"));
        QCOMPARE(text, QStringLiteral("Стр.Номер: 1"));
    }
};

QTEST_MAIN(TestQtDialogs)
#include "TestQtDialogs.moc"
