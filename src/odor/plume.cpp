// Plume tables: CalcPlume fills the table of every source with the plume
// solver, the tables of several sources side by side, PrintPlume lists them
// into the log.
#include "odor/plume.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "dff/dff.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "odor/sources.h"
#include "odor/stacks.h"
#include "prm/params.h"
#include "prm/prm.h"

namespace {

// With several sources, the listings of a source begin with its number.
void Heading(std::FILE* f, int s, int count) {
  if (count > 1) std::fprintf(f, "\nQuelle %d\n", s + 1);
}

// Lays out the downwind grid of the table of source q. Returns 0, or the
// site of the message that says why the table cannot be made (li or ni
// invalid, a reach beyond MaxPlumeReach).
int LayOut(Source& q) {
  if (!(q.li > 0)) return 2;
  // The parameter vectors receive the table of the last source.
  const int count7 = std::min({prm::cx.count, prm::cg.count, prm::cp.count, prm::ca.count,
                               prm::sy.count, prm::sd.count, prm::ci.count});
  if (q.ni < 0 || q.ni >= count7 || q.ni >= static_cast<int>(q.cx.size())) return 3;
  if (static_cast<double>(q.ni) * q.li > MaxPlumeReach) return 4;
  for (int n = 0; n <= q.ni; n++) q.cx[n] = n * q.li;
  return 0;
}

// Fills the table of source q, number s (from 0) of count, unless made says
// that DffPlumeQuiet has made it. Returns 0, or -1 after an error message.
int CalcTable(Source& q, int s, int count, bool made) {
  auto tag = [](const char* site) { return MsgTag("ZIRidev", "CalcPlume", site); };
  const std::string of = SrcText(count, " of source %d", s + 1);
  const int ni = q.ni;
  switch (LayOut(q)) {
    case 2:  // the table and the concentration at a receptor divide by li
      return MSG_FAIL(tag("2"), "*** invalid interval length li (%g)%s! (%s)\n", q.li, of.c_str());
    case 3:
      return MSG_FAIL(tag("3"), "*** invalid number of intervals (ni=%d)%s! (%s)\n", ni,
                      of.c_str());
    case 4:
      return MSG_FAIL(
          tag("4"),
          "*** plume table%s of ni=%d intervals of li=%g m reaches %g m, at most %g m! (%s)\n",
          of.c_str(), ni, q.li, static_cast<double>(ni) * q.li, MaxPlumeReach);
  }
  // The solver's concentration listing, when asked for, is one per source.
  if (MsgLog && prm::mx >= 1 && prm::mx <= ni) Heading(MsgLog, s, count);
  int rc = 0;
  if (made)
    DffKeepDeposition();
  else
    rc = DffPlume(q.cx.data(), q.cg.data(), q.cp.data(), q.ca.data(), q.sy.data(), q.sd.data(),
                  q.ci.data(), q.ht, q.ct, ni, q.rz.empty() ? nullptr : q.rz.data());
  if (rc < 0 && MsgSignal) return -1;  // interrupted: the driver ends the run
  if (rc < 0 || MsgErr < 0) return MSG_FAIL(tag("1"), "*** plume functions%s! (%s)\n", of.c_str());
  // The flux at the source is the part of the emission inside the vertical
  // grid: a source reaching below the ground or above the top of the grid
  // would silently lose the rest.
  if (!(q.ci[0] > 0.999f))
    return MSG_FAIL(tag("5"),
                    "*** source%s at hq=%g m (cq=%g m) not within the vertical grid from 0 to %g m "
                    "(flux %.4g)! (%s)\n",
                    SrcText(count, " %d", s + 1).c_str(), q.hq, q.cq, prm::zk[prm::nz], q.ci[0]);
  return 0;
}

// The tables of several sources side by side, each thread taking the next
// source: made[s] tells whether the table of source s was made without a
// word. A table that would need a message (and every table when a listing
// is asked for) is left to CalcTable, which makes it in the order of the
// sources, so that the log reads as when one thread made them all.
void MakeTables(std::vector<Source>& list, std::vector<char>& made) {
  const int count = static_cast<int>(list.size());
  made.assign(count, 0);
  const int threads = std::min(CalcThreadCount(), count);
  if (threads < 2) return;
  for (const Source& q : list)
    if (MsgLog && prm::mx >= 1 && prm::mx <= q.ni) return;
  std::atomic<int> next{0};
  auto work = [&] {
    for (int s; (s = next.fetch_add(1)) < count;) {
      Source& q = list[s];
      if (LayOut(q) == 0)
        made[s] = DffPlumeQuiet(q.cx.data(), q.cg.data(), q.cp.data(), q.ca.data(), q.sy.data(),
                                q.sd.data(), q.ci.data(), q.ht, q.ct, q.ni,
                                q.rz.empty() ? nullptr : q.rz.data()) == 0;
    }
  };
  std::vector<std::thread> pool;
  try {
    for (int t = 1; t < threads; t++) pool.emplace_back(work);
  } catch (const std::system_error&) {
    // fewer threads take the same sources
  }
  work();
  for (std::thread& t : pool) t.join();
}

// Lists the table of source q into f.
void PrintTable(std::FILE* f, const Source& q) {
  const int step = (prm::nd > 0) ? prm::nd + 1 : 1;  // a negative nd would never advance
  std::fprintf(f, "\nWerte der Fahnenfunktionen\n");
  std::fprintf(
      f,
      "\nAbstand      Cy(z=0)     Cy(z=zp)      Cy(z=h)       Sy       Sd     Cm(z=zp)    Fluß\n");
  const int entries = static_cast<int>(q.cx.size());
  for (int n = 0; n <= q.ni && n < entries; n += step) {
    const float sy = q.sy[n];
    // Concentration under the plume axis at the receptor height for the source strength eq.
    const float cm = (sy > 0) ? q.eq * q.cp[n] * 0.3989423f / sy : 0.0f;
    std::fprintf(f, "%7.0f %12.4e %12.4e %12.4e %8.1f %8.1f %12.4e %7.4f\n", q.cx[n], q.cg[n],
                 q.cp[n], q.ca[n], sy, q.sd[n], cm, q.ci[n]);
  }
  std::fprintf(f, "\n");
}

// A value of the table below this share of its largest one over the
// distances compared counts as negligible: differences are taken relative
// to the refined value, but at least to this share of the largest, so that
// where the plume has hardly reached the ground a tiny value does not make
// a large relative difference.
constexpr double kNegligible = 0.1;
// A difference above this (in %, as printed) gets a warning.
constexpr long kWarnPercent = 10;

// The largest difference of the run so far, in % (negative: none yet).
struct GridLargest {
  double percent = -1;
  int situation = 0, source = 0;
  double x = 0;  // m
} RunLargest;

// Distance (m) from (px, py) to the rectangle x0..x1, y0..y1 and to its
// farthest corner.
void RectDistances(double px, double py, double x0, double x1, double y0, double y1, double* near,
                   double* far) {
  const double dx = std::max({x0 - px, 0.0, px - x1});
  const double dy = std::max({y0 - py, 0.0, py - y1});
  *near = std::hypot(dx, dy);
  *far = std::hypot(std::max(px - x0, x1 - px), std::max(py - y0, y1 - py));
}

// The range lo..hi (m) of the distances between source q and the receptors
// (grid nodes and points); false when there are no receptors.
bool ReceptorReach(const Source& q, double* lo, double* hi) {
  // An area source: from its centre, widened by half its diagonal.
  const double r = q.rq * 3.14159265358979 / 180;
  const double cxq = q.xq + 0.5 * (q.aq * std::cos(r) - q.bq * std::sin(r));
  const double cyq = q.yq + 0.5 * (q.aq * std::sin(r) + q.bq * std::cos(r));
  const double half = 0.5 * std::hypot(static_cast<double>(q.aq), static_cast<double>(q.bq));
  double near = HUGE_VAL, far = 0;
  bool any = false;
  if (prm::nx > 0 && prm::ny > 0) {
    const double x0 = prm::xr, y0 = prm::yr;
    RectDistances(cxq, cyq, x0, x0 + (prm::nx - 1) * static_cast<double>(prm::dr), y0,
                  y0 + (prm::ny - 1) * static_cast<double>(prm::dr), &near, &far);
    any = true;
  }
  const int np = std::min({prm::np, prm::xp.count, prm::yp.count});
  for (int n = 0; n < np; n++) {
    const double d = std::hypot(prm::xp[n] - cxq, prm::yp[n] - cyq);
    near = std::min(near, d);
    far = std::max(far, d);
    any = true;
  }
  *lo = std::max(near - half, 0.0);
  *hi = far + half;
  return any;
}

// Work storage of the refined table of one source.
struct FineTable {
  std::vector<float> cg, cp, ca, ci, sy, sd;
  explicit FineTable(int entries)
      : cg(entries), cp(entries), ca(entries), ci(entries), sy(entries), sd(entries) {}
};

}  // namespace

