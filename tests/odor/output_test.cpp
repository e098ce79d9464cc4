// Result output: coordinate texts, normalisation, the four result files with
// their exact headers, the file-name and identification rules, unknown
// names, and the receptor-point listing.
#include <filesystem>
#include <string>

#include "msg/filename.h"
#include "odor_fixture.h"

namespace {

namespace fs = std::filesystem;

TEST(FormatCoord, TrimsZerosAtEveryMagnitude) {
  EXPECT_STREQ(FormatCoord(3.0), "3");
  EXPECT_STREQ(FormatCoord(-0.004), "-0");
  EXPECT_STREQ(FormatCoord(0.0), "0");
  EXPECT_STREQ(FormatCoord(1000.0), "1000");
  EXPECT_STREQ(FormatCoord(100.0), "100");
  EXPECT_STREQ(FormatCoord(12.5), "12.5");
  EXPECT_STREQ(FormatCoord(0.1), "0.1");
  EXPECT_STREQ(FormatCoord(-250.05), "-250.05");
  EXPECT_STREQ(FormatCoord(1000000.0), "1000000");
  EXPECT_STREQ(FormatCoord(-1000000.0), "-1000000");
  // National coordinates keep their centimetres.
  EXPECT_STREQ(FormatCoord(2500000.0), "2500000");
  EXPECT_STREQ(FormatCoord(-1000000.5), "-1000000.5");
  EXPECT_STREQ(FormatCoord(5734050.0), "5734050");
  EXPECT_STREQ(FormatCoord(5734050.07), "5734050.07");
  EXPECT_STREQ(FormatCoord(-12345678.9), "-12345678.9");
}

class OutputTest : public odt::OdorTest {
 protected:
  void SetUp() override {
    OdorTest::SetUp();
    WorkDir = dir_.path() + "/";
  }
  void TearDown() override {
    WorkDir.clear();
    OdorTest::TearDown();
  }
  // A 2 x 2 grid of 10 m at the origin with chosen accumulator values and
  // one hour of duration.
  void SmallGrid() {
    Grid(2, 2, 10, 0, 0);
    Set(GrdCnc, {0.5f, 0.25f, 1.5f, 0});
    Set(GrdFro, {0.125f, 0.0625f, 1, 0});
    Set(GrdFrh, {0, 0, 1, 0});
    Set(GrdC90, {1, 1, 6, 0});
    SumDur = 1;
  }
  static void Set(AryDesc& a, std::initializer_list<float> v) {
    auto it = v.begin();
    for (int i = 0; i < 2; i++)
      for (int j = 0; j < 2; j++) *static_cast<float*>(AryPtr(&a, i, j)) = *it++;
  }
  int Write(const char* names) {
    std::string text = names;
    return WriteResult(text.data());
  }
  std::string File(const std::string& name) { return zt::ReadFile(dir_ / name); }
  int FileCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_.path())) n++;
    return n;
  }
  static std::string Header(const char* idnt, const char* mark) {
    std::string h = idnt ? std::string("idnt\t\"") + idnt + "\"\n" : "";
    return h +
           "mode\t\"text\"\nform\t\"%12.4e\"\nfact\t 1.000e+00\nxmin\t0\nymin\t0\ndelt\t10\n"
           "mark\t\"" +
           mark +
           "\"\nilbl\t0\t10\t20\njlbl\t0\t10\t20\ndims\t2\nsize\t4\nlowb\t0\t0\nhghb\t1\t1\n*\n";
  }
  zt::TempDir dir_;
};

TEST_F(OutputTest, FourArraysWithExactHeadersAndTheFirstNameRules) {
  SmallGrid();
  strcpy(prm::fi, "result");
  EXPECT_EQ(Write("CNC+FRO frh\tr90"), 0);
  EXPECT_EQ(MsgErr, 0);
  EXPECT_EQ(FileCount(), 4);
  // fi and id apply to the first array only.
  EXPECT_EQ(File("result.dmna"), Header("TEST", "Konzentration (GE/m3)") +
                                     "\t  5.0000e-01\t  2.5000e-01\n"
                                     "\t  1.5000e+00\t  0.0000e+00\n\n***\n");
  EXPECT_EQ(File("fro.dmna"), Header(nullptr, "Kumulative Geruchsh\xE4ufigkeit") +
                                  "\t  1.2500e-01\t  6.2500e-02\n"
                                  "\t  1.0000e+00\t  0.0000e+00\n\n***\n");
  EXPECT_EQ(File("frh.dmna"), Header(nullptr, "H\xE4ufigkeit von Bel\xE4stigungsstunden") +
                                  "\t  0.0000e+00\t  0.0000e+00\n"
                                  "\t  1.0000e+00\t  0.0000e+00\n\n***\n");
  // r90 is C90/Cnc, and 0 where the concentration is 0.
  EXPECT_EQ(File("r90.dmna"), Header(nullptr, "Verh\xE4ltnis 90-Perzentil zu Mittelwert") +
                                  "\t  2.0000e+00\t  4.0000e+00\n"
                                  "\t  4.0000e+00\t  0.0000e+00\n\n***\n");
  EXPECT_STREQ(prm::fi, "");
  EXPECT_STREQ(prm::id, "");
}

