// Format descriptions of array elements: AnaForm turns a format string such
// as "x%[2]10.3f" into the module-wide table of fields that the writer and
// the reader of data files use; backslash escapes and a table listing.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dmn/dmn.h"
#include "msg/msg.h"

DmnFormat* DmnFormatTable = nullptr;

namespace {

constexpr const char* kModule = "QORdmn";

// Fields of one table. A format string comes from a file header, so the
// number of fields is bounded to keep a hostile "[n]" from exhausting memory.
constexpr long long kMaxFields = 100000;

std::vector<DmnFormat> Table;

// Characters of the width text.
constexpr const char* kWidthChars = "+-.0123456789";

void CopyCut(char* dst, const char* src, size_t n, size_t cap) {
  if (n > cap - 1) n = cap - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// Number of entries the string asks for: each "%" counts 1, or n for "%[n".
// A negative n counts 1, so that the analysis reaches it and reports it
// instead of a smaller total silently hiding the fields that follow.
long long CountEntries(const char* format) {
  long long count = 0;
  for (const char* p = std::strchr(format, '%'); p; p = std::strchr(p + 1, '%')) {
    int n = 1;
    if (p[1] == '[' && (std::sscanf(p + 2, "%d", &n) != 1 || n < 0)) n = 1;
    count += n;
  }
  return count;
}

// Width and precision at most: far more than a value needs (a float in %f
// has at most 39 digits before the point, and its exact expansion 149
// after it), while printf spends minutes and gigabytes of memory on a
// precision near the limit of int, and fails beyond it.
constexpr long long kMaxPrint = 1000;

// Digits at text as a number up to kMaxPrint; false beyond it or without a
// digit. *end receives the first character after them.
bool ReadDigits(const char* text, int* value, const char** end) {
  long long v = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9'; p++) {
    v = v * 10 + (*p - '0');
    if (v > kMaxPrint) return false;
  }
  *end = p;
  *value = static_cast<int>(v);
  return p > text;
}

// The print width of a width text of the form [sign][width][.[precision]],
// such as "12.4", "-10", ".3" or "": the width without the sign, or
// DmnNaturalWidth when the text gives none (C prints such a conversion at
// the width the value needs). Width and precision are at most kMaxPrint.
// False for any other text: printf would fail, or copy the conversion
// itself into the file in place of the value.
bool ReadWidth(const char* text, int32_t* width) {
  const char* p = text;
  if (*p == '+' || *p == '-') p++;
  int w = DmnNaturalWidth, precision = 0;
  if (*p >= '0' && *p <= '9' && !ReadDigits(p, &w, &p)) return false;
  if (*p == '.') {
    p++;
    if (*p >= '0' && *p <= '9' && !ReadDigits(p, &precision, &p)) return false;
  }
  if (*p != '\0') return false;
  *width = w;
  return true;
}

// The four lines of a syntax error: message, the string, a marker line with
// "|" under the start of the field being analysed and "^" where analysis stopped.
int SyntaxError(const char* site, const char* format, const char* start, const char* stop) {
  MSG_FAIL(MsgTag(kModule, "AnaForm", site), "invalid format string! (%s)\n");
  MsgOut("%s\n", format);
  int col = static_cast<int>(start - format);
  MsgOut("%*s|", col, "");
  if (stop > start) MsgOut("%*s^", static_cast<int>(stop - start - 1), "");
  MsgOut("\n");
  return -1;
}

void PublishTable() {
  Table.push_back(DmnFormat{});  // type 0 ends the table
  DmnFormatTable = Table.data();
}

}  // namespace

