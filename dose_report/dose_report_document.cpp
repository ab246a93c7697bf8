#include "dose_report/dose_report_document.h"

#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <utility>

#include "engine/dose_uncertainty.h"
#include "engine/text_rules.h"
#include "report/qt_text.h"
#include "report/report_painter.h"
#include "report/skin_map_picture.h"
#include "settings/user_name.h"

namespace korvex {
namespace {

// The page in its own millimetres: 180 mm wide, the content from 0 to kContentBottom, the
// footer below it; PlaceReport centres it on the sheet inside the printable area.
constexpr double kWidth = 180;
constexpr double kContentBottom = 272;
constexpr double kFooterTop = 275;
constexpr double kExtentBottom = 281;
constexpr double kBodyPt = 8.5;
constexpr double kSmallPt = 7.5;
constexpr double kHeadingPt = 10.5;
constexpr double kTitlePt = 15;
constexpr double kSectionGap = 3.5;
// The groups' table on the left, their bar chart on its right.
constexpr double kTableWidth = 104;
constexpr double kChartLeft = 108;
constexpr double kChartMinHeight = 48;
constexpr double kTableRowHeight = 4.3;
constexpr double kTableHeaderHeight = 7.6;
// The map is drawn this wide at most and at least; its picture is rendered at a width
// that prints it at about 200 dpi.
constexpr double kMapMinWidth = 100;
constexpr double kFollowingSection = 20;
constexpr int kMapPictureWidthPx = 1400;
constexpr double kPointMm = 25.4 / 72;
const QColor kRaisedColour(0xB0, 0x00, 0x20);

// A number to the pattern; a dash for one that is not finite, which must never print.
std::string Number(double value, const char* pattern) {
    return std::isfinite(value) ? FormatNumber(value, pattern) : std::string("―");
}

std::string Kerma(double mgy) {
    return Number(mgy, "###0.0") + " mGy";
}

std::string KermaArea(double gycm2) {
    return Number(gycm2, "###0.00") + " Gy·cm²";
}

std::string OptionalKerma(const std::optional<double>& mgy) {
    return mgy ? Kerma(*mgy) : std::string("なし");
}

std::string OptionalKermaArea(const std::optional<double>& gycm2) {
    return gycm2 ? KermaArea(*gycm2) : std::string("なし");
}

// "10:15:00" of "20240115101500.000"; the value as given when it is no date and time.
std::string EventTimeText(const std::string& date_time) {
    if (date_time.size() >= 14) {
        return date_time.substr(8, 2) + ":" + date_time.substr(10, 2) + ":" +
               date_time.substr(12, 2);
    }
    return date_time;
}

std::string GroupLabel(const ProjectionGroup& group) {
    const bool biplane = group.plane == AcquisitionPlane::A || group.plane == AcquisitionPlane::B;
    return biplane ? PlaneLabel(group.plane) + " " + group.label : group.label;
}

struct DocumentInput {
    const std::vector<DoseReport>& reports;
    const ReportCalculation& result;
    const DoseReportPrintOptions& options;
};

// Millimetres of the page onto the device's pixels; text measured in the device's own
// metrics. Measuring needs no painting, so the same layout runs once to count the pages
// and once to paint them.
class PageCanvas {
  public:
    PageCanvas(QPagedPaintDevice& device, bool painting) : device_(device), painting_(painting) {
        QPageLayout layout = device.pageLayout();
        layout.setUnits(QPageLayout::Millimeter);
        const QRectF sheet = layout.fullRect();
        const QMarginsF minimum = layout.minimumMargins();
        placement_ = PlaceReport(sheet.width(), sheet.height(),
                                 {minimum.left(), minimum.top(), sheet.width() - minimum.right(),
                                  sheet.height() - minimum.bottom()},
                                 {kWidth, 0, kExtentBottom});
        // A printer in full-page mode paints from the sheet's corner, otherwise from its margins.
        painter_origin_mm_ = layout.paintRect().topLeft();
        pixels_per_mm_ = device.logicalDpiX() / 25.4;
    }
    ~PageCanvas() {
        if (painter_.isActive()) {
            painter_.end();
        }
    }
    PageCanvas(const PageCanvas&) = delete;
    PageCanvas& operator=(const PageCanvas&) = delete;

