// Boundary-layer profile: similarity profiles of wind, vertical diffusion and
// sigma-w (roughness length z0 > 0), power-law profiles (z0 < 0) and constant
// profiles (z0 = 0) on the vertical grid. Intermediate values are computed in
// double precision and rounded to float where they are stored.
#include "blm/blm.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "msg/msg.h"
#include "prm/params.h"

namespace {

constexpr double kCoriolis = 1.0e-4;   // 1/s, mid-latitudes
constexpr double kNeutralL = 99999.0;  // m, stands for an infinite L
constexpr double kDefaultHa = 10.0;    // m, anemometer height when ha <= 0

MsgTag Tag(const char* site) { return MsgTag(BlmModule, "BlmProfile", site); }

bool IsSet(const char* name) { return PrmIsSet(name) != 0; }

}  // namespace

float BlmUx(float z, float z0, float lm) {
  if (z <= 0 || z0 <= 0) return 0;
  const double zz = z, r = z0, el = lm;
  double f;
  if (el == 0) {
    f = std::log(1 + zz / r);
  } else if (el < 0) {
    // Unstable: integrated Businger-Dyer form with the fixed constant 15.
    const double phi = std::pow(1 - 15 * (zz + r) / el, 0.25);
    const double phi0 = std::pow(1 - 15 * r / el, 0.25);
    f = std::log((1 + phi0) * (phi - 1) / ((phi0 - 1) * (1 + phi))) +
        2 * (std::atan(phi) - std::atan(phi0));
  } else {
    // Stable: three pieces that join continuously at zeta = 0.5 and 10.
    const double zeta = (zz + r) / el, zeta0 = r / el;
    if (zeta < 0.5)
      f = std::log(1 + zz / r) + 5 * (zeta - zeta0);
    else if (zeta < 10)
      f = 8 * std::log(2 * zeta) + 4.25 / zeta - 1 / (2 * zeta * zeta) - std::log(2 * zeta0) -
          5 * zeta0 - 4;
    else
      f = 0.7585 * zeta + 8 * std::log(20.0) - 11.165 - std::log(2 * zeta0) - 5 * zeta0;
  }
  return static_cast<float>(f / prm::kk);
}

float BlmKz(float z, float /*z0*/, float lm, float hm) {
  if (z <= 0) return 0;
  const double zz = z;
  const double a = (hm > 0) ? zz / hm : 0;
  const double b = (lm != 0) ? zz / lm : 0;
  const double e = std::exp(-1.8 * a);
  double f;
  if (lm > 0) {
    f = e / (1 + prm::ps * b);
  } else {
    const double q = 1 - a;
    const double q2 = (q >= 0) ? q * q : 0;
    f = std::cbrt(e * e * e + q2 * q2 * q2 * (120 * b * b - 3 * prm::ps * b));
  }
  return static_cast<float>(prm::kk * zz / prm::pn * f);
}

float BlmSw(float z, float /*z0*/, float lm, float hm) {
  if (z <= 0) return 1.3f;
  const double zz = z;
  const double a = (hm > 0) ? zz / hm : 0;
  const double b = (lm != 0) ? zz / lm : 0;
  const double e = std::exp(-0.6 * a);
  if (lm > 0) return static_cast<float>(1.3 * e);
  return static_cast<float>(1.3 * std::cbrt(e * e * e - 2.1 * b * std::exp(-3 * a)));
}

