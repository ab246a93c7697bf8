#pragma once

#include <functional>
#include <string>

#include "engine/grid_array.h"
#include "engine/reference_tables.h"
#include "engine/scatter_kernel_cache.h"
#include "engine/user_message.h"

namespace korvex {

struct EngineState;

// The user's message when the depth step fails; the result displays then show "---".
inline constexpr const char* kDepthStepFailureMessage =
    KORVEX_TRANSLATE_NOOP("korvex::Core", " 正しく計算できません ");

// exp(-mu_phantom(E) d) at the centres of the depth step's layers, with the phantom
// attenuation it was taken from.
struct LayerAttenuation {
    bool filled = false;
    FineArray mu_phantom;
    GridTable<kFineGridSize + 1, kDepthLayerCount + 1> values;  // (e, z)
};

// Tables of the depth step; they live as long as the state and are partly overwritten by
// each calculation. Layers 41..80 and index 0 are never written.
struct DepthTables {
    GridTable<301, kKernelLayerCount + 1> ScatterByEnergy;  // Y(e, z): on-axis scatter per
                                                            // unit spectrum weight
    GridArray<kKernelLayerCount + 1> PrimaryDepthDose;      // Dp(z)
    GridArray<kKernelLayerCount + 1> ScatterDepthDose;      // Ds(z)
    GridTable<4, kKernelLayerCount + 1> DepthDoseTable;     // PDD(c, z), percent; c = 1
                                                            // primary, 2 scatter, 3 total
    LayerAttenuation PhantomAttenuation;                    // kept between calculations
};

struct DepthStepResult {
    bool succeeded = false;
    std::string reason;  // why it failed, for logs and tests; empty on success
};

// Gives the kernel of a kernel energy in keV; may throw FileError or CalculationError.
using ScatterKernelSource = std::function<const ScatterKernel&(int energy_kev)>;

// The depth-dose curve of the case's beam in phantom material and DepthFactor, the dose at
// CouchDepth as a fraction of the dose at the phantom surface (the validated model; it reads
// MeanBackscatterFactor, so it runs after ComputeBackscatterFactor) or in the first layer
// (legacy). Kernels come from the working
// folder through the state's cache. Any failure (a missing, short or broken kernel file,
// a division by zero, the logarithm of a non-positive value, an index beyond a table, a
// result that is not finite) ends the step: the result says so and DepthFactor keeps its
// old value. The step shows nothing; the caller shows kDepthStepFailureMessage.
DepthStepResult ComputeDepthFactor(EngineState& state);
DepthStepResult ComputeDepthFactor(EngineState& state, const ScatterKernelSource& kernels);

// Fraction of the ring between radii r1 < r2 (cm) that lies inside the rectangle of half
// sides a >= b (cm) centred on the axis, with the program's pi. Throws CalculationError
// for a division by zero (an edge at distance 0) or a square root of a negative number.
double RingFraction(double r1, double r2, double a, double b);

}  // namespace korvex
