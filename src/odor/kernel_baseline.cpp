// The kernel of the odor core for the instruction set of the build's own
// flags: the x86-64 baseline in a portable build.
#define ZIR_KERNEL kernel_baseline
#include "odor/kernel.inc"
