#include "automation/thread_state.h"

namespace mto::automation {

ThreadState& threadState() {
  thread_local ThreadState state;
  return state;
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
