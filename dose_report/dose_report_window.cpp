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
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dose_report/dose_report_reader.h"
#include "dose_report/group_result_row.h"
#include "engine/calculation_driver.h"
#include "engine/dose_uncertainty.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/text_rules.h"
#include "results/results_table.h"
#include "results/results_window.h"
#include "ui/field_events.h"
#include "ui/message_service.h"

namespace korvex {
namespace {

const char* const kNoDeviceMessage =
    "作業フォルダーに装置データファイルがありません。先に装置データを作成して下さい。";
const char* const kNothingCheckedMessage = "表に追加する投影にチェックを入れて下さい。";
const QColor kReasonColour(0xB0, 0x00, 0x20);
const QColor kNoteColour(0x8A, 0x5A, 0x00);
constexpr int kNotesColumn = 11;

Q_LOGGING_CATEGORY(lcCalculation, "korvex.calc")

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Html(const std::string& text) {
    return Q(text).toHtmlEscaped();
}

// A number of the report, or a dash where the report gives none.
QString Number(const std::optional<double>& value, const char* pattern) {
    return value ? Q(FormatNumber(*value, pattern)) : QStringLiteral("―");
}

// "10:15:00" of "20240115101500.000"; the value as given when it is no date and time.
QString TimeOf(const std::string& date_time) {
    if (date_time.size() >= 14) {
        return Q(date_time.substr(8, 2) + ":" + date_time.substr(10, 2) + ":" +
                 date_time.substr(12, 2));
    }
    return Q(date_time);
}

// "2024-01-15 10:15" of a DA and a TM value; the values as given when they are not dates.
QString StudyDateOf(const DoseReport& report) {
    const std::string& date = report.study_date;
    const std::string& time = report.study_time;
    QString text = date.size() == 8
                       ? Q(date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2))
                       : Q(date);
    if (time.size() >= 4) {
        text += " " + Q(time.substr(0, 2) + ":" + time.substr(2, 2));
    }
    return text.toHtmlEscaped();
}

QTableWidgetItem* Cell(const QString& text, bool right = false) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (right) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return item;
}

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

QString Kerma(double mgy) {
    return Q(FormatNumber(mgy, "###0.0")) + " mGy";
}

QString KermaArea(double gycm2) {
    return Q(FormatNumber(gycm2, "###0.00")) + " Gy·cm²";
}

QString Optional(const std::optional<double>& value, QString (*show)(double)) {
    return value ? show(*value) : QStringLiteral("なし");
}

// An event's notes: how many, the first one, and all of them with the values as read in
// the tooltip.
QTableWidgetItem* NotesCell(const std::vector<EventNote>& notes) {
    if (notes.empty()) {
        return Cell(QString());
    }
    QStringList lines;
    for (const EventNote& note : notes) {
        lines << "・" + Q(note.text.japanese) +
                     (note.value.empty() ? "" : "（" + Q(note.value) + "）");
    }
    QTableWidgetItem* cell =
        Cell(QString("%1 件: %2").arg(notes.size()).arg(Q(notes.front().text.japanese)));
    cell->setForeground(kNoteColour);
    cell->setToolTip(lines.join("\n"));
    return cell;
}

}  // namespace

