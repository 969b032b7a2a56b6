#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/ascii.h"
#include "automation/variant.h"

namespace mto::automation {

/// The system locale items the component reads. The component never changes the process locale.
struct Locale {
  std::string dateSeparator = "/";
  /// Short-date pattern with d, dd, M, MM, yy, yyyy and literal separators, e.g. "M/d/yyyy".
  std::string shortDatePattern = "M/d/yyyy";
  /// Time pattern with H, HH, h, hh, mm, ss and tt, e.g. "H:mm:ss".
  std::string timePattern = "H:mm:ss";
  std::string thousandsSeparator = ",";
  std::string decimalSeparator = ".";
  /// The currency symbol numbers in text may carry, e.g. "$" or "\xE2\x82\xAC" (the euro sign).
  std::string currencySymbol = "$";
  /// Month names, January first, as dates in text may carry them besides the English ones.
  std::array<std::string, 12> monthNames = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
  /// Abbreviated month names, January first ("Jan", ... in English).
  std::array<std::string, 12> abbreviatedMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
};

/// The default locale above, made once. Conversions of values whose result does not depend on the
/// locale take it instead of the platform's, whose answer is a copy of two dozen texts.
const Locale& defaultLocale();

/// The operating-system and COM services the component needs, behind one small interface so that
/// the simulated host, the COM binding and the tests each supply their own.
class Platform {
 public:
  virtual ~Platform() = default;
  /// Creates a host component by ProgID; raises error 429 when none is registered or it fails.
  virtual ObjectPtr createObject(std::string_view progId) = 0;
  virtual uint32_t processId() = 0;
  virtual Locale locale() = 0;
  /// The component's own message box; returns the button pressed (1 for OK).
  virtual int32_t messageBox(std::string_view text, std::string_view title, int32_t style) = 0;
  /// The current local date and time.
  virtual Date now() = 0;
  /// Leaves a line for whoever looks after the installation, not for the user (a journal that can
  /// no longer be written, say). Never raises; the default drops it.
  virtual void note(std::string_view text) noexcept;
};

/// A platform that passes every service to another; a platform that changes a few of them derives
/// from it and overrides those. `base` must outlive it.
class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& base) : base_(base) {}
  ObjectPtr createObject(std::string_view progId) override { return base_.createObject(progId); }
  uint32_t processId() override { return base_.processId(); }
  Locale locale() override { return base_.locale(); }
  int32_t messageBox(std::string_view text, std::string_view title, int32_t style) override {
    return base_.messageBox(text, title, style);
  }
  Date now() override { return base_.now(); }
  void note(std::string_view text) noexcept override { base_.note(text); }

 protected:
  Platform& base() { return base_; }

 private:
  Platform& base_;
};

/// The platform in force for the calling thread: the one a host set for this thread, else the
/// process's. Unset, the process's is a `RegistryPlatform` with nothing registered.
Platform& platform();
/// Replaces the process's platform (seen by every thread without one of its own); returns the
/// previous one. Meant for a host at start-up, before its threads call the component.
std::shared_ptr<Platform> setPlatform(std::shared_ptr<Platform> next);
/// Sets the calling thread's own platform (null: the process's again) and returns the thread's previous
/// one (null when it had none). The caller keeps it alive while it is set. Lets several hosts, each on
/// its own thread, run side by side.
Platform* setThreadPlatform(Platform* next) noexcept;

inline ObjectPtr createObject(std::string_view progId) {
  return platform().createObject(progId);
}

/// A platform whose components come from a table of factories by ProgID. Its locale, process id
/// and message-box answers are set by the owner; message boxes are recorded, never shown.
class RegistryPlatform : public Platform {
 public:
  using Factory = std::function<ObjectPtr()>;
  struct MessageBoxCall {
    std::string text;
    std::string title;
    int32_t style = 0;
  };

  ObjectPtr createObject(std::string_view progId) override;
  uint32_t processId() override { return processId_; }
  Locale locale() override { return locale_; }
  int32_t messageBox(std::string_view text, std::string_view title, int32_t style) override;
  /// The system clock, unless a fixed time was set.
  Date now() override;
  /// Kept in `notes()`.
  void note(std::string_view text) noexcept override;

  /// Registers (or replaces) the factory of a ProgID; ProgIDs compare without regard to case.
  void registerFactory(std::string progId, Factory factory);
  void unregisterFactory(std::string_view progId);
  bool isRegistered(std::string_view progId) const;
  /// The factory registered for a ProgID, or an empty one; lets an owner take a component away
  /// and put the same one back.
  Factory factory(std::string_view progId) const;

  void setLocale(Locale locale) { locale_ = std::move(locale); }
  void setProcessId(uint32_t pid) { processId_ = pid; }
  void setNow(std::optional<Date> fixed) { fixedNow_ = fixed; }
  const std::vector<MessageBoxCall>& messageBoxes() const { return messageBoxes_; }
  const std::vector<std::string>& notes() const { return notes_; }

 private:
  std::map<std::string, Factory, ascii::LessIgnoreCase> factories_;
  Locale locale_;
  uint32_t processId_ = 4242;
  std::optional<Date> fixedNow_;
  std::vector<MessageBoxCall> messageBoxes_;
  std::vector<std::string> notes_;
};

}  // namespace mto::automation
