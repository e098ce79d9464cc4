// Data file writer: the byte-exact files of the documented examples, the
// special destinations, factors and fields of width 0, the error messages,
// and that a failed write leaves no truncated file behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ary/ary.h"
#include "dmn/dmn.h"
#include "msg/msg.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

std::string Expected(const std::string& file) { return zt::ReadFile(zt::TestsDir() + "/dmn/data/" + file); }

class DmnWriteTest : public ::testing::Test {
 protected:
  void SetUp() override { zt::ResetMsg(); }
  void TearDown() override {
    AryFree(&a_);
    zt::ResetMsg();
  }
  // The 3 x 2 float grid i = 1..3, j = 1..2 holding i + j/10.
  void MakeGrid() {
    ASSERT_EQ(AryCreate(&a_, 4, 2, 1, 3, 1, 2), 0);
    for (int i = 1; i <= 3; i++)
      for (int j = 1; j <= 2; j++) *static_cast<float*>(AryPtr(&a_, i, j)) = static_cast<float>(i + 0.1 * j);
  }
  std::string Write(const std::string& name, const char* header) {
    zt::LogCapture log;
    EXPECT_EQ(DmnWrite((dir_ / name).c_str(), header, &a_), 1) << log.text();
    return log.text();
  }
  zt::TempDir dir_;
  AryDesc a_{};
};