namespace {

// A grid and the profiles to compute on it: the parameter vectors, or the
// work storage of a refined grid. quiet: no information lines, and vv and
// lv stay as they are (they belong to the grid of the parameters).
struct Target {
  const float* zk;
  float *ux, *kz, *ww;
  int nz;
  bool doUx, doKz, doWw;
  bool quiet;
};

int ComputeOn(const Target& t);

// The profiles for the current parameters (the three families of z0).
int ComputeProfile() {
  const bool doKz = !IsSet("kz");
  const bool doWw = !IsSet("ww");
  const bool doUx = !IsSet("ux");
  const int nz = prm::nz;
  // The profile vectors are allocated with nz+1 elements after the dimension
  // section; a later change of nz must not make us write past them.
  if (nz < 1 || prm::zk.count < nz + 1 || prm::ux.count < nz + 1 || prm::kz.count < nz + 1 ||
      prm::ww.count < nz + 1)
    return MSG_FAIL(Tag("1"), "*** invalid number of vertical intervals (nz=%d)! (%s)\n", nz);
  float* zk = prm::zk.f();
  float* ux = prm::ux.f();
  float* kz = prm::kz.f();
  float* ww = prm::ww.f();

  if (zk[1] > 0) {
    // A given grid must have cells of positive height, or the solver divides by zero.
    for (int i = 1; i <= nz; i++)
      if (!(zk[i] > zk[i - 1]))
        return MSG_FAIL(Tag("3"), "*** vertical grid not increasing (zk[%d]=%g, zk[%d]=%g)! (%s)\n",
                        i - 1, zk[i - 1], i, zk[i]);
  } else {
    if (prm::dz <= 0) return MSG_FAIL(Tag("2"), "*** undefined vertical grid! (%s)\n");
    for (int i = 0; i <= nz; i++) zk[i] = static_cast<float>(i * static_cast<double>(prm::dz));
  }
  return ComputeOn({zk, ux, kz, ww, nz, doUx, doKz, doWw, false});
}

int ComputeOn(const Target& t) {
  const float* zk = t.zk;
  float* ux = t.ux;
  float* kz = t.kz;
  float* ww = t.ww;
  const int nz = t.nz;
  const bool doUx = t.doUx, doKz = t.doKz, doWw = t.doWw;
  const float z0 = prm::z0;
  if (z0 == 0) {
    // Constant profiles, for tests against exact solutions.
    const float k = static_cast<float>(static_cast<double>(prm::kk) * prm::us * prm::ha);
    for (int i = 0; i <= nz; i++) {
      if (doUx) ux[i] = prm::ua;
      if (doKz) kz[i] = k;
      if (doWw) ww[i] = prm::sw;
    }
    return 0;
  }
  if (z0 < 0) {
    // Power-law wind, linear diffusion coefficient; the exponent is -z0.
    const double m = std::min(-static_cast<double>(z0), 1.0);
    const double ha = (prm::ha > 0) ? prm::ha : kDefaultHa;
    for (int i = 0; i <= nz; i++) {
      if (doUx) ux[i] = static_cast<float>(prm::ua * std::pow(zk[i] / ha, m));
      if (doKz) kz[i] = static_cast<float>(static_cast<double>(prm::kk) * prm::us * zk[i]);
      if (doWw) ww[i] = 0;
    }
    return 0;
  }

  // Similarity profiles.
  const double ua = std::max(prm::ua, 0.5f);                                  // m/s
  const float ha = (prm::ha > 0) ? prm::ha : static_cast<float>(kDefaultHa);  // m
  double us = prm::us;                                                        // m/s
  if (us <= 0) {
    const float f = BlmUx(ha, z0, prm::lm);
    // A very stable L (z0/L of order 1) can make the wind profile useless at
    // the anemometer height; refuse it rather than divide by it.
    if (!(f > 0))
      return MSG_FAIL(Tag("4"), "*** invalid wind profile at anemometer height (u/u*=%g)! (%s)\n",
                      f);
    us = ua / f;
    if (MsgVerbose >= 2 && !t.quiet) MsgOut("calculated u* = %1.3f\n", us);
  }
  const double el = (prm::lm == 0) ? kNeutralL : prm::lm;  // m
  double hm = prm::hm;                                     // m
  if (hm <= 0) {
    if (el > 0) {
      hm = 0.3 * us / kCoriolis;
      if (us / kCoriolis > el) hm *= std::sqrt(kCoriolis * el / us);
    } else {
      hm = (std::sqrt(1.5 / z0) * el < -200) ? 800 : 1100;
    }
  }
  if (MsgVerbose >= 3 && !t.quiet) MsgOut("Lm=%7.1f  Hm=%6.1f  Ua=%4.1f\n", el, hm, ua);

  const float elf = static_cast<float>(el), hmf = static_cast<float>(hm);
  // The turbulence profiles scale so that sigma-w at the anemometer height
  // equals a given sw; the wind profile always scales with u*.
  double s = us;
  if (IsSet("sw")) s = prm::sw / static_cast<double>(BlmSw(ha, z0, elf, hmf));
  for (int i = 0; i <= nz; i++) {
    const float z = zk[i];
    if (doKz) kz[i] = static_cast<float>(s * BlmKz(z, z0, elf, hmf));
    if (doWw) ww[i] = static_cast<float>(s * BlmSw(z, z0, elf, hmf));
    if (doUx) ux[i] = static_cast<float>(us * BlmUx(z, z0, elf));
  }

  if (t.quiet) return 0;
  const double avg = (prm::tm > 0) ? std::pow(prm::tm / 3600.0, 0.2) : 1.0;
  if (prm::sv > 0) {
    prm::vv = prm::sv;
  } else {
    const double b = (el < 0) ? 1 - 0.064 * hm / el : 1.0;
    prm::vv = static_cast<float>(2 * us * avg * std::cbrt(b));
  }
  if (!IsSet("lv")) prm::lv = static_cast<float>(0.1 * prm::fv * avg * avg * hm);
  return 0;
}

// The solver needs finite profiles, and a negative diffusion coefficient,
// wind or sigma-w (from a negative us or sw, or extreme internal constants)
// would make it create mass or divide by zero.
int CheckProfile() {
  const struct {
    const char* name;
    const PrmVec& v;
  } profiles[] = {{"zk", prm::zk}, {"ux", prm::ux}, {"kz", prm::kz}, {"ww", prm::ww}};
  for (const auto& p : profiles)
    for (int i = 0; i <= prm::nz; i++)
      if (!std::isfinite(p.v[i]) || (&p.v != &prm::zk && p.v[i] < 0))
        return MSG_FAIL(Tag("7"), "*** invalid profile value %s[%d]=%g! (%s)\n", p.name, i, p.v[i]);
  return 0;
}

}  // namespace

