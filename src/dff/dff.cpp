// Plume function solver. Cell i (1..nz) of the vertical grid is the layer
// zk[i-1]..zk[i]; c[i] is its mean crosswind-integrated concentration of a
// unit source (s/m2). Each downwind step solves one tridiagonal system of the
// weighted (theta) scheme; neither the ground (apart from deposition) nor the
// top of the grid lets mass out, so the flux sum(u*h*c) is conserved.
#include "dff/dff.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "msg/msg.h"
#include "prm/params.h"

namespace {

struct FreeFloats {
  void operator()(float* p) const { std::free(p); }
};
using FloatArray = std::unique_ptr<float[], FreeFloats>;

// Work arrays of the DffPlume running in this thread (index 1..nz used),
// null otherwise.
struct Work {
  DffGrid grid{};  // levels and profiles of the march
  float* diag = nullptr;
  float* upper = nullptr;
  float* lower = nullptr;
  float* rhs = nullptr;
  float* c = nullptr;     // current concentration
  float* cnew = nullptr;  // concentration after the step
  float* keff = nullptr;  // effective diffusion coefficient (m2/s)
  int nz = 0;
  float alpha = 0;  // explicit weight
  float theta = 1;  // implicit weight
  float vdep = 0;   // m/s, ground deposition velocity of this call
};
thread_local Work W;

float Vdep = 0;  // m/s, ground deposition velocity; kept from call to call

// The grid of a call of DffPlumeOnGrid in this thread; null: the grid and
// profiles of the parameter table.
thread_local const DffGrid* OtherGrid = nullptr;

DffGrid GridInUse() {
  if (OtherGrid) return *OtherGrid;
  return {prm::zk.f(), prm::ux.f(), prm::kz.f(), prm::ww.f(), prm::nz};
}

bool IsSet(const char* name) { return PrmIsSet(name) != 0; }

// Set for a call of DffPlumeQuiet in this thread: where the solver would
// write a message it fails at once without one, and the kept deposition
// velocity stays as it is.
thread_local bool Quiet = false;

// Fails as MSG_FAIL does, or, in a quiet call, without a word.
#define DFF_FAIL(tag, ...) (Quiet ? -1 : MSG_FAIL(tag, __VA_ARGS__))

// The ground deposition velocity (m/s) of a call: from vd or ad when one
// was given (w0 the horizontal turbulence at the ground, m/s), else the one
// kept from earlier calls.
float Deposition(float w0) {
  if (IsSet("vd")) return prm::vd;
  if (IsSet("ad")) return prm::ad * (IsSet("us") ? prm::us : w0 / 1.3f);
  return Vdep;
}

// Writes " %10.3e" for the cells 1, 1+mz, 1+2*mz, ... of c.
void PrintCells(std::FILE* f, const float* c, int nz, int mz) {
  for (int i = 1; i <= nz; i += mz) std::fprintf(f, " %10.3e", c[i]);
}

}  // namespace

double DffMaxLevelSteps = 1e9;

int SlvTri(int n, float* l, float* b, float* u, float* d, float* x) {
  if (n < 1) return 0;
  for (int i = 2; i <= n; i++) {
    if (b[i - 1] == 0)
      return DFF_FAIL(MsgTag(DffModule, "SlvTri", "1"), "*** zero diagonal element (i=%d)! (%s)\n",
                      i - 1);
    const float m = l[i] / b[i - 1];
    b[i] -= m * u[i - 1];
    d[i] -= m * d[i - 1];
  }
  if (b[n] == 0)
    return DFF_FAIL(MsgTag(DffModule, "SlvTri", "2"), "*** zero diagonal element (i=%d)! (%s)\n",
                    n);
  x[n] = -d[n] / b[n];
  for (int i = n - 1; i >= 1; i--) x[i] = -(u[i] * x[i + 1] + d[i]) / b[i];
  return 0;
}

