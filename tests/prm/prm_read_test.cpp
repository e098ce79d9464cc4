// Command-file reader: sections, values, echo, loops, labels, and every
// message that a command file can provoke.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../support/support.h"
#include "msg/msg.h"
#include "prm/params.h"
#include "prm/prm.h"
#include "prm_fixture.h"

namespace {

struct Section {
  int n;
  std::string name, arg;
  bool operator==(const Section&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Section& s) {
  return os << "{" << s.n << ", \"" << s.name << "\", \"" << s.arg << "\"}";
}

class PrmRead_ : public PrmFixture {
 protected:
  void SetUp() override {
    PrmFixture::SetUp();
    log_ = std::make_unique<zt::LogCapture>();
  }
  void TearDown() override {
    PrmFixture::TearDown();
    log_.reset();
  }

  // Starts again like a fresh process: empty table, no inputs, new log.
  void Restart() {
    PrmRead(nullptr, nullptr, nullptr);
    PrmReadReset();
    PrmClear();
    zt::ResetMsg();
    MsgQuiet = 1;
    log_.reset();
    log_ = std::make_unique<zt::LogCapture>();
  }
  std::string Write(const std::string& content, const std::string& name = "cmd.txt") {
    std::string path = dir_ / name;
    zt::WriteFile(path, content);
    return path;
  }
  Section Call(const std::string& name) {
    char s[200] = "x", a[200] = "x";
    int n = PrmRead(name.c_str(), s, a);
    return {n, s, a};
  }
  Section Open(const std::string& content) {
    path_ = Write(content);
    return Call(path_);
  }
  Section Next() { return Call(""); }
  // Every call's result until the input ends (0), fails (-1) or *ENDE.
  std::vector<Section> ReadAll(const std::string& content) {
    std::vector<Section> all{Open(content)};
    while (all.back().n > 0 && all.back().name != "*e" && all.size() < 50) all.push_back(Next());
    return all;
  }
  // The message of a failing first section, with the path of the input
  // replaced by "FILE".
  std::string FirstError(const std::string& content) {
    Section s = Open(content);
    EXPECT_EQ(s.n, -1);
    EXPECT_EQ(MsgErr, -1);
    return Log();
  }
  std::string Log() {
    std::string t = log_->text();
    for (std::size_t p; !path_.empty() && (p = t.find(path_)) != std::string::npos;)
      t.replace(p, path_.size(), "FILE");
    return t;
  }

