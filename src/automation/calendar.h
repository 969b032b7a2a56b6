#pragma once

#include <cstdint>
#include <optional>

#include "automation/dates.h"

// Calendar arithmetic on date serials (days since 1899-12-30, the fraction of a day being the
// time), shared by the date conversions, texts and additions. Proleptic Gregorian calendar.

namespace mto::automation::calendar {

/// The serial of 1970-01-01.
inline constexpr int64_t kUnixEpochSerial = 25569;
/// The first and last day of the date range (0100-01-01 and 9999-12-31).
inline constexpr int64_t kMinDay = static_cast<int64_t>(kMinDateSerial);
inline constexpr int64_t kMaxDay = static_cast<int64_t>(kMaxDateSerial);
inline constexpr int64_t kSecondsPerDay = 86400;

/// Days since 1970-01-01 of a date.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d);
/// The date of a day counted from 1970-01-01.
void civilFromDays(int64_t z, int& year, int& month, int& day);
bool isLeapYear(int year);
/// Days of a month (1-12) of a year.
int daysInMonth(int year, int month);
/// The serial's whole part of a date.
int64_t dayNumber(int year, int month, int day);
/// Whether the serial's day lies in 0100-01-01 .. 9999-12-31 (NaN does not).
bool inRange(double serial);

/// The day and the time of day of a serial; the time is the fraction taken positive.
struct DayTime {
  int64_t day = 0;
  double fraction = 0;
};
DayTime splitSerial(double serial);
/// The serial of a day and a time of day, the time counted away from day 0 as serials are.
double joinSerial(int64_t day, double fraction);
/// Whole seconds of a time of day; a fraction that rounds to 24:00 moves to the next day, or stays
/// at 23:59:59 on the last day of the range.
int64_t secondsOfDay(DayTime& dt);
/// The serial's day of a date in the range; nullopt for an impossible date or one outside it.
std::optional<int64_t> validDay(int year, int month, int day);

}  // namespace mto::automation::calendar
