// Array descriptors: layout of created arrays, element access, shape
// assertions, views and every error message with its origin tag.
#include "ary/ary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "msg/msg.h"
#include "support.h"

namespace {

class AryTest : public ::testing::Test {
 protected:
  void SetUp() override { zt::ResetMsg(); }
  void TearDown() override {
    AryFree(&a_);
    zt::ResetMsg();
  }
  // Runs f with the log captured; returns what was written.
  template <class F>
  std::string Logged(F f) {
    zt::LogCapture log;
    f();
    return log.text();
  }
  AryDesc a_{};
};

TEST_F(AryTest, CreateComputesStridesOffsetAndZeroedStorage) {
  ASSERT_EQ(AryCreate(&a_, 4, 2, 0, 9, 0, 4), 0);
  EXPECT_EQ(a_.flag, 1);
  EXPECT_EQ(a_.maxdm, 5);
  EXPECT_EQ(a_.bound[0].stride, 20);
  EXPECT_EQ(a_.bound[1].stride, 4);
  EXPECT_EQ(a_.ttlsz, 200);
  EXPECT_EQ(a_.offset, 0);
  const char* bytes = static_cast<const char*>(a_.data);
  for (int n = 0; n < 200; n++) ASSERT_EQ(bytes[n], 0);
  AryFree(&a_);
  EXPECT_EQ(a_.data, nullptr);
  EXPECT_EQ(a_.flag, 0);

  AryDesc b{};
  ASSERT_EQ(AryCreate(&b, 4, 2, -1, 8, 2, 6), 0);
  EXPECT_EQ(b.bound[0].stride, 20);
  EXPECT_EQ(b.bound[1].stride, 4);
  EXPECT_EQ(b.offset, 12);
  EXPECT_EQ(AryPtr(&b, -1, 2), b.data);
  EXPECT_EQ(AryPtr(&b, 8, 6), static_cast<char*>(b.data) + 196);
  AryFree(&b);
}

TEST_F(AryTest, ElementsAreRowMajorInFiveDimensions) {
  ASSERT_EQ(AryCreate(&a_, 2, 5, 1, 2, -1, 0, 0, 2, 3, 3, -2, -1), 0);
  EXPECT_EQ(a_.ttlsz, 2 * 2 * 2 * 3 * 1 * 2);
  int expected = 0;
  for (int i = 1; i <= 2; i++)
    for (int j = -1; j <= 0; j++)
      for (int k = 0; k <= 2; k++)
        for (int m = -2; m <= -1; m++) {
          char* p = static_cast<char*>(AryPtr(&a_, i, j, k, 3, m));
          ASSERT_EQ(p - static_cast<char*>(a_.data), expected);
          expected += 2;
        }
}

TEST_F(AryTest, ElementSizeZeroReallocatesTheStoredShape) {
  ASSERT_EQ(AryCreate(&a_, 8, 1, -3, 7), 0);
  AryFree(&a_);
  ASSERT_EQ(AryCreate(&a_, 0, 0), 0);
  EXPECT_NE(a_.data, nullptr);
  EXPECT_EQ(a_.ttlsz, 88);
  EXPECT_EQ(a_.offset, 24);
}

TEST_F(AryTest, DescribeOnlyAllocatesNothingAndZeroDimensionsIsScalar) {
  ASSERT_EQ(AryCreate(&a_, -4, 1, 0, 9), 0);
  EXPECT_EQ(a_.data, nullptr);
  EXPECT_EQ(a_.flag, 1);
  EXPECT_EQ(a_.elmsz, 4);
  EXPECT_EQ(a_.ttlsz, 40);

  AryDesc s{};
  ASSERT_EQ(AryCreate(&s, 6, 0), 0);
  EXPECT_EQ(s.ttlsz, 6);
  EXPECT_EQ(s.data, nullptr);
  EXPECT_EQ(s.flag, 0);
}

TEST_F(AryTest, CreateErrors) {
  ASSERT_EQ(AryCreate(&a_, 4, 1, 0, 3), 0);
  std::string log = Logged([&] { EXPECT_EQ(AryCreate(&a_, 4, 1, 0, 3), -1); });
  EXPECT_EQ(log, "array descriptor already in use! (QORary.AryCreate.1)\n");
  EXPECT_EQ(MsgErr, -1);

  AryDesc b{};
  log = Logged([&] { EXPECT_EQ(AryCreate(&b, 4, 6, 0, 1), -1); });
  EXPECT_EQ(log, "invalid number of dimensions! (QORary.AryCreate.3)\n");
  log = Logged([&] { EXPECT_EQ(AryCreate(&b, 4, -1), -1); });
  EXPECT_EQ(log, "invalid number of dimensions! (QORary.AryCreate.3)\n");

  AryDesc c{};
  c.elmsz = -4;
  log = Logged([&] { EXPECT_EQ(AryCreate(&c, 0, 0), -1); });
  EXPECT_EQ(log, "invalid element size! (QORary.AryCreate.2)\n");
}

TEST_F(AryTest, CreateRejectsNonPositiveAndOversizedTotals) {
  AryDesc b{};
  std::string log = Logged([&] { EXPECT_EQ(AryCreate(&b, 4, 2, 0, 9, 5, 3), -1); });
  EXPECT_EQ(log, "can't allocate -40 bytes! (QORary.AryCreate.4)\n");
  EXPECT_EQ(b.data, nullptr);
  // Two inverted dimensions would give a positive product.
  AryDesc c{};
  log = Logged([&] { EXPECT_EQ(AryCreate(&c, 4, 2, 0, -2, 0, -2), -1); });
  EXPECT_EQ(log, "can't allocate -4 bytes! (QORary.AryCreate.4)\n");
  AryDesc d{};
  log = Logged([&] { EXPECT_EQ(AryCreate(&d, 4, 1, 3, 2), -1); });
  EXPECT_EQ(log, "can't allocate 0 bytes! (QORary.AryCreate.4)\n");
  AryDesc e{};
  log = Logged([&] { EXPECT_EQ(AryCreate(&e, 4, 2, 0, 99999, 0, 99999), -1); });
  EXPECT_EQ(log, "can't allocate 40000000000 bytes! (QORary.AryCreate.4)\n");
  EXPECT_EQ(e.data, nullptr);
  AryDesc f{};
  log = Logged([&] { EXPECT_EQ(AryCreate(&f, 4, 1, 2000000000, 2000000001), -1); });
  EXPECT_EQ(log, "index bounds out of range! (QORary.AryCreate.5)\n");
}

TEST_F(AryTest, PtrChecksEveryIndexAndReportsTheFirstFailure) {
  ASSERT_EQ(AryCreate(&a_, 4, 2, 0, 9, 0, 4), 0);
  std::string log = Logged([&] { EXPECT_EQ(AryPtr(&a_, 3, 5), nullptr); });
  EXPECT_EQ(log, "j=5 not in range 0..4! (QORary.AryPtr.2)\n");
  log = Logged([&] { EXPECT_EQ(AryPtr(&a_, -1, 7), nullptr); });
  EXPECT_EQ(log, "i=-1 not in range 0..9! (QORary.AryPtr.2)\n");
  AryDesc empty{};
  log = Logged([&] { EXPECT_EQ(AryPtr(&empty, 0), nullptr); });
  EXPECT_EQ(log, "undefined data! (QORary.AryPtr.1)\n");
  log = Logged([&] { EXPECT_EQ(AryPtr(nullptr, 0), nullptr); });
  EXPECT_EQ(log, "undefined data! (QORary.AryPtr.1)\n");
}

TEST_F(AryTest, PtrXEndsTheProcessWithCodeOne) {
  ASSERT_EQ(AryCreate(&a_, 4, 1, 0, 2), 0);
  EXPECT_EQ(AryPtrX(&a_, 2), static_cast<char*>(a_.data) + 8);
  EXPECT_EXIT(
      {
        MsgLog = stderr;
        AryPtrX(&a_, 3);
      },
      ::testing::ExitedWithCode(1), "i=3 not in range 0..2! \\(QORary.AryPtrX.2\\)");
}

TEST_F(AryTest, AssertChecksInOrder) {
  AryDesc none{};
  std::string log = Logged([&] { EXPECT_EQ(AryAssert(&none, 4, 1, 0, 1), -1); });
  EXPECT_EQ(log, "no data defined! (QORary.AryAssert.nodata)\n");
  ASSERT_EQ(AryCreate(&a_, 4, 2, -1, 3, 0, 4), 0);
  zt::ResetMsg();
  EXPECT_EQ(AryAssert(&a_, 4, 2, -1, 3, 0, 4), 0);
  EXPECT_EQ(MsgErr, 0);
  log = Logged([&] { EXPECT_EQ(AryAssert(&a_, 8, 3, 0, 0), -1); });
  EXPECT_EQ(log, "element size is: 4, required:8! (QORary.AryAssert.elmsz)\n");
  log = Logged([&] { EXPECT_EQ(AryAssert(&a_, 4, 3, 0, 0), -1); });
  EXPECT_EQ(log, "number of dimensions is: 2, required:3! (QORary.AryAssert.numdm)\n");
  log = Logged([&] { EXPECT_EQ(AryAssert(&a_, 4, 2, -1, 2, 1, 4), -1); });
  EXPECT_EQ(log, "upper bound of i is:3, required:2! (QORary.AryAssert.upper)\n");
  log = Logged([&] { EXPECT_EQ(AryAssert(&a_, 4, 2, -1, 3, 1, 4), -1); });
  EXPECT_EQ(log, "lower bound of j is:0, required:1! (QORary.AryAssert.lower)\n");
}

// A 10 x 5 int array whose element (i, j) holds 100*i + j.
class AryViewTest : public AryTest {
 protected:
  void SetUp() override {
    AryTest::SetUp();
    ASSERT_EQ(AryCreate(&a_, 4, 2, 0, 9, 0, 4), 0);
    for (int i = 0; i <= 9; i++)
      for (int j = 0; j <= 4; j++) *static_cast<int*>(AryPtr(&a_, i, j)) = 100 * i + j;
  }
  int At(AryDesc* v, int a) { return *static_cast<int*>(AryPtr(v, a)); }
  int At(AryDesc* v, int a, int b) { return *static_cast<int*>(AryPtr(v, a, b)); }
};

TEST_F(AryViewTest, ReversedAndReorderedView) {
  AryDesc v{}, r{};
  ASSERT_EQ(AryDefAry(&a_, &v, &r, "j-,i+"), 2);
  EXPECT_EQ(v.flag, -1);
  EXPECT_EQ(v.ttlsz, 0);
  EXPECT_EQ(v.bound[0].lower, 0);
  EXPECT_EQ(v.bound[0].upper, 4);
  EXPECT_EQ(v.bound[0].stride, -4);
  EXPECT_EQ(v.bound[1].upper, 9);
  EXPECT_EQ(v.bound[1].stride, 20);
  for (int a = 0; a <= 4; a++)
    for (int b = 0; b <= 9; b++) ASSERT_EQ(At(&v, a, b), 100 * b + (4 - a));
  EXPECT_EQ(r.numdm, 2);
  EXPECT_EQ(r.data, nullptr);
  EXPECT_EQ(r.bound[0].lower, 0);
  EXPECT_EQ(r.bound[0].upper, 9);
  EXPECT_EQ(r.bound[1].upper, 4);
  // Freeing a view leaves the storage to its owner.
  EXPECT_EQ(AryFree(&v), 0);
  EXPECT_EQ(v.data, a_.data);
}

TEST_F(AryViewTest, FixedIndexRangesAndBases) {
  AryDesc v{}, r{};
  ASSERT_EQ(AryDefAry(&a_, &v, &r, "i=3,j+"), 1);
  for (int b = 0; b <= 4; b++) EXPECT_EQ(At(&v, b), 300 + b);

  ASSERT_EQ(AryDefAry(&a_, &v, &r, "j-;i=3"), 1);
  EXPECT_EQ(r.bound[0].lower, 3);
  EXPECT_EQ(r.bound[0].upper, 3);
  EXPECT_EQ(r.bound[1].lower, 0);
  EXPECT_EQ(r.bound[1].upper, 4);

  ASSERT_EQ(AryDefAry(&a_, &v, nullptr, "i=5..2|j=1"), 1);
  EXPECT_EQ(v.bound[0].lower, 0);
  EXPECT_EQ(v.bound[0].upper, 3);
  for (int b = 0; b <= 3; b++) EXPECT_EQ(At(&v, b), 100 * (5 - b) + 1);

  ASSERT_EQ(AryDefAry(&a_, &v, nullptr, "i=5..2/10:j=1"), 1);
  EXPECT_EQ(v.bound[0].lower, 10);
  EXPECT_EQ(v.bound[0].upper, 13);
  EXPECT_EQ(At(&v, 10), 501);
  EXPECT_EQ(At(&v, 13), 201);

  ASSERT_EQ(AryDefAry(&a_, &v, &r, "i=..7,j=3../-2"), 2);
  EXPECT_EQ(v.bound[0].upper, 7);
  EXPECT_EQ(v.bound[1].lower, -2);
  EXPECT_EQ(v.bound[1].upper, -1);
  EXPECT_EQ(At(&v, 7, -1), 704);
  EXPECT_EQ(r.bound[1].lower, 3);
  EXPECT_EQ(r.bound[1].upper, 4);

  // A "/" without ".." is ignored.
  ASSERT_EQ(AryDefAry(&a_, &v, nullptr, "i=2/5,j=4"), 0);
  EXPECT_EQ(*reinterpret_cast<int*>(static_cast<char*>(v.data) + v.offset), 204);
}

TEST_F(AryViewTest, ViewOfAViewWithNegativeBounds) {
  AryDesc b{};
  ASSERT_EQ(AryCreate(&b, 4, 2, -2, 1, -3, -1), 0);
  for (int i = -2; i <= 1; i++)
    for (int j = -3; j <= -1; j++) *static_cast<int*>(AryPtr(&b, i, j)) = 10 * i + j;
  AryDesc v{}, w{};
  ASSERT_EQ(AryDefAry(&b, &v, nullptr, "j=-1..-3/-5,i-"), 2);
  ASSERT_EQ(AryDefAry(&v, &w, nullptr, "j=1,i+"), 1);
  // "i+" re-bases the view's first dimension (-5..-3) to 0..2.
  ASSERT_EQ(w.bound[0].lower, 0);
  ASSERT_EQ(w.bound[0].upper, 2);
  for (int a = 0; a <= 2; a++) EXPECT_EQ(At(&w, a), -1 - a);  // b(0, -1 - a)
  AryFree(&b);
}

TEST_F(AryViewTest, DefAryErrors) {
  AryDesc v{};
  AryDesc empty{};
  std::string log = Logged([&] { EXPECT_EQ(AryDefAry(&empty, &v, nullptr, "i+"), -1); });
  EXPECT_EQ(log, "undefined source! (QORary.AryDefAry.1)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, nullptr), -1); });
  EXPECT_EQ(log, "undefined source! (QORary.AryDefAry.1)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "i+,k+"), -1); });
  EXPECT_EQ(log, "invalid index k (dim=2)! (QORary.AryDefAry.2)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "a+"), -1); });
  EXPECT_EQ(log, "invalid index a (dim=2)! (QORary.AryDefAry.2)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "i*,j+"), -1); });
  EXPECT_EQ(log, "invalid specification: i*! (QORary.AryDefAry.3)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "j+,i"), -1); });
  EXPECT_EQ(log, "invalid specification: i! (QORary.AryDefAry.3)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "i=10,j+"), -1); });
  EXPECT_EQ(log, "invalid range: i=10 (0..9)! (QORary.AryDefAry.4)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "i=-1..3,j+"), -1); });
  EXPECT_EQ(log, "invalid range: i=-1..3 (0..9)! (QORary.AryDefAry.4)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "j+,i=2..10"), -1); });
  EXPECT_EQ(log, "invalid range: i=2..10 (0..9)! (QORary.AryDefAry.5)\n");
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "i+"), -1); });
  EXPECT_EQ(log, "undefined source index j! (QORary.AryDefAry.6)\n");
  // A failed definition leaves a view of the source with no dimensions.
  EXPECT_EQ(v.flag, -1);
  EXPECT_EQ(v.numdm, 0);
  EXPECT_EQ(v.data, a_.data);
}

TEST_F(AryViewTest, IndexNamedTwiceSignFollowedByMoreAndLongTokensAreInvalid) {
  AryDesc v{};
  // Each index once: a second token for it, whatever its form, would make
  // the view reach beyond the storage or silently change a dimension.
  for (const char* spec : {"i+,j+,i+", "i+,i-,i+,j+,j-,j+", "j-,i=3,i+", "i+,j+,i=2", "j=0,j=4,i+"}) {
    zt::ResetMsg();
    std::string log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, spec), -1) << spec; });
    char letter = std::strcmp(spec, "j=0,j=4,i+") == 0 ? 'j' : 'i';
    EXPECT_EQ(log, std::string("index ") + letter + " named twice in " + spec + "! (QORary.AryDefAry.7)\n");
    EXPECT_EQ(v.numdm, 0) << spec;
  }
  zt::ResetMsg();
  std::string log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "j-,i+j-,i+"), -1); });
  EXPECT_EQ(log, "invalid specification: i+j-! (QORary.AryDefAry.3)\n");
  std::string token = "i=0.." + std::string(74, '0') + "9";  // 80 characters
  std::string spec = token + ",j+";
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, spec.c_str()), -1); });
  EXPECT_EQ(log, "invalid specification: " + token + "! (QORary.AryDefAry.3)\n");
  token.erase(5, 1);  // 79 characters are accepted
  spec = token + ",j+";
  zt::ResetMsg();
  EXPECT_EQ(AryDefAry(&a_, &v, nullptr, spec.c_str()), 2);
  log = Logged([&] { EXPECT_EQ(AryDefAry(&a_, &v, nullptr, "i=0..1/2147483647,j+"), -1); });
  EXPECT_EQ(log, "invalid specification: i=0..1/2147483647,j+! (QORary.AryDefAry.3)\n");
}

}  // namespace
