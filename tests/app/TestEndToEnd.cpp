// The whole road through the window: the sample SZV-6 folder chosen through
// the folder chooser, the report built, the HTML page saved; the page must
// equal the reviewed one byte for byte.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/ScriptedDialogs.h"
#include "app/UMain.h"

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
};

QTEST_MAIN(TestEndToEnd)
#include "TestEndToEnd.moc"