int Step(float x, float dx) {
  assert(W.c && dx > 0);
  const int nz = W.nz;
  const float* zk = W.grid.zk;
  const float* ux = W.grid.ux;
  const float* kz = W.grid.kz;
  const float* ww = W.grid.ww;
  const float tw = prm::tw;
  const float al = W.alpha, th = W.theta;
  float* c = W.c;

  // The vertical diffusion grows with the travel time x/u of the level
  // towards its far-field value kz (Taylor). A level without wind has an
  // unbounded travel time: there x/u would be inf or NaN.
  for (int i = 1; i <= nz; i++) {
    float t = tw;  // s, Lagrangian correlation time
    if (tw < 0) t = (ww[i] > 0) ? kz[i] / (ww[i] * ww[i]) : 0;
    W.keff[i] = (t > 0 && ux[i] > 0) ? kz[i] * (1 - std::exp(-(x / ux[i]) / t)) : kz[i];
  }

  float rBelow = 0;  // exchange coefficient of the interface below cell i (P_i)
  for (int i = 1; i <= nz; i++) {
    const float h = zk[i] - zk[i - 1];
    const float a = 0.5f * (ux[i - 1] + ux[i]) * h / dx;  // storage
    const float r = (i < nz) ? W.keff[i] / (0.5f * (zk[i + 1] - zk[i - 1])) : 0;
    const float p = rBelow;
    const float s = p + r + ((i == 1) ? W.vdep : 0);
    W.diag[i] = th * s + a;
    W.lower[i] = -th * p;
    W.upper[i] = -th * r;
    float d = (al * s - a) * c[i];
    if (i > 1) d -= al * p * c[i - 1];
    if (i < nz) d -= al * r * c[i + 1];
    W.rhs[i] = d;
    rBelow = r;
  }
  if (SlvTri(nz, W.lower, W.diag, W.upper, W.rhs, W.cnew) < 0)
    return DFF_FAIL(MsgTag(DffModule, "Step", "1"), "*** singular matrix! (%s)\n");
  return 0;
}

void DffShift(float* c, float* work, int nz, float dz) {
  const DffGrid grid = GridInUse();
  const float* zk = grid.zk;
  const float* ux = grid.ux;
  // G(z): the flux below z, linear within each cell; the new cell j holds
  // G(zk[j] - dz) - G(zk[j-1] - dz), which telescopes to the whole flux.
  int i = 1;          // cell of the point looked up; the points only rise
  double below = 0;   // flux of the cells under cell i
  auto flux = [&](double z) {
    if (z <= zk[0]) return 0.0;
    while (i < nz && z >= zk[i]) {
      below += 0.5 * (ux[i - 1] + ux[i]) * static_cast<double>(zk[i] - zk[i - 1]) * c[i];
      i++;
    }
    const double part = std::min(z, static_cast<double>(zk[i])) - zk[i - 1];
    return below + 0.5 * (ux[i - 1] + ux[i]) * part * c[i];
  };
  double total = 0;
  for (int k = 1; k <= nz; k++)
    total += 0.5 * (ux[k - 1] + ux[k]) * static_cast<double>(zk[k] - zk[k - 1]) * c[k];
  double lower = flux(zk[0] - dz);
  for (int j = 1; j <= nz; j++) {
    const double upper = (j < nz) ? flux(zk[j] - dz) : total;
    const double u = 0.5 * (ux[j - 1] + ux[j]);
    work[j] = (u > 0) ? static_cast<float>((upper - lower) / (u * (zk[j] - zk[j - 1]))) : 0.0f;
    lower = upper;
  }
  std::copy(work + 1, work + nz + 1, c + 1);
}

