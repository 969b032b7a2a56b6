#include "journal/redact.h"

#include "automation/ascii.h"

namespace mto::journal {

namespace {
/// `key` without the blanks a hand-written property string may put around it.
std::string_view trimmed(std::string_view key) {
  while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.remove_prefix(1);
  while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
  return key;
}

bool containsIgnoreCase(std::string_view text, std::string_view part) {
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (automation::ascii::equalsIgnoreCase(text.substr(i, part.size()), part)) return true;
  return false;
}
}  // namespace

bool isSecretKey(std::string_view key) {
  key = trimmed(key);
  return containsIgnoreCase(key, "pass") || containsIgnoreCase(key, "pwd");
}

std::string redactSecrets(std::string_view text) {
  if (text.find('=') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  while (start <= text.size()) {
    size_t stop = text.find(';', start);
    if (stop == std::string_view::npos) stop = text.size();
    const std::string_view item = text.substr(start, stop - start);
    const size_t eq = item.find('=');
    if (eq != std::string_view::npos && isSecretKey(item.substr(0, eq))) {
      out.append(item.substr(0, eq + 1));
      out.append(kRedacted);
    } else {
      out.append(item);
    }
    if (stop == text.size()) break;
    out.push_back(';');
    start = stop + 1;
  }
  return out;
}

}  // namespace mto::journal
