// Result output: the accumulators normalised by the total duration into the
// grids cnc, fro, frh and r90, written as data files with their headers,
// and the listing of the receptor-point values in the log.
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "dmn/dmn.h"
#include "msg/filename.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "odor/receptors.h"
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

int WriteResult(char* names) {
  if (SumDur <= 0) {
    MsgOut("Es sind keine Werte berechnet!\n");
    return 0;
  }
  if (prm::nx <= 0 || prm::ny <= 0) {
    MsgOut("Es ist kein Raster definiert!\n");
    return 0;
  }
  MsgLow(names);
  const char* next = names;
  int len = 0;
  for (const char* tok; (tok = MsgTok(next, &next, " +\t\r\n", &len)) != nullptr;) {
    if (MsgSignal) return -1;  // interrupted: the driver ends the run
    const std::string token(tok, len);
    WorkArray w;
    const char* title = nullptr;
    std::string cncTitle;
    struct Step {
      AryDesc* source;
      float f;
      const char* site;
    } steps[2] = {};
    if (len > kMaxName) {
      // too long to be any name; reported below as unknown
    } else if (token == "cnc") {
      AppendF(cncTitle, "Konzentration (%s/m3)", prm::me ? prm::me : "");
      title = cncTitle.c_str();
      steps[0] = {&GrdCnc, static_cast<float>(SumDur), "10"};
    } else if (token == "fro") {
      title = "Kumulative Geruchshäufigkeit";
      steps[0] = {&GrdFro, static_cast<float>(SumDur), "11"};
    } else if (token == "frh") {
      title = "Häufigkeit von Belästigungsstunden";
      steps[0] = {&GrdFrh, static_cast<float>(SumDur), "12"};
    } else if (token == "r90") {
      title = "Verhältnis 90-Perzentil zu Mittelwert";
      steps[0] = {&GrdC90, 1.0f, "13"};
      steps[1] = {&GrdCnc, 0.0f, "14"};
    }
    if (!title) {
      // A warning in form, but it sets the error code: the interpreter stops.
      MSG_FAIL(MsgTag(kModule, "WriteResult", "15"), "--- unknown array name %s! (%s)\n",
               token.c_str());
      return 0;
    }
    for (const Step& st : steps) {
      if (!st.source) continue;
      if (Normalize(st.source, &w.desc, st.f) < 0)
        return MSG_FAIL(MsgTag(kModule, "WriteResult", st.site),
                        "*** can't normalize array %s! (%s)\n", token.c_str());
    }
    if (CheckFinite(w.desc, token.c_str()) < 0) return -1;

    // A name beginning with "LOG" is the writer's, to list the data in the log.
    std::string fileName;
    if (IsLogName(prm::fi)) {
      fileName = prm::fi;
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
    AppendF(header, "mark\t\"%s\"\n", title);
    header += LabelLine("ilbl", prm::nx, prm::xr);
    header += LabelLine("jlbl", prm::ny, prm::yr);

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
