#include "dose_report/dose_report_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "dose_report/dose_units.h"
#include "tests/fixtures/dose_report_fixtures.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using fixtures::FixtureReport;

class DoseReportReaderTest : public ::testing::Test {
  protected:
    std::filesystem::path Write(const std::string& name, const FixtureReport& report) {
        const std::filesystem::path path = folder_.path() / (name + ".dcm");
        fixtures::WriteDoseReportFile(path, report);
        return path;
    }
    DoseReport Read(const std::string& name, const FixtureReport& report) {
        return ReadDoseReport(Write(name, report));
    }

    fixtures::TempFolder folder_;
};

// Every accepted unit is read through a file (UnitsReport); here the ones that must not be.
TEST(DoseUnitsTest, UnitsOfOtherQuantitiesOrSpellingsAreRefused) {
    // UCUM is case-sensitive, and a unit of one quantity is not one of another.
    EXPECT_FALSE(UnitFactor(ReportQuantity::DoseRp, "MGY"));
    EXPECT_FALSE(UnitFactor(ReportQuantity::DoseRp, "R"));
    EXPECT_FALSE(UnitFactor(ReportQuantity::DoseRp, "Gy.m2"));
    EXPECT_FALSE(UnitFactor(ReportQuantity::DoseAreaProduct, "Gy*cm2"));
    EXPECT_FALSE(UnitFactor(ReportQuantity::DoseAreaProduct, ""));
    EXPECT_FALSE(UnitFactor(ReportQuantity::TubeVoltage, "V"));
    EXPECT_FALSE(UnitFactor(ReportQuantity::Angle, "gon"));
}

TEST_F(DoseReportReaderTest, StandardReportGivesEveryValueInTheProgramsUnits) {
    const DoseReport report = Read("standard", fixtures::StandardReport());
    EXPECT_EQ(report.manufacturer, "Korvex Test Systems");
    EXPECT_EQ(report.model, "Synthetic Angio 1");
    EXPECT_EQ(report.station_name, "ROOM1");
    EXPECT_EQ(report.study_date, "20240115");
    EXPECT_EQ(report.patient_name, "Test^Synthetic");
    EXPECT_EQ(report.reference_point_definition, "15cm from Isocenter toward Source (113860)");
    ASSERT_EQ(report.events.size(), 3u);
    const IrradiationEvent& e = report.events[0];
    EXPECT_EQ(e.number, 1);
    EXPECT_EQ(e.uid, "1.2.826.0.1.3680043.10.1417.1");
    EXPECT_EQ(e.date_time, "20240115100000");
    EXPECT_EQ(e.event_type, "撮影");
    EXPECT_EQ(e.plane, AcquisitionPlane::Single);
    EXPECT_DOUBLE_EQ(*e.tube_voltage_kv.value, 80);
    EXPECT_DOUBLE_EQ(*e.kar_mgy.value, 10);
    EXPECT_DOUBLE_EQ(*e.pka_gycm2.value, 1);
    EXPECT_DOUBLE_EQ(*e.primary_angle_deg.value, 30);
    EXPECT_DOUBLE_EQ(*e.secondary_angle_deg.value, 10);
    EXPECT_DOUBLE_EQ(*e.source_isocentre_cm.value, 100);
    EXPECT_DOUBLE_EQ(*e.source_reference_cm.value, 85);
    EXPECT_DOUBLE_EQ(*e.field_area_cm2.value, 100);
    ASSERT_EQ(e.filters.size(), 2u);
    EXPECT_TRUE(e.has_filter_container);
    EXPECT_EQ(e.filters[0].material, FilterMaterial::Copper);
    EXPECT_DOUBLE_EQ(*e.filters[0].thickness_mm.value, 0.2);
    EXPECT_EQ(e.filters[1].material, FilterMaterial::Aluminium);
    EXPECT_DOUBLE_EQ(*e.filters[1].thickness_mm.value, 1.0);
    EXPECT_TRUE(e.notes.empty());
    EXPECT_DOUBLE_EQ(*report.events[2].primary_angle_deg.value, -30);

    ASSERT_EQ(report.totals.size(), 1u);
    EXPECT_EQ(report.totals[0].plane, AcquisitionPlane::Single);
    EXPECT_DOUBLE_EQ(*report.totals[0].pka_gycm2.value, 3);
    EXPECT_DOUBLE_EQ(*report.totals[0].kar_mgy.value, 35);
    EXPECT_TRUE(report.notes.empty());
}

