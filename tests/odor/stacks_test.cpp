// Stacks: the building class by the height ratio, the ridge of a flat roof,
// buildings of other sources within the radius, the exit-velocity threshold
// of the rise, and the rise approaching its final value.
#include "odor/stacks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "prm/params.h"
#include "support.h"

namespace {

class Stacks : public testing::Test {
 protected:
  void SetUp() override {
    zt::ResetMsg();
    PrmClear();
    PrmInit(1);
    PrmInit(2);
  }
  void TearDown() override {
    PrmClear();
    zt::ResetMsg();
  }
  static Source Stack(float x, float hq, float hb, float vq = 7, int qr = 1) {
    Source q;
    q.xq = x;
    q.hq = hq;
    q.hb = hb;
    q.dq = 0.8f;
    q.vq = vq;
    q.qr = qr;
    return q;
  }
};

TEST_F(Stacks, ClassesOfStacksOnAnEightMetreBarn) {
  // 1.2 and 1.7 times 8 m are 9.6 m and 13.6 m; a stack must be more than that.
  const std::vector<Source> list = {Stack(0, 9, 8), Stack(500, 10, 8), Stack(1000, 14, 8),
                                    Stack(1500, 9.6f, 8), Stack(2000, 13.6f, 8)};
  const int want[] = {StkWake, StkBetween, StkFree, StkWake, StkBetween};
  for (int s = 0; s < 5; s++) {
    const StkClass k = StkClassify(list, s);
    EXPECT_EQ(k.kind, want[s]) << s;
    EXPECT_EQ(k.building, 8.0f);
    EXPECT_EQ(k.rise, k.kind != StkWake) << s;
    // Free outflow: 10 m above ground and 3 m above the ridge.
    EXPECT_EQ(k.outflow, list[s].hq >= 11) << s;
  }
}

TEST_F(Stacks, ThresholdsFlatRoofAndNeighbours) {
  // Exit velocity just below and at the minimum.
  std::vector<Source> list = {Stack(0, 14, 8, 6.99f), Stack(500, 14, 8, 7.0f)};
  EXPECT_FALSE(StkClassify(list, 0).rise);
  EXPECT_TRUE(StkClassify(list, 1).rise);
  prm::wv = 6.5f;
  EXPECT_TRUE(StkClassify(list, 0).rise);

  // A roof of 10 degrees over 12 m counts as one of 20 degrees.
  Source flat = Stack(0, 14, 8);
  flat.bb = 12;
  flat.bn = 10;
  EXPECT_NEAR(StkRidge(flat), 8 + 6 * (std::tan(20 * M_PI / 180) - std::tan(10 * M_PI / 180)),
              1e-5);
  flat.bn = 25;
  EXPECT_EQ(StkRidge(flat), 8.0f);

  // A 10 m building 60 m away counts within 6 stack heights of 14 m, not at 90 m.
  list = {Stack(0, 14, 0), Stack(60, 0, 10, 0, 0)};
  EXPECT_EQ(StkClassify(list, 0).kind, StkBetween);
  list[1].xq = 90;
  EXPECT_EQ(StkClassify(list, 0).kind, StkFree);

  // The wake line replaces a wake or between source only.
  list = {Stack(0, 9, 8), Stack(500, 14, 8)};
  list[0].qw = list[1].qw = 1;
  EXPECT_TRUE(StkClassify(list, 0).line);
  EXPECT_FALSE(StkClassify(list, 0).rise);
  EXPECT_FALSE(StkClassify(list, 1).line);
}

TEST_F(Stacks, RiseGrowsToItsFinalValue) {
  for (int model : {StkGuideline, StkBriggs}) {
    for (double u : {1.0, 3.0, 8.0}) {
      const StkRise r = (model == StkGuideline) ? StkRiseGuideline(0.8, 7, 20, u)
                                                : StkRiseBriggs(0.8, 7, 20, u);
      double last = 0;
      for (double x = 0; x <= 20 * r.xe; x += r.xe / 20) {
        const double h = StkRiseAt(model, r, 0.8, 7, 20, u, x);
        EXPECT_GE(h, last) << model << " " << u << " " << x;
        EXPECT_LE(h, r.dh + 1e-12);
        last = h;
      }
      EXPECT_NEAR(last, r.dh, 1e-6 * r.dh) << model << " " << u;
      if (model == StkBriggs) {
        EXPECT_NEAR(StkRiseAt(model, r, 0.8, 7, 20, u, r.xe), r.dh, 1e-6);
      }
    }
  }
}

}  // namespace
