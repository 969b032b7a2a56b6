#pragma once

#include <string>
#include <string_view>

#include "automation/platform.h"

namespace mto::com {

/// The platform services on Windows: objects by ProgID through COM, the process id, the user's
/// locale, the message box and the local clock.
class WindowsPlatform : public automation::Platform {
 public:
  /// CLSIDFromProgID + CoCreateInstance (in-process or local server); failure raises 429 naming
  /// the ProgID.
  automation::ObjectPtr createObject(std::string_view progId) override;
  uint32_t processId() override;
  automation::Locale locale() override;
  /// MessageBoxW over the active window, with the style as given; returns the button pressed.
  int32_t messageBox(std::string_view text, std::string_view title, int32_t style) override;
  automation::Date now() override;
  /// To the debugger's output (OutputDebugStringW), prefixed with the component's name.
  void note(std::string_view text) noexcept override;
};

/// Installs a WindowsPlatform for the module once; later calls do nothing.
void installWindowsPlatform();

/// A Windows short-date picture in the runtime's tokens: years of one, two or four digits (three
/// and five become four), era markers dropped, everything else (d, M runs, quoted literals,
/// separators) kept.
std::string runtimeDatePattern(std::string_view windowsPattern);

/// A Windows time picture in the runtime's tokens: H, HH, h, hh, m, mm, s, ss, t, tt and quoted
/// literals are kept; longer runs are cut to two letters.
std::string runtimeTimePattern(std::string_view windowsPattern);

}  // namespace mto::com
