#pragma once

#include <string>

#include "engine/engine_state.h"
#include "engine/user_message.h"

namespace korvex {

// What a physicist reads a beam by, from the spectrum of the last ComputeSpectrum.
struct BeamQuality {
    // First half-value layer in aluminium, mm: the thickness that halves the air kerma of
    // a narrow beam, as IEC 61267 states its radiation qualities (RQR) and dosimeters are
    // calibrated by.
    double half_value_layer_mm = 0;
    // Mean energy of the photon-number spectrum (fluence-weighted), keV.
    double mean_energy_kev = 0;
};

// The beam quality of the spectrum in the work arrays, modelled at `tube_voltage_kv`
// (bins 2..2V): the air-kerma spectrum K_i attenuated by exp(-mu_Al,i t) gives the HVL
// where sum K_i exp(-mu_Al,i t) = sum K_i / 2; the photon spectrum N_i gives
// sum N_i E_i / sum N_i. Throws CalculationError for an empty spectrum or a half-value layer
// beyond 100 mm Al (no beam of the program's voltages comes near it).
BeamQuality ComputeBeamQuality(const EngineState& state, double tube_voltage_kv);

// "線質：第１半価層 3.01 mmAl、平均エネルギー 44.7 keV" (HVL "#0.00", energy "##0.0"), and
// its English.
UserText BeamQualityText(const BeamQuality& quality);

}  // namespace korvex
