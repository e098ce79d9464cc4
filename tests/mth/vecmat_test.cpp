// Vector and matrix routines: algebraic identities, the decompositions,
// and the failure paths with their exact messages.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "msg/msg.h"
#include "mth/mth.h"
#include "support.h"

namespace {

void ExpectMatNear(const MthMat& a, const MthMat& b, float tol) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) EXPECT_NEAR(a.e[i][j], b.e[i][j], tol) << i << "," << j;
}

const MthMat kIdentity = MthMakeMat(1, 0, 0, 0, 1, 0, 0, 0, 1);

class MthVecMatTest : public testing::Test {
 protected:
  void SetUp() override { zt::ResetMsg(); }
  void TearDown() override { zt::ResetMsg(); }
};

TEST_F(MthVecMatTest, VectorOperations) {
  MthVec u = MthMakeVec(1, 2, 3), v = MthMakeVec(-4, 5, 0.5f);
  EXPECT_FLOAT_EQ(MthDot(u, v), -4 + 10 + 1.5f);
  EXPECT_FLOAT_EQ(MthNorm(MthMakeVec(3, 4, 12)), 13);
  MthVec c = MthCross(u, v);
  EXPECT_FLOAT_EQ(c.x, 2 * 0.5f - 3 * 5);
  EXPECT_FLOAT_EQ(c.y, 3 * -4 - 1 * 0.5f);
  EXPECT_FLOAT_EQ(c.z, 1 * 5 - 2 * -4);
  EXPECT_FLOAT_EQ(MthDot(c, u), 0);  // orthogonal to both factors
  EXPECT_FLOAT_EQ(MthDot(c, v), 0);
  MthVec s = MthVecSub(MthVecAdd(u, v), MthVecScale(2, v));
  EXPECT_FLOAT_EQ(s.x, 5);
  EXPECT_FLOAT_EQ(s.y, -3);
  EXPECT_FLOAT_EQ(s.z, 2.5f);
}

TEST_F(MthVecMatTest, MatrixProductsRespectRowAndColumnOrder) {
  MthMat a = MthMakeMat(1, 2, 3, 4, 5, 6, 7, 8, 10);
  MthMat b = MthMakeMat(0, 1, 0, 0, 0, 1, 1, 0, 0);  // cyclic permutation
  MthMat ab = MthMatMul(a, b);
  // Right multiplication by b permutes the columns of a.
  ExpectMatNear(ab, MthMakeMat(3, 1, 2, 6, 4, 5, 10, 7, 8), 0);
  MthVec v = MthMakeVec(1, -1, 2);
  MthVec mv = MthMatVec(a, v), vm = MthVecMat(v, a);
  EXPECT_FLOAT_EQ(mv.x, 1 - 2 + 6);
  EXPECT_FLOAT_EQ(mv.z, 7 - 8 + 20);
  EXPECT_FLOAT_EQ(vm.x, 1 - 4 + 14);
  EXPECT_FLOAT_EQ(vm.z, 3 - 6 + 20);
  // v m equals m^T v.
  MthVec tv = MthMatVec(MthTrans(a), v);
  EXPECT_FLOAT_EQ(tv.y, vm.y);
  ExpectMatNear(MthMatSub(MthMatAdd(a, b), b), a, 0);
  ExpectMatNear(MthMatScale(2, a), MthMatAdd(a, a), 0);
  MthMat d = MthDyad(MthMakeVec(1, 2, 3), MthMakeVec(4, 5, 6));
  EXPECT_FLOAT_EQ(d.e[1][2], 12);
  EXPECT_FLOAT_EQ(d.e[2][0], 12);
  EXPECT_FLOAT_EQ(MthDet(d), 0);
  EXPECT_FLOAT_EQ(MthDet(a), -3);
}

TEST_F(MthVecMatTest, RotationAboutVerticalAxis) {
  ExpectMatNear(MthRotZ(0, 0), kIdentity, 0);
  MthMat r = MthRotZ(3, 4);
  MthVec ex = MthMatVec(r, MthMakeVec(1, 0, 0));
  EXPECT_FLOAT_EQ(ex.x, 0.6f);  // the x axis turns into (3, 4)/5
  EXPECT_FLOAT_EQ(ex.y, 0.8f);
  EXPECT_FLOAT_EQ(ex.z, 0);
  EXPECT_FLOAT_EQ(MthDet(r), 1);
  ExpectMatNear(MthMatMul(r, MthTrans(r)), kIdentity, 1e-7f);
}

