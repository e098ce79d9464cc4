// Concentration at a receptor: a Gaussian plume in the horizontal whose
// vertical structure and downwind growth come from the plume table; an
// area source is split into cells, each a point source at its centre.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>

#include "msg/msg.h"
#include "odor/core.h"
#include "odor/odor.h"
#include "odor/sources.h"
#include "prm/params.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kInvSqrt2Pi = 0.39894229f;

}  // namespace

int CheckSource(const Source& q, int s, int count) {
  if (!(q.eq >= 0))
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "6"), "*** parameter eq=%g%s must be 0 or more! (%s)\n",
                    q.eq, SrcText(count, " of source %d", s + 1).c_str());
  if (!(q.aq > 0 || q.bq > 0)) return 0;
  const std::string which = SrcText(count, " %d", s + 1);
  if (!(q.lq > 0))
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "3"),
                    "*** invalid cell size lq=%g of the area source%s! (%s)\n", q.lq, which.c_str());
  if (q.aq < 0 || q.bq < 0)
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "4"),
                    "*** invalid size aq=%g, bq=%g of the area source%s! (%s)\n", q.aq, q.bq,
                    which.c_str());
  const long long cells = SrcCells(q);
  if (cells < 0 || cells > MaxSourceCells) {
    // A count beyond an int is shown as the quotients of the sides by lq.
    const int na = SrcSideCells(q.aq, q.lq), nb = SrcSideCells(q.bq, q.lq);
    const double shown = (na < 0 ? q.aq / static_cast<double>(q.lq) : na) *
                         (nb < 0 ? q.bq / static_cast<double>(q.lq) : nb);
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "5"),
                    "*** too many cells of the area source%s: %.4g (aq=%g, bq=%g, lq=%g), at most "
                    "%lld! (%s)\n",
                    which.c_str(), shown, q.aq, q.bq, q.lq, MaxSourceCells);
  }
  return 0;
}

void WindFrame(float d, float* s, float* co) {
  const float a = d * kPi / 180;
  *s = std::sin(a);
  *co = std::cos(a);
}

int CheckSources(const std::vector<Source>& list) {
  long long cells = 0;
  for (size_t s = 0; s < list.size(); s++) {
    if (CheckSource(list[s], static_cast<int>(s), static_cast<int>(list.size())) < 0) return -1;
    cells += SrcCells(list[s]);
  }
  // The work grows with the cells of all sources together.
  if (cells > MaxSourceCells)
    return MSG_FAIL(MsgTag("ZIRidev", "CalcCon", "7"),
                    "*** too many cells of the %d sources: %lld, at most %lld! (%s)\n",
                    static_cast<int>(list.size()), cells, MaxSourceCells);
  return 0;
}

void SourceFrame(const Source& q, float d, float s, float co, SourceCells* c) {
  *c = SourceCells{};
  c->Uq = q.xq * co + q.yq * s;
  c->Vq = q.yq * co - q.xq * s;
  if (q.aq > 0 || q.bq > 0) {
    c->na = SrcSideCells(q.aq, q.lq);
    c->nb = SrcSideCells(q.bq, q.lq);
    // rq reduced first (exactly, in double): a huge angle would overflow
    // below and turn every cell offset into NaN, the source into nothing.
    const float rq = static_cast<float>(std::fmod(static_cast<double>(q.rq), 360.0));
    const float b = (rq - d) * kPi / 180;  // direction of side aq in the wind frame
    const float da = q.aq / c->na, db = q.bq / c->nb;
    c->Dau = da * std::cos(b);
    c->Dav = da * std::sin(b);
    c->Dbu = -db * std::sin(b);
    c->Dbv = db * std::cos(b);
    c->Uq = c->Uq + (c->Dau + c->Dbu) * 0.5f;
    c->Vq = c->Vq + (c->Dav + c->Dbv) * 0.5f;
  }
  c->q = q.eq * kInvSqrt2Pi / (c->na * c->nb);
}

int CalcCon(int m, float x, float y, float d, float* conc, float* frac) {
  const float* sy = prm::sy.f();
  const float* sd = prm::sd.f();
  const float* cp = prm::cp.f();
  const float li = prm::li;
  const int ni = prm::ni;
  const float am = prm::am;
  const int nm = prm::nm;

  const Source q = SrcParameters();
  if (CheckSource(q, 0, 1) < 0) return -1;
  // Rotate into the wind frame: u downwind, v crosswind (to the left).
  float s, co;
  WindFrame(d, &s, &co);
  const float U = x * co + y * s;
  const float V = y * co - x * s;
  SourceCells c;
  SourceFrame(q, d, s, co, &c);
  const float tiny = NearSourceLimit(x, y, q.xq, q.yq, q.aq, q.bq);
  const float eta = (m > 0 ? 1.0f : -1.0f) * prm::em[std::abs(m)];

  float sum = 0;
  bool contributed = false;
  for (int ia = 0; ia < c.na; ia++) {
    for (int ib = 0; ib < c.nb; ib++) {
      const float xs = U - (ia * c.Dau + c.Uq + ib * c.Dbu);  // downwind distance of the cell (m)
      if (xs <= tiny) continue;
      if (!(xs <= ni * li))  // NaN, too
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
