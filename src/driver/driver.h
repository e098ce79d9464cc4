// Program driver: start-up, command line, log file, exit and signals, the
// command interpreter, the model initialisation and the help output.
#pragma once

#include <cstdio>
#include <string>

#include "msg/filename.h"

extern const char ModName[];     // "ZIRidev"
extern const char ModVersion[];  // "1.4.d"
extern const char BuildDate[];   // "Jun 15 1999"
extern const char BuildTime[];   // "13:59:17"

extern std::string CmdName;  // command file, option -i
extern std::string LogName;  // log file, option -l

int Main(int argc, char* argv[]);
void HandleExit();
void HandleSignal(int sig);  // SIGINT, SIGTERM, SIGHUP: records the signal in MsgSignal
void HandleCrash(int sig);   // SIGSEGV: ends the process with 128 + sig

// 0 while everything written to the log reached it; else -1 after the
// message.
int CheckLog();
// Reports the signal in MsgSignal as the end of the run; returns its exit
// code, 128 + the signal.
int Interrupted();
// Ends the run with exit code code: the closing line to the log, which is
// then closed, and to the screen. Returns code, or 12 for a successful run
// whose log could not be written.
int FinishRun(int code);

// Runs the command file section by section; returns the exit code. allow,
// when given, is asked before each section's action and ends the run as
// *ENDE does when it answers false (the fuzz target skips costly work so).
int RunCommands(const char* cmdFile,
                bool (*allow)(const char* section, const char* argument) = nullptr);
int ZidInit();
void ResetInterpreter();  // back to the state at program start (for tests)
int ResetPlume();

[[noreturn]] void PrintHelp();
void PrintUsage(std::FILE* f);
