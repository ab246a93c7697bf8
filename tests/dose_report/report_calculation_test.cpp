#include "dose_report/report_calculation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "dose_report/dose_report_reader.h"
#include "dose_report/group_result_row.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "engine/text_rules.h"
#include "exposure/exposure_form.h"
#include "results/add_result_row.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex {
namespace {

class ReportCalculationTest : public ::testing::Test {
  protected:
    ReportCalculationTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
    }

    DoseReport Read(const std::string& name, const fixtures::FixtureReport& report) {
        const std::filesystem::path path = folder_.path() / (name + ".dcm");
        fixtures::WriteDoseReportFile(path, report);
        return ReadDoseReport(path);
    }

    ReportCalculation Calculate(const std::vector<DoseReport>& reports, const std::string& fsd = "",
                                const DoseThresholds& t = {}) {
        EngineState state(LoadReferenceTables(folder_.path()), folder_.path());
        return CalculateDoseReports(state, reports, {"room1.kvx2", fsd}, t);
    }

    // The event as one exposure on a state of its own, with a device whose added filters
    // are those the event used: what the main window or the command line would give.
    // The event's own distance, and a couch only where its central ray crosses the table.
    void ExpectSameAsOneExposure(const EventCalculation& event) {
        std::vector<std::string> lines = fixtures::TypicalDeviceLines();
        lines[4] = ShortestNumberText(*event.added_aluminium_mm);
        lines[5] = ShortestNumberText(*event.added_copper_mm);
        if (!event.through_couch) {
            lines[10] = "1.000";  // couch transmission
            lines[11] = "0.000";  // its phantom-equivalent thickness
        }
        const std::string fsd = ShortestNumberText(event.focus_skin_distance_cm);
        fixtures::WriteCp932Lines(folder_.path() / "event.kvx2", lines);
        EngineState state(LoadReferenceTables(folder_.path()), folder_.path());
        ExposureForm form(state);
        form.ChooseDevice("event.kvx2");
        form.Enter(ExposureField::TubeVoltage, ShortestNumberText(*event.tube_voltage_kv));
        form.Enter(ExposureField::Kar, ShortestNumberText(*event.kar_mgy));
        form.Enter(ExposureField::Pka, ShortestNumberText(*event.pka_gycm2));
        form.Enter(ExposureField::FocusSkinDistance, fsd);
        ASSERT_TRUE(form.ChooseShape(FieldShapeKind::Square));
        const CalculationOutcome outcome = form.Calculate();
        ASSERT_EQ(outcome.result, CalculationOutcome::Result::Succeeded) << outcome.reason;
        EXPECT_EQ(event.calc.SkinDose, state.calc.SkinDose);
        EXPECT_EQ(event.calc.DoseToKermaRatio, state.calc.DoseToKermaRatio);
        EXPECT_EQ(event.displays, outcome.displays);
        EXPECT_EQ(event.field_size_text, form.FieldSizeText());
    }

    fixtures::TempFolder folder_;
};

std::vector<EventStatus> Statuses(const ReportCalculation& result) {
    std::vector<EventStatus> statuses;
    for (const EventCalculation& event : result.events) {
        statuses.push_back(event.status);
    }
    return statuses;
}

constexpr EventStatus kCalc = EventStatus::Calculated;
constexpr EventStatus kNot = EventStatus::NotCalculated;

