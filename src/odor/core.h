// Computing core of the odor assessment: the odor values at one receptor
// for one wind direction, with the loops arranged for speed. It computes
// what CalcCon and the Weibull loop of CalcOdor describe, core plume by core
// plume and cell by cell, but
// - visits each source cell once and does its per-cell work (downwind
//   distance, table interval, widths, meander amplitude) once for all core
//   plumes, which sit in the lanes of a vector (the cells, too, go through
//   that work in vector blocks);
// - rotates the cell centres into the wind frame once per direction;
// - skips a source at a receptor, or a cell, when even the widest core
//   plume cannot reach it (its exponent would exceed am for every core
//   plume);
// - takes one logarithm per core plume, none for a core plume too faint to
//   exceed any class, and stops the class loop at the first class whose
//   exponent reaches ln am;
// - uses a single-precision vector exponential (within 4e-7 relative).
// The sums over cells and core plumes are formed in the same order as the
// straightforward loops, so results agree with them to float rounding.
// Several sources are one list of cells, source after source, each cell
// with the plume table of its source; the core plumes sum over all of them.
// Sources in groups: besides that total each core plume sums the cells of
// each group and of the applicant's groups, and every sum gets its own
// statistics (a set); without groups the total is the only set.
// Nothing here writes messages or global state: the functions may run in
// several threads at once, each with its own CoreWork.
#pragma once

#include <cfloat>
#include <vector>

#include "odor/sources.h"

// The cells of one source in the frame of one wind direction (m; u
// downwind, v crosswind to the left).
struct SourceCells {
  int na = 1, nb = 1;                        // cells along aq and bq
  float Uq = 0, Vq = 0;                      // centre of the first cell
  float Dau = 0, Dav = 0, Dbu = 0, Dbv = 0;  // cell steps along aq and bq
  float q = 0;                               // strength factor eq/(sqrt(2 pi) na nb)
};

// Sine and cosine of the wind direction d (degrees, mathematical angle of
// the direction into which the wind blows).
void WindFrame(float d, float* s, float* co);

// Checks source s (from 0) of count sources: eq, and lq, aq, bq and the
// cell count of an area source. Returns 0, or -1 after the message of
// CalcCon (naming the source when there are several).
int CheckSource(const Source& q, int s, int count);

// Checks every source of list, then the cells of all of them together.
// Returns 0, or -1 after the message of CalcCon.
int CheckSources(const std::vector<Source>& list);

// The cells of source q for the direction d with sine s and cosine co;
// expects CheckSource to have passed.
void SourceFrame(const Source& q, float d, float s, float co, SourceCells* c);

// Downwind distances up to this limit (m) count as 0 at the receptor (x, y)
// for the source at (xq, yq) of extent aq, bq (m): a receptor on a cell
// centre comes out a fraction of a millimetre downwind of it, where the
// interpolated width is (almost) 0 and the plume formula would give 0/0 or
// a spike of any size. Built-ins only and always inlined: the kernels for
// other instruction sets use it too (see CoreConst).
[[gnu::always_inline]] inline float NearSourceLimit(float x, float y, float xq, float yq, float aq,
                                                    float bq) {
  return 4 * FLT_EPSILON *
         (__builtin_fabsf(x) + __builtin_fabsf(y) + __builtin_fabsf(xq) + __builtin_fabsf(yq) +
          (aq < 0 ? 0.0f : aq) + (bq < 0 ? 0.0f : bq));
}

// Vectors of the core are padded to whole blocks of this many floats, the
// widest vector of any kernel, so that one layout serves them all.
constexpr int kCoreBlock = 16;

// One source as the kernels see it: its cells and its plume table.
struct CoreSource {
  int cells = 0;            // na nb
  int first = 0;            // its first cell in the cell arrays of CoreWork
  int ni = 0;               // entries 0..ni of the table
  float li = 0, range = 0;  // interval and reach ni li of the table (m)
  float xq = 0, yq = 0, aq = 0, bq = 0;
  bool skips = false;           // receptors and cells may be skipped (finite table)
  int set = 0;                  // set of its group (0: no groups)
  int applicant = 0;            // set of the applicant's groups when it is one of them, else 0
  const float* wmax = nullptr;  // wmax[n]: largest |sy|, |sd| of entries 0..n (m)
  const float* sy = nullptr;
  const float* sd = nullptr;
  const float* cp = nullptr;
};