TEST_F(DmnWriteTest, GridWithSequenceMatchesExpectedFile) {
  MakeGrid();
  Write("res", "form\t\"%12.4e\"\nmode\t\"text\"\nsequ\t\"j-,i+\"\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "res.dmna"), Expected("grid_sequ.dmna"));
  EXPECT_FALSE(zt::FileExists(dir_ / "res.dmnb"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator{}), 1);  // no temporary left
}

TEST_F(DmnWriteTest, GridInStorageOrderMatchesExpectedFile) {
  MakeGrid();
  Write("res", "form\t\"%12.4e\"\nmode\t\"text\"\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "res.dmna"), Expected("grid.dmna"));
}

TEST_F(DmnWriteTest, OdorOutputDescriptorMatchesExpectedFile) {
  ASSERT_EQ(AryCreate(&a_, 4, 2, 0, 1, 0, 1), 0);
  const float values[] = {0.5f, 0.25f, 1.5f, 0.0f};
  std::memcpy(a_.data, values, sizeof values);
  Write("cnc",
        "idnt\t\"TEST\"\nmode\t\"text\"\nform\t\"%12.4e\"\nfact\t 1.000e+00\nxmin\t0\nymin\t0\ndelt\t10\n"
        "mark\t\"Konzentration (GE/m3)\"\nilbl\t0\t10\t20\njlbl\t0\t10\t20\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "cnc.dmna"), Expected("odor_cnc.dmna"));
}

// Every conversion of the form [sign][width][.[precision]]: without a width
// the values are printed as wide as they are, each field as printf prints
// it; a width or precision beyond 1000 (up to beyond the range of int) is
// refused, and so is a format whose every field has the width 0: in both
// cases nothing is written.
TEST_F(DmnWriteTest, WidthsAndPrecisionsOfEveryFormAndBeyondRange) {
  ASSERT_EQ(AryCreate(&a_, 4, 1, 0, 1), 0);
  const float values[] = {0.00123456f, -98765.4f};
  std::memcpy(a_.data, values, sizeof values);
  const char* signs[] = {"", "-", "+"};
  const char* widths[] = {"",     "0",          "1",          "12",         "1000",
                          "1001", "2147483647", "2147483648", "99999999999"};
  const char* precisions[] = {"", ".", ".0", ".3", ".1000", ".1001", ".2147483648"};
  int accepted = 0, refused = 0;
  for (const char* sign : signs)
    for (const char* width : widths)
      for (const char* precision : precisions)
        for (char conv : {'e', 'f', 'g'}) {
          const std::string wtext = std::string(sign) + width + precision;
          if (wtext.size() > 19) continue;  // the width text's own limit
          const std::string form = "%" + wtext + conv;
          const bool inRange = std::strtoll(width, nullptr, 10) <= 1000 &&
                               (!*precision || std::strtoll(precision + 1, nullptr, 10) <= 1000);
          const bool zero = std::strcmp(width, "0") == 0;
          fs::remove(dir_ / "res.dmna");
          zt::LogCapture log;
          const int rc = DmnWrite((dir_ / "res").c_str(),
                                  ("mode\t\"text\"\nform\t\"" + form + "\"\n").c_str(), &a_);
          zt::ResetMsg();
          if (!inRange || zero) {
            EXPECT_EQ(rc, -1) << form;
            EXPECT_NE(log.text().find(zero && inRange ? "prints no value" : "invalid format"),
                      std::string::npos)
                << form << ": " << log.text();
            EXPECT_FALSE(zt::FileExists(dir_ / "res.dmna")) << form;
            refused++;
            continue;
          }
          ASSERT_EQ(rc, 1) << form << ": " << log.text();
          const std::string file = zt::ReadFile(dir_ / "res.dmna");
          std::string data;
          for (float v : values) {
            std::vector<char> text(1100);
            std::snprintf(text.data(), text.size(), ("%" + wtext + conv).c_str(),
                          static_cast<double>(v));
            data += '\t';
            data += text.data();
          }
          EXPECT_NE(file.find("*\n" + data + "\n***\n"), std::string::npos) << form << ":\n"
                                                                            << file;
          accepted++;
        }
  EXPECT_GT(accepted, 50);
  EXPECT_GT(refused, 50);
}

TEST_F(DmnWriteTest, BinaryModeWritesRawStorageToDmnb) {
  MakeGrid();
  Write("res", "idnt\t\"bin\"\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "res.dmna"), Expected("grid_binary.dmna"));
  std::string raw = zt::ReadFile(dir_ / "res.dmnb");
  ASSERT_EQ(raw.size(), 24u);
  EXPECT_EQ(std::memcmp(raw.data(), a_.data, 24), 0);
}

TEST_F(DmnWriteTest, BackslashNameAndDataKeyWriteIntoTheSubdirectory) {
  MakeGrid();
  fs::create_directory(dir_ / "sub");
  Write("sub\\res", "mode\ttext\ndata\tvals\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "sub/res.dmna"), Expected("sub_res.dmna"));
  EXPECT_EQ(zt::ReadFile(dir_ / "sub/vals.dmnt"), Expected("sub_vals.dmnt"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "sub"), fs::directory_iterator{}), 2);
}

TEST_F(DmnWriteTest, BinarySequenceWithDataKeyWritesElementsInViewOrder) {
  MakeGrid();
  Write("res", "sequ\tj-,i=2..3\ndata\tv\n");
  std::string raw = zt::ReadFile(dir_ / "v.dmnb");
  ASSERT_EQ(raw.size(), 16u);
  float got[4];
  std::memcpy(got, raw.data(), sizeof got);
  EXPECT_FLOAT_EQ(got[0], 2.2f);
  EXPECT_FLOAT_EQ(got[1], 3.2f);
  EXPECT_FLOAT_EQ(got[2], 2.1f);
  EXPECT_FLOAT_EQ(got[3], 3.1f);
  EXPECT_NE(zt::ReadFile(dir_ / "res.dmna").find("dims\t2\nsize\t4\nlowb\t2\t1\nhghb\t3\t2\n*\n"), std::string::npos);
}

TEST_F(DmnWriteTest, HeaderAndFieldFactorsMultiply) {
  ASSERT_EQ(AryCreate(&a_, 12, 1, -1, 0), 0);
  struct Elem {
    float f;
    double d;
  };
  static_assert(sizeof(Elem) >= 12);
  const float f[2] = {1.5f, -2.0f};
  const double d[2] = {0.25, 3.0};
  for (int i = 0; i < 2; i++) {
    char* p = static_cast<char*>(AryPtr(&a_, i - 1));
    std::memcpy(p, &f[i], 4);
    std::memcpy(p + 4, &d[i], 8);
  }
  Write("f", "mode text\nfact 1000\nform \"a%(*0.5)8.1fb%8.2lf\"\n");
  std::string text = zt::ReadFile(dir_ / "f.dmna");
  EXPECT_NE(text.find("*\n\t   750.0\t  250.00\n\t -1000.0\t 3000.00\n\n***\n"), std::string::npos) << text;
}

TEST_F(DmnWriteTest, FieldsOfWidthZeroAreLeftOutAndTheFormRewritten) {
  ASSERT_EQ(AryCreate(&a_, 10, 1, 0, 1), 0);
  for (int i = 0; i < 2; i++) {
    char* p = static_cast<char*>(AryPtr(&a_, i));
    short s = static_cast<short>(10 + i);
    float x = 0.5f + static_cast<float>(i);
    int n = 7;
    std::memcpy(p, &s, 2);
    std::memcpy(p + 2, &x, 4);
    std::memcpy(p + 6, &n, 4);
  }
  Write("w", "mode\ttext\nform\tn%5hdx%0fk%0d\nidnt\tlast\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "w.dmna"),
            "mode\ttext\nform\tn%5hd\nidnt\tlast\ndims\t1\nsize\t2\nlowb\t0\nhghb\t1\n*\n\t   10\t   11\n***\n");

  // Binary data keeps only the printed fields, with or without a sequence.
  Write("b", "form\tn%5hdx%0fk%0d\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "b.dmnb"), std::string("\x0a\x00\x0b\x00", 4));
  Write("c", "form\tn%5hdx%0fk%0d\nsequ\ti-\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "c.dmnb"), std::string("\x0b\x00\x0a\x00", 4));
}

TEST_F(DmnWriteTest, ThreeDimensionsSeparateBlocksByEmptyLines) {
  ASSERT_EQ(AryCreate(&a_, 4, 3, 0, 1, 0, 1, 0, 1), 0);
  int* v = static_cast<int*>(a_.data);
  for (int n = 0; n < 8; n++) v[n] = n;
  Write("t", "mode text\nform %2d\n");
  std::string text = zt::ReadFile(dir_ / "t.dmna");
  EXPECT_NE(text.find("*\n\t 0\t 1\n\t 2\t 3\n\n\t 4\t 5\n\t 6\t 7\n\n\n***\n"), std::string::npos) << text;
}

TEST_F(DmnWriteTest, TextIsTheSameBytesForAnyNumberOfThreads) {
  // Elements of two fields (a line end after each) in a sequence, enough
  // of them for several threads in several rounds, cut inside lines.
  ASSERT_EQ(AryCreate(&a_, 8, 2, 0, 256, -150, 150), 0);
  for (int i = 0; i <= 256; i++)
    for (int j = -150; j <= 150; j++) {
      char* p = static_cast<char*>(AryPtr(&a_, i, j));
      const int n = i * 1000 + j;
      const float x = 0.001f * static_cast<float>(n);
      std::memcpy(p, &n, 4);
      std::memcpy(p + 4, &x, 4);
    }
  const char* header = "mode\ttext\nform\tn%7dx%10.3f\nsequ\tj-,i+\n";
  ASSERT_EQ(DmnWrite((dir_ / "one").c_str(), header, &a_, 1), 1);
  const std::string one = zt::ReadFile(dir_ / "one.dmna");
  // A line per element, one per row of the sequence, 8 header lines, "\n***\n".
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 257 * 301 + 301 + 8 + 2);
  for (int threads : {2, 3, 7}) {
    ASSERT_EQ(DmnWrite((dir_ / "many").c_str(), header, &a_, threads), 1);
    EXPECT_TRUE(zt::ReadFile(dir_ / "many.dmna") == one) << threads;
  }
}

TEST_F(DmnWriteTest, DefaultFormatAndOneDimension) {
  ASSERT_EQ(AryCreate(&a_, 8, 1, 5, 5), 0);
  const float v[2] = {1.0f, 2.0f};
  std::memcpy(a_.data, v, 8);
  Write("d", "mode=text\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "d.dmna"),
            "mode=text\ndims\t1\nsize\t8\nlowb\t5\nhghb\t5\n*\n\t  1.00000e+00\t  2.00000e+00\n\n***\n");
}

TEST_F(DmnWriteTest, HeaderWithoutFinalLineFeedGetsOne) {
  MakeGrid();
  Write("h", "mode\ttext\nidnt\tx");
  EXPECT_EQ(zt::ReadFile(dir_ / "h.dmna").find("idnt\tx\ndims\t2\n"), 10u);
}

TEST_F(DmnWriteTest, ArrayWithoutDataWritesNothing) {
  EXPECT_EQ(DmnWrite((dir_ / "none").c_str(), "mode text\n", &a_), 0);
  EXPECT_FALSE(zt::FileExists(dir_ / "none.dmna"));
  EXPECT_EQ(DmnWrite((dir_ / "none").c_str(), "", nullptr), 0);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(DmnWriteTest, LogDestinationWritesTitleAndDataOnly) {
  MakeGrid();
  zt::LogCapture log;
  EXPECT_EQ(DmnWrite("LOG title\n", "mode text\nform %4.1f\nsequ j+,i+\n", &a_), 1);
  EXPECT_EQ(log.text(), " title\n\t 1.1\t 2.1\t 3.1\n\t 1.2\t 2.2\t 3.2\n\n");
  // Binary data or a data file: nothing at all.
  EXPECT_EQ(DmnWrite("LOG x", "form %4.1f\n", &a_), 1);
  EXPECT_EQ(DmnWrite("LOG x", "mode text\ndata d\n", &a_), 1);
  EXPECT_EQ(log.text(), " title\n\t 1.1\t 2.1\t 3.1\n\t 1.2\t 2.2\t 3.2\n\n");
  MsgLog = nullptr;
  EXPECT_EQ(DmnWrite("LOG", "mode text\n", &a_), 1);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(DmnWriteTest, StdoutDestinationWritesHeaderAndDataWithoutTerminator) {
  ASSERT_EQ(AryCreate(&a_, 4, 1, 0, 1), 0);
  zt::StdoutCapture out;
  EXPECT_EQ(DmnWrite("stdout", "mode text\nform %3d\n", &a_), 1);
  EXPECT_EQ(DmnWrite("stdout", "form %3d\n", &a_), 1);
  EXPECT_EQ(out.text(), "mode text\nform %3d\ndims\t1\nsize\t4\nlowb\t0\nhghb\t1\n*\n\t  0\t  0\n");
}

TEST_F(DmnWriteTest, Errors) {
  MakeGrid();
  zt::LogCapture log;
  EXPECT_EQ(DmnWrite((dir_ / "e").c_str(), "sequ\tk+\n", &a_), -1);
  EXPECT_EQ(log.text(), "invalid index k (dim=2)! (QORary.AryDefAry.2)\n"
                        "can't get subarray with sequence \"k+\"! (QORdmn.DmnWrite.1)\n");
  EXPECT_EQ(MsgErr, -1);
  zt::ResetMsg();
  zt::LogCapture log1;
  EXPECT_EQ(DmnWrite((dir_ / "e").c_str(), "mode text\nsequ\ti+,j+,i+\n", &a_), -1);
  EXPECT_EQ(log1.text(), "index i named twice in i+,j+,i+! (QORary.AryDefAry.7)\n"
                         "can't get subarray with sequence \"i+,j+,i+\"! (QORdmn.DmnWrite.1)\n");
  zt::ResetMsg();
  zt::LogCapture log2;
  EXPECT_EQ(DmnWrite((dir_ / "e").c_str(), "form\t%8.3lf\n", &a_), -1);
  EXPECT_EQ(log2.text(), "inconsistent element size: format 8, should be 4! (QORdmn.AnaForm.20)\n"
                         "invalid format %8.3lf! (QORdmn.DmnWrite.9)\n");
  zt::ResetMsg();
  zt::LogCapture log3;
  std::string missing = dir_ / "nodir/e";
  EXPECT_EQ(DmnWrite(missing.c_str(), "", &a_), -1);
  EXPECT_EQ(log3.text(), "can't open descriptor file " + missing + ".dmna! (QORdmn.DmnWrite.2)\n");
  zt::ResetMsg();
  zt::LogCapture log4;
  EXPECT_EQ(DmnWrite((dir_ / "e").c_str(), "data\tnodir/v\n", &a_), -1);
  EXPECT_EQ(log4.text(), "can't open data file " + (dir_ / "nodir/v.dmnb") + "! (QORdmn.DmnWrite.4)\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator{}), 0);
  zt::ResetMsg();
  zt::LogCapture log5;
  EXPECT_EQ(DmnWrite("", "", &a_), -1);
  EXPECT_EQ(log5.text(), "can't open descriptor file .dmna! (QORdmn.DmnWrite.2)\n");
}

TEST_F(DmnWriteTest, FailedWriteKeepsTheEarlierFiles) {
  MakeGrid();
  Write("keep", "data\tkeepdata\n");
  std::string dmna = zt::ReadFile(dir_ / "keep.dmna");
  std::string dmnb = zt::ReadFile(dir_ / "keepdata.dmnb");
  // A directory in place of the data file makes the final rename fail after
  // both files were written completely under their temporary names.
  fs::remove(dir_ / "keepdata.dmnb");
  fs::create_directory(dir_ / "keepdata.dmnb");
  fs::create_directory(dir_ / "keepdata.dmnb/x");
  zt::LogCapture log;
  EXPECT_EQ(DmnWrite((dir_ / "keep").c_str(), "idnt changed\ndata\tkeepdata\n", &a_), -1);
  EXPECT_EQ(log.text(), "can't write data to file " + (dir_ / "keepdata.dmnb") + "! (QORdmn.DmnWrite.7)\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "keep.dmna"), dmna);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator{}), 2);

  // The descriptor cannot follow its new data file: the earlier data file
  // comes back, so the pair is never new data beside an earlier descriptor.
  zt::ResetMsg();
  Write("pair", "data\tpairdata\n");
  const std::string earlier = zt::ReadFile(dir_ / "pairdata.dmnb");
  *static_cast<float*>(AryPtr(&a_, 1, 1)) = -1;
  fs::remove(dir_ / "pair.dmna");
  fs::create_directories(dir_ / "pair.dmna/x");
  zt::LogCapture log1;
  EXPECT_EQ(DmnWrite((dir_ / "pair").c_str(), "data\tpairdata\n", &a_), -1);
  EXPECT_EQ(log1.text(), "can't write header to file " + (dir_ / "pair.dmna") + "! (QORdmn.DmnWrite.3)\n");
  EXPECT_EQ(zt::ReadFile(dir_ / "pairdata.dmnb"), earlier);
  for (const auto& e : fs::directory_iterator(dir_.path()))
    EXPECT_EQ(e.path().filename().string().find(".~"), std::string::npos) << e.path();

  // Text data in the descriptor itself: an unwritable directory fails on
  // open and the earlier file stays as it was.
  zt::ResetMsg();
  Write("t", "mode text\n");
  std::string before = zt::ReadFile(dir_ / "t.dmna");
  ::chmod(dir_.path().c_str(), 0500);
  zt::LogCapture log2;
  int rc = DmnWrite((dir_ / "t").c_str(), "mode text\nidnt other\n", &a_);
  ::chmod(dir_.path().c_str(), 0700);
  if (::geteuid() != 0) {
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(log2.text(), "can't open descriptor file " + (dir_ / "t.dmna") + "! (QORdmn.DmnWrite.2)\n");
    EXPECT_EQ(zt::ReadFile(dir_ / "t.dmna"), before);
  }
}

}  // namespace
