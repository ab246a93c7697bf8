#include "tests/fuzz/fuzz_targets.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/exposure.h"
#include "cli/node_settings.h"
#include "cli/study_outputs.h"
#include "device/device_file.h"
#include "device/material_file.h"
#include "dose_report/dose_report.h"
#include "dose_report/dose_report_reader.h"
#include "dose_report/map_geometry.h"
#include "engine/calculation_case.h"
#include "engine/charset.h"
#include "engine/couch_scatter_table.h"
#include "engine/depth_dose.h"
#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/reference_tables.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "results/results_csv.h"

namespace korvex::fuzz {
namespace {

std::string Bytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

void RequireFinite(double value, const char* what) {
    if (!std::isfinite(value)) {
        Violated(what);
    }
}

// A reader must refuse with its own message; anything else escaping it is a fault.
template <typename Body>
void Refusing(Body body) {
    try {
        body();
    } catch (const FileError& error) {
        // Messages quote at most 60 characters of foreign text; the rest is fixed wording.
        if (std::string_view(error.what()).size() > 2048) {
            Violated("over-long message");
        }
    }
}

template <std::size_t N>
void RequireAllFinite(const GridArray<N>& values, const char* what) {
    for (std::size_t i = 0; i < N; ++i) {
        RequireFinite(values[static_cast<long>(i)], what);
    }
}

void Backscatter(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        auto tables = std::make_unique<ReferenceTables>();
        ParseBackscatterKernel(DecodeCp932Lenient(Bytes(data, size)), *tables);
        for (int r = 1; r <= kBackscatterRingCount; ++r) {
            for (int j = 1; j <= kKernelEnergyCount; ++j) {
                RequireFinite(tables->BackscatterKernel(r, j), "backscatter kernel value");
            }
        }
    });
}

void Attenuation(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        auto tables = std::make_unique<ReferenceTables>();
        ParseAttenuation(DecodeCp932Lenient(Bytes(data, size)), *tables);
        RequireAllFinite(tables->MuTarget, "MuTarget");
        RequireAllFinite(tables->MuPhantom, "MuPhantom");
    });
}

void Primary(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        auto tables = std::make_unique<ReferenceTables>();
        ParsePrimary(DecodeCp932Lenient(Bytes(data, size)), *tables);
        for (int k = 2; k <= 30; ++k) {
            if (!(tables->PrimaryCoarse[k] > 0) || !std::isfinite(tables->PrimaryCoarse[k])) {
                Violated("primary value accepted that is not positive and finite");
            }
        }
        InterpolatePrimaryFine(*tables);
    });
}

// An accepted table must interpolate to a finite value wherever it is asked, beyond its
// edges and between nodes alike.
void CouchScatter(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        const CouchScatterTable table =
            ParseCouchScatterTable(DecodeCp932Lenient(Bytes(data, size)), "CouchScatter.dat");
        if (table.values.size() != table.Count() || table.uncertainties.size() != table.Count()) {
            Violated("couch-scatter table accepted with missing nodes");
        }
        for (const CouchScatterQuery& query :
             {CouchScatterQuery{80, 3, 10, 0.8, 4}, CouchScatterQuery{0, 0, 0, 0, 0},
              CouchScatterQuery{1e9, 1e9, 1e9, 2, 1e9}}) {
            const double ratio = LookUpCouchScatter(table, query).ratio;
            if (!std::isfinite(ratio) || ratio < 0) {
                Violated("couch-scatter lookup not finite or negative");
            }
        }
    });
}

void Kernel(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        const auto kernel = std::make_unique<ScatterKernel>(
            ParseScatterKernel(DecodeCp932Lenient(Bytes(data, size)), "PDS-data/45.dat"));
        RequireFinite((*kernel)(80, 40), "kernel value");
    });
}

