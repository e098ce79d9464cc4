// Screen character set: German text reaches a UTF-8 terminal as UTF-8. The
// program's texts are Windows-1252; the log and the files keep those bytes.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "msg/msg.h"

#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

bool MsgScreenUtf8 = false;

namespace {

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F; the five
// bytes that code page leaves undefined become the replacement character,
// since their C1 control meanings would drive the terminal.
constexpr unsigned short kHigh[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// Length of the well-formed UTF-8 sequence at s, or 0. Such bytes came from
// the user (a file name typed on a UTF-8 system) and pass unchanged. German
// text in Windows-1252 practically never forms one: a letter such as ä
// would have to be followed by two characters from the range of € to ¿.
int Utf8Length(const unsigned char* s) {
  const unsigned char c = s[0];
  int n;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) lo = 0xA0;  // no overlong forms
    if (c == 0xED) hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (s[1] < lo || s[1] > hi) return 0;
  for (int i = 2; i < n; i++)
    if (s[i] < 0x80 || s[i] > 0xBF) return 0;
  return n;
}

void PutCodePoint(unsigned cp, std::FILE* f) {
  if (cp < 0x800) {
    std::fputc(static_cast<int>(0xC0 | (cp >> 6)), f);
  } else {
    std::fputc(static_cast<int>(0xE0 | (cp >> 12)), f);
    std::fputc(static_cast<int>(0x80 | ((cp >> 6) & 0x3F)), f);
  }
  std::fputc(static_cast<int>(0x80 | (cp & 0x3F)), f);
}

// The character set named by a locale such as "de_DE.UTF-8@euro".
bool NamesUtf8(const char* locale) {
  const char* p = std::strchr(locale, '.');
  if (!p) return false;
  std::string set;  // lower case, without hyphens: "utf8" for "UTF-8" too
  for (p++; *p && *p != '@'; p++)
    if (*p != '-') set += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  return set == "utf8";
}

}  // namespace

bool MsgStdoutIsUtf8Terminal() {
#if __has_include(<unistd.h>)
  if (isatty(fileno(stdout)) != 1) return false;
  // The first of these that is set and not empty decides, as for the C
  // library's character classes.
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) return NamesUtf8(v);
  }
#endif
  return false;  // not a terminal, or no way to tell
}

void MsgScreenPut(const char* text, std::FILE* f) {
  if (!MsgScreenUtf8) {
    std::fputs(text, f);
    return;
  }
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (*s) {
    if (*s < 0x80) {
      std::fputc(*s++, f);
    } else if (const int n = Utf8Length(s)) {
      std::fwrite(s, 1, static_cast<std::size_t>(n), f);
      s += n;
    } else {
      PutCodePoint(*s >= 0xA0 ? *s : kHigh[*s - 0x80], f);
      s++;
    }
  }
}
