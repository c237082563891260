// The main window driven as the user drives it, with every dialog answered by
// the scripted seam: the command states after each command, the import
// sources, errors and the maker's links.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "SzvFixture.h"
#include "app/ScriptedDialogs.h"
#include "app/TableModel.h"
#include "app/UMain.h"

namespace {

// Two persons over two quarters; the second person overpaid the funded part.
QList<SzvRecord> twoPersons() {
    SzvRecord a1{QStringLiteral("112-233-445 95"), QStringLiteral("Иванов"),
                 QStringLiteral("Сергей"), QStringLiteral("Петрович")};
    a1.quarter = 1;
    a1.strUpl = QStringLiteral("60.00");
    SzvRecord a2 = a1;
    a2.quarter = 2;
    SzvRecord b2{QStringLiteral("123-456-789 64"), QStringLiteral("Петрова"),
                 QStringLiteral("Анна"), QStringLiteral("Ивановна")};
    b2.quarter = 2;
    b2.nakUpl = QStringLiteral("80.00");
    return {a1, a2, b2};
}

// Records messages with the drawing state of the window at that moment.
class ObservingDialogs : public ScriptedDialogs {
public:
    std::function<void()> onMessage;
    void message(const QString& caption, const QString& text) override {
        if (onMessage)
            onMessage();
        ScriptedDialogs::message(caption, text);
    }
};

QString onOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// The command states as one line, so that a failure shows them all.
QString stateLine(bool report, bool lastChecked, bool lastEnabled, bool categoryChecked,
                  bool categoryEnabled, bool html, bool gorvel) {
    return QStringLiteral("Report:%1 Last:%2/%3 Category:%4/%5 Html:%6 Gorvel:%7")
        .arg(onOff(report), lastChecked ? QStringLiteral("checked") : QStringLiteral("unchecked"),
             onOff(lastEnabled),
             categoryChecked ? QStringLiteral("checked") : QStringLiteral("unchecked"),
             onOff(categoryEnabled), onOff(html), onOff(gorvel));
}

const QString kStartStates = stateLine(false, true, false, false, true, false, false);
const QString kAfterSzvImport = stateLine(true, true, true, false, false, false, false);
const QString kAfterReconciliation = stateLine(false, true, false, false, false, true, true);

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ObservingDialogs> m_dialogs;
    std::unique_ptr<TForm1> m_form;

    template <typename T> T* child(const char* name) const {
        return m_form->findChild<T*>(QString::fromLatin1(name));
    }
    QToolButton* button(const char* name) const { return child<QToolButton>(name); }
    QCheckBox* check(const char* name) const { return child<QCheckBox>(name); }
    QAbstractItemModel* grid(const char* name) const { return child<QTableView>(name)->model(); }

    QString states() const {
        return stateLine(button("ReportButton")->isEnabled(), check("LastCB")->isChecked(),
                         check("LastCB")->isEnabled(), check("CategoryCB")->isChecked(),
                         check("CategoryCB")->isEnabled(), button("SaveToHtmlButton")->isEnabled(),
                         button("SaveToGorvelButton")->isEnabled());
    }

    QString makeFolder(const QString& name, const QList<SzvRecord>& records) {
        const QString folder = m_dir->filePath(name);
        QDir().mkpath(folder);
        if (!writeSzvFile(folder + QStringLiteral("/szv.xml"), records))
            return {};
        return folder;
    }

    // A reconciliation text file with one person and one period, or only a
    // heading when `person` is false.
    QString makeReconciliationFile(const QString& name, bool person = false) {
        const QString path = m_dir->filePath(name);
        QString text = QStringLiteral("сверка\r\n");
        if (person)
            text +=
                QString(80, QLatin1Char('-')) +
                QStringLiteral("\r\nРег.№ 087-101-000001 СНИЛС: 112-233-445 95 ФИО: Иванов "
                               "Сергей Петрович\r\n2011 г. 1 кв. 1000,00; 0,00; 400,00; 0,00\r\n"
                               "Итого: 1000,00; 0,00; 400,00; 0,00\r\n");
        return writeBytes(path, toCp1251(text)) ? path : QString();
    }

