// Plume tables: CalcPlume fills the table of every source with the plume
// solver, PrintPlume lists them into the log.
#include "odor/plume.h"

#include <algorithm>
#include <string>
#include <vector>

#include "dff/dff.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "odor/sources.h"
#include "prm/params.h"

namespace {

// With several sources, the listings of a source begin with its number.
void Heading(std::FILE* f, int s, int count) {
  if (count > 1) std::fprintf(f, "\nQuelle %d\n", s + 1);
}

// Fills the table of source q, number s (from 0) of count. Returns 0, or -1
// after an error message.
int CalcTable(Source& q, int s, int count) {
  auto tag = [](const char* site) { return MsgTag("ZIRidev", "CalcPlume", site); };
  const std::string of = SrcText(count, " of source %d", s + 1);
  // The table and the concentration at a receptor divide by li.
  if (!(q.li > 0))
    return MSG_FAIL(tag("2"), "*** invalid interval length li (%g)%s! (%s)\n", q.li, of.c_str());
  const int ni = q.ni;
  // The parameter vectors receive the table of the last source.
  const int count7 = std::min({prm::cx.count, prm::cg.count, prm::cp.count, prm::ca.count,
                               prm::sy.count, prm::sd.count, prm::ci.count});
  if (ni < 0 || ni >= count7 || ni >= static_cast<int>(q.cx.size()))
    return MSG_FAIL(tag("3"), "*** invalid number of intervals (ni=%d)%s! (%s)\n", ni, of.c_str());
  if (static_cast<double>(ni) * q.li > MaxPlumeReach)
    return MSG_FAIL(
        tag("4"),
        "*** plume table%s of ni=%d intervals of li=%g m reaches %g m, at most %g m! (%s)\n",
        of.c_str(), ni, q.li, static_cast<double>(ni) * q.li, MaxPlumeReach);
  for (int n = 0; n <= ni; n++) q.cx[n] = n * q.li;
  // The solver's concentration listing, when asked for, is one per source.
  if (MsgLog && prm::mx >= 1 && prm::mx <= ni) Heading(MsgLog, s, count);
  int rc = DffPlume(q.cx.data(), q.cg.data(), q.cp.data(), q.ca.data(), q.sy.data(), q.sd.data(),
                    q.ci.data(), q.hq, q.cq, ni);
  if (rc < 0 || MsgErr < 0) return MSG_FAIL(tag("1"), "*** plume functions%s! (%s)\n", of.c_str());
  // The flux at the source is the part of the emission inside the vertical
  // grid: a source reaching below the ground or above the top of the grid
  // would silently lose the rest.
  if (!(q.ci[0] > 0.999f))
    return MSG_FAIL(tag("5"),
                    "*** source%s at hq=%g m (cq=%g m) not within the vertical grid from 0 to %g m "
                    "(flux %.4g)! (%s)\n",
                    SrcText(count, " %d", s + 1).c_str(), q.hq, q.cq, prm::zk[prm::nz], q.ci[0]);
  return 0;
}

// Lists the table of source q into f.
void PrintTable(std::FILE* f, const Source& q) {
  const int step = (prm::nd > 0) ? prm::nd + 1 : 1;  // a negative nd would never advance
  std::fprintf(f, "\nWerte der Fahnenfunktionen\n");
  std::fprintf(
      f,
      "\nAbstand      Cy(z=0)     Cy(z=zp)      Cy(z=h)       Sy       Sd     Cm(z=zp)    Fluß\n");
  const int entries = static_cast<int>(q.cx.size());
  for (int n = 0; n <= q.ni && n < entries; n += step) {
    const float sy = q.sy[n];
    // Concentration under the plume axis at the receptor height for the source strength eq.
    const float cm = (sy > 0) ? q.eq * q.cp[n] * 0.3989423f / sy : 0.0f;
    std::fprintf(f, "%7.0f %12.4e %12.4e %12.4e %8.1f %8.1f %12.4e %7.4f\n", q.cx[n], q.cg[n],
                 q.cp[n], q.ca[n], sy, q.sd[n], cm, q.ci[n]);
  }
  std::fprintf(f, "\n");
}

}  // namespace

int CalcPlume() {
  std::vector<Source>* list = Sources();
  if (!list) return -1;
  const int count = static_cast<int>(list->size());
  for (int s = 0; s < count; s++)
    if (CalcTable((*list)[s], s, count) < 0) return -1;
  // The parameter vectors hold the table of the last source, whose
  // parameters stand in the section *q.
  const Source& q = list->back();
  for (int n = 0; n <= q.ni; n++) {
    prm::cx[n] = q.cx[n];
    prm::cg[n] = q.cg[n];
    prm::cp[n] = q.cp[n];
    prm::ca[n] = q.ca[n];
    prm::ci[n] = q.ci[n];
    prm::sy[n] = q.sy[n];
    prm::sd[n] = q.sd[n];
  }
  return 0;
}

int PrintPlume() {
  std::FILE* f = MsgLog;
  if (!f) return 0;
  const std::vector<Source>* list = Sources();
  if (!list) return -1;
  const int count = static_cast<int>(list->size());
  for (int s = 0; s < count; s++) {
    Heading(f, s, count);
    PrintTable(f, (*list)[s]);
  }
  return 0;
}
