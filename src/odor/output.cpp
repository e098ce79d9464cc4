// Result output: the accumulators normalised by the total duration into the
// grids cnc, fro, frh and r90, written as data files with their headers,
// and the listing of the receptor-point values in the log.
#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dmn/dmn.h"
#include "msg/filename.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "odor/receptors.h"
#include "odor/sources.h"
#include "prm/params.h"
#include "prm/prm.h"

namespace {

constexpr const char* kModule = "ZIRidev";
constexpr int kMaxName = 79;     // characters of an array name
constexpr int kLabelLine = 4000;  // characters of a label line, as readers expect

void AppendF(std::string& s, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendF(std::string& s, const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (n < static_cast<int>(sizeof buf)) {
    s += buf;
    return;
  }
  std::string big(n + 1, '\0');
  va_start(args, format);
  std::vsnprintf(big.data(), big.size(), format, args);
  va_end(args);
  big.resize(n);
  s += big;
}

bool IsEmpty(const char* text) { return !text || !*text; }
bool IsLogName(const char* name) { return name && std::strncmp(name, "LOG", 3) == 0; }

// "ilbl" or "jlbl" with the coordinates of the n + 1 cell edges; items that
// would make the line longer than a reader's buffer are dropped.
std::string LabelLine(const char* key, int n, float origin) {
  std::string line = key;
  for (int i = 0; i <= n; i++) {
    // In double: a float sum near 5e6 m would round the label by up to 0.25 m.
    std::string item = std::string("\t") + FormatCoord(i * static_cast<double>(prm::dr) + origin);
    if (line.size() + item.size() < kLabelLine - 2) line += item;
  }
  return line + "\n";
}

// A result file never holds nan or inf: every value, scaled by fa as the
// writer scales it, must be a finite float. Returns 0, or -1 after the
// message.
int CheckFinite(AryDesc& a, const char* name) {
  const double fact = (prm::fa > 0) ? prm::fa : 1.0;
  for (int i = 0; i < prm::nx; i++)
    for (int j = 0; j < prm::ny; j++) {
      const float v = *static_cast<const float*>(AryPtr(&a, i, j));
      if (!(std::fabs(v * fact) <= FLT_MAX))
        return MSG_FAIL(
            MsgTag(kModule, "WriteResult", "16"),
            "*** value %g of array %s at (%d,%d) beyond single precision (fa=%g)! (%s)\n", v, name,
            i, j, prm::fa);
    }
  return 0;
}

// The national reference point of the model's origin (xf, yf) and its
// coordinate system (ep), so that a result file alone can be placed; only
// what the command file gave, so other runs keep their headers.
void AppendReference(std::string& header) {
  if (PrmIsSet("xf") > 0 || PrmIsSet("yf") > 0) {
    AppendF(header, "refx\t%s\n", FormatCoord(prm::xf));
    AppendF(header, "refy\t%s\n", FormatCoord(prm::yf));
  }
  if (prm::ep != 0) AppendF(header, "epsg\t%d\n", prm::ep);
}

// Releases the work array on every path out of WriteResult.
struct WorkArray {
  AryDesc desc{};
  ~WorkArray() { AryFree(&desc); }
};

}  // namespace

// Two decimals at every magnitude: the exponent form "%10.3le" that large
// values once got rounded a northing such as 5734050 to 5.734e+06, 50 m off.
// Readers take either form.
const char* FormatCoord(double v) {
  static char text[352];  // "%1.2lf" of the largest double
  std::snprintf(text, sizeof text, "%1.2lf", v);
  for (int i = static_cast<int>(std::strlen(text)) - 1; i > 0; i--) {
    if (text[i] == '0') {
      text[i] = '\0';
    } else {
      if (text[i] == '.') text[i] = '\0';
      break;
    }
  }
  return text;
}

int Normalize(AryDesc* source, AryDesc* target, float f) {
  if (f > 0) {
    *target = *source;
    target->data = nullptr;
    // Element size 0: allocate zero-filled storage for the copied shape.
    if (AryCreate(target, 0, 0) < 0 || MsgErr < 0)
      return MSG_FAIL(MsgTag(kModule, "Normalize", "1"), "*** can't allocate work array! (%s)\n");
  }
  for (int i = 0; i < prm::nx; i++) {
    for (int j = 0; j < prm::ny; j++) {
      auto* ps = static_cast<float*>(AryPtr(source, i, j));
      if (!ps)
        return MSG_FAIL(MsgTag(kModule, "Normalize", "2"), "*** index (%d,%d) out of range! (%s)\n",
                        i, j);
      auto* pt = static_cast<float*>(AryPtr(target, i, j));
      if (!pt)
        return MSG_FAIL(MsgTag(kModule, "Normalize", "3"), "*** index (%d,%d) out of range! (%s)\n",
                        i, j);
      if (f > 0)
        *pt = *ps / f;
      else
        *pt = (*ps > 0) ? *pt / *ps : 0.0f;
    }
  }
  return 0;
}

namespace {

// The accumulators of set t: 0 the total, then those of GrpSums.
struct SetArrays {
  AryDesc *cnc, *fro, *frh, *c90;
  const std::vector<float>*pcnc, *pfro, *pfrh, *pc90;
};
SetArrays Set(int t) {
  if (t == 0) return {&GrdCnc, &GrdFro, &GrdFrh, &GrdC90, &PntCnc, &PntFro, &PntFrh, &PntC90};
  SetSums& g = *GrpSums[t - 1];
  return {&g.cnc, &g.fro, &g.frh, &g.c90, &g.pcnc, &g.pfro, &g.pfrh, &g.pc90};
}

// Header lines of the sources of a run with groups: one vector line per
// parameter, a value per source in definition order.
std::string SourceLines() {
  std::string text = "sqsg";
  for (const Source& q : GrpSources) AppendF(text, "\t\"%s\"", q.sg.c_str());
  text += "\n";
  struct {
    const char* key;
    float Source::*value;
  } const keys[] = {{"sqxq", &Source::xq}, {"sqyq", &Source::yq}, {"sqaq", &Source::aq},
                    {"sqbq", &Source::bq}, {"sqrq", &Source::rq}, {"sqhq", &Source::hq},
                    {"sqcq", &Source::cq}, {"sqeq", &Source::eq}};
  for (const auto& k : keys) {
    text += k.key;
    for (const Source& q : GrpSources) AppendF(text, "\t%s", FormatCoord(q.*k.value));
    text += "\n";
  }
  return text;
}

// The header lines that name the set of a file: group and factor, "za" for
// the applicant's groups, "frw" for the weighted frequency (set -1); none
// for the total.
std::string SetLines(int t) {
  std::string text;
  if (t < 0) {
    text = "sgrp\t\"frw\"\n";
  } else if (t > 0) {
    const SetSums& g = *GrpSums[t - 1];
    AppendF(text, "sgrp\t\"%s\"\n", g.name.c_str());
    if (g.name != "za") AppendF(text, "fgrp\t%g\n", static_cast<double>(g.fg));
  }
  return text;
}

// The groups in the order of the weighting: by falling factor, equal
// factors in the order of definition. Each with its set (0: the total,
// when the sources have no groups and the one unnamed group is all).
struct Weighted {
  int set;
  float fg;
};
std::vector<Weighted> WeightOrder() {
  std::vector<Weighted> order;
  for (size_t g = 0; g < GrpGroups.size(); g++)
    order.push_back({GrpSums.empty() ? 0 : static_cast<int>(g) + 1, GrpGroups[g].fg});
  std::stable_sort(order.begin(), order.end(),
                   [](const Weighted& a, const Weighted& b) { return a.fg > b.fg; });
  return order;
}

// The weighted odor-hour frequency at a receptor from the total frequency r
// and the frequencies h[i] of the groups in the order of WeightOrder, whose
// factors are f[i]: each group counts with the odor hours the total has left
// after the groups of larger factors, H_i = min(h_i, r - (H_1 + ... +
// H_i-1)), and the total is weighted by the shares of the H_i, at most 1.
// Where no group alone has odor hours but the total has, the largest factor.
float WeightedFrequency(float r, const float* h, const std::vector<Weighted>& order) {
  if (!(r > 0) || order.empty()) return 0;
  double rest = r, sumH = 0, sumFH = 0;
  for (size_t i = 0; i < order.size(); i++) {
    const double H = std::max(0.0, std::min(static_cast<double>(h[i]), rest));
    rest -= H;
    sumH += H;
    sumFH += order[i].fg * H;
  }
  const double w = (sumH > 0) ? r * sumFH / sumH : r * static_cast<double>(order[0].fg);
  return static_cast<float>(std::min(w, 1.0));
}

// The receptor points as pnt.csv: number, coordinates, then per array cnc,
// fro, frh, r90 the total, each group and the applicant's groups, and with
// groups the weighted frh. Returns 0, or -1 after the message.
int WritePoints() {
  const int sets = 1 + static_cast<int>(GrpSums.size());
  std::string text = "n,x,y";
  const char* arrays[] = {"cnc", "fro", "frh", "r90"};
  for (const char* a : arrays)
    for (int t = 0; t < sets; t++) {
      AppendF(text, ",%s", a);
      if (t > 0) AppendF(text, "-%s", GrpSums[t - 1]->name.c_str());
    }
  if (!GrpSums.empty()) text += ",frw";
  text += "\n";
  const std::vector<Weighted> order = WeightOrder();
  std::vector<const std::vector<float>*> pfrh(order.size());
  for (size_t g = 0; g < order.size(); g++) pfrh[g] = Set(order[g].set).pfrh;
  std::vector<float> h(order.size());
  for (int n = 0; n < prm::np; n++) {
    AppendF(text, "%d,%s", n + 1, FormatCoord(prm::xp[n]));
    AppendF(text, ",%s", FormatCoord(prm::yp[n]));
    for (int a = 0; a < 4; a++)
      for (int t = 0; t < sets; t++) {
        const SetArrays s = Set(t);
        double v;
        if (a == 3)  // the ratio of the sums, as the grid's r90
          v = ((*s.pcnc)[n] > 0) ? (*s.pc90)[n] / (*s.pcnc)[n] : 0.0f;
        else
          v = (*(a == 0 ? s.pcnc : a == 1 ? s.pfro : s.pfrh))[n] / SumDur;
        AppendF(text, ",%.6e", v);
      }
    if (!GrpSums.empty()) {
      for (size_t i = 0; i < order.size(); i++)
        h[i] = static_cast<float>((*pfrh[i])[n] / SumDur);
      AppendF(text, ",%.6e",
              static_cast<double>(
                  WeightedFrequency(static_cast<float>(PntFrh[n] / SumDur), h.data(), order)));
    }
    text += "\n";
  }
  const std::string name = MakeFileName("pnt.csv", "");
  if (name.empty() || DmnWriteText(name.c_str(), text) < 0 || MsgErr < 0)
    return MSG_FAIL(MsgTag(kModule, "WriteResult", "17"),
                    "*** can't write the receptor points! (%s)\n");
  return 0;
}

// Normalises the array named token of set t into w as WriteResult does, or
// with weighted (token "frw") the weighted frequency. Sets *title. Returns 1,
// 0 for an unknown name, or -1 after the message.
int Normalised(const std::string& token, int t, AryDesc* w, std::string* title) {
  struct Step {
    AryDesc* source;
    float f;
    const char* site;
  } steps[2] = {};
  const SetArrays s = Set(t);
  const float dur = static_cast<float>(SumDur);
  if (token == "cnc") {
    title->clear();
    AppendF(*title, "Konzentration (%s/m3)", prm::me ? prm::me : "");
    steps[0] = {s.cnc, dur, "10"};
  } else if (token == "fro") {
    *title = "Kumulative Geruchshäufigkeit";
    steps[0] = {s.fro, dur, "11"};
  } else if (token == "frh" || token == "frw") {
    *title = (token == "frh") ? "Häufigkeit von Belästigungsstunden"
                              : "Häufigkeit von Belästigungsstunden, gewichtet";
    steps[0] = {s.frh, dur, "12"};
  } else if (token == "r90") {
    *title = "Verhältnis 90-Perzentil zu Mittelwert";
    steps[0] = {s.c90, 1.0f, "13"};
    steps[1] = {s.cnc, 0.0f, "14"};
  } else {
    return 0;
  }
  for (const Step& st : steps) {
    if (!st.source) continue;
    if (Normalize(st.source, w, st.f) < 0)
      return MSG_FAIL(MsgTag(kModule, "WriteResult", st.site),
                      "*** can't normalize array %s! (%s)\n", token.c_str());
  }
  if (token != "frw") return 1;
  const std::vector<Weighted> order = WeightOrder();
  std::vector<AryDesc*> frh(order.size());
  for (size_t g = 0; g < order.size(); g++) frh[g] = Set(order[g].set).frh;
  std::vector<float> h(order.size());
  for (int i = 0; i < prm::nx; i++)
    for (int j = 0; j < prm::ny; j++) {
      for (size_t g = 0; g < order.size(); g++)
        h[g] = *static_cast<float*>(AryPtrX(frh[g], i, j)) / dur;
      float* r = static_cast<float*>(AryPtrX(w, i, j));
      *r = WeightedFrequency(*r, h.data(), order);
    }
  return 1;
}

}  // namespace

int WriteResult(char* names) {
  if (SumDur <= 0) {
    MsgOut("Es sind keine Werte berechnet!\n");
    return 0;
  }
  // Without a grid only the receptor points can be written.
  const bool grid = prm::nx > 0 && prm::ny > 0;
  if (!grid) MsgOut("Es ist kein Raster definiert!\n");
  MsgLow(names);
  const char* next = names;
  int len = 0;
  const int sets = 1 + static_cast<int>(GrpSums.size());
  for (const char* tok; (tok = MsgTok(next, &next, " +\t\r\n", &len)) != nullptr;) {
    if (MsgSignal) return -1;  // interrupted: the driver ends the run
    const std::string token(tok, len);
    if (token == "pnt") {
      if (prm::np > 0 && WritePoints() < 0) return -1;
      continue;
    }
    if (!grid) continue;
    // cnc, fro, frh and r90 of the total, then of each group and of the
    // applicant's groups; frw once.
    const int last = (token == "frw") ? 0 : sets - 1;
    for (int t = 0; t <= last; t++) {
      WorkArray w;
      std::string title;
      const int found = (len > kMaxName) ? 0 : Normalised(token, t, &w.desc, &title);
      if (found < 0) return -1;
      if (found == 0) {
        // A warning in form, but it sets the error code: the interpreter stops.
        MSG_FAIL(MsgTag(kModule, "WriteResult", "15"), "--- unknown array name %s! (%s)\n",
                 token.c_str());
        return 0;
      }
      if (CheckFinite(w.desc, token.c_str()) < 0) return -1;

      // A name beginning with "LOG" is the writer's, to list the data in the
      // log; fi names the total's file (or frw's) only.
      std::string fileName;
      if (IsLogName(prm::fi)) {
        fileName = prm::fi;
      } else if (t > 0) {
        fileName = MakeFileName((token + "-" + GrpSums[t - 1]->name).c_str(), "");
      } else {
        const char* base = IsEmpty(prm::fi) ? token.c_str() : prm::fi;
        fileName = MakeFileName(base, "");
      }

      std::string header;
      if (!IsEmpty(prm::id)) AppendF(header, "idnt\t\"%s\"\n", prm::id);
      if (!IsEmpty(prm::mo)) AppendF(header, "mode\t\"%s\"\n", prm::mo);
      if (!IsEmpty(prm::se)) AppendF(header, "sequ\t\"%s\"\n", prm::se);
      if (!IsEmpty(prm::fo)) AppendF(header, "form\t\"%s\"\n", prm::fo);
      if (prm::fa > 0) AppendF(header, "fact\t%10.3e\n", prm::fa);
      AppendF(header, "xmin\t%s\n", FormatCoord(prm::xr));
      AppendF(header, "ymin\t%s\n", FormatCoord(prm::yr));
      AppendF(header, "delt\t%s\n", FormatCoord(prm::dr));
      AppendReference(header);
      AppendF(header, "mark\t\"%s\"\n", title.c_str());
      header += LabelLine("ilbl", prm::nx, prm::xr);
      header += LabelLine("jlbl", prm::ny, prm::yr);
      if (!GrpSums.empty()) header += SetLines(token == "frw" ? -1 : t) + SourceLines();

      // An empty name means MakeFileName has failed and reported why; the
      // writer would otherwise create a file named by the extension alone.
      const int written =
          fileName.empty() ? -1
                           : DmnWrite(fileName.c_str(), header.c_str(), &w.desc, CalcThreadCount());
      if (written < 0 && MsgSignal) return -1;  // stopped by a signal, not failed
      if (fileName.empty() || MsgErr < 0)
        return MSG_FAIL(MsgTag(kModule, "WriteResult", "1"), "*** can't write array %s! (%s)\n",
                        token.c_str());
      if (!IsLogName(prm::fi) && prm::fi) prm::fi[0] = '\0';
    }
    // The identification belongs to the files of one array name.
    if (prm::id) prm::id[0] = '\0';
  }
  return 0;
}

int ListPoints() {
  std::FILE* f = MsgLog;
  if (prm::np <= 0 || SumDur <= 0 || !f) return 0;
  const char* me = prm::me ? prm::me : "";
  std::fprintf(f, "Werte an den Aufpunkten:\n");
  std::fprintf(f, "  i:  Xp/(m)  Yp/(m)");
  std::fprintf(f, "%*s  Cm/(%s/m3)", 3 - static_cast<int>(std::strlen(me)), " ", me);
  std::fprintf(f, "          Fro");
  std::fprintf(f, "          Frh");
  std::fprintf(f, "\n");
  assert(prm::np <= static_cast<int>(PntCnc.size()));
  for (int n = 0; n < prm::np; n++) {
    std::fprintf(f, "%3d: %7.1f %7.1f", n + 1, prm::xp[n], prm::yp[n]);
    std::fprintf(f, " %12.3e", PntCnc[n] / SumDur);
    std::fprintf(f, " %12.3e", PntFro[n] / SumDur);
    std::fprintf(f, " %12.3e", PntFrh[n] / SumDur);
    std::fprintf(f, "\n");
  }
  std::fprintf(f, "\n");
  return 0;
}
