#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>

#include "automation/error.h"

namespace mto::automation {

class Platform;

/// Everything the component keeps per host thread: the error object and the state of every module
/// (each module keeps one struct of its own here, created on first use). Reached only through
/// `threadState()`. Beside it, two things per thread are kept as plain values that need no
/// destruction (the platform a host set for its thread, and the count of foreign exceptions): at a
/// thread's end some C runtimes (mingw-w64's emulated thread storage) may free a thread's storage
/// before running its destructors, so nothing new that owns memory is added per thread.
class ThreadState {
 public:
  /// The pending error (the classic error object); number 0 means none.
  ErrorInfo err;

  /// The module-state struct `T` of this thread, default-constructed on first use.
  template <typename T>
  T& module() {
    auto& slot = modules_[std::type_index(typeid(T))];
    if (!slot) slot = std::make_shared<T>();
    return *static_cast<T*>(slot.get());
  }

  /// Drops all module state and the pending error, as a fresh thread would see them.
  void reset() {
    err = ErrorInfo{};
    auto doomed = std::move(modules_);
    modules_.clear();
  }

 private:
  std::unordered_map<std::type_index, std::shared_ptr<void>> modules_;
};

ThreadState& threadState();

/// How many C++ exceptions other than the runtime's own (and out of memory) reached an error
/// translator on this thread in its life. Each is a fault of the implementation, not of the input:
/// tests, the scenario runner and the fuzz targets compare the count before and after what they run.
uint64_t foreignExceptionCount() noexcept;
/// The text of the last of them on this thread (its first 255 bytes); "" when none.
std::string lastForeignException();
/// Counts one and keeps its text; called by the error translator only.
void noteForeignException(const char* what) noexcept;

/// Shorthand for the pending error of this thread.
inline ErrorInfo& err() {
  return threadState().err;
}

/// Records a caught error as the pending error, as a trap that resumes does.
void setPendingError(const ErrorInfo& info);
inline void clearPendingError() {
  err() = ErrorInfo{};
}

/// Keeps the caller's pending error across a service that raises and absorbs errors of its own:
/// saves the error on construction and puts it back on destruction (fields first, number last).
class PendingErrorGuard {
 public:
  PendingErrorGuard() : saved_(err()) {}
  ~PendingErrorGuard() { restore(); }
  PendingErrorGuard(const PendingErrorGuard&) = delete;
  PendingErrorGuard& operator=(const PendingErrorGuard&) = delete;

 private:
  void restore() noexcept;
  ErrorInfo saved_;
};

}  // namespace mto::automation
