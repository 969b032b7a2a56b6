// The runtime's conversions on any text under any locale shape: leading and whole numbers, number
// reading, Boolean, is-date and to-date, date texts and formats, numeric patterns, date arithmetic
// and the comparison of two Variants. Besides never crashing, the answers must agree with one
// another where their contracts tie them together.
#include <cmath>
#include <string>

#include "automation/convert.h"
#include "automation/dates.h"
#include "fuzz_support.h"

namespace {

using mto::automation::Date;
using mto::automation::Variant;
namespace a = mto::automation;
using mto::fuzz::finding;
using mto::fuzz::survive;

/// A Variant of a kind the input picks, each kind reachable with its edges.
Variant pickVariant(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 8)) {
    case 0: return Variant();
    case 1: return Variant::null();
    case 2: return Variant(in.ConsumeBool());
    case 3: return Variant(in.ConsumeIntegral<int16_t>());
    case 4: return Variant(in.ConsumeIntegral<int32_t>());
    case 5: return Variant(in.ConsumeFloatingPoint<double>());
    case 6: return Variant(Date{in.ConsumeFloatingPointInRange<double>(-700000.0, 3000000.0)});
    case 7: return Variant(Date{in.ConsumeFloatingPoint<double>()});
    default: return Variant(in.ConsumeRandomLengthString(64));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const a::Locale locale = mto::fuzz::pickLocale(in);
  const std::string text = in.ConsumeRandomLengthString(256);
  const Variant asText(text);

  survive([&] { (void)a::leadingNumber(std::string_view(text)); });
  survive([&] { (void)a::wholeNumber(std::string_view(text)); });
  survive([&] { (void)a::wholeNumberLong(std::string_view(text)); });

  bool tooLarge = false;  // a well-formed number beyond the Double range raises overflow
  const std::optional<double> number = [&]() -> std::optional<double> {
    try {
      return a::parseNumber(text, locale);
    } catch (const a::AutomationError&) {
      tooLarge = true;
      return std::nullopt;
    }
  }();
  if (number && !std::isfinite(*number)) finding("parseNumber read a number that is not finite");
  if (!tooLarge && a::isNumeric(asText, locale) != number.has_value())
    finding("isNumeric and parseNumber disagree");
  survive([&] { (void)a::toBoolean(asText, locale); });
  survive([&] {
    double d = a::toDouble(asText, locale);
    if (!number || d != *number) finding("toDouble of a text differs from parseNumber");
  });
  survive([&] { (void)a::toInteger(asText, locale); });
  survive([&] { (void)a::toLong(asText, locale); });

  const std::optional<Date> date = a::parseDate(text, locale);
  if (a::isDate(asText, locale) != date.has_value()) finding("isDate and parseDate disagree");
  if (date) {
    if (!(date->serial >= a::kMinDateSerial && date->serial < a::kMaxDateSerial + 1))
      finding("parseDate gave a date outside the date range");
    survive([&] { (void)a::dateText(*date, locale); });
    survive([&] { (void)a::toDate(asText, locale); });
  }

  const double value = in.ConsumeFloatingPoint<double>();
  const std::string pattern = in.ConsumeRandomLengthString(32);
  survive([&] { (void)a::formatNumber(value, pattern, locale); });
  survive([&] { (void)a::toText(Variant(value), locale); });
  const Date someDate{in.ConsumeFloatingPoint<double>()};
  survive([&] { (void)a::formatDate(someDate, pattern); });
  survive([&] { (void)a::dateText(someDate, locale); });
  survive([&] { (void)a::addDays(someDate, value); });
  survive([&] { (void)a::dateAdd(pattern, value, someDate); });

  const Variant left = pickVariant(in);
  const Variant right = pickVariant(in);
  survive([&] {
    std::optional<int> forth = a::compareVariants(left, right);
    std::optional<int> back = a::compareVariants(right, left);
    if (forth.has_value() != back.has_value() || (forth && (*forth < 0) != (*back > 0)))
      finding("compareVariants is not antisymmetric");
  });
  survive([&] { (void)a::equalsNumber(left, value); });
  survive([&] { (void)a::toText(left, locale); });
  survive([&] { (void)a::toDate(left, locale); });
  return 0;
}