  zt::TempDir dir_;
  std::string path_;
  std::unique_ptr<zt::LogCapture> log_;
};

TEST_F(PrmRead_, SectionsWithValuesAndArguments) {
  auto all = ReadAll(
      "*DIMENSIONIERUNG\n"
      "nz 10\n"
      "me kg\n"
      "\n"
      "*PaRaMeTeR   run  \n"
      "UA 4.5\n"
      "uagain 5\n"
      "  ua 99 indented lines are ignored\n"
      "- a comment\n"
      "*QUELLE\n"
      "hq 20; eq 3\n");
  std::vector<Section> want = {{3, "*d", ""}, {3, "*p", "run"}, {2, "*q", ""}, {0, "", ""}};
  EXPECT_EQ(all, want);
  EXPECT_EQ(prm::nz, 10);
  EXPECT_STREQ(prm::me, "kg");
  EXPECT_FLOAT_EQ(prm::ua, 5.0f);  // "uagain" names ua as well
  EXPECT_FLOAT_EQ(prm::hq, 20.0f);
  EXPECT_EQ(PrmInitLvl, 2);
  EXPECT_EQ(prm::zk.count, 11);  // sized by the first section
  EXPECT_EQ(MsgErr, 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(PrmRead_, EndOfInputWithoutEndeEndsNormally) {
  auto all = ReadAll("*d\nnz 10\n");
  std::vector<Section> want = {{2, "*d", ""}, {0, "", ""}};
  EXPECT_EQ(all, want);
  EXPECT_EQ(Next(), (Section{0, "", ""}));  // and stays ended
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(PrmRead_, EndeIsReturnedWithoutReadingFurther) {
  auto all = ReadAll("*d\n*ENDE of the file\nthis line is never read\n*xyz\n");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1], (Section{1, "*e", "of the file"}));
  EXPECT_EQ(MsgErr, 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(PrmRead_, EmptyFileGivesNoSection) {
  EXPECT_EQ(Open(""), (Section{0, "", ""}));
  EXPECT_EQ(PrmInitLvl, 2);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(PrmRead_, SetMarkOnlyForAssignedParameters) {
  ReadAll("*d\nmp 3\n*a\nxp 1 2 3\n");
  EXPECT_EQ(PrmIsSet("mp"), 1);
  EXPECT_EQ(PrmIsSet("xp"), 1);
  EXPECT_EQ(PrmIsSet("yp"), 0);
  EXPECT_EQ(PrmIsSet("np"), 0);
  // Marked values survive a later initialisation.
  PrmInit(2);
  EXPECT_FLOAT_EQ(prm::xp[2], 3.0f);
  EXPECT_EQ(prm::yp.count, 3);
}

TEST_F(PrmRead_, VectorWithTwoElementsIgnoresExtraValues) {
  ReadAll("*d\nmp 2\n*a\nxp 1 2 3\n");
  ASSERT_EQ(prm::xp.count, 2);
  EXPECT_FLOAT_EQ(prm::xp[0], 1.0f);
  EXPECT_FLOAT_EQ(prm::xp[1], 2.0f);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(PrmRead_, VectorWithoutElementsIsStillMarked) {
  auto all = ReadAll("*d\nmp 0\n*a\nxp 1 2 3\n");
  EXPECT_EQ(all[1], (Section{2, "*a", ""}));
  EXPECT_EQ(prm::xp.count, 0);
  EXPECT_EQ(PrmIsSet("xp"), 1);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(PrmRead_, VectorWithFiveElementsNeedsFiveValues) {
  ASSERT_EQ(Open("*d\nmp 5\n*a\nxp 1 2 3\n").n, 2);
  EXPECT_EQ(Next().n, -1);
  EXPECT_EQ(Log(), "*** insufficient data in line 4 of FILE! (QORprm.PrmRead.11)\n");
  EXPECT_FLOAT_EQ(prm::xp[2], 3.0f);  // values before the failure stay
}

TEST_F(PrmRead_, QuotesSemicolonsAndRemarks) {
  ReadAll(
      "*d\n"
      "ti \"a b; c\" 'remark\n"
      "me\t\"GE/m3\";\n"
      "'only a remark\n"
      "op \"open quote runs to the end\n"
      "nz 12 ' nz 99\n");
  EXPECT_STREQ(prm::ti, "a b; c");
  EXPECT_STREQ(prm::me, "GE/m3");
  EXPECT_STREQ(prm::op, "open quote runs to the end");
  EXPECT_EQ(prm::nz, 12);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(PrmRead_, IntegerStopsAtThePoint) {
  ReadAll("*d\nmc 4.5\n");
  EXPECT_EQ(prm::mc, 4);
}

TEST_F(PrmRead_, CrLfNoFinalNewlineAndHighBytes) {
  auto all = ReadAll("*d\r\nti \"Gr\xF6\xDF" "e \x01x\"\r\nnz 7\r\n*p run\r\nua 2");
  std::vector<Section> want = {{3, "*d", ""}, {2, "*p", "run"}, {0, "", ""}};
  EXPECT_EQ(all, want);
  EXPECT_STREQ(prm::ti, "Gr\xF6\xDF" "e \x01x");
  EXPECT_EQ(prm::nz, 7);
  EXPECT_FLOAT_EQ(prm::ua, 2.0f);
}

TEST_F(PrmRead_, NulByteEndsTheLineText) {
  std::string text = "*d\nnz 9";
  text += '\0';
  text += " garbage after NUL\nnc 3\n";
  auto all = ReadAll(text);
  EXPECT_EQ(all[0], (Section{3, "*d", ""}));
  EXPECT_EQ(prm::nz, 9);
  EXPECT_EQ(prm::nc, 3);
  EXPECT_EQ(MsgErr, 0);
}

TEST_F(PrmRead_, LinesAtTheBufferLimit) {
  // 400-byte buffer: a line with its line end may have 398 bytes.
  std::string ok = "ua" + std::string(395, ' ') + "4";  // 398 bytes
  ASSERT_EQ(ok.size(), 398u);
  EXPECT_EQ(ReadAll("*p\n" + ok)[0].n, 2);  // no line end: 398 bytes fit
  EXPECT_FLOAT_EQ(prm::ua, 4.0f);
  Restart();
  std::string ok397 = "ua" + std::string(394, ' ') + "5";
  EXPECT_EQ(ReadAll("*p\n" + ok397 + "\n")[0].n, 2);
  EXPECT_FLOAT_EQ(prm::ua, 5.0f);
  Restart();
  EXPECT_EQ(FirstError("*p\n" + ok + "\n"),
            "*** buffer overflow in line 2 of FILE! (QORprm.PrmRead.2)\n");
}

TEST_F(PrmRead_, CrLfCountsTowardsTheLimit) {
  std::string ok396 = "ua" + std::string(393, ' ') + "6";
  EXPECT_EQ(ReadAll("*p\r\n" + ok396 + "\r\n")[0].n, 2);
  Restart();
  EXPECT_EQ(FirstError("*p\r\n" + ok396 + " \r\n"),
            "*** buffer overflow in line 2 of FILE! (QORprm.PrmRead.2)\n");
}

TEST_F(PrmRead_, LongLineIsReportedOnceAndNothingLeaks) {
  EXPECT_EQ(FirstError("*p\n" + std::string(5000, 'x') + "\n"),
            "*** buffer overflow in line 2 of FILE! (QORprm.PrmRead.2)\n");
}

TEST_F(PrmRead_, LabelLineRaisesTheBufferAndIsNotEchoed) {
  MsgVerbose = 1;
  MsgEcho = 1;
  std::string longLine = "ua" + std::string(5000, ' ') + "7";
  auto all = ReadAll("-:ZIRidev-command-file 8000\n*p\n" + longLine + "\n");
  EXPECT_EQ(all[0].n, 2);
  EXPECT_EQ(PrmBufLen, 8000);
  EXPECT_FLOAT_EQ(prm::ua, 7.0f);
  std::string log = Log();
  EXPECT_EQ(log.find("001>"), std::string::npos);
  EXPECT_EQ(log.substr(0, 8), "002> *p\n");
}

TEST_F(PrmRead_, LabelWithoutNumberKeepsTheBuffer) {
  EXPECT_EQ(ReadAll("-:ZIRidev\n*d\n")[0].n, 1);
  EXPECT_EQ(PrmBufLen, 400);
}

TEST_F(PrmRead_, LabelMustBeginWithTheProgramName) {
  const char* msg = "*** invalid command file label (\"ZIRidev\" required)! (QORprm.PrmRead.10)\n";
  EXPECT_EQ(FirstError("-:OTHER 8000\n*d\n"), msg);
}

TEST_F(PrmRead_, LabelIsCaseSensitiveAndNeedsAWord) {
  const char* msg = "*** invalid command file label (\"ZIRidev\" required)! (QORprm.PrmRead.10)\n";
  EXPECT_EQ(FirstError("-:zIRidev\n"), msg);
  Restart();
  EXPECT_EQ(FirstError("-:\n"), msg);
}

TEST_F(PrmRead_, LabelWordOfEightyCharactersIsRejected) {
  std::string w79 = "ZIRidev" + std::string(72, 'x');
  EXPECT_EQ(ReadAll("-:" + w79 + "\n*d\n")[0].n, 1);
  Restart();
  EXPECT_EQ(FirstError("-:" + w79 + "x\n*d\n"),
            "*** invalid command file label (\"ZIRidev\" required)! (QORprm.PrmRead.10)\n");
}

TEST_F(PrmRead_, DashColonAfterTheFirstLineIsAComment) {
  EXPECT_EQ(ReadAll("*d\n-:OTHER\nnz 4\n")[0].n, 2);
  EXPECT_EQ(prm::nz, 4);
}

TEST_F(PrmRead_, EchoRules) {
  MsgVerbose = 1;
  MsgEcho = 1;
  ASSERT_EQ(Open("-:ZIRidev\n*d\n\n- comment\n'remark\nnz 5\n*p run\nua 1\n").n, 2);
  EXPECT_EQ(Log(), "002> *d\n003> \n004> - comment\n005> 'remark\n006> nz 5\n");
  ASSERT_EQ(Next().n, 2);
  EXPECT_EQ(Log(),
            "002> *d\n003> \n004> - comment\n005> 'remark\n006> nz 5\n"
            "007> *p run\n008> ua 1\n");
}

TEST_F(PrmRead_, BlankStarEndsASectionAndIsConsumed) {
  MsgVerbose = 1;
  MsgEcho = 1;
  auto all = ReadAll("*d\nnz 3\n*\nnz 99\n* end\n*p\n");
  std::vector<Section> want = {{2, "*d", ""}, {1, "*p", ""}, {0, "", ""}};
  EXPECT_EQ(all, want);
  EXPECT_EQ(prm::nz, 3);  // the data line outside any section is skipped
  EXPECT_EQ(Log(), "001> *d\n002> nz 3\n003> *\n004> nz 99\n005> * end\n006> *p\n");
}

TEST_F(PrmRead_, LoopRepeatsTheEnclosedLinesWithTheirNumbers) {
  MsgVerbose = 1;
  MsgEcho = 1;
  auto all = ReadAll("*DIM\nnz 10\n*loop 2\n*PARAMETER\nua 4\n*next\n*ENDE\n");
  std::vector<Section> want = {{2, "*d", ""}, {2, "*p", ""}, {2, "*p", ""},
                               {2, "*p", ""}, {1, "*e", ""}};
  EXPECT_EQ(all, want);
  EXPECT_EQ(Log(),
            "001> *DIM\n002> nz 10\n003> *loop 2\n004> *PARAMETER\n005> ua 4\n"
            "006> *next\n004> *PARAMETER\n005> ua 4\n"
            "006> *next\n004> *PARAMETER\n005> ua 4\n"
            "006> *next\n007> *ENDE\n");
}

TEST_F(PrmRead_, LoopWithoutCountAndNextWithoutLoop) {
  auto all = ReadAll("*d\n*next\n*LOOP\n*p\n*NEXT\n*q\n");
  std::vector<Section> want = {{1, "*d", ""}, {1, "*p", ""}, {1, "*q", ""}, {0, "", ""}};
  EXPECT_EQ(all, want);
}

TEST_F(PrmRead_, LoopWordsAreExact) {
  // "*looping" is the section *l, not a repetition.
  auto all = ReadAll("*d\n*looping 3\nnd 2\n");
  EXPECT_EQ(all[1], (Section{2, "*l", "3"}));
  EXPECT_EQ(prm::nd, 2);
}

TEST_F(PrmRead_, NestedInputContinuesWithTheOuterOne) {
  std::string inner = Write("*q\nhq 33\n", "inner.txt");
  ASSERT_EQ(Open("*d\n*p\nua 2\n").n, 1);
  EXPECT_EQ(Call(inner), (Section{2, "*q", ""}));
  EXPECT_EQ(Next(), (Section{2, "*p", ""}));
  EXPECT_EQ(Next(), (Section{0, "", ""}));
  EXPECT_FLOAT_EQ(prm::hq, 33.0f);
}

TEST_F(PrmRead_, SectionEndsAtTheEndOfANestedInput) {
  std::string inner = Write("*q\nhq 33\n", "inner.txt");
  ASSERT_EQ(Open("*d\nnz 8\n").n, 2);
  EXPECT_EQ(Call(inner), (Section{2, "*q", ""}));
  EXPECT_EQ(Next(), (Section{0, "", ""}));
}

// One test per message of the failure table that a command file can reach.

TEST_F(PrmRead_, Msg1CannotOpen) {
  path_ = dir_ / "missing.txt";
  EXPECT_EQ(Call(path_).n, -1);
  EXPECT_EQ(Log(), "*** can't open file FILE! (QORprm.PrmRead.1)\n");
}

TEST_F(PrmRead_, Msg1NameTooLong) {
  std::string name(256, 'n');
  EXPECT_EQ(Call(name).n, -1);
  EXPECT_EQ(Log(), "*** can't open file " + name + "! (QORprm.PrmRead.1)\n");
  std::string max = dir_ / std::string(255 - dir_.path().size() - 1, 'f');
  zt::WriteFile(max, "*d\n");
  zt::ResetMsg();
  MsgQuiet = 1;
  EXPECT_EQ(Call(max).n, 1);
}

TEST_F(PrmRead_, Msg4NoLineBuffer) {
  PrmBufLen = 0;
  EXPECT_EQ(FirstError("*d\n"), "*** can't allocate data buffer (0 bytes)! (QORprm.PrmRead.4)\n");
}

TEST_F(PrmRead_, BufferGrowsWhenTheSizeIsRaised) {
  std::string longLine = "ua" + std::string(1000, ' ') + "8";
  ASSERT_EQ(Open("*d\n*p\n" + longLine + "\n").n, 1);
  PrmBufLen = 4000;  // as the driver does after the dimension section
  EXPECT_EQ(Next().n, 2);
  EXPECT_FLOAT_EQ(prm::ua, 8.0f);
}

TEST_F(PrmRead_, Msg6HeaderTooLong) {
  std::string h198 = "*p " + std::string(195, 'a');
  EXPECT_EQ(ReadAll("*d\n" + h198 + "\n")[1], (Section{1, "*p", std::string(195, 'a')}));
  Restart();
  EXPECT_EQ(FirstError(h198 + "a\n"),
            "*** buffer overflow in line 1 of FILE! (QORprm.PrmRead.6)\n");
}

TEST_F(PrmRead_, Msg7LineWithoutToken) {
  EXPECT_EQ(FirstError("*d\n;;;\n"), "*** can't analyse line 2 in FILE! (QORprm.PrmRead.7)\n");
}

TEST_F(PrmRead_, Msg8EmptyName) {
  EXPECT_EQ(FirstError("*d\n\"\" 5\n"),
            "*** buffer overflow in line 2 of FILE! (QORprm.PrmRead.8)\n");
}

TEST_F(PrmRead_, Msg8NameOf200BytesButNot199) {
  // Only the first two characters of a name count.
  ReadAll("*d\nnz" + std::string(197, 'z') + " 5\n");
  EXPECT_EQ(MsgErr, 0) << Log();
  EXPECT_EQ(prm::nz, 5);
  Restart();
  EXPECT_EQ(FirstError("*d\nnz" + std::string(198, 'z') + " 5\n"),
            "*** buffer overflow in line 2 of FILE! (QORprm.PrmRead.8)\n");
}

TEST_F(PrmRead_, Msg9UnknownName) {
  EXPECT_EQ(FirstError("*QUELLE\nUA 4\n"),
            "*** name \"ua\" unknown in section \"*q\"! (QORprm.PrmRead.9)\n");
}

TEST_F(PrmRead_, Msg9DataLineInACommandSection) {
  ASSERT_EQ(Open("*d\n*TABELLE\nfoo\n").n, 1);
  EXPECT_EQ(Next().n, -1);
  EXPECT_EQ(Log(), "*** name \"foo\" unknown in section \"*t\"! (QORprm.PrmRead.9)\n");
}

TEST_F(PrmRead_, Msg11TooFewValues) {
  EXPECT_EQ(FirstError("*d\nnz\n"),
            "*** insufficient data in line 2 of FILE! (QORprm.PrmRead.11)\n");
}

TEST_F(PrmRead_, Msg12TokenTooLong) {
  std::string v198(198, 'v');
  ReadAll("*d\nti " + v198 + "\n");
  EXPECT_EQ(std::string(prm::ti), v198);
  Restart();
  EXPECT_EQ(FirstError("*d\nti " + v198 + "v\n"),
            "*** maximum token length exceeded in line 2 of FILE! (QORprm.PrmRead.12)\n");
}

TEST_F(PrmRead_, Msg13StringTooLong) {
  ReadAll("*d\nme 123456789012345\n");
  EXPECT_STREQ(prm::me, "123456789012345");
  Restart();
  EXPECT_EQ(FirstError("*d\nme 1234567890123456\n"),
            "*** maximum string length exceeded in line 2 of FILE! (QORprm.PrmRead.13)\n");
}

TEST_F(PrmRead_, Msg14Texts) {
  for (const char* line : {"ua fast", "nu 99999999999", "nu x1", "dw 1 2 x"}) {
    Restart();
    ASSERT_EQ(Open(std::string("*d\n*p\n") + line + "\n").n, 1);
    EXPECT_EQ(Next().n, -1) << line;
    EXPECT_EQ(Log(), "*** invalid data in line 3 of FILE! (QORprm.PrmRead.14)\n") << line;
  }
}

// Every float and double parameter, scalar or vector element, refuses
// numbers that are not finite, each spelling in turn, and keeps a finite
// value.
TEST_F(PrmRead_, Msg14NonFiniteNumbers) {
  const char* spellings[] = {"nan",  "-NaN",      "nan(0x7)", "inf",
                             "+INF", "-Infinity", "1e309",    "-1e400"};
  int checked = 0;
  for (const PrmRecord* r = PrmTable; !r->IsEnd(); r++) {
    if (r->IsSection() || (r->Code() != PrmTypeFloat && r->Code() != PrmTypeDouble)) continue;
    const PrmRecord* section = r;
    while (!section->IsSection()) section--;
    {
      const char* bad = spellings[checked % 8];
      Restart();
      // A vector gets the bad value as its second element.
      ASSERT_EQ(Open(std::string("*d\nmp 2\n") + section->name + "\n" + r->name + " " +
                     (r->IsVector() ? "1 " : "") + bad + " 2 2 2\n")
                    .n,
                2);
      EXPECT_EQ(Next().n, -1) << r->name << " " << bad;
      EXPECT_EQ(Log(), "*** invalid data in line 4 of FILE! (QORprm.PrmRead.14)\n")
          << r->name << " " << bad;
      const void* value = r->IsVector() ? static_cast<float*>(r->Vec()->data) + 1 : r->value;
      EXPECT_TRUE(r->Code() == PrmTypeDouble ? std::isfinite(*static_cast<const double*>(value))
                                             : std::isfinite(*static_cast<const float*>(value)))
          << r->name << " " << bad;
      checked++;
    }
  }
  EXPECT_GE(checked, 60);
}

TEST_F(PrmRead_, Msg16VectorInTheFirstSection) {
  EXPECT_EQ(FirstError("*p\ndw 1 2\n"), "*** internal error! (QORprm.PrmRead.16)\n");
}

TEST_F(PrmRead_, Msg17VectorsCannotBeAllocated) {
  EXPECT_EQ(FirstError("*d\nnz -5\n"),
            "*** array zk: reference nz+1 has invalid value (=-4)! (QORprm.PrmInit.4)\n"
            "*** internal error! (QORprm.PrmRead.17)\n");
}

TEST_F(PrmRead_, Msg20NoInputOpen) {
  EXPECT_EQ(Call("").n, -1);
  EXPECT_EQ(Log(), "*** internal error! (QORprm.PrmRead.20)\n");
}

TEST_F(PrmRead_, Msg20AfterTheInputsWereClosed) {
  ReadAll("*d\n");
  PrmRead(nullptr, nullptr, nullptr);
  EXPECT_EQ(Next().n, -1);
  EXPECT_EQ(Log(), "*** internal error! (QORprm.PrmRead.20)\n");
}

// Standard input ("CON") replaced by a pipe or a regular file.
class PrmReadStdin_ : public PrmRead_ {
 protected:
  void TearDown() override {
    if (saved_ >= 0) {
      char sink[256];
      while (std::fread(sink, 1, sizeof sink, stdin) > 0) {
      }
      dup2(saved_, 0);
      close(saved_);
      clearerr(stdin);
    }
    PrmRead_::TearDown();
  }
  void FromPipe(const std::string& content) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fds[1]);
    Redirect(fds[0]);
  }
  void FromFile(const std::string& content) {
    std::string path = Write(content, "stdin.txt");
    Redirect(open(path.c_str(), O_RDONLY));
  }
  void Redirect(int fd) {
    saved_ = dup(0);
    dup2(fd, 0);
    close(fd);
    clearerr(stdin);
  }
  int saved_ = -1;
};

TEST_F(PrmReadStdin_, ConReadsAFile) {
  FromFile("*d\nnz 6\n*loop 1\n*p\nua 2\n*next\n");
  EXPECT_EQ(Call("CON"), (Section{2, "*d", ""}));
  EXPECT_EQ(Next(), (Section{2, "*p", ""}));
  EXPECT_EQ(Next(), (Section{2, "*p", ""}));
  EXPECT_EQ(Next(), (Section{0, "", ""}));
  EXPECT_EQ(prm::nz, 6);
}

TEST_F(PrmReadStdin_, Msg21HeaderCannotBeReread) {
  FromPipe("*d\nnz 6\n*p\n");
  EXPECT_EQ(Call("CON").n, -1);
  EXPECT_EQ(Log(), "*** can't reposition input file CON! (QORprm.PrmRead.21)\n");
}

TEST_F(PrmReadStdin_, Msg22LoopCannotBeRepeated) {
  FromPipe("*loop 1\n*next\n");
  EXPECT_EQ(Call("CON").n, -1);
  EXPECT_EQ(Log(), "*** can't reposition input file CON! (QORprm.PrmRead.22)\n");
}

TEST(PrmTrim_, RemovesBlankBytesAtBothEnds) {
  char a[] = " \t\r\x01 word  and\tmore \x1f\n";
  PrmTrim(a);
  EXPECT_STREQ(a, "word  and\tmore");
  char b[] = "   ";
  PrmTrim(b);
  EXPECT_STREQ(b, "");
  char c[] = "\xE4x\xFC";  // bytes above 127 are not blanks
  PrmTrim(c);
  EXPECT_STREQ(c, "\xE4x\xFC");
}

}  // namespace
