#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/object.h"

namespace mto::support {

using automation::ObjectPtr;
using automation::Variant;

// Module services every handler uses: login properties, cached host services, resource texts, form
// fonts, log scopes and the message service. Their state is per host thread (LoginState).

/// Text a traced procedure's log scope starts with.
inline constexpr std::string_view kLogPrefix = "T8MTOChange.clsMTOChange.";

/// A shared login property of this process (a fresh "PropsMgr.ShareProps" each call). Raises.
Variant GetShareProperty(std::string_view name);
/// The login property string ("PropsString"). Raises.
std::string GetPropsString();
/// One value of the login property string; "" when absent or on any failure. The key matches only
/// a whole key (at the start of the string or right after ";"), ignoring case.
std::string GetPropValue(std::string_view key);
/// The value of `key` in a property string of "key=value;" pairs, matched as `GetPropValue` does.
std::string FindPropValue(std::string_view propsString, std::string_view key);

/// The cached access-check object ("EBCGLView.GLData"). Raises when it cannot be created.
ObjectPtr GetAccessChecker();

/// The user-visible text for a resource key or a composite text. Never raises, and leaves the
/// caller's pending error as it was; any failure yields the key text itself.
std::string GetResText(std::string_view key);
/// Joins the pieces of a text split at "^|^", translating the pieces that start with "~$~".
std::string ComposeResText(std::string_view text);

/// Applies the login language's font to a form through the form-resource loader. Raises.
void SetFormFont(const ObjectPtr& form);

/// Opens a log scope; 0 when logging is off. Never raises, never disturbs a pending error.
int32_t LogStart(std::string_view procedure);
/// Closes a log scope with code 0 (normal end) or 1 (error path). Never raises, never disturbs a
/// pending error.
void LogEnd(int32_t handle, int32_t code);

/// The thread's message service, created on first use and kept. Raises when it cannot be created.
ObjectPtr GetMessageService();
/// Shows a text through the message service's show-message operation. Raises.
void ShowMessage(std::string_view text);
/// Passes the pending error and an empty argument list to the show-error operation. Raises.
void ShowPendingError();

/// A traced procedure's log scope, opened with kLogPrefix + its name. `succeed` closes it with code
/// 0, `fail` with code 1; an error that passes through a handler without a trap leaves it open.
class LogScope {
 public:
  explicit LogScope(std::string_view procedureName);
  /// A scope opened under a whole name of its own, for a procedure that logs under another
  /// component's name.
  static LogScope named(std::string_view wholeName);
  LogScope(const LogScope&) = delete;
  LogScope& operator=(const LogScope&) = delete;
  void succeed() { close(0); }
  void fail() { close(1); }
  /// Closes the scope with a code of the procedure's own; a scope closes once.
  void close(int32_t code);

 private:
  struct WholeName {};
  LogScope(WholeName, std::string_view wholeName);
  int32_t handle_;
  bool closed_ = false;
};

}  // namespace mto::support
