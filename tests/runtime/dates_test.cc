#include "automation/dates.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "automation/error.h"
#include "common/error_number.h"

namespace mto::automation {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Locale enUS() {
  return Locale{};
}
Locale deDE() {
  return Locale{".", "d.MM.yyyy", "HH:mm:ss", ".", ","};
}
// "." between date parts, day first without leading zeros.
Locale dotDates() {
  return Locale{".", "d.M.yyyy", "H:mm:ss", ".", ",", "\xE2\x82\xAC"};
}
Locale zhCN() {
  return Locale{"-", "yyyy-M-d", "H:mm:ss", ",", "."};
}
Locale withPatterns(std::string date, std::string time) {
  Locale l;
  l.shortDatePattern = std::move(date);
  l.timePattern = std::move(time);
  return l;
}

// A platform whose clock stands at 2025-03-15 09:00, so two-part dates and today() are fixed.
class DatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = std::make_shared<RegistryPlatform>();
    platform_->setNow(makeDate(2025, 3, 15, 9, 0, 0));
    previous_ = setPlatform(platform_);
  }
  void TearDown() override { setPlatform(previous_); }

  std::shared_ptr<RegistryPlatform> platform_;
  std::shared_ptr<Platform> previous_;
};

TEST(Dates, CalendarPartsAndSerialsAgree) {
  struct Row {
    DateParts parts;
    double serial;
  };
  const Row rows[] = {
      {{2026, 12, 6, 0, 0, 0}, 46362},  {{2026, 6, 12, 0, 0, 0}, 46185},
      {{1970, 1, 2, 0, 0, 0}, 25570},   {{2026, 12, 6, 10, 30, 0}, 46362.4375},
      {{1900, 2, 28, 0, 0, 0}, 60},     {{1900, 3, 1, 0, 0, 0}, 61},
      {{100, 1, 1, 0, 0, 0}, -657434},  {{9999, 12, 31, 0, 0, 0}, 2958465},
      {{1899, 12, 25, 6, 0, 0}, -5.25}, {{1899, 12, 26, 0, 0, 0}, -4},
      {{1899, 12, 30, 6, 0, 0}, 0.25},  {{2024, 2, 29, 23, 59, 59}, 45351 + 86399.0 / 86400},
  };
  for (const auto& [p, serial] : rows) {
    EXPECT_DOUBLE_EQ(makeDate(p.year, p.month, p.day, p.hour, p.minute, p.second).serial, serial) << serial;
    EXPECT_EQ(dateParts(Date{serial}), p) << serial;
  }
  // The fraction of a negative serial is the time after midnight, whatever the sign.
  EXPECT_EQ(dateParts(Date{-0.25}), (DateParts{1899, 12, 30, 6, 0, 0}));
  EXPECT_EQ(dateParts(Date{1.0 - 1e-9}), (DateParts{1899, 12, 31, 0, 0, 0}));
  EXPECT_EQ(dateParts(Date{2958465.99999999}), (DateParts{9999, 12, 31, 23, 59, 59}));
}

TEST(Dates, ImpossibleOrOutOfRangeValuesRaise) {
  struct Row {
    int y, m, d, h, mi, s;
    int error;
  };
  const Row rows[] = {
      {2026, 2, 29, 0, 0, 0, 5}, {2026, 13, 1, 0, 0, 0, 5}, {2026, 0, 1, 0, 0, 0, 5},
      {2026, 4, 31, 0, 0, 0, 5}, {2026, 1, 1, 24, 0, 0, 5}, {2026, 1, 1, 0, 60, 0, 5},
      {2026, 1, 1, 0, 0, -1, 5}, {99, 12, 31, 0, 0, 0, 6},  {10000, 1, 1, 0, 0, 0, 6},
      {2024, 2, 29, 0, 0, 0, 0}, {2000, 2, 29, 0, 0, 0, 0}, {1900, 2, 29, 0, 0, 0, 5},
  };
  for (const auto& r : rows)
    EXPECT_EQ(testing::errorNumber([&] { makeDate(r.y, r.m, r.d, r.h, r.mi, r.s); }), r.error)
        << r.y << "-" << r.m << "-" << r.d;
  for (double serial : {-657435.0, 2958466.0, kNaN, std::numeric_limits<double>::infinity()})
    EXPECT_EQ(testing::errorNumber([&] { dateParts(Date{serial}); }), 6) << serial;
}

