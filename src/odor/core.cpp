// Computing core of the odor assessment: odor values at one receptor for
// one wind direction, vectorised over the core plumes and over the classes
// of the concentration scale (see core.h for what it changes against the
// straightforward loops and why the results agree).
#include "odor/core.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <experimental/simd>
#include <limits>
#include <new>
#include <type_traits>

#include "msg/msg.h"
#include "mth/mth.h"
#include "odor/odor.h"
#include "prm/params.h"

namespace {

namespace stdx = std::experimental;
using Vf = stdx::native_simd<float>;
using Vi = stdx::rebind_simd_t<std::int32_t, Vf>;
using Vd = stdx::rebind_simd_t<double, Vf>;
constexpr int kW = static_cast<int>(Vf::size());
static_assert(sizeof(Vf) == sizeof(Vi) && std::is_trivially_copyable_v<Vf> &&
              std::is_trivially_copyable_v<Vi>);

// The reach tests skip only what is out of reach by this factor, far more
// than the rounding of the quantities they compare.
constexpr float kMargin = 1.001f;
// For z below this, exp(-exp(z)) rounds to exactly 1 (exp(z) < 2^-25).
constexpr float kSure = -18.0f;

int Padded(int n) { return (n + kW - 1) / kW * kW; }

Vf Load(const float* p) { return Vf(p, stdx::element_aligned); }
void Store(const Vf& v, float* p) { v.copy_to(p, stdx::element_aligned); }

// exp(x) in single precision, lane by lane, within 4e-7 relative for
// -87.33 <= x <= 88. Range reduction x = k ln 2 + r with |r| <= ln 2 / 2, a
// polynomial of degree 5 for exp(r) (interpolating at Chebyshev nodes), 2^k
// built in the exponent bits. With Clamp, x is first brought into that
// range (below it the smallest normal float comes out instead of a
// denormal, which costs many times a normal operation); without, the
// caller guarantees it.
template <bool Clamp>
[[gnu::always_inline]] inline Vf Exp(Vf x) {
  if constexpr (Clamp) x = stdx::min(stdx::max(x, Vf(-87.33f)), Vf(88.0f));
  const Vf magic(12582912.0f);  // 1.5 2^23: adding it rounds to an integer
  Vf kf = x * Vf(1.44269504f) + magic;
  // k + 127, the biased exponent of 2^k, from the low bits of kf
  const Vi ki = std::bit_cast<Vi>(kf) - Vi(std::bit_cast<std::int32_t>(12582912.0f) - 127);
  kf = kf - magic;
  Vf r = x - kf * Vf(0.693359375f);  // ln 2 in two parts, the first exact in kf
  r = r - kf * Vf(-2.12194440e-4f);
  // Estrin's scheme: shorter chains of dependent operations than Horner's.
  const Vf r2 = r * r;
  const Vf p01 = r + Vf(1.0f);
  const Vf p23 = Vf(1.6666577756e-1f) * r + Vf(4.9999371171e-1f);
  const Vf p45 = Vf(8.3631733432e-3f) * r + Vf(4.1875645518e-2f);
  const Vf p = (p45 * r2 + p23) * r2 + p01;
  return p * std::bit_cast<Vf>(ki << 23);
}

// Concentrations of the core plumes in B vector blocks from lane l on,
// summed over the n cells that reach the receptor (crosswind distance dv0,
// meander amplitude sm, -2 sc^2 den and factor f of each). Several blocks
// at once keep independent chains of the exponential in flight.
template <int B, bool Clamp>
void CorePlumes(const OdorCore& core, const float* dv0, const float* sm, const float* den,
                const float* f, int n, int l, float* conc) {
  const Vf minusAm(-core.am);
  Vf eta[B], sum[B];
  for (int b = 0; b < B; b++) {
    eta[b] = Load(&core.eta[l + b * kW]);
    sum[b] = 0.0f;
  }
  for (int i = 0; i < n; i++) {
    const Vf vdv0(dv0[i]), vsm(sm[i]), vden(den[i]), vf(f[i]);
    for (int b = 0; b < B; b++) {
      const Vf dv = vdv0 - vsm * eta[b];
      const Vf minusE = dv * dv / vden;     // exactly -e of CalcCon
      const auto in = !(minusE < minusAm);  // beyond am the term is negligible
      // Lanes out of reach get exp(0): exp of a large exponent would only
      // produce denormals, which cost many times a normal operation.
      Vf arg(0.0f);
      where(in, arg) = minusE;
      Vf add(0.0f);
      where(in, add) = Exp<Clamp>(arg) * vf;
      sum[b] += add;
    }
  }
  for (int b = 0; b < B; b++) Store(sum[b], conc + l + b * kW);
}

template <bool Clamp>
void AllCorePlumes(const OdorCore& core, const float* dv0, const float* sm, const float* den,
                   const float* f, int n, float* conc) {
  int l = 0;
  for (; l + 3 * kW <= core.lanes; l += 3 * kW)
    CorePlumes<3, Clamp>(core, dv0, sm, den, f, n, l, conc);
  for (; l + 2 * kW <= core.lanes; l += 2 * kW)
    CorePlumes<2, Clamp>(core, dv0, sm, den, f, n, l, conc);
  for (; l < core.lanes; l += kW) CorePlumes<1, Clamp>(core, dv0, sm, den, f, n, l, conc);
}

// Appends to the per-cell arrays of work, from index n on, the cells of
// source cs that reach the receptor at (U, V) in the wind frame (m): each
// with its crosswind distance, meander amplitude, -2 sc^2 and factor.
// Returns the new count. The cells go through in vector blocks; every lane
// does what CalcCon does for its cell, operation for operation, so the
// widths and distances have the same bits. The table is read lane by lane.
int ReachingCells(const OdorCore& core, const CoreSource& cs, float q, CoreWork* work, float U,
                  float V, float tiny, int n) {
  const float* ou = work->ou.data() + cs.first;
  const float* ov = work->ov.data() + cs.first;
  const float* sy = cs.sy;
  const float* sd = cs.sd;
  const float* cp = cs.cp;
  float* cdv = work->cdv.data();
  float* csm = work->csm.data();
  float* cden = work->cden.data();
  float* cf = work->cf.data();
  const Vf vU(U), vV(V), vtiny(tiny), vli(cs.li), vq(q), one(1.0f);
  const Vf vreach(core.rootam * kMargin), vemax(core.emax);
  const Vf vni(static_cast<float>(cs.ni));
  for (int i0 = 0; i0 < cs.cells; i0 += kW) {
    const Vf xs = vU - Load(ou + i0);  // downwind distance of the cell (m)
    const auto downwind = xs > vtiny;
    if (stdx::none_of(downwind)) continue;
    // Limited to 1..ni before the conversion: a lane that is not downwind
    // may lie beyond the range of an int (a padding cell lies at -inf).
    const Vi k = stdx::static_simd_cast<Vi>(stdx::max(stdx::min(xs / vli + one, vni), one));
    const Vf t = (stdx::static_simd_cast<Vf>(k) * vli - xs) / vli;  // weight of entry k-1
    const Vf u = one - t;                                           // weight of entry k
    const Vf Sy =
        t * Vf([&](auto j) { return sy[k[j] - 1]; }) + u * Vf([&](auto j) { return sy[k[j]]; });
    const Vf Sd = (core.nm != 0) ? t * Vf([&](auto j) { return sd[k[j] - 1]; }) +
                                       u * Vf([&](auto j) { return sd[k[j]]; })
                                 : Sy;
    // The core plume is never narrower than three tenths of the total plume
    // (compared in double precision).
    Vd scd = 0.3 * stdx::static_simd_cast<Vd>(Sy);
    const Vd Sdd = stdx::static_simd_cast<Vd>(Sd);
    where(Sdd >= scd, scd) = Sdd;
    const Vf sc = stdx::static_simd_cast<Vf>(scd);
    auto reach = downwind && sc > 0;  // no width, no crosswind Gaussian
    if (stdx::none_of(reach)) continue;
    Vf sm(0.0f);
    where(Sy > sc, sm) = stdx::sqrt(Sy * Sy - sc * sc);
    const Vf dv0 = vV - Load(ov + i0);  // crosswind distance from the cell centre (m)
    if (cs.skips) reach = reach && !(stdx::abs(dv0) - sm * vemax > sc * vreach);
    if (stdx::none_of(reach)) continue;
    const Vf den = -(sc * 2 * sc);
    const Vf f =
        vq / sc *
        (t * Vf([&](auto j) { return cp[k[j] - 1]; }) + u * Vf([&](auto j) { return cp[k[j]]; }));
    for (int j = 0; j < kW; j++) {
      if (!reach[j]) continue;
      cdv[n] = dv0[j];
      csm[n] = sm[j];
      cden[n] = den[j];
      cf[n] = f[j];
      n++;
    }
  }
  return n;
}

int NoMemory(const char* function) {
  return MSG_FAIL(MsgTag("ZIRidev", function, "1"), "*** can't allocate work arrays! (%s)\n");
}

}  // namespace

