// libFuzzer target for the command-file reader: the input bytes become a
// command file that PrmRead reads section by section until it ends, fails or
// reaches *ENDE; the table and the reader start afresh for every input.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "msg/msg.h"
#include "prm/prm.h"

namespace {

// A file in memory where the system has one, in /tmp otherwise.
std::string TempPath() {
  for (const char* dir : {"/dev/shm", "/tmp"}) {
    std::string path = std::string(dir) + "/prm_read_fuzz.XXXXXX";
    int fd = mkstemp(path.data());
    if (fd >= 0) {
      close(fd);
      return path;
    }
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The name is reserved once; the file lives only during a run, because
  // libFuzzer may end the process without running destructors.
  static const std::string path = TempPath();
  static std::FILE* sink = std::fopen("/dev/null", "w");
  if (FuzzExpensive(data, size, 100000)) return 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  MsgErr = 0;
  MsgQuiet = 1;
  MsgVerbose = 1;
  MsgEcho = 1;
  MsgLog = sink;  // messages are formatted, but not kept
  char section[200], argument[200];
  int n = PrmRead(path.c_str(), section, argument);
  for (int calls = 0; n > 0 && std::strcmp(section, "*e") != 0 && calls < 10000; calls++) {
    // Raise the buffer as the driver does after the dimension section.
    if (section[1] == 'd' && PrmBufLen < 4000) PrmBufLen = 4000;
    n = PrmRead("", section, argument);
  }
  PrmRead(nullptr, nullptr, nullptr);
  PrmReadReset();
  PrmClear();
  MsgLog = nullptr;
  unlink(path.c_str());
  return 0;
}
