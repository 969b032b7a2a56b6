#include "automation/calendar.h"

#include <array>
#include <cmath>

namespace mto::automation::calendar {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  month = static_cast<int>(m);
  day = static_cast<int>(d);
}

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<size_t>(month - 1)];
}

int64_t dayNumber(int year, int month, int day) {
  return daysFromCivil(year, month, day) + kUnixEpochSerial;
}

// The day whole part lies in 0100-01-01 .. 9999-12-31 (NaN is not).
bool inRange(double serial) {
  return serial > kMinDateSerial - 1 && serial < kMaxDateSerial + 1;
}

DayTime splitSerial(double serial) {
  double whole = std::trunc(serial);
  return {static_cast<int64_t>(whole), std::fabs(serial - whole)};
}

double joinSerial(int64_t day, double fraction) {
  return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

// Whole seconds of a time fraction; a fraction that rounds to 24:00 stays at 23:59:59 on the last day.
int64_t secondsOfDay(DayTime& dt) {
  auto seconds = static_cast<int64_t>(std::llround(dt.fraction * kSecondsPerDay));
  if (seconds >= kSecondsPerDay) {
    if (dt.day < kMaxDay) {
      ++dt.day;
      seconds = 0;
    } else {
      seconds = kSecondsPerDay - 1;
    }
  }
  return seconds;
}

std::optional<int64_t> validDay(int year, int month, int day) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
    return std::nullopt;
  return dayNumber(year, month, day);
}

}  // namespace mto::automation::calendar
