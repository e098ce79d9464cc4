// The model's parameters as program-wide typed objects, one per record of
// the parameter table (prm/model_table.cpp owns the storage). Scalars hold
// their value; strings point to a buffer owned by the table; vectors hold
// their element array and count.
#pragma once

#include <cstdint>

#include "prm/prm.h"

namespace prm {

// section *d
extern float dz;
extern int32_t ll;
extern int32_t mc;
extern char* me;
extern int32_t mi;
extern int32_t mp;
extern int32_t nc;
extern int32_t nl;
extern int32_t nm;
extern int32_t nq;
extern int32_t nw;
extern int32_t nz;
extern char* op;
extern char* ti;
extern int32_t vc;  // 1: estimate the error of the vertical grid in every run
extern double xf;
extern double yf;
extern int32_t ep;  // EPSG code of the system of xf, yf; 0: none
extern float zp;

// section *a
extern int32_t np;
extern PrmVec xp;
extern PrmVec yp;

// section *g
extern float dr;
extern int32_t nx;
extern int32_t ny;
extern float xr;
extern float yr;

// section *l
extern int32_t nd;

// section *p
extern float ad;
extern float al;
extern float am;
extern PrmVec dw;
extern float ga;
extern float gs;
extern float ha;
extern float hm;
extern float kw;
extern float ld;
extern float lm;
extern float mf;
extern int32_t mx;
extern int32_t mz;
extern int32_t nu;
extern float pd;
extern float re;
extern float sv;
extern float sw;
extern float tm;
extern float ua;
extern float us;
extern float vd;
extern float z0;
extern PrmVec zk;

// section *q
extern float aq;
extern float bb;  // m, width of the building across its ridge
extern float bd;  // m, least height of a stack above the ridge for free outflow
extern float bh;  // m, least height of a stack above ground for free outflow
extern float bm;  // degrees, a flatter roof counts with this pitch
extern float bn;  // degrees, roof pitch of the building
extern float bo;  // stack/building height ratio from which buildings are left out
extern float bq;
extern float br;  // radius of the buildings that count, in stack heights
extern float bu;  // stack/building height ratio below which the stack is in the wake
extern float cq;
extern float dq;  // m, inner diameter of the stack
extern float eq;
extern float fg;
extern float hb;  // m, ridge height of the building the stack stands on
extern float hq;
extern float li;
extern float lq;
extern int32_t ni;
extern int32_t qr;  // plume rise: 0 none, 1 the 1985 guideline formula, 2 Briggs
extern int32_t qw;  // 1: a source in the wake becomes a vertical line from the ground
extern float rq;
extern char* sg;
extern float tq;  // degrees C, exit temperature
extern float vq;  // m/s, exit velocity
extern float wv;  // m/s, least exit velocity for plume rise
extern float xq;
extern float yq;
extern int32_t za;

// section *s
extern float fa;
extern char* fi;
extern char* fo;
extern char* id;
extern char* mo;
extern char* se;

// section *_
extern PrmVec ca;
extern PrmVec cg;
extern PrmVec ci;
extern PrmVec cl;
extern PrmVec cp;
extern PrmVec cx;
extern PrmVec em;
extern float ex;
extern float fv;
extern PrmVec hl;
extern float kk;
extern PrmVec kz;
extern float lv;
extern PrmVec od;
extern float pl;
extern float pn;
extern float ps;
extern PrmVec sd;
extern PrmVec sy;
extern float tw;
extern PrmVec ux;
extern float vv;
extern PrmVec ww;
extern PrmVec wm;

}  // namespace prm
