#pragma once

// What the conversion tests share: the locales they convert in, an expected result or error
// number, and a platform whose locale a test chooses.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "automation/error.h"
#include "automation/platform.h"
#include "common/error_number.h"

namespace mto::automation::test {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

inline Locale enUS() {
  return Locale{};
}
inline Locale deDE() {
  return Locale{".", "dd.MM.yyyy", "HH:mm:ss", ".", ","};
}
// "." groups, "," decimals, "." between date parts, the euro sign as currency.
inline Locale dotComma() {
  return Locale{".", "d.M.yyyy", "H:mm:ss", ".", ",", "\xE2\x82\xAC"};
}

// A result or the number of the error expected instead.
template <typename T>
struct Outcome {
  T value{};
  int error = 0;
  Outcome(T v) : value(v) {}  // NOLINT(google-explicit-constructor)
  static Outcome raises(int number) {
    Outcome o{T{}};
    o.error = number;
    return o;
  }
};
template <typename T>
Outcome<T> raises(int number) {
  return Outcome<T>::raises(number);
}

template <typename T, typename F>
void expectOutcome(const Outcome<T>& want, F&& call, const std::string& label) {
  if (want.error != 0) {
    EXPECT_EQ(testing::errorNumber(call), want.error) << label;
  } else {
    try {
      EXPECT_EQ(call(), want.value) << label;
    } catch (const AutomationError& e) {
      ADD_FAILURE() << label << " raised " << e.number();
    }
  }
}

// Installs a platform with a chosen locale for the overloads that read it.
class PlatformLocale {
 public:
  explicit PlatformLocale(Locale locale) {
    auto p = std::make_shared<RegistryPlatform>();
    p->setLocale(std::move(locale));
    previous_ = setPlatform(p);
  }
  ~PlatformLocale() { setPlatform(previous_); }

 private:
  std::shared_ptr<Platform> previous_;
};

}  // namespace mto::automation::test
