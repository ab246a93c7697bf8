#include "device/device_file.h"

#include <cctype>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "device/material_file.h"
#include "engine/couch_model.h"
#include "engine/engine_state.h"
#include "engine/errors.h"
#include "engine/field_stream.h"
#include "engine/text_file.h"
#include "engine/text_rules.h"
#include "engine/working_folder.h"

namespace korvex {
namespace {

// Lines of a newer-version file as earlier programs write and read it: one value each.
constexpr int kNewerVersionLines = 13;
// Focus-receptor distances beyond this are no X-ray room's; a value like 1e308 would
// shrink the circular field to nothing and give a backscatter factor of 1 without a word.
constexpr double kMaxFocusReceptorDistanceCm = 1000;
// Longest file name the file system takes, in bytes.
constexpr size_t kMaxFileNameBytes = 255;

// In any case, as the device list shows the files ("ROOM.KVX2" from another system).
bool IsNewerVersion(const std::string& file_name) {
    if (file_name.size() < 4) {
        return false;
    }
    std::string ending = file_name.substr(file_name.size() - 4);
    for (char& c : ending) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ending == "kvx2";
}

// A flag line: 0 or 1, read as a plain number (" 1 " as the filter flag is written).
int ReadFlag(FieldStream& stream, const std::string& what) {
    const int line = stream.LineNumber();
    const std::string field = stream.RequireField();
    const auto value = ParseDecimal(field);
    if (!value) {
        stream.FailNotNumber(field, line);
    }
    if (*value != 0.0 && *value != 1.0) {
        stream.Fail(std::to_string(line) + " 行目の" + what + "「" + MessageQuote(field) +
                    "」は 0 か 1 でなければなりません。");
    }
    return static_cast<int>(*value);
}

// Whether nothing but blanks and line ends is left: a newer-version file with an empty
// line after line 13 loaded before there were lines 14 and 15, and still does.
bool RestIsBlank(FieldStream stream) {
    while (const std::optional<std::string> line = stream.ReadLine()) {
        if (!Trimmed(*line).empty()) {
            return false;
        }
    }
    return true;
}

// Lines 14 and 15 of a ".kvx2" file: the couch model and, for a table top, the mattress.
// Earlier programs read the first 13 values and nothing after them, so they load a
// table-top file as a layer device. A file whose 13 values do not end with line 13 (a
// line holding several values) is read as earlier programs read it: the layer.
void ReadCouchModel(FieldStream& stream, CalculationCase& loaded) {
    loaded.Couch = CouchModel::Layer;
    loaded.MattressThickness = 0;
    if (stream.LineNumber() != kNewerVersionLines + 1 || RestIsBlank(stream)) {
        return;
    }
    const std::string what = "天板モデル（0：" + std::string(CouchModelName(CouchModel::Layer)) +
                             "、1：" + std::string(CouchModelName(CouchModel::TableTop)) + "）";
    if (ReadFlag(stream, what) == 0) {
        return;
    }
    const int line = stream.LineNumber();
    const double mattress = stream.RequireNumberField();
    if (!IsMattressThickness(mattress)) {
        stream.Fail(std::to_string(line) + " 行目の" + MattressThicknessRefusal(mattress));
    }
    loaded.Couch = CouchModel::TableTop;
    loaded.MattressThickness = mattress;
}

void SkipFields(FieldStream& stream, int count) {
    for (int i = 0; i < count; ++i) {
        stream.RequireField();
    }
}

void RefuseName(const std::string& why) {
    throw DeviceDataRefused("装置データを保存できません：" + why);
}

void CheckDeviceName(const std::string& name) {
    if (name.empty()) {
        RefuseName("Ｘ線室または装置の名称を入力して下さい。");
    }
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos) {
        RefuseName("名称「" + MessageQuote(name) + "」に「/」や「\\」は使えません。");
    }
    if (name.front() == '.') {
        RefuseName("名称「" + MessageQuote(name) + "」を「.」で始めることはできません。");
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) {
            RefuseName("名称に制御文字は使えません。");
        }
    }
    if (name.size() + std::string(kDeviceFileExtension).size() > kMaxFileNameBytes) {
        RefuseName("名称「" + MessageQuote(name) + "」が長すぎます。");
    }
}

