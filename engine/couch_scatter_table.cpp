#include "engine/couch_scatter_table.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <string_view>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

constexpr std::string_view kFirstLine = "Korvex couch scatter 1";
constexpr std::array<std::string_view, kCouchScatterAxes> kAxisNames = {"kV", "Cu mm", "field cm",
                                                                        "T", "mattress cm"};
constexpr std::string_view kHalfValueLayerName = "HVL mm Al";
constexpr std::size_t kMaxNodes = 64;
constexpr double kMaxValue = 10;  // S_c and its uncertainty; also far above any couch's
constexpr std::size_t kMaxFileBytes = 4 << 20;

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

std::vector<std::string_view> SplitCommas(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = line.find(',');
        fields.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos) {
            return fields;
        }
        line = line.substr(comma + 1);
    }
}

[[noreturn]] void Fail(const std::string& label, std::size_t line, const std::string& what) {
    throw FileError("「" + label + "」の " + std::to_string(line + 1) + " 行目：" + what);
}

// The numbers after a line's name; the name must be `name`.
std::vector<double> NamedNumbers(std::string_view line, std::string_view name,
                                 const std::string& label, std::size_t number) {
    const std::vector<std::string_view> fields = SplitCommas(line);
    if (fields.front() != name) {
        Fail(label, number, "「" + std::string(name) + "」の行がありません。");
    }
    std::vector<double> values;
    for (std::size_t k = 1; k < fields.size(); ++k) {
        const std::optional<double> value = ParseDecimal(fields[k]);
        if (!value || !std::isfinite(*value)) {
            Fail(label, number, "数値でない値があります。");
        }
        values.push_back(*value);
    }
    return values;
}

void CheckAxis(const std::vector<double>& axis, const std::string& label, std::size_t number) {
    if (axis.size() < 2 || axis.size() > kMaxNodes) {
        Fail(label, number, "格子点は 2 から 64 個でなければなりません。");
    }
    for (std::size_t k = 0; k < axis.size(); ++k) {
        if (axis[k] < 0 || (k > 0 && !(axis[k] > axis[k - 1]))) {
            Fail(label, number, "格子点は 0 以上で増加しなければなりません。");
        }
    }
}

// The node of a row, checked against the axes, then S_c and its uncertainty.
void ReadRow(std::string_view line, CouchScatterTable& table,
             const std::array<std::size_t, kCouchScatterAxes>& node, const std::string& label,
             std::size_t number) {
    const std::vector<std::string_view> fields = SplitCommas(line);
    if (fields.size() != kCouchScatterAxes + 2) {
        Fail(label, number, "値の数が 7 ではありません。");
    }
    std::array<double, kCouchScatterAxes + 2> numbers{};
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const std::optional<double> value = ParseDecimal(fields[k]);
        if (!value || !std::isfinite(*value)) {
            Fail(label, number, "数値でない値があります。");
        }
        numbers[k] = *value;
    }
    for (std::size_t a = 0; a < kCouchScatterAxes; ++a) {
        if (numbers[a] != table.axes[a][node[a]]) {
            Fail(label, number, "格子点が順番どおりではありません。");
        }
    }
    const double value = numbers[kCouchScatterAxes];
    const double uncertainty = numbers[kCouchScatterAxes + 1];
    if (value < 0 || value > kMaxValue || uncertainty < 0 || uncertainty > kMaxValue) {
        Fail(label, number, "散乱比が 0 から 10 の範囲にありません。");
    }
    table.values.push_back(value);
    table.uncertainties.push_back(uncertainty);
}

// The HVL line: one rising series per tube voltage.
void ReadHalfValueLayers(std::string_view line, CouchScatterTable& table, const std::string& label,
                         std::size_t number) {
    table.half_value_layers = NamedNumbers(line, kHalfValueLayerName, label, number);
    const std::size_t copper = table.axes[kCopperAxis].size();
    if (table.half_value_layers.size() != table.axes[kTubeVoltageAxis].size() * copper) {
        Fail(label, number, "半価層の数が格子点と合いません。");
    }
    for (std::size_t k = 0; k < table.half_value_layers.size(); ++k) {
        const double hvl = table.half_value_layers[k];
        if (!(hvl > 0) || (k % copper > 0 && !(hvl > table.half_value_layers[k - 1]))) {
            Fail(label, number, "半価層は正で、銅が厚いほど大きくなければなりません。");
        }
    }
}

