#pragma once

#include <string>
#include <vector>

namespace korvex::refdata {

struct ElementFraction {
    int z = 0;
    double mass_fraction = 0;
};

// A material for the independent-atom mixture rule: elements by mass fraction and a
// density. The description is what reports and material files show.
struct Material {
    std::string name;    // short, for reports ("ICRU-44 soft tissue")
    double density = 0;  // g/cm^3
    std::vector<ElementFraction> elements;
};

// Soft tissue of ICRU Report 44 (H 10.2, C 14.3, N 3.4, O 70.8, Na 0.2, P 0.3, S 0.3,
// Cl 0.2, K 0.3 per cent by mass), 1.06 g/cm^3: the phantom and the dose medium.
Material IcruSoftTissue();
// Dry air near sea level as xraylib's NIST compound list holds it.
Material DryAir();
// Liquid water (xraylib's NIST compound), 1.0 g/cm^3: the validation phantom.
Material LiquidWater();
// PMMA (xraylib's NIST compound "Polymethyl Methacralate (Lucite, Perspex)"), 1.19 g/cm^3.
Material Pmma();
// Carbon-fibre reinforced epoxy of a couch top: 60 % by volume carbon fibre (1.76 g/cm^3,
// the density of standard-modulus PAN fibre, Toray T300 data sheet) in cured bisphenol-A
// epoxy C21H24O4 (1.20 g/cm^3): 1.536 g/cm^3; by mass C 91.90, H 2.22, O 5.88 per cent.
Material CarbonFibreComposite();
// Flexible polyurethane foam of a table mattress, modelled by the urethane repeat unit of
// MDI and ethylene glycol, C17H16N2O4 (C 65.38, H 5.16, N 8.97, O 20.49 per cent by mass),
// at the given density in g/cm^3.
Material PolyurethaneFoam(double density);
// A pure element at the given density.
Material Element(int z, const std::string& name, double density);

// The anode and the two standard filters at the densities the engine assumes.
Material Tungsten();   // 19.3 g/cm^3
Material Aluminium();  // 2.699 g/cm^3
Material Copper();     // 8.96 g/cm^3

// The phantom materials the Monte Carlo accepts by name: "tissue" or "water".
// Throws std::invalid_argument for any other name.
Material PhantomByName(const std::string& name);

}  // namespace korvex::refdata
