// The progress line: on a terminal as standard error it tells the situation
// of all those of the command file (repetitions counted) and the share of
// its receptors, then erases itself; the screen messages, the log and the
// result files are the same bytes as without a terminal. Not with -q, and
// not when the log itself goes to standard error.
#include <gtest/gtest.h>

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

struct Shown {
  int exitCode = -1;
  std::string out, terminal, log, cnc, fro;
};

// Runs the program with standard error on a pseudo-terminal (standard
// output to a file) and collects what the terminal showed.
Shown OnTerminal(const std::vector<std::string>& options) {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt", kCommands);
  std::vector<std::string> args{"."};
  args.insert(args.end(), options.begin(), options.end());
  const zt::TerminalRun t = zt::RunOnTerminal(args, dir.path(), false, true);
  Shown r;
  r.exitCode = t.exitCode;
  r.terminal = t.terminal;
  r.out = zt::MaskTimes(t.out);
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

  const Shown shown = OnTerminal({});
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
  const Shown quiet = OnTerminal({"-q"});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.terminal, "");
  const Shown logged = OnTerminal({"-l"});
  EXPECT_EQ(logged.exitCode, 0);
  EXPECT_NE(logged.terminal.find("FINISHED"), std::string::npos);
  // The log names situations too (the vertical grid's lines), never with the progress.
  EXPECT_EQ(logged.terminal.find("of the receptors"), std::string::npos) << logged.terminal;
  EXPECT_EQ(logged.terminal.find('\r'), std::string::npos) << logged.terminal;
}

}  // namespace