    bool Begin() {
        if (!(pixels_per_mm_ > 0)) {
            return false;
        }
        if (!painting_) {
            return true;
        }
        if (!painter_.begin(&device_)) {
            return false;
        }
        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.setRenderHint(QPainter::TextAntialiasing);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform);
        return true;
    }
    bool End() { return !painting_ || painter_.end(); }
    bool Painting() const { return painting_; }
    void NewPage() {
        if (painting_) {
            device_.newPage();
        }
    }

    QFont Font(double points, bool bold = false) const {
        QFont font(ToQString(kPrintFontName));
        font.setPointSizeF(points * placement_.scale);
        font.setBold(bold);
        return font;
    }
    double DeviceMm() const { return placement_.scale * pixels_per_mm_; }
    QPointF At(double x_mm, double y_mm) const {
        return {(placement_.origin_x_mm + placement_.scale * x_mm - painter_origin_mm_.x()) *
                    pixels_per_mm_,
                (placement_.origin_y_mm + placement_.scale * y_mm - painter_origin_mm_.y()) *
                    pixels_per_mm_};
    }
    QRectF Box(double x_mm, double y_mm, double width_mm, double height_mm) const {
        return {At(x_mm, y_mm), QSizeF(width_mm * DeviceMm(), height_mm * DeviceMm())};
    }
    // The height of `text` wrapped to `width_mm`, mm.
    double TextHeight(const QFont& font, double width_mm, const QString& text) const {
        const QFontMetricsF metrics(font, &device_);
        const QRectF bound =
            metrics.boundingRect(QRectF(0, 0, width_mm * DeviceMm(), 1e7), Qt::TextWordWrap, text);
        return std::max(bound.height(), metrics.height()) / DeviceMm();
    }
    double TextWidth(const QFont& font, const QString& text) const {
        return QFontMetricsF(font, &device_).horizontalAdvance(text) / DeviceMm();
    }
    void Text(const QRectF& box_mm, const QFont& font, const QString& text, int flags,
              const QColor& colour = Qt::black) {
        if (!painting_) {
            return;
        }
        painter_.setFont(font);
        painter_.setPen(colour);
        painter_.drawText(Box(box_mm.x(), box_mm.y(), box_mm.width(), box_mm.height()), flags,
                          text);
    }
    void Line(double x1, double y1, double x2, double y2, double width_mm) {
        if (!painting_) {
            return;
        }
        painter_.setPen(QPen(Qt::black, width_mm * DeviceMm(), Qt::SolidLine, Qt::FlatCap));
        painter_.drawLine(At(x1, y1), At(x2, y2));
    }
    QPainter& Painter() { return painter_; }

  private:
    QPagedPaintDevice& device_;
    bool painting_;
    QPainter painter_;
    ReportPlacement placement_;
    QPointF painter_origin_mm_;
    double pixels_per_mm_ = 0;
};

// Where the next block goes, page after page.
struct Flow {
    PageCanvas& canvas;
    int total_pages = 0;  // known when painting, 0 while counting
    const DoseReportPrintOptions& options;
    int page = 1;
    double y = 0;

