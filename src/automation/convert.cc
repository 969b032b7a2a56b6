#include "automation/ascii.h"
#include "automation/convert.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "automation/dates.h"
#include "automation/error.h"

namespace mto::automation {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The width radix text is read at: that of the conversion's target.
enum class RadixWidth { Double, Bits16, Bits32 };

// Largest decimal exponent we bother to carry: beyond it the value is certainly infinite or zero,
// and saturating keeps absurd exponent texts from overflowing the counter.
constexpr long long kExponentCap = 100000;

void appendExponentDigit(long long& exponent, char digit) {
  if (exponent < kExponentCap) exponent = exponent * 10 + (digit - '0');
}

// A decimal number as read from text: sign, digits before and after the point, and an exponent.
struct DecimalText {
  bool negative = false;
  std::string_view intDigits;
  std::string_view fracDigits;
  long long exponent = 0;
};

// Converts through from_chars (locale-independent, correctly rounded). Overflow raises 6; a value
// too small for a Double is 0, as the classic parsers give.
double decimalToDouble(const DecimalText& number) {
  std::string_view intPart = number.intDigits;
  std::string_view fracPart = number.fracDigits;
  while (!intPart.empty() && intPart.front() == '0') intPart.remove_prefix(1);
  long long pointPos = static_cast<long long>(intPart.size());
  if (intPart.empty()) {
    while (!fracPart.empty() && fracPart.front() == '0') {
      fracPart.remove_prefix(1);
      --pointPos;
    }
  }
  std::string digits;
  digits.reserve(intPart.size() + fracPart.size());
  digits.append(intPart).append(fracPart);
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return 0.0;
  pointPos += std::clamp(number.exponent, -kExponentCap, kExponentCap);
  // value = 0.<digits> x 10^pointPos
  if (pointPos > 310) raiseError(errc::kOverflow);
  if (pointPos < -400) return 0.0;
  std::string text = fmt::format("0.{}e{}", digits, pointPos);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (pointPos > 0) raiseError(errc::kOverflow);
    return 0.0;
  }
  if (ec != std::errc{} || end != text.data() + text.size()) raiseError(errc::kTypeMismatch);
  if (std::isinf(value)) raiseError(errc::kOverflow);
  if (value == 0) return 0.0;
  return number.negative ? -value : value;
}

// The classic runtime prints a Double with at most 15 significant digits, switching to
// "1.5E+20"/"1E-05" outside 1E-04 .. 1E+15; %G with precision 15 has exactly that shape.
std::string doubleText(double value, const Locale& locale) {
  if (!std::isfinite(value)) raiseError(errc::kOverflow);
  if (value == 0) return "0";
  std::string text = fmt::format("{:.15G}", value);
  auto point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, locale.decimalSeparator);
  return text;
}

bool startsWith(std::string_view text, size_t pos, std::string_view part) {
  return !part.empty() && text.substr(pos, part.size()) == part;
}

// Blanks the whole-text number parser tolerates around the number (NBSP included).
size_t blankLength(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  switch (text[pos]) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '\v':
    case '\f':
      return 1;
    default:
      break;
  }
  if (startsWith(text, pos, "\xC2\xA0")) return 2;
  return 0;
}

std::string_view trimBlanks(std::string_view text) {
  size_t start = 0;
  while (size_t n = blankLength(text, start)) start += n;
  text.remove_prefix(start);
  for (;;) {
    if (!text.empty() && blankLength(text, text.size() - 1) == 1) {
      text.remove_suffix(1);
    } else if (text.size() >= 2 && blankLength(text, text.size() - 2) == 2) {
      text.remove_suffix(2);
    } else {
      return text;
    }
  }
}

