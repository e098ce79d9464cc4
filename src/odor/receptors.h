// Receptors and accumulators of the odor assessment: the grid accumulators,
// the receptor-point accumulators and the total duration. They live for the
// whole run; each dispersion run adds duration-weighted values to them.
#pragma once

#include <vector>

#include "ary/ary.h"

// Grid accumulators, float, i = 0..nx-1, j = 0..ny-1 (created by DefineGrid).
extern AryDesc GrdCnc;  // duration x mean concentration
extern AryDesc GrdC90;  // duration x 90th percentile
extern AryDesc GrdFrh;  // duration of odor hours
extern AryDesc GrdFro;  // duration x odor probability

// Receptor-point accumulators, mp values each (allocated after *DIMENSIONIERUNG).
extern std::vector<float> PntCnc, PntFro, PntFrh, PntC90;

extern double SumDur;  // total duration of all sectors calculated (h)

// Creates the grid accumulators for the current nx, ny; resets SumDur.
// Returns 0, or -1 after an error message (nx or ny not positive, more than
// MaxGridNodes nodes, dr not positive, accumulators that cannot be made).
int DefineGrid();
// (Re)allocates the point accumulators with mp zero values each.
int AllocPoints(int mp);
// Sets every existing accumulator and SumDur to 0.
int ClearValues();
