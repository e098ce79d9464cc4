// A log that cannot be written ends the run with exit code 12 and the error
// closing line on the screen: the listings that exist only in the log must
// not be lost while the run reports success.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "support.h"

namespace {

TEST(LogFull, LogThatCannotBeWrittenEndsWithExitCode12) {
  const std::string demo = zt::ReadFile(zt::TestsDir() + "/../examples/demo/odrcmd.txt");
  ASSERT_FALSE(demo.empty());
  for (const std::string& cmd : {demo, std::string("*DIMENSIONIERUNG\n*TABELLE\n*ENDE\n")}) {
    zt::TempDir dir;
    zt::WriteFile(dir / "odrcmd.txt", cmd);
    // The log is a device that accepts no data.
    ASSERT_EQ(0, symlink("/dev/full", (dir / "odrlog.txt").c_str()));
    zt::RunResult r = zt::RunProgram({"."}, dir.path());
    EXPECT_EQ(12, r.exitCode);
    const std::string out = zt::MaskTimes(r.out);
    const std::string end =
        "STARTING at <TIME>\n"
        "*** can't write into log-file ./odrlog.txt! (ZIRidev.Main.28)\n"
        "*** error exit at <TIME>\n";
    EXPECT_EQ(end, out.substr(out.size() - std::min(out.size(), end.size()))) << out;
  }
}

}  // namespace
