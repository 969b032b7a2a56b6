#pragma once

namespace mto::com {

// What keeps this module (the DLL, or the test host's copy of the bridge) in use: the COM objects
// it serves that are still alive, and IClassFactory::LockServer locks. DllCanUnloadNow answers S_OK
// only when both are zero.

/// How many CountedObjects are alive.
long liveObjects() noexcept;
/// How many LockServer(TRUE) calls are not yet undone.
long serverLocks() noexcept;
/// LockServer(lock).
void lockServer(bool lock) noexcept;

/// Counts an object in `liveObjects` for as long as it lives; the base of ComObject
/// (bridge/com_object.h), through which every COM object of the module gets it.
class CountedObject {
 public:
  CountedObject() noexcept;
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;

 protected:
  ~CountedObject();
};

}  // namespace mto::com