void ReadDevice(const std::string& bytes, const char* name) {
    CalculationCase loaded;
    const LoadedDevice device = ParseDeviceFile(DecodeCp932(bytes, name), name, loaded);
    for (double value : {loaded.FocusReceptorDistance, loaded.FocusIsocentreDistance,
                         loaded.TargetAngle, loaded.InherentFiltration, loaded.AddedAluminium,
                         loaded.AddedCopper, loaded.ArbitraryFilterThickness,
                         loaded.CouchTransmission, loaded.CouchEquivalentThickness,
                         loaded.KermaCorrectionFactor, device.InherentFiltrationMm}) {
        RequireFinite(value, "device value");
    }
    if (!(loaded.FocusReceptorDistance > 0)) {
        Violated("device accepted with a focus-receptor distance that is not positive");
    }
    // The layer has no mattress; a table top's lies within the couch-scatter table.
    if (loaded.Couch == CouchModel::TableTop ? !IsMattressThickness(loaded.MattressThickness)
                                             : loaded.MattressThickness != 0) {
        Violated("device accepted with a mattress its couch model cannot have");
    }
}

// The version follows from the name: every input is read as both.
void Device(const std::uint8_t* data, std::size_t size) {
    for (const char* name : {"room.kvx2", "room.kvx"}) {
        Refusing([&] { ReadDevice(Bytes(data, size), name); });
    }
}

// Readers that take a path read an in-memory file instead, one per reader.
std::string InMemoryFile(int fd, const std::uint8_t* data, std::size_t size) {
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        Violated("in-memory file");
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

void Material(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("material", 0);
    const std::string path = InMemoryFile(fd, data, size);
    Refusing([&] {
        const auto material =
            std::make_unique<MaterialAttenuation>(ReadMaterialFile(path, "x.ele"));
        for (int n = 1; n <= kFineGridSize; ++n) {
            if (!(material->Mu[n] > 0) || !std::isfinite(material->Mu[n])) {
                Violated("attenuation accepted that is not positive and finite");
            }
        }
    });
}

// A table that was read whole is written back and must read back the same.
void Results(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        const ResultsCsvContent read =
            ParseResultsCsv(DecodeCp932(Bytes(data, size), "r.csv"), "r.csv");
        std::vector<std::string> lines;
        try {
            lines = ResultsCsvLines(read.comment, read.table, "r.csv");
        } catch (const FileError&) {
            return;  // some texts cannot be written back; the writer says so
        }
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        const ResultsCsvContent again = ParseResultsCsv(text, "r.csv");
        if (again.comment != read.comment || again.table.RowCount() != read.table.RowCount()) {
            Violated("results file does not read back");
        }
        for (int slot = 1; slot <= read.table.RowCount(); ++slot) {
            if (again.table.Row(slot).Model() != read.table.Row(slot).Model()) {
                Violated("results row's model does not read back");
            }
            for (const ResultColumnInfo& info : kResultColumns) {
                if (again.table.Cell(slot, info.column).StoredText() !=
                    read.table.Cell(slot, info.column).StoredText()) {
                    Violated("results cell does not read back");
                }
            }
        }
    });
}

void RequireUtf8(const std::string& text) {
    if (!IsValidUtf8(text)) {
        Violated("report text that is not UTF-8");
    }
}

// A value is used only when finite; one present but unusable says why.
void RequireAccounted(const ReportValue& value) {
    RequireUtf8(value.unit);
    RequireUtf8(value.as_read);
    RequireUtf8(value.problem.japanese);
    RequireUtf8(value.problem.english);
    if (value.value && !std::isfinite(*value.value)) {
        Violated("report value that is not finite");
    }
    if (value.value && !value.present) {
        Violated("report value without its item");
    }
    if (value.present && !value.value && value.problem.empty()) {
        Violated("report value dropped without a reason");
    }
}

