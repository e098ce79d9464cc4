// Message and log facility: MsgOut with its visibility rules and its screen
// copy, the origin tag, MsgLow and MsgTok.
#include "msg/msg.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

std::FILE* MsgLog = nullptr;
int MsgErr = 0;
int MsgVerbose = 0;
int MsgQuiet = 0;
int MsgEcho = 0;
std::atomic<int> MsgSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "MsgSignal is written in a signal handler");

namespace {

char* MsgBuf = nullptr;  // screen copy of the current message

// Windows-1252 to code page 850 for the ten characters the console shows
// differently; every other byte passes unchanged.
constexpr unsigned char kScreenFrom[] = {0xE4, 0xF6, 0xFC, 0xC4, 0xD6, 0xDC, 0xB5, 0xDF, 0xB2, 0xB3};
constexpr unsigned char kScreenTo[]   = {0x84, 0x94, 0x81, 0x8E, 0x99, 0x9A, 0xE6, 0xE1, 0xFD, 0xFC};

void TranslateForScreen(char* s) {
  for (; *s; s++) {
    auto c = static_cast<unsigned char>(*s);
    for (std::size_t i = 0; i < sizeof kScreenFrom; i++) {
      if (c == kScreenFrom[i]) {
        *s = static_cast<char>(kScreenTo[i]);
        break;
      }
    }
  }
}

}  // namespace

int MsgOut(const char* format, ...) {
  if (!format) {
    std::free(MsgBuf);
    MsgBuf = nullptr;
    return 0;
  }
  if (!MsgBuf) {
    MsgBuf = static_cast<char*>(std::calloc(MsgBufSize, 1));
    if (!MsgBuf) {
      std::printf("*** can't allocate message buffer (%d bytes)!\n", MsgBufSize);
      std::exit(1);
    }
  }
  int level = (MsgErr < 0) ? 1 : MsgVerbose;
  if (level == 0) return MsgErr;
  va_list args;
  va_start(args, format);
  const bool screen = MsgQuiet <= 0;
  if (screen) {
    MsgProgressEnd();
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(MsgBuf, MsgBufSize - 1, format, copy);
    va_end(copy);
    if (n < 0 || n > MsgBufSize - 2) std::strcpy(MsgBuf, "--- message buffer overflow!\n");
    if (!MsgScreenUtf8) TranslateForScreen(MsgBuf);
    MsgScreenPut(MsgBuf, stdout);
  }
  // The help makes the standard output its log; one copy there is enough.
  if (MsgLog && !(screen && MsgLog == stdout)) std::vfprintf(MsgLog, format, args);
  va_end(args);
  return MsgErr;
}

MsgTag::MsgTag(const char* module, const char* function, const char* site) {
  std::snprintf(s, sizeof s, "%s.%s.%s", module, function, site);
}

void MsgLow(char* text) {
  if (!text) return;
  for (; *text; text++)
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
}

const char* MsgTok(const char* text, const char** next, const char* delims, int* length) {
  if (!text || !delims) return nullptr;
  while (*text && std::strchr(delims, *text)) text++;
  if (!*text) return nullptr;
  const char* start;
  const char* end;
  const char* after;
  if (*text == '"') {
    start = text + 1;
    end = std::strchr(start, '"');
    if (end) {
      after = end + 1;
    } else {
      end = start + std::strlen(start);
      after = end;
    }
  } else {
    start = text;
    end = start;
    while (*end && !std::strchr(delims, *end)) end++;
    after = end;
  }
  if (next) *next = after;
  if (length) *length = static_cast<int>(end - start);
  return start;
}

char* MsgTok(char* text, char** next, const char* delims, int* length) {
  const char* cnext = nullptr;
  const char* tok = MsgTok(static_cast<const char*>(text), next ? &cnext : nullptr, delims, length);
  if (tok && next) *next = const_cast<char*>(cnext);
  return const_cast<char*>(tok);
}
