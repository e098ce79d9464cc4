// Stacks on buildings: building class, wake line source and plume rise of
// the sources that ask for them.
#include "odor/stacks.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>

#include "msg/msg.h"
#include "prm/params.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kZeroC = 273.15;  // K
constexpr double kAmbient = 10;    // degrees C: the guideline's reference, Briggs' ambient air
constexpr double kG = 9.81;        // m/s2

bool Reported = false;  // the classes of the current list are in the log

const char* KindName(int kind) {
  return kind == StkWake ? "wake" : kind == StkBetween ? "between" : "free";
}

// Buoyancy flux (m4/s3) and momentum flux (m4/s2) of the exhaust, ambient
// air at kAmbient.
void Fluxes(double d, double v, double t, double& fb, double& fm) {
  const double ts = t + kZeroC, ta = kAmbient + kZeroC;  // K
  fb = (ts > ta) ? kG * v * d * d / 4 * (ts - ta) / ts : 0;
  fm = v * v * d * d / 4 * ta / ts;
}

// Briggs' final rise and distance of buoyancy (neutral and unstable air).
void BuoyancyFinal(double fb, double u, double& dh, double& x) {
  if (fb <= 0) {
    dh = x = 0;
  } else if (fb < 55) {
    dh = 21.425 * std::pow(fb, 0.75) / u;
    x = 49 * std::pow(fb, 0.625);
  } else {
    dh = 38.71 * std::pow(fb, 0.6) / u;
    x = 119 * std::pow(fb, 0.4);
  }
}

// Momentum jet entrainment coefficient.
double Beta(double v, double u) { return 1.0 / 3 + u / v; }

// Fails with a message that names the source when there are several.
int Invalid(int s, int count, const char* name, double value, const char* rule) {
  return MSG_FAIL(MsgTag("ZIRidev", "StkPrepare", "1"), "*** parameter %s=%g%s must be %s! (%s)\n",
                  name, value, SrcText(count, " of source %d", s + 1).c_str(), rule);
}

int Check(const Source& q, int s, int count) {
  if (!(q.hb >= 0)) return Invalid(s, count, "hb", q.hb, "0 or more");
  if (!(q.bb >= 0)) return Invalid(s, count, "bb", q.bb, "0 or more");
  if (!(q.bn >= 0 && q.bn < 90)) return Invalid(s, count, "bn", q.bn, "from 0 to below 90");
  if (!(q.dq >= 0)) return Invalid(s, count, "dq", q.dq, "0 or more");
  if (!(q.vq >= 0)) return Invalid(s, count, "vq", q.vq, "0 or more");
  if (!(q.tq > -kZeroC && q.tq < 1000)) return Invalid(s, count, "tq", q.tq, "from -273 to 1000");
  if (q.qw < 0 || q.qw > 1) return Invalid(s, count, "qw", q.qw, "0 or 1");
  if (q.qr < 0 || q.qr > 2) return Invalid(s, count, "qr", q.qr, "0, 1 or 2");
  if (q.qr > 0 && !(q.dq > 0)) return Invalid(s, count, "dq", q.dq, "above 0 with qr 1 or 2");
  return 0;
}

int CheckThresholds() {
  auto tag = MsgTag("ZIRidev", "StkPrepare", "2");
  if (!(prm::bu > 0)) return PrmInvalid(tag, "bu", prm::bu, "above 0");
  if (!(prm::bo >= prm::bu)) return PrmInvalid(tag, "bo", prm::bo, "bu or more");
  if (!(prm::br >= 0)) return PrmInvalid(tag, "br", prm::br, "0 or more");
  if (!(prm::bm >= 0 && prm::bm < 90)) return PrmInvalid(tag, "bm", prm::bm, "from 0 to below 90");
  if (!(prm::wv >= 0)) return PrmInvalid(tag, "wv", prm::wv, "0 or more");
  return 0;
}

// A warning on the screen and in the log whatever the verbose level; the
// run goes on.
__attribute__((format(printf, 2, 3))) void Warn(const char* site, const char* format, ...) {
  char text[600];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  const int verbose = MsgVerbose;
  MsgVerbose = std::max(MsgVerbose, 1);
  MsgOut("--- %s! (%s)\n", text, MsgTag("ZIRidev", "StkPrepare", site).s);
  MsgVerbose = verbose;
}

