// Parameter table: contents, initialisation of scalars and vectors, lookup,
// release.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../support/support.h"
#include "msg/msg.h"
#include "prm/params.h"
#include "prm/prm.h"
#include "prm_fixture.h"

namespace {

class PrmTable_ : public PrmFixture {
 protected:
  PrmRecord* Rec(const char* name) { return PrmFind(name, "?"); }
};

TEST_F(PrmTable_, SectionsAndParametersInTableOrder) {
  struct Section {
    std::string name, label;
    int params;
  };
  std::vector<Section> got;
  int total = 0;
  const PrmRecord* r = PrmTable;
  for (; !r->IsEnd(); r++) {
    if (r->IsSection()) {
      got.push_back({r->name, r->deflt, 0});
      EXPECT_EQ(r->Code(), PrmTypeString);
      EXPECT_EQ(r->size, 255);
      EXPECT_STREQ(r->dims, "0");
    } else {
      ASSERT_FALSE(got.empty());
      got.back().params++;
      total++;
      EXPECT_EQ(std::strlen(r->name), 2u) << r->name;
      EXPECT_EQ(r->outFormat[0], ' ') << r->name;
      ASSERT_NE(r->value, nullptr) << r->name;
    }
  }
  EXPECT_STREQ(r->name, "**");
  EXPECT_EQ(total, 112);
  std::vector<Section> want = {{"*d", "DIMS", 19}, {"*a", "PNT", 3},  {"*g", "GRD", 5},
                               {"*l", "LST", 1},   {"*p", "PRM", 25}, {"*q", "SRC", 29},
                               {"*s", "", 6},      {"*_", "INTR", 24}};
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); i++) {
    EXPECT_EQ(got[i].name, want[i].name);
    EXPECT_EQ(got[i].label, want[i].label);
    EXPECT_EQ(got[i].params, want[i].params) << want[i].name;
  }
}

TEST_F(PrmTable_, RecordsPointAtTheTypedObjects) {
  EXPECT_EQ(Rec("ua")->value, &prm::ua);
  EXPECT_EQ(Rec("nx")->value, &prm::nx);
  EXPECT_EQ(Rec("xf")->value, &prm::xf);
  EXPECT_EQ(Rec("fi")->value, &prm::fi);
  EXPECT_EQ(Rec("zk")->value, &prm::zk);
  EXPECT_EQ(Rec("wm")->value, &prm::wm);
  EXPECT_EQ(Rec("zk")->type, PrmTypeFloat | PrmVector);
  EXPECT_STREQ(Rec("zk")->dims, "nz+1");
  EXPECT_EQ(Rec("xf")->size, 8);
  EXPECT_STREQ(Rec("xf")->inFormat, "%lf");
  EXPECT_EQ(Rec("me")->size, 15);
  EXPECT_EQ(Rec("ti")->size, 255);
  EXPECT_STREQ(Rec("mo")->desc, "Darstellungsart (text|binary)");
}

TEST_F(PrmTable_, ScalarDefaultsAfterModeOne) {
  ASSERT_EQ(PrmInit(1), 0);
  EXPECT_EQ(PrmInitLvl, 1);
  EXPECT_FLOAT_EQ(prm::ua, 3.0f);
  EXPECT_EQ(prm::ll, -10);
  EXPECT_EQ(prm::mc, 4000);
  EXPECT_FLOAT_EQ(prm::pd, 2.0f);
  EXPECT_FLOAT_EQ(prm::fv, 0.17f);
  EXPECT_FLOAT_EQ(prm::tw, -1.0f);
  EXPECT_DOUBLE_EQ(prm::xf, 0.0);
  EXPECT_STREQ(prm::me, "GE");
  EXPECT_STREQ(prm::fo, "%12.4e");
  EXPECT_STREQ(prm::fi, "");
  EXPECT_STREQ(prm::mo, "text");
  // Vectors wait for mode 2.
  EXPECT_EQ(prm::zk.count, 0);
  EXPECT_EQ(prm::zk.data, nullptr);
}

