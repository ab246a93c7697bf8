#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/refdata/random_stream.h"

namespace korvex::refdata {

// A photon that neither escapes nor falls below the cut-off after this many
// interactions means broken tables; no real history comes near it.
inline constexpr int kMaxInteractions = 100000;

// Turns the direction (u, v, w) by the polar angle with cosine `cos_theta` and a
// uniform azimuth; the result is renormalised against rounding drift.
inline void RotateDirection(double& u, double& v, double& w, double cos_theta,
                            RandomStream& random) {
    const double sin_theta = std::sqrt(std::max(0.0, 1.0 - cos_theta * cos_theta));
    const double phi = 2.0 * std::numbers::pi * random.Uniform();
    const double cos_phi = std::cos(phi);
    const double sin_phi = std::sin(phi);
    const double axis = std::sqrt(std::max(0.0, 1.0 - w * w));
    if (axis < 1e-10) {
        u = sin_theta * cos_phi;
        v = sin_theta * sin_phi;
        w = w >= 0 ? cos_theta : -cos_theta;
        return;
    }
    const double nu = u * cos_theta + sin_theta * (u * w * cos_phi - v * sin_phi) / axis;
    const double nv = v * cos_theta + sin_theta * (v * w * cos_phi + u * sin_phi) / axis;
    const double nw = w * cos_theta - sin_theta * cos_phi * axis;
    const double norm = 1.0 / std::sqrt(nu * nu + nv * nv + nw * nw);
    u = nu * norm;
    v = nv * norm;
    w = nw * norm;
}

}  // namespace korvex::refdata
