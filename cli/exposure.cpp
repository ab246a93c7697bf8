#include "cli/exposure.h"

#include "device/device_file.h"
#include "engine/field_size.h"
#include "engine/text_rules.h"
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

    const LoadedDevice device = LoadDeviceFile(state, exposure.device);
    CalculationCase& calc = state.calc;
    const std::string kv = exposure.kv.empty() ? device.TypicalTubeVoltage : exposure.kv;
    const std::string fsd =
        exposure.fsd.empty() ? FormatNumber(calc.FocusIsocentreDistance - 15, "#00") : exposure.fsd;
    // The fields store their values when they are confirmed.
    calc.TubeVoltage = LeadingNumber(kv);
    calc.DisplayedKar = LeadingNumber(exposure.kar);
    calc.DisplayedPka = LeadingNumber(exposure.pka);
    calc.FocusSkinDistance = LeadingNumber(fsd);

    ExposureResult result;
    const std::optional<double> size =
        exposure.kar.empty() || exposure.pka.empty()
            ? std::nullopt
            : ComputeReferenceFieldSize(shape, calc.DisplayedKar, calc.DisplayedPka);
    if (size) {
        calc.FieldShape = shape;
        result.field_size_text = FormatNumber(*size, "#0.00");
    } else {
        calc.FieldShape = FieldShapeKind::Unset;
    }
    result.outcome = RunCalculation(
        state, {exposure.site, kv, exposure.kar, exposure.pka, fsd, result.field_size_text});
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