    void clickFace(QToolButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, b->height() / 2));
    }

    // Chooses `folder` through the import button and runs the import.
    void importFolder(const QString& folder) {
        m_dialogs->expectSelectFolder(folder);
        clickFace(button("ImpButton"));
    }

    QString lastRequestArgument() const {
        return m_dialogs->requests().isEmpty() ? QStringLiteral("<none>")
                                               : m_dialogs->requests().last().argument;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dialogs = std::make_unique<ObservingDialogs>();
        m_form = std::make_unique<TForm1>(*m_dialogs, quarlex::NumberFormat{'.'});
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void cleanup() {
        const QString problems = m_dialogs->verify();
        m_form.reset();
        m_dialogs.reset();
        m_dir.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void startsWithItsLayoutAndStates() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Контроль сумм взносов ПФ"));
        QCOMPARE(m_form->size(), QSize(839, 414));
        QCOMPARE(m_form->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(m_form->font().pixelSize(), 11);
        QCOMPARE(child<QToolBar>("MainTB")->height(), 30);
        const std::pair<const char*, QString> buttons[] = {
            {"ImpButton", QStringLiteral("Импорт данных")},
            {"ReportButton", QStringLiteral("Сформировать отчет")},
            {"SaveToHtmlButton", QStringLiteral("Сохранить отчет в html")},
            {"SaveToGorvelButton", QStringLiteral("Синхронизировать с Gorvel")}};
        for (const auto& [name, caption] : buttons) {
            QVERIFY2(button(name), name);
            QCOMPARE(button(name)->text(), caption);
            QCOMPARE(button(name)->width(), 200);
        }
        auto* menu = child<QMenu>("ImportMenu");
        QVERIFY(menu);
        QCOMPARE(button("ImpButton")->menu(), menu);
        QStringList items;
        for (QAction* a : menu->actions())
            items << a->text();
        QCOMPARE(items, (QStringList{"Файлы СЗВ (xml)", "Файл сверки (txt)", "Файл сверки (xls)"}));
        QCOMPARE(menu->defaultAction(), menu->actions().first());
        QVERIFY(menu->actions().first()->font().bold());

        QCOMPARE(states(), kStartStates);
        QVERIFY(button("ImpButton")->isEnabled());
        QCOMPARE(child<QLabel>("MainLbl")->text(), QStringLiteral("ООО \"Вестролин\""));
        QVERIFY(child<QLabel>("MailLbl")->text().contains(
            QStringLiteral("Отправить e-mail: <a href=\"mailto:support@vestrolin.ru\">")));
        QCOMPARE(child<QTableView>("DBGrid1")->height(), 109);
        QCOMPARE(m_form->statusPanelText(1), QString());
    }

    void importButtonFaceRunsTheFolderImport() {
        const QString folder = makeFolder(QStringLiteral("szv"), twoPersons());
        QVERIFY(!folder.isEmpty());
        importFolder(folder);

        QVERIFY(!QApplication::activePopupWidget()); // the menu stayed closed
        QCOMPARE(m_dialogs->requests().size(), 1);
        QCOMPARE(m_dialogs->requests().first().title,
                 QStringLiteral("Выберите папку со сведениями СЗВ6"));
        QCOMPARE(states(), kAfterSzvImport);
        QCOMPARE(m_form->currentDir(), folder);
        QCOMPARE(m_form->statusPanelText(1), folder);
        QCOMPARE(grid("DBGrid1")->rowCount(), 3);
        QCOMPARE(grid("DBGrid2")->rowCount(), 0); // no report until it is built
        QVERIFY(m_form->updatesEnabled());
    }

    void rowMessagesGoThroughTheSeamWhileDrawingIsSuspended() {
        QList<SzvRecord> records = twoPersons();
        records << records.first(); // the same person, period and category again
        const QString folder = makeFolder(QStringLiteral("dup"), records);
        bool drawingDuringMessage = true;
        bool busyDuringMessage = false;
        m_dialogs->onMessage = [&] {
            drawingDuringMessage = m_form->updatesEnabled();
            busyDuringMessage = QApplication::overrideCursor() &&
                                QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        };
        importFolder(folder);

        const auto messages = m_dialogs->takeMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().caption, QStringLiteral("Ошибка в данных"));
        QVERIFY(messages.first().text.contains(QStringLiteral("112-233-445 95")));
        QVERIFY(!drawingDuringMessage);
        QVERIFY(m_form->updatesEnabled());
        QVERIFY(busyDuringMessage);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(grid("DBGrid1")->rowCount(), 3);
    }

    // Cancelling a chooser imports again from the other source, if one is set.
    void cancellingRepeatsTheImportOfTheOtherSource() {
        const QString folder = makeFolder(QStringLiteral("szv"), twoPersons());
        importFolder(folder);
        const std::uint64_t afterFolder = m_form->tables().ImpTable.generation();

        m_dialogs->expectOpenFile(std::nullopt);
        child<QAction>("txt1")->trigger();
        QVERIFY(m_form->tables().ImpTable.generation() != afterFolder);
        QCOMPARE(grid("DBGrid1")->rowCount(), 3);
        QCOMPARE(m_form->currentFileType(), ftNone);
        QCOMPARE(states(), kAfterSzvImport);

        const QString file = makeReconciliationFile(QStringLiteral("sverka.txt"));
        m_dialogs->expectOpenFile(file);
        child<QAction>("txt1")->trigger();
        const std::uint64_t afterFile = m_form->tables().ImpTable.generation();

        m_dialogs->expectSelectFolder(std::nullopt);
        clickFace(button("ImpButton"));
        QVERIFY(m_form->tables().ImpTable.generation() != afterFile);
        QCOMPARE(m_form->currentDir(), QString());
        QCOMPARE(m_form->currentFile(), file);
        QCOMPARE(m_form->currentFileType(), ftTxt);
        QCOMPARE(m_form->statusPanelText(1), file);
        QCOMPARE(states(), kAfterReconciliation);
    }

    void cancellingWithNoSourceChangesNothing() {
        const std::uint64_t before = m_form->tables().ImpTable.generation();
        m_dialogs->expectSelectFolder(std::nullopt);
        clickFace(button("ImpButton"));
        m_dialogs->expectOpenFile(std::nullopt);
        child<QAction>("xls1")->trigger();
        QCOMPARE(m_form->tables().ImpTable.generation(), before);
        QVERIFY(!m_form->tables().ImpTable.Active());
        QCOMPARE(states(), kStartStates);
        QCOMPARE(m_form->currentDir(), QString());
        QCOMPARE(m_form->currentFile(), QString());
    }

    void preselectsOnlyAnExistingFolder_data() {
        QTest::addColumn<bool>("removed");
        QTest::newRow("still there") << false;
        QTest::newRow("removed since") << true;
    }

    void preselectsOnlyAnExistingFolder() {
        QFETCH(bool, removed);
        const QString folder = makeFolder(QStringLiteral("szv"), twoPersons());
        importFolder(folder);
        if (removed)
            QVERIFY(QDir(folder).removeRecursively());
        m_dialogs->expectSelectFolder(std::nullopt);
        clickFace(button("ImpButton"));
        QCOMPARE(lastRequestArgument(), removed ? QString() : folder);
        QCOMPARE(m_form->currentDir(), QString()); // a cancelled choice forgets the folder
    }

    void reconciliationFileChoice_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("fileType");
        QTest::newRow("text") << "txt1" << QStringLiteral("Текстовые файлы (*.txt)") << int(ftTxt);
        QTest::newRow("workbook") << "xls1" << QStringLiteral("Файлы Exel (*.xls)") << int(ftXls);
    }

    // Choosing a file names it as the source, unchecks the category mode and
    // runs the import: a text file fills both grids; a file that is no
    // workbook ends in the error report and leaves the states as they were.
    void reconciliationFileChoice() {
        QFETCH(QString, action);
        QFETCH(QString, filter);
        QFETCH(int, fileType);
        check("CategoryCB")->setChecked(true);
        importFolder(makeFolder(QStringLiteral("szv"), twoPersons()));
        QVERIFY(grid("DBGrid1")->rowCount() > 0);

        const QString file = makeReconciliationFile(QStringLiteral("sverka"), true);
        m_dialogs->expectOpenFile(file);
        child<QAction>(action.toLatin1().constData())->trigger();

        const auto& request = m_dialogs->requests().last();
        QCOMPARE(request.title, QStringLiteral("Выберите файл со сверкой ПФ"));
        QCOMPARE(request.argument, filter);
        QCOMPARE(m_form->currentFile(), file);
        QCOMPARE(int(m_form->currentFileType()), fileType);
        QCOMPARE(m_form->currentDir(), QString());
        QCOMPARE(m_form->statusPanelText(1), file);
        if (fileType == ftTxt) {
            QCOMPARE(states(), kAfterReconciliation);
            QCOMPARE(grid("DBGrid1")->rowCount(), 1);
            QCOMPARE(grid("DBGrid2")->rowCount(), 1);
            // The category columns stay hidden: the choice unchecked the mode.
            QVERIFY(!m_form->tables().ImpTable.isVisible("Category"));
        } else {
            const QStringList errors = m_dialogs->takeErrorReports();
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.first().contains(file), qPrintable(errors.first()));
            QCOMPARE(states(), stateLine(true, true, true, false, false, false, false));
        }
    }

    void categoryModeIsFixedByTheFirstImport_data() {
        QTest::addColumn<bool>("categoryMode");
        QTest::newRow("several regimes") << true;
        QTest::newRow("one regime") << false;
    }

    void categoryModeIsFixedByTheFirstImport() {
        QFETCH(bool, categoryMode);
        QCheckBox* category = check("CategoryCB");
        if (categoryMode)
            QTest::mouseClick(category, Qt::LeftButton, {}, QPoint(5, category->height() / 2));
        QCOMPARE(category->isChecked(), categoryMode);
        importFolder(makeFolder(QStringLiteral("szv"), twoPersons()));

        QVERIFY(!category->isEnabled());
        QTest::mouseClick(category, Qt::LeftButton, {}, QPoint(5, category->height() / 2));
        QCOMPARE(category->isChecked(), categoryMode);
        QStringList titles;
        for (int c = 0; c < grid("DBGrid1")->columnCount(); ++c)
            titles << grid("DBGrid1")->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles.contains(QStringLiteral("Категория")), categoryMode);
    }

    void failedImportKeepsTheStates_data() {
        QTest::addColumn<bool>("reportBefore");
        QTest::newRow("first import") << false;
        QTest::newRow("after a report") << true;
    }

    void failedImportKeepsTheStates() {
        QFETCH(bool, reportBefore);
        if (reportBefore) {
            importFolder(makeFolder(QStringLiteral("good"), twoPersons()));
            QTest::mouseClick(button("ReportButton"), Qt::LeftButton);
        }
        const QString before = states();
        const QString broken = m_dir->filePath(QStringLiteral("broken"));
        QDir().mkpath(broken);
        QVERIFY(writeBytes(broken + QStringLiteral("/broken.xml"),
                           toCp1251(QStringLiteral("<ФайлПФР><СВЕДЕНИЯ"))));
        importFolder(broken);

        const QStringList errors = m_dialogs->takeErrorReports();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("broken.xml")), qPrintable(errors.first()));
        QCOMPARE(states(), before);
        QVERIFY(m_form->updatesEnabled());
        QVERIFY(!QApplication::overrideCursor());
        if (reportBefore) {
            // The page command stays enabled over the closed report table.
            QTest::mouseClick(button("SaveToHtmlButton"), Qt::LeftButton);
            QCOMPARE(m_dialogs->takeErrorReports().size(), 1);
            QCOMPARE(m_dialogs->takeOpenedUrls(), QList<QUrl>());
        }
    }

    void reportRunStates_data() {
        QTest::addColumn<bool>("perPeriod");
        QTest::addColumn<int>("rows");
        QTest::newRow("every period") << true << 3;
        QTest::newRow("latest period") << false << 2;
    }

    void reportRunStates() {
        QFETCH(bool, perPeriod);
        QFETCH(int, rows);
        importFolder(makeFolder(QStringLiteral("szv"), twoPersons()));
        if (!perPeriod)
            QTest::mouseClick(check("LastCB"), Qt::LeftButton, {},
                              QPoint(5, check("LastCB")->height() / 2));
        QCOMPARE(check("LastCB")->isChecked(), perPeriod);
        QTest::mouseClick(button("ReportButton"), Qt::LeftButton);

        QCOMPARE(states(), stateLine(true, perPeriod, true, false, false, true, perPeriod));
        QCOMPARE(grid("DBGrid2")->rowCount(), rows);
        QVERIFY(m_form->updatesEnabled());
    }

    void savesTheHtmlPageNextToTheImportAndOpensIt_data() {
        QTest::addColumn<bool>("chooserCancelled");
        QTest::newRow("right after the report") << false;
        // The cancelled chooser forgets the folder, not where the rows came from.
        QTest::newRow("after a cancelled chooser") << true;
    }

    void savesTheHtmlPageNextToTheImportAndOpensIt() {
        QFETCH(bool, chooserCancelled);
        const QString folder = makeFolder(QStringLiteral("szv"), twoPersons());
        importFolder(folder);
        QTest::mouseClick(button("ReportButton"), Qt::LeftButton);
        if (chooserCancelled) {
            m_dialogs->expectSelectFolder(std::nullopt);
            clickFace(button("ImpButton"));
            QCOMPARE(m_form->currentDir(), QString());
        }
        QTest::mouseClick(button("SaveToHtmlButton"), Qt::LeftButton);

        const QString page = folder + QStringLiteral("/pf_report.html");
        QVERIFY(QFileInfo(page).isFile());
        QCOMPARE(m_dialogs->takeOpenedUrls(), QList<QUrl>{QUrl::fromLocalFile(page)});
    }

    // Without a browser the user is told where the page is.
    void pageThatCannotBeOpenedIsNamed() {
        const QString folder = makeFolder(QStringLiteral("szv"), twoPersons());
        importFolder(folder);
        QTest::mouseClick(button("ReportButton"), Qt::LeftButton);
        m_dialogs->setOpenUrlResult(false);
        QTest::mouseClick(button("SaveToHtmlButton"), Qt::LeftButton);

        const QString page = folder + QStringLiteral("/pf_report.html");
        QCOMPARE(m_dialogs->takeOpenedUrls(), QList<QUrl>{QUrl::fromLocalFile(page)});
        const auto messages = m_dialogs->takeMessages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().text.contains(page), qPrintable(messages.first().text));
        QVERIFY(!QApplication::overrideCursor());
    }

    // In category mode the category title is as wide as its field; the
    // column must still show it whole, in both grids.
    void columnsAreAtLeastAsWideAsTheirTitles() {
        check("CategoryCB")->setChecked(true);
        importFolder(makeFolder(QStringLiteral("szv"), twoPersons()));
        QTest::mouseClick(button("ReportButton"), Qt::LeftButton);
        for (const char* name : {"DBGrid1", "DBGrid2"}) {
            auto* view = child<QTableView>(name);
            const QFontMetrics metrics(view->horizontalHeader()->font());
            for (int c = 0; c < view->model()->columnCount(); ++c) {
                const QString title = view->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(view->columnWidth(c) > metrics.horizontalAdvance(title),
                         qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(name), title)));
            }
        }
    }

    // The file chooser starts at home, then where the previous file was
    // chosen, also after a folder import in between.
    void fileChooserStartsWhereTheLastFileWas() {
        m_dialogs->expectOpenFile(std::nullopt);
        child<QAction>("txt1")->trigger();
        QCOMPARE(m_dialogs->requests().last().startFolder, QDir::homePath());

        const QString file = makeReconciliationFile(QStringLiteral("sverka.txt"));
        m_dialogs->expectOpenFile(file);
        child<QAction>("txt1")->trigger();
        importFolder(makeFolder(QStringLiteral("szv"), twoPersons()));
        m_dialogs->expectOpenFile(std::nullopt);
        child<QAction>("xls1")->trigger();
        QCOMPARE(m_dialogs->requests().last().startFolder, m_dir->path());
    }

    // A long path is elided in the middle, whole in the tool tip.
    void longSourcePathIsElidedInTheMiddle() {
        QString name;
        for (int i = 0; i < 12; ++i)
            name += QStringLiteral("очень_длинное_имя_папки_%1/").arg(i);
        const QString folder = makeFolder(name + QStringLiteral("szv"), twoPersons());
        QVERIFY(!folder.isEmpty());
        importFolder(folder);

        auto* panel = child<QLabel>("SBPanel1");
        QCOMPARE(m_form->statusPanelText(1), folder);
        QCOMPARE(panel->toolTip(), folder);
        QVERIFY(panel->text().contains(QChar(0x2026)));
        QVERIFY(panel->text().endsWith(QStringLiteral("/szv")));
        QVERIFY(panel->text().startsWith(folder.left(5)));
        QVERIFY(panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->width());
    }

    void unwritablePageIsReportedAndNotOpened() {
        const QString folder = makeFolder(QStringLiteral("szv"), twoPersons());
        QVERIFY(QDir(folder).mkdir(QStringLiteral("pf_report.html"))); // in the file's way
        importFolder(folder);
        QTest::mouseClick(button("ReportButton"), Qt::LeftButton);
        QTest::mouseClick(button("SaveToHtmlButton"), Qt::LeftButton);

        QCOMPARE(m_dialogs->takeErrorReports().size(), 1);
        QCOMPARE(m_dialogs->takeOpenedUrls(), QList<QUrl>());
        QVERIFY(m_form->updatesEnabled());
    }

    void makerLinksOpenTheirAddresses() {
        auto* mainLbl = child<QLabel>("MainLbl");
        QCOMPARE(mainLbl->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(mainLbl->font().underline());
        QTest::mouseClick(mainLbl, Qt::LeftButton);
        // The click opens its own mailbox, whatever the link shows.
        emit child<QLabel>("MailLbl")->linkActivated(QStringLiteral("mailto:support@vestrolin.ru"));
        QCOMPARE(
            m_dialogs->takeOpenedUrls(),
            (QList<QUrl>{QUrl(QStringLiteral("https://vestrolin.ru")),
                         QUrl(QStringLiteral("mailto:quarlex@vestrolin.ru?subject=Quarlex"))}));
    }

    // An engine error while a grid reads reaches the general error report
    // once, after the paint that met it, not from inside it.
    void gridReadErrorIsReportedOnce() {
        importFolder(makeFolder(QStringLiteral("szv"), twoPersons()));
        m_form->tables().db.exec("ALTER TABLE ImpTable RENAME TO Gone");
        auto* model = m_form->findChild<TableModel*>(QStringLiteral("MDS"));
        QVERIFY(model);
        model->refresh();
        QVERIFY(m_dialogs->takeErrorReports().isEmpty()); // queued, not shown from inside
        QStringList errors;
        QTRY_VERIFY((errors += m_dialogs->takeErrorReports(), !errors.isEmpty()));
        QTest::qWait(20); // the grid repaints; nothing more is reported
        errors += m_dialogs->takeErrorReports();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QStringLiteral("no such table")),
                 qPrintable(errors.first()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
