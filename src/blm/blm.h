// Boundary-layer profile: turns the meteorological parameters of one
// dispersion situation into the vertical grid zk and the profiles of wind
// (ux), vertical diffusion (kz) and sigma-w (ww), plus the horizontal
// quantities vv (sigma-v) and lv (length scale of sigma-y). All inputs and
// results live in the parameter table (prm/params.h); the module keeps no
// state of its own.
#pragma once

#include <vector>

// Module name in the origin tags of the messages.
inline constexpr char BlmModule[] = "QORblm";

// Computes zk (from dz when no grid is given), ux, kz, ww, vv and lv for the
// current parameters. A profile carrying the "set" mark (given in the command
// file) is left as it is. Returns 0, or -1 after an error message: ua or
// sw negative, undefined or invalid vertical grid, unusable wind profile
// (ux, kz, ww, vv and lv then unchanged), or a profile value that is not
// finite or (ux, kz, ww) negative.
int BlmProfile();

// A vertical grid with its profiles outside the parameter table: levels
// zk[0..nz] (m), wind ux (m/s), diffusion kz (m2/s) and sigma-w ww (m/s).
struct BlmGrid {
  std::vector<float> zk, ux, kz, ww;
  int nz = 0;
};

// The grid of the last successful BlmProfile with every layer halved (2 nz
// intervals) and the profiles on it: computed as BlmProfile computes them,
// or, for a profile given in the command file, its values at the old levels
// and the mean of the two neighbours at each new one. Changes nothing in
// the parameter table and writes no message. Returns 0, or 1 when there is
// no memory for it.
int BlmRefine(BlmGrid* g);

// Lists zk, ux, kz and ww of every level into MsgLog; writes nothing when no
// log is open. Returns 0.
int BlmPrintProfile();

// Normalised similarity profiles; z height above ground (m), z0 roughness
// length (m), lm Monin-Obukhov length (m, 0 = neutral), hm mixing height (m,
// 0 = no mixing-height damping). Used by BlmProfile, declared for the tests.
float BlmUx(float z, float z0, float lm);            // u(z)/u*
float BlmKz(float z, float z0, float lm, float hm);  // Kz(z)/u* (m)
float BlmSw(float z, float z0, float lm, float hm);  // sigma-w(z)/u*
