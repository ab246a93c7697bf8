#include "tools/refdata/xraylib_access.h"

#include <xraylib/xraylib.h>

#include <stdexcept>
#include <string>

namespace korvex::refdata::xrl {
namespace {

// Calls an xraylib function with a fresh error slot and throws when it reports one.
template <typename Function, typename... Args>
double Checked(const char* name, Function function, Args... args) {
    xrl_error* error = nullptr;
    const double value = function(args..., &error);
    if (error != nullptr) {
        std::string message = std::string("xraylib ") + name + "(";
        bool first = true;
        for (double argument : {static_cast<double>(args)...}) {
            message += (first ? "" : ", ") + std::to_string(argument);
            first = false;
        }
        message += "): " + std::string(error->message != nullptr ? error->message : "error");
        xrl_error_free(error);
        throw std::runtime_error(message);
    }
    return value;
}

}  // namespace

double Photoelectric(int z, double energy_kev) {
    return Checked("CS_Photo", CS_Photo, z, energy_kev);
}

double Coherent(int z, double energy_kev) {
    return Checked("CS_Rayl", CS_Rayl, z, energy_kev);
}

double Incoherent(int z, double energy_kev) {
    return Checked("CS_Compt", CS_Compt, z, energy_kev);
}

double KleinNishinaPerElectron(double energy_kev) {
    return Checked("CS_KN", CS_KN, energy_kev);
}

double AtomicWeight(int z) {
    return Checked("AtomicWeight", ::AtomicWeight, z);
}

double ElementDensity(int z) {
    return Checked("ElementDensity", ::ElementDensity, z);
}

double FormFactor(int z, double x) {
    return Checked("FF_Rayl", FF_Rayl, z, x);
}

double IncoherentFunction(int z, double x) {
    // xraylib's tables begin at x = 0.001 / Angstrom (for hydrogen lower). Below, S rises
    // as x^2 from S(0) = 0, so the value at the table's start is scaled down.
    constexpr double kTableStart = 0.001;
    if (x <= 0.0) {
        return 0.0;
    }
    if (z > 1 && x < kTableStart) {
        const double ratio = x / kTableStart;
        return Checked("SF_Compt", SF_Compt, z, kTableStart) * ratio * ratio;
    }
    return Checked("SF_Compt", SF_Compt, z, x);
}

double KEdge(int z) {
    return Checked("EdgeEnergy", EdgeEnergy, z, K_SHELL);
}

double KJumpFactor(int z) {
    return Checked("JumpFactor", JumpFactor, z, K_SHELL);
}

double KFluorescenceYield(int z) {
    return Checked("FluorYield", FluorYield, z, K_SHELL);
}

double MeanKLineEnergy(int z) {
    // Light elements have no K-beta data; their K-alpha alone is the K emission.
    double rate_sum = 0.0;
    double weighted = 0.0;
    for (int line : {KA_LINE, KB_LINE}) {
        xrl_error* error = nullptr;
        const double rate = RadRate(z, line, &error);
        if (error != nullptr) {
            xrl_error_free(error);
            if (line == KA_LINE) {
                throw std::runtime_error("xraylib has no K-alpha rate for Z = " +
                                         std::to_string(z));
            }
            continue;
        }
        const double energy = Checked("LineEnergy", LineEnergy, z, line);
        rate_sum += rate;
        weighted += rate * energy;
    }
    return weighted / rate_sum;
}

std::string Version() {
#ifdef KORVEX_XRAYLIB_VERSION
    return KORVEX_XRAYLIB_VERSION;
#else
    return "unknown";
#endif
}

}  // namespace korvex::refdata::xrl
