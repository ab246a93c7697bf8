#include "cli/exposure.h"

#include <sstream>

#include "device/device_file.h"
#include "engine/field_stream.h"
#include "engine/text_rules.h"
#include "exposure/exposure_form.h"
#include "results/add_result_row.h"

namespace korvex::cli {

ExposureResult RunExposure(EngineState& state, const Exposure& exposure) {
    FieldShapeKind shape = FieldShapeKind::Unset;
    if (exposure.shape == "square") {
        shape = FieldShapeKind::Square;
    } else if (exposure.shape == "circle") {
        shape = FieldShapeKind::Circle;
    } else if (exposure.shape != "none") {
        throw UsageError("照射野形状は square、circle、none のいずれかで指定して下さい: \"" +
                         MessageQuote(exposure.shape) + "\"");
    }

    ExposureForm form(state);
    form.SetModel(exposure.model);
    form.ChooseDevice(exposure.device);
    form.SetText(ExposureField::BodySite, exposure.site);
    if (!exposure.kv.empty()) {
        form.SetText(ExposureField::TubeVoltage, exposure.kv);
    }
    if (!exposure.fsd.empty()) {
        form.SetText(ExposureField::FocusSkinDistance, exposure.fsd);
    }
    form.Enter(ExposureField::Kar, exposure.kar);
    form.Enter(ExposureField::Pka, exposure.pka);
    if (shape != FieldShapeKind::Unset) {
        form.ChooseShape(shape);
    }
    ExposureResult result;
    result.outcome = form.Calculate();
    result.field_size_text = form.FieldSizeText();
    return result;
}

namespace {

// The fields of one line of the exposure list, trailing blanks removed.
std::vector<std::string> ExposureFields(const std::string& line, const std::string& file_name) {
    FieldStream fields(line, file_name);
    std::vector<std::string> values;
    while (auto field = fields.ReadField()) {
        while (!field->empty() && (field->back() == ' ' || field->back() == '\t')) {
            field->pop_back();
        }
        values.push_back(*field);
    }
    if (line.back() == ',') {
        values.emplace_back();  // a trailing comma leaves an empty last field
    }
    return values;
}

}  // namespace

std::vector<std::pair<int, Exposure>> ParseExposures(std::string_view text,
                                                     const std::string& file_label) {
    std::vector<std::pair<int, Exposure>> exposures;
    std::istringstream in{std::string(text)};
    std::string line;
    int number = 0;
    bool header_seen = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) {
            line.erase(0, 3);  // a byte-order mark some editors write
        }
        if (Trimmed(line).empty()) {
            continue;
        }
        const std::vector<std::string> values = ExposureFields(line, file_label);
        const std::string where =
            MessageQuote(file_label) + " の " + std::to_string(number) + " 行目";
        // The header is the first line that is not blank, wherever it stands.
        if (!header_seen) {
            if (values !=
                std::vector<std::string>{"device", "site", "kv", "kar", "pka", "shape", "fsd"}) {
                throw InputFileFailure(
                    where + ": 見出しは device,site,kv,kar,pka,shape,fsd として下さい。",
                    file_label);
            }
            header_seen = true;
            continue;
        }
        if (values.size() != 7) {
            throw InputFileFailure(
                where + ": 7 個の値 (device,site,kv,kar,pka,shape,fsd) が必要です。", file_label);
        }
        exposures.push_back(
            {number,
             {values[0], values[1], values[2], values[3], values[4], values[5], values[6]}});
    }
    if (!header_seen) {
        throw InputFileFailure("照射の一覧「" + MessageQuote(file_label) + "」が空です。",
                               file_label);
    }
    return exposures;
}

Failure CalculationFailure(const CalculationOutcome& outcome, DoseModel model) {
    return Failure{ExitCode::CalculationFailed,
                   outcome.message ? outcome.message->text : std::string(),
                   outcome.reason,
                   {},
                   {},
                   model};
}

Json CalculationJson(const CalculationCase& calc, const ExposureResult& result) {
    Json json;
    json["Model"] = DoseModelKey(calc.Model);
    json["CouchModel"] = CouchModelKey(calc.Couch);
    if (calc.Couch == CouchModel::TableTop) {
        json["MattressThickness"] = JsonNumber(calc.MattressThickness);
        json["CouchScatterRatio"] = JsonNumber(calc.CouchScatterRatio);
        json["TableTopTransmission"] = JsonNumber(calc.TableTopTransmission);
        json["CouchScatterBeyondTable"] = calc.CouchScatterBeyondTable;
    }
    const std::pair<const char*, double> numbers[] = {
        {"CorrectedKar", calc.CorrectedKar},
        {"CorrectedPka", calc.CorrectedPka},
        {"CouchTransmission", calc.CouchTransmission},
        {"PrimaryAirKerma", calc.PrimaryAirKerma},
        {"DoseToKermaRatio", calc.DoseToKermaRatio},
        {"HalfValueLayer", calc.HalfValueLayer},
        {"MeanEnergy", calc.MeanEnergy},
        {"MeanBackscatterFactor", calc.MeanBackscatterFactor},
        {"DepthFactor", calc.DepthFactor},
        {"LayerSurfaceDose", calc.LayerSurfaceDose},
        {"SkinDose", calc.SkinDose},
        {"PrimarySurfaceDose", calc.PrimarySurfaceDose},
        {"ForwardBackscatterFactor", calc.ForwardBackscatterFactor},
        {"EffectiveSurfaceDistance", calc.EffectiveSurfaceDistance},
        {"SurfaceFieldSizeA", calc.SurfaceFieldSizeA},
    };
    for (const auto& [key, value] : numbers) {
        json[key] = JsonNumber(value);
    }
    if (calc.SkinDoseUncertainty > 0) {
        const SkinDoseBudget& parts = calc.UncertaintyBudget;
        json["SkinDoseUncertainty"] = JsonNumber(calc.SkinDoseUncertainty);
        json["SkinDoseUncertaintyBudget"] = {
            {"Model", JsonNumber(parts.Model)},
            {"Data", JsonNumber(parts.Data)},
            {"Calibration", JsonNumber(parts.Calibration)},
            {"FocusSkinDistance", JsonNumber(parts.FocusSkinDistance)},
            {"FieldSize", JsonNumber(parts.FieldSize)},
            {"CoverageFactor", JsonNumber(budget::kCoverageFactor)}};
    } else {
        json["SkinDoseUncertainty"] = nullptr;
    }
    json["ReferenceFieldSize"] = result.field_size_text;

    Json display = Json::object();
    for (size_t i = 0; i < kDisplayNames.size(); ++i) {
        display[kDisplayNames[i]] = result.outcome.displays[i].value_or("");
    }
    json["Display"] = display;

    const ResultRow row = FormatResultRow(calc);
    Json cells = Json::array();
    for (const ResultColumnInfo& info : kResultColumns) {
        cells.push_back(row[info.column].StoredText());
    }
    json["Row"] = cells;
    return json;
}

}  // namespace korvex::cli
