// Numerical library QORmth: special functions in double precision (the
// model needs the Gamma function for its Weibull fluctuations) and the
// algebra of three-component vectors and 3x3 matrices in single precision,
// with a Cholesky decomposition, an inverse and a Gauss-Jordan solver.
#pragma once

// ---- Special functions -----------------------------------------------------

// Gamma(x); 0 for x <= 0. Relative error about 3e-7 (polynomial of
// Abramowitz-Stegun 6.1.36 up to x = 10, Stirling's series above).
double MthGamma(double x);
// Complementary error function; absolute error about 1.5e-7 (A-S 7.1.26,
// asymptotic series for |x| >= 2.7577, 0 for x >= 20).
double MthErfc(double x);
// Gamma(x)^p, evaluated factor by factor for x >= 10 so that it does not
// overflow where Gamma(x) alone would.
double MthGammaPow(double x, double p);
// Modified Bessel function I0(x) (A-S 9.8.1 and 9.8.2).
double MthBesselI0(double x);

// ---- Vectors and 3x3 matrices ----------------------------------------------

struct MthVec {
  float x, y, z;
};

// Stored row by row: e[i][j] is row i, column j.
struct MthMat {
  float e[3][3];
};

void MthPrnV(MthVec v);  // one line "%12.5e %12.5e %12.5e\n" through MsgOut
void MthPrnM(MthMat m);  // the three rows, each such a line

MthVec MthMakeVec(float x, float y, float z);
MthMat MthMakeMat(float xx, float xy, float xz, float yx, float yy, float yz, float zx, float zy,
                  float zz);
MthVec MthVecScale(float s, MthVec v);
MthMat MthMatScale(float s, MthMat m);
MthVec MthVecAdd(MthVec u, MthVec v);
MthVec MthVecSub(MthVec u, MthVec v);
MthMat MthMatAdd(MthMat a, MthMat b);
MthMat MthMatSub(MthMat a, MthMat b);
float MthDot(MthVec u, MthVec v);
float MthNorm(MthVec v);
MthVec MthCross(MthVec u, MthVec v);
MthVec MthVecMat(MthVec v, MthMat m);  // row vector times matrix: sum_i v_i m_ij
MthVec MthMatVec(MthMat m, MthVec v);  // matrix times column vector: sum_j m_ij v_j
MthMat MthMatMul(MthMat a, MthMat b);
MthMat MthTrans(MthMat m);
MthMat MthDyad(MthVec u, MthVec v);  // u_i v_j
// Rotation about the vertical axis that turns the x axis into the direction
// (x, y); the identity for (0, 0).
MthMat MthRotZ(float x, float y);
float MthDet(MthMat m);

// Lower triangular L with m = L L^T for a symmetric m. A matrix that has no
// such decomposition is written with MthPrnM, reported, and the program
// ends with exit code 1.
MthMat ChlM(MthMat m);
// Inverse by cofactors. A determinant of exactly 0: the matrix is written,
// reported, and the program ends with exit code 1.
MthMat InvM(MthMat m);
// Gauss-Jordan elimination with full pivoting on the n x n matrix a and the
// n x m right-hand sides b (both row by row, caller-owned). On success a
// holds the inverse, b the solutions, and the result is 0; -1 after a
// reported failure (singular matrix, no memory).
int GssJrd(float* a, int n, float* b, int m);
