#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/platform.h"
#include "automation/variant.h"

namespace mto::automation {

// Automation dates: days since 1899-12-30 as a double, the fraction the time of day. For negative
// serials the whole part gives the day and the fraction, taken positive, the time.

inline constexpr double kMinDateSerial = -657434.0;  // 0100-01-01
inline constexpr double kMaxDateSerial = 2958465.0;  // 9999-12-31 (its last second is below +1)

struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DateParts&) const = default;
};

/// The date for a calendar day and time; raises 5 for an impossible day or time and 6 outside
/// 0100-01-01 .. 9999-12-31.
Date makeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
/// Calendar day and time of a date (seconds rounded to the nearest); raises 6 outside the range.
DateParts dateParts(Date date);

/// The system clock as a local automation date.
Date systemNow();
/// The platform's current date with the time dropped.
Date today();

/// Reads a text as a date: two or three date parts, then optionally blanks and a time; or a time
/// alone. nullopt when the text is not a date.
/// Parts are numbers separated by one kind of separator throughout: "/", "-", the locale's date
/// separator, or blanks ("12 6 2026"). "." separates dates only where it is the locale's date
/// separator; elsewhere it separates the parts of a time, so in a "/" locale "2.5" is 02:05,
/// "04.28.14" is 04:28:14 and "6.12.2026" is not a date ("0.0", midnight written with dots, is not
/// one either). Numbers follow the locale's short-date order unless the first has three or four
/// digits (then year, month, day); an impossible day/month order is swapped when that gives a
/// valid date; two parts are month and day of the current year (from `platform().now()`); years
/// below 100, however many digits they are written with, are windowed: 00-29 are 2000-2029 and
/// 30-99 are 1930-1999 ("1/1/0029" is 2029).
/// One part may be a month name of the locale (`Locale::monthNames` or `abbreviatedMonthNames`),
/// in any case ("6 Dec 2026", "December 6, 2026", "31-Jan-95", "6. Dezember 2026" in German; a
/// comma or the locale's separator may precede the blanks only in such texts): the other parts are
/// then the day and the year, the year first only when it has three or four digits, with no
/// swapping. A single number beside the name is the day of the current year when it can be one,
/// else the year on the month's first day ("Dec 2026" is 1 Dec 2026). Names of another language
/// than the locale's are not read. A leading English weekday name (full or three letters,
/// optionally with a comma) is skipped.
/// A time is "H:mm[:ss]" (or with "." as above), then optionally AM/PM, with or without blanks
/// before it: 12 AM is midnight, PM adds 12 hours to 0-11 and leaves 12-23 as they are ("13:00 PM"
/// is 13:00). No "T", no fractions of a second; a bare number is not a date.
std::optional<Date> parseDate(std::string_view text, const Locale& locale);

/// A date value, or a text that `parseDate` reads.
bool isDate(const Variant& value, const Locale& locale);
bool isDate(const Variant& value);

/// To a date: a date as it is, a text by `parseDate` (13 when it is not a date), numbers as serials
/// (6 outside the range), Empty day 0, Null 94, others 13.
Date toDate(const Variant& value, const Locale& locale);
Date toDate(const Variant& value);

/// A date in the locale's short-date pattern, followed by the time pattern unless the time is
/// midnight; the time alone on day 0 (1899-12-30), midnight included ("0:00:00"), as the
/// runtime's general date form. Raises 6 outside the date range.
std::string dateText(Date date, const Locale& locale);
std::string dateText(Date date);

/// Formats with a pattern of d, dd, M, MM, yy, yyyy, H, HH, h, hh, m, mm, s, ss, tt and literals.
/// Also: y (year in century), ddd/dddd and MMM/MMMM (English names), t (A/P), 'quoted' literals.
/// Any other character is copied. Raises 6 outside the date range.
std::string formatDate(Date date, std::string_view pattern);

/// Adds whole days (the count rounded half to even) keeping the time of day; a result or a date
/// outside 0100-01-01 .. 9999-12-31, or a count that is not finite, raises 5.
Date addDays(Date date, double days);

/// DateAdd: intervals "yyyy", "q", "m", "y", "d", "w", "ww", "h", "n", "s" (any case; others raise
/// 5). Months clamp to the end of the month. The count is rounded half to even. Hours, minutes and
/// seconds work on the time rounded to whole seconds. A date or result out of range raises 5.
Date dateAdd(std::string_view interval, double number, Date date);

}  // namespace mto::automation
