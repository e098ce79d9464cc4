// Special functions: accuracy against exact values at the accuracy that
// each approximation promises, branch boundaries, and symmetry.
#include <gtest/gtest.h>

#include <cmath>

#include "mth/mth.h"

namespace {

TEST(MthGamma, ExactValuesWithinPolynomialAccuracy) {
  // The polynomial of Gamma(1 + t) is good to 3e-7 (relative) on 0..1.
  EXPECT_NEAR(MthGamma(1.0), 1.0, 3e-7);
  EXPECT_NEAR(MthGamma(2.0), 1.0, 3e-7);
  EXPECT_NEAR(MthGamma(0.5), 1.7724538509, 1.7724538509 * 3e-7);
  EXPECT_NEAR(MthGamma(1.5), 0.8862269255, 0.8862269255 * 3e-7);
  for (double x = 0.05; x <= 10.0; x += 0.173)
    EXPECT_NEAR(MthGamma(x) / std::tgamma(x), 1.0, 4e-7) << "x=" << x;
}

TEST(MthGamma, StirlingBranchAboveTen) {
  EXPECT_NEAR(MthGamma(11.0) / 3628800.0, 1.0, 1e-8);
  for (double x = 10.01; x < 60; x += 1.37)
    EXPECT_NEAR(MthGamma(x) / std::tgamma(x), 1.0, 1e-8) << "x=" << x;
  // Continuous across the branch boundary to the accuracy of the polynomial.
  EXPECT_NEAR(MthGamma(10.0) / MthGamma(std::nextafter(10.0, 11.0)), 1.0, 4e-7);
}

TEST(MthGamma, NonPositiveArgumentGivesZero) {
  EXPECT_EQ(MthGamma(0.0), 0.0);
  EXPECT_EQ(MthGamma(-1.5), 0.0);
  EXPECT_EQ(MthGamma(-1e-300), 0.0);
}

TEST(MthErfc, AccuracyAndSymmetry) {
  EXPECT_NEAR(MthErfc(0.0), 1.0, 1e-9);
  for (double x = 0.0917; x < 6; x += 0.0917) {
    EXPECT_NEAR(MthErfc(x), std::erfc(x), 1.5e-7) << "x=" << x;
    EXPECT_DOUBLE_EQ(MthErfc(-x), 2.0 - MthErfc(x)) << "x=" << x;
  }
  // The asymptotic branch: its relative error is 4e-4 at the switch and
  // falls off fast as the series terms shrink with 1/(2x^2)^7.
  EXPECT_NEAR(MthErfc(2.7577) / std::erfc(2.7577), 1.0, 5e-4);
  for (double x : {4.0, 6.0, 10.0, 19.9})
    EXPECT_NEAR(MthErfc(x) / std::erfc(x), 1.0, 3e-6) << "x=" << x;
  EXPECT_EQ(MthErfc(20.0), 0.0);
  EXPECT_EQ(MthErfc(25.0), 0.0);
  EXPECT_EQ(MthErfc(-25.0), 2.0);
}

TEST(MthGammaPow, MatchesPowerOfGammaAndAvoidsOverflow) {
  EXPECT_NEAR(MthGammaPow(2.5, 2.0), std::pow(std::tgamma(2.5), 2.0), 1e-6);
  EXPECT_NEAR(MthGammaPow(15.0, 0.5) / std::sqrt(std::tgamma(15.0)), 1.0, 1e-8);
  // Gamma(200) overflows a double, its 0.01th power does not.
  double r = MthGammaPow(200.0, 0.01);
  EXPECT_TRUE(std::isfinite(r));
  EXPECT_NEAR(std::log(r), 0.01 * std::lgamma(200.0), 1e-6);
}

TEST(MthBesselI0, BothBranches) {
  // Reference values of I0 (to 10 digits).
  EXPECT_NEAR(MthBesselI0(0.0), 1.0, 1e-12);
  EXPECT_NEAR(MthBesselI0(1.0), 1.266065878, 1.266065878 * 2e-7);
  EXPECT_NEAR(MthBesselI0(-1.0), 1.266065878, 1.266065878 * 2e-7);
  EXPECT_NEAR(MthBesselI0(3.0), 4.880792586, 4.880792586 * 2e-7);
  EXPECT_NEAR(MthBesselI0(5.0), 27.23987182, 27.23987182 * 2e-7);
  EXPECT_NEAR(MthBesselI0(10.0), 2815.716628, 2815.716628 * 2e-7);
  EXPECT_NEAR(MthBesselI0(3.75) / MthBesselI0(std::nextafter(3.75, 0.0)), 1.0, 3e-7);
}

}  // namespace
