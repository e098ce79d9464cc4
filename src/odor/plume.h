// Plume tables: the crosswind-integrated concentrations of a unit source and
// the plume widths on the downwind grid cx[n] = n*li, n = 0..ni (parameter
// vectors cx, cg, cp, ca, ci, sy, sd), filled by the plume solver.
#pragma once

// Lays out the downwind grid and runs the plume solver on the current
// profile. Returns 0, or -1 after an error message (li or ni invalid, a
// table reaching beyond MaxPlumeReach, a failure of the solver, or a source
// not wholly within the vertical grid).
int CalcPlume();

// Lists the plume table (every nd+1-th point from x = 0) into MsgLog; writes
// nothing when no log is open. Returns 0.
int PrintPlume();