    double Room() const { return kContentBottom - y; }
    bool LastPage() const { return page >= kDoseReportMaxPages; }
    void NextPage();
    // A wrapped paragraph at `x`, on the next page when it does not fit here.
    void Paragraph(const QString& text, const QFont& font, double x = 0,
                   const QColor& colour = Qt::black) {
        const double height = canvas.TextHeight(font, kWidth - x, text);
        if (height > Room() && y > 0) {
            NextPage();
        }
        canvas.Text(QRectF(x, y, kWidth - x, height + 1), font, text, Qt::TextWordWrap, colour);
        y += height + 0.6;
    }
    void Heading(const QString& text) {
        const QFont font = canvas.Font(kHeadingPt, true);
        const double height = canvas.TextHeight(font, kWidth, text);
        // A heading never stands alone at the foot of a page.
        if (height + 12 > Room() && y > 0) {
            NextPage();
        }
        y += y > 0 ? kSectionGap : 0;
        canvas.Text(QRectF(0, y, kWidth, height + 1), font, text, Qt::AlignLeft | Qt::AlignTop);
        y += height + 0.4;
        canvas.Line(0, y, kWidth, y, 0.2);
        y += 1.2;
    }
};

void DrawFooter(PageCanvas& canvas, const DoseReportPrintOptions& options, int page, int total) {
    const QFont font = canvas.Font(kSmallPt);
    canvas.Line(0, kFooterTop, kWidth, kFooterTop, 0.15);
    const QRectF box(0, kFooterTop + 0.8, kWidth, 5);
    const std::string user =
        options.user_name.empty() ? std::string(kGuestUserName) : options.user_name;
    canvas.Text(box, font, ToQString("Korvex-2　利用者: " + user), Qt::AlignLeft | Qt::AlignTop);
    canvas.Text(box, font, ToQString("印刷 " + options.printed_on),
                Qt::AlignHCenter | Qt::AlignTop);
    const QString number =
        total > 0 ? QString("%1 / %2 ページ").arg(page).arg(total) : QString("%1 ページ").arg(page);
    canvas.Text(box, font, number, Qt::AlignRight | Qt::AlignTop);
}

void Flow::NextPage() {
    DrawFooter(canvas, options, page, total_pages);
    canvas.NewPage();
    ++page;
    y = 0;
}

void DrawTitle(Flow& flow) {
    PageCanvas& canvas = flow.canvas;
    const QFont title = canvas.Font(kTitlePt, true);
    const double height = canvas.TextHeight(title, kWidth, ToQString(kDoseReportTitle));
    canvas.Text(QRectF(0, 0, kWidth, height + 1), title, ToQString(kDoseReportTitle),
                Qt::AlignLeft | Qt::AlignTop);
    canvas.Text(QRectF(0, 0, kWidth, height), canvas.Font(kSmallPt),
                ToQString("Korvex-2　印刷 " + flow.options.printed_on),
                Qt::AlignRight | Qt::AlignBottom);
    flow.y = height + 0.8;
    canvas.Line(0, flow.y, kWidth, flow.y, 0.5);
    flow.y += 1.5;
}

// The user's one distance, or how many events took theirs from where.
std::string DistanceText(const ReportCalculation& result) {
    int geometry = 0;
    int reference = 0;
    for (const EventCalculation& e : result.events) {
        if (e.status != EventStatus::Calculated) {
            continue;
        }
        if (e.distance_source == DistanceSource::User) {
            return "全イベント " + result.fsd_text + " cm（" +
                   DistanceSourceLabel(DistanceSource::User) + "）";
        }
        (e.distance_source == DistanceSource::Geometry ? geometry : reference) += 1;
    }
    return "イベントごと（" + std::string(DistanceSourceLabel(DistanceSource::Geometry)) + " " +
           std::to_string(geometry) + " 件、" +
           DistanceSourceLabel(DistanceSource::ReferencePoint) + " " + std::to_string(reference) +
           " 件）";
}

void DrawStudy(Flow& flow, const DocumentInput& in) {
    flow.Heading(ToQString("検査"));
    const QFont body = flow.canvas.Font(kBodyPt);
    for (const DoseReport& report : in.reports) {
        flow.Paragraph(
            ToQString("ファイル " + report.path.filename().string() + "　" + report.manufacturer +
                      " " + report.model + "　装置名 " + report.station_name + "　検査日時 " +
                      StudyDateTimeText(report.study_date, report.study_time) + "　イベント " +
                      std::to_string(report.events.size()) + " 件"),
            body);
    }
    if (in.options.with_patient) {
        std::set<std::pair<std::string, std::string>> patients;
        for (const DoseReport& report : in.reports) {
            patients.emplace(report.patient_name, report.patient_id);
        }
        for (const auto& [name, id] : patients) {
            flow.Paragraph(ToQString("患者氏名 " + name + "　患者 ID " + id), body);
        }
    }
    const ReportCalculation& r = in.result;
    flow.Paragraph(ToQString("装置データ " + r.device_file + "　計算モデル " +
                             std::string(DoseModelName(r.model)) + "　焦点-皮膚間距離 " +
                             DistanceText(r) + "　照射野 正方形"),
                   body);
}

std::string PeakText(const ReportCalculation& r) {
    const ReportSummary& s = r.summary;
    const std::string group =
        s.peak_group >= 0 ? GroupLabel(r.groups[static_cast<size_t>(s.peak_group)]) : "―";
    const std::string uncertainty =
        s.peak_skin_dose_uncertainty > 0
            ? " " + UncertaintyText(s.peak_skin_dose_uncertainty) + "（k = 2）"
            : "（従来式は不確かさを示しません）";
    // Beside the map, the grouped value is the estimate the map improves on.
    const char* name = r.skin_map.made ? "投影ごとの推定 " : "推定最大皮膚線量 ";
    return name + Kerma(s.peak_skin_dose_mgy) + uncertainty + "　" + group +
           "（同じ投影の照射野が重なると仮定）";
}

void DrawSummary(Flow& flow, const DocumentInput& in) {
    const ReportSummary& s = in.result.summary;
    flow.Heading(ToQString("まとめ"));
    const QFont body = flow.canvas.Font(kBodyPt);
    if (in.result.skin_map.made) {
        flow.Paragraph(ToQString("皮膚線量マップの" + SkinMapPeakCaption(in.result.skin_map.map)),
                       flow.canvas.Font(kHeadingPt, true));
        flow.Paragraph(ToQString(PeakText(in.result)), body);
    } else {
        flow.Paragraph(ToQString(PeakText(in.result)), flow.canvas.Font(kHeadingPt, true));
    }
    flow.Paragraph(
        ToQString("全イベントの皮膚線量の和 " + Kerma(s.skin_dose_sum_mgy) +
                  "（すべての照射野が重なる場合の上限）　イベント 計算 " +
                  std::to_string(s.calculated) + " 件、計算しなかった " +
                  std::to_string(s.not_calculated) + " 件、重複 " + std::to_string(s.duplicates) +
                  " 件　注記 " + std::to_string(s.event_notes) + " 件"),
        body);
    flow.Paragraph(ToQString("Ka,r 計算 " + Kerma(s.kar_calculated_mgy) + " ＋ 含まれない " +
                             Kerma(s.kar_not_included_mgy) + " ／ レポートの累積値 " +
                             OptionalKerma(s.report_kar_mgy) + "　　P_KA 計算 " +
                             KermaArea(s.pka_calculated_gycm2) + " ＋ 含まれない " +
                             KermaArea(s.pka_not_included_gycm2) + " ／ レポートの累積値 " +
                             OptionalKermaArea(s.report_pka_gycm2)),
                   body);
    for (const DoseFlag& flag : s.flags) {
        const std::string text = flag.name + " " + Number(flag.value, "###0.00") + " " + flag.unit +
                                 (flag.raised ? " ≧ " : " ＜ ") +
                                 ShortestNumberText(flag.threshold) + " " + flag.unit + "（" +
                                 flag.source + "）";
        if (flag.raised) {
            flow.Paragraph(ToQString("▲ 要経過観察　" + text), flow.canvas.Font(kBodyPt, true), 0,
                           kRaisedColour);
        } else {
            flow.Paragraph(ToQString("・ " + text), body);
        }
    }
    std::vector<std::string> notes;
    for (const DoseReport& report : in.reports) {
        for (const std::string& note : report.notes) {
            notes.push_back(report.path.filename().string() + ": " + note);
        }
    }
    notes.insert(notes.end(), s.notes.begin(), s.notes.end());
    for (const std::string& note : notes) {
        flow.Paragraph(ToQString("注 " + note), flow.canvas.Font(kSmallPt));
    }
}

struct TableColumn {
    const char* title;
    double width;
    bool right;
};
constexpr std::array<TableColumn, 6> kGroupColumns = {{{"面", 8, false},
                                                       {"投影", 30, false},
                                                       {"件数", 10, true},
                                                       {"ΣKa,r (mGy)", 17, true},
                                                       {"ΣP_KA (Gy·cm²)", 19, true},
                                                       {"Σ皮膚線量 (mGy)", 20, true}}};

void DrawTableRow(PageCanvas& canvas, double y, double height, const QStringList& cells,
                  const QFont& font) {
    double x = 0;
    for (size_t i = 0; i < kGroupColumns.size(); ++i) {
        const int align = (kGroupColumns[i].right ? Qt::AlignRight : Qt::AlignLeft) |
                          Qt::AlignVCenter | Qt::TextWordWrap;
        canvas.Text(QRectF(x + 0.8, y, kGroupColumns[i].width - 1.6, height), font,
                    cells[static_cast<qsizetype>(i)], align);
        x += kGroupColumns[i].width;
    }
}

QStringList GroupCells(const ProjectionGroup& group) {
    return {ToQString(PlaneLabel(group.plane)),
            ToQString(group.label),
            QString::number(group.events.size()),
            ToQString(Number(group.kar_mgy, "###0.0")),
            ToQString(Number(group.pka_gycm2, "###0.00")),
            ToQString(Number(group.skin_dose_mgy, "####0.0"))};
}

// The table's header and as many of the groups from `first` as fit; returns the next.
size_t DrawGroupRows(Flow& flow, const DocumentInput& in, size_t first) {
    PageCanvas& canvas = flow.canvas;
    QStringList titles;
    for (const TableColumn& column : kGroupColumns) {
        titles << ToQString(column.title);
    }
    canvas.Line(0, flow.y, kTableWidth, flow.y, 0.3);
    DrawTableRow(canvas, flow.y, kTableHeaderHeight, titles, canvas.Font(kSmallPt, true));
    flow.y += kTableHeaderHeight;
    canvas.Line(0, flow.y, kTableWidth, flow.y, 0.2);
    size_t next = first;
    const auto& groups = in.result.groups;
    while (next < groups.size() && flow.Room() >= kTableRowHeight) {
        const bool peak = static_cast<int>(next) == in.result.summary.peak_group;
        DrawTableRow(canvas, flow.y, kTableRowHeight, GroupCells(groups[next]),
                     canvas.Font(kSmallPt, peak));
        flow.y += kTableRowHeight;
        ++next;
    }
    canvas.Line(0, flow.y, kTableWidth, flow.y, 0.3);
    return next;
}

void DrawGroups(Flow& flow, const DocumentInput& in) {
    flow.Heading(ToQString("投影ごとの線量（同じ投影の照射野はすべて重なると仮定）"));
    if (flow.Room() < kChartMinHeight && flow.y > 0) {
        flow.NextPage();
    }
    const double top = flow.y;
    size_t next = DrawGroupRows(flow, in, 0);
    const double chart_height =
        std::min(std::max(kChartMinHeight, flow.y - top), kContentBottom - top);
    if (flow.canvas.Painting()) {
        const double text_px = kSmallPt * kPointMm * flow.canvas.DeviceMm();
        DrawProjectionBarChart(flow.canvas.Painter(),
                               flow.canvas.Box(kChartLeft, top, kWidth - kChartLeft, chart_height),
                               ProjectionChartOf(in.result), text_px);
    }
    flow.y = std::max(flow.y, top + chart_height);
    while (next < in.result.groups.size()) {
        flow.NextPage();
        next = DrawGroupRows(flow, in, next);
    }
}

std::vector<QString> MapLines(const ReportCalculation& result) {
    const SkinMapResult& m = result.skin_map;
    std::vector<QString> lines;
    if (!m.made) {
        lines.push_back(
            ToQString("患者モデルに置けるイベントがないため、皮膚線量マップはありません"
                      "（第一・第二角度のあるイベントが必要です）。"));
    } else {
        lines.push_back(ToQString(
            "投影ごとの推定 " + Number(result.summary.peak_skin_dose_mgy, "####0") +
            " mGy　最大の 1 イベント " + Number(m.largest_event_mgy, "####0") +
            " mGy　マップのイベント " + std::to_string(m.events_on_map) + " 件、入らないイベント " +
            std::to_string(m.events_not_on_map) + " 件　患者モデル " + m.patient_source.japanese));
    }
    for (const std::string& note : m.notes) {
        lines.push_back(ToQString("注 " + note));
    }
    return lines;
}

const char* const kMapHeading = "皮膚線量マップ（照射野を患者モデルに置き、重なりを合算）";

// The map's picture as wide as the page allows, its own captions inside it, and what the
// window says under it.
void DrawMap(Flow& flow, const DocumentInput& in) {
    const SkinMapResult& m = in.result.skin_map;
    const std::vector<QString> lines = MapLines(in.result);
    const QFont body = flow.canvas.Font(kBodyPt);
    double lines_height = 0;
    for (const QString& line : lines) {
        lines_height += flow.canvas.TextHeight(body, kWidth, line) + 0.6;
    }
    const SkinMapLayout layout = LayOutSkinDoseMap(m.map, kMapPictureWidthPx);
    const double aspect = m.made ? static_cast<double>(layout.height_px) / layout.width_px : 0;
    // Heading, the smallest picture and its lines go onto one page.
    const double heading = 10;
    if (heading + kMapMinWidth * aspect + lines_height > flow.Room() && flow.y > 0) {
        flow.NextPage();
    }
    flow.Heading(ToQString(kMapHeading));
    if (m.made) {
        // Room is left for the heading and first row of the list that follows.
        const double width =
            std::max(std::min(kWidth, (flow.Room() - lines_height - kFollowingSection) / aspect),
                     std::min(kMapMinWidth, (flow.Room() - lines_height - 1) / aspect));
        const double height = width * aspect;
        if (flow.canvas.Painting()) {
            const QImage picture = DrawSkinDoseMap(m.map, kMapPictureWidthPx);
            if (picture.isNull()) {
                flow.Paragraph(ToQString("皮膚線量マップの画像を作るメモリーが足りませんでした。"),
                               body, 0, kRaisedColour);
            } else {
                flow.canvas.Painter().drawImage(
                    flow.canvas.Box((kWidth - width) / 2, flow.y, width, height), picture);
            }
        }
        flow.y += height + 1;
    }
    for (const QString& line : lines) {
        flow.Paragraph(line, body);
    }
}

QString LeftOutText(size_t count) {
    return ToQString(
        "ほか " + std::to_string(count) +
        " 件の計算しなかったイベントはこの用紙に入りません。線量レポート画面の"
        "「イベントと投影」か、korvex2-cli report の JSON・CSV 出力で確かめて下さい。");
}

constexpr std::array<double, 4> kEventColumns = {40, 15, 19, kWidth - 74};

// One event not calculated: file and number, time, kind, reason. Returns its height.
double EventRow(Flow& flow, const DocumentInput& in, const EventCalculation& e, bool paint) {
    const IrradiationEvent& event = in.reports[e.report_index].events[e.event_index];
    const QStringList cells = {ToQString(in.reports[e.report_index].path.filename().string() +
                                         " #" + std::to_string(event.number)),
                               ToQString(EventTimeText(event.date_time)),
                               ToQString(event.event_type), ToQString(e.reason.japanese)};
    const QFont font = flow.canvas.Font(kSmallPt);
    double height = 0;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        height = std::max(height, flow.canvas.TextHeight(font, kEventColumns[i] - 1, cells[i]));
    }
    if (paint) {
        double x = 0;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            flow.canvas.Text(QRectF(x, flow.y, kEventColumns[i] - 1, height + 1), font, cells[i],
                             Qt::TextWordWrap, i == 3 ? kRaisedColour : QColor(Qt::black));
            x += kEventColumns[i];
        }
    }
    return height + 0.7;
}

