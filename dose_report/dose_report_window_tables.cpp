// The window's events and groups tables.
#include <algorithm>

#include <QCoreApplication>
#include <QFont>
#include <QPushButton>
#include <QTableWidget>

#include "dose_report/dose_report_document.h"
#include "dose_report/dose_report_window.h"
#include "engine/calculation_driver.h"
#include "engine/text_rules.h"
#include "report/qt_text.h"
#include "ui/interface_language.h"

namespace korvex {
namespace {

const QColor kReasonColour(0xB0, 0x00, 0x20);
const QColor kNoteColour(0x8A, 0x5A, 0x00);
constexpr int kDistanceColumn = 10;
constexpr int kNotesColumn = 12;

// A number of the report, or a dash where the report gives none.
QString Number(const std::optional<double>& value, const char* pattern) {
    return value ? ToQString(FormatNumber(*value, pattern)) : QStringLiteral("―");
}

// "10:15:00" of "20240115101500.000"; the value as given when it is no date and time.
QString TimeOf(const std::string& date_time) {
    if (date_time.size() >= 14) {
        return ToQString(date_time.substr(8, 2) + ":" + date_time.substr(10, 2) + ":" +
                         date_time.substr(12, 2));
    }
    return ToQString(date_time);
}

QTableWidgetItem* Cell(const QString& text, bool right = false) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (right) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return item;
}

// An event's notes: how many, the first one, and all of them with the values as read in
// the tooltip.
QTableWidgetItem* NotesCell(const std::vector<EventNote>& notes) {
    if (notes.empty()) {
        return Cell(QString());
    }
    QStringList lines;
    for (const EventNote& note : notes) {
        lines << QCoreApplication::translate("korvex::DoseReportWindow", "・") +
                     ToQString(note.text.In(InterfaceLanguage())) +
                     (note.value.empty()
                          ? ""
                          : QCoreApplication::translate("korvex::DoseReportWindow", "（") +
                                ToQString(note.value) +
                                QCoreApplication::translate("korvex::DoseReportWindow", "）"));
    }
    QTableWidgetItem* cell =
        Cell(QString(QCoreApplication::translate("korvex::DoseReportWindow", "%1 件: %2"))
                 .arg(notes.size())
                 .arg(ToQString(notes.front().text.In(InterfaceLanguage()))));
    cell->setForeground(kNoteColour);
    cell->setToolTip(lines.join("\n"));
    return cell;
}

// The event's focus-skin distance and where it comes from.
QTableWidgetItem* DistanceCell(const EventCalculation& e) {
    if (e.status != EventStatus::Calculated) {
        return Cell(QString());
    }
    QTableWidgetItem* cell =
        Cell(ToQString(FormatNumber(e.focus_skin_distance_cm, "##0.0") + " " +
                       DistanceSourceLabel(e.distance_source, InterfaceIsJapanese())),
             true);
    const QString why =
        e.distance_source == DistanceSource::Geometry
            ? QCoreApplication::translate("korvex::DoseReportWindow",
                                          "中心線が患者モデルの皮膚に当たる点までの距離")
        : e.distance_source == DistanceSource::User
            ? QCoreApplication::translate("korvex::DoseReportWindow",
                                          "全イベント共通に指定した距離")
            : QCoreApplication::translate("korvex::DoseReportWindow",
                                          "照射の幾何がないため患者照射基準点までの距離");
    QString tip = why;
    tip += e.through_couch
               ? QCoreApplication::translate("korvex::DoseReportWindow", "。天板を通る照射")
               : QCoreApplication::translate("korvex::DoseReportWindow",
                                             "。天板を通らない照射（天板なしで計算）");
    if (!e.on_map) {
        tip +=
            QCoreApplication::translate("korvex::DoseReportWindow", "\nマップに入っていません: ") +
            ToQString(e.not_on_map.In(InterfaceLanguage()));
    }
    cell->setToolTip(tip);
    return cell;
}

}  // namespace

void DoseReportWindow::ShowEvents() {
    events_->setRowCount(static_cast<int>(result_.events.size()));
    int row = 0;
    for (const EventCalculation& e : result_.events) {
        const IrradiationEvent& event = reports_[e.report_index].events[e.event_index];
        const QString plane = event.plane == AcquisitionPlane::Unknown && !event.plane_text.empty()
                                  ? ToQString(event.plane_text)
                                  : ToQString(PlaneText(event.plane, InterfaceIsJapanese()));
        const QString cells[] = {
            TimeOf(event.date_time),
            CoreText(event.event_type),
            plane,
            Number(e.tube_voltage_kv, "#0.0"),
            Number(e.added_copper_mm, "0.00"),
            Number(e.added_aluminium_mm, "0.00"),
            Number(e.kar_mgy, "###0.00"),
            Number(e.pka_gycm2, "###0.000"),
            Number(e.primary_angle_deg, "#0"),
            Number(e.secondary_angle_deg, "#0"),
            e.group >= 0 ? ToQString(ProjectionText(result_.groups[static_cast<size_t>(e.group)],
                                                    InterfaceIsJapanese()))
                         : QString(),
        };
        for (int column = 0; column < 11; ++column) {
            const int at = column < kDistanceColumn ? column : column + 1;
            events_->setItem(row, at, Cell(cells[column], column >= 3 && column <= 9));
        }
        events_->setItem(row, kDistanceColumn, DistanceCell(e));
        QTableWidgetItem* result = nullptr;
        if (e.status == EventStatus::Calculated) {
            result = Cell(ToQString(e.displays[kSkinDoseDisplay].value_or("")), true);
        } else {
            result = Cell(ToQString(e.reason.In(InterfaceLanguage())));
            result->setForeground(kReasonColour);
            result->setToolTip(ToQString(e.reason.In(InterfaceLanguage())));
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
        groups_->setItem(row, 1, Cell(ToQString(PlaneText(group.plane, InterfaceIsJapanese()))));
        groups_->setItem(row, 2, Cell(ToQString(ProjectionText(group, InterfaceIsJapanese()))));
        groups_->setItem(row, 3, Cell(QString::number(group.events.size()), true));
        groups_->setItem(row, 4, Cell(ToQString(FormatNumber(group.kar_mgy, "###0.0")), true));
        groups_->setItem(row, 5, Cell(ToQString(FormatNumber(group.pka_gycm2, "###0.00")), true));
        groups_->setItem(row, 6,
                         Cell(ToQString(FormatNumber(group.skin_dose_mgy, "####0.0")), true));
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

}  // namespace korvex
