// Receptors and accumulators of the odor assessment: the grid accumulators,
// the receptor-point accumulators and the total duration. They live for the
// whole run; each dispersion run adds duration-weighted values to them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ary/ary.h"
#include "odor/sources.h"

// Grid accumulators, float, i = 0..nx-1, j = 0..ny-1 (created by DefineGrid).
extern AryDesc GrdCnc;  // duration x mean concentration
extern AryDesc GrdC90;  // duration x 90th percentile
extern AryDesc GrdFrh;  // duration of odor hours
extern AryDesc GrdFro;  // duration x odor probability

// Receptor-point accumulators, mp values each (allocated after *DIMENSIONIERUNG).
extern std::vector<float> PntCnc, PntFro, PntFrh, PntC90;

extern double SumDur;  // total duration of all sectors calculated (h)

// Accumulators of one set of statistics beyond the total (the grid and
// point accumulators above): a group of sources, or the applicant's groups
// together.
struct SetSums {
  std::string name;                           // the group, or "za" for the applicant's
  float fg = 1;                               // factor of the group
  AryDesc cnc{}, c90{}, frh{}, fro{};         // as GrdCnc ..., once a grid exists
  std::vector<float> pcnc, pfro, pfrh, pc90;  // as PntCnc ...
  SetSums() = default;
  SetSums(const SetSums&) = delete;
  SetSums& operator=(const SetSums&) = delete;
  ~SetSums();
};

// Sets 1.. in the order of the odor core: each group, then the applicant's;
// empty when the sources have no groups.
extern std::vector<std::unique_ptr<SetSums>> GrpSums;
// The groups of the last run (one unnamed group when the sources have no
// names), and its sources without plume tables when they have groups.
extern std::vector<SrcGroup> GrpGroups;
extern std::vector<Source> GrpSources;
// Something has been accumulated since the start or the last ClearValues.
extern bool GrpAccumulated;

// Makes the accumulators of the groups of list ready for a run: kept when
// the groups (names, factors, applicant marks) are those of the results so
// far, made anew when nothing has been accumulated, the grid's once the
// grid exists. Returns 0, or -1 after the message (other groups with
// results accumulated, no memory).
int GrpPrepare(const std::vector<Source>& list);

// Creates the grid accumulators for the current nx, ny; resets SumDur.
// Returns 0, or -1 after an error message (nx or ny not positive, more than
// MaxGridNodes nodes, dr not positive, accumulators that cannot be made).
int DefineGrid();
// (Re)allocates the point accumulators with mp zero values each.
int AllocPoints(int mp);
// Sets every existing accumulator and SumDur to 0.
int ClearValues();
