// Odor frequency: the concentration at a receptor as a mixture over the
// core plumes of the meandering plume, each with Weibull-distributed
// fluctuations; the exceedance distribution on the concentration scale cl,
// weighed with the log-normal distribution of perception thresholds around
// gs, gives the odor probability. CalcValues adds the values of one
// dispersion situation, weighted with the sector durations, into the
// accumulators; the receptors are shared among the processes of the run
// (par/par.h) and their threads, each receptor's sums formed in the order
// of a single thread, so the results depend on neither.
#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "msg/msg.h"
#include "odor/core.h"
#include "odor/odor.h"
#include "odor/receptors.h"
#include "odor/sources.h"
#include "par/par.h"
#include "prm/params.h"

int CalcThreads = 0;

namespace {

constexpr const char* kModule = "ZIRidev";

// Checks what the loops divide by or take the logarithm of, so that a bad
// parameter is reported with its value instead of turning into NaN.
int CheckParameters(const std::vector<Source>& list) {
  auto tag = [] { return MsgTag(kModule, "CalcValues", "2"); };
  struct {
    const char* name;
    double value;
  } const positive[] = {{"pd", prm::pd},
                        {"ld", prm::ld},
                        {"gs", prm::gs},
                        {"nu", static_cast<double>(prm::nu)},
                        {"am", prm::am}};
  for (const auto& p : positive)
    if (!(p.value > 0)) return PrmInvalid(tag(), p.name, p.value, "positive");
  if (static_cast<long long>(prm::nw) * prm::nu > MaxDirections)
    return MSG_FAIL(
        MsgTag(kModule, "CalcValues", "6"),
        "*** nw=%d sectors of nu=%d sub-sectors are %lld directions, at most %lld! (%s)\n", prm::nw,
        prm::nu, static_cast<long long>(prm::nw) * prm::nu, MaxDirections);
  // The core plumes multiply the work at every receptor and direction, with
  // the cells and the classes. Cells that cannot be counted are refused
  // with the source.
  const long long plumes = 2LL * prm::nm + 1;
  if (plumes > MaxCorePlumes)
    return MSG_FAIL(MsgTag(kModule, "CalcValues", "9"),
                    "*** nm=%d gives %lld core plumes, at most %lld! (%s)\n", prm::nm, plumes,
                    MaxCorePlumes);
  long long cells = 0;
  for (const Source& q : list) cells += std::max(SrcCells(q), 0LL);
  if (plumes > 0 && cells <= MaxSourceCells && plumes * (cells + prm::nl + 1) > MaxCoreWork)
    return MSG_FAIL(MsgTag(kModule, "CalcValues", "10"),
                    "*** work per receptor and direction of %lld core plumes (nm=%d) times "
                    "%lld source cells plus %d classes (nl=%d) is %lld, at most %lld! (%s)\n",
                    plumes, prm::nm, cells, prm::nl + 1, prm::nl, plumes * (cells + prm::nl + 1),
                    MaxCoreWork);
  // A sector with 0 hours is skipped, a negative duration is a mistake.
  double hours = SumDur;  // h, after this situation
  for (int s = 0; s < prm::nw; s++) {
    if (!(prm::dw[s] >= 0)) {
      char name[24];
      std::snprintf(name, sizeof name, "dw[%d]", s);
      return PrmInvalid(tag(), name, prm::dw[s], "0 or more");
    }
    hours += prm::dw[s];
  }
  // Every width of a table beyond x = 0 must be positive: a zero width
  // (for example with lv = 0) leaves the crosswind Gaussian undefined.
  const int count = static_cast<int>(list.size());
  for (int s = 0; s < count; s++) {
    const Source& q = list[s];
    for (int n = 1; n <= q.ni; n++) {
      const float sy = q.sy[n], sd = q.sd[n], cp = q.cp[n];
      if (!(sy > 0) || !std::isfinite(sy) || !std::isfinite(sd) || !std::isfinite(cp))
        return MSG_FAIL(MsgTag(kModule, "CalcValues", "3"),
                        "*** invalid plume table%s at x=%g m (sy=%g, sd=%g, cp=%g, lv=%g)! (%s)\n",
                        SrcText(count, " of source %d", s + 1).c_str(), n * q.li, sy, sd, cp,
                        prm::lv);
    }
  }
  // The largest concentration a unit source gives: the crosswind Gaussian
  // of cp over a core width of at least 0.3 sy, and sy is never below sy[1]
  // beyond the first table step. The sources add up.
  double conc = 0, eq = 0;  // me/m3, me/s
  for (const Source& q : list) {
    double cpmax = 0;
    for (int n = 0; n <= q.ni; n++) cpmax = std::max(cpmax, std::fabs(static_cast<double>(q.cp[n])));
    const double unit = (q.ni >= 1) ? 0.39894229 * cpmax / (0.3 * q.sy[1]) : 0;  // s/m3
    conc += q.eq * unit;
    eq += q.eq;
  }
  // Per hour the accumulators add at most the concentration, the 90th
  // percentile (up to cl[nl]) and 1 (odor frequency and odor hour).
  const double largest = std::max({conc, static_cast<double>(prm::cl[prm::nl]), 1.0});
  if (!(hours * largest <= MaxAccumulated))
    return MSG_FAIL(MsgTag(kModule, "CalcValues", "7"),
                    "*** results beyond single precision: values up to %.3g (eq=%g%s, cl[nl]=%g) "
                    "over %.6g h, at most %.3g! (%s)\n",
                    largest, eq, SrcText(count, " of %d sources", count).c_str(),
                    prm::cl[prm::nl], hours, MaxAccumulated);
  return 0;
}

// One wind direction of the situation: the sub-sector of a sector with a
// positive duration.
struct Direction {
  float d;  // mathematical angle of the direction into which the wind blows (degrees)
  float w;  // duration of the sub-sector (h)
};

// Receptors handed to a thread at a time: enough to spread the rotation of
// the source cells over many receptors, few enough to share the work evenly.
constexpr int kChunk = 32;
// A chunk of a thread lies within a chunk of a process, so its receptors
// are consecutive.
static_assert(kParChunk % kChunk == 0);

// What the threads of one CalcValues share. Only the atomics and, for
// receptors of its own chunks, sums and lastHl are written by a thread.
struct Shared {
  const OdorCore* core;
  const std::vector<Direction>* dirs;
  float* sums;                       // per receptor and set: cnc, fro, frh, c90 accumulators
  float* lastHl;                     // hl after the last receptor's last direction
  int receptors;                     // grid nodes, then receptor points
  int sets;                          // statistics per receptor (odor/core.h)
  int nodes;                         // grid nodes
  int rank, size;                    // this process of size
  int mine;                          // receptors of this process
  std::atomic<int> next{0};          // next chunk of this process's receptors
  std::atomic<int> failed{INT_MAX};  // first failing receptor found so far
  std::atomic<int> done{0};          // receptors whose sums are stored (progress line)
};

// The first failure a thread met: the receptor and the direction.
struct Failure {
  int receptor = INT_MAX;
  int dir = 0;
  int source = 0;  // whose plume table does not reach it
};

// Position of receptor r (m): grid node (i, j) with r = i ny + j, then the
// receptor points.
void Position(const Shared& sh, int r, float* x, float* y) {
  if (r < sh.nodes) {
    const int i = r / prm::ny, j = r % prm::ny;
    *x = i * prm::dr + prm::xr;
    *y = j * prm::dr + prm::yr;
  } else {
    *x = prm::xp[r - sh.nodes];
    *y = prm::yp[r - sh.nodes];
  }
}

// Takes chunks of this process's receptors until none is left (or all lie
// beyond a failure). Within a chunk the directions are the outer loop, so the cells
// are rotated once per direction for all its receptors; each receptor's
// sums still grow direction by direction, as in a single thread. A receptor
// stops at its first failure and keeps the sums it had.
void Work(Shared& sh, CoreWork& work, Failure& fail, float* acc, float* out) {
  const OdorCore& core = *sh.core;
  const std::vector<Direction>& dirs = *sh.dirs;
  const float ga = prm::ga;
  const int per = 4 * sh.sets;  // accumulators of a receptor
  float* cm = out;
  float* c90 = out + sh.sets;
  float* p = out + 2 * sh.sets;
  float x[kChunk], y[kChunk];
  bool alive[kChunk];
  for (;;) {
    if (MsgSignal.load(std::memory_order_relaxed)) break;  // the driver ends the run
    const long long k0 = static_cast<long long>(sh.next.fetch_add(1)) * kChunk;
    if (k0 >= sh.mine) break;
    const int r0 = ParReceptor(static_cast<int>(k0), sh.rank, sh.size);
    if (r0 > sh.failed.load(std::memory_order_relaxed)) break;
    const int n = std::min(kChunk, sh.receptors - r0);
    for (int i = 0; i < n; i++) {
      Position(sh, r0 + i, &x[i], &y[i]);
      for (int a = 0; a < per; a++)
        acc[i * per + a] = sh.sums[static_cast<size_t>(r0 + i) * per + a];
      alive[i] = true;
    }
    for (int j = 0; j < static_cast<int>(dirs.size()); j++) {
      CoreDirection(core, dirs[j].d, &work);
      const float w = dirs[j].w;
      for (int i = 0; i < n; i++) {
        // A receptor and direction costs at most MaxCoreWork: looked at
        // that often, a signal ends the run within a fraction of a second.
        if (MsgSignal.load(std::memory_order_relaxed)) return;
        if (!alive[i]) continue;
        if (CoreOdor(core, &work, x[i], y[i], cm, c90, p) < 0) {
          alive[i] = false;
          if (r0 + i < fail.receptor) fail = {r0 + i, j, work.k.failed};
          int known = sh.failed.load();
          while (r0 + i < known && !sh.failed.compare_exchange_weak(known, r0 + i)) {
          }
          continue;
        }
        float* a = acc + i * per;
        for (int t = 0; t < sh.sets; t++, a += 4) {
          a[0] += w * cm[t];
          a[1] += w * p[t];
          if (p[t] > ga) a[2] += w;
          a[3] += w * c90[t];
        }
      }
    }
    for (int i = 0; i < n; i++)
      for (int a = 0; a < per; a++)
        sh.sums[static_cast<size_t>(r0 + i) * per + a] = acc[i * per + a];
    if (r0 + n == sh.receptors && alive[n - 1])
      std::copy(work.hl.begin(), work.hl.begin() + core.classes, sh.lastHl);
    sh.done.fetch_add(n, std::memory_order_relaxed);
  }
}

// Reports a failure of the concentration at a receptor as the
// straightforward calls report it.
int FailOdor() {
  return MSG_FAIL(MsgTag(kModule, "CalcOdor", "1"), "*** can't calculate concentration! (%s)\n");
}
int FailValues() {
  return MSG_FAIL(MsgTag(kModule, "CalcValues", "1"), "*** can't get odor values! (%s)\n");
}
int FailAllocation() {
  return MSG_FAIL(MsgTag(kModule, "CalcValues", "5"), "*** can't allocate work arrays! (%s)\n");
}
int FailRange(int source, int count) {
  return MSG_FAIL(MsgTag(kModule, "CalcCon", "2"), "*** plume table range%s exceeded! (%s)\n",
                  SrcText(count, " of source %d", source + 1).c_str());
}

// The accumulators of set t (0 the total, then GrpSums) at receptor r:
// grid node (i, j) with r = i ny + j, then the receptor points.
void Accumulators(int r, int nodes, int t, float* a[4]) {
  if (r < nodes) {
    const int i = r / prm::ny, j = r % prm::ny;
    SetSums* g = (t > 0) ? GrpSums[t - 1].get() : nullptr;
    a[0] = static_cast<float*>(AryPtrX(g ? &g->cnc : &GrdCnc, i, j));
    a[1] = static_cast<float*>(AryPtrX(g ? &g->fro : &GrdFro, i, j));
    a[2] = static_cast<float*>(AryPtrX(g ? &g->frh : &GrdFrh, i, j));
    a[3] = static_cast<float*>(AryPtrX(g ? &g->c90 : &GrdC90, i, j));
  } else {
    const int n = r - nodes;
    if (t > 0) {
      SetSums& g = *GrpSums[t - 1];
      a[0] = &g.pcnc[n];
      a[1] = &g.pfro[n];
      a[2] = &g.pfrh[n];
      a[3] = &g.pc90[n];
      return;
    }
    a[0] = &PntCnc[n];
    a[1] = &PntFro[n];
    a[2] = &PntFrh[n];
    a[3] = &PntC90[n];
  }
}

}  // namespace

