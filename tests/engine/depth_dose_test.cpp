#include "engine/depth_dose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <numbers>
#include <set>
#include <sstream>
#include <vector>

#include "engine/engine_state.h"
#include "engine/errors.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fixtures/synthetic_workdir.h"

namespace korvex {
namespace {

using testing::TypicalState;

// Fraction of the ring r1..r2 inside the rectangle |x| <= a, |y| <= b, by integrating the
// covered angle over the radius (Simpson, split where the integrand has kinks), with the
// exact pi. Independent of the case analysis under test.
double AreaFractionInsideRectangle(double r1, double r2, double a, double b) {
    const auto covered = [a, b](double r) {
        const double from = std::acos(std::min(1.0, a / r));
        const double to = std::asin(std::min(1.0, b / r));
        return r * std::max(0.0, to - from) / (std::numbers::pi / 2);
    };
    std::vector<double> cuts{r1};
    for (double kink : {a, b, std::hypot(a, b)}) {
        if (kink > r1 && kink < r2) {
            cuts.push_back(kink);
        }
    }
    cuts.push_back(r2);
    std::sort(cuts.begin(), cuts.end());
    double integral = 0;
    for (size_t piece = 0; piece + 1 < cuts.size(); ++piece) {
        const int n = 2000;
        const double h = (cuts[piece + 1] - cuts[piece]) / n;
        double sum = covered(cuts[piece]) + covered(cuts[piece + 1]);
        for (int i = 1; i < n; ++i) {
            sum += (i % 2 == 1 ? 4 : 2) * covered(cuts[piece] + i * h);
        }
        integral += sum * h / 3;
    }
    return integral / ((r2 * r2 - r1 * r1) / 2);
}

TEST(RingFraction, EachCaseMatchesTheAreaInsideTheRectangle) {
    struct Ring {
        double r1, r2, a, b;
    };
    // One ring for each case of the analysis (rectangle 8 x 4 and square 4 x 4), every
    // one without an overlap of the two edge segments.
    const std::vector<Ring> rings{
        {1.0, 1.5, 4, 2},    // 1: wholly inside
        {1.5, 2.5, 4, 2},    // 2: crosses the short half side only
        {2.5, 3.0, 4, 2},    // 3: beyond the short half side, inside the long one
        {1.5, 2.5, 2, 2},    // 4: crosses both half sides
        {3.75, 4.25, 4, 2},  // 5: beyond b, crossing a
        {2.25, 2.75, 2, 2},  // 6: beyond both, inside the corner radius
        {4.05, 4.45, 4, 2},  // 6 for a rectangle
        {2.5, 3.0, 2, 2},    // 7: around the corner
        {4.25, 4.75, 4, 2},  // 7 for a rectangle
        {3.0, 3.5, 2, 2},    // 8: outside
    };
    for (const Ring& ring : rings) {
        const double expected = AreaFractionInsideRectangle(ring.r1, ring.r2, ring.a, ring.b);
        // The program's pi (3.14159) is off by 8.4e-7 relative.
        EXPECT_NEAR(RingFraction(ring.r1, ring.r2, ring.a, ring.b), expected, 1e-5)
            << ring.r1 << ".." << ring.r2 << " in " << ring.a << " x " << ring.b;
    }
    EXPECT_EQ(RingFraction(1.0, 1.5, 4, 2), 1.0);
    EXPECT_EQ(RingFraction(3.0, 3.5, 2, 2), 0.0);
}

TEST(RingFraction, RingEndingOnTheEdgeCountsInFull) {
    // Half side exactly 2.5 cm: the ring 2.0..2.5 is inside; the next one is cut.
    EXPECT_EQ(RingFraction(2.0, 2.5, 2.5, 2.5), 1.0);
    EXPECT_NEAR(RingFraction(2.5, 3.0, 2.5, 2.5), AreaFractionInsideRectangle(2.5, 3.0, 2.5, 2.5),
                1e-5);
    EXPECT_LT(RingFraction(2.5, 3.0, 2.5, 2.5), 1.0);
}

TEST(RingFraction, SmallSquaresNeverLoseTheirCornerTwice) {
    // Half sides where a ring crosses both edges and reaches past the corner as well
    // (a < 0.354, 0.5 <= a < 0.707, 1.0 <= a < 1.061 cm, fields of 0.3 cm upwards), and
    // larger ones: every ring's fraction is the area inside the square, never negative.
    for (double a : {0.15, 0.25, 0.3, 0.45, 0.55, 0.6, 0.7, 1.0, 1.03, 1.06, 1.2, 2.5}) {
        const double c = std::sqrt(2.0) * a;
        for (int k = 1; 0.5 * k - 0.5 < c; ++k) {
            const double r1 = 0.5 * k - 0.5;
            const double r2 = 0.5 * k;
            const double fraction = RingFraction(r1, r2, a, a);
            EXPECT_GE(fraction, 0.0) << a << " ring " << k;
            EXPECT_LE(fraction, 1.0) << a << " ring " << k;
            EXPECT_NEAR(fraction, AreaFractionInsideRectangle(r1, r2, a, a), 1e-5)
                << a << " ring " << k;
        }
    }
}

TEST(RingFraction, EdgeAtTheAxisIsADivisionByZero) {
    EXPECT_THROW(RingFraction(0.0, 0.5, 0, 0), CalculationError);
}

// Kernels held in memory, one per kernel energy; remembers which energies were asked for.
class Kernels {
  public:
    explicit Kernels(const fixtures::ScatterKernelFunction& value) : by_energy_(29) {
        for (int n = 0; n < 29; ++n) {
            for (int z = 1; z <= 40; ++z) {
                for (int k = 1; k <= 80; ++k) {
                    by_energy_[n](k, z) = value(k, z, 10 + 5 * n);
                }
            }
        }
    }
    ScatterKernelSource Source() {
        return [this](int energy_kev) -> const ScatterKernel& {
            requested_.insert(energy_kev);
            return by_energy_.at(static_cast<size_t>((energy_kev - 10) / 5));
        };
    }
    const std::set<int>& requested() const { return requested_; }

