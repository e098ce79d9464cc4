// Screen text on a terminal: with a UTF-8 locale the help and the messages
// reach a terminal as UTF-8; a terminal of another locale, a pipe and the
// log get the bytes they always got.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

TEST(Screen, Utf8OnATerminalWhoseLocaleSaysSo) {
  zt::TempDir dir;
  const zt::RunResult piped = zt::RunProgram({"-h"}, dir.path());
  ASSERT_EQ(piped.exitCode, 0);
  const std::string help = zt::MaskTimes(piped.out);
  ASSERT_NE(help.find("H\xE4ufigkeit"), std::string::npos);
  // The first variable that is set and not empty decides: LC_ALL, LC_CTYPE, LANG.
  struct Row {
    std::vector<std::string> env;
    bool utf8;
  } rows[] = {
      {{"LC_ALL", "LC_CTYPE", "LANG=de_DE.UTF-8"}, true},
      {{"LC_ALL", "LC_CTYPE=C.utf8", "LANG=C"}, true},
      {{"LC_ALL=de_DE.UTF-8@euro", "LC_CTYPE=C", "LANG=C"}, true},
      {{"LC_ALL=", "LC_CTYPE=de_DE.ISO-8859-1", "LANG=C.UTF-8"}, false},
      {{"LC_ALL=C", "LC_CTYPE", "LANG=de_DE.UTF-8"}, false},
      {{"LC_ALL", "LC_CTYPE", "LANG"}, false},
  };
  for (const Row& row : rows) {
    const zt::TerminalRun t = zt::RunOnTerminal({"-h"}, dir.path(), true, false, row.env);
    EXPECT_EQ(t.exitCode, 0);
    EXPECT_EQ(zt::MaskTimes(t.terminal), row.utf8 ? zt::Utf8From1252(help) : help)
        << testing::PrintToString(row.env);
  }
  // A pipe keeps the Windows-1252 bytes whatever the locale.
  const zt::TerminalRun pipe = zt::RunOnTerminal({"-h"}, dir.path(), false, true, {"LANG=C.UTF-8"});
  EXPECT_EQ(zt::MaskTimes(pipe.out), help);
  EXPECT_EQ(pipe.terminal, "");

  // Messages: an echoed line in Windows-1252 and one already in UTF-8 both
  // show as UTF-8; the log has the bytes of the command file in both runs.
  zt::WriteFile(dir / "odrcmd.txt",
                "*DIMENSIONIERUNG\n' Stall M\xFCller\n' Stall M\xC3\xBCller\n*ENDE\n");
  const zt::TerminalRun shown =
      zt::RunOnTerminal({".", "-e", "-v"}, dir.path(), true, false, {"LC_ALL", "LANG=C.UTF-8"});
  EXPECT_EQ(shown.exitCode, 0);
  const std::string log = zt::ReadFile(dir / "odrlog.txt");
  for (const char* line : {"002> ' Stall M\xC3\xBCller\n", "003> ' Stall M\xC3\xBCller\n"})
    EXPECT_NE(shown.terminal.find(line), std::string::npos) << line << " in " << shown.terminal;
  const zt::RunResult plain = zt::RunProgram({".", "-e", "-v"}, dir.path());
  EXPECT_NE(plain.out.find("002> ' Stall M\x81ller\n"), std::string::npos) << plain.out;
  EXPECT_EQ(zt::MaskTimes(log), zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt")));
  EXPECT_NE(log.find("002> ' Stall M\xFCller\n003> ' Stall M\xC3\xBCller\n"), std::string::npos);
}

}  // namespace