TEST(Dates, TextInTheLocalePatterns) {
  struct Row {
    double serial;
    Locale locale;
    std::string want;
  };
  const Locale us12 = withPatterns("M/d/yyyy", "h:mm:ss tt");
  const Row rows[] = {
      {46362, enUS(), "12/6/2026"},
      {46362, withPatterns("yyyy-MM-dd", "H:mm:ss"), "2026-12-06"},
      {46362.4375, enUS(), "12/6/2026 10:30:00"},
      {46362, deDE(), "6.12.2026"},
      {46362.9375, withPatterns("dd.MM.yy", "HH:mm"), "06.12.26 22:30"},
      {0, enUS(), "0:00:00"},
      {0, us12, "12:00:00 AM"},
      {3.34, us12, "1/2/1900 8:09:36 AM"},
      {365, us12, "12/30/1900"},
      {365.25, us12, "12/30/1900 6:00:00 AM"},
      {2958465, us12, "12/31/9999"},
      {-657434, us12, "1/1/100"},
      {29494, us12, "9/30/1980"},
      {-0.25, enUS(), "6:00:00"},
      {-5.25, enUS(), "12/25/1899 6:00:00"},
  };
  for (const auto& row : rows) EXPECT_EQ(dateText(Date{row.serial}, row.locale), row.want) << row.serial;
  EXPECT_EQ(testing::errorNumber([] { dateText(Date{2958466}, enUS()); }), 6);
}

TEST(Dates, FormatPatterns) {
  struct Row {
    double serial;
    std::string_view pattern;
    std::string want;
  };
  const Row rows[] = {
      {46362, "dddd, MMMM d, yyyy", "Sunday, December 6, 2026"},
      {46362, "ddd dd-MMM-yy", "Sun 06-Dec-26"},
      {46362.9375, "hh:mm t", "10:30 P"},
      {46362.0006944444, "H:m:s", "0:1:0"},
      {46362.5, "h tt", "12 PM"},
      {46362, "'day' d", "day 6"},
      {46362, "y/yyyy", "26/2026"},
      {0, "dddd", "Saturday"},
      {-1, "dddd", "Friday"},
  };
  for (const auto& row : rows) EXPECT_EQ(formatDate(Date{row.serial}, row.pattern), row.want) << row.pattern;
}

Date timeOfDay(int hour, int minute, int second) {
  return Date{(hour * 3600 + minute * 60 + second) / 86400.0};
}