TEST_F(ReportCalculationTest, EachEventIsTheExposureOfItsOwnInputs) {
    const ReportCalculation standard = Calculate({Read("standard", fixtures::StandardReport())});
    ASSERT_EQ(Statuses(standard), (std::vector<EventStatus>{kCalc, kCalc, kCalc}));
    const EventCalculation& first = standard.events[0];
    EXPECT_EQ(first.tube_voltage_kv, 80);
    EXPECT_EQ(first.kar_mgy, 10);
    EXPECT_EQ(first.pka_gycm2, 1);
    EXPECT_EQ(first.added_copper_mm, 0.2);
    EXPECT_EQ(first.added_aluminium_mm, 1.0);
    EXPECT_TRUE(first.filters_from_event);
    // LAO 30 CRA 10 from 100 cm onto the adult trunk centred at the isocentre: the skin
    // lies further than the 10 cm of the trunk's half depth, nearer than the reference point.
    EXPECT_EQ(first.distance_source, DistanceSource::Geometry);
    EXPECT_GT(first.focus_skin_distance_cm, 85);
    EXPECT_LT(first.focus_skin_distance_cm, 90);
    EXPECT_TRUE(first.through_couch);
    EXPECT_EQ(standard.fsd_text, "85");
    EXPECT_EQ(first.field_size_text, "10.00");
    EXPECT_EQ(standard.events[2].added_aluminium_mm, 0.0);  // copper only: no aluminium
    for (const EventCalculation& event : standard.events) {
        ExpectSameAsOneExposure(event);
    }

    // Without filter containers the device's added filters count.
    const ReportCalculation none = Calculate({Read("none", fixtures::NoFilterReport())}, "70");
    ASSERT_EQ(Statuses(none), (std::vector<EventStatus>{kCalc, kCalc}));
    EXPECT_EQ(none.events[0].added_aluminium_mm, 1.0);
    EXPECT_EQ(none.events[0].added_copper_mm, 0.1);
    EXPECT_FALSE(none.events[0].filters_from_event);
    EXPECT_EQ(none.events[0].focus_skin_distance_cm, 70);
    EXPECT_EQ(none.events[0].distance_source, DistanceSource::User);
    ExpectSameAsOneExposure(none.events[1]);

    const ReportCalculation range = Calculate({Read("range", fixtures::FilterRangeReport())});
    EXPECT_DOUBLE_EQ(*range.events[0].added_copper_mm, 0.2);
    EXPECT_DOUBLE_EQ(*range.events[0].added_aluminium_mm, 1.0);
    ExpectSameAsOneExposure(range.events[0]);

    // Later events of a long report do not depend on what the earlier ones left behind.
    const ReportCalculation hundred =
        Calculate({Read("hundred", fixtures::HundredEventBiplaneReport())});
    ASSERT_EQ(hundred.summary.calculated, 100);
    for (size_t i = 0; i < hundred.events.size(); i += 33) {
        SCOPED_TRACE(i);
        ExpectSameAsOneExposure(hundred.events[i]);
    }
}

// The codes of an event's notes, in order.
std::vector<std::string> Codes(const EventCalculation& event) {
    std::vector<std::string> codes;
    for (const EventNote& note : event.notes) {
        codes.push_back(note.code);
    }
    return codes;
}

using Strings = std::vector<std::string>;

TEST_F(ReportCalculationTest, RealEventsOnceRefusedAreCalculated) {
    // A filter container of the type "No filter" stands for no added filter; alone it
    // leaves the event without one, beside a copper filter it adds nothing.
    const ReportCalculation none = Calculate({Read("none", fixtures::NoFilterTypeReport())});
    ASSERT_EQ(Statuses(none), (std::vector<EventStatus>{kCalc, kCalc}));
    EXPECT_EQ(*none.events[0].added_copper_mm, 0);
    EXPECT_EQ(*none.events[0].added_aluminium_mm, 0);
    EXPECT_EQ(*none.events[1].added_copper_mm, 0.3);
    EXPECT_EQ(Codes(none.events[0]), Strings{"no-filter"});
    ExpectSameAsOneExposure(none.events[0]);

    // Fields of 0.3, 0.5 and 0.9 cm at the reference point, by both models.
    const DoseReport small = Read("small", fixtures::SmallFieldReport());
    for (const DoseModel model : kDoseModels) {
        EngineState state(LoadReferenceTables(folder_.path()), folder_.path());
        const ReportCalculation result =
            CalculateDoseReports(state, {small}, {"room1.kvx2", "", model}, {});
        ASSERT_EQ(Statuses(result), (std::vector<EventStatus>{kCalc, kCalc, kCalc}))
            << result.events[0].reason.japanese << result.events[0].detail;
        EXPECT_EQ(result.events[0].field_size_text, "0.30");
        EXPECT_EQ(result.events[1].field_size_text, "0.50");
        EXPECT_EQ(result.events[2].field_size_text, "0.90");
        EXPECT_LT(result.events[0].calc.SkinDose, result.events[2].calc.SkinDose);
    }
}

