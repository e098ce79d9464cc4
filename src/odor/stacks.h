// Stacks on buildings: the building class of a source from the height ratio
// of stack and buildings, the wake replacement line source, and the plume
// rise of a cold or lukewarm exhaust (guideline formula of 1985 or Briggs),
// each asked for per source. A source that gives none of hb, dq, vq, qw, qr
// is the source it always was.
#pragma once

#include <cstdio>
#include <vector>

#include "odor/sources.h"

enum StkKind { StkFree = 0, StkBetween = 1, StkWake = 2 };
enum StkRiseModel { StkNoRise = 0, StkGuideline = 1, StkBriggs = 2 };

// The building class of source s of list, from the thresholds in force (bu,
// bo, br, bh, bd, bm, wv).
struct StkClass {
  float top = 0;       // m, top of the stack: hq + cq
  float building = 0;  // m, highest ridge within br stack heights (0: none)
  float ratio = 0;     // top / building (0 without a building): up to bu wake, up to bo between
  int kind = StkFree;
  bool outflow = false;  // free outflow: bh above ground, bd above the ridge, vq at least wv
  bool line = false;     // replaced by the vertical line from the ground (qw 1, not free)
  bool rise = false;     // plume rise applies (qr, not in the wake, not a line, vq >= wv)
};

// True when source q gives any of the stack inputs.
bool StkUsed(const Source& q);

// True when a source of list gives any of the stack inputs.
bool StkAnyUsed(const std::vector<Source>& list);

// The effective ridge height (m) of the building of q: hb, raised for a
// roof flatter than bm degrees to the ridge of a roof of bm degrees over the
// width bb.
float StkRidge(const Source& q);

// The class of source s of list. Buildings count when their source lies
// within br times the stack top of s (horizontal distance of xq, yq).
StkClass StkClassify(const std::vector<Source>& list, int s);

// The final plume rise dh (m), the distance xe (m) at which it is reached
// and the lowering of the release height by stack-tip downwash (m).
struct StkRise {
  double dh = 0, xe = 0, downwash = 0;
};

// Heat flux (MW) of an exhaust of inner diameter d (m), exit velocity v
// (m/s) and temperature t (degrees C): 1.36e-3 R (t - 10) with R the volume
// flow at standard conditions (0 degrees C), 0 below 10 degrees C.
double StkHeatFlux(double d, double v, double t);

// Final rise by the guideline formula of 1985 for wind u (m/s, raised to 1):
// dh = max((84 sqrt(Q) + 0.35 v d)/u, 3 v d/u), xe = 209.8 Q^0.522.
StkRise StkRiseGuideline(double d, double v, double t, double u);

// Final rise by Briggs for neutral and unstable air (buoyancy and momentum,
// the larger of both) with stack-tip downwash, ambient air at 10 degrees C.
StkRise StkRiseBriggs(double d, double v, double t, double u);

// The rise (m) at distance x (m) of a plume whose final rise is r:
// guideline dh (1 - exp(-x/(0.4 xe))); Briggs the 2/3 and 1/3 laws of
// buoyancy and momentum, each up to its final rise.
double StkRiseAt(int model, const StkRise& r, double d, double v, double t, double u, double x);

// Wind speed (m/s) of the profile in force (zk, ux) at height z (m), at
// least 1 m/s.
double StkWind(double z);

// Prepares the sources of list for the plume tables of a run: refuses
// invalid stack inputs, reports each source's class and warnings into the
// log once after the list has changed, sets ht, ct and the rise table rz
// and writes the final rise of every source with rise into the log.
// Returns 0, or -1 after an error message.
int StkPrepare(std::vector<Source>& list);

// Makes the next StkPrepare report the classes again (a new list).
void StkListChanged();

// Lists the stack inputs and classes of list into f when a source gives
// any of them; writes nothing otherwise.
void StkList(std::FILE* f, const std::vector<Source>& list);
