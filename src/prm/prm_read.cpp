// Command-file reader: returns the command file section by section and
// stores the values of each section's data lines in the parameter table.
// Inputs are stacked (a named input read inside another continues with the
// outer one when it ends); "*loop n" ... "*next" repeats the enclosed lines
// by repositioning the stream.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "msg/filename.h"
#include "msg/msg.h"
#include "prm/prm.h"

namespace {

constexpr const char* kModule = "QORprm";
constexpr const char* kFunc = "PrmRead";
constexpr const char* kTokenDelims = " ;\t\r\n";
constexpr int kNameMax = 255;       // characters of an input name
constexpr int kLabelMax = 79;       // characters of the label word
constexpr int kTokenSize = 200;     // bytes of a name or value token (with its zero)
constexpr int kMinBufLen = 3;       // a line buffer must hold at least a byte, line end, zero

// One open input. The newest frame is the current input.
struct Frame {
  Frame* previous = nullptr;
  char name[kNameMax + 1] = {};
  std::FILE* stream = nullptr;
  bool isStdin = false;
  int32_t line = 0;         // number of the line read last
  std::fpos_t loopPos{};    // position just after the last "*loop" line
  bool loopPosValid = false;
  int32_t loopCount = 0;    // repetitions still to be made
  int32_t loopLine = 0;     // line number of the last "*loop" line
};

Frame* Current = nullptr;   // top of the input stack
char* Buf = nullptr;        // line buffer of BufSize bytes
int32_t BufSize = 0;
bool InputsEnded = false;   // the last input has ended (not closed by the caller)

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

void PopFrame() {
  Frame* f = Current;
  if (!f) return;
  if (f->stream && !f->isStdin) std::fclose(f->stream);
  Current = f->previous;
  delete f;
}

void CloseAll() {
  while (Current) PopFrame();
  InputsEnded = false;
}

// Replaces the line buffer by a zeroed one of `size` bytes, keeping the
// old contents; on failure the old buffer stays.
bool ResizeBuffer(int32_t size) {
  if (size < kMinBufLen) return false;
  char* b = static_cast<char*>(std::calloc(static_cast<std::size_t>(size), 1));
  if (!b) return false;
  if (Buf) std::memcpy(b, Buf, static_cast<std::size_t>(BufSize < size ? BufSize : size));
  b[size - 1] = 0;
  std::free(Buf);
  Buf = b;
  BufSize = size;
  return true;
}

// Reads one line into Buf: at most BufSize - 1 bytes are kept, the rest of
// an overlong line is consumed but only counted. A NUL byte ends the text of
// the line (the bytes after it up to the line end are dropped), so a line
// never reaches past its terminating zero. Returns the number of bytes of the
// line including its line end, or -1 at the end of the input.
long ReadLine(std::FILE* f) {
  long total = 0;
  long kept = 0;
  bool cut = false;
  int c;
  while ((c = std::getc(f)) != EOF) {
    total++;
    if (c == 0) cut = true;
    if (!cut && kept < BufSize - 1) Buf[kept++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  Buf[kept] = 0;
  if (total == 0) return -1;
  return total;
}

void TrimEnd(char* s) {
  std::size_t n = std::strlen(s);
  while (n > 0 && IsBlank(s[n - 1])) s[--n] = 0;
}

// Integer at the start of text (after blanks), limited to the 32-bit range.
// Returns false when the text does not begin with a number.
bool ScanInt(const char* text, int32_t* value) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text) return false;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  *value = static_cast<int32_t>(v);
  return true;
}

int InternalError(const char* site) {
  return MSG_FAIL(MsgTag(kModule, kFunc, site), "*** internal error! (%s)\n");
}

// Reports an error about the current line of the current input.
#define LINE_FAIL(site, format) \
  MSG_FAIL(MsgTag(kModule, kFunc, site), format, Current->line, Current->name)

#define OVERFLOW_MSG "*** buffer overflow in line %d of %s! (%s)\n"

// The label line "-:" of an input: the label word must begin with the
// program's name; an optional number raises the line buffer size.
int ReadLabel(const char* text) {
  while (*text && IsBlank(*text)) text++;
  const char* word = text;
  while (*text && !IsBlank(*text)) text++;
  std::size_t len = static_cast<std::size_t>(text - word);
  std::size_t need = std::strlen(ProgName);
  if (len > kLabelMax || len < need || std::strncmp(word, ProgName, need) != 0)
    return MSG_FAIL(MsgTag(kModule, kFunc, "10"),
                    "*** invalid command file label (\"%s\" required)! (%s)\n", ProgName);
  int32_t size = BufSize;
  ScanInt(text, &size);
  if (size > BufSize) {
    if (!ResizeBuffer(size))
      return MSG_FAIL(MsgTag(kModule, kFunc, "24"),
                      "*** can't allocate data buffer (%d bytes)! (%s)\n", size);
    PrmBufLen = size;
  }
  return 0;
}

// Stores the values of a data line (text after the name token) into rec.
int AssignValues(PrmRecord& rec, char* next) {
  int32_t n = rec.IsVector() ? rec.Vec()->count : 1;
  bool isString = rec.Code() == PrmTypeString;
  char token[kTokenSize];
  for (int32_t i = 0; i < n; i++) {
    int len = 0;
    char* tok = MsgTok(next, &next, kTokenDelims, &len);
    if (!tok) return LINE_FAIL("11", "*** insufficient data in line %d of %s! (%s)\n");
    if (len >= kTokenSize - 1)
      return LINE_FAIL("12", "*** maximum token length exceeded in line %d of %s! (%s)\n");
    std::memcpy(token, tok, static_cast<std::size_t>(len));
    token[len] = 0;
    void* dest;
    if (rec.IsVector()) {
      dest = isString ? static_cast<char**>(rec.Vec()->data)[i]
                      : static_cast<char*>(rec.Vec()->data) + static_cast<std::size_t>(i) * rec.size;
    } else {
      dest = isString ? *static_cast<char**>(rec.value) : rec.value;
    }
    if (isString) {
      if (len > rec.size)
        return LINE_FAIL("13", "*** maximum string length exceeded in line %d of %s! (%s)\n");
      std::memcpy(dest, token, static_cast<std::size_t>(len) + 1);
      continue;
    }
    bool ok;
    if (rec.Code() == PrmTypeInt) {
      // Like "%d" (4.5 gives 4), but a number outside the 32-bit range is
      // invalid instead of undefined.
      char* end = nullptr;
      errno = 0;
      long v = std::strtol(token, &end, 10);
      ok = end != token && errno == 0 && v >= INT32_MIN && v <= INT32_MAX;
      if (ok) *static_cast<int32_t*>(dest) = static_cast<int32_t>(v);
    } else {
      // A number that is not finite (nan, inf, or beyond the range of the
      // type) is not a value any calculation can use: refused like text.
      union {
        float f;
        double d;
      } v;
      ok = std::sscanf(token, rec.inFormat, &v) == 1 &&
           (rec.Code() == PrmTypeDouble ? std::isfinite(v.d) : std::isfinite(v.f));
      if (ok) std::memcpy(dest, &v, static_cast<std::size_t>(rec.size));
    }
    if (!ok) return LINE_FAIL("14", "*** invalid data in line %d of %s! (%s)\n");
  }
  rec.type |= PrmSetMark;
  return 0;
}

// Opens a new input on top of the stack.
int OpenInput(const char* name) {
  Frame* f = new (std::nothrow) Frame;
  if (!f) return InternalError("25");
  if (std::strlen(name) > kNameMax) {
    delete f;
    return MSG_FAIL(MsgTag(kModule, kFunc, "1"), "*** can't open file %s! (%s)\n", name);
  }
  std::strcpy(f->name, name);
  if (std::strcmp(name, "CON") == 0) {
    f->stream = stdin;
    f->isStdin = true;
  } else {
    f->stream = std::fopen(name, "rb");
  }
  if (!f->stream) {
    delete f;
    return MSG_FAIL(MsgTag(kModule, kFunc, "1"), "*** can't open file %s! (%s)\n", name);
  }
  f->previous = Current;
  Current = f;
  InputsEnded = false;
  return 0;
}

}  // namespace

