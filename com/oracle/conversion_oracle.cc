// The conversion oracle: runs the corpus of tests/conversions through Wine's oleaut32 and through
// the automation runtime for the same locale, and reports every entry where they disagree. A
// known Wine difference is judged against the recorded Windows result instead of oleaut32's.
//
//   mto-conversion-oracle [--report] [--corpus FILE] [--known FILE]
//
// Ends with one line "conversion oracle: N passed, M failed, K known Wine differences"; exits 1
// when M > 0 (0 with --report), 2 when the files cannot be read.

#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "automation/convert.h"
#include "automation/dates.h"
#include "automation/error.h"
#include "bridge/com_ptr.h"
#include "bridge/text.h"
#include "bridge/windows_platform.h"
#include "oracle/corpus.h"

namespace {

using namespace mto;
using oracle::Operation;
using oracle::Result;
using oracle::Value;

struct OracleLocale {
  const char* name;
  LCID lcid;
  automation::Locale runtime;
};

std::string localeItem(LCID lcid, LCTYPE item) {
  wchar_t buffer[128] = {};
  int got = GetLocaleInfoW(lcid, item | LOCALE_NOUSEROVERRIDE, buffer, 128);
  return got > 0 ? com::toUtf8(std::wstring_view(buffer, static_cast<size_t>(got - 1))) : std::string();
}

/// The runtime's locale for an LCID, read and translated the way the COM binding's platform does
/// it for the user's locale.
automation::Locale runtimeLocale(LCID lcid) {
  automation::Locale locale;
  locale.dateSeparator = localeItem(lcid, LOCALE_SDATE);
  locale.shortDatePattern = com::runtimeDatePattern(localeItem(lcid, LOCALE_SSHORTDATE));
  locale.timePattern = com::runtimeTimePattern(localeItem(lcid, LOCALE_STIMEFORMAT));
  locale.thousandsSeparator = localeItem(lcid, LOCALE_STHOUSAND);
  locale.decimalSeparator = localeItem(lcid, LOCALE_SDECIMAL);
  locale.currencySymbol = localeItem(lcid, LOCALE_SCURRENCY);
  for (size_t i = 0; i < 12; ++i) {
    locale.monthNames[i] = localeItem(lcid, LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(i));
    locale.abbreviatedMonthNames[i] = localeItem(lcid, LOCALE_SABBREVMONTHNAME1 + static_cast<LCTYPE>(i));
  }
  return locale;
}

/// The classic number of an oleaut32 failure, or the HRESULT itself for anything unexpected.
Result errorResult(HRESULT hr) {
  switch (hr) {
    case DISP_E_TYPEMISMATCH: return {Result::Kind::Error, 13, {}};
    case DISP_E_OVERFLOW: return {Result::Kind::Error, 6, {}};
    case E_INVALIDARG: return {Result::Kind::Error, 5, {}};
    case E_OUTOFMEMORY: return {Result::Kind::Error, 7, {}};
    default: return {Result::Kind::Error, static_cast<double>(static_cast<int32_t>(hr)), {}};
  }
}

/// The corpus value as an OLE VARIANT.
com::OwnedVariant oleValue(const Value& value) {
  com::OwnedVariant owned;
  VARIANT& v = *owned.get();
  switch (value.kind) {
    case Value::Kind::Empty: break;
    case Value::Kind::Null: V_VT(&v) = VT_NULL; break;
    case Value::Kind::Boolean: V_VT(&v) = VT_BOOL; V_BOOL(&v) = value.number != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case Value::Kind::Integer: V_VT(&v) = VT_I2; V_I2(&v) = static_cast<SHORT>(value.number); break;
    case Value::Kind::Long: V_VT(&v) = VT_I4; V_I4(&v) = static_cast<LONG>(value.number); break;
    case Value::Kind::Double: V_VT(&v) = VT_R8; V_R8(&v) = value.number; break;
    case Value::Kind::Date: V_VT(&v) = VT_DATE; V_DATE(&v) = value.number; break;
    case Value::Kind::String: V_VT(&v) = VT_BSTR; V_BSTR(&v) = com::allocBstr(value.text); break;
  }
  return owned;
}

automation::Variant runtimeValue(const Value& value) {
  switch (value.kind) {
    case Value::Kind::Empty: return {};
    case Value::Kind::Null: return automation::Variant::null();
    case Value::Kind::Boolean: return value.number != 0;
    case Value::Kind::Integer: return static_cast<int16_t>(value.number);
    case Value::Kind::Long: return static_cast<int32_t>(value.number);
    case Value::Kind::Double: return value.number;
    case Value::Kind::Date: return automation::Date{value.number};
    case Value::Kind::String: return value.text;
  }
  return {};
}

Result fromVariant(const VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_R8: return {Result::Kind::Double, V_R8(&v), {}};
    case VT_I2: return {Result::Kind::Integer, static_cast<double>(V_I2(&v)), {}};
    case VT_I4: return {Result::Kind::Long, static_cast<double>(V_I4(&v)), {}};
    case VT_BOOL: return {Result::Kind::Boolean, V_BOOL(&v) ? -1.0 : 0.0, {}};
    case VT_DATE: return {Result::Kind::Date, V_DATE(&v), {}};
    case VT_BSTR: return {Result::Kind::Text, 0, com::fromBstr(V_BSTR(&v))};
    default: return {Result::Kind::Error, -1, {}};
  }
}

