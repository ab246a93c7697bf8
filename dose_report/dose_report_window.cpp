#include "dose_report/dose_report_window.h"

#include <algorithm>

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dose_report/dose_report_document.h"
#include "dose_report/dose_report_reader.h"
#include "dose_report/group_result_row.h"
#include "engine/calculation_driver.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "report/qt_text.h"
#include "results/results_table.h"
#include "results/results_window.h"
#include "ui/field_events.h"
#include "ui/interface_language.h"
#include "ui/message_service.h"
#include "ui/printer_service.h"

namespace korvex {
namespace {

const char* const kNoDeviceMessage = QT_TRANSLATE_NOOP(
    "korvex::DoseReportWindow",
    "作業フォルダーに装置データファイルがありません。先に装置データを作成して下さい。");
const char* const kNothingCheckedMessage =
    QT_TRANSLATE_NOOP("korvex::DoseReportWindow", "表に追加する投影にチェックを入れて下さい。");

Q_LOGGING_CATEGORY(lcCalculation, "korvex.calc")

QTableWidget* NamedTable(const char* name, const QStringList& headers) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QLabel* NamedLabel(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

DoseReportWindow::DoseReportWindow(const ReferenceTables& tables,
                                   std::filesystem::path working_folder,
                                   const ResultsTable& results, ResultsWindow& results_window,
                                   MessageService& messages, PrinterService* printer,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window),
      state_(std::make_unique<EngineState>(tables, std::move(working_folder))),
      results_(results),
      results_window_(results_window),
      messages_(messages),
      own_printer_(printer ? nullptr : std::make_unique<QtPrinterService>(this)),
      printer_(printer ? *printer : *own_printer_),
      pdf_folder_(state_->working_folder) {
    setObjectName("DoseReportWindow");
    setWindowTitle(tr("線量レポート"));
    BuildWindow();
    resize(1180, 820);
}

DoseReportWindow::~DoseReportWindow() = default;

void DoseReportWindow::BuildWindow() {
    auto* root = new QVBoxLayout(this);
    header_ = NamedLabel("ReportFiles");
    root->addWidget(header_);
    auto* choices = new QHBoxLayout;
    device_ = new QComboBox;
    device_->setObjectName("ReportDevice");
    device_->setMinimumWidth(220);
    fsd_ = new QLineEdit;
    fsd_->setObjectName("ReportFsd");
    fsd_->setMaximumWidth(80);
    fsd_->setAlignment(Qt::AlignRight);
    choices->addWidget(new QLabel(tr("装置")));
    choices->addWidget(device_);
    choices->addSpacing(24);
    choices->addWidget(new QLabel(tr("焦点-入射表面間距離（入力すると全イベント共通）")));
    fsd_->setPlaceholderText(tr("イベントごと"));
    fsd_->setToolTip(
        tr("空欄では各イベントの距離を照射の幾何（なければ患者照射基準点）から求めます"));
    choices->addWidget(fsd_);
    choices->addWidget(new QLabel(tr("cm　正方形照射野")));
    choices->addStretch();
    choices->addLayout(BuildPrintRow());
    root->addLayout(choices);

    events_ = NamedTable("ReportEvents", {tr("開始時刻"), tr("種類"), tr("面"), "kV", "Cu (mm)",
                                          "Al (mm)", "Ka,r (mGy)", "P_KA (Gy·cm²)", tr("第一角度"),
                                          tr("第二角度"), tr("焦点-皮膚 (cm)"), tr("投影"),
                                          tr("注記"), tr("皮膚線量 (mGy) ／ 計算しなかった理由")});
    groups_ = NamedTable("ReportGroups", {tr("表に追加"), tr("面"), tr("投影"), tr("件数"),
                                          "ΣKa,r (mGy)", "ΣP_KA (Gy·cm²)", tr("Σ皮膚線量 (mGy)")});
    add_button_ = new QPushButton(tr("表に追加"));
    add_button_->setObjectName("ReportAdd");
    summary_ = NamedLabel("ReportSummary");
    flags_ = NamedLabel("ReportFlags");
    notes_ = NamedLabel("ReportNotes");

    auto* event_box = new QGroupBox(tr("照射イベント"));
    (new QVBoxLayout(event_box))->addWidget(events_);
    auto* group_box = new QGroupBox(tr("投影ごとの合計（同じ投影の照射野はすべて重なると仮定）"));
    auto* group_layout = new QVBoxLayout(group_box);
    group_layout->addWidget(groups_);
    auto* add_row = new QHBoxLayout;
    add_row->addStretch();
    add_row->addWidget(add_button_);
    group_layout->addLayout(add_row);
    auto* summary_box = new QGroupBox(tr("まとめ"));
    auto* summary_layout = new QVBoxLayout(summary_box);
    summary_layout->addWidget(summary_);
    summary_layout->addWidget(flags_);
    summary_layout->addWidget(notes_);
    auto* lower = new QWidget;
    auto* lower_layout = new QHBoxLayout(lower);
    lower_layout->setContentsMargins(0, 0, 0, 0);
    lower_layout->addWidget(group_box, 1);
    lower_layout->addWidget(summary_box, 1);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(event_box);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto* tabs = new QTabWidget;
    tabs->setObjectName("ReportTabs");
    tabs->addTab(splitter, tr("イベントと投影"));
    tabs->addTab(BuildChartPage(), tr("投影ごとの線量"));
    tabs->addTab(BuildMapPage(), tr("皮膚線量マップ"));
    root->addWidget(tabs, 1);

    connect(add_button_, &QPushButton::clicked, this, [this] { AddCheckedGroups(); });
    connect(device_, &QComboBox::activated, this, [this] { Recalculate(); });
    const auto take_distance = [this] {
        fsd_typed_ = !fsd_->text().trimmed().isEmpty();
        Recalculate();
    };
    FieldEvents::Watch(fsd_, take_distance, [this, take_distance] {
        if (ShownDistance() != fsd_->text()) {
            take_distance();
        }
    });
}

QWidget* DoseReportWindow::BuildMapPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    map_summary_ = NamedLabel("ReportMapSummary");
    map_summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    map_ = NamedLabel("ReportMap");
    map_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* scroll = new QScrollArea;
    scroll->setWidget(map_);
    scroll->setWidgetResizable(true);
    layout->addWidget(map_summary_);
    layout->addWidget(scroll, 1);
    return page;
}

QWidget* DoseReportWindow::BuildChartPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* caption =
        new QLabel(tr("投影ごとの皮膚線量の和（同じ投影の照射野はすべて重なると仮定）。"
                      "最大の投影を濃く、2・3・5 Gy を破線で示します。"));
    caption->setWordWrap(true);
    chart_ = NamedLabel("ReportBarChart");
    chart_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* scroll = new QScrollArea;
    scroll->setWidget(chart_);
    scroll->setWidgetResizable(true);
    layout->addWidget(caption);
    layout->addWidget(scroll, 1);
    return page;
}

void DoseReportWindow::FillDevices(const std::string& preferred) {
    const QDir folder(ToQString(state_->working_folder.string()));
    const QStringList names =
        folder.entryList({"*.kvx2", "*.kvx"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    device_->clear();
    device_->addItems(names);
    const int index = device_->findText(ToQString(preferred));
    device_->setCurrentIndex(index >= 0 ? index : 0);
}

bool DoseReportWindow::Open(const std::vector<std::filesystem::path>& files,
                            const std::string& device_file) {
    std::vector<DoseReport> reports;
    for (const std::filesystem::path& file : files) {
        try {
            reports.push_back(ReadDoseReport(file));
        } catch (const DoseReportError& error) {
            messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
            return false;
        }
    }
    FillDevices(device_file);
    if (device_->count() == 0) {
        messages_.Tell(tr(kNoDeviceMessage), MessageIcon::Exclamation);
        return false;
    }
    const LoadedThresholds thresholds = LoadDoseThresholds(state_->working_folder);
    if (!thresholds.problem.empty()) {
        messages_.Tell(ToQString(thresholds.problem), MessageIcon::Exclamation);
    }
    thresholds_ = thresholds.thresholds;
    fsd_typed_ = false;
    std::swap(reports_, reports);
    if (!Calculate(ToUtf8(device_->currentText()), "")) {
        std::swap(reports_, reports);
        return false;
    }
    ShowHeader();
    ShowEvents();
    ShowGroups();
    ShowSummary();
    ShowMap();
    ShowChart();
    return true;
}

bool DoseReportWindow::Calculate(const std::string& device, const std::string& fsd_text) {
    try {
        result_ = CalculateDoseReports(*state_, reports_, {device, fsd_text, model_}, thresholds_);
        // The engine's own words go to the log; the window shows the program's message.
        for (const EventCalculation& e : result_.events) {
            if (!e.detail.empty()) {
                qCWarning(lcCalculation, "report event not calculated: %s", e.detail.c_str());
            }
        }
    } catch (const FileError& error) {
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        return false;
    } catch (const ReportOptionError& error) {
        messages_.Tell(ToQString(error.what()), MessageIcon::Exclamation);
        return false;
    }
    result_typed_ = !fsd_text.empty();
    fsd_->setText(ShownDistance());
    return true;
}

QString DoseReportWindow::ShownDistance() const {
    return result_typed_ ? ToQString(result_.fsd_text) : QString();
}

void DoseReportWindow::Recalculate() {
    if (reports_.empty()) {
        return;
    }
    // A distance the user typed stays with the patient when the device changes; otherwise
    // each device brings its own default.
    const std::string fsd = fsd_typed_ ? ToUtf8(fsd_->text().trimmed()) : std::string();
    if (!Calculate(ToUtf8(device_->currentText()), fsd)) {
        fsd_typed_ = result_typed_;
        fsd_->setText(ShownDistance());
        device_->setCurrentIndex(std::max(0, device_->findText(ToQString(result_.device_file))));
        return;
    }
    ShowEvents();
    ShowGroups();
    ShowSummary();
    ShowMap();
    ShowChart();
}

void DoseReportWindow::SetModel(DoseModel model) {
    if (model == model_) {
        return;
    }
    model_ = model;
    Recalculate();
}

void DoseReportWindow::AddCheckedGroups() {
    std::vector<size_t> checked;
    for (int row = 0; row < groups_->rowCount(); ++row) {
        if (groups_->item(row, 0)->checkState() == Qt::Checked) {
            checked.push_back(static_cast<size_t>(row));
        }
    }
    if (checked.empty()) {
        messages_.Tell(tr(kNothingCheckedMessage), MessageIcon::Exclamation);
        return;
    }
    const int free_rows = kResultSlotCount - results_.RowCount();
    if (static_cast<int>(checked.size()) > free_rows) {
        // Adding only some of them would leave the table incomplete without a word.
        messages_.Beep();
        messages_.Tell(tr("結果表の空きは %1 行で、選んだ %2 個の投影は入りません。"
                          "結果表を保存して消去してから追加して下さい。")
                           .arg(free_rows)
                           .arg(checked.size()),
                       MessageIcon::Exclamation);
        return;
    }
    std::vector<ResultRow> rows;
    try {
        for (const size_t group : checked) {
            rows.push_back(GroupResultRow(result_, group));
        }
    } catch (const CalculationError&) {
        messages_.Tell(CoreText(kCalculationFailureMessage), MessageIcon::Exclamation);
        return;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        results_window_.AddRow(rows[i]);
        groups_->item(static_cast<int>(checked[i]), 0)->setCheckState(Qt::Unchecked);
    }
}

}  // namespace korvex
