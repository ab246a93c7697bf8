#include "engine/field_size.h"

#include <cmath>

#include "engine/reference_tables.h"

namespace korvex {

std::optional<double> ComputeReferenceFieldSize(FieldShapeKind shape, double kar_mgy,
                                                double pka_gycm2) {
    if (!(kar_mgy > 0) || !(pka_gycm2 > 0) || shape == FieldShapeKind::Unset) {
        return std::nullopt;
    }
    const double area = pka_gycm2 / (0.001 * kar_mgy);  // cm^2
    const double size =
        shape == FieldShapeKind::Square ? std::sqrt(area) : 2 * std::sqrt(area / Pi);  // cm
    if (!std::isfinite(size)) {
        return std::nullopt;
    }
    return size;
}

}  // namespace korvex