// Lines 8 to 10 are written as typed; they must come back as one field each.
void CheckLineText(const std::string& text, const char* what) {
    if (text.find_first_of(",\"\r\n") != std::string::npos) {
        RefuseName(std::string(what) + "「" + MessageQuote(text) +
                   "」に「,」や「\"」は使えません。");
    }
}

// The reader skips the blanks before a field, so a text written with them would not come
// back as saved. Around a number they mean nothing and are dropped.
std::string WithoutBlanks(const std::string& text) {
    return std::string(Trimmed(text));
}

// The circular field is scaled by this distance: zero, negative or absurd values give a
// wrong dose without failing, so they are refused when a device is made and when loaded.
bool IsFocusReceptorDistance(double cm) {
    return cm > 0 && cm <= kMaxFocusReceptorDistanceCm;
}

const char* const kFocusReceptorRule = "は 0 より大きく 1000 cm 以下でなければなりません。";

std::string Formatted(double value, const char* pattern, const char* what) {
    if (!std::isfinite(value)) {
        RefuseName(std::string(what) + "が数値ではありません。");
    }
    return FormatNumber(value, pattern);
}

std::string Formatted(double value, const StoredCalibrationValue& stored) {
    return Formatted(value, stored.format, stored.name);
}

}  // namespace

bool IsMattressThickness(double cm) {
    return cm >= 0 && cm <= kMaxMattressThicknessCm;
}

std::string MattressThicknessRefusal(double cm) {
    const std::string name = kStoredMattressThickness.name;
    if (!std::isfinite(cm)) {
        return name + "が数値ではありません。";
    }
    return name + " " + ShortestNumberText(cm) + " cm は 0 cm 以上 " +
           ShortestNumberText(kMaxMattressThicknessCm) + " cm 以下でなければなりません。";
}

bool StoredAsZero(double value, const char* format) {
    if (!std::isfinite(value)) {
        return false;
    }
    const std::optional<double> stored = ParseDecimal(FormatNumber(value, format));
    return stored && *stored == 0;
}

int StoredDecimals(const char* format) {
    const std::string_view pattern(format);
    const size_t point = pattern.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(pattern.size() - point - 1);
}

LoadedDevice ParseDeviceFile(std::string text, const std::string& file_name,
                             CalculationCase& loaded) {
    FieldStream stream(std::move(text), file_name);
    LoadedDevice device;

    loaded.FocusReceptorDistance = stream.RequireNumberField();
    if (!IsFocusReceptorDistance(loaded.FocusReceptorDistance)) {
        stream.Fail("1 行目の焦点-受像器間距離 " +
                    ShortestNumberText(loaded.FocusReceptorDistance) + " cm " + kFocusReceptorRule);
    }
    loaded.FocusIsocentreDistance = stream.RequireNumberField();
    loaded.TargetAngle = stream.RequireNumberField();
    device.InherentFiltrationMm = stream.RequireNumberField();
    device.AddedAluminiumMm = stream.RequireNumberField();
    device.AddedCopperMm = stream.RequireNumberField();
    loaded.ArbitraryFilterOn = ReadFlag(stream, "付加フィルタの有無");
    loaded.ArbitraryFilterMaterial = stream.RequireField();
    // The thickness as typed in the filter dialog: the number it begins with.
    device.ArbitraryFilterThicknessMm = LeadingNumber(stream.RequireField());

    if (IsNewerVersion(file_name)) {
        device.TypicalTubeVoltage = stream.RequireField();
        loaded.CouchTransmission = stream.RequireNumberField();
        loaded.CouchEquivalentThickness = stream.RequireNumberField();
        loaded.KermaCorrectionFactor = stream.RequireNumberField();
        ReadCouchModel(stream, loaded);
    } else {
        // Groups of five values at 60, 70, 80, 90 and 100 kV; the 80 kV ones are used.
        SkipFields(stream, 2);
        loaded.CouchTransmission = stream.RequireNumberField();
        SkipFields(stream, 4);
        loaded.CouchEquivalentThickness = stream.RequireNumberField();
        SkipFields(stream, 4);
        loaded.KermaCorrectionFactor = stream.RequireNumberField();
        SkipFields(stream, 2);
        device.TypicalTubeVoltage = kOldDeviceTubeVoltage;
        loaded.Couch = CouchModel::Layer;
        loaded.MattressThickness = 0;
    }

    loaded.InherentFiltration = device.InherentFiltrationMm * kMmToCm;
    loaded.AddedAluminium = device.AddedAluminiumMm * kMmToCm;
    loaded.AddedCopper = device.AddedCopperMm * kMmToCm;
    loaded.ArbitraryFilterThickness = device.ArbitraryFilterThicknessMm * kMmToCm;

    return device;
}