DoseReportWindow::DoseReportWindow(const ReferenceTables& tables,
                                   std::filesystem::path working_folder,
                                   const ResultsTable& results, ResultsWindow& results_window,
                                   MessageService& messages, QWidget* parent)
    : QWidget(parent, Qt::Window),
      state_(std::make_unique<EngineState>(tables, std::move(working_folder))),
      results_(results),
      results_window_(results_window),
      messages_(messages) {
    setObjectName("DoseReportWindow");
    setWindowTitle("線量レポート");
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
    choices->addWidget(new QLabel("装置"));
    choices->addWidget(device_);
    choices->addSpacing(24);
    choices->addWidget(new QLabel("焦点-入射表面間距離（全イベント共通）"));
    choices->addWidget(fsd_);
    choices->addWidget(new QLabel("cm　正方形照射野"));
    choices->addStretch();
    root->addLayout(choices);

    events_ = NamedTable("ReportEvents", {"開始時刻", "種類", "面", "kV", "Cu (mm)", "Al (mm)",
                                          "Ka,r (mGy)", "P_KA (Gy·cm²)", "第一角度", "第二角度",
                                          "投影", "注記", "皮膚線量 (mGy) ／ 計算しなかった理由"});
    groups_ = NamedTable("ReportGroups", {"表に追加", "面", "投影", "件数", "ΣKa,r (mGy)",
                                          "ΣP_KA (Gy·cm²)", "Σ皮膚線量 (mGy)"});
    add_button_ = new QPushButton("表に追加");
    add_button_->setObjectName("ReportAdd");
    summary_ = NamedLabel("ReportSummary");
    flags_ = NamedLabel("ReportFlags");
    notes_ = NamedLabel("ReportNotes");

    auto* event_box = new QGroupBox("照射イベント");
    (new QVBoxLayout(event_box))->addWidget(events_);
    auto* group_box = new QGroupBox("投影ごとの合計（同じ投影の照射野はすべて重なると仮定）");
    auto* group_layout = new QVBoxLayout(group_box);
    group_layout->addWidget(groups_);
    auto* add_row = new QHBoxLayout;
    add_row->addStretch();
    add_row->addWidget(add_button_);
    group_layout->addLayout(add_row);
    auto* summary_box = new QGroupBox("まとめ");
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
    root->addWidget(splitter, 1);

    connect(add_button_, &QPushButton::clicked, this, [this] { AddCheckedGroups(); });
    connect(device_, &QComboBox::activated, this, [this] { Recalculate(); });
    const auto take_distance = [this] {
        fsd_typed_ = !fsd_->text().trimmed().isEmpty();
        Recalculate();
    };
    FieldEvents::Watch(fsd_, take_distance, [this, take_distance] {
        if (Q(result_.fsd_text) != fsd_->text()) {
            take_distance();
        }
    });
}

