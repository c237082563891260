// The version text read from a program file's own section.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/FileVersion.h"

class TestFileVersion : public QObject {
    Q_OBJECT
private slots:
    void builtProgramCarriesTheProjectVersion() {
        QCOMPARE(QString::fromStdString(quarlex::ReadFileVersion(QUARLEX_APP_PATH)),
                 QStringLiteral(QUARLEX_EXPECTED_VERSION));
    }

    void filesWithoutTheVersionGiveEmpty_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("contents"); // written to `path` when not null

        QTest::newRow("program without the section") << QStringLiteral("/bin/true") << QByteArray();
        QTest::newRow("no such file") << QStringLiteral("no-such-program") << QByteArray();
        QTest::newRow("not an ELF file") << QStringLiteral("text") << QByteArray("#!/bin/sh\n");
        QFile program(QStringLiteral(QUARLEX_APP_PATH));
        QVERIFY(program.open(QIODevice::ReadOnly));
        const QByteArray whole = program.readAll();
        // The header names section headers that lie beyond the end of the file.
        QTest::newRow("cut after the ELF header") << QStringLiteral("cut") << whole.left(64);
        QTest::newRow("cut inside the sections")
            << QStringLiteral("half") << whole.left(whole.size() / 2);
    }

    void filesWithoutTheVersionGiveEmpty() {
        QFETCH(QString, path);
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        QString file = path;
        if (!contents.isNull()) {
            file = dir.filePath(path);
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(contents);
        } else if (!path.startsWith(QLatin1Char('/'))) {
            file = dir.filePath(path);
        }
        QCOMPARE(QString::fromStdString(quarlex::ReadFileVersion(file.toStdString())), QString());
    }
};

QTEST_GUILESS_MAIN(TestFileVersion)
#include "TestFileVersion.moc"