LoadedDevice LoadDeviceFile(EngineState& state, const std::string& file_name) {
    CalculationCase loaded = state.calc;
    const LoadedDevice device =
        ParseDeviceFile(ReadTextFile(FileInFolder(state.working_folder, file_name), file_name,
                                     Decoding::Strict, kMaxDeviceFileBytes),
                        file_name, loaded);

    // A device with a filter is never calculated without the filter's attenuation.
    if (loaded.ArbitraryFilterOn == 1) {
        const std::string material_file = MaterialFileName(loaded.ArbitraryFilterMaterial);
        MaterialAttenuation material;
        try {
            material =
                ReadMaterialFile(FileInFolder(state.working_folder, material_file), material_file);
        } catch (const FileError& error) {
            throw FileError("装置データ「" + MessageQuote(file_name) + "」の付加フィルタ「" +
                            MessageQuote(loaded.ArbitraryFilterMaterial) + "」を読み込めません。" +
                            error.what());
        }
        for (int n = 1; n <= kFineGridSize; ++n) {
            state.work.ArbitraryFilterMu[n] = material.Mu[n];
        }
    }
    state.calc = loaded;
    return device;
}

std::string SaveDeviceFile(const std::filesystem::path& working_folder,
                           const DeviceDialogTexts& texts, const CalculationCase& calc) {
    CheckDeviceName(texts.DeviceName);
    CheckLineText(texts.ArbitraryFilterMaterial, "付加フィルタの材質");
    CheckLineText(texts.ArbitraryFilterThickness, "付加フィルタの厚さ");
    CheckLineText(texts.TypicalTubeVoltage, "通常使用する管電圧");
    if (!texts.ArbitraryFilterMaterial.empty() && (texts.ArbitraryFilterMaterial.front() == ' ' ||
                                                   texts.ArbitraryFilterMaterial.front() == '\t')) {
        RefuseName("付加フィルタの材質「" + MessageQuote(texts.ArbitraryFilterMaterial) +
                   "」を空白で始めることはできません。");
    }
    if (std::isfinite(calc.FocusReceptorDistance) &&
        !IsFocusReceptorDistance(calc.FocusReceptorDistance)) {
        RefuseName("焦点-受像器間距離 " + ShortestNumberText(calc.FocusReceptorDistance) + " cm " +
                   kFocusReceptorRule);
    }
    if (calc.Couch == CouchModel::TableTop && !IsMattressThickness(calc.MattressThickness)) {
        RefuseName(MattressThicknessRefusal(calc.MattressThickness));
    }
    const std::string file_name = texts.DeviceName + kDeviceFileExtension;

    std::vector<std::string> lines{
        Formatted(calc.FocusReceptorDistance, "#00.0", "焦点-受像器間距離"),
        Formatted(calc.FocusIsocentreDistance, "#00.0", "焦点-アイソセンター間距離"),
        Formatted(calc.TargetAngle, "#0.0", "ターゲット角度"),
        FormatNumber(LeadingNumber(texts.InherentFiltration), "0.00"),
        FormatNumber(LeadingNumber(texts.AddedAluminium), "0.00"),
        FormatNumber(LeadingNumber(texts.AddedCopper), "0.00"),
        calc.ArbitraryFilterOn == 1 ? " 1 " : " 0 ",
        texts.ArbitraryFilterMaterial,
        WithoutBlanks(texts.ArbitraryFilterThickness),
        WithoutBlanks(texts.TypicalTubeVoltage),
        Formatted(calc.CouchTransmission, kStoredCouchTransmission),
        Formatted(calc.CouchEquivalentThickness, kStoredCouchThickness),
        Formatted(calc.KermaCorrectionFactor, kStoredKermaCorrection),
    };
    // A layer device stays the 13 lines earlier programs write, byte for byte.
    if (calc.Couch == CouchModel::TableTop) {
        lines.push_back(kTableTopFlag);
        lines.push_back(Formatted(calc.MattressThickness, kStoredMattressThickness));
    }
    WriteTextLines(working_folder / file_name, lines, file_name);
    return file_name;
}

std::string DeviceSavedMessage(const std::string& file_name) {
    return " 基本データを " + file_name + " に保存しました ";
}

}  // namespace korvex