  private:
    std::vector<ScatterKernel> by_energy_;
    std::set<int> requested_;
};

// A state whose photon spectrum is a single bin e = `bin` (weight 1).
EngineState SingleBinState(double tube_voltage, int bin, double surface_distance) {
    EngineState state = TypicalState();
    state.calc.TubeVoltage = tube_voltage;
    state.calc.EffectiveSurfaceDistance = surface_distance;
    state.work.PhotonSpectrum.Fill(0);
    state.work.PhotonSpectrum[bin] = 1;
    return state;
}

double InverseSquare(double f, int layer) {
    const double d = 0.5 * layer - 0.25;
    return f * f / ((f + d) * (f + d));
}

TEST(DepthDose, CircleOfRadiusFiveCountsElevenRings) {
    // F = 9.75 cm and a surface diameter of 9.75 cm: at layer 1 (d = 0.25 cm) the radius
    // is 4.875 * 10 / 9.75 = 5.0 exactly, so rings 1..11 count in full. Ring k carries
    // 2^(k-1), so Y / g = 2^n - 1 tells n.
    EngineState state = SingleBinState(80, 100, 9.75);
    state.calc.FieldShape = FieldShapeKind::Circle;
    state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 9.75;
    Kernels kernels([](int k, int, int) { return std::ldexp(1.0, k - 1); });
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
    EXPECT_EQ(state.calc.FieldHalfLong, 4.875);
    EXPECT_NEAR(state.depth.ScatterByEnergy(20, 1) / InverseSquare(9.75, 1), 2047, 1e-9);
    // Layer 2: radius 5.25 cm, Int(10.5) + 1 = 11 rings as well; layer 3: 5.5 cm, 12.
    EXPECT_NEAR(state.depth.ScatterByEnergy(20, 2) / InverseSquare(9.75, 2), 2047, 1e-9);
    EXPECT_NEAR(state.depth.ScatterByEnergy(20, 3) / InverseSquare(9.75, 3), 4095, 1e-9);
}

TEST(DepthDose, SquareRingsAreWeightedByTheirFractionInsideTheField) {
    // Half side exactly 5.0 cm at layer 1 (as above); the half diagonal 7.07 cm gives
    // Int(14.14) + 1 = 15 rings.
    for (int ring : {10, 11, 14, 15, 16}) {
        EngineState state = SingleBinState(80, 100, 9.75);
        state.calc.FieldShape = FieldShapeKind::Square;
        state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 9.75;
        Kernels kernels([ring](int k, int, int) { return k == ring ? 1.0 : 0.0; });
        ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded) << ring;
        const double expected =
            ring > 15 ? 0.0 : AreaFractionInsideRectangle(0.5 * ring - 0.5, 0.5 * ring, 5, 5);
        // 100 keV lies above the summed bins, so no interpolation touches its row.
        EXPECT_NEAR(state.depth.ScatterByEnergy(200, 1) / InverseSquare(9.75, 1), expected, 1e-5)
            << "ring " << ring;
        if (ring == 10) {
            EXPECT_EQ(state.depth.ScatterByEnergy(200, 1), InverseSquare(9.75, 1));
        }
    }
}

TEST(DepthDose, ZeroGridValueBecomesOneAndEntersTheScatterSum) {
    // Single bin at e = 80 (40 keV), whose kernel is 0: Y(80, z) is 0 on the grid and
    // becomes 1 when the energies around it are interpolated. So Ds(z) = 1 exactly and
    // Dp(z) = exp(-mu d) P0 g; both are independent of everything else.
    const double f = 80;
    EngineState state = SingleBinState(45, 80, f);
    state.calc.FieldShape = FieldShapeKind::Circle;
    state.calc.CouchDepth = 0.75;
    Kernels kernels([](int, int, int e) { return e == 40 ? 0.0 : 1e-3; });
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);

