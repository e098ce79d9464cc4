// Data file reader: a ".dmna" descriptor and its text or binary data back
// into a new array, with the header split into structure and user lines.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ary/ary.h"
#include "dmn/dmn.h"
#include "dmn/dmn_internal.h"
#include "msg/msg.h"
#include "txt/txt.h"

namespace {

using dmn::Field;
using dmn::kModule;

#define READ_FAIL(site, ...) MSG_FAIL(MsgTag(kModule, "DmnRead", site), __VA_ARGS__)

constexpr const char* kDataDelims = " ;\t\r\n";

// Keys of the structure header. "data" belongs here too: the writer names
// its separate data file with it, and the reader must find it again.
constexpr const char* kStructureKeys[] = {"lowb", "hghb", "size", "dims", "fact",
                                          "mode", "file", "sequ", "form", "data"};

bool IsStructureLine(const std::string& line) {
  if (line.size() < 4) return false;
  char key[5] = {};
  std::memcpy(key, line.data(), 4);
  MsgLow(key);
  for (const char* k : kStructureKeys)
    if (std::strcmp(key, k) == 0) return true;
  return false;
}

class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }
  bool Open(const std::string& name) {
    Close();
    fp_ = std::fopen(name.c_str(), "rb");
    return fp_ != nullptr;
  }
  void Close() {
    if (fp_) std::fclose(fp_);
    fp_ = nullptr;
  }
  // Reads one line without its LF; false at the end of the file.
  bool ReadLine(std::string* line) {
    line->clear();
    int c;
    while ((c = std::fgetc(fp_)) != EOF) {
      if (c == '\n') return true;
      line->push_back(static_cast<char>(c));
    }
    return !line->empty();
  }
  // Bytes from the current position to the end of the file.
  long long Remaining() {
    long here = std::ftell(fp_);
    if (here < 0 || std::fseek(fp_, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(fp_);
    std::fseek(fp_, here, SEEK_SET);
    return end < 0 ? -1 : static_cast<long long>(end) - here;
  }
  std::FILE* fp() const { return fp_; }

 private:
  std::FILE* fp_ = nullptr;
};

// Tokens of text data, read line by line and counted for messages.
class TokenStream {
 public:
  TokenStream(File* file, int line) : file_(file), lineNo_(line) {}
  // The next token; false at the end of the file.
  bool Next(std::string* token) {
    for (;;) {
      int len = 0;
      const char* next = pos_;
      const char* t = pos_ ? MsgTok(pos_, &next, kDataDelims, &len) : nullptr;
      if (t) {
        token->assign(t, static_cast<size_t>(len));
        pos_ = next;
        return true;
      }
      if (!file_->ReadLine(&line_)) return false;
      lineNo_++;
      pos_ = line_.c_str();
    }
  }
  int line() const { return lineNo_; }

 private:
  File* file_;
  int lineNo_;
  std::string line_;
  const char* pos_ = nullptr;
};

// Converts a token with the field's input conversion and stores it in the
// element; floats and doubles are divided by the combined factor.
bool StoreField(const std::string& token, char* element, const Field& field, float fact) {
  const DmnFormat& f = *field.format;
  char* dst = element + field.position;
  const char* s = token.c_str();
  switch (f.type) {
    case 1: {
      char c;
      if (std::sscanf(s, f.iform, &c) != 1) return false;
      std::memcpy(dst, &c, sizeof c);
      return true;
    }
    case 2: {
      short v;
      if (std::sscanf(s, f.iform, &v) != 1) return false;
      std::memcpy(dst, &v, sizeof v);
      return true;
    }
    case 3: {
      int v;
      if (std::sscanf(s, f.iform, &v) != 1) return false;
      std::memcpy(dst, &v, sizeof v);
      return true;
    }
    case 4: {
      float v;
      if (std::sscanf(s, f.iform, &v) != 1) return false;
      v = v / (fact * f.fact);
      std::memcpy(dst, &v, sizeof v);
      return true;
    }
    default: {
      double v;
      if (std::sscanf(s, f.iform, &v) != 1) return false;
      v = v / (static_cast<double>(fact) * f.fact);
      std::memcpy(dst, &v, sizeof v);
      return true;
    }
  }
}

// Calls visit(element) for the elements of the view, last index fastest;
// false when an element cannot be located or visit fails.
template <class Visit>
bool ForEachElement(AryDesc* view, Visit visit, bool* located) {
  int idx[AryMaxDim] = {};
  for (int d = 0; d < view->numdm; d++) idx[d] = view->bound[d].lower;
  *located = true;
  for (;;) {
    void* p = AryPtr(view, idx[0], idx[1], idx[2], idx[3], idx[4]);
    if (!p) {
      *located = false;
      return false;
    }
    if (!visit(static_cast<char*>(p))) return false;
    int d = view->numdm - 1;
    for (; d >= 0; d--) {
      if (++idx[d] <= view->bound[d].upper) break;
      idx[d] = view->bound[d].lower;
    }
    if (d < 0) return true;
  }
}

}  // namespace

