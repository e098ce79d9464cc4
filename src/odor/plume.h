// Plume tables: the crosswind-integrated concentrations of a unit source and
// the plume widths on the downwind grid cx[n] = n*li, n = 0..ni, one table
// per source (odor/sources.h), filled by the plume solver; the parameter
// vectors cx, cg, cp, ca, ci, sy, sd receive the table of the last source.
#pragma once

#include "dff/dff.h"

// Lays out the downwind grid of every source and runs the plume solver on
// the current profile. Returns 0, or -1 after an error message that names
// the source when there are several (li or ni invalid, a table reaching
// beyond MaxPlumeReach, a failure of the solver, or a source not wholly
// within the vertical grid).
int CalcPlume();

// Lists the plume table of every source (every nd+1-th point from x = 0),
// with several sources each under a line with its number, into MsgLog;
// writes nothing when no log is open. Returns 0, or -1 after an error
// message (no memory).
int PrintPlume();

// Estimate of the error of the vertical grid: for every source, the plume
// table of the situation just computed is made again on fine (the grid with
// every layer halved) in work storage of its own, and the concentrations at
// the receptor height are compared over the downwind distances the
// receptors need. Writes a line per source into the log, and a warning on
// the screen and in the log when a difference exceeds 10 %; keeps the
// largest of the run for PlumeGridSummary. Leaves the plume tables and
// every result unchanged. situation counts the dispersion runs from 1.
// Returns 0 (a table that cannot be made on fine is logged, not an error).
int PlumeGridError(const DffGrid& fine, int situation);

// Writes the largest difference of the run into the log; nothing when no
// estimate was made.
void PlumeGridSummary();

// Forgets the largest difference of the run.
void PlumeGridForget();
