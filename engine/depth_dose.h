#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

#include "engine/grid_array.h"

namespace korvex {

struct EngineState;

// Scatter-kernel files: one per kernel energy 10, 15, ..., 150 keV in "PDS-data".
inline constexpr int kKernelFileCount = 29;
inline constexpr int kKernelRingCount = 80;   // rings of 0.5 cm
inline constexpr int kKernelLayerCount = 80;  // layers of 0.5 cm held by a file
inline constexpr int kDepthLayerCount = 40;   // layers the depth step uses (to 20 cm)

// The user's message when the depth step fails; the result displays then show "---".
inline constexpr const char* kDepthStepFailureMessage = " 正しく計算できません ";

// K(k, z) of one kernel file: ring k = 1..80, layer z = 1..40 (layers 41..80 of the file
// are read and checked but never used, so they are not kept). Index 0 stays 0.
using ScatterKernel = GridTable<kKernelRingCount + 1, kDepthLayerCount + 1>;

// Name of the kernel file of `energy_kev` relative to the working folder: "PDS-data/45.dat".
std::string ScatterKernelFileName(int energy_kev);

// Reads and parses one kernel file (6,400 numbers, layer by layer, ring by ring). Throws
// FileError naming `file_label` for a missing or short file or a value that is no number.
ScatterKernel ReadScatterKernelFile(const std::filesystem::path& path,
                                    const std::string& file_label);
// The same on the file's decoded text; a number after the 6,400th is refused.
ScatterKernel ParseScatterKernel(std::string text, const std::string& file_label);

// Kernels of the working folder kept between calculations. Every request checks the file
// on disk (size, modification and change times, file identity); a changed file is read
// again, and a missing or broken one fails the request and is dropped from the cache.
class ScatterKernelCache {
  public:
    ScatterKernelCache();

    // The kernel of `energy_kev` (10, 15, ..., 150) of `working_folder`. Throws FileError.
    const ScatterKernel& Kernel(const std::filesystem::path& working_folder, int energy_kev);

    // Forgets every kernel, so the next calculation reads all files again.
    void Clear();

  private:
    struct FileStamp {
        off_t size = 0;
        long long modified_ns = 0;
        long long changed_ns = 0;
        ino_t inode = 0;
        dev_t device = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct Entry {
        bool valid = false;
        std::filesystem::path path;
        FileStamp stamp;
        std::shared_ptr<const ScatterKernel> kernel;
    };
    static FileStamp StampOf(const std::filesystem::path& path, const std::string& file_label);

    std::vector<Entry> entries_;
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
};

struct DepthStepResult {
    bool Succeeded = false;
    std::string reason;  // why it failed, for logs and tests; empty on success
};

// Gives the kernel of a kernel energy in keV; may throw FileError or CalculationError.
using ScatterKernelSource = std::function<const ScatterKernel&(int energy_kev)>;

// The depth-dose curve of the case's beam in phantom material and DepthFactor, the dose at
// CouchDepth as a fraction of the dose in the first layer. Kernels come from the working
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
