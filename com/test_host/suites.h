#pragma once

namespace mto::testhost {

/// The COM object base and the owners of COM resources, on objects of the test's own. Runs first:
/// it expects no COM object of this module alive when it starts.
void runComObjectTests();
/// The COM edge in this process: conversions, errors, host-object calls, events, platform.
void runBridgeTests();
/// The plug-in DLL, created by ProgID after registration, driven the way a host drives it.
void runPluginTests();
/// The plug-in's type library: its registration and its contents as an object browser lists them.
void runTypeLibraryTests();
/// The simulated host's objects and components over COM, and the trace comparison of the replay.
void runReplayTests();
/// The simulated host's database as the Windows build has it: SQLite from the pinned amalgamation.
void runSqliteTests();
/// The bench on a tiny bill: every event runs on both paths, with the same host calls on each. Runs
/// when no class of this program is served: the bench serves the simulated host's ProgIDs itself.
void runBenchTests();

}  // namespace mto::testhost