TEST_F(ReportCalculationTest, EveryNoteSaysWhatWasReadAndWhatWasDone) {
    const ReportCalculation real = Calculate({Read("real", fixtures::RealWorldNotesReport())});
    ASSERT_EQ(real.events.size(), 7u);
    const auto& e = real.events;
    // "°" and "rad" are angles in other units, read and converted; "gon" is not known, so
    // the event is of unknown projection, and says so.
    EXPECT_EQ(Codes(e[0]), (Strings{"unit-converted", "unit-converted"}));
    EXPECT_EQ(e[0].notes[0].value, "30 °");
    EXPECT_EQ(*e[0].primary_angle_deg, 30);
    EXPECT_NEAR(*e[1].primary_angle_deg, 28.6479, 1e-4);
    EXPECT_EQ(Codes(e[6]), Strings{"value-not-used"});
    EXPECT_EQ(e[6].notes[0].value, "30 gon");
    EXPECT_EQ(e[6].notes[0].text.japanese,
              "第一角度: 単位「gon」は使えません（使いません。投影は「角度不明」に入ります）");
    EXPECT_EQ(real.groups[static_cast<size_t>(e[6].group)].label, "角度不明");
    // A per-pulse list, the distances missing, a plane not known, an angle missing.
    EXPECT_EQ(Codes(e[2]), Strings{"kv-mean"});
    EXPECT_EQ(e[2].notes[0].value, "70\\72\\0\\74 kV");
    EXPECT_EQ(*e[2].tube_voltage_kv, 72);
    EXPECT_EQ(Codes(e[3]), (Strings{"distance-missing", "distance-missing"}));
    EXPECT_EQ(e[3].status, kCalc);
    EXPECT_EQ(Codes(e[4]), Strings{"plane-unknown"});
    EXPECT_EQ(e[4].notes[0].value, "Lateral tube");
    EXPECT_EQ(Codes(e[5]), Strings{"angle-missing"});
    EXPECT_EQ(e[5].status, kNot);
    EXPECT_EQ(real.summary.event_notes, 9);
    EXPECT_EQ(real.summary.events_with_notes, 7);

    // Defaults assumed, ranges, other units, several items, filters at 0 mm, duplicates.
    const ReportCalculation device = Calculate({Read("device", fixtures::NoFilterReport())});
    EXPECT_EQ(Codes(device.events[0]), Strings{"filters-from-device"});
    EXPECT_NE(device.events[0].notes[0].text.japanese.find("Al 1 mm、Cu 0.1 mm"), std::string::npos)
        << device.events[0].notes[0].text.japanese;
    const ReportCalculation range = Calculate({Read("range", fixtures::FilterRangeReport())});
    EXPECT_EQ(Codes(range.events[0]), (Strings{"filter-range", "filter-range"}));
    EXPECT_EQ(range.events[0].notes[0].value, "0.1 mm – 0.3 mm");
    const ReportCalculation units = Calculate({Read("units", fixtures::UnitsReport())});
    EXPECT_EQ(Codes(units.events[0]), (Strings{"unit-converted", "unit-converted"}));
    EXPECT_EQ(units.events[0].notes[0].value, "10 mGy");
    EXPECT_EQ(Codes(units.events[6]), Strings{"value-not-used"});
    const ReportCalculation other = Calculate({Read("other", fixtures::OtherMaterialReport())});
    EXPECT_EQ(Codes(other.events[0]), Strings{"filter-zero"});
    const ReportCalculation zero = Calculate({Read("zero", fixtures::ZeroValuesReport())});
    EXPECT_EQ(Codes(zero.events[4]), Strings{"kv-mean"});
    // A standard report says nothing.
    const ReportCalculation standard = Calculate({Read("standard", fixtures::StandardReport())});
    EXPECT_EQ(standard.summary.event_notes, 0);

    // Every note in both languages, and no Japanese in the English text.
    for (const ReportCalculation* result : {&real, &device, &range, &units, &other, &zero}) {
        for (const EventCalculation& event : result->events) {
            for (const EventNote& note : event.notes) {
                EXPECT_FALSE(note.text.japanese.empty()) << note.code;
                EXPECT_FALSE(note.text.english.empty()) << note.code;
                for (const unsigned char byte : note.text.english) {
                    EXPECT_LT(byte, 0xE3) << note.text.english;  // no kana or kanji
                }
            }
        }
    }
}

