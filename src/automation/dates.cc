#include "automation/ascii.h"
#include "automation/dates.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>

#include "automation/calendar.h"
#include "automation/convert.h"
#include "automation/error.h"

namespace mto::automation {

using namespace calendar;

namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {"January",   "February", "March",    "April",
                                                          "May",       "June",     "July",     "August",
                                                          "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

// ---- parsing -------------------------------------------------------------------------------------

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

size_t blankLength(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  char c = text[pos];
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return 1;
  if (text.substr(pos, 2) == "\xC2\xA0") return 2;
  if (text.substr(pos, 3) == "\xE3\x80\x80") return 3;
  return 0;
}

std::string_view trim(std::string_view text) {
  size_t start = 0;
  while (size_t n = blankLength(text, start)) start += n;
  text.remove_prefix(start);
  for (bool trimmed = true; trimmed && !text.empty();) {
    trimmed = false;
    for (size_t n : {1, 2, 3}) {
      if (text.size() >= n && blankLength(text, text.size() - n) == n) {
        text.remove_suffix(n);
        trimmed = true;
        break;
      }
    }
  }
  return text;
}

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool done() const { return pos_ >= text_.size(); }
  bool atDigit() const { return !done() && isDigit(text_[pos_]); }
  /// A run of digits; nullopt when none or longer than `maxDigits`.
  std::optional<std::pair<int, size_t>> number(size_t maxDigits) {
    size_t start = pos_;
    int value = 0;
    while (atDigit()) {
      if (pos_ - start >= maxDigits) return std::nullopt;
      value = value * 10 + (text_[pos_++] - '0');
    }
    if (pos_ == start) return std::nullopt;
    return std::pair{value, pos_ - start};
  }
  bool take(std::string_view part) {
    if (part.empty() || text_.substr(pos_, part.size()) != part) return false;
    pos_ += part.size();
    return true;
  }
  bool takeIgnoreCase(std::string_view word) {
    if (!ascii::startsWithIgnoreCase(text_.substr(pos_), word)) return false;
    pos_ += word.size();
    return true;
  }
  size_t skipBlanks() {
    size_t start = pos_;
    while (size_t n = blankLength(text_, pos_)) pos_ += n;
    return pos_ - start;
  }
  /// A run of letters, ASCII or not (bytes above 0x7F, so "M\xC3\xA4rz" is one word), possibly empty.
  std::string_view word() {
    size_t start = pos_;
    while (!done() && ((text_[pos_] >= 'A' && text_[pos_] <= 'Z') || (text_[pos_] >= 'a' && text_[pos_] <= 'z') ||
                       static_cast<unsigned char>(text_[pos_]) >= 0x80) && blankLength(text_, pos_) == 0)
      ++pos_;
    return text_.substr(start, pos_ - start);
  }
  /// The next character, or 0 at the end.
  char peek() const { return done() ? '\0' : text_[pos_]; }
  size_t pos() const { return pos_; }
  void reset(size_t pos) { pos_ = pos; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Whether "." separates the parts of a time: it does wherever it is not the date separator, so
// "2.5" is 02:05 in a locale that writes dates with "/".
bool dotSeparatesTime(const Locale& locale) {
  return locale.dateSeparator != ".";
}

// "H:mm" or "H:mm:ss" ("H.mm", "H.mm.ss" where `dotTime`), then optionally blanks and AM/PM; the
// seconds of the day. Midnight written with dots ("0.0") is not a time, as in the classic parser.
std::optional<int64_t> parseTime(Cursor& in, bool dotTime) {
  auto hour = in.number(2);
  if (!hour) return std::nullopt;
  std::string_view separator = ":";
  if (!in.take(separator)) {
    separator = ".";
    if (!dotTime || !in.take(separator)) return std::nullopt;
  }
  auto minute = in.number(2);
  if (!minute) return std::nullopt;
  int second = 0;
  if (in.take(separator)) {
    auto s = in.number(2);
    if (!s) return std::nullopt;
    second = s->first;
  }
  int h = hour->first;
  std::optional<bool> pm;
  size_t mark = in.pos();
  in.skipBlanks();
  if (in.takeIgnoreCase("AM"))
    pm = false;
  else if (in.takeIgnoreCase("PM"))
    pm = true;
  else
    in.reset(mark);
  if (h > 23) return std::nullopt;
  // 12 AM is midnight; PM adds 12 hours to 0-11 and leaves 12-23 as they are.
  if (pm && !*pm && h == 12) h = 0;
  if (pm && *pm && h < 12) h += 12;
  if (minute->first > 59 || second > 59) return std::nullopt;
  int64_t seconds = int64_t{h} * 3600 + minute->first * 60 + second;
  if (separator == "." && seconds == 0) return std::nullopt;
  return seconds;
}

// One part of a date: a number with its digit count, or a month by its English name.
struct DatePart {
  int value = 0;
  size_t digits = 0;
  bool monthName = false;
};

// The month of a name in the locale, in full or abbreviated, in any case; 0 for none.
int monthNumber(std::string_view word, const Locale& locale) {
  if (word.empty()) return 0;
  for (size_t i = 0; i < 12; ++i) {
    if (ascii::equalsIgnoreCase(word, locale.monthNames[i]) ||
        ascii::equalsIgnoreCase(word, locale.abbreviatedMonthNames[i]))
      return static_cast<int>(i) + 1;
  }
  return 0;
}

std::optional<DatePart> readDatePart(Cursor& in, const Locale& locale) {
  if (in.atDigit()) {
    auto n = in.number(4);
    if (!n) return std::nullopt;
    return DatePart{n->first, n->second, false};
  }
  int month = monthNumber(in.word(), locale);
  if (month == 0) return std::nullopt;
  return DatePart{month, 0, true};
}

// The separator between date parts, fixed by its first use: "/", "-" or the locale's separator,
// or blanks. Blanks may follow a comma or the locale's separator ("December 6, 2026",
// "6. Dezember 2026"); such punctuation is only right with a month name.
struct DateSeparator {
  std::string_view literal;
  bool blank = false;
  bool punctuated = false;

  bool fixed() const { return blank || !literal.empty(); }

  bool take(Cursor& in, const Locale& locale) {
    bool localUsable = !locale.dateSeparator.empty() &&
                       locale.dateSeparator.find_first_of("0123456789") == std::string::npos;
    if (!fixed()) {
      for (std::string_view candidate :
           {std::string_view("/"), std::string_view("-"), std::string_view(locale.dateSeparator)}) {
        if (candidate == locale.dateSeparator && !localUsable) continue;
        if (in.take(candidate)) {
          if (in.skipBlanks() > 0) {
            blank = punctuated = true;
          } else {
            literal = candidate;
          }
          return true;
        }
      }
    } else if (!blank) {
      return in.take(literal);
    }
    bool punctuation = in.take(",") || (localUsable && in.take(locale.dateSeparator));
    if (in.skipBlanks() == 0) return false;
    blank = true;
    punctuated = punctuated || punctuation;
    return true;
  }
};

// A leading English weekday name, in full or its first three letters, with an optional comma and
// the blanks after it ("Sunday, December 6, 2026"); nothing when there is none.
void skipWeekday(Cursor& in) {
  size_t mark = in.pos();
  std::string_view word = in.word();
  bool weekday = std::any_of(kDayNames.begin(), kDayNames.end(), [&](std::string_view name) {
    return ascii::equalsIgnoreCase(word, name) || (word.size() == 3 && ascii::equalsIgnoreCase(word, name.substr(0, 3)));
  });
  if (weekday) {
    in.take(",");
    if (in.skipBlanks() > 0) return;
  }
  in.reset(mark);
}

// The order of day, month and year in the locale's short-date pattern ('d', 'M', 'y'); letters
// the pattern lacks go last, month before day before year.
std::array<char, 3> dateOrder(const Locale& locale) {
  std::array<std::pair<size_t, char>, 3> found = {
      {{std::string::npos, 'M'}, {std::string::npos, 'd'}, {std::string::npos, 'y'}}};
  bool quoted = false;
  const std::string& pattern = locale.shortDatePattern;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '\'') quoted = !quoted;
    if (quoted) continue;
    for (auto& [pos, letter] : found)
      if (pattern[i] == letter && pos == std::string::npos) pos = i;
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return {found[0].second, found[1].second, found[2].second};
}

int windowYear(int value) {
  if (value >= 100) return value;
  return value < 30 ? 2000 + value : 1900 + value;
}

}  // namespace

Date makeDate(int year, int month, int day, int hour, int minute, int second) {
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59)
    raiseError(errc::kInvalidCall);
  if (year < 100 || year > 9999) raiseError(errc::kOverflow);
  double fraction = static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
  return Date{joinSerial(dayNumber(year, month, day), fraction)};
}

