// Sources of an assessment: the list that *QUELLE starts and *QUELLE add
// extends, each source with its parameters and a plume table of its own.
// One source is a list of one; before any *QUELLE the source is the one of
// the parameters in force (section *q) with the plume table in the
// parameter vectors cx, cg, ... .
#pragma once

#include <string>
#include <vector>

struct Source {
  float xq = 0, yq = 0;  // point source, or corner of an area source (m)
  float aq = 0, bq = 0;  // sides of an area source (m); neither above 0: a point source
  float rq = 0;          // direction of side aq (degrees counter-clockwise from east)
  float hq = 0, cq = 0;  // height of the lower edge and vertical extent (m)
  float eq = 0;          // strength (me/s)
  float li = 0;          // interval of the plume table (m)
  float lq = 0;          // largest cell side of an area source (m)
  int ni = 0;            // intervals of the plume table
  // A stack (odor/stacks.h); all zero: a source as it always was.
  float hb = 0, bb = 0;  // ridge height and width across the ridge of its building (m)
  float bn = 0;          // roof pitch of its building (degrees)
  float dq = 0, vq = 0;  // inner diameter (m) and exit velocity (m/s)
  float tq = 10;         // exit temperature (degrees C)
  int qw = 0, qr = 0;    // wake line (1) and plume rise (1 guideline of 1985, 2 Briggs)
  // What the plume table of a run starts from: lower edge and vertical extent
  // (m) after a wake line or stack-tip downwash, and the rise of the plume
  // at x = n li (m; empty without rise), set by CalcPlume.
  float ht = 0, ct = 0;
  std::vector<float> rz;
  std::string sg;        // group (letters, digits, _); empty: the unnamed group
  float fg = 1;          // weighting factor of the group
  int za = 0;            // 1: the group is the applicant's (additional load)
  // Plume table of a unit source at x = n li, entries n = 0..ni (s/m2, m,
  // as the parameter vectors of the same names).
  std::vector<float> cx, cg, cp, ca, ci, sy, sd;
};

// The source of the parameters in force (section *q), without a table.
Source SrcParameters();

// A group of sources: the sources of one name, with their common factor
// and applicant mark.
struct SrcGroup {
  std::string name;
  float fg = 1;
  int za = 0;
  std::vector<int> sources;  // numbers from 0, in definition order
};

// The groups of list in the order of their first source. Without names
// (no source has sg) one unnamed group of every source.
std::vector<SrcGroup> SrcGroups(const std::vector<Source>& list);

// Whether any source of list has a group name: only then are the groups
// written, listed and named in result headers.
bool SrcGrouped(const std::vector<Source>& list);

// Checks the group parameters sg, fg, za of the source that *QUELLE (add
// false) or *QUELLE add (add true) is about to define against themselves
// and against the sources of the same group already in the list. Returns
// 0, or -1 after the message.
int SrcCheckGroup(bool add);

// *QUELLE (add false): the list anew with the source of the parameters in
// force; *QUELLE add (add true): appends it. Its plume table is zero.
// Returns 0, or -1 after an error message (no memory).
int SrcDefine(bool add);

// Forgets the list, as at the start of the program.
void SrcForget();

// Sets every plume table of the list to 0.
void SrcClearTables();

// The sources in force: the list, or before any *QUELLE a list of one made
// from the parameters and the plume table in force, made anew at every call
// (so a caller takes it once per computation). Null after an error message
// (no memory).
std::vector<Source>* Sources();

// format with number (a source number, or the number of sources) when
// there are several sources (count above 1), else "": inserted into a
// message, it names the source and leaves the messages of one source as
// they always read.
std::string SrcText(int count, const char* format, int number);

// Cells along a side of length a (m) for the largest cell side lq (m): a/lq
// when a is a multiple of lq, else the next integer above, at least 1; -1
// when the count does not fit an int.
int SrcSideCells(float a, float lq);

// Cells of source q: 1 for a point source; -1 when they cannot be counted
// (lq not positive, a side count beyond an int).
long long SrcCells(const Source& q);

// Lists the sources in force into the log: number, position, sides,
// rotation, height, vertical extent, strength, cell size and cell count;
// when the sources have groups, the groups with their factors, applicant
// marks and sources. Writes nothing without a log. Returns 0, or -1 after an error message.
int ListSources();
