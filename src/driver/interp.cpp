// Command interpreter: reads the command file section by section and carries
// out each section's action; model initialisation after the dimension
// section.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "blm/blm.h"
#include "driver/driver.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "odor/plume.h"
#include "odor/receptors.h"
#include "odor/sources.h"
#include "par/par.h"
#include "prm/params.h"
#include "prm/prm.h"

namespace {

bool ProfileReady = false;  // the profile is current for the parameters in force
int Situation = 0;          // dispersion runs started so far
int Situations = 0;         // dispersion runs of the command file; 0 unknown
bool DimsDone = false;      // ZidInit has run; until then only *DIMENSIONIERUNG
bool InternOn = false;      // op contains "intern": section *_ is accepted
std::string TableSelection = "*d*a*g*l*p*q*s";

// Dimensions that sized the vectors at the first dimension section; a later
// section must not change them, or every loop over those vectors would run
// past their end.
struct SizedDim {
  const char* name;
  int32_t* value;
  int32_t first;
};
SizedDim SizedDims[] = {{"nz", &prm::nz, 0}, {"mi", &prm::mi, 0}, {"nl", &prm::nl, 0},
                        {"nm", &prm::nm, 0}, {"nw", &prm::nw, 0}, {"mp", &prm::mp, 0}};

// Reports a failure of the section loop and yields its exit code. A
// computation or output that a signal stopped fails without a message: the
// run then ends as interrupted.
#define FAIL(site, code, format) \
  (MsgSignal ? Interrupted() : (MSG_FAIL(MsgTag(ModName, "Main", site), format), (code)))

bool Contains(const char* text, const char* word) { return std::strstr(text, word) != nullptr; }

// Coordinates beyond this magnitude (m) get a warning: positions are single
// precision floats, which there resolve only a centimetre, and the guard
// against a receptor on a source cell centre grows with them.
constexpr double kLargeCoordinate = 100000;

// Warns, on the screen and in the log whatever the verbose level, naming
// every coordinate that is large, x and y alike, in one line. The run goes on.
void WarnLargeCoordinates(const char* site, const std::vector<std::pair<std::string, double>>& coords) {
  constexpr int kNamed = 8;  // the line stays readable with thousands of points
  std::string list;
  int count = 0;
  for (const auto& [name, v] : coords) {
    if (!(std::fabs(v) > kLargeCoordinate)) continue;
    if (++count > kNamed) continue;
    char item[64];
    std::snprintf(item, sizeof item, "%.1f", v);
    if (count > 1) list += ", ";
    list += name;
    list += '=';
    list += item;
    list += " m";
  }
  if (count == 0) return;
  if (count > kNamed) list += " and " + std::to_string(count - kNamed) + " more";
  const int verbose = MsgVerbose;
  MsgVerbose = std::max(MsgVerbose, 1);
  MsgOut(
      "--- %s %s %s 100000 m: the model computes in single precision, "
      "use coordinates relative to a reference point near the source! (%s)\n",
      count > 1 ? "coordinates" : "coordinate", list.c_str(), count > 1 ? "exceed" : "exceeds",
      MsgTag(ModName, "Main", site).s);
  MsgVerbose = verbose;
}

// Receptor points: np defaults to mp and must fit the coordinate vectors.
int CheckPoints() {
  if (PrmIsSet("np") == 0) prm::np = prm::mp;
  if (prm::mp <= 0 && (PrmIsSet("xp") > 0 || PrmIsSet("yp") > 0 || prm::np > 0)) {
    MSG_FAIL(MsgTag(ModName, "Main", "20"),
             "*** receptor points given, but maximum number of points Mp is %d! (%s)\n", prm::mp);
    return 10;
  }
  if (prm::np < 0 || prm::np > prm::mp || prm::np > prm::xp.count || prm::np > prm::yp.count) {
    MSG_FAIL(MsgTag(ModName, "Main", "19"),
             "*** invalid number of receptor points Np=%d (maximum Mp=%d)! (%s)\n", prm::np,
             prm::mp);
    return 10;
  }
  for (int n = 0; n < prm::np; n++)
    if (!(std::fabs(static_cast<double>(prm::xp[n])) + std::fabs(prm::yp[n]) <= MaxPositionReach)) {
      MSG_FAIL(MsgTag(ModName, "Main", "33"),
               "*** receptor point %d at x=%g, y=%g m beyond the reach of single precision "
               "(|x|+|y| at most %.2g m)! (%s)\n",
               n + 1, prm::xp[n], prm::yp[n], MaxPositionReach);
      return 10;
    }
  std::vector<std::pair<std::string, double>> coords;
  for (int n = 0; n < prm::np; n++) {
    char index[16];
    std::snprintf(index, sizeof index, "[%d]", n);
    coords.push_back({std::string("xp") + index, prm::xp[n]});
    coords.push_back({std::string("yp") + index, prm::yp[n]});
  }
  WarnLargeCoordinates("22", coords);
  return 0;
}

// The source just read: its cells must lie within the reach of single
// precision (odor.h). Returns 0, or the exit code of *QUELLE.
int CheckSourceReach() {
  const double reach = std::fabs(static_cast<double>(prm::xq)) + std::fabs(prm::yq) +
                       std::max(prm::aq, 0.0f) + std::max(prm::bq, 0.0f);
  if (reach <= MaxPositionReach) return 0;
  MSG_FAIL(MsgTag(ModName, "Main", "34"),
           "*** source at xq=%g, yq=%g m with aq=%g, bq=%g m beyond the reach of single "
           "precision (|xq|+|yq|+aq+bq at most %.2g m)! (%s)\n",
           prm::xq, prm::yq, prm::aq, prm::bq, MaxPositionReach);
  return 9;
}

// Dispersion runs of the command file for the progress line: the reader's
// rules for header lines, "*loop" and "*next", followed without reading any
// values; 0 when they cannot be counted (standard input, a file that cannot
// be read, or so many repetitions that counting would take long).
int CountRuns(const char* cmdFile) {
  if (std::strcmp(cmdFile, "CON") == 0) return 0;
  std::FILE* f = std::fopen(cmdFile, "rb");
  if (!f) return 0;
  std::vector<std::string> headers;  // header lines, cut at the remark
  for (std::string line;;) {
    const int c = std::getc(f);
    if (c != '\n' && c != EOF) {
      line += static_cast<char>(c);
      continue;
    }
    line = line.substr(0, line.find('\''));
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= 32) line.pop_back();
    if (line.size() > 1 && line[0] == '*' && static_cast<unsigned char>(line[1]) > 32)
      headers.push_back(line);
    line.clear();
    if (c == EOF) break;
  }
  std::fclose(f);
  constexpr long long kMaxVisits = 10000000;
  long long runs = 0, visits = 0;
  int32_t loopCount = 0;
  std::size_t loopAt = 0;
  for (std::size_t i = 0; i < headers.size(); i++) {
    if (++visits > kMaxVisits) return 0;
    std::string word = headers[i].substr(0, headers[i].find_first_of(" \t"));
    const std::string arg = headers[i].substr(word.size());
    MsgLow(word.data());
    if (word == "*loop") {
      loopAt = i + 1;
      char* end = nullptr;
      const long n = std::strtol(arg.c_str(), &end, 10);
      if (end != arg.c_str()) loopCount = static_cast<int32_t>(std::clamp(n, 0L, long{INT32_MAX}));
    } else if (word == "*next") {
      if (loopCount > 0) {
        loopCount--;
        i = loopAt - 1;
      }
    } else if (word.compare(0, 2, "*e") == 0) {
      break;
    } else if (word.compare(0, 2, "*p") == 0 && Contains(arg.c_str(), "run")) {
      runs++;
    }
  }
  return static_cast<int>(std::min(runs, static_cast<long long>(INT32_MAX)));
}

