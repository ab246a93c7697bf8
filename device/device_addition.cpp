#include "device/device_addition.h"

#include <system_error>

#include "device/device_file.h"
#include "engine/calculation_case.h"
#include "engine/errors.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "engine/working_folder.h"

namespace korvex {
namespace {

// A folder's file that cannot be read is taken as different: writing over it then says
// why it cannot be replaced.
bool HoldsBytes(const std::filesystem::path& file, const GivenDevice& device) {
    try {
        return ReadFileBytes(file, device.name, kMaxDeviceFileBytes) == device.bytes;
    } catch (const FileError&) {
        return false;
    }
}

}  // namespace

GivenDevice ExamineGivenDevice(const std::filesystem::path& working_folder,
                               const std::filesystem::path& path) {
    GivenDevice device;
    device.name = path.filename().string();
    if (device.name.starts_with('.')) {
        // The device list shows no hidden file: the copy could never be chosen.
        throw FileError(
            "装置データ「" + MessageQuote(device.name) +
            "」は名前が「.」で始まるため、作業フォルダーの装置の一覧に表示できません。");
    }
    device.bytes = ReadFileBytes(path, device.name, kMaxDeviceFileBytes);
    CalculationCase scratch;
    ParseDeviceFile(DecodeCp932(device.bytes, device.name), device.name, scratch);

    const std::filesystem::path target = FileInFolder(working_folder, device.name);
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(target, error))) {
        device.addition = DeviceAddition::New;
    } else if (std::filesystem::equivalent(path, target, error)) {
        device.addition = DeviceAddition::AlreadyThere;
    } else {
        device.addition =
            HoldsBytes(target, device) ? DeviceAddition::AlreadyThere : DeviceAddition::Replaces;
    }
    return device;
}

void AddGivenDevice(const std::filesystem::path& working_folder, const GivenDevice& device) {
    WriteFileAtomically(FileInFolder(working_folder, device.name), device.bytes, device.name);
}

}  // namespace korvex
