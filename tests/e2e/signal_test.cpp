// An interrupted run closes with the error line and exit code 128 + signal,
// so that a calling script never takes it for a success.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "support.h"

namespace {

TEST(Signal, InterruptDuringARunEndsWithErrorExitAnd130) {
  zt::TempDir dir;
  int in[2];
  ASSERT_EQ(0, pipe(in));
  std::string outPath = dir / "stdout.out";
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    close(in[1]);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    std::string exe = zt::ExePath();
    execl(exe.c_str(), "ZIRidev", ".", "-iCON", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  // The program reads its commands from the pipe: give it a first section,
  // then give it time to block reading the next line (its output is
  // buffered, so there is nothing to watch for).
  const char cmd[] = "*DIMENSIONIERUNG\n";
  ASSERT_EQ(static_cast<ssize_t>(sizeof cmd - 1), write(in[1], cmd, sizeof cmd - 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  close(in[1]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(130, WEXITSTATUS(status));
  std::string out = zt::MaskTimes(zt::ReadFile(outPath));
  EXPECT_NE(std::string::npos, out.find("<TIME>\nZIRidev aborted (2)\n*** error exit at <TIME>\n")) << out;
  std::string log = zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt"));
  EXPECT_NE(std::string::npos, log.find("<TIME>\nZIRidev aborted (2)\n")) << log;
  EXPECT_EQ(std::string::npos, log.find("error exit")) << "the log is closed before the closing line";
  EXPECT_EQ(std::string::npos, out.find("FINISHED"));
}

}  // namespace
