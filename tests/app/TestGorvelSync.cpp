// The synchronisation dialog opened from the main window over the sample
// report, as the user drives it: the folder, a run in overwrite mode against
// a copy of the sample DATA folder, the saved log; and what a new dialog
// starts with.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/ScriptedDialogs.h"
#include "app/UGorvelSync.h"
#include "app/UMain.h"
#include "sync/DbfTable.h"

namespace {

const QString kSamples = QStringLiteral(QUARLEX_SAMPLES);

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestGorvelSync : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TForm1> m_form;
    QString m_data;

    template <typename T> static T* part(TGorvelSyncForm* form, const char* name) {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    // Opens the dialog with the main window's command and hands it to `drive`;
    // the dialog is closed when `drive` returns, however it returns.
    void withDialog(const std::function<void(TGorvelSyncForm*)>& drive) {
        bool driven = false;
        QTimer::singleShot(0, this, [&] {
            auto* form = qobject_cast<TGorvelSyncForm*>(QApplication::activeModalWidget());
            const auto closed = qScopeGuard([form] {
                if (form)
                    form->close();
            });
            QVERIFY(form);
            driven = true;
            drive(form);
        });
        auto* command = m_form->findChild<QToolButton*>(QStringLiteral("SaveToGorvelButton"));
        QVERIFY(command->isEnabled());
        QTest::mouseClick(command, Qt::LeftButton);
        QVERIFY(driven);
        QVERIFY(m_form->findChildren<TGorvelSyncForm*>().isEmpty()); // discarded when closed
    }

    static void verifyFreshDialog(TGorvelSyncForm* form) {
        QCOMPARE(form->windowTitle(), QStringLiteral("Синхронизация с Gorvel"));
        QVERIFY(form->dataDir().isEmpty());
        QVERIFY(part<QLabel>(form, "GorvelPathLabel")->text().isEmpty());
        QVERIFY(part<QPushButton>(form, "GorvelPathButton")->isEnabled());
        QVERIFY(part<QPlainTextEdit>(form, "LogMemo")->isEnabled());
        QVERIFY(part<QPlainTextEdit>(form, "LogMemo")->toPlainText().isEmpty());
        QVERIFY(!part<QCheckBox>(form, "OverwriteCB")->isChecked());
        QCOMPARE(part<QComboBox>(form, "SeparatorCB")->currentText(), QStringLiteral("."));
        for (const char* name :
             {"OverwriteCB", "StartButton", "SaveLogButton", "SeparatorCB", "SepLbl"})
            QVERIFY2(!form->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled(), name);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_data = m_dir->filePath(QStringLiteral("DATA"));
        std::filesystem::copy((kSamples + QStringLiteral("/gorvel/DATA")).toStdString(),
                              m_data.toStdString(), std::filesystem::copy_options::recursive);
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_form = std::make_unique<TForm1>(*m_dialogs, quarlex::NumberFormat{','});
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        // The sample report of every period.
        m_dialogs->expectSelectFolder(kSamples + QStringLiteral("/szv6"));
        m_form->xml1Click();
        m_form->ReportButtonClick();
    }

    void cleanup() {
        const QString problems = m_dialogs->verify();
        m_form.reset();
        m_dialogs.reset();
        m_dir.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void runsInOverwriteModeAndSavesTheLog() {
        const QString logName = m_dir->filePath(QStringLiteral("журнал"));
        QString memoText;
        withDialog([&](TGorvelSyncForm* form) {
            verifyFreshDialog(form);
            m_dialogs->expectSelectFolder(m_data);
            QTest::mouseClick(part<QPushButton>(form, "GorvelPathButton"), Qt::LeftButton);
            QCOMPARE(form->dataDir(), m_data + QLatin1Char('/'));
            QCOMPARE(part<QLabel>(form, "GorvelPathLabel")->text(), m_data);
            QVERIFY(part<QPushButton>(form, "StartButton")->isEnabled());

            part<QCheckBox>(form, "OverwriteCB")->setChecked(true);
            QTest::mouseClick(part<QPushButton>(form, "StartButton"), Qt::LeftButton);
            memoText = part<QPlainTextEdit>(form, "LogMemo")->toPlainText();
            QVERIFY(memoText.startsWith(QStringLiteral("1. Проверка наличия БД в папке:\n")));
            QVERIFY(memoText.contains(QStringLiteral(
                "\n     ! расхождение стр. часть задолженность: 4500.00 по отчету, 0.00 по "
                "данным Gorvel\n")));
            QCOMPARE(memoText.count(QStringLiteral("! запись не обнаружена, добавляем.")), 3);
            QCOMPARE(memoText.count(QStringLiteral("   ! таб.номер не найден")), 1);
            QCOMPARE(m_form->numberFormat().decimalSeparator, ','); // the run's '.' given back

            m_dialogs->expectSaveFile(logName);
            QTest::mouseClick(part<QPushButton>(form, "SaveLogButton"), Qt::LeftButton);
        });
        QCOMPARE(m_dialogs->saveFolders(), QStringList{kSamples + QStringLiteral("/szv6")});
        QByteArray expected("\xEF\xBB\xBF");
        for (const QString& line : memoText.split(QLatin1Char('\n')))
            expected += line.toUtf8() + "\r\n";
        QCOMPARE(fileBytes(logName + QStringLiteral(".txt")), expected);

        // The three missing rows were appended; a new run finds nothing to write.
        quarlex::NumberFormat format{'.'};
        quarlex::DbfTable sums((m_data + QStringLiteral("/ZP/ZP_OPER/zp_sumPF.dbf")).toStdString(),
                               quarlex::DbfTable::Access::ReadOnly, format);
        QCOMPARE(sums.RecordCount(), 30);
    }

    void aNewDialogStartsAfreshAndACancelledChoiceDisablesTheRun() {
        withDialog([&](TGorvelSyncForm* form) {
            m_dialogs->expectSelectFolder(m_data);
            QTest::mouseClick(part<QPushButton>(form, "GorvelPathButton"), Qt::LeftButton);
            part<QComboBox>(form, "SeparatorCB")->setCurrentIndex(1);
            // Saving before any run writes the byte order mark alone.
            m_dialogs->expectSaveFile(m_dir->filePath(QStringLiteral("empty.log")));
            QTest::mouseClick(part<QPushButton>(form, "SaveLogButton"), Qt::LeftButton);
            QCOMPARE(fileBytes(m_dir->filePath(QStringLiteral("empty.log"))),
                     QByteArray("\xEF\xBB\xBF"));
            m_dialogs->expectSelectFolder(std::nullopt);
            QTest::mouseClick(part<QPushButton>(form, "GorvelPathButton"), Qt::LeftButton);
            QVERIFY(form->dataDir().isEmpty());
            QCOMPARE(part<QLabel>(form, "GorvelPathLabel")->text(), m_data);
            QVERIFY(!part<QPushButton>(form, "StartButton")->isEnabled());
            QVERIFY(!part<QPushButton>(form, "SaveLogButton")->isEnabled());
            QCOMPARE(part<QComboBox>(form, "SeparatorCB")->currentText(), QStringLiteral(","));
        });
        withDialog(verifyFreshDialog);
    }

    void theRootStaysWithOneSlashAndARemovedFolderIsNotPreselected() {
        withDialog([&](TGorvelSyncForm* form) {
            auto* pathButton = part<QPushButton>(form, "GorvelPathButton");
            m_dialogs->expectSelectFolder(QStringLiteral("/"));
            QTest::mouseClick(pathButton, Qt::LeftButton);
            QCOMPARE(form->dataDir(), QStringLiteral("/"));
            QCOMPARE(part<QLabel>(form, "GorvelPathLabel")->text(), QStringLiteral("/"));

            const QString gone = m_dir->filePath(QStringLiteral("gone"));
            QVERIFY(QDir().mkpath(gone));
            m_dialogs->expectSelectFolder(gone);
            QTest::mouseClick(pathButton, Qt::LeftButton);
            QCOMPARE(m_dialogs->requests().last().argument, QStringLiteral("/"));
            QVERIFY(QDir(gone).removeRecursively());
            m_dialogs->expectSelectFolder(std::nullopt);
            QTest::mouseClick(pathButton, Qt::LeftButton);
            QCOMPARE(m_dialogs->requests().last().argument, QString());
            QVERIFY(form->dataDir().isEmpty());
        });
    }
};

QTEST_MAIN(TestGorvelSync)
#include "TestGorvelSync.moc"
