#include "dose_report/map_geometry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <numbers>
#include <sstream>
#include <system_error>

#include "engine/calculation_case.h"
#include "engine/errors.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

struct DirectionWord {
    const char* word;
    TableDirection direction;
};
constexpr DirectionWord kDirectionWords[] = {
    {"head", TableDirection::Head}, {"feet", TableDirection::Feet},
    {"left", TableDirection::Left}, {"right", TableDirection::Right},
    {"down", TableDirection::Down}, {"up", TableDirection::Up},
};

const char* WordOf(TableDirection direction) {
    for (const DirectionWord& entry : kDirectionWords) {
        if (entry.direction == direction) {
            return entry.word;
        }
    }
    return "head";
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::vector<std::string> SplitCommas(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream stream(line);
    while (std::getline(stream, field, ',')) {
        fields.emplace_back(Trimmed(field));
    }
    if (!line.empty() && line.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

std::string ZeroText(const std::optional<double>& zero) {
    return zero ? ShortestNumberText(*zero) : "first";
}

// One axis: its direction word, which must be one of the two of the axis, and its zero.
TableAxisConvention ParseAxis(const std::string& word, const std::string& zero,
                              TableDirection first, TableDirection second,
                              const std::function<FileError(const std::string&)>& fail) {
    TableAxisConvention axis;
    const std::string lower = Lower(word);
    if (lower == WordOf(first) || lower == WordOf(second)) {
        axis.growing = lower == WordOf(first) ? first : second;
    } else {
        throw fail("向き「" + word + "」は " + WordOf(first) + " か " + WordOf(second) +
                   " で書いて下さい。");
    }
    if (Lower(zero) != "first") {
        const std::optional<double> value = ParseDecimal(zero);
        if (!value || !std::isfinite(*value)) {
            throw fail("ゼロ点「" + zero + "」は数 (cm) か first で書いて下さい。");
        }
        axis.zero_cm = *value;
    }
    return axis;
}

bool Matches(const std::string& pattern, const std::string& value) {
    return pattern == "*" || pattern.empty() ||
           Lower(value).find(Lower(pattern)) != std::string::npos;
}

}  // namespace

MapGeometrySettings DefaultMapGeometry() {
    return {{TableConvention{}}};
}

MapGeometrySettings ParseMapGeometry(const std::string& text) {
    MapGeometrySettings settings;
    for (const SettingLine& setting : SettingEntries(text)) {
        const int number = setting.number;
        const std::string& line = setting.text;
        const std::function<FileError(const std::string&)> fail = [&](const std::string& why) {
            return FileError("ファイル「" + std::string(kMapGeometryFile) + "」の " +
                             std::to_string(number) + " 行目: " + why);
        };
        const std::vector<std::string> f = SplitCommas(line);
        if (f.size() != 8) {
            throw fail(
                "8 個の値（メーカー,機種,長軸の向き,ゼロ点,横の向き,ゼロ点,高さの向き,"
                "ゼロ点）が必要です。");
        }
        TableConvention convention;
        convention.maker = f[0];
        convention.model = f[1];
        convention.longitudinal =
            ParseAxis(f[2], f[3], TableDirection::Head, TableDirection::Feet, fail);
        convention.lateral =
            ParseAxis(f[4], f[5], TableDirection::Left, TableDirection::Right, fail);
        convention.height = ParseAxis(f[6], f[7], TableDirection::Down, TableDirection::Up, fail);
        convention.line = number;
        settings.conventions.push_back(convention);
    }
    return settings;
}

std::vector<std::string> MapGeometryLines(const MapGeometrySettings& settings) {
    std::vector<std::string> lines = {
        "# 皮膚線量マップ: 装置ごとの寝台位置の向きとゼロ点。",
        "# メーカー,機種,長軸の向き,ゼロ点,横の向き,ゼロ点,高さの向き,ゼロ点",
        "#   メーカー・機種: レポートの Manufacturer / Manufacturer's Model Name の一部"
        "（大文字小文字を区別しない）、* はすべて。上から最初に合う行を使います。",
        "#   向き: 値が増えるとき寝台が動く向き（頭先・仰臥位の患者から見て）。"
        "長軸 head|feet、横 left|right、高さ down|up。",
        "#   ゼロ点: アイソセンターが患者モデルの基準点（体幹の中心軸、体幹上端から 20 cm）に"
        "来るときの値 (cm)。first はレポートで最初にその値を持つイベント。",
        "# 既定の行は DICOM PS3.16 "
        "の定義による向き（長軸は頭側、横は患者の左、高さは下向きが正）。",
    };
    for (const TableConvention& c : settings.conventions) {
        lines.push_back(c.maker + "," + c.model + "," + WordOf(c.longitudinal.growing) + "," +
                        ZeroText(c.longitudinal.zero_cm) + "," + WordOf(c.lateral.growing) + "," +
                        ZeroText(c.lateral.zero_cm) + "," + WordOf(c.height.growing) + "," +
                        ZeroText(c.height.zero_cm));
    }
    return lines;
}

LoadedMapGeometry LoadMapGeometry(const std::filesystem::path& working_folder) {
    LoadedMapGeometry loaded;
    loaded.settings = DefaultMapGeometry();
    const std::filesystem::path path = working_folder / kMapGeometryFile;
    std::error_code error;
    try {
        if (!std::filesystem::exists(path, error) && !error) {
            WriteTextLines(path, MapGeometryLines(loaded.settings), kMapGeometryFile);
            return loaded;
        }
        loaded.settings = ParseMapGeometry(ReadTextFile(path, kMapGeometryFile));
    } catch (const FileError& failure) {
        loaded.settings = DefaultMapGeometry();
        loaded.problem = std::string(failure.what()) + " 既定の寝台位置の規約を使います。";
    }
    return loaded;
}

const TableConvention& ConventionFor(const MapGeometrySettings& settings, const std::string& maker,
                                     const std::string& model) {
    for (const TableConvention& c : settings.conventions) {
        if (Matches(c.maker, maker) && Matches(c.model, model)) {
            return c;
        }
    }
    static const TableConvention built_in;
    return built_in;
}

namespace {

bool Says(const CodedText& coded, std::initializer_list<const char*> codes,
          std::initializer_list<const char*> words) {
    for (const char* code : codes) {
        if (coded.code == code) {
            return true;
        }
    }
    const std::string meaning = Lower(coded.meaning);
    for (const char* word : words) {
        if (meaning.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

PatientPosition PositionOf(const IrradiationEvent& event) {
    PatientPosition position;
    // SNOMED codes, old (SRT) and new (SCT), with the words of their meanings.
    const CodedText& relationship = event.patient_table_relationship;
    if (Says(relationship, {"F-10480", "102541007"}, {"feet", "foot"})) {
        position.feet_first = true;
        position.given = true;
    } else if (Says(relationship, {"F-10470", "102540008"}, {"head"})) {
        position.given = true;
    }
    const CodedText& modifier = event.patient_orientation_modifier;
    if (Says(modifier, {"F-10310", "1240000"}, {"prone"})) {
        position.prone = true;
        position.given = true;
    } else if (Says(modifier, {"F-10340", "40199007"}, {"supine"})) {
        position.given = true;
    }
    return position;
}

PatientModel PatientModelOf(const DoseReport& report, UserText& source) {
    const ReportValue& height = report.patient_height_cm;
    const ReportValue& weight = report.patient_weight_kg;
    if (height.Usable() && weight.Usable() && *height.value >= kMinPatientHeightCm &&
        *height.value <= kMaxPatientHeightCm && *weight.value >= kMinPatientWeightKg &&
        *weight.value <= kMaxPatientWeightKg) {
        const std::string h = ShortestNumberText(std::round(*height.value));
        const std::string w = ShortestNumberText(std::round(*weight.value));
        source = {"レポートの身長 " + h + " cm・体重 " + w + " kg から",
                  "from the report's height " + h + " cm and weight " + w + " kg"};
        return ScaledPatientModel(*height.value, *weight.value);
    }
    const bool given = height.present || weight.present;
    source = given ? UserText{"身長・体重が使えないため成人の既定（174 cm、70 kg）",
                              "the adult default (174 cm, 70 kg): the report's height and "
                              "weight cannot be used"}
                   : UserText{"身長・体重がないため成人の既定（174 cm、70 kg）",
                              "the adult default (174 cm, 70 kg): the report gives no height "
                              "and weight"};
    return PatientModel{};
}

TableZeros FirstTablePositions(const DoseReport& report) {
    TableZeros zeros;
    for (const IrradiationEvent& event : report.events) {
        if (!zeros.longitudinal && event.table_longitudinal_cm.Usable()) {
            zeros.longitudinal = event.table_longitudinal_cm.value;
        }
        if (!zeros.lateral && event.table_lateral_cm.Usable()) {
            zeros.lateral = event.table_lateral_cm.value;
        }
        if (!zeros.height && event.table_height_cm.Usable()) {
            zeros.height = event.table_height_cm.value;
        }
    }
    return zeros;
}

namespace {

Vec3 Scaled(const Vec3& v, double s) {
    return {v.x * s, v.y * s, v.z * s};
}

Vec3 Plus(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

// The room's directions of a table's motion in the patient's frame.
Vec3 RoomDirection(TableDirection direction, const PatientPosition& position) {
    const double head = position.feet_first ? -1 : 1;
    const double left = position.feet_first != position.prone ? -1 : 1;
    const double up = position.prone ? 1 : -1;  // y grows towards the back
    switch (direction) {
        case TableDirection::Head:
            return {0, 0, head};
        case TableDirection::Feet:
            return {0, 0, -head};
        case TableDirection::Left:
            return {left, 0, 0};
        case TableDirection::Right:
            return {-left, 0, 0};
        case TableDirection::Up:
            return {0, up, 0};
        case TableDirection::Down:
            return {0, -up, 0};
    }
    return {};
}

// The isocentre in the patient's frame: the table's displacement from its zero moves the
// patient, so the isocentre moves the other way relative to him.
Vec3 IsocentreOf(const IrradiationEvent& event, const PlacementInputs& in,
                 const PatientPosition& position) {
    Vec3 isocentre = in.patient.DefaultIsocentre();
    const struct {
        const ReportValue& value;
        const TableAxisConvention& axis;
        const std::optional<double>& first;
    } axes[] = {
        {event.table_longitudinal_cm, in.convention.longitudinal, in.zeros.longitudinal},
        {event.table_lateral_cm, in.convention.lateral, in.zeros.lateral},
        {event.table_height_cm, in.convention.height, in.zeros.height},
    };
    for (const auto& a : axes) {
        const std::optional<double> zero = a.axis.zero_cm ? a.axis.zero_cm : a.first;
        if (!a.value.Usable() || !zero) {
            continue;
        }
        const double moved = *a.value.value - *zero;
        isocentre = Plus(isocentre, Scaled(RoomDirection(a.axis.growing, position), -moved));
    }
    return isocentre;
}

}  // namespace

EventPlacement PlaceEvent(const IrradiationEvent& event, const PlacementInputs& in) {
    EventPlacement out;
    const double isocentre_cm = event.source_isocentre_cm.Usable()
                                    ? *event.source_isocentre_cm.value
                                    : in.device_isocentre_cm;
    out.reference_distance_cm = event.source_reference_cm.Usable()
                                    ? *event.source_reference_cm.value
                                    : isocentre_cm - kReferencePointOffset;
    if (!event.primary_angle_deg.Usable() || !event.secondary_angle_deg.Usable()) {
        out.not_placed = {"角度がないため患者モデルに置けません",
                          "without both angles the beam cannot be placed on the patient"};
        return out;
    }
    if (!(isocentre_cm > 0) || !(out.reference_distance_cm > 0)) {
        out.not_placed = {"焦点-アイソセンター間距離がないため患者モデルに置けません",
                          "without the focus-isocentre distance the beam cannot be placed"};
        return out;
    }
    const PatientPosition position = PositionOf(event);
    const double primary = *event.primary_angle_deg.value * std::numbers::pi / 180;
    const double secondary = *event.secondary_angle_deg.value * std::numbers::pi / 180;
    MapBeam& beam = out.beam;
    // The angles give where the image receptor stands around the patient (PS3.3): at 0, 0
    // in front of the chest, LAO at the patient's left, CRA towards the head.
    beam.direction = {std::sin(primary) * std::cos(secondary),
                      -std::cos(primary) * std::cos(secondary), std::sin(secondary)};
    beam.across = {std::cos(primary), std::sin(primary), 0};
    beam.along = {-std::sin(primary) * std::sin(secondary), std::cos(primary) * std::sin(secondary),
                  std::cos(secondary)};
    beam.focus = Plus(IsocentreOf(event, in, position), Scaled(beam.direction, -isocentre_cm));
    const bool collimated = event.field_width_cm.Usable() && event.field_height_cm.Usable() &&
                            event.source_detector_cm.Usable() && *event.field_width_cm.value > 0 &&
                            *event.field_height_cm.value > 0 && *event.source_detector_cm.value > 0;
    if (collimated) {
        beam.tan_half_across = *event.field_width_cm.value / 2 / *event.source_detector_cm.value;
        beam.tan_half_along = *event.field_height_cm.value / 2 / *event.source_detector_cm.value;
    } else if (in.kar_mgy > 0 && in.pka_gycm2 > 0) {
        const double side = std::sqrt(1000 * in.pka_gycm2 / in.kar_mgy);
        beam.tan_half_across = side / 2 / out.reference_distance_cm;
        beam.tan_half_along = beam.tan_half_across;
    } else {
        out.not_placed = {"照射野の大きさが分からないため患者モデルに置けません",
                          "without the field's size the beam cannot be placed"};
        return out;
    }
    out.central = FirstSkinHit(in.patient, beam.focus, beam.direction);
    out.placed = true;
    return out;
}

}  // namespace korvex
