// The whole road through the window: the sample SZV-6 folder chosen through
// the folder chooser, the report built, the HTML page saved; the page must
// equal the reviewed one byte for byte. And the fund's sample reconciliation
// file chosen from the import menu, both grids filled, the page saved.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/ScriptedDialogs.h"
#include "app/UMain.h"

namespace {

// A window over the scripted seam, shown.
struct ScratchForm {
    ScriptedDialogs dialogs;
    TForm1 form{dialogs, quarlex::NumberFormat{'.'}};
    QCheckBox* lastCB = form.findChild<QCheckBox*>(QStringLiteral("LastCB"));

    bool open() {
        form.show();
        return QTest::qWaitForWindowExposed(&form);
    }
    QToolButton* button(const char* name) {
        return form.findChild<QToolButton*>(QString::fromLatin1(name));
    }
    QAbstractItemModel* grid(const char* name) {
        return form.findChild<QTableView*>(QString::fromLatin1(name))->model();
    }
};

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void sampleFolderGivesTheReviewedPage() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir samples(QStringLiteral(QUARLEX_SAMPLES "/szv6"));
        const QStringList files = samples.entryList({QStringLiteral("*.xml")}, QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString& name : files)
            QVERIFY(QFile::copy(samples.filePath(name), dir.filePath(name)));

        ScriptedDialogs dialogs;
        TForm1 form(dialogs, TForm1::numberFormatOf(QLocale::system()));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* importButton = form.findChild<QToolButton*>(QStringLiteral("ImpButton"));
        auto* reportButton = form.findChild<QToolButton*>(QStringLiteral("ReportButton"));
        auto* htmlButton = form.findChild<QToolButton*>(QStringLiteral("SaveToHtmlButton"));

        dialogs.expectSelectFolder(dir.path());
        QTest::mouseClick(importButton, Qt::LeftButton, {}, QPoint(10, importButton->height() / 2));
        QTest::mouseClick(reportButton, Qt::LeftButton);
        QTest::mouseClick(htmlButton, Qt::LeftButton);

        const QString pagePath = dir.filePath(QStringLiteral("pf_report.html"));
        QCOMPARE(dialogs.takeOpenedUrls(), QList<QUrl>{QUrl::fromLocalFile(pagePath)});
        const QString problems = dialogs.verify();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));

        QFile page(pagePath);
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray actual = page.readAll();
        QFile expectedFile(QStringLiteral(QUARLEX_APP_TEST_DATA "/expected_pf_report.html"));
        QVERIFY(expectedFile.open(QIODevice::ReadOnly));
        const QByteArray expected = expectedFile.readAll();
        if (actual != expected) {
            const QString kept = QStringLiteral(QUARLEX_BINARY_DIR "/actual_pf_report.html");
            QFile::remove(kept);
            QFile::copy(pagePath, kept);
            QFAIL(qPrintable(QStringLiteral("the page differs from the reviewed one; it is kept "
                                            "as %1")
                                 .arg(kept)));
        }
    }

    void sampleReconciliationTextFillsBothGrids() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("sverka.txt"));
        QVERIFY(QFile::copy(QStringLiteral(QUARLEX_SAMPLES "/recon/sverka.txt"), file));

        ScriptedDialogs dialogs;
        TForm1 form(dialogs, quarlex::NumberFormat{','});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto button = [&](const char* name) {
            return form.findChild<QToolButton*>(QString::fromLatin1(name));
        };
        auto* lastCB = form.findChild<QCheckBox*>(QStringLiteral("LastCB"));
        auto* categoryCB = form.findChild<QCheckBox*>(QStringLiteral("CategoryCB"));

        dialogs.expectOpenFile(file);
        form.findChild<QAction*>(QStringLiteral("txt1"))->trigger();

        QVERIFY(!button("ReportButton")->isEnabled());
        QVERIFY(lastCB->isChecked() && !lastCB->isEnabled());
        QVERIFY(!categoryCB->isChecked() && !categoryCB->isEnabled());
        QVERIFY(button("SaveToHtmlButton")->isEnabled());
        QVERIFY(button("SaveToGorvelButton")->isEnabled());
        QAbstractItemModel* upper = form.findChild<QTableView*>(QStringLiteral("DBGrid1"))->model();
        QAbstractItemModel* lower = form.findChild<QTableView*>(QStringLiteral("DBGrid2"))->model();
        QCOMPARE(upper->rowCount(), 32);
        QCOMPARE(lower->rowCount(), 32);
        QCOMPARE(lower->index(0, 0).data().toString(), QStringLiteral("112-233-445 95"));

        QTest::mouseClick(button("SaveToHtmlButton"), Qt::LeftButton);
        const QString pagePath = dir.filePath(QStringLiteral("pf_report.html"));
        QCOMPARE(dialogs.takeOpenedUrls(), QList<QUrl>{QUrl::fromLocalFile(pagePath)});
        QVERIFY(QFile::exists(pagePath));
        const QString problems = dialogs.verify();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // The insurer data workbook fills ImpTable and runs the report itself,
    // for every period: LastCB is ticked even after a latest-period setting.
    void insurerWorkbookTicksLastAndBuildsTheReport() {
        ScratchForm f;
        QVERIFY(f.open());
        f.dialogs.expectSelectFolder(QStringLiteral(QUARLEX_SAMPLES "/szv6"));
        f.button("ImpButton")->click();
        QTest::mouseClick(f.lastCB, Qt::LeftButton, {}, QPoint(5, f.lastCB->height() / 2));
        QVERIFY(!f.lastCB->isChecked());

        f.dialogs.expectOpenFile(QStringLiteral(QUARLEX_SAMPLES "/recon/sverka_insurer.xls"));
        f.form.findChild<QAction*>(QStringLiteral("xls1"))->trigger();
        QVERIFY(f.lastCB->isChecked() && !f.lastCB->isEnabled());
        QVERIFY(!f.button("ReportButton")->isEnabled());
        QVERIFY(f.button("SaveToHtmlButton")->isEnabled());
        QVERIFY(f.button("SaveToGorvelButton")->isEnabled());
        QCOMPARE(f.grid("DBGrid1")->rowCount(), 32);
        QCOMPARE(f.grid("DBGrid2")->rowCount(), 34);
        const QString problems = f.dialogs.verify();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // A workbook of neither layout: the error dialog, empty grids, only the
    // import commands.
    void unsupportedWorkbookShowsTheErrorDialog() {
        ScratchForm f;
        QVERIFY(f.open());
        f.dialogs.expectOpenFile(QStringLiteral(QUARLEX_WORKBOOKS "/sums_17_columns.xls"));
        f.form.findChild<QAction*>(QStringLiteral("xls1"))->trigger();
        const auto messages = f.dialogs.takeMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().caption, kErrorCaption);
        QCOMPARE(messages.first().text, QStringLiteral("Неподдерживаемый формат данных xls файла"));
        for (const char* name : {"DBGrid1", "DBGrid2"})
            QCOMPARE(f.grid(name)->columnCount(), 0);
        for (const char* name : {"ReportButton", "SaveToHtmlButton", "SaveToGorvelButton"})
            QVERIFY(!f.button(name)->isEnabled());
        const QString problems = f.dialogs.verify();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "TestEndToEnd.moc"
