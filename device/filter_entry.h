#pragma once

#include <optional>
#include <string>

#include "engine/user_message.h"

namespace korvex {

class DeviceEntry;
struct EngineState;

// Messages of SetArbitraryFilter (framed by ideographic spaces U+3000).
inline constexpr const char* kNoMaterialChosenMessage =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "　フィルター材質が未選択です　");
inline constexpr const char* kNoThicknessMessage =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "　フィルターの厚さを入力して下さい　");
// The thickness box as messages name it.
inline constexpr const char* kFilterThicknessCaption = "フィルターの厚さ";
// The file pattern of the material files.
inline constexpr const char* kMaterialFilePattern = "*.ele";

// The arbitrary-filter dialog (Form5) without its window: the description of the chosen
// material file, the thickness text, and setting or releasing the filter on the shared
// case, the attenuation table and the device dialog's texts. Qt-free, like DeviceEntry,
// which it writes into.
class FilterEntry {
  public:
    FilterEntry(EngineState& state, DeviceEntry& device);

    // Opening from the device dialog: the description and the thickness are emptied.
    void Open();

    // A click on a material file (bare name in the working folder): its first line becomes
    // the FilterDescription. A file that cannot be read empties the description and
    // returns the reason to show.
    std::optional<UserMessage> ShowDescription(const std::string& file_name);
    const std::string& Description() const { return description_; }  // Label5

    void SetThicknessText(std::string text) { thickness_text_ = std::move(text); }
    const std::string& ThicknessText() const { return thickness_text_; }  // Text2, mm

    // SetArbitraryFilter with the chosen file (empty when none is chosen): refuses, with
    // the beep and an exclamation message, no file, a thickness that is empty, no number
    // (NotANumberMessage) or not above 0, and a material file that cannot be read (the previous
    // table is then kept); otherwise builds ArbitraryFilterMu, sets the case's thickness (cm) and
    // flag and the device dialog's material and thickness texts. Accepted: the dialog closes.
    [[nodiscard]] RuleOutcome Set(const std::string& file_name);

    // ReleaseArbitraryFilter: no description, thickness 0 and the flag off in the case.
    // The device dialog's texts and ArbitraryFilterMu stay; the window empties the main
    // window's two filter labels.
    void Release();

  private:
    EngineState& state_;
    DeviceEntry& device_;
    std::string description_;  // FilterDescription
    std::string thickness_text_;
};

}  // namespace korvex
