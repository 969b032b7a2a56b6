#include "support/login_environment.h"

#include <algorithm>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/err_object.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "automation/thread_state.h"
#include "host/contract.h"

namespace mto::support {

using automation::call;
using automation::createObject;
using automation::put;
using automation::threadState;

namespace {

struct LoginState {
  std::string language;
  ObjectPtr resourceLoader;
  ObjectPtr formResourceLoader;
  ObjectPtr accessChecker;
  ObjectPtr log;
  bool logInitialised = false;
  ObjectPtr messageService;
};

LoginState& state() {
  return threadState().module<LoginState>();
}

std::string_view trimBlanks(std::string_view s) {
  auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  auto last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

bool logEnabled() {
  auto& st = state();
  if (!st.log) return false;
  if (!automation::toBoolean(call(st.log, "IsEnabled"))) {
    st.log.reset();
    return false;
  }
  return true;
}

}  // namespace

Variant GetShareProperty(std::string_view name) {
  auto pid = static_cast<int32_t>(automation::platform().processId());
  ObjectPtr props = createObject(host::progid::kShareProps);
  return call(props, "GetProperty", pid, name);
}

std::string GetPropsString() {
  return automation::toText(GetShareProperty("PropsString"));
}

std::string FindPropValue(std::string_view propsString, std::string_view key) {
  std::string s(propsString);
  if (s.empty() || s.back() != ';') s += ';';
  std::string wanted = std::string(key) + "=";
  // A pair starts at the beginning or right after ";": a key that merely ends with the wanted key
  // ("DBLANGUAGE" for "LANGUAGE") is not a match.
  size_t pairStart = 0;
  while (pairStart < s.size()) {
    std::string_view pair(s.data() + pairStart, s.find(';', pairStart) - pairStart);
    if (automation::ascii::startsWithIgnoreCase(pair, wanted)) return std::string(pair.substr(wanted.size()));
    pairStart += pair.size() + 1;
  }
  return {};
}

std::string GetPropValue(std::string_view key) {
  try {
    return FindPropValue(GetPropsString(), key);
  } catch (...) {
    return {};
  }
}

ObjectPtr GetAccessChecker() {
  auto& st = state();
  if (!st.accessChecker) st.accessChecker = createObject(host::progid::kAccessChecker);
  return st.accessChecker;
}

std::string GetResText(std::string_view key) {
  automation::PendingErrorGuard keepCallersError;
  std::string text(key);
  try {
    auto& st = state();
    if (st.language.empty()) st.language = GetPropValue("LANGUAGE");
    if (!st.resourceLoader) st.resourceLoader = createObject(host::progid::kResourceLoader);
    put(st.resourceLoader, "ResFileBaseName", "D8ODURUVER");
    put(st.resourceLoader, "LanguageID", st.language);
    text = std::string(trimBlanks(text));
    if (text.find("^|^") != std::string::npos) return ComposeResText(text);
    if (text.empty()) return {};
    return automation::toText(call(st.resourceLoader, "LoadString", text));
  } catch (...) {
    return text;
  }
}

std::string ComposeResText(std::string_view text) {
  static constexpr std::string_view kSeparator = "^|^";
  static constexpr std::string_view kKeyMarker = "~$~";
  std::string out;
  size_t start = 0;
  while (true) {
    size_t end = text.find(kSeparator, start);
    std::string_view piece = text.substr(start, end == std::string_view::npos ? text.npos : end - start);
    if (piece.substr(0, kKeyMarker.size()) == kKeyMarker)
      out += GetResText(piece.substr(kKeyMarker.size()));
    else
      out += piece;
    if (end == std::string_view::npos) break;
    start = end + kSeparator.size();
  }
  return out;
}

void SetFormFont(const ObjectPtr& form) {
  auto& st = state();
  if (st.language.empty()) st.language = GetPropValue("Language");
  if (!st.formResourceLoader) st.formResourceLoader = createObject(host::progid::kFormResourceLoader);
  call(st.formResourceLoader, "SetFrmFont", form, st.language);
}

int32_t LogStart(std::string_view procedure) {
  automation::PendingErrorGuard keepCallersError;
  int32_t handle = 0;
  try {
    auto& st = state();
    if (!st.logInitialised) {
      // The flag is set even when the component is missing, so creation is tried once per thread.
      st.logInitialised = true;
      if (!st.log) st.log = createObject(host::progid::kLog);
    }
    if (logEnabled()) handle = automation::toLong(call(st.log, "LogStart", procedure));
  } catch (...) {
  }
  return handle;
}

void LogEnd(int32_t handle, int32_t code) {
  automation::PendingErrorGuard keepCallersError;
  try {
    if (logEnabled()) call(state().log, "LogEnd", handle, code);
  } catch (...) {
  }
}

ObjectPtr GetMessageService() {
  auto& st = state();
  if (!st.messageService) st.messageService = createObject(host::progid::kMessageService);
  return st.messageService;
}

void ShowMessage(std::string_view text) {
  call(GetMessageService(), "ShowMessage", text);
}

void ShowPendingError() {
  call(GetMessageService(), "ShowError", automation::makeErrObject(automation::err()), automation::Array{});
}

LogScope::LogScope(std::string_view procedureName)
    : handle_(LogStart(std::string(kLogPrefix) + std::string(procedureName))) {}

LogScope::LogScope(WholeName, std::string_view wholeName) : handle_(LogStart(wholeName)) {}

LogScope LogScope::named(std::string_view wholeName) {
  return LogScope(WholeName{}, wholeName);
}

void LogScope::close(int32_t code) {
  if (closed_) return;
  closed_ = true;
  LogEnd(handle_, code);
}

}  // namespace mto::support
