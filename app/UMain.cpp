#include "app/UMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QScopeGuard>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/BusyCursor.h"
#include "app/ClickLabel.h"
#include "app/FileVersion.h"
#include "app/ResultCellDelegate.h"
#include "app/TableModel.h"
#include "app/UGorvelSync.h"
#include "app/UpdatesSuspender.h"
#include "import/ImportRun.h"
#include "report/HtmlExport.h"
#include "report/Report.h"

namespace {

constexpr int kClientWidth = 839;
constexpr int kClientHeight = 414;
// The narrowest window, 855 pixels, is measured over the frame; the
// toolkit's minimum applies to the client area inside a frame of 8 pixels
// on either side.
constexpr int kMinFrameWidth = 855;
constexpr int kFrameBorder = 8;
constexpr int kToolbarHeight = 30;
constexpr int kButtonWidth = 200;
constexpr int kUpperGridHeight = 109;
constexpr int kVersionPanelWidth = 60;
constexpr int kSourcePanelWidth = 450;

const QString kMailToAddress = QStringLiteral("mailto:quarlex@vestrolin.ru?subject=Quarlex");
const QString kMakerCityAndPhone = QStringLiteral("г. Екатеринбург, тел. (343) 000-00-00");

std::string toPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QToolButton* commandButton(QToolBar* bar, const QString& name, const QString& caption) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setFixedWidth(kButtonWidth);
    return button;
}

} // namespace

TForm1::TForm1(Dialogs& dialogs, quarlex::NumberFormat format, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_prompts(dialogs), m_format(format) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Контроль сумм взносов ПФ"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);

    buildToolbar();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildTopBlock());
    buildGrids();
    layout->addWidget(Splitter1, 1);
    setCentralWidget(central);
    buildStatusBar();

    setMinimumWidth(kMinFrameWidth - 2 * kFrameBorder);
    resize(kClientWidth, kClientHeight);
    FormCreate();
}

TForm1::~TForm1() {
    // The models read the working tables, which go before the widgets do.
    DBGrid1->setModel(nullptr);
    DBGrid2->setModel(nullptr);
    delete MDS;
    delete FDS;
}

quarlex::NumberFormat TForm1::numberFormatOf(const QLocale& locale) {
    quarlex::NumberFormat format;
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.front().unicode() < 0x80)
        format.decimalSeparator = static_cast<char>(point.front().unicode());
    return format;
}

void TForm1::buildToolbar() {
    MainTB = new QToolBar(this);
    MainTB->setObjectName(QStringLiteral("MainTB"));
    MainTB->setMovable(false);
    MainTB->setFloatable(false);
    MainTB->setFixedHeight(kToolbarHeight);
    MainTB->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, MainTB);

    ImportMenu = new QMenu(this);
    ImportMenu->setObjectName(QStringLiteral("ImportMenu"));
    xml1 = ImportMenu->addAction(QStringLiteral("Файлы СЗВ (xml)"), this, &TForm1::xml1Click);
    xml1->setObjectName(QStringLiteral("xml1"));
    QFont bold = xml1->font();
    bold.setBold(true);
    xml1->setFont(bold);
    ImportMenu->setDefaultAction(xml1);
    txt1 = ImportMenu->addAction(QStringLiteral("Файл сверки (txt)"), this, &TForm1::txt1Click);
    txt1->setObjectName(QStringLiteral("txt1"));
    xls1 = ImportMenu->addAction(QStringLiteral("Файл сверки (xls)"), this, &TForm1::xls1Click);
    xls1->setObjectName(QStringLiteral("xls1"));

    // The face runs the SZV-6 import; only the arrow opens the menu.
    ImpButton = commandButton(MainTB, QStringLiteral("ImpButton"), QStringLiteral("Импорт данных"));
    ImpButton->setPopupMode(QToolButton::MenuButtonPopup);
    ImpButton->setMenu(ImportMenu);
    connect(ImpButton, &QToolButton::clicked, this, &TForm1::xml1Click);
    ReportButton =
        commandButton(MainTB, QStringLiteral("ReportButton"), QStringLiteral("Сформировать отчет"));
    connect(ReportButton, &QToolButton::clicked, this, &TForm1::ReportButtonClick);
    SaveToHtmlButton = commandButton(MainTB, QStringLiteral("SaveToHtmlButton"),
                                     QStringLiteral("Сохранить отчет в html"));
    connect(SaveToHtmlButton, &QToolButton::clicked, this, &TForm1::SaveToHtmlButtonClick);
    SaveToGorvelButton = commandButton(MainTB, QStringLiteral("SaveToGorvelButton"),
                                       QStringLiteral("Синхронизировать с Gorvel"));
    connect(SaveToGorvelButton, &QToolButton::clicked, this, &TForm1::SaveToGorvelButtonClick);

    QToolButton* buttons[] = {ImpButton, ReportButton, SaveToHtmlButton, SaveToGorvelButton};
    for (QToolButton* button : buttons) {
        if (button != ImpButton)
            MainTB->addSeparator();
        MainTB->addWidget(button);
    }
    ReportButton->setEnabled(false);
    SaveToHtmlButton->setEnabled(false);
    SaveToGorvelButton->setEnabled(false);
}

