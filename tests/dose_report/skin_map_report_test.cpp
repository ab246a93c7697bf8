// The skin-dose map of whole reports: each event's place on the patient model from its
// angles and table positions, its distance and side of the couch, and the map against the
// events' own skin doses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

#include "dose_report/dose_report_reader.h"
#include "dose_report/map_geometry.h"
#include "dose_report/report_calculation.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/reference_tables.h"
#include "engine/text_rules.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"
#include "tests/fixtures/typical_device.h"

namespace korvex {
namespace {

using fixtures::FixtureEvent;
using fixtures::FixtureNumber;
using fixtures::FixtureReport;

// The adult default: the isocentre 44 cm below the top of the head on the trunk's axis,
// the back 10 cm behind it; the typical device puts the focus 100 cm from the isocentre.
constexpr double kIsocentreBelowHeadCm = 44;

FixtureEvent EventAt(int index, const std::string& primary_deg, const std::string& secondary_deg) {
    FixtureEvent event = fixtures::NumberedEvent(index);
    event.primary_angle = FixtureNumber{primary_deg, "deg"};
    event.secondary_angle = FixtureNumber{secondary_deg, "deg"};
    return event;
}

FixtureReport ReportOf(const std::vector<FixtureEvent>& events) {
    FixtureReport report;
    report.events = events;
    return report;
}

class SkinMapReportTest : public ::testing::Test {
  protected:
    SkinMapReportTest() {
        fixtures::WriteSyntheticWorkdir(folder_.path());
        fixtures::WriteTypicalDevice(folder_.path());
    }

    DoseReport Read(const FixtureReport& report) {
        const std::filesystem::path path =
            folder_.path() / ("report" + std::to_string(++written_) + ".dcm");
        fixtures::WriteDoseReportFile(path, report);
        return ReadDoseReport(path);
    }

    ReportCalculation Calculate(const std::vector<FixtureReport>& reports,
                                const std::string& fsd = "",
                                const MapGeometrySettings& geometry = DefaultMapGeometry()) {
        std::vector<DoseReport> read;
        for (const FixtureReport& report : reports) {
            read.push_back(Read(report));
        }
        if (!tables_) {
            tables_ = LoadReferenceTables(folder_.path());  // once: the slow part in Debug
        }
        EngineState state(*tables_, folder_.path());
        ReportOptions options{"room1.kvx2", fsd};
        options.geometry = geometry;
        return CalculateDoseReports(state, read, options, DoseThresholds{});
    }

