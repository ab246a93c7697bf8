#include "engine/skin_dose_map.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvex {
namespace {

// Sub-cells per cell side where a cell lies on the field's edge. Each sub-cell counts the
// part of it on the field's side of a straight edge, so that the field's area on the skin
// comes out within 2 % for fields of 5 cm and more at any place of the edges
// (tests/engine); counting whole sub-cells in or out would err by up to 1/8 cell per edge.
constexpr int kEdgeSamples = 4;

double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 Minus(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// Points of the trunk's cross-section by the parameter phi: (a sin phi, b cos phi), 0 the
// back's midline, pi/2 the patient's left.
struct Section {
    double a;
    double b;
    double X(double phi) const { return a * std::sin(phi); }
    double Y(double phi) const { return b * std::cos(phi); }
    double Speed(double phi) const { return std::hypot(a * std::cos(phi), b * std::sin(phi)); }
};

// The arc length from the back's midline as a table over phi in [0, pi], so that an arc
// length finds its point.
class ArcTable {
  public:
    explicit ArcTable(const Section& section) {
        arc_[0] = 0;
        const double step = std::numbers::pi / kSteps;
        for (int i = 1; i <= kSteps; ++i) {
            // Simpson's rule on each step: exact to far below a millimetre.
            const double p0 = (i - 1) * step;
            arc_[i] = arc_[i - 1] + step / 6 *
                                        (section.Speed(p0) + 4 * section.Speed(p0 + step / 2) +
                                         section.Speed(p0 + step));
        }
    }
    double HalfPerimeter() const { return arc_[kSteps]; }
    // phi for an arc length in [-half perimeter, half perimeter].
    double PhiAt(double arc) const {
        const double s = std::clamp(std::abs(arc), 0.0, HalfPerimeter());
        const double* upper = std::lower_bound(arc_, arc_ + kSteps + 1, s);
        const long i = std::clamp<long>(upper - arc_, 1, kSteps);
        const double span = arc_[i] - arc_[i - 1];
        const double t = span > 0 ? (s - arc_[i - 1]) / span : 0;
        const double phi = (static_cast<double>(i - 1) + t) * std::numbers::pi / kSteps;
        return arc < 0 ? -phi : phi;
    }

  private:
    static constexpr int kSteps = 2048;
    double arc_[kSteps + 1];
};

struct Column {
    double x = 0;  // centre
    double y = 0;
    double nx = 0;  // outward normal
    double ny = 0;
    std::array<double, kEdgeSamples> sub_x{};
    std::array<double, kEdgeSamples> sub_y{};
};

struct Row {
    double z = 0;
    std::array<double, kEdgeSamples> sub_z{};
};

Row MakeRow(double top_below_head, double height) {
    Row row;
    row.z = -(top_below_head + height / 2);
    for (int k = 0; k < kEdgeSamples; ++k) {
        row.sub_z[k] = -(top_below_head + (k + 0.5) * height / kEdgeSamples);
    }
    return row;
}

double PerimeterOf(const PatientModel& p) {
    return 2 * ArcTable({p.trunk_half_width_cm, p.trunk_half_depth_cm}).HalfPerimeter();
}

int CellCount(double length, double cell) {
    return std::max(1, static_cast<int>(std::lround(length / cell)));
}

}  // namespace

double PatientModel::TableTopY() const {
    const double below = trunk_half_depth_cm + mattress_cm;
    return prone ? -below : below;
}

Vec3 PatientModel::DefaultIsocentre() const {
    return {0, 0, -(trunk_top_cm + isocentre_below_trunk_top_cm)};
}

PatientModel ScaledPatientModel(double height_cm, double weight_kg) {
    PatientModel p;
    const double length_scale = height_cm / kReferenceHeightCm;
    const double section_scale =
        std::sqrt((weight_kg / kReferenceWeightKg) / (height_cm / kReferenceHeightCm));
    p.height_cm = height_cm;
    p.weight_kg = weight_kg;
    p.trunk_half_width_cm *= section_scale;
    p.trunk_half_depth_cm *= section_scale;
    p.trunk_top_cm *= length_scale;
    p.trunk_length_cm *= length_scale;
    p.isocentre_below_trunk_top_cm *= length_scale;
    return p;
}

struct SkinMapper::Cells {
    PatientModel patient;
    std::vector<Column> trunk_columns;
    std::vector<Row> trunk_rows;
    std::vector<Column> table_columns;  // y is the table top's, the normal faces the table
    std::vector<Row> table_rows;
    std::vector<std::uint8_t> trunk_skin;  // every trunk cell is skin
};

SkinDoseMap EmptySkinDoseMap(const PatientModel& patient, double cell_cm) {
    SkinDoseMap map;
    map.patient = patient;
    MapGrid& trunk = map.trunk;
    trunk.cell_cm = cell_cm;
    trunk.columns = CellCount(PerimeterOf(patient), cell_cm);
    trunk.rows = CellCount(patient.trunk_length_cm, cell_cm);
    trunk.column_origin_cm = -trunk.columns * cell_cm / 2;
    trunk.row_origin_cm = patient.trunk_top_cm;
    trunk.dose_mgy.assign(static_cast<size_t>(trunk.columns * trunk.rows), 0.0);
    trunk.is_skin.assign(trunk.dose_mgy.size(), 1);
    MapGrid& table = map.table;
    table.cell_cm = cell_cm;
    table.columns = CellCount(2 * patient.table_half_width_cm, cell_cm);
    table.rows = CellCount(patient.height_cm, cell_cm);
    table.column_origin_cm = -table.columns * cell_cm / 2;
    table.row_origin_cm = 0;
    table.dose_mgy.assign(static_cast<size_t>(table.columns * table.rows), 0.0);
    table.is_skin.assign(table.dose_mgy.size(), 1);
    const double row_cm = patient.height_cm / table.rows;
    for (int r = 0; r < table.rows; ++r) {
        const double centre = (r + 0.5) * row_cm;
        const bool trunk_there = centre > patient.trunk_top_cm &&
                                 centre < patient.trunk_top_cm + patient.trunk_length_cm;
        for (int c = 0; c < table.columns; ++c) {
            table.is_skin[table.Index(r, c)] = trunk_there ? 0 : 1;
        }
    }
    return map;
}

SkinMapper::SkinMapper(const SkinDoseMap& map) {
    auto cells = std::make_unique<Cells>();
    const PatientModel& p = map.patient;
    cells->patient = p;
    const Section section{p.trunk_half_width_cm, p.trunk_half_depth_cm};
    const ArcTable arcs(section);
    const double perimeter = 2 * arcs.HalfPerimeter();
    const double column_cm = perimeter / map.trunk.columns;
    for (int c = 0; c < map.trunk.columns; ++c) {
        Column column;
        const double left_edge = -perimeter / 2 + c * column_cm;
        const double phi = arcs.PhiAt(left_edge + column_cm / 2);
        column.x = section.X(phi);
        column.y = section.Y(phi);
        // The outward normal of the ellipse at (a sin phi, b cos phi).
        const double nx = std::sin(phi) / section.a;
        const double ny = std::cos(phi) / section.b;
        const double length = std::hypot(nx, ny);
        column.nx = nx / length;
        column.ny = ny / length;
        for (int k = 0; k < kEdgeSamples; ++k) {
            const double sub_phi = arcs.PhiAt(left_edge + (k + 0.5) * column_cm / kEdgeSamples);
            column.sub_x[k] = section.X(sub_phi);
            column.sub_y[k] = section.Y(sub_phi);
        }
        cells->trunk_columns.push_back(column);
    }
    const double trunk_row_cm = p.trunk_length_cm / map.trunk.rows;
    for (int r = 0; r < map.trunk.rows; ++r) {
        cells->trunk_rows.push_back(MakeRow(p.trunk_top_cm + r * trunk_row_cm, trunk_row_cm));
    }
    const double table_column_cm = 2 * p.table_half_width_cm / map.table.columns;
    for (int c = 0; c < map.table.columns; ++c) {
        Column column;
        const double left_edge = -p.table_half_width_cm + c * table_column_cm;
        column.x = left_edge + table_column_cm / 2;
        column.y = p.TableTopY();
        column.ny = p.prone ? -1 : 1;
        for (int k = 0; k < kEdgeSamples; ++k) {
            column.sub_x[k] = left_edge + (k + 0.5) * table_column_cm / kEdgeSamples;
            column.sub_y[k] = column.y;
        }
        cells->table_columns.push_back(column);
    }
    const double table_row_cm = p.height_cm / map.table.rows;
    for (int r = 0; r < map.table.rows; ++r) {
        cells->table_rows.push_back(MakeRow(r * table_row_cm, table_row_cm));
    }
    cells->trunk_skin = map.trunk.is_skin;
    cells_ = std::move(cells);
}

SkinMapper::~SkinMapper() = default;

namespace {

// Whether the ray from the focus to a point of the patient's side crosses the table top.
bool ThroughTable(const PatientModel& p, const Vec3& focus, const Vec3& point) {
    // Heights above the table top on the focus's side; the patient lies at or below 0
    // (a point of the skin may lie on the table top itself, up to rounding).
    const double side = p.prone ? -1 : 1;
    const double from_focus = side * (focus.y - p.TableTopY());
    const double from_point = side * (point.y - p.TableTopY());
    if (from_focus <= 0 || from_point > 1e-9) {
        return false;
    }
    const double s = from_focus / (from_focus - std::min(from_point, 0.0));
    const double x = focus.x + s * (point.x - focus.x);
    return std::abs(x) <= p.table_half_width_cm;
}

struct FieldTest {
    const MapBeam& beam;
    // Where a point lies in the field: its two tangents and its distance along the ray.
    bool Inside(const Vec3& point, double margin) const {
        const Vec3 w = Minus(point, beam.focus);
        const double t = Dot(w, beam.direction);
        if (t <= 0) {
            return false;
        }
        return std::abs(Dot(w, beam.across)) <= (beam.tan_half_across + margin) * t &&
               std::abs(Dot(w, beam.along)) <= (beam.tan_half_along + margin) * t;
    }
    // The part of a sub-cell with edges `e1` and `e2` around `point` that lies inside the
    // field, each pair of the field's edges taken as a straight line across it.
    double Share(const Vec3& point, const Vec3& e1, const Vec3& e2) const {
        const Vec3 w = Minus(point, beam.focus);
        const double t = Dot(w, beam.direction);
        if (t <= 0) {
            return 0;
        }
        return AxisShare(w, t, beam.across, beam.tan_half_across, e1, e2) *
               AxisShare(w, t, beam.along, beam.tan_half_along, e1, e2);
    }