// The class line of source s into the log, and the warnings of its class.
void Report(const std::vector<Source>& list, int s) {
  const Source& q = list[s];
  const StkClass k = StkClassify(list, s);
  if (MsgLog)
    std::fprintf(MsgLog,
                 "Quelle %d: Schornstein %.1f m, Gebäude %.1f m, Verhältnis %.2f: %s, "
                 "freie Abströmung %s%s\n",
                 s + 1, k.top, k.building, k.ratio, KindName(k.kind), k.outflow ? "ja" : "nein",
                 k.line ? ", Ersatz-Linienquelle ab Boden" : "");
  if (k.kind == StkWake)
    Warn("4",
         "source %d (stack %.1f m) is in the wake of a building of %.1f m (ratio %.2f, at most "
         "bu=%.2f): the model cannot represent the building's flow field%s%s",
         s + 1, k.top, k.building, k.ratio, prm::bu, q.qr > 0 ? ", no plume rise" : "",
         k.line ? "; replaced by a vertical line from the ground" : "; consider qw 1");
  else if (k.kind == StkBetween && !k.line)
    Warn("5",
         "source %d (stack %.1f m) stands %.2f times the building of %.1f m (bu=%.2f to "
         "bo=%.2f): the building's wake is not modelled, a wind-field model is expected",
         s + 1, k.top, k.ratio, k.building, prm::bu, prm::bo);
  if (q.qr > 0 && k.kind != StkWake && !k.line && q.vq < prm::wv)
    Warn("6", "source %d: exit velocity %.2f m/s below wv=%.2f m/s: no plume rise", s + 1, q.vq,
         prm::wv);
}

}  // namespace

bool StkUsed(const Source& q) { return q.hb > 0 || q.dq > 0 || q.vq > 0 || q.qw || q.qr; }

bool StkAnyUsed(const std::vector<Source>& list) {
  return std::any_of(list.begin(), list.end(), StkUsed);
}

float StkRidge(const Source& q) {
  if (!(q.hb > 0)) return 0;
  if (!(q.bn < prm::bm) || !(q.bb > 0)) return q.hb;
  const double rad = kPi / 180;
  return static_cast<float>(q.hb + q.bb / 2 * (std::tan(prm::bm * rad) - std::tan(q.bn * rad)));
}

StkClass StkClassify(const std::vector<Source>& list, int s) {
  const Source& q = list[s];
  StkClass k;
  k.top = q.hq + std::max(q.cq, 0.0f);
  const double reach = static_cast<double>(prm::br) * k.top;  // m
  for (const Source& b : list) {
    const double dx = b.xq - q.xq, dy = b.yq - q.yq;
    if (&b == &q || std::sqrt(dx * dx + dy * dy) <= reach)
      k.building = std::max(k.building, StkRidge(b));
  }
  if (k.building > 0) {
    k.ratio = k.top / k.building;
    // The rules speak of a stack "more than" 1.2 and 1.7 times the buildings.
    k.kind = (k.ratio <= prm::bu) ? StkWake : (k.ratio <= prm::bo) ? StkBetween : StkFree;
  }
  k.outflow = k.top >= prm::bh && k.top >= k.building + prm::bd && q.vq >= prm::wv;
  k.line = q.qw == 1 && k.kind != StkFree;
  k.rise = q.qr > 0 && k.kind != StkWake && !k.line && q.vq >= prm::wv && q.dq > 0;
  return k;
}

double StkHeatFlux(double d, double v, double t) {
  if (!(t > kAmbient)) return 0;
  const double r = kPi / 4 * d * d * v * kZeroC / (t + kZeroC);  // m3/s at 0 degrees C
  return 1.36e-3 * r * (t - kAmbient);
}

StkRise StkRiseGuideline(double d, double v, double t, double u) {
  u = std::max(u, 1.0);
  const double q = StkHeatFlux(d, v, t);
  StkRise r;
  r.dh = std::max((84 * std::sqrt(q) + 0.35 * v * d) / u, 3 * v * d / u);
  r.xe = 209.8 * std::pow(q, 0.522);
  return r;
}

StkRise StkRiseBriggs(double d, double v, double t, double u) {
  u = std::max(u, 1.0);
  double fb, fm, dhb, xb;
  Fluxes(d, v, t, fb, fm);
  BuoyancyFinal(fb, u, dhb, xb);
  StkRise r;
  const double dhm = 3 * d * v / u;
  if (dhb >= dhm) {
    r.dh = dhb;
    r.xe = xb;
  } else if (fm > 0) {
    const double beta = Beta(v, u);
    r.dh = dhm;
    r.xe = dhm * dhm * dhm * beta * beta * u * u / (3 * fm);
  }
  // Stack-tip downwash: an exit slower than 1.5 u is drawn down behind the stack.
  if (v < 1.5 * u) r.downwash = 2 * d * (1.5 - v / u);
  return r;
}

