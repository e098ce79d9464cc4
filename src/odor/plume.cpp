// Plume tables: CalcPlume fills them with the plume solver, PrintPlume lists
// them into the log.
#include "odor/plume.h"

#include <algorithm>

#include "dff/dff.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "prm/params.h"

int CalcPlume() {
  auto tag = [](const char* site) { return MsgTag("ZIRidev", "CalcPlume", site); };
  // The table and the concentration at a receptor divide by li.
  if (!(prm::li > 0))
    return MSG_FAIL(tag("2"), "*** invalid interval length li (%g)! (%s)\n", prm::li);
  const int ni = prm::ni;
  const int count = std::min({prm::cx.count, prm::cg.count, prm::cp.count, prm::ca.count,
                              prm::sy.count, prm::sd.count, prm::ci.count});
  if (ni < 0 || ni >= count)
    return MSG_FAIL(tag("3"), "*** invalid number of intervals (ni=%d)! (%s)\n", ni);
  if (static_cast<double>(ni) * prm::li > MaxPlumeReach)
    return MSG_FAIL(
        tag("4"),
        "*** plume table of ni=%d intervals of li=%g m reaches %g m, at most %g m! (%s)\n", ni,
        prm::li, static_cast<double>(ni) * prm::li, MaxPlumeReach);
  float* cx = prm::cx.f();
  for (int n = 0; n <= ni; n++) cx[n] = n * prm::li;
  int rc = DffPlume(cx, prm::cg.f(), prm::cp.f(), prm::ca.f(), prm::sy.f(), prm::sd.f(),
                    prm::ci.f(), prm::hq, prm::cq, ni);
  if (rc < 0 || MsgErr < 0) return MSG_FAIL(tag("1"), "*** plume functions! (%s)\n");
  // The flux at the source is the part of the emission inside the vertical
  // grid: a source reaching below the ground or above the top of the grid
  // would silently lose the rest.
  if (!(prm::ci[0] > 0.999f))
    return MSG_FAIL(tag("5"),
                    "*** source at hq=%g m (cq=%g m) not within the vertical grid from 0 to %g m "
                    "(flux %.4g)! (%s)\n",
                    prm::hq, prm::cq, prm::zk[prm::nz], prm::ci[0]);
  return 0;
}

int PrintPlume() {
  std::FILE* f = MsgLog;
  if (!f) return 0;
  const int ni = prm::ni;
  const int step = (prm::nd > 0) ? prm::nd + 1 : 1;  // a negative nd would never advance
  std::fprintf(f, "\nWerte der Fahnenfunktionen\n");
  std::fprintf(
      f,
      "\nAbstand      Cy(z=0)     Cy(z=zp)      Cy(z=h)       Sy       Sd     Cm(z=zp)    Fluß\n");
  for (int n = 0; n <= ni && n < prm::cx.count; n += step) {
    const float sy = prm::sy[n];
    // Concentration under the plume axis at the receptor height for the source strength eq.
    const float cm = (sy > 0) ? prm::eq * prm::cp[n] * 0.3989423f / sy : 0.0f;
    std::fprintf(f, "%7.0f %12.4e %12.4e %12.4e %8.1f %8.1f %12.4e %7.4f\n", prm::cx[n], prm::cg[n],
                 prm::cp[n], prm::ca[n], sy, prm::sd[n], cm, prm::ci[n]);
  }
  std::fprintf(f, "\n");
  return 0;
}