DateParts dateParts(Date date) {
  if (!inRange(date.serial)) raiseError(errc::kOverflow);
  DayTime dt = splitSerial(date.serial);
  int64_t seconds = secondsOfDay(dt);
  DateParts parts;
  civilFromDays(dt.day - kUnixEpochSerial, parts.year, parts.month, parts.day);
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  return parts;
}

Date systemNow() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  if (!localtime_r(&now, &local)) raiseError(errc::kInvalidCall, "The system clock cannot be read");
  // A leap second shows as :60; the automation date has no room for it.
  return makeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                  std::min(local.tm_sec, 59));
}

Date today() {
  double day = std::trunc(platform().now().serial);
  return Date{day == 0 ? 0.0 : day};
}

std::optional<Date> parseDate(std::string_view text, const Locale& locale) {
  std::string_view body = trim(text);
  if (body.empty()) return std::nullopt;
  const bool dotTime = dotSeparatesTime(locale);
  {
    Cursor timeOnly(body);
    if (auto seconds = parseTime(timeOnly, dotTime); seconds && timeOnly.done())
      return Date{static_cast<double>(*seconds) / kSecondsPerDay};
  }

  Cursor in(body);
  skipWeekday(in);
  std::array<DatePart, 3> parts;
  size_t count = 0;
  DateSeparator separator;
  while (count < parts.size()) {
    size_t mark = in.pos();
    if (count > 0 && !separator.take(in, locale)) {
      in.reset(mark);
      break;
    }
    auto part = readDatePart(in, locale);
    // A number that goes on with ":" (or "." where that separates time) starts the time instead.
    bool startsTime = part && !part->monthName && (in.peek() == ':' || (dotTime && in.peek() == '.'));
    if (!part || (count > 0 && startsTime)) {
      if (count == 0) return std::nullopt;
      in.reset(mark);
      break;
    }
    parts[count++] = *part;
  }
  if (count < 2) return std::nullopt;
  int64_t seconds = 0;
  if (!in.done()) {
    if (in.skipBlanks() == 0) return std::nullopt;
    auto time = parseTime(in, dotTime);
    if (!time || !in.done()) return std::nullopt;
    seconds = *time;
  }

  int year = 0;
  int month = 0;
  int day = 0;
  auto named = std::find_if(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(count),
                            [](const DatePart& p) { return p.monthName; });
  if (named != parts.begin() + static_cast<std::ptrdiff_t>(count)) {
    // A month by name: the other parts are the day and the year, the year first only when it has
    // three or four digits; without a year, the current one.
    std::array<DatePart, 2> numbers;
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
      if (parts[i].monthName) {
        if (&parts[i] != &*named) return std::nullopt;  // two month names
      } else {
        numbers[n++] = parts[i];
      }
    }
    month = named->value;
    if (n == 1) {
      // The day of the current year when it can be one, else the year, on the month's first day.
      year = dateParts(platform().now()).year;
      day = numbers[0].value;
      if (numbers[0].digits > 2 || day < 1 || day > daysInMonth(year, month)) {
        year = windowYear(numbers[0].value);
        day = 1;
      }
    } else {
      bool yearFirst = numbers[0].digits > 2;
      const DatePart& dayPart = yearFirst ? numbers[1] : numbers[0];
      const DatePart& yearPart = yearFirst ? numbers[0] : numbers[1];
      if (dayPart.digits > 2) return std::nullopt;
      day = dayPart.value;
      year = windowYear(yearPart.value);
    }
    auto dayNo = validDay(year, month, day);
    if (!dayNo) return std::nullopt;
    return Date{joinSerial(*dayNo, static_cast<double>(seconds) / kSecondsPerDay)};
  }
  if (separator.punctuated) return std::nullopt;

  std::array<char, 3> order = dateOrder(locale);
  if (count == 2) {
    if (parts[0].digits > 2 || parts[1].digits > 2) return std::nullopt;
    bool dayFirst = std::find(order.begin(), order.end(), 'd') < std::find(order.begin(), order.end(), 'M');
    day = dayFirst ? parts[0].value : parts[1].value;
    month = dayFirst ? parts[1].value : parts[0].value;
    year = dateParts(platform().now()).year;
  } else {
    if (parts[0].digits >= 3) order = {'y', 'M', 'd'};
    for (size_t i = 0; i < 3; ++i) {
      const int value = parts[i].value;
      const size_t digits = parts[i].digits;
      if (order[i] == 'y') {
        year = windowYear(value);
      } else if (digits > 2) {
        return std::nullopt;
      } else if (order[i] == 'M') {
        month = value;
      } else {
        day = value;
      }
    }
  }
  // An impossible day/month reading is taken the other way round when that one works.
  std::optional<int64_t> dayNo = validDay(year, month, day);
  if (!dayNo) dayNo = validDay(year, day, month);
  if (!dayNo) return std::nullopt;
  return Date{joinSerial(*dayNo, static_cast<double>(seconds) / kSecondsPerDay)};
}

