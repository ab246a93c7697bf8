#include "engine/working_folder.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "engine/errors.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"

namespace korvex {
namespace fs = std::filesystem;

namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

BundledDataPlaces ConfiguredBundledDataPlaces() {
    return {KORVEX_INSTALLED_DATA_FROM_BINDIR, KORVEX_SOURCE_DATA_DIR};
}

fs::path FindBundledDataFolder(const fs::path& executable, const BundledDataPlaces& places) {
    std::error_code error;
    const fs::path installed = (executable.parent_path() / places.installed).lexically_normal();
    if (fs::is_directory(installed, error) || places.build_tree.empty()) {
        return installed;
    }
    return places.build_tree;
}

namespace {

[[noreturn]] void FailSeeding(const fs::path& target, const std::error_code& error) {
    throw FileError("作業フォルダーの「" + target.filename().string() + "」を用意できません（" +
                    error.message() + "）。");
}

// Copies one bundled file through a temporary file: a copy cut short must not pass for
// the real file.
void SeedFile(const fs::path& source, const fs::path& target, const fs::path& relative) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(target, error);
    if (error && status.type() != fs::file_type::not_found) {
        FailSeeding(target, error);
    }
    const bool present = fs::exists(status);
    if (!present) {
        WriteFileAtomically(target, ReadFileBytes(source, source.string()), relative.string());
    }
}

}  // namespace

// Only the error_code overloads of std::filesystem are used: a link loop or a folder the
// user may not enter must give a message, not an exception that ends the program.
void SeedWorkingFolder(const fs::path& bundled, const fs::path& folder, bool new_folder) {
    std::error_code error;
    if (!fs::is_directory(bundled, error)) {
        return;
    }
    for (auto it = fs::recursive_directory_iterator(bundled, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path relative = fs::relative(it->path(), bundled, error);
        if (error || relative.filename() == "README.md") {
            error.clear();
            continue;
        }
        const fs::path extension = relative.extension();
        if (!new_folder && (extension == ".kvx" || extension == ".kvx2")) {
            continue;
        }
        const fs::path target = folder / relative;
        if (it->is_directory(error)) {
            fs::create_directories(target, error);
            if (error) {
                FailSeeding(target, error);
            }
        } else if (!error) {
            SeedFile(it->path(), target, relative);
        }
        error.clear();
    }
}

void RemoveStaleWorkingFiles(const fs::path& folder) {
    RemoveStaleTemporaryFiles(folder);
    RemoveStaleTemporaryFiles(folder / "PDS-data");
}

fs::path ResolveWorkingFolder(const fs::path& bundled) {
    if (const char* chosen = NonEmptyEnv("KORVEX2_WORKDIR")) {
        RemoveStaleWorkingFiles(chosen);
        return chosen;
    }
    fs::path data_home;
    if (const char* xdg = NonEmptyEnv("XDG_DATA_HOME")) {
        data_home = xdg;
    } else if (const char* home = NonEmptyEnv("HOME")) {
        data_home = fs::path(home) / ".local" / "share";
    } else {
        throw FileError("作業フォルダーを決められません（HOME が設定されていません）。");
    }
    const fs::path folder = data_home / "Korvex-2";
    std::error_code error;
    const bool new_folder = !fs::exists(folder, error);
    if (!error) {
        fs::create_directories(folder, error);
    }
    if (error) {
        throw FileError("作業フォルダー「" + MessageQuote(folder.string()) +
                        "」を作成できません（" + error.message() + "）。");
    }
    RemoveStaleWorkingFiles(folder);
    SeedWorkingFolder(bundled, folder, new_folder);
    return folder;
}

fs::path FileInFolder(const fs::path& folder, const std::string& name) {
    const auto refuse = [&name]() {
        throw FileError("「" + MessageQuote(name) +
                        "」は作業フォルダーの中のファイル名ではありません（フォルダー名や「.."
                        "」は使えません）。");
    };
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
        refuse();
    }
    const fs::path path = folder / name;
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
        return path;
    }
    // A link may point to another file of the folder, never out of it. A broken link
    // is left to the reader, which reports the missing file.
    const fs::path target = fs::canonical(path, error);
    if (error) {
        return path;
    }
    const fs::path base = fs::canonical(folder, error);
    if (error) {
        refuse();
    }
    const auto [base_end, target_end] =
        std::mismatch(base.begin(), base.end(), target.begin(), target.end());
    if (base_end != base.end()) {
        refuse();
    }
    return path;
}

}  // namespace korvex