    const double mu = state.tables.MuPhantom[80];
    const double primary = state.tables.PrimaryFine[80];
    std::vector<double> total(41);
    for (int z = 1; z <= 40; ++z) {
        const double d = 0.5 * z - 0.25;
        EXPECT_EQ(state.depth.ScatterByEnergy(80, z), 1.0) << z;
        EXPECT_EQ(state.depth.ScatterDepthDose[z], 1.0) << z;
        const double dp = std::exp(-mu * d) * primary * InverseSquare(f, z);
        EXPECT_NEAR(state.depth.PrimaryDepthDose[z] / dp, 1, 1e-13) << z;
        total[z] = dp + 1;
        // 37.5 and 42.5 keV lie halfway between 1 and g * 1e-3 on the log scale.
        const double halfway = std::sqrt(InverseSquare(f, z) * 1e-3);
        EXPECT_NEAR(state.depth.ScatterByEnergy(75, z) / halfway, 1, 1e-12) << z;
        EXPECT_NEAR(state.depth.ScatterByEnergy(85, z) / halfway, 1, 1e-12) << z;
    }
    for (int z : {1, 2, 17, 40}) {
        EXPECT_NEAR(state.depth.DepthDoseTable(3, z), 100 * total[z] / total[1], 1e-11) << z;
        EXPECT_NEAR(state.depth.DepthDoseTable(2, z), 100 / total[1], 1e-11) << z;
    }
    // Layer centre 0.75 cm: exactly the second layer's value.
    EXPECT_EQ(state.calc.DepthFactor, 0.01 * state.depth.DepthDoseTable(3, 2));
    EXPECT_NEAR(state.calc.DepthFactor, total[2] / total[1], 1e-13);

    // Halfway between the second and third centre: the mean of the two.
    state.calc.CouchDepth = 1.0;
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
    EXPECT_NEAR(state.calc.DepthFactor, (total[2] + total[3]) / (2 * total[1]), 1e-13);
}

TEST(DepthDose, ScatterIsInterpolatedLogarithmicallyBetweenGridEnergies) {
    // Kernels growing as exp(0.02 E) make ln Y linear in energy, so the interpolated Y
    // is g exp(0.02 E) exactly.
    const double f = 60;
    EngineState state = SingleBinState(80, 100, f);
    state.calc.FieldShape = FieldShapeKind::Circle;
    Kernels kernels([](int, int, int e) { return std::exp(0.02 * e); });
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
    for (int e : {21, 29, 33, 99, 131, 159}) {
        for (int z : {1, 20, 40}) {
            const double expected = InverseSquare(f, z) * std::exp(0.02 * 0.5 * e);
            EXPECT_NEAR(state.depth.ScatterByEnergy(e, z) / expected, 1, 1e-12) << e << " " << z;
        }
    }
    // 80 kV sums bins up to 160, but all 29 kernels are read and their rows filled.
    EXPECT_EQ(kernels.requested().size(), 29u);
    EXPECT_NEAR(state.depth.ScatterByEnergy(300, 1) / (InverseSquare(f, 1) * std::exp(3.0)), 1,
                1e-13);
    EXPECT_EQ(state.depth.ScatterByEnergy(161, 1), 0.0);
}