Result orderResult(int order) { return {Result::Kind::Order, static_cast<double>(order), {}}; }

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

/// DateAdd as the classic runtime does it, on oleaut32's calls: oleaut32 has no date addition of
/// its own. The count is rounded by VarI4FromR8 (halves to even); days are added to the serial;
/// months go through VarUdateFromDate / VarDateFromUdate with the day clamped to the month's end;
/// anything outside 100-01-01 .. 9999-12-31 is error 5. Only the intervals yyyy q m y d w ww.
Result oleDateAdd(const std::string& interval, double count, double date) {
  LONG n = 0;
  HRESULT hr = VarI4FromR8(count, &n);
  if (FAILED(hr)) return errorResult(E_INVALIDARG);
  UDATE check;
  if (FAILED(VarUdateFromDate(date, 0, &check))) return errorResult(E_INVALIDARG);
  std::string unit;
  for (char c : interval) unit += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  long months = 0;
  double days = 0;
  if (unit == "d" || unit == "y" || unit == "w") days = n;
  else if (unit == "ww") days = 7.0 * n;
  else if (unit == "m") months = n;
  else if (unit == "q") months = 3L * n;
  else if (unit == "yyyy") months = 12L * n;
  else return {Result::Kind::Error, -2, "interval not derived"};
  double result = 0;
  if (months == 0) {
    double whole = std::trunc(date);
    double time = std::fabs(date - whole);
    double day = whole + days;
    result = day >= 0 ? day + time : day - time;
    if (result < -657434.0 || result >= 2958466.0) return errorResult(E_INVALIDARG);
  } else {
    long index = check.st.wYear * 12L + (check.st.wMonth - 1) + months;
    long year = index / 12;
    int month = static_cast<int>(index % 12) + 1;
    if (year < 100 || year > 9999) return errorResult(E_INVALIDARG);
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = lengths[month - 1] + (month == 2 && isLeapYear(static_cast<int>(year)) ? 1 : 0);
    UDATE moved = check;
    moved.st.wYear = static_cast<WORD>(year);
    moved.st.wMonth = static_cast<WORD>(month);
    if (moved.st.wDay > last) moved.st.wDay = static_cast<WORD>(last);
    hr = VarDateFromUdate(&moved, 0, &result);
    if (FAILED(hr)) return errorResult(hr);
  }
  return {Result::Kind::Date, result, {}};
}

