// Vector and matrix routines of the numerical library: three-component
// vectors and 3x3 matrices in single precision, passed by value, and a
// Gauss-Jordan solver for n x n systems.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "msg/msg.h"
#include "mth/mth.h"

namespace {

constexpr const char* kModule = "QORmth";

// ChlM and InvM have no way to return a failure: they show the matrix as
// part of the error report, then the message, and end the program. MsgErr
// is set before the matrix, so it is visible at every verbose level.
void ShowFailedMatrix(const MthMat& m) {
  MsgErr = -1;
  MthPrnM(m);
}

}  // namespace

void MthPrnV(MthVec v) { MsgOut("%12.5e %12.5e %12.5e\n", v.x, v.y, v.z); }

void MthPrnM(MthMat m) {
  for (const auto& row : m.e) MsgOut("%12.5e %12.5e %12.5e\n", row[0], row[1], row[2]);
}

MthVec MthMakeVec(float x, float y, float z) { return {x, y, z}; }

MthMat MthMakeMat(float xx, float xy, float xz, float yx, float yy, float yz, float zx, float zy,
                  float zz) {
  return {{{xx, xy, xz}, {yx, yy, yz}, {zx, zy, zz}}};
}

MthVec MthVecScale(float s, MthVec v) { return {s * v.x, s * v.y, s * v.z}; }

MthMat MthMatScale(float s, MthMat m) {
  for (auto& row : m.e)
    for (float& x : row) x *= s;
  return m;
}

MthVec MthVecAdd(MthVec u, MthVec v) { return {u.x + v.x, u.y + v.y, u.z + v.z}; }
MthVec MthVecSub(MthVec u, MthVec v) { return {u.x - v.x, u.y - v.y, u.z - v.z}; }

MthMat MthMatAdd(MthMat a, MthMat b) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a.e[i][j] += b.e[i][j];
  return a;
}

MthMat MthMatSub(MthMat a, MthMat b) {
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) a.e[i][j] -= b.e[i][j];
  return a;
}

float MthDot(MthVec u, MthVec v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

float MthNorm(MthVec v) { return std::sqrt(MthDot(v, v)); }

MthVec MthCross(MthVec u, MthVec v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

MthVec MthVecMat(MthVec v, MthMat m) {
  float r[3];
  for (int j = 0; j < 3; j++) r[j] = v.x * m.e[0][j] + v.y * m.e[1][j] + v.z * m.e[2][j];
  return {r[0], r[1], r[2]};
}

MthVec MthMatVec(MthMat m, MthVec v) {
  float r[3];
  for (int i = 0; i < 3; i++) r[i] = m.e[i][0] * v.x + m.e[i][1] * v.y + m.e[i][2] * v.z;
  return {r[0], r[1], r[2]};
}

MthMat MthMatMul(MthMat a, MthMat b) {
  MthMat c{};
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++)
      c.e[i][j] = a.e[i][0] * b.e[0][j] + a.e[i][1] * b.e[1][j] + a.e[i][2] * b.e[2][j];
  return c;
}

MthMat MthTrans(MthMat m) {
  MthMat t;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) t.e[j][i] = m.e[i][j];
  return t;
}

MthMat MthDyad(MthVec u, MthVec v) {
  const float a[3] = {u.x, u.y, u.z}, b[3] = {v.x, v.y, v.z};
  MthMat m;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m.e[i][j] = a[i] * b[j];
  return m;
}

MthMat MthRotZ(float x, float y) {
  float r = std::sqrt(x * x + y * y);
  float c = 1, s = 0;
  if (r > 0) {
    c = x / r;
    s = y / r;
  }
  return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

float MthDet(MthMat m) {
  const auto& e = m.e;
  return e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1]) -
         e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0]) +
         e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
}

