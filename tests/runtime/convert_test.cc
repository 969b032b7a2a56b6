#include "automation/convert.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "automation/dates.h"
#include "automation/error.h"
#include "common/error_number.h"
#include "runtime/conversion_outcome.h"

namespace mto::automation {
namespace {

using namespace test;

Locale plPL() {
  return Locale{".", "dd.MM.yyyy", "HH:mm:ss", "\xC2\xA0", ","};
}

TEST(LeadingNumber, ReadsUpToTheFirstCharacterThatCannotContinue) {
  struct Row {
    std::string text;
    Outcome<double> want;
  };
  const Row rows[] = {
      {" 2 45 7", 2457},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"1.2.3", 1.2},
      {"- 5", -5},
      {"1e-2", 0.01},
      {".5", 0.5},
      {"1e", 1},
      {"1e+", 1},
      {"50%", 50},
      {"    1615 198th Street N.E.", 1615198},
      {"24 and 57", 24},
      {"+5", 5},
      {"--5", 0},
      {"1..1", 1},
      {"1.5E3", 1500},
      {"9D4", 90000},
      {"1 e 3", 1000},
      {"\t1\n2\r3", 123},
      {"1\xE3\x80\x80"
       "3",
       13},
      {"x12", 0},
      {"&HFF", 0},
      {"1,000", 1},
      {"$5", 0},
      {"1e-400", 0},
      {"-.5", -0.5},
      {".e5", 0},
      {"00012.500", 12.5},
      {"1e99999999999999999999999", raises<double>(6)},
      {"1e400", raises<double>(6)},
      {std::string(400, '9'), raises<double>(6)},
  };
  for (const auto& row : rows)
    expectOutcome(
        row.want, [&] { return leadingNumber(std::string_view(row.text)); }, row.text);
}

TEST(LeadingNumber, ValuesGoThroughTheirText) {
  PlatformLocale german(deDE());
  EXPECT_EQ(leadingNumber(Variant(2.5)), 2);  // "2,5"
  EXPECT_EQ(leadingNumber(Variant("7.5x")), 7.5);
  EXPECT_EQ(leadingNumber(Variant()), 0);
  EXPECT_EQ(testing::errorNumber([] { leadingNumber(Variant::null()); }), 94);
}

TEST(WholeNumber, RoundsHalvesToEven) {
  struct Row {
    std::string_view text;
    Outcome<double> whole;
    Outcome<int32_t> asLong;
  };
  const Row rows[] = {
      {"2.5", 2, 2},
      {"3.5", 4, 4},
      {"-2.5", -2, -2},
      {"0.5", 0, 0},
      {"-1.5", -2, -2},
      {"0.6", 1, 1},
      {"abc", 0, 0},
      {"2147483647.4", 2147483647, 2147483647},
      {"-2147483648.5", -2147483648.0, std::numeric_limits<int32_t>::min()},
      {"2147483647.5", 2147483648.0, raises<int32_t>(6)},
      {"1e400", raises<double>(6), raises<int32_t>(6)},
  };
  for (const auto& row : rows) {
    expectOutcome(
        row.whole, [&] { return wholeNumber(row.text); }, std::string(row.text));
    expectOutcome(
        row.asLong, [&] { return wholeNumberLong(row.text); }, std::string(row.text));
  }
}

TEST(ParseNumber, ReadsTheWholeTextInTheLocale) {
  struct Row {
    std::string_view text;
    Locale locale;
    std::optional<double> want;
  };
  const Row rows[] = {
      {" 1,234.5 ", enUS(), 1234.5},
      {"5-", enUS(), -5},
      {"(5)", enUS(), -5},
      {"+1", enUS(), 1},
      {"1,,000", enUS(), 1000},
      {"1,00,0,,", enUS(), 1000},
      {",1,000", enUS(), std::nullopt},
      {"6,90", enUS(), 690},
      {"6,90", deDE(), 6.9},
      {"1.234,5", deDE(), 1234.5},
      {"1.5", plPL(), std::nullopt},
      {"1 234,5", plPL(), 1234.5},
      {"1\xC2\xA0"
       "234,5",
       plPL(), 1234.5},
      {"1.1.", enUS(), std::nullopt},
      {"1..1", enUS(), std::nullopt},
      {"1e1", enUS(), 10},
      {"1e-1", enUS(), 0.1},
      {"1e+01", enUS(), 10},
      {"1d2", enUS(), std::nullopt},  // D is no exponent marker here, unlike the leading number's
      {"1D3", enUS(), std::nullopt},
      {"1.234,5", enUS(), 1.2345},  // grouping separators count for nothing in the fraction too
      {"1,234.5", deDE(), 1.2345},
      {"1e", enUS(), std::nullopt},
      {"1e1.", enUS(), std::nullopt},
      {"&HF800", enUS(), 63488},
      {"&o0777", enUS(), 511},
      {"&HFF", enUS(), 255},
      {"&HFFFF", enUS(), 65535},  // read for a Double: no wrapping
      {"&H8000", enUS(), 32768},
      {"&H10000", enUS(), 65536},
      {"&H7FFFFFFF", enUS(), 2147483647},
      {"&H", enUS(), std::nullopt},
      {"&O8", enUS(), std::nullopt},
      {"-&H1", enUS(), std::nullopt},
      {"0x0", enUS(), std::nullopt},
      {"", enUS(), std::nullopt},
      {" \t", enUS(), std::nullopt},
      {"abc", enUS(), std::nullopt},
      {"12abc", enUS(), std::nullopt},
      {"45 Help", enUS(), std::nullopt},
      {"-5-", enUS(), std::nullopt},
      {".", enUS(), std::nullopt},
      {"-", enUS(), std::nullopt},
      {"5.", enUS(), 5},
      {".5", enUS(), 0.5},
      {"1e-400", enUS(), 0},
  };
  for (const auto& row : rows) {
    try {
      EXPECT_EQ(parseNumber(row.text, row.locale), row.want) << row.text;
    } catch (const AutomationError& e) {
      ADD_FAILURE() << row.text << " raised " << e.number();
    }
  }
  EXPECT_EQ(testing::errorNumber([] { parseNumber("1e400", enUS()); }), 6);
  EXPECT_EQ(testing::errorNumber([] { parseNumber("&H100000000", enUS()); }), 6);
  EXPECT_EQ(testing::errorNumber([] { parseNumber("&HFFFFFFFF", enUS()); }), 6);
  EXPECT_EQ(testing::errorNumber([] { parseNumber("&H80000000", enUS()); }), 6);
}

TEST(ParseNumber, SignsParenthesesAndCurrencySymbol) {
  struct Row {
    std::string_view text;
    std::optional<double> us;   // en-US defaults, "$"
    std::optional<double> dot;  // dotComma(), the euro sign
  };
  const std::optional<double> none;
  const Row rows[] = {
      {"12-", -12, -12},
      {" 12- ", -12, -12},
      {"12+", 12, 12},
      {"(12)", -12, -12},
      {" (1,234.5) ", -1234.5, -1.2345},
      {"(1.234,5)", -1.2345, -1234.5},
      {"$12", 12, none},
      {"12$", 12, none},
      {"$-12", -12, none},
      {"-$12", -12, none},
      {"$12-", -12, none},
      {"-12$", -12, none},
      {"($12)", -12, none},
      {"$1,234.50", 1234.5, none},
      {"\xE2\x82\xAC"
       "12",
       none, 12},
      {"1.234,50\xE2\x82\xAC", none, 1234.5},
      {"-1,5\xE2\x82\xAC", none, -1.5},
      // Blanks may stand between a sign, a symbol or a parenthesis and the digits.
      {"12 -", -12, -12},
      {"- 12", -12, -12},
      {"( 12 )", -12, -12},
      {"-(12)", -12, -12},
      {"$ 12", 12, none},
      {"12 $", 12, none},
      {" - $ 12 ", -12, none},
      {"12 \xE2\x82\xAC", none, 12},
      {"1 2", none, none},
      // One sign and one symbol at most; "(" needs its ")" and ")" its "(".
      {"$12$", none, none},
      {"-12-", none, none},
      {"- 12 -", none, none},
      {"+-12", none, none},
      {"(12", none, none},
      {"12)", none, none},
      {"(12))", none, none},
      {"$", none, none},
      {"$-", none, none},
      {"()", none, none},
      {"-$&HF", none, none},
  };
  for (const auto& row : rows) {
    try {
      EXPECT_EQ(parseNumber(row.text, enUS()), row.us) << row.text;
      EXPECT_EQ(parseNumber(row.text, dotComma()), row.dot) << row.text << " in d.M.yyyy";
    } catch (const AutomationError& e) {
      ADD_FAILURE() << row.text << " raised " << e.number();
    }
  }
  Locale noSymbol;
  noSymbol.currencySymbol.clear();
  EXPECT_EQ(parseNumber("$12", noSymbol), std::nullopt);
  EXPECT_EQ(parseNumber("12", noSymbol), 12);
}

TEST(Conversions, ToIntegerAndToLong) {
  struct Row {
    Variant in;
    Outcome<int16_t> integer;
    Outcome<int32_t> asLong;
  };
  const Row rows[] = {
      {0.5, int16_t{0}, 0},
      {1.5, int16_t{2}, 2},
      {2.5, int16_t{2}, 2},
      {3.5, int16_t{4}, 4},
      {-0.5, int16_t{0}, 0},
      {-1.5, int16_t{-2}, -2},
      {-2.5, int16_t{-2}, -2},
      {0.6, int16_t{1}, 1},
      {25427.45, int16_t{25427}, 25427},
      {25427.55, int16_t{25428}, 25428},
      {32768.0, raises<int16_t>(6), 32768},
      {"32768", raises<int16_t>(6), 32768},
      {32767.5, raises<int16_t>(6), 32768},
      {-32768.5, int16_t{-32768}, -32768},
      {"2147483648", raises<int16_t>(6), raises<int32_t>(6)},
      {"-2147483648", raises<int16_t>(6), std::numeric_limits<int32_t>::min()},
      {"2.5", int16_t{2}, 2},
      {" 1,234.5 ", int16_t{1234}, 1234},
      // Radix text is read at the target's width.
      {"&HFFFF", int16_t{-1}, 65535},
      {"&H8000", int16_t{-32768}, 32768},
      {"&H10000", raises<int16_t>(6), 65536},
      {"&HFFFFFFFF", raises<int16_t>(6), -1},
      {"&H80000000", raises<int16_t>(6), std::numeric_limits<int32_t>::min()},
      {"&H100000000", raises<int16_t>(6), raises<int32_t>(6)},
      {"&O177777", int16_t{-1}, 65535},
      {"12 -", int16_t{-12}, -12},
      {"1D3", raises<int16_t>(13), raises<int32_t>(13)},
      {"(12)", int16_t{-12}, -12},
      {"$2.5", int16_t{2}, 2},
      {"12abc", raises<int16_t>(13), raises<int32_t>(13)},
      {"", raises<int16_t>(13), raises<int32_t>(13)},
      {Variant::null(), raises<int16_t>(94), raises<int32_t>(94)},
      {Variant(), int16_t{0}, 0},
      {true, int16_t{-1}, -1},
      {Date{46362.5}, raises<int16_t>(6), 46362},
      {kNaN, raises<int16_t>(6), raises<int32_t>(6)},
      {kInf, raises<int16_t>(6), raises<int32_t>(6)},
      {nullptr, raises<int16_t>(13), raises<int32_t>(13)},
      {Variant::missing(), raises<int16_t>(13), raises<int32_t>(13)},
      {Array{Variant(1.0)}, raises<int16_t>(13), raises<int32_t>(13)},
  };
  for (const auto& row : rows) {
    expectOutcome(
        row.integer, [&] { return toInteger(row.in, enUS()); }, describe(row.in));
    expectOutcome(
        row.asLong, [&] { return toLong(row.in, enUS()); }, describe(row.in));
  }
}

TEST(Conversions, ToBoolean) {
  struct Row {
    Variant in;
    Locale locale;
    Outcome<bool> want;
  };
  const Row rows[] = {
      {0.0, enUS(), false},
      {0.1, enUS(), true},
      {"$0", enUS(), false},
      {"(1)", enUS(), true},
      {int32_t{-3}, enUS(), true},
      {Date{0}, enUS(), false},
      {"True", enUS(), true},
      {"true", enUS(), true},
      {"FALSE", enUS(), false},
      {"#TRUE#", enUS(), true},
      {"#FALSE#", enUS(), false},
      {"#False#", enUS(), raises<bool>(13)},
      {"0", enUS(), false},
      {"-1", enUS(), true},
      {"+1", enUS(), true},
      {"0.1", enUS(), true},
      {"0.1", plPL(), raises<bool>(13)},
      {"Yes", enUS(), raises<bool>(13)},
      {"On", enUS(), raises<bool>(13)},
      {"", enUS(), raises<bool>(13)},
      {Variant::null(), enUS(), raises<bool>(94)},
      {Variant(), enUS(), false},
      {nullptr, enUS(), raises<bool>(13)},
  };
  for (const auto& row : rows)
    expectOutcome(
        row.want, [&] { return toBoolean(row.in, row.locale); }, describe(row.in));
}

TEST(Conversions, ToDoubleAndIsNumeric) {
  struct Row {
    Variant in;
    Outcome<double> value;
    bool numeric;
  };
  const Row rows[] = {
      {Variant(), 0.0, true},
      {"", raises<double>(13), false},
      {Date{46362}, 46362.0, false},
      {Variant::null(), raises<double>(94), false},
      {"53", 53.0, true},
      {"459.95", 459.95, true},
      {"45 Help", raises<double>(13), false},
      {" 1,234.5 ", 1234.5, true},
      {"$12", 12.0, true},
      {"(5)", -5.0, true},
      {"- 12", -12.0, true},
      {"1e400", raises<double>(6), false},
      {true, -1.0, true},
      {int16_t{7}, 7.0, true},
      {nullptr, raises<double>(13), false},
      {Variant::missing(), raises<double>(13), false},
  };
  for (const auto& row : rows) {
    expectOutcome(
        row.value, [&] { return toDouble(row.in, enUS()); }, describe(row.in));
    EXPECT_EQ(isNumeric(row.in, enUS()), row.numeric) << describe(row.in);
  }
}

TEST(Conversions, ToText) {
  struct Row {
    Variant in;
    Locale locale;
    Outcome<std::string> want;
  };
  const Row rows[] = {
      {2.5, enUS(), std::string("2.5")},
      {0.1, enUS(), std::string("0.1")},
      {0.1 + 0.2, enUS(), std::string("0.3")},
      {1.0 / 3, enUS(), std::string("0.333333333333333")},
      {1234567.0, enUS(), std::string("1234567")},
      {123456789012345.0, enUS(), std::string("123456789012345")},
      {1e15, enUS(), std::string("1E+15")},
      {1e20, enUS(), std::string("1E+20")},
      {-1.5e-5, enUS(), std::string("-1.5E-05")},
      {0.0001, enUS(), std::string("0.0001")},
      {-0.0, enUS(), std::string("0")},
      {2.5, deDE(), std::string("2,5")},
      {int16_t{5}, enUS(), std::string("5")},
      {int32_t{-70000}, enUS(), std::string("-70000")},
      {true, enUS(), std::string("True")},
      {false, enUS(), std::string("False")},
      {Variant(), enUS(), std::string()},
      {"as is", enUS(), std::string("as is")},
      {Date{46362}, enUS(), std::string("12/6/2026")},
      {Date{46362}, deDE(), std::string("06.12.2026")},
      {Variant::null(), enUS(), raises<std::string>(94)},
      {kInf, enUS(), raises<std::string>(6)},
      {kNaN, enUS(), raises<std::string>(6)},
      {Variant::missing(), enUS(), raises<std::string>(13)},
      {Array{}, enUS(), raises<std::string>(13)},
  };
  for (const auto& row : rows)
    expectOutcome(
        row.want, [&] { return toText(row.in, row.locale); }, describe(row.in));
}

TEST(CompareVariants, BothOperandsVariant) {
  struct Row {
    Variant a;
    Variant b;
    Outcome<std::optional<int>> want;
  };
  using R = std::optional<int>;
  const Row rows[] = {
      {"5", int32_t{4}, R(1)},
      {"0", 0.0, R(1)},
      {"-1", int32_t{42}, R(1)},
      {0.0, Variant(), R(0)},
      {int16_t{5}, Variant(), R(1)},
      {-1.0, Variant(), R(-1)},
      {Variant(), "", R(0)},
      {"0", Variant(), R(1)},
      {"", "0", R(-1)},
      {"7", "42", R(1)},
      {"A", "a", R(-1)},
      {"a", "B", R(1)},
      {"a ", "a", R(1)},
      {"\xC3\xA9", "z", R(1)},
      {Variant(), Variant(), R(0)},
      {Variant::null(), int32_t{1}, R()},
      {"x", Variant::null(), R()},
      {Date{46362.4375}, Date{46362}, R(1)},
      {true, 0.0, R(-1)},
      {int16_t{2}, 2.0, R(0)},
      {nullptr, int32_t{1}, raises<R>(13)},
      {"a", Array{}, raises<R>(13)},
      {Variant::missing(), Variant(), raises<R>(13)},
  };
  for (const auto& row : rows)
    expectOutcome(
        row.want, [&] { return compareVariants(row.a, row.b); }, describe(row.a) + " vs " + describe(row.b));
}

// Conversions and dates together: every text- or number-taking entry point, arbitrary input.
TEST(Conversions, ArbitraryInputRaisesOnlyAutomationErrors) {
  static const char* const kPieces[] = {
      "1",    "12",       "2026",   "0",    ".",      ",",    "-",    "+",           "e",
      "D",    "&H",       "&O",     "(",    ")",      " ",    "\t",   "\xC2\xA0",    "\xE3\x80\x80",
      "#",    "99999999", "e99999", "True", "#TRUE#", "\xff", "\x80", "%",           "'",
      "/",    ":",        "AM",     "pm",   "T",      "d",    "dddd", "M",           "MMM",
      "yyyy", "y",        "h",      "tt",   "Dec",    "May",  "$",    "\xE2\x82\xAC"};
  static const char* const kSeparators[] = {"",  ".", ",", " ", "\xC2\xA0", "e", "1",
                                            "-", "&", "/", ":", "'",        "(", "$"};
  static const char* const kIntervals[] = {"yyyy", "q", "m", "y", "d", "w", "ww", "h", "n", "s", "x", ""};
  std::mt19937 rng(20261206);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  auto text = [&] {
    std::string s;
    size_t parts = pick(10);
    for (size_t i = 0; i < parts; ++i) {
      if (pick(3) == 0)
        s.push_back(static_cast<char>(pick(256)));
      else
        s += kPieces[pick(std::size(kPieces))];
    }
    return s;
  };
  auto number = [&] {
    static const double kSpecial[] = {kNaN,   kInf, -kInf, 0.0,  -0.0,      1e308,        -1e308,
                                      5e-324, 0.5,  2.5,   1e15, -657434.5, 2958465.9999, -0.25};
    if (pick(2) == 0) return kSpecial[pick(std::size(kSpecial))];
    if (pick(2) == 0) return std::uniform_real_distribution<double>(-700000, 3000000)(rng);
    uint64_t bits = (uint64_t{static_cast<uint32_t>(rng())} << 32) | static_cast<uint32_t>(rng());
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  };
  auto survive = [](const std::string& label, auto&& call) {
    try {
      call();
    } catch (const AutomationError&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << label << ": " << e.what();
    }
  };
  for (int i = 0; i < 20000; ++i) {
    Locale locale;
    locale.thousandsSeparator = kSeparators[pick(std::size(kSeparators))];
    locale.decimalSeparator = kSeparators[pick(std::size(kSeparators))];
    locale.dateSeparator = kSeparators[pick(std::size(kSeparators))];
    locale.currencySymbol = kSeparators[pick(std::size(kSeparators))];
    locale.shortDatePattern = text();
    locale.timePattern = text();
    const std::string s = text();
    const double d = number();
    const Variant v = pick(2) == 0 ? Variant(s) : Variant(d);
    survive(s, [&] { leadingNumber(std::string_view(s)); });
    survive(s, [&] { wholeNumber(s); });
    survive(s, [&] { wholeNumberLong(s); });
    survive(s, [&] { parseNumber(s, locale); });
    survive(s, [&] { isNumeric(v, locale); });
    survive(s, [&] { toBoolean(v, locale); });
    survive(s, [&] { toInteger(v, locale); });
    survive(s, [&] { toLong(v, locale); });
    survive(s, [&] { toText(v, locale); });
    survive(s, [&] { formatNumber(d, s, locale); });
    survive(s, [&] { compareVariants(v, Variant(text())); });
    survive(s, [&] { parseDate(s, locale); });
    survive(s, [&] { isDate(v, locale); });
    survive(s, [&] { toDate(v, locale); });
    survive(s, [&] { formatDate(Date{d}, s); });
    survive(s, [&] { dateText(Date{d}, locale); });
    survive(s, [&] { addDays(Date{d}, number()); });
    survive(s, [&] {
      dateAdd(pick(4) == 0 ? std::string_view(s) : kIntervals[pick(std::size(kIntervals))], number(),
              Date{d});
    });
  }
}

}  // namespace
}  // namespace mto::automation