// Every event not calculated, on to the last page; what even that cannot hold is counted
// and sent to where the whole list is.
void DrawNotCalculated(Flow& flow, const DocumentInput& in) {
    std::vector<const EventCalculation*> rows;
    for (const EventCalculation& e : in.result.events) {
        if (e.status == EventStatus::NotCalculated) {
            rows.push_back(&e);
        }
    }
    // The summary's count says that there are none.
    if (rows.empty()) {
        return;
    }
    flow.Heading(ToQString("計算しなかったイベント（" + std::to_string(rows.size()) + " 件）"));
    const QFont font = flow.canvas.Font(kSmallPt);
    const double note_height = flow.canvas.TextHeight(font, kWidth, LeftOutText(rows.size())) + 1;
    for (size_t i = 0; i < rows.size(); ++i) {
        const double height = EventRow(flow, in, *rows[i], false);
        const bool more_after = i + 1 < rows.size();
        if (height + (flow.LastPage() && more_after ? note_height : 0) > flow.Room()) {
            if (flow.LastPage()) {
                flow.Paragraph(LeftOutText(rows.size() - i), flow.canvas.Font(kSmallPt, true), 0,
                               kRaisedColour);
                return;
            }
            flow.NextPage();
        }
        flow.y += EventRow(flow, in, *rows[i], true);
    }
}

