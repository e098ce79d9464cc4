// Sources of an assessment: the list of *QUELLE and *QUELLE add, each
// source with its parameters and its own plume table.
#include "odor/sources.h"

#include <algorithm>
#include <cctype>
#include <cmath>
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
  q.sg = prm::sg ? prm::sg : "";
  q.fg = prm::fg;
  q.za = prm::za;
  return q;
}

std::vector<SrcGroup> SrcGroups(const std::vector<Source>& list) {
  std::vector<SrcGroup> groups;
  for (size_t s = 0; s < list.size(); s++) {
    const Source& q = list[s];
    auto g = std::find_if(groups.begin(), groups.end(),
                          [&](const SrcGroup& x) { return x.name == q.sg; });
    if (g == groups.end()) g = groups.insert(groups.end(), SrcGroup{q.sg, q.fg, q.za, {}});
    g->sources.push_back(static_cast<int>(s));
  }
  return groups;
}

bool SrcGrouped(const std::vector<Source>& list) {
  return std::any_of(list.begin(), list.end(), [](const Source& q) { return !q.sg.empty(); });
}

int SrcCheckGroup(bool add) {
  const Source q = SrcParameters();
  const int number = add ? static_cast<int>(Defined.size()) + 1 : 1;
  auto tag = [] { return MsgTag(kModule, "SrcCheckGroup", "1"); };
  if (!(q.fg > 0) || !std::isfinite(q.fg))
    return MSG_FAIL(tag(), "*** parameter fg=%g of source %d must be above 0! (%s)\n", q.fg,
                    number);
  if (q.za != 0 && q.za != 1)
    return MSG_FAIL(tag(), "*** parameter za=%d of source %d must be 0 or 1! (%s)\n", q.za, number);
  const bool named = std::all_of(q.sg.begin(), q.sg.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
  // "za" names the files of the additional load (cnc-za.dmna); in any
  // case, since some file systems do not tell cases apart.
  const bool reserved = q.sg.size() == 2 &&
                        std::tolower(static_cast<unsigned char>(q.sg[0])) == 'z' &&
                        std::tolower(static_cast<unsigned char>(q.sg[1])) == 'a';
  if (!named || reserved)
    return MSG_FAIL(tag(),
                    "*** invalid group name sg=\"%s\" of source %d: letters, digits and _ only, "
                    "not za! (%s)\n",
                    q.sg.c_str(), number);
  if (!add) return 0;
  for (size_t s = 0; s < Defined.size(); s++) {
    const Source& p = Defined[s];
    if (p.sg.empty() != q.sg.empty())
      return MSG_FAIL(tag(),
                      "*** source %d has the group \"%s\", source %d the group \"%s\": give "
                      "every source a group or none! (%s)\n",
                      static_cast<int>(s) + 1, p.sg.c_str(), number, q.sg.c_str());
    if (p.sg != q.sg) continue;
    if (p.fg != q.fg)
      return MSG_FAIL(
          tag(),
          "*** group \"%s\" has two factors, fg=%g (source %d) and fg=%g (source %d)! (%s)\n",
          q.sg.c_str(), p.fg, static_cast<int>(s) + 1, q.fg, number);
    if (p.za != q.za)
      return MSG_FAIL(
          tag(), "*** group \"%s\" has two values of za, %d (source %d) and %d (source %d)! (%s)\n",
          q.sg.c_str(), p.za, static_cast<int>(s) + 1, q.za, number);
  }
  return 0;
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
  if (SrcGrouped(*list)) {
    std::fprintf(f, "Gruppen:\n");
    std::fprintf(f, "  %-16s %6s %3s  %s\n", "Name", "Fg", "Za", "Quellen");
    for (const SrcGroup& g : SrcGroups(*list)) {
      std::fprintf(f, "  %-16s %6.2f %3d ", g.name.c_str(), g.fg, g.za);
      for (int s : g.sources) std::fprintf(f, " %d", s + 1);
      std::fprintf(f, "\n");
    }
  }
  std::fprintf(f, "\n");
  StkList(f, *list);
  return 0;
}
