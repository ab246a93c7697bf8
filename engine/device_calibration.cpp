#include "engine/device_calibration.h"

#include <cmath>

#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/spectrum.h"
#include "engine/text_rules.h"

namespace korvex {
namespace {

bool Positive(double value) {
    return value > 0.0 && std::isfinite(value);
}

// A transmission for a message: enough decimals to tell small values apart.
std::string TransmissionText(double value) {
    return FormatNumber(value, "0.000###");
}

// The refusals of the thickness search, in both languages.
CalibrationInputError CouchAmplifies(double tc) {
    return CalibrationInputError(
        {"天板ありの空気カーマが天板なしの値より大きく、天板透過率 " + TransmissionText(tc) +
             " が 1 を超えています。測定値を確認して下さい。",
         "The air kerma with couch is larger than without: the couch transmission " +
             TransmissionText(tc) + " exceeds 1. Check the measurements."});
}

CalibrationInputError CouchBeyondTenCentimetres(double tc, double t10) {
    return CalibrationInputError(
        {"天板透過率 " + TransmissionText(tc) + " が、軟部組織 10 cm の透過率 " +
             TransmissionText(t10) +
             " 以下のため、天板の軟部組織等価厚を求められません。測定値を確認して下さい。",
         "The couch transmission " + TransmissionText(tc) +
             " is at or below the transmission of 10 cm of soft tissue (" + TransmissionText(t10) +
             "): no soft-tissue equivalent couch thickness fits. Check the measurements."});
}

CalibrationInputError NoSpectrumAt(double kvn) {
    return CalibrationInputError(
        {"通常使用する管電圧 " + ShortestNumberText(kvn) +
             " kV とこの装置のターゲット角度・フィルタでは、Ｘ線スペクトルを計算できません。"
             "入力を確認して下さい。",
         "No X-ray spectrum can be calculated for a typical tube voltage of " +
             ShortestNumberText(kvn) +
             " kV with this unit's target angle and filtration. Check the inputs."});
}

// The thickness search for couch transmission `tc` with the beam at `kvn`. Writes the
// spectra and TissueTransmission; on failure they are restored and the error is thrown.
double SearchCouchThickness(EngineState& state, double tc, double kvn) {
    if (!Positive(kvn)) {
        throw CalibrationInputError({"通常使用する管電圧には 0 より大きい値を入力して下さい。",
                                     "Enter a typical tube voltage above 0."});
    }
    if (!(tc <= 1.0) || !std::isfinite(tc)) {
        throw CouchAmplifies(tc);
    }
    const WorkArrays saved_work = state.work;
    const TransmissionTable saved_transmission = state.work.TissueTransmission;
    const auto restore = [&] {
        state.work = saved_work;
        state.work.TissueTransmission = saved_transmission;
    };
    try {
        // The room's beam: normalised air-kerma spectrum w(e) at kVn.
        WorkArrays& w = state.work;
        for (long e = 1; e <= kFineGridSize; ++e) {
            w.PhotonSpectrum[e] = 0;
            w.AirKermaSpectrum[e] = 0;
        }
        const SpectrumSums sums = ComputeSpectrumShape(state, kvn);
        NormaliseAirKermaSpectrum(state, kvn, sums.AirKerma);
        const long last = LastSpectrumBin(kvn);
        double w0 = 0;
        for (long e = 2; e <= last; ++e) {
            w0 += w.AirKermaSpectrum[e];
        }
        if (!Positive(w0)) {
            throw CalculationError("air-kerma spectrum of the room's beam sums to " +
                                   std::to_string(w0));
        }

        TransmissionTable& t = state.work.TissueTransmission;
        const FineArray& mu = state.tables.MuPhantom;
        t[0] = 1;
        long i = 0;
        while (t[i] >= tc) {
            if (i == kTransmissionSteps) {
                throw CouchBeyondTenCentimetres(tc, t[i]);
            }
            ++i;
            double sum = 0;
            for (long e = 2; e <= last; ++e) {
                sum += w.AirKermaSpectrum[e] *
                       std::exp(-mu[e] * kTransmissionStepCm * static_cast<double>(i));
            }
            t[i] = sum / w0;
            if (!std::isfinite(t[i])) {
                throw CalculationError("transmission is not finite");
            }
        }
        // T(i - 1) >= Tc > T(i), so the denominator is positive.
        const double thickness = kTransmissionStepCm * static_cast<double>(i - 1) +
                                 kTransmissionStepCm * (t[i - 1] - tc) / (t[i - 1] - t[i]);
        if (!std::isfinite(thickness)) {
            throw CalculationError("couch-equivalent thickness is not finite");
        }
        return thickness;
    } catch (const CalculationError& error) {
        restore();
        throw NoSpectrumAt(kvn);
    } catch (...) {
        restore();
        throw;
    }
}

}  // namespace

void ComputeDeviceCalibration(EngineState& state, double measured_kerma_no_couch_mgy,
                              double measured_kerma_with_couch_mgy,
                              double displayed_kar_at_measurement_mgy,
                              double focus_isocentre_distance_cm, double typical_tube_voltage_kv) {
    const double k0 = measured_kerma_no_couch_mgy;
    const double k1 = measured_kerma_with_couch_mgy;
    const double kd = displayed_kar_at_measurement_mgy;
    const double fid = focus_isocentre_distance_cm;
    if (!Positive(k0)) {
        throw CalibrationInputError(
            {"実測空気カーマ（天板なし）には 0 より大きい値を入力して下さい。",
             "Enter a measured air kerma without couch above 0."});
    }
    if (!Positive(k1)) {
        throw CalibrationInputError(
            {"実測空気カーマ（天板あり）には 0 より大きい値を入力して下さい。",
             "Enter a measured air kerma with couch above 0."});
    }
    if (!Positive(kd)) {
        throw CalibrationInputError({"装置表示値 Ka,r には 0 より大きい値を入力して下さい。",
                                     "Enter a displayed Ka,r above 0."});
    }
    // The reference point lies 15 cm in front of the isocentre; it must lie in front of
    // the focus too.
    if (!(fid > kReferencePointOffset) || !std::isfinite(fid)) {
        throw CalibrationInputError(
            {"焦点-アイソセンター間距離には 15 cm より大きい値を入力して下さい。",
             "Enter a focus-isocentre distance above 15 cm."});
    }
    const double transmission = k1 / k0;
    const double distance_ratio = fid / (fid - kReferencePointOffset);
    const double correction = (k0 / kd) * (distance_ratio * distance_ratio);
    if (!std::isfinite(transmission) || !std::isfinite(correction)) {
        throw CalibrationInputError(
            {"測定値から校正定数を計算できません。入力を確認して下さい。",
             "No calibration factor can be calculated from the measurements. Check the inputs."});
    }
    const double thickness = SearchCouchThickness(state, transmission, typical_tube_voltage_kv);
    state.calc.CouchTransmission = transmission;
    state.calc.KermaCorrectionFactor = correction;
    state.calc.CouchEquivalentThickness = thickness;
}

void ComputeCouchEquivalentThickness(EngineState& state, double typical_tube_voltage_kv) {
    state.calc.CouchEquivalentThickness =
        SearchCouchThickness(state, state.calc.CouchTransmission, typical_tube_voltage_kv);
}

}  // namespace korvex
