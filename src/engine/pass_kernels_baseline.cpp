// The kernels for the x86 baseline (SSE2), which every x86-64 and the i686 build can run.
#include "engine/pass_kernels_body.h"

extern const PassKernels kBaselineKernels = KernelSet("baseline");
