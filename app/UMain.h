#pragma once
// The main window: the working tables, the two grids, the commands and their
// states. Every command's work is done by the core; the window chooses the
// source, suspends drawing, mirrors the results in the command states and
// hands errors to the general error report.
#include <QMainWindow>

#include "app/Dialogs.h"
#include "import/ReconEntry.h"
#include "tables/NumberFormat.h"
#include "tables/WorkingTables.h"

class QAction;
class QCheckBox;
class QLabel;
class QLocale;
class QMenu;
class QSplitter;
class QStatusBar;
class QTableView;
class QToolBar;
class QToolButton;
class TableModel;
class TClickLabel;

using quarlex::ftNone;
using quarlex::ftTxt;
using quarlex::ftXls;
using quarlex::TFileType;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static inline const QString kWebAddress = QStringLiteral("https://vestrolin.ru");
    static inline const QString kShownMailAddress = QStringLiteral("support@vestrolin.ru");

    TForm1(Dialogs& dialogs, quarlex::NumberFormat format, QWidget* parent = nullptr);
    ~TForm1() override;

    // The number format of a locale: its decimal separator when it is one
    // ASCII character, '.' otherwise.
    static quarlex::NumberFormat numberFormatOf(const QLocale& locale);

    // The folder chooser: an inexistent `folder` is emptied first; on a choice
    // it is replaced by the chosen path and true is returned.
    bool SelectFolder(const QString& title, QString& folder);

    // The import run.
    void LoadData();

    // For the tests and the synchronisation dialog.
    const QString& currentDir() const { return FDir; }
    const QString& currentFile() const { return FFile; }
    TFileType currentFileType() const { return FFileType; }
    quarlex::WorkingTables& tables() { return m_tables; }
    QString statusPanelText(int panel) const;
    bool categoryMode() const;
    quarlex::NumberFormat& numberFormat() { return m_format; }
    Dialogs& dialogs() { return m_dialogs; }

public slots:
    void xml1Click();
    void txt1Click();
    void xls1Click();
    void ReportButtonClick();
    void SaveToHtmlButtonClick();
    void SaveToGorvelButtonClick();
    void MainLblClick();
    void MailLblLinkClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void buildToolbar();
    QWidget* buildTopBlock();
    void buildGrids();
    void buildStatusBar();
    void ChooseReconciliationFile(TFileType kind);
    void refreshGrids();
    // Shows the chosen folder or file in status panel 1.
    void setSourcePanel(const QString& path);
    // Runs one command's body; an error it raises goes to the error report
    // after the body has unwound (and so after drawing resumed).
    template <typename Body> void runCommand(Body&& body);

    Dialogs& m_dialogs;
    DialogPrompts m_prompts;
    quarlex::NumberFormat m_format;
    quarlex::WorkingTables m_tables;

    QString FDir;
    QString FFile;
    TFileType FFileType = ftNone;
    // The source of the rows the tables hold, taken when the import run starts:
    // a later cancelled chooser empties FDir or FFile, but the page still
    // belongs next to the imported data.
    QString m_loadedDir;
    QString m_loadedFile;
    // The folder of the last reconciliation file chosen: the file chooser
    // starts there next time, also after a folder import.
    QString m_fileFolder;
    // The whole text of status panel 1, which shows it elided.
    QString m_sourceText;

    QToolBar* MainTB = nullptr;
    QToolButton* ImpButton = nullptr;
    QMenu* ImportMenu = nullptr;
    QAction* xml1 = nullptr;
    QAction* txt1 = nullptr;
    QAction* xls1 = nullptr;
    QToolButton* ReportButton = nullptr;
    QToolButton* SaveToHtmlButton = nullptr;
    QToolButton* SaveToGorvelButton = nullptr;
    QCheckBox* CategoryCB = nullptr;
    QCheckBox* LastCB = nullptr;
    TClickLabel* MainLbl = nullptr;
    QLabel* LinkLabel3 = nullptr;
    QLabel* MailLbl = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QTableView* DBGrid2 = nullptr;
    TableModel* MDS = nullptr;
    TableModel* FDS = nullptr;
    QStatusBar* SB = nullptr;
    QLabel* SBPanel0 = nullptr;
    QLabel* SBPanel1 = nullptr;
    bool m_gridsPlaced = false;
};
