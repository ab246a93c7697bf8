#pragma once

#include "engine/engine_state.h"

namespace korvex {

// Field backscatter factor: sums the backscatter kernel over the rings the field covers at
// the effective surface (inverse-square weighted; square fields by the ring fraction
// inside the square), per kernel energy up to the tube voltage, and averages the factors
// with the normalised tissue-dose spectrum. A circle's radius is half its diameter at the
// surface (legacy: the diameter times L over the focus-receptor distance). Sets DoseSpectrum,
// FieldHalfLong, FieldHalfShort, FieldBackscatter[1..n] and MeanBackscatterFactor. Runs after
// ComputeSpectrum. Throws CalculationError for a circle of more than 300 rings, a tube
// voltage of 150 kV or more, or an all-zero spectrum. `hardening_cm` of phantom material in
// front of the surface weights the spectrum by its transmission (a table top under a
// mattress hardens the beam that reaches the skin); with 0 nothing is weighted.
void ComputeBackscatterFactor(EngineState& state, double hardening_cm = 0);

}  // namespace korvex