int PlumeGridError(const DffGrid& fine, int situation) {
  std::vector<Source>* list = Sources();
  if (!list) return 0;
  const int count = static_cast<int>(list->size());
  for (int s = 0; s < count; s++) {
    const Source& q = (*list)[s];
    if (q.ni < 1) continue;  // a table of the source point alone has nothing to compare
    int made = 1;
    std::vector<float> cp;
    try {
      FineTable t(q.ni + 1);
      made = DffPlumeOnGrid(fine, q.cx.data(), t.cg.data(), t.cp.data(), t.ca.data(), t.sy.data(),
                            t.sd.data(), t.ci.data(), q.ht, q.ct, q.ni,
                            q.rz.empty() ? nullptr : q.rz.data());
      cp = std::move(t.cp);
    } catch (const std::bad_alloc&) {
      made = 1;
    }
    if (made != 0) {
      if (MsgLog)
        std::fprintf(MsgLog,
                     "vertical grid: situation %d, source %d: no estimate (no table on the grid "
                     "with each layer halved)\n",
                     situation, s + 1);
      continue;
    }
    // The entries the receptors need: from the first step of the table on
    // (nearer, the table interpolates towards the source point itself).
    // Without receptors (or with coordinates that are no numbers) the whole
    // table; receptors beyond the table (which the run refuses) its far end.
    double lo = 0, hi = q.ni * static_cast<double>(q.li);
    if (!ReceptorReach(q, &lo, &hi) || !(lo >= 0 && hi >= lo)) {
      lo = 0;
      hi = q.ni * static_cast<double>(q.li);
    }
    const int n1 =
        static_cast<int>(std::clamp(std::ceil(hi / q.li), 1.0, static_cast<double>(q.ni)));
    const int n0 =
        static_cast<int>(std::clamp(std::floor(lo / q.li), 1.0, static_cast<double>(n1)));
    double peak = 0;
    for (int n = n0; n <= n1; n++) peak = std::max(peak, static_cast<double>(cp[n]));
    double worst = 0, at = q.cx[n0];
    for (int n = n0; n <= n1 && peak > 0; n++) {
      const double f = cp[n];
      const double d = std::fabs(q.cp[n] - f) / std::max(f, kNegligible * peak);
      if (d > worst) {
        worst = d;
        at = q.cx[n];
      }
    }
    const double percent = 100 * worst;
    if (MsgLog)
      std::fprintf(MsgLog,
                   "vertical grid: situation %d, source %d: largest difference %.0f %% at %.0f m "
                   "(each layer halved, %.0f to %.0f m compared)\n",
                   situation, s + 1, percent, at, n0 * static_cast<double>(q.li),
                   n1 * static_cast<double>(q.li));
    if (std::lround(percent) > kWarnPercent) {
      // The example is a grid finer than the one in use: 0.5 m layers, which
      // suit most sources, or, on a grid that has them already, half of it.
      char example[96];
      if (PrmIsSet("zk"))
        std::snprintf(example, sizeof example, "zk with each layer near the ground halved");
      else if (prm::dz > 0.5f)
        std::snprintf(example, sizeof example, "dz 0.5 and nz 2000");
      else
        std::snprintf(example, sizeof example, "dz %g and nz %d", prm::dz / 2.0, 2 * prm::nz);
      const int verbose = MsgVerbose;
      MsgVerbose = std::max(MsgVerbose, 1);
      MsgOut(
          "--- vertical grid too coarse for source %d in situation %d: the concentration at %.0f "
          "m changes by %.0f %% when each layer is halved; use a finer grid near the ground, for "
          "example %s in *DIMENSIONIERUNG (user guide, section 4)! (%s)\n",
          s + 1, situation, at, percent, example, MsgTag("ZIRidev", "CalcPlume", "6").s);
      MsgVerbose = verbose;
    }
    if (percent > RunLargest.percent) RunLargest = {percent, situation, s + 1, at};
  }
  return 0;
}

