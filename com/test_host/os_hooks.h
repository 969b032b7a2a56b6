#pragma once

// The machine a replayed scenario runs on. In process, the simulated host's platform answers the
// plug-in's questions about the clock, the locale, the process id and message boxes; through COM,
// the plug-in DLL asks Windows (GetLocalTime, GetLocaleInfoW, GetCurrentProcessId, MessageBoxW).
// These hooks point the DLL's imports of those four functions at the platform in force in this
// process (the scenario's simulated host), so that both runs see the same machine. The DLL itself
// is not changed.
//
// MessageBoxW is also hooked outside the replay, in the test host's own module and in the DLL: no
// message box is ever shown in this process, and the ones taken outside a scenario are recorded for
// tests to inspect.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mto::testhost {

/// Replaces the four imports in a loaded module's import table. Returns false, with what is
/// missing in `problem`, when an import is not found.
bool hookPlatformImports(HMODULE module, std::string& problem);

/// Points a loaded module's import of MessageBoxW at the interception (see ScenarioMachine for where
/// a box goes). Returns false, with the reason in `problem`, when the module does not import it.
bool hookMessageBox(HMODULE module, std::string& problem);

/// A message box intercepted outside a scenario, as the module asked for it.
struct InterceptedMessageBox {
  std::string text;
  std::string title;
  int32_t style = 0;
};

/// The message boxes intercepted outside scenarios since the last call, oldest first; the record is
/// emptied.
std::vector<InterceptedMessageBox> takeInterceptedMessageBoxes();

/// The registered plug-in's DLL (its InprocServer32 file), loaded and kept loaded for the rest of
/// the process; null when it is not registered or does not load.
HMODULE loadRegisteredPlugin();

/// While one lives on a thread, the hooked functions called on that thread answer from
/// `automation::platform()`; elsewhere they are the system's, except MessageBoxW: a box is then
/// recorded (takeInterceptedMessageBoxes), written to the standard error and answered IDOK, never
/// shown.
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
