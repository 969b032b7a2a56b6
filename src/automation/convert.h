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
/// This is the add-in's own rule, not the locale-aware number reading of `parseNumber`: it has no
/// counterpart among the classic Variant conversions, so "&H" prefixes, "$", "," and the locale are
/// not honoured ("&HFF" and "$5" give 0, "1,000" gives 1), whatever the other conversions do.
double leadingNumber(std::string_view text);
/// The leading number of a value taken as text (see `toText`), so a Double in a locale with a
/// decimal comma loses its fraction, as in the classic runtime; Null raises 94.
double leadingNumber(const Variant& value);

/// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

/// Whole-number conversion: the leading number, rounded with halves to even. Text without a number
/// gives 0; only a number too large for a Double raises (6).
double wholeNumber(std::string_view text);
/// Whole-number conversion into a 32-bit integer; out of range raises 6.
int32_t wholeNumberLong(std::string_view text);

/// Reads a whole text as a number in the locale (blanks around, sign before or after, grouping
/// separators after the first digit, one decimal separator, an exponent, "&H"/"&O" prefixes);
/// nullopt when the text is not a number.
/// Details: before the digits, in any order and with blanks between, at most one sign, one currency
/// symbol of the locale and one "("; after them the sign or symbol not used before and the ")"
/// ("- 5", "5 -", "$ 5", "-$5", "5 \xE2\x82\xAC", "( 5 )", "-(5)" all read). "(" needs its ")" and
/// means negative, as "-" does. Grouping separators count for nothing anywhere after the first
/// digit, in the fraction too ("1.234,5" is 1.2345 in en-US). The exponent marker is E in any case
/// and needs digits; D is not one ("1D3" is not a number). "&H"/"&O" numbers take no sign or symbol;
/// read here (for a Double) they keep their value up to &H7FFFFFFF and overflow above it.
/// A well-formed number too large for a Double raises 6.
std::optional<double> parseNumber(std::string_view text, const Locale& locale);

/// True when `toDouble` would succeed: numbers, Booleans, Empty, numeric text. Dates, Null,
/// objects, arrays, Missing and text too large for a Double give False.
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

/// 16- and 32-bit integers: `toDouble`, then halves to even; out of range raises 6. Radix text is
/// read at the target's width: up to &HFFFF wraps to a signed 16-bit value for `toInteger` ("&HFFFF"
/// is -1, "&H10000" overflows), up to &HFFFFFFFF to a signed 32-bit one for `toLong` ("&HFFFF" is
/// 65535, "&HFFFFFFFF" is -1).
int16_t toInteger(const Variant& value, const Locale& locale);
int16_t toInteger(const Variant& value);
int32_t toLong(const Variant& value, const Locale& locale);
int32_t toLong(const Variant& value);

/// Text: Doubles as the classic runtime prints them, at most 15 significant digits with the
/// locale's decimal separator and exponent form outside 1E-04 .. 1E+15 ("2.5", "0.3" for 0.1+0.2,
/// "1E+20", "1.5E-05"); infinities and NaN raise 6. Integers plain, Booleans "True"/"False", dates
/// by `dateText`, Empty "", Null raises 94; objects, arrays and Missing (an error value) raise 13.
std::string toText(const Variant& value, const Locale& locale);
std::string toText(const Variant& value);

/// Numeric pattern formatting for patterns made of "#", "0", "," and "." such as "##,##0." or
/// "##,##0.000": digits rounded half away from zero, grouped by three with the locale's thousands
/// separator when the pattern has a "," among its digit places, the locale's decimal separator
/// printed whenever the pattern has a "." (even with no digit after it), a leading "-" for any
/// negative value, also one that rounds to zero ("-0.00" for -0.004, as oleaut32 prints it). The
/// rounding of exact halves is not confirmed and keeps this rule.
/// Rounding works on the value's 15 significant decimal digits, not its binary expansion, so 2.675
/// with "0.00" gives "2.68". Commas right of the last integer digit place divide by 1000 each;
/// "#" places after the point drop insignificant zeros. An empty pattern gives the `toText` form.
/// Other characters raise 5; infinities and NaN raise 6.
std::string formatNumber(double value, std::string_view pattern, const Locale& locale);
std::string formatNumber(double value, std::string_view pattern);

/// The language's `value = number` with a typed number on the right: a value that reads as a number
/// (Empty as 0) compares numerically; Null and anything that is not a number are unequal.
bool equalsNumber(const Variant& value, double number);

/// The language's comparison of two Variants, both treated as Variants: nullopt when either is
/// Null; numbers (and Booleans, dates) numerically; strings in binary order; a number is always
/// less than a string; Empty is 0 against a number and "" against a string. Returns <0, 0 or >0.
/// Objects, arrays and Missing raise 13.
std::optional<int> compareVariants(const Variant& a, const Variant& b);

}  // namespace mto::automation