// The attenuation to the layer centres is kept between calculations: a state whose phantom
// changed computes as a new state does, and the kept primary is the formula's.
TEST(DepthDose, KeptPhantomAttenuationFollowsThePhantom) {
    Kernels kernels([](int k, int z, int e) { return fixtures::SyntheticScatterKernel(k, z, e); });
    EngineState state = SingleBinState(80, 100, 70);
    state.calc.FieldShape = FieldShapeKind::Circle;
    state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 10;
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
    const double mu = state.tables.MuPhantom[100];
    const double primary = state.tables.PrimaryFine[100];
    EXPECT_DOUBLE_EQ(state.depth.PrimaryDepthDose[7],
                     std::exp(-mu * 3.25) * primary * InverseSquare(70, 7));

    state.tables.MuPhantom[100] = 2 * mu;
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
    EngineState fresh = SingleBinState(80, 100, 70);
    fresh.tables.MuPhantom[100] = 2 * mu;
    fresh.calc.FieldShape = FieldShapeKind::Circle;
    fresh.calc.SurfaceFieldSizeA = fresh.calc.SurfaceFieldSizeB = 10;
    ASSERT_TRUE(ComputeDepthFactor(fresh, kernels.Source()).succeeded);
    EXPECT_EQ(state.calc.DepthFactor, fresh.calc.DepthFactor);
    EXPECT_EQ(state.depth.PrimaryDepthDose[7], fresh.depth.PrimaryDepthDose[7]);
    EXPECT_DOUBLE_EQ(state.depth.PrimaryDepthDose[7],
                     std::exp(-2 * mu * 3.25) * primary * InverseSquare(70, 7));
}

// The kernels hold 80 rings of 0.5 cm: a field reaching beyond them at some depth ends the
// step, whatever its shape, and DepthFactor keeps its value. At F = 70 cm the field grows
// by 70.25 / 70 at the first layer's centre and by 89.75 / 70 at the last one's.
TEST(DepthDose, FieldBeyondTheKernelsRingsEndsTheStep) {
    Kernels kernels([](int k, int z, int e) { return fixtures::SyntheticScatterKernel(k, z, e); });
    struct Sizes {
        FieldShapeKind shape;
        double inside;  // 77 (circle) or 78 (square) rings at the last layer
        double beyond;  // 82 or 81 rings at the first layer
    };
    for (const Sizes sizes :
         {Sizes{FieldShapeKind::Circle, 60, 81}, Sizes{FieldShapeKind::Square, 43, 57}}) {
        EngineState state = SingleBinState(80, 100, 70);
        state.calc.FieldShape = sizes.shape;
        state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = sizes.inside;
        ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
        state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = sizes.beyond;
        state.calc.DepthFactor = 0.5;
        const DepthStepResult result = ComputeDepthFactor(state, kernels.Source());
        EXPECT_FALSE(result.succeeded);
        EXPECT_NE(result.reason.find("rings at layer 1, the kernels 80"), std::string::npos)
            << result.reason;
        EXPECT_EQ(state.calc.DepthFactor, 0.5);
    }
}

TEST(DepthDose, CouchDepthOutsideTheComputedLayers) {
    EngineState state = SingleBinState(80, 100, 70);
    state.calc.FieldShape = FieldShapeKind::Circle;
    state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 10;
    Kernels kernels([](int k, int z, int e) { return fixtures::SyntheticScatterKernel(k, z, e); });

    // Down to the first layer centre the factor is the first layer's own, 1.
    for (double depth : {0.0, 0.1, 0.25, -1.0}) {
        state.calc.CouchDepth = depth;
        ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded) << depth;
        EXPECT_NEAR(state.calc.DepthFactor, 1.0, 1e-15) << depth;
    }
    // Just past it the interpolation starts from layer 1 and stays continuous.
    state.calc.CouchDepth = 0.2500001;
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
    EXPECT_NEAR(state.calc.DepthFactor, 1.0, 1e-6);
    EXPECT_NE(state.calc.DepthFactor, 1.0);

    state.calc.CouchDepth = 19.75;
    ASSERT_TRUE(ComputeDepthFactor(state, kernels.Source()).succeeded);
    EXPECT_EQ(state.calc.DepthFactor, 0.01 * state.depth.DepthDoseTable(3, 40));

    state.calc.DepthFactor = 0.123;
    state.calc.CouchDepth = 19.76;
    const DepthStepResult beyond = ComputeDepthFactor(state, kernels.Source());
    EXPECT_FALSE(beyond.succeeded);
    EXPECT_NE(beyond.reason.find("19.76"), std::string::npos) << beyond.reason;
    EXPECT_EQ(state.calc.DepthFactor, 0.123);
}