TEST_F(MthVecMatTest, CholeskyAndInverseReproduceTheMatrix) {
  MthMat m = MthMakeMat(4, 2, -2, 2, 10, 5, -2, 5, 9);
  MthMat l = ChlM(m);
  EXPECT_EQ(l.e[0][1], 0);
  EXPECT_EQ(l.e[0][2], 0);
  EXPECT_EQ(l.e[1][2], 0);
  EXPECT_FLOAT_EQ(l.e[0][0], 2);
  ExpectMatNear(MthMatMul(l, MthTrans(l)), m, 2e-6f);
  ExpectMatNear(MthMatMul(m, InvM(m)), kIdentity, 1e-6f);
  // A zero pivot with a zero column below it is accepted.
  MthMat z = ChlM(MthMakeMat(0, 0, 0, 0, 4, 2, 0, 2, 5));
  ExpectMatNear(z, MthMakeMat(0, 0, 0, 0, 2, 0, 0, 1, 2), 0);
}

using MthDeathTest = MthVecMatTest;

TEST_F(MthDeathTest, SingularInverseEndsTheProgram) {
  // The log copy goes to stderr, where the death test looks for it.
  EXPECT_EXIT(
      {
        MsgLog = stderr;
        InvM(MthMakeMat(1, 2, 3, 2, 4, 6, 0, 0, 1));
      },
      testing::ExitedWithCode(1),
      " 1.00000e\\+00  2.00000e\\+00  3.00000e\\+00\n.*\n.*\n"
      "\\*\\*\\* singular matrix! \\(QORmth.InvM.1\\)\n$");
}

TEST_F(MthDeathTest, CholeskyFailuresEndTheProgram) {
  EXPECT_EXIT(
      {
        MsgLog = stderr;
        ChlM(MthMakeMat(1, 2, 0, 2, 1, 0, 0, 0, 1));
      },
      testing::ExitedWithCode(1), "\\*\\*\\* cholesky separation not possible! \\(QORmth.ChlM.1\\)\n$");
  EXPECT_EXIT(
      {
        MsgLog = stderr;
        ChlM(MthMakeMat(0, 1, 0, 1, 1, 0, 0, 0, 1));
      },
      testing::ExitedWithCode(1), "\\*\\*\\* cholesky separation not possible! \\(QORmth.ChlM.2\\)\n$");
}

TEST_F(MthVecMatTest, GaussJordanInvertsAndSolves) {
  // A matrix that needs pivoting (zero on the diagonal).
  const int n = 4;
  std::vector<float> a = {0, 2, 1, 3, 1, 0, 2, 1, 4, 1, 0, 2, 1, 3, 2, 0};
  const std::vector<float> a0 = a;
  std::vector<float> x = {1, -2, 0.5f, 3, 2, 0, -1, 1};  // two solutions, row by row (n x 2)
  std::vector<float> b(n * 2, 0);
  for (int i = 0; i < n; i++)
    for (int j = 0; j < 2; j++)
      for (int k = 0; k < n; k++) b[i * 2 + j] += a0[i * n + k] * x[k * 2 + j];
  ASSERT_EQ(GssJrd(a.data(), n, b.data(), 2), 0);
  for (int i = 0; i < n * 2; i++) EXPECT_NEAR(b[i], x[i], 2e-5f) << i;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      float s = 0;
      for (int k = 0; k < n; k++) s += a0[i * n + k] * a[k * n + j];
      EXPECT_NEAR(s, i == j ? 1.0f : 0.0f, 2e-6f) << i << "," << j;
    }
}

TEST_F(MthVecMatTest, GaussJordanReportsSingularMatrix) {
  zt::LogCapture log;
  std::vector<float> a = {1, 2, 2, 4}, b = {1, 2};
  EXPECT_EQ(GssJrd(a.data(), 2, b.data(), 1), -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(log.text(), "singular matrix! (QORmth.GssJrd.5)\n");
}

}  // namespace