// "&H"/"&O" numbers read at the width of the target: a 16-bit target wraps values up to &HFFFF to
// signed, a 32-bit one up to &HFFFFFFFF; a Double takes the value as it stands up to &H7FFFFFFF.
// Anything wider overflows.
std::optional<double> radixNumber(std::string_view body, RadixWidth width) {
  if (body.size() < 3 || body[0] != '&') return std::nullopt;
  int radix = 0;
  if (body[1] == 'H' || body[1] == 'h') radix = 16;
  if (body[1] == 'O' || body[1] == 'o') radix = 8;
  if (radix == 0) return std::nullopt;
  uint64_t value = 0;
  bool tooWide = false;
  for (char c : body.substr(2)) {
    int digit = -1;
    if (isDigit(c))
      digit = c - '0';
    else if (radix == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (radix == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0 || digit >= radix) return std::nullopt;
    value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) {
      tooWide = true;
      value = uint64_t{0xFFFFFFFFu} + 1;  // keeps reading the digits without overflowing the counter
    }
  }
  switch (width) {
    case RadixWidth::Bits16:
      if (value > 0xFFFFu) raiseError(errc::kOverflow);
      return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(value)));
    case RadixWidth::Bits32:
      if (tooWide) raiseError(errc::kOverflow);
      return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
    case RadixWidth::Double:
      break;
  }
  if (value > 0x7FFFFFFFu) raiseError(errc::kOverflow);
  return static_cast<double>(value);
}

// The thousands separator, plus a plain space where the locale groups with a no-break space.
size_t groupSeparatorLength(std::string_view text, size_t pos, const Locale& locale) {
  const std::string& sep = locale.thousandsSeparator;
  if (startsWith(text, pos, sep)) return sep.size();
  bool noBreak = sep == "\xC2\xA0" || sep == "\xE2\x80\xAF";
  if (noBreak && pos < text.size() && text[pos] == ' ') return 1;
  return 0;
}

// Digits with grouping separators anywhere after the first digit (in the fraction too), one
// decimal separator and an exponent; `pos` is left after the number.
std::optional<double> decimalNumber(std::string_view body, size_t& pos, bool negative, const Locale& locale) {
  std::string intDigits;  // grouping separators removed
  std::string fracDigits;
  bool seenDigit = false;
  bool seenPoint = false;
  while (pos < body.size()) {
    if (isDigit(body[pos])) {
      (seenPoint ? fracDigits : intDigits).push_back(body[pos++]);
      seenDigit = true;
    } else if (!seenPoint && startsWith(body, pos, locale.decimalSeparator)) {
      pos += locale.decimalSeparator.size();
      seenPoint = true;
    } else if (size_t n = seenDigit ? groupSeparatorLength(body, pos, locale) : 0) {
      pos += n;
    } else {
      break;
    }
  }
  if (!seenDigit) return std::nullopt;
  long long exponent = 0;
  if (pos < body.size() && (body[pos] == 'e' || body[pos] == 'E')) {
    ++pos;
    bool expNegative = false;
    if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) expNegative = body[pos++] == '-';
    if (pos >= body.size() || !isDigit(body[pos])) return std::nullopt;
    while (pos < body.size() && isDigit(body[pos])) appendExponentDigit(exponent, body[pos++]);
    if (expNegative) exponent = -exponent;
  }
  return decimalToDouble({negative, intDigits, fracDigits, exponent});
}

// The whole-text number reading behind `parseNumber`, with radix numbers read at `width`.
std::optional<double> readNumber(std::string_view text, const Locale& locale, RadixWidth width) {
  std::string_view body = trimBlanks(text);
  if (body.empty()) return std::nullopt;
  if (body.front() == '&') return radixNumber(body, width);  // radix numbers take no sign
  // Before the digits, in any order and with blanks between: one sign, one currency symbol, one
  // opening parenthesis; after them the sign or symbol not used yet and the closing parenthesis.
  bool hasSign = false;
  bool negative = false;
  bool currency = false;
  bool parenthesis = false;
  const std::string_view symbol = locale.currencySymbol;
  size_t pos = 0;
  auto takeMark = [&](bool leading) {
    char c = body[pos];
    if (!hasSign && (c == '+' || c == '-')) {
      hasSign = true;
      negative = negative || c == '-';
      ++pos;
    } else if (!currency && startsWith(body, pos, symbol)) {
      currency = true;
      pos += symbol.size();
    } else if (leading && !parenthesis && c == '(') {
      parenthesis = true;
      negative = true;
      ++pos;
    } else if (!leading && parenthesis && c == ')') {
      parenthesis = false;
      ++pos;
    } else {
      return false;
    }
    return true;
  };
  for (;;) {
    while (size_t n = blankLength(body, pos)) pos += n;
    if (pos >= body.size() || !takeMark(true)) break;
  }
  auto number = decimalNumber(body, pos, false, locale);
  if (!number) return std::nullopt;
  for (;;) {
    while (size_t n = blankLength(body, pos)) pos += n;
    if (pos >= body.size() || !takeMark(false)) break;
  }
  if (pos != body.size() || parenthesis) return std::nullopt;
  return negative && *number != 0 ? -*number : *number;
}

