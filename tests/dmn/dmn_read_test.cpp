// Data file reader: round trips through the writer for every mode, 1 to 5
// dimensions with negative bounds, sequences, data files, factors and fields
// of width 0; hand-written files; every error message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ary/ary.h"
#include "dmn/dmn.h"
#include "msg/msg.h"
#include "support.h"

namespace {

class DmnReadTest : public ::testing::Test {
 protected:
  void SetUp() override { zt::ResetMsg(); }
  void TearDown() override {
    AryFree(&src_);
    AryFree(&dst_);
    TxtClr(&usr_);
    TxtClr(&sys_);
    zt::ResetMsg();
  }
  std::string Path(const std::string& name) { return dir_ / name; }
  void WriteAndRead(const std::string& name, const std::string& header) {
    ASSERT_EQ(DmnWrite(Path(name).c_str(), header.c_str(), &src_), 1);
    ASSERT_EQ(DmnRead(Path(name).c_str(), &usr_, &sys_, &dst_), 1);
  }
  // DmnRead expecting failure; returns the log.
  std::string ReadFails(const std::string& name) {
    zt::LogCapture log;
    EXPECT_EQ(DmnRead(Path(name).c_str(), &usr_, &sys_, &dst_), -1);
    EXPECT_EQ(MsgErr, -1);
    return log.text();
  }
  // Fills src_ (floats) with distinct values that %12.4e prints exactly.
  void Fill() {
    float* v = static_cast<float*>(src_.data);
    for (int n = 0; n < src_.ttlsz / 4; n++) v[n] = 0.25f * static_cast<float>(n) - 7.5f;
  }
  void ExpectSameShape(const AryDesc& a, const AryDesc& b) {
    ASSERT_EQ(a.numdm, b.numdm);
    EXPECT_EQ(a.elmsz, b.elmsz);
    for (int d = 0; d < a.numdm; d++) {
      EXPECT_EQ(a.bound[d].lower, b.bound[d].lower) << d;
      EXPECT_EQ(a.bound[d].upper, b.bound[d].upper) << d;
    }
  }
  void ExpectSameData() {
    ExpectSameShape(src_, dst_);
    ASSERT_EQ(src_.ttlsz, dst_.ttlsz);
    EXPECT_EQ(std::memcmp(src_.data, dst_.data, static_cast<size_t>(src_.ttlsz)), 0);
  }
  zt::TempDir dir_;
  AryDesc src_{};
  AryDesc dst_{};
  TxtStr usr_;
  TxtStr sys_;
};

// Bounds of 1 to 5 dimensions, each crossing zero.
const int kLower[5] = {-2, 0, -1, 3, -4};
const int kUpper[5] = {1, 2, 0, 4, -3};

void Create(AryDesc* a, int numdm) {
  int l[5] = {}, u[5] = {};
  for (int d = 0; d < numdm; d++) {
    l[d] = kLower[d];
    u[d] = kUpper[d];
  }
  ASSERT_EQ(AryCreate(a, 4, numdm, l[0], u[0], l[1], u[1], l[2], u[2], l[3], u[3], l[4], u[4]), 0);
}

class DmnRoundTrip : public DmnReadTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(DmnRoundTrip, WriterToReaderGivesTheSameArray) {
  const auto [numdm, m] = GetParam();
  static const char* const kModes[] = {
      "mode\ttext\n",                         // text in the descriptor
      "",                                     // binary
      "mode\ttext\ndata\tvals\n",             // text in a data file
      "mode\tbinary\ndata\tvals\n",           // binary in a named data file
      "mode\ttext\nfact\t1000\nform\t%(*0.5)14.6e\n",  // factors
  };
  Create(&src_, numdm);
  Fill();
  // The full sequence in reversed order of dimensions with descending indices.
  std::string sequ;
  for (int d = numdm - 1; d >= 0; d--) sequ += std::string(sequ.empty() ? "" : ",") + char('i' + d) + "-";
  for (bool withSequ : {false, true}) {
    SCOPED_TRACE(std::string(kModes[m]) + (withSequ ? " sequ " + sequ : ""));
    std::string header = std::string("idnt\tround trip\n") + kModes[m] + (withSequ ? "sequ\t" + sequ + "\n" : "");
    WriteAndRead("rt", header);
    ExpectSameData();
    EXPECT_STREQ(usr_.s, "idnt\tround trip\n");
    AryFree(&dst_);
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, DmnRoundTrip, ::testing::Combine(::testing::Range(1, 6), ::testing::Range(0, 5)));

TEST_F(DmnReadTest, PartialSequenceReadsTheSelectedRegion) {
  Create(&src_, 2);  // i = -2..1, j = 0..2
  Fill();
  for (const char* mode : {"mode text\n", "mode binary\n"}) {
    SCOPED_TRACE(mode);
    WriteAndRead("part", std::string(mode) + "sequ\tj=2..1,i=-1..0/5\n");
    EXPECT_EQ(dst_.bound[0].lower, -1);
    EXPECT_EQ(dst_.bound[0].upper, 0);
    EXPECT_EQ(dst_.bound[1].lower, 1);
    EXPECT_EQ(dst_.bound[1].upper, 2);
    for (int i = -1; i <= 0; i++)
      for (int j = 1; j <= 2; j++)
        EXPECT_EQ(*static_cast<float*>(AryPtr(&dst_, i, j)), *static_cast<float*>(AryPtr(&src_, i, j)));
    AryFree(&dst_);
  }
}

TEST_F(DmnReadTest, SequenceFixingEveryIndexWritesOneElement) {
  Create(&src_, 2);
  Fill();
  for (const char* mode : {"mode text\n", ""}) {
    SCOPED_TRACE(mode);
    WriteAndRead("one", std::string(mode) + "sequ\tj=1,i=0\n");
    ASSERT_EQ(dst_.ttlsz, 4);
    EXPECT_EQ(dst_.bound[0].lower, 0);
    EXPECT_EQ(dst_.bound[1].upper, 1);
    EXPECT_EQ(*static_cast<float*>(dst_.data), *static_cast<float*>(AryPtr(&src_, 0, 1)));
    AryFree(&dst_);
  }
}

TEST_F(DmnReadTest, ViewIsWrittenElementByElement) {
  // A view owns no storage block (ttlsz 0): binary data must still hold
  // every element, in the view's own index order.
  Create(&src_, 2);
  Fill();
  AryDesc view{};
  ASSERT_EQ(AryDefAry(&src_, &view, nullptr, "j-,i=1..0/-3"), 2);
  ASSERT_EQ(DmnWrite(Path("v").c_str(), "", &view), 1);
  ASSERT_EQ(DmnRead(Path("v").c_str(), nullptr, nullptr, &dst_), 1);
  ExpectSameShape(view, dst_);
  for (int a = 0; a <= 2; a++)
    for (int b = -3; b <= -2; b++)
      EXPECT_EQ(*static_cast<float*>(AryPtr(&dst_, a, b)), *static_cast<float*>(AryPtr(&view, a, b)));
}

TEST_F(DmnReadTest, MixedFieldsAndWidthZeroRoundTrip) {
  // Element: char, short, int, float, double; the int is not printed.
  ASSERT_EQ(AryCreate(&src_, 19, 2, -1, 0, 1, 2), 0);
  for (int n = 0; n < 4; n++) {
    char* p = static_cast<char*>(src_.data) + 19 * n;
    char c = static_cast<char>('a' + n);
    short s = static_cast<short>(-300 * n);
    int i = 12345;
    float f = 1.5f * static_cast<float>(n);
    double d = -0.125 * n;
    std::memcpy(p, &c, 1);
    std::memcpy(p + 1, &s, 2);
    std::memcpy(p + 3, &i, 4);
    std::memcpy(p + 7, &f, 4);
    std::memcpy(p + 11, &d, 8);
  }
  for (const char* mode : {"mode text\n", "mode binary\n", "mode text\nsequ j-,i+\n", "sequ j+,i-\n"}) {
    SCOPED_TRACE(mode);
    WriteAndRead("mix", std::string(mode) + "form\tc%2cs%6hdi%0dv%(*4)9.3fw%10.4lf\n");
    // The file holds the printed fields only: 15 bytes per element.
    EXPECT_NE(std::strstr(sys_.s, "form\tc%2cs%6hdv%(*4)9.3fw%10.4lf\n"), nullptr) << sys_.s;
    ASSERT_EQ(dst_.elmsz, 15);
    ASSERT_EQ(dst_.ttlsz, 60);
    for (int n = 0; n < 4; n++) {
      const char* a = static_cast<const char*>(src_.data) + 19 * n;
      const char* b = static_cast<const char*>(dst_.data) + 15 * n;
      EXPECT_EQ(std::memcmp(a, b, 3), 0) << n;
      EXPECT_EQ(std::memcmp(a + 7, b + 3, 12), 0) << n;
    }
    AryFree(&dst_);
  }
}

TEST_F(DmnReadTest, HandWrittenTextWithFactorSpreadOverLines) {
  zt::WriteFile(Path("h.dmna"),
                "Idnt\tx\nFACT\t1000\nmode\ttext\nform\t%12.4e\nDims 2\nsize 4\nlowb -1 0\nhghb 0 2\nbuff 10\n"
                "*\n1500 2500\n\n-500;1e3\t0\r\n 7 8\nnot reached\n");
  ASSERT_EQ(DmnRead(Path("h").c_str(), &usr_, &sys_, &dst_), 1);
  const float expect[6] = {1.5f, 2.5f, -0.5f, 1.0f, 0.0f, 0.007f};
  for (int n = 0; n < 6; n++) EXPECT_FLOAT_EQ(static_cast<float*>(dst_.data)[n], expect[n]) << n;
  EXPECT_STREQ(usr_.s, "Idnt\tx\nbuff 10\n");
  EXPECT_STREQ(sys_.s, "FACT\t1000\nmode\ttext\nform\t%12.4e\nDims 2\nsize 4\nlowb -1 0\nhghb 0 2\n");
}

TEST_F(DmnReadTest, ReaderSkipsFieldsOfWidthZeroInText) {
  zt::WriteFile(Path("z.dmna"), "mode text\nform %5d%0f%3d\nsize 12\ndims 1\nlowb 0\nhghb 1\n*\n1 2\n3 4\n");
  ASSERT_EQ(DmnRead(Path("z").c_str(), nullptr, nullptr, &dst_), 1);
  const int* v = static_cast<const int*>(dst_.data);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 0);
  EXPECT_EQ(v[2], 2);
  EXPECT_EQ(v[3], 3);
  EXPECT_EQ(v[5], 4);
}

TEST_F(DmnReadTest, DefaultFormatAndDescriptorThatHeldData) {
  zt::WriteFile(Path("d.dmna"), "mode text\nsize 8\ndims 1\nlowb 1\nhghb 1\n*\n0.5 -2\n");
  ASSERT_EQ(AryCreate(&dst_, 4, 1, 0, 99), 0);
  ASSERT_EQ(DmnRead(Path("d").c_str(), &usr_, &sys_, &dst_), 1);  // old storage released first
  EXPECT_EQ(dst_.ttlsz, 8);
  EXPECT_EQ(static_cast<float*>(dst_.data)[1], -2.0f);
  EXPECT_EQ(usr_.s, nullptr);
}

TEST_F(DmnReadTest, HeaderErrors) {
  struct Case {
    const char* header;
    std::string message;
  };
  const std::string f = Path("e.dmna");
  const Case cases[] = {
      {"dims 1\nlowb 0\nhghb 0\n*\n", "missing parameter \"size\" in file " + f + "! (QORdmn.DmnRead.16)\n"},
      {"size 4 4\ndims 1\n*\n", "missing parameter \"size\" in file " + f + "! (QORdmn.DmnRead.16)\n"},
      {"size 4\nlowb 0\n*\n", "missing parameter \"dims\" in file " + f + "! (QORdmn.DmnRead.17)\n"},
      {"size 4\ndims 6\n*\n", "invalid number (6) of dimensions in file " + f + "! (QORdmn.DmnRead.10)\n"},
      {"size 4\ndims 0\n*\n", "invalid number (0) of dimensions in file " + f + "! (QORdmn.DmnRead.10)\n"},
      {"size 4\ndims 2\nlowb 0\nhghb 1 1\n*\n", "missing bounds for file " + f + "! (QORdmn.DmnRead.11)\n"},
      {"size 4\ndims 1\nlowb 0\nhghb 1 1\n*\n", "missing bounds for file " + f + "! (QORdmn.DmnRead.11)\n"},
      {"size 4\ndims 1\nlowb 0\nhghb x\n*\n", "missing bounds for file " + f + "! (QORdmn.DmnRead.11)\n"},
      {"size 0\ndims 1\nlowb 0\nhghb 1\n*\n", "can't create array for file " + f + "! (QORdmn.DmnRead.12)\n"},
      {"size 4\ndims 1\nlowb 2\nhghb 1\n*\n",
       "can't allocate 0 bytes! (QORary.AryCreate.4)\ncan't create array for file " + f + "! (QORdmn.DmnRead.12)\n"},
      {"size 4\ndims 1\nlowb 0\nhghb 1\nsequ j+\n*\n",
       "invalid index j (dim=1)! (QORary.AryDefAry.2)\ninvalid selection j+ for file " + f +
           "! (QORdmn.DmnRead.13)\n"},
      {"size 4\ndims 2\nlowb 0 0\nhghb 1 1\nsequ j-,i+j-,i+\n*\n",
       "invalid specification: i+j-! (QORary.AryDefAry.3)\ninvalid selection j-,i+j-,i+ for file " + f +
           "! (QORdmn.DmnRead.13)\n"},
      {"size 4\ndims 2\nlowb 0 0\nhghb 1 1\nsequ j-,i+,j+\n*\n",
       "index j named twice in j-,i+,j+! (QORary.AryDefAry.7)\ninvalid selection j-,i+,j+ for file " + f +
           "! (QORdmn.DmnRead.13)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    zt::ResetMsg();
    zt::WriteFile(f, c.header);
    EXPECT_EQ(ReadFails("e"), c.message);
  }
}

TEST_F(DmnReadTest, DataErrors) {
  struct Case {
    const char* header;
    const char* data;  // written to e.dmnb and v.dmnt; null: none
    std::string message;
  };
  const std::string f = Path("e.dmna");
  const Case cases[] = {
      {"size 4\ndims 1\nlowb 0\nhghb 1\n*\n", nullptr,
       "can't open data file " + Path("e.dmnb") + "! (QORdmn.DmnRead.4)\n"},
      {"size 4\ndims 1\nlowb 0\nhghb 1\n*\n", "1234567", "can't write data to file " + Path("e.dmnb") +
                                                              "! (QORdmn.DmnRead.7)\n"},
      {"size 4\ndims 1\nlowb 0\nhghb 1\nsequ i-\n*\n", "1234567",
       "can't write data to file " + Path("e.dmnb") + "! (QORdmn.DmnRead.6)\n"},
      {"mode text\nsize 4\ndims 1\nlowb 0\nhghb 1\nform %q\n*\n1 2\n", nullptr,
       "invalid format string! (QORdmn.AnaForm.11)\n%q\n|^\n"
       "invalid format specification %q! (QORdmn.DmnRead.9)\n"},
      {"mode text\nsize 4\ndims 1\nlowb 0\nhghb 2\n*\n1 2\n", nullptr,
       "unexpected end of file " + f + "! (QORdmn.DmnRead.14)\n"},
      {"mode text\nsize 4\ndims 1\nlowb 0\nhghb 3\n*\n1 2\n\n3 x\n", nullptr,
       "can't read item in line 9, file " + f + "! (QORdmn.DmnRead.15)\n"},
      {"mode text\ndata v\nsize 4\ndims 1\nlowb 0\nhghb 2\n*\n", "\n1 x 3\n",
       "can't read item in line 2, file " + Path("v.dmnt") + "! (QORdmn.DmnRead.15)\n"},
      {"mode text\nDATA v\nsize 4\ndims 1\nlowb 0\nhghb 2\n*\n", "1 2  \n\n\n",
       "unexpected end of file " + Path("v.dmnt") + "! (QORdmn.DmnRead.14)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    zt::ResetMsg();
    std::remove(Path("e.dmnb").c_str());
    zt::WriteFile(f, c.header);
    if (c.data) {
      zt::WriteFile(Path("e.dmnb"), c.data);
      zt::WriteFile(Path("v.dmnt"), c.data);
    }
    EXPECT_EQ(ReadFails("e"), c.message);
  }
}

TEST_F(DmnReadTest, MissingDescriptorAndEarlierError) {
  EXPECT_EQ(ReadFails("absent"), "can't open descriptor file " + Path("absent.dmna") + "! (QORdmn.DmnRead.2)\n");
  zt::WriteFile(Path("ok.dmna"), "mode text\nsize 4\ndims 1\nlowb 0\nhghb 0\n*\n1\n");
  EXPECT_EQ(ReadFails("ok"), "internal error! (QORdmn.DmnRead.1)\n");
  TxtCpy(&usr_, "stale");
  zt::ResetMsg();
  ASSERT_EQ(DmnRead((dir_.path() + "\\ok").c_str(), &usr_, &sys_, &dst_), 1);
  EXPECT_EQ(usr_.s, nullptr);
}

}  // namespace
