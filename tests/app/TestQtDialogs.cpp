// The real answerer's dialogs, looked at while they are open and then closed
// as the user would close them.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/BusyCursor.h"
#include "app/QtDialogs.h"
#include "app/Translation.h"

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
        // A folder that is gone gives way to the user's home folder.
        QCOMPARE(shownFolder, exists ? QDir(folder).absolutePath() : QDir::homePath());
        QCOMPARE(chosen.has_value(), confirm);
        if (confirm)
            QCOMPARE(*chosen, QDir(folder).absolutePath());
    }

    // Whatever the locale, Qt's own buttons speak Russian.
    void standardButtonsAreRussian() {
        QVERIFY(installRussianTranslation(*QCoreApplication::instance()));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
    }

    void fileChooserOpensAtItsStartFolderOrAtHome_data() {
        QTest::addColumn<bool>("given");
        QTest::newRow("start folder given") << true;
        QTest::newRow("none") << false;
    }

    void fileChooserOpensAtItsStartFolderOrAtHome() {
        QFETCH(bool, given);
        QTemporaryDir dir;
        QString shownFolder;
        whenOpen([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            shownFolder = dialog->directory().absolutePath();
            dialog->reject();
        });
        QtDialogs dialogs;
        const auto chosen =
            dialogs.openFile(QStringLiteral("Файл"), QStringLiteral("Текстовые файлы (*.txt)"),
                             QStringLiteral("txt"), given ? dir.path() : QString());
        QVERIFY(!chosen);
        QCOMPARE(shownFolder, given ? QDir(dir.path()).absolutePath() : QDir::homePath());
    }

    // The layout error: an error icon and a single Close button.
    void errorMessageHasOneCloseButton() {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QString text;
        whenOpen([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            icon = box->icon();
            buttons = box->standardButtons();
            text = box->text();
            box->button(QMessageBox::Close)->click();
        });
        QtDialogs dialogs;
        dialogs.errorMessage(QStringLiteral("Неподдерживаемый формат данных xls файла"));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Close));
        QCOMPARE(text, QStringLiteral("Неподдерживаемый формат данных xls файла"));
    }

    // A message that comes up while a command is busy shows the ordinary
    // cursor; the busy one is back when it closes.
    void messageDuringABusyCommandShowsTheOrdinaryCursor() {
        const BusyCursor busy;
        Qt::CursorShape shape = Qt::WaitCursor;
        whenOpen([&](QWidget* w) {
            shape = QApplication::overrideCursor()->shape();
            qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
        });
        QtDialogs dialogs;
        dialogs.message(QStringLiteral("Ошибка в данных"), QStringLiteral("Стр.Номер: 1"));
        QCOMPARE(shape, Qt::ArrowCursor);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
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
