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

JsonObject CalculationJson(const CalculationCase& calc, const ExposureResult& result) {
    JsonObject json;
    json.Number("CorrectedKar", calc.CorrectedKar)
        .Number("CorrectedPka", calc.CorrectedPka)
        .Number("CouchTransmission", calc.CouchTransmission)
        .Number("PrimaryAirKerma", calc.PrimaryAirKerma)
        .Number("DoseToKermaRatio", calc.DoseToKermaRatio)
        .Number("MeanBackscatterFactor", calc.MeanBackscatterFactor)
        .Number("DepthFactor", calc.DepthFactor)
        .Number("LayerSurfaceDose", calc.LayerSurfaceDose)
        .Number("SkinDose", calc.SkinDose)
        .Number("PrimarySurfaceDose", calc.PrimarySurfaceDose)
        .Number("ForwardBackscatterFactor", calc.ForwardBackscatterFactor)
        .Number("EffectiveSurfaceDistance", calc.EffectiveSurfaceDistance)
        .Number("SurfaceFieldSizeA", calc.SurfaceFieldSizeA)
        .Text("ReferenceFieldSize", result.field_size_text);

    JsonObject display;
    for (int i = 0; i < 7; ++i) {
        const auto& text = result.outcome.displays[static_cast<size_t>(i)];
        display.Text("Label" + std::to_string(68 + i), text.value_or(""));
    }
    json.Object("display", display);

    const ResultRow row = FormatResultRow(calc);
    std::vector<std::string> cells;
    for (const ResultColumnInfo& info : kResultColumns) {
        cells.push_back(row[info.column].StoredText());
    }
    json.TextArray("row", cells);
    return json;
}

}  // namespace korvex::cli
