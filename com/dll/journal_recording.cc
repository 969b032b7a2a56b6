#include "dll/journal_recording.h"

#include <fmt/format.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>
#include <vector>

#include "automation/dates.h"
#include "automation/platform.h"
#include "automation/thread_state.h"
#include "journal/format.h"
#include "journal/recorder.h"

namespace mto::com {

namespace {

/// A plug-in instance with its journal: the file, the writer on it, the recorder and the plug-in,
/// declared so that the plug-in goes first, then the recorder, the writer and the file.
class RecordedPlugin final : public automation::Object {
 public:
  RecordedPlugin(const std::filesystem::path& file, automation::Platform& host, automation::ObjectPtr plugin)
      : file_(file, std::ios::binary | std::ios::trunc),
        writer_(file_),
        recorder_(host, &writer_, journal::Recorder::Keep::OpenEntries),
        plugin_(std::move(plugin)) {}

  bool opened() const { return file_.is_open() && file_.good(); }
  /// Writes the header: when, the locale, the process and the module's version.
  void start(automation::Platform& host) {
    journal::Header header;
    header.time = host.now();
    header.locale = host.locale();
    header.processId = host.processId();
    header.moduleVersion = MTO_VERSION;
    header.host = "com";
    writer_.header(header);
  }

  std::string typeName() const override { return plugin_->typeName(); }
  automation::Variant invoke(std::string_view member, automation::CallKind, automation::Args args) override {
    return recorder_.callPlugin(*plugin_, member, args);
  }

 private:
  std::ofstream file_;
  journal::Writer writer_;
  journal::Recorder recorder_;
  automation::ObjectPtr plugin_;
};

/// The journal's file name: when, the process, and the instance's number in the process.
std::wstring journalName(automation::Platform& host) {
  static std::atomic<uint32_t> instances{0};
  const automation::Date now = host.now();
  const auto parts = automation::dateParts(now);
  std::string name =
      fmt::format("T8MTOChange-{:04}{:02}{:02}-{:02}{:02}{:02}-{}-{}.jsonl", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute, parts.second, host.processId(), ++instances);
  return std::wstring(name.begin(), name.end());
}

}  // namespace

std::optional<std::wstring> journalFolder() noexcept {
  try {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kJournalKey, kJournalValue, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < 2 * sizeof(wchar_t))
      return std::nullopt;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, kJournalKey, kJournalValue, RRF_RT_REG_SZ, nullptr, data.data(),
                     &size) != ERROR_SUCCESS)
      return std::nullopt;
    std::wstring folder(data.data());
    if (folder.empty()) return std::nullopt;
    return folder;
  } catch (...) {
    return std::nullopt;
  }
}

automation::ObjectPtr recordedIfSwitchedOn(automation::ObjectPtr plugin) {
  const std::optional<std::wstring> folder = journalFolder();
  if (!folder) return plugin;
  automation::Platform& host = automation::platform();
  try {
    std::error_code ignored;
    std::filesystem::create_directories(*folder, ignored);
    const std::filesystem::path file = std::filesystem::path(*folder) / journalName(host);
    auto recorded = std::make_shared<RecordedPlugin>(file, host, plugin);
    if (!recorded->opened()) {
      host.note(fmt::format("The journal {} could not be created: this plug-in instance is not recorded.",
                            file.string()));
      return plugin;
    }
    // A replay starts the plug-in on a fresh thread; so does a recorded instance, so that no
    // service cached by an earlier one answers outside its journal.
    automation::threadState().reset();
    recorded->start(host);
    return recorded;
  } catch (const std::exception& e) {
    host.note(fmt::format("The journal could not be started ({}): this plug-in instance is not recorded.",
                          e.what()));
    return plugin;
  }
}

}  // namespace mto::com
