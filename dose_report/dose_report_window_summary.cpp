// The window's header (the files read) and its summary: doses, flags and notes.
#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>

#include "dose_report/dose_report_document.h"
#include "dose_report/dose_report_window.h"
#include "engine/dose_uncertainty.h"
#include "engine/text_rules.h"
#include "report/bar_chart.h"
#include "report/qt_text.h"
#include "report/skin_map_picture.h"
#include "ui/interface_language.h"

namespace korvex {
namespace {

QString Html(const std::string& text) {
    return ToQString(text).toHtmlEscaped();
}

QString StudyDateOf(const DoseReport& report) {
    return ToQString(StudyDateTimeText(report.study_date, report.study_time)).toHtmlEscaped();
}

QString Kerma(double mgy) {
    return ToQString(FormatNumber(mgy, "###0.0")) + " mGy";
}

QString KermaArea(double gycm2) {
    return ToQString(FormatNumber(gycm2, "###0.00")) + " Gy·cm²";
}

QString Optional(const std::optional<double>& value, QString (*show)(double)) {
    return value ? show(*value) : QCoreApplication::translate("korvex::DoseReportWindow", "なし");
}

}  // namespace

void DoseReportWindow::ShowHeader() {
    QStringList lines;
    for (const DoseReport& report : reports_) {
        lines << tr("<b>%1</b>　%2 %3　%4　検査 %5　イベント %6 件　基準点: %7")
                     .arg(Html(report.path.filename().string()), Html(report.manufacturer),
                          Html(report.model), Html(report.station_name), StudyDateOf(report),
                          QString::number(report.events.size()),
                          report.reference_point_definition.empty()
                              ? tr("記載なし")
                              : Html(report.reference_point_definition));
    }
    header_->setText(lines.join("<br>"));
}

void DoseReportWindow::ShowSummary() {
    const ReportSummary& s = result_.summary;
    QStringList lines;
    const QString peak_group =
        s.peak_group >= 0 ? Html(ProjectionText(result_.groups[static_cast<size_t>(s.peak_group)],
                                                InterfaceIsJapanese()))
                          : "―";
    // The legacy formula states no uncertainty.
    const QString uncertainty =
        s.peak_skin_dose_uncertainty > 0
            ? " " + ToQString(UncertaintyText(s.peak_skin_dose_uncertainty)) + tr("（k = 2）")
            : QString();
    if (result_.skin_map.made) {
        lines << tr("皮膚線量マップの") +
                     ToQString(SkinMapPeakCaption(result_.skin_map.map, InterfaceIsJapanese()))
                         .toHtmlEscaped();
    }
    // Beside the map, the grouped value is the estimate the map improves on.
    lines << tr("%1: <b>%2</b>%3（%4。同じ投影の照射野が重なると仮定）")
                 .arg(result_.skin_map.made ? tr("投影ごとの推定") : tr("推定最大皮膚線量"),
                      Kerma(s.peak_skin_dose_mgy), uncertainty, peak_group)
          << tr("計算モデル: %1").arg(ToQString(DoseModelName(result_.model, InterfaceLanguage())))
          << tr("全イベントの皮膚線量の和: %1（すべての照射野が重なる場合の上限）")
                 .arg(Kerma(s.skin_dose_sum_mgy))
          << tr("イベント: 計算 %1 件、計算しなかった %2 件、重複 %3 件")
                 .arg(s.calculated)
                 .arg(s.not_calculated)
                 .arg(s.duplicates)
          << tr("注記: %1 件（%2 イベント。各イベントの「注記」列）")
                 .arg(s.event_notes)
                 .arg(s.events_with_notes)
          << tr("Ka,r: 計算 %1 ＋ 含まれない %2 ／ レポートの累積値 %3")
                 .arg(Kerma(s.kar_calculated_mgy), Kerma(s.kar_not_included_mgy),
                      Optional(s.report_kar_mgy, Kerma))
          << tr("P_KA: 計算 %1 ＋ 含まれない %2 ／ レポートの累積値 %3")
                 .arg(KermaArea(s.pka_calculated_gycm2), KermaArea(s.pka_not_included_gycm2),
                      Optional(s.report_pka_gycm2, KermaArea));
    for (const PlaneCrossCheck& plane : s.planes) {
        lines << tr("面 %1: イベントの和 %2・%3 ／ レポート %4・%5")
                     .arg(ToQString(PlaneText(plane.plane, InterfaceIsJapanese())),
                          Kerma(plane.kar_mgy), KermaArea(plane.pka_gycm2),
                          Optional(plane.report_kar_mgy, Kerma),
                          Optional(plane.report_pka_gycm2, KermaArea));
    }
    summary_->setText(lines.join("<br>"));

    QStringList flags;
    for (const DoseFlag& flag : s.flags) {
        const QString text =
            tr("%1 %2 %3 %4 %5（%6）")
                .arg(ToQString(flag.name.In(InterfaceLanguage())),
                     ToQString(FormatNumber(flag.value, "###0.00")), ToQString(flag.unit),
                     flag.raised ? "≧" : tr("＜"),
                     ToQString(ShortestNumberText(flag.threshold)) + " " + ToQString(flag.unit),
                     Html(flag.source.In(InterfaceLanguage())));
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
    for (const UserText& note : s.notes) {
        notes << Html(note.In(InterfaceLanguage()));
    }
    notes_->setText(notes.join("<br>"));
    notes_->setVisible(!notes.isEmpty());
}

void DoseReportWindow::ShowMap() {
    const SkinMapResult& m = result_.skin_map;
    QStringList lines;
    if (m.made) {
        lines << ToQString(SkinMapPeakCaption(m.map, InterfaceIsJapanese())).toHtmlEscaped()
              << ToQString(SkinMapAreaCaption(m.map, InterfaceIsJapanese())).toHtmlEscaped();
        lines << QString(tr("投影ごとの推定（同じ投影の照射野だけが重なると仮定）: %1 mGy　"
                            "最大の 1 イベント: %2 mGy"))
                     .arg(ToQString(FormatNumber(result_.summary.peak_skin_dose_mgy, "####0")))
                     .arg(ToQString(FormatNumber(m.largest_event_mgy, "####0")));
        lines << tr("マップのイベント %1 件、入らないイベント %2 件　患者モデル: %3")
                     .arg(m.events_on_map)
                     .arg(m.events_not_on_map)
                     .arg(ToQString(m.patient_source.In(InterfaceLanguage())).toHtmlEscaped());
        map_->setPixmap(QPixmap::fromImage(DrawSkinDoseMap(m.map, 1100, InterfaceIsJapanese())));
    } else {
        lines << tr(
            "患者モデルに置けるイベントがないため、皮膚線量マップはありません"
            "（第一・第二角度のあるイベントが必要です）。");
        map_->setPixmap(QPixmap());
    }
    for (const UserText& note : m.notes) {
        lines << ToQString(note.In(InterfaceLanguage())).toHtmlEscaped();
    }
    map_summary_->setText(lines.join("<br>"));
}

void DoseReportWindow::ShowChart() {
    chart_->setPixmap(QPixmap::fromImage(ProjectionBarChartImage(
        ProjectionChartOf(result_, InterfaceIsJapanese()), QSize(1000, 460))));
}

}  // namespace korvex
