// Shared by the fuzz targets.
#pragma once

#include "msg/msg.h"

// Message settings of a fresh run that shows and logs nothing.
inline void FuzzSilence() {
  MsgErr = 0;
  MsgLog = nullptr;
  MsgVerbose = 0;
  MsgQuiet = 1;
}