TEST_F(DoseReportReaderTest, EmptyAndZeroValuesAreKeptWithTheirReason) {
    const DoseReport empty = Read("empty", fixtures::EmptyValuesReport());
    ASSERT_EQ(empty.events.size(), 5u);
    EXPECT_TRUE(empty.events[0].kar_mgy.present);
    EXPECT_FALSE(empty.events[0].kar_mgy.Usable());
    EXPECT_EQ(empty.events[0].kar_mgy.problem.japanese, "値が空です（Value unknown）");
    EXPECT_EQ(empty.events[1].pka_gycm2.problem.japanese, "値が空です");
    EXPECT_EQ(empty.events[2].tube_voltage_kv.problem.japanese, "値が空です");
    EXPECT_EQ(empty.events[2].tube_voltage_kv.unit, "kV");
    EXPECT_TRUE(empty.events[3].kar_mgy.Usable());
    EXPECT_EQ(empty.events[4].kar_mgy.problem.japanese, "値が空です");
    EXPECT_FALSE(empty.events[4].primary_angle_deg.Usable());

    const DoseReport zero = Read("zero", fixtures::ZeroValuesReport());
    ASSERT_EQ(zero.events.size(), 5u);
    EXPECT_EQ(zero.events[0].kar_mgy.value, 0.0);
    EXPECT_EQ(zero.events[1].pka_gycm2.value, 0.0);
    EXPECT_EQ(zero.events[2].tube_voltage_kv.value, 0.0);
    // Several tube voltages: the mean of those that are not 0, in one value or in several.
    EXPECT_DOUBLE_EQ(*zero.events[3].tube_voltage_kv.value, 81);
    EXPECT_DOUBLE_EQ(*zero.events[4].tube_voltage_kv.value, 82);
}

TEST_F(DoseReportReaderTest, FiltersAsRangesMissingOrOfOtherMaterials) {
    const DoseReport range = Read("range", fixtures::FilterRangeReport());
    ASSERT_EQ(range.events.size(), 2u);
    EXPECT_DOUBLE_EQ(*range.events[0].filters[0].thickness_mm.value, 0.2);
    EXPECT_DOUBLE_EQ(*range.events[0].filters[1].thickness_mm.value, 1.0);
    EXPECT_DOUBLE_EQ(*range.events[1].filters[0].thickness_mm.value, 0.1);

    const DoseReport none = Read("none", fixtures::NoFilterReport());
    ASSERT_EQ(none.events.size(), 2u);
    EXPECT_FALSE(none.events[0].has_filter_container);
    EXPECT_TRUE(none.events[0].filters.empty());

    const DoseReport other = Read("other", fixtures::OtherMaterialReport());
    ASSERT_EQ(other.events.size(), 4u);
    const FilterLayer& molybdenum = other.events[1].filters[0];
    EXPECT_EQ(molybdenum.material, FilterMaterial::Other);
    EXPECT_EQ(molybdenum.material_code, "C-150F9");
    EXPECT_EQ(molybdenum.material_name, "Molybdenum or Molybdenum compound");
    EXPECT_DOUBLE_EQ(*molybdenum.thickness_mm.value, 0.03);
    EXPECT_TRUE(other.events[2].filters[0].material_code.empty());
    EXPECT_FALSE(other.events[3].filters[0].thickness_mm.present);
}

TEST_F(DoseReportReaderTest, BiplaneTotalsAndFreeTextReferencePoint) {
    const DoseReport biplane = Read("biplane", fixtures::BiplaneReport());
    ASSERT_EQ(biplane.events.size(), 4u);
    EXPECT_EQ(biplane.events[0].plane, AcquisitionPlane::A);
    EXPECT_EQ(biplane.events[1].plane, AcquisitionPlane::B);
    ASSERT_EQ(biplane.totals.size(), 2u);
    EXPECT_EQ(biplane.totals[1].plane, AcquisitionPlane::B);
    EXPECT_DOUBLE_EQ(*biplane.totals[1].kar_mgy.value, 20);

    const DoseReport text = Read("text", fixtures::ReferenceTextReport());
    EXPECT_EQ(text.reference_point_definition, "15 cm from the isocentre toward the tube");
}