// The whole document; returns the number of pages.
int LayOutPages(PageCanvas& canvas, const DocumentInput& in, int total_pages) {
    Flow flow{canvas, total_pages, in.options};
    DrawTitle(flow);
    DrawStudy(flow, in);
    DrawSummary(flow, in);
    DrawGroups(flow, in);
    DrawMap(flow, in);
    DrawNotCalculated(flow, in);
    DrawFooter(canvas, in.options, flow.page, total_pages);
    return flow.page;
}

}  // namespace

ProjectionBarChart ProjectionChartOf(const ReportCalculation& result, bool japanese) {
    ProjectionBarChart chart;
    chart.japanese = japanese;
    chart.thresholds_gy.assign(kMapAreaThresholdsGy.begin(), kMapAreaThresholdsGy.end());
    for (const ProjectionGroup& group : result.groups) {
        chart.labels.push_back(GroupLabel(group));
        chart.doses_mgy.push_back(group.skin_dose_mgy);
    }
    chart.emphasised = result.summary.peak_group;
    return chart;
}

std::string StudyDateTimeText(const std::string& study_date, const std::string& study_time) {
    std::string text = study_date.size() == 8
                           ? study_date.substr(0, 4) + "-" + study_date.substr(4, 2) + "-" +
                                 study_date.substr(6, 2)
                           : study_date;
    if (study_time.size() >= 4) {
        text += " " + study_time.substr(0, 2) + ":" + study_time.substr(2, 2);
    }
    return text;
}

