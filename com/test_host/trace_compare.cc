#include "test_host/trace_compare.h"

namespace mto::testhost {

using nlohmann::json;

namespace {

const std::string kAbsent = "(absent)";

/// A JSON pointer token: "~" and "/" escaped.
std::string token(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '~')
      out += "~0";
    else if (c == '/')
      out += "~1";
    else
      out += c;
  }
  return out;
}

void collect(const json& native, const json& com, const std::string& path, std::vector<TraceDifference>& out) {
  if (native == com) return;
  if (native.is_object() && com.is_object()) {
    // Keys are kept sorted, so walking both in step gives document order.
    auto n = native.begin();
    auto c = com.begin();
    while (n != native.end() || c != com.end()) {
      if (c == com.end() || (n != native.end() && n.key() < c.key())) {
        out.push_back({path + "/" + token(n.key()), n.value().dump(), kAbsent});
        ++n;
      } else if (n == native.end() || c.key() < n.key()) {
        out.push_back({path + "/" + token(c.key()), kAbsent, c.value().dump()});
        ++c;
      } else {
        collect(n.value(), c.value(), path + "/" + token(n.key()), out);
        ++n;
        ++c;
      }
    }
    return;
  }
  if (native.is_array() && com.is_array()) {
    for (size_t i = 0; i < native.size() || i < com.size(); ++i) {
      std::string at = path + "/" + std::to_string(i);
      if (i >= com.size())
        out.push_back({at, native[i].dump(), kAbsent});
      else if (i >= native.size())
        out.push_back({at, kAbsent, com[i].dump()});
      else
        collect(native[i], com[i], at, out);
    }
    return;
  }
  out.push_back({path, native.dump(), com.dump()});
}

}  // namespace

std::vector<TraceDifference> compareTraces(const json& native, const json& throughCom) {
  std::vector<TraceDifference> differences;
  collect(native, throughCom, "", differences);
  return differences;
}

}  // namespace mto::testhost
