#pragma once

namespace mto::testhost {

/// The COM edge in this process: conversions, errors, host-object calls, events, platform.
void runBridgeTests();
/// The plug-in DLL, created by ProgID after registration, driven the way a host drives it.
void runPluginTests();

}  // namespace mto::testhost