void NextNode(std::array<std::size_t, kCouchScatterAxes>& node, const CouchScatterTable& table) {
    for (std::size_t a = kCouchScatterAxes; a-- > 0;) {
        if (++node[a] < table.axes[a].size()) {
            return;
        }
        node[a] = 0;
    }
}

// Where `x` lies on `axis` (by `scale` of both): the lower node and the weight of the
// upper, the edge when beyond; `clamped` says so.
struct AxisPosition {
    std::size_t lower = 0;
    double weight = 0;
    bool clamped = false;
};

AxisPosition Locate(const std::vector<double>& axis, double x, double (*scale)(double)) {
    AxisPosition p;
    if (!(x > axis.front())) {
        p.clamped = x < axis.front() || !std::isfinite(x);
        return p;
    }
    if (!(x < axis.back())) {
        p.clamped = x > axis.back();
        p.lower = axis.size() - 2;
        p.weight = 1;
        return p;
    }
    while (axis[p.lower + 1] <= x) {
        ++p.lower;
    }
    const double lo = scale(axis[p.lower]);
    const double hi = scale(axis[p.lower + 1]);
    p.weight = (scale(x) - lo) / (hi - lo);
    return p;
}

double Same(double x) {
    return x;
}
double Log(double x) {
    return std::log(x);
}
// The table top's scatter reaching the skin falls about as the solid angle it subtends,
// as 1 / (mattress + 3 cm) over the bundled table's nodes (80 kV, 12 cm, T = 0.7: S_c
// (m + 3 cm) = 1.54, 1.51, 1.43, 1.48 cm at 0, 2, 5, 10 cm), where it is far from straight.
double MattressScale(double mattress_cm) {
    return 1 / (mattress_cm + 3);
}

// The filtration axis at the query's voltage: each copper node's HVL interpolated in tube
// voltage, the query's HVL located among them.
AxisPosition LocateFiltration(const CouchScatterTable& table, const AxisPosition& voltage,
                              double half_value_layer) {
    const std::size_t copper = table.axes[kCopperAxis].size();
    std::vector<double> hvl(copper);
    for (std::size_t c = 0; c < copper; ++c) {
        const double lo = table.half_value_layers[voltage.lower * copper + c];
        const double hi = table.half_value_layers[(voltage.lower + 1) * copper + c];
        hvl[c] = lo + voltage.weight * (hi - lo);
    }
    return Locate(hvl, half_value_layer, Same);
}

}  // namespace

std::size_t CouchScatterTable::Count() const {
    std::size_t count = 1;
    for (const std::vector<double>& axis : axes) {
        count *= axis.size();
    }
    return count;
}

std::size_t CouchScatterTable::Index(const std::array<std::size_t, kCouchScatterAxes>& node) const {
    std::size_t index = 0;
    for (std::size_t a = 0; a < kCouchScatterAxes; ++a) {
        index = index * axes[a].size() + node[a];
    }
    return index;
}

CouchScatterLookup LookUpCouchScatter(const CouchScatterTable& table,
                                      const CouchScatterQuery& query) {
    std::array<AxisPosition, kCouchScatterAxes> at;
    at[kTubeVoltageAxis] = Locate(table.axes[kTubeVoltageAxis], query.tube_voltage_kv, Same);
    at[kCopperAxis] = LocateFiltration(table, at[kTubeVoltageAxis], query.half_value_layer_mm);
    at[kFieldAxis] = Locate(table.axes[kFieldAxis], query.field_side_cm, Log);
    at[kTransmissionAxis] = Locate(table.axes[kTransmissionAxis], query.transmission, Log);
    at[kMattressAxis] = Locate(table.axes[kMattressAxis], query.mattress_cm, MattressScale);

    CouchScatterLookup result;
    constexpr std::array<std::string_view, kCouchScatterAxes> kQueryNames = {
        "tube voltage", "half-value layer", "field size", "couch transmission", "mattress"};
    for (std::size_t a = 0; a < kCouchScatterAxes; ++a) {
        if (at[a].clamped) {
            result.clamped.emplace_back(kQueryNames[a]);
        }
    }
    for (unsigned corner = 0; corner < (1U << kCouchScatterAxes); ++corner) {
        std::array<std::size_t, kCouchScatterAxes> node{};
        double weight = 1;
        for (std::size_t a = 0; a < kCouchScatterAxes; ++a) {
            const bool upper = ((corner >> a) & 1U) != 0;
            node[a] = at[a].lower + (upper ? 1 : 0);
            weight *= upper ? at[a].weight : 1 - at[a].weight;
        }
        if (weight != 0) {
            result.ratio += weight * table.values[table.Index(node)];
        }
    }
    return result;
}

