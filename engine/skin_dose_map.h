#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvex {

// A point or direction in the patient's frame, cm: x towards the patient's left, y towards
// the back (posterior), z towards the head (the DICOM patient axes). The origin lies on the
// trunk's axis at the height of the top of the head, so the body spans z from -height to 0.
struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

// The patient as the skin-dose map sees him: an elliptic-cylinder trunk lying on a flat
// table top, the rest of the body (head, neck, legs) as the table-top plane on which it
// lies. The sizes of the adult default follow the MIRD adult phantom (Snyder, Ford, Warner
// and Watson, MIRD Pamphlet No. 5 Revised, 1978): trunk 40 cm wide, 20 cm deep, 70 cm long,
// head and neck 24 cm above it, 174 cm in all, for the 70 kg reference man of ICRP
// Publication 23.
struct PatientModel {
    double height_cm = 174;
    double weight_kg = 70;
    double trunk_half_width_cm = 20;  // semi-axis along x
    double trunk_half_depth_cm = 10;  // semi-axis along y
    double trunk_top_cm = 24;         // below the top of the head
    double trunk_length_cm = 70;
    // A typical interventional table top is 45 to 50 cm wide.
    double table_half_width_cm = 25;
    // The table top lies this far below the trunk's lowest line: the mattress.
    double mattress_cm = 0;
    bool prone = false;  // the table under the chest instead of the back
    // Where the isocentre lies when the table stands at its zero: on the trunk's axis,
    // this far below the trunk's top (the heart's level in the MIRD phantom).
    double isocentre_below_trunk_top_cm = 20;

    // y of the table top's upper surface.
    double TableTopY() const;
    Vec3 DefaultIsocentre() const;
};

inline constexpr double kReferenceHeightCm = 174;
inline constexpr double kReferenceWeightKg = 70;
// Heights and weights outside these are taken for typing errors: the default is used.
inline constexpr double kMinPatientHeightCm = 100;
inline constexpr double kMaxPatientHeightCm = 220;
inline constexpr double kMinPatientWeightKg = 20;
inline constexpr double kMaxPatientWeightKg = 250;

// The adult default scaled to a height and a weight: every length with the height, the
// trunk's cross-section so that its volume follows the weight (semi-axes times
// sqrt((weight / 70 kg) / (height / 174 cm))).
PatientModel ScaledPatientModel(double height_cm, double weight_kg);

// One event's beam on the patient: a pyramid from the focus, its central ray and the two
// axes of its rectangular field.
struct MapBeam {
    Vec3 focus;
    Vec3 direction;  // unit, along the central ray (towards the image receptor)
    Vec3 across;     // unit, the field's width: the patient's left-right at zero angles
    Vec3 along;      // unit, the field's height: the patient's head-feet at zero angles
    double tan_half_across = 0;
    double tan_half_along = 0;
    // The engine's skin dose where the central ray meets the skin, at that distance, for a
    // ray through the table and for a ray beside it; a value the beam never needs is 0.
    double central_distance_cm = 0;
    double dose_through_table_mgy = 0;
    double dose_beside_table_mgy = 0;
};

// Where a ray first meets the patient model.
struct SkinHit {
    double distance_cm = 0;  // from the ray's start
    bool on_trunk = true;    // else on the table-top plane (head, neck or legs)
    bool through_table = false;
};
std::optional<SkinHit> FirstSkinHit(const PatientModel& patient, const Vec3& start,
                                    const Vec3& direction);

// Which of its two doses a beam's field needs: whether any ray of the field that reaches
// the skin crosses the table top, and whether any passes beside it.
struct BeamCrossings {
    bool through_table = false;
    bool beside_table = false;
};

// One surface of the map, cut into square cells; values row by row, in mGy.
struct MapGrid {
    double cell_cm = 1;
    int columns = 0;
    int rows = 0;
    // Of the first column's left edge along the surface's across axis (trunk: the arc
    // length from the back's midline, positive towards the patient's left; table plane: x),
    // and of the first row's upper edge below the top of the head, cm.
    double column_origin_cm = 0;
    double row_origin_cm = 0;
    std::vector<double> dose_mgy;
    // Table plane: 0 where the trunk lies (that skin is on the trunk's grid); trunk: all 1.
    std::vector<std::uint8_t> is_skin;

    double At(int row, int column) const { return dose_mgy[Index(row, column)]; }
    size_t Index(int row, int column) const {
        return static_cast<size_t>(row) * static_cast<size_t>(columns) +
               static_cast<size_t>(column);
    }
};

// Skin-dose thresholds whose areas the map reports, Gy.
inline constexpr std::array<double, 3> kMapAreaThresholdsGy = {2, 3, 5};

struct MapPeak {
    double dose_mgy = 0;
    bool on_trunk = true;
    double below_head_top_cm = 0;  // of the cell's centre
    // Trunk: the arc length from the back's midline (left positive) and the angle around
    // the trunk seen from its axis (0 the back, 90 the patient's left, 180 the front, -90
    // the right). Table plane: x in `across_cm`, the angle 0.
    double across_cm = 0;
    double angle_deg = 0;
};

struct SkinDoseMap {
    PatientModel patient;
    MapGrid trunk;
    MapGrid table;
    MapPeak peak;
    // Skin area at or above each of kMapAreaThresholdsGy, cm^2.
    std::array<double, 3> area_above_cm2{};
    int beams = 0;
};

// An empty map of the patient with cells of `cell_cm` (1 cm unless finer is wanted).
SkinDoseMap EmptySkinDoseMap(const PatientModel& patient, double cell_cm = 1);

// The map's geometry made ready once for many beams: the cells' centres and normals.
class SkinMapper {
  public:
    explicit SkinMapper(const SkinDoseMap& empty_map);
    ~SkinMapper();
    SkinMapper(const SkinMapper&) = delete;
    SkinMapper& operator=(const SkinMapper&) = delete;

    BeamCrossings Crossings(const MapBeam& beam) const;
    // Adds one beam to the map: each skin cell that faces the focus receives the beam's
    // central dose carried by the inverse square to the cell's own distance, with the dose
    // of its ray's side of the table, times the part of the cell inside the field.
    void Add(const MapBeam& beam, SkinDoseMap& map) const;

  private:
    struct Cells;
    std::unique_ptr<const Cells> cells_;
};

// The peak and the areas above the thresholds, from the map's values.
void SummariseSkinDoseMap(SkinDoseMap& map);

}  // namespace korvex