TEST_F(ReportCalculationTest, EventsThatCannotBeCalculatedSayWhyAndCountAsNotIncluded) {
    const ReportCalculation empty = Calculate({Read("empty", fixtures::EmptyValuesReport())});
    ASSERT_EQ(Statuses(empty), (std::vector<EventStatus>{kNot, kNot, kNot, kCalc, kNot}));
    EXPECT_EQ(empty.events[0].reason.japanese, "Ka,r（線量(RP)）: 値が空です（Value unknown）");
    EXPECT_EQ(empty.events[1].reason.japanese, "P_KA（面積線量）: 値が空です");
    EXPECT_EQ(empty.events[2].reason.japanese, "管電圧: 値が空です");
    EXPECT_EQ(empty.summary.kar_not_included_mgy, 20);  // events 2 and 3: 10 mGy each
    EXPECT_EQ(empty.summary.pka_not_included_gycm2, 3);
    EXPECT_EQ(empty.summary.not_included_without_kar, 2);
    EXPECT_EQ(empty.summary.not_included_without_pka, 1);
    EXPECT_EQ(empty.summary.kar_calculated_mgy, 10);

    const ReportCalculation zero = Calculate({Read("zero", fixtures::ZeroValuesReport())});
    ASSERT_EQ(Statuses(zero), (std::vector<EventStatus>{kNot, kNot, kNot, kCalc, kCalc}));
    EXPECT_EQ(zero.events[0].reason.japanese, "Ka,r（線量(RP)）が 0 です");
    EXPECT_EQ(zero.events[1].reason.japanese, "P_KA（面積線量）が 0 です");
    EXPECT_EQ(zero.events[2].reason.japanese, "管電圧が 0 です");
    EXPECT_EQ(zero.events[3].tube_voltage_kv, 81);

    const ReportCalculation other = Calculate({Read("other", fixtures::OtherMaterialReport())});
    ASSERT_EQ(Statuses(other), (std::vector<EventStatus>{kCalc, kNot, kNot, kNot}));
    EXPECT_EQ(other.events[0].added_copper_mm, 0.1);  // molybdenum at 0 mm counts nothing
    EXPECT_EQ(other.events[1].reason.japanese,
              "フィルター「Molybdenum or Molybdenum compound」が 0.03 mm あります"
              "（銅とアルミ以外は計算に入れられません）");
    EXPECT_EQ(
        other.events[2].reason.japanese,
        "材質の書かれていないフィルターが 0.1 mm あります（銅とアルミ以外は計算に入れられません）");
    EXPECT_EQ(other.events[3].reason.japanese, "銅フィルターの厚さがありません");
    EXPECT_EQ(other.events[3].reason.english, "thickness of the copper filter is missing");

    const ReportCalculation units = Calculate({Read("units", fixtures::UnitsReport())});
    ASSERT_EQ(Statuses(units),
              (std::vector<EventStatus>{kCalc, kCalc, kCalc, kCalc, kCalc, kCalc, kNot, kNot}));
    for (size_t i = 1; i < 6; ++i) {
        EXPECT_EQ(units.events[i].calc.SkinDose, units.events[0].calc.SkinDose) << i;
    }
    EXPECT_EQ(units.events[6].reason.japanese, "Ka,r（線量(RP)）: 単位「R」は使えません");
    EXPECT_EQ(units.events[7].reason.japanese, "P_KA（面積線量）: 単位「Gy*cm2」は使えません");

    // What the engine refuses (a tube voltage beyond its grid): the user reads the program's
    // own message, the engine's words are the detail, for the log and JSON.
    fixtures::FixtureReport high = fixtures::StandardReport();
    high.events[0].kvp = {{"150", "kV"}};
    const ReportCalculation refused = Calculate({Read("high", high)});
    ASSERT_EQ(refused.events[0].status, kNot);
    EXPECT_EQ(refused.events[0].reason.japanese,
              "計算できません（???  正しく計算できませんでした  ???）");
    EXPECT_EQ(refused.events[0].reason.english, "cannot be calculated (the calculation failed)");
    EXPECT_NE(refused.events[0].detail.find("kernel energy"), std::string::npos)
        << refused.events[0].detail;
    EXPECT_EQ(refused.summary.kar_not_included_mgy, 10);
}

