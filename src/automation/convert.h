#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/platform.h"
#include "automation/variant.h"

namespace mto::automation {

// Conversions between Variant subtypes, with the classic rules. Every failure raises an
// AutomationError with the classic number (6 overflow, 13 type mismatch, 94 invalid use of Null);
// nothing else escapes. Functions that read numbers or dates from text take the locale; the
// overloads without one use the platform's.

/// Leading-number parsing: blanks, tabs and line feeds anywhere are ignored; reads a sign, digits,
/// one decimal point ("." only) and an exponent (E or D) from the start, up to the first character
/// that cannot continue the number. Text without a leading number gives 0. A number too large for
/// a Double raises 6.
double leadingNumber(std::string_view text);
/// The leading number of a value taken as text (see `toText`); Null raises 94.
double leadingNumber(const Variant& value);

/// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

/// Whole-number conversion: the leading number, rounded with halves to even. Never fails for text.
double wholeNumber(std::string_view text);
/// Whole-number conversion into a 32-bit integer; out of range raises 6.
int32_t wholeNumberLong(std::string_view text);

/// Reads a whole text as a number in the locale (blanks around, sign before or after, grouping
/// separators after the first digit, one decimal separator, an exponent, "&H"/"&O" prefixes);
/// nullopt when the text is not a number.
std::optional<double> parseNumber(std::string_view text, const Locale& locale);

/// True when `toDouble` would succeed: numbers, Booleans, Empty, numeric text. Dates and Null give
/// False.
bool isNumeric(const Variant& value, const Locale& locale);
bool isNumeric(const Variant& value);

/// Boolean: numbers are True when not 0; "True"/"False" in any case, "#TRUE#"/"#FALSE#", numeric
/// text; Empty is False; Null raises 94; anything else 13.
bool toBoolean(const Variant& value, const Locale& locale);
bool toBoolean(const Variant& value);

/// Double: numbers as they stand, True is -1, a date its serial, text by `parseNumber` (13 when not
/// a number), Empty 0, Null 94, objects and arrays 13.
double toDouble(const Variant& value, const Locale& locale);
double toDouble(const Variant& value);

/// 16- and 32-bit integers: `toDouble`, then halves to even; out of range raises 6.
int16_t toInteger(const Variant& value, const Locale& locale);
int16_t toInteger(const Variant& value);
int32_t toLong(const Variant& value, const Locale& locale);
int32_t toLong(const Variant& value);

/// Text: numbers in their shortest round-trip form with the locale's decimal separator ("2.5",
/// "1E+20"), Booleans "True"/"False", dates in the short-date form (time dropped at midnight, date
/// dropped on day 0), Empty "", Null raises 94, objects and arrays 13.
std::string toText(const Variant& value, const Locale& locale);
std::string toText(const Variant& value);

/// Numeric pattern formatting for patterns made of "#", "0", "," and "." such as "##,##0." or
/// "##,##0.000": digits rounded half away from zero, grouped by three with the locale's thousands
/// separator when the pattern has a "," among its digit places, the locale's decimal separator
/// printed whenever the pattern has a "." (even with no digit after it), a leading "-" for a
/// negative value that does not round to zero.
std::string formatNumber(double value, std::string_view pattern, const Locale& locale);
std::string formatNumber(double value, std::string_view pattern);

/// The language's comparison of two Variants, both treated as Variants: nullopt when either is
/// Null; numbers (and Booleans, dates) numerically; strings in binary order; a number is always
/// less than a string; Empty is 0 against a number and "" against a string. Returns <0, 0 or >0.
std::optional<int> compareVariants(const Variant& a, const Variant& b);

}  // namespace mto::automation
