// Common start of the parameter tests: an empty table, no open inputs, the
// reader's line buffer back at its start size, messages reset and off screen.
#pragma once

#include <gtest/gtest.h>

#include "../support/support.h"
#include "msg/msg.h"
#include "prm/prm.h"

class PrmFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    zt::ResetMsg();
    MsgQuiet = 1;
    PrmReadReset();
    PrmClear();
  }
  void TearDown() override {
    PrmReadReset();
    PrmClear();
    zt::ResetMsg();
  }
};