// Shows the situation on the progress line while it runs, erases it after.
struct ProgressOfRun {
  ProgressOfRun() {
    Situation++;
    char title[64];
    if (Situations > 0)
      std::snprintf(title, sizeof title, "situation %d of %d", Situation, Situations);
    else
      std::snprintf(title, sizeof title, "situation %d", Situation);
    MsgProgressTitle(title);
  }
  ~ProgressOfRun() { MsgProgressEnd(); }
};

// Dispersion run of one situation: profile, plume table, odor values.
int DispersionRun() {
  ProgressOfRun progress;
  // A negative wind speed is refused by the profile, not raised.
  if (prm::ua >= 0 && prm::ua < 0.5f) prm::ua = 0.5f;
  if (ResetPlume() < 0 || MsgErr < 0)
    return FAIL("4", 4, "*** error in calculation of plume functions! (%s)\n");
  if (BlmProfile() < 0 || MsgErr < 0)
    return FAIL("5", 5, "*** error in calculation of boundary layer profile! (%s)\n");
  int rc = CalcPlume();
  ProfileReady = true;
  if (rc < 0 || MsgErr < 0) return FAIL("6", 6, "*** error in calculation of plume functions! (%s)\n");
  // The first process alone reports; the estimate changes no result.
  if (prm::vc != 0 && ParRank() == 0) {
    BlmGrid fine;
    if (BlmRefine(&fine) == 0)
      PlumeGridError({fine.zk.data(), fine.ux.data(), fine.kz.data(), fine.ww.data(), fine.nz},
                     Situation);
  }
  if (CalcValues() < 0 || MsgErr < 0)
    return FAIL("7", 7, "*** error in calculation of odor frequency! /(%s)\n");
  return 0;
}