void CheckEvent(const IrradiationEvent& event, int expected_number) {
    if (event.number != expected_number) {
        Violated("events not numbered in order");
    }
    for (const std::string* text : {&event.uid, &event.date_time, &event.event_type_code,
                                    &event.event_type, &event.plane_text}) {
        RequireUtf8(*text);
    }
    for (const EventNote& note : event.notes) {
        for (const std::string* text :
             {&note.code, &note.text.japanese, &note.text.english, &note.value}) {
            RequireUtf8(*text);
        }
    }
    for (const ReportValue* value :
         {&event.tube_voltage_kv, &event.kar_mgy, &event.pka_gycm2, &event.primary_angle_deg,
          &event.secondary_angle_deg, &event.source_isocentre_cm, &event.source_reference_cm,
          &event.field_area_cm2}) {
        RequireAccounted(*value);
        // A value given but not used is also one of the event's notes, with what was read.
        const bool noted = std::any_of(event.notes.begin(), event.notes.end(), [&](const auto& n) {
            return n.code == "value-not-used" && n.value == value->as_read;
        });
        if (value->present && !value->value && !noted) {
            Violated("report value not used without a note");
        }
    }
    for (const FilterLayer& layer : event.filters) {
        RequireUtf8(layer.material_code);
        RequireUtf8(layer.material_name);
        RequireAccounted(layer.thickness_mm);
    }
}

void DoseReportFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("report", 0);
    const std::string path = InMemoryFile(fd, data, size);
    try {
        const DoseReport report = ReadDoseReport(path);
        for (const std::string* text :
             {&report.manufacturer, &report.model, &report.station_name, &report.study_date,
              &report.study_time, &report.patient_name, &report.patient_id,
              &report.reference_point_definition}) {
            RequireUtf8(*text);
        }
        for (const AccumulatedTotals& totals : report.totals) {
            RequireAccounted(totals.pka_gycm2);
            RequireAccounted(totals.kar_mgy);
        }
        int number = 0;
        for (const IrradiationEvent& event : report.events) {
            CheckEvent(event, ++number);
        }
        for (const std::string& note : report.notes) {
            RequireUtf8(note);
        }
    } catch (const DoseReportError& error) {
        RequireUtf8(error.what());
        if (std::string_view(error.what()).size() > 2048) {
            Violated("over-long message");
        }
    }
}

// The table conventions, read as LoadMapGeometry reads its file: every accepted line
// has directions of its own axis and finite zeros, and writes back to the same settings.
void MapGeometry(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        const MapGeometrySettings read =
            ParseMapGeometry(DecodeCp932(Bytes(data, size), kMapGeometryFile));
        std::string text;
        for (const std::string& line : MapGeometryLines(read)) {
            text += line + "\r\n";
        }
        MapGeometrySettings again;
        try {
            again = ParseMapGeometry(text);
        } catch (const FileError&) {
            Violated("map geometry does not read back");
        }
        if (again.conventions.size() != read.conventions.size()) {
            Violated("map geometry lines lost on reading back");
        }
        for (size_t i = 0; i < read.conventions.size(); ++i) {
            const TableConvention& a = read.conventions[i];
            const TableConvention& b = again.conventions[i];
            for (const auto& [x, y] :
                 {std::pair{a.longitudinal, b.longitudinal}, std::pair{a.lateral, b.lateral},
                  std::pair{a.height, b.height}}) {
                if (x.zero_cm && !std::isfinite(*x.zero_cm)) {
                    Violated("map geometry zero not finite");
                }
                if (x.growing != y.growing || x.zero_cm != y.zero_cm) {
                    Violated("map geometry axis does not read back");
                }
            }
            if (a.maker != b.maker || a.model != b.model) {
                Violated("map geometry unit does not read back");
            }
        }
    });
}

void Exposures(const std::uint8_t* data, std::size_t size) {
    try {
        const auto exposures = cli::ParseExposures(Bytes(data, size), "list.csv");
        for (const auto& [line, exposure] : exposures) {
            if (line < 2) {
                Violated("an exposure on the header's line");
            }
        }
    } catch (const cli::CommandFailure&) {
    }
}