  private:
    // m = tan * t - |w . axis| is the distance (cm, across the ray) inside the edge nearer
    // the point; over the sub-cell it changes linearly, by |e1 . grad m| + |e2 . grad m|.
    double AxisShare(const Vec3& w, double t, const Vec3& axis, double tan_half, const Vec3& e1,
                     const Vec3& e2) const {
        const double side = Dot(w, axis) < 0 ? -1 : 1;
        const double inside = tan_half * t - side * Dot(w, axis);
        const Vec3 gradient{tan_half * beam.direction.x - side * axis.x,
                            tan_half * beam.direction.y - side * axis.y,
                            tan_half * beam.direction.z - side * axis.z};
        const double extent = std::abs(Dot(e1, gradient)) + std::abs(Dot(e2, gradient));
        if (!(extent > 0)) {
            return inside >= 0 ? 1 : 0;
        }
        return std::clamp(0.5 + inside / extent, 0.0, 1.0);
    }
};

// The part of a cell inside the field: 1 or 0 where its centre lies clear of the field's
// edge, else the mean of its sub-cells' parts.
double Coverage(const FieldTest& field, const Column& column, const Row& row, double half_cell,
                double distance) {
    const Vec3 centre{column.x, column.y, row.z};
    const double margin = 1.5 * half_cell / distance;
    if (!field.Inside(centre, margin)) {
        return 0;
    }
    if (field.Inside(centre, -margin)) {
        return 1;
    }
    // The sub-cells' edges: the chord between neighbouring sub-points across the column
    // (the trunk's curve bends it by far less than a millimetre), and the row's step.
    const Vec3 e1{(column.sub_x[kEdgeSamples - 1] - column.sub_x[0]) / (kEdgeSamples - 1),
                  (column.sub_y[kEdgeSamples - 1] - column.sub_y[0]) / (kEdgeSamples - 1), 0};
    const Vec3 e2{0, 0, (row.sub_z[kEdgeSamples - 1] - row.sub_z[0]) / (kEdgeSamples - 1)};
    double inside = 0;
    for (int i = 0; i < kEdgeSamples; ++i) {
        for (int k = 0; k < kEdgeSamples; ++k) {
            inside += field.Share({column.sub_x[i], column.sub_y[i], row.sub_z[k]}, e1, e2);
        }
    }
    return inside / (kEdgeSamples * kEdgeSamples);
}

template <typename Visit>
void VisitFacingCells(const std::vector<Column>& columns, const std::vector<Row>& rows,
                      const std::vector<std::uint8_t>& is_skin, const Vec3& focus,
                      const Visit& visit) {
    for (size_t c = 0; c < columns.size(); ++c) {
        const Column& column = columns[c];
        // Only skin that faces the focus receives the entrance dose.
        if ((focus.x - column.x) * column.nx + (focus.y - column.y) * column.ny <= 0) {
            continue;
        }
        for (size_t r = 0; r < rows.size(); ++r) {
            const size_t index = r * columns.size() + c;
            if (is_skin[index] != 0) {
                visit(column, rows[r], index);
            }
        }
    }
}

}  // namespace

BeamCrossings SkinMapper::Crossings(const MapBeam& beam) const {
    BeamCrossings crossings;
    const FieldTest field{beam};
    const PatientModel& p = cells_->patient;
    auto look = [&](const Column& column, const Row& row, size_t) {
        const Vec3 point{column.x, column.y, row.z};
        if (field.Inside(point, 1.0 / std::max(1.0, beam.central_distance_cm))) {
            (ThroughTable(p, beam.focus, point) ? crossings.through_table
                                                : crossings.beside_table) = true;
        }
    };
    VisitFacingCells(cells_->trunk_columns, cells_->trunk_rows, cells_->trunk_skin, beam.focus,
                     look);
    const Vec3 plane_point{0, p.TableTopY(), 0};
    if (Dot(Minus(beam.focus, plane_point), {0, p.prone ? -1.0 : 1.0, 0}) > 0) {
        crossings.through_table = true;  // the table plane's skin lies on the table
    }
    return crossings;
}

void SkinMapper::Add(const MapBeam& beam, SkinDoseMap& map) const {
    const FieldTest field{beam};
    const PatientModel& p = cells_->patient;
    auto add_to = [&](MapGrid& grid, bool table_plane) {
        const double half_cell = grid.cell_cm / 2;
        return [&, half_cell, table_plane](const Column& column, const Row& row, size_t index) {
            const Vec3 point{column.x, column.y, row.z};
            const double distance =
                std::sqrt(Dot(Minus(point, beam.focus), Minus(point, beam.focus)));
            if (distance <= 0) {
                return;
            }
            const double covered = Coverage(field, column, row, half_cell, distance);
            if (covered == 0) {
                return;
            }
            const bool through = table_plane || ThroughTable(p, beam.focus, point);
            const double dose = through ? beam.dose_through_table_mgy : beam.dose_beside_table_mgy;
            const double inverse_square =
                (beam.central_distance_cm / distance) * (beam.central_distance_cm / distance);
            grid.dose_mgy[index] += covered * dose * inverse_square;
        };
    };
    VisitFacingCells(cells_->trunk_columns, cells_->trunk_rows, map.trunk.is_skin, beam.focus,
                     add_to(map.trunk, false));
    VisitFacingCells(cells_->table_columns, cells_->table_rows, map.table.is_skin, beam.focus,
                     add_to(map.table, true));
    ++map.beams;
}

std::optional<SkinHit> FirstSkinHit(const PatientModel& p, const Vec3& start,
                                    const Vec3& direction) {
    std::optional<SkinHit> hit;
    const double a2 = p.trunk_half_width_cm * p.trunk_half_width_cm;
    const double b2 = p.trunk_half_depth_cm * p.trunk_half_depth_cm;
    const double qa = direction.x * direction.x / a2 + direction.y * direction.y / b2;
    const double qb = 2 * (start.x * direction.x / a2 + start.y * direction.y / b2);
    const double qc = start.x * start.x / a2 + start.y * start.y / b2 - 1;
    const double discriminant = qb * qb - 4 * qa * qc;
    if (qa > 0 && discriminant >= 0 && qc > 0) {
        const double t = (-qb - std::sqrt(discriminant)) / (2 * qa);
        const double z = start.z + t * direction.z;
        if (t > 0 && z <= -p.trunk_top_cm && z >= -(p.trunk_top_cm + p.trunk_length_cm)) {
            const Vec3 point{start.x + t * direction.x, start.y + t * direction.y, z};
            hit = SkinHit{t, true, ThroughTable(p, start, point)};
        }
    }
    const double table_y = p.TableTopY();
    const bool from_table_side = p.prone ? start.y < table_y : start.y > table_y;
    if (!hit && from_table_side && direction.y != 0) {
        const double t = (table_y - start.y) / direction.y;
        const double x = start.x + t * direction.x;
        const double below_head = -(start.z + t * direction.z);
        const bool beside_trunk =
            below_head < p.trunk_top_cm || below_head > p.trunk_top_cm + p.trunk_length_cm;
        if (t > 0 && std::abs(x) <= p.table_half_width_cm && beside_trunk && below_head >= 0 &&
            below_head <= p.height_cm) {
            hit = SkinHit{t, false, true};
        }
    }
    return hit;
}

namespace {

struct GridPeak {
    double dose = -1;
    int row = 0;
    int column = 0;
};

GridPeak PeakOf(const MapGrid& grid) {
    GridPeak peak;
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            const size_t i = grid.Index(r, c);
            if (grid.is_skin[i] != 0 && grid.dose_mgy[i] > peak.dose) {
                peak = {grid.dose_mgy[i], r, c};
            }
        }
    }
    return peak;
}

