#include "app/UGorvelSync.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <exception>

#include "app/BusyCursor.h"
#include "app/UMain.h"
#include "sync/GorvelSync.h"
#include "sync/SyncLogFile.h"

namespace {

constexpr int kClientWidth = 444;
constexpr int kClientHeight = 279;
// The smallest window, 450 x 250, is measured over the frame: borders of 8
// pixels and a caption of 23.
constexpr int kMinClientWidth = 450 - 2 * 8;
constexpr int kMinClientHeight = 250 - 2 * 8 - 23;
constexpr int kPathButtonWidth = 122;
constexpr int kSaveButtonWidth = 172;
constexpr int kSeparatorWidth = 29;

// The memo as the run's log: every line shown the moment it is produced.
class MemoLog : public quarlex::SyncLog {
public:
    explicit MemoLog(QPlainTextEdit* memo) : m_memo(memo) {}
    void clear() override { m_memo->clear(); }
    void append(const std::string& line) override {
        m_memo->appendPlainText(QString::fromStdString(line));
    }

private:
    QPlainTextEdit* m_memo;
};

std::string toPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

TGorvelSyncForm::TGorvelSyncForm(TForm1& mainForm) : QDialog(&mainForm), m_mainForm(mainForm) {
    setObjectName(QStringLiteral("GorvelSyncForm"));
    setWindowTitle(QStringLiteral("Синхронизация с Gorvel"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    setSizeGripEnabled(true);

    GorvelPathButton = new QPushButton(QStringLiteral("Путь к папке DATA"), this);
    GorvelPathButton->setObjectName(QStringLiteral("GorvelPathButton"));
    GorvelPathButton->setFixedWidth(kPathButtonWidth);
    GorvelPathButton->setAutoDefault(false);
    GorvelPathLabel = new QLabel(this);
    GorvelPathLabel->setObjectName(QStringLiteral("GorvelPathLabel"));
    OverwriteCB = new QCheckBox(QStringLiteral("Заменять значения в базе"), this);
    OverwriteCB->setObjectName(QStringLiteral("OverwriteCB"));
    StartButton = new QPushButton(QStringLiteral("Начать"), this);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    StartButton->setAutoDefault(false);
    SaveLogButton = new QPushButton(QStringLiteral("Сохранить лог в файл"), this);
    SaveLogButton->setObjectName(QStringLiteral("SaveLogButton"));
    SaveLogButton->setFixedWidth(kSaveButtonWidth);
    SaveLogButton->setAutoDefault(false);
    SepLbl = new QLabel(QStringLiteral("BDE Date separator"), this);
    SepLbl->setObjectName(QStringLiteral("SepLbl"));
    SeparatorCB = new QComboBox(this);
    SeparatorCB->setObjectName(QStringLiteral("SeparatorCB"));
    SeparatorCB->addItems({QStringLiteral("."), QStringLiteral(","), QStringLiteral("/")});
    SeparatorCB->setCurrentIndex(0);
    SeparatorCB->setEditable(false);
    SeparatorCB->setFixedWidth(kSeparatorWidth);
    LogMemo = new QPlainTextEdit(this);
    LogMemo->setObjectName(QStringLiteral("LogMemo"));
    LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    LogMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* layout = new QVBoxLayout(this);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(GorvelPathButton);
    pathRow->addWidget(GorvelPathLabel, 1);
    layout->addLayout(pathRow);
    layout->addWidget(OverwriteCB);
    auto* commandRow = new QHBoxLayout;
    commandRow->addWidget(StartButton);
    commandRow->addWidget(SaveLogButton);
    commandRow->addStretch(1);
    commandRow->addWidget(SepLbl);
    commandRow->addWidget(SeparatorCB);
    layout->addLayout(commandRow);
    layout->addWidget(LogMemo, 1);

    connect(GorvelPathButton, &QPushButton::clicked, this, &TGorvelSyncForm::GorvelPathButtonClick);
    connect(StartButton, &QPushButton::clicked, this, &TGorvelSyncForm::StartButtonClick);
    connect(SaveLogButton, &QPushButton::clicked, this, &TGorvelSyncForm::SaveLogButtonClick);

    setMinimumSize(kMinClientWidth, kMinClientHeight);
    resize(kClientWidth, kClientHeight);
    // At the top left corner of the screen, not centred over the main window.
    if (const QScreen* screen =
            mainForm.screen() ? mainForm.screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().topLeft());
    updateEnabledState();
}

void TGorvelSyncForm::updateEnabledState() {
    const bool chosen = !FDDir.isEmpty();
    for (QWidget* w : std::initializer_list<QWidget*>{OverwriteCB, StartButton, SaveLogButton,
                                                      SeparatorCB, SepLbl})
        w->setEnabled(chosen);
}

void TGorvelSyncForm::GorvelPathButtonClick() {
    if (m_mainForm.SelectFolder(QStringLiteral("Укажите путь к папке DATA"), FDDir)) {
        GorvelPathLabel->setText(QDir::toNativeSeparators(FDDir));
        if (!FDDir.endsWith(QLatin1Char('/')))
            FDDir += QLatin1Char('/');
    } else {
        FDDir.clear(); // the label keeps what it showed
    }
    updateEnabledState();
}

void TGorvelSyncForm::StartButtonClick() {
    quarlex::GorvelSyncOptions options;
    options.dataDir = toPath(FDDir);
    options.categoryMode = m_mainForm.categoryMode();
    options.overwrite = OverwriteCB->isChecked();
    const QString separator = SeparatorCB->currentText();
    options.separator = separator.isEmpty() ? '.' : separator.front().toLatin1();
    MemoLog log(LogMemo);
    QString error;
    try {
        BusyCursor busy;
        quarlex::runGorvelSync(m_mainForm.tables(), options, m_mainForm.numberFormat(), log);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (!error.isEmpty())
        m_mainForm.dialogs().errorReport(error);
}

void TGorvelSyncForm::SaveLogButtonClick() {
    // Status panel 1 names the folder or file of the last import choice; the
    // dialog starts in that folder, or in the file's.
    QString start = m_mainForm.statusPanelText(1);
    if (!start.isEmpty() && !QFileInfo(start).isDir())
        start = QFileInfo(start).absolutePath();
    const std::optional<QString> chosen = m_mainForm.dialogs().saveFile(
        QStringLiteral("Укажите имя файла"), QStringLiteral("Текстовые файлы (*.txt *.TXT)"),
        QStringLiteral("txt"), start);
    if (!chosen || chosen->isEmpty())
        return;
    QString name = *chosen;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".txt");
    std::vector<std::string> lines;
    const QString text = LogMemo->toPlainText();
    if (!text.isEmpty())
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines.push_back(line.toStdString());
    try {
        quarlex::saveSyncLog(toPath(name), lines);
    } catch (const std::exception& e) {
        m_mainForm.dialogs().errorReport(QString::fromUtf8(e.what()));
    }
}
