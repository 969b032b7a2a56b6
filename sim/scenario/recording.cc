#include <fmt/format.h>

#include <filesystem>
#include <stdexcept>

#include "automation/thread_state.h"
#include "host/contract.h"
#include "sim/scenario/runner.h"

// A run with a journal directory (`mto-sim run --journal DIR`): each plug-in instance the run
// creates is recorded, the host objects it is shown wrapped and the recording platform set for the
// thread, into a file of its own (docs/record-replay.md). Without one, nothing here is in the way.

namespace mto::sim::scenario_detail {

Runner::InstanceRecording::InstanceRecording(const std::string& path, automation::Platform& host)
    : file(path, std::ios::binary | std::ios::trunc), writer(file), recorder(host, &writer) {}

Runner::~Runner() {
  stopRecording();
}

automation::ObjectPtr Runner::plugin() {
  if (plugin_) return plugin_;
  if (journal_.directory.empty()) {
    plugin_ = automation::createObject(host::progid::kPlugin);
    return plugin_;
  }
  startRecording();
  // The host creates the plug-in; only what the plug-in creates goes through the recorder.
  plugin_ = host_->platform().createObject(host::progid::kPlugin);
  return plugin_;
}

Variant Runner::callPlugin(std::string_view member, automation::Args args) {
  automation::ObjectPtr target = plugin();
  if (recording_) return recording_->recorder.callPlugin(*target, member, args);
  return target->invoke(member, automation::CallKind::Method, args);
}

void Runner::releasePlugin() {
  plugin_.reset();
  stopRecording();
}

void Runner::startRecording() {
  const std::filesystem::path dir(journal_.directory);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const auto path =
      dir / fmt::format("{}.{}.jsonl", std::filesystem::path(file_).stem().string(), recordings_.size() + 1);
  auto recording = std::make_unique<InstanceRecording>(path.string(), host_->platform());
  if (!recording->file)
    throw ScenarioError(file_, 0, fmt::format("cannot write the journal {}", path.string()));
  journal::Header header;
  header.time = host_->platform().now();
  header.locale = host_->platform().locale();
  header.processId = host_->platform().processId();
  header.moduleVersion = journal_.moduleVersion;
  header.host = "mto-sim";
  recording->writer.header(header);
  // A replay starts the plug-in on a fresh thread: so does each recorded instance, so that no
  // service cached by an earlier one answers outside its journal.
  automation::threadState().reset();
  automation::setThreadPlatform(&recording->recorder.platform());
  recording_ = recording.get();
  recordings_.push_back(std::move(recording));
}

void Runner::stopRecording() {
  if (!recording_) return;
  automation::setThreadPlatform(&host_->platform());
  recording_ = nullptr;
}

}  // namespace mto::sim::scenario_detail