void PlumeGridSummary() {
  if (!MsgLog || RunLargest.percent < 0) return;
  std::fprintf(MsgLog,
               "vertical grid: largest difference of the run %.0f %% (situation %d, source %d, "
               "at %.0f m)\n",
               RunLargest.percent, RunLargest.situation, RunLargest.source, RunLargest.x);
}

void PlumeGridForget() { RunLargest = GridLargest{}; }

int CalcPlume() {
  std::vector<Source>* list = Sources();
  if (!list) return -1;
  const int count = static_cast<int>(list->size());
  if (StkPrepare(*list) < 0) return -1;
  // The solver's work limit holds for the tables of all sources together,
  // since each source multiplies the work: every table gets its share.
  struct Share {
    double limit = DffMaxLevelSteps;
    ~Share() { DffMaxLevelSteps = limit; }
  } share;
  DffMaxLevelSteps = share.limit / count;
  std::vector<char> made;
  try {
    MakeTables(*list, made);
  } catch (const std::bad_alloc&) {
    made.assign(count, 0);  // CalcTable makes them
  }
  for (int s = 0; s < count; s++)
    if (CalcTable((*list)[s], s, count, made[s]) < 0) return -1;
  // The parameter vectors hold the table of the last source, whose
  // parameters stand in the section *q.
  const Source& q = list->back();
  for (int n = 0; n <= q.ni; n++) {
    prm::cx[n] = q.cx[n];
    prm::cg[n] = q.cg[n];
    prm::cp[n] = q.cp[n];
    prm::ca[n] = q.ca[n];
    prm::ci[n] = q.ci[n];
    prm::sy[n] = q.sy[n];
    prm::sd[n] = q.sd[n];
  }
  return 0;
}

int PrintPlume() {
  std::FILE* f = MsgLog;
  if (!f) return 0;
  const std::vector<Source>* list = Sources();
  if (!list) return -1;
  const int count = static_cast<int>(list->size());
  for (int s = 0; s < count; s++) {
    Heading(f, s, count);
    PrintTable(f, (*list)[s]);
  }
  return 0;
}