TEST_F(ReportCalculationTest, TheSameEventInTwoReportsCountsOnce) {
    const DoseReport first = Read("first", fixtures::StandardReport());
    fixtures::FixtureReport later = fixtures::StandardReport();
    later.events.push_back(fixtures::NumberedEvent(3));
    const ReportCalculation result = Calculate({first, Read("second", later)});
    EXPECT_EQ(result.summary.calculated, 4);
    EXPECT_EQ(result.summary.duplicates, 3);
    EXPECT_EQ(result.summary.kar_calculated_mgy, 45);
    // In time order each duplicate stands right after the event it repeats.
    ASSERT_EQ(result.events.size(), 7u);
    EXPECT_EQ(result.events[1].status, EventStatus::Duplicate);
    EXPECT_EQ(result.events[1].reason.japanese,
              "「first.dcm」のイベント 1 と同じ UID です（1 回だけ数えます）");
    EXPECT_EQ(result.events[1].report_index, 1u);
    ASSERT_EQ(result.groups.size(), 3u);  // LAO 30 CRA 10 (two events), RAO 30 CAU 20, AP
    EXPECT_EQ(result.groups[0].events.size(), 2u);
}

// The notes travel with their event: through the time order, beside a duplicate of it in a
// second report, and through a second calculation of the same reports.
TEST_F(ReportCalculationTest, NotesStayWithTheirEventOnceEach) {
    fixtures::FixtureReport reversed = fixtures::RealWorldNotesReport();
    const size_t count = reversed.events.size();
    for (size_t i = 0; i < count / 2; ++i) {
        std::swap(reversed.events[i].date_time, reversed.events[count - 1 - i].date_time);
    }
    fixtures::FixtureReport repeat = fixtures::StandardReport();
    repeat.events = {reversed.events[6]};  // the "gon" event again, under its own UID
    const std::vector<DoseReport> reports = {Read("reversed", reversed), Read("repeat", repeat)};
    const ReportCalculation result = Calculate(reports);
    ASSERT_EQ(result.events.size(), 8u);

    // The last event read comes first in time and keeps its own note, then its duplicate.
    EXPECT_EQ(result.events[0].event_index, 6u);
    EXPECT_EQ(Codes(result.events[0]), Strings{"value-not-used"});
    EXPECT_EQ(result.events[1].report_index, 1u);
    EXPECT_EQ(Codes(result.events[1]), (Strings{"value-not-used", "duplicate"}));
    int notes = 0;
    for (const EventCalculation& event : result.events) {
        const IrradiationEvent& read = reports[event.report_index].events[event.event_index];
        SCOPED_TRACE(read.number);
        // The reader's notes first, in order, then those of the calculation.
        ASSERT_GE(event.notes.size(), read.notes.size());
        EXPECT_TRUE(std::equal(read.notes.begin(), read.notes.end(), event.notes.begin()));
        EXPECT_EQ(event.tube_voltage_kv, read.tube_voltage_kv.value);
        const auto duplicates =
            std::count_if(event.notes.begin(), event.notes.end(),
                          [](const EventNote& n) { return n.code == "duplicate"; });
        EXPECT_EQ(duplicates, event.status == EventStatus::Duplicate ? 1 : 0);
        notes += static_cast<int>(event.notes.size());
    }
    EXPECT_EQ(result.summary.event_notes, notes);
    EXPECT_EQ(result.summary.event_notes, 11);  // 9 of the report, the copy's two
    EXPECT_EQ(result.summary.events_with_notes, 8);

    const ReportCalculation again = Calculate(reports);
    for (size_t i = 0; i < result.events.size(); ++i) {
        EXPECT_EQ(again.events[i].notes, result.events[i].notes) << i;
    }
    EXPECT_EQ(again.summary.event_notes, result.summary.event_notes);
}

EventCalculation HandMade(AcquisitionPlane plane, std::optional<double> primary,
                          std::optional<double> secondary, double skin_dose) {
    EventCalculation event;
    event.status = EventStatus::Calculated;
    event.plane = plane;
    event.primary_angle_deg = primary;
    event.secondary_angle_deg = secondary;
    event.calc.DisplayedKar = 2 * skin_dose;
    event.calc.DisplayedPka = skin_dose / 10;
    event.calc.SkinDose = skin_dose;
    return event;
}