int BlmProfile() {
  // ua from 0 to 0.5 m/s is raised by the run, a negative one is a mistake.
  if (prm::ua < 0) return PrmInvalid(Tag("5"), "ua", prm::ua, "0 or more");
  if (prm::sw < 0) return PrmInvalid(Tag("6"), "sw", prm::sw, "0 or more");
  if (ComputeProfile() < 0) return -1;
  return CheckProfile();
}

int BlmPrintProfile() {
  std::FILE* f = MsgLog;
  if (!f) return 0;
  // Never read past the vectors, even if nz was changed after they were allocated.
  const int nz = std::min(
      {prm::nz, prm::zk.count - 1, prm::ux.count - 1, prm::kz.count - 1, prm::ww.count - 1});
  std::fprintf(f, "\nVertikal-Profile Meteorologie\n");
  std::fprintf(f, "       Z      Ux      Kz      Sw\n");
  for (int i = 0; i <= nz; i++)
    std::fprintf(f, " %7.2f %7.2f %7.2f %7.3f\n", prm::zk[i], prm::ux[i], prm::kz[i], prm::ww[i]);
  std::fprintf(f, "\n");
  return 0;
}

int BlmRefine(BlmGrid* g) {
  const int nz = prm::nz;
  const int fz = 2 * nz;
  try {
    g->zk.assign(fz + 1, 0.0f);
    g->ux.assign(fz + 1, 0.0f);
    g->kz.assign(fz + 1, 0.0f);
    g->ww.assign(fz + 1, 0.0f);
  } catch (const std::bad_alloc&) {
    return 1;
  }
  g->nz = fz;
  const float* zk = prm::zk.f();
  for (int i = 0; i < nz; i++) {
    g->zk[2 * i] = zk[i];
    g->zk[2 * i + 1] = 0.5f * (zk[i] + zk[i + 1]);
  }
  g->zk[fz] = zk[nz];
  // A profile given in the command file has values at its own levels only:
  // the new levels between them take the linear mean of their neighbours.
  const struct {
    const char* name;
    const PrmVec& v;
    std::vector<float>& to;
  } given[] = {{"ux", prm::ux, g->ux}, {"kz", prm::kz, g->kz}, {"ww", prm::ww, g->ww}};
  for (const auto& p : given) {
    if (!IsSet(p.name)) continue;
    for (int i = 0; i < nz; i++) {
      p.to[2 * i] = p.v[i];
      p.to[2 * i + 1] = 0.5f * (p.v[i] + p.v[i + 1]);
    }
    p.to[fz] = p.v[nz];
  }
  // The same parameters passed on the grid of the run, so this cannot fail.
  const int rc = ComputeOn({g->zk.data(), g->ux.data(), g->kz.data(), g->ww.data(), fz,
                            !IsSet("ux"), !IsSet("kz"), !IsSet("ww"), true});
  return rc < 0 ? 1 : 0;
}
