#pragma once

#include <cmath>
#include <string>

#include "engine/errors.h"
#include "engine/text_rules.h"

// Arithmetic that C++ does not trap, checked: each helper throws CalculationError with
// `what` (the quantity being computed) instead of returning NaN, infinity or a value cast
// out of range. The calculation driver turns that into the user's failure message.
namespace korvex {

// A number for a failure reason; never "nan" or "inf".
inline std::string ReasonNumber(double value) {
    return std::isfinite(value) ? ShortestNumberText(value) : std::string("non-finite");
}

inline double Finite(double value, const char* what) {
    if (!std::isfinite(value)) {
        throw CalculationError(std::string(what) + " is not finite");
    }
    return value;
}

inline double Divide(double numerator, double denominator, const char* what) {
    if (denominator == 0.0) {
        throw CalculationError(std::string("division by zero in ") + what);
    }
    return Finite(numerator / denominator, what);
}

inline double SquareRoot(double value, const char* what) {
    if (!(value >= 0.0)) {
        throw CalculationError(std::string("square root of ") + ReasonNumber(value) + " in " +
                               what);
    }
    return std::sqrt(value);
}

inline double Logarithm(double value, const char* what) {
    if (!(value > 0.0)) {
        throw CalculationError(std::string("logarithm of ") + ReasonNumber(value) + " in " + what);
    }
    return std::log(value);
}

// The whole part of a count or grid index that must lie in 0 .. 1e6 (far beyond every grid
// of the program); anything else, NaN included, cannot index a table.
inline long WholePart(double value, const char* what) {
    if (!(value >= 0.0) || value > 1.0e6) {
        throw CalculationError(std::string(what) + " out of range: " + ReasonNumber(value));
    }
    return static_cast<long>(std::floor(value));
}

}  // namespace korvex