QWidget* TForm1::buildTopBlock() {
    auto* block = new QWidget(this);
    auto* row = new QHBoxLayout(block);
    row->setContentsMargins(6, 4, 6, 4);

    auto* options = new QVBoxLayout;
    CategoryCB = new QCheckBox(
        QStringLiteral("В организации применяются несколько налоговых режимов (ЕНВД+ОРН или УСН)"),
        block);
    CategoryCB->setObjectName(QStringLiteral("CategoryCB"));
    CategoryCB->setChecked(false);
    LastCB = new QCheckBox(QStringLiteral("Формировать итоги по каждому отчетному периоду"), block);
    LastCB->setObjectName(QStringLiteral("LastCB"));
    LastCB->setChecked(true);
    LastCB->setEnabled(false);
    options->addWidget(CategoryCB);
    options->addWidget(LastCB);
    options->addStretch();
    row->addLayout(options, 1);

    auto* maker = new QVBoxLayout;
    MainLbl = new TClickLabel(QStringLiteral("ООО \"Вестролин\""), block);
    MainLbl->setObjectName(QStringLiteral("MainLbl"));
    QFont underlined = MainLbl->font();
    underlined.setUnderline(true);
    MainLbl->setFont(underlined);
    MainLbl->setCursor(Qt::PointingHandCursor);
    connect(MainLbl, &TClickLabel::clicked, this, &TForm1::MainLblClick);
    LinkLabel3 = new QLabel(kMakerCityAndPhone, block);
    LinkLabel3->setObjectName(QStringLiteral("LinkLabel3"));
    MailLbl = new QLabel(
        QStringLiteral("Отправить e-mail: <a href=\"mailto:%1\">%1</a>").arg(kShownMailAddress),
        block);
    MailLbl->setObjectName(QStringLiteral("MailLbl"));
    MailLbl->setTextFormat(Qt::RichText);
    MailLbl->setOpenExternalLinks(false);
    MailLbl->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    // The click opens a mailbox of its own, not the one the link shows.
    connect(MailLbl, &QLabel::linkActivated, this, &TForm1::MailLblLinkClick);
    for (QLabel* label : {static_cast<QLabel*>(MainLbl), LinkLabel3, MailLbl}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        maker->addWidget(label, 0, Qt::AlignRight);
    }
    maker->addStretch();
    row->addLayout(maker);
    return block;
}

