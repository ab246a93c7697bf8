#include "tools/refdata/materials.h"

#include <xraylib/xraylib.h>

#include <stdexcept>

namespace korvex::refdata {
namespace {

Material NistCompound(const char* xraylib_name, const std::string& name) {
    xrl_error* error = nullptr;
    compoundDataNIST* data = GetCompoundDataNISTByName(xraylib_name, &error);
    if (data == nullptr) {
        const std::string reason =
            error != nullptr && error->message != nullptr ? error->message : "unknown compound";
        if (error != nullptr) {
            xrl_error_free(error);
        }
        throw std::runtime_error(std::string("xraylib NIST compound ") + xraylib_name + ": " +
                                 reason);
    }
    Material material{name, data->density, {}};
    for (int i = 0; i < data->nElements; ++i) {
        material.elements.push_back({data->Elements[i], data->massFractions[i]});
    }
    FreeCompoundDataNIST(data);
    return material;
}

}  // namespace

Material IcruSoftTissue() {
    return {"ICRU-44 soft tissue",
            1.06,
            {{1, 0.102},
             {6, 0.143},
             {7, 0.034},
             {8, 0.708},
             {11, 0.002},
             {15, 0.003},
             {16, 0.003},
             {17, 0.002},
             {19, 0.003}}};
}

Material DryAir() {
    return NistCompound("Air, Dry (near sea level)", "dry air (NIST)");
}

Material LiquidWater() {
    return NistCompound("Water, Liquid", "liquid water (NIST)");
}

Material Pmma() {
    return NistCompound("Polymethyl Methacralate (Lucite, Perspex)", "PMMA (NIST)");
}

Material CarbonFibreComposite() {
    // Fibre mass fraction 0.6 * 1.76 / 1.536 = 0.6875; the resin C21H24O4 (340.42 g/mol)
    // holds C 0.74094, H 0.07107, O 0.18799 (IUPAC standard atomic weights).
    return {"carbon-fibre epoxy composite", 1.536, {{1, 0.02221}, {6, 0.91904}, {8, 0.05875}}};
}

Material PolyurethaneFoam(double density) {
    // C17H16N2O4, 312.33 g/mol (IUPAC standard atomic weights).
    return {"polyurethane foam", density, {{1, 0.05164}, {6, 0.65376}, {7, 0.08970}, {8, 0.20490}}};
}

Material Element(int z, const std::string& name, double density) {
    return {name, density, {{z, 1.0}}};
}

Material Tungsten() {
    return Element(74, "tungsten", 19.3);
}

Material Aluminium() {
    return Element(13, "aluminium", 2.699);
}

Material Copper() {
    return Element(29, "copper", 8.96);
}

Material PhantomByName(const std::string& name) {
    if (name == "tissue") {
        return IcruSoftTissue();
    }
    if (name == "water") {
        return LiquidWater();
    }
    throw std::invalid_argument("unknown phantom material \"" + name + "\" (use tissue or water)");
}

}  // namespace korvex::refdata