MthMat ChlM(MthMat m) {
  MthMat l{};
  for (int i = 0; i < 3; i++) {
    for (int j = i; j < 3; j++) {
      float s = m.e[i][j];
      for (int k = 0; k < i; k++) s -= l.e[i][k] * l.e[j][k];
      if (j == i) {
        if (s < 0) {
          ShowFailedMatrix(m);
          MSG_FAIL(MsgTag(kModule, "ChlM", "1"), "*** cholesky separation not possible! (%s)\n");
          std::exit(1);
        }
        l.e[i][i] = std::sqrt(s);
      } else if (l.e[i][i] == 0) {
        // A zero pivot allows only a zero column below it.
        if (s != 0) {
          ShowFailedMatrix(m);
          MSG_FAIL(MsgTag(kModule, "ChlM", "2"), "*** cholesky separation not possible! (%s)\n");
          std::exit(1);
        }
        l.e[j][i] = 0;
      } else {
        l.e[j][i] = s / l.e[i][i];
      }
    }
  }
  return l;
}

MthMat InvM(MthMat m) {
  float det = MthDet(m);
  if (det == 0) {
    ShowFailedMatrix(m);
    MSG_FAIL(MsgTag(kModule, "InvM", "1"), "*** singular matrix! (%s)\n");
    std::exit(1);
  }
  const auto& e = m.e;
  MthMat r;
  // The inverse is the transposed cofactor matrix over the determinant.
  for (int i = 0; i < 3; i++) {
    int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
    for (int j = 0; j < 3; j++) {
      int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      r.e[j][i] = (e[i1][j1] * e[i2][j2] - e[i1][j2] * e[i2][j1]) / det;
    }
  }
  return r;
}

int GssJrd(float* a, int n, float* b, int m) {
  // Per column: the column of the pivot of each pass, the row it came
  // from, and how often the column has been chosen.
  std::unique_ptr<int[]> indxc(new (std::nothrow) int[n + 1]());
  if (!indxc) return MSG_FAIL(MsgTag(kModule, "GssJrd", "1"), "%d integers not allocated! (%s)\n", n + 1);
  std::unique_ptr<int[]> indxr(new (std::nothrow) int[n + 1]());
  if (!indxr) return MSG_FAIL(MsgTag(kModule, "GssJrd", "2"), "%d integers not allocated! (%s)\n", n + 1);
  std::unique_ptr<int[]> ipiv(new (std::nothrow) int[n + 1]());
  if (!ipiv) return MSG_FAIL(MsgTag(kModule, "GssJrd", "3"), "%d integers not allocated! (%s)\n", n + 1);

  auto A = [&](int i, int j) -> float& { return a[i * n + j]; };
  auto B = [&](int i, int j) -> float& { return b[i * m + j]; };
  for (int pass = 0; pass < n; pass++) {
    float big = 0;
    int irow = 0, icol = 0;
    for (int j = 0; j < n; j++) {
      if (ipiv[j] == 1) continue;
      for (int k = 0; k < n; k++) {
        if (ipiv[k] == 0) {
          if (std::fabs(A(j, k)) >= big) {
            big = std::fabs(A(j, k));
            irow = j;
            icol = k;
          }
        } else if (ipiv[k] > 1) {
          return MSG_FAIL(MsgTag(kModule, "GssJrd", "4"), "singular matrix! (%s)\n");
        }
      }
    }
    ++ipiv[icol];
    if (irow != icol) {
      for (int l = 0; l < n; l++) std::swap(A(irow, l), A(icol, l));
      for (int l = 0; l < m; l++) std::swap(B(irow, l), B(icol, l));
    }
    indxr[pass] = irow;
    indxc[pass] = icol;
    if (A(icol, icol) == 0) return MSG_FAIL(MsgTag(kModule, "GssJrd", "5"), "singular matrix! (%s)\n");
    float pivinv = 1 / A(icol, icol);
    A(icol, icol) = 1;
    for (int l = 0; l < n; l++) A(icol, l) *= pivinv;
    for (int l = 0; l < m; l++) B(icol, l) *= pivinv;
    for (int ll = 0; ll < n; ll++) {
      if (ll == icol) continue;
      float dum = A(ll, icol);
      A(ll, icol) = 0;
      for (int l = 0; l < n; l++) A(ll, l) -= A(icol, l) * dum;
      for (int l = 0; l < m; l++) B(ll, l) -= B(icol, l) * dum;
    }
  }
  // Undo the column permutation implied by the row swaps.
  for (int l = n - 1; l >= 0; l--) {
    if (indxr[l] != indxc[l])
      for (int k = 0; k < n; k++) std::swap(A(k, indxr[l]), A(k, indxc[l]));
  }
  return 0;
}
