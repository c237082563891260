// The grids' models over the working tables, and the lower grid's colouring.
#include <QAbstractItemModelTester>
#include <QTableView>
#include <QtTest>

#include "app/ResultCellDelegate.h"
#include "app/TableModel.h"
#include "tables/WorkingTables.h"

using quarlex::Money;

namespace {

// SNILS numbered so that index order is numeric order.
std::string snilsOf(int n) {
    return QStringLiteral("%1-000-000 0").arg(n, 4, 10, QLatin1Char('0')).toStdString();
}

void addImpRow(quarlex::Table& t, int n, const std::string& firstName = "Имя") {
    t.Insert();
    t.setField("SNILS", snilsOf(n));
    t.setField("FName", firstName);
    t.setField("MName", "Отчество");
    t.setField("LName", "Фамилия");
    t.setField("God", 2011);
    t.setField("Kvartal", 1);
    t.setField("Period", 20111);
    t.setField("Category", "ОСН");
    t.setField("StrNach", Money::fromUnits(1234567));
    t.setField("StrUpl", Money::fromUnits(0));
    t.setField("StrDolg", Money::fromUnits(1234567));
    t.setField("NakNach", Money::fromUnits(0));
    t.setField("NakUpl", Money::fromUnits(500));
    t.setField("NakDolg", Money::fromUnits(-500));
    t.Post();
}

void fillImpTable(quarlex::WorkingTables& tables, int rows) {
    quarlex::resetTable(tables.ImpTable);
    for (int n = 0; n < rows; ++n)
        addImpRow(tables.ImpTable, n);
}

void addResRow(quarlex::Table& t, int n, std::int64_t strItog, std::int64_t nakItog) {
    t.Insert();
    t.setField("SNILS", snilsOf(n));
    t.setField("FIO", "Фамилия Имя Отчество");
    t.setField("Cat", "ОСН");
    t.setField("God", 2011);
    t.setField("Period", 1);
    t.setField("StrItog", Money::fromUnits(strItog));
    t.setField("NakItog", Money::fromUnits(nakItog));
    t.Post();
}

int columnTitled(const QAbstractItemModel& model, const QString& title) {
    for (int c = 0; c < model.columnCount(); ++c)
        if (model.headerData(c, Qt::Horizontal).toString() == title)
            return c;
    return -1;
}

QStringList titles(const QAbstractItemModel& model) {
    QStringList list;
    for (int c = 0; c < model.columnCount(); ++c)
        list << model.headerData(c, Qt::Horizontal).toString();
    return list;
}

// The share of a cell's pixels that are pure red.
double redShare(const QImage& image, const QRect& cell) {
    int red = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            red += image.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
    return double(red) / double(cell.width() * cell.height());
}

} // namespace

class TestTableModel : public QObject {
    Q_OBJECT
private slots:
    void passesTheModelTester() {
        quarlex::WorkingTables tables;
        TableModel model(tables.ImpTable, QLocale::c());
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        fillImpTable(tables, 300);
        model.refresh();
        QCOMPARE(model.rowCount(), 300);
        tables.ImpTable.Close();
        model.refresh();
        QCOMPARE(model.rowCount(), 0);
    }

    void readsRowsOnDemandAcrossChunks() {
        quarlex::WorkingTables tables;
        fillImpTable(tables, 1300); // more rows than the cache holds
        TableModel model(tables.ImpTable, QLocale::c());
        const int snils = columnTitled(model, QStringLiteral("Стр.номер"));
        QVERIFY(snils >= 0);
        for (int row : {0, 127, 128, 1299, 640, 1, 1200, 0, 1299}) {
            QCOMPARE(model.index(row, snils).data().toString(),
                     QString::fromStdString(snilsOf(row)));
        }
        QVERIFY(!model.index(1300, snils).data().isValid());
    }

    void dropsCachedRowsWhenTheTableChanges() {
        quarlex::WorkingTables tables;
        fillImpTable(tables, 10);
        TableModel model(tables.ImpTable, QLocale::c());
        const int first = columnTitled(model, QStringLiteral("Имя"));
        QCOMPARE(model.index(5, first).data().toString(), QStringLiteral("Имя"));
        tables.ImpTable.setRecNo(6);
        tables.ImpTable.Edit();
        tables.ImpTable.setField("FName", "Пётр");
        tables.ImpTable.Post();
        QCOMPARE(model.index(5, first).data().toString(), QStringLiteral("Пётр"));
    }

    // An engine error while the grid reads is reported once; the rows read
    // before still show.
    void reportsAnEngineErrorOnceAndShowsWhatItHas() {
        quarlex::WorkingTables tables;
        fillImpTable(tables, 300);
        TableModel model(tables.ImpTable, QLocale::c());
        QSignalSpy spy(&model, &TableModel::readFailed);
        const int snils = columnTitled(model, QStringLiteral("Стр.номер"));
        QCOMPARE(model.index(0, snils).data().toString(), QString::fromStdString(snilsOf(0)));
        tables.db.exec("ALTER TABLE ImpTable RENAME TO Gone"); // the engine loses the table
        for (int row : {200, 250, 299, 130})
            QVERIFY(!model.index(row, snils).data().isValid());
        QCOMPARE(spy.count(), 1);
        QVERIFY2(spy.at(0).at(0).toString().contains(QStringLiteral("no such table")),
                 qPrintable(spy.at(0).at(0).toString()));
        QCOMPARE(model.index(0, snils).data().toString(), QString::fromStdString(snilsOf(0)));
    }