void PrmTrim(char* text) {
  if (!text) return;
  char* p = text;
  while (*p && IsBlank(*p)) p++;
  if (p != text) std::memmove(text, p, std::strlen(p) + 1);
  TrimEnd(text);
}

void PrmReadReset() {
  CloseAll();
  std::free(Buf);
  Buf = nullptr;
  BufSize = 0;
  PrmBufLen = 400;
}

int PrmRead(const char* name, char* section, char* argument) {
  if (!name) {
    CloseAll();
    return 0;
  }
  if (!Buf || PrmBufLen > BufSize) {
    if (!ResizeBuffer(PrmBufLen))
      return MSG_FAIL(MsgTag(kModule, kFunc, "4"),
                      "*** can't allocate data buffer (%d bytes)! (%s)\n", PrmBufLen);
  }
  if (*name && OpenInput(name) < 0) return -1;
  if (PrmInitLvl < 1 && PrmInit(1) < 0) return InternalError("0");
  section[0] = 0;
  argument[0] = 0;
  if (!Current) {
    // The inputs have ended: a command file without *ENDE ends normally.
    if (InputsEnded) return 0;
    return InternalError("20");
  }
  int count = 0;
  bool continuing = true;
  for (;;) {
    std::fpos_t pos;
    bool posValid = std::fgetpos(Current->stream, &pos) == 0;
    long raw = ReadLine(Current->stream);
    if (raw < 0) {
      if (Current->isStdin) clearerr(Current->stream);
      PopFrame();
      if (!Current) InputsEnded = true;
      if (section[0] || !Current) break;
      continue;
    }
    Current->line++;
    if (raw >= BufSize - 1) return LINE_FAIL("2", OVERFLOW_MSG);
    char* line = Buf;
    TrimEnd(line);
    if (Current->line == 1 && line[0] == '-' && line[1] == ':') {
      if (ReadLabel(line + 2) < 0) return -1;
      continue;
    }
    if (line[0] == '*' && section[0]) {
      continuing = false;
      if (!IsBlank(line[1])) {
        if (!posValid || std::fsetpos(Current->stream, &pos) != 0)
          return MSG_FAIL(MsgTag(kModule, kFunc, "21"),
                          "*** can't reposition input file %s! (%s)\n", Current->name);
        Current->line--;
        break;
      }
    }
    if (MsgEcho) MsgOut("%03d> %s\n", Current->line, line);
    if (!continuing) break;
    if (line[0] == 0 || line[0] == '-' || IsBlank(line[0])) continue;
    if (char* q = std::strchr(line, '\'')) *q = 0;
    TrimEnd(line);
    if (line[0] == 0) continue;  // only a remark
    if (line[0] == '*') {
      if (IsBlank(line[1])) continue;
      if (std::strlen(line) >= kTokenSize - 1) return LINE_FAIL("6", OVERFLOW_MSG);
      char* sep = line + std::strcspn(line, " \t");
      if (*sep) {
        *sep = 0;
        std::strcpy(argument, sep + 1);
        PrmTrim(argument);
      } else {
        argument[0] = 0;
      }
      PrmTrim(line);
      MsgLow(line);
      std::strcpy(section, line);
      if (std::strcmp(section, "*loop") == 0) {
        Current->loopPosValid = std::fgetpos(Current->stream, &Current->loopPos) == 0;
        Current->loopLine = Current->line;
        ScanInt(argument, &Current->loopCount);
        section[0] = 0;
        continue;
      }
      if (std::strcmp(section, "*next") == 0) {
        if (Current->loopCount > 0) {
          if (!Current->loopPosValid ||
              std::fsetpos(Current->stream, &Current->loopPos) != 0)
            return MSG_FAIL(MsgTag(kModule, kFunc, "22"),
                            "*** can't reposition input file %s! (%s)\n", Current->name);
          Current->line = Current->loopLine;
          Current->loopCount--;
        }
        section[0] = 0;
        continue;
      }
      count++;
      section[2] = 0;
      // *ENDE ends the command file: nothing after its header is read.
      if (std::strcmp(section, "*e") == 0) break;
      continue;
    }
    if (!section[0]) continue;
    count++;
    if (static_cast<long>(std::strlen(line)) >= BufSize - 1) return LINE_FAIL("5", OVERFLOW_MSG);
    char* next = nullptr;
    int len = 0;
    char* tok = MsgTok(line, &next, kTokenDelims, &len);
    if (!tok) return LINE_FAIL("7", "*** can't analyse line %d in %s! (%s)\n");
    if (len < 1 || len >= kTokenSize) return LINE_FAIL("8", OVERFLOW_MSG);
    char pname[kTokenSize];
    std::memcpy(pname, tok, static_cast<std::size_t>(len));
    pname[len] = 0;
    MsgLow(pname);
    PrmRecord* rec = PrmFind(pname, section);
    if (!rec)
      return MSG_FAIL(MsgTag(kModule, kFunc, "9"),
                      "*** name \"%s\" unknown in section \"%s\"! (%s)\n", pname, section);
    if (rec->IsVector() && PrmInitLvl < 2) return InternalError("16");
    if (AssignValues(*rec, next) < 0) return -1;
  }
  if (PrmInitLvl < 2 && PrmInit(2) < 0) return InternalError("17");
  return count;
}