Result oleResult(const oracle::Entry& entry, LCID lcid) {
  const auto& args = entry.arguments;
  auto change = [&](VARTYPE to) -> Result {
    // The classic runtime refuses Null itself (error 94) before oleaut32 sees it.
    if (args[0].kind == Value::Kind::Null) return {Result::Kind::Error, 94, {}};
    com::OwnedVariant in = oleValue(args[0]);
    com::OwnedVariant out;
    HRESULT hr = VariantChangeTypeEx(out.get(), in.get(), lcid, VARIANT_ALPHABOOL, to);
    return FAILED(hr) ? errorResult(hr) : fromVariant(*out.get());
  };
  switch (entry.operation) {
    case Operation::ToDouble: return change(VT_R8);
    case Operation::ToInteger: return change(VT_I2);
    case Operation::ToLong: return change(VT_I4);
    case Operation::ToBoolean: return change(VT_BOOL);
    case Operation::ToText: return change(VT_BSTR);
    case Operation::ToDate: return change(VT_DATE);
    case Operation::DateFromText: {
      com::OwnedVariant in = oleValue(args[0]);
      DATE date = 0;
      HRESULT hr = VarDateFromStr(V_BSTR(in.get()), lcid, 0, &date);
      return FAILED(hr) ? errorResult(hr) : Result{Result::Kind::Date, date, {}};
    }
    case Operation::Format: {
      if (args[1].kind == Value::Kind::Null) return {Result::Kind::Error, 94, {}};
      com::OwnedVariant pattern = oleValue(args[0]);
      com::OwnedVariant value = oleValue(args[1]);
      BYTE tokens[1024];
      HRESULT hr = VarTokenizeFormatString(V_BSTR(pattern.get()), tokens, sizeof tokens, 1, 1, lcid, nullptr);
      if (FAILED(hr)) return errorResult(hr);
      BSTR text = nullptr;
      hr = VarFormatFromTokens(value.get(), V_BSTR(pattern.get()), tokens, 0, &text, lcid);
      if (FAILED(hr)) return errorResult(hr);
      Result result{Result::Kind::Text, 0, com::fromBstr(text)};
      SysFreeString(text);
      return result;
    }
    case Operation::Compare: {
      // Locale 0: strings in binary order, as the classic runtime's default Option Compare Binary.
      com::OwnedVariant a = oleValue(args[0]);
      com::OwnedVariant b = oleValue(args[1]);
      HRESULT hr = VarCmp(a.get(), b.get(), 0, 0);
      if (hr == VARCMP_NULL) return orderResult(2);
      if (hr == VARCMP_LT || hr == VARCMP_EQ || hr == VARCMP_GT) return orderResult(static_cast<int>(hr) - 1);
      return errorResult(hr);
    }
    case Operation::DateAdd: return oleDateAdd(args[0].text, args[1].number, args[2].number);
  }
  return {Result::Kind::Error, -1, {}};
}

Result runtimeResult(const oracle::Entry& entry, const automation::Locale& locale) {
  const auto& args = entry.arguments;
  try {
    auto a = runtimeValue(args[0]);
    switch (entry.operation) {
      case Operation::ToDouble: return {Result::Kind::Double, automation::toDouble(a, locale), {}};
      case Operation::ToInteger: return {Result::Kind::Integer, static_cast<double>(automation::toInteger(a, locale)), {}};
      case Operation::ToLong: return {Result::Kind::Long, static_cast<double>(automation::toLong(a, locale)), {}};
      case Operation::ToBoolean: return {Result::Kind::Boolean, automation::toBoolean(a, locale) ? -1.0 : 0.0, {}};
      case Operation::ToText: return {Result::Kind::Text, 0, automation::toText(a, locale)};
      case Operation::ToDate: return {Result::Kind::Date, automation::toDate(a, locale).serial, {}};
      case Operation::DateFromText: {
        auto date = automation::parseDate(args[0].text, locale);
        return date ? Result{Result::Kind::Date, date->serial, {}} : Result{Result::Kind::Error, 13, {}};
      }
      case Operation::Format: {
        double value = automation::toDouble(runtimeValue(args[1]), locale);
        return {Result::Kind::Text, 0, automation::formatNumber(value, args[0].text, locale)};
      }
      case Operation::Compare: {
        auto order = automation::compareVariants(a, runtimeValue(args[1]));
        return orderResult(order ? (*order < 0 ? -1 : *order > 0 ? 1 : 0) : 2);
      }
      case Operation::DateAdd:
        return {Result::Kind::Date, automation::dateAdd(args[0].text, args[1].number, automation::Date{args[2].number}).serial, {}};
    }
  } catch (const automation::AutomationError& error) {
    return {Result::Kind::Error, static_cast<double>(error.number()), {}};
  } catch (const std::exception& error) {
    return {Result::Kind::Error, 440, error.what()};
  }
  return {Result::Kind::Error, -1, {}};
}

