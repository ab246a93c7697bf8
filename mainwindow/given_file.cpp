#include "mainwindow/given_file.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "device/device_file.h"
#include "engine/errors.h"
#include "engine/text_file.h"

namespace korvex {
namespace {

// PS3.10 7.1: a 128-byte preamble, then "DICM".
constexpr std::size_t kPreambleBytes = 128;
constexpr std::string_view kDicomPrefix = "DICM";

std::string LowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// A data set without the file meta information starts with its lowest tag, in little
// endian: the meta group 0002 or the identifying group 0008, followed by an element
// number below 0x1000 in both of the transfer syntaxes such files use.
bool StartsAsDataSet(std::string_view start) {
    if (start.size() < 8) {
        return false;
    }
    const auto byte = [&start](std::size_t i) { return static_cast<unsigned char>(start[i]); };
    const bool group = (byte(0) == 0x02 || byte(0) == 0x08) && byte(1) == 0x00;
    return group && byte(3) < 0x10;
}

bool LooksLikeDicom(std::string_view start) {
    return (start.size() >= kPreambleBytes + kDicomPrefix.size() &&
            start.substr(kPreambleBytes, kDicomPrefix.size()) == kDicomPrefix) ||
           StartsAsDataSet(start);
}

}  // namespace

GivenFile ClassifyGivenFile(const std::filesystem::path& path) {
    std::string start;
    try {
        start = ReadFileStart(path, path.filename().string(), kPreambleBytes + kDicomPrefix.size());
    } catch (const FileError& error) {
        return {GivenFileKind::Unusable, error.what()};
    }
    const std::string extension = LowerExtension(path);
    if (extension == kDeviceFileExtension || extension == kOldDeviceFileExtension) {
        return {GivenFileKind::Device, {}};
    }
    if (extension == ".csv") {
        return {GivenFileKind::Results, {}};
    }
    if (extension == ".dcm" || LooksLikeDicom(start)) {
        return {GivenFileKind::DoseReport, {}};
    }
    return {GivenFileKind::Unknown, {}};
}

}  // namespace korvex
