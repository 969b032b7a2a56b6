#include "bridge/text.h"

#include <limits>
#include <new>

namespace mto::com {

namespace {
int checkedLength(size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) throw std::bad_alloc();
  return static_cast<int>(size);
}
}  // namespace

std::wstring toWide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int length = checkedLength(utf8.size());
  int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring out(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), needed);
  return out;
}

std::string toUtf8(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  int length = checkedLength(utf16.size());
  int needed = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

BSTR allocBstr(std::string_view utf8) {
  std::wstring wide = toWide(utf8);
  BSTR out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!out) throw std::bad_alloc();
  return out;
}

std::string fromBstr(BSTR text) { return text ? toUtf8(std::wstring_view(text, SysStringLen(text))) : std::string(); }

}  // namespace mto::com
