// Odor assessment: the concentration of the sources at a receptor, the odor
// statistics of one dispersion situation added into the accumulators of
// odor/receptors.h, and the output of the normalised result grids and the
// receptor-point values.
#pragma once

#include <cfloat>

#include "ary/ary.h"

// Work limits, checked before the work starts; each lies far beyond what a
// sensible assessment needs and far below what would exhaust time, memory or
// single precision (README, section on limits).
// Grid nodes nx ny: six times a 10 km square at 5 m mesh.
constexpr long long MaxGridNodes = 25000000;
// Cells na nb of an area source: four times 1 km2 in 1 m cells.
constexpr long long MaxSourceCells = 4000000;
// Wind directions nw nu of a situation: 360 sectors of 100 sub-sectors are 36000.
constexpr long long MaxDirections = 100000;
// Core plumes 2 nm + 1 of the meandering plume: a hundred times the 19 of
// the default nm 9; each one adds the work of a plume at every receptor.
constexpr long long MaxCorePlumes = 2001;
// Work of one receptor and one direction: core plumes times the cells of
// all sources and the classes nl + 1 of the concentration scale. Some 0.1 s
// at most, so a signal, looked at after each, ends a run within a second.
constexpr long long MaxCoreWork = 100000000;
// Reach ni li of the plume table (m): seven times the diagonal of a 10 km square.
constexpr double MaxPlumeReach = 100000;
// Accumulated values (hours times concentration, hours) at most, from a
// bound on the concentration taken from the plume table: the factor of 3e8
// to the largest float covers receptors closer to a source cell than the
// first step of the table, where plumes are narrower than its widths.
constexpr double MaxAccumulated = 1e30;
// Reach of a position from the origin (m): |x| + |y| of a receptor, |xq| +
// |yq| + aq + bq of a source. A quarter of the largest float, so that every
// sum and difference of the two that the core forms in single precision
// (wind frame, downwind distance, near-source guard) stays finite.
constexpr double MaxPositionReach = FLT_MAX / 4;

// The computing kernel of the odor values at a receptor is compiled for
// each instruction set this build has (the x86-64 baseline, AVX2 and
// AVX-512 in a portable x86-64 build; otherwise one, for the build's own
// flags). The kernels do the same operations in the same order, so their
// results are the same bits. The best one the processor has runs unless
// CoreIsaSelect names another.

// Chooses the kernel named name, or the best one the processor has when
// name is null or empty. Returns 0; 1 when this build has no kernel of that
// name, 2 when the processor lacks its instruction set (the choice stays).
// Not while CalcValues runs.
int CoreIsaSelect(const char* name);

// Name of the kernel in use ("baseline", "avx2" or "avx512").
const char* CoreIsaName();

// Names of the kernels of this build, separated by ", ".
const char* CoreIsaNames();

// Number of threads that share the receptors in CalcValues and the
// formatting of the result files; 0 or less: as many as the machine has
// hardware threads. The results do not depend on it.
extern int CalcThreads;

// The number of threads CalcThreads asks for, at least 1.
int CalcThreadCount();

// Concentration at the receptor (x, y) (m) for the wind direction d (degrees
// counter-clockwise from east, the direction into which the wind blows) and
// the core plume m = -nm..nm of the meandering plume, from the plume table
// in the parameter vectors and the source of the parameters in force
// (section *q; with several sources, the last one read). conc receives the concentration (me/m3), frac
// the fraction of time the plume is present (always 1); either may be null.
// Returns 1 if a source cell contributed, 0 if none did (conc 0), -1 after
// an error (receptor beyond the plume table, invalid area source; outputs
// not written).
int CalcCon(int m, float x, float y, float d, float* conc, float* frac);

// Odor values at the receptor (x, y) for the wind direction d (as in
// CalcCon) from every source in force (odor/sources.h): mean concentration
// cm, 90th percentile c90 (me/m3) and the probability p of perceiving the
// odor; each output may be null. Leaves the
// exceedance distribution of the concentration scale cl in hl. Expects od
// (perception density) to be set, as CalcValues does. Returns 0, or -1 after
// an error.
int CalcOdor(float x, float y, float d, float* cm, float* c90, float* p);

// 90th percentile (me/m3) of a concentration whose exceedance probabilities
// on the scale cl are hl[0..nl]: logarithmic interpolation between the two
// classes where 1 - hl passes 0.9; 0 if the lowest class is exceeded at most
// 10 % of the time, cl[nl] if even the highest is exceeded more often.
float Percentile90(const float* hl);

// Adds the values of the current dispersion situation (plume tables of the
// sources just computed), weighted with the sector durations dw, to the
// accumulators and the durations to SumDur. Returns 0, or -1 after an error; the accumulators
// then hold what was added before it. A pending signal (MsgSignal) stops the
// threads between chunks of receptors: -1 without a message, the
// accumulators and SumDur unchanged.
int CalcValues();

// Copies source / f into a new zero-filled array target (f > 0), or divides
// the existing target by source where source > 0 and sets it to 0 elsewhere
// (f <= 0), for the grid i = 0..nx-1, j = 0..ny-1. Returns 0 or -1.
int Normalize(AryDesc* source, AryDesc* target, float f);

// Writes the result grids named in names (cnc, fro, frh, r90; any case,
// separated by blanks or "+"; the text is lower-cased in place) as data
// files. Returns 0 (also when nothing was computed or no grid exists, and
// after an unknown name, which sets MsgErr), or -1 after an error, and -1
// without a message when a pending signal (MsgSignal) stopped it.
int WriteResult(char* names);

// Lists the receptor-point values into the log; nothing without points,
// values or a log. Returns 0.
int ListPoints();

// Coordinate text for header lines: "%1.2lf" without trailing zeros (and
// point), or "%10.3le" beyond +-1e6. Static buffer, overwritten by the next
// call.
const char* FormatCoord(double v);
