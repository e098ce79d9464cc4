// Parameter listings: help form with defaults, value forms after
// initialisation, section selection, the one-line form and its limits.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../support/support.h"
#include "msg/msg.h"
#include "prm/params.h"
#include "prm/prm.h"
#include "prm_fixture.h"

namespace {

class PrmPrint_ : public PrmFixture {
 protected:
  // What PrmPrint writes for the selection; rc receives its result.
  std::string Print(const char* selection, int* rc = nullptr) {
    std::FILE* f = std::tmpfile();
    int r = PrmPrint(f, selection);
    if (rc) *rc = r;
    std::string text(static_cast<std::size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
  }
  static std::string Line(const std::string& text, const std::string& start) {
    std::size_t p = text.find("\n" + start);
    if (p == std::string::npos) return "";
    return text.substr(p + 1, text.find('\n', p + 1) - p);
  }
  static int Lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
  }
};

TEST_F(PrmPrint_, HelpFormBeforeInitialisation) {
  int rc = -1;
  std::string t = Print("*d*a*g*l*p*q*s", &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(t.substr(0, 35), "NAME        VALUE  DIM DESCRIPTION\n");
  // The umlaut is the single Windows-1252 byte 0xF6, the sharp s 0xDF.
  EXPECT_EQ(Line(t, "mc "), "mc           4000    0 Gr\xF6\xDF" "e des Eingabepuffers\n");
  EXPECT_EQ(Line(t, "*d "), "*d   Dimensionierung von Feldern und Rechengebiet\n");
  EXPECT_EQ(Line(t, "ll "), "ll            -10    0 Unterer Indexwert f\xFCr Verteilungsfunktion\n");
  EXPECT_EQ(Line(t, "pd "), "pd            2.0    0 Parameter Nu der Weibull-Verteilung\n");
  EXPECT_EQ(Line(t, "fo "), "fo         %12.4e    0 Darstellungsformat\n");
  EXPECT_EQ(Line(t, "fi "), "fi                   0 File-Name\n");
  EXPECT_EQ(Line(t, "zk "), "zk              0 nz+1 Vertikales Raster des BLM-Profils (m)\n");
  EXPECT_EQ(Line(t, "*s "), "*s   [cnc|fro|frh] Ergebnisse aussschreiben\n");
  EXPECT_EQ(Line(t, "*_ "), "");
  EXPECT_EQ(Line(t, "ux "), "");
  // Heading, 7 sections, 112 - 24 internal parameters.
  EXPECT_EQ(Lines(t), 1 + 7 + 88);
}

TEST_F(PrmPrint_, WithoutSelectionEverySectionIsListed) {
  std::string t = Print(nullptr);
  EXPECT_EQ(Lines(t), 1 + 8 + 112);
  EXPECT_EQ(Line(t, "ux "), "ux              0 nz+1 Windgeschwindigkeit (m/s)\n");
}

TEST_F(PrmPrint_, SelectionIsCaseSensitive) {
  std::string t = Print("*p");
  EXPECT_EQ(Lines(t), 1 + 1 + 25);
  EXPECT_EQ(Line(t, "*p "), "*p   [run] Parameter der Ausbreitungsrechnung\n");
  EXPECT_EQ(Line(t, "zk ").substr(0, 3), "zk ");
  EXPECT_EQ(Line(t, "hq "), "");
  EXPECT_EQ(Print("*P"), "NAME        VALUE  DIM DESCRIPTION\n");
}

TEST_F(PrmPrint_, ScalarValuesAfterModeOne) {
  ASSERT_EQ(PrmInit(1), 0);
  prm::ua = 4.25f;
  std::string t = Print("*d*p");
  EXPECT_EQ(t.substr(0, 35), "NAME        VALUE  DIM DESCRIPTION\n");
  EXPECT_EQ(Line(t, "ua "), "ua           4.25    0 Windgeschwindigkeit in Anemometerh\xF6he (m/s)\n");
  EXPECT_EQ(Line(t, "me "), "me           \"GE\"    0 Mengen-Einheit\n");
  EXPECT_EQ(Line(t, "xf "), "xf          0.000    0 X-Koordinate des Referenzpunktes\n");
  // Vectors still show their default until they are allocated.
  EXPECT_EQ(Line(t, "dw "), "dw              1   nw Dauer der Windrichtung (h)\n");
}

TEST_F(PrmPrint_, ValueFormAfterInitialisation) {
  ASSERT_EQ(PrmInit(1), 0);
  ASSERT_EQ(PrmInit(2), 0);
  std::string t = Print("*d*a*p*s");
  EXPECT_EQ(t.substr(0, 18), "NAME     VALUE(S)\n");
  std::string dw = "dw  ";
  for (int i = 0; i < 36; i++) dw += "          1";
  EXPECT_EQ(Line(t, "dw "), dw + "\n");
  EXPECT_EQ(Line(t, "dz "), "dz          5.0\n");
  EXPECT_EQ(Line(t, "me "), "me   \"GE\"\n");
  EXPECT_EQ(Line(t, "fi "), "fi   \"\"\n");
  EXPECT_EQ(Line(t, "fa "), "fa      1.0e+00\n");
  EXPECT_EQ(Line(t, "xp "), "xp  \n");  // no receptor points with mp 0
  EXPECT_EQ(Line(t, "*a "), "*a   Definition der Aufpunkte\n");
}

TEST_F(PrmPrint_, LineTooLongForTheWorkBuffer) {
  ASSERT_EQ(PrmInit(1), 0);
  prm::nz = 3000;  // zk: 3001 values of 11 characters
  ASSERT_EQ(PrmInit(2), 0);
  zt::LogCapture log;
  int rc = 0;
  std::string t = Print("*p", &rc);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(MsgErr, -1);
  EXPECT_EQ(log.text(), "*** buffer overflow at zk! (QORprm.PrmPrint.2)\n");
  EXPECT_EQ(Line(t, "zk "), "");
}

TEST_F(PrmPrint_, TableThatCannotBeWrittenIsAnError) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  zt::LogCapture log;
  EXPECT_EQ(PrmPrint(full, "*d"), -1);
  std::fclose(full);
  EXPECT_EQ(log.text(), "*** can't write parameter table! (QORprm.PrmPrint.3)\n");
}

TEST_F(PrmPrint_, FormatValueRespectsTheMaximumLength) {
  ASSERT_EQ(PrmInit(1), 0);
  const PrmRecord* dz = PrmFind("dz", "*d");
  char buf[64] = "";
  EXPECT_EQ(PrmFormatValue(buf, 16, dz), 1);  // "dz          5.0\n" is 16 characters
  EXPECT_STREQ(buf, "dz          5.0\n");
  buf[0] = 0;
  EXPECT_EQ(PrmFormatValue(buf, 15, dz), -1);
  EXPECT_LE(std::string(buf).size(), 15u);
  buf[0] = 0;
  EXPECT_EQ(PrmFormatValue(buf, 3, dz), -1);
  EXPECT_STREQ(buf, "");
  // Appends to what the buffer holds.
  std::snprintf(buf, sizeof buf, "x");
  EXPECT_EQ(PrmFormatValue(buf, 63, dz), 1);
  EXPECT_STREQ(buf, "xdz          5.0\n");
}

TEST_F(PrmPrint_, FormatValueOfAVectorCountsItsElements) {
  ASSERT_EQ(PrmInit(1), 0);
  prm::nm = 2;
  ASSERT_EQ(PrmInit(2), 0);
  prm::wm[1] = 0.5f;
  char buf[200] = "";
  EXPECT_EQ(PrmFormatValue(buf, 199, PrmFind("wm", "*_")), 3);
  EXPECT_STREQ(buf, "wm      0.00000    0.50000    0.00000\n");
}

TEST_F(PrmPrint_, HugeDoubleDoesNotOverrun) {
  ASSERT_EQ(PrmInit(1), 0);
  prm::xf = 1e308;
  char buf[40] = "";
  EXPECT_EQ(PrmFormatValue(buf, 39, PrmFind("xf", "*d")), -1);
  EXPECT_EQ(buf[39], 0);
}

TEST_F(PrmPrint_, PrnListCollectsLines) {
  ASSERT_EQ(PrmInit(1), 0);
  char buf[200] = "";
  // The section argument is not an item; "*q" is.
  EXPECT_EQ(PrmPrnList(buf, 199, "*p", "ua", "*q", "hq", nullptr), 3);
  EXPECT_STREQ(buf, "ua         3.00\nhq         10.0\n");
}

TEST_F(PrmPrint_, PrnListReportsUnknownNamesAndOverflow) {
  ASSERT_EQ(PrmInit(1), 0);
  zt::LogCapture log;
  char buf[200] = "";
  EXPECT_EQ(PrmPrnList(buf, 199, "*p", "hq", nullptr), -1);
  EXPECT_EQ(log.text(),
            "*** parameter \"hq\" not found in setion \"*p\"! (QORprm.PrmPrnList.1)\n");
  buf[0] = 0;
  EXPECT_EQ(PrmPrnList(buf, 20, "*p", "ua", "ua", nullptr), -1);
  EXPECT_EQ(log.text(),
            "*** parameter \"hq\" not found in setion \"*p\"! (QORprm.PrmPrnList.1)\n"
            "*** buffer overflow! (QORprm.PrmPrnList.2)\n");
}

}  // namespace