TEST_F(OutputTest, ValuesAreDividedByTheDurationAndHeadersFollowTheParameters) {
  Grid(2, 1, 2600, -1000.5f, 2000000);
  for (int i = 0; i < 2; i++) *static_cast<float*>(AryPtr(&GrdCnc, i, 0)) = 6.0f * (i + 1);
  SumDur = 4;
  strcpy(prm::me, "ou");
  strcpy(prm::id, "Demo 1");
  strcpy(prm::se, "j-,i+");
  strcpy(prm::fo, "%6.2f");
  prm::fa = 0;
  EXPECT_EQ(Write("cnc"), 0);
  EXPECT_EQ(File("cnc.dmna"),
            "idnt\t\"Demo 1\"\nmode\t\"text\"\nsequ\t\"j-,i+\"\nform\t\"%6.2f\"\n"
            "xmin\t-1000.5\nymin\t2000000\ndelt\t2600\nmark\t\"Konzentration (ou/m3)\"\n"
            "ilbl\t-1000.5\t1599.5\t4199.5\njlbl\t2000000\t2002600\n"
            "dims\t2\nsize\t4\nlowb\t0\t0\nhghb\t1\t0\n*\n\t  1.50\t  3.00\n\n***\n");
}

TEST_F(OutputTest, LabelLinesStopBeforeTheReadersLineLimit) {
  Grid(400, 2, 12345678, 0, 0);  // 401 labels of up to 11 characters: too many
  SumDur = 1;
  EXPECT_EQ(Write("cnc"), 0);
  const std::string text = File("cnc.dmna");
  const size_t from = text.find("ilbl"), to = text.find('\n', from);
  const std::string line = text.substr(from, to - from);
  EXPECT_LT(line.size(), 3998u);
  EXPECT_GT(line.size(), 3998u - 12);  // only what does not fit is dropped
  // Whole labels, in order, from the first one on.
  std::string full = "ilbl";
  for (int i = 0; i <= 400 && full.size() < line.size(); i++)
    full += std::string("\t") + FormatCoord(i * 12345678.0);
  EXPECT_EQ(line, full);
  EXPECT_EQ(text.substr(to + 1, 25), "jlbl\t0\t12345678\t24691356\n");
}

