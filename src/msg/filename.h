// Names shared by the driver and the modules below it: the program name,
// the working directory and the construction of file names in it.
#pragma once

#include <string>

constexpr int kMaxFileName = 256;  // characters of a file name

extern const char ProgName[];  // "ZIRidev": label of command files
extern std::string WorkDir;    // empty, or ending in "/" or ":"

// Full name of a file in the working directory: a name without "/" is put
// after WorkDir, a name without extension gets defaultExt. Returns a static
// buffer (overwritten by the next call); on failure the empty text with
// MsgErr set to -1.
const char* MakeFileName(const char* name, const char* defaultExt);
