#pragma once

#include <optional>
#include <string>

#include "automation/object.h"

namespace mto::com {

/// The registry key (under HKEY_CURRENT_USER) and value that switch the journal on for a user: the
/// value's data names the folder the journals go to. Absent or empty, nothing is recorded.
inline constexpr wchar_t kJournalKey[] = L"Software\\T8MTOChange";
inline constexpr wchar_t kJournalValue[] = L"JournalFolder";

/// The journal folder the current user switched on, read afresh on every call (so that an
/// implementer can switch the recorder on and off without restarting the host); nullopt when off.
/// Environment variables in the data (%TEMP%) are expanded. Never raises.
std::optional<std::wstring> journalFolder() noexcept;

/// The plug-in object the host is to see. With a journal folder, a new plug-in instance is
/// recorded: it starts with the thread's per-thread services dropped (as a replay starts on a
/// fresh thread), and everything that crosses between it and the host (its members the host calls,
/// the events it handles, the calls it makes, the components it creates) goes to a new journal in
/// the folder, "T8MTOChange-<date>-<time>-<process>-<n>.jsonl", written as it happens. A folder or
/// file that cannot be made, or a write that fails later, leaves the plug-in unrecorded and is noted
/// once through the platform; the host sees no difference. Raises only what creating the plug-in
/// raises.
automation::ObjectPtr recordedIfSwitchedOn(automation::ObjectPtr plugin);

}  // namespace mto::com
