// The kernels again, for CPUs with AVX2 (this file alone is compiled with -mavx2). Where the
// compiler cannot build them the table is absent and only the baseline runs.
#if defined(__AVX2__)
#include "engine/pass_kernels_body.h"

extern const PassKernels kAvx2Kernels = KernelSet("avx2");
extern const PassKernels* const kAvx2KernelsIfBuilt = &kAvx2Kernels;
#else
#include "engine/pass_kernels.h"

extern const PassKernels* const kAvx2KernelsIfBuilt = nullptr;
#endif