bool isDate(const Variant& value, const Locale& locale) {
  if (value.isDate()) return true;
  return value.isString() && parseDate(value.stringValue(), locale).has_value();
}

bool isDate(const Variant& value) {
  return value.isString() ? isDate(value, platform().locale()) : isDate(value, defaultLocale());
}

Date toDate(const Variant& value, const Locale& locale) {
  switch (value.type()) {
    case VarType::Date:
      return value.dateValue();
    case VarType::Empty:
      return Date{0};
    case VarType::Null:
      raiseError(errc::kInvalidUseOfNull);
    case VarType::String:
      if (auto date = parseDate(value.stringValue(), locale)) return *date;
      raiseError(errc::kTypeMismatch);
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double: {
      double serial = toDouble(value, locale);
      if (!inRange(serial)) raiseError(errc::kOverflow);
      return Date{serial};
    }
    default:
      raiseError(errc::kTypeMismatch);
  }
}

Date toDate(const Variant& value) {
  return value.isString() ? toDate(value, platform().locale()) : toDate(value, defaultLocale());
}

std::string dateText(Date date, const Locale& locale) {
  DateParts parts = dateParts(date);
  bool midnight = parts.hour == 0 && parts.minute == 0 && parts.second == 0;
  bool dayZero = parts.year == 1899 && parts.month == 12 && parts.day == 30;
  if (dayZero) return formatDate(date, locale.timePattern);
  std::string text = formatDate(date, locale.shortDatePattern);
  if (!midnight) {
    text += ' ';
    text += formatDate(date, locale.timePattern);
  }
  return text;
}