int CoreInit(const std::vector<Source>& list, OdorCore* c) {
  constexpr float inf = std::numeric_limits<float>::infinity();
  try {
    c->nm = prm::nm;
    const int n2 = (c->nm >= 0) ? 2 * c->nm + 1 : 0;
    c->lanes = Padded(n2);
    c->eta.assign(c->lanes, 0.0f);
    c->wm.assign(c->lanes, 0.0f);
    c->emax = 0;
    for (int l = 0; l < n2; l++) {
      const int m = l - c->nm;
      c->eta[l] = (m > 0 ? 1.0f : -1.0f) * prm::em[std::abs(m)];
      c->wm[l] = prm::wm[std::abs(m)];
      c->emax = std::max(c->emax, std::fabs(c->eta[l]));
    }

    c->nl = prm::nl;
    c->classes = Padded(c->nl + 1);
    c->logcl.assign(c->classes, inf);
    c->od.assign(c->classes, 0.0f);
    bool rising = true;
    for (int k = 0; k <= c->nl; k++) {
      c->logcl[k] = static_cast<float>(std::log(static_cast<double>(prm::cl[k])));
      c->od[k] = prm::od[k];
      if (!(std::isfinite(c->logcl[k]) && (k == 0 || c->logcl[k] >= c->logcl[k - 1])))
        rising = false;
    }
    c->pd = prm::pd;
    c->G = static_cast<float>(MthGamma(1 + 1.0 / c->pd));
    c->am = prm::am;
    c->lam = std::log(prm::am);  // exp(z) beyond am: exp(-exp(z)) is 0
    // The exponent of class k grows with k: past the first class beyond ln
    // am every class is 0.
    c->shortcuts = rising && c->pd > 0;
    // Then every exponent stays within the range of the exponential: -am
    // and above in the Gaussian; in the Weibull classes below ln am and, as
    // the class loop raises them, not below kSure.
    c->inRange = c->shortcuts && c->am > 0 && c->am <= 87;
    // z of class 0 is at least ln am when conc/G <= cl[0] am^(-1/pd); a
    // thousandth below, the rounding of z cannot matter.
    c->faint = 0;
    if (c->shortcuts && c->am > 0 && c->nl >= 0)
      c->faint = static_cast<float>(0.999 * c->G * prm::cl[0] * std::pow(c->am, -1.0 / c->pd));

    c->rootam = (c->am > 0) ? std::sqrt(2 * c->am) : 0.0f;
    c->sources.clear();
    c->cells = c->slots = 0;
    if (c->nm >= 0) {
      c->sources.resize(list.size());
      for (size_t s = 0; s < list.size(); s++) {
        const Source& q = list[s];
        CoreSource& cs = c->sources[s];
        assert(q.ni >= 0 && q.sy.size() > static_cast<size_t>(q.ni));
        cs.source = &q;
        cs.li = q.li;
        cs.ni = q.ni;
        cs.range = cs.ni * cs.li;
        cs.sy = q.sy.data();
        cs.sd = q.sd.data();
        cs.cp = q.cp.data();
        cs.wmax.assign(cs.ni + 1, 0.0f);
        bool finite = std::isfinite(c->emax) && std::isfinite(c->am);
        float widest = 0;
        for (int n = 0; n <= cs.ni; n++) {
          const float a = std::fabs(cs.sy[n]), b = std::fabs(cs.sd[n]);
          if (!std::isfinite(a) || !std::isfinite(b)) finite = false;
          widest = std::max({widest, a, b});
          cs.wmax[n] = widest;
        }
        cs.skips = finite;
        cs.xq = q.xq;
        cs.yq = q.yq;
        cs.aq = q.aq;
        cs.bq = q.bq;
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
    make(work->conc, core.lanes, 0.0f);
    make(work->hl, core.classes, 0.0f);
  } catch (const std::bad_alloc&) {
    return NoMemory("CoreWorkInit");
  }
  return 0;
}

void CoreDirection(const OdorCore& core, float d, CoreWork* work) {
  WindFrame(d, &work->s, &work->co);
  for (size_t s = 0; s < core.sources.size(); s++) {
    const CoreSource& cs = core.sources[s];
    CoreFrame& fr = work->frames[s];
    SourceFrame(*cs.source, d, work->s, work->co, &fr.cells);
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
  float* hl = work->hl.data();
  std::fill(hl, hl + core.classes, 0.0f);
  auto none = [&] {  // no core plume reaches the receptor
    *cm = 0;
    *c90 = 0;
    *p = 0;
    return 0;
  };
  if (core.nm < 0) return none();

  // Rotate into the wind frame: U downwind, V crosswind (to the left).
  const float U = x * work->co + y * work->s;
  const float V = y * work->co - x * work->s;
  // First the per-cell work, once for all core plumes, for the cells of
  // every source that reach the receptor; then the core plumes in the
  // lanes, each lane summing over the cells in their order, as CalcCon does.
  int n = 0;  // cells that reach
  for (size_t s = 0; s < core.sources.size(); s++) {
    const CoreSource& cs = core.sources[s];
    const CoreFrame& fr = work->frames[s];
    const float tiny = NearSourceLimit(x, y, cs.xq, cs.yq, cs.aq, cs.bq);
    const float xsmax = U - fr.minOu;  // largest downwind distance of a cell (m)
    if (xsmax <= tiny) continue;
    if (xsmax > cs.range) {
      work->failed = static_cast<int>(s);
      return -1;
    }
    if (cs.skips) {
      // No width within reach of the cells exceeds wmax, so no core plume
      // is wider than that or meanders farther than emax times it.
      int k = static_cast<int>(xsmax / cs.li + 1);
      if (k > cs.ni) k = cs.ni;
      const float dist = std::max({fr.minOv - V, V - fr.maxOv, 0.0f});
      const float slack = 1e-5f * (std::fabs(V) + fr.maxAbsOv);
      if (dist - slack > cs.wmax[k] * (core.emax + core.rootam) * kMargin) continue;
    }
    n = ReachingCells(core, cs, fr.cells.q, work, U, V, tiny, n);
  }
  if (n == 0) return none();

  float* conc = work->conc.data();
  const float* cdv = work->cdv.data();
  const float* csm = work->csm.data();
  const float* cden = work->cden.data();
  const float* cf = work->cf.data();
  if (core.inRange)
    AllCorePlumes<false>(core, cdv, csm, cden, cf, n, conc);
  else
    AllCorePlumes<true>(core, cdv, csm, cden, cf, n, conc);

  // Weibull exceedance of each core plume that arrived, classes in lanes:
  // P = exp(-(cl/s)^pd) = exp(-exp(z)) with z = pd (ln cl - ln s).
  const int n2 = 2 * core.nm + 1;
  const Vf vpd(core.pd), vlam(core.lam), vsure(kSure);
  float mean = 0;
  for (int l = 0; l < n2; l++) {
    const float w = core.wm[l];
    mean = mean + w * conc[l];
    // A core plume that no cell reached has conc 0; one that was reached
    // with a total of 0 has nothing to add to hl either.
    if (conc[l] == 0) continue;
    // Below this even the lowest class is beyond ln am: P is 0 throughout.
    if (conc[l] < core.faint) continue;
    // Weibull scale whose distribution has the mean conc (the plume is
    // present all the time).
    const Vf vls(std::log(conc[l] / core.G)), vw(w);
    for (int b = 0; b < core.classes; b += kW) {
      const Vf z = vpd * (Load(&core.logcl[b]) - vls);
      const auto below = z < vlam;
      if (core.shortcuts) {
        if (stdx::none_of(below)) break;  // so are all higher classes
        if (stdx::all_of(z < vsure)) {    // P is exactly 1
          Store(Load(hl + b) + vw, hl + b);
          continue;
        }
      }
      // A block can mix classes where P is exactly 1 with others (padded
      // lanes and a large pd make z fall far below the range of the
      // exponential): z is raised to kSure, where P is 1 all the same.
      Vf zz(0.0f);
      where(below, zz) = stdx::max(z, vsure);
      Vf add(0.0f);
      where(below, add) =
          vw * (core.inRange ? Exp<false>(-Exp<false>(zz)) : Exp<true>(-Exp<true>(zz)));
      Store(Load(hl + b) + add, hl + b);
    }
  }
  for (int k = 0; k <= core.nl; k++) hl[k] = std::min(hl[k], 1.0f);
  float prob = 0;
  for (int k = 0; k <= core.nl; k++) prob = prob + core.od[k] * hl[k];
  *cm = mean;
  *c90 = Percentile90(hl);
  *p = prob;
  return 0;
}
