// Computing core of the odor assessment: the constants of a situation, the
// work storage of a thread, the cells in the frame of a direction, and the
// choice of the kernel that computes the odor values at a receptor (see
// core.h for what the core changes against the straightforward loops and
// why the results agree).
#include "odor/core.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "msg/msg.h"
#include "mth/mth.h"
#include "odor/odor.h"
#include "prm/params.h"

// The kernels of kernel_*.cpp.
namespace kernel_baseline {
int Odor(const CoreConst& k, CoreScratch& w, float x, float y, float* cm, float* c90, float* p);
}
#ifdef ZIR_DISPATCH
namespace kernel_avx2 {
int Odor(const CoreConst& k, CoreScratch& w, float x, float y, float* cm, float* c90, float* p);
}
namespace kernel_avx512 {
int Odor(const CoreConst& k, CoreScratch& w, float x, float y, float* cm, float* c90, float* p);
}
#endif

namespace {

int Padded(int n) { return (n + kCoreBlock - 1) / kCoreBlock * kCoreBlock; }

int NoMemory(const char* function) {
  return MSG_FAIL(MsgTag("ZIRidev", function, "1"), "*** can't allocate work arrays! (%s)\n");
}

struct Kernel {
  const char* name;
  int (*odor)(const CoreConst&, CoreScratch&, float, float, float*, float*, float*);
  bool (*runs)();  // the processor has the instruction set
};

// The kernels of this build, the best last. Without dispatch the one kernel
// is named after the instruction set the build's flags chose.
const Kernel Kernels[] = {
#ifdef ZIR_DISPATCH
    {"baseline", kernel_baseline::Odor, [] { return true; }},
    {"avx2", kernel_avx2::Odor,
     [] {
       __builtin_cpu_init();
       return __builtin_cpu_supports("avx2") != 0;
     }},
    {"avx512", kernel_avx512::Odor,
     [] {
       __builtin_cpu_init();
       return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
              __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
     }},
#elif defined(__AVX512F__)
    {"avx512", kernel_baseline::Odor, [] { return true; }},
#elif defined(__AVX2__)
    {"avx2", kernel_baseline::Odor, [] { return true; }},
#else
    {"baseline", kernel_baseline::Odor, [] { return true; }},
#endif
};
constexpr int kKernels = sizeof Kernels / sizeof Kernels[0];

// The best kernel the processor has.
const Kernel* Best() {
  for (int i = kKernels - 1; i > 0; i--)
    if (Kernels[i].runs()) return &Kernels[i];
  return &Kernels[0];
}

// Chosen before the first call, when CoreIsaSelect names none; read by
// every thread, changed only between runs.
const Kernel* Chosen = Best();

}  // namespace

int CoreIsaSelect(const char* name) {
  if (!name || !*name) {
    Chosen = Best();
    return 0;
  }
  for (const Kernel& k : Kernels)
    if (std::strcmp(k.name, name) == 0) {
      if (!k.runs()) return 2;
      Chosen = &k;
      return 0;
    }
  return 1;
}

const char* CoreIsaName() { return Chosen->name; }

const char* CoreIsaNames() {
#ifdef ZIR_DISPATCH
  return "baseline, avx2, avx512";
#else
  return Kernels[0].name;
#endif
}