TEST(ProjectionGroupsTest, LabelsAsCardiologistsReadThem) {
    EXPECT_EQ(ProjectionLabel(30, 10), "LAO 30 CRA 10");
    EXPECT_EQ(ProjectionLabel(-29.6, -20.4), "RAO 30 CAU 20");
    EXPECT_EQ(ProjectionLabel(0, 25), "CRA 25");
    EXPECT_EQ(ProjectionLabel(-90, 0), "RAO 90");
    EXPECT_EQ(ProjectionLabel(0.4, -0.4), "AP");
    EXPECT_EQ(ProjectionLabel(0.5, 0), "LAO 1");
    EXPECT_EQ(ProjectionLabel(std::nullopt, 10), "角度不明");
    EXPECT_EQ(ProjectionLabel(std::nullopt, std::nullopt), "角度不明");
}

TEST(ProjectionGroupsTest, EventsJoinTheFirstGroupWithinTenDegreesOfItsFirstEvent) {
    using P = AcquisitionPlane;
    std::vector<EventCalculation> events = {
        HandMade(P::A, 30, 10, 100),         // group 0 "LAO 30 CRA 10"
        HandMade(P::A, 38, 2, 50),           // within 10 of the first event: group 0
        HandMade(P::A, 41, 10, 20),          // 11 from 30: group 1 "LAO 41 CRA 10"
        HandMade(P::A, 31, 1, 5),            // 40 and 20 are the first of groups 0 and 1: group 0
        HandMade(P::B, 30, 10, 7),           // same angles on the other plane: group 2
        HandMade(P::A, -30, -20, 9),         // group 3
        HandMade(P::A, std::nullopt, 0, 3),  // group 4 "角度不明"
        HandMade(P::A, 20, 20, 1),           // exactly 10 from group 0's first event: group 0
        HandMade(P::A, 0.2, -0.3, 4),        // group 5 "AP"
        HandMade(P::A, std::nullopt, std::nullopt, 2),  // group 4
    };
    events[2].status = EventStatus::Calculated;
    EventCalculation skipped = HandMade(P::A, 30, 10, 1000);
    skipped.status = EventStatus::NotCalculated;
    events.insert(events.begin() + 1, skipped);
    const std::vector<ProjectionGroup> groups = GroupProjections(events);
    ASSERT_EQ(groups.size(), 6u);
    EXPECT_EQ(groups[0].label, "LAO 30 CRA 10");
    EXPECT_EQ(groups[0].events, (std::vector<size_t>{0, 2, 4, 8}));
    EXPECT_DOUBLE_EQ(groups[0].skin_dose_mgy, 156);
    EXPECT_DOUBLE_EQ(groups[0].kar_mgy, 312);
    EXPECT_DOUBLE_EQ(groups[0].pka_gycm2, 15.6);
    EXPECT_EQ(groups[1].label, "LAO 41 CRA 10");
    EXPECT_EQ(groups[2].label, "LAO 30 CRA 10");
    EXPECT_EQ(groups[2].plane, P::B);
    EXPECT_EQ(groups[3].label, "RAO 30 CAU 20");
    EXPECT_EQ(groups[4].label, "角度不明");
    EXPECT_EQ(groups[4].events, (std::vector<size_t>{7, 10}));
    EXPECT_EQ(groups[5].label, "AP");
    EXPECT_EQ(events[1].group, -1);
    EXPECT_EQ(events[8].group, 0);
}