// Which group a Variant falls in for the language's comparison.
enum class CompareKind { Empty, Number, Text };

CompareKind compareKind(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
      return CompareKind::Empty;
    case VarType::String:
      return CompareKind::Text;
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Date:
      return CompareKind::Number;
    default:
      raiseError(errc::kTypeMismatch);
  }
}

double numberOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Boolean:
      return v.boolValue() ? -1.0 : 0.0;
    case VarType::Integer:
      return v.integerValue();
    case VarType::Long:
      return v.longValue();
    case VarType::Double:
      return v.doubleValue();
    case VarType::Date:
      return v.dateValue().serial;
    default:
      return 0.0;
  }
}

int sign(double a, double b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

double leadingNumber(std::string_view text) {
  // Blanks count for nothing anywhere, even between digits.
  std::string s;
  s.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (startsWith(text, i, "\xE3\x80\x80")) {
      i += 2;
      continue;
    }
    s.push_back(c);
  }
  size_t pos = 0;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
  size_t intStart = pos;
  while (pos < s.size() && isDigit(s[pos])) ++pos;
  std::string_view view(s);
  std::string_view intDigits = view.substr(intStart, pos - intStart);
  std::string_view fracDigits;
  if (pos < s.size() && s[pos] == '.') {
    size_t fracStart = ++pos;
    while (pos < s.size() && isDigit(s[pos])) ++pos;
    fracDigits = view.substr(fracStart, pos - fracStart);
  }
  if (intDigits.empty() && fracDigits.empty()) return 0.0;
  long long exponent = 0;
  if (pos < s.size() && std::string_view("eEdD").find(s[pos]) != std::string_view::npos) {
    size_t e = pos + 1;
    bool expNegative = false;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) expNegative = s[e++] == '-';
    // A marker without digits is not part of the number.
    while (e < s.size() && isDigit(s[e])) appendExponentDigit(exponent, s[e++]);
    if (expNegative) exponent = -exponent;
  }
  return decimalToDouble({negative, intDigits, fracDigits, exponent});
}

double leadingNumber(const Variant& value) {
  if (value.isNull()) raiseError(errc::kInvalidUseOfNull);
  if (value.isString()) return leadingNumber(std::string_view(value.stringValue()));
  return leadingNumber(std::string_view(toText(value)));
}

double roundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  double floor = std::floor(value);
  double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

double wholeNumber(std::string_view text) {
  return roundHalfEven(leadingNumber(text));
}

int32_t wholeNumberLong(std::string_view text) {
  double whole = wholeNumber(text);
  if (whole < -2147483648.0 || whole > 2147483647.0) raiseError(errc::kOverflow);
  return static_cast<int32_t>(whole);
}

std::optional<double> parseNumber(std::string_view text, const Locale& locale) {
  return readNumber(text, locale, RadixWidth::Double);
}

bool isNumeric(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
      return true;
    case VarType::String:
      try {
        return parseNumber(value.stringValue(), locale).has_value();
      } catch (const AutomationError&) {
        return false;  // too large for a Double: conversion would fail
      }
    default:
      return false;
  }
}

bool isNumeric(const Variant& value) {
  return value.isString() ? isNumeric(value, platform().locale()) : isNumeric(value, defaultLocale());
}

