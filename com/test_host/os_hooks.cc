#include "test_host/os_hooks.h"

#include <objbase.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "automation/dates.h"
#include "automation/platform.h"
#include "bridge/text.h"
#include "guids.h"

namespace mto::testhost {

namespace {

thread_local bool scenarioRunning = false;

using GetLocalTimeFn = void(WINAPI*)(LPSYSTEMTIME);
using GetLocaleInfoWFn = int(WINAPI*)(LCID, LCTYPE, LPWSTR, int);
using GetCurrentProcessIdFn = DWORD(WINAPI*)();
using MessageBoxWFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

GetLocalTimeFn systemGetLocalTime = nullptr;
GetLocaleInfoWFn systemGetLocaleInfoW = nullptr;
GetCurrentProcessIdFn systemGetCurrentProcessId = nullptr;

void WINAPI machineGetLocalTime(LPSYSTEMTIME time) {
  if (!scenarioRunning || !time) return systemGetLocalTime(time);
  automation::Date now = automation::platform().now();
  automation::DateParts parts = automation::dateParts(now);
  *time = SYSTEMTIME{};
  time->wYear = static_cast<WORD>(parts.year);
  time->wMonth = static_cast<WORD>(parts.month);
  time->wDay = static_cast<WORD>(parts.day);
  time->wHour = static_cast<WORD>(parts.hour);
  time->wMinute = static_cast<WORD>(parts.minute);
  time->wSecond = static_cast<WORD>(parts.second);
  // Day 0 (1899-12-30) was a Saturday; Sunday is 0.
  auto day = static_cast<int64_t>(std::floor(now.serial));
  time->wDayOfWeek = static_cast<WORD>(((day % 7) + 7 + 6) % 7);
}

/// The locale items the platform reads, in Windows pictures: the simulated locale's tokens (d dd M
/// MM yy yyyy, H HH h hh mm ss tt) are Windows' own; the currency symbol and the month names as the
/// scenario set them.
bool machineLocaleItem(LCTYPE item, std::string& value) {
  automation::Locale locale = automation::platform().locale();
  switch (item) {
    case LOCALE_SDATE: value = locale.dateSeparator; return true;
    case LOCALE_SSHORTDATE: value = locale.shortDatePattern; return true;
    case LOCALE_STIMEFORMAT: value = locale.timePattern; return true;
    case LOCALE_STHOUSAND: value = locale.thousandsSeparator; return true;
    case LOCALE_SDECIMAL: value = locale.decimalSeparator; return true;
    case LOCALE_SCURRENCY: value = locale.currencySymbol; return true;
    default: break;
  }
  if (item >= LOCALE_SMONTHNAME1 && item <= LOCALE_SMONTHNAME12) {
    value = locale.monthNames[item - LOCALE_SMONTHNAME1];
    return true;
  }
  if (item >= LOCALE_SABBREVMONTHNAME1 && item <= LOCALE_SABBREVMONTHNAME12) {
    value = locale.abbreviatedMonthNames[item - LOCALE_SABBREVMONTHNAME1];
    return true;
  }
  return false;
}

int WINAPI machineGetLocaleInfoW(LCID locale, LCTYPE item, LPWSTR data, int size) {
  std::string value;
  if (!scenarioRunning || locale != LOCALE_USER_DEFAULT || !machineLocaleItem(item, value))
    return systemGetLocaleInfoW(locale, item, data, size);
  std::wstring wide = com::toWide(value);
  int needed = static_cast<int>(wide.size()) + 1;
  if (size == 0) return needed;
  if (!data || size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(data, wide.c_str(), static_cast<size_t>(needed) * sizeof(wchar_t));
  return needed;
}

DWORD WINAPI machineGetCurrentProcessId() {
  if (!scenarioRunning) return systemGetCurrentProcessId();
  return automation::platform().processId();
}

struct Intercepted {
  std::mutex mutex;
  std::vector<InterceptedMessageBox> boxes;
};
Intercepted& intercepted() {
  static auto* record = new Intercepted;
  return *record;
}

int WINAPI machineMessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT style) {
  std::string utf8Text = text ? com::toUtf8(text) : std::string();
  std::string utf8Caption = caption ? com::toUtf8(caption) : std::string();
  if (!scenarioRunning) {
    std::fprintf(stderr, "[message box outside a scenario] %s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    Intercepted& record = intercepted();
    std::lock_guard lock(record.mutex);
    record.boxes.push_back({utf8Text, utf8Caption, static_cast<int32_t>(style)});
    return IDOK;
  }
  return automation::platform().messageBox(utf8Text, utf8Caption, static_cast<int32_t>(style));
}

/// Replaces one import by name, whichever DLL it comes from; the previous address goes to `system`.
bool replaceImport(HMODULE module, const char* name, ULONG_PTR replacement, ULONG_PTR* system) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return false;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
    DWORD lookup = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD previous = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof(ULONG_PTR), PAGE_READWRITE, &previous)) return false;
      if (*system == 0) *system = slots->u1.Function;
      slots->u1.Function = replacement;
      VirtualProtect(&slots->u1.Function, sizeof(ULONG_PTR), previous, &previous);
      return true;
    }
  }
  return false;
}

template <typename Fn>
bool hook(HMODULE module, const char* name, Fn replacement, Fn* system, std::string& problem) {
  ULONG_PTR previous = reinterpret_cast<ULONG_PTR>(*system);
  if (!replaceImport(module, name, reinterpret_cast<ULONG_PTR>(replacement), &previous)) {
    problem += std::string(problem.empty() ? "" : ", ") + name;
    return false;
  }
  *system = reinterpret_cast<Fn>(previous);
  return true;
}

}  // namespace

bool hookPlatformImports(HMODULE module, std::string& problem) {
  MessageBoxWFn unusedMessageBox = nullptr;  // never called through: a box must not block a test
  bool ok = hook(module, "GetLocalTime", &machineGetLocalTime, &systemGetLocalTime, problem);
  ok = hook(module, "GetLocaleInfoW", &machineGetLocaleInfoW, &systemGetLocaleInfoW, problem) && ok;
  ok = hook(module, "GetCurrentProcessId", &machineGetCurrentProcessId, &systemGetCurrentProcessId, problem) && ok;
  ok = hook(module, "MessageBoxW", &machineMessageBoxW, &unusedMessageBox, problem) && ok;
  if (!ok) problem = "the module does not import " + problem;
  return ok;
}

bool hookMessageBox(HMODULE module, std::string& problem) {
  MessageBoxWFn unusedMessageBox = nullptr;
  std::string missing;
  if (hook(module, "MessageBoxW", &machineMessageBoxW, &unusedMessageBox, missing)) return true;
  problem = "the module does not import " + missing;
  return false;
}

std::vector<InterceptedMessageBox> takeInterceptedMessageBoxes() {
  Intercepted& record = intercepted();
  std::lock_guard lock(record.mutex);
  return std::exchange(record.boxes, {});
}

HMODULE loadRegisteredPlugin() {
  wchar_t clsid[64] = {};
  StringFromGUID2(com::kClsidMtoChange, clsid, 64);
  std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = sizeof path;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
    return nullptr;
  return LoadLibraryW(path);
}

ScenarioMachine::ScenarioMachine() : outer_(scenarioRunning) { scenarioRunning = true; }

ScenarioMachine::~ScenarioMachine() { scenarioRunning = outer_; }

}  // namespace mto::testhost