std::string PrintedOnNow() {
    return ToUtf8(QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm"));
}

int DrawDoseReportDocument(QPagedPaintDevice& device, const std::vector<DoseReport>& reports,
                           const ReportCalculation& result, const DoseReportPrintOptions& options) {
    const DocumentInput in{reports, result, options};
    device.setPageOrientation(QPageLayout::Portrait);
    int pages = 0;
    {
        // Counted first, so that every footer says how many pages there are.
        PageCanvas counting(device, false);
        if (!counting.Begin()) {
            return 0;
        }
        pages = LayOutPages(counting, in, 0);
    }
    PageCanvas canvas(device, true);
    if (!canvas.Begin()) {
        return 0;
    }
    LayOutPages(canvas, in, pages);
    return canvas.End() ? pages : 0;
}

PagedDrawing DoseReportDrawing(const std::vector<DoseReport>& reports,
                               const ReportCalculation& result,
                               const DoseReportPrintOptions& options) {
    return [&reports, &result, options](QPagedPaintDevice& device) {
        return DrawDoseReportDocument(device, reports, result, options) > 0;
    };
}

void WriteDoseReportPdf(const std::filesystem::path& path, const std::vector<DoseReport>& reports,
                        const ReportCalculation& result, const DoseReportPrintOptions& options) {
    WritePagedPdfDocument(path, kDoseReportTitle, DoseReportDrawing(reports, result, options));
}

}  // namespace korvex