TEST_F(PrmTable_, VectorsSizedFromTheirReferences) {
  ASSERT_EQ(PrmInit(1), 0);
  ASSERT_EQ(PrmInit(2), 0);
  EXPECT_EQ(PrmInitLvl, 2);
  for (const PrmVec* v : {&prm::zk, &prm::kz, &prm::ux, &prm::ww, &prm::ca, &prm::cg, &prm::ci,
                          &prm::cp, &prm::cx, &prm::sd, &prm::sy})
    EXPECT_EQ(v->count, 201);
  for (const PrmVec* v : {&prm::cl, &prm::hl, &prm::od}) EXPECT_EQ(v->count, 21);
  EXPECT_EQ(prm::em.count, 10);
  EXPECT_EQ(prm::wm.count, 10);
  ASSERT_EQ(prm::dw.count, 36);
  for (int i = 0; i < 36; i++) EXPECT_FLOAT_EQ(prm::dw[i], 1.0f);
  // mp 0: no storage, no message.
  EXPECT_EQ(prm::xp.count, 0);
  EXPECT_EQ(prm::xp.data, nullptr);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(PrmTable_, CountsFollowChangedDimensions) {
  ASSERT_EQ(PrmInit(1), 0);
  prm::mp = 12;
  prm::nz = 7;
  ASSERT_EQ(PrmInit(2), 0);
  EXPECT_EQ(prm::xp.count, 12);
  EXPECT_EQ(prm::yp.count, 12);
  EXPECT_EQ(prm::zk.count, 8);
}

TEST_F(PrmTable_, SetMarkProtectsFromLaterInitialisation) {
  ASSERT_EQ(PrmInit(1), 0);
  ASSERT_EQ(PrmInit(2), 0);
  prm::dw[3] = 7.0f;
  PrmRecord* dw = Rec("dw");
  dw->type |= PrmSetMark;
  prm::ua = 9.0f;  // scalars are not initialised again above level 0
  prm::nw = 4;
  ASSERT_EQ(PrmInit(2), 0);
  EXPECT_EQ(prm::dw.count, 36);
  EXPECT_FLOAT_EQ(prm::dw[3], 7.0f);
  EXPECT_FLOAT_EQ(prm::ua, 9.0f);
  EXPECT_EQ(prm::cl.count, 21);  // re-allocated from the unchanged nl
}

// The dimension-reference rules, exercised by temporarily changing the
// reference of zk.
class PrmInitRef_ : public PrmTable_ {
 protected:
  void TearDown() override {
    Rec("zk")->dims = "nz+1";
    PrmTable_::TearDown();
  }
  std::string InitWith(const char* dims) {
    zt::LogCapture log;
    Rec("zk")->dims = dims;
    PrmInit(1);
    EXPECT_EQ(PrmInit(2), -1);
    EXPECT_EQ(MsgErr, -1);
    return log.text();
  }
};

TEST_F(PrmInitRef_, LiteralZeroOrEmptyIsInvalid) {
  EXPECT_EQ(InitWith("0"), "*** array zk: invalid number of elements! (QORprm.PrmInit.1)\n");
}

TEST_F(PrmInitRef_, EmptyReferenceIsInvalid) {
  EXPECT_EQ(InitWith(""), "*** array zk: invalid number of elements! (QORprm.PrmInit.1)\n");
}

TEST_F(PrmInitRef_, LiteralCountIsUsed) {
  Rec("zk")->dims = "5";
  ASSERT_EQ(PrmInit(1), 0);
  ASSERT_EQ(PrmInit(2), 0);
  EXPECT_EQ(prm::zk.count, 5);
}

TEST_F(PrmInitRef_, LaterRecordIsNotFound) {
  // kk exists, but stands after zk.
  EXPECT_EQ(InitWith("kk"), "*** array zk: reference kk not found! (QORprm.PrmInit.2)\n");
}

TEST_F(PrmInitRef_, ReferenceMustBeAnIntegerScalar) {
  EXPECT_EQ(InitWith("ua"), "*** array zk: reference ua must be an integer! (QORprm.PrmInit.3)\n");
  PrmClear();
  zt::ResetMsg();
  MsgQuiet = 1;
  EXPECT_EQ(InitWith("dw"), "*** array zk: reference dw must be an integer! (QORprm.PrmInit.3)\n");
}

TEST_F(PrmInitRef_, NegativeCountIsInvalid) {
  zt::LogCapture log;
  PrmInit(1);
  prm::nz = -5;
  EXPECT_EQ(PrmInit(2), -1);
  EXPECT_EQ(log.text(),
            "*** array zk: reference nz+1 has invalid value (=-4)! (QORprm.PrmInit.4)\n");
  // The pass stopped at zk: later vectors keep their state.
  EXPECT_EQ(prm::dw.count, 36);
  EXPECT_EQ(prm::kz.data, nullptr);
}

TEST_F(PrmInitRef_, CountAboveTheLimitIsRefusedWithoutWrappingAround) {
  for (int32_t nz : {PrmMaxElements, INT32_MAX}) {
    PrmClear();
    zt::ResetMsg();
    zt::LogCapture log;
    PrmInit(1);
    prm::nz = nz;
    EXPECT_EQ(PrmInit(2), -1);
    EXPECT_EQ(log.text(), "*** array zk: " + std::to_string(int64_t{nz} + 1) +
                              " elements from nz+1, at most 10000000! (QORprm.PrmInit.7)\n");
    EXPECT_EQ(prm::zk.data, nullptr);
  }
}

TEST_F(PrmTable_, FindMatchesWithinTheSectionOnTwoCharacters) {
  EXPECT_EQ(PrmFind("ux", "*p"), nullptr);
  EXPECT_EQ(PrmFind("ux", "?"), Rec("ux"));
  ASSERT_NE(PrmFind("uaxyz", "*p"), nullptr);
  EXPECT_STREQ(PrmFind("uaxyz", "*p")->name, "ua");
  EXPECT_EQ(PrmFind("ua", "*q"), nullptr);
  EXPECT_EQ(PrmFind("UA", "*p"), nullptr);  // case-sensitive; the reader lowers names
  EXPECT_EQ(PrmFind("u", "*p"), nullptr);
  EXPECT_STREQ(PrmFind("dz", "*d")->name, "dz");
  EXPECT_STREQ(PrmFind("zp", "*d")->name, "zp");
  EXPECT_EQ(PrmFind("np", "*d"), nullptr);  // first of the next section
  EXPECT_EQ(PrmFind("ua", "*e"), nullptr);
  EXPECT_EQ(PrmFind("ua", "**"), nullptr);
}

TEST_F(PrmTable_, IsSetReportsUnknownUnsetAndSet) {
  ASSERT_EQ(PrmInit(1), 0);
  EXPECT_EQ(PrmIsSet("qq"), -1);
  EXPECT_EQ(PrmIsSet("np"), 0);
  Rec("np")->type |= PrmSetMark;
  EXPECT_EQ(PrmIsSet("np"), 1);
}

TEST_F(PrmTable_, ClearReleasesEverything) {
  ASSERT_EQ(PrmInit(1), 0);
  ASSERT_EQ(PrmInit(2), 0);
  Rec("ua")->type |= PrmSetMark;
  EXPECT_EQ(PrmClear(), 0);
  EXPECT_EQ(PrmInitLvl, 0);
  EXPECT_EQ(PrmIsSet("ua"), 0);
  EXPECT_EQ(prm::ua, 0.0f);
  EXPECT_EQ(prm::me, nullptr);
  EXPECT_EQ(prm::zk.data, nullptr);
  EXPECT_EQ(prm::zk.count, 0);
  // A new initialisation restores the defaults.
  ASSERT_EQ(PrmInit(1), 0);
  EXPECT_FLOAT_EQ(prm::ua, 3.0f);
  EXPECT_STREQ(prm::me, "GE");
}

}  // namespace