double AreaAbove(const MapGrid& grid, double cell_area_cm2, double level_mgy) {
    size_t cells = 0;
    for (size_t i = 0; i < grid.dose_mgy.size(); ++i) {
        cells += grid.is_skin[i] != 0 && grid.dose_mgy[i] >= level_mgy ? 1 : 0;
    }
    return static_cast<double>(cells) * cell_area_cm2;
}

}  // namespace

void SummariseSkinDoseMap(SkinDoseMap& map) {
    const PatientModel& p = map.patient;
    const double trunk_column_cm = PerimeterOf(p) / std::max(1, map.trunk.columns);
    const double trunk_row_cm = p.trunk_length_cm / std::max(1, map.trunk.rows);
    const double table_column_cm = 2 * p.table_half_width_cm / std::max(1, map.table.columns);
    const double table_row_cm = p.height_cm / std::max(1, map.table.rows);
    const GridPeak trunk = PeakOf(map.trunk);
    const GridPeak table = PeakOf(map.table);
    MapPeak peak;
    if (trunk.dose >= table.dose) {
        peak.dose_mgy = std::max(0.0, trunk.dose);
        peak.on_trunk = true;
        peak.below_head_top_cm = p.trunk_top_cm + (trunk.row + 0.5) * trunk_row_cm;
        peak.across_cm = -PerimeterOf(p) / 2 + (trunk.column + 0.5) * trunk_column_cm;
        const double phi =
            ArcTable({p.trunk_half_width_cm, p.trunk_half_depth_cm}).PhiAt(peak.across_cm);
        peak.angle_deg = std::atan2(p.trunk_half_width_cm * std::sin(phi),
                                    p.trunk_half_depth_cm * std::cos(phi)) *
                         180 / std::numbers::pi;
    } else {
        peak.dose_mgy = table.dose;
        peak.on_trunk = false;
        peak.below_head_top_cm = (table.row + 0.5) * table_row_cm;
        peak.across_cm = -p.table_half_width_cm + (table.column + 0.5) * table_column_cm;
    }
    map.peak = peak;
    for (size_t i = 0; i < kMapAreaThresholdsGy.size(); ++i) {
        const double level = kMapAreaThresholdsGy[i] * 1000;
        map.area_above_cm2[i] = AreaAbove(map.trunk, trunk_column_cm * trunk_row_cm, level) +
                                AreaAbove(map.table, table_column_cm * table_row_cm, level);
    }
}

}  // namespace korvex
