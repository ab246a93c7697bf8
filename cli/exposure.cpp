#include "cli/exposure.h"

#include "device/device_file.h"
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
                         exposure.shape + "\"");
    }

    ExposureForm form(state);
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

Json CalculationJson(const CalculationCase& calc, const ExposureResult& result) {
    Json json;
    const std::pair<const char*, double> numbers[] = {
        {"CorrectedKar", calc.CorrectedKar},
        {"CorrectedPka", calc.CorrectedPka},
        {"CouchTransmission", calc.CouchTransmission},
        {"PrimaryAirKerma", calc.PrimaryAirKerma},
        {"DoseToKermaRatio", calc.DoseToKermaRatio},
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
    json["ReferenceFieldSize"] = result.field_size_text;

    Json display = Json::object();
    for (size_t i = 0; i < kDisplayNames.size(); ++i) {
        display[kDisplayNames[i]] = result.outcome.displays[i].value_or("");
    }
    json["display"] = display;

    const ResultRow row = FormatResultRow(calc);
    Json cells = Json::array();
    for (const ResultColumnInfo& info : kResultColumns) {
        cells.push_back(row[info.column].StoredText());
    }
    json["row"] = cells;
    return json;
}

}  // namespace korvex::cli
