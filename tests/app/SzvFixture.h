#pragma once
// Small SZV-6 files for the window tests, written in Windows-1251 as the fund's
// programs write them.
#include <QList>
#include <QString>

struct SzvRecord {
    QString snils;
    QString lastName;
    QString firstName;
    QString middleName;
    int year = 2011;
    int quarter = 1;
    QString strNach = QStringLiteral("100.00");
    QString strUpl = QStringLiteral("100.00");
    QString nakNach = QStringLiteral("50.00");
    QString nakUpl = QStringLiteral("50.00");
    QString category = QStringLiteral("НР");
    QString kind = QStringLiteral("ИСХОДНАЯ");
};

QByteArray toCp1251(const QString& text);

// The document text of one file holding `records`.
QString szvDocument(const QList<SzvRecord>& records);

// Writes `bytes` to `path`; fails the calling test's QVERIFY when it cannot.
bool writeBytes(const QString& path, const QByteArray& bytes);
bool writeSzvFile(const QString& path, const QList<SzvRecord>& records);
