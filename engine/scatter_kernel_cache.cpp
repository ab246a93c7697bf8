#include "engine/scatter_kernel_cache.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstddef>

#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/text_file.h"

namespace korvex {
namespace {

constexpr int kFirstKernelEnergy = 10;  // keV
constexpr int kKernelEnergyStep = 5;    // keV

}  // namespace

std::string ScatterKernelFileName(int energy_kev) {
    return "PDS-data/" + std::to_string(energy_kev) + ".dat";
}

ScatterKernel ReadScatterKernelFile(const std::filesystem::path& path,
                                    const std::string& file_label) {
    // 6,400 numbers take some 100 kB; far larger is no kernel file.
    constexpr std::size_t kMaxKernelFileBytes = 4 * 1024 * 1024;
    return ParseScatterKernel(
        ReadTextFile(path, file_label, Decoding::Lenient, kMaxKernelFileBytes), file_label);
}

ScatterKernel ParseScatterKernel(std::string text, const std::string& file_label) {
    FieldStream stream(std::move(text), file_label);
    ScatterKernel kernel;
    for (long z = 1; z <= kKernelLayerCount; ++z) {
        for (long k = 1; k <= kKernelRingCount; ++k) {
            const double value = stream.RequireNumber();
            if (z <= kDepthLayerCount) {
                kernel(k, z) = value;
            }
        }
    }
    stream.RequireNoMoreNumbers();
    return kernel;
}

ScatterKernelCache::ScatterKernelCache() : entries_(kKernelFileCount) {}

void ScatterKernelCache::Clear() {
    for (Entry& entry : entries_) {
        entry = Entry{};
    }
}

ScatterKernelCache::FileStamp ScatterKernelCache::StampOf(const std::filesystem::path& path,
                                                          const std::string& file_label) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw FileError("ファイル「" + file_label + "」が見つかりません。");
        }
        throw FileError("ファイル「" + file_label + "」を開けません。");
    }
    if (!S_ISREG(info.st_mode)) {
        throw FileError("「" + file_label + "」はファイルではありません。");
    }
    FileStamp stamp;
    stamp.size = info.st_size;
    stamp.modified_ns =
        static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    stamp.changed_ns =
        static_cast<long long>(info.st_ctim.tv_sec) * 1000000000LL + info.st_ctim.tv_nsec;
    stamp.inode = info.st_ino;
    stamp.device = info.st_dev;
    return stamp;
}

const ScatterKernel& ScatterKernelCache::Kernel(const std::filesystem::path& working_folder,
                                                int energy_kev) {
    const int offset = energy_kev - kFirstKernelEnergy;
    if (offset < 0 || offset % kKernelEnergyStep != 0 ||
        offset / kKernelEnergyStep >= kKernelFileCount) {
        throw CalculationError("no kernel file for " + std::to_string(energy_kev) + " keV");
    }
    Entry& entry = entries_[static_cast<size_t>(offset / kKernelEnergyStep)];
    const std::string label = ScatterKernelFileName(energy_kev);
    const std::filesystem::path path = working_folder / label;
    if (entry.valid && entry.checked_in_scope && entry.path == path) {
        return *entry.kernel;
    }
    try {
        // Taken before reading: a change while the file is read shows at the next request.
        const FileStamp stamp = StampOf(path, label);
        if (!(entry.valid && entry.path == path && entry.stamp == stamp)) {
            entry = Entry{};
            auto kernel = std::make_shared<const ScatterKernel>(ReadScatterKernelFile(path, label));
            entry.path = path;
            entry.stamp = stamp;
            entry.kernel = std::move(kernel);
            entry.valid = true;
        }
        entry.checked_in_scope = scopes_ > 0;
        return *entry.kernel;
    } catch (...) {
        entry = Entry{};
        throw;
    }
}

ScatterKernelCache::OneCheckPerFile::OneCheckPerFile(ScatterKernelCache& cache) : cache_(cache) {
    ++cache_.scopes_;
}

ScatterKernelCache::OneCheckPerFile::~OneCheckPerFile() {
    if (--cache_.scopes_ == 0) {
        for (Entry& entry : cache_.entries_) {
            entry.checked_in_scope = false;
        }
    }
}

}  // namespace korvex