TEST_F(DatesTest, ParseTextInTheLocaleOrder) {
  struct Row {
    std::string_view text;
    Locale locale;
    std::optional<Date> want;
  };
  const std::optional<Date> none;
  const Row rows[] = {
      {"12/6/2026", enUS(), makeDate(2026, 12, 6)},
      {" 12/06/2026 ", enUS(), makeDate(2026, 12, 6)},
      {"2026-12-06", enUS(), makeDate(2026, 12, 6)},
      {"2026.12.6", enUS(), none},
      {"2026/12/6", enUS(), makeDate(2026, 12, 6)},
      {"6.12.2026", enUS(), none},
      {"13/1/2026", enUS(), makeDate(2026, 1, 13)},
      {"13-1-1970", enUS(), makeDate(1970, 1, 13)},
      {"1/2/3", enUS(), makeDate(2003, 1, 2)},
      {"1/2/30", enUS(), makeDate(1930, 1, 2)},
      {"12/6", enUS(), makeDate(2025, 12, 6)},
      {"2026-12-06 10:30", enUS(), Date{46362.4375}},
      {"6/30/2011 01:20:34 PM", enUS(), makeDate(2011, 6, 30, 13, 20, 34)},
      {"6/30/2011 12:05 am", enUS(), makeDate(2011, 6, 30, 0, 5, 0)},
      {"10:30", enUS(), Date{0.4375}},
      {"12:00 PM", enUS(), Date{0.5}},
      {"1899-12-25 06:00", enUS(), Date{-5.25}},
      {"13/32/2026", enUS(), none},
      {"2026-02-30", enUS(), none},
      {"2026-13-13", enUS(), none},
      {"abc", enUS(), none},
      {"", enUS(), none},
      {"   ", enUS(), none},
      {"5", enUS(), none},
      {"0", enUS(), none},
      {"24:00", enUS(), none},
      {"0:60", enUS(), none},
      {"13:00 PM", enUS(), timeOfDay(13, 0, 0)},  // PM leaves 12-23 as they are
      {"00:00 PM", enUS(), Date{0.5}},
      {"00:00 AM", enUS(), Date{0}},
      {"12/6/2026 10:30PM", enUS(), Date{46362.9375}},
      {"10:30pm", enUS(), timeOfDay(22, 30, 0)},
      {"10:30 PMX", enUS(), none},
      {"2026-12-06T10:30", enUS(), none},
      {"2026-12-06 10:30:00.017", enUS(), none},
      {"2026-12-0610:30", enUS(), none},
      {"12/6-2026", enUS(), none},
      {"12/6/2026/", enUS(), none},
      {"12/6/2026/1", enUS(), none},
      {"0099-01-01", enUS(), makeDate(1999, 1, 1)},  // years below 100 are windowed however written
      {"1/1/0029", enUS(), makeDate(2029, 1, 1)},
      {"1/1/0030", enUS(), makeDate(1930, 1, 1)},
      {"12345/1/1", enUS(), none},
      {"2026-12", enUS(), none},
      {"-12/6/2026", enUS(), none},
      {"6.12.2026", deDE(), makeDate(2026, 12, 6)},
      {"12/6/2026", deDE(), makeDate(2026, 6, 12)},
      {"02.13.1970", deDE(), makeDate(1970, 2, 13)},
      {"2026-12-06", deDE(), makeDate(2026, 12, 6)},
      {"6.12.", deDE(), none},
      {"6.12", deDE(), makeDate(2025, 12, 6)},
      {"26-12-6", zhCN(), makeDate(2026, 12, 6)},
      {"2026-12-6 9:05:07", zhCN(), makeDate(2026, 12, 6, 9, 5, 7)},
  };
  for (const auto& row : rows) EXPECT_EQ(parseDate(row.text, row.locale), row.want) << row.text;
}

