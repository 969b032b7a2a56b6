#include "bridge/windows_platform.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <mutex>

#include "automation/dates.h"
#include "automation/error.h"
#include "bridge/com_ptr.h"
#include "bridge/dispatch_object.h"
#include "bridge/text.h"

namespace mto::com {

namespace {

[[noreturn]] void cannotCreate(std::string_view progId) {
  automation::raiseError(automation::errc::kCannotCreateObject,
                         std::string(automation::standardMessage(automation::errc::kCannotCreateObject)) + " (" +
                             std::string(progId) + ")");
}

/// One locale item by the two-call pattern: ask the size, then fetch.
std::string localeItem(LCTYPE item, std::string_view fallback) {
  int size = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, nullptr, 0);
  if (size <= 0) return std::string(fallback);
  std::wstring buffer(static_cast<size_t>(size), L'\0');
  int got = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer.data(), size);
  if (got <= 0) return std::string(fallback);
  buffer.resize(static_cast<size_t>(got - 1));  // the count includes the terminating NUL
  return toUtf8(buffer);
}

/// Copies a picture, passing each run of one letter through `mapRun` and quoted text unchanged.
template <typename MapRun>
std::string convertPicture(std::string_view picture, MapRun mapRun) {
  std::string out;
  for (size_t i = 0; i < picture.size();) {
    char c = picture[i];
    if (c == '\'') {
      size_t end = picture.find('\'', i + 1);
      end = end == std::string_view::npos ? picture.size() : end + 1;
      out.append(picture.substr(i, end - i));
      i = end;
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    out += mapRun(c, run);
    i += run;
  }
  return out;
}

}  // namespace

automation::ObjectPtr WindowsPlatform::createObject(std::string_view progId) {
  std::wstring wide = toWide(progId);
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) cannotCreate(progId);
  ComPtr<IDispatch> made;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(made.put()));
  if (FAILED(hr) || !made) cannotCreate(progId);
  return DispatchObject::adapt(std::move(made));
}

uint32_t WindowsPlatform::processId() { return GetCurrentProcessId(); }

automation::Locale WindowsPlatform::locale() {
  automation::Locale defaults;
  automation::Locale locale;
  locale.dateSeparator = localeItem(LOCALE_SDATE, defaults.dateSeparator);
  locale.shortDatePattern = runtimeDatePattern(localeItem(LOCALE_SSHORTDATE, defaults.shortDatePattern));
  locale.timePattern = runtimeTimePattern(localeItem(LOCALE_STIMEFORMAT, defaults.timePattern));
  locale.thousandsSeparator = localeItem(LOCALE_STHOUSAND, defaults.thousandsSeparator);
  locale.decimalSeparator = localeItem(LOCALE_SDECIMAL, defaults.decimalSeparator);
  locale.currencySymbol = localeItem(LOCALE_SCURRENCY, defaults.currencySymbol);
  for (size_t i = 0; i < 12; ++i) {
    locale.monthNames[i] = localeItem(LOCALE_SMONTHNAME1 + static_cast<LCTYPE>(i), defaults.monthNames[i]);
    locale.abbreviatedMonthNames[i] =
        localeItem(LOCALE_SABBREVMONTHNAME1 + static_cast<LCTYPE>(i), defaults.abbreviatedMonthNames[i]);
  }
  return locale;
}

int32_t WindowsPlatform::messageBox(std::string_view text, std::string_view title, int32_t style) {
  std::wstring wideText = toWide(text);
  std::wstring wideTitle = toWide(title);
  return MessageBoxW(GetActiveWindow(), wideText.c_str(), wideTitle.c_str(), static_cast<UINT>(style));
}

automation::Date WindowsPlatform::now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return automation::makeDate(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

void WindowsPlatform::note(std::string_view text) noexcept {
  try {
    std::wstring line = L"T8MTOChange: " + toWide(text) + L"\n";
    OutputDebugStringW(line.c_str());
  } catch (...) {
    // A note that cannot be made is dropped.
  }
}

void installWindowsPlatform() {
  static std::once_flag once;
  std::call_once(once, [] { automation::setPlatform(std::make_shared<WindowsPlatform>()); });
}

std::string runtimeDatePattern(std::string_view windowsPattern) {
  std::string pattern = convertPicture(windowsPattern, [](char c, size_t run) -> std::string {
    switch (c) {
      case 'y': return run == 1 ? "y" : run == 2 ? "yy" : "yyyy";
      case 'g': return {};
      case 'd':
      case 'M': return std::string(std::min<size_t>(run, 4), c);
      default: return std::string(run, c);
    }
  });
  // A dropped era leaves the blank that separated it.
  size_t first = pattern.find_first_not_of(' ');
  size_t last = pattern.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : pattern.substr(first, last - first + 1);
}

std::string runtimeTimePattern(std::string_view windowsPattern) {
  return convertPicture(windowsPattern, [](char c, size_t run) -> std::string {
    switch (c) {
      case 'H':
      case 'h':
      case 'm':
      case 's':
      case 't': return std::string(std::min<size_t>(run, 2), c);
      default: return std::string(run, c);
    }
  });
}

}  // namespace mto::com