// Constants of one dispersion situation as the kernels read them: plain
// values and pointers into the storage of OdorCore. A kernel compiled for
// another instruction set calls no inline function of the library (a
// member of std::vector, std::max): the linker keeps one copy of such a
// function for every caller, and if it took the AVX copy, code meant for
// any processor would run AVX instructions.
struct CoreConst {
  int nm = 0;  // core plumes for half of the plume (< 0: none)
  int nl = 0;  // classes 0..nl of the concentration scale
  int sources = 0;
  int sets = 1;                  // statistics: the total, then each group, then the applicant's
  int lanes = 0;                 // stride of the sets in CoreScratch::conc
  int classes = 0;               // stride of the sets in CoreScratch::hl
  const float* eta = nullptr;    // per lane (m = lane - nm): signed meander position em
  const float* wm = nullptr;     // per lane: weight of the core plume (0 in the padding)
  const float* logcl = nullptr;  // ln cl[k]; +inf in the padding
  const float* od = nullptr;     // perception density
  const CoreSource* source = nullptr;
  bool shortcuts = false;  // the class loop may stop early (ln cl rising, pd > 0)
  bool inRange = false;    // no exponent needs clamping (shortcuts, am <= 87)
  float G = 0;             // Gamma(1 + 1/pd)
  float lam = 0;           // ln am
  float faint = 0;         // below this conc no class is exceeded (me/m3)
  float pd = 0, am = 0;
  float emax = 0;    // largest |em|
  float rootam = 0;  // sqrt(2 am): reach of a core plume in core widths
};

// Constants of one dispersion situation, built once before the loops from
// the parameters, the sources with their plume tables, the meander table
// and the concentration scale. Vectors are padded to whole blocks.
struct OdorCore {
  CoreConst k;
  int lanes = 0;    // 2 nm + 1, padded
  int classes = 0;  // nl + 1, padded
  int cells = 0;    // cells of all sources
  int slots = 0;    // cells of all sources, each source padded to whole blocks
  std::vector<float> eta, wm, logcl, od;
  std::vector<std::vector<float>> wmax;  // per source
  std::vector<CoreSource> sources;
  std::vector<const Source*> list;  // the source of each
};

// One source in the frame of the current direction: its cells and the
// bounds of their centres (m).
struct CoreFrame {
  SourceCells cells;
  float minOu = 0, minOv = 0, maxOv = 0, maxAbsOv = 0;
};

// Work storage of one thread as the kernels see it.
struct CoreScratch {
  float s = 0, co = 0;                // sine and cosine of the current direction
  const CoreFrame* frames = nullptr;  // per source
  const float* ou = nullptr;          // cell centres of the current direction,
  const float* ov = nullptr;          // source by source (m)
  float* cdv = nullptr;               // per reaching cell: crosswind distance (m),
  float* csm = nullptr;               // meander amplitude (m),
  float* cden = nullptr;              // -2 sc^2 (m2)
  float* cf = nullptr;                // and factor
  float* conc = nullptr;              // per set and lane: concentration of the core plume
  float* hl = nullptr;                // per set: exceedance distribution, classes 0..nl
  int* segs = nullptr;  // per run of reaching cells of one group: end, set, applicant set
  int failed = 0;  // the source whose table the last failing CoreOdor found too short
};

// Work storage of one thread, on cache lines of its own.
struct alignas(64) CoreWork {
  CoreScratch k;
  std::vector<CoreFrame> frames;
  std::vector<float> ou, ov, cdv, csm, cden, cf, conc, hl;
  std::vector<int> segs;
};

// Builds the constants from the parameters (od as CalcValues computed it)
// and the sources of list, which must outlive core and have passed
// CheckSources. Returns 0, or -1 after an error message (no memory).
int CoreInit(const std::vector<Source>& list, OdorCore* core);

// Sizes the work storage for core. Returns 0, or -1 after an error message.
int CoreWorkInit(const OdorCore& core, CoreWork* work);

// Rotates the cells of every source into the frame of the direction d (as
// CalcCon).
void CoreDirection(const OdorCore& core, float d, CoreWork* work);

// Odor values at the receptor (x, y) (m) for the direction of the last
// CoreDirection: mean concentration cm, 90th percentile c90 and odor
// probability p, each an array of core.k.sets values (the total first);
// the exceedance distribution of the total is left in work->hl. The
// concentrations of all cells of all sources are added per core plume
// before the fluctuations are applied: odor frequency is not additive over
// sources. Returns 0, or -1 when a cell lies beyond the plume table of its
// source (outputs not written, hl zero, work->k.failed the source). Runs
// the kernel chosen by CoreIsaSelect (odor.h).
int CoreOdor(const OdorCore& core, CoreWork* work, float x, float y, float* cm, float* c90,
             float* p);
