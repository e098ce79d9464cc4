// Start-up, command line, log file, closing line and signal handling.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "driver/driver.h"
#include "msg/msg.h"
#include "odor/odor.h"
#include "par/par.h"

const char ModName[] = "ZIRidev";
const char ModVersion[] = "1.4.d";
const char BuildDate[] = __DATE__;
const char BuildTime[] = __TIME__;

std::string CmdName;
std::string LogName;

namespace {

std::string LogPath;  // the log's file name, for messages
bool Closed = false;  // the closing line is written

const char* Now() {
  std::time_t t = std::time(nullptr);
  return std::ctime(&t);  // 24 characters and a newline
}

// Reads the hexadecimal level that may follow an option letter; characters
// that are not hexadecimal leave the 1.
int OptionLevel(const char* rest) {
  unsigned int v = 1;
  if (*rest && std::sscanf(rest, "%x", &v) != 1) v = 1;
  return static_cast<int>(v);
}

// Reads the decimal number of threads that follows -t; anything else, or a
// number below 1, leaves the default (the machine's hardware threads).
int OptionThreads(const char* rest) {
  int n = 0;
  if (std::sscanf(rest, "%d", &n) != 1 || n < 1) n = 0;
  return n;
}

}  // namespace

// Closing line of a process that ends elsewhere than through FinishRun (a
// module that ends the process itself).
void HandleExit() {
  if (Closed) return;
  Closed = true;
  MsgVerbose = 1;
  MsgQuiet--;
  MsgOut(MsgErr >= 0 ? "FINISHED" : "*** error exit");
  MsgOut(" at %s", Now());
}

void HandleSignal(int sig) {
  // Only async-signal-safe work here: the run stops at its next look at
  // MsgSignal. A second signal means the run is not to be waited for.
  if (MsgSignal.exchange(sig) != 0) std::_Exit(128 + sig);
}

void HandleCrash(int sig) {
  // After an invalid memory access nothing can be trusted to work, not even
  // the closing line; the exit code still tells the calling script.
  std::_Exit(128 + sig);
}

namespace {

// stdio keeps a write error until the stream is closed, so one look after a
// flush covers every write since the log was opened.
bool LogWritten() { return std::fflush(MsgLog) == 0 && !std::ferror(MsgLog); }

int LogFailure() {
  return MSG_FAIL(MsgTag(ModName, "Main", "28"), "*** can't write into log-file %s! (%s)\n", LogPath.c_str());
}

}  // namespace

int CheckLog() { return (!MsgLog || LogWritten()) ? 0 : LogFailure(); }

int Interrupted() {
  const int sig = MsgSignal;
  MsgErr = -1;
  MsgVerbose = 1;
  MsgQuiet--;
  MsgOut("%s", Now());
  MsgOut("%s aborted (%d)\n", ModName, sig);
  MsgQuiet++;
  return 128 + sig;
}

int FinishRun(int code) {
  if (code == 0 && CheckLog() < 0) code = 12;
  Closed = true;
  MsgVerbose = 1;
  MsgQuiet--;
  const char* what = (MsgErr >= 0) ? "FINISHED" : "*** error exit";
  const char* when = Now();
  // The log gets its closing line and is closed before the screen gets its
  // own, so that a log that fails only now still turns the run into an
  // error there.
  if (MsgLog) {
    std::fprintf(MsgLog, "%s at %s", what, when);
    bool ok = LogWritten();
    if (MsgLog != stderr && MsgLog != stdout) ok = (std::fclose(MsgLog) == 0) && ok;
    MsgLog = nullptr;
    if (!ok && code == 0) {
      code = 12;
      LogFailure();
      what = "*** error exit";
    }
  }
  MsgOut("%s at %s", what, when);
  MsgQuiet++;
  return code;
}

