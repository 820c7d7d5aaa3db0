// Chooses the kernel set once: the widest this CPU runs, unless a test or benchmark forces one.
#include "engine/pass_kernels.h"

extern const PassKernels kBaselineKernels;
extern const PassKernels* const kAvx2KernelsIfBuilt;

namespace {

const PassKernels* activeKernels = nullptr;

// The set of a path, or null when this build or CPU cannot run it.
const PassKernels* PathKernels(int32_t path) {
    if (path == 0) return &kBaselineKernels;
    if (path == 1 && kAvx2KernelsIfBuilt != nullptr && __builtin_cpu_supports("avx2"))
        return kAvx2KernelsIfBuilt;
    return nullptr;
}

const PassKernels* WidestKernels() {
    for (int32_t path = KernelPathCount() - 1; path > 0; --path)
        if (const PassKernels* kernels = PathKernels(path)) return kernels;
    return &kBaselineKernels;
}

} // namespace

const PassKernels& ActiveKernels() {
    if (activeKernels == nullptr) activeKernels = WidestKernels();
    return *activeKernels;
}

int32_t KernelPathCount() {
    return 2;
}

const char* KernelPathName(int32_t path) {
    return path == 0 ? "baseline" : path == 1 ? "avx2" : "none";
}

bool ForceKernelPath(int32_t path) {
    if (path < 0) {
        activeKernels = WidestKernels();
        return true;
    }
    const PassKernels* kernels = PathKernels(path);
    if (kernels == nullptr) return false;
    activeKernels = kernels;
    return true;
}
