#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>

#include "automation/error.h"

namespace mto::automation {

class Platform;

/// Everything the component keeps per host thread: the error object, the state of every module
/// (each module keeps one struct of its own here, created on first use) and the platform a host
/// set for this thread. Reached only through `threadState()`.
class ThreadState {
 public:
  /// The pending error (the classic error object); number 0 means none.
  ErrorInfo err;

  /// The platform a host set for this thread alone (`setThreadPlatform`); none means the process's.
  /// It belongs to the host, not to the modules: `reset` keeps it.
  std::shared_ptr<Platform> platform;

  /// How many C++ exceptions other than the runtime's own (and out of memory) reached an error
  /// translator on this thread in its life, and the text of the last one. Each is a fault of the
  /// implementation, not of the input: tests, the scenario runner and the fuzz targets compare the
  /// count before and after what they run. `reset` keeps both.
  uint64_t foreignExceptions = 0;
  std::string lastForeignException;

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
