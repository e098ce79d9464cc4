// The straightforward odor computation, kept as the slow reference of the
// fast core: the concentration of one core plume summed cell by cell, the
// Weibull exceedance class by class, every receptor, sector and sub-sector
// in turn, in plain loops with the library's exp and log.
// It reads the same parameters and plume table as CalcValues and returns
// its sums instead of adding them to the accumulators.
#pragma once

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "mth/mth.h"
#include "odor/odor.h"
#include "prm/params.h"

namespace ref {

constexpr float kPi = 3.14159265f;
constexpr float kInvSqrt2Pi = 0.39894229f;

inline int CellCount(float a, float lq) {
  float r = a / lq + 1;
  int n = static_cast<int>(r);
  if (n > 1 && n * lq >= lq + a) n--;
  return n;
}

// Concentration of core plume m at (x, y) for the direction d; 1 if a cell
// contributed, 0 if none did, -1 beyond the plume table.
inline int Con(int m, float x, float y, float d, float* conc) {
  const float* sy = prm::sy.f();
  const float* sd = prm::sd.f();
  const float* cp = prm::cp.f();
  const float li = prm::li, am = prm::am;
  const int ni = prm::ni, nm = prm::nm;
  const float a = d * kPi / 180;
  const float s = std::sin(a), co = std::cos(a);
  const float U = x * co + y * s;
  const float V = y * co - x * s;
  float Uq = prm::xq * co + prm::yq * s;
  float Vq = prm::yq * co - prm::xq * s;
  int na = 1, nb = 1;
  float Dau = 0, Dav = 0, Dbu = 0, Dbv = 0;
  if (prm::aq > 0 || prm::bq > 0) {
    na = CellCount(prm::aq, prm::lq);
    nb = CellCount(prm::bq, prm::lq);
    const float b = (prm::rq - d) * kPi / 180;
    const float da = prm::aq / na, db = prm::bq / nb;
    Dau = da * std::cos(b);
    Dav = da * std::sin(b);
    Dbu = -db * std::sin(b);
    Dbv = db * std::cos(b);
    Uq = Uq + (Dau + Dbu) * 0.5f;
    Vq = Vq + (Dav + Dbv) * 0.5f;
  }
  const float q = prm::eq * kInvSqrt2Pi / (na * nb);
  const float tiny = 4 * FLT_EPSILON *
                     (std::fabs(x) + std::fabs(y) + std::fabs(prm::xq) + std::fabs(prm::yq) +
                      std::max(prm::aq, 0.0f) + std::max(prm::bq, 0.0f));
  const float eta = (m > 0 ? 1.0f : -1.0f) * prm::em[std::abs(m)];
  float sum = 0;
  bool contributed = false;
  for (int ia = 0; ia < na; ia++) {
    for (int ib = 0; ib < nb; ib++) {
      const float xs = U - (ia * Dau + Uq + ib * Dbu);
      if (xs <= tiny) continue;
      if (xs > ni * li) return -1;
      int k = static_cast<int>(xs / li + 1);
      if (k > ni) k = ni;
      const float t = (k * li - xs) / li;
      const float u = 1 - t;
      const float Sy = t * sy[k - 1] + u * sy[k];
      const float Sd = (nm != 0) ? t * sd[k - 1] + u * sd[k] : Sy;
      const float sc = (Sd >= 0.3 * Sy) ? Sd : static_cast<float>(0.3 * Sy);
      if (!(sc > 0)) continue;
      const float sm = (Sy > sc) ? std::sqrt(Sy * Sy - sc * sc) : 0.0f;
      const float dv = V - (ia * Dav + Vq + ib * Dbv) - sm * eta;
      const float e = dv * dv / (sc * 2 * sc);
      if (e > am) continue;
      sum = sum + std::exp(-e) * q / sc * (t * cp[k - 1] + u * cp[k]);
      contributed = true;
    }
  }
  *conc = sum;
  return contributed ? 1 : 0;
}

// Odor values at (x, y) for the direction d with the perception density od;
// hl receives the exceedance distribution. 0, or -1 beyond the plume table.
inline int Odor(float x, float y, float d, const std::vector<float>& od, std::vector<float>& hl,
                float* cm, float* c90, float* p) {
  const int nl = prm::nl, nm = prm::nm;
  const float pd = prm::pd;
  const float G = static_cast<float>(MthGamma(1 + 1.0 / pd));
  const float lam = std::log(prm::am);
  hl.assign(nl + 1, 0.0f);
  float mean = 0;
  for (int m = -nm; m <= nm; m++) {
    const float w = prm::wm[std::abs(m)];
    float conc = 0, frac = 1;
    const int r = Con(m, x, y, d, &conc);
    if (r < 0) {
      hl.assign(nl + 1, 0.0f);
      return -1;
    }
    mean = mean + w * conc;
    if (r >= 1) {
      const float s = conc / (G * frac);
      for (int k = 0; k <= nl; k++) {
        const float z = pd * std::log(prm::cl[k] / s);
        const float P = (z < lam) ? frac * std::exp(-std::exp(z)) : 0.0f;
        hl[k] = hl[k] + w * P;
      }
    }
  }
  float prob = 0;
  for (int k = 0; k <= nl; k++) {
    hl[k] = std::min(hl[k], 1.0f);
    prob = prob + od[k] * hl[k];
  }
  *cm = mean;
  *c90 = Percentile90(hl.data());
  *p = prob;
  return 0;
}

// The sums of one dispersion situation, per receptor in the receptor order
// (grid nodes i-major, then points), started from start (4 values per
// receptor: cnc, fro, frh, c90).
struct Sums {
  std::vector<float> acc;  // 4 per receptor
  double dur = 0;          // durations counted with the first receptor (h)
  std::vector<float> hl;   // hl after the last call
  int failed = -1;         // first receptor beyond the plume table, or -1
};

inline Sums Values(const std::vector<float>& start) {
  const int nl = prm::nl, ll = prm::ll, nu = prm::nu, nw = prm::nw;
  const float L = std::log(10.0f) / prm::nc;
  std::vector<float> od(nl + 1);
  const float lngs = std::log(prm::gs);
  float S = 0;
  for (int k = 0; k <= nl; k++) {
    const float z = ((ll + k) * L - lngs) / prm::ld;
    const float e = z * 0.5f * z;
    od[k] = (e < prm::am) ? std::exp(-e) : 0.0f;
    S += od[k];
  }
  for (int k = 0; k <= nl; k++) od[k] /= S;
  const float sector = static_cast<float>(360 / nw);
  const float sub = sector / nu;
  Sums out;
  out.acc = start;
  out.hl.assign(nl + 1, 0.0f);
  const int nodes = (prm::nx > 0 && prm::ny > 0) ? prm::nx * prm::ny : 0;
  const int receptors = nodes + prm::np;
  for (int r = 0; r < receptors; r++) {
    float x, y;
    if (r < nodes) {
      x = (r / prm::ny) * prm::dr + prm::xr;
      y = (r % prm::ny) * prm::dr + prm::yr;
    } else {
      x = prm::xp[r - nodes];
      y = prm::yp[r - nodes];
    }
    float* a = &out.acc[4 * r];
    for (int s = 0; s < nw; s++) {
      const float phi = s * sector + prm::re;
      const float w = prm::dw[s] / nu;
      if (w <= 0) continue;
      for (int u = 0; u < nu; u++) {
        const float d = 270 - ((u - (nu - 1) * 0.5f) * sub + phi);
        float cm, c90, p;
        if (Odor(x, y, d, od, out.hl, &cm, &c90, &p) < 0) {
          out.failed = r;
          return out;
        }
        a[0] += w * cm;
        a[1] += w * p;
        if (p > prm::ga) a[2] += w;
        a[3] += w * c90;
        if (r == 0) out.dur += w;
      }
    }
  }
  return out;
}

}  // namespace ref
