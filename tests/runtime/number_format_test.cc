#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

#include "automation/convert.h"
#include "runtime/conversion_outcome.h"

namespace mto::automation {
namespace {

using namespace test;

TEST(FormatNumber, Patterns) {
  struct Row {
    double value;
    std::string_view pattern;
    Locale locale;
    Outcome<std::string> want;
  };
  const Row rows[] = {
      {1234, "##,##0.", enUS(), std::string("1,234.")},
      {1234.6, "##,##0.", enUS(), std::string("1,235.")},
      {1234.5, "##,##0.", enUS(), std::string("1,235.")},
      {0, "##,##0.", enUS(), std::string("0.")},
      {1234567.25, "##,##0.", enUS(), std::string("1,234,567.")},
      {-7.2, "##,##0.", enUS(), std::string("-7.")},
      {1234.5, "##,##0.000", enUS(), std::string("1,234.500")},
      {0, "##,##0.000", enUS(), std::string("0.000")},
      {1234567.25, "##,##0.000", enUS(), std::string("1,234,567.250")},
      {-7.2, "##,##0.000", enUS(), std::string("-7.200")},
      {1234.5, "##,##0.00", deDE(), std::string("1.234,50")},
      {5459.4, "##,##0.00", enUS(), std::string("5,459.40")},
      {1, "#.#", enUS(), std::string("1.")},
      {0, "#.#", enUS(), std::string(".")},
      {123456789, "#,#.#", enUS(), std::string("123,456,789.")},
      {0, "#", enUS(), std::string()},
      {1.7, "#0", enUS(), std::string("2")},
      {9.9999999, "#0.000000", enUS(), std::string("10.000000")},
      {0.0049, "#.##", enUS(), std::string(".")},
      {0.0995, "#.##", enUS(), std::string(".1")},
      {8.0995, "#.##", enUS(), std::string("8.1")},
      {-1.57, "0.00", enUS(), std::string("-1.57")},
      {-0.1, ".#", enUS(), std::string("-.1")},
      {2.675, "0.00", enUS(), std::string("2.68")},
      {1.005, "0.00", enUS(), std::string("1.01")},
      // A negative value keeps its "-" when it rounds to zero.
      {-0.0004, "0.000", enUS(), std::string("-0.000")},
      {-0.004, "0.00", enUS(), std::string("-0.00")},
      {-0.4, "0", enUS(), std::string("-0")},
      {-0.4, "##,##0.", enUS(), std::string("-0.")},
      {-0.00004, "##,##0.0000", enUS(), std::string("-0.0000")},
      {-0.004, "#,##0.00", dotComma(), std::string("-0,00")},
      {0.0, "##,##0.00", enUS(), std::string("0.00")},
      {-0.005, "0.00", enUS(), std::string("-0.01")},
      {-1234.5, "#,##0.00", dotComma(), std::string("-1.234,50")},
      {-0.5, "0", enUS(), std::string("-1")},
      {999.9996, "#,##0.000", enUS(), std::string("1,000.000")},
      {5, "00,000", enUS(), std::string("00,005")},
      {1234567, "#,##0,", enUS(), std::string("1,235")},
      {1e20, "0", enUS(), std::string("100000000000000000000")},
      {2.5, "", enUS(), std::string("2.5")},
      {1, "0.0.0", enUS(), raises<std::string>(5)},
      {1, "$0", enUS(), raises<std::string>(5)},
      {1, "0.0,", enUS(), raises<std::string>(5)},
      {kInf, "0", enUS(), raises<std::string>(6)},
      {kNaN, "0", enUS(), raises<std::string>(6)},
  };
  for (const auto& row : rows)
    expectOutcome(
        row.want, [&] { return formatNumber(row.value, row.pattern, row.locale); },
        fmt::format("{} \"{}\"", row.value, row.pattern));
}

}  // namespace
}  // namespace mto::automation
