// Time values: days as a double. A duration counts from 0; a calendar date
// counts from 1000000, 1 January 1900 being 1000002. -9999999 and +9999999
// stand for minus and plus infinity.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "msg/msg.h"

namespace {

constexpr double kMinusInf = -9999999.0;
constexpr double kPlusInf = 9999999.0;
constexpr int kDaysBefore[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

char TimeText[64];

int CountChar(const char* s, char c) {
  int n = 0;
  for (; *s; s++)
    if (*s == c) n++;
  return n;
}

// Date part: a day count, or year-month-day, or month-day.
double DateValue(const char* date) {
  int dashes = CountChar(date, '-');
  if (dashes == 0) {
    double d = 0;
    if (std::sscanf(date, "%lf", &d) != 1) d = 0;
    return d;
  }
  int year = 0, month = 0, day = 0;
  if (dashes >= 2) {
    std::sscanf(date, "%d-%d-%d", &year, &month, &day);
    if (year > 1000) year -= 1900;
    if (year < 0) year = 0;
  } else {
    std::sscanf(date, "%d-%d", &month, &day);
  }
  if (month < 0) month = 0;
  if (month > 12) month = 12;
  double d = 1000000 + day;
  if (month > 0) {
    d += kDaysBefore[month - 1] + 1;
    if (year > 0) {
      d += 365 * year + (year - 1) / 4;
      if (year % 4 == 0 && month > 2) d += 1;
    }
  }
  return d;
}

double TimeOfDay(const char* time) {
  int a = 0, b = 0, c = 0;
  int n = std::sscanf(time, "%d:%d:%d", &a, &b, &c);
  double s = 0;
  if (n == 3) s = (a * 60.0 + b) * 60.0 + c;
  else if (n == 2) s = a * 60.0 + b;
  else if (n == 1) s = a;
  return s / 86400.0;
}

}  // namespace

void MsgTrim(char* text) {
  if (!text) return;
  char* p = text;
  while (*p == ' ') p++;
  if (p != text) std::memmove(text, p, std::strlen(p) + 1);
  std::size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}

double MsgTimeVal(const char* text) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%s", text ? text : "");
  MsgTrim(buf);
  if (!std::strcmp(buf, "-inf")) return kMinusInf;
  if (!std::strcmp(buf, "+inf")) return kPlusInf;
  const char* date = "";
  const char* time = "";
  char* sep = std::strchr(buf, ' ');
  if (!sep) sep = std::strchr(buf, '\'');
  if (!sep) sep = std::strchr(buf, '.');
  if (sep) {
    *sep = '\0';
    date = buf;
    time = sep + 1;
  } else if (std::strchr(buf, '-')) {
    date = buf;
  } else {
    time = buf;
  }
  return DateValue(date) + TimeOfDay(time);
}

const char* MsgTimeStr(double t) {
  if (t < 0) return std::strcpy(TimeText, "-inf");
  if (t >= kPlusInf) return std::strcpy(TimeText, "+inf");
  double fd = std::floor(t);
  long d = static_cast<long>(fd);
  long s = static_cast<long>(std::floor((t - fd) * 86400.0 + 0.5));
  long hours = s / 3600, minutes = (s / 60) % 60, seconds = s % 60;
  if (d == 0) {
    std::snprintf(TimeText, sizeof TimeText, "%02ld:%02ld:%02ld", hours, minutes, seconds);
  } else if (d < 1000002) {
    std::snprintf(TimeText, sizeof TimeText, "%ld'%02ld:%02ld:%02ld", d, hours, minutes, seconds);
  } else {
    long n = d - 1000000;
    int y = 0;
    long first = 2;
    while (y < 200) {
      long len = (y % 4 == 0 && y != 0) ? 366 : 365;
      if (n < first + len) break;
      first += len;
      y++;
    }
    long doy = n - first;
    bool leap = (y % 4 == 0 && y != 0);
    int m = 1;
    while (m < 12) {
      long next = kDaysBefore[m] + ((leap && m >= 2) ? 1 : 0);
      if (doy < next) break;
      m++;
    }
    long before = kDaysBefore[m - 1] + ((leap && m > 2) ? 1 : 0);
    long day = doy - before + 1;
    int year = (y < 100) ? y : y + 1900;
    std::snprintf(TimeText, sizeof TimeText, "%02d-%02d-%02ld'%02ld:%02ld:%02ld", year, m, day,
                  hours, minutes, seconds);
  }
  return TimeText;
}

double MsgSeconds(double a, double b) { return (b - a) * 24 * 3600; }
