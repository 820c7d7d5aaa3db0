// The inner loops of both passes, built once for the x86 baseline and once more for AVX2; the
// widest set this CPU can run is chosen on first use. Every set gives the same bits: the fixed
// sums are of terms each rounded by itself (so any order), and every double sum keeps its own
// order (several units' sums run side by side, one per vector lane).
#pragma once

#include <cstdint>

struct PassKernels {
    const char* name;
    // net[j] = sum over i < inputs, ascending, of below[i] x w[j x inputs + i], from 0.0.
    void (*forwardDouble)(const double* below, const double* w, int32_t inputs, int32_t units,
                          double* net);
    // s[j] = sum over k < above, ascending, of deltaAbove[k] x w[k x (n + 1) + j], from 0.0.
    void (*backDouble)(const double* deltaAbove, const double* w, int32_t n, int32_t above,
                       double* s);
    // For each unit j: g = rateFactor x delta[j]; change = a[i] x g (+ last[i] x momentum when
    // momentum is not 0); last[i] = change; w[i] += change.
    void (*updateDouble)(double* w, double* last, const double* a, int32_t inputs, int32_t units,
                         const double* delta, double rateFactor, double momentum);
    // net[j] = 1 / (1 + e^(-gain x net[j])) for j < count, with the engine's exponential: what
    // the double transfer function gives for its logistic code.
    void (*logisticDouble)(double* net, int32_t count, double gain);
    // net[j] = wrapping sum over i < inputs of ((w[j x inputs + i] >> 16) x below[i] + 256) >> 9.
    void (*forwardFixed)(const int16_t* below, const int32_t* w, int32_t inputs, int32_t units,
                         int32_t* net);
    // s[j] = wrapping sum over k < above of ((w[k x (n + 1) + j] >> 16) x deltaAbove[k] + 512)
    // >> 10, for j < count.
    void (*backFixed)(const int16_t* deltaAbove, const int32_t* w, int32_t n, int32_t above,
                      int32_t count, int32_t* s);
    // The momentum update of every weight of a layer, g from delta[j] and the Q15 rate factor.
    void (*updateFixed)(int32_t* w, int16_t* last, const int16_t* a, int32_t inputs, int32_t units,
                        const int16_t* delta, int32_t rateFactor, int32_t momentum);
};

// The kernels in use: the widest this CPU can run unless a path was forced.
const PassKernels& ActiveKernels();

// Paths this build has, in order from the baseline (0) up.
int32_t KernelPathCount();
const char* KernelPathName(int32_t path);
// Uses the given path from now on; false (nothing changes) when this CPU or build cannot run it.
// A negative path goes back to the automatic choice.
bool ForceKernelPath(int32_t path);
