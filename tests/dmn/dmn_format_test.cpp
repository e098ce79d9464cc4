// Format analysis (fields, sizes, factors, the syntax errors with their
// marker lines), escape decoding, the table listing and the header helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dmn/dmn.h"
#include "msg/msg.h"
#include "support.h"

namespace {

class DmnFormatTest : public ::testing::Test {
 protected:
  void SetUp() override { zt::ResetMsg(); }
  void TearDown() override { zt::ResetMsg(); }
  // AnaForm with the log captured; the log text goes to *log.
  int Analyse(const char* format, int* elmsz, std::string* log) {
    zt::LogCapture capture;
    int n = AnaForm(format, elmsz);
    *log = capture.text();
    return n;
  }
};

TEST_F(DmnFormatTest, SingleFloatField) {
  int size = 0;
  ASSERT_EQ(AnaForm("%12.4e", &size), 1);
  EXPECT_EQ(size, 4);
  const DmnFormat& f = DmnFormatTable[0];
  EXPECT_STREQ(f.name, "");
  EXPECT_EQ(f.type, 4);
  EXPECT_EQ(f.size, 4);
  EXPECT_EQ(f.width, 12);
  EXPECT_STREQ(f.iform, "%e");
  EXPECT_STREQ(f.oform, "%12.4e");
  EXPECT_EQ(f.fact, 1.0f);
  EXPECT_EQ(DmnFormatTable[1].type, 0);
}

TEST_F(DmnFormatTest, RepetitionNamesAndElementSize) {
  int size = 0;
  ASSERT_EQ(AnaForm("A%[3]13.5e", &size), 3);
  EXPECT_EQ(size, 12);
  EXPECT_STREQ(DmnFormatTable[0].name, "A");
  EXPECT_STREQ(DmnFormatTable[1].name, "B");
  EXPECT_STREQ(DmnFormatTable[2].name, "C");
  size = 0;
  ASSERT_EQ(AnaForm("x1%[2]f;y%-10.2lf", &size), 3);
  EXPECT_STREQ(DmnFormatTable[0].name, "x1");
  EXPECT_STREQ(DmnFormatTable[1].name, "x2");
  EXPECT_STREQ(DmnFormatTable[2].name, ";y");
  EXPECT_EQ(DmnFormatTable[2].width, 10);
  EXPECT_STREQ(DmnFormatTable[2].oform, "%-10.2lf");
  EXPECT_EQ(size, 16);
  // A repetition of 0 adds nothing; text after the last field is ignored.
  size = 0;
  ASSERT_EQ(AnaForm("%[0]f%d trailing", &size), 1);
  EXPECT_EQ(DmnFormatTable[0].type, 3);
  EXPECT_EQ(size, 4);
  // The name keeps 39 characters.
  std::string longName(50, 'n');
  size = 0;
  ASSERT_EQ(AnaForm((longName + "%c").c_str(), &size), 1);
  EXPECT_EQ(std::string(DmnFormatTable[0].name), std::string(39, 'n'));
}

TEST_F(DmnFormatTest, TypesSizesFactorsAndWidthZero) {
  int size = 0;
  ASSERT_EQ(AnaForm("%8.3lf%5hd%c%(*1000)10.1f%[3]0f%x", &size), 8);
  const DmnFormat* t = DmnFormatTable;
  EXPECT_EQ(t[0].type, 5);
  EXPECT_EQ(t[0].size, 8);
  EXPECT_STREQ(t[0].iform, "%lf");
  EXPECT_EQ(t[1].type, 2);
  EXPECT_EQ(t[1].size, 2);
  EXPECT_STREQ(t[1].iform, "%hd");
  EXPECT_EQ(t[2].type, 1);
  EXPECT_EQ(t[2].size, 1);
  EXPECT_EQ(t[2].width, DmnNaturalWidth);
  EXPECT_EQ(t[3].fact, 1000.0f);
  EXPECT_STREQ(t[3].oform, "%10.1f");
  for (int n = 4; n < 7; n++) {
    EXPECT_EQ(t[n].type, 4);
    EXPECT_EQ(t[n].width, 0);
  }
  EXPECT_EQ(t[7].type, 3);
  EXPECT_EQ(size, 8 + 2 + 1 + 4 + 12 + 4);
}

TEST_F(DmnFormatTest, ModifiersThatDoNotSelectATypeAreDropped) {
  // The conversions must match the C types handed to printf and scanf.
  int size = 0;
  ASSERT_EQ(AnaForm("%5ld%he%lc", &size), 3);
  EXPECT_STREQ(DmnFormatTable[0].iform, "%d");
  EXPECT_STREQ(DmnFormatTable[0].oform, "%5d");
  EXPECT_STREQ(DmnFormatTable[1].iform, "%e");
  EXPECT_STREQ(DmnFormatTable[2].oform, "%c");
  EXPECT_EQ(size, 9);
}

TEST_F(DmnFormatTest, ElementSizeMismatchIsError20) {
  std::string log;
  int size = 4;
  EXPECT_EQ(Analyse("A%[2]13.5e", &size, &log), -1);
  EXPECT_EQ(log, "inconsistent element size: format 8, should be 4! (QORdmn.AnaForm.20)\n");
  EXPECT_EQ(MsgErr, -1);
  zt::ResetMsg();
  size = 0;
  EXPECT_EQ(Analyse("no fields", &size, &log), 0);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(DmnFormatTable[0].type, 0);
  size = 4;
  EXPECT_EQ(Analyse("no fields", &size, &log), -1);
  EXPECT_EQ(log, "inconsistent element size: format 0, should be 4! (QORdmn.AnaForm.20)\n");
}

struct SyntaxCase {
  const char* format;
  const char* site;
  const char* marker;
};

class DmnFormatSyntaxTest : public DmnFormatTest, public ::testing::WithParamInterface<SyntaxCase> {};

TEST_P(DmnFormatSyntaxTest, ReportsFourLinesWithMarker) {
  const SyntaxCase& c = GetParam();
  std::string log;
  int size = 0;
  EXPECT_EQ(Analyse(c.format, &size, &log), -1);
  EXPECT_EQ(log, std::string("invalid format string! (QORdmn.AnaForm.") + c.site + ")\n" + c.format + "\n" +
                     c.marker + "\n");
  EXPECT_EQ(MsgErr, -1);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, DmnFormatSyntaxTest,
    ::testing::Values(SyntaxCase{"%(*2%)f", "2", "       |"}, SyntaxCase{"%(*2%)fxy", "2", "       | ^"},
                      SyntaxCase{"%[3f", "3", "|^"}, SyntaxCase{"%[x]f", "4", "| ^"},
                      SyntaxCase{"%[-1]f", "5", "| ^"}, SyntaxCase{"%f%[-1]f", "5", "  | ^"}, SyntaxCase{"%(*2f", "6", "|^"},
                      SyntaxCase{"%(1000)f", "7", "| ^"}, SyntaxCase{"%(*x)f", "8", "|  ^"},
                      SyntaxCase{"%12345678901234567890f", "9", "|^"}, SyntaxCase{"%2147483648f", "10", "|^"},
                      SyntaxCase{"%12.4q", "11", "|    ^"}, SyntaxCase{"a%fbb%q", "11", "   |  ^"},
                      SyntaxCase{"%", "11", "|^"}));

TEST_F(DmnFormatTest, WidthTextOfNineteenCharactersIsAccepted) {
  int size = 0;
  EXPECT_EQ(AnaForm("%1.00000000000000003f", &size), 1);
  EXPECT_EQ(DmnFormatTable[0].width, 1);
}

TEST_F(DmnFormatTest, HugeRepetitionIsRefusedWithTheAllocationMessage) {
  std::string log;
  int size = 0;
  EXPECT_EQ(Analyse("%[2000000000]c", &size, &log), -1);
  EXPECT_EQ(log, "can't allocate format table (2000000000 entries)! (QORdmn.AnaForm.1)\n");
}

TEST_F(DmnFormatTest, DecodeEscapes) {
  char text[] = "a\\tb\\~c\\\\n\\x\\\"\\'\\b\\f\\n\\r\\v\\";
  DmnDecodeEscapes(text);
  EXPECT_EQ(std::string(text), std::string("a\tb c\\n\\x\"'\b\f\n\r\v\\"));
  char empty[] = "";
  DmnDecodeEscapes(empty);
  EXPECT_STREQ(empty, "");
}

TEST_F(DmnFormatTest, PrintFormatsListsTheTable) {
  int size = 0;
  ASSERT_EQ(AnaForm("A%[2]5.1f%(*2)3d", &size), 3);
  zt::StdoutCapture out;
  EXPECT_EQ(DmnPrintFormats(DmnFormatTable, "T"), 0);
  EXPECT_EQ(DmnPrintFormats(nullptr, "none"), 0);
  EXPECT_EQ(out.text(),
            "Table of formats T:\n"
            "Nr.  Name Ld Lf     Factor Output Input\n"
            " 1:     A  4  5  1.000e+00 %5.1f | %f\n"
            " 2:     B  4  5  1.000e+00 %5.1f | %f\n"
            " 3:        4  3  2.000e+00 %3d | %d\n");
}

// Header helpers.

TEST(DmnHeaderTest, KeysMatchWithoutCaseAndOnlyBeforeASeparator) {
  const char* h = "formx 1\nFORM\t\"%f\"\ndims = 2\nlowb\t-1  3 ;7\nmark\t\"a b\"  \ndata\nlast";
  EXPECT_EQ(DmnFindKey(h, "form"), std::strstr(h, "FORM"));
  EXPECT_EQ(DmnFindKey(h, "for"), nullptr);
  EXPECT_EQ(DmnFindKey(h, "last"), std::strstr(h, "last"));
  EXPECT_EQ(DmnFindKey(nullptr, "form"), nullptr);
  int len = 0;
  const char* v = DmnGetValue(h, "dims", &len);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(std::string(v, static_cast<size_t>(len)), "2");
  v = DmnGetValue(h, "mark", &len);
  EXPECT_EQ(std::string(v, static_cast<size_t>(len)), "\"a b\"");
  // A key without a value does not take the next line as its value.
  v = DmnGetValue(h, "data", &len);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(DmnGetValue(h, "sequ", &len), nullptr);

  char buf[8];
  EXPECT_EQ(DmnGetString(h, "mark", buf, sizeof buf), 3);
  EXPECT_STREQ(buf, "a b");
  EXPECT_EQ(DmnGetString(h, "form", buf, 3), 2);
  EXPECT_STREQ(buf, "%f");
  EXPECT_EQ(DmnGetString(h, "sequ", buf, sizeof buf), -1);

  int b[4] = {};
  EXPECT_EQ(DmnCount(h, "lowb"), 3);
  EXPECT_EQ(DmnGetInt(h, "lowb", "%d", b, 4), 3);
  EXPECT_EQ(b[0], -1);
  EXPECT_EQ(b[1], 3);
  EXPECT_EQ(b[2], 7);
  EXPECT_EQ(DmnGetInt(h, "lowb", "%d", b, 2), 2);
  EXPECT_EQ(DmnGetInt(h, "mark", "%d", b, 2), 0);
  EXPECT_EQ(DmnGetInt(h, "sequ", "%d", b, 2), -1);
  EXPECT_EQ(DmnCount(h, "data"), 0);
  EXPECT_EQ(DmnCount(h, "sequ"), -1);
  float f[2] = {};
  EXPECT_EQ(DmnGetFloat("fact\t 1.000e+03 x\n", "fact", "%f", f, 2), 1);
  EXPECT_EQ(f[0], 1000.0f);
  // Coordinates in full and in the exponent form of older files.
  EXPECT_EQ(DmnGetFloat("ymin\t5734050\n", "ymin", "%f", f, 1), 1);
  EXPECT_EQ(f[0], 5734050.0f);
  EXPECT_EQ(DmnGetFloat("jlbl\t 5.734e+06\t5734062.5\n", "jlbl", "%f", f, 2), 2);
  EXPECT_EQ(f[0], 5734000.0f);
  EXPECT_EQ(f[1], 5734062.5f);
}

TEST(DmnHeaderTest, SetValueReplacesInPlaceOrAppends) {
  TxtStr h;
  TxtCpy(&h, "idnt\tx\nForm  %f\nmode\ttext\n");
  EXPECT_EQ(DmnSetValue(&h, "form", "%5.1f"), 2);
  EXPECT_STREQ(h.s, "idnt\tx\nform\t%5.1f\nmode\ttext\n");
  EXPECT_EQ(DmnSetValue(&h, "sequ", "j-,i+"), 1);
  EXPECT_STREQ(h.s, "idnt\tx\nform\t%5.1f\nmode\ttext\nsequ\tj-,i+\n");
  TxtCpy(&h, "idnt\tx");
  EXPECT_EQ(DmnSetValue(&h, "idnt", "y"), 2);
  EXPECT_STREQ(h.s, "idnt\ty\n");
  TxtCpy(&h, "a 1");
  EXPECT_EQ(DmnSetValue(&h, "b", "2"), 1);
  EXPECT_STREQ(h.s, "a 1\nb\t2\n");
  TxtClr(&h);
}

TEST(DmnHeaderTest, PutFunctionsAppendWithinTheBuffer) {
  char buf[40] = "";
  const int v[3] = {1, -2, 30};
  EXPECT_EQ(DmnPutInt(buf, sizeof buf, "lowb", "%d", v, 3), 13);
  EXPECT_STREQ(buf, "lowb\t1\t-2\t30\n");
  const float f[2] = {0.5f, 2.0f};
  EXPECT_EQ(DmnPutFloat(buf, sizeof buf, "fact", "%3.1f", f, 2), 26);
  EXPECT_STREQ(buf, "lowb\t1\t-2\t30\nfact\t0.5\t2.0\n");
  EXPECT_EQ(DmnPutString(buf, sizeof buf, "idnt", "\"%s\"", "toolong"), -1);
  EXPECT_STREQ(buf, "lowb\t1\t-2\t30\nfact\t0.5\t2.0\n");
  EXPECT_EQ(DmnPutString(buf, sizeof buf, "id", "\"%s\"", "ab"), 34);
  EXPECT_STREQ(buf, "lowb\t1\t-2\t30\nfact\t0.5\t2.0\nid\t\"ab\"\n");
}

}  // namespace