int DffPlume(const float* cx, float* cg, float* cp, float* ca, float* sy, float* sd, float* ci,
             float hq, float cq, int ni, const float* rise) {
  const DffGrid grid = GridInUse();
  const int nz = grid.nz;
  assert(ni >= 0 && nz >= 1);
  assert(OtherGrid ||
         (prm::zk.count > nz && prm::ux.count > nz && prm::kz.count > nz && prm::ww.count > nz));
  const float* zk = grid.zk;
  const float* ux = grid.ux;
  const float* kz = grid.kz;
  auto tag = [](const char* site) { return MsgTag(DffModule, "DffPlume", site); };

  // Horizontal fluctuations of the total plume (sv) and of the core plume (sc).
  const float sv = prm::vv;                               // m/s
  const float w0 = (prm::sw > 0) ? prm::sw : prm::ww[0];  // m/s
  const float sc = IsSet("mf") ? sv / std::sqrt(1 + prm::mf * prm::mf) : std::min(w0 / 1.3f, sv);

  // Deposition takes mass out at the ground; a negative velocity would
  // create it.
  if (IsSet("vd") && prm::vd < 0)
    return Quiet ? -1 : PrmInvalid(tag("10"), "vd", prm::vd, "0 or more");
  if (IsSet("ad") && prm::ad < 0)
    return Quiet ? -1 : PrmInvalid(tag("11"), "ad", prm::ad, "0 or more");
  const float vdep = Deposition(w0);
  if (!Quiet) Vdep = vdep;

  FloatArray arrays[7];
  for (int k = 0; k < 7; k++) {
    arrays[k].reset(static_cast<float*>(std::calloc(nz + 1, sizeof(float))));
    if (!arrays[k]) {
      const char sites[7][2] = {"1", "2", "3", "4", "5", "6", "7"};
      return DFF_FAIL(tag(sites[k]), "*** undefined parameter! (%s)\n");
    }
  }
  // The arrays are released on every return; Step must not see them afterwards.
  struct Release {
    ~Release() { W = Work{}; }
  } release;
  W.diag = arrays[0].get();
  W.upper = arrays[1].get();
  W.lower = arrays[2].get();
  W.rhs = arrays[3].get();
  W.c = arrays[4].get();
  W.cnew = arrays[5].get();
  W.keff = arrays[6].get();
  W.grid = grid;
  W.nz = nz;
  W.alpha = (prm::al >= 0 && prm::al <= 1) ? prm::al : 0.5f;
  W.theta = 1 - W.alpha;
  W.vdep = vdep;

  // Longest step for which the explicit part stays stable.
  float xcrit = cx[ni] - cx[0];  // m
  for (int i = 1; i <= nz; i++) {
    const float h = zk[i] - zk[i - 1];
    if (kz[i] > 0) xcrit = std::min(xcrit, h * h * ux[i] / kz[i]);
  }
  if (xcrit <= 0) {
    if (Quiet) return -1;
    W.alpha = 0;
    W.theta = 1;
    MsgOut("--- changed to fully implicit!\n");
  }
  // Sub-steps of an interval of length dx: with an explicit part none is
  // longer than xcrit. The whole march is counted before it starts.
  auto subSteps = [&](float dx) {
    return (W.alpha != 0) ? 1 + std::floor(static_cast<double>(dx) / xcrit) : 1.0;
  };
  double steps = 0;
  for (int n = 1; n <= ni; n++) steps += subSteps(cx[n] - cx[n - 1]);
  if (!(steps * nz <= DffMaxLevelSteps))
    return DFF_FAIL(tag("12"),
                    "*** plume functions need %.3g steps of %d levels (ni=%d, al=%g, critical "
                    "step %.3g m), at most %.3g level steps! (%s)\n",
                    steps, nz, ni, W.alpha, xcrit, DffMaxLevelSteps);

  // Source layer. A source without vertical extent is spread over its cell,
  // centred on hq; near the ground that layer is moved up to start at the
  // ground, so that the whole emission enters the grid.
  float cqe = (cq > 0) ? cq : 0;  // m
  int kq = nz;                    // source cell
  for (int i = 1; i <= nz; i++)
    if (zk[i] > hq + cqe / 2) {
      kq = i;
      break;
    }
  float hqe = hq;  // m, lower edge of the source layer
  if (cqe == 0) {
    cqe = zk[kq] - zk[kq - 1];
    hqe = std::max(hq - cqe / 2, 0.0f);
  }

  // Receptor value: linear between the centres of the cells around zp.
  int kp = nz;
  for (int i = 1; i <= nz; i++)
    if ((zk[i - 1] + zk[i]) / 2 > prm::zp) {
      kp = i;
      break;
    }
  float wUp = 0;
  if (kp > 1)
    wUp = 2 * (prm::zp - (zk[kp - 2] + zk[kp - 1]) / 2) / (zk[kp] - zk[kp - 2]);
  else
    kp = 1;
  const float wLo = 1 - wUp;
  const int kpLo = std::max(kp - 1, 1);
  auto receptor = [&](const float* c) { return wLo * c[kpLo] + wUp * c[kp]; };

  // Initial profile at cx[0].
  float* c = W.c;
  double sumF = 0, sumFu = 0;
  const float top = hqe + cqe;
  for (int i = 1; i <= nz; i++) {
    if (hqe >= zk[i]) continue;
    const float lo = std::max(zk[i - 1], hqe), hi = std::min(zk[i], top);
    if (hi > lo) {
      const float f = (hi - lo) / cqe;
      const float u = 0.5f * (ux[i - 1] + ux[i]);
      if (!(u > 0))
        return DFF_FAIL(tag("9"), "*** wind speed not positive in source cell %d (u=%g)! (%s)\n", i,
                        u);
      c[i] = f / ((zk[i] - zk[i - 1]) * u);
      sumF += f;
      sumFu += static_cast<double>(f) * u;
    }
    if (top < zk[i]) break;
  }
  const double uq = (sumF > 0) ? sumFu / sumF : 1.0;  // m/s, source wind

  std::FILE* log = MsgLog;
  const bool listing = log && prm::mx >= 1 && prm::mx <= ni && !OtherGrid;
  if (listing && Quiet) return -1;
  const int mz = (prm::mz > 0) ? prm::mz : 1;
  if (listing) {
    std::fprintf(log, "Vertikal-Profil von Konzentration/Eq\n");
    std::fprintf(log, "  x\\z  :");
    for (int i = 1; i <= nz; i += mz) std::fprintf(log, " %10.2f", (zk[i - 1] + zk[i]) / 2);
    std::fprintf(log, "\n %6.0f:", cx[0]);
    PrintCells(log, c, nz, mz);
    std::fprintf(log, " | %10.3e : %5.1f  %6.2f\n", sumF, 0.0, uq);
  }

  sy[0] = sd[0] = 0;
  cg[0] = c[1];
  cp[0] = receptor(c);
  ca[0] = c[kq];
  ci[0] = static_cast<float>(sumF);

  double uPrev = uq;          // m/s, plume wind at the end of the last interval
  double t = 0;               // s, travel time
  double sy2 = 0, sd2 = 0;    // m2
  const double lv = prm::lv;  // m
  for (int n = 1; n <= ni; n++) {
    const float dx = cx[n] - cx[n - 1];
    const int m = static_cast<int>(subSteps(dx));  // bounded by the limit above
    const float d = dx / m;
    for (int j = 0; j < m; j++) {
      // A step of nz levels takes microseconds; a signal is seen at once.
      if (MsgSignal.load(std::memory_order_relaxed)) return -1;
      if (Step(cx[n - 1] + (j + 0.5f) * d, d) < 0)
        return DFF_FAIL(tag("8"), "*** error in x-step (n=%d)! (%s)\n", n);
      std::copy(W.cnew + 1, W.cnew + nz + 1, c + 1);
    }
    if (rise && rise[n] > rise[n - 1]) DffShift(c, W.cnew, nz, rise[n] - rise[n - 1]);

    double flux = 0, mass = 0;
    for (int i = 1; i <= nz; i++) {
      const double hc = static_cast<double>(zk[i] - zk[i - 1]) * c[i];
      flux += 0.5f * (ux[i - 1] + ux[i]) * hc;
      mass += hc;
    }
    const double u = (mass > 0) ? flux / mass : prm::ua;
    const double ubar = (uPrev + u) / 2;
    const double dt = (ubar > 0) ? dx / ubar : 0;  // s
    const double tl = (sv > 0) ? lv * ubar / (static_cast<double>(sv) * sv) : 0;
    const double tc = (sc > 0) ? lv * ubar / (static_cast<double>(sc) * sc) : 0;
    sy2 += 2 * dx * lv * ((tl > 0) ? 1 - std::exp(-(t + dt / 2) / tl) : 1);
    sd2 += 2 * dx * lv * ((tc > 0) ? 1 - std::exp(-(t + dt / 2) / tc) : 1);
    t += dt;
    uPrev = u;

    sy[n] = static_cast<float>(std::sqrt(sy2));
    sd[n] = static_cast<float>(std::sqrt(sd2));
    cg[n] = c[1];
    cp[n] = receptor(c);
    ca[n] = c[kq];
    ci[n] = static_cast<float>(flux);
    if (listing && n % prm::mx == 0) {
      std::fprintf(log, " %6.0f:", cx[n]);
      PrintCells(log, c, nz, mz);
      std::fprintf(log, " | %10.3e : %5.1f  %6.2f\n", flux, t, u);
    }
  }
  return 0;
}

int DffPlumeQuiet(const float* cx, float* cg, float* cp, float* ca, float* sy, float* sd, float* ci,
                  float hq, float cq, int ni, const float* rise) {
  struct QuietCall {
    QuietCall() { Quiet = true; }
    ~QuietCall() { Quiet = false; }
  } quiet;
  return DffPlume(cx, cg, cp, ca, sy, sd, ci, hq, cq, ni, rise) < 0 ? 1 : 0;
}

void DffKeepDeposition() { Vdep = Deposition((prm::sw > 0) ? prm::sw : prm::ww[0]); }

int DffPlumeOnGrid(const DffGrid& grid, const float* cx, float* cg, float* cp, float* ca, float* sy,
                   float* sd, float* ci, float hq, float cq, int ni, const float* rise) {
  struct OnGrid {
    explicit OnGrid(const DffGrid& g) { OtherGrid = &g; }
    ~OnGrid() { OtherGrid = nullptr; }
  } on(grid);
  return DffPlumeQuiet(cx, cg, cp, ca, sy, sd, ci, hq, cq, ni, rise);
}
