#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace mto::com {

// Strings are UTF-8 inside the component and UTF-16 only at the COM edge. Ill-formed input turns
// into U+FFFD rather than failing: a host's text is shown, never rejected. Allocation failures
// throw std::bad_alloc.

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view utf16);
/// A new BSTR the caller owns (embedded NULs kept).
BSTR allocBstr(std::string_view utf8);
/// The whole BSTR, by its length prefix (a null BSTR is the empty text).
std::string fromBstr(BSTR text);

}  // namespace mto::com
