// Odor frequency: the concentration at a receptor as a mixture over the
// core plumes of the meandering plume, each with Weibull-distributed
// fluctuations; the exceedance distribution on the concentration scale cl,
// weighed with the log-normal distribution of perception thresholds around
// gs, gives the odor probability. CalcValues adds the values of one
// dispersion situation, weighted with the sector durations, into the
// accumulators.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>

#include "msg/msg.h"
#include "mth/mth.h"
#include "odor/odor.h"
#include "odor/receptors.h"
#include "prm/params.h"

namespace {

constexpr const char* kModule = "ZIRidev";

// Checks what the loops divide by or take the logarithm of, so that a bad
// parameter is reported with its value instead of turning into NaN.
int CheckParameters() {
  auto tag = [] { return MsgTag(kModule, "CalcValues", "2"); };
  struct {
    const char* name;
    float value;
  } const positive[] = {{"pd", prm::pd}, {"ld", prm::ld}, {"gs", prm::gs}};
  for (const auto& p : positive)
    if (!(p.value > 0))
      return MSG_FAIL(tag(), "*** parameter %s=%g must be positive! (%s)\n", p.name, p.value);
  if (prm::nu <= 0)
    return MSG_FAIL(tag(), "*** parameter nu=%d must be positive! (%s)\n", prm::nu);
  // Every width of the table beyond x = 0 must be positive: a zero width
  // (for example with lv = 0) leaves the crosswind Gaussian undefined.
  for (int n = 1; n <= prm::ni; n++) {
    const float sy = prm::sy[n], sd = prm::sd[n], cp = prm::cp[n];
    if (!(sy > 0) || !std::isfinite(sy) || !std::isfinite(sd) || !std::isfinite(cp))
      return MSG_FAIL(MsgTag(kModule, "CalcValues", "3"),
                      "*** invalid plume table at x=%g m (sy=%g, sd=%g, cp=%g, lv=%g)! (%s)\n",
                      n * prm::li, sy, sd, cp, prm::lv);
  }
  return 0;
}

}  // namespace

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
  const int nl = prm::nl;
  const int nm = prm::nm;
  const float pd = prm::pd;
  const float* cl = prm::cl.f();
  const float* od = prm::od.f();
  float* hl = prm::hl.f();
  const float G = static_cast<float>(MthGamma(1 + 1.0 / pd));
  const float lam = std::log(prm::am);  // exp(z) beyond am: exp(-exp(z)) is 0

  for (int k = 0; k <= nl; k++) hl[k] = 0;
  float mean = 0;
  for (int m = -nm; m <= nm; m++) {
    const float w = prm::wm[std::abs(m)];
    float conc = 0, frac = 0;
    int r = CalcCon(m, x, y, d, &conc, &frac);
    if (MsgErr < 0)
      return MSG_FAIL(MsgTag(kModule, "CalcOdor", "1"), "*** can't calculate concentration! (%s)\n");
    mean = mean + w * conc;
    if (r >= 1) {
      if (frac < 0.4f) frac = 0.4f;
      // Weibull scale whose distribution has the mean conc/frac.
      const float s = conc / (G * frac);
      for (int k = 0; k <= nl; k++) {
        const float z = pd * std::log(cl[k] / s);
        const float P = (z < lam) ? frac * std::exp(-std::exp(z)) : 0.0f;
        hl[k] = hl[k] + w * P;
      }
    }
  }
  for (int k = 0; k <= nl; k++) hl[k] = std::min(hl[k], 1.0f);

  float prob = 0;
  for (int k = 0; k <= nl; k++) prob = prob + od[k] * hl[k];

  if (cm) *cm = mean;
  if (c90) *c90 = Percentile90(hl);
  if (p) *p = prob;
  return 0;
}

int CalcValues() {
  if (CheckParameters() < 0) return -1;
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

  // The sector width is an integer number of degrees.
  const float sector = static_cast<float>(360 / nw);
  const float sub = sector / nu;
  const float* dw = prm::dw.f();

  bool first = true;
  // Adds the values of one receptor; the accumulators are given per receptor.
  auto visit = [&](float x, float y, float* cnc, float* fro, float* frh, float* c90s) -> int {
    for (int s = 0; s < nw; s++) {
      const float phi = s * sector + prm::re;
      const float w = dw[s] / nu;  // duration of one sub-sector (h)
      if (w <= 0) continue;
      for (int u = 0; u < nu; u++) {
        // Meteorological direction (wind from) to the mathematical angle
        // of the direction into which it blows.
        const float d = 270 - ((u - (nu - 1) * 0.5f) * sub + phi);
        float cm = 0, c90 = 0, p = 0;
        CalcOdor(x, y, d, &cm, &c90, &p);
        if (MsgErr < 0)
          return MSG_FAIL(MsgTag(kModule, "CalcValues", "1"), "*** can't get odor values! (%s)\n");
        *cnc += w * cm;
        *fro += w * p;
        if (p > prm::ga) *frh += w;
        *c90s += w * c90;
        if (first) SumDur += w;
      }
    }
    first = false;
    return 0;
  };

  if (prm::nx > 0 && prm::ny > 0) {
    for (int i = 0; i < prm::nx; i++) {
      for (int j = 0; j < prm::ny; j++) {
        const float x = i * prm::dr + prm::xr;
        const float y = j * prm::dr + prm::yr;
        auto* cnc = static_cast<float*>(AryPtrX(&GrdCnc, i, j));
        auto* fro = static_cast<float*>(AryPtrX(&GrdFro, i, j));
        auto* frh = static_cast<float*>(AryPtrX(&GrdFrh, i, j));
        auto* c90 = static_cast<float*>(AryPtrX(&GrdC90, i, j));
        if (visit(x, y, cnc, fro, frh, c90) < 0) return -1;
      }
    }
  }
  assert(prm::np <= static_cast<int>(PntCnc.size()));  // the interpreter bounds np by mp
  for (int n = 0; n < prm::np; n++) {
    if (visit(prm::xp[n], prm::yp[n], &PntCnc[n], &PntFro[n], &PntFrh[n], &PntC90[n]) < 0)
      return -1;
  }
  return 0;
}
