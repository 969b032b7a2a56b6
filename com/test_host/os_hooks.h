#pragma once

// The machine a replayed scenario runs on. In process, the simulated host's platform answers the
// plug-in's questions about the clock, the locale, the process id and message boxes; through COM,
// the plug-in DLL asks Windows (GetLocalTime, GetLocaleInfoW, GetCurrentProcessId, MessageBoxW).
// These hooks point the DLL's imports of those four functions at the platform in force in this
// process (the scenario's simulated host), so that both runs see the same machine. The DLL itself
// is not changed.

#include <windows.h>

#include <string>

namespace mto::testhost {

/// Replaces the four imports in a loaded module's import table. Returns false, with what is
/// missing in `problem`, when an import is not found.
bool hookPlatformImports(HMODULE module, std::string& problem);

/// While one lives on a thread, the hooked functions called on that thread answer from
/// `automation::platform()`; elsewhere they are the system's (a message box is then only written
/// to the standard error, never shown).
class ScenarioMachine {
 public:
  ScenarioMachine();
  ~ScenarioMachine();
  ScenarioMachine(const ScenarioMachine&) = delete;
  ScenarioMachine& operator=(const ScenarioMachine&) = delete;

 private:
  bool outer_;
};

}  // namespace mto::testhost