int Main(int argc, char* argv[]) {
  // No SA_RESTART: a read of the command file from a terminal or a pipe
  // returns at a signal, so that a run waiting for input stops as well.
  struct sigaction stop {};
  stop.sa_handler = HandleSignal;
  sigemptyset(&stop.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &stop, nullptr);
  std::signal(SIGSEGV, HandleCrash);
  // German text on a UTF-8 terminal is written as UTF-8 (help, messages).
  MsgScreenUtf8 = MsgStdoutIsUtf8Terminal();
  if (argc < 2) {
    std::printf("%s Version %s (%s %s)\n", ModName, ModVersion, BuildDate, BuildTime);
    std::printf("Information zur Art des Aufrufes: %s -h\n", ModName);
    ParExit(0);
  }
  std::atexit(HandleExit);
  CmdName = "odrcmd.txt";
  LogName = "odrlog.txt";
  MsgVerbose = 0;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (a[0] != '-') {
      WorkDir = a;
      continue;
    }
    switch (a[1]) {
      case 'e': MsgEcho = OptionLevel(a + 2); break;
      case 'h': PrintHelp();
      case 'i': CmdName = a + 2; break;
      case 'l': LogName = a + 2; break;
      case 'q': MsgQuiet = OptionLevel(a + 2); break;
      case 't': CalcThreads = OptionThreads(a + 2); break;
      case 'v': MsgVerbose = OptionLevel(a + 2); break;
      default: std::printf("unknown option %s\n", a); break;
    }
  }
  // Over-long names are kept whole here and rejected by MakeFileName. Of
  // the processes of a run only the first writes the log.
  if (!WorkDir.empty()) {
    for (char& c : WorkDir)
      if (c == '\\') c = '/';
    if (WorkDir.back() != ':' && WorkDir.back() != '/') WorkDir += '/';
    if (ParRank() > 0) {
      // no log
    } else if (LogName.empty()) {
      MsgLog = stderr;
      LogPath = "stderr";
    } else if (LogName[0] != '-') {
      const char* fn = MakeFileName(LogName.c_str(), ".txt");
      if (!*fn) return MSG_FAIL(MsgTag(ModName, "Main", "26"), "*** unable to build file name of log-file! (%s)\n");
      LogPath = fn;
      MsgLog = std::fopen(fn, "wb");
      if (!MsgLog)
        return MSG_FAIL(MsgTag(ModName, "Main", "27"), "*** can't write into log-file %s! (%s)\n", fn);
    }
  }
  // The kernel of the odor core: the best the processor has, unless the
  // environment names one (to compare them; the results are the same).
  const char* isa = std::getenv("ZIR_ISA");
  const int isaChoice = CoreIsaSelect(isa);
  // The progress line only on a terminal that does not also show the log.
  MsgProgressOn = MsgQuiet <= 0 && MsgLog != stderr && MsgStderrIsTerminal();
  int verbose = MsgVerbose;
  MsgVerbose = 1;
  MsgQuiet--;
  MsgOut("Odor Dispersion Model VALKO, %s Version %s\n", ModName, ModVersion);
  MsgOut("Program by the ZIRidev development team\n");
  MsgOut("Compiled at %s  %s\n", BuildDate, BuildTime);
  if (verbose > 1) {
    MsgOut("ARY %s\n", "1.0.a");
    MsgOut("BLM %s\n", "1.2.a");
    MsgOut("DFF %s\n", "1.4.a");
    MsgOut("DMN %s\n", "1.1.a");
    MsgOut("MSG %s\n", "1.0.a");
    MsgOut("MTH %s\n", "1.0.a");
    MsgOut("PRM %s\n", "1.1.b");
    MsgOut("TXT %s\n", "1.0.a");
    if (isaChoice == 0) MsgOut("ISA %s%s\n", CoreIsaName(), (isa && *isa) ? " (ZIR_ISA)" : "");
  }
  MsgOut("STARTING at %s", Now());
  MsgQuiet++;
  if (MsgLog)
    for (int i = 0; i < argc; i++) std::fprintf(MsgLog, ">%s\n", argv[i]);
  MsgVerbose = verbose;
  if (isaChoice == 1) {
    MSG_FAIL(MsgTag(ModName, "Main", "30"),
             "*** unknown instruction set ZIR_ISA=%s, this program has %s! (%s)\n", isa,
             CoreIsaNames());
    return FinishRun(18);
  }
  if (isaChoice == 2) {
    MSG_FAIL(MsgTag(ModName, "Main", "31"),
             "*** this processor lacks the instruction set ZIR_ISA=%s! (%s)\n", isa);
    return FinishRun(18);
  }
  // "CON" names the standard input; it must reach the reader unchanged, not
  // as a file CON.txt in the working directory.
  const char* cmd = (CmdName == "CON") ? "CON" : MakeFileName(CmdName.c_str(), ".txt");
  if (!*cmd) {
    MSG_FAIL(MsgTag(ModName, "Main", "1"), "*** invalid file name for input! (%s)\n");
    return FinishRun(1);
  }
  // The standard input reaches the first process alone.
  if (std::strcmp(cmd, "CON") == 0 && ParSize() > 1) {
    MSG_FAIL(MsgTag(ModName, "Main", "32"),
             "*** %d processes can't read the input from the standard input (CON)! (%s)\n",
             ParSize());
    return FinishRun(1);
  }
  char cmdFile[kMaxFileName + 1];
  std::strcpy(cmdFile, cmd);
  return FinishRun(RunCommands(cmdFile));
}
