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
#include "engine/text_file.h"
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

struct TableColumn {
    const char* title;
    double width;
    bool right;
};
using GroupColumns = std::array<TableColumn, 6>;

// Every fixed text of the document in one language; %1, %2, ... stand for values.
struct DocumentWords {
    const char* title;
    const char* none;
    const char* guest;
    const char* footer_user;
    const char* printed;
    const char* title_printed;
    const char* page_of;
    const char* page;
    const char* study_heading;
    const char* file_line;
    const char* patient_line;
    const char* setup_line;
    const char* distance_for_all;
    const char* distance_per_event;
    const char* uncertainty;
    const char* no_uncertainty;
    const char* grouped_beside_map;
    const char* grouped_peak;
    const char* grouped_overlap;
    const char* summary_heading;
    const char* map_peak;
    const char* sums_line;
    const char* kerma_line;
    const char* flag;
    const char* flag_raised;
    const char* flag_not_raised;
    const char* at_or_above;
    const char* below;
    const char* note;
    const char* angles_unknown;
    GroupColumns group_columns;
    const char* groups_heading;
    const char* no_map;
    const char* map_line;
    const char* map_heading;
    const char* map_out_of_memory;
    const char* left_out;
    const char* not_calculated_heading;
};

constexpr DocumentWords kJapaneseWords = {
    kDoseReportTitle,
    "なし",
    kGuestUserName,
    "Korvex-2　利用者: %1",
    "印刷 %1",
    "Korvex-2　印刷 %1",
    "%1 / %2 ページ",
    "%1 ページ",
    "検査",
    "ファイル %1　%2 %3　装置名 %4　検査日時 %5　イベント %6 件",
    "患者氏名 %1　患者 ID %2",
    "装置データ %1　計算モデル %2　焦点-皮膚間距離 %3　照射野 正方形",
    "全イベント %1 cm（%2）",
    "イベントごと（%1 %2 件、%3 %4 件）",
    " %1（k = 2）",
    "（従来式は不確かさを示しません）",
    "投影ごとの推定 %1%2",
    "推定最大皮膚線量 %1%2",
    "%1　%2（同じ投影の照射野が重なると仮定）",
    "まとめ",
    "皮膚線量マップの%1",
    "全イベントの皮膚線量の和 %1（すべての照射野が重なる場合の上限）　イベント 計算 %2 件、"
    "計算しなかった %3 件、重複 %4 件　注記 %5 件",
    "Ka,r 計算 %1 ＋ 含まれない %2 ／ レポートの累積値 %3　　P_KA 計算 %4 ＋ 含まれない %5 ／ "
    "レポートの累積値 %6",
    "%1 %2 %3%4%5 %3（%6）",
    "▲ 要経過観察　%1",
    "・ %1",
    " ≧ ",
    " ＜ ",
    "注 %1",
    "角度不明",
    {{{"面", 8, false},
      {"投影", 30, false},
      {"件数", 10, true},
      {"ΣKa,r (mGy)", 17, true},
      {"ΣP_KA (Gy·cm²)", 19, true},
      {"Σ皮膚線量 (mGy)", 20, true}}},
    "投影ごとの線量（同じ投影の照射野はすべて重なると仮定）",
    "患者モデルに置けるイベントがないため、皮膚線量マップはありません"
    "（第一・第二角度のあるイベントが必要です）。",
    "投影ごとの推定 %1 mGy　最大の 1 イベント %2 mGy　マップのイベント %3 件、"
    "入らないイベント %4 件　患者モデル %5",
    "皮膚線量マップ（照射野を患者モデルに置き、重なりを合算）",
    "皮膚線量マップの画像を作るメモリーが足りませんでした。",
    "ほか %1 件の計算しなかったイベントはこの用紙に入りません。線量レポート画面の"
    "「イベントと投影」か、korvex2-cli report の JSON・CSV 出力で確かめて下さい。",
    "計算しなかったイベント（%1 件）",
};

