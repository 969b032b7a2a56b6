#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "automation/error.h"
#include "automation/platform.h"

// What every fuzz target shares: how an input becomes a locale, and the two verdicts. An automation
// error is a correct answer to bad input; any other exception, a crash or a broken invariant is a
// finding, reported by aborting so that the fuzzer (or the corpus replay) stops on it.

namespace mto::fuzz {

/// Aborts with a one-line finding; the fuzzer keeps the input that led here.
[[noreturn]] inline void finding(std::string_view what) {
  std::fprintf(stderr, "FINDING: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

/// Runs `f`; an automation error it raises is an answer, not a finding. Anything else escapes.
template <typename F>
void survive(F&& f) {
  try {
    f();
  } catch (const automation::AutomationError&) {
  }
}

/// A system locale picked by the input: one of the shapes real systems have (date orders,
/// separators, 12- and 24-hour clocks, month names of another language), or, for a quarter of the
/// inputs, patterns and separators taken from the input itself, as a user can set them.
inline automation::Locale pickLocale(FuzzedDataProvider& in) {
  struct Shape {
    const char* dateSeparator;
    const char* shortDate;
    const char* time;
    const char* thousands;
    const char* decimal;
    const char* currency;
  };
  static constexpr Shape kShapes[] = {
      {"/", "M/d/yyyy", "h:mm:ss tt", ",", ".", "$"},          // en-US
      {".", "dd.MM.yyyy", "HH:mm:ss", ".", ",", "\xE2\x82\xAC"},  // de-DE
      {"/", "dd/MM/yyyy", "HH:mm:ss", ",", ".", "\xC2\xA3"},      // en-GB
      {"/", "yyyy/M/d", "H:mm:ss", ",", ".", "\xC2\xA5"},         // zh-CN
      {"-", "yyyy-MM-dd", "HH:mm:ss", "\xC2\xA0", ",", "kr"},     // sv-SE
      {"-", "d-M-yy", "hh.mm.ss tt", " ", ",", "z\xC5\x82"},      // two-digit years, "." in times
      {".", "yy.MM.dd", "H.mm.ss", "'", ".", "CHF"},
      {"/", "MM/dd/yy", "h:mm tt", ",", ".", "$"},
  };
  automation::Locale locale;
  const Shape& shape = kShapes[in.ConsumeIntegralInRange<size_t>(0, std::size(kShapes) - 1)];
  locale.dateSeparator = shape.dateSeparator;
  locale.shortDatePattern = shape.shortDate;
  locale.timePattern = shape.time;
  locale.thousandsSeparator = shape.thousands;
  locale.decimalSeparator = shape.decimal;
  locale.currencySymbol = shape.currency;
  if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
    locale.dateSeparator = in.ConsumeRandomLengthString(3);
    locale.shortDatePattern = in.ConsumeRandomLengthString(16);
    locale.timePattern = in.ConsumeRandomLengthString(16);
    locale.thousandsSeparator = in.ConsumeRandomLengthString(3);
    locale.decimalSeparator = in.ConsumeRandomLengthString(3);
    locale.currencySymbol = in.ConsumeRandomLengthString(4);
  }
  if (in.ConsumeBool()) {
    locale.monthNames = {"Januar", "Februar", "M\xC3\xA4rz",  "April",   "Mai",      "Juni",
                         "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    locale.abbreviatedMonthNames = {"Jan", "Feb", "M\xC3\xA4r", "Apr", "Mai", "Jun",
                                    "Jul", "Aug", "Sep",        "Okt", "Nov", "Dez"};
  }
  return locale;
}

}  // namespace mto::fuzz