int DmnRead(const char* name, TxtStr* usrhdr, TxtStr* syshdr, AryDesc* pa) {
  TxtClr(usrhdr);
  TxtClr(syshdr);
  if (MsgErr < 0) return READ_FAIL("1", "internal error! (%s)\n");
  std::string base = dmn::SlashName(name);
  std::string dmna = base + ".dmna";
  File file;
  if (!file.Open(dmna)) return READ_FAIL("2", "can't open descriptor file %s! (%s)\n", dmna.c_str());

  // Lines are read whole, whatever their length, so the "buff" key of
  // fixed-size line buffers needs no action here.
  std::string sys, usr, line;
  int lines = 0;
  while (file.ReadLine(&line)) {
    lines++;
    if (!line.empty() && line[0] == '*') break;
    (IsStructureLine(line) ? sys : usr) += line + "\n";
  }
  if (!usr.empty()) TxtCat(usrhdr, usr.c_str());
  if (!sys.empty()) TxtCat(syshdr, sys.c_str());

  const char* h = sys.c_str();
  int size = 0;
  int dims = 0;
  if (DmnCount(h, "size") != 1 || DmnGetInt(h, "size", "%d", &size, 1) != 1)
    return READ_FAIL("16", "missing parameter \"size\" in file %s! (%s)\n", dmna.c_str());
  if (DmnCount(h, "dims") != 1 || DmnGetInt(h, "dims", "%d", &dims, 1) != 1)
    return READ_FAIL("17", "missing parameter \"dims\" in file %s! (%s)\n", dmna.c_str());
  if (dims < 1 || dims > AryMaxDim)
    return READ_FAIL("10", "invalid number (%d) of dimensions in file %s! (%s)\n", dims, dmna.c_str());
  int lowb[AryMaxDim] = {};
  int hghb[AryMaxDim] = {};
  if (DmnCount(h, "lowb") != dims || DmnGetInt(h, "lowb", "%d", lowb, dims) != dims ||
      DmnCount(h, "hghb") != dims || DmnGetInt(h, "hghb", "%d", hghb, dims) != dims)
    return READ_FAIL("11", "missing bounds for file %s! (%s)\n", dmna.c_str());

  std::string sequ = dmn::FirstToken(h, "sequ");
  std::string mode = dmn::FirstToken(h, "mode");
  std::string data = dmn::FirstToken(h, "data");
  if (data == "*") data.clear();
  std::string form = dmn::FirstToken(h, "form");
  float fact = 1.0f;
  std::vector<std::string> factTokens;
  if (dmn::Tokens(h, "fact", &factTokens) && !factTokens.empty() &&
      std::sscanf(factTokens[0].c_str(), "%f", &fact) != 1)
    fact = 1.0f;
  if (!(fact > 0)) fact = 1.0f;
  bool binary = mode.empty() || mode == "binary";

  // The shape is set up first without storage: the selection and the size
  // of the data are checked before anything is allocated, so that a short
  // or hostile file cannot make the reader allocate a huge array.
  AryFree(pa);
  std::memset(pa, 0, sizeof *pa);
  if (size <= 0 || AryCreate(pa, -size, dims, lowb[0], hghb[0], lowb[1], hghb[1], lowb[2], hghb[2], lowb[3],
                             hghb[3], lowb[4], hghb[4]) < 0)
    return READ_FAIL("12", "can't create array for file %s! (%s)\n", dmna.c_str());
  AryDesc view = *pa;
  if (!sequ.empty() && AryDefAry(pa, &view, nullptr, sequ.c_str()) < 0)
    return READ_FAIL("13", "invalid selection %s for file %s! (%s)\n", sequ.c_str(), dmna.c_str());

  std::string dataName = dmna;
  int lineNo = lines;
  if (binary || !data.empty()) {
    file.Close();
    dataName = (data.empty() ? base : dmn::DirPart(base) + data) + (binary ? ".dmnb" : ".dmnt");
    if (!file.Open(dataName)) return READ_FAIL("4", "can't open data file %s! (%s)\n", dataName.c_str());
    lineNo = 0;
  }

  std::vector<Field> fields;
  if (!binary) {
    std::vector<char> decoded(form.begin(), form.end());
    if (form.empty()) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%%[%d]f", size / 4);
      decoded.assign(buf, buf + std::strlen(buf));
    }
    decoded.push_back('\0');
    DmnDecodeEscapes(decoded.data());
    int elmsz = size;
    if (AnaForm(decoded.data(), &elmsz) < 0)
      return READ_FAIL("9", "invalid format specification %s! (%s)\n", decoded.data());
    // Fields with the explicit width 0 (such as "%0f") are not in text data:
    // the writer leaves them out. A field without a width (such as those of
    // the default "%[n]f") is read.
    fields = dmn::Fields(true);
  }

  int64_t elements = 1;
  for (int d = 0; d < view.numdm; d++) elements *= int64_t{view.bound[d].upper} - view.bound[d].lower + 1;
  long long remaining = file.Remaining();
  if (binary) {
    int64_t need = sequ.empty() ? int64_t{pa->ttlsz} : elements * size;
    if (remaining >= 0 && remaining < need) {
      if (sequ.empty()) return READ_FAIL("7", "can't write data to file %s! (%s)\n", dataName.c_str());
      return READ_FAIL("6", "can't write data to file %s! (%s)\n", dataName.c_str());
    }
  } else {
    // Every token takes a byte and a separator, the last one no separator.
    int64_t tokens = elements * static_cast<int64_t>(fields.size());
    if (tokens > 0 && remaining >= 0 && remaining < 2 * tokens - 1)
      return READ_FAIL("14", "unexpected end of file %s! (%s)\n", dataName.c_str());
  }
  if (AryCreate(pa, 0, 0) < 0) return READ_FAIL("12", "can't create array for file %s! (%s)\n", dmna.c_str());
  view.data = pa->data;

  bool located = true;
  if (binary && sequ.empty()) {
    size_t n = static_cast<size_t>(pa->ttlsz);
    if (std::fread(pa->data, 1, n, file.fp()) != n)
      return READ_FAIL("7", "can't write data to file %s! (%s)\n", dataName.c_str());
  } else if (binary) {
    size_t n = static_cast<size_t>(size);
    bool ok = ForEachElement(&view, [&](char* p) { return std::fread(p, 1, n, file.fp()) == n; }, &located);
    if (!located) return READ_FAIL("5", "index error writing to file %s! (%s)\n", dataName.c_str());
    if (!ok) return READ_FAIL("6", "can't write data to file %s! (%s)\n", dataName.c_str());
  } else {
    TokenStream tokens(&file, lineNo);
    std::string token;
    bool ended = false;
    bool ok = ForEachElement(
        &view,
        [&](char* p) {
          for (const Field& f : fields) {
            if (!tokens.Next(&token)) {
              ended = true;
              return false;
            }
            if (!StoreField(token, p, f, fact)) return false;
          }
          return true;
        },
        &located);
    if (!located) return READ_FAIL("8", "index error writing to file %s! (%s)\n", dataName.c_str());
    if (ended) return READ_FAIL("14", "unexpected end of file %s! (%s)\n", dataName.c_str());
    if (!ok)
      return READ_FAIL("15", "can't read item in line %d, file %s! (%s)\n", tokens.line(), dataName.c_str());
  }
  return 1;
}
