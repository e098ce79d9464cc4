// Plume tables: the crosswind-integrated concentrations of a unit source and
// the plume widths on the downwind grid cx[n] = n*li, n = 0..ni, one table
// per source (odor/sources.h), filled by the plume solver; the parameter
// vectors cx, cg, cp, ca, ci, sy, sd receive the table of the last source.
#pragma once

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
