#include "engine/skin_dose_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace korvex {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

// The adult default lies with its back on the table top at y = 10 (the trunk's half depth,
// no mattress), the isocentre on the trunk's axis 44 cm below the top of the head.
const PatientModel kAdult{};

Vec3 Minus(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

double Length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// A beam from straight below the table (the back's side) at `z`, `distance` from the
// table top, its square field `side_at_reference` wide at `reference_cm` from the focus.
MapBeam BeamFromBelow(double z, double distance, double side_at_reference, double reference_cm,
                      double dose_mgy) {
    MapBeam beam;
    beam.focus = {0, kAdult.TableTopY() + distance, z};
    beam.direction = {0, -1, 0};
    beam.across = {1, 0, 0};
    beam.along = {0, 0, 1};
    beam.tan_half_across = side_at_reference / 2 / reference_cm;
    beam.tan_half_along = beam.tan_half_across;
    beam.central_distance_cm = distance;
    beam.dose_through_table_mgy = dose_mgy;
    return beam;
}

// A horizontal beam along +x (from the patient's right) or -x (from his left) through the
// isocentre, its focus `sid` from it.
MapBeam LateralBeam(bool from_right, double sid, double dose_mgy) {
    const double sign = from_right ? 1 : -1;
    const Vec3 isocentre = kAdult.DefaultIsocentre();
    MapBeam beam;
    beam.focus = {isocentre.x - sign * sid, isocentre.y, isocentre.z};
    beam.direction = {sign, 0, 0};
    beam.across = {0, 1, 0};
    beam.along = {0, 0, 1};
    beam.tan_half_across = 5.0 / 85;
    beam.tan_half_along = beam.tan_half_across;
    beam.central_distance_cm = sid - kAdult.trunk_half_width_cm;
    beam.dose_beside_table_mgy = dose_mgy;
    return beam;
}

SkinDoseMap MapOf(std::initializer_list<MapBeam> beams, const PatientModel& patient = kAdult) {
    SkinDoseMap map = EmptySkinDoseMap(patient);
    const SkinMapper mapper(map);
    for (const MapBeam& beam : beams) {
        mapper.Add(beam, map);
    }
    SummariseSkinDoseMap(map);
    return map;
}

// The centre of a table-plane cell in the patient's frame.
Vec3 TableCellCentre(const SkinDoseMap& map, int row, int column) {
    const MapGrid& table = map.table;
    const double column_cm = 2 * map.patient.table_half_width_cm / table.columns;
    const double row_cm = map.patient.height_cm / table.rows;
    return {-map.patient.table_half_width_cm + (column + 0.5) * column_cm, map.patient.TableTopY(),
            -(row + 0.5) * row_cm};
}

// The skin area inside a beam's field on the table plane: each cell's value divided by
// the dose the inverse square carries to its centre is the part of it inside the field.
double FieldAreaOnTable(const SkinDoseMap& map, const MapBeam& beam, double dose_mgy) {
    double area = 0;
    const double cell_area = map.table.cell_cm * map.table.cell_cm;
    for (int r = 0; r < map.table.rows; ++r) {
        for (int c = 0; c < map.table.columns; ++c) {
            const double distance = Length(Minus(TableCellCentre(map, r, c), beam.focus));
            const double inverse_square = std::pow(beam.central_distance_cm / distance, 2);
            area += map.table.At(r, c) / (dose_mgy * inverse_square) * cell_area;
        }
    }
    return area;
}

TEST(SkinDoseMapBeams, BeamFromBelowPutsItsDoseOnTheBacksMidline) {
    const double dose = 1234;
    // The focus at the isocentre's level: 90 cm below the back's midline at y = 10.
    const MapBeam beam = BeamFromBelow(kAdult.DefaultIsocentre().z, 90, 10, 85, dose);
    const std::optional<SkinHit> hit = FirstSkinHit(kAdult, beam.focus, beam.direction);
    ASSERT_TRUE(hit);
    EXPECT_NEAR(hit->distance_cm, 90, 1e-9);
    EXPECT_TRUE(hit->on_trunk);
    EXPECT_TRUE(hit->through_table);

    const SkinDoseMap one = MapOf({beam});
    EXPECT_EQ(one.beams, 1);
    // The cells at the centre lie wholly in the field; their centres are at most half a
    // cell from the central ray, so the inverse square takes off about 0.25/8100 = 3e-5.
    EXPECT_NEAR(one.peak.dose_mgy, dose, 0.01 * dose);
    EXPECT_LE(one.peak.dose_mgy, dose);
    EXPECT_TRUE(one.peak.on_trunk);
    // The isocentre lies 44 cm below the head's top, on a row boundary: either row.
    EXPECT_NEAR(one.peak.below_head_top_cm, 44, 0.5 + 1e-9);
    EXPECT_NEAR(one.peak.across_cm, 0, 1e-9);
    EXPECT_NEAR(one.peak.angle_deg, 0, 1e-6);

    // Doses add cell by cell.
    const SkinDoseMap two = MapOf({beam, beam});
    EXPECT_NEAR(two.peak.dose_mgy, 2 * one.peak.dose_mgy, 1e-9 * one.peak.dose_mgy);
    EXPECT_EQ(two.beams, 2);
}

TEST(SkinDoseMapBeams, LateralBeamsFromEitherSideDoNotOverlap) {
    const MapBeam right = LateralBeam(true, 100, 1000);
    const MapBeam left = LateralBeam(false, 100, 1500);
    for (const MapBeam& beam : {right, left}) {
        const std::optional<SkinHit> hit = FirstSkinHit(kAdult, beam.focus, beam.direction);
        ASSERT_TRUE(hit);
        EXPECT_NEAR(hit->distance_cm, 80, 1e-9);  // 100 cm less the trunk's half width
        EXPECT_FALSE(hit->through_table);
    }
    const SkinDoseMap right_alone = MapOf({right});
    const SkinDoseMap left_alone = MapOf({left});
    const SkinDoseMap both = MapOf({right, left});
    // The cell nearest the central skin point lies within a quarter cell of it along the
    // perimeter (97 columns round an ellipse of 96.9 cm): the inverse square differs by
    // far less than 1 %.
    EXPECT_NEAR(right_alone.peak.dose_mgy, 1000, 10);
    EXPECT_NEAR(left_alone.peak.dose_mgy, 1500, 15);
    EXPECT_DOUBLE_EQ(both.peak.dose_mgy,
                     std::max(right_alone.peak.dose_mgy, left_alone.peak.dose_mgy));
    // Seen from the trunk's axis a cell spans 1 cm / 20 cm = 2.9 degrees at the flank.
    EXPECT_NEAR(right_alone.peak.angle_deg, -90, 2);
    EXPECT_NEAR(left_alone.peak.angle_deg, 90, 2);
    EXPECT_NEAR(both.peak.angle_deg, 90, 2);
    EXPECT_NEAR(right_alone.peak.below_head_top_cm, 44, 0.5 + 1e-9);
    // No cell takes dose from both: the fields lie on opposite flanks.
    for (size_t i = 0; i < both.trunk.dose_mgy.size(); ++i) {
        EXPECT_FALSE(right_alone.trunk.dose_mgy[i] > 0 && left_alone.trunk.dose_mgy[i] > 0) << i;
    }
}

TEST(SkinDoseMapBeams, FieldAreaOnTheSkinFollowsTheDivergence) {
    // A leg below the trunk (which ends 94 cm below the head's top), the table plane at
    // normal incidence: the field spans side * FSD / d_ref on each axis, its edges at every
    // place within the cells as the distance changes, its axes also turned about the ray.
    const double dose = 1;
    const double reference_cm = 85;
    for (const double fsd : {70.0, 80.0, 95.0}) {
        for (const double side : {10.0, 5.0}) {
            for (const double turn : {0.0, 30 * kDegree}) {
                SCOPED_TRACE(testing::Message()
                             << "FSD " << fsd << " side " << side << " turn " << turn);
                MapBeam beam = BeamFromBelow(-130, fsd, side, reference_cm, dose);
                beam.across = {std::cos(turn), 0, std::sin(turn)};
                beam.along = {-std::sin(turn), 0, std::cos(turn)};
                const SkinDoseMap map = MapOf({beam});
                EXPECT_FALSE(map.peak.on_trunk);
                const double expected = side * side * std::pow(fsd / reference_cm, 2);
                // Edge cells count the part of each of their 4 x 4 sub-cells inside a
                // straight edge, exact for edges along the cells; a turned edge cuts a
                // sub-cell's corners, a few hundredths of a sub-cell each. Counting
                // sub-cells whole would err by up to 1/8 cell along every edge: 5 % of a
                // 10 cm field, 11 % of a 5 cm one.
                EXPECT_NEAR(FieldAreaOnTable(map, beam, dose), expected, 0.02 * expected);
            }
        }
    }
}

TEST(SkinDoseMapBeams, SpotFollowsTheFocusAndTheCranialAngle) {
    // Row centres at 40.5 and 50.5 cm below the head's top: no tie between two rows.
    const SkinDoseMap upper = MapOf({BeamFromBelow(-40.5, 90, 10, 85, 100)});
    const SkinDoseMap lower = MapOf({BeamFromBelow(-50.5, 90, 10, 85, 100)});
    EXPECT_DOUBLE_EQ(upper.peak.below_head_top_cm, 40.5);
    EXPECT_DOUBLE_EQ(lower.peak.below_head_top_cm, 50.5);
    EXPECT_NEAR(lower.peak.dose_mgy, upper.peak.dose_mgy, 1e-9 * upper.peak.dose_mgy);

    // CRA 20 from 90 cm below the back at z0 = -80: the central ray meets y = 10 at
    // z0 + 90 tan 20 = -47.24, and the field's edges at z0 + 90 tan(20 +- atan(5/85)).
    const double tilt = 20 * kDegree;
    const double z0 = -80;
    MapBeam beam = BeamFromBelow(z0, 90, 10, 85, 100);
    beam.direction = {0, -std::cos(tilt), std::sin(tilt)};
    beam.along = {0, std::sin(tilt), std::cos(tilt)};
    beam.central_distance_cm = 90 / std::cos(tilt);
    const std::optional<SkinHit> hit = FirstSkinHit(kAdult, beam.focus, beam.direction);
    ASSERT_TRUE(hit);
    EXPECT_NEAR(hit->distance_cm, 90 / std::cos(tilt), 1e-9);
    const double spot_z = z0 + 90 * std::tan(tilt);
    const double half_angle = std::atan(5.0 / 85);
    const double cranial_edge = z0 + 90 * std::tan(tilt + half_angle);
    const double caudal_edge = z0 + 90 * std::tan(tilt - half_angle);

    const SkinDoseMap map = MapOf({beam});
    const int midline = map.trunk.columns / 2;  // 97 columns: the middle one is centred on 0
    ASSERT_EQ(map.trunk.columns % 2, 1);
    int first_row = -1;
    int last_row = -1;
    for (int r = 0; r < map.trunk.rows; ++r) {
        if (map.trunk.At(r, midline) > 0) {
            first_row = first_row < 0 ? r : first_row;
            last_row = r;
        }
    }
    ASSERT_GE(first_row, 0);
    // Rows are 1 cm and start 24 cm below the head's top; an edge lies in the first or
    // last row that takes any of the field.
    const double top = map.trunk.row_origin_cm;
    EXPECT_NEAR(top + first_row + 0.5, -cranial_edge, 0.5 + 1e-9);
    EXPECT_NEAR(top + last_row + 0.5, -caudal_edge, 0.5 + 1e-9);
    // The row of the central skin point lies wholly in the field: the central dose carried
    // by the inverse square to its centre, exactly.
    const int spot_row = static_cast<int>(std::floor(-spot_z - top));
    const Vec3 centre{0, kAdult.trunk_half_depth_cm, -(top + spot_row + 0.5)};
    const double distance = Length(Minus(centre, beam.focus));
    EXPECT_NEAR(map.trunk.At(spot_row, midline),
                100 * std::pow(beam.central_distance_cm / distance, 2), 1e-9);
}

// The centres of a map's trunk cells in the patient's frame, found here apart from the
// mapper: the columns share the ellipse's perimeter equally from the front's midline round
// the patient's right, his back and his left; the arc length is integrated finely.
class TrunkCells {
  public:
    explicit TrunkCells(const SkinDoseMap& map) : map_(map), arc_(kSteps + 1, 0.0) {
        const double a = map.patient.trunk_half_width_cm;
        const double b = map.patient.trunk_half_depth_cm;
        auto speed = [&](double phi) { return std::hypot(a * std::cos(phi), b * std::sin(phi)); };
        for (int i = 1; i <= kSteps; ++i) {
            arc_[i] = arc_[i - 1] + kStep / 2 * (speed((i - 1) * kStep) + speed(i * kStep));
        }
    }

    Vec3 Centre(int row, int column) const {
        const double perimeter = 2 * arc_[kSteps];
        const double s = -perimeter / 2 + (column + 0.5) * perimeter / map_.trunk.columns;
        const auto upper = std::lower_bound(arc_.begin(), arc_.end(), std::abs(s));
        const long i = std::clamp<long>(upper - arc_.begin(), 1, kSteps);
        const double t = (std::abs(s) - arc_[i - 1]) / (arc_[i] - arc_[i - 1]);
        const double phi = std::copysign((static_cast<double>(i - 1) + t) * kStep, s);
        const double row_cm = map_.patient.trunk_length_cm / map_.trunk.rows;
        return {map_.patient.trunk_half_width_cm * std::sin(phi),
                map_.patient.trunk_half_depth_cm * std::cos(phi),
                -(map_.patient.trunk_top_cm + (row + 0.5) * row_cm)};
    }

  private:
    static constexpr int kSteps = 200000;
    static constexpr double kStep = std::numbers::pi / kSteps;
    const SkinDoseMap& map_;
    std::vector<double> arc_;
};

// Whether a whole cell of side `cell_cm` around `point` lies inside the beam's field: every
// point of the cell lies within 0.71 cell of its centre, which shifts both the distance
// along the ray and the distance across it by as much.
bool ClearlyInside(const MapBeam& beam, const Vec3& point, double cell_cm) {
    const Vec3 w = Minus(point, beam.focus);
    const double t = w.x * beam.direction.x + w.y * beam.direction.y + w.z * beam.direction.z;
    const double across = w.x * beam.across.x + w.y * beam.across.y + w.z * beam.across.z;
    const double along = w.x * beam.along.x + w.y * beam.along.y + w.z * beam.along.z;
    return std::abs(across) <= beam.tan_half_across * (t - cell_cm) - cell_cm &&
           std::abs(along) <= beam.tan_half_along * (t - cell_cm) - cell_cm;
}

// Whether the straight line from the focus to a skin point crosses the table top (y = 10,
// |x| <= 25) before it reaches the point: worked out here apart from the mapper.
bool RayCrossesTable(const Vec3& focus, const Vec3& point) {
    const double table_y = kAdult.TableTopY();
    if (focus.y <= table_y || point.y > table_y) {
        return false;
    }
    const double s = (focus.y - table_y) / (focus.y - point.y);
    return std::abs(focus.x + s * (point.x - focus.x)) <= kAdult.table_half_width_cm;
}

TEST(SkinDoseMapBeams, RaysBesideTheTableTakeTheDoseBesideIt) {
    // From below and far to the patient's right, aimed at the lower right flank: rays to
    // the back cross the table top, rays to the flank pass beside its edge.
    MapBeam beam;
    beam.focus = {-90, 40, -44};
    const Vec3 aim{-17.32, 5, -44};
    const Vec3 towards = Minus(aim, beam.focus);
    const double length = Length(towards);
    beam.direction = {towards.x / length, towards.y / length, 0};
    beam.across = {-beam.direction.y, beam.direction.x, 0};
    beam.along = {0, 0, 1};
    beam.tan_half_across = 0.2;
    beam.tan_half_along = 0.05;
    beam.central_distance_cm = length;
    beam.dose_through_table_mgy = 100;
    beam.dose_beside_table_mgy = 1000;
    SkinDoseMap map = EmptySkinDoseMap(kAdult);
    const SkinMapper mapper(map);
    const BeamCrossings crossings = mapper.Crossings(beam);
    EXPECT_TRUE(crossings.through_table);
    EXPECT_TRUE(crossings.beside_table);
    mapper.Add(beam, map);

    // Each cell's value over the inverse square to its centre is its side's dose times the
    // part of it inside the field: never more than that dose, and the whole of it where
    // the cell lies clear inside the field.
    const TrunkCells cells(map);
    int whole_cells[2] = {0, 0};  // through the table, beside it
    for (int r = 0; r < map.trunk.rows; ++r) {
        for (int c = 0; c < map.trunk.columns; ++c) {
            if (map.trunk.At(r, c) == 0) {
                continue;
            }
            const Vec3 centre = cells.Centre(r, c);
            const bool through = RayCrossesTable(beam.focus, centre);
            const double distance = Length(Minus(centre, beam.focus));
            const double share =
                map.trunk.At(r, c) /
                ((through ? beam.dose_through_table_mgy : beam.dose_beside_table_mgy) *
                 std::pow(beam.central_distance_cm / distance, 2));
            SCOPED_TRACE(testing::Message() << "row " << r << " column " << c);
            // 1e-6: the cell centres found here and by the mapper agree to about 1e-7 cm.
            EXPECT_LE(share, 1 + 1e-6);
            if (ClearlyInside(beam, centre, map.trunk.cell_cm)) {
                EXPECT_NEAR(share, 1, 1e-6);
                ++whole_cells[through ? 0 : 1];
            }
        }
    }
    EXPECT_GT(whole_cells[0], 10);
    EXPECT_GT(whole_cells[1], 10);

    // Narrow beams: straight from below only through the table, from the side only beside.
    const BeamCrossings below = mapper.Crossings(BeamFromBelow(-44, 90, 10, 85, 1));
    EXPECT_TRUE(below.through_table);
    EXPECT_FALSE(below.beside_table);
    const BeamCrossings side = mapper.Crossings(LateralBeam(true, 100, 1));
    EXPECT_FALSE(side.through_table);
    EXPECT_TRUE(side.beside_table);
}

TEST(SkinDoseMapPatient, ScaledModelFollowsHeightAndWeight) {
    const PatientModel reference = ScaledPatientModel(kReferenceHeightCm, kReferenceWeightKg);
    EXPECT_DOUBLE_EQ(reference.height_cm, kAdult.height_cm);
    EXPECT_DOUBLE_EQ(reference.weight_kg, kAdult.weight_kg);
    EXPECT_DOUBLE_EQ(reference.trunk_half_width_cm, kAdult.trunk_half_width_cm);
    EXPECT_DOUBLE_EQ(reference.trunk_half_depth_cm, kAdult.trunk_half_depth_cm);
    EXPECT_DOUBLE_EQ(reference.trunk_top_cm, kAdult.trunk_top_cm);
    EXPECT_DOUBLE_EQ(reference.trunk_length_cm, kAdult.trunk_length_cm);
    EXPECT_DOUBLE_EQ(reference.isocentre_below_trunk_top_cm, kAdult.isocentre_below_trunk_top_cm);

    // Twice the weight at the same height: twice the trunk's cross-section.
    const PatientModel heavy = ScaledPatientModel(kReferenceHeightCm, 2 * kReferenceWeightKg);
    EXPECT_DOUBLE_EQ(heavy.trunk_half_width_cm, kAdult.trunk_half_width_cm * std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(heavy.trunk_half_depth_cm, kAdult.trunk_half_depth_cm * std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(heavy.trunk_length_cm, kAdult.trunk_length_cm);
    EXPECT_DOUBLE_EQ(heavy.TableTopY(), kAdult.trunk_half_depth_cm * std::sqrt(2.0));

    // Taller at a weight that keeps the cross-section: every length grows with the height,
    // the table stays as wide as it is.
    const double height = 200;
    const PatientModel tall =
        ScaledPatientModel(height, kReferenceWeightKg * height / kReferenceHeightCm);
    const double scale = height / kReferenceHeightCm;
    EXPECT_DOUBLE_EQ(tall.height_cm, height);
    EXPECT_DOUBLE_EQ(tall.trunk_top_cm, kAdult.trunk_top_cm * scale);
    EXPECT_DOUBLE_EQ(tall.trunk_length_cm, kAdult.trunk_length_cm * scale);
    EXPECT_DOUBLE_EQ(tall.isocentre_below_trunk_top_cm,
                     kAdult.isocentre_below_trunk_top_cm * scale);
    EXPECT_DOUBLE_EQ(tall.trunk_half_width_cm, kAdult.trunk_half_width_cm);
    EXPECT_DOUBLE_EQ(tall.table_half_width_cm, kAdult.table_half_width_cm);
    EXPECT_DOUBLE_EQ(tall.DefaultIsocentre().z, -(24 + 20) * scale);

    // The map's grids follow the model: one row per cm of its trunk and of its height.
    const SkinDoseMap map = EmptySkinDoseMap(tall);
    EXPECT_EQ(map.trunk.rows, static_cast<int>(std::lround(70 * scale)));
    EXPECT_EQ(map.table.rows, 200);
}

TEST(SkinDoseMapSummary, AreasAboveThresholdsCountTheSkinCellsAtOrAbove) {
    SkinDoseMap map = EmptySkinDoseMap(kAdult);
    // A 5 x 4 block of trunk cells at 2.5 Gy, one cell at exactly 2 Gy.
    for (int r = 10; r < 14; ++r) {
        for (int c = 40; c < 45; ++c) {
            map.trunk.dose_mgy[map.trunk.Index(r, c)] = 2500;
        }
    }
    map.trunk.dose_mgy[map.trunk.Index(30, 60)] = 2000;
    // A leg cell at 2.5 Gy counts; a table-plane cell under the trunk is not skin.
    map.table.dose_mgy[map.table.Index(150, 25)] = 2500;
    const int under_trunk = 50;
    ASSERT_EQ(map.table.is_skin[map.table.Index(under_trunk, 25)], 0);
    map.table.dose_mgy[map.table.Index(under_trunk, 25)] = 9000;
    SummariseSkinDoseMap(map);

    // Trunk cells are the ellipse's perimeter over the columns wide and 1 cm high; table
    // cells 1 cm square.
    double perimeter = 0;
    {
        const double a = kAdult.trunk_half_width_cm;
        const double b = kAdult.trunk_half_depth_cm;
        const int steps = 100000;
        for (int i = 0; i < steps; ++i) {
            const double phi = (i + 0.5) * 2 * std::numbers::pi / steps;
            perimeter +=
                std::hypot(a * std::cos(phi), b * std::sin(phi)) * 2 * std::numbers::pi / steps;
        }
    }
    const double trunk_cell_area = perimeter / map.trunk.columns;
    EXPECT_NEAR(map.area_above_cm2[0], 21 * trunk_cell_area + 1, 1e-6);
    EXPECT_EQ(map.area_above_cm2[1], 0);
    EXPECT_EQ(map.area_above_cm2[2], 0);
    EXPECT_DOUBLE_EQ(map.peak.dose_mgy, 2500);
    EXPECT_TRUE(map.peak.on_trunk);  // the first of equal peaks, the trunk's before the table's
    EXPECT_DOUBLE_EQ(map.peak.below_head_top_cm, 24 + 10.5);
}

// A beam as the positioner places it (receptor at the patient's left for primary > 0 and
// towards the head for secondary > 0), its focus `sid` from an isocentre moved by `shift`.
MapBeam PositionerBeam(double primary_deg, double secondary_deg, double sid, const Vec3& shift) {
    const double p = primary_deg * kDegree;
    const double s = secondary_deg * kDegree;
    MapBeam beam;
    beam.direction = {std::sin(p) * std::cos(s), -std::cos(p) * std::cos(s), std::sin(s)};
    beam.across = {std::cos(p), std::sin(p), 0};
    beam.along = {-std::sin(p) * std::sin(s), std::cos(p) * std::sin(s), std::cos(s)};
    const Vec3 isocentre = kAdult.DefaultIsocentre();
    beam.focus = {isocentre.x + shift.x - sid * beam.direction.x,
                  isocentre.y + shift.y - sid * beam.direction.y,
                  isocentre.z + shift.z - sid * beam.direction.z};
    return beam;
}

TEST(SkinDoseMapProperties, RandomBeamsGiveFiniteNonNegativeDoses) {
    std::mt19937 random(20240115);
    std::uniform_real_distribution<double> primary(-120, 120);
    std::uniform_real_distribution<double> secondary(-45, 45);
    // Down to 5 cm: a focus inside the trunk must not break the map either.
    std::uniform_real_distribution<double> sid(5, 150);
    std::uniform_real_distribution<double> shift(-30, 30);
    std::uniform_real_distribution<double> tangent(0, 0.3);
    std::uniform_real_distribution<double> dose(0, 5000);
    for (const PatientModel& patient : {kAdult, ScaledPatientModel(150, 110)}) {
        SkinDoseMap map = EmptySkinDoseMap(patient);
        const SkinMapper mapper(map);
        for (int i = 0; i < 60; ++i) {
            MapBeam beam = PositionerBeam(primary(random), secondary(random), sid(random),
                                          {shift(random), shift(random) / 3, shift(random)});
            beam.tan_half_across = tangent(random);
            beam.tan_half_along = tangent(random);
            const std::optional<SkinHit> hit = FirstSkinHit(patient, beam.focus, beam.direction);
            beam.central_distance_cm = hit ? hit->distance_cm : 0;
            if (hit) {
                EXPECT_TRUE(std::isfinite(hit->distance_cm) && hit->distance_cm > 0);
            }
            beam.dose_through_table_mgy = dose(random);
            beam.dose_beside_table_mgy = dose(random);
            // A focus below the table top always reaches the table plane's skin through it.
            const BeamCrossings crossings = mapper.Crossings(beam);
            if (beam.focus.y > patient.TableTopY()) {
                EXPECT_TRUE(crossings.through_table);
            }
            mapper.Add(beam, map);
        }
        SummariseSkinDoseMap(map);
        for (const MapGrid* grid : {&map.trunk, &map.table}) {
            for (const double value : grid->dose_mgy) {
                ASSERT_TRUE(std::isfinite(value) && value >= 0) << value;
            }
        }
        EXPECT_TRUE(std::isfinite(map.peak.dose_mgy) && map.peak.dose_mgy > 0);
        EXPECT_TRUE(std::isfinite(map.peak.angle_deg));
        for (const double area : map.area_above_cm2) {
            EXPECT_TRUE(std::isfinite(area) && area >= 0);
        }
    }
}

}  // namespace
}  // namespace korvex
