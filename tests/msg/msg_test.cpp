// Message facility: visibility rules, screen translation, buffer overflow,
// tokenizer, lower-casing, origin tags.
#include <gtest/gtest.h>

#include <string>

#include "msg/msg.h"
#include "support.h"

namespace {

class MsgTest : public testing::Test {
 protected:
  void SetUp() override { zt::ResetMsg(); }
  void TearDown() override { zt::ResetMsg(); }
};

struct Seen {
  std::string screen, log;
  int result;
};

Seen Emit(const char* text) {
  zt::LogCapture log;
  zt::StdoutCapture out;
  int r = MsgOut("%s", text);
  return {out.text(), log.text(), r};
}

TEST_F(MsgTest, VisibilityFollowsVerboseAndQuietLevels) {
  struct Row {
    int verbose, quiet;
    bool screen, log;
  } rows[] = {{0, 0, false, false}, {0, 1, false, false}, {1, 0, true, true},
              {1, -1, true, true},  {1, 1, false, true},  {3, 2, false, true}};
  for (const Row& row : rows) {
    MsgVerbose = row.verbose;
    MsgQuiet = row.quiet;
    Seen s = Emit("info\n");
    EXPECT_EQ(row.screen ? "info\n" : "", s.screen) << row.verbose << "/" << row.quiet;
    EXPECT_EQ(row.log ? "info\n" : "", s.log) << row.verbose << "/" << row.quiet;
    EXPECT_EQ(0, s.result);
  }
}

TEST_F(MsgTest, AfterAnErrorEverythingIsShownUnlessQuiet) {
  MsgErr = -1;
  MsgVerbose = 0;
  Seen s = Emit("late info\n");
  EXPECT_EQ("late info\n", s.screen);
  EXPECT_EQ("late info\n", s.log);
  EXPECT_EQ(-1, s.result);
  MsgQuiet = 1;
  s = Emit("quiet error\n");
  EXPECT_EQ("", s.screen);
  EXPECT_EQ("quiet error\n", s.log);
}

TEST_F(MsgTest, ErrorWithoutLogAndQuietGoesNowhereButSetsTheCode) {
  MsgQuiet = 1;
  zt::StdoutCapture out;
  int r = MSG_FAIL(MsgTag("QORprm", "PrmRead", "9"), "*** failed %d! (%s)\n", 7);
  EXPECT_EQ(-1, r);
  EXPECT_EQ(-1, MsgErr);
  EXPECT_EQ("", out.text());
}

TEST_F(MsgTest, ErrorCarriesTheOriginTag) {
  Seen s;
  {
    zt::LogCapture log;
    zt::StdoutCapture out;
    s.result = MSG_FAIL(MsgTag("ZIRidev", "Main", "16"), "*** erroneous initialization! (%s)\n");
    s.screen = out.text();
    s.log = log.text();
  }
  EXPECT_EQ("*** erroneous initialization! (ZIRidev.Main.16)\n", s.log);
  EXPECT_EQ(s.log, s.screen);
  EXPECT_EQ(-1, s.result);
}

TEST_F(MsgTest, ScreenCopyTranslatesTenCharactersToCodePage850) {
  MsgVerbose = 1;
  const std::string in = "\xE4\xF6\xFC\xC4\xD6\xDC\xB5\xDF\xB2\xB3 a\xE9";
  Seen s = Emit(in.c_str());
  EXPECT_EQ(in, s.log);
  EXPECT_EQ("\x84\x94\x81\x8E\x99\x9A\xE6\xE1\xFD\xFC a\xE9", s.screen);
  s = Emit("Größe");
  EXPECT_EQ("Gr\xF6\xDF" "e", s.log);
  EXPECT_EQ("Gr\x94\xE1" "e", s.screen);
}

TEST_F(MsgTest, ScreenCopyOnAUtf8TerminalIsUtf8AndTheLogKeepsItsBytes) {
  MsgVerbose = 1;
  MsgScreenUtf8 = true;
  for (int b = 0x80; b <= 0xFF; b++) {
    const std::string in = std::string("a") + static_cast<char>(b) + "b\n";
    const Seen s = Emit(in.c_str());
    std::string expected = zt::Utf8From1252(in);
    if (expected.empty()) expected = "a\xEF\xBF\xBD" "b\n";  // the replacement character
    EXPECT_EQ(expected, s.screen) << "byte " << b;
    EXPECT_EQ(in, s.log) << "byte " << b;
  }
  // Text that is UTF-8 already (a name typed on such a system) passes
  // unchanged; a broken or overlong sequence is taken as Windows-1252.
  const std::string utf8 = "M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x90\x96";
  EXPECT_EQ(utf8, Emit(utf8.c_str()).screen);
  for (const std::string in : {"\xC3(", "\xE0\x80\x80", "\xED\xA0\x80", "Gr\xF6\xDF" "e"})
    EXPECT_EQ(zt::Utf8From1252(in), Emit(in.c_str()).screen) << in;
}

TEST_F(MsgTest, OverlongMessageOverflowsOnScreenButNotInLog) {
  MsgVerbose = 1;
  std::string fits(3998, 'x'), longer(3999, 'y');
  Seen s = Emit(fits.c_str());
  EXPECT_EQ(fits, s.screen);
  s = Emit(longer.c_str());
  EXPECT_EQ("--- message buffer overflow!\n", s.screen);
  EXPECT_EQ(longer, s.log);
}

TEST_F(MsgTest, PercentInTheTextIsNotInterpretedAgain) {
  MsgVerbose = 1;
  Seen s = Emit("100 %s done\n");
  EXPECT_EQ("100 %s done\n", s.screen);
}

TEST_F(MsgTest, BufferCanBeReleasedAndMadeAgain) {
  MsgVerbose = 1;
  EXPECT_EQ(0, MsgOut(nullptr));
  EXPECT_EQ("again\n", Emit("again\n").screen);
  MsgErr = -1;
  EXPECT_EQ(0, MsgOut(nullptr));
}

std::vector<std::string> Tokens(const char* text, const char* delims) {
  std::vector<std::string> out;
  const char* next = text;
  int len = -1;
  while (const char* t = MsgTok(next, &next, delims, &len)) out.emplace_back(t, len);
  return out;
}

TEST_F(MsgTest, TokenizerSplitsAndHonoursQuotes) {
  EXPECT_EQ((std::vector<std::string>{"ua", "3.5"}), Tokens("  ua 3.5 ;", " ;\t\r\n"));
  const char* text = "\"a b\"c";
  const char* next = nullptr;
  int len = 0;
  const char* t = MsgTok(text, &next, " ", &len);
  ASSERT_NE(nullptr, t);
  EXPECT_EQ("a b", std::string(t, len));
  EXPECT_EQ(text + 5, next);
  t = MsgTok(next, &next, " ", &len);
  EXPECT_EQ("c", std::string(t, len));
  EXPECT_EQ(nullptr, MsgTok(next, &next, " ", &len));

  text = "\"abc";
  t = MsgTok(text, &next, " ", &len);
  EXPECT_EQ("abc", std::string(t, len));
  EXPECT_EQ(text + 4, next);
  EXPECT_EQ((std::vector<std::string>{"", "x"}), Tokens("\"\" x", " "));
  EXPECT_EQ((std::vector<std::string>{"a\"b"}), Tokens("a\"b", " "));
}

TEST_F(MsgTest, TokenizerLeavesOutValuesWhenNothingIsFound) {
  const char* next = "unchanged";
  int len = 42;
  EXPECT_EQ(nullptr, MsgTok("  ;; ", &next, " ;", &len));
  EXPECT_STREQ("unchanged", next);
  EXPECT_EQ(42, len);
  EXPECT_EQ(nullptr, MsgTok(static_cast<const char*>(nullptr), &next, " ", &len));
  EXPECT_EQ(nullptr, MsgTok("abc", &next, nullptr, &len));
  EXPECT_NE(nullptr, MsgTok("abc", nullptr, " ", nullptr));
}

TEST_F(MsgTest, LowerCasingChangesOnlyAsciiCapitals) {
  char text[] = "*DIMENSIONIERUNG \xC4 Zz";
  MsgLow(text);
  EXPECT_STREQ("*dimensionierung \xC4 zz", text);
}

}  // namespace