int AnaForm(const char* format, int* elmsz) {
  Table.clear();
  Table.shrink_to_fit();
  DmnFormatTable = nullptr;
  if (!format) format = "";
  long long count = CountEntries(format);
  if (count > kMaxFields) {
    return MSG_FAIL(MsgTag(kModule, "AnaForm", "1"), "can't allocate format table (%lld entries)! (%s)\n", count);
  }
  if (count > 0) Table.reserve(static_cast<size_t>(count) + 1);

  const char* p = format;
  long long sum = 0;
  long long n = 0;
  while (n < count) {
    const char* start = p;
    const char* pct = std::strchr(p, '%');
    if (!pct) {
      PublishTable();
      return SyntaxError("2", format, start, p + std::strlen(p));
    }
    DmnFormat f{};
    f.fact = 1.0f;
    CopyCut(f.name, p, static_cast<size_t>(pct - p), sizeof f.name);
    const char* q = pct + 1;
    int rep = 1;
    if (*q == '[') {
      const char* close = std::strchr(q, ']');
      if (!close) return PublishTable(), SyntaxError("3", format, start, q);
      if (std::sscanf(q + 1, "%d", &rep) != 1) return PublishTable(), SyntaxError("4", format, start, q + 1);
      if (rep < 0) return PublishTable(), SyntaxError("5", format, start, q + 1);
      q = close + 1;
    }
    if (*q == '(') {
      const char* close = std::strchr(q, ')');
      if (!close) return PublishTable(), SyntaxError("6", format, start, q);
      if (q[1] != '*') return PublishTable(), SyntaxError("7", format, start, q + 1);
      if (std::sscanf(q + 2, "%f", &f.fact) != 1) return PublishTable(), SyntaxError("8", format, start, q + 2);
      q = close + 1;
    }
    size_t wlen = std::strspn(q, kWidthChars);
    if (wlen > 19) return PublishTable(), SyntaxError("9", format, start, q);
    std::string widthText(q, wlen);
    if (!ReadWidth(widthText.c_str(), &f.width))
      return PublishTable(), SyntaxError("10", format, start, q);
    q += wlen;
    char mod = 0;
    if (*q == 'h' || *q == 'l') mod = *q++;
    char conv = *q;
    // A modifier is kept only where it selects the field's type, so that the
    // stored conversions always match the C type handed to printf/scanf.
    if (conv == 'c') {
      f.type = 1;
      f.size = 1;
      mod = 0;
    } else if (conv != '\0' && std::strchr("dioux", conv)) {
      if (mod == 'h') {
        f.type = 2;
        f.size = 2;
      } else {
        f.type = 3;
        f.size = 4;
        mod = 0;
      }
    } else if (conv != '\0' && std::strchr("efg", conv)) {
      if (mod == 'l') {
        f.type = 5;
        f.size = 8;
      } else {
        f.type = 4;
        f.size = 4;
        mod = 0;
      }
    } else {
      return PublishTable(), SyntaxError("11", format, start, q);
    }
    std::string modText = mod ? std::string(1, mod) : std::string();
    std::string iform = "%" + modText + conv;
    std::string oform = "%" + widthText + modText + conv;
    CopyCut(f.iform, iform.c_str(), iform.size(), sizeof f.iform);
    CopyCut(f.oform, oform.c_str(), oform.size(), sizeof f.oform);
    if (n + rep > kMaxFields) {
      PublishTable();
      return MSG_FAIL(MsgTag(kModule, "AnaForm", "1"), "can't allocate format table (%lld entries)! (%s)\n",
                      n + rep);
    }
    for (int r = 0; r < rep; r++) {
      Table.push_back(f);
      size_t len = std::strlen(f.name);
      if (len > 0) f.name[len - 1] = static_cast<char>(f.name[len - 1] + 1);
      sum += f.size;
    }
    n += rep;
    p = q + 1;
  }
  PublishTable();
  if (*elmsz == 0) {
    *elmsz = static_cast<int>(sum);
  } else if (sum != *elmsz) {
    return MSG_FAIL(MsgTag(kModule, "AnaForm", "20"), "inconsistent element size: format %lld, should be %d! (%s)\n",
                    sum, *elmsz);
  }
  return static_cast<int>(Table.size() - 1);
}

void DmnDecodeEscapes(char* text) {
  if (!text) return;
  static constexpr char kFrom[] = "\"'\\bfnrtv~";
  static constexpr char kTo[] = {'"', '\'', '\\', 8, 12, 10, 13, 9, 11, ' '};
  char* out = text;
  for (const char* in = text; *in; in++) {
    if (*in == '\\' && in[1] != '\0') {
      if (const char* hit = std::strchr(kFrom, in[1])) {
        *out++ = kTo[hit - kFrom];
        in++;
        continue;
      }
    }
    *out++ = *in;
  }
  *out = '\0';
}

int DmnPrintFormats(const DmnFormat* table, const char* title) {
  if (!table) return 0;
  std::printf("Table of formats %s:\n", title ? title : "");
  std::printf("Nr.  Name Ld Lf     Factor Output Input\n");
  for (int i = 0; table[i].type != 0; i++) {
    const DmnFormat& f = table[i];
    std::printf("%2d: %5s %2d %2d %10.3e %s | %s\n", i + 1, f.name, f.size, f.width, f.fact, f.oform, f.iform);
  }
  return 0;
}
