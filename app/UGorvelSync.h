#pragma once
// The synchronisation dialog: the accounting program's DATA folder, the two
// options of a run, the run itself (done by the core) and its log, which can
// be saved. A new dialog is made for every use and keeps nothing afterwards.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TForm1;

class TGorvelSyncForm : public QDialog {
    Q_OBJECT
public:
    // Owned by the main window, whose working tables, category mode, number
    // format, folder chooser and dialogs it uses.
    explicit TGorvelSyncForm(TForm1& mainForm);

    const QString& dataDir() const { return FDDir; }

public slots:
    void GorvelPathButtonClick();
    void StartButtonClick();
    void SaveLogButtonClick();

private:
    void updateEnabledState();

    TForm1& m_mainForm;
    QString FDDir;

    QPushButton* GorvelPathButton = nullptr;
    QLabel* GorvelPathLabel = nullptr;
    QCheckBox* OverwriteCB = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* SaveLogButton = nullptr;
    QLabel* SepLbl = nullptr;
    QComboBox* SeparatorCB = nullptr;
    QPlainTextEdit* LogMemo = nullptr;
};