bool toBoolean(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::Empty:
      return false;
    case VarType::Null:
      raiseError(errc::kInvalidUseOfNull);
    case VarType::Boolean:
      return value.boolValue();
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Date:
      return numberOf(value) != 0;
    case VarType::String: {
      const std::string& s = value.stringValue();
      if (ascii::equalsIgnoreCase(s, "true") || s == "#TRUE#") return true;
      if (ascii::equalsIgnoreCase(s, "false") || s == "#FALSE#") return false;
      if (auto number = parseNumber(s, locale)) return *number != 0;
      raiseError(errc::kTypeMismatch);
    }
    default:
      raiseError(errc::kTypeMismatch);
  }
}

bool toBoolean(const Variant& value) {
  return value.isString() ? toBoolean(value, platform().locale()) : toBoolean(value, defaultLocale());
}

double toDouble(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::Empty:
      return 0.0;
    case VarType::Null:
      raiseError(errc::kInvalidUseOfNull);
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Date:
      return numberOf(value);
    case VarType::String:
      if (auto number = parseNumber(value.stringValue(), locale)) return *number;
      raiseError(errc::kTypeMismatch);
    default:
      raiseError(errc::kTypeMismatch);
  }
}

double toDouble(const Variant& value) {
  return value.isString() ? toDouble(value, platform().locale()) : toDouble(value, defaultLocale());
}

namespace {

// Text read for a whole-number target: radix text at the target's width.
double wholeSource(const Variant& value, const Locale& locale, RadixWidth width) {
  if (!value.isString()) return toDouble(value, locale);
  if (auto number = readNumber(value.stringValue(), locale, width)) return *number;
  raiseError(errc::kTypeMismatch);
}

}  // namespace

int16_t toInteger(const Variant& value, const Locale& locale) {
  double whole = roundHalfEven(wholeSource(value, locale, RadixWidth::Bits16));
  if (!(whole >= -32768.0 && whole <= 32767.0)) raiseError(errc::kOverflow);  // NaN included
  return static_cast<int16_t>(whole);
}

int16_t toInteger(const Variant& value) {
  return value.isString() ? toInteger(value, platform().locale()) : toInteger(value, defaultLocale());
}

int32_t toLong(const Variant& value, const Locale& locale) {
  double whole = roundHalfEven(wholeSource(value, locale, RadixWidth::Bits32));
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) raiseError(errc::kOverflow);
  return static_cast<int32_t>(whole);
}

int32_t toLong(const Variant& value) {
  return value.isString() ? toLong(value, platform().locale()) : toLong(value, defaultLocale());
}

std::string toText(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::Empty:
      return {};
    case VarType::Null:
      raiseError(errc::kInvalidUseOfNull);
    case VarType::Boolean:
      return value.boolValue() ? "True" : "False";
    case VarType::Integer:
      return fmt::format("{}", value.integerValue());
    case VarType::Long:
      return fmt::format("{}", value.longValue());
    case VarType::Double:
      return doubleText(value.doubleValue(), locale);
    case VarType::Date:
      return dateText(value.dateValue(), locale);
    case VarType::String:
      return value.stringValue();
    default:
      raiseError(errc::kTypeMismatch);
  }
}

std::string toText(const Variant& value) {
  // Only a Double (its decimal separator) and a Date (its patterns) are written by the locale.
  if (value.type() == VarType::Double || value.isDate()) return toText(value, platform().locale());
  return toText(value, defaultLocale());
}

bool equalsNumber(const Variant& value, double number) {
  if (value.isNull() || !isNumeric(value)) return false;
  return toDouble(value) == number;
}

std::optional<int> compareVariants(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return std::nullopt;
  CompareKind ka = compareKind(a);
  CompareKind kb = compareKind(b);
  if (ka == CompareKind::Empty && kb == CompareKind::Empty) return 0;
  if (ka == CompareKind::Text && kb == CompareKind::Text) {
    int c = a.stringValue().compare(b.stringValue());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (ka == CompareKind::Text || kb == CompareKind::Text) {
    // A number is less than any string; Empty stands for "".
    if (ka == CompareKind::Empty) return b.stringValue().empty() ? 0 : -1;
    if (kb == CompareKind::Empty) return a.stringValue().empty() ? 0 : 1;
    return ka == CompareKind::Number ? -1 : 1;
  }
  return sign(numberOf(a), numberOf(b));
}

}  // namespace mto::automation
