#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/dose_model.h"
#include "engine/user_message.h"

namespace korvex {

struct EngineState;

// Texts of the main window's fields, as typed or shown.
struct CalculationInputs {
    std::string BodySiteText;             // Combo1
    std::string TubeVoltageText;          // Text5, kV
    std::string KarText;                  // Text14, mGy (tested for presence only)
    std::string PkaText;                  // Text15, Gy*cm^2 (tested for presence only)
    std::string FocusSkinDistanceText;    // Text9, cm
    std::string FieldSizeText;            // Label65, cm ("#0.00", empty without a shape)
    DoseModel Model = kDefaultDoseModel;  // the formula chosen for the skin dose
};

inline constexpr const char* kMissingInputMessage =
    KORVEX_TRANSLATE_NOOP("korvex::Core", " 未入力の項目があります ");
inline constexpr const char* kCalculationFailureMessage =
    KORVEX_TRANSLATE_NOOP("korvex::Core", "\u3000???  正しく計算できませんでした  ???   ");
// Shown in the forward-backscatter and skin-dose displays when the depth step fails.
inline constexpr const char* kNotCalculatedDisplay = "---";
// Body site recorded when the body-site text is empty.
inline constexpr const char* kNoBodySite = "---";

// Result displays Label68 .. Label74, in this order.
enum DisplayIndex : int {
    kCorrectedKarDisplay = 0,        // Label68, "###0.0"
    kCorrectedPkaDisplay = 1,        // Label69, "###0.0"
    kCouchTransmissionDisplay = 2,   // Label70, "0.000"
    kPrimaryAirKermaDisplay = 3,     // Label71, "###0.0"
    kDoseToKermaRatioDisplay = 4,    // Label72, "0.000"
    kForwardBackscatterDisplay = 5,  // Label73, "0.000"
    kSkinDoseDisplay = 6,            // Label74, "####0.0"
};

// The displays by the names of the case members they show, in display order.
inline constexpr std::array<const char*, 7> kDisplayNames = {
    "CorrectedKar",    "CorrectedPka",     "CouchTransmission",
    "PrimaryAirKerma", "DoseToKermaRatio", "ForwardBackscatterFactor",
    "SkinDose"};

struct CalculationOutcome {
    enum class Result { MissingInput, Failed, DepthStepFailed, Succeeded };
    Result result = Result::MissingInput;
    // Texts for Label68 .. Label74 in this order; nullopt leaves that label as it was.
    std::array<std::optional<std::string>, 7> displays;
    // Beside the skin dose: "± 10 %" (validated), empty (legacy, or no budget could be
    // formed); nullopt leaves it as it was.
    std::optional<std::string> uncertainty_display;
    // Under the displays, the beam's quality once its spectrum is modelled:
    // "線質：第１半価層 3.01 mmAl、平均エネルギー 44.7 keV" and its English; nullopt leaves
    // it as it was.
    std::optional<UserText> beam_quality_display;
    std::optional<UserMessage> message;
    bool enable_add_and_clear = false;  // enable Command3 and Command6, focus Command3
    std::string reason;                 // detail of a failure, for logs, tests and the CLI
};

// The calculate button's calculation: checks the four numeric inputs, takes the tube
// voltage, focus-skin distance, body site, field size and model from the inputs, forms the
// corrected readings and the field at the effective surface, runs the spectrum, the
// backscatter factor and the depth step, and combines them into the skin dose by the model:
//
//   validated: SkinDose = G B D k Ka,r (d_ref / (FSD - d_c))^2, d_ref = FID - 15 cm,
//              G relative to the surface dose; with its expanded uncertainty;
//   legacy:    SkinDose = G B D (FSD / (FSD - d_c))^2 T k Ka,r, G relative to the first layer.
//
// DisplayedKar
// and DisplayedPka are taken from the case: the window's fields store them when they are
// confirmed or left. Runs without pausing; the window keeps its buttons disabled meanwhile.
// Shows nothing itself: the outcome says what the window must show. Values a failed run
// wrote before the failure stay in the case, as do their displays in the outcome.
CalculationOutcome RunCalculation(EngineState& state, const CalculationInputs& inputs);

}  // namespace korvex
