// Sources of an assessment: the list of *QUELLE and *QUELLE add, each
// source with its parameters and its own plume table.
#include "odor/sources.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "msg/msg.h"
#include "odor/stacks.h"
#include "prm/params.h"

namespace {

constexpr const char* kModule = "ZIRidev";

std::vector<Source> Defined;   // the list of the command file; empty before any *QUELLE
std::vector<Source> InForce;   // before any *QUELLE: the source of the parameters in force

// Gives the table of q entries entries, all zero.
void SizeTable(Source& q, int entries) {
  for (std::vector<float>* v : {&q.cx, &q.cg, &q.cp, &q.ca, &q.ci, &q.sy, &q.sd})
    v->assign(entries, 0.0f);
}

}  // namespace

Source SrcParameters() {
  Source q;
  q.xq = prm::xq;
  q.yq = prm::yq;
  q.aq = prm::aq;
  q.bq = prm::bq;
  q.rq = prm::rq;
  q.hq = prm::hq;
  q.cq = prm::cq;
  q.eq = prm::eq;
  q.li = prm::li;
  q.lq = prm::lq;
  q.ni = prm::ni;
  q.hb = prm::hb;
  q.bb = prm::bb;
  q.bn = prm::bn;
  q.dq = prm::dq;
  q.vq = prm::vq;
  q.tq = prm::tq;
  q.qw = prm::qw;
  q.qr = prm::qr;
  return q;
}

int SrcDefine(bool add) {
  try {
    Source q = SrcParameters();
    SizeTable(q, std::max(q.ni, -1) + 1);
    if (!add) Defined.clear();
    Defined.push_back(std::move(q));
    StkListChanged();
  } catch (const std::bad_alloc&) {
    return MSG_FAIL(MsgTag(kModule, "SrcDefine", "1"),
                    "*** can't allocate the plume table of source %d! (%s)\n",
                    static_cast<int>(add ? Defined.size() + 1 : 1));
  }
  return 0;
}

void SrcForget() {
  Defined.clear();
  Defined.shrink_to_fit();
  InForce.clear();
  StkListChanged();
}

void SrcClearTables() {
  for (Source& q : Defined) SizeTable(q, static_cast<int>(q.cx.size()));
}

std::vector<Source>* Sources() {
  if (!Defined.empty()) return &Defined;
  try {
    InForce.assign(1, SrcParameters());
    Source& q = InForce[0];
    // The entries the parameter vectors hold; a longer table is refused
    // before it is used.
    const PrmVec* vecs[] = {&prm::cx, &prm::cg, &prm::cp, &prm::ca, &prm::ci, &prm::sy, &prm::sd};
    int entries = std::max(q.ni, -1) + 1;
    for (const PrmVec* v : vecs) entries = std::min(entries, std::max(v->count, 0));
    SizeTable(q, entries);
    std::vector<float>* table[] = {&q.cx, &q.cg, &q.cp, &q.ca, &q.ci, &q.sy, &q.sd};
    for (int t = 0; t < 7; t++) std::copy(vecs[t]->f(), vecs[t]->f() + entries, table[t]->begin());
  } catch (const std::bad_alloc&) {
    MSG_FAIL(MsgTag(kModule, "Sources", "1"), "*** can't allocate the plume table! (%s)\n");
    return nullptr;
  }
  return &InForce;
}

std::string SrcText(int count, const char* format, int number) {
  if (count <= 1) return "";
  char text[64];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

int SrcSideCells(float a, float lq) {
  float r = a / lq + 1;
  if (!(r < 2147483648.0f)) return -1;
  int n = static_cast<int>(r);
  if (n > 1 && n * lq >= lq + a) n--;
  return n;
}

long long SrcCells(const Source& q) {
  if (!(q.aq > 0 || q.bq > 0)) return 1;
  if (!(q.lq > 0)) return -1;
  const int na = SrcSideCells(q.aq, q.lq), nb = SrcSideCells(q.bq, q.lq);
  return (na < 0 || nb < 0) ? -1 : static_cast<long long>(na) * nb;
}

int ListSources() {
  std::FILE* f = MsgLog;
  if (!f) return 0;
  const std::vector<Source>* list = Sources();
  if (!list) return -1;
  char eq[40];
  std::snprintf(eq, sizeof eq, "Eq/(%s/s)", prm::me ? prm::me : "");
  std::fprintf(f, "Quellen:\n");
  std::fprintf(f, "  n: %10s %10s %8s %8s %9s %7s %7s %11s %7s %9s\n", "Xq/(m)", "Yq/(m)", "Aq/(m)",
               "Bq/(m)", "Rq/(Grad)", "Hq/(m)", "Cq/(m)", eq, "Lq/(m)", "Zellen");
  for (size_t s = 0; s < list->size(); s++) {
    const Source& q = (*list)[s];
    std::fprintf(f, "%3d: %10.1f %10.1f %8.1f %8.1f %9.1f %7.1f %7.1f %11.3e %7.1f",
                 static_cast<int>(s + 1), q.xq, q.yq, q.aq, q.bq, q.rq, q.hq, q.cq, q.eq, q.lq);
    const long long cells = SrcCells(q);
    if (cells < 0)
      std::fprintf(f, " %9s\n", "-");  // refused when a run needs them
    else
      std::fprintf(f, " %9lld\n", cells);
  }
  std::fprintf(f, "\n");
  StkList(f, *list);
  return 0;
}
