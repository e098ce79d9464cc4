// The progress line: on a terminal as standard error it tells the situation
// of all those of the command file (repetitions counted) and the share of
// its receptors, then erases itself; the screen messages, the log and the
// result files are the same bytes as without a terminal. Not with -q, and
// not when the log itself goes to standard error.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

// Three situations: one, then a loop that repeats one more.
const char kCommands[] =
    "*DIMENSIONIERUNG\nnz 20\nmi 40\nnw 4\nmp 1\n"
    "*GITTER\nnx 4\nny 3\ndr 20\nxr -30\nyr -20\n"
    "*AUFPUNKTE\nxp 30\nyp 5\n"
    "*QUELLE\nhq 5\n"
    "*PARAMETER run\ndw 1 2 3 4\n"
    "*loop 1\n"
    "*PARAMETER run ' again\nua 2\n"
    "*next\n"
    "*LISTE pnt\n*SPEICHERN cnc fro\n*ENDE\n";

struct TerminalRun {
  int exitCode = -1;
  std::string out, terminal, log, cnc, fro;
};

// Runs the program with standard error on a pseudo-terminal (standard
// output to a file) and collects what the terminal showed.
TerminalRun OnTerminal(const std::vector<std::string>& options) {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt", kCommands);
  int master = -1, slave = -1;
  EXPECT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
  const std::string outPath = dir / "stdout.out";
  pid_t pid = fork();
  if (pid == 0) {
    close(master);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(slave, 2);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>("ZIRidev"), const_cast<char*>(".")};
    for (const auto& o : options) argv.push_back(const_cast<char*>(o.c_str()));
    argv.push_back(nullptr);
    std::string exe = zt::ExePath();
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(slave);
  TerminalRun r;
  char buf[4096];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) r.terminal.append(buf, n);
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = zt::MaskTimes(zt::ReadFile(outPath));
  r.log = zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt"));
  r.cnc = zt::ReadFile(dir / "cnc.dmna");
  r.fro = zt::ReadFile(dir / "fro.dmna");
  return r;
}

TEST(Progress, OnATerminalOnlyAndNothingElseChanges) {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt", kCommands);
  const zt::RunResult piped = zt::RunProgram({"."}, dir.path());
  ASSERT_EQ(piped.exitCode, 0) << piped.out;
  EXPECT_EQ(piped.err, "");

  const TerminalRun shown = OnTerminal({});
  EXPECT_EQ(shown.exitCode, 0);
  for (const char* text : {"\rsituation 1 of 3", "\rsituation 2 of 3: 0 % of the receptors",
                           "\rsituation 3 of 3: 100 % of the receptors"})
    EXPECT_NE(shown.terminal.find(text), std::string::npos) << text << " in " << shown.terminal;
  // The last thing on the terminal erases the line.
  const std::size_t last = shown.terminal.rfind('\r', shown.terminal.size() - 2);
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(shown.terminal.find_first_not_of(' ', last + 1), shown.terminal.size() - 1)
      << shown.terminal;
  EXPECT_EQ(shown.out, zt::MaskTimes(piped.out));
  EXPECT_EQ(shown.log, zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt")));
  EXPECT_EQ(shown.cnc, zt::ReadFile(dir / "cnc.dmna"));
  EXPECT_EQ(shown.fro, zt::ReadFile(dir / "fro.dmna"));

  // Quiet, or the log on standard error: no progress line.
  const TerminalRun quiet = OnTerminal({"-q"});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.terminal, "");
  const TerminalRun logged = OnTerminal({"-l"});
  EXPECT_EQ(logged.exitCode, 0);
  EXPECT_NE(logged.terminal.find("FINISHED"), std::string::npos);
  EXPECT_EQ(logged.terminal.find("situation"), std::string::npos) << logged.terminal;
}

}  // namespace
