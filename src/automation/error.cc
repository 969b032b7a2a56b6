#include "automation/error.h"

#include <new>

#include "automation/thread_state.h"

namespace mto::automation {


std::string_view standardMessage(int32_t number) {
  switch (number) {
    case 3:
      return "Return without GoSub";
    case 5:
      return "Invalid procedure call or argument";
    case 6:
      return "Overflow";
    case 7:
      return "Out of memory";
    case 9:
      return "Subscript out of range";
    case 10:
      return "This array is fixed or temporarily locked";
    case 11:
      return "Division by zero";
    case 13:
      return "Type mismatch";
    case 91:
      return "Object variable or With block variable not set";
    case 94:
      return "Invalid use of Null";
    case 424:
      return "Object required";
    case 429:
      return "ActiveX component can't create object";
    case 430:
      return "Class doesn't support Automation";
    case 438:
      return "Object doesn't support this property or method";
    case 440:
      return "Automation error";
    case 445:
      return "Object doesn't support this action";
    case 446:
      return "Object doesn't support named arguments";
    case 448:
      return "Named argument not found";
    case 449:
      return "Argument not optional";
    case 450:
      return "Wrong number of arguments or invalid property assignment";
    default:
      return "Application-defined or object-defined error";
  }
}

void raiseError(int32_t number, std::string description, std::string source) {
  ErrorInfo info;
  info.number = number;
  info.description = description.empty() ? std::string(standardMessage(number)) : std::move(description);
  info.source = source.empty() ? std::string(kProjectName) : std::move(source);
  throw AutomationError(std::move(info));
}

void raiseError(ErrorInfo info) {
  throw AutomationError(std::move(info));
}

ErrorInfo errorFromException(std::exception_ptr error) noexcept {
  try {
    try {
      std::rethrow_exception(error);
    } catch (const AutomationError& e) {
      return e.info();
    } catch (const std::bad_alloc&) {
      return ErrorInfo{errc::kOutOfMemory, std::string(kProjectName), std::string(standardMessage(7)), {}, 0};
    } catch (const std::exception& e) {
      noteForeignException(e.what());
      return ErrorInfo{errc::kAutomationError, std::string(kProjectName), e.what(), {}, 0};
    } catch (...) {
      noteForeignException("an exception of no known type");
      return ErrorInfo{errc::kAutomationError,
                       std::string(kProjectName),
                       std::string(standardMessage(errc::kAutomationError)),
                       {},
                       0};
    }
  } catch (...) {
    // Copying the texts ran out of memory: report the number alone.
    ErrorInfo bare;
    bare.number = errc::kOutOfMemory;
    return bare;
  }
}

ErrorInfo prependProcedure(const ErrorInfo& previous, std::string_view procedure, int32_t numberOffset,
                           Description description) {
  ErrorInfo next = previous;
  next.number =
      static_cast<int32_t>(static_cast<uint32_t>(previous.number) + static_cast<uint32_t>(numberOffset));
  next.source = std::string(procedure) + "\r\n" + previous.source;
  if (description == Description::Prefixed) next.description = "\r\n" + previous.description;
  return next;
}

void reraiseFrom(std::string_view procedure, int32_t numberOffset, Description description) {
  throw AutomationError(
      prependProcedure(errorFromException(std::current_exception()), procedure, numberOffset, description));
}

}  // namespace mto::automation