TEST_F(DoseReportReaderTest, NamesInUndeclaredOrJapaneseCharacterSets) {
    // Without a character set the bytes cannot be trusted: shown escaped, numbers read.
    const DoseReport undeclared = Read("undeclared", fixtures::NoCharacterSetReport());
    EXPECT_EQ(undeclared.patient_name, "\\x8ER\\x93c^\\x91\\xBE\\x98Y");
    ASSERT_EQ(undeclared.events.size(), 1u);
    EXPECT_DOUBLE_EQ(*undeclared.events[0].kar_mgy.value, 10);
    ASSERT_FALSE(undeclared.notes.empty());
    EXPECT_NE(undeclared.notes.back().find("\\xNN"), std::string::npos);

    // UTF-8 declared, Shift_JIS written: escaped and noted once; UTF-8 of another field
    // of the same file still reads.
    FixtureReport mislabelled = fixtures::StandardReport();
    mislabelled.character_set = "ISO_IR 192";
    mislabelled.patient_name =
        "\x8E"
        "R\x93"
        "c";
    mislabelled.station_name =
        "\xE7\xAC\xAC"
        "1";
    const DoseReport wrong = Read("mislabelled", mislabelled);
    EXPECT_EQ(wrong.patient_name, "\\x8ER\\x93c");
    EXPECT_EQ(wrong.station_name, "第1");
    EXPECT_EQ(std::count(wrong.notes.begin(), wrong.notes.end(),
                         "文字セットで読めない文字は \\xNN で示しています。"),
              1);
    EXPECT_EQ(wrong.events.size(), 3u);

    // An empty first value and ISO 2022 IR 87: kanji between escape sequences.
    const DoseReport japanese = Read("japanese", fixtures::Iso2022Report());
    EXPECT_EQ(japanese.patient_name, "Yamada^Taro=山田^太郎");
    ASSERT_EQ(japanese.events.size(), 1u);
    EXPECT_DOUBLE_EQ(*japanese.events[0].pka_gycm2.value, 1);
    EXPECT_TRUE(japanese.notes.empty());
}

TEST_F(DoseReportReaderTest, EveryUnitOfRealFilesAndUnknownOnesWithTheirReason) {
    const DoseReport report = Read("units", fixtures::UnitsReport());
    ASSERT_EQ(report.events.size(), 8u);
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_DOUBLE_EQ(*report.events[i].kar_mgy.value, 10);
        EXPECT_DOUBLE_EQ(*report.events[i].pka_gycm2.value, 1);
    }
    EXPECT_FALSE(report.events[6].kar_mgy.Usable());
    EXPECT_EQ(report.events[6].kar_mgy.problem.japanese, "単位「R」は使えません");
    EXPECT_EQ(report.events[7].pka_gycm2.problem.japanese, "単位「Gy*cm2」は使えません");
}

TEST_F(DoseReportReaderTest, AbsurdAndNegativeValuesAreRefusedWithTheirReason) {
    FixtureReport absurd = fixtures::StandardReport();
    absurd.events[0].dose_rp = fixtures::FixtureNumber{"1e300", "Gy"};
    absurd.events[1].dap = fixtures::FixtureNumber{"-0.0001", "Gy.m2"};
    absurd.events[2].kvp = {{"8O", "kV"}};
    const DoseReport report = Read("absurd", absurd);
    EXPECT_EQ(report.events[0].kar_mgy.problem.japanese, "値が大きすぎます");
    EXPECT_EQ(report.events[1].pka_gycm2.problem.japanese, "負の値です（-1）");
    EXPECT_EQ(report.events[2].tube_voltage_kv.problem.japanese, "数値として読めません（\"8O\"）");
}

TEST_F(DoseReportReaderTest, ReportWithoutEventsReadsWithANote) {
    const DoseReport report = Read("no_events", fixtures::NoEventsReport());
    EXPECT_TRUE(report.events.empty());
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_EQ(report.notes[0], "照射イベントがありません。");
    ASSERT_EQ(report.totals.size(), 1u);
    EXPECT_EQ(report.totals[0].kar_mgy.value, 0.0);
}