double StkRiseAt(int model, const StkRise& r, double d, double v, double t, double u, double x) {
  if (!(x > 0) || !(r.dh > 0)) return 0;
  if (model == StkGuideline)
    return (r.xe > 0) ? r.dh * (1 - std::exp(-x / (0.4 * r.xe))) : r.dh;
  u = std::max(u, 1.0);
  double fb, fm, dhb, xb;
  Fluxes(d, v, t, fb, fm);
  BuoyancyFinal(fb, u, dhb, xb);
  const double buoyancy = std::min(dhb, 1.6 * std::cbrt(fb) * std::pow(x, 2.0 / 3) / u);
  double momentum = 0;
  if (fm > 0 && v > 0) {
    const double beta = Beta(v, u);
    momentum = std::min(3 * d * v / u, std::cbrt(3 * fm * x / (beta * beta * u * u)));
  }
  return std::min(r.dh, std::max(buoyancy, momentum));
}

double StkWind(double z) {
  const int nz = prm::nz;
  const float* zk = prm::zk.f();
  const float* ux = prm::ux.f();
  double u = ux[nz];
  if (z <= zk[0]) {
    u = ux[0];
  } else {
    for (int i = 1; i <= nz; i++)
      if (z <= zk[i]) {
        u = ux[i - 1] + (ux[i] - ux[i - 1]) * (z - zk[i - 1]) / (zk[i] - zk[i - 1]);
        break;
      }
  }
  return std::max(u, 1.0);
}

void StkListChanged() { Reported = false; }

int StkPrepare(std::vector<Source>& list) {
  const int count = static_cast<int>(list.size());
  const bool used = StkAnyUsed(list);
  if (used && CheckThresholds() < 0) return -1;
  for (int s = 0; s < count; s++)
    if (StkUsed(list[s]) && Check(list[s], s, count) < 0) return -1;
  if (used && !Reported) {
    for (int s = 0; s < count; s++)
      if (StkUsed(list[s])) Report(list, s);
    Reported = true;
  }
  for (int s = 0; s < count; s++) {
    Source& q = list[s];
    q.ht = q.hq;
    q.ct = q.cq;
    q.rz.clear();
    if (!StkUsed(q)) continue;
    const StkClass k = StkClassify(list, s);
    if (k.line) {
      q.ht = 0;
      q.ct = std::max(k.top, k.building);
      continue;
    }
    if (!k.rise) continue;
    const double u = StkWind(q.hq);  // m/s at the stack top
    const StkRise r = (q.qr == StkGuideline) ? StkRiseGuideline(q.dq, q.vq, q.tq, u)
                                             : StkRiseBriggs(q.dq, q.vq, q.tq, u);
    q.ht = static_cast<float>(std::max(q.hq - r.downwash, 0.0));
    try {
      q.rz.assign(std::max(q.ni, 0) + 1, 0.0f);
    } catch (const std::bad_alloc&) {
      return MSG_FAIL(MsgTag("ZIRidev", "StkPrepare", "3"),
                      "*** can't allocate the plume rise of source %d! (%s)\n", s + 1);
    }
    for (int n = 1; n <= q.ni; n++)
      q.rz[n] = static_cast<float>(
          StkRiseAt(q.qr, r, q.dq, q.vq, q.tq, u, static_cast<double>(n) * q.li));
    if (MsgLog)
      std::fprintf(MsgLog,
                   "Quelle %d: Überhöhung %.2f m, erreicht bei xe=%.2f m, u=%.2f m/s, "
                   "Absenkung %.2f m\n",
                   s + 1, r.dh, r.xe, u, r.downwash);
  }
  return 0;
}

void StkList(std::FILE* f, const std::vector<Source>& list) {
  if (!StkAnyUsed(list)) return;
  std::fprintf(f, "Schornsteine:\n");
  std::fprintf(f, "  n: %7s %7s %7s %8s %8s %8s %2s %2s %7s %7s %-7s %s\n", "Hb/(m)", "Bb/(m)",
               "Bn/(°)", "Dq/(m)", "Vq/(m/s)", "Tq/(°C)", "Qw", "Qr", "Hg/(m)", "Hq/Hg", "Klasse",
               "Abströmung");
  for (size_t s = 0; s < list.size(); s++) {
    const Source& q = list[s];
    if (!StkUsed(q)) continue;
    const StkClass k = StkClassify(list, static_cast<int>(s));
    std::fprintf(f, "%3d: %7.1f %7.1f %7.1f %8.2f %8.2f %8.1f %2d %2d %7.1f %7.2f %-7s %s\n",
                 static_cast<int>(s + 1), q.hb, q.bb, q.bn, q.dq, q.vq, q.tq, q.qw, q.qr,
                 k.building, k.ratio, KindName(k.kind), k.outflow ? "frei" : "nicht frei");
  }
  std::fprintf(f, "\n");
}
