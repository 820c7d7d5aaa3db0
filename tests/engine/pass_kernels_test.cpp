// The layer-wide logistic transfer of every kernel path against the double transfer function
// unit by unit, bit for bit: ordinary, undecided (slow-path) and out-of-range arguments, NaN and
// infinities, in every lane position and layer length.
#include "engine/exact_exp.h"
#include "engine/exact_exp_internal.h"
#include "engine/network_state.h"
#include "engine/pass_kernels.h"
#include "engine/transfer.h"
#include "support/fresh_library.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

class PassKernelsTest : public LibraryTest {
  protected:
    void TearDown() override {
        ForceKernelPath(-1);
        LibraryTest::TearDown();
    }
};

// Net inputs: the edges of the exponential's plain range from both sides (with gain 1 the
// argument is -net), zeros and tiny values, non-numbers, ordinary values, and arguments the
// fast approximation cannot settle.
std::vector<double> NetInputs() {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> nets = {0.0,    -0.0,  1e-30,   -1e-30,       0x1p-61, -0x1p-59,
                                0.5,    -0.5,  30.0,    -30.0,        745.5,   746.5,
                                744.0,  708.5, -709.78, -709.8,       -710.0,  1e300,
                                -1e300, inf,   -inf,    std::nan(""), 36.7,    -36.7};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> ordinary(-40.0, 40.0);
    int undecided = 0;
    for (int i = 0; i < 400000 && undecided < 40; ++i) {
        const double x = ordinary(random);
        const uint64_t before = ExactExpSlowPathCount();
        ExactExp(-x);
        if (ExactExpSlowPathCount() != before) {
            nets.push_back(x);
            undecided += 1;
        }
        if (i % 4000 == 0) nets.push_back(x);
    }
    return nets;
}

TEST_F(PassKernelsTest, LogisticLayerGivesTheTransferFunctionsBits) {
    const std::vector<double> nets = NetInputs();
    for (double gain : {1.0, -2.5, 1e-20, 0.75}) {
        ASSERT_STREQ(SetEnhanced(3, gain, 0, 0.0, 0, 0.0), "OK");
        std::vector<double> expected;
        for (double net : nets)
            expected.push_back(ApplyTransferDouble(net));
        for (int32_t path = 0; path < KernelPathCount(); ++path) {
            if (!ForceKernelPath(path)) continue;
            std::vector<double> layer = nets;
            // Layers of 1 ... 9 units, so every value meets every lane position and tail.
            for (size_t start = 0, length = 1; start < layer.size(); start += length) {
                length = 1 + start % 9;
                const size_t count = std::min(length, layer.size() - start);
                ActiveKernels().logisticDouble(layer.data() + start, int32_t(count), gain);
            }
            for (size_t i = 0; i < nets.size(); ++i)
                ASSERT_EQ(std::bit_cast<uint64_t>(layer[i]), std::bit_cast<uint64_t>(expected[i]))
                    << KernelPathName(path) << " gain " << gain << " net " << std::hexfloat
                    << nets[i];
        }
    }
}

} // namespace
