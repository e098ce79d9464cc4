// Progress line on the screen: while a dispersion run computes its
// receptors, a line on standard error tells which situation runs and how
// many of its receptors are done. It is rewritten in place ("\r") and erased
// before any message reaches the screen, so it never mixes with them, and it
// never reaches the log, the result files or the standard output.
#include <cstdio>
#include <string>

#include "msg/msg.h"

#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

bool MsgProgressOn = false;

namespace {

std::string Title;      // "situation k of n"
std::size_t Shown = 0;  // characters of the line now on the screen

void Show(const std::string& text) {
  // Blanks cover the rest of a longer line shown before.
  std::string line = "\r" + text;
  if (text.size() < Shown) line.append(Shown - text.size(), ' ');
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  Shown = text.size();
}

}  // namespace

bool MsgStderrIsTerminal() {
#if __has_include(<unistd.h>)
  return isatty(fileno(stderr)) == 1;
#else
  return false;  // no way to tell: no progress line
#endif
}

void MsgProgressTitle(const char* title) {
  if (!MsgProgressOn) return;
  Title = title;
  Show(Title);
}

void MsgProgressPercent(int percent) {
  if (!MsgProgressOn) return;
  Show(Title + ": " + std::to_string(percent) + " % of the receptors");
}

void MsgProgressEnd() {
  if (!Shown) return;
  std::string blank = "\r";
  blank.append(Shown, ' ');
  blank += '\r';
  std::fputs(blank.c_str(), stderr);
  std::fflush(stderr);
  Shown = 0;
}