// The windows speak Japanese only: the window's page is named as it is shown there.
constexpr DocumentWords kEnglishWords = {
    kDoseReportTitleEnglish,
    "none",
    "guest user",
    "Korvex-2  User: %1",
    "Printed %1",
    "Korvex-2  printed %1",
    "Page %1 of %2",
    "Page %1",
    "Study",
    "File %1  %2 %3  station %4  study %5  %6 events",
    "Patient's name %1  patient ID %2",
    "Device data %1  dose model %2  focus-skin distance %3  square field",
    "%1 cm for every event (%2)",
    "per event (%1 %2, %3 %4)",
    " %1 (k = 2)",
    " (the legacy formula states no uncertainty)",
    "Estimate per projection %1%2",
    "Estimated peak skin dose %1%2",
    "%1  %2 (fields of one projection assumed to overlap)",
    "Summary",
    "Skin-dose map: %1",
    "Sum of the skin dose of all events %1 (upper bound: every field overlapping)  events "
    "calculated %2, not calculated %3, duplicates %4  notes %5",
    "Ka,r calculated %1 + not included %2 / report's total %3    P_KA calculated %4 + not "
    "included %5 / report's total %6",
    "%1 %2 %3%4%5 %3 (%6)",
    "▲ Follow-up  %1",
    "- %1",
    " ≥ ",
    " < ",
    "Note: %1",
    "angles unknown",
    {{{"Plane", 13, false},
      {"Projection", 26, false},
      {"Events", 11, true},
      {"ΣKa,r (mGy)", 17, true},
      {"ΣP_KA (Gy·cm²)", 19, true},
      {"ΣSkin dose (mGy)", 18, true}}},
    "Dose per projection (all fields of one projection assumed to overlap)",
    "No event could be placed on the patient model, so there is no skin-dose map (events "
    "need their primary and secondary angles).",
    "Estimate per projection %1 mGy  largest single event %2 mGy  events on the map %3, not "
    "on it %4  patient model: %5",
    "Skin-dose map (fields placed on the patient model, overlaps added)",
    "There was not enough memory to draw the skin-dose map.",
    "%1 more events not calculated do not fit on these pages: see the dose-report window's "
    "page \"イベントと投影\" or the JSON and CSV output of korvex2-cli report.",
    "Events not calculated (%1)",
};

const DocumentWords& WordsFor(bool japanese) {
    return japanese ? kJapaneseWords : kEnglishWords;
}