void Numbers(const std::uint8_t* data, std::size_t size) {
    const std::string text = Bytes(data, size);
    const double leading = LeadingNumber(text);
    RequireFinite(leading, "leading number");
    const auto value = ParseDecimal(text);
    if (value) {
        RequireFinite(*value, "decimal");
        if (*value != leading) {
            Violated("a plain number whose leading number differs");
        }
        const std::string shortest = ShortestNumberText(*value);
        if (ParseDecimal(shortest) != *value) {
            Violated("shortest text does not read back");
        }
    }
    // The first byte picks a pattern; every finite value can be shown through it.
    static const char* const kPatterns[] = {"#00.0", "0.00",    "#0.000", "0.000",
                                            "#00",   "###00.0", "0"};
    const char* pattern = kPatterns[size == 0 ? 0 : data[0] % 7];
    const std::string shown = FormatNumber(leading, pattern);
    if (shown.empty() || !ParseDecimal(shown)) {
        Violated("formatted number is no number");
    }
    if (MessageQuote(text).size() > kMessageQuoteCharacters * 4 + 3) {
        Violated("message quote too long");
    }
}

void Fields(const std::uint8_t* data, std::size_t size) {
    const std::string text = Bytes(data, size);
    FieldStream fields(text, "f");
    std::size_t count = 0;
    while (fields.ReadField()) {
        if (++count > size + 1) {
            Violated("more fields than bytes");
        }
    }
    // A line without a line end (the last) leaves the number where it was.
    FieldStream lines(text, "f");
    int last_line = 0;
    count = 0;
    while (lines.ReadLine()) {
        if (lines.LineNumber() < last_line || ++count > size + 1) {
            Violated("line numbers fall or more lines than bytes");
        }
        last_line = lines.LineNumber();
    }
    FieldStream rows(text, "f");
    count = 0;
    while (const auto row = rows.ReadNumberRow()) {
        if (row->empty() || ++count > size) {
            Violated("empty row or more rows than bytes");
        }
    }
    Refusing([&] {
        FieldStream numbers(text, "f");
        while (!numbers.AtEnd()) {
            RequireFinite(numbers.RequireNumber(), "number token");
        }
    });
}

// The node's settings: every accepted file names each unit once, with a device, and its
// lines read back to the same settings.
void NodeSettingsFile(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        const cli::NodeSettings read =
            cli::ParseNodeSettings(DecodeCp932(Bytes(data, size), cli::kNodeSettingsFile));
        std::string text = read.hook.empty() ? "" : "hook," + read.hook + "\n";
        for (const cli::UnitDevice& unit : read.units) {
            if (unit.unit.empty() || unit.device.empty()) {
                Violated("node settings unit without name or device");
            }
            text += "unit," + unit.unit + "," + unit.device + "\n";
        }
        const cli::NodeSettings again = cli::ParseNodeSettings(text);
        if (again.hook != read.hook || again.units.size() != read.units.size()) {
            Violated("node settings do not read back");
        }
    });
}

// A study's record: an accepted text has every index field and writes back to itself.
void StudyRecordFile(const std::uint8_t* data, std::size_t size) {
    Refusing([&] {
        const std::optional<cli::StudyRecord> read =
            cli::ParseStudyRecord(DecodeCp932(Bytes(data, size), "study.txt"));
        if (!read) {
            return;
        }
        std::string text;
        for (const std::string& line : cli::StudyRecordLines(*read)) {
            text += line + "\r\n";
        }
        const std::optional<cli::StudyRecord> again = cli::ParseStudyRecord(text);
        if (!again || again->index_fields != read->index_fields || again->key != read->key ||
            again->digest != read->digest || again->objects != read->objects) {
            Violated("study record does not read back");
        }
    });
}

}  // namespace

void Violated(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

const std::vector<FuzzTarget>& FuzzTargets() {
    static const std::vector<FuzzTarget> targets{
        {"backscatter", Backscatter},
        {"attenuation", Attenuation},
        {"primary", Primary},
        {"kernel", Kernel},
        {"couch_scatter", CouchScatter},
        {"device", Device},
        {"material", Material},
        {"results", Results},
        {"exposures", Exposures},
        {"numbers", Numbers},
        {"fields", Fields},
        {"dose_report", DoseReportFile},
        {"map_geometry", MapGeometry},
        {"node_settings", NodeSettingsFile},
        {"study_record", StudyRecordFile},
    };
    return targets;
}

}  // namespace korvex::fuzz
