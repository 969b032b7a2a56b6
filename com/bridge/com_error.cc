#include "bridge/com_error.h"

#include <cstdio>
#include <new>
#include <string>

#include "bridge/com_ptr.h"
#include "bridge/text.h"

namespace mto::com {

using automation::ErrorInfo;
namespace errc = automation::errc;

namespace {

constexpr uint32_t kControlFacility = 0x800A0000u;

bool isControlFacility(HRESULT hr) {
  return (static_cast<uint32_t>(hr) & 0xFFFF0000u) == kControlFacility;
}

/// BSTR of a text, or null when the text is empty or memory is short (the field is optional).
BSTR optionalBstr(const std::string& text) noexcept {
  if (text.empty()) return nullptr;
  try {
    return allocBstr(text);
  } catch (...) {
    return nullptr;
  }
}

bool isClassicNumber(int32_t number) { return number > 0 && number <= 65535; }

}  // namespace

HRESULT hresultFromNumber(int32_t number) noexcept {
  if (isClassicNumber(number)) return static_cast<HRESULT>(kControlFacility | static_cast<uint32_t>(number));
  if (number == 0) return static_cast<HRESULT>(kControlFacility | errc::kAutomationError);
  return static_cast<HRESULT>(number);
}

int32_t numberFromHResult(HRESULT hr) noexcept {
  if (isControlFacility(hr)) return static_cast<int32_t>(static_cast<uint32_t>(hr) & 0xFFFFu);
  switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME: return errc::kMemberNotFound;
    case DISP_E_TYPEMISMATCH: return errc::kTypeMismatch;
    case DISP_E_OVERFLOW: return errc::kOverflow;
    case DISP_E_BADINDEX: return errc::kSubscriptOutOfRange;
    case DISP_E_PARAMNOTOPTIONAL: return errc::kArgumentNotOptional;
    case DISP_E_BADPARAMCOUNT: return errc::kWrongArgumentCount;
    case DISP_E_PARAMNOTFOUND: return 448;
    case DISP_E_NONAMEDARGS: return 446;
    case E_NOINTERFACE: return 430;
    case E_INVALIDARG: return errc::kInvalidCall;
    case E_OUTOFMEMORY: return errc::kOutOfMemory;
    case E_NOTIMPL: return errc::kActionNotSupported;
    default: return static_cast<int32_t>(hr);
  }
}

HRESULT reportError(const ErrorInfo& error, EXCEPINFO* excepInfo) noexcept {
  HRESULT scode = hresultFromNumber(error.number);
  if (!excepInfo) return scode;
  *excepInfo = EXCEPINFO{};
  excepInfo->scode = scode;
  excepInfo->bstrSource = optionalBstr(error.source);
  excepInfo->bstrDescription = optionalBstr(error.description);
  excepInfo->bstrHelpFile = optionalBstr(error.helpFile);
  excepInfo->dwHelpContext = static_cast<DWORD>(error.helpContext);
  return DISP_E_EXCEPTION;
}

HRESULT hresultFromException(std::exception_ptr error, EXCEPINFO* excepInfo) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const automation::AutomationError& e) {
    return reportError(e.info(), excepInfo);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception&) {
    if (!excepInfo) return E_UNEXPECTED;
    // errorFromException gives error 440 with the exception's text.
    return reportError(automation::errorFromException(error), excepInfo);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

ErrorInfo errorFromHResult(HRESULT hr, EXCEPINFO* excepInfo) {
  ErrorInfo info;
  HRESULT code = hr;
  if (hr == DISP_E_EXCEPTION && excepInfo) {
    if (excepInfo->pfnDeferredFillIn) {
      excepInfo->pfnDeferredFillIn(excepInfo);
      excepInfo->pfnDeferredFillIn = nullptr;
    }
    // Exactly one of wCode and scode is set; an exception that sets neither is still an error.
    if (excepInfo->wCode != 0)
      info.number = excepInfo->wCode;
    else if (excepInfo->scode != 0)
      info.number = numberFromHResult(code = excepInfo->scode);
    else
      info.number = errc::kAutomationError;
    info.source = fromBstr(excepInfo->bstrSource);
    info.description = fromBstr(excepInfo->bstrDescription);
    info.helpFile = fromBstr(excepInfo->bstrHelpFile);
    info.helpContext = static_cast<int32_t>(excepInfo->dwHelpContext);
  } else {
    info.number = numberFromHResult(hr);
  }
  if (info.source.empty()) info.source = std::string(automation::kProjectName);
  if (info.description.empty()) {
    if (isClassicNumber(info.number)) {
      info.description = std::string(automation::standardMessage(info.number));
    } else {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
      info.description = std::string(automation::standardMessage(errc::kAutomationError)) + " " + hex;
    }
  }
  return info;
}

void raiseHResult(HRESULT hr, EXCEPINFO* excepInfo) { automation::raiseError(errorFromHResult(hr, excepInfo)); }

}  // namespace mto::com