TEST_F(OutputTest, NothingIsWrittenWithoutValuesOrGrid) {
  zt::LogCapture log;
  MsgVerbose = 1;
  Grid(2, 2, 10, 0, 0);
  EXPECT_EQ(Write("cnc"), 0);  // before any run
  EXPECT_EQ(log.text(), "Es sind keine Werte berechnet!\n");
  ReleaseAccumulators();
  prm::nx = prm::ny = 0;
  SumDur = 5;  // receptor points only
  EXPECT_EQ(Write("cnc"), 0);
  EXPECT_EQ(log.text(), "Es sind keine Werte berechnet!\nEs ist kein Raster definiert!\n");
  EXPECT_EQ(MsgErr, 0);
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(OutputTest, UnknownNamesStopTheOutputWithAWarningThatSetsTheError) {
  SmallGrid();
  {
    zt::LogCapture log;
    EXPECT_EQ(Write("cnc xyz fro"), 0);
    EXPECT_EQ(MsgErr, -1);
    EXPECT_EQ(log.text(), "--- unknown array name xyz! (ZIRidev.WriteResult.15)\n");
    EXPECT_TRUE(zt::FileExists(dir_ / "cnc.dmna"));
    EXPECT_EQ(FileCount(), 1);  // fro is not processed
  }
  zt::ResetMsg();
  zt::LogCapture log;
  const std::string longName = "cnc" + std::string(77, 'x');  // 80 characters
  EXPECT_EQ(Write(longName.c_str()), 0);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(log.text(), "--- unknown array name " + longName + "! (ZIRidev.WriteResult.15)\n");
  EXPECT_EQ(FileCount(), 1);
}

TEST_F(OutputTest, LogNameListsEveryArrayInTheLog) {
  SmallGrid();
  strcpy(prm::fi, "LOG");
  zt::LogCapture log;
  EXPECT_EQ(Write("cnc fro"), 0);
  EXPECT_EQ(MsgErr, 0);
  EXPECT_EQ(log.text(),
            "\t  5.0000e-01\t  2.5000e-01\n\t  1.5000e+00\t  0.0000e+00\n\n"
            "\t  1.2500e-01\t  6.2500e-02\n\t  1.0000e+00\t  0.0000e+00\n\n");
  EXPECT_STREQ(prm::fi, "LOG");  // kept for the next arrays
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(OutputTest, NoFileForAnOverlongFileName) {
  SmallGrid();
  const std::string name(250, 'n');
  strcpy(prm::fi, name.c_str());
  zt::LogCapture log;
  EXPECT_EQ(Write("cnc"), -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(log.text(),
            "*** Maximum file name length exceeded! (ZIRidev.MakeFileName.2)\n"
            "*** can't write array cnc! (ZIRidev.WriteResult.1)\n");
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(OutputTest, NormalizeReportsElementsOutsideTheArray) {
  SmallGrid();
  AryDesc w{};
  prm::nx = 3;  // more nodes than the accumulator holds
  zt::LogCapture log;
  EXPECT_EQ(Normalize(&GrdCnc, &w, 1), -1);
  EXPECT_EQ(log.text(),
            "i=2 not in range 0..1! (QORary.AryPtr.2)\n"
            "*** index (2,0) out of range! (ZIRidev.Normalize.2)\n");
  AryFree(&w);
  zt::ResetMsg();
  prm::nx = 2;
  AryDesc t{};
  ASSERT_EQ(Normalize(&GrdFro, &t, 0.5f), 0);
  EXPECT_EQ(At(t, 1, 0), 2.0f);
  ASSERT_EQ(Normalize(&GrdCnc, &t, 0), 0);  // in place: t / GrdCnc where GrdCnc > 0
  EXPECT_EQ(At(t, 0, 0), 0.5f);
  EXPECT_EQ(At(t, 1, 0), 2.0f / 1.5f);
  EXPECT_EQ(At(t, 1, 1), 0.0f);
  AryFree(&t);
}

TEST_F(OutputTest, PointListingHeadingsAndValues) {
  prm::np = 2;
  prm::xp[0] = 100, prm::yp[0] = -20.25f;
  prm::xp[1] = -1234.5f, prm::yp[1] = 0;
  PntCnc[0] = 3, PntFro[0] = 1, PntFrh[0] = 0.5f;
  PntC90[1] = 99;  // not listed
  {
    zt::LogCapture log;
    EXPECT_EQ(ListPoints(), 0);  // nothing computed yet
    EXPECT_EQ(log.text(), "");
  }
  SumDur = 2;
  {
    zt::LogCapture log;
    EXPECT_EQ(ListPoints(), 0);
    EXPECT_EQ(log.text(),
              "Werte an den Aufpunkten:\n"
              "  i:  Xp/(m)  Yp/(m)   Cm/(GE/m3)          Fro          Frh\n"
              "  1:   100.0   -20.2    1.500e+00    5.000e-01    2.500e-01\n"
              "  2: -1234.5     0.0    0.000e+00    0.000e+00    0.000e+00\n"
              "\n");
  }
  // A shorter unit widens the padding, so the column stays 13 characters wide.
  strcpy(prm::me, "g");
  {
    zt::LogCapture log;
    ListPoints();
    EXPECT_EQ(log.text().substr(25, 60),
              "  i:  Xp/(m)  Yp/(m)    Cm/(g/m3)          Fro          Frh\n");
  }
  EXPECT_EQ(ListPoints(), 0);  // no log: nothing, no crash
  prm::np = 0;
  zt::LogCapture log;
  EXPECT_EQ(ListPoints(), 0);
  EXPECT_EQ(log.text(), "");
}

}  // namespace
