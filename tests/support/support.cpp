// Shared helpers of the tests.
#include "support.h"

#include <fcntl.h>
#include <iconv.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "msg/msg.h"

namespace fs = std::filesystem;

namespace zt {

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "zirtest.XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Grid ReadGrid(const std::string& text) {
  Grid g;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    g.header += line + "\n";
    if (line == "*") break;
  }
  while (std::getline(in, line) && line != "***") {
    if (line.empty()) continue;
    std::istringstream values(line);
    std::vector<double> row;
    std::string tok;
    while (values >> tok) row.push_back(std::strtod(tok.c_str(), nullptr));  // keeps nan, inf
    g.v.push_back(row);
  }
  return g;
}

bool FileExists(const std::string& path) { return fs::exists(path); }

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

void ResetMsg() {
  MsgErr = 0;
  MsgVerbose = 0;
  MsgQuiet = 0;
  MsgEcho = 0;
  MsgSignal = 0;
  MsgScreenUtf8 = false;
  MsgLog = nullptr;
}

LogCapture::LogCapture() : file_(std::tmpfile()), saved_(MsgLog) { MsgLog = file_; }

LogCapture::~LogCapture() {
  MsgLog = saved_;
  std::fclose(file_);
}

std::string LogCapture::text() {
  std::fflush(file_);
  long n = std::ftell(file_);
  std::string s(static_cast<std::size_t>(n), '\0');
  std::rewind(file_);
  std::size_t got = std::fread(s.data(), 1, s.size(), file_);
  s.resize(got);
  std::fseek(file_, 0, SEEK_END);
  return s;
}

StdoutCapture::StdoutCapture() : active_(true) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
}

StdoutCapture::~StdoutCapture() {
  if (active_) text();
}

std::string StdoutCapture::text() {
  if (active_) {
    std::fflush(stdout);
    text_ = testing::internal::GetCapturedStdout();
    active_ = false;
  }
  return text_;
}

RunResult RunProgram(const std::vector<std::string>& args, const std::string& cwd,
                     const std::string& input) {
  std::string inPath = cwd + "/.stdin", outPath = cwd + "/.stdout", errPath = cwd + "/.stderr";
  WriteFile(inPath, input);
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(inPath.c_str(), O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("ZIRidev"));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::string exe = ExePath();
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  fs::remove(inPath);
  fs::remove(outPath);
  fs::remove(errPath);
  return r;
}

TerminalRun RunOnTerminal(const std::vector<std::string>& args, const std::string& cwd,
                          bool outOnTerminal, bool errOnTerminal,
                          const std::vector<std::string>& env) {
  TerminalRun r;
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return r;
  // The terminal passes bytes as written, so "\n" stays "\n".
  termios mode{};
  tcgetattr(slave, &mode);
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tcsetattr(slave, TCSANOW, &mode);
  const std::string outPath = cwd + "/.stdout", errPath = cwd + "/.stderr";
  pid_t pid = fork();
  if (pid == 0) {
    close(master);
    int out = outOnTerminal ? slave : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = errOnTerminal ? slave : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    for (const auto& e : env) {
      const std::size_t eq = e.find('=');
      if (eq == std::string::npos)
        unsetenv(e.c_str());
      else
        setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    if (chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>("ZIRidev")};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::string exe = ExePath();
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(slave);
  char buf[4096];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) r.terminal.append(buf, n);
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  fs::remove(outPath);
  fs::remove(errPath);
  return r;
}

std::string Utf8From1252(const std::string& text) {
  iconv_t cd = iconv_open("UTF-8", "CP1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "";
  std::string out(4 * text.size() + 4, '\0');
  char* src = const_cast<char*>(text.data());
  char* dst = out.data();
  std::size_t left = text.size(), room = out.size();
  const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  return ok ? std::string(out.data(), dst) : "";
}

std::string MaskTimes(const std::string& text) {
  static const std::regex ctimeRe(
      "(Mon|Tue|Wed|Thu|Fri|Sat|Sun) [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}");
  static const std::regex buildRe(
      "[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}( +)[0-9]{2}:[0-9]{2}:[0-9]{2}");
  std::string s = std::regex_replace(text, ctimeRe, "<TIME>");
  return std::regex_replace(s, buildRe, "<BUILD>$1<BUILD-TIME>");
}

std::string ExePath() {
  const char* e = std::getenv("ZIR_EXE");
  return e ? e : ZIR_EXE;
}

std::string TestsDir() { return ZIR_TESTS_DIR; }

}  // namespace zt