TEST(DepthDose, ArithmeticFailuresEndTheStep) {
    Kernels kernels([](int, int, int) { return 1e-3; });
    const auto fails = [&kernels](EngineState& state, const char* why) {
        state.calc.DepthFactor = 0.123;
        const DepthStepResult result = ComputeDepthFactor(state, kernels.Source());
        EXPECT_FALSE(result.succeeded) << why;
        EXPECT_FALSE(result.reason.empty()) << why;
        EXPECT_EQ(state.calc.DepthFactor, 0.123) << why;
        return result.reason;
    };
    {
        // No shape chosen: the rectangle branch with a = b = 0 divides by zero.
        EngineState state = SingleBinState(80, 100, 70);
        const std::string reason = fails(state, "zero rectangle");
        EXPECT_NE(reason.find("division by zero"), std::string::npos) << reason;
    }
    {
        // Below 10.5 kV no bin enters the sums: the first layer holds no dose.
        EngineState state = SingleBinState(10.4, 20, 70);
        state.calc.FieldShape = FieldShapeKind::Circle;
        fails(state, "no dose in the first layer");
    }
    {
        // Radius 40 cm at the surface: more than 80 rings at every layer.
        EngineState state = SingleBinState(80, 100, 70);
        state.calc.FieldShape = FieldShapeKind::Circle;
        state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 80;
        fails(state, "81 rings");
    }
    {
        EngineState state = SingleBinState(80, 100, 70);
        state.calc.FieldShape = FieldShapeKind::Square;
        state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 60;
        fails(state, "square beyond the kernels");
    }
    {
        EngineState state = SingleBinState(150.5, 100, 70);
        state.calc.FieldShape = FieldShapeKind::Circle;
        fails(state, "beyond the fine grid");
    }
    for (double distance : {0.0, -20.0}) {
        EngineState state = SingleBinState(80, 100, distance);
        state.calc.FieldShape = FieldShapeKind::Circle;
        fails(state, "surface behind the focus");
    }
    {
        EngineState state = SingleBinState(80, 100, 70);
        state.calc.FieldShape = FieldShapeKind::Square;
        state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = -10;
        fails(state, "negative field");
    }
    {
        // A negative grid value has no logarithm.
        EngineState state = SingleBinState(80, 100, 70);
        state.calc.FieldShape = FieldShapeKind::Circle;
        Kernels negative([](int, int, int e) { return e == 50 ? -1e-3 : 1e-3; });
        state.calc.DepthFactor = 0.123;
        const DepthStepResult result = ComputeDepthFactor(state, negative.Source());
        EXPECT_FALSE(result.succeeded);
        EXPECT_NE(result.reason.find("logarithm"), std::string::npos) << result.reason;
    }
}

