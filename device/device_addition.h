#pragma once

#include <filesystem>
#include <string>

namespace korvex {

// What adding a device file from elsewhere (a file given to the program) to the working
// folder does: the folder's device list holds only the folder's own files.
enum class DeviceAddition {
    AlreadyThere,  // the folder's file of that name is this file, or holds the same bytes
    New,           // the folder has no file of that name
    Replaces,      // the folder has a different file of that name
};

struct GivenDevice {
    std::string name;   // the file's name, which its copy in the working folder keeps
    std::string bytes;  // the file as read
    DeviceAddition addition = DeviceAddition::New;
};

// Reads the device file at `path` and checks it by the device file's rules, so that no
// file the device list could not load is added; compares it with the working folder's
// file of the same name. Throws FileError with the reader's message (missing, no device
// file, a name the folder refuses) or for a hidden name, which the device list never shows.
GivenDevice ExamineGivenDevice(const std::filesystem::path& working_folder,
                               const std::filesystem::path& path);

// Writes the device into the working folder under its name, through a temporary file,
// replacing a file of that name. Throws FileError when it cannot be written; the folder's
// old file is then intact.
void AddGivenDevice(const std::filesystem::path& working_folder, const GivenDevice& device);

}  // namespace korvex
