#pragma once

#include "engine/engine_state.h"

namespace korvex {

// Unnormalised sums of the filtered spectra over i = 2..2V.
struct SpectrumSums {
    double AirKerma = 0;
    double TissueDose = 0;
};

// The tungsten bremsstrahlung model with K lines and the device's filtration, at tube
// voltage `tube_voltage_kv` (V): fills RawSpectrum, PhotonSpectrum (normalised, values
// below 1e-10 cut), AirKermaSpectrum and TissueDoseSpectrum (both not yet normalised)
// for i = 2..2V and returns their sums. Reads the device fields of the case but writes
// none of its members, so the device calibration can run it at another voltage.
// Throws CalculationError for V >= 150.5 kV (beyond the grid), an empty spectrum
// (V < 1 kV) or a target angle whose cotangent is not finite.
// Inputs seen before are served from the state's spectrum cache, leaving the same arrays.
SpectrumSums ComputeSpectrumShape(EngineState& state, double tube_voltage_kv);

// AirKermaSpectrum[i] /= air_kerma_sum for i = 2..2V.
void NormaliseAirKermaSpectrum(EngineState& state, double tube_voltage_kv, double air_kerma_sum);

// The calculation's spectrum step: the model at V, then DoseToKermaRatio and the
// normalised air-kerma spectrum.
void ComputeSpectrum(EngineState& state, double tube_voltage_kv);

// Air-kerma transmission of the beam of the last ComputeSpectrum (its normalised
// AirKermaSpectrum at V) through `thickness_cm` of phantom material, narrow beam: what the
// device calibration matches to the couch transmission at the room's voltage. Throws
// CalculationError when the spectrum sums to zero or the result is not finite.
double PhantomTransmission(const EngineState& state, double tube_voltage_kv, double thickness_cm);

// The same for the primary tissue dose (TissueDoseSpectrum): DoseToKermaRatio times this
// over PhantomTransmission is the dose-to-kerma ratio of the transmitted beam.
double PhantomDoseTransmission(const EngineState& state, double tube_voltage_kv,
                               double thickness_cm);

// Thomson-Whiddington constant C(V) of the anode model, from the tube voltage in kV.
double ThomsonWhiddingtonConstant(double tube_voltage_kv);

// Ratio R of the tungsten K lines to the bremsstrahlung (percent); 0 up to 70 kV.
double KLineRatio(double tube_voltage_kv);

// Highest fine-grid index of a spectrum at tube voltage V: every whole i with i <= 2V.
long LastSpectrumBin(double tube_voltage_kv);

}  // namespace korvex