TEST_F(DoseReportReaderTest, FilesThatAreNoDoseReportGiveAMessage) {
    const auto message_of = [](const std::filesystem::path& path) -> std::string {
        try {
            ReadDoseReport(path);
        } catch (const DoseReportError& error) {
            return error.what();
        }
        return "(read)";
    };
    EXPECT_EQ(message_of(Write("measurement", fixtures::NotDoseReport())),
              "「measurement.dcm」は X 線線量構造化レポート（RDSR）ではありません。");
    const std::filesystem::path text = folder_.path() / "notes.txt";
    std::ofstream(text) << "Dose 10 mGy\n";
    EXPECT_EQ(message_of(text).rfind("「notes.txt」は DICOM ファイルとして読めません", 0), 0u)
        << message_of(text);
    EXPECT_EQ(message_of(folder_.path() / "absent.dcm"),
              "ファイル「absent.dcm」が見つかりません。");
    EXPECT_EQ(message_of(folder_.path()),
              "「" + folder_.path().filename().string() + "」はファイルではありません。");
    const std::filesystem::path empty = folder_.path() / "empty.dcm";
    std::ofstream{empty};
    EXPECT_NE(message_of(empty), "(read)");
}

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Store(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A damaged file either reads (with whatever survived) or gives a message; it never
// crashes, hangs or gives a value that is not finite.
void ExpectReadOrMessage(const std::filesystem::path& path, const std::string& what) {
    try {
        const DoseReport report = ReadDoseReport(path);
        for (const IrradiationEvent& event : report.events) {
            for (const ReportValue* value : {&event.kar_mgy, &event.pka_gycm2,
                                             &event.tube_voltage_kv, &event.primary_angle_deg}) {
                if (value->value) {
                    EXPECT_TRUE(std::isfinite(*value->value)) << what;
                }
            }
        }
    } catch (const DoseReportError& error) {
        EXPECT_GT(std::string(error.what()).size(), 10u) << what;
    }
}

TEST_F(DoseReportReaderTest, TruncatedAndBitFlippedCopiesOfEveryFixtureNeverCrash) {
    for (const fixtures::NamedFixture& fixture : fixtures::AllDoseReportFixtures()) {
        const std::string original = Bytes(Write(fixture.name, fixture.report));
        ASSERT_GT(original.size(), 200u) << fixture.name;
        const std::filesystem::path copy = folder_.path() / "damaged.dcm";
        for (size_t length : {size_t{0}, size_t{100}, original.size() / 3, original.size() / 2,
                              original.size() - 1}) {
            Store(copy, original.substr(0, length));
            ExpectReadOrMessage(copy, fixture.name + " cut at " + std::to_string(length));
        }
        // Deterministic positions over the whole file, one bit each, several bits per copy.
        for (size_t k = 0; k < 48; ++k) {
            std::string damaged = original;
            const size_t position = (k * 7919 + 131) % damaged.size();
            damaged[position] = static_cast<char>(damaged[position] ^ (1 << (k % 8)));
            if (k % 3 == 0) {
                const size_t second = (position * 31 + 17) % damaged.size();
                damaged[second] = static_cast<char>(~damaged[second]);
            }
            Store(copy, damaged);
            ExpectReadOrMessage(copy, fixture.name + " flipped at " + std::to_string(position));
        }
    }
}

// A vendor's own event type without a meaning is shown by its code, escaped like every
// other byte that is no text, so that the label stays UTF-8 for the window and JSON.
// The document class writes no such code: the standard report's bytes are edited, with
// lengths kept.
TEST_F(DoseReportReaderTest, UnknownEventTypeWithoutMeaningShowsItsCodeEscaped) {
    std::string bytes = Bytes(Write("standard", fixtures::StandardReport()));
    const auto replace_all = [&bytes](const std::string& from, const std::string& to) {
        ASSERT_EQ(from.size(), to.size());
        for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at)) {
            bytes.replace(at, from.size(), to);
        }
    };
    replace_all("113611",
                "99\xFE"
                "611");
    replace_all("Stationary Acquisition", std::string(22, ' '));
    const std::filesystem::path vendor = folder_.path() / "vendor.dcm";
    Store(vendor, bytes);
    const DoseReport read = ReadDoseReport(vendor);
    ASSERT_FALSE(read.events.empty());
    EXPECT_EQ(read.events[0].event_type_code, "99\\xFE611");
    EXPECT_EQ(read.events[0].event_type, "99\\xFE611");
}

// A node groups objects by study and names files by UID; the header read stops before
// the content tree and gives the same values.
TEST_F(DoseReportReaderTest, StudyAndObjectIdentityFromTheFullAndTheHeaderRead) {
    FixtureReport fixture = fixtures::StandardReport();
    fixture.study_instance_uid = "1.2.826.0.1.3680043.10.1417.9.1";
    fixture.sop_instance_uid = "1.2.826.0.1.3680043.10.1417.9.1.1";
    const std::filesystem::path path = Write("identity", fixture);
    const DoseReport report = ReadDoseReport(path);
    EXPECT_EQ(report.study_instance_uid, fixture.study_instance_uid);
    EXPECT_EQ(report.sop_instance_uid, fixture.sop_instance_uid);
    EXPECT_EQ(report.sop_class_uid, "1.2.840.10008.5.1.4.1.1.88.67");
    EXPECT_EQ(report.sending_ae_title, "");
    const DoseReportIdentity identity = ReadDoseReportIdentity(path);
    EXPECT_EQ(identity.study_instance_uid, fixture.study_instance_uid);
    EXPECT_EQ(identity.sop_instance_uid, fixture.sop_instance_uid);
    EXPECT_EQ(identity.sop_class_uid, report.sop_class_uid);
    EXPECT_EQ(identity.study_date, "20240115");
    std::ofstream(folder_.path() / "text.dcm") << "not DICOM";
    EXPECT_THROW(ReadDoseReportIdentity(folder_.path() / "text.dcm"), DoseReportError);
    EXPECT_THROW(ReadDoseReportIdentity(folder_.path() / "missing.dcm"), DoseReportError);
}

}  // namespace
}  // namespace korvex
