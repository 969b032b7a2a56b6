#pragma once

namespace mto::com {

// What keeps this module (the DLL, or the test host's copy of the bridge) in use: the COM objects
// it serves that are still alive, and IClassFactory::LockServer locks. DllCanUnloadNow answers S_OK
// only when both are zero.

long liveObjects() noexcept;
long serverLocks() noexcept;
void lockServer(bool lock) noexcept;

/// Base of every COM object the module serves: counts it for as long as it lives.
class CountedObject {
 public:
  CountedObject() noexcept;
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;

 protected:
  ~CountedObject();
};

}  // namespace mto::com
