// The kernel of the odor core for AVX2, in a portable x86-64 build only
// (compiled with -mavx2, run only on a processor that has it).
#ifdef ZIR_DISPATCH
#define ZIR_KERNEL kernel_avx2
#include "odor/kernel.inc"
#endif
