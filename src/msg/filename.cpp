// File names in the working directory.
#include "msg/filename.h"

#include <cstring>

#include "msg/msg.h"

const char ProgName[] = "ZIRidev";
std::string WorkDir;

namespace {
char FileNameResult[kMaxFileName + 1];

int Fail(const char* site) {
  FileNameResult[0] = '\0';
  return MSG_FAIL(MsgTag("ZIRidev", "MakeFileName", site), "*** Maximum file name length exceeded! (%s)\n");
}
}  // namespace

const char* MakeFileName(const char* name, const char* defaultExt) {
  if (!name) name = "";
  if (!defaultExt) defaultExt = "";
  std::size_t len = std::strlen(name);
  if (len > kMaxFileName) {
    Fail("1");
    return FileNameResult;
  }
  char copy[kMaxFileName + 1];
  std::memcpy(copy, name, len + 1);
  for (char* p = copy; *p; p++)
    if (*p == '\\') *p = '/';
  const char* slash = std::strrchr(copy, '/');
  const char* dot = std::strrchr(copy, '.');
  bool hasExt = dot && (!slash || dot > slash);
  std::size_t dirLen = slash ? 0 : WorkDir.size();
  if (dirLen + len > kMaxFileName) {
    Fail("2");
    return FileNameResult;
  }
  std::size_t extLen = hasExt ? 0 : std::strlen(defaultExt);
  if (dirLen + len + extLen > kMaxFileName) {
    Fail("3");
    return FileNameResult;
  }
  std::memcpy(FileNameResult, WorkDir.data(), dirLen);
  std::memcpy(FileNameResult + dirLen, copy, len);
  std::memcpy(FileNameResult + dirLen + len, defaultExt, extLen);
  FileNameResult[dirLen + len + extLen] = '\0';
  return FileNameResult;
}