    void closedTableShowsNothing() {
        quarlex::WorkingTables tables;
        TableModel unopened(tables.ImpTable);
        QCOMPARE(unopened.rowCount(), 0);
        QCOMPARE(unopened.columnCount(), 0);
        fillImpTable(tables, 3);
        tables.ImpTable.Close();
        TableModel closed(tables.ImpTable);
        QCOMPARE(closed.rowCount(), 0);
    }

    void showsVisibleColumnsWithTheirTitles_data() {
        QTest::addColumn<bool>("categoryShown");
        QTest::addColumn<QStringList>("expected");
        const QStringList before{"Стр.номер", "Имя", "Отчество", "Фамилия", "Год", "Квартал"};
        const QStringList money{"Стр.начисл", "Стр.упл", "Стр.долг",
                                "Нак.начисл", "Нак.упл", "Нак.долг"};
        QTest::newRow("category mode") << true << (before + QStringList{"Категория"} + money);
        QTest::newRow("one category") << false << (before + money);
    }

    void showsVisibleColumnsWithTheirTitles() {
        QFETCH(bool, categoryShown);
        QFETCH(QStringList, expected);
        quarlex::WorkingTables tables;
        fillImpTable(tables, 1);
        tables.ImpTable.setVisible("Category", categoryShown);
        TableModel model(tables.ImpTable, QLocale::c());
        QCOMPARE(titles(model), expected);
    }

    void showsMoneyRightAlignedWithTwoDecimals() {
        quarlex::WorkingTables tables;
        fillImpTable(tables, 1);
        TableModel model(tables.ImpTable, QLocale::c());
        const QModelIndex accrued =
            model.index(0, columnTitled(model, QStringLiteral("Стр.начисл")));
        const QModelIndex funded = model.index(0, columnTitled(model, QStringLiteral("Нак.долг")));
        const QModelIndex year = model.index(0, columnTitled(model, QStringLiteral("Год")));
        QCOMPARE(accrued.data().toString(), QStringLiteral("123.46"));
        QCOMPARE(funded.data().toString(), QStringLiteral("-0.05"));
        QCOMPARE(year.data().toString(), QStringLiteral("2011"));
        QCOMPARE(accrued.data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
                 int(Qt::AlignRight));
        QCOMPARE(year.data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
                 int(Qt::AlignLeft));
    }

    void formatsMoneyInTheLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<QString>("expected");
        const QLocale c = QLocale::c();
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        QTest::newRow("whole") << c << qint64(12345600) << QStringLiteral("1234.56");
        QTest::newRow("half a cent up") << c << qint64(50) << QStringLiteral("0.01");
        QTest::newRow("half a cent down") << c << qint64(-50) << QStringLiteral("-0.01");
        QTest::newRow("rounds to zero, no sign") << c << qint64(-49) << QStringLiteral("0.00");
        QTest::newRow("large") << c << qint64(9000000000000000)
                               << QStringLiteral("900000000000.00");
        const QString group = ru.groupSeparator();
        QTest::newRow("russian") << ru << qint64(-12345600)
                                 << QStringLiteral("-1") + group + QStringLiteral("234,56");
    }

    void formatsMoneyInTheLocale() {
        QFETCH(QLocale, locale);
        QFETCH(qint64, units);
        QFETCH(QString, expected);
        quarlex::WorkingTables tables;
        TableModel model(tables.ResTable, locale);
        QCOMPARE(model.displayText(Money::fromUnits(units)), expected);
    }

    void paintsOverpaidRowsRed() {
        quarlex::WorkingTables tables;
        quarlex::resetTable(tables.ResTable);
        addResRow(tables.ResTable, 1, 0, -100); // funded part overpaid by 0.01
        addResRow(tables.ResTable, 2, 0, 0);
        addResRow(tables.ResTable, 3, -50000, 30000);
        TableModel model(tables.ResTable);
        QTableView view;
        view.setModel(&model);
        view.setItemDelegate(new TResultCellDelegate(&view));
        view.resize(700, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setFocus();
        view.setCurrentIndex(model.index(0, 1)); // the selected cell stays red too

        const QImage image = view.viewport()->grab().toImage();
        const bool expectedRed[] = {true, false, true};
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < model.columnCount(); ++column) {
                const QRect cell = view.visualRect(model.index(row, column));
                const double red = redShare(image, cell);
                // Red rows are red but for the text; other rows have no red at all.
                QVERIFY2(
                    expectedRed[row] ? red > 0.6 : red == 0.0,
                    qPrintable(
                        QStringLiteral("row %1 column %2: %3 red").arg(row).arg(column).arg(red)));
            }
        }
    }
};

QTEST_MAIN(TestTableModel)
#include "TestTableModel.moc"
