#pragma once

#include <stdexcept>
#include <string>

#include "engine/user_message.h"

namespace korvex {

struct EngineState;

// Measurements that cannot give calibration values (a zero kerma, a focus-isocentre
// distance of 15 cm, a couch that would amplify the beam, ...). what() is a complete
// Japanese message for the user, english() the same in English; the calculation case has
// not been changed.
class CalibrationInputError : public std::runtime_error {
  public:
    explicit CalibrationInputError(const UserText& message)
        : std::runtime_error(message.japanese), english_(message.english) {}
    const std::string& english() const { return english_; }

  private:
    std::string english_;
};

// Steps of the thickness search (0.1 cm each) and their number (to 10 cm).
inline constexpr double kTransmissionStepCm = 0.1;
inline constexpr int kTransmissionSteps = 100;

// The three calibration values of a room from one set of measurements at its usual tube
// voltage: CouchTransmission = K1 / K0, KermaCorrectionFactor = (K0 / Kd) (FID / (FID -
// 15))^2, and CouchEquivalentThickness from the room's beam (the device fields of the case
// give its quality). Kerma in mGy, FID in cm, kVn in kV. Either all three values are set,
// or CalibrationInputError is thrown and the case is unchanged.
void ComputeDeviceCalibration(EngineState& state, double measured_kerma_no_couch_mgy,
                              double measured_kerma_with_couch_mgy,
                              double displayed_kar_at_measurement_mgy,
                              double focus_isocentre_distance_cm, double typical_tube_voltage_kv);

// Thickness of phantom material whose air-kerma transmission for the room's beam at kVn
// equals the case's CouchTransmission: the transmission T(i) through i steps of 0.1 cm is
// the normalised air-kerma spectrum weighted by exp(-MuPhantom 0.1 i), the search steps
// while T(i) >= Tc, and the thickness is interpolated linearly between the last two steps.
// Writes TissueTransmission[0..i], PhotonSpectrum and AirKermaSpectrum (for kVn) and
// CouchEquivalentThickness (cm). Throws CalibrationInputError (case unchanged) when kVn
// gives no spectrum or Tc lies outside 1 .. the 10 cm transmission.
void ComputeCouchEquivalentThickness(EngineState& state, double typical_tube_voltage_kv);

}  // namespace korvex
