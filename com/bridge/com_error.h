#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <exception>
#include <string_view>
#include <utility>

#include "automation/error.h"

namespace mto::com {

// The one exception firewall of the COM edge. Every exported function and every COM method runs
// its body through `firewall`, so that no C++ exception reaches a caller across the ABI, and every
// failing call the component makes turns into an AutomationError through `raiseHResult`.

/// The HRESULT form of an error number: 0x800A0000 | n for classic numbers 1..65535 (facility
/// control), otherwise the number itself.
HRESULT hresultFromNumber(int32_t number) noexcept;

/// The error number a client sees for an HRESULT: the low word of a facility-control failure, the
/// classic number of the standard dispatch failures (DISP_E_MEMBERNOTFOUND 438, DISP_E_TYPEMISMATCH
/// 13, ...), otherwise the HRESULT as a signed number.
int32_t numberFromHResult(HRESULT hr) noexcept;

/// Reports an error to an IDispatch::Invoke caller: fills `excepInfo` (when given) and returns
/// DISP_E_EXCEPTION; without an EXCEPINFO it returns the error's HRESULT form.
HRESULT reportError(const automation::ErrorInfo& error, EXCEPINFO* excepInfo) noexcept;

/// The HRESULT for an exception in flight: an AutomationError as `reportError` does, out of memory
/// as E_OUTOFMEMORY, other standard exceptions as error 440 with their text when there is an
/// EXCEPINFO to carry it, anything else E_UNEXPECTED.
HRESULT hresultFromException(std::exception_ptr error, EXCEPINFO* excepInfo) noexcept;

/// Runs `body` (returning HRESULT) and translates whatever it throws.
template <typename F>
HRESULT firewall(EXCEPINFO* excepInfo, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    return hresultFromException(std::current_exception(), excepInfo);
  }
}

template <typename F>
HRESULT firewall(F&& body) noexcept {
  return firewall(nullptr, std::forward<F>(body));
}

/// The automation error for a failed call: from the EXCEPINFO of DISP_E_EXCEPTION (running its
/// deferred fill-in first), otherwise from the HRESULT alone.
automation::ErrorInfo errorFromHResult(HRESULT hr, EXCEPINFO* excepInfo);

/// Raises the automation error of a failed call.
[[noreturn]] void raiseHResult(HRESULT hr, EXCEPINFO* excepInfo = nullptr);

/// Raises when `hr` is a failure.
inline void check(HRESULT hr) {
  if (FAILED(hr)) raiseHResult(hr);
}

}  // namespace mto::com