std::string dateText(Date date) {
  return dateText(date, platform().locale());
}

std::string formatDate(Date date, std::string_view pattern) {
  DateParts p = dateParts(date);
  DayTime dt = splitSerial(date.serial);
  secondsOfDay(dt);  // the day as `dateParts` sees it, after rounding to whole seconds
  int weekday = static_cast<int>(((dt.day % 7) + 7 + 6) % 7);  // day 0 was a Saturday
  int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    char c = pattern[i];
    if (c == '\'') {
      size_t end = pattern.find('\'', i + 1);
      if (end == std::string_view::npos) end = pattern.size();
      out.append(pattern.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    auto number = [&](int value) {
      out += run >= 2 ? fmt::format("{:02}", value) : fmt::format("{}", value);
    };
    switch (c) {
      case 'd':
        if (run <= 2)
          number(p.day);
        else
          out += run == 3 ? kDayNames[static_cast<size_t>(weekday)].substr(0, 3)
                          : kDayNames[static_cast<size_t>(weekday)];
        break;
      case 'M':
        if (run <= 2)
          number(p.month);
        else
          out += run == 3 ? kMonthNames[static_cast<size_t>(p.month - 1)].substr(0, 3)
                          : kMonthNames[static_cast<size_t>(p.month - 1)];
        break;
      case 'y':
        if (run <= 2)
          number(p.year % 100);
        else
          out += fmt::format("{}", p.year);
        break;
      case 'H':
        number(p.hour);
        break;
      case 'h':
        number(hour12);
        break;
      case 'm':
        number(p.minute);
        break;
      case 's':
        number(p.second);
        break;
      case 't':
        out += run == 1 ? (p.hour < 12 ? "A" : "P") : (p.hour < 12 ? "AM" : "PM");
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

Date addDays(Date date, double days) {
  if (!inRange(date.serial) || !std::isfinite(days)) raiseError(errc::kInvalidCall);
  double count = roundHalfEven(days);
  DayTime dt = splitSerial(date.serial);
  if (std::fabs(count) > static_cast<double>(kMaxDay - kMinDay)) raiseError(errc::kInvalidCall);
  int64_t day = dt.day + static_cast<int64_t>(count);
  if (day < kMinDay || day > kMaxDay) raiseError(errc::kInvalidCall);
  return Date{joinSerial(day, dt.fraction)};
}

namespace {

int64_t floorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

Date addMonths(Date date, int64_t months) {
  DayTime dt = splitSerial(date.serial);
  int year = 0;
  int month = 0;
  int day = 0;
  civilFromDays(dt.day - kUnixEpochSerial, year, month, day);
  int64_t total = int64_t{year} * 12 + (month - 1) + months;
  int64_t newYear = floorDiv(total, 12);
  if (newYear < 100 || newYear > 9999) raiseError(errc::kInvalidCall);
  int y = static_cast<int>(newYear);
  int m = static_cast<int>(total - newYear * 12) + 1;
  return Date{joinSerial(dayNumber(y, m, std::min(day, daysInMonth(y, m))), dt.fraction)};
}

Date addSeconds(Date date, int64_t delta) {
  DayTime dt = splitSerial(date.serial);
  int64_t seconds = secondsOfDay(dt);
  int64_t total = dt.day * kSecondsPerDay + seconds + delta;
  int64_t day = floorDiv(total, kSecondsPerDay);
  if (day < kMinDay || day > kMaxDay) raiseError(errc::kInvalidCall);
  return Date{joinSerial(day, static_cast<double>(total - day * kSecondsPerDay) / kSecondsPerDay)};
}

}  // namespace

Date dateAdd(std::string_view interval, double number, Date date) {
  if (!inRange(date.serial) || !std::isfinite(number)) raiseError(errc::kInvalidCall);
  std::string name = ascii::lowered(interval);
  double rounded = roundHalfEven(number);
  // Far beyond any span of the date range; keeps the arithmetic below in 64 bits.
  if (std::fabs(rounded) > 1e11) raiseError(errc::kInvalidCall);
  auto count = static_cast<int64_t>(rounded);
  if (name == "yyyy") return addMonths(date, count * 12);
  if (name == "q") return addMonths(date, count * 3);
  if (name == "m") return addMonths(date, count);
  if (name == "y" || name == "d" || name == "w") return addDays(date, rounded);
  if (name == "ww") return addDays(date, rounded * 7);
  if (name == "h") return addSeconds(date, count * 3600);
  if (name == "n") return addSeconds(date, count * 60);
  if (name == "s") return addSeconds(date, count);
  raiseError(errc::kInvalidCall, fmt::format("Unknown DateAdd interval \"{}\"", interval));
}

}  // namespace mto::automation
