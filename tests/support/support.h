// Shared helpers of the tests: temporary directories, files, capturing the
// message log, running the program.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zt {

// A fresh directory, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);          // whole file, bytes; "" if missing
bool FileExists(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Resets the message settings (MsgErr, levels, screen, log) to their start values.
void ResetMsg();

// Sends MsgLog to a temporary file while alive; text() returns what was written.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::string text();
  std::FILE* file() const { return file_; }

 private:
  std::FILE* file_;
  std::FILE* saved_;
};

// Captures what the process writes to its standard output while alive.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  std::string text();  // ends the capture

 private:
  bool active_;
  std::string text_;
};

struct RunResult {
  int exitCode = -1;    // exit status, or 128 + signal
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs the program (argv[0] "ZIRidev") in the directory cwd with the given
// arguments and standard input.
RunResult RunProgram(const std::vector<std::string>& args, const std::string& cwd,
                     const std::string& input = "");

// What a run with a pseudo-terminal showed there, and what went to files.
struct TerminalRun {
  int exitCode = -1;
  std::string terminal;  // bytes the terminal received, without line-end translation
  std::string out, err;  // the streams that were not on the terminal
};

// Runs the program like RunProgram, with standard output and/or standard
// error on a pseudo-terminal and the environment changed: "NAME=value"
// sets a variable, "NAME" removes it.
TerminalRun RunOnTerminal(const std::vector<std::string>& args, const std::string& cwd,
                          bool outOnTerminal, bool errOnTerminal,
                          const std::vector<std::string>& env = {});

// Windows-1252 text as UTF-8, converted by the C library (an oracle
// independent of the program's own conversion); "" when the text holds a
// byte that code page leaves undefined.
std::string Utf8From1252(const std::string& text);

// Replaces local times in ctime form and the build date and time by
// placeholders, so that logs can be compared byte for byte.
std::string MaskTimes(const std::string& text);

// A text data file written by the program: the header up to and including
// the line "*", and the values that follow it up to "***", one row per line
// (v[i][j] without a sequence key). Values such as nan and inf are kept.
struct Grid {
  std::string header;
  std::vector<std::vector<double>> v;
};
Grid ReadGrid(const std::string& text);

std::string ExePath();     // the program under test
std::string TestsDir();    // tests/ in the source tree

}  // namespace zt