std::vector<std::string> FormatCouchScatterTable(const CouchScatterTable& table) {
    auto joined = [](std::string_view name, const std::vector<double>& values) {
        std::string line(name);
        for (const double v : values) {
            line += "," + ShortestNumberText(v);
        }
        return line;
    };
    std::vector<std::string> lines{std::string(kFirstLine)};
    for (std::size_t a = 0; a < kCouchScatterAxes; ++a) {
        lines.push_back(joined(kAxisNames[a], table.axes[a]));
    }
    lines.push_back(joined(kHalfValueLayerName, table.half_value_layers));
    std::array<std::size_t, kCouchScatterAxes> node{};
    for (std::size_t i = 0; i < table.values.size(); ++i, NextNode(node, table)) {
        std::string line;
        for (std::size_t a = 0; a < kCouchScatterAxes; ++a) {
            line += ShortestNumberText(table.axes[a][node[a]]) + ",";
        }
        lines.push_back(line + ShortestNumberText(table.values[i]) + "," +
                        ShortestNumberText(table.uncertainties[i]));
    }
    for (const std::string& note : table.notes) {
        lines.push_back("# " + note);
    }
    return lines;
}

CouchScatterTable ParseCouchScatterTable(const std::string& text, const std::string& file_label) {
    std::vector<std::string_view> lines = SplitLines(text);
    for (std::string_view& line : lines) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
    }
    CouchScatterTable table;
    if (lines.empty() || lines[0] != kFirstLine) {
        Fail(file_label, 0, "天板散乱表ではありません。");
    }
    std::size_t n = 1;
    for (std::size_t a = 0; a < kCouchScatterAxes; ++a, ++n) {
        if (n >= lines.size()) {
            Fail(file_label, n, "表が途中で終わっています。");
        }
        table.axes[a] = NamedNumbers(lines[n], kAxisNames[a], file_label, n);
        CheckAxis(table.axes[a], file_label, n);
        // Field and transmission are interpolated by their logarithms; T is a fraction.
        const bool logarithmic = a == kFieldAxis || a == kTransmissionAxis;
        if ((logarithmic && !(table.axes[a].front() > 0)) ||
            (a == kTransmissionAxis && table.axes[a].back() > 1)) {
            Fail(file_label, n, "格子点が範囲外です。");
        }
    }
    if (n >= lines.size()) {
        Fail(file_label, n, "表が途中で終わっています。");
    }
    ReadHalfValueLayers(lines[n], table, file_label, n);
    ++n;
    const std::size_t count = table.Count();
    std::array<std::size_t, kCouchScatterAxes> node{};
    for (std::size_t i = 0; i < count; ++i, ++n, NextNode(node, table)) {
        if (n >= lines.size()) {
            Fail(file_label, n, "表が途中で終わっています。");
        }
        ReadRow(lines[n], table, node, file_label, n);
    }
    for (; n < lines.size(); ++n) {
        if (lines[n].rfind("# ", 0) == 0) {
            table.notes.emplace_back(lines[n].substr(2));
        } else if (!lines[n].empty()) {
            Fail(file_label, n, "表の後に余分な行があります。");
        }
    }
    return table;
}

CouchScatterTable ReadCouchScatterTable(const std::filesystem::path& working_folder) {
    return ParseCouchScatterTable(
        ReadTextFile(working_folder / kCouchScatterFileName, kCouchScatterFileName,
                     Decoding::Strict, kMaxFileBytes),
        kCouchScatterFileName);
}

}  // namespace korvex
