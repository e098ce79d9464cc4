// Parameter listings: the table with defaults (help) or current values
// (*TABELLE), and the one-line form "name value value ..." of a parameter.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "msg/msg.h"
#include "prm/prm.h"

namespace {

constexpr const char* kModule = "QORprm";
constexpr int kPrintMax = 32000;  // characters of one listed line

// Appends one printf piece to buf if the text stays within maxlen
// characters; returns false (buf unchanged) otherwise.
__attribute__((format(printf, 3, 4))) bool Append(char* buf, int maxlen, const char* format,
                                                   ...) {
  std::size_t len = std::strlen(buf);
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  bool fits = n >= 0 && len + static_cast<std::size_t>(n) <= static_cast<std::size_t>(maxlen);
  if (fits) std::vsnprintf(buf + len, static_cast<std::size_t>(n) + 1, format, args);
  va_end(args);
  return fits;
}

// Appends the value at `value` (one element) with the record's output format.
bool AppendValue(char* buf, int maxlen, const PrmRecord& r, const void* value) {
  // The output formats come from the table and match the type codes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  switch (r.Code()) {
    case PrmTypeInt:
      return Append(buf, maxlen, r.outFormat, *static_cast<const int32_t*>(value));
    case PrmTypeFloat:
      return Append(buf, maxlen, r.outFormat, static_cast<double>(*static_cast<const float*>(value)));
    case PrmTypeDouble:
      return Append(buf, maxlen, r.outFormat, *static_cast<const double*>(value));
    case PrmTypeString: {
      const char* s = static_cast<const char*>(value);
      return Append(buf, maxlen, r.outFormat, s ? s : "");
    }
    default:
      return Append(buf, maxlen, " %12s", "???");
  }
#pragma GCC diagnostic pop
}

// Address of element i of a record's value, as AppendValue expects it: the
// number itself, or the characters of a string.
const void* ElementAt(const PrmRecord& r, int32_t i) {
  if (!r.IsVector()) {
    if (r.Code() == PrmTypeString) return *static_cast<char* const*>(r.value);
    return r.value;
  }
  const PrmVec& v = *r.Vec();
  if (r.Code() == PrmTypeString) return static_cast<char* const*>(v.data)[i];
  return static_cast<const char*>(v.data) + static_cast<std::size_t>(i) * r.size;
}

}  // namespace

int PrmFormatValue(char* buf, int maxlen, const PrmRecord* rec) {
  if (!Append(buf, maxlen, "%-4s", rec->name)) return -1;
  int32_t n = rec->IsVector() ? rec->Count() : 1;
  if (n < 0 || (rec->IsVector() && !rec->Vec()->data)) n = 0;
  for (int32_t i = 0; i < n; i++)
    if (!AppendValue(buf, maxlen, *rec, ElementAt(*rec, i))) return -1;
  // The line end must fit as well, so that a buffer of maxlen + 1 bytes
  // always holds the text.
  if (!Append(buf, maxlen, "\n")) return -1;
  return n;
}

int PrmPrint(std::FILE* f, const char* selection) {
  // Reserve for the line end and zero beyond the longest accepted text.
  char* buf = static_cast<char*>(std::calloc(kPrintMax + 16, 1));
  if (!buf)
    return MSG_FAIL(MsgTag(kModule, "PrmPrint", "1"),
                    "*** can't allocate print buffer (%d bytes)! (%s)\n", kPrintMax + 16);
  bool on = selection == nullptr;
  std::fprintf(f, "%s", PrmInitLvl < 2 ? "NAME        VALUE  DIM DESCRIPTION\n" : "NAME     VALUE(S)\n");
  for (const PrmRecord* r = PrmTable; !r->IsEnd(); r++) {
    if (r->IsSection()) {
      if (selection) on = std::strstr(selection, r->name) != nullptr;
      if (on) std::fprintf(f, "%-4s %s\n", r->name, r->desc);
      continue;
    }
    if (!on) continue;
    if (PrmInitLvl < 1 || (PrmInitLvl == 1 && r->IsVector())) {
      std::fprintf(f, "%-4s %12s %4s %s\n", r->name, r->deflt, r->dims, r->desc);
    } else if (PrmInitLvl == 1) {
      buf[0] = 0;
      AppendValue(buf, kPrintMax, *r, ElementAt(*r, 0));
      std::fprintf(f, "%-4s %12s %4s %s\n", r->name, buf, r->dims, r->desc);
    } else {
      buf[0] = 0;
      if (PrmFormatValue(buf, kPrintMax, r) < 0) {
        std::free(buf);
        return MSG_FAIL(MsgTag(kModule, "PrmPrint", "2"), "*** buffer overflow at %s! (%s)\n",
                        r->name);
      }
      std::fprintf(f, "%s", buf);
    }
  }
  std::free(buf);
  // Flush so that a write error of the buffered tail is seen here too.
  if (std::fflush(f) != 0 || std::ferror(f))
    return MSG_FAIL(MsgTag(kModule, "PrmPrint", "3"), "*** can't write parameter table! (%s)\n");
  return 0;
}

int PrmPrnList(char* buf, int maxlen, const char* section, ...) {
  char current[200];
  std::snprintf(current, sizeof current, "%s", section ? section : "");
  int count = 0;
  va_list items;
  va_start(items, section);
  int result = 0;
  for (const char* item; (item = va_arg(items, const char*)) != nullptr; count++) {
    if (item[0] == '*') {
      std::snprintf(current, sizeof current, "%s", item);
      continue;
    }
    const PrmRecord* r = PrmFind(item, current);
    if (!r) {
      result = MSG_FAIL(MsgTag(kModule, "PrmPrnList", "1"),
                        "*** parameter \"%s\" not found in setion \"%s\"! (%s)\n", item, current);
      break;
    }
    if (PrmFormatValue(buf, maxlen, r) < 0) {
      result = MSG_FAIL(MsgTag(kModule, "PrmPrnList", "2"), "*** buffer overflow! (%s)\n");
      break;
    }
  }
  va_end(items);
  return result < 0 ? -1 : count;
}
