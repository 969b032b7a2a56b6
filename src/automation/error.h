#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace mto::automation {

/// The five fields of an automation error, as the classic error object carries them.
struct ErrorInfo {
  int32_t number = 0;
  std::string source;
  std::string description;
  std::string helpFile;
  int32_t helpContext = 0;

  bool operator==(const ErrorInfo&) const = default;
};

/// Classic run-time error numbers raised by the runtime and the plug-in.
namespace errc {
inline constexpr int32_t kInvalidCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kAutomationError = 440;
inline constexpr int32_t kMemberNotFound = 438;
inline constexpr int32_t kActionNotSupported = 445;
inline constexpr int32_t kArgumentNotOptional = 449;
inline constexpr int32_t kWrongArgumentCount = 450;
/// Base of object-defined error numbers (0x80040000).
inline constexpr int32_t kObjectError = static_cast<int32_t>(0x80040000u);
}  // namespace errc

/// The source a runtime error carries before any procedure puts its name in front.
inline constexpr std::string_view kProjectName = "T8MTOChange";

/// The classic message of a standard error number, or the generic object-defined text.
std::string_view standardMessage(int32_t number);

/// The one error type that travels inside the core. Raising an automation error is throwing this.
class AutomationError : public std::exception {
 public:
  explicit AutomationError(ErrorInfo info) : info_(std::move(info)) {}
  const ErrorInfo& info() const noexcept { return info_; }
  int32_t number() const noexcept { return info_.number; }
  const char* what() const noexcept override { return info_.description.c_str(); }

 private:
  ErrorInfo info_;
};

/// Raises error `number`; an empty description takes the standard message, an empty source the
/// project name.
[[noreturn]] void raiseError(int32_t number, std::string description = {}, std::string source = {});
[[noreturn]] void raiseError(ErrorInfo info);

/// Turns whatever is in flight into an automation error: an AutomationError as it stands, out of
/// memory as error 7, anything else as error 440 with its text. Never throws.
ErrorInfo errorFromException(std::exception_ptr error) noexcept;

/// Whether a re-raise puts CR LF in front of the previous description or keeps it as it was.
enum class Description { Prefixed, Kept };

/// Call only inside a catch block. Raises the error being handled again: the number plus
/// `numberOffset`, `procedure` + CR LF + the previous source, CR LF + the previous description
/// (or the description unchanged); help file and help context unchanged.
[[noreturn]] void reraiseFrom(std::string_view procedure, int32_t numberOffset = 0,
                              Description description = Description::Prefixed);

/// The error that `reraiseFrom` would raise for `previous`.
ErrorInfo prependProcedure(const ErrorInfo& previous, std::string_view procedure, int32_t numberOffset = 0,
                           Description description = Description::Prefixed);

}  // namespace mto::automation