int CoreInit(const std::vector<Source>& list, OdorCore* c) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  CoreConst& k = c->k;
  k = CoreConst{};
  try {
    k.nm = prm::nm;
    const int n2 = (k.nm >= 0) ? 2 * k.nm + 1 : 0;
    c->lanes = Padded(n2);
    c->eta.assign(c->lanes, 0.0f);
    c->wm.assign(c->lanes, 0.0f);
    for (int l = 0; l < n2; l++) {
      const int m = l - k.nm;
      c->eta[l] = (m > 0 ? 1.0f : -1.0f) * prm::em[std::abs(m)];
      c->wm[l] = prm::wm[std::abs(m)];
      k.emax = std::max(k.emax, std::fabs(c->eta[l]));
    }

    k.nl = prm::nl;
    c->classes = Padded(k.nl + 1);
    c->logcl.assign(c->classes, inf);
    c->od.assign(c->classes, 0.0f);
    bool rising = true;
    for (int n = 0; n <= k.nl; n++) {
      c->logcl[n] = static_cast<float>(std::log(static_cast<double>(prm::cl[n])));
      c->od[n] = prm::od[n];
      if (!(std::isfinite(c->logcl[n]) && (n == 0 || c->logcl[n] >= c->logcl[n - 1])))
        rising = false;
    }
    k.pd = prm::pd;
    k.G = static_cast<float>(MthGamma(1 + 1.0 / k.pd));
    k.am = prm::am;
    k.lam = std::log(prm::am);  // exp(z) beyond am: exp(-exp(z)) is 0
    // The exponent of class k grows with k: past the first class beyond ln
    // am every class is 0.
    k.shortcuts = rising && k.pd > 0;
    // Then every exponent stays within the range of the exponential: -am
    // and above in the Gaussian; in the Weibull classes below ln am and, as
    // the class loop raises them, not below the least exponent it takes.
    k.inRange = k.shortcuts && k.am > 0 && k.am <= 87;
    // z of class 0 is at least ln am when conc/G <= cl[0] am^(-1/pd); a
    // thousandth below, the rounding of z cannot matter.
    if (k.shortcuts && k.am > 0 && k.nl >= 0)
      k.faint = static_cast<float>(0.999 * k.G * prm::cl[0] * std::pow(k.am, -1.0 / k.pd));

    k.rootam = (k.am > 0) ? std::sqrt(2 * k.am) : 0.0f;
    c->sources.clear();
    c->wmax.clear();
    c->list.clear();
    c->cells = c->slots = 0;
    // Sets: the total; with groups each group in the order of definition
    // and, when a group is the applicant's, the applicant's groups together.
    std::vector<int> setOf(list.size(), 0);
    bool applicant = false;
    k.sets = 1;
    if (SrcGrouped(list)) {
      const std::vector<SrcGroup> groups = SrcGroups(list);
      for (size_t g = 0; g < groups.size(); g++) {
        for (int s : groups[g].sources) setOf[s] = static_cast<int>(g) + 1;
        applicant = applicant || groups[g].za;
      }
      k.sets = 1 + static_cast<int>(groups.size()) + (applicant ? 1 : 0);
    }
    if (k.nm >= 0) {
      c->sources.resize(list.size());
      c->wmax.resize(list.size());
      for (size_t s = 0; s < list.size(); s++) {
        const Source& q = list[s];
        CoreSource& cs = c->sources[s];
        assert(q.ni >= 0 && q.sy.size() > static_cast<size_t>(q.ni));
        c->list.push_back(&q);
        cs.li = q.li;
        cs.ni = q.ni;
        cs.range = cs.ni * cs.li;
        cs.sy = q.sy.data();
        cs.sd = q.sd.data();
        cs.cp = q.cp.data();
        std::vector<float>& wmax = c->wmax[s];
        wmax.assign(cs.ni + 1, 0.0f);
        bool finite = std::isfinite(k.emax) && std::isfinite(k.am);
        float widest = 0;
        for (int n = 0; n <= cs.ni; n++) {
          const float a = std::fabs(cs.sy[n]), b = std::fabs(cs.sd[n]);
          if (!std::isfinite(a) || !std::isfinite(b)) finite = false;
          widest = std::max({widest, a, b});
          wmax[n] = widest;
        }
        cs.wmax = wmax.data();
        cs.skips = finite;
        cs.xq = q.xq;
        cs.yq = q.yq;
        cs.aq = q.aq;
        cs.bq = q.bq;
        cs.set = setOf[s];
        cs.applicant = (applicant && q.za) ? k.sets - 1 : 0;
        SourceCells cells;
        SourceFrame(q, 0, 0, 1, &cells);
        cs.cells = cells.na * cells.nb;
        // Each source begins a block, so that a block of cells shares one table.
        cs.first = c->slots;
        c->slots += Padded(cs.cells);
        c->cells += cs.cells;
      }
    }
  } catch (const std::bad_alloc&) {
    return NoMemory("CoreInit");
  }
  k.sources = static_cast<int>(c->sources.size());
  k.lanes = c->lanes;
  k.classes = c->classes;
  k.eta = c->eta.data();
  k.wm = c->wm.data();
  k.logcl = c->logcl.data();
  k.od = c->od.data();
  k.source = c->sources.data();
  return 0;
}

