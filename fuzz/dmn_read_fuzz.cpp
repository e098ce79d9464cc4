// libFuzzer target for the data-file reader. The input is split at the first
// line "@@\n": the part before it becomes the descriptor f.dmna, the part
// after it the data files f.dmnb, d.dmnt and d.dmnb (headers name "data d"
// to reach the latter two). Files live in one scratch directory per process.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ary/ary.h"
#include "dmn/dmn.h"
#include "fuzz_support.h"
#include "msg/msg.h"
#include "txt/txt.h"

namespace {

const std::string& ScratchDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/dmn_read_fuzz.XXXXXX";
    const char* made = mkdtemp(tmpl);
    return std::string(made ? made : "/tmp");
  }();
  return dir;
}

void Store(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  if (!fp) return;
  if (size) std::fwrite(data, 1, size, fp);
  std::fclose(fp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSilence();
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find("@@\n");
  size_t headEnd = cut == std::string::npos ? size : cut;
  size_t dataStart = cut == std::string::npos ? size : cut + 3;
  const std::string& dir = ScratchDir();
  Store(dir + "/f.dmna", data, headEnd);
  for (const char* name : {"/f.dmnb", "/d.dmnt", "/d.dmnb"}) Store(dir + name, data + dataStart, size - dataStart);

  AryDesc array{};
  TxtStr usr;
  TxtStr sys;
  DmnRead((dir + "/f").c_str(), &usr, &sys, &array);
  AryFree(&array);
  TxtClr(&usr);
  TxtClr(&sys);
  return 0;
}