bool readFile(const std::string& path, std::ifstream& in) {
  in.open(path);
  if (!in) std::printf("cannot read %s\n", path.c_str());
  return static_cast<bool>(in);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool report = false;
  std::string corpusPath = "tests/conversions/corpus.txt";
  std::string knownPath = "tests/conversions/wine-differences.txt";
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--report") report = true;
    else if (arg == L"--corpus" && i + 1 < argc) corpusPath = com::toUtf8(argv[++i]);
    else if (arg == L"--known" && i + 1 < argc) knownPath = com::toUtf8(argv[++i]);
    else {
      std::printf("usage: mto-conversion-oracle [--report] [--corpus FILE] [--known FILE]\n");
      return 2;
    }
  }
  std::ifstream corpusFile, knownFile;
  if (!readFile(corpusPath, corpusFile) || !readFile(knownPath, knownFile)) return 2;
  std::vector<std::string> problems;
  auto corpus = oracle::parseCorpus(corpusFile, problems);
  for (auto& p : problems) p = corpusPath + " " + p;
  std::vector<std::string> knownProblems;
  auto known = oracle::parseKnownDifferences(knownFile, knownProblems);
  for (const auto& p : knownProblems) problems.push_back(knownPath + " " + p);
  for (const auto& p : oracle::checkKnownDifferences(known, corpus)) problems.push_back(knownPath + " " + p);
  if (!problems.empty()) {
    for (const auto& p : problems) std::printf("%s\n", p.c_str());
    return 2;
  }

  std::vector<OracleLocale> locales = {{"en-US", 0x0409, runtimeLocale(0x0409)},
                                       {"de-DE", 0x0407, runtimeLocale(0x0407)}};
  int passed = 0, failed = 0, knownCount = 0;
  for (const auto& locale : locales) {
    const auto& l = locale.runtime;
    std::printf("locale %s (0x%04lx): date \"%s\" separator \"%s\", time \"%s\", thousands \"%s\", decimal \"%s\", currency \"%s\", months \"%s\" .. \"%s\"\n",
                locale.name, static_cast<unsigned long>(locale.lcid), l.shortDatePattern.c_str(), l.dateSeparator.c_str(),
                l.timePattern.c_str(), l.thousandsSeparator.c_str(), l.decimalSeparator.c_str(), l.currencySymbol.c_str(),
                l.monthNames[0].c_str(), l.abbreviatedMonthNames[11].c_str());
    for (const auto& entry : corpus) {
      bool runs = entry.locales.empty();
      for (const auto& name : entry.locales) runs = runs || name == locale.name;
      if (!runs) continue;
      Result ole = oleResult(entry, locale.lcid);
      Result ours = runtimeResult(entry, locale.runtime);
      const oracle::KnownDifference* difference = nullptr;
      for (const auto& k : known)
        if (k.locale == locale.name && k.key == entry.key) difference = &k;
      if (difference) {
        ++knownCount;
        bool runtimeRight = oracle::sameResult(difference->windows, ours);
        std::printf("KNOWN WINE DIFFERENCE [%s] %s: oleaut32 %s, Windows %s, runtime %s%s\n", locale.name,
                    entry.key.c_str(), oracle::describe(ole).c_str(), oracle::describe(difference->windows).c_str(),
                    oracle::describe(ours).c_str(), runtimeRight ? "" : " (runtime differs from Windows)");
        if (oracle::sameResult(ole, difference->windows))
          std::printf("  note: Wine now gives the Windows result; the entry at line %d can go\n", difference->line);
        if (!runtimeRight) {
          std::printf("FAIL [%s] %s (line %d): Windows %s, runtime %s\n", locale.name, entry.key.c_str(), entry.line,
                      oracle::describe(difference->windows).c_str(), oracle::describe(ours).c_str());
          ++failed;
        }
        continue;
      }
      if (oracle::sameResult(ole, ours)) {
        ++passed;
      } else {
        ++failed;
        std::printf("FAIL [%s] %s (line %d): oleaut32 %s, runtime %s\n", locale.name, entry.key.c_str(), entry.line,
                    oracle::describe(ole).c_str(), oracle::describe(ours).c_str());
      }
    }
  }
  std::printf("conversion oracle: %d passed, %d failed, %d known Wine differences\n", passed, failed, knownCount);
  return failed > 0 && !report ? 1 : 0;
}
