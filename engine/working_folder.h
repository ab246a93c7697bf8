#pragma once

#include <filesystem>

namespace korvex {

// The bundled working folder: beside an installed program (<prefix>/share/korvex2) when
// it exists there, else the source tree's `data/` folder the program was built from.
std::filesystem::path FindBundledDataFolder(const std::filesystem::path& executable,
                                            const std::filesystem::path& source_data_folder);

// The working folder: KORVEX2_WORKDIR when it is set; otherwise the user's data folder
// ($XDG_DATA_HOME or ~/.local/share, then "Korvex-2"), created on first use and filled
// from `bundled` without overwriting anything the user already has. Throws FileError
// when the folder cannot be made.
std::filesystem::path ResolveWorkingFolder(const std::filesystem::path& bundled);

// Copies every file of `bundled` (sub-folders included) that `folder` does not have yet.
// Example device files are copied only into a new folder: a device the user deleted
// stays deleted, while missing reference data come back.
void SeedWorkingFolder(const std::filesystem::path& bundled, const std::filesystem::path& folder,
                       bool new_folder);

}  // namespace korvex
