#include "automation/thread_state.h"

#include <cstring>

namespace mto::automation {

ThreadState& threadState() {
  thread_local ThreadState state;
  return state;
}

namespace {
// Plain per-thread values: nothing to destroy at the thread's end.
thread_local uint64_t foreignCount = 0;
thread_local char foreignText[256] = {};
}  // namespace

uint64_t foreignExceptionCount() noexcept {
  return foreignCount;
}

std::string lastForeignException() {
  return foreignText;
}

void noteForeignException(const char* what) noexcept {
  ++foreignCount;
  std::strncpy(foreignText, what ? what : "", sizeof foreignText - 1);
  foreignText[sizeof foreignText - 1] = '\0';
}

void setPendingError(const ErrorInfo& info) {
  err() = info;
}

void PendingErrorGuard::restore() noexcept {
  ErrorInfo& e = err();
  // Swap rather than copy so that restoring cannot allocate and therefore cannot throw.
  std::swap(e.description, saved_.description);
  std::swap(e.helpFile, saved_.helpFile);
  std::swap(e.source, saved_.source);
  e.helpContext = saved_.helpContext;
  e.number = saved_.number;
}

}  // namespace mto::automation
