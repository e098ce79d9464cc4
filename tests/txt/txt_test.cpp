// Growable texts: every operation, clamping of positions, the consistency
// check and the allocation failure.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <climits>
#include <string>

#include "support.h"
#include "txt/txt.h"

namespace {

struct Text {
  TxtStr t;
  explicit Text(const char* s = nullptr) {
    if (s) TxtCpy(&t, s);
  }
  ~Text() { TxtClr(&t); }
  std::string str() const { return t.s ? std::string(t.s) : std::string(); }
};

TEST(Txt, AppendAndCopy) {
  Text a;
  EXPECT_EQ(0, TxtCat(&a.t, "abc"));
  EXPECT_EQ("abc", a.str());
  EXPECT_EQ(3, a.t.l);
  TxtNCat(&a.t, "de", 10);
  EXPECT_EQ("abcde", a.str());
  EXPECT_EQ(5, a.t.l);
  TxtNCat(&a.t, "xyz", 1);
  EXPECT_EQ("abcdex", a.str());
  TxtNCpy(&a.t, "abc", 5);
  EXPECT_EQ("abc", a.str());
  EXPECT_EQ(3, a.t.l);
  TxtNCpy(&a.t, "abc", 2);
  EXPECT_EQ("ab", a.str());
  TxtCpy(&a.t, nullptr);
  EXPECT_EQ(nullptr, a.t.s);
  EXPECT_EQ(0, a.t.l);
}

TEST(Txt, AppendingTheTextToItselfWorks) {
  Text a("ab");
  TxtCat(&a.t, a.t.s);
  EXPECT_EQ("abab", a.str());
  TxtIns(&a.t, 1, a.t.s);
  EXPECT_EQ("aababbab", a.str());
}

TEST(Txt, PutInsertDeleteClampPositions) {
  Text a("abcdef");
  TxtPut(&a.t, 2, "XY");
  EXPECT_EQ("abXY", a.str());
  EXPECT_EQ(4, a.t.l);
  Text b("abcdef");
  TxtPut(&b.t, 10, "XY");
  EXPECT_EQ("abcdefXY", b.str());
  Text c("abcdef");
  TxtIns(&c.t, -1, "XY");
  EXPECT_EQ("XYabcdef", c.str());
  TxtIns(&c.t, 100, "!");
  EXPECT_EQ("XYabcdef!", c.str());
  Text d("abcdef");
  TxtDel(&d.t, 2, 2);
  EXPECT_EQ("abef", d.str());
  Text e("abcdef");
  TxtDel(&e.t, 4, 10);
  EXPECT_EQ("abcd", e.str());
  EXPECT_EQ(4, e.t.l);
  Text f("abcdef");
  TxtDel(&f.t, 1, -3);
  EXPECT_EQ("abcdef", f.str());
}

TEST(Txt, SubstituteReplacesEveryNonOverlappingOccurrence) {
  Text a("a.b.c");
  TxtSubst(&a.t, ".", "::");
  EXPECT_EQ("a::b::c", a.str());
  EXPECT_EQ(7, a.t.l);
  Text b("a.b.c");
  char* before = b.t.s;
  TxtSubst(&b.t, "b", "x");
  EXPECT_EQ("a.x.c", b.str());
  EXPECT_EQ(before, b.t.s);  // same length: replaced in place
  Text c("aaa");
  TxtSubst(&c.t, "aa", "b");
  EXPECT_EQ("ba", c.str());
  Text d("abc");
  TxtSubst(&d.t, "", "x");
  TxtSubst(&d.t, "zz", "x");
  EXPECT_EQ("abc", d.str());
  Text e("xx");
  TxtSubst(&e.t, "x", "");
  EXPECT_EQ("", e.str());
  EXPECT_EQ(0, e.t.l);
}

TEST(Txt, AbsentRecordOrSourceChangesNothing) {
  EXPECT_EQ(0, TxtCat(nullptr, "a"));
  EXPECT_EQ(0, TxtClr(nullptr));
  Text a("abc");
  TxtCat(&a.t, nullptr);
  TxtPut(&a.t, 0, nullptr);
  TxtIns(&a.t, 0, nullptr);
  EXPECT_EQ("abc", a.str());
}

TEST(Txt, BrokenLengthIsReportedNotRepaired) {
  Text a("abc");
  a.t.s[1] = '\0';  // corrupt the invariant behind the record's back
  zt::StdoutCapture out;
  TxtIns(&a.t, 3, "x");
  EXPECT_EQ("inconsistent string length!\n", out.text());
  EXPECT_EQ(4, a.t.l);
}

TEST(TxtDeath, AllocationFailureEndsTheProcessWithCode2) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address-space limit would break the sanitizer's shadow memory";
#else
  auto limitedAlloc = [] {
    rlimit lim{256L << 20, 256L << 20};
    setrlimit(RLIMIT_AS, &lim);
    TxtAlloc(INT_MAX);
  };
  EXPECT_EXIT(limitedAlloc(), testing::ExitedWithCode(2),
              "TXT: allocation of 2147483647 bytes failed!");
#endif
}

}  // namespace
