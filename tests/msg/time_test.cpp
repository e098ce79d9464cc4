// Time values: text to day value and back, durations, dates, infinities.
#include <gtest/gtest.h>

#include <string>

#include "msg/msg.h"

namespace {

constexpr double kSecond = 1.0 / 86400;

TEST(MsgTime, TrimRemovesOnlyBlanks) {
  char text[] = "  ab\t ";
  MsgTrim(text);
  EXPECT_STREQ("ab\t", text);
  char empty[] = "   ";
  MsgTrim(empty);
  EXPECT_STREQ("", empty);
}

TEST(MsgTime, DatesCountFromNineteenHundred) {
  EXPECT_DOUBLE_EQ(1036326 + 50357 * kSecond, MsgTimeVal("1999-06-15 13:59:17"));
  EXPECT_DOUBLE_EQ(1036326 + 50357 * kSecond, MsgTimeVal("99-06-15'13:59:17"));
  EXPECT_DOUBLE_EQ(1036526, MsgTimeVal("2000-01-01 00:00:00"));
  EXPECT_DOUBLE_EQ(1001521, MsgTimeVal("1904-02-29"));
  EXPECT_DOUBLE_EQ(1001522, MsgTimeVal("1904-03-01"));
  EXPECT_DOUBLE_EQ(1000002, MsgTimeVal("1900-01-01"));
  EXPECT_STREQ("99-06-15'13:59:17", MsgTimeStr(1036326 + 50357 * kSecond));
  EXPECT_STREQ("2000-01-01'00:00:00", MsgTimeStr(1036526));
  EXPECT_STREQ("04-02-29'00:00:00", MsgTimeStr(1001521));
  EXPECT_STREQ("04-03-01'00:00:00", MsgTimeStr(1001522));
}

TEST(MsgTime, DurationsAndTimesOfDay) {
  EXPECT_DOUBLE_EQ(2.5, MsgTimeVal("2 12:00:00"));
  EXPECT_STREQ("2'12:00:00", MsgTimeStr(2.5));
  EXPECT_STREQ("12:00:00", MsgTimeStr(0.5));
  EXPECT_DOUBLE_EQ(30 * kSecond, MsgTimeVal("30"));
  EXPECT_DOUBLE_EQ(90 * kSecond, MsgTimeVal("1:30"));
  EXPECT_DOUBLE_EQ(1 + 5 * kSecond, MsgTimeVal("1.5"));
  EXPECT_DOUBLE_EQ(0, MsgTimeVal(""));
  EXPECT_STREQ("24:00:00", MsgTimeStr(0.9999999));
}

TEST(MsgTime, MonthsAreClampedAndMonthZeroIgnoresTheYear) {
  EXPECT_DOUBLE_EQ(MsgTimeVal("1999-12-01"), MsgTimeVal("1999-13-01"));
  EXPECT_DOUBLE_EQ(1000005, MsgTimeVal("1999-0-05"));
  EXPECT_DOUBLE_EQ(MsgTimeVal("1900-03-01"), MsgTimeVal("1500-03-01"));
}

TEST(MsgTime, Infinities) {
  EXPECT_EQ(-9999999.0, MsgTimeVal(" -inf "));
  EXPECT_EQ(9999999.0, MsgTimeVal("+inf"));
  EXPECT_STREQ("-inf", MsgTimeStr(-1));
  EXPECT_STREQ("+inf", MsgTimeStr(1.0e7));
  EXPECT_STREQ("+inf", MsgTimeStr(9999999.0));
}

TEST(MsgTime, TextsReadBackToTheSameValue) {
  // Every day of two leap years and the century year, at a few times of day.
  for (double d = MsgTimeVal("1999-12-25"); d < MsgTimeVal("2004-03-10"); d += 1) {
    for (double f : {0.0, 0.25, 13.0 / 24 + 59.0 / 1440 + 17 * kSecond}) {
      std::string s = MsgTimeStr(d + f);
      EXPECT_NEAR(d + f, MsgTimeVal(s.c_str()), 0.5 * kSecond) << s;
    }
  }
  for (double t : {0.0, 1.5, 17.75, 999999.0}) {
    std::string s = MsgTimeStr(t);
    EXPECT_NEAR(t, MsgTimeVal(s.c_str()), 0.5 * kSecond) << s;
  }
}

TEST(MsgTime, SecondsBetweenTwoValues) {
  EXPECT_DOUBLE_EQ(43200, MsgSeconds(1.0, 1.5));
  EXPECT_DOUBLE_EQ(-86400, MsgSeconds(2.0, 1.0));
}

}  // namespace
