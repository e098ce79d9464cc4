// Test fixture of the odor assessment: a fresh parameter table, the meander
// table and concentration scale as the initialisation fills them, and a
// synthetic plume table, so that concentrations can be checked by hand.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "msg/msg.h"
#include "odor/odor.h"
#include "odor/receptors.h"
#include "odor/sources.h"
#include "prm/params.h"
#include "prm/prm.h"
#include "support.h"

namespace odt {

constexpr float kInvSqrt2Pi = 0.39894229f;

class OdorTest : public testing::Test {
 protected:
  void SetUp() override { Reinit(nullptr); }

  void TearDown() override {
    SrcForget();
    ReleaseAccumulators();
    PrmClear();
    zt::ResetMsg();
  }

  // A new parameter table; dims may change the dimensions (mi, nl, nm, ...)
  // before the vectors are allocated.
  void Reinit(const std::function<void()>& dims) {
    zt::ResetMsg();
    ReleaseAccumulators();
    PrmClear();
    ASSERT_EQ(PrmInit(1), 0);
    prm::mi = 200;
    prm::mp = 4;
    if (dims) dims();
    ASSERT_EQ(PrmInit(2), 0);
    FillMeander();
    for (int i = 0; i <= prm::nl; i++)
      prm::cl[i] = static_cast<float>(std::pow(10.0, static_cast<double>(prm::ll + i) / prm::nc));
    ASSERT_EQ(AllocPoints(prm::mp), 0);
    prm::ni = prm::mi;
  }

  // Meander positions and normalised weights of the core plumes.
  static void FillMeander() {
    const int nm = prm::nm;
    float s = 0;
    for (int i = 0; i <= nm; i++) {
      float eta = nm > 0 ? i * prm::ex / nm : 0.0f;
      float w = std::exp(-eta * eta / 2);
      prm::em[i] = eta;
      prm::wm[i] = w;
      s += (i == 0) ? w : 2 * w;
    }
    for (int i = 0; i <= nm; i++) prm::wm[i] /= s;
  }

  // Plume table on x = n*li: widths sy(x), core widths sd(x), plume function cp(x).
  static void SetTable(float li, int ni, const std::function<float(float)>& sy,
                       const std::function<float(float)>& sd, const std::function<float(float)>& cp) {
    prm::li = li;
    prm::ni = ni;
    for (int n = 0; n <= ni; n++) {
      float x = n * li;
      prm::cx[n] = x;
      prm::sy[n] = sy(x);
      prm::sd[n] = sd(x);
      prm::cp[n] = cp(x);
    }
  }

  // Widths growing linearly with distance (0 at the source), constant cp.
  static void LinearTable(float slope = 0.2f, float cp = 1.0f) {
    SetTable(
        10, 200, [=](float x) { return slope * x; }, [=](float x) { return 0.5f * slope * x; },
        [=](float) { return cp; });
  }

  static void OnlySector(int s, float hours) {
    for (int k = 0; k < prm::nw; k++) prm::dw[k] = 0;
    prm::dw[s] = hours;
  }

  static void Grid(int nx, int ny, float dr, float xr, float yr) {
    prm::nx = nx;
    prm::ny = ny;
    prm::dr = dr;
    prm::xr = xr;
    prm::yr = yr;
    ASSERT_EQ(DefineGrid(), 0);
  }

  static float At(AryDesc& a, int i, int j) { return *static_cast<float*>(AryPtr(&a, i, j)); }

  static void ReleaseAccumulators() {
    for (AryDesc* g : {&GrdCnc, &GrdC90, &GrdFrh, &GrdFro}) {
      AryFree(g);
      *g = AryDesc{};
    }
    AllocPoints(0);
    SumDur = 0;
  }
};

}  // namespace odt