// `pattern` with %1 to %9 replaced by `values` in one pass, so that a value holding "%2"
// (a file's name) is never taken for a place.
std::string Say(std::string_view pattern, std::initializer_list<std::string> values) {
    std::string text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const size_t place = pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
                                     pattern[i + 1] <= '9'
                                 ? static_cast<size_t>(pattern[i + 1] - '1')
                                 : values.size();
        if (place < values.size()) {
            text += *(values.begin() + place);
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

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

std::string OptionalKerma(const std::optional<double>& mgy, const DocumentWords& words) {
    return mgy ? Kerma(*mgy) : std::string(words.none);
}

std::string OptionalKermaArea(const std::optional<double>& gycm2, const DocumentWords& words) {
    return gycm2 ? KermaArea(*gycm2) : std::string(words.none);
}

// "10:15:00" of "20240115101500.000"; the value as given when it is no date and time.
std::string EventTimeText(const std::string& date_time) {
    if (date_time.size() >= 14) {
        return date_time.substr(8, 2) + ":" + date_time.substr(10, 2) + ":" +
               date_time.substr(12, 2);
    }
    return date_time;
}

struct DocumentInput {
    const std::vector<DoseReport>& reports;
    const ReportCalculation& result;
    const DoseReportPrintOptions& options;
    const DocumentWords& words;
};

// Millimetres of the page onto the device's pixels; text measured in the device's own
// metrics. Measuring needs no painting, so the same layout runs once to count the pages
// and once to paint them.
class PageCanvas {
  public:
    PageCanvas(QPagedPaintDevice& device, bool painting) : device_(device), painting_(painting) {
        const DevicePlacement placed = PlaceOnDevice(device, {kWidth, 0, kExtentBottom});
        placement_ = placed.placement;
        painter_origin_mm_ = placed.painter_origin_mm;
        pixels_per_mm_ = placed.pixels_per_mm;
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
    const DocumentWords& words;
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

void DrawFooter(PageCanvas& canvas, const DoseReportPrintOptions& options,
                const DocumentWords& words, int page, int total) {
    const QFont font = canvas.Font(kSmallPt);
    canvas.Line(0, kFooterTop, kWidth, kFooterTop, 0.15);
    const QRectF box(0, kFooterTop + 0.8, kWidth, 5);
    const std::string user =
        options.user_name.empty() ? std::string(words.guest) : options.user_name;
    canvas.Text(box, font, ToQString(Say(words.footer_user, {user})), Qt::AlignLeft | Qt::AlignTop);
    canvas.Text(box, font, ToQString(Say(words.printed, {options.printed_on})),
                Qt::AlignHCenter | Qt::AlignTop);
    const std::string number =
        total > 0 ? Say(words.page_of, {std::to_string(page), std::to_string(total)})
                  : Say(words.page, {std::to_string(page)});
    canvas.Text(box, font, ToQString(number), Qt::AlignRight | Qt::AlignTop);
}

void Flow::NextPage() {
    DrawFooter(canvas, options, words, page, total_pages);
    canvas.NewPage();
    ++page;
    y = 0;
}

void DrawTitle(Flow& flow) {
    PageCanvas& canvas = flow.canvas;
    const QFont title = canvas.Font(kTitlePt, true);
    const QString text = ToQString(flow.words.title);
    const double height = canvas.TextHeight(title, kWidth, text);
    canvas.Text(QRectF(0, 0, kWidth, height + 1), title, text, Qt::AlignLeft | Qt::AlignTop);
    canvas.Text(QRectF(0, 0, kWidth, height), canvas.Font(kSmallPt),
                ToQString(Say(flow.words.title_printed, {flow.options.printed_on})),
                Qt::AlignRight | Qt::AlignBottom);
    flow.y = height + 0.8;
    canvas.Line(0, flow.y, kWidth, flow.y, 0.5);
    flow.y += 1.5;
}

// The user's one distance, or how many events took theirs from where.
std::string DistanceText(const ReportCalculation& result, bool japanese) {
    const DocumentWords& words = WordsFor(japanese);
    int geometry = 0;
    int reference = 0;
    for (const EventCalculation& e : result.events) {
        if (e.status != EventStatus::Calculated) {
            continue;
        }
        if (e.distance_source == DistanceSource::User) {
            return Say(words.distance_for_all,
                       {result.fsd_text, DistanceSourceLabel(DistanceSource::User, japanese)});
        }
        (e.distance_source == DistanceSource::Geometry ? geometry : reference) += 1;
    }
    return Say(
        words.distance_per_event,
        {DistanceSourceLabel(DistanceSource::Geometry, japanese), std::to_string(geometry),
         DistanceSourceLabel(DistanceSource::ReferencePoint, japanese), std::to_string(reference)});
}

void DrawStudy(Flow& flow, const DocumentInput& in) {
    const DocumentWords& words = in.words;
    const bool japanese = in.options.japanese;
    flow.Heading(ToQString(words.study_heading));
    const QFont body = flow.canvas.Font(kBodyPt);
    for (const DoseReport& report : in.reports) {
        flow.Paragraph(
            ToQString(Say(words.file_line, {report.path.filename().string(), report.manufacturer,
                                            report.model, report.station_name,
                                            StudyDateTimeText(report.study_date, report.study_time),
                                            std::to_string(report.events.size())})),
            body);
    }
    if (in.options.with_patient) {
        std::set<std::pair<std::string, std::string>> patients;
        for (const DoseReport& report : in.reports) {
            patients.emplace(report.patient_name, report.patient_id);
        }
        for (const auto& [name, id] : patients) {
            flow.Paragraph(ToQString(Say(words.patient_line, {name, id})), body);
        }
    }
    const ReportCalculation& r = in.result;
    const std::string_view model = japanese ? DoseModelName(r.model) : DoseModelKey(r.model);
    flow.Paragraph(ToQString(Say(words.setup_line,
                                 {r.device_file, std::string(model), DistanceText(r, japanese)})),
                   body);
}

std::string PeakText(const ReportCalculation& r, bool japanese) {
    const DocumentWords& words = WordsFor(japanese);
    const ReportSummary& s = r.summary;
    const std::string group =
        s.peak_group >= 0 ? GroupLabel(r.groups[static_cast<size_t>(s.peak_group)], japanese) : "―";
    const std::string uncertainty =
        s.peak_skin_dose_uncertainty > 0
            ? Say(words.uncertainty, {UncertaintyText(s.peak_skin_dose_uncertainty)})
            : std::string(words.no_uncertainty);
    // Beside the map, the grouped value is the estimate the map improves on.
    const std::string peak = Say(r.skin_map.made ? words.grouped_beside_map : words.grouped_peak,
                                 {Kerma(s.peak_skin_dose_mgy), uncertainty});
    return Say(words.grouped_overlap, {peak, group});
}

std::string FlagText(const DoseFlag& flag, const DocumentWords& words, bool japanese) {
    const std::string text =
        Say(words.flag, {flag.name.In(japanese), Number(flag.value, "###0.00"), flag.unit,
                         flag.raised ? words.at_or_above : words.below,
                         ShortestNumberText(flag.threshold), flag.source.In(japanese)});
    return Say(flag.raised ? words.flag_raised : words.flag_not_raised, {text});
}

void DrawSummary(Flow& flow, const DocumentInput& in) {
    const DocumentWords& words = in.words;
    const bool japanese = in.options.japanese;
    const ReportSummary& s = in.result.summary;
    flow.Heading(ToQString(words.summary_heading));
    const QFont body = flow.canvas.Font(kBodyPt);
    if (in.result.skin_map.made) {
        flow.Paragraph(
            ToQString(Say(words.map_peak, {SkinMapPeakCaption(in.result.skin_map.map, japanese)})),
            flow.canvas.Font(kHeadingPt, true));
        flow.Paragraph(ToQString(PeakText(in.result, japanese)), body);
    } else {
        flow.Paragraph(ToQString(PeakText(in.result, japanese)),
                       flow.canvas.Font(kHeadingPt, true));
    }
    flow.Paragraph(ToQString(Say(words.sums_line,
                                 {Kerma(s.skin_dose_sum_mgy), std::to_string(s.calculated),
                                  std::to_string(s.not_calculated), std::to_string(s.duplicates),
                                  std::to_string(s.event_notes)})),
                   body);
    flow.Paragraph(
        ToQString(Say(
            words.kerma_line,
            {Kerma(s.kar_calculated_mgy), Kerma(s.kar_not_included_mgy),
             OptionalKerma(s.report_kar_mgy, words), KermaArea(s.pka_calculated_gycm2),
             KermaArea(s.pka_not_included_gycm2), OptionalKermaArea(s.report_pka_gycm2, words)})),
        body);
    for (const DoseFlag& flag : s.flags) {
        if (flag.raised) {
            flow.Paragraph(ToQString(FlagText(flag, words, japanese)),
                           flow.canvas.Font(kBodyPt, true), 0, kRaisedColour);
        } else {
            flow.Paragraph(ToQString(FlagText(flag, words, japanese)), body);
        }
    }
    // The reader's notes about the files are Japanese only.
    std::vector<std::string> notes;
    for (const DoseReport& report : in.reports) {
        for (const std::string& note : report.notes) {
            notes.push_back(report.path.filename().string() + ": " + note);
        }
    }
    for (const UserText& note : s.notes) {
        notes.push_back(note.In(japanese));
    }
    for (const std::string& note : notes) {
        flow.Paragraph(ToQString(Say(words.note, {note})), flow.canvas.Font(kSmallPt));
    }
}

void DrawTableRow(PageCanvas& canvas, const GroupColumns& columns, double y, double height,
                  const QStringList& cells, const QFont& font) {
    double x = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const int align = (columns[i].right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter |
                          Qt::TextWordWrap;
        canvas.Text(QRectF(x + 0.8, y, columns[i].width - 1.6, height), font,
                    cells[static_cast<qsizetype>(i)], align);
        x += columns[i].width;
    }
}

QStringList GroupCells(const ProjectionGroup& group, bool japanese) {
    return {ToQString(PlaneText(group.plane, japanese)),
            ToQString(ProjectionText(group, japanese)),
            QString::number(group.events.size()),
            ToQString(Number(group.kar_mgy, "###0.0")),
            ToQString(Number(group.pka_gycm2, "###0.00")),
            ToQString(Number(group.skin_dose_mgy, "####0.0"))};
}

// The table's header and as many of the groups from `first` as fit; returns the next.
size_t DrawGroupRows(Flow& flow, const DocumentInput& in, size_t first) {
    PageCanvas& canvas = flow.canvas;
    const GroupColumns& columns = in.words.group_columns;
    QStringList titles;
    for (const TableColumn& column : columns) {
        titles << ToQString(column.title);
    }
    canvas.Line(0, flow.y, kTableWidth, flow.y, 0.3);
    DrawTableRow(canvas, columns, flow.y, kTableHeaderHeight, titles, canvas.Font(kSmallPt, true));
    flow.y += kTableHeaderHeight;
    canvas.Line(0, flow.y, kTableWidth, flow.y, 0.2);
    size_t next = first;
    const auto& groups = in.result.groups;
    while (next < groups.size() && flow.Room() >= kTableRowHeight) {
        const bool peak = static_cast<int>(next) == in.result.summary.peak_group;
        DrawTableRow(canvas, columns, flow.y, kTableRowHeight,
                     GroupCells(groups[next], in.options.japanese), canvas.Font(kSmallPt, peak));
        flow.y += kTableRowHeight;
        ++next;
    }
    canvas.Line(0, flow.y, kTableWidth, flow.y, 0.3);
    return next;
}

void DrawGroups(Flow& flow, const DocumentInput& in) {
    flow.Heading(ToQString(in.words.groups_heading));
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
                               ProjectionChartOf(in.result, in.options.japanese), text_px);
    }
    flow.y = std::max(flow.y, top + chart_height);
    while (next < in.result.groups.size()) {
        flow.NextPage();
        next = DrawGroupRows(flow, in, next);
    }
}

std::vector<QString> MapLines(const DocumentInput& in) {
    const SkinMapResult& m = in.result.skin_map;
    const bool japanese = in.options.japanese;
    std::vector<QString> lines;
    if (!m.made) {
        lines.push_back(ToQString(in.words.no_map));
    } else {
        lines.push_back(
            ToQString(Say(in.words.map_line,
                          {Number(in.result.summary.peak_skin_dose_mgy, "####0"),
                           Number(m.largest_event_mgy, "####0"), std::to_string(m.events_on_map),
                           std::to_string(m.events_not_on_map), m.patient_source.In(japanese)})));
    }
    for (const UserText& note : m.notes) {
        lines.push_back(ToQString(Say(in.words.note, {note.In(japanese)})));
    }
    return lines;
}

// The map's picture as wide as the page allows, its own captions inside it, and what the
// window says under it.
void DrawMap(Flow& flow, const DocumentInput& in) {
    const SkinMapResult& m = in.result.skin_map;
    const std::vector<QString> lines = MapLines(in);
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
    flow.Heading(ToQString(in.words.map_heading));
    if (m.made) {
        // Room is left for the heading and first row of the list that follows.
        const double width =
            std::max(std::min(kWidth, (flow.Room() - lines_height - kFollowingSection) / aspect),
                     std::min(kMapMinWidth, (flow.Room() - lines_height - 1) / aspect));
        const double height = width * aspect;
        if (flow.canvas.Painting()) {
            const QImage picture = DrawSkinDoseMap(m.map, kMapPictureWidthPx, in.options.japanese);
            if (picture.isNull()) {
                flow.Paragraph(ToQString(in.words.map_out_of_memory), body, 0, kRaisedColour);
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

QString LeftOutText(const DocumentWords& words, size_t count) {
    return ToQString(Say(words.left_out, {std::to_string(count)}));
}

constexpr std::array<double, 4> kEventColumns = {40, 15, 19, kWidth - 74};

// One event not calculated: file and number, time, kind (as the reader names it, in
// Japanese), reason. Returns its height.
double EventRow(Flow& flow, const DocumentInput& in, const EventCalculation& e, bool paint) {
    const IrradiationEvent& event = in.reports[e.report_index].events[e.event_index];
    const QStringList cells = {ToQString(in.reports[e.report_index].path.filename().string() +
                                         " #" + std::to_string(event.number)),
                               ToQString(EventTimeText(event.date_time)),
                               ToQString(event.event_type),
                               ToQString(e.reason.In(in.options.japanese))};
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
    flow.Heading(ToQString(Say(in.words.not_calculated_heading, {std::to_string(rows.size())})));
    const QFont font = flow.canvas.Font(kSmallPt);
    const double note_height =
        flow.canvas.TextHeight(font, kWidth, LeftOutText(in.words, rows.size())) + 1;
    for (size_t i = 0; i < rows.size(); ++i) {
        const double height = EventRow(flow, in, *rows[i], false);
        const bool more_after = i + 1 < rows.size();
        if (height + (flow.LastPage() && more_after ? note_height : 0) > flow.Room()) {
            if (flow.LastPage()) {
                flow.Paragraph(LeftOutText(in.words, rows.size() - i),
                               flow.canvas.Font(kSmallPt, true), 0, kRaisedColour);
                return;
            }
            flow.NextPage();
        }
        flow.y += EventRow(flow, in, *rows[i], true);
    }
}

// The whole document; returns the number of pages.
int LayOutPages(PageCanvas& canvas, const DocumentInput& in, int total_pages) {
    Flow flow{canvas, total_pages, in.options, in.words};
    DrawTitle(flow);
    DrawStudy(flow, in);
    DrawSummary(flow, in);
    DrawGroups(flow, in);
    DrawMap(flow, in);
    DrawNotCalculated(flow, in);
    DrawFooter(canvas, in.options, in.words, flow.page, total_pages);
    return flow.page;
}

}  // namespace

std::string ProjectionText(const ProjectionGroup& group, bool japanese) {
    const bool unknown = group.label == ProjectionLabel(std::nullopt, std::nullopt);
    return unknown ? WordsFor(japanese).angles_unknown : group.label;
}

std::string GroupLabel(const ProjectionGroup& group, bool japanese) {
    const bool biplane = group.plane == AcquisitionPlane::A || group.plane == AcquisitionPlane::B;
    const std::string projection = ProjectionText(group, japanese);
    return biplane ? PlaneLabel(group.plane) + " " + projection : projection;
}

std::string PlaneText(AcquisitionPlane plane, bool japanese) {
    return japanese ? PlaneLabel(plane) : PlaneWord(plane);
}

ProjectionBarChart ProjectionChartOf(const ReportCalculation& result, bool japanese) {
    ProjectionBarChart chart;
    chart.japanese = japanese;
    chart.thresholds_gy.assign(kMapAreaThresholdsGy.begin(), kMapAreaThresholdsGy.end());
    for (const ProjectionGroup& group : result.groups) {
        chart.labels.push_back(GroupLabel(group, japanese));
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
    const DocumentInput in{reports, result, options, WordsFor(options.japanese)};
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

std::string DoseReportPdf(const std::vector<DoseReport>& reports, const ReportCalculation& result,
                          const DoseReportPrintOptions& options) {
    return PagedPdfDocument(WordsFor(options.japanese).title,
                            DoseReportDrawing(reports, result, options));
}

void WriteDoseReportPdf(const std::filesystem::path& path, const std::vector<DoseReport>& reports,
                        const ReportCalculation& result, const DoseReportPrintOptions& options) {
    WriteFileAtomically(path, DoseReportPdf(reports, result, options), path.filename().string());
}

}  // namespace korvex