void TForm1::buildGrids() {
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);

    MDS = new TableModel(m_tables.ImpTable, QLocale(), this);
    MDS->setObjectName(QStringLiteral("MDS"));
    FDS = new TableModel(m_tables.ResTable, QLocale(), this);
    FDS->setObjectName(QStringLiteral("FDS"));
    for (TableModel* model : {MDS, FDS})
        connect(
            model, &TableModel::readFailed, this,
            [this](const QString& text) { m_dialogs.errorReport(text); }, Qt::QueuedConnection);

    DBGrid1 = new QTableView(Splitter1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(MDS);
    DBGrid2 = new QTableView(Splitter1);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setModel(FDS);
    DBGrid2->setItemDelegate(new TResultCellDelegate(DBGrid2));
    for (QTableView* grid : {DBGrid1, DBGrid2}) {
        grid->setSelectionBehavior(QAbstractItemView::SelectItems);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 6);
        grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    }
    Splitter1->addWidget(DBGrid1);
    Splitter1->addWidget(DBGrid2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The splitter shares its height only once it has one.
    if (!m_gridsPlaced) {
        m_gridsPlaced = true;
        const int rest = Splitter1->height() - Splitter1->handleWidth() - kUpperGridHeight;
        Splitter1->setSizes({kUpperGridHeight, std::max(rest, 1)});
    }
}

void TForm1::buildStatusBar() {
    SB = new QStatusBar(this);
    SB->setObjectName(QStringLiteral("SB"));
    SB->setSizeGripEnabled(true);
    SBPanel0 = new QLabel(SB);
    SBPanel0->setObjectName(QStringLiteral("SBPanel0"));
    SBPanel0->setFixedWidth(kVersionPanelWidth);
    SBPanel0->setAlignment(Qt::AlignCenter);
    SBPanel1 = new QLabel(SB);
    SBPanel1->setObjectName(QStringLiteral("SBPanel1"));
    SBPanel1->setFixedWidth(kSourcePanelWidth);
    SB->addWidget(SBPanel0);
    SB->addWidget(SBPanel1);
    setStatusBar(SB);
}

QString TForm1::statusPanelText(int panel) const {
    return panel == 0 ? SBPanel0->text() : panel == 1 ? m_sourceText : QString();
}

void TForm1::setSourcePanel(const QString& path) {
    // A long path keeps its start and its file name; the whole is a tool tip.
    m_sourceText = path;
    const int room = SBPanel1->width() - SBPanel1->contentsMargins().left() -
                     SBPanel1->contentsMargins().right() - 2 * SBPanel1->margin();
    SBPanel1->setText(SBPanel1->fontMetrics().elidedText(path, Qt::ElideMiddle, room));
    SBPanel1->setToolTip(path);
}

void TForm1::FormCreate() {
    SBPanel0->setText(QString::fromStdString(
        quarlex::ReadFileVersion(toPath(QCoreApplication::applicationFilePath()))));
}

