#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "automation/convert.h"
#include "automation/error.h"

// Numeric pattern formatting ("##,##0.000", "##,##0."): the pattern taken apart, the value's
// decimal digits rounded on its 15 significant digits, then the text in the locale's separators.

namespace mto::automation {

namespace {

// A "#0,." pattern taken apart.
struct NumberPattern {
  int intZeros = 0;        // "0" places before the point: the minimum integer digits
  bool grouping = false;   // a "," between digit places
  int thousandsScale = 0;  // "," right of the last integer digit place: each divides by 1000
  bool point = false;
  std::string fraction;  // the "#"/"0" places after the point, in order
};

NumberPattern parseNumberPattern(std::string_view pattern) {
  NumberPattern p;
  size_t point = pattern.find('.');
  std::string_view intPart = pattern.substr(0, point);
  p.point = point != std::string_view::npos;
  size_t first = intPart.find_first_of("#0");
  size_t last = intPart.find_last_of("#0");
  for (size_t i = 0; i < intPart.size(); ++i) {
    char c = intPart[i];
    if (c == '0') {
      ++p.intZeros;
    } else if (c == ',') {
      if (last == std::string_view::npos) continue;
      if (i > last)
        p.thousandsScale = std::min(p.thousandsScale + 1, 1000);  // beyond it all is 0
      else if (i > first)
        p.grouping = true;
    } else if (c != '#') {
      raiseError(errc::kInvalidCall, fmt::format("Unsupported number format \"{}\"", pattern));
    }
  }
  if (p.point) {
    for (char c : pattern.substr(point + 1)) {
      if (c != '#' && c != '0')
        raiseError(errc::kInvalidCall, fmt::format("Unsupported number format \"{}\"", pattern));
      p.fraction.push_back(c);
    }
  }
  return p;
}

// |value| as decimal digits: value = 0.<digits> x 10^pointPos, digits without trailing zeros,
// taken from its 15 significant digits (the precision the runtime shows a Double with).
struct DecimalDigits {
  std::string digits;
  int pointPos = 0;
};

DecimalDigits decimalDigits(double value) {
  std::string text = fmt::format("{:.14e}", std::fabs(value));  // "d.dddddddddddddde+XX"
  DecimalDigits d;
  size_t e = text.find('e');
  d.digits.push_back(text[0]);
  d.digits.append(text, 2, e - 2);
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), exponent);
  d.pointPos = exponent + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Rounds half away from zero (on the magnitude) to `places` digits after the point.
void roundDigits(DecimalDigits& d, int places) {
  long long keep = static_cast<long long>(d.pointPos) + places;
  if (keep >= static_cast<long long>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  bool up = d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(static_cast<size_t>(keep));
  if (!up) return;
  size_t i = d.digits.size();
  while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
  if (i > 0) {
    ++d.digits[i - 1];
  } else {
    d.digits.insert(d.digits.begin(), '1');
    ++d.pointPos;
  }
}

char digitAt(const DecimalDigits& d, long long index) {
  return index >= 0 && index < static_cast<long long>(d.digits.size()) ? d.digits[static_cast<size_t>(index)]
                                                                       : '0';
}

}  // namespace

std::string formatNumber(double value, std::string_view pattern, const Locale& locale) {
  if (!std::isfinite(value)) raiseError(errc::kOverflow);
  if (pattern.empty()) return toText(Variant(value), locale);
  NumberPattern p = parseNumberPattern(pattern);
  DecimalDigits d = decimalDigits(value);
  if (d.digits.empty()) d.pointPos = 0;
  d.pointPos -= 3 * p.thousandsScale;
  const int places = static_cast<int>(p.fraction.size());
  roundDigits(d, places);

  std::string intDigits;
  for (long long i = 0; i < d.pointPos; ++i) intDigits.push_back(digitAt(d, i));
  size_t firstNonZero = intDigits.find_first_not_of('0');
  intDigits.erase(0, firstNonZero == std::string::npos ? intDigits.size() : firstNonZero);
  if (intDigits.size() < static_cast<size_t>(p.intZeros))
    intDigits.insert(0, static_cast<size_t>(p.intZeros) - intDigits.size(), '0');

  std::string fracDigits;
  for (int i = 0; i < places; ++i) fracDigits.push_back(digitAt(d, static_cast<long long>(d.pointPos) + i));
  // "#" places print a digit only when it is significant.
  while (!fracDigits.empty() && fracDigits.back() == '0' && p.fraction[fracDigits.size() - 1] == '#')
    fracDigits.pop_back();

  std::string out;
  if (value < 0) out.push_back('-');  // kept when the value rounds to zero: "-0.00"
  if (p.grouping && !locale.thousandsSeparator.empty()) {
    for (size_t i = 0; i < intDigits.size(); ++i) {
      if (i > 0 && (intDigits.size() - i) % 3 == 0) out += locale.thousandsSeparator;
      out.push_back(intDigits[i]);
    }
  } else {
    out += intDigits;
  }
  if (p.point) out += locale.decimalSeparator;
  out += fracDigits;
  return out;
}

std::string formatNumber(double value, std::string_view pattern) {
  return formatNumber(value, pattern, platform().locale());
}

}  // namespace mto::automation
