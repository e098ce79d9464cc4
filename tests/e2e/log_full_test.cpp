// A parameter table that cannot be written into the log ends the run at once
// with the printing error, not at some later section.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "support.h"

namespace {

TEST(LogFull, TableThatCannotBeWrittenEndsWithExitCode12) {
  zt::TempDir dir;
  zt::WriteFile(dir / "odrcmd.txt", "*DIMENSIONIERUNG\n*TABELLE\n*ENDE\n");
  // The log is a device that accepts no data.
  ASSERT_EQ(0, symlink("/dev/full", (dir / "odrlog.txt").c_str()));
  zt::RunResult r = zt::RunProgram({"."}, dir.path());
  EXPECT_EQ(12, r.exitCode);
  std::string out = zt::MaskTimes(r.out);
  EXPECT_NE(std::string::npos,
            out.find("*** can't write parameter table! (QORprm.PrmPrint.3)\n"
                     "*** error in printing results! (ZIRidev.Main.18)\n"
                     "*** error exit at <TIME>\n"))
      << out;
}

}  // namespace
