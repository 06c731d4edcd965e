// Kernel selection of the multi-precision routines, for tests that check each kernel in turn.
#pragma once

namespace pelvane {

// true: the Montgomery exponentiation uses the portable C++ kernels even where the processor
// offers mulx and ADX; false (the default): the fastest kernels the processor runs.
// Process-wide; meant for tests.
void MpForcePortableKernels(bool force);

// True when MpModPow uses the mulx/ADX kernels: the processor has them and they are not
// forced off.
bool MpFastKernelsActive();

}  // namespace pelvane