void DoseReportWindow::FillDevices(const std::string& preferred) {
    const QDir folder(Q(state_->WorkingFolder.string()));
    const QStringList names =
        folder.entryList({"*.kvx2", "*.kvx"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    device_->clear();
    device_->addItems(names);
    const int index = device_->findText(Q(preferred));
    device_->setCurrentIndex(index >= 0 ? index : 0);
}

bool DoseReportWindow::Open(const std::vector<std::filesystem::path>& files,
                            const std::string& device_file) {
    std::vector<DoseReport> reports;
    for (const std::filesystem::path& file : files) {
        try {
            reports.push_back(ReadDoseReport(file));
        } catch (const DoseReportError& error) {
            messages_.Tell(Q(error.what()), MessageIcon::Exclamation);
            return false;
        }
    }
    FillDevices(device_file);
    if (device_->count() == 0) {
        messages_.Tell(kNoDeviceMessage, MessageIcon::Exclamation);
        return false;
    }
    const LoadedThresholds thresholds = LoadDoseThresholds(state_->WorkingFolder);
    if (!thresholds.problem.empty()) {
        messages_.Tell(Q(thresholds.problem), MessageIcon::Exclamation);
    }
    thresholds_ = thresholds.thresholds;
    fsd_typed_ = false;
    std::swap(reports_, reports);
    if (!Calculate(device_->currentText().toStdString(), "")) {
        std::swap(reports_, reports);
        return false;
    }
    ShowHeader();
    ShowEvents();
    ShowGroups();
    ShowSummary();
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
        messages_.Tell(Q(error.what()), MessageIcon::Exclamation);
        return false;
    } catch (const ReportOptionError& error) {
        messages_.Tell(Q(error.what()), MessageIcon::Exclamation);
        return false;
    }
    fsd_->setText(Q(result_.fsd_text));
    return true;
}

void DoseReportWindow::Recalculate() {
    if (reports_.empty()) {
        return;
    }
    // A distance the user typed stays with the patient when the device changes; otherwise
    // each device brings its own default.
    const std::string fsd = fsd_typed_ ? fsd_->text().trimmed().toStdString() : std::string();
    if (!Calculate(device_->currentText().toStdString(), fsd)) {
        fsd_->setText(Q(result_.fsd_text));
        device_->setCurrentIndex(std::max(0, device_->findText(Q(result_.device_file))));
        return;
    }
    ShowEvents();
    ShowGroups();
    ShowSummary();
}

void DoseReportWindow::SetModel(DoseModel model) {
    if (model == model_) {
        return;
    }
    model_ = model;
    Recalculate();
}

void DoseReportWindow::ShowHeader() {
    QStringList lines;
    for (const DoseReport& report : reports_) {
        lines << QString("<b>%1</b>　%2 %3　%4　検査 %5　イベント %6 件　基準点: %7")
                     .arg(Html(report.path.filename().string()), Html(report.manufacturer),
                          Html(report.model), Html(report.station_name), StudyDateOf(report),
                          QString::number(report.events.size()),
                          Html(report.reference_point_definition.empty()
                                   ? std::string("記載なし")
                                   : report.reference_point_definition));
    }
    header_->setText(lines.join("<br>"));
}

void DoseReportWindow::ShowEvents() {
    events_->setRowCount(static_cast<int>(result_.events.size()));
    int row = 0;
    for (const EventCalculation& e : result_.events) {
        const IrradiationEvent& event = reports_[e.report_index].events[e.event_index];
        const QString plane = event.plane == AcquisitionPlane::Unknown && !event.plane_text.empty()
                                  ? Q(event.plane_text)
                                  : Q(PlaneLabel(event.plane));
        const QString cells[] = {
            TimeOf(event.date_time),
            Q(event.event_type),
            plane,
            Number(e.TubeVoltage, "#0.0"),
            Number(e.AddedCopper, "0.00"),
            Number(e.AddedAluminium, "0.00"),
            Number(e.Kar, "###0.00"),
            Number(e.Pka, "###0.000"),
            Number(e.PrimaryAngle, "#0"),
            Number(e.SecondaryAngle, "#0"),
            e.group >= 0 ? Q(result_.groups[static_cast<size_t>(e.group)].label) : QString(),
        };
        for (int column = 0; column < 11; ++column) {
            events_->setItem(row, column, Cell(cells[column], column >= 3 && column <= 9));
        }
        QTableWidgetItem* result = nullptr;
        if (e.status == EventStatus::Calculated) {
            result = Cell(Q(e.displays[kSkinDoseDisplay].value_or("")), true);
        } else {
            result = Cell(Q(e.reason.japanese));
            result->setForeground(kReasonColour);
            result->setToolTip(Q(e.reason.japanese));
        }
        events_->setItem(row, kNotesColumn, NotesCell(e.notes));
        events_->setItem(row, kNotesColumn + 1, result);
        ++row;
    }
    events_->resizeColumnsToContents();
    // The first note is a hint; the tooltip holds them all, and the reasons need the room.
    events_->setColumnWidth(kNotesColumn, std::min(events_->columnWidth(kNotesColumn), 260));
}

void DoseReportWindow::ShowGroups() {
    groups_->setRowCount(static_cast<int>(result_.groups.size()));
    for (size_t g = 0; g < result_.groups.size(); ++g) {
        const ProjectionGroup& group = result_.groups[g];
        const int row = static_cast<int>(g);
        auto* check = new QTableWidgetItem;
        check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        check->setCheckState(Qt::Unchecked);
        groups_->setItem(row, 0, check);
        groups_->setItem(row, 1, Cell(Q(PlaneLabel(group.plane))));
        groups_->setItem(row, 2, Cell(Q(group.label)));
        groups_->setItem(row, 3, Cell(QString::number(group.events.size()), true));
        groups_->setItem(row, 4, Cell(Q(FormatNumber(group.Kar, "###0.0")), true));
        groups_->setItem(row, 5, Cell(Q(FormatNumber(group.Pka, "###0.00")), true));
        groups_->setItem(row, 6, Cell(Q(FormatNumber(group.SkinDose, "####0.0")), true));
        if (static_cast<int>(g) == result_.summary.peak_group) {
            for (int column = 1; column < 7; ++column) {
                QFont font = groups_->item(row, column)->font();
                font.setBold(true);
                groups_->item(row, column)->setFont(font);
            }
        }
    }
    groups_->resizeColumnsToContents();
    add_button_->setEnabled(!result_.groups.empty());
}

void DoseReportWindow::ShowSummary() {
    const ReportSummary& s = result_.summary;
    QStringList lines;
    const QString peak_group =
        s.peak_group >= 0 ? Html(result_.groups[static_cast<size_t>(s.peak_group)].label) : "―";
    // The legacy formula states no uncertainty.
    const QString uncertainty =
        s.PeakSkinDoseUncertainty > 0
            ? " " + Q(UncertaintyText(s.PeakSkinDoseUncertainty)) + "（k = 2）"
            : QString();
    lines << QString("推定最大皮膚線量: <b>%1</b>%2（%3。同じ投影の照射野が重なると仮定）")
                 .arg(Kerma(s.PeakSkinDose), uncertainty, peak_group)
          << QString("計算モデル: %1").arg(Q(std::string(DoseModelName(result_.model))))
          << QString("全イベントの皮膚線量の和: %1（すべての照射野が重なる場合の上限）")
                 .arg(Kerma(s.SkinDoseSum))
          << QString("イベント: 計算 %1 件、計算しなかった %2 件、重複 %3 件")
                 .arg(s.calculated)
                 .arg(s.not_calculated)
                 .arg(s.duplicates)
          << QString("注記: %1 件（%2 イベント。各イベントの「注記」列）")
                 .arg(s.event_notes)
                 .arg(s.events_with_notes)
          << QString("Ka,r: 計算 %1 ＋ 含まれない %2 ／ レポートの累積値 %3")
                 .arg(Kerma(s.KarCalculated), Kerma(s.KarNotIncluded), Optional(s.ReportKar, Kerma))
          << QString("P_KA: 計算 %1 ＋ 含まれない %2 ／ レポートの累積値 %3")
                 .arg(KermaArea(s.PkaCalculated), KermaArea(s.PkaNotIncluded),
                      Optional(s.ReportPka, KermaArea));
    for (const PlaneCrossCheck& plane : s.planes) {
        lines << QString("面 %1: イベントの和 %2・%3 ／ レポート %4・%5")
                     .arg(Q(PlaneLabel(plane.plane)), Kerma(plane.Kar), KermaArea(plane.Pka),
                          Optional(plane.ReportKar, Kerma), Optional(plane.ReportPka, KermaArea));
    }
    summary_->setText(lines.join("<br>"));

    QStringList flags;
    for (const DoseFlag& flag : s.flags) {
        const QString text =
            QString("%1 %2 %3 %4 %5（%6）")
                .arg(Q(flag.name), Q(FormatNumber(flag.value, "###0.00")), Q(flag.unit),
                     flag.raised ? "≧" : "＜",
                     Q(ShortestNumberText(flag.threshold)) + " " + Q(flag.unit), Html(flag.source));
        flags << (flag.raised ? "<span style='color:#b00020'><b>▲ " + text + "</b></span>"
                              : "<span style='color:#55627a'>" + text + "</span>");
    }
    flags_->setText(flags.join("<br>"));

    QStringList notes;
    for (const DoseReport& report : reports_) {
        for (const std::string& note : report.notes) {
            notes << Html(report.path.filename().string() + ": " + note);
        }
    }
    for (const std::string& note : s.notes) {
        notes << Html(note);
    }
    notes_->setText(notes.join("<br>"));
    notes_->setVisible(!notes.isEmpty());
}

void DoseReportWindow::AddCheckedGroups() {
    std::vector<size_t> checked;
    for (int row = 0; row < groups_->rowCount(); ++row) {
        if (groups_->item(row, 0)->checkState() == Qt::Checked) {
            checked.push_back(static_cast<size_t>(row));
        }
    }
    if (checked.empty()) {
        messages_.Tell(kNothingCheckedMessage, MessageIcon::Exclamation);
        return;
    }
    const int free_rows = kResultSlotCount - results_.RowCount();
    if (static_cast<int>(checked.size()) > free_rows) {
        // Adding only some of them would leave the table incomplete without a word.
        messages_.Beep();
        messages_.Tell(QString("結果表の空きは %1 行で、選んだ %2 個の投影は入りません。"
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
        messages_.Tell(kCalculationFailureMessage, MessageIcon::Exclamation);
        return;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        results_window_.AddRow(rows[i]);
        groups_->item(static_cast<int>(checked[i]), 0)->setCheckState(Qt::Unchecked);
    }
}

}  // namespace korvex