    fixtures::TempFolder folder_;
    std::optional<ReferenceTables> tables_;
    int written_ = 0;
};

TEST_F(SkinMapReportTest, EventFromBelowPutsItsOwnSkinDoseOnTheBack) {
    const ReportCalculation one = Calculate({ReportOf({EventAt(0, "0", "0")})});
    ASSERT_EQ(one.events.size(), 1u);
    const EventCalculation& event = one.events[0];
    ASSERT_EQ(event.status, EventStatus::Calculated);
    EXPECT_EQ(event.distance_source, DistanceSource::Geometry);
    EXPECT_DOUBLE_EQ(event.focus_skin_distance_cm, 90);  // 100 cm less the 10 cm half depth
    EXPECT_TRUE(event.through_couch);
    EXPECT_TRUE(event.on_map);
    EXPECT_TRUE(event.not_on_map.empty());
    const SkinMapResult& map = one.skin_map;
    ASSERT_TRUE(map.made);
    EXPECT_EQ(map.events_on_map, 1);
    EXPECT_EQ(map.events_not_on_map, 0);
    EXPECT_DOUBLE_EQ(map.largest_event_mgy, event.calc.SkinDose);
    // The cells beside the central ray lie wholly in the 10.6 cm field, their centres half
    // a cell from the ray: the inverse square takes off 3e-5.
    EXPECT_NEAR(map.map.peak.dose_mgy, event.calc.SkinDose, 0.01 * event.calc.SkinDose);
    EXPECT_TRUE(map.map.peak.on_trunk);
    EXPECT_NEAR(map.map.peak.angle_deg, 0, 1e-6);
    EXPECT_NEAR(map.map.peak.below_head_top_cm, kIsocentreBelowHeadCm, 0.5 + 1e-9);

    // The same exposure twice, as two events: twice the dose on the same cells.
    const ReportCalculation two =
        Calculate({ReportOf({EventAt(0, "0", "0"), EventAt(1, "0", "0")})});
    ASSERT_EQ(two.skin_map.events_on_map, 2);
    EXPECT_NEAR(two.skin_map.map.peak.dose_mgy, 2 * map.map.peak.dose_mgy,
                1e-9 * map.map.peak.dose_mgy);
    EXPECT_NEAR(two.summary.peak_skin_dose_mgy, 2 * event.calc.SkinDose,
                1e-9 * event.calc.SkinDose);
}

TEST_F(SkinMapReportTest, OppositeLateralEventsDoNotAddAndMissTheCouch) {
    const ReportCalculation lateral =
        Calculate({ReportOf({EventAt(0, "90", "0"), EventAt(1, "-90", "0")})});
    ASSERT_EQ(lateral.events.size(), 2u);
    double larger = 0;
    for (const EventCalculation& event : lateral.events) {
        ASSERT_EQ(event.status, EventStatus::Calculated);
        // Horizontal central rays never cross the table top below the patient.
        EXPECT_FALSE(event.through_couch);
        EXPECT_EQ(event.distance_source, DistanceSource::Geometry);
        EXPECT_DOUBLE_EQ(event.focus_skin_distance_cm, 80);  // 100 cm less the half width
        EXPECT_TRUE(event.on_map);
        larger = std::max(larger, event.calc.SkinDose);
    }
    const MapPeak& peak = lateral.skin_map.map.peak;
    // The flank's cell nearest the central skin point lies a quarter cell from it: the
    // inverse square there differs from the central one by far less than 1 %.
    EXPECT_NEAR(peak.dose_mgy, larger, 0.01 * larger);
    EXPECT_NEAR(std::abs(peak.angle_deg), 90, 2);
    EXPECT_DOUBLE_EQ(lateral.skin_map.largest_event_mgy, larger);
}

TEST_F(SkinMapReportTest, TableMovementMovesTheSpotAsTheConventionSays) {
    // Two events 100 mm apart on the table's long axis. The second has twice the Ka,r
    // (the same P_KA: a 7.1 cm field at the reference point, 7.5 cm on the skin), so that
    // the peak is its spot, 10 cm clear of the first one's.
    FixtureEvent first = EventAt(0, "0", "0");
    first.table_longitudinal = FixtureNumber{"0", "mm"};
    first.dap = FixtureNumber{"0.00005", "Gy.m2"};
    FixtureEvent second = EventAt(1, "0", "0");
    second.table_longitudinal = FixtureNumber{"100", "mm"};
    second.dose_rp = FixtureNumber{"0.02", "Gy"};
    second.dap = FixtureNumber{"0.0001", "Gy.m2"};
    const FixtureReport moved = ReportOf({first, second});

    // The default: the position grows as the table moves towards the patient's head, so
    // the isocentre, and the spot, move 10 cm towards his feet.
    const ReportCalculation head = Calculate({moved});
    ASSERT_EQ(head.skin_map.events_on_map, 2);
    EXPECT_NEAR(head.skin_map.map.peak.dose_mgy, head.events[1].calc.SkinDose,
                0.01 * head.events[1].calc.SkinDose);
    EXPECT_NEAR(head.skin_map.map.peak.below_head_top_cm, kIsocentreBelowHeadCm + 10, 0.5 + 1e-9);
    const ReportCalculation alone = Calculate({ReportOf({first})});
    EXPECT_NEAR(alone.skin_map.map.peak.below_head_top_cm, kIsocentreBelowHeadCm, 0.5 + 1e-9);

    // A unit whose position grows towards the feet: the spot moves towards the head.
    const MapGeometrySettings feet = ParseMapGeometry("*,*,feet,first,left,first,down,first\r\n");
    const ReportCalculation towards_head = Calculate({moved}, "", feet);
    EXPECT_NEAR(towards_head.skin_map.map.peak.below_head_top_cm, kIsocentreBelowHeadCm - 10,
                0.5 + 1e-9);

    // A zero of 10 cm: the second event stands at the reference point; for the first the
    // table stands 10 cm further towards the feet, so its spot lies 10 cm nearer the head.
    const MapGeometrySettings zero = ParseMapGeometry("*,*,head,10,left,first,down,first\r\n");
    EXPECT_NEAR(Calculate({moved}, "", zero).skin_map.map.peak.below_head_top_cm,
                kIsocentreBelowHeadCm, 0.5 + 1e-9);
    EXPECT_NEAR(Calculate({ReportOf({first})}, "", zero).skin_map.map.peak.below_head_top_cm,
                kIsocentreBelowHeadCm - 10, 0.5 + 1e-9);
}

TEST_F(SkinMapReportTest, EventsWithoutAnglesOrWithTheUsersDistance) {
    FixtureEvent without = fixtures::NumberedEvent(3);
    without.primary_angle.reset();
    without.secondary_angle.reset();
    const ReportCalculation unplaced = Calculate({ReportOf({without})});
    ASSERT_EQ(unplaced.events.size(), 1u);
    const EventCalculation& event = unplaced.events[0];
    ASSERT_EQ(event.status, EventStatus::Calculated);
    EXPECT_EQ(event.distance_source, DistanceSource::ReferencePoint);
    EXPECT_DOUBLE_EQ(event.focus_skin_distance_cm, 85);  // 100 cm less 15 cm
    EXPECT_FALSE(event.on_map);
    EXPECT_FALSE(event.not_on_map.japanese.empty());
    EXPECT_FALSE(event.not_on_map.english.empty());
    EXPECT_FALSE(unplaced.skin_map.made);
    EXPECT_EQ(unplaced.skin_map.events_on_map, 0);
    EXPECT_EQ(unplaced.skin_map.events_not_on_map, 1);
    EXPECT_FALSE(unplaced.skin_map.notes.empty());
    EXPECT_EQ(unplaced.skin_map.map.peak.dose_mgy, 0);

    // The user's one distance for every event, wherever its central ray meets the skin.
    const ReportCalculation user = Calculate(
        {ReportOf({EventAt(0, "0", "0"), EventAt(1, "90", "0"), EventAt(2, "30", "20"), without})},
        "70");
    ASSERT_EQ(user.events.size(), 4u);
    for (const EventCalculation& each : user.events) {
        ASSERT_EQ(each.status, EventStatus::Calculated);
        EXPECT_EQ(each.distance_source, DistanceSource::User);
        EXPECT_DOUBLE_EQ(each.focus_skin_distance_cm, 70);
    }
    EXPECT_EQ(user.skin_map.events_on_map, 3);
}

TEST_F(SkinMapReportTest, PatientSizeFromTheReportWhenPlausible) {
    FixtureReport sized = ReportOf({EventAt(0, "0", "0")});
    sized.patient_size_m = "1.60";
    sized.patient_weight_kg = "50";
    const ReportCalculation small = Calculate({sized});
    const PatientModel& patient = small.skin_map.map.patient;
    EXPECT_DOUBLE_EQ(patient.height_cm, 160);
    EXPECT_DOUBLE_EQ(patient.weight_kg, 50);
    // sqrt((50 / 70) / (160 / 174)) of the default's 20 cm.
    EXPECT_NEAR(patient.trunk_half_width_cm, 20 * std::sqrt((50.0 / 70) / (160.0 / 174)), 1e-9);
    EXPECT_NE(small.skin_map.patient_source.english.find("160 cm"), std::string::npos)
        << small.skin_map.patient_source.english;
    // The back lies nearer the isocentre: the distance grows by the difference of the
    // half depths (rounded to 1 mm).
    EXPECT_NEAR(small.events[0].focus_skin_distance_cm, 100 - patient.trunk_half_depth_cm, 0.05);

    sized.patient_size_m = "16";  // 16 m: a typing error
    const ReportCalculation implausible = Calculate({sized});
    EXPECT_DOUBLE_EQ(implausible.skin_map.map.patient.height_cm, kReferenceHeightCm);
    EXPECT_DOUBLE_EQ(implausible.skin_map.map.patient.trunk_half_width_cm, 20);
    EXPECT_NE(implausible.skin_map.patient_source.english.find("cannot be used"), std::string::npos)
        << implausible.skin_map.patient_source.english;
}

// Random procedures: 3 to 8 events at angles within LAO/RAO 60 and CRA/CAU 30, the table
// moved by up to 50 mm on each axis.
FixtureReport RandomProcedure(std::mt19937& random) {
    std::uniform_int_distribution<int> count(3, 8);
    std::uniform_real_distribution<double> primary(-60, 60);
    std::uniform_real_distribution<double> secondary(-30, 30);
    std::uniform_real_distribution<double> kv(60, 110);
    std::uniform_real_distribution<double> kar_gy(0.005, 0.5);
    std::uniform_real_distribution<double> side_cm(5, 15);  // at the reference point
    std::uniform_real_distribution<double> table_mm(-50, 50);
    std::vector<FixtureEvent> events;
    const int n = count(random);
    for (int i = 0; i < n; ++i) {
        FixtureEvent event = EventAt(i, ShortestNumberText(std::round(primary(random))),
                                     ShortestNumberText(std::round(secondary(random))));
        event.kvp = {FixtureNumber{ShortestNumberText(std::round(kv(random))), "kV"}};
        const double kar = std::round(kar_gy(random) * 1e4) / 1e4;
        const double side = side_cm(random);
        event.dose_rp = FixtureNumber{ShortestNumberText(kar), "Gy"};
        // P_KA = Ka,r * side^2: Gy * cm^2 / 1e4 in Gy.m2.
        event.dap = FixtureNumber{ShortestNumberText(kar * side * side / 1e4), "Gy.m2"};
        event.table_longitudinal =
            FixtureNumber{ShortestNumberText(std::round(table_mm(random))), "mm"};
        event.table_lateral = FixtureNumber{ShortestNumberText(std::round(table_mm(random))), "mm"};
        event.table_height = FixtureNumber{ShortestNumberText(std::round(table_mm(random))), "mm"};
        events.push_back(event);
    }
    return ReportOf(events);
}

// The events of a result with their angles, doses and groups, for a failure's message.
std::string EventsText(const ReportCalculation& result) {
    std::ostringstream text;
    for (const EventCalculation& event : result.events) {
        text << " [" << ShortestNumberText(event.primary_angle_deg.value_or(NAN)) << ", "
             << ShortestNumberText(event.secondary_angle_deg.value_or(NAN)) << "] "
             << event.calc.SkinDose << " mGy at " << event.focus_skin_distance_cm << " cm, group "
             << event.group << ";";
    }
    return text.str();
}

TEST_F(SkinMapReportTest, MapPeakIsAtLeastTheLargestEventOnIt) {
    std::mt19937 random(7);
    for (int set = 0; set < 10; ++set) {
        const FixtureReport report = RandomProcedure(random);
        const ReportCalculation result = Calculate({report});
        SCOPED_TRACE(testing::Message() << "set " << set << ":" << EventsText(result));
        ASSERT_EQ(result.summary.calculated, static_cast<int>(report.events.size()));
        ASSERT_EQ(result.skin_map.events_on_map, result.summary.calculated);
        // The largest event's central skin point lies within half a cell's diagonal (0.71
        // cm) of the centre of a cell wholly in its field (fields of 3.5 cm and more on the
        // skin): that cell takes at least its dose times (d / (d + 0.71))^2.
        double bound = 0;
        for (const EventCalculation& event : result.events) {
            const double d = event.focus_skin_distance_cm;
            bound = std::max(bound, event.calc.SkinDose * std::pow(d / (d + 0.71), 2));
        }
        EXPECT_GE(result.skin_map.map.peak.dose_mgy, bound);
        EXPECT_GE(result.skin_map.largest_event_mgy, bound);
    }
}

// The peak of one field alone on an empty map of the same patient.
double PeakAlone(const MapBeam& beam, const PatientModel& patient) {
    SkinDoseMap map = EmptySkinDoseMap(patient);
    SkinMapper(map).Add(beam, map);
    SummariseSkinDoseMap(map);
    return map.peak.dose_mgy;
}

// The summary's grouped estimate sums the events of one projection group (angles within 10
// degrees of its first event's); fields of projections further apart still overlap on the
// back, whose skin lies only 10 cm from the isocentre, and the map adds them. PA and LAO 20
// of equal doses: their central skin points lie 3.5 cm apart, their 10.6 cm fields overlap
// over most of their area, and the map's peak is nearly twice the grouped estimate, which
// is therefore no upper bound. What bounds the map is every field overlapping at its own
// hottest cell: the sum of each field's peak alone.
TEST_F(SkinMapReportTest, OverlappingProjectionsExceedTheGroupedEstimateNeverEachFieldsPeakSummed) {
    const ReportCalculation two =
        Calculate({ReportOf({EventAt(0, "0", "0"), EventAt(1, "20", "0")})});
    SCOPED_TRACE(EventsText(two));
    ASSERT_EQ(two.groups.size(), 2u);
    EXPECT_GT(two.skin_map.map.peak.dose_mgy, 1.8 * two.summary.peak_skin_dose_mgy);
    // The follow-up flags look at the larger of the two.
    EXPECT_DOUBLE_EQ(two.summary.flags[0].value, two.skin_map.map.peak.dose_mgy / 1000);
    std::mt19937 random(7);
    for (int set = 0; set < 10; ++set) {
        const ReportCalculation result = Calculate({RandomProcedure(random)});
        SCOPED_TRACE(testing::Message() << "set " << set << ":" << EventsText(result));
        ASSERT_EQ(result.skin_map.beams.size(), static_cast<size_t>(result.skin_map.events_on_map));
        double summed = 0;
        for (const MapBeam& beam : result.skin_map.beams) {
            summed += PeakAlone(beam, result.skin_map.map.patient);
        }
        // Rounding of the sums only.
        EXPECT_LE(result.skin_map.map.peak.dose_mgy, summed * (1 + 1e-12));
    }
}

TEST(MapGeometrySettingsFile, LinesReadBackAndBrokenLinesAreNamed) {
    MapGeometrySettings settings;
    TableConvention unit;
    unit.maker = "Korvex";
    unit.model = "Angio 2";
    unit.longitudinal = {TableDirection::Feet, 12.5};
    unit.lateral = {TableDirection::Right, std::nullopt};
    unit.height = {TableDirection::Up, -3};
    settings.conventions = {unit, TableConvention{}};
    std::string text;
    for (const std::string& line : MapGeometryLines(settings)) {
        text += line + "\r\n";
    }
    const MapGeometrySettings again = ParseMapGeometry(text);
    ASSERT_EQ(again.conventions.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const TableConvention& a = settings.conventions[i];
        const TableConvention& b = again.conventions[i];
        EXPECT_EQ(b.maker, a.maker);
        EXPECT_EQ(b.model, a.model);
        for (const auto& [x, y] :
             {std::pair{a.longitudinal, b.longitudinal}, std::pair{a.lateral, b.lateral},
              std::pair{a.height, b.height}}) {
            EXPECT_EQ(y.growing, x.growing);
            EXPECT_EQ(y.zero_cm, x.zero_cm);
        }
    }
    EXPECT_GT(again.conventions[0].line, 1);  // after the comment lines
    EXPECT_EQ(again.conventions[1].line, again.conventions[0].line + 1);
    // Words in any case, blanks around the values, blank and comment lines.
    const MapGeometrySettings loose =
        ParseMapGeometry("\n# comment\n  a , b , HEAD , 1.5 , Left , FIRST , down , 0 \n");
    ASSERT_EQ(loose.conventions.size(), 1u);
    EXPECT_EQ(loose.conventions[0].maker, "a");
    EXPECT_EQ(loose.conventions[0].longitudinal.growing, TableDirection::Head);
    EXPECT_EQ(loose.conventions[0].longitudinal.zero_cm, 1.5);
    EXPECT_EQ(loose.conventions[0].lateral.zero_cm, std::nullopt);
    EXPECT_EQ(loose.conventions[0].height.zero_cm, 0);
    EXPECT_EQ(loose.conventions[0].line, 3);

    // Each refusal names the file, the line and what is wrong with it.
    const struct {
        const char* text;
        const char* named;
    } broken[] = {
        {"# ok\n*,*,forward,first,left,first,down,first\n", "forward"},
        {"*,*,left,first,left,first,down,first\n", "left"},  // not a long-axis direction
        {"*,*,head,first,left,first,down\n", "8"},
        {"*,*,head,first,left,first,down,first,extra\n", "8"},
        {"*,*,head,first,left,first,down,first,\n", "8"},
        {"*,*,head,abc,left,first,down,first\n", "abc"},
        {"*,*,head,first,left,1e999,down,first\n", "1e999"},
        {"*,*,head,first,left,first,down,nan\n", "nan"},
    };
    for (const auto& b : broken) {
        SCOPED_TRACE(b.text);
        const int line = std::string(b.text).rfind("# ok", 0) == 0 ? 2 : 1;
        try {
            ParseMapGeometry(b.text);
            ADD_FAILURE() << "accepted";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(kMapGeometryFile), std::string::npos) << message;
            EXPECT_NE(message.find(" " + std::to_string(line) + " 行目"), std::string::npos)
                << message;
            EXPECT_NE(message.find(b.named), std::string::npos) << message;
        }
    }
}

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MapGeometrySettingsFile, MissingFileIsMadeAndABrokenOneIsLeftAsItIs) {
    fixtures::TempFolder folder;
    const std::filesystem::path path = folder.path() / kMapGeometryFile;
    const LoadedMapGeometry made = LoadMapGeometry(folder.path());
    EXPECT_TRUE(made.problem.empty()) << made.problem;
    ASSERT_EQ(made.settings.conventions.size(), 1u);
    EXPECT_EQ(made.settings.conventions[0].longitudinal.growing, TableDirection::Head);
    const std::string bytes = FileBytes(path);
    // Code page 932: "皮膚" of the first comment line as Shift_JIS, no UTF-8.
    EXPECT_NE(bytes.find("\x94\xe7\x95\x86"), std::string::npos);
    EXPECT_EQ(bytes.find("\xe7\x9a\xae"), std::string::npos);
    // Every line ends in CR LF, the last one too.
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "LF without CR at " << i;
        }
    }
    EXPECT_NE(bytes.find("\r\n*,*,head,first,left,first,down,first\r\n"), std::string::npos);
    // Read again, the file made gives the same settings.
    const LoadedMapGeometry again = LoadMapGeometry(folder.path());
    EXPECT_TRUE(again.problem.empty()) << again.problem;
    ASSERT_EQ(again.settings.conventions.size(), 1u);
    EXPECT_EQ(again.settings.conventions[0].line, 7);

    for (const std::string& broken :
         {std::string("*,*,head,first\r\n"), std::string("\x81\r\n")}) {  // a lone lead byte
        SCOPED_TRACE(broken);
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << broken;
        }
        const LoadedMapGeometry fallback = LoadMapGeometry(folder.path());
        EXPECT_NE(fallback.problem.find(kMapGeometryFile), std::string::npos) << fallback.problem;
        ASSERT_EQ(fallback.settings.conventions.size(), 1u);
        EXPECT_EQ(fallback.settings.conventions[0].line, 0);  // the built-in default
        EXPECT_EQ(FileBytes(path), broken);
    }
}

TEST(MapGeometrySettingsFile, FirstMatchingLineByPartOfMakerAndModel) {
    const MapGeometrySettings settings = ParseMapGeometry(
        "korvex,angio 2,feet,first,left,first,down,first\n"
        "KORVEX,*,head,0,right,first,down,first\n"
        "*,*,head,first,left,first,up,first\n");
    EXPECT_EQ(ConventionFor(settings, "Korvex Test Systems", "Synthetic ANGIO 2 plus").line, 1);
    EXPECT_EQ(ConventionFor(settings, "Korvex Test Systems", "Synthetic Angio 1").line, 2);
    EXPECT_EQ(ConventionFor(settings, "Other Maker", "Angio 2").line, 3);
    EXPECT_EQ(ConventionFor(settings, "", "").line, 3);
    const TableConvention& built_in = ConventionFor(MapGeometrySettings{}, "Korvex", "Angio 2");
    EXPECT_EQ(built_in.line, 0);
    EXPECT_EQ(built_in.longitudinal.growing, TableDirection::Head);
}

}  // namespace
}  // namespace korvex
