#pragma once

#include <filesystem>
#include <string>

namespace korvex {

// Where the bundled working folder may lie.
struct BundledDataPlaces {
    // From the folder of the running program to the installed data, as the install layout
    // puts them ("../share/korvex2" for bin and share/korvex2).
    std::filesystem::path installed;
    // The source tree's `data/` folder, for a program run from its build tree; empty in a
    // package, which must never look into the tree it was built from.
    std::filesystem::path build_tree;
};

// The places this build was configured with: the install layout's relative path, and the
// source tree's data only when the build keeps that fallback (KORVEX_SOURCE_DATA_FALLBACK).
BundledDataPlaces ConfiguredBundledDataPlaces();

// The bundled working folder: the installed place beside `executable` when it is a
// folder; else the build tree's folder when there is one; else the installed place all
// the same, so that nothing is seeded from it and the missing reference data are reported
// by name when they are read.
std::filesystem::path FindBundledDataFolder(const std::filesystem::path& executable,
                                            const BundledDataPlaces& places);

// The working folder: KORVEX2_WORKDIR when it is set; otherwise the user's data folder
// ($XDG_DATA_HOME or ~/.local/share, then "Korvex-2"), created on first use and filled
// from `bundled` without overwriting anything the user already has. Throws FileError
// when the folder cannot be made.
std::filesystem::path ResolveWorkingFolder(const std::filesystem::path& bundled);

// Removes what writes killed part-way left in the working folder and in "PDS-data".
// ResolveWorkingFolder does it; a folder chosen otherwise (the command line's --workdir)
// calls it itself.
void RemoveStaleWorkingFiles(const std::filesystem::path& folder);

// The file `name` of `folder`, for names a user gives (device, material and results file
// names): a bare file name, so "..", folder names and absolute paths are refused, and a
// symbolic link that leads out of the folder too. Throws FileError with a message.
std::filesystem::path FileInFolder(const std::filesystem::path& folder, const std::string& name);

// Copies every file of `bundled` (sub-folders included) that `folder` does not have yet.
// Example device files are copied only into a new folder: a device the user deleted
// stays deleted, while missing reference data come back.
void SeedWorkingFolder(const std::filesystem::path& bundled, const std::filesystem::path& folder,
                       bool new_folder);

}  // namespace korvex