int List(const char* arg) {
  if (Contains(arg, "prf")) {
    if (!ProfileReady) {
      if (BlmProfile() < 0 || MsgErr < 0)
        return FAIL("25", 5, "*** error in calculation of boundary layer profile! (%s)\n");
      ProfileReady = true;
    }
    if (MsgLog && (BlmPrintProfile() < 0 || MsgErr < 0))
      return FAIL("12", 12, "*** error in printing results! (%s)\n");
  }
  if (Contains(arg, "plm") && MsgLog && (PrintPlume() < 0 || MsgErr < 0))
    return FAIL("13", 12, "*** error in printing results! (%s)\n");
  if (Contains(arg, "pnt") && MsgLog && (ListPoints() < 0 || MsgErr < 0))
    return FAIL("14", 12, "*** error in printing results! (%s)\n");
  if (Contains(arg, "src") && MsgLog && (ListSources() < 0 || MsgErr < 0))
    return FAIL("24", 12, "*** error in printing results! (%s)\n");
  return 0;
}

// Carries out one section; returns 0 or the exit code of its failure.
int Dispatch(const char* section, char* argument, bool& end) {
  char c = static_cast<char>(std::tolower(static_cast<unsigned char>(section[1])));
  switch (c) {
    case 'd':
      if (ZidInit() < 0 || MsgErr < 0) return FAIL("3", 3, "*** error in initialization! (%s)\n");
      if (InternOn && TableSelection.find("*_") == std::string::npos) TableSelection += "*_";
      return 0;
    case 'a':
      return CheckPoints();
    case 'c':
      ClearValues();
      ProfileReady = false;
      return 0;
    case 'e':
      end = true;
      return 0;
    case 'g': {
      if (DefineGrid() < 0 || MsgErr < 0) return FAIL("8", 8, "*** error in generation of grid! (%s)\n");
      // Per axis the near edge, or the far one when only that is large.
      const double xFar = prm::xr + static_cast<double>(prm::nx - 1) * prm::dr;  // m
      const double yFar = prm::yr + static_cast<double>(prm::ny - 1) * prm::dr;  // m
      const bool xNear = std::fabs(prm::xr) > kLargeCoordinate;
      const bool yNear = std::fabs(prm::yr) > kLargeCoordinate;
      WarnLargeCoordinates("21", {xNear ? std::pair<std::string, double>{"xr", prm::xr}
                                        : std::pair<std::string, double>{"xr+(nx-1)*dr", xFar},
                                  yNear ? std::pair<std::string, double>{"yr", prm::yr}
                                        : std::pair<std::string, double>{"yr+(ny-1)*dr", yFar}});
      return 0;
    }
    case 'l':
      return List(argument);
    case 'p':
      if (Contains(argument, "run")) return DispersionRun();
      if (ResetPlume() < 0 || MsgErr < 0) return FAIL("9", 9, "*** error in reset of plume functions! (%s)\n");
      ProfileReady = false;
      return 0;
    case 'q':
      if (ResetPlume() < 0 || MsgErr < 0)
        return FAIL("10", 9, "*** error in reset of plume functions! (%s)\n");
      if (PrmIsSet("ni") == 0)
        prm::ni = prm::mi;
      else if (prm::ni > prm::mi || prm::ni < 0)
        return FAIL("17", 17, "*** maximum number of intervals Mi exceeded! (%s)\n");
      // Groups are checked before the source joins the list, so a refused
      // one leaves the list as it was.
      if (SrcCheckGroup(Contains(argument, "add")) < 0 || MsgErr < 0)
        return FAIL("30", 9, "*** error in definition of source groups! (%s)\n");
      // "add" appends the source to the list; otherwise the list starts anew.
      if (SrcDefine(Contains(argument, "add")) < 0 || MsgErr < 0)
        return FAIL("29", 9, "*** error in reset of plume functions! (%s)\n");
      WarnLargeCoordinates("23", {{"xq", prm::xq}, {"yq", prm::yq}});
      return CheckSourceReach();
    case 's':
      // The mode is refused before anything is written: the writer would
      // take any other text for "text", a reader "Binary" for "binary".
      if (!prm::mo || (std::strcmp(prm::mo, "text") != 0 && std::strcmp(prm::mo, "binary") != 0)) {
        MSG_FAIL(MsgTag(ModName, "Main", "35"),
                 "*** invalid mode mo=\"%s\" (text or binary)! (%s)\n", prm::mo ? prm::mo : "");
        return 11;
      }
      // The result files are the first process's; the others have the same
      // accumulators and nothing to write.
      if (ParRank() > 0) return 0;
      if (WriteResult(argument) < 0 || MsgErr < 0)
        return FAIL("11", 11, "*** error in output of results! (%s)\n");
      return 0;
    case 't':
      // Section letters in capitals select as section words do.
      MsgLow(argument);
      // Without a log the table has nowhere to go.
      if (MsgLog && (PrmPrint(MsgLog, *argument ? argument : TableSelection.c_str()) < 0 || MsgErr < 0))
        return FAIL("18", 12, "*** error in printing results! (%s)\n");
      return 0;
    case '*':
      if (*argument && MsgLog) std::fprintf(MsgLog, "%s\n", argument);
      return 0;
    case '_':
      if (InternOn) return 0;
      break;
    default:
      break;
  }
  MSG_FAIL(MsgTag(ModName, "Main", "15"), "*** unknown command %s! (%s)\n", section);
  return 15;
}

