#include "engine/working_folder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "engine/errors.h"
#include "engine/text_file.h"

namespace korvex {
namespace fs = std::filesystem;

namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

fs::path FindBundledDataFolder(const fs::path& executable, const fs::path& source_data_folder) {
    std::error_code error;
    const fs::path installed = executable.parent_path() / ".." / "share" / "korvex2";
    if (fs::is_directory(installed, error)) {
        return fs::weakly_canonical(installed, error);
    }
    return source_data_folder;
}

void SeedWorkingFolder(const fs::path& bundled, const fs::path& folder, bool new_folder) {
    std::error_code error;
    if (!fs::is_directory(bundled, error)) {
        return;
    }
    for (auto it = fs::recursive_directory_iterator(bundled, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path relative = fs::relative(it->path(), bundled, error);
        if (error || relative.filename() == "README.md") {
            continue;
        }
        const fs::path extension = relative.extension();
        if (!new_folder && (extension == ".kvx" || extension == ".kvx2")) {
            continue;
        }
        const fs::path target = folder / relative;
        if (it->is_directory()) {
            fs::create_directories(target, error);
        } else if (!fs::exists(target)) {
            // Through a temporary file: a copy cut short must not pass for the real file.
            std::ifstream in(it->path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            if (!in) {
                throw FileError("「" + it->path().string() + "」を読み込めません。");
            }
            WriteFileAtomically(target, bytes.str(), relative.string());
        }
    }
}

fs::path ResolveWorkingFolder(const fs::path& bundled) {
    if (const char* chosen = NonEmptyEnv("KORVEX2_WORKDIR")) {
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
    fs::create_directories(folder, error);
    if (error) {
        throw FileError("作業フォルダー「" + folder.string() + "」を作成できません（" +
                        error.message() + "）。");
    }
    SeedWorkingFolder(bundled, folder, new_folder);
    return folder;
}

}  // namespace korvex
