// Concentration at a receptor: a Gaussian plume in the horizontal whose
// vertical structure and downwind growth come from the plume table; an
// area source is split into cells, each a point source at its centre.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "msg/msg.h"
#include "odor/core.h"
#include "odor/odor.h"
#include "prm/params.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kInvSqrt2Pi = 0.39894229f;

// Number of cells along a side of length a (m) for the largest cell size
// lq (m): a/lq when a is a multiple of lq, else the next integer above, and
// at least 1. -1 when the count does not fit an int.
int CellCount(float a, float lq) {
  float r = a / lq + 1;
  if (!(r < 2147483648.0f)) return -1;
  int n = static_cast<int>(r);
  if (n > 1 && n * lq >= lq + a) n--;
  return n;
}

}  // namespace

void WindFrame(float d, float* s, float* co) {
  const float a = d * kPi / 180;
  *s = std::sin(a);
  *co = std::cos(a);
}

int CheckSource() {
  if (!(prm::eq >= 0))
    return PrmInvalid(MsgTag("ZIRidev", "CalcCon", "6"), "eq", prm::eq, "0 or more");
  if (!(prm::aq > 0 || prm::bq > 0)) return 0;
  if (!(prm::lq > 0))
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "3"),
                    "*** invalid cell size lq=%g of the area source! (%s)\n", prm::lq);
  if (prm::aq < 0 || prm::bq < 0)
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "4"),
                    "*** invalid size aq=%g, bq=%g of the area source! (%s)\n", prm::aq, prm::bq);
  const int na = CellCount(prm::aq, prm::lq);
  const int nb = CellCount(prm::bq, prm::lq);
  if (na < 0 || nb < 0 || static_cast<long long>(na) * nb > MaxSourceCells) {
    // A count beyond an int is shown as the quotients of the sides by lq.
    const double cells = (na < 0 ? prm::aq / static_cast<double>(prm::lq) : na) *
                         (nb < 0 ? prm::bq / static_cast<double>(prm::lq) : nb);
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "5"),
                    "*** too many cells of the area source: %.4g (aq=%g, bq=%g, lq=%g), at most "
                    "%lld! (%s)\n",
                    cells, prm::aq, prm::bq, prm::lq, MaxSourceCells);
  }
  return 0;
}

void SourceFrame(float d, float s, float co, SourceCells* c) {
  *c = SourceCells{};
  c->Uq = prm::xq * co + prm::yq * s;
  c->Vq = prm::yq * co - prm::xq * s;
  if (prm::aq > 0 || prm::bq > 0) {
    c->na = CellCount(prm::aq, prm::lq);
    c->nb = CellCount(prm::bq, prm::lq);
    const float b = (prm::rq - d) * kPi / 180;  // direction of side aq in the wind frame
    const float da = prm::aq / c->na, db = prm::bq / c->nb;
    c->Dau = da * std::cos(b);
    c->Dav = da * std::sin(b);
    c->Dbu = -db * std::sin(b);
    c->Dbv = db * std::cos(b);
    c->Uq = c->Uq + (c->Dau + c->Dbu) * 0.5f;
    c->Vq = c->Vq + (c->Dav + c->Dbv) * 0.5f;
  }
  c->q = prm::eq * kInvSqrt2Pi / (c->na * c->nb);
}

int CalcCon(int m, float x, float y, float d, float* conc, float* frac) {
  const float* sy = prm::sy.f();
  const float* sd = prm::sd.f();
  const float* cp = prm::cp.f();
  const float li = prm::li;
  const int ni = prm::ni;
  const float am = prm::am;
  const int nm = prm::nm;

  if (CheckSource() < 0) return -1;
  // Rotate into the wind frame: u downwind, v crosswind (to the left).
  float s, co;
  WindFrame(d, &s, &co);
  const float U = x * co + y * s;
  const float V = y * co - x * s;
  SourceCells c;
  SourceFrame(d, s, co, &c);
  const float tiny = NearSourceLimit(x, y, prm::xq, prm::yq, prm::aq, prm::bq);
  const float eta = (m > 0 ? 1.0f : -1.0f) * prm::em[std::abs(m)];

  float sum = 0;
  bool contributed = false;
  for (int ia = 0; ia < c.na; ia++) {
    for (int ib = 0; ib < c.nb; ib++) {
      const float xs = U - (ia * c.Dau + c.Uq + ib * c.Dbu);  // downwind distance of the cell (m)
      if (xs <= tiny) continue;
      if (xs > ni * li)
        return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "2"),
                        "*** plume table range exceeded! (%s)\n");
      int k = static_cast<int>(xs / li + 1);
      if (k > ni) k = ni;
      const float t = (k * li - xs) / li;  // weight of entry k-1
      const float u = 1 - t;               // weight of entry k
      const float Sy = t * sy[k - 1] + u * sy[k];
      const float Sd = (nm != 0) ? t * sd[k - 1] + u * sd[k] : Sy;
      // The core plume is never narrower than three tenths of the total plume.
      const float sc = (Sd >= 0.3 * Sy) ? Sd : static_cast<float>(0.3 * Sy);
      if (!(sc > 0)) continue;  // no width, no crosswind Gaussian
      const float sm = (Sy > sc) ? std::sqrt(Sy * Sy - sc * sc) : 0.0f;
      const float dv = V - (ia * c.Dav + c.Vq + ib * c.Dbv) - sm * eta;
      const float e = dv * dv / (sc * 2 * sc);
      if (e > am) continue;
      sum = sum + std::exp(-e) * c.q / sc * (t * cp[k - 1] + u * cp[k]);
      contributed = true;
    }
  }
  if (conc) *conc = sum;
  if (frac) *frac = 1.0f;
  return contributed ? 1 : 0;
}