// Working folder with kernel files only; the tables come from the shared synthetic set.
class KernelFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        fixtures::WriteScatterKernelFiles(folder_.path(), [](int k, int z, int e) {
            return fixtures::SyntheticScatterKernel(k, z, e);
        });
    }

    EngineState State() {
        EngineState state(testing::SyntheticTables(), folder_.path());
        state.calc.Model = DoseModel::Legacy;
        state.calc.TubeVoltage = 80;
        state.calc.EffectiveSurfaceDistance = 70;
        state.calc.FieldShape = FieldShapeKind::Square;
        state.calc.SurfaceFieldSizeA = state.calc.SurfaceFieldSizeB = 20;
        state.calc.CouchDepth = 1.3;
        for (int e = 1; e <= 300; ++e) {
            state.work.PhotonSpectrum[e] = e <= 160 ? 1.0 / 160 : 0.0;
        }
        return state;
    }

    std::filesystem::path File(int energy) const {
        return folder_.path() / fixtures::ScatterKernelFileName(energy);
    }

    std::string Contents(int energy) const {
        std::ifstream in(File(energy), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void Replace(int energy, const std::string& contents) const {
        std::ofstream out(File(energy), std::ios::binary | std::ios::trunc);
        out << contents;
    }

    // The file of 40 keV with the same size and other values: every "1" becomes a "2".
    void ChangeFileOf40() const {
        std::string changed = Contents(40);
        for (char& c : changed) {
            if (c == '1') {
                c = '2';
            }
        }
        Replace(40, changed);
        std::filesystem::last_write_time(
            File(40), std::filesystem::last_write_time(File(40)) + std::chrono::seconds(1));
    }

    fixtures::TempFolder folder_;
};

TEST_F(KernelFiles, FileIsReadLayerByLayerRingByRing) {
    std::string text;
    for (int z = 1; z <= 80; ++z) {
        for (int k = 1; k <= 80; ++k) {
            text += std::to_string(1000 * z + k) + (k % 20 == 0 ? "\n" : "  ");
        }
    }
    Replace(45, text + "whatever follows is not read\n");
    const ScatterKernel kernel = ReadScatterKernelFile(File(45), "PDS-data/45.dat");
    for (int z : {1, 2, 40}) {
        for (int k : {1, 20, 21, 80}) {
            EXPECT_EQ(kernel(k, z), 1000 * z + k) << k << " " << z;
        }
    }
}

TEST_F(KernelFiles, MissingFileFailsEveryCalculationUntilItIsBack) {
    EngineState state = State();
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    const double good = state.calc.DepthFactor;
    const std::string saved = Contents(45);
    std::filesystem::remove(File(45));
    for (int attempt = 0; attempt < 2; ++attempt) {
        state.calc.DepthFactor = 0.5;
        const DepthStepResult result = ComputeDepthFactor(state);
        EXPECT_FALSE(result.succeeded);
        EXPECT_NE(result.reason.find("PDS-data/45.dat"), std::string::npos) << result.reason;
        EXPECT_EQ(state.calc.DepthFactor, 0.5);
    }
    Replace(45, saved);
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    EXPECT_EQ(state.calc.DepthFactor, good);
}

TEST_F(KernelFiles, ShortOrBrokenFileFailsAndLaterCalculationsRecover) {
    EngineState state = State();
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    const double good = state.calc.DepthFactor;
    const std::string saved = Contents(45);

    // The last number cut off.
    Replace(45, saved.substr(0, saved.find_last_of(',') + 1));
    DepthStepResult result = ComputeDepthFactor(state);
    EXPECT_FALSE(result.succeeded);
    EXPECT_NE(result.reason.find("PDS-data/45.dat"), std::string::npos) << result.reason;

    // A value that is no number, in a layer the calculation does not even use.
    std::string broken = saved;
    broken.replace(broken.size() - 30, 3, "x.y");
    Replace(45, broken);
    result = ComputeDepthFactor(state);
    EXPECT_FALSE(result.succeeded);
    EXPECT_NE(result.reason.find("数値ではありません"), std::string::npos) << result.reason;

    // The file can be rewritten at once, and the next calculation uses it.
    Replace(45, saved);
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    EXPECT_EQ(state.calc.DepthFactor, good);
}

TEST_F(KernelFiles, ChangedFileIsReadAgain) {
    EngineState state = State();
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    const double before = state.calc.DepthFactor;

    ChangeFileOf40();
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    EXPECT_NE(state.calc.DepthFactor, before);

    EngineState fresh = State();
    ASSERT_TRUE(ComputeDepthFactor(fresh).succeeded);
    EXPECT_EQ(state.calc.DepthFactor, fresh.calc.DepthFactor);

    // A cleared cache reads everything again and gives the same result.
    state.kernel_cache.Clear();
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    EXPECT_EQ(state.calc.DepthFactor, fresh.calc.DepthFactor);
}

// The steps of one calculation use the files as they were at its first request; the
// next calculation sees a change, and a missing file still fails within the calculation.
TEST_F(KernelFiles, OneCalculationChecksEachFileOnce) {
    EngineState state = State();
    double before = 0;
    {
        const ScatterKernelCache::OneCheckPerFile once(state.kernel_cache);
        ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
        before = state.calc.DepthFactor;
        ChangeFileOf40();
        {
            const ScatterKernelCache::OneCheckPerFile nested(state.kernel_cache);
            ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
            EXPECT_EQ(state.calc.DepthFactor, before);
        }
        ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
        EXPECT_EQ(state.calc.DepthFactor, before) << "the outer calculation is not over";
    }
    ASSERT_TRUE(ComputeDepthFactor(state).succeeded);
    EXPECT_NE(state.calc.DepthFactor, before);

    const ScatterKernelCache::OneCheckPerFile once(state.kernel_cache);
    std::filesystem::remove(File(45));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DepthStepResult result = ComputeDepthFactor(state);
        EXPECT_FALSE(result.succeeded);
        EXPECT_NE(result.reason.find("PDS-data/45.dat"), std::string::npos) << result.reason;
    }
}

}  // namespace
}  // namespace korvex