int CalcThreadCount() {
  if (CalcThreads > 0) return CalcThreads;
  return static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
}

float Percentile90(const float* hl) {
  const int nl = prm::nl;
  const float L = std::log(10.0f) / prm::nc;
  float Fprev = 0;  // cumulative probability of the class below
  for (int k = 0; k <= nl; k++) {
    const float F = 1 - hl[k];
    if (F >= 0.9f)
      return (k == 0) ? 0.0f : std::exp(((k + prm::ll - 1) + (0.9f - Fprev) / (F - Fprev)) * L);
    Fprev = F;
  }
  return prm::cl[nl];
}

int CalcOdor(float x, float y, float d, float* cm, float* c90, float* p) {
  float* hl = prm::hl.f();
  for (int k = 0; k <= prm::nl; k++) hl[k] = 0;
  const std::vector<Source>* list = Sources();
  if (!list) return -1;
  if (prm::nm >= 0 && (CheckSources(*list) < 0 || MsgErr < 0)) return FailOdor();
  OdorCore core;
  CoreWork work;
  std::vector<float> out;
  try {
    if (CoreInit(*list, &core) < 0 || CoreWorkInit(core, &work) < 0) return -1;
    out.assign(3 * core.k.sets, 0.0f);
  } catch (const std::bad_alloc&) {
    return FailAllocation();
  }
  CoreDirection(core, d, &work);
  const int sets = core.k.sets;
  if (CoreOdor(core, &work, x, y, out.data(), out.data() + sets, out.data() + 2 * sets) < 0) {
    FailRange(work.k.failed, static_cast<int>(list->size()));
    return FailOdor();
  }
  std::copy(work.hl.begin(), work.hl.begin() + (prm::nl + 1), hl);
  if (cm) *cm = out[0];
  if (c90) *c90 = out[sets];
  if (p) *p = out[2 * sets];
  return 0;
}