TEST_F(ReportCalculationTest, SummaryBesideTheReportsOwnTotalsWithItsFlags) {
    const ReportCalculation standard = Calculate({Read("standard", fixtures::StandardReport())});
    const ReportSummary& s = standard.summary;
    ASSERT_EQ(standard.groups.size(), 2u);  // LAO 30 CRA 10 (two events), RAO 30 CAU 20
    EXPECT_EQ(s.peak_group, 0);
    EXPECT_EQ(s.peak_skin_dose_mgy, standard.groups[0].skin_dose_mgy);
    EXPECT_DOUBLE_EQ(s.skin_dose_sum_mgy,
                     standard.groups[0].skin_dose_mgy + standard.groups[1].skin_dose_mgy);
    EXPECT_DOUBLE_EQ(s.kar_calculated_mgy, 35);
    EXPECT_DOUBLE_EQ(*s.report_kar_mgy, 35);
    EXPECT_DOUBLE_EQ(s.pka_calculated_gycm2, 3);
    EXPECT_DOUBLE_EQ(*s.report_pka_gycm2, 3);
    ASSERT_EQ(s.flags.size(), 4u);
    for (const DoseFlag& flag : s.flags) {
        EXPECT_FALSE(flag.raised) << flag.name.english;
    }
    EXPECT_EQ(s.flags[0].threshold, 3);
    EXPECT_NE(s.flags[0].source.japanese.find("NCRP Report No. 168"), std::string::npos);
    EXPECT_NE(s.flags[3].source.japanese.find("ICRP Publication 85"), std::string::npos);
    EXPECT_NE(s.flags[0].source.english.find("NCRP Report No. 168"), std::string::npos);
    EXPECT_NE(s.flags[3].source.english.find("ICRP Publication 85"), std::string::npos);

    // Levels from the settings; the report's own total counts when it is the larger.
    const DoseThresholds low{s.peak_skin_dose_mgy / 1000, 0.035, 3.5, 1e6};
    const ReportSummary flagged =
        Calculate({Read("again", fixtures::StandardReport())}, "", low).summary;
    EXPECT_TRUE(flagged.flags[0].raised);
    EXPECT_TRUE(flagged.flags[1].raised);   // 35 mGy >= 0.035 Gy
    EXPECT_FALSE(flagged.flags[2].raised);  // 3 < 3.5 Gy cm2
    EXPECT_FALSE(flagged.flags[3].raised);

    const ReportCalculation biplane =
        Calculate({Read("hundred", fixtures::HundredEventBiplaneReport())});
    ASSERT_EQ(biplane.summary.planes.size(), 2u);
    for (const PlaneCrossCheck& plane : biplane.summary.planes) {
        EXPECT_NEAR(plane.kar_mgy, *plane.report_kar_mgy, 1e-9 * plane.kar_mgy)
            << PlaneLabel(plane.plane);
        EXPECT_NEAR(plane.pka_gycm2, *plane.report_pka_gycm2, 1e-9 * plane.pka_gycm2)
            << PlaneLabel(plane.plane);
    }
    EXPECT_EQ(biplane.groups.size(), 5u);
}

TEST_F(ReportCalculationTest, DeviceAndDistanceThatCannotBeUsedStopTheWholeReport) {
    const DoseReport report = Read("standard", fixtures::StandardReport());
    EngineState state(LoadReferenceTables(folder_.path()), folder_.path());
    EXPECT_THROW(CalculateDoseReports(state, {report}, {"absent.kvx2", ""}, {}), FileError);
    EXPECT_THROW(CalculateDoseReports(state, {report}, {"room1.kvx2", "abc"}, {}),
                 ReportOptionError);
    EXPECT_THROW(CalculateDoseReports(state, {report}, {"room1.kvx2", "-5"}, {}),
                 ReportOptionError);
    const ReportCalculation nothing = CalculateDoseReports(
        state, {Read("none", fixtures::NoEventsReport())}, {"room1.kvx2", ""}, {});
    EXPECT_TRUE(nothing.events.empty());
    EXPECT_TRUE(nothing.groups.empty());
    EXPECT_EQ(nothing.summary.peak_skin_dose_mgy, 0);
    EXPECT_EQ(nothing.summary.report_kar_mgy, 0.0);
}

