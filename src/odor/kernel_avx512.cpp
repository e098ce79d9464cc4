// The kernel of the odor core for AVX-512 (F, VL, BW, DQ), in a portable
// x86-64 build only (compiled for it, run only on a processor that has it).
#ifdef ZIR_DISPATCH
// GCC 12 takes the undefined start value of a vector in its AVX-512
// conversion intrinsics for an uninitialised variable.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define ZIR_KERNEL kernel_avx512
#include "odor/kernel.inc"
#endif