int CalcValues() {
  const std::vector<Source>* list = Sources();
  if (!list || CheckParameters(*list) < 0 || GrpPrepare(*list) < 0) return -1;
  const int nl = prm::nl, ll = prm::ll, nu = prm::nu, nw = prm::nw;
  const float L = std::log(10.0f) / prm::nc;

  // Perception density: log-normal thresholds around gs, on the classes of cl.
  float* od = prm::od.f();
  float* hl = prm::hl.f();
  const float lngs = std::log(prm::gs);
  float S = 0;
  for (int k = 0; k <= nl; k++) {
    hl[k] = 0;
    const float z = ((ll + k) * L - lngs) / prm::ld;
    const float e = z * 0.5f * z;
    od[k] = (e < prm::am) ? std::exp(-e) : 0.0f;
    S += od[k];
  }
  if (!(S > 0))
    return MSG_FAIL(MsgTag(kModule, "CalcValues", "4"),
                    "*** odor threshold gs=%g lies outside the concentration scale (ld=%g)! (%s)\n",
                    prm::gs, prm::ld);
  for (int k = 0; k <= nl; k++) od[k] /= S;

  assert(prm::np <= static_cast<int>(PntCnc.size()));  // the interpreter bounds np by mp
  const int nodes = (prm::nx > 0 && prm::ny > 0) ? prm::nx * prm::ny : 0;
  const int receptors = nodes + std::max(prm::np, 0);

  OdorCore core;
  std::vector<Direction> dirs;
  std::vector<float> sums, lastHl;
  std::vector<CoreWork> works;
  std::vector<Failure> fails;
  std::vector<float> accs, outs;  // per thread: accumulators of a chunk, outputs of the core
  try {
    // The sector width is an integer number of degrees.
    const float sector = static_cast<float>(360 / nw);
    const float sub = sector / nu;
    const float* dw = prm::dw.f();
    // re reduced exactly, as rq: a huge offset would overflow the angle.
    const float re = static_cast<float>(std::fmod(static_cast<double>(prm::re), 360.0));
    for (int s = 0; s < nw; s++) {
      const float phi = s * sector + re;
      const float w = dw[s] / nu;  // duration of one sub-sector (h)
      if (w <= 0) continue;
      // Meteorological direction (wind from) to the mathematical angle of
      // the direction into which it blows.
      for (int u = 0; u < nu; u++) dirs.push_back({270 - ((u - (nu - 1) * 0.5f) * sub + phi), w});
    }
    if (receptors == 0 || dirs.empty()) return 0;
    // The straightforward loops stop at the first receptor and direction
    // when the source is invalid or an error is pending.
    if (prm::nm >= 0 && (CheckSources(*list) < 0 || MsgErr < 0)) {
      FailOdor();
      return FailValues();
    }
    if (MsgErr < 0) return FailValues();
  } catch (const std::bad_alloc&) {
    return FailAllocation();
  }
  // From here on every process of the run takes the same steps, so that
  // none waits for another that has turned back.
  const int rank = ParRank(), size = ParSize();
  const int mine = ParCount(receptors, rank, size);
  bool ready = false;
  try {
    if (CoreInit(*list, &core) >= 0) {
      assert(core.k.sets == 1 + static_cast<int>(GrpSums.size()));
      sums.resize(4 * static_cast<size_t>(core.k.sets) * receptors);
      lastHl.assign(core.classes, 0.0f);
      const long long chunks = (mine + kChunk - 1) / kChunk;
      const int threads = static_cast<int>(std::clamp<long long>(chunks, 1, CalcThreadCount()));
      works.resize(threads);
      fails.resize(threads);
      accs.resize(static_cast<size_t>(threads) * kChunk * 4 * core.k.sets);
      outs.resize(static_cast<size_t>(threads) * 3 * core.k.sets);
      ready = std::all_of(works.begin(), works.end(),
                          [&](CoreWork& w) { return CoreWorkInit(core, &w) >= 0; });
    }
  } catch (const std::bad_alloc&) {
    FailAllocation();
  }
  int ended = 0, code = 0;  // the process that has ended its run, and its exit code
  switch (ParVote(!ready, &ended, &code)) {
    case kParGo:
      break;
    case kParFailed:
      // A process that cannot prepare has reported why; the first one
      // reports it too, as a single process would.
      return ready ? FailAllocation() : -1;
    case kParEnded:
      // Interrupted there: the run ends as interrupted here too.
      if (code > 128 && code < 128 + 65) {
        if (!MsgSignal) MsgSignal = code - 128;
        return -1;
      }
      return MSG_FAIL(MsgTag(kModule, "CalcValues", "8"),
                      "*** process %d of %d has ended its run with exit code %d! (%s)\n", ended,
                      size, code);
  }

  const int sets = core.k.sets;
  for (int r = 0; r < receptors; r++)
    for (int t = 0; t < sets; t++) {
      float* a[4];
      Accumulators(r, nodes, t, a);
      for (int k = 0; k < 4; k++) sums[(static_cast<size_t>(r) * sets + t) * 4 + k] = *a[k];
    }
  Shared sh;
  sh.core = &core;
  sh.dirs = &dirs;
  sh.sums = sums.data();
  sh.lastHl = lastHl.data();
  sh.receptors = receptors;
  sh.sets = sets;
  sh.nodes = nodes;
  sh.rank = rank;
  sh.size = size;
  sh.mine = mine;
  // With a progress line this thread only watches, and every work storage
  // gets a thread of its own.
  const bool watch = MsgProgressOn;
  std::mutex m;
  std::condition_variable finished;
  int running = 0;  // threads still working (under m)
  auto run = [&](size_t t) {
    Work(sh, works[t], fails[t], accs.data() + t * kChunk * 4 * sets, outs.data() + t * 3 * sets);
  };
  auto work = [&](size_t t) {
    run(t);
    std::lock_guard<std::mutex> lock(m);
    running--;
    finished.notify_one();
  };
  if (watch) MsgProgressPercent(0);
  std::vector<std::thread> pool;
  for (size_t t = watch ? 0 : 1; t < works.size(); t++) {
    try {
      std::lock_guard<std::mutex> lock(m);
      pool.emplace_back(work, t);
      running++;
    } catch (const std::system_error&) {
      break;  // fewer threads share the same chunks
    }
  }
  if (watch && !pool.empty()) {
    std::unique_lock<std::mutex> lock(m);
    auto show = [&] { MsgProgressPercent(static_cast<int>(100LL * sh.done / std::max(mine, 1))); };
    while (!finished.wait_for(lock, std::chrono::milliseconds(250), [&] { return running == 0; }))
      show();
    show();
  } else {
    run(0);
  }
  for (std::thread& t : pool) t.join();

  // The first failure in receptor order ends the run, as in a single
  // thread: the receptors before it keep their sums, it keeps those of the
  // directions before the failing one, the later receptors none. The
  // processes agree on it and on an interrupt; a signal that comes only
  // after the agreement is left to the driver.
  Failure first;
  for (const Failure& f : fails)
    if (f.receptor < first.receptor) first = f;
  int agreed[4] = {first.receptor, first.dir, first.source, MsgSignal.load()};
  ParAgree(agreed);
  if (agreed[3]) {
    if (!MsgSignal) MsgSignal = agreed[3];
    return -1;  // interrupted: the accumulators stay as they were
  }
  first = {agreed[0], agreed[1], agreed[2]};
  ParShareSums(sums.data(), receptors, 4 * sets);
  if (first.receptor == INT_MAX)
    ParShareFloats(lastHl.data(), static_cast<int>(lastHl.size()),
                   (receptors - 1) / kParChunk % size);
  const int done = std::min(receptors, first.receptor == INT_MAX ? receptors : first.receptor + 1);
  for (int r = 0; r < done; r++)
    for (int t = 0; t < sets; t++) {
      float* a[4];
      Accumulators(r, nodes, t, a);
      for (int k = 0; k < 4; k++) *a[k] = sums[(static_cast<size_t>(r) * sets + t) * 4 + k];
    }
  if (done > 0) GrpAccumulated = true;
  // Durations count once, with the first receptor.
  const int counted = (first.receptor == 0) ? first.dir : static_cast<int>(dirs.size());
  for (int j = 0; j < counted; j++) SumDur += dirs[j].w;
  if (first.receptor != INT_MAX) {
    for (int k = 0; k <= nl; k++) hl[k] = 0;
    FailRange(first.source, static_cast<int>(list->size()));
    FailOdor();
    return FailValues();
  }
  std::copy(lastHl.begin(), lastHl.begin() + (nl + 1), hl);
  return 0;
}
