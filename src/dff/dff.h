// Plume function solver: marches the vertical advection-diffusion equation of
// the crosswind-integrated concentration of a unit source downwind on the
// vertical grid of the boundary-layer profile (weighted implicit scheme), and
// integrates the horizontal widths of the total and of the core plume.
#pragma once

// Module name in the origin tags of the messages.
inline constexpr char DffModule[] = "QORdff";

// Work limit of one call of DffPlume: sub-steps times vertical levels. A
// level update costs some 40 ns, so 1e9 of them take under a minute, a
// thousand times what a fine sensible profile needs (800 steps of 2000
// levels). Beyond it the call is refused before the march. A variable, so
// that the fuzz target can bound its inputs' work.
extern double DffMaxLevelSteps;

// Solves l[i]*x[i-1] + b[i]*x[i] + u[i]*x[i+1] + d[i] = 0 for i = 1..n
// (element 0 of every array is unused; l[1] and u[n] are ignored) by
// elimination without pivoting. b and d are overwritten. Returns 0, or -1
// after the message "*** zero diagonal element (i=%d)! ..." for a zero pivot.
int SlvTri(int n, float* l, float* b, float* u, float* d, float* x);

// One downwind step of length dx (m) centred at distance x (m) on the work
// arrays of the DffPlume running in this thread: from its current to its new
// concentration. Only valid while DffPlume runs. Returns 0, or -1 after an error message.
int Step(float x, float dx);

// Fills the plume table for the downwind grid cx[0..ni] (m): cg (lowest cell),
// cp (receptor height zp), ca (source cell), all in s/m2 for a unit source;
// sy, sd (widths of total and core plume, m) and ci (flux integral). The
// source spans hq..hq+cq (m); cq <= 0 spreads it over the cell of hq. Reads
// the profiles and parameters of the boundary-layer profile. The deposition
// velocity of the last call with vd or ad given is kept for later calls.
// rise, when not null, holds the plume rise (m) at cx[0..ni]: after each
// interval the profile is shifted up by the growth of the rise (DffShift).
// Returns 0, or -1 after an error message (vd or ad negative, more work than
// DffMaxLevelSteps, a failing step), or -1 without one when a pending signal
// (MsgSignal) stopped the march.
int DffPlume(const float* cx, float* cg, float* cp, float* ca, float* sy, float* sd, float* ci,
             float hq, float cq, int ni, const float* rise = nullptr);

// Shifts the concentration c[1..nz] of the grid in force (zk, ux) up by
// dz (m), keeping the flux sum(u h c): the flux density u c, constant within
// each cell, is moved up and averaged over the cells again; what passes the
// top stays in the top cell, the cells below dz are emptied from below.
// work holds nz+1 values.
void DffShift(float* c, float* work, int nz, float dz);

// DffPlume for one of several tables made side by side: the same table,
// but where DffPlume would write a message (an error, the warning that it
// changes to fully implicit, the concentration listing) it stops at once
// without one, and it keeps no deposition velocity. Several threads may run
// it at once, while no other function of this module runs. Returns 0 when
// the table is complete, 1 when DffPlume must make it (and say what it says).
int DffPlumeQuiet(const float* cx, float* cg, float* cp, float* ca, float* sy, float* sd, float* ci,
                  float hq, float cq, int ni, const float* rise = nullptr);

// Keeps the deposition velocity as DffPlume does, for a table that
// DffPlumeQuiet has made.
void DffKeepDeposition();

// A vertical grid and its profiles for DffPlumeOnGrid: levels zk[0..nz]
// (m), wind ux (m/s), diffusion kz (m2/s), sigma-w ww (m/s).
struct DffGrid {
  const float* zk;
  const float* ux;
  const float* kz;
  const float* ww;
  int nz;
};

// DffPlumeQuiet on the given grid instead of the one of the parameter table
// (all other parameters as they stand), and never with the concentration
// listing: a second table of the same situation, for instance on a finer
// grid (a plume rise is applied on that grid). Returns 0 when the table is complete, 1 when it could not be made.
int DffPlumeOnGrid(const DffGrid& grid, const float* cx, float* cg, float* cp, float* ca, float* sy,
                   float* sd, float* ci, float hq, float cq, int ni,
                   const float* rise = nullptr);
