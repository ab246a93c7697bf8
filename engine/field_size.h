#pragma once

#include <optional>

#include "engine/calculation_case.h"

namespace korvex {

// Field size at the patient entrance reference point from the displayed readings: the
// field area is P_KA / (0.001 Ka,r) cm^2; a square has side sqrt(area), a circle diameter
// 2 sqrt(area / Pi). nullopt when either reading is not positive, when no shape is
// given, or when the size would not be a finite number: no size can be shown then.
std::optional<double> ComputeReferenceFieldSize(FieldShapeKind shape, double kar_mgy,
                                                double pka_gycm2);

}  // namespace korvex
