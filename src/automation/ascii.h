#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// ASCII letter case, the one way names compare in this system: automation member names, ProgIDs,
// login keys, dictionary keys, field keys and record-set columns compare without regard to the
// case of A-Z; every other byte (UTF-8 included) compares as it is. Nothing here reads the process
// locale, which belongs to the host.

namespace mto::automation::ascii {

constexpr char toLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char toUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// A copy with A-Z lowered.
inline std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = toLower(c);
  return out;
}
/// A copy with a-z raised.
inline std::string uppered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = toUpper(c);
  return out;
}

constexpr bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (toLower(a[i]) != toLower(b[i])) return false;
  return true;
}

constexpr bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

/// Byte order after lowering A-Z, other bytes taken as unsigned (so UTF-8 sorts by code point):
/// negative, zero or positive as `a` sorts before, with or after `b`.
constexpr int compareIgnoreCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(toLower(a[i]));
    const auto y = static_cast<unsigned char>(toLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

/// Ordering for maps keyed without case; transparent, so that any string_view looks up.
struct LessIgnoreCase {
  using is_transparent = void;
  constexpr bool operator()(std::string_view a, std::string_view b) const {
    return compareIgnoreCase(a, b) < 0;
  }
};

/// Hashing and equality for unordered maps keyed without case, looked up by any string_view
/// without building a folded copy. The hash is computed in 64 bits so that 32-bit builds agree.
struct HashIgnoreCase {
  using is_transparent = void;
  constexpr size_t operator()(std::string_view s) const noexcept {
    uint64_t h = 1469598103934665603ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(toLower(c))) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};
struct EqualIgnoreCase {
  using is_transparent = void;
  constexpr bool operator()(std::string_view a, std::string_view b) const noexcept {
    return equalsIgnoreCase(a, b);
  }
};

}  // namespace mto::automation::ascii
