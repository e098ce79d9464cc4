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
std::vector<std::unique_ptr<SetSums>> GrpSums;
std::vector<SrcGroup> GrpGroups;
std::vector<Source> GrpSources;
bool GrpAccumulated = false;

SetSums::~SetSums() {
  for (AryDesc* g : {&cnc, &c90, &frh, &fro}) AryFree(g);
}

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
    for (auto& set : GrpSums)
      for (auto* v : {&set->pcnc, &set->pfro, &set->pfrh, &set->pc90})
        v->assign(mp > 0 ? mp : 0, 0.0f);
  } catch (const std::bad_alloc&) {
    return MSG_FAIL(MsgTag(kModule, "ZidInit", "1"), "*** can't allocate arrays! (%s)");
  }
  return 0;
}

int ClearValues() {
  for (AryDesc* g : {&GrdFrh, &GrdFro, &GrdCnc, &GrdC90})
    if (g->data) std::memset(g->data, 0, g->ttlsz);
  for (auto* v : {&PntCnc, &PntFro, &PntFrh, &PntC90}) std::fill(v->begin(), v->end(), 0.0f);
  for (auto& set : GrpSums) {
    for (AryDesc* g : {&set->frh, &set->fro, &set->cnc, &set->c90})
      if (g->data) std::memset(g->data, 0, g->ttlsz);
    for (auto* v : {&set->pcnc, &set->pfro, &set->pfrh, &set->pc90})
      std::fill(v->begin(), v->end(), 0.0f);
  }
  SumDur = 0;
  GrpAccumulated = false;
  return 0;
}

int GrpPrepare(const std::vector<Source>& list) {
  const std::vector<SrcGroup> groups = SrcGroups(list);
  const bool grouped = SrcGrouped(list);
  auto same = [&] {
    if (groups.size() != GrpGroups.size()) return false;
    for (size_t g = 0; g < groups.size(); g++)
      if (groups[g].name != GrpGroups[g].name || groups[g].fg != GrpGroups[g].fg ||
          groups[g].za != GrpGroups[g].za)
        return false;
    return true;
  };
  try {
    if (!same()) {
      // Each set must hold the same sources' values in every situation.
      if (GrpAccumulated)
        return MSG_FAIL(MsgTag(kModule, "GrpPrepare", "1"),
                        "*** source groups (sg, fg, za) changed while results are accumulated: "
                        "*CLEAR first! (%s)\n");
      GrpSums.clear();
      if (grouped) {
        bool applicant = false;
        for (const SrcGroup& g : groups) {
          GrpSums.push_back(std::make_unique<SetSums>());
          GrpSums.back()->name = g.name;
          GrpSums.back()->fg = g.fg;
          applicant = applicant || g.za;
        }
        if (applicant) {
          GrpSums.push_back(std::make_unique<SetSums>());
          GrpSums.back()->name = "za";
        }
      }
    }
    GrpGroups = groups;
    GrpSources.clear();
    if (grouped)
      for (const Source& q : list) {
        GrpSources.push_back(q);
        Source& c = GrpSources.back();
        for (std::vector<float>* v : {&c.cx, &c.cg, &c.cp, &c.ca, &c.ci, &c.sy, &c.sd}) {
          v->clear();
          v->shrink_to_fit();
        }
      }
    for (auto& set : GrpSums) {
      for (auto* v : {&set->pcnc, &set->pfro, &set->pfrh, &set->pc90})
        if (v->size() != PntCnc.size()) v->assign(PntCnc.size(), 0.0f);
      if (!GrdCnc.data) continue;
      for (AryDesc* g : {&set->cnc, &set->c90, &set->frh, &set->fro}) {
        if (g->data) continue;
        // The shape of the total's grid, storage zero-filled.
        *g = GrdCnc;
        g->data = nullptr;
        if (AryCreate(g, 0, 0) < 0 || MsgErr < 0)
          return MSG_FAIL(MsgTag(kModule, "GrpPrepare", "2"), "*** can't create arrays! (%s)\n");
      }
    }
  } catch (const std::bad_alloc&) {
    return MSG_FAIL(MsgTag(kModule, "GrpPrepare", "3"), "*** can't allocate arrays! (%s)\n");
  }
  return 0;
}