int CoreWorkInit(const OdorCore& core, CoreWork* work) {
  // Each array gets a cache line to spare behind it, so that the arrays of
  // two threads never share one.
  auto make = [](std::vector<float>& v, int n, float value) {
    v.reserve(n + 16);
    v.assign(n, value);
  };
  try {
    // Padded to whole blocks with cells that are never downwind.
    make(work->ou, core.slots, std::numeric_limits<float>::infinity());
    make(work->ov, core.slots, 0.0f);
    work->frames.assign(core.sources.size(), CoreFrame{});
    for (auto* v : {&work->cdv, &work->csm, &work->cden, &work->cf}) make(*v, core.cells, 0.0f);
    make(work->conc, core.lanes * core.k.sets, 0.0f);
    make(work->hl, core.classes * core.k.sets, 0.0f);
    work->segs.assign(3 * core.sources.size(), 0);
  } catch (const std::bad_alloc&) {
    return NoMemory("CoreWorkInit");
  }
  CoreScratch& k = work->k;
  k.frames = work->frames.data();
  k.ou = work->ou.data();
  k.ov = work->ov.data();
  k.cdv = work->cdv.data();
  k.csm = work->csm.data();
  k.cden = work->cden.data();
  k.cf = work->cf.data();
  k.conc = work->conc.data();
  k.hl = work->hl.data();
  k.segs = work->segs.data();
  return 0;
}

void CoreDirection(const OdorCore& core, float d, CoreWork* work) {
  WindFrame(d, &work->k.s, &work->k.co);
  for (size_t s = 0; s < core.sources.size(); s++) {
    const CoreSource& cs = core.sources[s];
    CoreFrame& fr = work->frames[s];
    SourceFrame(*core.list[s], d, work->k.s, work->k.co, &fr.cells);
    const SourceCells& c = fr.cells;
    float* ou = work->ou.data() + cs.first;
    float* ov = work->ov.data() + cs.first;
    float minOu = std::numeric_limits<float>::infinity(), minOv = minOu, maxOv = -minOu;
    float maxAbsOv = 0;
    int i = 0;
    for (int ia = 0; ia < c.na; ia++) {
      // The same sums as in CalcCon, so each offset has the same bits.
      const float au = ia * c.Dau + c.Uq;
      const float av = ia * c.Dav + c.Vq;
      for (int ib = 0; ib < c.nb; ib++, i++) {
        ou[i] = au + ib * c.Dbu;
        ov[i] = av + ib * c.Dbv;
        minOu = std::min(minOu, ou[i]);
        minOv = std::min(minOv, ov[i]);
        maxOv = std::max(maxOv, ov[i]);
        maxAbsOv = std::max(maxAbsOv, std::fabs(ov[i]));
      }
    }
    fr.minOu = minOu;
    fr.minOv = minOv;
    fr.maxOv = maxOv;
    fr.maxAbsOv = maxAbsOv;
  }
}

int CoreOdor(const OdorCore& core, CoreWork* work, float x, float y, float* cm, float* c90,
             float* p) {
  return Chosen->odor(core.k, work->k, x, y, cm, c90, p);
}
