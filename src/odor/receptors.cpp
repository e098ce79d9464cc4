// Receptors and accumulators of the odor assessment.
#include "odor/receptors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "msg/msg.h"
#include "odor/odor.h"
#include "prm/params.h"

AryDesc GrdCnc, GrdC90, GrdFrh, GrdFro;
std::vector<float> PntCnc, PntFro, PntFrh, PntC90;
double SumDur;

namespace {
constexpr const char* kModule = "ZIRidev";
}

int DefineGrid() {
  SumDur = 0;
  if (prm::nx <= 0 || prm::ny <= 0)
    return MSG_FAIL(MsgTag(kModule, "DefineGrid", "5"),
                    "*** invalid grid size nx=%d, ny=%d! (%s)\n", prm::nx, prm::ny);
  const long long nodes = static_cast<long long>(prm::nx) * prm::ny;
  if (nodes > MaxGridNodes)
    return MSG_FAIL(MsgTag(kModule, "DefineGrid", "6"),
                    "*** grid of nx=%d times ny=%d is %lld nodes, at most %lld! (%s)\n", prm::nx,
                    prm::ny, nodes, MaxGridNodes);
  if (!(prm::dr > 0))
    return PrmInvalid(MsgTag(kModule, "DefineGrid", "7"), "dr", prm::dr, "positive");
  // The far nodes as the receptor loop computes them, in single precision.
  const float x1 = (prm::nx - 1) * prm::dr + prm::xr, y1 = (prm::ny - 1) * prm::dr + prm::yr;
  const float x = (std::fabs(x1) <= std::fabs(prm::xr)) ? prm::xr : x1;
  const float y = (std::fabs(y1) <= std::fabs(prm::yr)) ? prm::yr : y1;
  if (!(std::fabs(static_cast<double>(x)) + std::fabs(y) <= MaxPositionReach))
    return MSG_FAIL(MsgTag(kModule, "DefineGrid", "8"),
                    "*** grid node at x=%g, y=%g m beyond the reach of single precision "
                    "(|x|+|y| at most %.2g m)! (%s)\n",
                    x, y, MaxPositionReach);
  struct {
    AryDesc* desc;
    const char* site;
  } const grids[] = {{&GrdCnc, "1"}, {&GrdC90, "2"}, {&GrdFrh, "3"}, {&GrdFro, "4"}};
  for (const auto& g : grids) {
    AryCreate(g.desc, sizeof(float), 2, 0, prm::nx - 1, 0, prm::ny - 1);
    if (MsgErr < 0)
      return MSG_FAIL(MsgTag(kModule, "DefineGrid", g.site), "*** can't create arrays! (%s)\n");
  }
  return 0;
}

int AllocPoints(int mp) {
  try {
    for (auto* v : {&PntCnc, &PntFro, &PntFrh, &PntC90}) v->assign(mp > 0 ? mp : 0, 0.0f);
  } catch (const std::bad_alloc&) {
    return MSG_FAIL(MsgTag(kModule, "ZidInit", "1"), "*** can't allocate arrays! (%s)");
  }
  return 0;
}

int ClearValues() {
  for (AryDesc* g : {&GrdFrh, &GrdFro, &GrdCnc, &GrdC90})
    if (g->data) std::memset(g->data, 0, g->ttlsz);
  for (auto* v : {&PntCnc, &PntFro, &PntFrh, &PntC90}) std::fill(v->begin(), v->end(), 0.0f);
  SumDur = 0;
  return 0;
}
