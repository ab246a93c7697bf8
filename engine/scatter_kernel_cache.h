#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/grid_array.h"

namespace korvex {

// Scatter-kernel files: one per kernel energy 10, 15, ..., 150 keV in "PDS-data".
inline constexpr int kKernelFileCount = 29;
inline constexpr int kKernelRingCount = 80;   // rings of 0.5 cm
inline constexpr int kKernelLayerCount = 80;  // layers of 0.5 cm held by a file
inline constexpr int kDepthLayerCount = 40;   // layers the depth step uses (to 20 cm)

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

    // While one lives, each file is checked on disk at its first request only: the steps
    // of one calculation (the validated model runs the depth step three times) use the same
    // files, and the checks were a third of the depth step's time.
    class OneCheckPerFile {
      public:
        explicit OneCheckPerFile(ScatterKernelCache& cache);
        ~OneCheckPerFile();
        OneCheckPerFile(const OneCheckPerFile&) = delete;
        OneCheckPerFile& operator=(const OneCheckPerFile&) = delete;

      private:
        ScatterKernelCache& cache_;
    };

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
        bool checked_in_scope = false;  // checked since the outermost OneCheckPerFile began
    };
    static FileStamp StampOf(const std::filesystem::path& path, const std::string& file_label);

    std::vector<Entry> entries_;
    int scopes_ = 0;  // OneCheckPerFile objects alive
};

}  // namespace korvex
