// Message and log facility: the single channel for information, warnings and
// errors, the origin-tag convention, a tokenizer, and time values.
#pragma once

#include <atomic>
#include <cstdio>

// Process-wide settings (zero at start). The driver sets them; every module
// reports through MsgOut and tests MsgErr after calls.
extern std::FILE* MsgLog;   // log stream, or null
extern int MsgErr;          // 0, or -1 once an error was reported; never reset
extern int MsgVerbose;      // verbose level (option -v)
extern int MsgQuiet;        // quiet level (option -q); above 0: no screen copy
extern int MsgEcho;         // echo flag of the command-file reader (option -e)

// The number of a signal that asks the run to stop, 0 while none came. Only
// the driver's signal handler sets it (a lock-free atomic may be written
// there). Long loops look at it between blocks of work and, when it is set,
// stop and return -1 without a message; the driver then ends the run.
extern std::atomic<int> MsgSignal;

constexpr int MsgBufSize = 4000;

// printf-like. Writes the screen copy (code page 850, or UTF-8 on a UTF-8
// terminal) and the log copy (Windows-1252) as the settings allow; a log on
// the standard output gets no second copy there. Returns MsgErr. A null
// format releases the message buffer and returns 0.
int MsgOut(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Lower-cases the ASCII capitals of a zero-terminated text in place.
void MsgLow(char* text);

// Next token of text after skipping delimiters; a token beginning with a
// double quote runs to the next quote. Returns the token start or null;
// *next receives the position after the token, *length its length.
const char* MsgTok(const char* text, const char** next, const char* delims, int* length);
char* MsgTok(char* text, char** next, const char* delims, int* length);

// Origin tag "module.function.site" of an error message.
struct MsgTag {
  char s[80];
  MsgTag(const char* module, const char* function, const char* site);
};

// Reports an error: sets MsgErr to -1 and writes the message, whose last
// conversion "(%s)" receives the origin tag. Evaluates to -1.
#define MSG_FAIL(tag, format, ...) \
  (MsgErr = -1, MsgOut(format __VA_OPT__(, ) __VA_ARGS__, (tag).s))

// Character set of German text on the screen (msg/screen.cpp). The log and
// the files always get Windows-1252; the screen gets it too (the help) or
// code page 850 (messages), unless the driver has found a UTF-8 terminal
// and set MsgScreenUtf8: then the screen gets UTF-8.
extern bool MsgScreenUtf8;
// Standard output is a terminal, and the locale (LC_ALL, else LC_CTYPE,
// else LANG, the first one set) has the character set UTF-8.
bool MsgStdoutIsUtf8Terminal();
// Writes Windows-1252 text to f, as UTF-8 when MsgScreenUtf8 (bytes that
// already form UTF-8 pass unchanged), else as it is.
void MsgScreenPut(const char* text, std::FILE* f);

// Progress line on standard error (msg/progress.cpp). The driver switches
// it on only when standard error is a terminal that does not also receive
// the log, and without -q; MsgOut erases it before writing to the screen.
extern bool MsgProgressOn;
bool MsgStderrIsTerminal();
void MsgProgressTitle(const char* title);  // shows the title, e.g. "situation 2 of 5"
void MsgProgressPercent(int percent);      // shows "title: 37 % of the receptors"
void MsgProgressEnd();                     // erases the line shown, if any

// Time values: days as a double; dates count from 1000000 (see msg_time.cpp).
void MsgTrim(char* text);                 // removes leading/trailing blanks (0x20)
double MsgTimeVal(const char* text);      // text to time value
const char* MsgTimeStr(double t);         // time value to text (static buffer)
double MsgSeconds(double a, double b);    // (b - a) in seconds