// A group's row: what the results table shows for all its events together.
TEST_F(ReportCalculationTest, GroupRowHoldsKarWeightedMeansAndSums) {
    const ReportCalculation result = Calculate({Read("standard", fixtures::StandardReport())});
    ASSERT_EQ(result.groups[0].events.size(), 2u);
    const CalculationCase& a = result.events[0].calc;  // 10 mGy at 80 kV, 0.2 mm Cu
    const CalculationCase& b = result.events[1].calc;  // 20 mGy at 90 kV, 0.1 mm Cu
    const ResultRow row = GroupResultRow(result, 0);
    using C = ResultColumn;
    EXPECT_EQ(row[C::Site].Text(), "LAO 30 CRA 10");
    EXPECT_EQ(row[C::Kv].Text(), "87");  // (10 x 80 + 20 x 90) / 30 = 86.7
    EXPECT_EQ(row[C::FilterInherent].Text(), "2.50");
    EXPECT_EQ(row[C::FilterAluminium].Text(), "1.00");
    EXPECT_EQ(row[C::FilterCopper].Text(), "0.13");  // (10 x 0.2 + 20 x 0.1) / 30
    EXPECT_EQ(row[C::FilterOther].Text(), "-");
    // Each event at its own distance: the Ka,r-weighted mean.
    EXPECT_NE(a.FocusSkinDistance, b.FocusSkinDistance);
    EXPECT_EQ(row[C::Fsd].Text(), FormatResultRow([&] {
                                      CalculationCase mean = a;
                                      mean.FocusSkinDistance =
                                          (10 * a.FocusSkinDistance + 20 * b.FocusSkinDistance) /
                                          30;
                                      return mean;
                                  }())[C::Fsd]
                                      .Text());
    EXPECT_EQ(row[C::Field].Text(), "---");
    EXPECT_EQ(row[C::KarShown].Text(), "30.0");
    EXPECT_EQ(row[C::PkaShown].Text(), "02.5");
    EXPECT_EQ(row[C::KarCorrected].Text(),
              FormatNumber(a.CorrectedKar + b.CorrectedKar, "###00.0"));
    EXPECT_EQ(row[C::DoseRatio].Text(),
              FormatNumber((10 * a.DoseToKermaRatio + 20 * b.DoseToKermaRatio) / 30, "0.000"));
    EXPECT_EQ(row[C::ScatterFactor].Text(),
              FormatNumber((10 * a.ForwardBackscatterFactor + 20 * b.ForwardBackscatterFactor) / 30,
                           "0.000"));
    EXPECT_EQ(row[C::EntranceDose].Text(), FormatNumber(a.SkinDose + b.SkinDose, "###0.0"));
    EXPECT_THROW(GroupResultRow(result, 5), std::out_of_range);
}

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(DoseThresholdsTest, MadeWithDefaultsReadBackAndBrokenFilesKept) {
    fixtures::TempFolder folder;
    const LoadedThresholds made = LoadDoseThresholds(folder.path());
    EXPECT_EQ(made.thresholds, DoseThresholds{});
    EXPECT_TRUE(made.problem.empty());
    const std::string bytes = FileBytes(folder.path() / kDoseThresholdsFile);
    EXPECT_NE(bytes.find("PeakSkinDoseFollowUp_Gy,3\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("TotalPkaFollowUp_Gycm2,500\r\n"), std::string::npos);

    fixtures::WriteCp932Lines(
        folder.path() / kDoseThresholdsFile,
        {"# 施設の基準", "TotalKarFollowUp_Gy, 4", "", "PeakSkinDoseErythema_Gy,1.5"});
    const LoadedThresholds edited = LoadDoseThresholds(folder.path());
    EXPECT_TRUE(edited.problem.empty()) << edited.problem;
    EXPECT_EQ(edited.thresholds.total_kar_follow_up_gy, 4);
    EXPECT_EQ(edited.thresholds.peak_skin_dose_erythema_gy, 1.5);
    EXPECT_EQ(edited.thresholds.peak_skin_dose_follow_up_gy, 3);

    for (const char* broken : {"TotalKarFollowUp_Gy,-1", "Unknown_Gy,2", "no comma"}) {
        fixtures::WriteCp932Lines(folder.path() / kDoseThresholdsFile, {"# x", broken});
        const LoadedThresholds loaded = LoadDoseThresholds(folder.path());
        EXPECT_EQ(loaded.thresholds, DoseThresholds{}) << broken;
        EXPECT_EQ(loaded.problem.rfind("ファイル「DoseReportThresholds.txt」の 2 行目: ", 0), 0u)
            << loaded.problem;
        EXPECT_NE(FileBytes(folder.path() / kDoseThresholdsFile).find(broken), std::string::npos);
    }
    const LoadedThresholds unwritable = LoadDoseThresholds(folder.path() / "absent");
    EXPECT_EQ(unwritable.thresholds, DoseThresholds{});
    EXPECT_FALSE(unwritable.problem.empty());
}

}  // namespace
}  // namespace korvex