int InvalidValue(const char* name, int value) {
  return MSG_FAIL(MsgTag(ModName, "ZidInit", "2"), "*** invalid value %s=%d! (%s)\n", name, value);
}

}  // namespace

void ResetInterpreter() {
  ProfileReady = false;
  Situation = 0;
  Situations = 0;
  DimsDone = false;
  InternOn = false;
  TableSelection = "*d*a*g*l*p*q*s";
  SrcForget();
  PlumeGridForget();
}

int ResetPlume() {
  for (PrmVec* v : {&prm::cg, &prm::cp, &prm::ca, &prm::sy, &prm::sd, &prm::ci, &prm::cx})
    for (int i = 0; i <= prm::mi && i < v->count; i++) (*v)[i] = 0;
  SrcClearTables();
  return 0;
}

int ZidInit() {
  // Values the calculations divide by or index with.
  if (prm::nc <= 0) return InvalidValue("nc", prm::nc);
  if (prm::nl < 0) return InvalidValue("nl", prm::nl);
  if (prm::nw <= 0) return InvalidValue("nw", prm::nw);
  if (prm::nz < 1) return InvalidValue("nz", prm::nz);
  if (prm::ep < 0) return InvalidValue("ep", prm::ep);  // EPSG codes are positive
  // The concentration scale 10^((ll+k)/nc) must stay within the normal
  // numbers of single precision, or its classes become 0 or inf.
  if (int64_t{prm::ll} < -37 * int64_t{prm::nc} ||
      int64_t{prm::ll} + prm::nl > 38 * int64_t{prm::nc})
    return MSG_FAIL(MsgTag(ModName, "ZidInit", "4"),
                    "*** concentration scale 10^(ll/nc) to 10^((ll+nl)/nc) beyond 1e-37 to 1e38 "
                    "(ll=%d, nl=%d, nc=%d)! (%s)\n",
                    prm::ll, prm::nl, prm::nc);
  for (auto& d : SizedDims) {
    if (!DimsDone)
      d.first = *d.value;
    else if (*d.value != d.first)
      return MSG_FAIL(MsgTag(ModName, "ZidInit", "3"),
                      "*** dimension %s must not change (from %d to %d)! (%s)\n", d.name, d.first,
                      *d.value);
  }
  if (prm::op && std::strstr(prm::op, "intern")) InternOn = true;

  // Meander table: core plumes at eta_i = i*ex/nm with normal weights; the
  // plumes off the centre count twice, once on each side.
  if (prm::nm >= 0) {
    float sum = 0;
    for (int i = 0; i <= prm::nm; i++) {
      float eta = (prm::nm > 0) ? i * prm::ex / prm::nm : 0.0f;
      float w = std::exp(-eta * eta / 2);
      prm::em[i] = eta;
      prm::wm[i] = w;
      if (i > 0) sum += w;
    }
    float s = prm::wm[0] + 2 * sum;
    for (int i = 0; i <= prm::nm; i++) prm::wm[i] = prm::wm[i] / s;
  }
  // Logarithmic concentration scale, nc classes per decade.
  for (int i = 0; i <= prm::nl; i++)
    prm::cl[i] = static_cast<float>(std::pow(10.0, static_cast<double>(prm::ll + i) / prm::nc));
  if (prm::mp > 0 && AllocPoints(prm::mp) < 0) return -1;
  DimsDone = true;
  if (prm::mc > PrmBufLen) PrmBufLen = prm::mc;
  return 0;
}

int RunCommands(const char* cmdFile, bool (*allow)(const char* section, const char* argument)) {
  char section[200] = "";
  char argument[200] = "";
  bool end = false;
  bool first = true;
  if (MsgProgressOn) Situations = CountRuns(cmdFile);
  while (!end) {
    int n = PrmRead(first ? cmdFile : "", section, argument);
    first = false;
    // A signal can also cut a read from a terminal or pipe short.
    if (MsgSignal) return Interrupted();
    if (n == 0 && MsgErr >= 0) break;
    if (MsgErr < 0) return FAIL("2", 2, "*** can't read input file! (%s)\n");
    if (!DimsDone && std::tolower(static_cast<unsigned char>(section[1])) != 'd')
      return FAIL("16", 16, "*** erroneous initialization! (%s)\n");
    if (allow && !allow(section, argument)) break;
    int rc = Dispatch(section, argument, end);
    if (rc) return rc;
    if (MsgSignal) return Interrupted();
    // A listing that exists only in the log must not be lost unnoticed.
    if (CheckLog() < 0) return 12;
  }
  PrmRead(nullptr, nullptr, nullptr);
  PlumeGridSummary();
  return 0;
}