template <typename Body> void TForm1::runCommand(Body&& body) {
    QString error;
    try {
        body();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (!error.isEmpty())
        m_dialogs.errorReport(error);
}

void TForm1::refreshGrids() {
    for (auto [grid, model] : {std::pair{DBGrid1, MDS}, std::pair{DBGrid2, FDS}}) {
        model->refresh();
        for (int c = 0; c < model->columnCount(); ++c) {
            const int width = model->columnWidth(c, grid->font());
            // Never narrower than the title: "Категория" must read whole.
            grid->setColumnWidth(
                c, std::max(width > 0 ? width : grid->horizontalHeader()->defaultSectionSize(),
                            grid->horizontalHeader()->sectionSizeHint(c)));
        }
    }
}

bool TForm1::SelectFolder(const QString& title, QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder.clear();
    const std::optional<QString> chosen = m_dialogs.selectFolder(title, folder);
    if (!chosen || chosen->isEmpty())
        return false;
    folder = QDir::cleanPath(*chosen);
    return true;
}

void TForm1::xml1Click() {
    if (SelectFolder(QStringLiteral("Выберите папку со сведениями СЗВ6"), FDir)) {
        setSourcePanel(FDir);
        FFile.clear();
        FFileType = ftNone;
    } else {
        FDir.clear();
    }
    if (!FDir.isEmpty() || !FFile.isEmpty())
        LoadData();
}

void TForm1::txt1Click() {
    ChooseReconciliationFile(ftTxt);
}

void TForm1::xls1Click() {
    ChooseReconciliationFile(ftXls);
}

void TForm1::ChooseReconciliationFile(TFileType kind) {
    const bool text = kind == ftTxt;
    const std::optional<QString> chosen = m_dialogs.openFile(
        QStringLiteral("Выберите файл со сверкой ПФ"),
        text ? QStringLiteral("Текстовые файлы (*.txt)") : QStringLiteral("Файлы Exel (*.xls)"),
        text ? QStringLiteral("txt") : QStringLiteral("xls"),
        m_fileFolder.isEmpty() ? QDir::homePath() : m_fileFolder);
    if (chosen && !chosen->isEmpty()) {
        FFile = *chosen;
        m_fileFolder = QFileInfo(FFile).absolutePath();
        setSourcePanel(FFile);
        FFileType = kind;
        FDir.clear();
        CategoryCB->setChecked(false);
        CategoryCB->setEnabled(false);
    } else {
        FFile.clear();
        FFileType = ftNone;
    }
    if (!FDir.isEmpty() || !FFile.isEmpty())
        LoadData();
}

void TForm1::LoadData() {
    runCommand([this] {
        const BusyCursor busy;
        UpdatesSuspender suspended(this);
        // The grids show whatever the run left in the tables, also after an error.
        const auto refreshed = qScopeGuard([this] { refreshGrids(); });
        m_loadedDir = FDir;
        m_loadedFile = FDir.isEmpty() ? FFile : QString();
        const quarlex::ImportSource source{toPath(FDir), FDir.isEmpty() ? toPath(FFile) : "",
                                           FFileType};
        const quarlex::ImportRunResult r = quarlex::runImport(
            m_tables, source, {CategoryCB->isChecked(), LastCB->isChecked()}, m_format, m_prompts);
        switch (r.road) {
        case quarlex::ImportRunResult::Road::Folder:
            ReportButton->setEnabled(true);
            LastCB->setEnabled(true);
            CategoryCB->setEnabled(false);
            SaveToHtmlButton->setEnabled(false);
            SaveToGorvelButton->setEnabled(false);
            break;
        case quarlex::ImportRunResult::Road::Reconciliation:
            ReportButton->setEnabled(false);
            LastCB->setChecked(r.perPeriod);
            LastCB->setEnabled(false);
            CategoryCB->setEnabled(false);
            SaveToHtmlButton->setEnabled(r.imported);
            SaveToGorvelButton->setEnabled(r.imported);
            break;
        case quarlex::ImportRunResult::Road::None:
            break;
        }
    });
}

void TForm1::ReportButtonClick() {
    runCommand([this] {
        {
            const BusyCursor busy;
            UpdatesSuspender suspended(this);
            const auto refreshed = qScopeGuard([this] { refreshGrids(); });
            quarlex::runReport(m_tables, {LastCB->isChecked()});
        }
        SaveToHtmlButton->setEnabled(true);
        SaveToGorvelButton->setEnabled(LastCB->isChecked());
    });
}

void TForm1::SaveToHtmlButtonClick() {
    runCommand([this] {
        QString page;
        {
            const BusyCursor busy;
            UpdatesSuspender suspended(this);
            const auto lines = quarlex::buildHtmlReport(
                m_tables.ResTable, {LastCB->isChecked(), CategoryCB->isChecked()}, m_format);
            const std::string path =
                quarlex::htmlReportPath(toPath(m_loadedDir), toPath(m_loadedFile));
            quarlex::writeHtmlFile(path, lines);
            page = fromPath(path);
        }
        // Without a browser the page is still there: say where.
        if (!m_dialogs.openUrl(QUrl::fromLocalFile(page)))
            m_dialogs.message(QStringLiteral("Сохранить отчет в html"),
                              QStringLiteral("Не удалось открыть отчет в браузере.\r\n"
                                             "Отчет сохранен в файле:\r\n%1")
                                  .arg(QDir::toNativeSeparators(page)));
    });
}

void TForm1::SaveToGorvelButtonClick() {
    TGorvelSyncForm form(*this);
    form.exec();
}

bool TForm1::categoryMode() const {
    return CategoryCB->isChecked();
}

void TForm1::MainLblClick() {
    m_dialogs.openUrl(QUrl(kWebAddress));
}

void TForm1::MailLblLinkClick() {
    m_dialogs.openUrl(QUrl(kMailToAddress));
}