TEST_F(DatesTest, ParseBlanksMonthNamesAndDots) {
  struct Row {
    std::string_view text;
    std::optional<Date> us;   // en-US defaults, "/" between date parts
    std::optional<Date> dot;  // dotDates(), d.M.yyyy
  };
  const std::optional<Date> none;
  const Date dec6 = makeDate(2026, 12, 6);
  const Row rows[] = {
      // Blanks separate date parts like "/" and "-".
      {"12 6 2026", dec6, makeDate(2026, 6, 12)},
      {"1 2 3", makeDate(2003, 1, 2), makeDate(2003, 2, 1)},
      {" 12  6\t2026 ", dec6, makeDate(2026, 6, 12)},
      {"12\xE3\x80\x80"
       "6\xE3\x80\x80"
       "2026",
       dec6, makeDate(2026, 6, 12)},
      {"12 6 2026 10:30", Date{46362.4375}, makeDate(2026, 6, 12, 10, 30, 0)},
      {"12 6 10:30", makeDate(2025, 12, 6, 10, 30, 0), makeDate(2025, 6, 12, 10, 30, 0)},
      {"12/6 2026", none, none},
      {"12, 6, 2026", none, none},
      // Month names, in full or three letters, put the month in its place whatever the order.
      {"6 Dec 2026", dec6, dec6},
      {"December 6, 2026", dec6, dec6},
      {"dec 6 2026", dec6, dec6},
      {"6-DEC-2026", dec6, dec6},
      {"2026 Dec 6", dec6, dec6},
      {"31-Jan-95", makeDate(1995, 1, 31), makeDate(1995, 1, 31)},
      {"April 28, 2014", makeDate(2014, 4, 28), makeDate(2014, 4, 28)},
      {"Dec 6", makeDate(2025, 12, 6), makeDate(2025, 12, 6)},
      {"Dec 6, 2026 10:30", Date{46362.4375}, Date{46362.4375}},
      {"6.Dec.2026", none, dec6},
      {"31 Feb 2026", none, none},
      {"Sunday, December 6, 2026", dec6, dec6},
      {"sun 6 Dec 2026", dec6, dec6},
      {"Sunday December", none, none},
      {"Dec 2026", makeDate(2026, 12, 1), makeDate(2026, 12, 1)},  // no day: the year's first
      {"Jan 35", makeDate(1935, 1, 1), makeDate(1935, 1, 1)},
      {"35-Jan", makeDate(1935, 1, 1), makeDate(1935, 1, 1)},
      {"Feb 30", makeDate(1930, 2, 1), makeDate(1930, 2, 1)},
      {"Dec Jan 6", none, none},
      {"6 Decem 2026", none, none},
      {"6 Dec 2026 Dec", none, none},
      {"6Dec2026", none, none},
      // "." is a time separator wherever it does not separate dates.
      {"2.5", timeOfDay(2, 5, 0), makeDate(2025, 5, 2)},
      {"04.28.14", timeOfDay(4, 28, 14), makeDate(2014, 4, 28)},
      {"10.30 PM", timeOfDay(22, 30, 0), none},
      {"0.0", none, none},
      {"0:00", Date{0}, Date{0}},
      {"6.12.2026", none, dec6},
      {"2026.12.6", none, dec6},
      {"2.5.2026", none, makeDate(2026, 5, 2)},
      {"12/6/2026 10.30", Date{46362.4375}, none},
      {"6.12.2026 10:30", none, Date{46362.4375}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(parseDate(row.text, enUS()), row.us) << row.text;
    EXPECT_EQ(parseDate(row.text, dotDates()), row.dot) << row.text << " in d.M.yyyy";
  }
}

TEST_F(DatesTest, MonthNamesComeFromTheLocale) {
  Locale german = dotDates();
  german.monthNames = {"Januar", "Februar", "M\xC3\xA4rz",  "April",   "Mai",      "Juni",
                       "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  german.abbreviatedMonthNames = {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  const std::optional<Date> none;
  const Date dec6 = makeDate(2026, 12, 6);
  struct Row {
    std::string_view text;
    std::optional<Date> want;
  };
  const Row rows[] = {
      {"6. Dezember 2026", dec6},
      {"6 Dezember 2026", dec6},
      {"6. dez 2026", dec6},
      {"6-Dez-2026", dec6},
      {"1. M\xC3\xA4rz 2026", makeDate(2026, 3, 1)},
      {"6 Dec 2026", none},  // English names are not read in a German locale
      {"6 December 2026", none},
      {"6.12. 2026", none},  // "." before blanks only beside a month name
  };
  for (const auto& row : rows) EXPECT_EQ(parseDate(row.text, german), row.want) << row.text;
}

TEST_F(DatesTest, ValuesToDates) {
  struct Row {
    Variant in;
    bool isDateValue;
    std::optional<Date> want;  // nullopt: raises `error`
    int error = 0;
  };
  const Row rows[] = {
      {Date{46362.5}, true, Date{46362.5}},
      {"12/6/2026", true, makeDate(2026, 12, 6)},
      {"abc", false, std::nullopt, 13},
      {"", false, std::nullopt, 13},
      {"6 Dec 2026", true, makeDate(2026, 12, 6)},
      {"6.12.2026", false, std::nullopt, 13},
      {"2.5", true, timeOfDay(2, 5, 0)},
      {int32_t{5}, false, Date{5}},
      {-657434.5, false, Date{-657434.5}},
      {-657435.0, false, std::nullopt, 6},
      {true, false, Date{-1}},
      {Variant(), false, Date{0}},
      {Variant::null(), false, std::nullopt, 94},
      {nullptr, false, std::nullopt, 13},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(isDate(row.in), row.isDateValue) << describe(row.in);
    if (row.want) {
      EXPECT_EQ(toDate(row.in), *row.want) << describe(row.in);
    } else {
      EXPECT_EQ(testing::errorNumber([&] { toDate(row.in); }), row.error) << describe(row.in);
    }
  }
}

TEST_F(DatesTest, TodayDropsTheTime) {
  EXPECT_EQ(today(), makeDate(2025, 3, 15));
  platform_->setNow(Date{-5.25});
  EXPECT_EQ(today(), Date{-5});
  platform_->setNow(Date{-0.25});
  EXPECT_EQ(today(), Date{0});
  Date now = systemNow();
  EXPECT_GE(dateParts(now).year, 2024);
}

TEST(Dates, AddDaysKeepsTheTime) {
  struct Row {
    double serial;
    double days;
    std::optional<double> want;  // nullopt: raises 5
  };
  const Row rows[] = {
      {46362.4375, 1, 46363.4375},
      {46362.4375, 0.5, 46362.4375},
      {46362.4375, 1.5, 46364.4375},
      {46362.4375, 2.5, 46364.4375},
      {46362.4375, -2.5, 46360.4375},
      {46362.4375, 1.7, 46364.4375},
      {-5.25, 1, -4.25},
      {0.25, -1, -1.25},
      {-0.25, -1, -1.25},
      {-1.25, 1, 0.25},
      {2958464.5, 1, 2958465.5},
      {2958465, 1, std::nullopt},
      {-657434, -1, std::nullopt},
      {2958466, 0, std::nullopt},
      {46362, kNaN, std::nullopt},
      {46362, 1e300, std::nullopt},
      {kNaN, 1, std::nullopt},
  };
  for (const auto& row : rows) {
    if (row.want) {
      EXPECT_EQ(addDays(Date{row.serial}, row.days), Date{*row.want}) << row.serial << " + " << row.days;
    } else {
      EXPECT_EQ(testing::errorNumber([&] { addDays(Date{row.serial}, row.days); }), 5)
          << row.serial << " + " << row.days;
    }
  }
}

TEST(Dates, DateAddIntervals) {
  struct Row {
    std::string_view interval;
    double number;
    Date from;
    std::optional<Date> want;  // nullopt: raises 5
  };
  const Date at1030 = makeDate(2026, 12, 6, 10, 30, 0);
  const Row rows[] = {
      {"m", 1, makeDate(1995, 1, 31), makeDate(1995, 2, 28)},
      {"m", 1, makeDate(1996, 1, 31), makeDate(1996, 2, 29)},
      {"M", -1, makeDate(2026, 3, 31), makeDate(2026, 2, 28)},
      {"m", -13, makeDate(2026, 1, 15), makeDate(2024, 12, 15)},
      {"m", 1, at1030, makeDate(2027, 1, 6, 10, 30, 0)},
      {"yyyy", 1, makeDate(2024, 2, 29), makeDate(2025, 2, 28)},
      {"q", 1, makeDate(2026, 11, 30), makeDate(2027, 2, 28)},
      {"d", 1, at1030, makeDate(2026, 12, 7, 10, 30, 0)},
      {"D", 1.7, at1030, makeDate(2026, 12, 8, 10, 30, 0)},
      {"d", 2.5, at1030, makeDate(2026, 12, 8, 10, 30, 0)},
      {"y", 1, at1030, makeDate(2026, 12, 7, 10, 30, 0)},
      {"w", 1, makeDate(2026, 12, 5), makeDate(2026, 12, 6)},
      {"ww", 1, at1030, makeDate(2026, 12, 13, 10, 30, 0)},
      {"h", 25, at1030, makeDate(2026, 12, 7, 11, 30, 0)},
      {"n", -31, makeDate(2026, 12, 6, 0, 10, 0), makeDate(2026, 12, 5, 23, 39, 0)},
      {"s", 90, at1030, makeDate(2026, 12, 6, 10, 31, 30)},
      {"n", 60, makeDate(1899, 12, 29, 23, 30, 0), makeDate(1899, 12, 30, 0, 30, 0)},
      {"h", -1, makeDate(1899, 12, 30, 0, 30, 0), makeDate(1899, 12, 29, 23, 30, 0)},
      {"s", 1, makeDate(9999, 12, 31, 23, 59, 59), std::nullopt},
      {"yyyy", -1, makeDate(100, 6, 1), std::nullopt},
      {"m", 1, makeDate(9999, 12, 1), std::nullopt},
      {"d", 1e20, at1030, std::nullopt},
      {"x", 1, at1030, std::nullopt},
      {"", 1, at1030, std::nullopt},
      {"dd", 1, at1030, std::nullopt},
      {"d", 1, Date{kNaN}, std::nullopt},
  };
  for (const auto& row : rows) {
    std::string label = fmt::format("{} {} {}", row.interval, row.number, row.from.serial);
    if (row.want) {
      Date got = dateAdd(row.interval, row.number, row.from);
      EXPECT_NEAR(got.serial, row.want->serial, 1e-9) << label;
    } else {
      EXPECT_EQ(testing::errorNumber([&] { dateAdd(row.interval, row.number, row.from); }), 5) << label;
    }
  }
}

}  // namespace
}  // namespace mto::automation
