// An interrupted run closes with the error line on the screen and in the
// log and exit code 128 + signal, so that a calling script never takes it
// for a success, and leaves no temporary file behind. The signals are sent
// at states the test has seen, not after a guessed delay.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "support.h"

namespace fs = std::filesystem;

namespace {

// Starts the program in dir with the arguments, standard input from the
// descriptor in (or the command file) and standard output into stdout.out.
pid_t Start(const zt::TempDir& dir, const std::vector<const char*>& args, int in = -1) {
  std::string outPath = dir / "stdout.out";
  pid_t pid = fork();
  if (pid == 0) {
    if (in >= 0) dup2(in, 0);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    dup2(out, 1);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>("ZIRidev")};
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    std::string exe = zt::ExePath();
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

// Waits until the file exists while the child still runs.
bool AwaitFile(pid_t pid, const std::string& path) {
  for (int i = 0; i < 120000; i++) {
    if (fs::exists(path)) return true;
    if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// The exit code of the child; a child that does not end within two minutes
// is killed and counts as -1.
int ExitCode(pid_t pid) {
  int status = 0;
  for (int i = 0; i < 120000; i++) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

// A grid large enough that writing its text takes a while, and a run that
// fills it fast: the source lies far downwind of every receptor.
const char kBigOutput[] =
    "*DIMENSIONIERUNG\nnw 1\n*GITTER\nnx 1500\nny 1500\ndr 1\n*QUELLE\nxq 100000\n"
    "*PARAMETER run\nre 270\nnu 1\ndw 1\n*SPEICHERN cnc\n*ENDE\n";

// Starts the big output, stops the program while its temporary result
// file exists, sends it the signals and lets it go on. Returns its exit
// code, or -2 when the output ended before it could be stopped.
int InterruptOutput(const zt::TempDir& dir, std::initializer_list<int> signals) {
  zt::WriteFile(dir / "odrcmd.txt", kBigOutput);
  pid_t pid = Start(dir, {"."});
  const std::string temp = dir / "cnc.dmna.~0.tmp";
  if (!AwaitFile(pid, temp)) return -2;
  kill(pid, SIGSTOP);
  int status = 0;
  waitpid(pid, &status, WUNTRACED);
  const bool during = WIFSTOPPED(status) && fs::exists(temp);
  for (int sig : signals)
    if (during) kill(pid, sig);
  kill(pid, SIGCONT);
  const int code = ExitCode(pid);
  return during ? code : -2;
}

std::vector<std::string> Leftovers(const zt::TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path()))
    if (e.path().filename().string().find(".~") != std::string::npos) names.push_back(e.path().filename());
  return names;
}

TEST(Signal, InterruptWhileWaitingForCommandsEndsWithErrorExitAnd130) {
  zt::TempDir dir;
  // Only the program's standard input may refer to the pipe, or its end
  // never comes.
  int in[2];
  ASSERT_EQ(0, pipe2(in, O_CLOEXEC));
  pid_t pid = Start(dir, {".", "-iCON"}, in[0]);
  close(in[0]);
  const char cmd[] = "*DIMENSIONIERUNG\n";
  ASSERT_EQ(static_cast<ssize_t>(sizeof cmd - 1), write(in[1], cmd, sizeof cmd - 1));
  // The log exists once the handlers are in place. Whether the signal finds
  // the program reading or not, the end of the input comes after it.
  ASSERT_TRUE(AwaitFile(pid, dir / "odrlog.txt"));
  kill(pid, SIGINT);
  close(in[1]);
  EXPECT_EQ(130, ExitCode(pid));
  std::string out = zt::MaskTimes(zt::ReadFile(dir / "stdout.out"));
  EXPECT_NE(std::string::npos, out.find("<TIME>\nZIRidev aborted (2)\n*** error exit at <TIME>\n")) << out;
  EXPECT_EQ(std::string::npos, out.find("FINISHED"));
  std::string log = zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt"));
  EXPECT_NE(std::string::npos, log.find("<TIME>\nZIRidev aborted (2)\n*** error exit at <TIME>\n")) << log;
}

TEST(Signal, TerminationDuringOutputLeavesNoTemporaryFile) {
  zt::TempDir dir;
  EXPECT_EQ(143, InterruptOutput(dir, {SIGTERM}));
  std::string log = zt::MaskTimes(zt::ReadFile(dir / "odrlog.txt"));
  const std::string end = "<TIME>\nZIRidev aborted (15)\n*** error exit at <TIME>\n";
  EXPECT_EQ(end, log.substr(log.size() - std::min(log.size(), end.size()))) << log;
  EXPECT_EQ(std::vector<std::string>{}, Leftovers(dir));
  EXPECT_FALSE(fs::exists(dir / "cnc.dmna"));
}

TEST(Signal, SecondSignalEndsTheProcessAtOnce) {
  zt::TempDir dir;
  // Both are pending when the program goes on; whichever comes second ends
  // it without the closing line.
  int code = InterruptOutput(dir, {SIGHUP, SIGTERM});
  EXPECT_TRUE(code == 128 + SIGHUP || code == 128 + SIGTERM) << code;
  EXPECT_EQ(std::string::npos, zt::ReadFile(dir / "odrlog.txt").find("error exit"));
}

// A run inside the plume solver (a table that marches with an explicit part
// over 2000 levels of 0.1 m: 7.8e8 level steps, within the limit of 1e9,
// half a minute and more) and one inside the
// receptor loop (an area source of 4 000 000 cells on 3 x 3 receptors: one
// chunk of receptors, minutes). Each ends within seconds of SIGTERM: the
// solver looks for a signal at every step, the receptor loop at every
// receptor and direction. (On a quiet machine it takes some 0.3 s; the
// bound leaves room for a loaded one and the sanitizers.)
TEST(Signal, TerminationInsideThePlumeSolverAndTheReceptorLoopEndsWithinSeconds) {
  const char* const runs[] = {
      "*DIMENSIONIERUNG\nmi 100\nnz 2000\ndz 0.1\n*GITTER\nnx 3\nny 3\ndr 50\nxr -50\nyr -50\n"
      "*QUELLE\nhq 5\nli 10\n*PARAMETER run\nal 0.5\nua 3\nlm 0\n*SPEICHERN cnc\n*ENDE\n",
      "*DIMENSIONIERUNG\nmi 400\n*GITTER\nnx 3\nny 3\ndr 500\nxr -500\nyr -500\n*QUELLE\nxq -1000\n"
      "yq -1000\naq 2000\nbq 2000\nlq 1\nhq 0\ncq 6\nli 10\n*PARAMETER run\nua 3\nlm 0\n"
      "*SPEICHERN cnc\n*ENDE\n"};
  for (const char* run : runs) {
    zt::TempDir dir;
    zt::WriteFile(dir / "odrcmd.txt", run);
    pid_t pid = Start(dir, {".", "-t2"});
    ASSERT_TRUE(AwaitFile(pid, dir / "odrlog.txt"));
    // Reading the command file takes milliseconds, the phase minutes.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto sent = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    EXPECT_EQ(143, ExitCode(pid)) << run;
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count();
    EXPECT_LT(waited, 5.0) << run;
    EXPECT_EQ(std::string::npos, zt::ReadFile(dir / "odrlog.txt").find("*** error in")) << run;
  }
}

}  // namespace
